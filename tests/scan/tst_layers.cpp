// The automatic fat-layer measurement: the detector against the simulated tissue's own
// boundaries, the reading kept in the scan's .json, the overlay and the stored reading
// through the scan widget on the simulated probe, and calvestra-measure on a scan file.

#include "TestMain.h"
#include "ScanPictures.h"
#include "device/CalvimetroProtocol.h"
#include "device/PhantomSweep.h"
#include "device/SimulatedCalvimetro.h"
#include "scan/LayerDetector.h"
#include "scan/ScanWidget.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <numeric>


namespace {

constexpr int kWaitMs = 20000;
constexpr double kMmPerSample = CalvimetroProtocol::mmPerSample;

// The standard sweeps, and a probe off the skin at the start or all along.
std::vector<PhantomRecipe> recipes()
{
    std::vector<PhantomRecipe> set = standardPhantoms();
    set.push_back({"touches the skin late", {}, 160, 300});
    set.back().profile.liftOffBlock = 0;
    set.back().profile.liftOffEndBlock = 60;
    set.push_back({"never on the skin", {}, 160, 200});
    set.back().profile.liftOffBlock = 0;
    return set;
}

LayerTrace measured(const PhantomSweep &sweep)
{
    return LayerDetector().measure(sweep.samples.data(), sweep.lines, CalvimetroProtocol::scanRealMaxIndex);
}

double percentile95(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[size_t(std::ceil(0.95 * double(values.size()))) - 1];
}

QJsonObject readReading(const QString &path)
{
    QFile file(path);
    const QJsonObject root = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    return root.value(QStringLiteral("reading")).toObject();
}

void drag(QWidget *area, QPoint from, QPoint to)
{
    QTest::mousePress(area, Qt::LeftButton, {}, from);
    QTest::mouseMove(area, to);
    QTest::mouseRelease(area, Qt::LeftButton, {}, to);
}

// The boundary overlay: green well above red, which no colour of the palette has.
bool isOverlay(QRgb c)
{
    return qGreen(c) > qRed(c) + 60;
}

}  // namespace

class LayersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("CALVESTRA_SCANNER", "simulator");
        qputenv("CALVESTRA_SIMULATOR_RATE", "0");
    }

    void detectorFindsTheModelsBoundaries_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<PhantomRecipe> all = recipes();
        for (size_t i = 0; i < all.size(); ++i)
            QTest::newRow(all[i].name.c_str()) << int(i);
    }

    // Each line against the tissue the model drew under it: the thickness, both
    // boundaries, and no number at all where the line shows no fascia or no skin.
    void detectorFindsTheModelsBoundaries()
    {
        QFETCH(int, index);
        const PhantomSweep sweep = renderPhantom(recipes()[size_t(index)]);
        const LayerTrace trace = measured(sweep);
        std::vector<double> errors;
        std::vector<double> truth;
        double boundaryError = 0.0;
        int withBoundary = 0;
        for (int line = 0; line < sweep.lines; ++line) {
            if (!sweep.hasBoundary(line)) {
                QVERIFY2(!trace.found(line), qPrintable(QStringLiteral("a reading on line %1").arg(line)));
                continue;
            }
            ++withBoundary;
            if (!trace.found(line))
                continue;
            truth.push_back(sweep.thicknessMm(line));
            errors.push_back(std::abs(trace.thicknessMm(line) - truth.back()));
            boundaryError += std::abs(trace.fatTop[size_t(line)] * kMmPerSample - sweep.fatTopMm[size_t(line)])
                             + std::abs(trace.fatBottom[size_t(line)] * kMmPerSample - sweep.fatBottomMm[size_t(line)]);
        }
        const LayerSummary summary = summarizeLayers(trace, 0, sweep.lines - 1);
        if (withBoundary == 0) {
            QVERIFY(!summary.hasValue());
            return;
        }
        const double n = double(errors.size());
        QVERIFY2(n >= 0.97 * withBoundary, qPrintable(QStringLiteral("found on %1 of %2 lines").arg(n).arg(withBoundary)));
        QVERIFY2(std::accumulate(errors.begin(), errors.end(), 0.0) / n <= 0.3, "mean error");
        QVERIFY2(percentile95(errors) <= 0.6, qPrintable(QString::number(percentile95(errors))));
        QVERIFY(boundaryError / n <= 0.6);

        // The summary against the same lines' truth.
        const double mean = std::accumulate(truth.begin(), truth.end(), 0.0) / n;
        const double sd = std::sqrt(std::max(0.0, std::inner_product(truth.begin(), truth.end(), truth.begin(), 0.0) / n - mean * mean));
        QVERIFY(summary.lines == sweep.lines && summary.found == int(n));
        QVERIFY(std::abs(summary.meanMm - mean) <= 0.1 && std::abs(summary.sdMm - sd) <= 0.1);
        QVERIFY(std::abs(summary.minMm - *std::min_element(truth.begin(), truth.end())) <= 0.6);
        QVERIFY(std::abs(summary.maxMm - *std::max_element(truth.begin(), truth.end())) <= 0.6);
    }

    void readingSurvivesItsFile_data()
    {
        QTest::addColumn<QByteArray>("phantom");
        QTest::addColumn<bool>("rectangle");
        QTest::newRow("automatic") << QByteArray("default") << false;
        QTest::newRow("rectangle") << QByteArray("wavy") << true;
        QTest::newRow("no boundary") << QByteArray("no fascia") << false;
    }

    void readingSurvivesItsFile()
    {
        QFETCH(QByteArray, phantom);
        QFETCH(bool, rectangle);
        const std::vector<PhantomRecipe> all = recipes();
        PhantomRecipe recipe = *std::find_if(all.begin(), all.end(), [&](auto &r) { return r.name == phantom.constData(); });
        recipe.lines = 60;
        const LayerTrace trace = measured(renderPhantom(recipe));
        AnalysisData saved;
        saved.linemarks = {3, 41};
        saved.reading = rectangle ? LayerReading::rectangle(trace, 10, 29, 1.62, 11.87) : LayerReading::automatic(trace);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("scan.json"));
        QVERIFY(saved.saveToFile(path));

        // Written again from what was read, it is the same file: marks, method, lines,
        // values and every boundary.
        AnalysisData loaded;
        loaded.loadFromFile(path);
        QCOMPARE(loaded.getJsonObject(), saved.getJsonObject());

        // What other programs read: the method and the values in mm.
        const QJsonObject json = readReading(path);
        QCOMPARE(json.value(QStringLiteral("method")).toString(), rectangle ? "rectangle" : "automatic");
        const LayerSummary &summary = saved.reading->summary;
        QCOMPARE(json.value(QStringLiteral("mean_mm")).toDouble(-1.0), summary.hasValue() ? std::round(summary.meanMm * 100.0) / 100.0 : -1.0);
        QCOMPARE(json.value(QStringLiteral("thickness_mm")).toDouble(-1.0), rectangle ? 10.25 : json.value(QStringLiteral("mean_mm")).toDouble(-1.0));
    }

    void filesWithoutAUsableReadingStillLoad_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QList<int>>("marks");
        QTest::addColumn<double>("meanMm");  // negative: no reading
        // Boundaries written by hand: lines at samples 25 and 26 to 190 and none.
        const QByteArray boundaries = "'boundaries': {'fat_top': 'GQAaAA==', 'fat_bottom': 'vgD//w=='}";
        auto json = [](const QByteArray &text) { return QByteArray(text).replace('\'', '"'); };
        QTest::newRow("marks only, as before readings") << json("{'linemarks': [12, 345]}") << QList<int>{12, 345} << -1.0;
        QTest::newRow("hand-written reading") << json("{'linemarks': [], 'reading': {'method': 'automatic', " + boundaries + "}}")
                                              << QList<int>{} << 165 * kMmPerSample;
        QTest::newRow("unknown method") << json("{'linemarks': [1], 'reading': {'method': 'guess', " + boundaries + "}}")
                                        << QList<int>{1} << -1.0;
        QTest::newRow("boundaries of different lengths")
            << json("{'linemarks': [3], 'reading': {'method': 'automatic', 'boundaries': {'fat_top': 'GQAaAA==', 'fat_bottom': 'vgA='}}}")
            << QList<int>{3} << -1.0;
        QTest::newRow("rectangle without its depths")
            << json("{'linemarks': [4], 'reading': {'method': 'rectangle', " + boundaries + "}}") << QList<int>{4} << -1.0;
    }

    void filesWithoutAUsableReadingStillLoad()
    {
        QFETCH(QByteArray, json);
        QFETCH(QList<int>, marks);
        QFETCH(double, meanMm);
        AnalysisData data;
        data.loadFromByteArray(json);
        QCOMPARE(data.linemarks, marks);
        QCOMPARE(bool(data.reading), meanMm >= 0.0);
        if (data.reading)
            QVERIFY(data.reading->summary.found == 1 && data.reading->summary.lines == 2
                    && std::abs(data.reading->summary.meanMm - meanMm) < 1e-9);
        // Saved again, a file without a reading stays one.
        QCOMPARE(data.getJsonObject().contains(QStringLiteral("reading")), meanMm >= 0.0);
    }

    void savedScanKeepsItsReading_data()
    {
        QTest::addColumn<double>("fatMm");
        QTest::newRow("fat 12 mm") << 12.0;
        QTest::newRow("fat deeper than the scan") << 120.0;
    }

    // A sweep of the simulated probe through the scan widget: the overlay and its
    // caption, the toolbar button, the reading in the saved .json and a rectangle
    // dragged afterwards.
    void savedScanKeepsItsReading()
    {
        QFETCH(double, fatMm);
        const bool boundary = fatMm < 90.0;
        const int lines = 300;
        ScanWidget widget(nullptr, swmAcquisition);
        widget.commThread->setCheckInterval(40);
        widget.commThread->setProcessingPause(30);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        SimulatedCalvimetro *sim = widget.commThread->simulator();
        CalvimetroProfile profile;
        profile.fatMm = fatMm;
        sim->setProfile(profile);
        auto *status = widget.findChild<QLabel *>(QStringLiteral("lbStatus"));
        QSignalSpy done(&widget, &ScanWidget::onScanCompleted);
        auto scan = [&] {
            if (!QTest::qWaitFor([&] { return status->text() == QStringLiteral("Pronto"); }, kWaitMs))
                return false;
            sim->sweep(lines + 1);
            return done.wait(kWaitMs) && QTest::qWaitFor([&] { return !widget.commThread->isScanBusy(); }, kWaitMs);
        };
        QVERIFY(scan());

        ScanArea *area = widget.scanArea;
        const QRect plot = area->plotRect().adjusted(1, 1, -1, -1);
        auto truthOver = [sim](int first, int last) {
            double sum = 0.0;
            for (int line = first; line <= last; ++line)
                sum += sim->expectedFatMm(line);
            return sum / (last - first + 1);
        };
        const double truth = truthOver(0, lines - 1);
        const QString caption = area->captionText();
        QVERIFY(captionShows(*area, grab(*area), caption));
        if (boundary)
            QVERIFY2(caption.startsWith(QStringLiteral("Spessore medio : "))
                         && std::abs(caption.section(QLatin1Char(' '), 3, 3).toDouble() - truth) <= 0.15,
                     qPrintable(caption));
        else
            QCOMPARE(caption, QStringLiteral("Spessore : confine del grasso non trovato"));
        QCOMPARE(countPixels(grab(*area), plot, isOverlay) > plot.width(), boundary);
        // Switched off with the toolbar button, the rectangle's caption is back.
        auto *layers = widget.findChild<QPushButton *>(QStringLiteral("btLayers"));
        QTest::mouseClick(layers, Qt::LeftButton);
        QCOMPARE(countPixels(grab(*area), plot, isOverlay), 0);
        QVERIFY(captionShows(*area, grab(*area), QStringLiteral("Spessore : Trascinare il mouse")));
        QTest::mouseClick(layers, Qt::LeftButton);
        QCOMPARE(countPixels(grab(*area), plot, isOverlay) > 0, boundary);

        QTemporaryDir dir;
        const QString jpg = widget.saveUserFiles(dir.path() + QLatin1Char('/'), QStringLiteral("Vita"));
        const QString json = jpg.left(jpg.size() - 4) + QStringLiteral(".json");
        QJsonObject reading = readReading(json);
        QCOMPARE(reading.value(QStringLiteral("method")).toString(), QStringLiteral("automatic"));
        QCOMPARE(reading.value(QStringLiteral("found")).toDouble() >= 0.97, boundary);
        QCOMPARE(std::abs(reading.value(QStringLiteral("thickness_mm")).toDouble(-99.0) - truth) <= 0.15, boundary);

        // A rectangle dragged on the saved scan goes into its file.
        QSignalSpy kept(&widget, &ScanWidget::onReadingSaved);
        const QPoint from(plot.left() + plot.width() / 4, plot.top() + 20);
        const QPoint to(plot.left() + plot.width() / 2, plot.top() + 120);
        drag(area, from, to);
        QCOMPARE(kept.count(), 1);
        reading = readReading(json);
        QCOMPARE(reading.value(QStringLiteral("method")).toString(), QStringLiteral("rectangle"));
        QVERIFY(std::abs(reading.value(QStringLiteral("thickness_mm")).toDouble() - area->thickness()) < 0.011);
        const int first = reading.value(QStringLiteral("lines")).toArray().at(0).toInt();
        const int last = reading.value(QStringLiteral("lines")).toArray().at(1).toInt();
        QVERIFY(std::abs(first - lines / 4) <= 2 && std::abs(last - lines / 2) <= 2);
        QCOMPARE(std::abs(reading.value(QStringLiteral("mean_mm")).toDouble(-99.0) - truthOver(first, last)) <= 0.15, boundary);
        // Renamed files are not written again under the old name, and a scan taken or
        // loaded after saving is not written into the saved one's file.
        QVERIFY(QFile::rename(json, json + QStringLiteral(".moved")));
        drag(area, to, from);
        QVERIFY(!QFile::exists(json));
        for (int loaded = 0; loaded < 2; ++loaded) {
            QVERIFY(!widget.saveUserFiles(dir.path() + QLatin1Char('/'), QStringLiteral("Vita")).isEmpty());
            if (loaded)
                widget.loadFromFile(jpg.left(jpg.size() - 4) + QStringLiteral(".d2d"));
            else
                QVERIFY(scan());
            drag(area, from, to);
        }
        QCOMPARE(kept.count(), 1);
    }

    void measureToolPrintsJsonLines_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("every line") << QStringList();
        QTest::newRow("summary") << QStringList{QStringLiteral("--summary")};
    }

    // layers-8mm.d2d: 48 lines of the simulated tissue (fat 8.0 mm throughout, the probe
    // off the skin for lines 20 to 25) saved at 30 mm depth.
    void measureToolPrintsJsonLines()
    {
        QFETCH(QStringList, options);
        const QString scan = QStringLiteral(CALVESTRA_SOURCE_DIR "/tests/scan/data/layers-8mm.d2d");
        QProcess tool;
        tool.start(QStringLiteral(CALVESTRA_BINARY_DIR "/tools/calvestra-measure"),
                   options + QStringList{scan, QStringLiteral("/nonexistent/scan.d2d")});
        QVERIFY(tool.waitForFinished(kWaitMs));
        QCOMPARE(tool.exitCode(), 1);  // for the missing file
        const QList<QByteArray> out = tool.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(out.size(), 2);
        const QJsonObject result = QJsonDocument::fromJson(out.at(0)).object();
        QVERIFY(result.value(QStringLiteral("file")).toString() == scan && result.value(QStringLiteral("lines")).toInt() == 48);
        QCOMPARE(result.value(QStringLiteral("found")).toDouble(), 0.875);
        QVERIFY(std::abs(result.value(QStringLiteral("mean_mm")).toDouble() - 8.0) <= 0.1);
        QCOMPARE(result.contains(QStringLiteral("thickness_mm")), options.isEmpty());
        const QJsonArray perLine = result.value(QStringLiteral("thickness_mm")).toArray();
        for (int line = 0; line < perLine.size(); ++line)
            QVERIFY(line >= 20 && line <= 25 ? perLine.at(line).isNull() : std::abs(perLine.at(line).toDouble() - 8.0) <= 0.2);
        QVERIFY(QJsonDocument::fromJson(out.at(1)).object().contains(QStringLiteral("error")));
    }
};

CALVESTRA_TEST_MAIN(LayersTest)
#include "tst_layers.moc"
