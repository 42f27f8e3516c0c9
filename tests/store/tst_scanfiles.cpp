// Scan file names, the scans of a client's folder and the exam record sent with them.
#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "store/Client.h"
#include "store/Exam.h"
#include "store/ScanFile.h"
#include "store/ScanFileNames.h"

#include <QDir>
#include <QJsonObject>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

const QDateTime none;

}  // namespace

class ScanFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("dateText");
        QTest::addColumn<QString>("timeText");
        QTest::addColumn<QDateTime>("parsed");     // parseVQFile
        QTest::addColumn<QDateTime>("fromName");   // parseFileDateTime and ScanFile
        const QDateTime morning(QDate(2024, 1, 5), QTime(9, 30, 15));
        QTest::newRow("path") << "/data/12/Vita-20240105--09-30-15.jpg" << "Vita" << "20240105" << "09-30-15"
                              << morning << morning;
        const QDateTime late(QDate(2023, 12, 31), QTime(23, 59, 58));
        QTest::newRow("zone with a space") << "Coscia sx-20231231--23-59-58.d2d" << "Coscia sx" << "20231231"
                                           << "23-59-58" << late << late;
        const QDateTime afternoon(QDate(2024, 1, 5), QTime(17, 5, 0));
        QTest::newRow("folder with a dash") << "/a/b-c/Addome-20240105--17-05-00.d2d" << "Addome" << "20240105"
                                            << "17-05-00" << afternoon << afternoon;
        QTest::newRow("four-letter extension") << "Vita-20240105--09-30-15.json" << "Vita" << "20240105"
                                               << "09-30-15" << morning << none;
        QTest::newRow("date only") << "Vita-20240105.jpg" << "Vita" << "" << "" << none << none;
        QTest::newRow("no dash") << "appunti.txt" << "appunti" << "" << "" << none << none;
        QTest::newRow("impossible date") << "Vita-20241341--25-61-00.jpg" << "Vita" << "20241341" << "25-61-00"
                                         << none << none;
        QTest::newRow("empty") << "" << "" << "" << "" << none << none;
        QTest::newRow("dash and digit only") << "-2" << "" << "" << "" << none << none;
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(QString, zone);
        QFETCH(QString, dateText);
        QFETCH(QString, timeText);
        QFETCH(QDateTime, parsed);
        QFETCH(QDateTime, fromName);
        const ParsedScanName p = parseVQFile(name);
        QCOMPARE(p.fileName, QFileInfo(name).fileName());
        QCOMPARE(p.baseName, QFileInfo(name).baseName());
        QCOMPARE(p.zone, zone);
        QCOMPARE(p.dateText, dateText);
        QCOMPARE(p.timeText, timeText);
        QCOMPARE(p.dateTime, parsed);
        if (parsed.isValid()) {
            QCOMPARE(p.date, parsed.date());
            QCOMPARE(p.time, parsed.time());
            QCOMPARE(p.dateTime.timeSpec(), Qt::LocalTime);
        }
        QCOMPARE(parseFileDateTime(name), fromName);
        const ScanFile scan = ScanFile::createFromFilePath(name);
        QCOMPARE(scan.dateTime, fromName);
        QCOMPARE(scan.jpgFile, name);
        QCOMPARE(scan.zone, name.contains(QLatin1String("--")) ? zone : QString());
    }

    void scanFileFindsItsSiblings()
    {
        QTemporaryDir dir;
        const QString jpg = dir.filePath(QStringLiteral("Coscia dx-20240105--09-30-15.jpg"));
        touch(jpg);
        ScanFile scan = ScanFile::createFromFilePath(jpg);
        QCOMPARE(scan.baseName, QStringLiteral("Coscia dx-20240105--09-30-15"));
        QCOMPARE(scan.d2dFile, dir.filePath(QStringLiteral("Coscia dx-20240105--09-30-15.d2d")));
        QVERIFY(scan.jsonFile.isEmpty());
        touch(dir.filePath(QStringLiteral("Coscia dx-20240105--09-30-15.json")));
        scan = ScanFile::createFromFilePath(jpg);
        QCOMPARE(scan.jsonFile, dir.filePath(QStringLiteral("Coscia dx-20240105--09-30-15.json")));
        QCOMPARE(changeFileExtension(scan.d2dFile, QStringLiteral("json")), scan.jsonFile);
    }

    void scansOfAClient()
    {
        TempStore store;
        Client c;
        c.id = 3;
        const QString folder = store->m_dataPath + QStringLiteral("_3/");
        // A client without scans: empty lists, and the folder now exists.
        QVERIFY(c.getFileList(QDate(2024, 1, 5), QStringLiteral(".jpg")).isEmpty());
        QVERIFY(c.getExamsDateList().isEmpty());
        QVERIFY(QDir(folder).exists());
        for (const char *name : {"vita-20240105--10-00-00.jpg", "Coscia dx-20240105--09-30-15.jpg",
                                 "Coscia dx-20240105--09-30-15.d2d", "Addome-20240105--11-00-00.jpg",
                                 "Addome-20240103--11-00-00.jpg", "Addome-20240104--08-00-00.d2d",
                                 "Addome-20240105.jpg", "note-20240105--x.txt"})
            touch(folder + QString::fromLatin1(name));
        QCOMPARE(c.getFileList(QDate(2024, 1, 5), QStringLiteral(".jpg")),
                 QStringList({"Addome-20240105--11-00-00.jpg", "Coscia dx-20240105--09-30-15.jpg",
                              "vita-20240105--10-00-00.jpg"}));
        QCOMPARE(c.getFileList(QDate(2024, 1, 5), QStringLiteral(".d2d")), QStringList{"Coscia dx-20240105--09-30-15.d2d"});
        QVERIFY(c.getFileList(QDate(2024, 1, 7), QStringLiteral(".jpg")).isEmpty());
        // Days with a picture, oldest first; names off the pattern add one null date in front.
        touch(folder + QStringLiteral("foto.jpg"));
        QCOMPARE(c.getExamsDateList(), QList<QDate>({QDate(), QDate(2024, 1, 3), QDate(2024, 1, 5)}));
    }

    void examRecordSentWithTheScans()
    {
        Exam e;
        QCOMPARE(e.examDate, QDate::currentDate());
        e.examDate = QDate(2024, 1, 5);
        e.idUser = 1532;
        e.activityLevel = 2;
        e.weight = 80.5;
        e.height = 180;
        e.examZones = QStringLiteral("Vita,Addome");
        e.notes = QStringLiteral("dopo allenamento");
        e.scanNames << QStringLiteral("/x/Vita-20240105--09-30-15");
        const QJsonObject expected{{"examDate", "2024-01-05"}, {"idUser", 1532}, {"activityLevel", 2},
                                   {"weight", 80.5}, {"height", 180.0}, {"kind", 2}, {"subKind", 2},
                                   {"examZones", "Vita,Addome"}, {"notes", "dopo allenamento"}};
        QCOMPARE(e.toJSONObject(true), expected);
        QCOMPARE(e.toJSONObject(false), expected);
    }
};

CALVESTRA_TEST_CORE_MAIN(ScanFilesTest)
#include "tst_scanfiles.moc"
