#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "store/Client.h"
#include "store/Exam.h"
#include "store/ScanFile.h"
#include "store/ScanFileNames.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("x");
}

}  // namespace

class ScanFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void createFromFilePath()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/1532/");
        QVERIFY(QDir().mkpath(folder));
        const QString jpg = folder + QStringLiteral("Coscia dx-20240105--09-30-15.jpg");
        touch(jpg);

        ScanFile scan = ScanFile::createFromFilePath(jpg);
        QCOMPARE(scan.zone, QStringLiteral("Coscia dx"));
        QCOMPARE(scan.baseName, QStringLiteral("Coscia dx-20240105--09-30-15"));
        QCOMPARE(scan.dateTime, QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)));
        QCOMPARE(scan.jpgFile, jpg);
        QCOMPARE(scan.d2dFile, folder + QStringLiteral("Coscia dx-20240105--09-30-15.d2d"));
        QVERIFY(scan.jsonFile.isEmpty());

        touch(folder + QStringLiteral("Coscia dx-20240105--09-30-15.json"));
        scan = ScanFile::createFromFilePath(jpg);
        QCOMPARE(scan.jsonFile, folder + QStringLiteral("Coscia dx-20240105--09-30-15.json"));
    }

    void createFromMalformedPath()
    {
        for (const QString &path : {QStringLiteral("/x/Vita.jpg"), QStringLiteral("/x/a--b.jpg"), QString(),
                                    QStringLiteral("/x/"), QStringLiteral("noextension")}) {
            const ScanFile scan = ScanFile::createFromFilePath(path);
            QVERIFY2(!scan.dateTime.isValid(), qPrintable(path));
            QVERIFY(scan.zone.isEmpty());
            QCOMPARE(scan.jpgFile, path);
        }
    }

    void parseVQFileParts()
    {
        const ParsedScanName full = parseVQFile(QStringLiteral("/data/12/Vita-20240105--09-30-15.jpg"));
        QCOMPARE(full.fileName, QStringLiteral("Vita-20240105--09-30-15.jpg"));
        QCOMPARE(full.baseName, QStringLiteral("Vita-20240105--09-30-15"));
        QCOMPARE(full.zone, QStringLiteral("Vita"));
        QCOMPARE(full.dateText, QStringLiteral("20240105"));
        QCOMPARE(full.timeText, QStringLiteral("09-30-15"));
        QCOMPARE(full.date, QDate(2024, 1, 5));
        QCOMPARE(full.time, QTime(9, 30, 15));
        QCOMPARE(full.dateTime, QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)));
        QCOMPARE(full.dateTime.timeSpec(), Qt::LocalTime);

        const ParsedScanName afternoon = parseVQFile(QStringLiteral("Coscia sx-20231231--23-59-58.d2d"));
        QCOMPARE(afternoon.zone, QStringLiteral("Coscia sx"));
        QCOMPARE(afternoon.dateTime, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)));

        const ParsedScanName twoParts = parseVQFile(QStringLiteral("Vita-20240105.jpg"));
        QCOMPARE(twoParts.zone, QStringLiteral("Vita"));
        QCOMPARE(twoParts.baseName, QStringLiteral("Vita-20240105"));
        QVERIFY(twoParts.dateText.isEmpty());
        QVERIFY(twoParts.date.isNull());
        QVERIFY(!twoParts.time.isValid());
        QVERIFY(!twoParts.dateTime.isValid());

        const ParsedScanName noDash = parseVQFile(QStringLiteral("appunti.txt"));
        QCOMPARE(noDash.zone, QStringLiteral("appunti"));
        QVERIFY(!noDash.dateTime.isValid());

        const ParsedScanName badDate = parseVQFile(QStringLiteral("Vita-20241341--25-61-00.jpg"));
        QCOMPARE(badDate.dateText, QStringLiteral("20241341"));
        QVERIFY(!badDate.dateTime.isValid());

        const ParsedScanName empty = parseVQFile(QString());
        QVERIFY(empty.zone.isEmpty());
        QVERIFY(!empty.dateTime.isValid());
    }

    void parseFileDateTimeNames()
    {
        QCOMPARE(parseFileDateTime(QStringLiteral("Vita-20240105--09-30-15.jpg")),
                 QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)));
        QCOMPARE(parseFileDateTime(QStringLiteral("/a/b-c/Addome-20240105--17-05-00.d2d")),
                 QDateTime(QDate(2024, 1, 5), QTime(17, 5, 0)));
        QVERIFY(!parseFileDateTime(QStringLiteral("Vita.jpg")).isValid());
        QVERIFY(!parseFileDateTime(QStringLiteral("Vita-20240105--09-30-15.json")).isValid());
        QVERIFY(!parseFileDateTime(QString()).isValid());
        QVERIFY(!parseFileDateTime(QStringLiteral("-2")).isValid());
    }

    void changeFileExtensionKeepsFolder()
    {
        QCOMPARE(changeFileExtension(QStringLiteral("/x/Vita-20240105--09-30-15.d2d"), QStringLiteral("json")),
                 QStringLiteral("/x/Vita-20240105--09-30-15.json"));
        QCOMPARE(changeFileExtension(QStringLiteral("/x/y/Coscia dx-20240105--09-30-15.jpg"), QStringLiteral("d2d")),
                 QStringLiteral("/x/y/Coscia dx-20240105--09-30-15.d2d"));
    }

    void dataPathNames()
    {
        TempStore store;
        Client c;
        c.id = 7;
        QVERIFY(c.getDataPath(false).endsWith(QStringLiteral("data/_7/")));
        c.web_id = 1532;
        QVERIFY(c.getDataPath(false).endsWith(QStringLiteral("data/1532/")));
        QVERIFY(!QDir(c.getDataPath(false)).exists());
        QCOMPARE(c.getDataPath(true), store->m_dataPath + QStringLiteral("1532/"));
        QVERIFY(QDir(store->m_dataPath + QStringLiteral("1532")).exists());
    }

    void fileListOfOneDay()
    {
        TempStore store;
        Client c;
        c.id = 3;
        const QString folder = store->m_dataPath + QStringLiteral("_3/");
        QVERIFY(!QDir(folder).exists());
        // A day without scans: an empty list, and the folder now exists.
        QVERIFY(c.getFileList(QDate(2024, 1, 5), QStringLiteral(".jpg")).isEmpty());
        QVERIFY(QDir(folder).exists());

        for (const char *name : {"vita-20240105--10-00-00.jpg", "Coscia dx-20240105--09-30-15.jpg",
                                 "Coscia dx-20240105--09-30-15.d2d", "Addome-20240105--11-00-00.jpg",
                                 "Addome-20240106--11-00-00.jpg", "Addome-20240105.jpg", "note-20240105--x.txt"})
            touch(folder + QString::fromLatin1(name));

        QCOMPARE(c.getFileList(QDate(2024, 1, 5), QStringLiteral(".jpg")),
                 QStringList({"Addome-20240105--11-00-00.jpg", "Coscia dx-20240105--09-30-15.jpg",
                              "vita-20240105--10-00-00.jpg"}));
        QCOMPARE(c.getFileList(QDate(2024, 1, 6), QStringLiteral(".jpg")),
                 QStringList({"Addome-20240106--11-00-00.jpg"}));
        // The extension is taken as written, letters of date formats included.
        QCOMPARE(c.getFileList(QDate(2024, 1, 5), QStringLiteral(".d2d")),
                 QStringList({"Coscia dx-20240105--09-30-15.d2d"}));
        QVERIFY(c.getFileList(QDate(2024, 1, 7), QStringLiteral(".jpg")).isEmpty());
    }

    void examDatesOldestFirst()
    {
        TempStore store;
        Client c;
        c.id = 4;
        QVERIFY(c.getExamsDateList().isEmpty());
        const QString folder = c.getDataPath(true);
        for (const char *name : {"Vita-20240105--09-30-15.jpg", "Vita-20240105--16-00-00.jpg",
                                 "Coscia dx-20240103--08-00-00.jpg", "Addome-20240104--08-00-00.d2d"})
            touch(folder + QString::fromLatin1(name));
        QCOMPARE(c.getExamsDateList(), QList<QDate>({QDate(2024, 1, 3), QDate(2024, 1, 5)}));

        // A name off the pattern adds one null date, sorted before the others.
        touch(folder + QStringLiteral("foto.jpg"));
        touch(folder + QStringLiteral("altra-foto.jpg"));
        QCOMPARE(c.getExamsDateList(), QList<QDate>({QDate(), QDate(2024, 1, 3), QDate(2024, 1, 5)}));
    }

    void examRecord()
    {
        const Exam exam;
        QCOMPARE(exam.examDate, QDate::currentDate());
        QCOMPARE(exam.id, 0);
        QCOMPARE(exam.idUser, 0);
        QCOMPARE(exam.kind, 2);
        QCOMPARE(exam.subKind, 2);
        QCOMPARE(exam.bodyFat, 0.0);
        QVERIFY(exam.scanNames.isEmpty());
        QVERIFY(exam.scanFiles.isEmpty());

        Exam e;
        e.examDate = QDate(2024, 1, 5);
        e.idUser = 1532;
        e.activityLevel = 2;
        e.weight = 80.5;
        e.height = 180;
        e.examZones = QStringLiteral("Vita,Addome");
        e.notes = QStringLiteral("dopo allenamento");
        e.scanNames << QStringLiteral("/x/Vita-20240105--09-30-15");
        const QJsonObject json = e.toJSONObject(true);
        QCOMPARE(json.keys(), QStringList({"activityLevel", "examDate", "examZones", "height", "idUser", "kind",
                                           "notes", "subKind", "weight"}));
        QCOMPARE(json.value(QStringLiteral("examDate")).toString(), QStringLiteral("2024-01-05"));
        QCOMPARE(json.value(QStringLiteral("idUser")).toInt(), 1532);
        QCOMPARE(json.value(QStringLiteral("activityLevel")).toInt(), 2);
        QCOMPARE(json.value(QStringLiteral("weight")).toDouble(), 80.5);
        QCOMPARE(json.value(QStringLiteral("height")).toDouble(), 180.0);
        QCOMPARE(json.value(QStringLiteral("kind")).toInt(), 2);
        QCOMPARE(json.value(QStringLiteral("subKind")).toInt(), 2);
        QCOMPARE(json.value(QStringLiteral("examZones")).toString(), QStringLiteral("Vita,Addome"));
        QCOMPARE(json.value(QStringLiteral("notes")).toString(), QStringLiteral("dopo allenamento"));
        QCOMPARE(e.toJSONObject(false), json);
    }
};

CALVESTRA_TEST_CORE_MAIN(ScanFilesTest)
#include "tst_scanfiles.moc"
