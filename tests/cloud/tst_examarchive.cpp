// The exam archive: a standard zip with flat entries, built off the interface thread.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "cloud/ExamArchiveBuilder.h"
#include "cloud/UploadArchiveFile.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

class TestExamArchive : public QObject
{
    Q_OBJECT

private slots:
    void flatEntriesNamedByBareFileNames();
    void laterFileWithTheSameNameReplacesTheEarlier();
    void missingFilesAreSkipped();
    void olderFileAtThePathNeverLeaks();
    void noFilesGivesAValidEmptyArchive();
    void unwritableArchiveIsAFailure();
    void unreadableFileIsAFailure();
    void buildsInAnotherThread();
    void destroyingTheBuilderCancelsTheBuild();
    void uploadArchiveFileIsPrivateAndRemoved();

private:
    QTemporaryDir m_dir;
};

void TestExamArchive::flatEntriesNamedByBareFileNames()
{
    const QString folder = m_dir.filePath(QStringLiteral("flat/data/1532"));
    const QDateTime when(QDate(2024, 1, 5), QTime(9, 30, 15));
    const ScanFile a = writeScan(folder, QStringLiteral("Coscia dx"), when, true);
    const ScanFile b = writeScan(folder, QStringLiteral("Addome"), when.addSecs(90), false);
    const QString zipPath = m_dir.filePath(QStringLiteral("flat/exam.zip"));

    const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile, a.jsonFile, b.jpgFile, b.d2dFile});
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.entries, 5);
    QCOMPARE(result.skipped, 0);

    const ZipListing listing = listZip(zipPath);
    QVERIFY(listing.ok);
    QCOMPARE(listing.names, (QStringList{QStringLiteral("Coscia dx-20240105--09-30-15.jpg"),
                                         QStringLiteral("Coscia dx-20240105--09-30-15.d2d"),
                                         QStringLiteral("Coscia dx-20240105--09-30-15.json"),
                                         QStringLiteral("Addome-20240105--09-31-45.jpg"),
                                         QStringLiteral("Addome-20240105--09-31-45.d2d")}));
    // The bytes are the files' own, whatever the compression chosen per kind.
    QCOMPARE(listing.contents.at(0), readFile(a.jpgFile));
    QCOMPARE(listing.contents.at(1), readFile(a.d2dFile));
    QCOMPARE(listing.contents.at(2), readFile(a.jsonFile));
    QCOMPARE(listing.contents.at(4), readFile(b.d2dFile));
}

void TestExamArchive::laterFileWithTheSameNameReplacesTheEarlier()
{
    const QString first = m_dir.filePath(QStringLiteral("dup/one/Vita-20240105--09-30-15.json"));
    const QString second = m_dir.filePath(QStringLiteral("dup/two/Vita-20240105--09-30-15.json"));
    const QString other = m_dir.filePath(QStringLiteral("dup/one/Vita-20240105--09-30-15.d2d"));
    QDir().mkpath(m_dir.filePath(QStringLiteral("dup/one")));
    QDir().mkpath(m_dir.filePath(QStringLiteral("dup/two")));
    for (const auto &[path, text] : {std::pair{first, "first"}, std::pair{second, "second"}, std::pair{other, "data"}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    const QString zipPath = m_dir.filePath(QStringLiteral("dup/exam.zip"));
    const auto result = ExamArchiveBuilder::build(zipPath, {first, other, second});
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.entries, 2);
    const ZipListing listing = listZip(zipPath);
    QCOMPARE(listing.names, (QStringList{QStringLiteral("Vita-20240105--09-30-15.json"),
                                         QStringLiteral("Vita-20240105--09-30-15.d2d")}));
    QCOMPARE(listing.contents.at(0), QByteArray("second"));
}

void TestExamArchive::missingFilesAreSkipped()
{
    const QString folder = m_dir.filePath(QStringLiteral("missing"));
    const ScanFile a = writeScan(folder, QStringLiteral("Vita"), QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0)), false);
    const QString zipPath = m_dir.filePath(QStringLiteral("missing/exam.zip"));
    const auto result = ExamArchiveBuilder::build(
        zipPath, {a.jpgFile, folder + QStringLiteral("/gone.d2d"), QString(), a.d2dFile, folder});
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.entries, 2);
    QCOMPARE(result.skipped, 3);
    QCOMPARE(listZip(zipPath).names.size(), 2);
}

void TestExamArchive::olderFileAtThePathNeverLeaks()
{
    const QString folder = m_dir.filePath(QStringLiteral("stale"));
    const QString zipPath = folder + QStringLiteral("/exam.zip");
    QDir().mkpath(folder);
    // An older archive with an entry of its own lies where the new one goes.
    QFile stray(folder + QStringLiteral("/stray.txt"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("left over from an older upload");
    stray.close();
    QVERIFY(ExamArchiveBuilder::build(zipPath, {stray.fileName()}).ok);
    QCOMPARE(listZip(zipPath).names, QStringList{QStringLiteral("stray.txt")});

    const ScanFile a = writeScan(folder, QStringLiteral("Vita"), QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0)), false);
    const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile});
    QVERIFY(result.ok);
    QCOMPARE(listZip(zipPath).names, (QStringList{QStringLiteral("Vita-20240201--08-00-00.jpg"),
                                                  QStringLiteral("Vita-20240201--08-00-00.d2d")}));

    // Not even a zip: overwritten all the same.
    QFile junk(zipPath);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a zip file at all");
    junk.close();
    QVERIFY(ExamArchiveBuilder::build(zipPath, {a.jpgFile}).ok);
    QCOMPARE(listZip(zipPath).names, QStringList{QStringLiteral("Vita-20240201--08-00-00.jpg")});
}

void TestExamArchive::noFilesGivesAValidEmptyArchive()
{
    const QString zipPath = m_dir.filePath(QStringLiteral("empty.zip"));
    const auto result = ExamArchiveBuilder::build(zipPath, {m_dir.filePath(QStringLiteral("nothing.jpg"))});
    QVERIFY(result.ok);
    QCOMPARE(result.entries, 0);
    QVERIFY(QFile::exists(zipPath));
    const ZipListing listing = listZip(zipPath);
    QVERIFY(listing.ok);
    QVERIFY(listing.names.isEmpty());
}

void TestExamArchive::unwritableArchiveIsAFailure()
{
    const QString folder = m_dir.filePath(QStringLiteral("unwritable"));
    const ScanFile a = writeScan(folder, QStringLiteral("Vita"), QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0)), false);
    // A folder that does not exist cannot take the archive.
    const QString zipPath = folder + QStringLiteral("/no/such/folder/exam.zip");
    const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile});
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!QFile::exists(zipPath));

    // Nor a path whose folder is a plain file (true even for a superuser).
    const QString blocked = a.jpgFile + QStringLiteral("/exam.zip");
    const auto blockedResult = ExamArchiveBuilder::build(blocked, {a.jpgFile, a.d2dFile});
    QVERIFY(!blockedResult.ok);
    QVERIFY(!QFile::exists(blocked));
    QVERIFY(QFileInfo(a.jpgFile).isFile());
}

void TestExamArchive::unreadableFileIsAFailure()
{
    const QString folder = m_dir.filePath(QStringLiteral("unreadable"));
    const ScanFile a = writeScan(folder, QStringLiteral("Vita"), QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0)), false);
    QFile::setPermissions(a.d2dFile, QFileDevice::WriteOwner);
    if (QFileInfo(a.d2dFile).isReadable())
        QSKIP("running with permissions that ignore an unreadable file");
    const QString zipPath = folder + QStringLiteral("/exam.zip");
    const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile});
    QFile::setPermissions(a.d2dFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // An archive without the raw data would look complete to the service.
    QVERIFY(!result.ok);
    QVERIFY(!QFile::exists(zipPath));
}

void TestExamArchive::buildsInAnotherThread()
{
    const QString folder = m_dir.filePath(QStringLiteral("thread"));
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        const ScanFile s = writeScan(folder, QStringLiteral("Zona%1").arg(i),
                                     QDateTime(QDate(2024, 3, 1), QTime(10, i, 0)), i % 2 == 0, 400);
        files << s.jpgFile << s.d2dFile << s.jsonFile;
    }
    const QString zipPath = folder + QStringLiteral("/exam.zip");

    ExamArchiveBuilder builder;
    QThread *seenIn = nullptr;
    ExamArchiveBuilder::Result seen;
    connect(&builder, &ExamArchiveBuilder::finished, this, [&](const ExamArchiveBuilder::Result &r) {
        seenIn = QThread::currentThread();
        seen = r;
    });
    QVERIFY(builder.start(zipPath, files));
    QVERIFY(!builder.start(zipPath, files));  // one build per builder
    QVERIFY(QTest::qWaitFor([&] { return seenIn != nullptr; }, 20000));
    // Reported in the builder's own thread, after the work ran elsewhere.
    QCOMPARE(seenIn, QThread::currentThread());
    QVERIFY(seen.ok);
    QCOMPARE(seen.entries, 15);
    QCOMPARE(seen.skipped, 3);
    QCOMPARE(listZip(zipPath).names.size(), 15);
}

void TestExamArchive::destroyingTheBuilderCancelsTheBuild()
{
    const QString folder = m_dir.filePath(QStringLiteral("cancel"));
    QStringList files;
    for (int i = 0; i < 20; ++i) {
        const ScanFile s = writeScan(folder, QStringLiteral("Zona%1").arg(i),
                                     QDateTime(QDate(2024, 3, 2), QTime(10, i, 0)), false, 900);
        files << s.jpgFile << s.d2dFile;
    }
    bool reported = false;
    {
        ExamArchiveBuilder builder;
        connect(&builder, &ExamArchiveBuilder::finished, this, [&] { reported = true; });
        QVERIFY(builder.start(folder + QStringLiteral("/exam.zip"), files));
    }
    // Gone before the event loop ran: nothing is reported afterwards.
    QTest::qWait(50);
    QVERIFY(!reported);
}

void TestExamArchive::uploadArchiveFileIsPrivateAndRemoved()
{
    QObject owner;
    UploadArchiveFile *a = UploadArchiveFile::create(&owner);
    UploadArchiveFile *b = UploadArchiveFile::create(&owner);
    QVERIFY(a && b);
    QVERIFY(a->fileName() != b->fileName());
    QVERIFY(a->fileName().startsWith(QDir::tempPath() + QStringLiteral("/upload-")));
    QVERIFY(QFile::exists(a->fileName()));
    QCOMPARE(QFileInfo(a->fileName()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    // The archive written by name keeps those permissions.
    const ScanFile s = writeScan(m_dir.filePath(QStringLiteral("private")), QStringLiteral("Vita"),
                                 QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0)), false);
    QVERIFY(ExamArchiveBuilder::build(a->fileName(), {s.jpgFile}).ok);
    QCOMPARE(QFileInfo(a->fileName()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    const QString path = a->fileName();
    delete a;
    QVERIFY(!QFile::exists(path));
    const QString other = b->fileName();
    // Removed even while it is still open for reading.
    QVERIFY(b->open(QIODevice::ReadOnly));
    delete b;
    QVERIFY(!QFile::exists(other));
}

CALVESTRA_TEST_CORE_MAIN(TestExamArchive)
#include "tst_examarchive.moc"
