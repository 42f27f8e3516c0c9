// The scan widget on the simulated calvimetro: status, depth and intensity, contrast and
// black and white, what waits while scanning, and the files of a saved scan.
#include "TestMain.h"

#include "LogCatcher.h"

#include "device/SimulatedCalvimetro.h"
#include "device/UsbTransport.h"
#include "device/VXCommThread.h"
#include "scan/ScanArea.h"
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

namespace {

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
    T *get(const char *name) const { return widget.findChild<T *>(QString::fromLatin1(name)); }
    SimulatedCalvimetro *sim() const { return widget.commThread->simulator(); }
    ScanArea *area() const { return widget.scanArea; }
    bool led(const char *resource) const
    {
        return get<QLabel>("imgStatus")->pixmap().toImage() == QPixmap(QString::fromLatin1(resource)).toImage();
    }
    bool status(const QString &text) const
    {
        return QTest::qWaitFor([&] { return get<QLabel>("lbStatus")->text() == text; }, 20000);
    }
    // A sweep of `lines` lines, until its picture is shown and the probe ready again.
    bool scan(int lines)
    {
        QSignalSpy done(&widget, &ScanWidget::onScanCompleted);
        sim()->sweep(lines + 1);
        return done.wait(20000) && status(QStringLiteral("Pronto")) && QTest::qWaitFor([&] { return !widget.commThread->isScanBusy(); }, 20000);
    }
    QImage shown() const { return widget.scanArea->grab().toImage().copy(widget.scanArea->plotRect().adjusted(1, 1, -1, -1)); }
    ScanWidget widget;
};

int coloured(const QImage &img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qRed(img.pixel(x, y)) != qBlue(img.pixel(x, y)) || qGreen(img.pixel(x, y)) != qBlue(img.pixel(x, y));
    return n;
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
        QVERIFY(QTest::qWaitForWindowExposed(&viewer.widget) && !viewer.get<QPushButton>("btBN")->isVisible());
        QVERIFY(viewer.area()->width() > 700 && !viewer.widget.commThread->isRunning() && !viewer.sim());
        QVERIFY(!viewer.widget.findChild<ScannerSimulatorPanel *>());
        // Turned into a viewer, an acquisition widget hides its toolbar and the probe's panel.
        Rig rig;
        rig.widget.show();
        auto *panel = rig.widget.findChild<ScannerSimulatorPanel *>();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget) && rig.get<QPushButton>("btBN")->isVisible() && panel->isVisible());
        rig.widget.setMode(swmViewer);
        QVERIFY(!rig.get<QPushButton>("btBN")->isVisible() && !rig.get<QLabel>("imgStatus")->isVisible() && !panel->isVisible());
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
        rig.widget.findChild<QSlider *>(slider)->setValue(moved);
        VXCommThread *thread = rig.widget.commThread.get();
        const bool depth = slider == QStringLiteral("slDeepness");
        QCOMPARE(rig.widget.findChild<QSlider *>(slider)->value(), value);
        QCOMPARE(rig.get<QLabel>(depth ? "lbDeepValue" : "lbIntensityValue")->text(), QString::number(value));
        QCOMPARE(depth ? QList<int>({rig.area()->deepness, thread->deepness, thread->deepIndex}) : QList<int>{thread->intensity},
                 depth ? QList<int>({value, value, int(value / CalvimetroProtocol::mmPerSample)}) : QList<int>{value});
    }

    void statusFollowsTheProbe()
    {
        Rig rig;
        LogCatcher log("calvestra.scan");
        QSignalSpy started(&rig.widget, &ScanWidget::onStartScan);
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        // Another probe: its serial number is read when it is opened.
        rig.sim()->unplug();
        QVERIFY(rig.status(QStringLiteral("Non Connesso")) && rig.led(":/icons/led_disconnect"));
        rig.sim()->setSerial("VX-0042");
        rig.sim()->plug();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.led(":/icons/led_connect"));
        QVERIFY(rig.get<QLabel>("lbSN")->text() == QStringLiteral("VX-0042") && rig.area()->serial == QStringLiteral("VX-0042"));
        QVERIFY(log.has(QStringLiteral("device offset :  5.77")));
        // At a probe's pace: an earlier scan's lines go, the intensity goes with every
        // block request, the picture controls wait.
        rig.area()->addScanData(QList<uchar>(789, 9));
        rig.get<QSlider>("slIntensity")->setValue(104);
        rig.sim()->setBlockRate(300);
        rig.sim()->pressButton();
        QVERIFY(rig.status(QStringLiteral("Scanning...")) && rig.led(":/icons/led_scan") && started.count() == 1);
        for (const char *name : {"btBN", "btAutoAdjust", "btLoad", "btSave"})
            QVERIFY2(!rig.get<QPushButton>(name)->isEnabled(), name);
        QVERIFY(QTest::qWaitFor([&] { return rig.area()->scanLines().size() > 10; }, 20000));
        QVERIFY(rig.area()->scanLines().first() != QList<uchar>(789, 9) && rig.sim()->lastGain() == 100);
        rig.sim()->releaseButton();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.get<QPushButton>("btBN")->isEnabled());
        // The pause between a sweep's end and its picture shows as processing.
        rig.sim()->setBlockRate(0);
        rig.widget.commThread->setProcessingPause(600);
        rig.widget.commThread->setCheckInterval(60000);
        rig.sim()->sweep(20);
        QVERIFY(rig.status(QStringLiteral("Elaborazione...")) && rig.led(":/icons/led_disconnect") && rig.status(QStringLiteral("Pronto")));
    }

    void scanWithoutLinesIsNotKept()
    {
        Rig rig;
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.scan(40));
        rig.widget.dirty = false;
        SimulatedCalvimetro::ReadFault fault;  // the first line of the next scan never comes
        fault.kind = SimulatedCalvimetro::ReadFault::Error;
        fault.value = UsbTransport::ErrorIo;
        fault.atSweepBlock = 1;
        rig.sim()->injectReadFault(fault);
        LogCatcher log("calvestra.scan");
        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        rig.sim()->sweep(2);
        QVERIFY(QTest::qWaitFor([&] { return log.has(QStringLiteral("scan without lines")); }, 20000) && rig.status(QStringLiteral("Pronto")));
        QVERIFY(completed.isEmpty() && dirty.isEmpty() && !rig.widget.dirty && !rig.area()->image);
    }

    void blackWhiteAndContrastRebuildThePicture()
    {
        Rig rig;
        rig.widget.show();
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget) && rig.status(QStringLiteral("Pronto")) && rig.scan(200));
        QVERIFY(rig.widget.dirty && dirty.count() == 1 && rig.area()->image->size() == QSize(200, CalvimetroProtocol::scanRealMaxIndex));
        const QImage colour = rig.shown();
        QVERIFY(coloured(colour) > colour.width() * colour.height() / 4);
        QTest::mouseClick(rig.get<QPushButton>("btBN"), Qt::LeftButton);
        const QImage grey = rig.shown();
        QVERIFY(rig.get<QPushButton>("btBN")->isChecked() && rig.widget.commThread->blackWhite && coloured(grey) == 0);
        QTest::mouseClick(rig.get<QPushButton>("btAutoAdjust"), Qt::LeftButton);
        QVERIFY(!rig.get<QPushButton>("btAutoAdjust")->isChecked() && !rig.widget.commThread->autoAdjust);
        QVERIFY(rig.shown() != grey && coloured(rig.shown()) == 0);
        rig.widget.performAutoAdjust(true);
        QVERIFY(rig.get<QPushButton>("btAutoAdjust")->isChecked() && rig.shown() == grey);
        rig.widget.doSwitchBN(false);
        QVERIFY(!rig.get<QPushButton>("btBN")->isChecked() && rig.shown() == colour);
    }

    void whileScanningOnlyMarksCount()
    {
        Rig rig;
        LogCatcher log("calvestra.scan");
        rig.sim()->setBlockRate(300);
        QVERIFY(rig.status(QStringLiteral("Pronto")));
        rig.sim()->pressButton();
        QVERIFY(QTest::qWaitFor([&] { return rig.area()->scanLines().size() >= 50; }, 20000));
        rig.widget.doSwitchBN(true);
        rig.widget.performAutoAdjust(false);
        rig.widget.loadFromFile(QStringLiteral("/nonexistent.d2d"));
        QCOMPARE(log.lines().filter(QStringLiteral("ignored while scanning")).size(), 3);
        QVERIFY(!rig.get<QPushButton>("btBN")->isChecked() && !rig.widget.commThread->blackWhite);
        QVERIFY(rig.get<QPushButton>("btAutoAdjust")->isChecked() && rig.widget.commThread->autoAdjust);
        emit rig.widget.commThread->onSetMark();
        const int markedAt = int(rig.area()->scanLines().size());
        rig.sim()->releaseButton();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.area()->image && rig.area()->analysis.linemarks == QList<int>{markedAt});
    }

    void savedScanFiles()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        Rig rig;
        rig.get<QSlider>("slDeepness")->setValue(61);  // 60: 945 samples kept, read back as 59 mm
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.scan(300));
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
        const QString jpg = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QString stem = jpg.chopped(4);
        const QDateTime stamp = QDateTime::fromString(stem.mid(folder.size() + 5), QStringLiteral("yyyyMMdd--hh-mm-ss"));
        QVERIFY2(jpg.startsWith(folder + QStringLiteral("Vita-")) && stamp >= before && stamp <= QDateTime::currentDateTime(), qPrintable(jpg));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({QFileInfo(stem + ".d2d").fileName(), QFileInfo(jpg).fileName()}));
        QVERIFY(QImageReader(jpg).format() == "jpeg" && QImageReader(jpg).size() == QSize(500, 400));
        // The same lines come back, cut to the displayed depth; the depth snaps to the slider.
        Rig viewer;
        viewer.get<QSlider>("slDeepness")->setValue(90);
        viewer.widget.loadFromFile(stem + QStringLiteral(".d2d"));
        QVERIFY(viewer.widget.commThread->lineCount == 300 && viewer.get<QSlider>("slDeepness")->value() == 60 && viewer.area()->deepness == 60);
        for (int line = 0; line < 300; line += 37) {
            const uchar *orig = rig.widget.commThread->scanData.constData() + line * CalvimetroProtocol::scanRealMaxIndex;
            QVERIFY(std::equal(orig, orig + 945, viewer.widget.commThread->scanData.constData() + line * CalvimetroProtocol::scanRealMaxIndex));
        }
        // With marks the .json comes too; the same zone again in the same second takes the next.
        rig.area()->analysis.linemarks = {12, 150};
        const QString second = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QString third = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        QVERIFY(second > jpg && third > second && QDir(folder).entryList(QDir::Files).size() == 8);
        QFile json(second.chopped(4) + QStringLiteral(".json"));
        QVERIFY(json.open(QIODevice::ReadOnly) && QJsonDocument::fromJson(json.readAll())["linemarks"].toArray() == QJsonArray({12, 150}));
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
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.scan(lines));
        rig.area()->analysis.linemarks = {1};
        // A full disk for every file this process writes.
        rlimit old{}, full{};
        getrlimit(RLIMIT_FSIZE, &old);
        full = old;
        full.rlim_cur = rlim_t(limit);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
        const QString jpg = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(jpg.isEmpty() && QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());
        QVERIFY(!rig.widget.saveUserFiles(folder, QStringLiteral("Vita")).isEmpty() && QDir(folder).entryList(QDir::Files).size() == 3);
    }

    void simulatorPanelDrivesTheProbe()
    {
        Rig rig;
        auto *panel = rig.widget.findChild<ScannerSimulatorPanel *>();
        rig.widget.show();
        QVERIFY(panel->isWindow() && QTest::qWaitForWindowExposed(panel) && rig.status(QStringLiteral("Pronto")));
        panel->edFat->setValue(17.5);
        QCOMPARE(rig.sim()->profile().fatMm, 17.5);
        QTest::mousePress(panel->btProbe, Qt::LeftButton);
        QVERIFY(rig.status(QStringLiteral("Scanning...")) && QTest::qWaitFor([&] { return rig.area()->scanLines().size() >= 20; }, 20000));
        QTest::mouseRelease(panel->btProbe, Qt::LeftButton);
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.area()->image);
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
