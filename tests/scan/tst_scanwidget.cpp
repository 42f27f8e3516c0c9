// The scan widget on the simulated calvimetro: status, intensity, contrast and black and
// white, what waits while scanning, and the files of a saved scan.
#include "TestMain.h"

#include "LogCatcher.h"

#include "device/SimulatedCalvimetro.h"
#include "device/UsbTransport.h"
#include "device/VXCommThread.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "scan/ScannerSimulatorPanel.h"

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
    bool led(const char *icon) const { return get<QLabel>("imgStatus")->pixmap().toImage() == QPixmap(QLatin1String(icon)).toImage(); }
    bool status(const QString &text) const { return QTest::qWaitFor([&] { return get<QLabel>("lbStatus")->text() == text; }, 20000); }
    // The probe polled for its button again: a sweep started before it is lost.
    bool polled() const { return QTest::qWaitFor([this, served = sim()->blocksServed()] { return sim()->blocksServed() > served + 2; }, 20000); }
    bool scan(int lines)
    {
        QSignalSpy done(&widget, &ScanWidget::onScanCompleted);
        if (!polled())
            return false;
        sim()->sweep(lines + 1);
        return done.wait(20000) && status(QStringLiteral("Pronto")) && QTest::qWaitFor([&] { return !widget.commThread->isScanBusy(); }, 20000);
    }
    QImage shown() const { return widget.scanArea->grab().toImage().copy(widget.scanArea->plotRect().adjusted(1, 1, -1, -1)); }
    ScanWidget widget;
};

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
        QVERIFY(rig.get<QLabel>("lbSN")->text() == QStringLiteral("VX-0042") && rig.area()->serial == QStringLiteral("VX-0042") && log.has("device offset :  5.77"));
        // At a probe's pace: an earlier scan's lines go, the intensity goes with every
        // block request, the picture controls and what they would rebuild wait.
        rig.area()->addScanData(QList<uchar>(789, 9));
        rig.get<QSlider>("slIntensity")->setValue(105);  // halves go up: 110
        rig.sim()->setBlockRate(300);
        rig.sim()->pressButton();
        QVERIFY(rig.status(QStringLiteral("Scanning...")) && rig.led(":/icons/led_scan") && started.count() == 1);
        for (const char *name : {"btBN", "btAutoAdjust", "btLoad", "btSave"})
            QVERIFY2(!rig.get<QPushButton>(name)->isEnabled(), name);
        QVERIFY(QTest::qWaitFor([&] { return rig.area()->scanLines().size() > 10; }, 20000));
        QVERIFY(rig.area()->scanLines().first() != QList<uchar>(789, 9) && rig.sim()->lastGain() == 110);
        rig.widget.doSwitchBN(true);
        rig.widget.performAutoAdjust(false);
        rig.widget.loadFromFile(QStringLiteral("/nonexistent.d2d"));
        QVERIFY(log.lines().filter(QStringLiteral("ignored while scanning")).size() == 3 && !rig.get<QPushButton>("btBN")->isChecked());
        QVERIFY(!rig.widget.commThread->blackWhite && rig.get<QPushButton>("btAutoAdjust")->isChecked() && rig.widget.commThread->autoAdjust);
        rig.sim()->releaseButton();
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.get<QPushButton>("btBN")->isEnabled() && rig.area()->image);
        // The pause between a sweep's end and its picture shows as processing.
        rig.sim()->setBlockRate(0);
        rig.widget.commThread->setProcessingPause(600);
        rig.widget.commThread->setCheckInterval(60000);
        QVERIFY(rig.polled());
        rig.sim()->sweep(20);
        QVERIFY(rig.status(QStringLiteral("Elaborazione...")) && rig.led(":/icons/led_disconnect") && rig.status(QStringLiteral("Pronto")));
    }

    void finishedScansAndTheirPicture()
    {
        Rig rig;
        rig.widget.show();
        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget) && rig.status(QStringLiteral("Pronto")) && rig.scan(200));
        QVERIFY(rig.widget.dirty && dirty.count() == 1 && rig.area()->image->size() == QSize(200, CalvimetroProtocol::scanRealMaxIndex));
        const QImage colour = rig.shown();
        QTest::mouseClick(rig.get<QPushButton>("btBN"), Qt::LeftButton);
        QTest::mouseClick(rig.get<QPushButton>("btAutoAdjust"), Qt::LeftButton);
        QVERIFY(rig.widget.commThread->blackWhite && !rig.widget.commThread->autoAdjust && rig.shown() != colour);
        QTest::mouseClick(rig.get<QPushButton>("btAutoAdjust"), Qt::LeftButton);
        QTest::mouseClick(rig.get<QPushButton>("btBN"), Qt::LeftButton);
        QVERIFY(rig.widget.commThread->autoAdjust && !rig.widget.commThread->blackWhite && rig.shown() == colour);
        // A scan whose first line never comes is no scan.
        rig.widget.dirty = false;
        SimulatedCalvimetro::ReadFault fault;
        fault.kind = SimulatedCalvimetro::ReadFault::Error;
        fault.value = UsbTransport::ErrorIo;
        fault.atSweepBlock = 1;
        rig.sim()->injectReadFault(fault);
        LogCatcher log("calvestra.scan");
        QVERIFY(rig.polled());
        rig.sim()->sweep(2);
        QVERIFY(QTest::qWaitFor([&] { return log.has(QStringLiteral("scan without lines")); }, 20000) && rig.status(QStringLiteral("Pronto")));
        QVERIFY(completed.count() == 1 && dirty.count() == 1 && !rig.widget.dirty && !rig.area()->image);
    }

    void savedScanFiles()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        Rig rig;
        rig.get<QSlider>("slDeepness")->setValue(61);  // 60: 945 samples kept, read back as 59 mm
        QVERIFY(rig.status(QStringLiteral("Pronto")) && rig.scan(30));
        // The same zone thrice in one second: three scans, at the next free seconds; each
        // with its reading, the marks only where there are marks.
        const QString first = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        rig.area()->analysis.linemarks = {12, 15};
        const QString second = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QString third = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        QVERIFY2(first.startsWith(folder + QStringLiteral("Vita-")) && second > first && third > second, qPrintable(first));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 9);
        const auto marksOf = [](const QString &jpg) {
            QFile json(jpg.chopped(4) + QStringLiteral(".json"));
            return json.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(json.readAll())[QStringLiteral("linemarks")].toArray() : QJsonArray{-1};
        };
        QVERIFY(marksOf(first).isEmpty() && marksOf(second) == QJsonArray({12, 15}));
        // Loaded again, its depth snaps to the slider; a file that is no scan leaves it.
        Rig viewer;
        viewer.get<QSlider>("slDeepness")->setValue(90);
        viewer.widget.loadFromFile(first.chopped(4) + QStringLiteral(".d2d"));
        QVERIFY(viewer.widget.commThread->lineCount == 30 && viewer.get<QSlider>("slDeepness")->value() == 60 && viewer.area()->deepness == 60);
        QImage *shown = viewer.area()->image;
        viewer.widget.loadFromFile(second.chopped(4) + QStringLiteral(".json"));
        QVERIFY(viewer.area()->image == shown && viewer.widget.commThread->lineCount == 30);
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
};

CALVESTRA_TEST_MAIN(ScanWidgetTest)
#include "tst_scanwidget.moc"
