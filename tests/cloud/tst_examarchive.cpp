// The exam archive, built off the interface thread (as the service receives it, it is tested through
// the service client), and the comparison of version numbers behind the update check.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "cloud/ExamArchiveBuilder.h"
#include "cloud/UploadArchiveFile.h"
#include "cloud/VersionCheck.h"

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
    for (zip_uint64_t i = 0; i < zip_uint64_t(zip_get_num_entries(archive, 0)); ++i) {
        QByteArray content(1 << 20, 0);
        if (zip_file_t *file = zip_fopen_index(archive, i, 0)) {
            content.truncate(int(qMax<zip_int64_t>(0, zip_fread(file, content.data(), zip_uint64_t(content.size())))));
            zip_fclose(file);
        }
        entries << QString::fromUtf8(zip_get_name(archive, i, 0)) + u'=' + QString::fromLatin1(content.toHex());
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
    void olderFilesNeverLeak()
    {
        const ScanFile a = writeScan(m_dir.filePath(u"one"_s), u"Vita"_s, QDateTime(QDate(2024, 2, 1), QTime(8, 0)), true);
        // A later file with the same bare name replaces the earlier entry, in its place.
        const ScanFile later = writeScan(m_dir.filePath(u"two"_s), u"Vita"_s, QDateTime(QDate(2024, 2, 1), QTime(8, 0)), true, 3);
        const QString zipPath = m_dir.filePath(u"exam.zip"_s);
        QVERIFY(ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.jsonFile, a.d2dFile, later.jsonFile}).entries == 3);
        QCOMPARE(listZip(zipPath), QStringList({entry(a.jpgFile), entry(later.jsonFile), entry(a.d2dFile)}));
        // An older archive, or something else, at the path is overwritten, never added to.
        QVERIFY(ExamArchiveBuilder::build(zipPath, {a.jpgFile}).ok);
        QCOMPARE(listZip(zipPath), QStringList{entry(a.jpgFile)});
        QFile junk(zipPath);
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a zip file at all") > 0 && junk.flush());
        QVERIFY(ExamArchiveBuilder::build(zipPath, {a.d2dFile}).ok);
        QCOMPARE(listZip(zipPath), QStringList{entry(a.d2dFile)});
        // Without any file: a valid empty archive.
        auto result = ExamArchiveBuilder::build(zipPath, {m_dir.filePath(u"nothing.jpg"_s)});
        QVERIFY(result.ok && result.entries == 0 && result.skipped == 1);
        QCOMPARE(listZip(zipPath), QStringList());
        // An archive that cannot be written, or a file that cannot be read, is a failure.
        for (const QString &path : {m_dir.filePath(u"no/such/folder/exam.zip"_s), a.jpgFile + u"/exam.zip"_s})
            QVERIFY(!ExamArchiveBuilder::build(path, {a.jpgFile}).ok && !QFile::exists(path));
        QFile::setPermissions(a.d2dFile, QFileDevice::WriteOwner);
        if (QFileInfo(a.d2dFile).isReadable())
            QSKIP("running with permissions that ignore an unreadable file");
        result = ExamArchiveBuilder::build(zipPath, {a.jpgFile, a.d2dFile});
        QVERIFY(!result.ok && !QFile::exists(zipPath));
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
        QCoreApplication::sendPostedEvents();
        QVERIFY(!reported);
    }

    void uploadArchiveFileIsPrivateAndRemoved()
    {
        QObject owner;
        UploadArchiveFile *a = UploadArchiveFile::create(&owner);
        UploadArchiveFile *b = UploadArchiveFile::create(&owner);
        QVERIFY(a && b && a->fileName() != b->fileName() && a->fileName().startsWith(QDir::tempPath() + u"/upload-"_s));
        const auto privateToOwner = [](const QString &path) {
            return QFile::exists(path) && !(QFileInfo(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup));
        };
        QVERIFY(privateToOwner(a->fileName()));
        // The archive written by name keeps those permissions.
        const ScanFile s = writeScan(m_dir.filePath(u"private"_s), u"Vita"_s, QDateTime(QDate(2024, 2, 1), QTime(8, 0)), false);
        QVERIFY(ExamArchiveBuilder::build(a->fileName(), {s.jpgFile}).ok && privateToOwner(a->fileName()));
        // Removed with the object, even while it is open for reading.
        const QStringList paths{a->fileName(), b->fileName()};
        QVERIFY(b->open(QIODevice::ReadOnly));
        delete a;
        delete b;
        QVERIFY(!QFile::exists(paths.at(0)) && !QFile::exists(paths.at(1)));
    }

    void versionComparesNumerically_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<bool>("newer");
        QTest::newRow("third part numeric, not textual") << "0.6.4" << "0.6.10" << true;
        QTest::newRow("first part numeric") << "9.9.9" << "10.0.0" << true;
        QTest::newRow("first part numeric, reversed") << "10.0.0" << "9.9.9" << false;
        QTest::newRow("same version") << "0.6.4" << "0.6.4" << false;
        QTest::newRow("fourth part ignored") << "0.6.4" << "0.6.4.1" << false;
        QTest::newRow("older, larger later parts") << "0.6.4" << "0.5.99" << false;
        QTest::newRow("missing part reads as 0") << "0.6.4" << "0.6" << false;
        QTest::newRow("missing part on the running side") << "0.6" << "0.6.1" << true;
        QTest::newRow("empty first line") << "0.6.4" << "" << false;
        QTest::newRow("not numbers read as 0.0.0") << "0.6.4" << "a.b.c" << false;
        QTest::newRow("against 0.0.0 anything is newer") << "a.b.c" << "0.0.1" << true;
        QTest::newRow("too large for 32 bits reads as 0") << "0.6.4" << "0.6.99999999999" << false;
        QTest::newRow("line with a carriage return") << "0.6.4" << "0.6.5\r" << true;
        QTest::newRow("empty parts kept") << "0.6.4" << "0..5" << false;
    }
    void versionComparesNumerically()
    {
        QFETCH(QString, running);
        QFETCH(QString, latest);
        QFETCH(bool, newer);
        QCOMPARE(isVersionGreater(running, latest), newer);
    }

private:
    QTemporaryDir m_dir;
};

CALVESTRA_TEST_CORE_MAIN(TestExamArchive)
#include "tst_examarchive.moc"
