// The reference service where only a raw request reaches (the protocol the application speaks is tested
// through its client): hostile uploads, traversal, forms never sent, limits, quota, the process itself.
#include "MultipartReader.h"
#include "ReferenceService.h"
#include "TestMain.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>

#include <zip.h>

#include <atomic>
#include <csignal>
#include <future>

using namespace Qt::StringLiterals;

namespace {

const QByteArray form = "application/x-www-form-urlencoded";
const QByteArray boundary = "b0undary";

struct Entry
{
    QByteArray name, content;
    bool link = false;  // stored with a Unix symbolic-link mode
};

QByteArray zipOf(const QList<Entry> &entries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"a.zip"_s);
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    for (const Entry &e : entries) {
        const auto source = [&] { return zip_source_buffer(archive, e.content.constData(), zip_uint64_t(e.content.size()), 0); };
        const zip_int64_t index = e.name.endsWith('/') ? zip_dir_add(archive, e.name.constData(), ZIP_FL_ENC_UTF_8)
                                                       : zip_file_add(archive, e.name.constData(), source(), ZIP_FL_ENC_UTF_8);
        if (e.link)
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (0120777u << 16));
    }
    zip_close(archive);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The exam upload as the application sends it; without an archive, no file part at all.
QByteArray upload(int account, int idUser, const QString &date, const QByteArray &archive, const QByteArray &extra = {})
{
    QByteArray body;
    const QByteArray exam = R"({"examDate":")" + date.toUtf8() + R"(","idUser":)" + QByteArray::number(idUser) + extra + "}";
    for (const auto &[name, value] : {std::pair<QByteArray, QByteArray>{"idSender", QByteArray::number(account)},
                                      {"action", "uploadExamZip"}, {"appVersion", "0.6.4"}, {"appOS", "debian"}, {"exam", exam}})
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    if (!archive.isNull())
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"UPLOADS\"; filename=\"upload.zip\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n" + archive + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

int codeOf(const ReferenceService::Response &reply)
{
    return QJsonDocument::fromJson(reply.body).object().value(u"status"_s).toObject().value(u"code"_s).toInt();
}

QJsonObject dataOf(const ReferenceService::Response &reply)
{
    return QJsonDocument::fromJson(reply.body).object().value(u"data"_s).toObject();
}

// Every file under a folder but the service's log and database, which change with every request.
QStringList filesUnder(const QString &folder)
{
    QStringList list;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
        if (const QString path = it.next(); !path.contains(u"/service."_s))
            list << path;
    list.sort();
    return list;
}

}  // namespace

class TestService : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase()
    {
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
        // A client of account 405 with one stored scan, and something worth stealing next to it.
        m_client = newClient(405);
        m_scan = "\xFF\xD8 scan";
        QCOMPARE(codeOf(post(upload(405, m_client, u"2024-01-05"_s, zipOf({{"Vita-20240105--09-30-15.jpg", m_scan}})))), 200);
        const QByteArray questionnaire = R"(idSender=405&action=uploadAnamnesi&data={"Name":"Segreta"}&idUser=)";
        m_anamnesi = dataOf(post(questionnaire + QByteArray::number(m_client)))[u"id"_s].toInt();
        m_other = newClient(406);
        QVERIFY(QDir().mkpath(m_service.dataDir() + u"/files/405"_s));
        QFile secret(m_service.dataDir() + u"/files/405/secret.jpg"_s);
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("secret") == 6);
        // Beside the models: a link to the database, a file that is not a model, one with a space.
        const QString models = m_service.dataDir() + u"/models/"_s;
        QVERIFY(QFile::link(m_service.dataDir() + u"/service.db"_s, models + u"link.anm"_s));
        QFile(models + u"readme.txt"_s).open(QIODevice::WriteOnly);
        QFile extra(models + u"Questionario extra.anm"_s);
        QVERIFY(extra.open(QIODevice::WriteOnly) && extra.write(R"({"Version":2,"Name":"Extra"})") > 0);
        QVERIFY(QDir().mkpath(m_service.dataDir() + u"/software/Manuals/Calvestra"_s));
        QFile ownGuide(m_service.dataDir() + u"/software/Manuals/Calvestra/CalvestraWinAppUser Guide_EN.pdf"_s);
        QVERIFY(ownGuide.open(QIODevice::WriteOnly) && ownGuide.write("%PDF-own") == 8);
    }

    void uploads_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");  // HTTP
        QTest::addColumn<int>("code");    // in the envelope
        const QByteArray jpg = "Vita-20240105--09-30-15.jpg";
        QByteArray raw(20000, 0);
        for (int i = 0; i < raw.size(); ++i)
            raw[i] = char(i * 7919 % 251);
        const QList<Entry> scan{{jpg, "\xFF\xD8 fine"}, {"Vita-20240105--09-30-15.d2d", raw}};
        // An archive with an unsafe entry fails whole, nothing written inside or outside the data folder.
        for (const auto &[tag, name] : {std::pair{"parent", "../evil.jpg"}, {"deep parent", "../../../../evil.jpg"},
                                        {"absolute", "/tmp/evil.jpg"}, {"subfolder", "sub/evil.jpg"}, {"folder entry", "sub/"},
                                        {"backslash", "..\\evil.jpg"}, {"hidden", ".evil.jpg"}, {"dot dot", ".."},
                                        {"control", "evil\n.jpg"}})
            QTest::newRow(tag) << upload(405, m_client, u"2024-02-01"_s, zipOf(scan + QList<Entry>{{name, "evil"}})) << 200 << 400;
        QTest::newRow("link") << upload(405, m_client, u"2024-02-01"_s, zipOf(scan + QList<Entry>{{"evil.jpg", "/etc/passwd", true}}))
                              << 200 << 400;
        const QByteArray good = zipOf(scan);
        QByteArray damaged = good;
        for (qsizetype i = good.indexOf(".d2d") + 200; i < good.indexOf(".d2d") + 264; ++i)
            damaged[i] = char(damaged[i] ^ 0x5A);  // inside the raw data
        for (const auto &[tag, archive] : {std::pair{"not a zip", QByteArray(5000, 'z')}, {"half a zip", good.left(good.size() / 2)},
                                           {"cut short", good.left(good.size() - 10)}, {"damaged entry", damaged}})
            QTest::newRow(tag) << upload(405, m_client, u"2024-02-01"_s, archive) << 200 << 400;
        QTest::newRow("no file part") << upload(405, m_client, u"2024-02-01"_s, QByteArray()) << 200 << 400;
        QTest::newRow("bad date") << upload(405, m_client, u"05/01/2024"_s, good) << 200 << 400;
        QTest::newRow("bad weight") << upload(405, m_client, u"2024-02-01"_s, good, R"(,"weight":[])") << 200 << 400;
        QTest::newRow("another account's client") << upload(406, m_client, u"2024-02-01"_s, good) << 200 << 404;
        QTest::newRow("unknown client") << upload(405, 999999, u"2024-02-01"_s, good) << 200 << 404;
        QTest::newRow("no closing boundary") << upload(405, m_client, u"2024-02-01"_s, good).chopped(boundary.size() + 6) << 400 << 0;
        QTest::newRow("no part headers") << "--" + boundary + "\r\ngarbage without an end" << 400 << 0;
        QTest::newRow("empty archive: an exam without scans") << upload(405, m_client, u"2024-02-01"_s, "") << 200 << 200;
    }

    void uploads()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(int, code);
        const QString root = QFileInfo(m_service.dataDir()).absolutePath();
        const QStringList before = filesUnder(root);
        const ReferenceService::Response reply = post(body);
        QCOMPARE(QList<int>({reply.status, codeOf(reply)}), QList<int>({status, code}));
        QVERIFY(filesUnder(root) == before && !QFileInfo::exists(u"/tmp/evil.jpg"_s));
        const auto works = dataOf(post("idSender=405&action=getUserWorks&idUser=" + QByteArray::number(m_client)))[u"works"_s].toArray();
        QCOMPARE(QList<qsizetype>({works.size(), works.last()[u"scanFilenames"_s].toArray().size()}),
                 QList<qsizetype>({code == 200 ? 2 : 1, code == 200 ? 0 : 1}));
    }

    // Every way the body can come in pieces reads the same: split once anywhere, or byte by byte.
    void multipartInPieces_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("parts");
        const QByteArray near = "\r\n--b0undar\r\r\n-\r\n--b0\r";  // beginnings of the delimiter, in a file
        const QByteArray file = "--b0undary\r\nContent-Disposition: form-data; name=\"UPLOADS\"; filename=\"u.zip\"\r\n"
                                "Content-Type: application/zip\r\n\r\n" + near + "\r\n";
        QTest::newRow("preamble, field, file") << "multipart/form-data; boundary=b0undary"_ba
                                               << "ignored\r\n--b0undary\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n" + file +
                                                      "--b0undary--\r\nepilogue"
                                               << u"a||:1 UPLOADS|u.zip|application/zip:%1 done"_s.arg(near.size());
        QTest::newRow("quoted boundary, type first, empty part")
            << "Multipart/Form-Data; charset=utf-8; boundary=\"b0undary\""_ba
            << "--b0undary\r\ncontent-type: text/plain\r\nX-Other: 1\r\ncontent-disposition: form-data; name=b\r\n\r\n\r\n"
               "--b0undary--"_ba
            << u"b||text/plain:0 done"_s;
        QTest::newRow("no closing delimiter") << "multipart/form-data; boundary=b0undary"_ba << file << u"UPLOADS|u.zip|application/zip:%1"_s.arg(near.size());
        QTest::newRow("garbage after a delimiter") << "multipart/form-data; boundary=b0undary"_ba << "--b0undaryX\r\n"_ba << u"failed"_s;
        QTest::newRow("not form data") << "multipart/form-data; boundary=b0undary"_ba
                                       << "--b0undary\r\nContent-Disposition: attachment\r\n\r\nx\r\n--b0undary--"_ba << u"failed"_s;
        QTest::newRow("no boundary") << "multipart/form-data"_ba << file << u"failed"_s;
    }

    void multipartInPieces()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, parts);
        const auto read = [&](qsizetype piece, qsizetype split) {
            QString seen;
            qsizetype size = 0;
            MultipartReader reader(
                MultipartReader::boundaryOf(contentType.toStdString()),
                [&](const MultipartReader::PartHeader &h) {
                    seen += (seen.isEmpty() ? u""_s : u":%1 "_s.arg(size)) + QString::fromStdString(h.name + "|" + h.filename + "|" + h.contentType);
                    size = 0;
                    return true;
                },
                [&](const char *, size_t n) { return (size += qsizetype(n)) > 0; });
            bool ok = reader.feed(body.constData(), size_t(split));
            for (qsizetype at = split; ok && at < body.size(); at += piece)
                ok = reader.feed(body.constData() + at, size_t(std::min(piece, body.size() - at)));
            return ok ? seen + (seen.isEmpty() ? u""_s : u":%1"_s.arg(size)) + (reader.complete() ? u" done"_s : u""_s) : u"failed"_s;
        };
        for (qsizetype split = 0; split <= body.size(); ++split)
            QCOMPARE(read(body.size(), split), parts);
        QCOMPARE(read(1, 0), parts);
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");  // what the reply starts with, or "code N" for an envelope
        const auto get = [](const QByteArray &tag, const QString &path, int status, const QByteArray &reply) {
            QTest::newRow(tag.constData()) << QByteArray("GET") << path << QByteArray() << status << reply;
        };
        const auto post = [this](const QByteArray &tag, const QByteArray &body, int code) {
            QTest::newRow(tag.constData()) << QByteArray("POST") << m_service.endpointUrl().path() << body << 200
                                           << "code " + QByteArray::number(code);
        };
        const QString file = u"/Apps/Movelta/vq_webservice.php?idSender=405&action=getUserFile&idUser=%1&kind=%2&filename="_s.arg(m_client);
        get("connectivity page", u"/"_s, 200, "<!DOCTYPE html>");
        get("home page", u"/Apps/Movelta/"_s, 200, "<!DOCTYPE html>");
        get("no such page", u"/Apps/Movelta/nothing.php"_s, 404, "not found");
        get("update file", u"/Software/Calvestra20/updVersionMACOS.txt"_s, 200,
            "0.6.4\n" + m_service.baseUrl().toEncoded() + "/Software/Calvestra20/");
        get("software outside", u"/Software/..%2Fservice.db"_s, 404, "not found");
        // The manual's address in every language: the guide shipped with the service, or the data folder's own.
        const QString manual = u"/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_"_s;
        for (const char *lang : {"IT", "PT-BR", "de"})
            get("guide " + QByteArray(lang), manual + QLatin1String(lang) + u".pdf"_s, 200, "%PDF-1.");
        get("guide of the data folder", manual + u"EN.pdf"_s, 200, "%PDF-own");
        for (const char *name : {"IT.html", "..%2FIT.pdf", "ITA-BR.pdf"})
            get("guide " + QByteArray(name), manual + QLatin1String(name), 404, "not found");
        get("model", u"/Apps/Movelta/models/Questionario%20extra.anm"_s, 200, R"({"Version":2)");
        for (const char *name : {"link.anm", "..%2Fservice.db", "%2E%2E/service.db", "readme.txt"})
            get("model " + QByteArray(name), u"/Apps/Movelta/models/"_s + QLatin1String(name), 404, "not found");
        get("stored scan", file.arg(u"jpg"_s) + u"Vita-20240105--09-30-15.jpg"_s, 200, m_scan);
        for (const char *name : {"..%2Fsecret.jpg", "..%2F..%2F405%2Fsecret.jpg", "%2Fetc%2Fpasswd", "..%5Csecret.jpg", "..",
                                 "sub%2FVita-20240105--09-30-15.jpg", "", "..%252Fsecret.jpg", "..%2F..%2F..%2Fservice.jpg"})
            get("file " + QByteArray(name), file.arg(u"d2d"_s) + QLatin1String(name), 400, "invalid file name");
        get("unknown kind", file.arg(u"exe"_s) + u"x.jpg"_s, 400, "unknown kind");
        get("idUser not a number", file.arg(u"jpg"_s).replace(u"idUser=%1"_s.arg(m_client), u"idUser=abc"_s), 400,
            "missing or invalid idUser");
        get("another account's file", file.arg(u"jpg"_s).replace(u"=405"_s, u"=406"_s) + u"Vita-20240105--09-30-15.jpg"_s, 404,
            "not found");
        get("other actions need POST", u"/Apps/Movelta/vq_webservice.php?idSender=405&action=getUsers"_s, 200, "code 400");
        // Forms the application never sends: answered in the envelope, nothing made.
        post("no account", "action=getUsers", 400);
        post("account not a number", "idSender=abc&action=getUsers", 400);
        post("account too large", "idSender=99999999999&action=getUsers", 400);
        post("empty", QByteArray(), 400);
        post("unknown action", "idSender=16&action=makeCoffee", 400);
        post("last action wins", R"(idSender=16&action=setUserData&data={"id":0}&action=getUsers)", 200);
        post("a plus is a space", R"(idSender=16&action=setUserData&data={"surname":"a+b"}&action=getUsers)", 200);
        for (const char *data : {"not json", "[1,2]", R"({"surname":"A","height":{}})", R"({"surname":"A","birthday":"1990-13-40"})",
                                 R"({"surname":"A","name":[1,2]})"})
            post("client " + QByteArray(data), "idSender=16&action=setUserData&data=" + QUrl::toPercentEncoding(QLatin1String(data)), 400);
        const QByteArray client = QByteArray::number(m_client), questionnaire = QByteArray::number(m_anamnesi);
        post("broken questionnaire", "idSender=405&action=uploadAnamnesi&idAnamnesi=0&data=%7Bbroken&idUser=" + client, 400);
        post("questionnaire of an unknown client", "idSender=16&action=uploadAnamnesi&idUser=555555&data={}", 404);
        post("questionnaires of an unknown client", "idSender=16&action=getUserAnamnesis&idUser=555555", 404);
        post("works of an unknown client", "idSender=16&action=getUserWorks&idUser=555555", 404);
        // Another account reads, changes and deletes none of them; ids it sends are its own.
        post("another account's works", "idSender=406&action=getUserWorks&idUser=" + client, 404);
        post("another account's questionnaires", "idSender=406&action=getUserAnamnesis&idUser=" + client, 404);
        post("questionnaire on another account's client", "idSender=406&action=uploadAnamnesi&data={}&idUser=" + client, 404);
        post("over another account's questionnaire",
             "idSender=406&action=uploadAnamnesi&data={}&idUser=" + QByteArray::number(m_other) + "&idAnamnesi=" + questionnaire, 200);
        post("another account's client id", R"(idSender=406&action=setUserData&data={"surname":"B","id":)" + client + "}", 200);
        post("deleting another account's client", "idSender=406&action=deleteUser&idUser=" + client, 200);
        post("deleting another account's questionnaire", "idSender=406&action=deleteAnamnesi&idAnamnesi=" + questionnaire, 200);
    }
    void requests()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        const ReferenceService::Response answer = m_service.request(method, path, body, body.isEmpty() ? QByteArray() : form);
        QCOMPARE(answer.status, status);
        QVERIFY2(answer.body.startsWith(reply) || (reply.startsWith("code ") && codeOf(answer) == reply.mid(5).toInt()),
                 answer.body.left(200).constData());
        QVERIFY(!answer.body.contains("secret") && !answer.body.startsWith("SQLite") && !answer.body.contains(R"("deleted":true)"));
        QVERIFY(codeOf(answer) == 200 || !answer.body.contains(R"("extradescr":"")"));
        if (QByteArray(QTest::currentDataTag()) == "a plus is a space")
            QCOMPARE(m_service.receivedRequests().last()[u"fields"_s][2][1].toString(), u"{\"surname\":\"a b\"}"_s);
        // Nothing was made for account 16, and account 405 has just what it had.
        QCOMPARE(dataOf(post("idSender=16&action=getUsers"))[u"users"_s].toArray().size(), 0);
        const QJsonArray users = dataOf(post("idSender=405&action=getUsers"))[u"users"_s].toArray();
        QVERIFY(users.size() == 1 && users[0][u"surname"_s] == u"A"_s);
        const QJsonArray anamnesis = dataOf(post("idSender=405&action=getUserAnamnesis&idUser=" + QByteArray::number(m_client)))
                                         [u"anamnesis"_s].toArray();
        QVERIFY(anamnesis.size() == 1 && anamnesis[0][u"object"_s].toString().contains(u"Segreta"_s));
    }

    void downloadsWhileReplaced()
    {
        // A day sent again while its scan is being fetched: each fetch gets the earlier
        // file or the new one whole, never a miss.
        const int idUser = newClient(407);
        const QByteArray contents[] = {QByteArray(48 * 1024, 'a'), QByteArray(48 * 1024, 'b')};
        QList<QByteArray> bodies;
        for (const QByteArray &content : contents)
            bodies << ::upload(407, idUser, u"2024-05-01"_s, zipOf({{"Vita-20240501--10-00-00.jpg", content}}));
        QCOMPARE(codeOf(post(bodies[0])), 200);
        std::atomic<bool> sending{true};
        auto sender = std::async(std::launch::async, [&] {
            int stored = 0;
            for (int i = 1; i <= 60; ++i)
                stored += codeOf(post(bodies[i % 2])) == 200;
            sending = false;
            return stored;
        });
        const QString url = u"/Apps/Movelta/vq_webservice.php?idSender=407&action=getUserFile&idUser=%1&kind=jpg"
                            "&filename=Vita-20240501--10-00-00.jpg"_s.arg(idUser);
        int fetched = 0, wrong = 0;
        for (; sending && fetched < 20000; ++fetched) {
            const ReferenceService::Response reply = m_service.request("GET", url);
            wrong += reply.status != 200 || (reply.body != contents[0] && reply.body != contents[1]);
        }
        QCOMPARE(sender.get(), 60);
        QCOMPARE(wrong, 0);
        QVERIFY(fetched > 0);
    }

    void diskFailure()
    {
        // The service's own disk failing is its fault, not the sender's: 500, which the application
        // sends again later, no path of this machine in the reply, nothing recorded; once mended,
        // the same upload is stored.
        if (ReferenceService::onPostgres())
            QSKIP("the exam files are in the database");
        const int idUser = newClient(405);
        QFile blocker(m_service.dataDir() + u"/files/405/%1"_s.arg(idUser));  // a file where the client's folder goes
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray body = ::upload(405, idUser, u"2024-06-01"_s, zipOf({{"Vita-20240601--10-00-00.jpg", m_scan}}));
        const auto works = [&] {
            return dataOf(post("idSender=405&action=getUserWorks&idUser=" + QByteArray::number(idUser)))[u"works"_s].toArray().size();
        };
        const ReferenceService::Response refused = post(body);
        QCOMPARE(codeOf(refused), 500);
        QVERIFY2(!refused.body.contains(QFile::encodeName(m_service.dataDir())), refused.body.constData());
        QCOMPARE(works(), 0);
        QVERIFY(m_service.stagingIsEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(m_service.log().contains(u"error: cannot create"_s), 10000);
        QVERIFY(blocker.remove());
        QCOMPARE(codeOf(post(body)), 200);
        QCOMPARE(works(), 1);
    }

    void uploadsGiveWay()
    {
        // While an upload comes in, its thread runs at nice 19, behind the quick requests; it
        // then ends with its connection and a fresh thread takes its place. With four
        // threads, more uploads than that leave no thread lowered, and the service still serving.
        m_service.setExtraArguments({u"--threads"_s, u"4"_s});
        QVERIFY(m_service.restart());
        const auto lowered = [pid = m_service.processId()] {
            int count = 0;
            for (QDirIterator it(u"/proc/%1/task"_s.arg(pid), QDir::Dirs | QDir::NoDotAndDotDot); it.hasNext();) {
                QFile stat(it.next() + u"/stat"_s);
                const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
                // The fields after the command's closing parenthesis start at the 3rd; the nice value is the 19th.
                const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
                count += fields.size() > 16 && fields[16].toInt() == 19;
            }
            return count;
        };
        const int idUser = newClient(405);
        const QByteArray body = ::upload(405, idUser, u"2024-07-01"_s, zipOf({{"Vita-20240701--10-00-00.jpg", m_scan}}));
        // Kept-alive requests written by hand.
        const auto head = [&](const QByteArray &type, qsizetype length) {
            return "POST " + m_service.endpointUrl().path().toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
                   type + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n";
        };
        const QByteArray form = "application/x-www-form-urlencoded", list = "idSender=405&action=getUsers";
        // Another client's kept connection, from the same port of another address, opened first.
        QTcpSocket other, half;
        QVERIFY(other.bind(QHostAddress(u"127.0.0.2"_s), 0) && half.bind(QHostAddress::LocalHost, other.localPort()));
        other.connectToHost(QHostAddress::LocalHost, m_service.port());
        QVERIFY(other.waitForConnected(10000));
        half.connectToHost(QHostAddress::LocalHost, m_service.port());
        QVERIFY(half.waitForConnected(10000));
        half.write(head("multipart/form-data; boundary=" + boundary, body.size()) + body.left(body.size() / 2));
        QVERIFY(half.waitForBytesWritten(10000));
        QTRY_COMPARE_WITH_TIMEOUT(lowered(), 1, 10000);
        QCOMPARE(codeOf(post(list)), 200);  // the other thread, at the normal priority
        half.write(body.mid(body.size() / 2));
        QByteArray reply;
        while (!reply.contains(R"("status":)") && half.waitForReadyRead(10000))
            reply += half.readAll();
        QVERIFY2(reply.contains("Connection: close") && reply.contains(R"("code":200)"), reply.constData());
        // A client that keeps the connection anyway is not served on the lowered thread: it ends.
        half.write(head(form, list.size()) + list);
        QVERIFY(half.state() == QAbstractSocket::UnconnectedState || half.waitForDisconnected(10000));
        reply += half.readAll();
        QCOMPARE(reply.count("HTTP/1.1 "), 1);
        other.write(head(form, list.size()) + list);
        QByteArray listed;
        while (!listed.contains(R"("code":)") && other.waitForReadyRead(10000))
            listed += other.readAll();
        QVERIFY2(listed.startsWith("HTTP/1.1 200"), listed.constData());
        for (const QString &day : {u"2024-07-02"_s, u"2024-07-03"_s, u"2024-07-04"_s, u"2024-07-05"_s, u"2024-07-06"_s})
            QCOMPARE(codeOf(post(::upload(405, idUser, day, zipOf({{"Vita-20240701--10-00-00.jpg", m_scan}})))), 200);
        QTRY_COMPARE_WITH_TIMEOUT(lowered(), 0, 10000);
        QCOMPARE(codeOf(post(list)), 200);
    }

    void limits()
    {
        m_service.setExtraArguments({u"--max-form-kb"_s, u"16"_s, u"--max-upload-mb"_s, u"1"_s, u"--quota-mb"_s, u"0.5"_s,
                                     u"--delay-ms"_s, u"300"_s});
        QVERIFY(m_service.restart());
        QElapsedTimer clock;  // the delay is a floor the service sleeps through before a download
        clock.start();
        QVERIFY(m_service.request("GET", u"/Apps/Movelta/models/Questionario%20extra.anm"_s).status == 200 && clock.elapsed() >= 280);
        QCOMPARE(post("idSender=405&action=setUserData&data=" + QByteArray(20000, 'a')).status, 413);
        int idUser = newClient(405);
        const ReferenceService::Response upload = post(::upload(405, idUser, u"2024-01-05"_s, QByteArray(1100 * 1024, 'z')));
        QVERIFY(upload.status == 413 || upload.status == 0);  // refused unread: the reply may be cut by the reset
        // The quota counts what archives unpack to. Of two that fit alone, sent at once, one is kept; its
        // day again replaces it, and the client's deletion frees the space.
        const auto exam = [&](const QString &day, int kilobytes) {
            QByteArray raw(kilobytes * 1024, 0);
            for (int i = 0; i < raw.size(); ++i)
                raw[i] = char(qint64(i) * 7919 % 251);
            return ::upload(405, idUser, day, zipOf({{"Vita-20240101--10-00-00.d2d", raw}}));
        };
        QCOMPARE(codeOf(post(exam(u"2024-04-01"_s, 600))), 405);
        const QByteArray second = exam(u"2024-04-03"_s, 300);
        auto first = std::async(std::launch::async, [&, body = exam(u"2024-04-02"_s, 300)] { return codeOf(post(body)); });
        QCOMPARE(QSet<int>({codeOf(post(second)), first.get()}), QSet<int>({200, 405}));
        const QJsonArray kept = dataOf(post("idSender=405&action=getUserWorks&idUser=" + QByteArray::number(idUser)))[u"works"_s].toArray();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(codeOf(post(exam(kept[0][u"date"_s].toString(), 300))), 200);
        QCOMPARE(codeOf(post("idSender=405&action=deleteUser&idUser=" + QByteArray::number(idUser))), 200);
        idUser = newClient(405);
        QCOMPARE(QList<int>({codeOf(post(exam(u"2024-04-02"_s, 300))), codeOf(post(exam(u"2024-04-03"_s, 100)))}), QList<int>({200, 200}));
        // Sent in chunks, of a length not known before: the archive waits in a file, the limit holds while it comes.
        const auto chunked = [&](const QByteArray &body) {
            QByteArray out;
            for (qsizetype at = 0; at < body.size(); at += 7000)
                out += QByteArray::number(qMin<qsizetype>(7000, body.size() - at), 16) + "\r\n" + body.mid(at, 7000) + "\r\n";
            return m_service.request("POST", m_service.endpointUrl().path(), out + "0\r\n\r\n",
                                     "multipart/form-data; boundary=" + boundary, 20000, "Transfer-Encoding: chunked\r\n");
        };
        QVERIFY(QList<int>({0, 413}).contains(chunked(::upload(405, idUser, u"2024-01-05"_s, QByteArray(1100 * 1024, 'z'))).status));
        QCOMPARE(codeOf(chunked(exam(u"2024-04-04"_s, 50))), 200);
        QCOMPARE(dataOf(post("idSender=405&action=getUserWorks&idUser=" + QByteArray::number(idUser)))[u"works"_s].toArray().size(), 3);
        QVERIFY(m_service.stagingIsEmpty());
    }

    void processAndCommandLine()
    {
        // A port already taken ends it with an error; signals end it cleanly; the data follows XDG.
        QTemporaryDir data;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, data.path());
        const auto run = [&](const QStringList &arguments) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(environment);
            process->start(ReferenceService::executable(), arguments);
            process->waitForStarted(10000);
            return process;
        };
        auto busy = run({u"--listen"_s, u"127.0.0.1:%1"_s.arg(m_service.port()), u"--data"_s, data.path()});
        QVERIFY(busy->waitForFinished(10000) && busy->exitCode() == 1 && busy->readAllStandardError().contains("cannot listen"));
        for (const int signal : {SIGTERM, SIGINT}) {
            auto process = run({u"--listen"_s, u"127.0.0.1:0"_s});
            QVERIFY(process->waitForReadyRead(10000) && process->readLine().startsWith("listening on http://127.0.0.1:"));
            ::kill(pid_t(process->processId()), signal);
            QVERIFY(process->waitForFinished(10000) && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0);
            const QString log = QString::fromUtf8(process->readAllStandardError());
            QVERIFY2(log.contains(signal == SIGINT ? u"SIGINT"_s : u"SIGTERM"_s) && log.trimmed().endsWith(u"stopped"_s), qPrintable(log));
        }
        const QString folder = data.path() + u"/Vantrel/calvestra-service/"_s;
        QVERIFY(QFileInfo::exists(folder + u"models/Composizione_corporea.anm"_s) && QFileInfo::exists(folder + u"service.db"_s));

        // One log line per request; a restart keeps port and data.
        QCOMPARE(codeOf(post("idSender=21&action=getUsers")), 200);
        const QString line = u"POST /Apps/Movelta/vq_webservice.php getUsers idSender=21 -> 200 code=200"_s;
        QTRY_VERIFY_WITH_TIMEOUT(m_service.log().count(line) == 1, 10000);
        const quint16 port = m_service.port();
        m_service.setExtraArguments({u"--extra-endpoint"_s, u"/calvestra/script"_s});
        QVERIFY(m_service.restart() && m_service.port() == port);
        // Another address of the production script shares its data; the development script has its own.
        const QByteArray client = R"(idSender=22&action=setUserData&data={"surname":"A"})";
        QCOMPARE(codeOf(m_service.request("POST", u"/calvestra/script"_s, client, form)), 200);
        QCOMPARE(dataOf(post("idSender=22&action=getUsers"))[u"users"_s].toArray().size(), 1);
        QCOMPARE(dataOf(m_service.request("POST", m_service.endpointUrl(true).path(), "idSender=22&action=getUsers", form))[u"users"_s]
                     .toArray().size(), 0);
    }

private:
    // A form, or the multipart body of an exam upload.
    ReferenceService::Response post(const QByteArray &body)
    {
        const QByteArray type = body.startsWith("--") ? "multipart/form-data; boundary=" + boundary : form;
        return m_service.request("POST", m_service.endpointUrl().path(), body, type);
    }
    int newClient(int account)
    {
        return dataOf(post("idSender=" + QByteArray::number(account) + R"(&action=setUserData&data={"id":0,"surname":"A"})"))
            [u"id"_s].toInt();
    }

    ReferenceService m_service;
    int m_client = 0;  // of account 405, with one exam and one questionnaire
    int m_other = 0;   // of account 406
    int m_anamnesi = 0;
    QByteArray m_scan;
};

CALVESTRA_TEST_MAIN(TestService)
#include "tst_service.moc"
