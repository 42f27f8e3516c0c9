// Exam uploads on the reference service: archive unpacking, the works listing,
// file downloads, the storage quota, hostile archives and account separation.
#include "ReferenceService.h"
#include "ServiceTestClient.h"
#include "TestMain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QHttpMultiPart>
#include <QRandomGenerator>
#include <QTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

const QString scanA = QStringLiteral("Coscia dx-20240105--09-30-15");
const QString scanB = QStringLiteral("Addome-20240105--09-41-02");

struct ScanSet
{
    QList<TestZip::Entry> entries;
    QMap<QString, QByteArray> bytes;

    void add(const QString &name, const QByteArray &content)
    {
        entries.append({name, content, false});
        bytes.insert(name, content);
    }
};

// Two scans, the first one analysed: five files, realistic sizes.
ScanSet twoScans(quint32 seed)
{
    ScanSet set;
    set.add(scanA + QStringLiteral(".jpg"), TestZip::jpegFile(400, 600, seed));
    set.add(scanA + QStringLiteral(".d2d"), TestZip::d2dFile(300, 946, seed));
    set.add(scanA + QStringLiteral(".json"), TestZip::analysisFile());
    set.add(scanB + QStringLiteral(".jpg"), TestZip::jpegFile(380, 600, seed + 1));
    set.add(scanB + QStringLiteral(".d2d"), TestZip::d2dFile(280, 946, seed + 1));
    return set;
}

QJsonObject examJson(int idUser, const QString &date, const QString &notes = QStringLiteral("Controllo mensile"))
{
    return QJsonObject{{QStringLiteral("examDate"), date},   {QStringLiteral("idUser"), idUser},
                       {QStringLiteral("activityLevel"), 3}, {QStringLiteral("weight"), 72.5},
                       {QStringLiteral("height"), 178.0},    {QStringLiteral("kind"), 2},
                       {QStringLiteral("subKind"), 2},       {QStringLiteral("examZones"), QStringLiteral("Coscia dx,Addome")},
                       {QStringLiteral("notes"), notes}};
}

QJsonArray works(ServiceTestClient &client, int idUser, int *code = nullptr)
{
    QUrlQuery q = client.form(QStringLiteral("getUserWorks"));
    q.addQueryItem(QStringLiteral("idUser"), QString::number(idUser));
    const auto reply = client.post(q);
    if (code)
        *code = reply.code();
    return reply.data().value(QStringLiteral("works")).toArray();
}

// Every regular file under the folder, by path relative to it.
QStringList filesUnder(const QString &folder)
{
    QStringList list;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        list << QDir(folder).relativeFilePath(it.next());
    list.sort();
    return list;
}

}  // namespace

class TestServiceExams : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void uploadStoresFlatEntries();
    void bodyBytesThatLookLikeBoundaries();
    void worksListTheStoredExams();
    void sameDayUploadReplacesTheExam();
    void filesAreServedByPictureName();
    void fileRequestsCannotEscape();
    void delayedFileDownload();
    void hostileArchivesAreRefused_data();
    void hostileArchivesAreRefused();
    void unreadableArchivesAreRefused();
    void examWithoutFiles();
    void examOfAnotherClientIsRefused();
    void quotaAnswers405();
    void concurrentUploadsRespectTheQuota();
    void accountsNeverSeeEachOthersExams();

private:
    QString writeArchive(const QList<TestZip::Entry> &entries, const QString &name = QStringLiteral("upload.zip"));

    ReferenceService m_service;
    QTemporaryDir m_temp;
};

void TestServiceExams::initTestCase()
{
    QVERIFY(m_temp.isValid());
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestServiceExams::init()
{
    QVERIFY(m_service.resetHooks());
}

QString TestServiceExams::writeArchive(const QList<TestZip::Entry> &entries, const QString &name)
{
    const QString path = m_temp.filePath(name);
    if (!TestZip::write(path, entries))
        return QString();
    return path;
}

void TestServiceExams::uploadStoresFlatEntries()
{
    ServiceTestClient client(m_service.endpointUrl(), 401);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Rossi"), QStringLiteral("Marco")));
    const ScanSet scans = twoScans(7);
    const QString archive = writeArchive(scans.entries);
    QVERIFY(!archive.isEmpty());

    const auto reply = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive);
    QCOMPARE(reply.error, QNetworkReply::NoError);
    QCOMPARE(reply.code(), 200);
    QVERIFY(reply.data().value(QStringLiteral("idUser")).isDouble());
    QCOMPARE(reply.data().value(QStringLiteral("idUser")).toInt(), idUser);
    QVERIFY(reply.data().value(QStringLiteral("examDate")).isString());
    QCOMPARE(reply.data().value(QStringLiteral("examDate")).toString(), QStringLiteral("2024-01-05"));
    const int workId = reply.data().value(QStringLiteral("id")).toInt();
    QVERIFY(workId > 0);

    // The request arrived as six parts in order, the archive with five flat entries.
    const QJsonObject request = m_service.receivedRequests().last().toObject();
    QStringList parts;
    for (const QJsonValue &part : request.value(QStringLiteral("parts")).toArray())
        parts << part.toObject().value(QStringLiteral("name")).toString();
    QCOMPARE(parts, (QStringList{"idSender", "action", "appVersion", "appOS", "exam", "UPLOADS"}));
    const QJsonObject filePart = request.value(QStringLiteral("parts")).toArray().last().toObject();
    QCOMPARE(filePart.value(QStringLiteral("filename")).toString(), QStringLiteral("upload.zip"));
    QCOMPARE(filePart.value(QStringLiteral("contentType")).toString(), QStringLiteral("application/octet-stream"));
    QCOMPARE(filePart.value(QStringLiteral("size")).toInteger(), QFileInfo(archive).size());
    QCOMPARE(request.value(QStringLiteral("archiveEntries")).toArray().size(), 5);

    // Stored byte for byte in the exam's own folder, nothing else left behind.
    const QString folder = m_service.dataDir() + QStringLiteral("/files/401/%1/%2").arg(idUser).arg(workId);
    QStringList expected = scans.bytes.keys();
    expected.sort();
    QCOMPARE(filesUnder(folder), expected);
    for (auto it = scans.bytes.cbegin(); it != scans.bytes.cend(); ++it) {
        QFile file(folder + QLatin1Char('/') + it.key());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll() == it.value(), qPrintable(it.key()));
    }
    QCOMPARE(filesUnder(m_service.dataDir() + QStringLiteral("/tmp")), QStringList());
}

void TestServiceExams::bodyBytesThatLookLikeBoundaries()
{
    ServiceTestClient client(m_service.endpointUrl(), 413);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Confine"), QStringLiteral("Multipart")));
    // Uncompressed, so the request body carries near-boundaries split at every offset.
    QByteArray tricky;
    QRandomGenerator random(5);
    while (tricky.size() < 600 * 1024) {
        tricky += "\r\n--boundary_.oOo._";
        tricky += QByteArray::number(random.generate(), 36);
        tricky += "\r\n--";
        tricky += "\r\n\r\nContent-Disposition: form-data; name=\"UPLOADS\"\r\n";
        tricky += char(random.bounded(256));
    }
    const QString name = QStringLiteral("Vita-20240105--09-30-15.d2d");
    const QString archive = writeArchive({{name, tricky, false, true}});
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive).code(), 200);
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("d2d"), QStringLiteral("Vita-20240105--09-30-15.jpg")).body, tricky);
}

void TestServiceExams::worksListTheStoredExams()
{
    ServiceTestClient client(m_service.endpointUrl(), 402);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Ferri"), QStringLiteral("Elena")));
    int code = 0;
    QCOMPARE(works(client, idUser, &code).size(), 0);
    QCOMPARE(code, 200);

    const QString archive = writeArchive(twoScans(11).entries);
    QJsonObject later = examJson(idUser, QStringLiteral("2024-03-10"), QStringLiteral("Secondo controllo"));
    later.insert(QStringLiteral("subKind"), 5);
    QCOMPARE(client.uploadExam(later, archive).code(), 200);
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive).code(), 200);

    const QJsonArray list = works(client, idUser);
    QCOMPARE(list.size(), 2);
    // Oldest first, like the local list of exam dates.
    const QJsonObject first = list.at(0).toObject();
    const QJsonObject second = list.at(1).toObject();
    QCOMPARE(first.value(QStringLiteral("date")).toString(), QStringLiteral("2024-01-05"));
    QCOMPARE(second.value(QStringLiteral("date")).toString(), QStringLiteral("2024-03-10"));
    for (const QJsonObject &work : {first, second}) {
        QVERIFY(work.value(QStringLiteral("id")).isDouble());
        QVERIFY(work.value(QStringLiteral("date")).isString());
        QVERIFY(work.value(QStringLiteral("examKind")).isDouble());
        QVERIFY(work.value(QStringLiteral("weight")).isDouble());
        QVERIFY(work.value(QStringLiteral("bodyFat")).isDouble());
        QVERIFY(work.value(QStringLiteral("activityLevel")).isDouble());
        QVERIFY(work.value(QStringLiteral("note")).isString());
        QVERIFY(work.value(QStringLiteral("scanFilenames")).isArray());
        QCOMPARE(work.value(QStringLiteral("weight")).toDouble(), 72.5);
        QCOMPARE(work.value(QStringLiteral("activityLevel")).toInt(), 3);
        // Only the pictures are listed, by bare file name.
        const QJsonArray names = work.value(QStringLiteral("scanFilenames")).toArray();
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.at(0).toString(), scanB + QStringLiteral(".jpg"));
        QCOMPARE(names.at(1).toString(), scanA + QStringLiteral(".jpg"));
    }
    QCOMPARE(first.value(QStringLiteral("examKind")).toInt(), 2);
    QCOMPARE(second.value(QStringLiteral("examKind")).toInt(), 5);
    QCOMPARE(second.value(QStringLiteral("note")).toString(), QStringLiteral("Secondo controllo"));
}

void TestServiceExams::sameDayUploadReplacesTheExam()
{
    ServiceTestClient client(m_service.endpointUrl(), 403);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Galli"), QStringLiteral("Luca")));
    const auto first = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), writeArchive(twoScans(3).entries));
    QCOMPARE(first.code(), 200);

    const QByteArray newPicture = TestZip::jpegFile(200, 300, 99);
    const QString onlyOne = writeArchive({{scanA + QStringLiteral(".jpg"), newPicture, false}}, QStringLiteral("one.zip"));
    const auto second = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05"), QStringLiteral("Rifatto")), onlyOne);
    QCOMPARE(second.code(), 200);
    QCOMPARE(second.data().value(QStringLiteral("id")).toInt(), first.data().value(QStringLiteral("id")).toInt());

    const QJsonArray list = works(client, idUser);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("note")).toString(), QStringLiteral("Rifatto"));
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("scanFilenames")).toArray().size(), 1);
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("jpg"), scanA + QStringLiteral(".jpg")).body, newPicture);
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("d2d"), scanA + QStringLiteral(".jpg")).httpStatus, 404);
    QCOMPARE(filesUnder(m_service.dataDir() + QStringLiteral("/files/403")).size(), 1);
}

void TestServiceExams::filesAreServedByPictureName()
{
    ServiceTestClient client(m_service.endpointUrl(), 404);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Conti"), QStringLiteral("Ada")));
    const ScanSet scans = twoScans(21);
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), writeArchive(scans.entries)).code(), 200);

    const QString picture = scanA + QStringLiteral(".jpg");
    const auto jpg = client.getUserFile(idUser, QStringLiteral("jpg"), picture);
    QCOMPARE(jpg.error, QNetworkReply::NoError);
    QCOMPARE(jpg.body, scans.bytes.value(picture));
    // The file name with its space travelled percent-encoded.
    const QString query = m_service.receivedRequests().last().toObject().value(QStringLiteral("query")).toString();
    QVERIFY2(query.contains(QStringLiteral("filename=Coscia%20dx-20240105--09-30-15.jpg")), qPrintable(query));
    QVERIFY(query.startsWith(QStringLiteral("idSender=404&action=getUserFile&idUser=")));

    // Raw data and analysis are asked for by the picture's name.
    const auto d2d = client.getUserFile(idUser, QStringLiteral("d2d"), picture);
    QCOMPARE(d2d.error, QNetworkReply::NoError);
    QCOMPARE(d2d.body, scans.bytes.value(scanA + QStringLiteral(".d2d")));
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("json"), picture).body,
             scans.bytes.value(scanA + QStringLiteral(".json")));
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("d2d"), scanB + QStringLiteral(".jpg")).body,
             scans.bytes.value(scanB + QStringLiteral(".d2d")));

    // Missing analysis, unknown names and kinds are HTTP errors, never an empty success.
    const auto noAnalysis = client.getUserFile(idUser, QStringLiteral("json"), scanB + QStringLiteral(".jpg"));
    QCOMPARE(noAnalysis.httpStatus, 404);
    QVERIFY(noAnalysis.error != QNetworkReply::NoError);
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("jpg"), QStringLiteral("Vita-20240105--10-00-00.jpg")).httpStatus, 404);
    QCOMPARE(client.getUserFile(idUser, QStringLiteral("exe"), picture).httpStatus, 400);
}

void TestServiceExams::fileRequestsCannotEscape()
{
    ServiceTestClient client(m_service.endpointUrl(), 405);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Sala"), QStringLiteral("Ugo")));
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), writeArchive(twoScans(5).entries)).code(), 200);
    // Something worth stealing next to the stored files.
    QFile secret(m_service.dataDir() + QStringLiteral("/files/405/secret.jpg"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();

    const QStringList names{QStringLiteral("../secret.jpg"),
                            QStringLiteral("../../405/secret.jpg"),
                            QStringLiteral("..%2Fsecret.jpg"),
                            QStringLiteral("/etc/passwd"),
                            QStringLiteral("..\\secret.jpg"),
                            QStringLiteral(".."),
                            QStringLiteral("sub/") + scanA + QStringLiteral(".jpg"),
                            QString()};
    for (const QString &name : names) {
        const auto reply = client.getUserFile(idUser, QStringLiteral("jpg"), name);
        QVERIFY2(reply.httpStatus == 400 || reply.httpStatus == 404, qPrintable(name));
        QVERIFY(!reply.body.contains("secret"));
    }
    const auto db = client.getUserFile(idUser, QStringLiteral("d2d"), QStringLiteral("../../../service.jpg"));
    QCOMPARE(db.httpStatus, 400);
    QVERIFY(!db.body.contains("SQLite"));

    // Bad identities: not a number, no such client, a client of this account
    // that has the name is still needed.
    QUrl url = m_service.endpointUrl();
    url.setQuery(QStringLiteral("idSender=405&action=getUserFile&idUser=abc&kind=jpg&filename=x.jpg"));
    QCOMPARE(client.get(url).httpStatus, 400);
    QCOMPARE(client.getUserFile(idUser + 1000, QStringLiteral("jpg"), scanA + QStringLiteral(".jpg")).httpStatus, 404);
}

void TestServiceExams::delayedFileDownload()
{
    ServiceTestClient client(m_service.endpointUrl(), 414);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Lento"), QStringLiteral("Download")));
    const ScanSet scans = twoScans(41);
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), writeArchive(scans.entries)).code(), 200);
    m_service.setDelayMs(400);
    QVERIFY(m_service.restart());
    const auto reply = client.getUserFile(idUser, QStringLiteral("jpg"), scanA + QStringLiteral(".jpg"));
    QCOMPARE(reply.body, scans.bytes.value(scanA + QStringLiteral(".jpg")));
    // A floor the service sleeps through before sending, not a speed measurement.
    QVERIFY2(reply.elapsedMs >= 380, qPrintable(QString::number(reply.elapsedMs)));
    m_service.setDelayMs(0);
    QVERIFY(m_service.restart());
}

void TestServiceExams::hostileArchivesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("symlink");
    QTest::newRow("parent") << QStringLiteral("../evil.jpg") << false;
    QTest::newRow("deep parent") << QStringLiteral("../../../../evil.jpg") << false;
    QTest::newRow("absolute") << QStringLiteral("/tmp/evil.jpg") << false;
    QTest::newRow("subfolder") << QStringLiteral("sub/evil.jpg") << false;
    QTest::newRow("folder entry") << QStringLiteral("sub/") << false;
    QTest::newRow("backslash") << QStringLiteral("..\\evil.jpg") << false;
    QTest::newRow("hidden") << QStringLiteral(".evil.jpg") << false;
    QTest::newRow("dot dot") << QStringLiteral("..") << false;
    QTest::newRow("control") << QStringLiteral("evil\n.jpg") << false;
    QTest::newRow("symlink") << QStringLiteral("evil.jpg") << true;
}

void TestServiceExams::hostileArchivesAreRefused()
{
    QFETCH(QString, name);
    QFETCH(bool, symlink);
    ServiceTestClient client(m_service.endpointUrl(), 406);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Ostile"), QStringLiteral("Archivio")));
    QList<TestZip::Entry> entries = twoScans(1).entries;
    entries.append({name, symlink ? QByteArray("/etc/passwd") : QByteArray("evil"), symlink});
    const QString archive = writeArchive(entries);
    QVERIFY(!archive.isEmpty());
    const QStringList before = filesUnder(QFileInfo(m_service.dataDir()).absolutePath());

    const auto reply = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive);
    QCOMPARE(reply.error, QNetworkReply::NoError);
    QCOMPARE(reply.code(), 400);
    QVERIFY(!reply.extradescr().isEmpty());
    // Nothing was written anywhere: no exam, no file inside or outside the data folder.
    QCOMPARE(works(client, idUser).size(), 0);
    QStringList after = filesUnder(QFileInfo(m_service.dataDir()).absolutePath());
    after.removeAll(QStringLiteral("service.log"));
    QStringList expected = before;
    expected.removeAll(QStringLiteral("service.log"));
    QCOMPARE(after, expected);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/evil.jpg")));
}

void TestServiceExams::unreadableArchivesAreRefused()
{
    ServiceTestClient client(m_service.endpointUrl(), 407);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Rotto"), QStringLiteral("Zip")));
    const QString good = writeArchive(twoScans(2).entries, QStringLiteral("good.zip"));
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = goodFile.readAll();

    const QList<QByteArray> bodies{QByteArray(5000, 'z'), bytes.left(bytes.size() / 2), bytes.left(bytes.size() - 10)};
    for (const QByteArray &body : bodies) {
        QFile broken(m_temp.filePath(QStringLiteral("broken.zip")));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write(body);
        broken.close();
        const auto reply = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), broken.fileName());
        QCOMPARE(reply.code(), 400);
    }
    // An entry whose data is damaged is caught while unpacking.
    QByteArray damaged = bytes;
    const int at = damaged.indexOf(QByteArray("d2d")) + 200;
    for (int i = 0; i < 64; ++i)
        damaged[at + i] = static_cast<char>(damaged[at + i] ^ 0x5A);
    QFile broken(m_temp.filePath(QStringLiteral("damaged.zip")));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write(damaged);
    broken.close();
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), broken.fileName()).code(), 400);

    QCOMPARE(works(client, idUser).size(), 0);
    QCOMPARE(filesUnder(m_service.dataDir() + QStringLiteral("/tmp")), QStringList());
}

void TestServiceExams::examWithoutFiles()
{
    ServiceTestClient client(m_service.endpointUrl(), 408);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Vuoto"), QStringLiteral("Esame")));
    // No file part at all: refused.
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), QString()).code(), 400);
    // An empty archive: an exam with body data and no scans.
    QFile empty(m_temp.filePath(QStringLiteral("empty.zip")));
    QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
    empty.close();
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-02-01")), empty.fileName()).code(), 200);
    const QJsonArray list = works(client, idUser);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("scanFilenames")).toArray().size(), 0);

    // A bad exam record is refused before anything is stored.
    const QString archive = writeArchive(twoScans(4).entries);
    QJsonObject badDate = examJson(idUser, QStringLiteral("05/01/2024"));
    QCOMPARE(client.uploadExam(badDate, archive).code(), 400);
    QJsonObject badWeight = examJson(idUser, QStringLiteral("2024-03-01"));
    badWeight.insert(QStringLiteral("weight"), QJsonArray{});
    QCOMPARE(client.uploadExam(badWeight, archive).code(), 400);
    QCOMPARE(works(client, idUser).size(), 1);
}

void TestServiceExams::examOfAnotherClientIsRefused()
{
    ServiceTestClient client(m_service.endpointUrl(), 409);
    const QString archive = writeArchive(twoScans(6).entries);
    for (const int idUser : {0, 999999}) {
        const auto reply = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive);
        QCOMPARE(reply.code(), 404);
    }
    int code = 0;
    works(client, 999999, &code);
    QCOMPARE(code, 404);
    QVERIFY(!QFileInfo::exists(m_service.dataDir() + QStringLiteral("/files/409")));
}

void TestServiceExams::quotaAnswers405()
{
    m_service.setQuotaMb(1.0);
    QVERIFY(m_service.restart());
    ServiceTestClient client(m_service.endpointUrl(), 410);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Quota"), QStringLiteral("Piena")));
    // About 600 kB unpacked: one fits in 1 MB, two do not.
    const QList<TestZip::Entry> scan{{scanA + QStringLiteral(".d2d"), TestZip::d2dFile(630, 946, 8), false}};
    const QString archive = writeArchive(scan);
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive).code(), 200);

    const auto full = client.uploadExam(examJson(idUser, QStringLiteral("2024-01-06")), archive);
    QCOMPARE(full.error, QNetworkReply::NoError);
    QCOMPARE(full.code(), 405);
    QVERIFY(!full.extradescr().isEmpty());
    QCOMPARE(works(client, idUser).size(), 1);
    QCOMPARE(filesUnder(m_service.dataDir() + QStringLiteral("/files/410")).size(), 1);

    // Sending the same day again replaces it, so it still fits.
    QCOMPARE(client.uploadExam(examJson(idUser, QStringLiteral("2024-01-05")), archive).code(), 200);
    // Another account has its own space.
    ServiceTestClient other(m_service.endpointUrl(), 411);
    const int otherUser = other.saveClient(other.clientJson(QStringLiteral("Altro"), QStringLiteral("Spazio")));
    QCOMPARE(other.uploadExam(examJson(otherUser, QStringLiteral("2024-01-06")), archive).code(), 200);
    // Deleting the client frees the space.
    QUrlQuery del = client.form(QStringLiteral("deleteUser"));
    del.addQueryItem(QStringLiteral("idUser"), QString::number(idUser));
    QCOMPARE(client.post(del).code(), 200);
    const int again = client.saveClient(client.clientJson(QStringLiteral("Quota"), QStringLiteral("Libera")));
    QCOMPARE(client.uploadExam(examJson(again, QStringLiteral("2024-01-06")), archive).code(), 200);

    m_service.setQuotaMb(-1);
    QVERIFY(m_service.restart());
}

void TestServiceExams::concurrentUploadsRespectTheQuota()
{
    m_service.setQuotaMb(1.0);
    QVERIFY(m_service.restart());
    ServiceTestClient first(m_service.endpointUrl(), 412);
    ServiceTestClient second(m_service.endpointUrl(), 412);
    const int idUser = first.saveClient(first.clientJson(QStringLiteral("Gara"), QStringLiteral("Parallela")));
    const QString archive = writeArchive({{scanA + QStringLiteral(".d2d"), TestZip::d2dFile(630, 946, 9), false}});

    // Both requests are in flight at once; exactly one may be stored.
    QList<int> codes;
    int pending = 2;
    QEventLoop loop;
    auto send = [&](ServiceTestClient &c, const QString &date) {
        auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        auto field = [multi](const QByteArray &name, const QByteArray &value) {
            QHttpPart part;
            part.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"" + name + "\"");
            part.setBody(value);
            multi->append(part);
        };
        field("idSender", "412");
        field("action", "uploadExamZip");
        field("exam", QJsonDocument(examJson(idUser, date)).toJson());
        QHttpPart file;
        file.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"UPLOADS\"; filename=\"upload.zip\"");
        auto *device = new QFile(archive, multi);
        device->open(QIODevice::ReadOnly);
        file.setBodyDevice(device);
        multi->append(file);
        QNetworkReply *reply = c.manager().post(QNetworkRequest(m_service.endpointUrl()), multi);
        multi->setParent(reply);
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
            codes << QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("status"))
                         .toObject().value(QStringLiteral("code")).toInt();
            reply->deleteLater();
            if (--pending == 0)
                loop.quit();
        });
    };
    send(first, QStringLiteral("2024-04-01"));
    send(second, QStringLiteral("2024-04-02"));
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    QCOMPARE(codes.size(), 2);
    std::sort(codes.begin(), codes.end());
    QCOMPARE(codes, (QList<int>{200, 405}));
    QCOMPARE(works(first, idUser).size(), 1);

    m_service.setQuotaMb(-1);
    QVERIFY(m_service.restart());
}

void TestServiceExams::accountsNeverSeeEachOthersExams()
{
    ServiceTestClient a(m_service.endpointUrl(), 501);
    ServiceTestClient b(m_service.endpointUrl(), 502);
    const int clientA = a.saveClient(a.clientJson(QStringLiteral("Riservato"), QStringLiteral("Alfa")));
    const int clientB = b.saveClient(b.clientJson(QStringLiteral("Curioso"), QStringLiteral("Beta")));
    const ScanSet scans = twoScans(31);
    const QString archive = writeArchive(scans.entries);
    QCOMPARE(a.uploadExam(examJson(clientA, QStringLiteral("2024-01-05")), archive).code(), 200);
    // B has a scan of the same name, so a mix-up could not hide behind a 404.
    const QByteArray pictureB = TestZip::jpegFile(100, 100, 77);
    QCOMPARE(b.uploadExam(examJson(clientB, QStringLiteral("2024-01-05")),
                          writeArchive({{scanA + QStringLiteral(".jpg"), pictureB, false}}, QStringLiteral("b.zip")))
                 .code(), 200);

    int code = 0;
    works(b, clientA, &code);
    QCOMPARE(code, 404);
    QCOMPARE(b.getUserFile(clientA, QStringLiteral("jpg"), scanA + QStringLiteral(".jpg")).httpStatus, 404);
    QCOMPARE(b.getUserFile(clientA, QStringLiteral("d2d"), scanA + QStringLiteral(".jpg")).httpStatus, 404);
    QCOMPARE(b.getUserFile(clientB, QStringLiteral("jpg"), scanA + QStringLiteral(".jpg")).body, pictureB);
    QCOMPARE(b.getUserFile(clientB, QStringLiteral("d2d"), scanA + QStringLiteral(".jpg")).httpStatus, 404);
    // B cannot store an exam under A's client, nor replace A's exam of that day.
    QCOMPARE(b.uploadExam(examJson(clientA, QStringLiteral("2024-01-05")), archive).code(), 404);
    QCOMPARE(a.getUserFile(clientA, QStringLiteral("jpg"), scanA + QStringLiteral(".jpg")).body,
             scans.bytes.value(scanA + QStringLiteral(".jpg")));
    const QJsonArray listA = works(a, clientA);
    QCOMPARE(listA.size(), 1);
    QCOMPARE(listA.at(0).toObject().value(QStringLiteral("scanFilenames")).toArray().size(), 2);
    // Deleting A's client from B's account does nothing.
    QUrlQuery del = b.form(QStringLiteral("deleteUser"));
    del.addQueryItem(QStringLiteral("idUser"), QString::number(clientA));
    QCOMPARE(b.post(del).data().value(QStringLiteral("deleted")).toBool(), false);
    QCOMPARE(works(a, clientA).size(), 1);
}

CALVESTRA_TEST_MAIN(TestServiceExams)
#include "tst_service_exams.moc"
