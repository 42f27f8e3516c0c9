// A client's progress from the readings kept with its scans: the series of every zone and
// its noise band, the page that joins the exams on the service, the report and the CSV.
#include "ReferenceService.h"
#include "ServiceSession.h"
#include "TestMain.h"

#include "exam/ProgressSeries.h"
#include "exam/ProgressTab.h"
#include "exam/ReadingsCsv.h"
#include "exam/ReportPdf.h"
#include "exam/ZoneChooserDialog.h"
#include "scan/AnalysisData.h"
#include "store/Client.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QLineSeries>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QDate kDay(2026, 3, 2);

// The analysis file of a scan as the scan widget writes it: a rectangle `mm` high or, for
// mm < 0, an automatic reading that found no fat boundary. The scan's path without extension.
QString writeReading(const QString &folder, const QString &zone, const QDateTime &taken, double mm)
{
    const QString path = folder + u'/' + zone + taken.toString(u"-yyyyMMdd--hh-mm-ss"_s);
    LayerTrace trace;
    trace.fatTop = {12, 12, 12};
    trace.fatBottom = {mm < 0 ? -1 : 180, mm < 0 ? -1 : 200, -1};
    AnalysisData analysis;
    analysis.reading = mm < 0 ? LayerReading::automatic(trace) : LayerReading::rectangle(trace, 0, 2, 1.5, 1.5 + mm);
    return analysis.saveToFile(path + u".json"_s) ? path : QString();
}

bool ownerOnly(const QString &path)
{
    return (QFile::permissions(path) & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser)) == 0;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    // Numbers in the interface have a decimal comma; the CSV keeps the dot.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void series_data()
    {
        QTest::addColumn<QList<double>>("sweeps");  // of "Coscia dx" on one day
        QTest::addColumn<double>("mean");
        QTest::addColumn<double>("sd");
        QTest::addColumn<double>("band");  // 1.96 * sqrt(2) * sd / sqrt(n); -1: unknown
        QTest::newRow("three repeats") << QList<double>{10.0, 10.4, 10.2} << 10.2 << 0.2 << 0.3201;
        QTest::newRow("two repeats") << QList<double>{12.0, 13.0} << 12.5 << 0.7071 << 1.3859;
        QTest::newRow("a repeat without a boundary") << QList<double>{9.0, -1, 9.6} << 9.3 << 0.4243 << 0.8316;
        QTest::newRow("single sweep") << QList<double>{9.5} << 9.5 << 0.0 << -1.0;
    }
    void series()
    {
        QFETCH(QList<double>, sweeps);
        QFETCH(double, mean);
        QFETCH(double, sd);
        QFETCH(double, band);
        QTemporaryDir dir;
        for (int i = 0; i < sweeps.size(); ++i)
            QVERIFY(!writeReading(dir.path(), u"Coscia dx"_s, QDateTime(kDay, QTime(10, i)), sweeps[i]).isEmpty());
        // Another zone a week later, and a file that is no scan's.
        QVERIFY(!writeReading(dir.path(), u"Vita"_s, QDateTime(kDay.addDays(7), QTime(9, 0)), 20.0).isEmpty());
        QFile(dir.filePath(u"appunti.json"_s)).open(QIODevice::WriteOnly);
        const ProgressSeries::ZoneSeries zones = ProgressSeries::build(ScanReadingLoader::fromFolder(dir.path()));
        QCOMPARE(zones.keys(), QStringList({u"Coscia dx"_s, u"Vita"_s}));
        QCOMPARE(zones[u"Coscia dx"_s].size(), 1);
        const ProgressPoint point = zones[u"Coscia dx"_s].first();
        QCOMPARE(point.day, kDay);
        QCOMPARE(point.sweeps, int(std::count_if(sweeps.begin(), sweeps.end(), [](double mm) { return mm >= 0; })));
        QVERIFY2(qAbs(point.meanMm - mean) < 1e-3 && qAbs(point.sdMm - sd) < 1e-3, qPrintable(QString::number(point.sdMm)));
        QCOMPARE(point.minimalChangeMm.has_value(), band >= 0);
        QVERIFY(band < 0 || qAbs(*point.minimalChangeMm - band) < 1e-3);
    }

    // The page shows the scans here and the exams on the service, each scan once.
    void pageJoinsTheServicesExams()
    {
        ReferenceService service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        ServiceSession session(service, 4301);
        Client client;
        std::tie(client.surname, client.name) = std::tuple(u"Conti"_s, u"Lucia"_s);
        QVERIFY(client.saveToDB(false, false));
        QSignalSpy clientSent(session.http(), &HttpService::onUploadClientDone);
        session.http()->saveClient(&client);
        QVERIFY(clientSent.wait(20000));
        client.loadFromDB(client.id);
        const QString folder = client.getDataPath(true);
        // The first day's two sweeps are on the service only; the second day is in both places.
        const QList<std::pair<QString, double>> scans = {{u"Vita"_s, 10.0}, {u"Vita"_s, 10.4}, {u"Vita"_s, 12.0}, {u"Coscia dx"_s, 15.0}};
        QList<ScanFile> days[2];
        for (int i = 0; i < scans.size(); ++i) {
            const QString path = writeReading(folder, scans[i].first, QDateTime(kDay.addDays(i / 2 * 14), QTime(9, i)), scans[i].second);
            QVERIFY(QFile(path + u".jpg"_s).open(QIODevice::WriteOnly) && QFile(path + u".d2d"_s).open(QIODevice::WriteOnly));
            days[i / 2] << ScanFile::createFromFilePath(path + u".jpg"_s);
        }
        QSignalSpy examSent(session.http(), &HttpService::onUploadExamDone);
        for (int day = 0; day < 2; ++day) {
            Exam exam;
            std::tie(exam.idUser, exam.examDate) = std::tuple(client.web_id, kDay.addDays(day * 14));
            session.http()->uploadExam(&exam, &days[day]);
            QVERIFY(examSent.wait(30000));
        }
        for (const ScanFile &scan : days[0])
            QVERIFY(QFile::remove(scan.jsonFile));

        ProgressTab tab;
        tab.setClient(client);
        tab.show();
        tab.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(tab.findChild<QLabel *>(u"lbProgressStatus"_s)->text(), u"Letture: 4, dagli esami sul cloud: 2"_s, 30000);
        const QList<QChartView *> views = tab.findChildren<QChartView *>();
        QCOMPARE(views.size(), 2);
        QChart *vita = tab.findChild<QChartView *>(u"chart Vita"_s)->chart();
        QList<double> means;
        for (const QPointF &point : qobject_cast<QLineSeries *>(vita->series().last())->points())
            means << qRound(point.y() * 100) / 100.0;
        QCOMPARE(means, QList<double>({10.2, 12.0}));
        // The latest day has one sweep: no band, and the chart says so.
        QCOMPARE(vita->series().size(), 1);
        QStringList notes;
        for (QGraphicsItem *item : vita->childItems())
            if (auto *text = dynamic_cast<QGraphicsSimpleTextItem *>(item))
                notes << text->text();
        QCOMPARE(notes, QStringList{u"Variazione minima sconosciuta: una sola scansione il 16/03/26"_s});
    }

    void csv_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<bool>("statistics");
        QTest::addColumn<QString>("row");
        const QString rest = u"2026-03-02 09:05:00,Vita,rectangle,12.35,11.90,10.25,13.00,0.48,Vita-20260302--09-05-00.json"_s;
        QTest::newRow("plain") << u"Lucia Conti"_s << true << u"Lucia Conti,"_s + rest;
        QTest::newRow("comma and quotes") << u"Rossi, \"Mario\""_s << true << u"\"Rossi, \"\"Mario\"\"\","_s + rest;
        QTest::newRow("line break") << u"Anna\nBianchi"_s << true << u"\"Anna\nBianchi\","_s + rest;
        QTest::newRow("formula") << u"=HYPERLINK(\"x\")"_s << true << u"\"'=HYPERLINK(\"\"x\"\")\","_s + rest;
        QTest::newRow("no boundary under the rectangle") << u"Lucia Conti"_s << false
                                                         << u"Lucia Conti,"_s + rest.section(u',', 0, 3) + u",,,,,Vita-20260302--09-05-00.json"_s;
    }
    void csv()
    {
        QFETCH(QString, client);
        QFETCH(bool, statistics);
        QFETCH(QString, row);
        ScanReading reading;
        std::tie(reading.zone, reading.taken, reading.baseName, reading.rectangle, reading.thicknessMm) =
            std::tuple(u"Vita"_s, QDateTime(kDay, QTime(9, 5)), u"Vita-20260302--09-05-00"_s, true, 12.345);
        if (statistics)
            std::tie(reading.meanMm, reading.minMm, reading.maxMm, reading.sdMm) = std::tuple(11.9, 10.25, 13.0, 0.4812);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"letture.csv"_s);
        QVERIFY(ReadingsCsv::write(path, client, {reading}));
        QCOMPARE(QString::fromUtf8(contents(path)),
                 u"client,date,zone,method,thickness_mm,mean_mm,min_mm,max_mm,sd_mm,file\r\n"_s + row + u"\r\n"_s);
        QVERIFY(ownerOnly(path));
    }

    void report_data()
    {
        QTest::addColumn<int>("zones");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("sweeps");
        QTest::addColumn<int>("pages");  // identity and diagram, charts (3 a page), readings (40 a page)
        QTest::newRow("no readings") << 0 << 0 << 0 << 2;
        QTest::newRow("one zone, two sweeps") << 1 << 1 << 2 << 3;
        QTest::newRow("four zones, five days") << 4 << 5 << 3 << 1 + 2 + 2;
        QTest::newRow("every zone once") << 21 << 1 << 1 << 1 + 7 + 1;
    }
    void report()
    {
        QFETCH(int, zones);
        QFETCH(int, days);
        QFETCH(int, sweeps);
        QFETCH(int, pages);
        QList<ScanReading> readings;
        for (int z = 0; z < zones; ++z) {
            for (int d = 0; d < days; ++d) {
                for (int s = 0; s < sweeps; ++s) {
                    ScanReading r;
                    std::tie(r.zone, r.taken, r.thicknessMm) = std::tuple(ZoneChooserDialog::zoneList().at(z),
                                                                          QDateTime(kDay.addDays(7 * d), QTime(9, s)), 12.0 + z - 0.4 * d + 0.1 * s);
                    readings << r;
                }
            }
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(u"report.pdf"_s);
        QVERIFY(ReportPdf::write(path, {u"Lucia Conti"_s, QDate(1987, 4, 12), 168, 61.5}, readings));
        const QString pdf = QString::fromLatin1(contents(path));
        QVERIFY(pdf.startsWith(u"%PDF-"_s) && pdf.contains(u"%%EOF"_s));
        QCOMPARE(pdf.count(QRegularExpression(u"/Type\\s*/Page(?!s)"_s)), pages);
        QVERIFY(ownerOnly(path));
    }
};

CALVESTRA_TEST_MAIN(TestProgress)
#include "tst_progress.moc"
