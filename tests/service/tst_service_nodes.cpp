// Several service processes on one PostgreSQL database: what one node stores the other
// serves, the quota holds across nodes, a node killed mid-upload leaves every exam
// complete or absent. Runs when CALVESTRA_TEST_PG names a server (test.sh starts one).
#include "ReferenceService.h"
#include "TestMain.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>

#include <zip.h>

#include <future>

using namespace Qt::StringLiterals;

namespace {

const QByteArray form = "application/x-www-form-urlencoded";
const QByteArray multipart = "multipart/form-data; boundary=b0undary";
const qint64 quota = 10 << 20;

QByteArray randomBytes(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

// A zip of scans, entries stored as they are (random bytes do not shrink).
QByteArray zipOf(const QList<QPair<QByteArray, QByteArray>> &entries)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(u"a.zip"_s));
    int code = 0;
    zip_t *archive = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    for (const auto &[name, content] : entries) {
        const zip_int64_t i = zip_file_add(archive, name.constData(),
                                           zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0),
                                           ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, zip_uint64_t(i), ZIP_CM_STORE, 0);
    }
    zip_close(archive);
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray upload(int account, int idUser, const QString &date, const QByteArray &archive)
{
    QByteArray body;
    const QByteArray exam = R"({"examDate":")" + date.toUtf8() + R"(","idUser":)" + QByteArray::number(idUser) + "}";
    for (const auto &[name, value] : {std::pair<QByteArray, QByteArray>{"idSender", QByteArray::number(account)},
                                      {"action", "uploadExamZip"}, {"exam", exam}})
        body += "--b0undary\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    return body + "--b0undary\r\nContent-Disposition: form-data; name=\"UPLOADS\"; filename=\"u.zip\"\r\n\r\n" + archive +
           "\r\n--b0undary--\r\n";
}

QJsonObject envelope(const ReferenceService::Response &reply) { return QJsonDocument::fromJson(reply.body).object(); }
int codeOf(const ReferenceService::Response &reply) { return envelope(reply)[u"status"_s][u"code"_s].toInt(); }

// One value from the database, through psql.
QByteArray sqlValue(const QString &url, const QString &sql)
{
    QProcess psql;
    psql.start(u"psql"_s, {url, u"-tAc"_s, sql});
    return psql.waitForFinished(30000) ? psql.readAllStandardOutput().trimmed() : QByteArray("psql failed");
}

}  // namespace

class TestServiceNodes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!ReferenceService::onPostgres())
            QSKIP("needs CALVESTRA_TEST_PG, a PostgreSQL maintenance database (test.sh starts one)");
        for (ReferenceService *node : {&m_a, &m_b})
            node->setExtraArguments({u"--quota-mb"_s, u"10"_s});
        QVERIFY2(m_a.start(), qPrintable(m_a.errorString()));
        m_b.useDatabaseOf(m_a);
        QVERIFY2(m_b.start(), qPrintable(m_b.errorString()));
    }

    // Nodes starting at the same moment on an empty database: the schema is made once.
    void startTogether()
    {
        ReferenceService fresh;
        QVERIFY2(fresh.prepareDatabase(), qPrintable(fresh.errorString()));
        QTemporaryDir data;
        std::vector<std::unique_ptr<QProcess>> nodes;
        for (int i = 0; i < 4; ++i) {
            nodes.push_back(std::make_unique<QProcess>());
            nodes.back()->start(ReferenceService::executable(), {u"--listen"_s, u"127.0.0.1:0"_s, u"--no-auth"_s, u"--data"_s,
                                                                 data.filePath(QString::number(i)), u"--db"_s, fresh.databaseUrl()});
        }
        for (auto &node : nodes) {
            QVERIFY(node->waitForReadyRead(20000));
            QVERIFY2(node->readAllStandardOutput().startsWith("listening on"), node->readAllStandardError().constData());
            node->terminate();
            QVERIFY(node->waitForFinished(10000) && node->exitCode() == 0);
        }
        QCOMPARE(sqlValue(fresh.databaseUrl(), u"SELECT count(*) || '/' || count(DISTINCT version) FROM calvestra.schema_version"_s), "5/5");
    }

    // Every step goes to the other node than the one before.
    void alternate()
    {
        ReferenceService *nodes[] = {&m_a, &m_b};
        int turn = 0;
        const auto post = [&](const QByteArray &body, const QByteArray &type = form) {
            ReferenceService *node = nodes[turn++ % 2];
            return node->request("POST", node->endpointUrl().path(), body, type);
        };
        const QByteArray client = R"(idSender=31&action=setUserData&data={"surname":"Rossi","syncKey":"k-31"})";
        const int id = envelope(post(client))[u"data"_s][u"id"_s].toInt();
        QVERIFY(id > 0);
        QCOMPARE(envelope(post(client))[u"data"_s][u"id"_s].toInt(), id);  // the key, seen by the other node
        // A node's kept client list follows a change made on the other node.
        const auto surnames = [&] {
            QStringList list;
            for (const QJsonValue &user : envelope(post("idSender=31&action=getUsers"))[u"data"_s][u"users"_s].toArray())
                list << user[u"surname"_s].toString();
            return list;
        };
        QCOMPARE(surnames(), QStringList{u"Rossi"_s});  // on A
        QCOMPARE(envelope(post(R"(idSender=31&action=setUserData&data={"surname":"Verdi","syncKey":"k-31"})"))[u"data"_s][u"id"_s].toInt(), id);
        QCOMPARE(surnames(), QStringList{u"Verdi"_s});  // on A again
        ++turn;
        const QByteArray scan = randomBytes(700 * 1024);  // more than one chunk
        QCOMPARE(codeOf(post(upload(31, id, u"2024-03-01"_s, zipOf({{"Vita-1.jpg", scan}, {"Vita-1.d2d", "raw"}})), multipart)), 200);
        const QString file = u"/Apps/Movelta/vq_webservice.php?action=getUserFile&idSender=31&idUser=%1&kind=%2&filename=Vita-1.jpg"_s.arg(id);
        QCOMPARE(m_b.request("GET", file.arg(u"jpg"_s)).body, scan);
        QCOMPARE(m_a.request("GET", file.arg(u"d2d"_s)).body, QByteArray("raw"));
        QCOMPARE(codeOf(post("idSender=31&action=deleteUser&idUser=" + QByteArray::number(id))), 200);
        QCOMPARE(m_a.request("GET", file.arg(u"jpg"_s)).status, 404);
        QCOMPARE(codeOf(post("idSender=31&action=getUserWorks&idUser=" + QByteArray::number(id))), 404);
    }

    // Uploads racing on both nodes for one account never exceed its quota together.
    void quotaAcrossNodes()
    {
        const int id = clientOf(32);
        const QByteArray archive = zipOf({{"Vita-1.jpg", randomBytes(4 << 20)}});
        std::vector<std::future<int>> replies;
        for (int day = 1; day <= 6; ++day) {
            ReferenceService &node = day % 2 ? m_a : m_b;
            replies.push_back(std::async(std::launch::async, [&node, body = upload(32, id, u"2024-05-%1"_s.arg(day, 2, 10, QChar(u'0')), archive)] {
                return codeOf(node.request("POST", node.endpointUrl().path(), body, multipart, 60000));
            }));
        }
        QList<int> codes;
        for (auto &reply : replies)
            codes << reply.get();
        QCOMPARE(codes.count(200), 2);  // 2 x 4 MB of 10 MB
        QCOMPARE(codes.count(405), 4);
        QVERIFY(sqlValue(m_a.databaseUrl(), u"SELECT sum(bytes) FROM calvestra.works WHERE idSender = 32"_s).toLongLong() <= quota);
        checkConsistent();
    }

    // A node killed while it writes an exam: the exam is complete or absent, the other
    // node goes on serving, and the killed one starts again on the same data.
    void killMidUpload()
    {
        const int id = clientOf(33);
        QList<QPair<QByteArray, QByteArray>> scans;
        for (int i = 0; i < 8; ++i)
            scans.append({"Vita-" + QByteArray::number(i) + ".jpg", randomBytes(1 << 20)});
        const QByteArray body = upload(33, id, u"2024-06-01"_s, zipOf(scans));
        auto reply = std::async(std::launch::async, [&] { return m_a.request("POST", m_a.endpointUrl().path(), body, multipart, 30000); });
        // Until the node is writing the exam's bytes (or has already answered).
        const QString writing = u"SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
                                " AND query LIKE 'INSERT INTO calvestra.file_chunks%'"_s;
        const QDeadlineTimer deadline(30000);
        bool seen = false;
        while (!seen && !deadline.hasExpired() && reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            seen = sqlValue(m_a.databaseUrl(), writing).toInt() > 0;
        m_a.kill();
        reply.get();
        if (!seen)
            qWarning("the upload ended before the node could be killed in the middle of it");
        const auto works = envelope(m_b.request("POST", m_b.endpointUrl().path(),
                                                "idSender=33&action=getUserWorks&idUser=" + QByteArray::number(id), form));
        QCOMPARE(works[u"status"_s][u"code"_s].toInt(), 200);
        const QJsonArray list = works[u"data"_s][u"works"_s].toArray();
        QVERIFY(list.isEmpty() || list[0][u"scanFilenames"_s].toArray().size() == 8);
        for (const QJsonValue &name : list.isEmpty() ? QJsonArray() : list[0][u"scanFilenames"_s].toArray()) {
            const auto file = m_b.request("GET", u"/Apps/Movelta/vq_webservice.php?action=getUserFile&idSender=33&idUser=%1&kind=jpg&filename=%2"_s
                                                     .arg(id).arg(name.toString()));
            QCOMPARE(file.body.size(), 1 << 20);
        }
        checkConsistent();
        QVERIFY2(m_a.restart(), qPrintable(m_a.errorString()));
        QCOMPARE(codeOf(m_a.request("POST", m_a.endpointUrl().path(), "idSender=33&action=getUsers", form)), 200);
    }

    // A data folder's service moved into PostgreSQL: the same accounts, ids, records
    // and files; a second run copies nothing.
    void migrate()
    {
        ReferenceService old;
        old.useSqlite();
        QVERIFY2(old.start(), qPrintable(old.errorString()));
        QProcess add;
        add.start(ReferenceService::executable(), {u"account"_s, u"add"_s, u"--name"_s, u"Studio"_s, u"--data"_s, old.dataDir()});
        QVERIFY(add.waitForFinished(15000) && add.exitCode() == 0);
        const QList<QByteArray> made = add.readAllStandardOutput().split('\n');
        const QByteArray number = made.value(0).mid(7), token = made.value(1).mid(6);
        const QByteArray scan = randomBytes(300 * 1024);
        const auto post = [](ReferenceService &node, const QByteArray &body, const QByteArray &type = form, const QByteArray &token = {}) {
            return envelope(node.request("POST", node.endpointUrl().path(), body, type, 20000,
                                         token.isEmpty() ? QByteArray() : "Authorization: Bearer " + token + "\r\n"));
        };
        const QByteArray client = "idSender=" + number + R"(&action=setUserData&data={"surname":"Bianchi","syncKey":"m1"})";
        const int id = post(old, client)[u"data"_s][u"id"_s].toInt();
        post(old, "idSender=" + number + "&action=uploadAnamnesi&idUser=" + QByteArray::number(id) + R"(&data={"Name":"Q"})");
        QCOMPARE(post(old, upload(number.toInt(), id, u"2024-07-01"_s, zipOf({{"Vita-1.jpg", scan}})), multipart)[u"status"_s][u"code"_s].toInt(), 200);
        old.stop();

        ReferenceService moved;
        moved.setAuthentication(true);
        QVERIFY2(moved.prepareDatabase(), qPrintable(moved.errorString()));
        for (const QByteArray &expected : {QByteArray("copied accounts=1 clients=1 questionnaires=1 exams=1 files=1 bytes=307200"),
                                          QByteArray("copied accounts=0 clients=0 questionnaires=0 exams=0 files=0 bytes=0")}) {
            QProcess migrate;
            migrate.start(ReferenceService::executable(), {u"migrate"_s, u"--from"_s, old.dataDir(), u"--to"_s, moved.databaseUrl()});
            QVERIFY(migrate.waitForFinished(30000));
            QCOMPARE(migrate.readAllStandardOutput().trimmed(), expected);
        }
        QVERIFY2(moved.start(), qPrintable(moved.errorString()));
        const QJsonArray users = post(moved, "idSender=" + number + "&action=getUsers", form, token)[u"data"_s][u"users"_s].toArray();
        QCOMPARE(users.size(), 1);
        QCOMPARE(users[0][u"id"_s].toString(), QString::number(id));
        const QByteArray questionnaires = "idSender=" + number + "&action=getUserAnamnesis&idUser=" + QByteArray::number(id);
        QCOMPARE(post(moved, questionnaires, form, token)[u"data"_s][u"anamnesis"_s].toArray().size(), 1);
        const auto file = moved.request("GET", u"/Apps/Movelta/vq_webservice.php?action=getUserFile&idSender=%1&idUser=%2&kind=jpg&filename=Vita-1.jpg"_s
                                                   .arg(QString::fromLatin1(number)).arg(id), {}, {}, 20000, "Authorization: Bearer " + token + "\r\n");
        QCOMPARE(file.body, scan);
        // New records continue after the copied ids.
        QVERIFY(post(moved, "idSender=" + number + R"(&action=setUserData&data={"surname":"Nuovo"})", form, token)[u"data"_s][u"id"_s].toInt() > id);
    }

private:
    int clientOf(int account)
    {
        const QByteArray body = "idSender=" + QByteArray::number(account) + R"(&action=setUserData&data={"surname":"A"})";
        return envelope(m_a.request("POST", m_a.endpointUrl().path(), body, form))[u"data"_s][u"id"_s].toInt();
    }
    // Every exam's size is the sum of its files', every file's the sum of its chunks'.
    void checkConsistent()
    {
        const QString url = m_a.databaseUrl();
        QCOMPARE(sqlValue(url, u"SELECT count(*) FROM calvestra.works w WHERE bytes <>"
                               " (SELECT COALESCE(sum(size), 0) FROM calvestra.files WHERE workId = w.id)"_s), "0");
        QCOMPARE(sqlValue(url, u"SELECT count(*) FROM calvestra.files f WHERE workId IS NULL OR size <>"
                               " (SELECT COALESCE(sum(length(data)), 0) FROM calvestra.file_chunks WHERE fileId = f.id)"_s), "0");
    }

    ReferenceService m_a;
    ReferenceService m_b;
};

CALVESTRA_TEST_MAIN(TestServiceNodes)
#include "tst_service_nodes.moc"
