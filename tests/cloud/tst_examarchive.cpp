// The exam archive: a standard zip with flat entries, built off the interface thread.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "cloud/ExamArchiveBuilder.h"
#include "cloud/UploadArchiveFile.h"

#include <QThread>

#include <zip.h>

namespace {

// The entries of a zip file as "name=content", read back with libzip; {"not a zip"} otherwise.
QStringList listZip(const QString &path)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive)
        return {u"not a zip"_s};
    QStringList entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        QByteArray content;
        if (zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0)) {
            char buffer[8192];
            for (zip_int64_t n = 0; (n = zip_fread(file, buffer, sizeof buffer)) > 0;)
                content.append(buffer, int(n));
            zip_fclose(file);
        }
        entries << QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS)) + u'=' + QString::fromLatin1(content.toHex());
    }
    zip_discard(archive);
    return entries;
}

QString entry(const QString &path)
{
    return QFileInfo(path).fileName() + u'=' + QString::fromLatin1(readFile(path).toHex());
}

}  // namespace

class TestExamArchive : public QObject
{
    Q_OBJECT

private slots:
    void flatEntriesNamedByBareFileNames()
    {
        const ScanFile a = writeScan(m_dir.filePath(u"one"_s), u"Coscia dx"_s, QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), true);
        const ScanFile b = writeScan(m_dir.filePath(u"one"_s), u"Addome"_s, QDateTime(QDate(2024, 1, 5), QTime(9, 31, 45)), false);
        // A later file with the same bare name replaces the earlier entry, in its place.
        const ScanFile later = writeScan(m_dir.filePath(u"two"_s), u"Coscia dx"_s, QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), true, 3);
        QFile json(later.jsonFile);
        QVERIFY(json.open(QIODevice::WriteOnly) && json.write("later") == 5);
        json.close();
        const QString zipPath = m_dir.filePath(u"exam.zip"_s);
        // Missing files, an empty name and a folder are skipped.
        const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile, a.jsonFile, m_dir.filePath(u"gone.d2d"_s),
                                                                QString(), m_dir.path(), b.jpgFile, b.d2dFile, later.jsonFile});
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.entries, 5);
        QCOMPARE(result.skipped, 3);
        // The bytes are the files' own, whatever the compression chosen per kind.
        QCOMPARE(listZip(zipPath), QStringList({entry(a.jpgFile), entry(a.d2dFile), entry(later.jsonFile), entry(b.jpgFile),
                                                entry(b.d2dFile)}));
    }

    void olderFileAtThePathNeverLeaks()
    {
        const ScanFile a = writeScan(m_dir.filePath(u"stale"_s), u"Vita"_s, QDateTime(QDate(2024, 2, 1), QTime(8, 0)), false);
        const QString zipPath = m_dir.filePath(u"stale/exam.zip"_s);
        // An older archive with an entry of its own lies where the new one goes.
        QVERIFY(ExamArchiveBuilder::build(zipPath, {a.d2dFile}).ok);
        QVERIFY(ExamArchiveBuilder::build(zipPath, {a.jpgFile}).ok);
        QCOMPARE(listZip(zipPath), QStringList{entry(a.jpgFile)});
        // Not even a zip: overwritten all the same; without any file, a valid empty archive.
        QFile junk(zipPath);
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a zip file at all") > 0);
        junk.close();
        QVERIFY(ExamArchiveBuilder::build(zipPath, {a.d2dFile}).ok);
        QCOMPARE(listZip(zipPath), QStringList{entry(a.d2dFile)});
        const auto empty = ExamArchiveBuilder::build(zipPath, {m_dir.filePath(u"nothing.jpg"_s)});
        QVERIFY(empty.ok && empty.entries == 0);
        QCOMPARE(listZip(zipPath), QStringList());
    }

    void failuresLeaveNoArchive()
    {
        const ScanFile a = writeScan(m_dir.filePath(u"fail"_s), u"Vita"_s, QDateTime(QDate(2024, 2, 1), QTime(8, 0)), false);
        // A folder that does not exist, or one that is a plain file (true even for a superuser).
        for (const QString &zipPath : {m_dir.filePath(u"no/such/folder/exam.zip"_s), a.jpgFile + u"/exam.zip"_s}) {
            const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile});
            QVERIFY(!result.ok && !result.error.isEmpty());
            QVERIFY(!QFile::exists(zipPath));
        }
        QVERIFY(QFileInfo(a.jpgFile).isFile());
        // An archive without the raw data would look complete to the service.
        QFile::setPermissions(a.d2dFile, QFileDevice::WriteOwner);
        if (QFileInfo(a.d2dFile).isReadable())
            QSKIP("running with permissions that ignore an unreadable file");
        const QString zipPath = m_dir.filePath(u"fail/exam.zip"_s);
        const auto result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile});
        QFile::setPermissions(a.d2dFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(!result.ok);
        QVERIFY(!QFile::exists(zipPath));
    }

    void buildsInAnotherThread()
    {
        QStringList files;
        for (int i = 0; i < 20; ++i) {
            const ScanFile s = writeScan(m_dir.filePath(u"thread"_s), u"Zona%1"_s.arg(i), QDateTime(QDate(2024, 3, 1), QTime(10, i)),
                                         i % 2 == 0, 400);
            files << s.jpgFile << s.d2dFile << s.jsonFile;
        }
        const QString zipPath = m_dir.filePath(u"thread/exam.zip"_s);
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
        QVERIFY(seen.ok && seen.entries == 50 && seen.skipped == 10);
        QCOMPARE(listZip(zipPath).size(), 50);

        // Destroyed before the event loop ran: the build stops and nothing is reported.
        bool reported = false;
        {
            ExamArchiveBuilder cancelled;
            connect(&cancelled, &ExamArchiveBuilder::finished, this, [&] { reported = true; });
            QVERIFY(cancelled.start(m_dir.filePath(u"thread/cancelled.zip"_s), files));
        }
        // The destructor joined the worker: anything it posted is in the queue by now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(!reported);
    }

    void uploadArchiveFileIsPrivateAndRemoved()
    {
        QObject owner;
        UploadArchiveFile *a = UploadArchiveFile::create(&owner);
        UploadArchiveFile *b = UploadArchiveFile::create(&owner);
        QVERIFY(a && b && a->fileName() != b->fileName());
        QVERIFY(a->fileName().startsWith(QDir::tempPath() + u"/upload-"_s));
        const auto privateToOwner = [](const QString &path) {
            return QFile::exists(path) && !(QFileInfo(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup));
        };
        QVERIFY(privateToOwner(a->fileName()));
        // The archive written by name keeps those permissions.
        const ScanFile s = writeScan(m_dir.filePath(u"private"_s), u"Vita"_s, QDateTime(QDate(2024, 2, 1), QTime(8, 0)), false);
        QVERIFY(ExamArchiveBuilder::build(a->fileName(), {s.jpgFile}).ok);
        QVERIFY(privateToOwner(a->fileName()));
        const QString path = a->fileName();
        delete a;
        QVERIFY(!QFile::exists(path));
        // Removed even while it is open for reading.
        const QString other = b->fileName();
        QVERIFY(b->open(QIODevice::ReadOnly));
        delete b;
        QVERIFY(!QFile::exists(other));
    }

private:
    QTemporaryDir m_dir;
};

CALVESTRA_TEST_CORE_MAIN(TestExamArchive)
#include "tst_examarchive.moc"
