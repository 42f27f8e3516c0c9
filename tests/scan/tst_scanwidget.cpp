// The scan widget on the simulated calvimetro: status, depth and intensity, the finished
// scan on screen measured like an operator does, contrast and black and white, and the
// files of a saved scan.
#include "TestMain.h"

#include "LogCatcher.h"
#include "ScanTestSupport.h"

#include "device/SimulatedCalvimetro.h"
#include "device/UsbTransport.h"
#include "device/VXCommThread.h"
#include "scan/ScanWidget.h"
#include "scan/ScannerSimulatorPanel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace ScanTest;

namespace {

constexpr int kWaitMs = 20000;

// A scan widget on the simulated probe, which answers at once and is looked for often.
struct Rig
{
    explicit Rig(ScanWidgetMode mode = swmAcquisition)
        : widget(nullptr, mode)
    {
        if (mode == swmAcquisition) {
            widget.commThread->setCheckInterval(40);
            widget.commThread->setProcessingPause(30);
        }
    }
    template <typename T>
    T *get(const char *name) const
    {
        return widget.findChild<T *>(QString::fromLatin1(name));
    }
    SimulatedCalvimetro *sim() const { return widget.commThread->simulator(); }
    ScanArea *area() const { return widget.scanArea; }
    QPixmap led() const { return get<QLabel>("imgStatus")->pixmap(); }
    bool status(const QString &text) const
    {
        return QTest::qWaitFor([&] { return get<QLabel>("lbStatus")->text() == text; }, kWaitMs);
    }
    // A sweep of `lines` lines, until its picture is shown and the probe ready again.
    bool scan(int lines)
    {
        QSignalSpy done(&widget, &ScanWidget::onScanCompleted);
        if (!status(QStringLiteral("Pronto")))
            return false;
        sim()->sweep(lines + 1);
        return done.wait(kWaitMs) && status(QStringLiteral("Pronto"))
            && QTest::qWaitFor([&] { return !widget.commThread->isScanBusy(); }, kWaitMs);
    }
    ScanWidget widget;
};

bool sameIcon(const QPixmap &shown, const char *resource)
{
    return shown.toImage() == QPixmap(QString::fromLatin1(resource)).toImage();
}

QString stem(const QString &jpg)
{
    return jpg.left(jpg.size() - 4);
}

}  // namespace

class ScanWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("CALVESTRA_SCANNER", "simulator");
        qputenv("CALVESTRA_SIMULATOR_RATE", "0");
    }

    void viewerModeHasNoToolbarAndNoProbe()
    {
        Rig viewer(swmViewer);
        viewer.widget.resize(800, 500);
        viewer.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer.widget));
        QVERIFY(!viewer.get<QPushButton>("btBN")->isVisible() && !viewer.get<QLabel>("lbStatus")->isVisible());
        QVERIFY(viewer.area()->width() > 700);
        QVERIFY(!viewer.widget.commThread->isRunning() && !viewer.sim());
        QVERIFY(!viewer.widget.findChild<ScannerSimulatorPanel *>());
        // An acquisition widget turned into a viewer hides its toolbar and the probe's panel.
        Rig rig;
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        QVERIFY(rig.get<QPushButton>("btBN")->isVisible() && rig.widget.findChild<ScannerSimulatorPanel *>()->isVisible());
        rig.widget.setMode(swmViewer);
        QVERIFY(!rig.get<QPushButton>("btBN")->isVisible() && !rig.get<QLabel>("imgStatus")->isVisible());
        QVERIFY(!rig.widget.findChild<ScannerSimulatorPanel *>()->isVisible());
    }

    void slidersSnapToTens_data()
    {
        QTest::addColumn<QString>("slider");
        QTest::addColumn<int>("moved");
        QTest::addColumn<int>("value");
        for (const auto &[moved, value] : QList<QPair<int, int>>{{75, 80}, {64, 60}, {65, 70}, {25, 30}, {100, 100}})
            QTest::addRow("depth %d", moved) << QStringLiteral("slDeepness") << moved << value;
        for (const auto &[moved, value] : QList<QPair<int, int>>{{155, 160}, {104, 100}, {215, 220}})
            QTest::addRow("intensity %d", moved) << QStringLiteral("slIntensity") << moved << value;
    }
    void slidersSnapToTens()
    {
        QFETCH(QString, slider);
        QFETCH(int, moved);
        QFETCH(int, value);
        Rig rig;
        auto *control = rig.widget.findChild<QSlider *>(slider);
        control->setValue(moved);
        QCOMPARE(control->value(), value);
        VXCommThread *thread = rig.widget.commThread.get();
        if (slider == QStringLiteral("slDeepness")) {
            QCOMPARE(rig.get<QLabel>("lbDeepValue")->text(), QString::number(value));
            QCOMPARE(QList<int>({rig.area()->deepness, thread->deepness, thread->deepIndex}),
                     QList<int>({value, value, int(value / CalvimetroProtocol::mmPerSample)}));
        } else {
            QCOMPARE(rig.get<QLabel>("lbIntensityValue")->text(), QString::number(value));
            QCOMPARE(thread->intensity.load(), value);
        }
    }

    void statusFollowsTheProbe()
    {
        Rig rig;
        LogCatcher log("calvestra.scan");
        QSignalSpy started(&rig.widget, &ScanWidget::onStartScan);
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        // Another probe: its serial number is read when it is opened.
        rig.sim()->unplug();
        QVERIFY(rig.status(QStringLiteral("Non Connesso")) && sameIcon(rig.led(), ":/icons/led_disconnect"));
        rig.sim()->setSerial("VX-0042");
        rig.sim()->plug();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && sameIcon(rig.led(), ":/icons/led_connect"));
        QCOMPARE(rig.get<QLabel>("lbSN")->text(), QStringLiteral("VX-0042"));
        QCOMPARE(rig.area()->serial, QStringLiteral("VX-0042"));
        QVERIFY(log.has(QStringLiteral("device offset :  5.77")));
        // Scanning at a probe's pace: the lines of an earlier scan go, the intensity set
        // goes with every block request, the picture controls wait.
        rig.area()->addScanData(uniformLine(9));
        rig.get<QSlider>("slIntensity")->setValue(104);
        rig.sim()->setBlockRate(300);
        rig.sim()->pressButton();
        QVERIFY(rig.status(QStringLiteral("Scanning...")) && sameIcon(rig.led(), ":/icons/led_scan"));
        QCOMPARE(started.count(), 1);
        for (const char *name : {"btBN", "btAutoAdjust", "btLoad", "btSave"})
            QVERIFY2(!rig.get<QPushButton>(name)->isEnabled(), name);
        QVERIFY(QTest::qWaitFor([&] { return rig.area()->scanLines().size() > 10; }, kWaitMs));
        QVERIFY(rig.area()->scanLines().first() != uniformLine(9));
        QCOMPARE(rig.sim()->lastGain(), 100);
        rig.sim()->releaseButton();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.get<QPushButton>("btBN")->isEnabled());
        // The pause between the end of a sweep and its picture shows as processing.
        rig.sim()->setBlockRate(0);
        rig.widget.commThread->setProcessingPause(600);
        rig.widget.commThread->setCheckInterval(60000);
        rig.sim()->sweep(20);
        QVERIFY(rig.status(QStringLiteral("Elaborazione...")) && sameIcon(rig.led(), ":/icons/led_disconnect"));
        QVERIFY(rig.status(QStringLiteral("Pronto")));
    }

    void scanWithoutLinesIsNotKept()
    {
        Rig rig;
        QVERIFY(rig.scan(40));
        rig.widget.dirty = false;
        // The first line of the next scan never arrives.
        SimulatedCalvimetro::ReadFault fault;
        fault.kind = SimulatedCalvimetro::ReadFault::Error;
        fault.value = UsbTransport::ErrorIo;
        fault.atSweepBlock = 1;
        rig.sim()->injectReadFault(fault);
        LogCatcher log("calvestra.scan");
        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        rig.sim()->sweep(2);
        QVERIFY(QTest::qWaitFor([&] { return log.has(QStringLiteral("scan without lines")); }, kWaitMs));
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        QVERIFY(completed.isEmpty() && dirty.isEmpty() && !rig.widget.dirty && !rig.area()->image);
    }

    void fullScanMeasuresTheFat_data()
    {
        QTest::addColumn<double>("fatMm");
        QTest::addColumn<int>("depth");
        QTest::newRow("12 mm at 60") << 12.0 << 60;
        QTest::newRow("7.5 mm at 30") << 7.5 << 30;
        QTest::newRow("25 mm at 60") << 25.0 << 60;
        QTest::newRow("18 mm at 100") << 18.0 << 100;
    }
    void fullScanMeasuresTheFat()
    {
        QFETCH(double, fatMm);
        QFETCH(int, depth);
        Rig rig;
        rig.widget.resize(900, 520);
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        rig.get<QSlider>("slDeepness")->setValue(depth);
        CalvimetroProfile profile = rig.sim()->profile();
        profile.fatMm = fatMm;
        rig.sim()->setProfile(profile);
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        QVERIFY(rig.scan(CalvimetroProtocol::maxScanLines));
        QVERIFY(rig.widget.dirty && dirty.count() == 1);
        QCOMPARE(rig.area()->image->size(), QSize(CalvimetroProtocol::maxScanLines, CalvimetroProtocol::scanRealMaxIndex));
        // Half way along, the fat as an operator finds it on screen: the dark layer between
        // the bright skin and the thick bright fascia.
        ScanArea *area = rig.area();
        const QImage shot = grabImage(*area);
        const int x = area->plotRect().center().x();
        const auto white = [&](int y) {
            int red = 0;
            for (int dx = -3; dx <= 3; ++dx)
                red += qRed(shot.pixel(x + dx, y));
            return red / 7 > 180;
        };
        const int top = area->plotRect().top() + 1;
        const int bottom = area->plotRect().bottom();
        int y = top;
        while (y < bottom && white(y))
            ++y;
        const int fatTop = y;
        while (y + 2 < bottom && !(white(y) && white(y + 1) && white(y + 2)))
            ++y;
        QVERIFY2(fatTop > top && y - 1 > fatTop + 5 && y + 2 < bottom, qPrintable(QStringLiteral("%1..%2").arg(fatTop).arg(y)));
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(x - 20, fatTop));
        QTest::mouseMove(area, QPoint(x + 20, y - 1));
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(x + 20, y - 1));
        const double expected =
            rig.sim()->expectedFatMm((x - area->plotRect().left()) * CalvimetroProtocol::maxScanLines / area->plotWidth());
        QVERIFY2(qAbs(area->thickness() - expected) <= 1.0,
                 qPrintable(QStringLiteral("measured %1 mm, simulated %2 mm").arg(area->thickness()).arg(expected)));
    }

    void blackWhiteAndContrastRebuildThePicture()
    {
        Rig rig;
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        QVERIFY(rig.scan(200));
        const QRect plot = rig.area()->plotRect().adjusted(1, 1, -1, -1);
        const auto shown = [&] { return grabImage(*rig.area()).copy(plot); };
        const auto colours = [](const QImage &img) {
            return countPixels(img, img.rect(), [](QRgb c) { return qRed(c) != qBlue(c) || qGreen(c) != qBlue(c); });
        };
        const QImage colour = shown();
        QVERIFY(colours(colour) > plot.width() * plot.height() / 4);
        QTest::mouseClick(rig.get<QPushButton>("btBN"), Qt::LeftButton);
        QVERIFY(rig.get<QPushButton>("btBN")->isChecked() && rig.widget.commThread->blackWhite);
        const QImage grey = shown();
        QCOMPARE(colours(grey), 0);
        QTest::mouseClick(rig.get<QPushButton>("btAutoAdjust"), Qt::LeftButton);
        QVERIFY(!rig.get<QPushButton>("btAutoAdjust")->isChecked() && !rig.widget.commThread->autoAdjust);
        const QImage plain = shown();
        QVERIFY(plain != grey && colours(plain) == 0);
        rig.widget.performAutoAdjust(true);
        QVERIFY(rig.get<QPushButton>("btAutoAdjust")->isChecked() && shown() == grey);
        rig.widget.doSwitchBN(false);
        QVERIFY(!rig.get<QPushButton>("btBN")->isChecked() && shown() == colour);
    }

    void whileScanningOnlyMarksCount()
    {
        Rig rig;
        LogCatcher log("calvestra.scan");
        rig.sim()->setBlockRate(300);
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        rig.sim()->pressButton();
        QVERIFY(QTest::qWaitFor([&] { return rig.area()->scanLines().size() >= 50; }, kWaitMs));
        rig.widget.doSwitchBN(true);
        rig.widget.performAutoAdjust(false);
        rig.widget.loadFromFile(QStringLiteral("/nonexistent.d2d"));
        QCOMPARE(log.lines().filter(QStringLiteral("ignored while scanning")).size(), 3);
        QVERIFY(!rig.get<QPushButton>("btBN")->isChecked() && !rig.widget.commThread->blackWhite);
        QVERIFY(rig.get<QPushButton>("btAutoAdjust")->isChecked() && rig.widget.commThread->autoAdjust);
        emit rig.widget.commThread->onSetMark();
        const int markedAt = int(rig.area()->scanLines().size());
        rig.sim()->releaseButton();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.area()->image);
        QCOMPARE(rig.area()->analysis.linemarks, QList<int>{markedAt});
    }

    void savedScanFiles()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        Rig rig;
        // Moved to 60: 945 samples per line kept, which read back as 59 mm.
        rig.get<QSlider>("slDeepness")->setValue(61);
        QVERIFY(rig.scan(300));
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
        const QString jpg = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QDateTime stamp = QDateTime::fromString(QFileInfo(jpg).completeBaseName().mid(5), QStringLiteral("yyyyMMdd--hh-mm-ss"));
        QVERIFY2(jpg.startsWith(folder + QStringLiteral("Vita-")) && stamp >= before && stamp <= QDateTime::currentDateTime(), qPrintable(jpg));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({QFileInfo(stem(jpg) + ".d2d").fileName(), QFileInfo(jpg).fileName()}));
        QImageReader reader(jpg);
        QVERIFY(reader.format() == "jpeg" && reader.size() == QSize(500, 400));
        // The same lines come back, cut to the displayed depth; the depth snaps to the slider.
        Rig viewer;
        viewer.get<QSlider>("slDeepness")->setValue(90);
        viewer.widget.loadFromFile(stem(jpg) + QStringLiteral(".d2d"));
        QCOMPARE(viewer.widget.commThread->lineCount, 300);
        QCOMPARE(viewer.get<QSlider>("slDeepness")->value(), 60);
        QCOMPARE(viewer.area()->deepness, 60);
        for (int line = 0; line < 300; line += 37) {
            const uchar *orig = rig.widget.commThread->scanData.constData() + line * CalvimetroProtocol::scanRealMaxIndex;
            QVERIFY(std::equal(orig, orig + 945, viewer.widget.commThread->scanData.constData() + line * CalvimetroProtocol::scanRealMaxIndex));
        }
        // With marks the .json comes too; the same zone again in the same second takes the next one.
        rig.area()->analysis.linemarks = {12, 150};
        const QString second = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QString third = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        QVERIFY(second > jpg && third > second);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 8);
        QFile json(stem(second) + QStringLiteral(".json"));
        QVERIFY(json.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(json.readAll())["linemarks"].toArray(), QJsonArray({12, 150}));
        // A file that is no scan leaves the one shown.
        QImage *shown = viewer.area()->image;
        viewer.widget.loadFromFile(json.fileName());
        QVERIFY(viewer.area()->image == shown && viewer.widget.commThread->lineCount == 300);
    }

    void failedWriteLeavesNoFile_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("limit");
        QTest::newRow("the scan data does not fit") << 300 << 60000;
        QTest::newRow("the picture does not fit") << 4 << 8000;
    }
    void failedWriteLeavesNoFile()
    {
        QFETCH(int, lines);
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        Rig rig;
        rig.widget.show();
        QVERIFY(rig.scan(lines));
        rig.area()->analysis.linemarks = {1};
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit full = old;
        full.rlim_cur = rlim_t(limit);  // a full disk for every file this process writes
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
        const QString jpg = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(jpg.isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        QVERIFY(!rig.widget.saveUserFiles(folder, QStringLiteral("Vita")).isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
    }

    void simulatorPanelDrivesTheProbe()
    {
        Rig rig;
        auto *panel = rig.widget.findChild<ScannerSimulatorPanel *>();
        QVERIFY(panel && panel->isWindow() && !panel->isVisible());
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget) && panel->isVisible());
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        panel->edFat->setValue(17.5);
        QCOMPARE(rig.sim()->profile().fatMm, 17.5);
        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QTest::mousePress(panel->btProbe, Qt::LeftButton);
        QVERIFY(rig.status(QStringLiteral("Scanning...")));
        QVERIFY(QTest::qWaitFor([&] { return rig.area()->scanLines().size() >= 20; }, kWaitMs));
        QTest::mouseRelease(panel->btProbe, Qt::LeftButton);
        QVERIFY(completed.count() == 1 || completed.wait(kWaitMs));
        QTest::mouseClick(panel->chkPlugged, Qt::LeftButton);
        QVERIFY(!panel->btProbe->isEnabled() && rig.status(QStringLiteral("Non Connesso")));
        QTest::mouseClick(panel->chkPlugged, Qt::LeftButton);
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        rig.widget.hide();
        QVERIFY(!panel->isVisible());
    }
};

CALVESTRA_TEST_MAIN(ScanWidgetTest)
#include "tst_scanwidget.moc"
