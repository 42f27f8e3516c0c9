// Attacks on a service with accounts: every script action and the file download with
// no token, a wrong, rotated or removed token, or another account's number; the data
// folder must not change and no reply may carry data. Then the limits: token guessing,
// request rate, an upload too large for the account, oversized fields, a silent sender.
#include "ReferenceService.h"
#include "TestMain.h"

#include <sys/stat.h>
#include <zip.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace {

const QString script = QStringLiteral("/Apps/Movelta/vq_webservice.php");

QByteArray zipOf(const QByteArray &name, const QByteArray &content)
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("a.zip")).toLocal8Bit();
    zip_t *zip = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    zip_file_add(zip, name.constData(), zip_source_buffer(zip, content.constData(), content.size(), 0), 0);
    zip_close(zip);
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray multipart(const QList<QPair<QByteArray, QByteArray>> &fields, const QByteArray &zip)
{
    QByteArray body;
    for (const auto &[name, value] : fields)
        body += "--B\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    return body + "--B\r\nContent-Disposition: form-data; name=\"UPLOADS\"; filename=\"upload.zip\"\r\n"
                  "Content-Type: application/octet-stream\r\n\r\n" + zip + "\r\n--B--\r\n";
}

QJsonObject status(const ReferenceService::Response &r)
{
    return QJsonDocument::fromJson(r.body).object().value(QStringLiteral("status")).toObject();
}

// Every file of the data folder with a hash of its content (SQLite's shared-memory
// index changes with mere reads and is left out).
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.fileName().endsWith(QLatin1String("-shm")) && file.open(QIODevice::ReadOnly))
            files.insert(file.fileName(), QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

}  // namespace

class TestServiceAuth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void nothingChanged();
    void limits();
    void accountCommand();

private:
    // A request as the application makes it: idSender first, the token as a header.
    ReferenceService::Response send(const QByteArray &action, int sender, const QByteArray &token,
                                    const QByteArray &extra = {}, const QByteArray &forwardedFor = {}) const;

    ReferenceService m_service;
    ReferenceService::Account m_a, m_b;
    QByteArray m_rotated, m_removed;
    int m_client = 0, m_anamnesi = 0;
    QByteArray m_zip = zipOf("Vita-20240105--09-30-15.jpg", "SEGRETO-JPG");
    QMap<QString, QByteArray> m_before;
};

ReferenceService::Response TestServiceAuth::send(const QByteArray &action, int sender, const QByteArray &token,
                                                 const QByteArray &extra, const QByteArray &forwardedFor) const
{
    QByteArray headers = token.isNull() ? QByteArray() : "Authorization: Bearer " + token + "\r\n";
    if (!forwardedFor.isEmpty())
        headers += "X-Forwarded-For: " + forwardedFor + "\r\n";
    const QByteArray idSender = QByteArray::number(sender);
    if (action == "getUserFile")
        return m_service.request("GET", script + "?idSender=" + idSender + "&action=getUserFile&" + extra, {}, {},
                                 10000, headers);
    if (action == "uploadExamZip")
        return m_service.request("POST", script,
                                 multipart({{"idSender", idSender}, {"action", action}, {"exam", extra}}, m_zip),
                                 "multipart/form-data; boundary=B", 10000, headers);
    return m_service.request("POST", script, "idSender=" + idSender + "&action=" + action + "&" + extra,
                             "application/x-www-form-urlencoded", 10000, headers);
}

void TestServiceAuth::initTestCase()
{
    m_service.setAuthentication(true);
    // Many refusals come from one address here; guessing is limited in limits().
    m_service.setExtraArguments({QStringLiteral("--auth-failure-limit"), QStringLiteral("1000")});
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_a = m_service.addAccount(QStringLiteral("Studio A"));
    m_b = m_service.addAccount(QStringLiteral("Studio B"));
    const ReferenceService::Account gone = m_service.addAccount(QStringLiteral("Studio C"));
    QVERIFY(m_a.number > 0 && m_b.number > 0 && gone.number > 0 && m_a.token.size() >= 32);
    m_removed = gone.token;
    m_rotated = m_a.token;
    QProcess command;
    for (const QStringList &args : {QStringList{QStringLiteral("rotate"), QString::number(m_a.number)},
                                    QStringList{QStringLiteral("remove"), QString::number(gone.number)}}) {
        command.start(ReferenceService::executable(),
                      QStringList{QStringLiteral("account")} + args + QStringList{QStringLiteral("--data"), m_service.dataDir()});
        QVERIFY(command.waitForFinished(15000) && command.exitCode() == 0);
        if (args.first() == QLatin1String("rotate"))
            m_a.token = command.readAllStandardOutput().split('\n').value(1).mid(6);
    }
    QVERIFY(m_a.token != m_rotated);

    // Account A's data: a client, a questionnaire, an exam with its picture.
    auto reply = send("setUserData", m_a.number, m_a.token, R"(data={"id":0,"surname":"Segreto","name":"Anna"})");
    m_client = QJsonDocument::fromJson(reply.body)["data"]["id"].toInt();
    reply = send("uploadAnamnesi", m_a.number, m_a.token,
                 "idUser=" + QByteArray::number(m_client) + R"(&idAnamnesi=0&data={"Name":"Segreto","Date":"2024"})");
    m_anamnesi = QJsonDocument::fromJson(reply.body)["data"]["id"].toInt();
    reply = send("uploadExamZip", m_a.number, m_a.token,
                 R"({"idUser":)" + QByteArray::number(m_client) + R"(,"examDate":"2024-01-05"})");
    QVERIFY2(m_client > 0 && m_anamnesi > 0 && status(reply)["code"].toInt() == 200, reply.body.constData());
    QCOMPARE(send("getUserFile", m_a.number, m_a.token, "idUser=" + QByteArray::number(m_client) +
                  "&kind=jpg&filename=Vita-20240105--09-30-15.jpg").body, QByteArray("SEGRETO-JPG"));
    m_before = snapshot(m_service.dataDir());
}

void TestServiceAuth::refusals_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<int>("credentials");
    QTest::addColumn<int>("code");
    const QList<QByteArray> actions{"getUsers", "setUserData", "deleteUser", "uploadAnamnesi", "deleteAnamnesi",
                                    "getUserAnamnesis", "getAnamnesiModels", "getUserWorks", "uploadExamZip",
                                    "getUserFile"};
    const QList<QPair<const char *, int>> cases{{"no token", 401},    {"wrong token", 401},   {"rotated token", 401},
                                               {"removed account", 401}, {"B's token, A's number", 403},
                                               {"A's token, number 0", 403}, {"A's token, number -1", 403}};
    for (const QByteArray &action : actions) {
        for (int i = 0; i < cases.size(); ++i)
            QTest::addRow("%s, %s", action.constData(), cases[i].first) << action << i << cases[i].second;
    }
}

void TestServiceAuth::refusals()
{
    QFETCH(QByteArray, action);
    QFETCH(int, credentials);
    QFETCH(int, code);
    const QByteArray tokens[] = {QByteArray(), QByteArray(64, 'a'), m_rotated, m_removed, m_b.token, m_a.token, m_a.token};
    const int senders[] = {m_a.number, m_a.number, m_a.number, m_a.number, m_a.number, 0, -1};
    const QByteArray user = "idUser=" + QByteArray::number(m_client);
    const QByteArray extra = action == "setUserData"
                                 ? R"(data={"id":)" + QByteArray::number(m_client) + R"(,"surname":"X"})"
                             : action == "uploadAnamnesi" ? user + "&idAnamnesi=" + QByteArray::number(m_anamnesi) + R"(&data={"Name":"X"})"
                             : action == "deleteAnamnesi" ? "idAnamnesi=" + QByteArray::number(m_anamnesi)
                             : action == "uploadExamZip"  ? R"({"idUser":)" + QByteArray::number(m_client) + R"(,"examDate":"2024-01-06"})"
                             : action == "getUserFile"    ? user + "&kind=jpg&filename=Vita-20240105--09-30-15.jpg"
                                                          : user;
    const auto reply = send(action, senders[credentials], tokens[credentials], extra);
    // The file download says so in its HTTP status, so the envelope is never taken for the file.
    QCOMPARE(reply.status, action == "getUserFile" ? code : 200);
    QCOMPARE(status(reply)["code"].toInt(), code);
    QCOMPARE(QJsonDocument::fromJson(reply.body)["data"].toObject(), QJsonObject());
    QVERIFY(!reply.body.contains("Segreto") && !reply.body.contains("SEGRETO"));
}

void TestServiceAuth::nothingChanged()
{
    QCOMPARE(snapshot(m_service.dataDir()), m_before);
    // The dev script holds no data of its own, but answers the same way.
    const auto dev = m_service.request("POST", QStringLiteral("/Apps/Movelta/vq_webservice_dev.php"),
                                       "idSender=" + QByteArray::number(m_a.number) + "&action=getUsers",
                                       "application/x-www-form-urlencoded");
    QCOMPARE(status(dev)["code"].toInt(), 401);
    // What holds no personal data stays open.
    for (const QString &open : {QStringLiteral("/"), QStringLiteral("/Apps/Movelta/"),
                                QStringLiteral("/Software/Calvestra20/updVersionMACOS.txt")})
        QCOMPARE(m_service.request("GET", open).status, 200);
}

void TestServiceAuth::limits()
{
    // Requests come through a trusted proxy here, so each case has an address of its own.
    m_service.setExtraArguments({QStringLiteral("--auth-failure-limit"), QStringLiteral("5"), QStringLiteral("--rate-limit"),
                                 QStringLiteral("20"), QStringLiteral("--quota-mb"), QStringLiteral("1"),
                                 QStringLiteral("--read-timeout-s"), QStringLiteral("1"), QStringLiteral("--max-field-kb"),
                                 QStringLiteral("4"), QStringLiteral("--trusted-proxy"), QStringLiteral("127.0.0.1")});
    QVERIFY(m_service.restart());
    const auto codes = [&](int count, const QByteArray &token, const QByteArray &address, int sender = 0) {
        QList<int> list;
        for (int i = 0; i < count; ++i)
            list << status(send("getUsers", sender ? sender : m_a.number, token, {}, address))["code"].toInt();
        return list;
    };
    // Guessing: five refusals, then not even the right token is looked at from there.
    QCOMPARE(codes(8, QByteArray(64, 'b'), "10.0.0.66"), (QList<int>{401, 401, 401, 401, 401, 429, 429, 429}));
    QCOMPARE(codes(1, m_a.token, "10.0.0.66"), QList<int>{429});
    QCOMPARE(codes(1, m_a.token, "10.0.0.67"), QList<int>{200});
    // The rate: 20 a minute per address and per account.
    const QList<int> burst = codes(25, m_b.token, "10.0.0.68", m_b.number);
    QCOMPARE(burst.mid(0, 20), QList<int>(20, 200));
    QVERIFY(burst.contains(429));

    // An upload declared larger than the account's space is refused before its body.
    QElapsedTimer timer;
    timer.start();
    const auto upload = m_service.request("POST", script, {}, "multipart/form-data; boundary=B", 20000,
                                          "Authorization: Bearer " + m_a.token + "\r\nContent-Length: 50000000\r\n");
    QCOMPARE(status(upload)["code"].toInt(), 405);
    QVERIFY(timer.elapsed() < 15000);
    // Oversized fields, form-encoded or in an upload.
    const QByteArray big(5000, 'x');
    QCOMPARE(send("setUserData", m_a.number, m_a.token, "data=" + big, "10.0.0.69").status, 413);
    QCOMPARE(send("uploadExamZip", m_a.number, m_a.token, big, "10.0.0.69").status, 413);
    // A sender that stops in the middle of its headers is cut off.
    QTcpSocket slow;
    slow.connectToHost(QStringLiteral("127.0.0.1"), m_service.port());
    QVERIFY(slow.waitForConnected(10000));
    slow.write("POST " + script.toUtf8() + " HTTP/1.1\r\nHost: x\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(slow.state(), QAbstractSocket::UnconnectedState, 20000);
}

void TestServiceAuth::accountCommand()
{
    QProcess command;
    const auto run = [&](const QStringList &args) {
        command.start(ReferenceService::executable(),
                      QStringList{QStringLiteral("account")} + args + QStringList{QStringLiteral("--data"), m_service.dataDir()});
        return command.waitForFinished(15000) ? command.exitCode() : -1;
    };
    QCOMPARE(run({QStringLiteral("list")}), 0);
    const QByteArray list = command.readAllStandardOutput();
    QVERIFY(list.contains("Studio A") && list.contains(QByteArray::number(m_b.number)) && list.contains("removed"));
    QVERIFY(!list.contains(m_a.token) && !list.contains(m_b.token));
    struct stat st{};
    QCOMPARE(::stat(qPrintable(m_service.dataDir() + QStringLiteral("/accounts.db")), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
    QCOMPARE(run({QStringLiteral("add"), QStringLiteral("--name"), QStringLiteral("X"), QStringLiteral("--number"),
                  QString::number(m_b.number)}), 1);
    QCOMPARE(run({QStringLiteral("rotate"), QStringLiteral("999")}), 1);
    // Without tokens the service listens on this machine only.
    command.start(ReferenceService::executable(), {QStringLiteral("--no-auth"), QStringLiteral("--listen"),
                                                   QStringLiteral("0.0.0.0:0"), QStringLiteral("--data"), m_service.dataDir()});
    QVERIFY(command.waitForFinished(15000));
    QCOMPARE(command.exitCode(), 2);
}

CALVESTRA_TEST_CORE_MAIN(TestServiceAuth)
#include "tst_service_auth.moc"
