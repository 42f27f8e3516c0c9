// Accounts with tokens: the application against a service with accounts, and every
// script action attacked with bad credentials (refused, nothing changed or leaked).
#include "ReferenceService.h"
#include "TestMain.h"

#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "cloud/AccountToken.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLabel>
#include <QNetworkReply>
#include <QSettings>
#include <QTcpSocket>

namespace {

const QString script = QStringLiteral("/Apps/Movelta/vq_webservice.php");
const QByteArray scan = "Vita-20240105--09-30-15";

QJsonObject status(const ReferenceService::Response &r)
{
    return QJsonDocument::fromJson(r.body)[QStringLiteral("status")].toObject();
}

// Every file of the data folder by the hash of its content (SQLite's shared-memory
// index changes with mere reads).
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        if (!file.fileName().endsWith(QLatin1String("-shm")) && file.open(QIODevice::ReadOnly))
            files.insert(file.fileName(), QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

int outcome(const std::function<void(OutcomeHandler)> &call)
{
    int code = -100;
    call([&code](const ServiceOutcome &o) { code = o.code; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(code != -100, 20000); }();
    return code;
}

}  // namespace

struct Account
{
    int number = 0;
    QByteArray token;
};

class TestServiceAuth : public QObject
{
    Q_OBJECT

    ReferenceService m_service;
    Account m_a, m_b;
    QByteArray m_rotated, m_removed;
    int m_client = 0, m_anamnesi = 0;
    QMap<QString, QByteArray> m_before;
    QByteArray m_beforeRows;
    QTemporaryDir m_dir;

    // A request as the application makes it: idSender first, the token as a header. To
    // node, or to m_service.
    ReferenceService::Response send(const QByteArray &action, int sender, const QByteArray &token,
                                    const QByteArray &extra = {}, const QByteArray &forwardedFor = {},
                                    const ReferenceService *node = nullptr) const
    {
        const ReferenceService &service = node ? *node : m_service;
        QByteArray headers = token.isNull() ? QByteArray() : "Authorization: Bearer " + token + "\r\n";
        if (!forwardedFor.isEmpty())
            headers += "X-Forwarded-For: " + forwardedFor + "\r\n";
        const QByteArray idSender = "idSender=" + QByteArray::number(sender);
        if (action == "getUserFile")
            return service.request("GET", script + '?' + idSender + "&action=getUserFile&" + extra, {}, {}, 10000, headers);
        if (action != "uploadExamZip")
            return service.request("POST", script, idSender + "&action=" + action + '&' + extra,
                                     "application/x-www-form-urlencoded", 10000, headers);
        QByteArray body;
        for (const auto &[name, value] : {qMakePair("idSender", idSender.mid(9)), qMakePair("action", action),
                                          qMakePair("exam", extra), qMakePair("UPLOADS\"; filename=\"u.zip", QByteArray("PK"))})
            body += QByteArray("--B\r\nContent-Disposition: form-data; name=\"") + name + "\"\r\n\r\n" + value + "\r\n";
        return service.request("POST", script, body + "--B--\r\n", "multipart/form-data; boundary=B", 10000, headers);
    }
    int run(const QString &args, QByteArray *out = nullptr)
    {
        QProcess command;
        command.start(ReferenceService::executable(), args.split(QLatin1Char(' ')) << m_service.storageArguments());
        const bool ended = command.waitForFinished(15000);
        if (out)
            *out = command.readAllStandardOutput();
        return ended ? command.exitCode() : -1;
    }

    // The service's own command ("account add", "account rotate") prints "number=N", "token=T".
    Account account(const QString &command)
    {
        QByteArray out;
        run(QStringLiteral("account ") + command, &out);
        return {out.split('\n').value(0).mid(7).toInt(), out.split('\n').value(1).mid(6)};
    }

private slots:
    void initTestCase()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");  // never the keyring of a desktop session
        m_service.setAuthentication(true);
        // The attacks all come from one address; guessing is limited in limits().
        m_service.setExtraArguments({QStringLiteral("--auth-failure-limit"), QStringLiteral("1000")});
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
        const Account first = account(QStringLiteral("add --name Studio-A")), gone = account(QStringLiteral("add --name Studio-C"));
        m_b = account(QStringLiteral("add --name Studio-B"));
        m_rotated = first.token;
        m_removed = gone.token;
        m_a = account(QStringLiteral("rotate %1").arg(first.number));
        QCOMPARE(run(QStringLiteral("account remove %1").arg(gone.number)), 0);
        QVERIFY(m_a.number > 0 && m_b.number > 0 && m_a.token.size() >= 32 && m_a.token != m_rotated);
    }
    void init()
    {
        DataModule::resetInstanceForTests(m_dir.path() + QStringLiteral("/store"))->m_appVersion = QStringLiteral("0.6.4");
        AppSettings::setEndpoint(m_service.endpointUrl().toString());
        AppSettings::setIdTrainer(m_a.number);
        AccountToken::instance()->store(QString::fromLatin1(m_a.token), 20000);
        HttpService::resetInstanceForTests(true)->setWebServiceURL(false);
    }
    void cleanup()
    {
        OutboxSender::resetInstanceForTests(false);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
        QDir(m_dir.path() + QStringLiteral("/store")).removeRecursively();
    }

    // The application's client with the token: upload, download; the data attacked below.
    void endToEnd()
    {
        HttpService *http = HttpService::m_instance;
        Client client;
        client.surname = QStringLiteral("Segreto");
        client.saveToDB(false, false);
        QCOMPARE(outcome([&](OutcomeHandler done) { http->saveClient(&client, done); }), 200);
        client.loadFromDB(client.id);
        m_client = client.web_id;
        const QString jpg = m_dir.filePath(QString::fromLatin1(scan + ".jpg"));
        for (const QString &path : {jpg, m_dir.filePath(QString::fromLatin1(scan + ".d2d"))}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("SEGRETO " + path.toUtf8()) > 0);
        }
        Exam exam;
        exam.idUser = m_client;
        exam.examDate = QDate(2024, 1, 5);
        QList<ScanFile> scans{ScanFile::createFromFilePath(jpg)};
        QCOMPARE(outcome([&](OutcomeHandler done) { http->uploadExam(&exam, &scans, done); }), 200);
        QNetworkReply *reply = http->getUserFile(m_client, QStringLiteral("jpg"), QFileInfo(jpg).fileName());
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
        QCOMPARE(reply->readAll(), "SEGRETO " + jpg.toUtf8());
        const auto anamnesi = send("uploadAnamnesi", m_a.number, m_a.token, "idUser=" + QByteArray::number(m_client) +
                                   R"(&idAnamnesi=0&data={"Name":"Segreto"})");
        m_anamnesi = QJsonDocument::fromJson(anamnesi.body)["data"]["id"].toInt();
        QVERIFY(m_anamnesi > 0);
        // An upload refused before its body is read still gets its answer (not a reset).
        QFile big(m_dir.filePath(QString::fromLatin1(scan + ".d2d")));
        QVERIFY(big.open(QIODevice::Append) && big.write(QByteArray(8 << 20, 'z').replace('z', "z\x91\x17")) > 0);
        big.close();
        AccountToken::instance()->store(QStringLiteral("revoked"), 20000);
        QCOMPARE(outcome([&](OutcomeHandler done) { http->uploadExam(&exam, &scans, done); }), 401);
        m_before = snapshot(m_service.dataDir());
        m_beforeRows = m_service.databaseDump();
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<int>("credentials");
        QTest::addColumn<int>("code");
        const char *cases[] = {"no token", "wrong token", "rotated token", "removed account", "B's token, A's number",
                               "A's token, number 0", "A's token, number -1"};
        for (const char *action : {"getUsers", "setUserData", "deleteUser", "uploadAnamnesi", "deleteAnamnesi",
                                   "getUserAnamnesis", "getAnamnesiModels", "getUserWorks", "uploadExamZip", "getUserFile"}) {
            for (int i = 0; i < 7; ++i)
                QTest::addRow("%s, %s", action, cases[i]) << QByteArray(action) << i << (i < 4 ? 401 : 403);
        }
    }
    void refusals()
    {
        QFETCH(QByteArray, action);
        QFETCH(int, credentials);
        QFETCH(int, code);
        const QByteArray tokens[] = {QByteArray(), QByteArray(64, 'a'), m_rotated, m_removed, m_b.token, m_a.token, m_a.token};
        const int senders[] = {m_a.number, m_a.number, m_a.number, m_a.number, m_a.number, 0, -1};
        const QByteArray user = "idUser=" + QByteArray::number(m_client), id = QByteArray::number(m_anamnesi);
        const QByteArray extra = action == "setUserData" ? R"(data={"id":)" + QByteArray::number(m_client) + "}"
                               : action == "uploadAnamnesi" ? user + "&idAnamnesi=" + id + R"(&data={"Name":"X"})"
                               : action == "deleteAnamnesi" ? "idAnamnesi=" + id
                               : action == "uploadExamZip" ? R"({"examDate":"2024-01-06","idUser":)" + QByteArray::number(m_client) + "}"
                               : action == "getUserFile" ? user + "&kind=jpg&filename=" + scan + ".jpg" : user;
        const auto reply = send(action, senders[credentials], tokens[credentials], extra);
        // A refused file says so in its HTTP status too: the envelope is never taken for the file.
        QCOMPARE(reply.status, action == "getUserFile" ? code : 200);
        QCOMPARE(status(reply)["code"].toInt(), code);
        QCOMPARE(QJsonDocument::fromJson(reply.body)["data"].toObject(), QJsonObject());
        QVERIFY(!reply.body.contains("Segreto") && !reply.body.contains("SEGRETO"));
    }
    void nothingChanged()
    {
        QCOMPARE(snapshot(m_service.dataDir()), m_before);
        QCOMPARE(m_service.databaseDump(), m_beforeRows);
        // What holds no personal data stays open.
        for (const char *open : {"/", "/Apps/Movelta/", "/Software/Calvestra20/updVersionMACOS.txt"})
            QCOMPARE(m_service.request("GET", QString::fromLatin1(open)).status, 200);
    }

    void refusalIsShown_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("shown");
        QTest::newRow("wrong token") << 1 << QByteArray(64, 'c') << QStringLiteral("rifiutato il token");
        QTest::newRow("another account's token") << 1 << m_b.token << QStringLiteral("rifiutato il token");
        QTest::newRow("no account") << 0 << m_a.token << QStringLiteral("Nessun account");
    }
    void refusalIsShown()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, token);
        QFETCH(QString, shown);
        AppSettings::setIdTrainer(number * m_a.number);
        AccountToken::instance()->store(QString::fromLatin1(token), 20000);
        HttpService::resetInstanceForTests(false);
        auto *window = new MainWindow;  // takes the store and the service client over
        window->show();
        auto *label = window->findChild<QLabel *>(QStringLiteral("haltLabel"));
        QTRY_VERIFY_WITH_TIMEOUT(label->isVisible(), 20000);
        QVERIFY2(label->text().contains(shown), qPrintable(label->text()));
        QVERIFY(window->findChild<QWidget *>(QStringLiteral("haltSettingsButton"))->isVisible());
        QVERIFY(OutboxSender::m_instance->isHalted());
        delete window;
    }
    void nothingGoesWithoutAccount()
    {
        AppSettings::setIdTrainer(0);
        HttpService *http = HttpService::resetInstanceForTests(true);
        QVERIFY(m_service.resetHooks());
        QSignalSpy refused(http, &HttpService::accountRefused);
        http->getClients();
        http->getAnamnesiModels();
        http->getUserWorks(1);
        http->getUserAnamnesis(1);
        QNetworkReply *file = http->getUserFile(1, QStringLiteral("jpg"), QStringLiteral("a.jpg"));
        Client client;
        client.saveToDB(false, false);
        // Outcomes come after a request would have been answered, so after it was logged.
        QCOMPARE(outcome([&](OutcomeHandler done) { http->saveClient(&client, done); }), ServiceOutcome::noAccount);
        QCOMPARE(outcome([&](OutcomeHandler done) { http->deleteClient(1, done); }), ServiceOutcome::noAccount);
        QTRY_VERIFY_WITH_TIMEOUT(file->isFinished() && refused.size() == 7, 20000);
        QVERIFY(file->error() != QNetworkReply::NoError);
        for (const QJsonValue &request : m_service.receivedRequests())
            QVERIFY(request[QStringLiteral("path")].toString() != script);
    }

    void tokenWithoutKeyring()
    {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("no keyring .* readable by this user alone")));
        AccountToken::instance()->store(QStringLiteral("t1"), 20000);
        QCOMPARE(AccountToken::instance()->place(), QStringLiteral("settings file"));
        AppSettings::setLang(QStringLiteral("it"));  // a later write keeps the file private
        const QString file = QSettings().fileName();
        QCOMPARE(int(QFile::permissions(file) & 0x7077), int(QFile::ReadOwner | QFile::WriteOwner));
        // The tool sets it too, from standard input, and never prints it.
        QProcess tool;
        tool.start(QStringLiteral(CALVESTRA_BINARY_DIR "/tools/calvestra-account"), {QStringLiteral("--token"), QStringLiteral("-")});
        tool.write("t2-secret\n");
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(30000) && tool.exitCode() == 0);
        const QByteArray printed = tool.readAllStandardOutput();
        QVERIFY2(printed.contains("token=set (settings file)") && !printed.contains("t2-secret"), printed.constData());
        AccountToken::instance()->load(20000);
        QCOMPARE(AccountToken::instance()->token(), QStringLiteral("t2-secret"));
    }

    void httpsWithOwnAuthority()
    {
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem")), key = m_dir.filePath(QStringLiteral("key.pem"));
        QCOMPARE(QProcess::execute(QStringLiteral("sh"), {"-c", "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                 "-addext subjectAltName=IP:127.0.0.1 -keyout " + key + " -out " + cert + " 2>/dev/null"}), 0);
        QProcess service;
        service.start(ReferenceService::executable(), {"--no-auth", "--listen", "127.0.0.1:0", "--tls-cert", cert,
                                                       "--tls-key", key, "--data", m_dir.filePath(QStringLiteral("tls"))});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += service.readAllStandardOutput()).contains("\n"), 20000);
        QVERIFY2(out.startsWith("listening on https://127.0.0.1:"), out.constData());
        AppSettings::setEndpoint(QString::fromLatin1(out.mid(13).trimmed()) + script);
        for (const QString &authority : {QString(), cert}) {
            AppSettings::setCaFile(authority);
            HttpService *http = HttpService::resetInstanceForTests(true);
            http->setWebServiceURL(false);
            Client client;
            client.saveToDB(false, false);
            // Not trusted without the service's authority; trusted with it.
            QCOMPARE(outcome([&](OutcomeHandler done) { http->saveClient(&client, done); }), authority.isEmpty() ? -1 : 200);
        }
        AppSettings::setCaFile(QString());
        service.terminate();
        service.waitForFinished(10000);
    }

    void limits()
    {
        // Through a trusted proxy here, so each case comes from an address of its own.
        const QStringList arguments = QStringLiteral("--auth-failure-limit 5 --rate-limit 20 --quota-mb 1 --read-timeout-s 1 "
                                                     "--max-field-kb 4 --trusted-proxy 127.0.0.1").split(QLatin1Char(' '));
        m_service.setExtraArguments(arguments);
        QVERIFY(m_service.restart());
        const auto codes = [&](int count, const Account &who, const QByteArray &address) {
            QList<int> list;
            for (int i = 0; i < count; ++i)
                list << status(send("getUsers", who.number, who.token, {}, address))["code"].toInt();
            return list;
        };
        // Guessing: five refusals, then not even the right token is looked at from there.
        QCOMPARE(codes(8, {m_a.number, QByteArray(64, 'b')}, "10.0.0.66"), (QList<int>{401, 401, 401, 401, 401, 429, 429, 429}));
        QCOMPARE(codes(1, m_a, "10.0.0.66"), QList<int>{429});
        QCOMPARE(codes(1, m_a, "10.0.0.67"), QList<int>{200});
        if (ReferenceService::onPostgres()) {
            // Guesses alternating between two nodes on one database: together they allow
            // the limit, and one more guess on the node that had not seen the last one.
            ReferenceService other;
            other.setAuthentication(true);
            other.setExtraArguments(arguments);
            other.useDatabaseOf(m_service);
            QVERIFY2(other.start(), qPrintable(other.errorString()));
            const auto guess = [&](const ReferenceService &node, const QByteArray &token) {
                return status(send("getUsers", m_a.number, token, {}, "10.0.0.70", &node))["code"].toInt();
            };
            QList<int> seen;
            for (int i = 0; i < 8; ++i)
                seen << guess(i % 2 ? other : m_service, QByteArray(64, 'c'));
            QCOMPARE(seen, (QList<int>{401, 401, 401, 401, 401, 401, 429, 429}));
            QCOMPARE(guess(other, m_a.token), 429);
        }
        // The rate: 20 a minute per address and per account.
        const QList<int> burst = codes(25, m_b, "10.0.0.68");
        QCOMPARE(burst.mid(0, 20), QList<int>(20, 200));
        QVERIFY(burst.contains(429));
        // An upload declared larger than the account's space is answered before its body.
        const auto upload = m_service.request("POST", script, {}, "multipart/form-data; boundary=B", 20000,
                                              "Authorization: Bearer " + m_a.token + "\r\nContent-Length: 50000000\r\n");
        QCOMPARE(status(upload)["code"].toInt(), 405);
        // Oversized fields, form-encoded or in an upload.
        QCOMPARE(send("setUserData", m_a.number, m_a.token, "data=" + QByteArray(5000, 'x'), "10.0.0.69").status, 413);
        QCOMPARE(send("uploadExamZip", m_a.number, m_a.token, QByteArray(5000, 'x'), "10.0.0.69").status, 413);
        // A sender that stops in the middle of its headers is cut off.
        QTcpSocket slow;
        slow.connectToHost(QStringLiteral("127.0.0.1"), m_service.port());
        QVERIFY(slow.waitForConnected(10000));
        slow.write("POST " + script.toUtf8() + " HTTP/1.1\r\nHost: x\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(slow.state(), QAbstractSocket::UnconnectedState, 20000);
    }

    void accountCommand()
    {
        QByteArray list;
        QCOMPARE(run(QStringLiteral("account list"), &list), 0);
        QVERIFY(list.contains("Studio-A") && list.contains(QByteArray::number(m_b.number)) && list.contains("removed"));
        QVERIFY(!list.contains(m_a.token) && !list.contains(m_b.token));
        const QString accounts = m_service.dataDir() + QStringLiteral("/accounts.db");
        if (!ReferenceService::onPostgres())
            QCOMPARE(int(QFile::permissions(accounts) & 0x7077), int(QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(run(QStringLiteral("account rotate 999")), 1);
        // Without tokens the service listens on this machine only.
        QCOMPARE(run(QStringLiteral("--no-auth --listen 0.0.0.0:0")), 2);
    }
};

CALVESTRA_TEST_MAIN(TestServiceAuth)
#include "tst_service_auth.moc"
