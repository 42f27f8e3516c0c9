// Exam upload and remote works against the reference service: the archive that
// arrives, the reply values, a full storage, the works listing and the user files.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "cloud/ExamArchiveBuilder.h"
#include "store/Exam.h"

#include <QNetworkReply>
#include <QSignalSpy>

class TestHttpServiceExams : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void twoScansOneAnalysedArriveAsFiveFlatEntries();
    void olderUploadZipNeverLeaks();
    void concurrentUploadsKeepTheirOwnArchives();
    void examWithoutFilesStillUploads();
    void fullStorageGivesWebSpaceOverOnly();
    void worksListingAndUserFiles();
    void clientWithoutWorks();

private:
    Client uploadClient(CloudCase &c, const QString &surname);
    // Waits for exactly one of the three outcomes; returns its name.
    QString waitForOutcome(CloudCase &c, Exam *exam, QList<ScanFile> *scans, Exam *done = nullptr,
                           int timeoutMs = 30000);

    ReferenceService m_service;
};

void TestHttpServiceExams::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestHttpServiceExams::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

Client TestHttpServiceExams::uploadClient(CloudCase &c, const QString &surname)
{
    Client client = c.addClient(surname, QStringLiteral("Test"));
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    if (!done.wait(10000))
        qWarning("client upload not confirmed");
    client.loadFromDB(client.id);
    return client;
}

QString TestHttpServiceExams::waitForOutcome(CloudCase &c, Exam *exam, QList<ScanFile> *scans, Exam *done,
                                             int timeoutMs)
{
    QStringList outcomes;
    QObject context;
    connect(c.http(), &HttpService::onUploadExamDone, &context, [&](Exam *e) {
        outcomes << QStringLiteral("done");
        if (done)
            *done = *e;
    });
    connect(c.http(), &HttpService::onUploadExamFail, &context, [&] { outcomes << QStringLiteral("fail"); });
    connect(c.http(), &HttpService::onWebSpaceOver, &context, [&] { outcomes << QStringLiteral("full"); });
    c->uploadExam(exam, scans);
    if (!QTest::qWaitFor([&] { return !outcomes.isEmpty(); }, timeoutMs))
        return QStringLiteral("nothing");
    // Exactly one outcome: give a second one the chance to show up.
    QTest::qWait(100);
    return outcomes.join(QLatin1Char(','));
}

void TestHttpServiceExams::twoScansOneAnalysedArriveAsFiveFlatEntries()
{
    CloudCase c(m_service, 6101);
    const Client client = uploadClient(c, QStringLiteral("Ferri"));
    const QString folder = client.getDataPath(true);
    const ScanFile analysed = writeScan(folder, QStringLiteral("Coscia dx"), QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), true, 300);
    const ScanFile plain = writeScan(folder, QStringLiteral("Addome"), QDateTime(QDate(2024, 1, 5), QTime(9, 35, 0)), false, 300);
    QList<ScanFile> scans{analysed, plain};

    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 1, 5);
    exam.weight = 71.5;
    exam.height = 180;
    exam.activityLevel = 2;
    exam.notes = QStringLiteral("controllo");
    QList<QPair<qint64, qint64>> progress;
    connect(c.http(), &HttpService::onUploadProgress, this,
            [&](qint64 sent, qint64 total) { progress << qMakePair(sent, total); });
    CloudLogCatcher log;
    Exam done;
    done.weight = -1;
    QCOMPARE(waitForOutcome(c, &exam, &scans, &done), QStringLiteral("done"));

    // Five flat entries named by the bare file names.
    const QJsonObject r = waitForRequest(m_service, QStringLiteral("uploadExamZip"));
    QStringList entries;
    for (const QJsonValue &name : r.value(QStringLiteral("archiveEntries")).toArray())
        entries << name.toString();
    QCOMPARE(entries, (QStringList{QStringLiteral("Coscia dx-20240105--09-30-15.jpg"),
                                   QStringLiteral("Coscia dx-20240105--09-30-15.d2d"),
                                   QStringLiteral("Coscia dx-20240105--09-30-15.json"),
                                   QStringLiteral("Addome-20240105--09-35-00.jpg"),
                                   QStringLiteral("Addome-20240105--09-35-00.d2d")}));
    // The exam of the signal carries the reply's client and date, nothing else.
    QCOMPARE(done.idUser, client.web_id);
    QCOMPARE(done.examDate, QDate(2024, 1, 5));
    QCOMPARE(done.weight, 0.0);
    QCOMPARE(done.notes, QString());
    QVERIFY(log.has(QStringLiteral("upload exam ok (http)")));

    // Progress up to the whole body (the network layer ends with a last (0, 0)).
    QVERIFY(!progress.isEmpty());
    qint64 sentMost = 0;
    qint64 total = 0;
    for (const auto &step : progress) {
        QVERIFY(step.first <= step.second);
        sentMost = qMax(sentMost, step.first);
        total = qMax(total, step.second);
    }
    QVERIFY(total > QFileInfo(analysed.jpgFile).size() + QFileInfo(plain.jpgFile).size());
    QCOMPARE(sentMost, total);

    // The archive, named in the log, is gone once the upload is over.
    QString archive;
    for (const QString &line : log.lines()) {
        if (line.startsWith(QStringLiteral("zipFile ")))
            archive = line.mid(8);
    }
    QVERIFY(archive.startsWith(QDir::tempPath() + QLatin1Char('/')));
    QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(archive); }, 2000));

    // What the service keeps is byte for byte what was scanned.
    QNetworkReply *reply = c->getUserFile(client.web_id, QStringLiteral("jpg"), QFileInfo(analysed.jpgFile).fileName());
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), readFile(analysed.jpgFile));
    delete reply;
}

void TestHttpServiceExams::olderUploadZipNeverLeaks()
{
    // Another program's leftover lies in the temporary folder under the archive's old name.
    const QString stale = QDir::tempPath() + QStringLiteral("/upload.zip");
    const bool hadStale = QFileInfo::exists(stale);
    QTemporaryDir scratch;
    const QString strayFile = scratch.filePath(QStringLiteral("stray-20240105--09-30-15.jpg"));
    QFile stray(strayFile);
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("stray picture");
    stray.close();
    if (!hadStale)
        QVERIFY(ExamArchiveBuilder::build(stale, {strayFile}).ok);

    CloudCase c(m_service, 6102);
    const Client client = uploadClient(c, QStringLiteral("Villa"));
    const ScanFile scan = writeScan(client.getDataPath(true), QStringLiteral("Vita"), QDateTime(QDate(2024, 2, 2), QTime(10, 0, 0)), false);
    QList<ScanFile> scans{scan};
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 2, 2);
    QCOMPARE(waitForOutcome(c, &exam, &scans), QStringLiteral("done"));
    const QJsonArray entries = waitForRequest(m_service, QStringLiteral("uploadExamZip"))
                                   .value(QStringLiteral("archiveEntries")).toArray();
    QCOMPARE(entries.size(), 2);
    for (const QJsonValue &name : entries)
        QVERIFY(name.toString().startsWith(QStringLiteral("Vita-20240202--10-00-00.")));
    if (!hadStale)
        QFile::remove(stale);
}

void TestHttpServiceExams::concurrentUploadsKeepTheirOwnArchives()
{
    CloudCase c(m_service, 6103);
    const Client a = uploadClient(c, QStringLiteral("Primo"));
    const Client b = uploadClient(c, QStringLiteral("Secondo"));
    const ScanFile scanA = writeScan(a.getDataPath(true), QStringLiteral("Vita"), QDateTime(QDate(2024, 3, 3), QTime(10, 0, 0)), true, 600);
    const ScanFile scanB = writeScan(b.getDataPath(true), QStringLiteral("Fianco"), QDateTime(QDate(2024, 3, 4), QTime(11, 0, 0)), false, 600);
    QList<ScanFile> scansA{scanA};
    QList<ScanFile> scansB{scanB};
    Exam examA;
    examA.idUser = a.web_id;
    examA.examDate = QDate(2024, 3, 3);
    Exam examB;
    examB.idUser = b.web_id;
    examB.examDate = QDate(2024, 3, 4);

    QList<Exam> done;
    QSignalSpy fail(c.http(), &HttpService::onUploadExamFail);
    connect(c.http(), &HttpService::onUploadExamDone, this, [&](Exam *e) { done << *e; });
    // The second starts while the first is still being built and sent.
    c->uploadExam(&examA, &scansA);
    c->uploadExam(&examB, &scansB);
    QVERIFY(QTest::qWaitFor([&] { return done.size() + fail.size() == 2; }, 30000));
    QCOMPARE(fail.size(), 0);

    const QList<QJsonObject> uploads = requestsOfKind(m_service, QStringLiteral("uploadExamZip"));
    QCOMPARE(uploads.size(), 2);
    QStringList all;
    for (const QJsonObject &r : uploads) {
        QStringList entries;
        for (const QJsonValue &name : r.value(QStringLiteral("archiveEntries")).toArray())
            entries << name.toString();
        const QJsonObject exam = QJsonDocument::fromJson(fieldValue(r, QStringLiteral("exam")).toUtf8()).object();
        if (exam.value(QStringLiteral("idUser")).toInt() == a.web_id)
            QCOMPARE(entries.size(), 3);
        else
            QCOMPARE(entries, (QStringList{QStringLiteral("Fianco-20240304--11-00-00.jpg"),
                                           QStringLiteral("Fianco-20240304--11-00-00.d2d")}));
        all << entries;
    }
    QCOMPARE(all.size(), 5);
}

void TestHttpServiceExams::examWithoutFilesStillUploads()
{
    CloudCase c(m_service, 6104);
    const Client client = uploadClient(c, QStringLiteral("Vuoto"));
    // A pending exam whose pictures are gone: the record still reaches the service.
    ScanFile gone;
    gone.jpgFile = client.getDataPath(true) + QStringLiteral("Vita-20240105--09-30-15.jpg");
    gone.d2dFile = client.getDataPath(true) + QStringLiteral("Vita-20240105--09-30-15.d2d");
    QList<ScanFile> scans{gone};
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 1, 5);
    QCOMPARE(waitForOutcome(c, &exam, &scans), QStringLiteral("done"));
    QCOMPARE(waitForRequest(m_service, QStringLiteral("uploadExamZip")).value(QStringLiteral("archiveEntries")).toArray().size(), 0);
    // No list at all is the same.
    QCOMPARE(waitForOutcome(c, &exam, nullptr), QStringLiteral("done"));
}

void TestHttpServiceExams::fullStorageGivesWebSpaceOverOnly()
{
    ReferenceService small;
    small.setQuotaMb(0.5);
    QVERIFY2(small.start(), qPrintable(small.errorString()));
    CloudCase c(small, 6105);
    const Client client = uploadClient(c, QStringLiteral("Pieno"));
    QList<ScanFile> scans;
    for (int i = 0; i < 2; ++i)
        scans << writeScan(client.getDataPath(true), QStringLiteral("Zona%1").arg(i), QDateTime(QDate(2024, 4, 4), QTime(9, i, 0)), false, 400);
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 4, 4);
    CloudLogCatcher log;
    QCOMPARE(waitForOutcome(c, &exam, &scans), QStringLiteral("full"));
    QVERIFY(log.has(QStringLiteral("uploadExam -> WebSpaceOver")));
    QCOMPARE(log.countStartingWith(QStringLiteral("error")), 0);
    QCOMPARE(waitForRequest(small, QStringLiteral("uploadExamZip")).value(QStringLiteral("code")).toInt(), 405);

    // A small exam still fits.
    QList<ScanFile> tiny{writeScan(client.getDataPath(true), QStringLiteral("Piccola"), QDateTime(QDate(2024, 4, 5), QTime(9, 0, 0)), false, 10)};
    exam.examDate = QDate(2024, 4, 5);
    QCOMPARE(waitForOutcome(c, &exam, &tiny), QStringLiteral("done"));
}

void TestHttpServiceExams::worksListingAndUserFiles()
{
    CloudCase c(m_service, 6106);
    const Client client = uploadClient(c, QStringLiteral("Lombardi"));
    const QString folder = client.getDataPath(true);
    const ScanFile first = writeScan(folder, QStringLiteral("Coscia sx"), QDateTime(QDate(2024, 5, 1), QTime(8, 15, 0)), true);
    const ScanFile second = writeScan(folder, QStringLiteral("Tricipite"), QDateTime(QDate(2024, 5, 1), QTime(8, 20, 30)), false);
    QList<ScanFile> scans{first, second};
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 5, 1);
    exam.weight = 64.5;
    exam.activityLevel = 3;
    exam.notes = QStringLiteral("dopo allenamento");
    QCOMPARE(waitForOutcome(c, &exam, &scans), QStringLiteral("done"));

    QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
    c->getUserWorks(client.web_id);
    QVERIFY(works.wait(10000));
    const auto list = works.at(0).at(0).value<QList<Exam>>();
    QCOMPARE(list.size(), 1);
    const Exam work = list.at(0);
    QVERIFY(work.id > 0);
    QCOMPARE(work.examDate, QDate(2024, 5, 1));
    QCOMPARE(work.subKind, 2);
    QCOMPARE(work.weight, 64.5);
    QCOMPARE(work.activityLevel, 3);
    QCOMPARE(work.notes, QStringLiteral("dopo allenamento"));
    QCOMPARE(work.idUser, 0);     // not read from a work
    QCOMPARE(work.height, 0.0);   // not read from a work
    QCOMPARE(work.scanNames, (QStringList{QFileInfo(first.jpgFile).fileName(), QFileInfo(second.jpgFile).fileName()}));

    // Each picture, and its raw data asked for by the picture's name (which holds a space).
    for (const ScanFile &scan : scans) {
        const QString name = QFileInfo(scan.jpgFile).fileName();
        for (const QString &kind : {QStringLiteral("jpg"), QStringLiteral("d2d")}) {
            QNetworkReply *reply = c->getUserFile(client.web_id, kind, name);
            QSignalSpy finished(reply, &QNetworkReply::finished);
            QVERIFY(finished.wait(10000));
            QCOMPARE(reply->error(), QNetworkReply::NoError);
            QCOMPARE(reply->readAll(), readFile(kind == QLatin1String("jpg") ? scan.jpgFile : scan.d2dFile));
            delete reply;
        }
    }
    const QJsonObject request = requestsOfKind(m_service, QStringLiteral("getUserFile")).first();
    QVERIFY(request.value(QStringLiteral("query")).toString().endsWith(
        QStringLiteral("&kind=jpg&filename=Coscia%20sx-20240501--08-15-00.jpg")));
}

void TestHttpServiceExams::clientWithoutWorks()
{
    CloudCase c(m_service, 6107);
    const Client client = uploadClient(c, QStringLiteral("Nuovo"));
    QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
    c->getUserWorks(client.web_id);
    QVERIFY(works.wait(10000));
    QVERIFY(works.at(0).at(0).value<QList<Exam>>().isEmpty());
}

CALVESTRA_TEST_MAIN(TestHttpServiceExams)
#include "tst_httpservice_exams.moc"
