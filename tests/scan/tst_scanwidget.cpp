#include "TestMain.h"

#include "ScanTestSupport.h"

#include "device/SimulatedCalvimetro.h"
#include "device/UsbTransport.h"
#include "device/VXCommThread.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "scan/ScannerSimulatorPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSlider>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace ScanTest;

namespace {

constexpr int kWaitMs = 20000;

// Collects the scan subsystem's debug lines.
QStringList g_scanLog;
QtMessageHandler g_previousHandler = nullptr;

void collectScanLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && QByteArray(context.category) == "calvestra.scan")
        g_scanLog.append(message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// The widget's controls, found by their object names.
struct Controls
{
    explicit Controls(QWidget &w)
        : btBN(find<QPushButton>(w, "btBN"))
        , btLoad(find<QPushButton>(w, "btLoad"))
        , btSave(find<QPushButton>(w, "btSave"))
        , btAutoAdjust(find<QPushButton>(w, "btAutoAdjust"))
        , slDeepness(find<QSlider>(w, "slDeepness"))
        , slIntensity(find<QSlider>(w, "slIntensity"))
        , label(find<QLabel>(w, "label"))
        , label_2(find<QLabel>(w, "label_2"))
        , lbDeepValue(find<QLabel>(w, "lbDeepValue"))
        , lbIntensityValue(find<QLabel>(w, "lbIntensityValue"))
        , lbSNlb(find<QLabel>(w, "lbSNlb"))
        , lbSN(find<QLabel>(w, "lbSN"))
        , imgStatus(find<QLabel>(w, "imgStatus"))
        , lbStatus(find<QLabel>(w, "lbStatus"))
        , mainLayout(w.layout())
    {
    }
    template <typename T>
    static T *find(QWidget &w, const char *name)
    {
        T *child = w.findChild<T *>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }

    QPushButton *btBN;
    QPushButton *btLoad;
    QPushButton *btSave;
    QPushButton *btAutoAdjust;
    QSlider *slDeepness;
    QSlider *slIntensity;
    QLabel *label;
    QLabel *label_2;
    QLabel *lbDeepValue;
    QLabel *lbIntensityValue;
    QLabel *lbSNlb;
    QLabel *lbSN;
    QLabel *imgStatus;
    QLabel *lbStatus;
    QLayout *mainLayout;
};

// An acquisition widget on the simulated probe, answering at once and checking for the
// probe often.
struct Rig
{
    explicit Rig(ScanWidgetMode mode = swmAcquisition)
        : widget(nullptr, mode)
        , controls(widget)
    {
        if (mode == swmAcquisition) {
            widget.commThread->setCheckInterval(40);
            widget.commThread->setProcessingPause(30);
        }
    }
    SimulatedCalvimetro *sim() const { return widget.commThread->simulator(); }
    Controls *ui() { return &controls; }

    bool waitForStatus(const QString &text)
    {
        return QTest::qWaitFor([&] { return ui()->lbStatus->text() == text; }, kWaitMs);
    }

    // A sweep of `lines` lines, waited for until the finished picture is shown.
    bool scan(int lines)
    {
        if (!waitForStatus(QStringLiteral("Pronto")))
            return false;
        QSignalSpy done(&widget, &ScanWidget::onScanCompleted);
        sim()->sweep(lines + 1);
        // The timer may report the probe ready before the picture has been handed over.
        return done.wait(kWaitMs) && waitForStatus(QStringLiteral("Pronto"))
            && QTest::qWaitFor([&] { return !widget.commThread->isScanBusy(); }, kWaitMs);
    }

    ScanWidget widget;
    Controls controls;
};

QImage iconImage(const char *name)
{
    return QPixmap(QString::fromLatin1(name)).toImage();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Limits the size of every file this process writes, like a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
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
        g_previousHandler = qInstallMessageHandler(collectScanLog);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(g_previousHandler);
    }

    void init()
    {
        g_scanLog.clear();
    }

    void toolbarInitialState()
    {
        Rig rig;
        Controls *ui = rig.ui();
        QVERIFY(ui->btBN->isCheckable());
        QVERIFY(!ui->btBN->isChecked());
        QCOMPARE(ui->btBN->text(), QStringLiteral("B/N"));
        QCOMPARE(ui->btBN->toolTip(), QStringLiteral("Bianco e nero"));
        QCOMPARE(ui->btBN->maximumWidth(), 70);
        QCOMPARE(ui->btLoad->toolTip(), QStringLiteral("Carica Scansione"));
        QCOMPARE(ui->btSave->toolTip(), QStringLiteral("Salva Scansinoe"));
        QCOMPARE(ui->btLoad->icon().pixmap(24).toImage(), QIcon(QStringLiteral(":/icons/open")).pixmap(24).toImage());
        QCOMPARE(ui->label->text(), QStringLiteral("Profondità"));
        QCOMPARE(ui->slDeepness->minimum(), 20);
        QCOMPARE(ui->slDeepness->maximum(), 100);
        QCOMPARE(ui->slDeepness->singleStep(), 10);
        QCOMPARE(ui->slDeepness->value(), 60);
        QCOMPARE(ui->lbDeepValue->text(), QStringLiteral("60"));
        QCOMPARE(ui->label_2->text(), QStringLiteral("Intensità"));
        QCOMPARE(ui->slIntensity->minimum(), 50);
        QCOMPARE(ui->slIntensity->maximum(), 220);
        QCOMPARE(ui->slIntensity->value(), 160);
        QCOMPARE(ui->lbIntensityValue->text(), QStringLiteral("160"));
        QVERIFY(ui->btAutoAdjust->isCheckable());
        QVERIFY(ui->btAutoAdjust->isChecked());
        QCOMPARE(ui->btAutoAdjust->text(), QStringLiteral("Auto"));
        QCOMPARE(ui->btAutoAdjust->minimumWidth(), 70);
        QCOMPARE(ui->lbSNlb->text(), QStringLiteral("s/n :"));
        QCOMPARE(ui->lbSN->text(), QStringLiteral("--"));
        QCOMPARE(ui->lbStatus->text(), QStringLiteral("Non Connesso"));
        QCOMPARE(ui->imgStatus->pixmap().toImage(), iconImage(":/icons/led_disconnect"));
        QVERIFY(rig.widget.styleSheet().contains(QStringLiteral("QPushButton:checked")));

        ScanArea *area = rig.widget.scanArea;
        QCOMPARE(area->minimumSize(), QSize(400, 300));
        QCOMPARE(area->maximumSize(), QSize(960, 740));
        QCOMPARE(area->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(area->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(ui->mainLayout->itemAt(0)->widget(), static_cast<QWidget *>(area));
        QVERIFY(!rig.widget.findChild<QWidget *>(QStringLiteral("fakeWidget")));
        QVERIFY(!rig.widget.dirty);
    }

    void viewerModeHasNoToolbarAndNoLink()
    {
        Rig rig(swmViewer);
        rig.widget.resize(800, 500);
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        QVERIFY(!rig.ui()->btBN->isVisible());
        QVERIFY(!rig.ui()->slDeepness->isVisible());
        QVERIFY(!rig.ui()->lbStatus->isVisible());
        QCOMPARE(rig.ui()->mainLayout->count(), 1);
        QVERIFY(rig.widget.scanArea->isVisible());
        // The area takes the room the toolbar leaves.
        QVERIFY(rig.widget.scanArea->width() > 700);
        QSignalSpy status(rig.widget.commThread.get(), &VXCommThread::statusChanged);
        QTest::qWait(300);
        QCOMPARE(status.count(), 0);
        QVERIFY(!rig.widget.commThread->isRunning());
        QVERIFY(!rig.sim());
        QVERIFY(!rig.widget.findChild<ScannerSimulatorPanel *>());
    }

    void switchingToViewerHidesToolbar()
    {
        Rig rig;
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        QVERIFY(rig.ui()->btBN->isVisible());
        rig.widget.setMode(swmViewer);
        QVERIFY(!rig.ui()->btBN->isVisible());
        QVERIFY(!rig.ui()->imgStatus->isVisible());
        QCOMPARE(rig.ui()->mainLayout->count(), 1);
        QCOMPARE(rig.widget.mode, swmViewer);
    }

    void depthRoundsToTens_data()
    {
        QTest::addColumn<int>("moved");
        QTest::addColumn<int>("shown");
        QTest::newRow("75") << 75 << 80;
        QTest::newRow("64") << 64 << 60;
        QTest::newRow("65") << 65 << 70;
        QTest::newRow("25") << 25 << 30;
        QTest::newRow("100") << 100 << 100;
    }
    void depthRoundsToTens()
    {
        QFETCH(int, moved);
        QFETCH(int, shown);
        Rig rig;
        rig.ui()->slDeepness->setValue(moved);
        QCOMPARE(rig.ui()->slDeepness->value(), shown);
        QCOMPARE(rig.ui()->lbDeepValue->text(), QString::number(shown));
        QCOMPARE(rig.widget.scanArea->deepness, shown);
        QCOMPARE(rig.widget.commThread->deepness.load(), shown);
        QCOMPARE(rig.widget.commThread->deepIndex.load(), static_cast<int>(shown / CalvimetroProtocol::mmPerSample));
    }

    void depthSliderByKeyboard()
    {
        Rig rig;
        rig.widget.show();
        rig.ui()->slDeepness->setFocus();
        QTest::keyClick(rig.ui()->slDeepness, Qt::Key_Right);
        QCOMPARE(rig.ui()->slDeepness->value(), 70);
        QCOMPARE(rig.widget.scanArea->deepness, 70);
        QTest::keyClick(rig.ui()->slDeepness, Qt::Key_End);
        QCOMPARE(rig.ui()->lbDeepValue->text(), QStringLiteral("100"));
    }

    void intensityGoesWithTheNextBlockRequest()
    {
        Rig rig;
        rig.ui()->slIntensity->setValue(155);
        QCOMPARE(rig.ui()->slIntensity->value(), 160);
        QCOMPARE(rig.ui()->lbIntensityValue->text(), QStringLiteral("160"));
        QCOMPARE(rig.widget.commThread->intensity.load(), 160);
        // While the button is up the requests carry 0xA0; while scanning, the intensity.
        // Paced like a probe, so that the scan is still running when looked at.
        rig.sim()->setBlockRate(300);
        auto gainWhileScanning = [&] {
            rig.sim()->pressButton();
            const bool scanning = rig.waitForStatus(QStringLiteral("Scanning..."))
                && QTest::qWaitFor([&] { return rig.widget.scanArea->scanLines().size() >= 3; }, kWaitMs);
            const int gain = rig.sim()->lastGain();
            rig.sim()->releaseButton();
            return scanning && rig.waitForStatus(QStringLiteral("Pronto")) ? gain : -1;
        };
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        QCOMPARE(gainWhileScanning(), 160);

        rig.ui()->slIntensity->setValue(104);
        QCOMPARE(rig.ui()->lbIntensityValue->text(), QStringLiteral("100"));
        QCOMPARE(gainWhileScanning(), 100);
        rig.ui()->slIntensity->setValue(215);
        QCOMPARE(gainWhileScanning(), 220);
    }

    void statusFollowsTheProbe()
    {
        Rig rig;
        QSignalSpy started(&rig.widget, &ScanWidget::onStartScan);
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        // Another probe: its serial number is read when it is opened.
        rig.sim()->unplug();
        QVERIFY(rig.waitForStatus(QStringLiteral("Non Connesso")));
        rig.sim()->setSerial("VX-0042");
        rig.sim()->plug();
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        QCOMPARE(rig.ui()->imgStatus->pixmap().toImage(), iconImage(":/icons/led_connect"));
        QCOMPARE(rig.ui()->lbSN->text(), QStringLiteral("VX-0042"));
        QCOMPARE(rig.widget.scanArea->serial, QStringLiteral("VX-0042"));
        QVERIFY(g_scanLog.contains(QStringLiteral("calvimetro pronto")));
        QVERIFY(g_scanLog.filter(QRegularExpression(QStringLiteral("^device offset :  5\\.77$"))).size() >= 1);

        // Some lines of an earlier scan, which the next one clears.
        rig.widget.scanArea->addScanData(uniformLine(9));
        rig.sim()->pressButton();
        QVERIFY(rig.waitForStatus(QStringLiteral("Scanning...")));
        QCOMPARE(rig.ui()->imgStatus->pixmap().toImage(), iconImage(":/icons/led_scan"));
        QCOMPARE(started.count(), 1);
        QVERIFY(g_scanLog.contains(QStringLiteral("calvimetro in scansione...")));
        QVERIFY(!rig.ui()->btBN->isEnabled());
        QVERIFY(!rig.ui()->btAutoAdjust->isEnabled());
        QVERIFY(!rig.ui()->btLoad->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return rig.widget.scanArea->scanLines().size() > 10; }, kWaitMs));
        QVERIFY(rig.widget.scanArea->scanLines().first() != uniformLine(9));
        QCOMPARE(rig.widget.scanArea->scanLines().first().size(), CalvimetroProtocol::liveLineSamples);

        rig.sim()->releaseButton();
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        QVERIFY(g_scanLog.contains(QStringLiteral("elaborazione...")));
        QVERIFY(rig.ui()->btBN->isEnabled());

        rig.sim()->unplug();
        QVERIFY(rig.waitForStatus(QStringLiteral("Non Connesso")));
        QCOMPARE(rig.ui()->imgStatus->pixmap().toImage(), iconImage(":/icons/led_disconnect"));
        QVERIFY(g_scanLog.contains(QStringLiteral("calvimetro disconnesso")));
    }

    void processingIsShown()
    {
        Rig rig;
        rig.widget.commThread->setProcessingPause(600);
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        // No presence check during the pause: it would report the probe ready at once.
        rig.widget.commThread->setCheckInterval(60000);
        rig.sim()->sweep(20);
        QVERIFY(rig.waitForStatus(QStringLiteral("Elaborazione...")));
        QCOMPARE(rig.ui()->imgStatus->pixmap().toImage(), iconImage(":/icons/led_disconnect"));
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
    }

    void finishedScanIsShownAndDirty()
    {
        Rig rig;
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QVERIFY(rig.scan(300));
        QCOMPARE(dirty.count(), 1);
        QCOMPARE(completed.count(), 1);
        QVERIFY(rig.widget.dirty);
        QCOMPARE(rig.widget.scanArea->scanLines().size(), 300);
        QVERIFY(rig.widget.scanArea->image);
        QCOMPARE(rig.widget.scanArea->image->width(), 300);
        QCOMPARE(rig.widget.scanArea->image->height(), CalvimetroProtocol::scanRealMaxIndex);
        QCOMPARE(rig.widget.scanArea->image, rig.widget.commThread->scanImage.get());
    }

    void scanWithoutLinesIsNotKept()
    {
        Rig rig;
        QVERIFY(rig.scan(40));
        rig.widget.dirty = false;
        QImage *previous = rig.widget.scanArea->image;
        QVERIFY(previous);
        // The first line of the next scan never arrives: the scan ends with no lines.
        SimulatedCalvimetro::ReadFault fault;
        fault.kind = SimulatedCalvimetro::ReadFault::Error;
        fault.value = UsbTransport::ErrorIo;
        fault.atSweepBlock = 1;
        rig.sim()->injectReadFault(fault);
        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QSignalSpy dirty(&rig.widget, &ScanWidget::onDirty);
        // The widget's state right after it has handled the empty scan (its slot is
        // connected first, so it has run when this one runs).
        bool seen = false;
        int completedThen = -1;
        int dirtyThen = -1;
        bool dirtyFlagThen = true;
        bool imageThen = true;
        QObject context;
        connect(rig.widget.commThread.get(), &VXCommThread::onScanDone, &context, [&](QImage *image) {
            if (image || seen)
                return;
            seen = true;
            completedThen = completed.count();
            dirtyThen = dirty.count();
            dirtyFlagThen = rig.widget.dirty;
            imageThen = rig.widget.scanArea->image != nullptr;
        });
        rig.sim()->sweep(2);
        QVERIFY(QTest::qWaitFor([&] { return seen; }, kWaitMs));
        QVERIFY(g_scanLog.contains(QStringLiteral("scan without lines")));
        QCOMPARE(completedThen, 0);
        QCOMPARE(dirtyThen, 0);
        QVERIFY(!dirtyFlagThen);
        QVERIFY(!imageThen);
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
    }

    void fullSimulatedScanMeasuresTheFat_data()
    {
        QTest::addColumn<double>("fatMm");
        QTest::addColumn<int>("depth");
        QTest::newRow("12 mm at 60") << 12.0 << 60;
        QTest::newRow("7.5 mm at 30") << 7.5 << 30;
        QTest::newRow("25 mm at 60") << 25.0 << 60;
        QTest::newRow("18 mm at 100") << 18.0 << 100;
    }
    void fullSimulatedScanMeasuresTheFat()
    {
        QFETCH(double, fatMm);
        QFETCH(int, depth);
        Rig rig;
        rig.widget.resize(900, 520);
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        rig.ui()->slDeepness->setValue(depth);
        CalvimetroProfile profile = rig.sim()->profile();
        profile.fatMm = fatMm;
        rig.sim()->setProfile(profile);
        QVERIFY(rig.scan(CalvimetroProtocol::maxScanLines));

        ScanArea *area = rig.widget.scanArea;
        const QImage shot = grabImage(*area);
        if (qEnvironmentVariableIsSet("SCAN_DUMP"))
            shot.save(QStringLiteral("/tmp/fat_%1_%2.png").arg(fatMm).arg(depth));
        // Half way along the sweep, find the fat as an operator would, in the picture on
        // screen: the dark layer between the bright skin and the thick bright fascia (the
        // thin septa inside the fat are not white).
        const int x = area->plotRect().center().x();
        auto white = [&](int y) {
            int red = 0;
            for (int dx = -3; dx <= 3; ++dx)
                red += qRed(shot.pixel(x + dx, y));
            return red / 7 > 180;
        };
        const int top = area->plotRect().top() + 1;
        const int bottom = area->plotRect().bottom();
        int y = top;
        while (y < bottom && white(y))
            ++y;  // through the skin
        const int fatTop = y;
        while (y + 2 < bottom && !(white(y) && white(y + 1) && white(y + 2)))
            ++y;  // through the fat, down to the fascia
        const int fatBottom = y - 1;
        QVERIFY2(fatTop > top && fatBottom > fatTop + 5 && y + 2 < bottom,
                 qPrintable(QStringLiteral("%1..%2").arg(fatTop).arg(fatBottom)));

        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(x - 20, fatTop));
        QTest::mouseMove(area, QPoint(x + 20, fatBottom));
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(x + 20, fatBottom));

        const int line = (x - area->plotRect().left()) * CalvimetroProtocol::maxScanLines / area->plotWidth();
        const double expected = rig.sim()->expectedFatMm(line);
        QVERIFY2(qAbs(area->thickness() - expected) <= 1.0,
                 qPrintable(QStringLiteral("measured %1 mm, simulated %2 mm").arg(area->thickness()).arg(expected)));
        const QImage measured = grabImage(*area);
        QVERIFY(captionShows(*area, measured, QStringLiteral("Spessore : %1 mm").arg(area->thickness(), 0, 'f', 1)));
    }

    void blackWhiteAndAutoContrastRebuildThePicture()
    {
        Rig rig;
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        QVERIFY(rig.scan(200));
        ScanArea *area = rig.widget.scanArea;
        const QImage colour = grabImage(*area);
        const QRect plot = area->plotRect().adjusted(1, 1, -1, -1);
        auto notGrey = [](QRgb c) { return qRed(c) != qBlue(c) || qGreen(c) != qBlue(c); };
        QVERIFY(countPixels(colour, plot, notGrey) > plot.width() * plot.height() / 4);

        QTest::mouseClick(rig.ui()->btBN, Qt::LeftButton);
        QVERIFY(rig.ui()->btBN->isChecked());
        QVERIFY(area->blackWhite);
        QVERIFY(rig.widget.commThread->blackWhite.load());
        const QImage grey = grabImage(*area);
        QCOMPARE(countPixels(grey, plot, notGrey), 0);

        const QSize before = area->image->size();
        QTest::mouseClick(rig.ui()->btAutoAdjust, Qt::LeftButton);
        QVERIFY(!rig.ui()->btAutoAdjust->isChecked());
        QVERIFY(!rig.widget.commThread->autoAdjust.load());
        QCOMPARE(area->image->size(), before);
        const QImage plain = grabImage(*area);
        QVERIFY(plain.copy(plot) != grey.copy(plot));
        QCOMPARE(countPixels(plain, plot, notGrey), 0);

        rig.widget.performAutoAdjust(true);
        QVERIFY(rig.ui()->btAutoAdjust->isChecked());
        QCOMPARE(grabImage(*area).copy(plot), grey.copy(plot));
        rig.widget.doSwitchBN(false);
        QVERIFY(!rig.ui()->btBN->isChecked());
        QCOMPARE(grabImage(*area).copy(plot), colour.copy(plot));
    }

    void rebuildsAreIgnoredWhileScanning()
    {
        Rig rig;
        rig.sim()->setBlockRate(300);
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        rig.sim()->pressButton();
        QVERIFY(rig.waitForStatus(QStringLiteral("Scanning...")));
        QVERIFY(rig.widget.commThread->isScanBusy());
        rig.widget.doSwitchBN(true);
        rig.widget.performAutoAdjust(false);
        QVERIFY(!rig.ui()->btBN->isChecked());
        QVERIFY(!rig.widget.commThread->blackWhite.load());
        QVERIFY(rig.ui()->btAutoAdjust->isChecked());
        QVERIFY(rig.widget.commThread->autoAdjust.load());
        QVERIFY(!rig.widget.scanArea->image);
        rig.widget.loadFromFile(QStringLiteral("/nonexistent.d2d"));
        QVERIFY(g_scanLog.filter(QStringLiteral("ignored while scanning")).size() == 3);
        rig.sim()->releaseButton();
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        QVERIFY(rig.widget.scanArea->image);
    }

    void marksDuringScan()
    {
        Rig rig;
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        rig.sim()->pressButton();
        QVERIFY(QTest::qWaitFor([&] { return rig.widget.scanArea->scanLines().size() >= 50; }, kWaitMs));
        emit rig.widget.commThread->onSetMark();
        const int markedAt = rig.widget.scanArea->scanLines().size();
        rig.sim()->releaseButton();
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));
        QCOMPARE(rig.widget.scanArea->analysis.linemarks, QList<int>({markedAt}));
    }

    void saveUserFilesWritesTheScanGroup()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        Rig rig;
        QVERIFY(rig.scan(300));

        // Without marks: .d2d and .jpg only.
        const QDateTime before = QDateTime::currentDateTime();
        const QString jpg = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QDateTime after = QDateTime::currentDateTime();
        const QRegularExpression name(QStringLiteral("^Vita-(\\d{8}--\\d{2}-\\d{2}-\\d{2})\\.jpg$"));
        const QRegularExpressionMatch m = name.match(QFileInfo(jpg).fileName());
        QVERIFY2(m.hasMatch(), qPrintable(jpg));
        QCOMPARE(QFileInfo(jpg).path() + QStringLiteral("/"), folder);
        const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd--hh-mm-ss"));
        QVERIFY(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after);
        const QString base = folder + QStringLiteral("Vita-") + m.captured(1);
        QVERIFY(g_scanLog.contains(QStringLiteral("saveUserFiles::base_filename Vita-") + m.captured(1)));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 QStringList({QFileInfo(base + ".d2d").fileName(), QFileInfo(base + ".jpg").fileName()}));

        QImageReader reader(jpg);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(500, 400));

        // The .d2d gives back the same lines, cut to the displayed depth.
        VXCommThread holder(false);
        QVERIFY(holder.loadFromFile(base + ".d2d"));
        QCOMPARE(holder.lineCount, 300);
        const int kept = rig.widget.commThread->deepIndex.load();
        QCOMPARE(holder.deepIndex.load(), kept);
        for (int line = 0; line < 300; line += 37) {
            const auto *orig = rig.widget.commThread->scanData.constData() + line * CalvimetroProtocol::scanRealMaxIndex;
            const auto *back = holder.scanData.constData() + line * CalvimetroProtocol::scanRealMaxIndex;
            QVERIFY(std::equal(orig, orig + kept, back));
        }

        // With marks the .json comes too.
        rig.widget.scanArea->analysis.linemarks = {12, 150};
        const QString jpg2 = rig.widget.saveUserFiles(folder, QStringLiteral("Coscia dx"));
        QVERIFY(jpg2.startsWith(folder + QStringLiteral("Coscia dx-")));
        const QString json = jpg2.left(jpg2.size() - 4) + QStringLiteral(".json");
        QVERIFY(QFile::exists(json));
        QVERIFY(QFile::exists(jpg2.left(jpg2.size() - 4) + QStringLiteral(".d2d")));
        QCOMPARE(QJsonDocument::fromJson(readFile(json)).object().value(QStringLiteral("linemarks")).toArray(),
                 QJsonArray({12, 150}));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 5);
    }

    // Two scans of one zone saved within the same second are two groups of files.
    void sameZoneTwiceKeepsBothScans()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        Rig rig;
        QVERIFY(rig.scan(120));
        const QString first = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        rig.widget.scanArea->analysis.linemarks = {30};
        const QString second = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        const QString third = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        QVERIFY(!first.isEmpty() && !second.isEmpty() && !third.isEmpty());
        QCOMPARE(QSet<QString>({first, second, third}).size(), 3);
        QCOMPARE(QDir(folder).entryList({QStringLiteral("Vita-*.jpg")}, QDir::Files).size(), 3);
        QCOMPARE(QDir(folder).entryList({QStringLiteral("Vita-*.d2d")}, QDir::Files).size(), 3);
        QCOMPARE(QDir(folder).entryList({QStringLiteral("Vita-*.json")}, QDir::Files).size(), 2);
        // The first group is still the scan without marks.
        QVERIFY(!QFile::exists(first.left(first.size() - 4) + QStringLiteral(".json")));
        const auto stamp = [](const QString &jpg) {
            return QDateTime::fromString(QFileInfo(jpg).completeBaseName().mid(5), QStringLiteral("yyyyMMdd--hh-mm-ss"));
        };
        QVERIFY(stamp(first) < stamp(second) && stamp(second) < stamp(third));
    }

    void failedWriteLeavesNoFile_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("limit");
        // The raw data does not fit.
        QTest::newRow("d2d") << 300 << 60000;
        // The raw data fits, the picture does not: the raw data goes too.
        QTest::newRow("jpg") << 4 << 8000;
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
        rig.widget.scanArea->analysis.linemarks = {1};
        QString jpg;
        {
            const FileSizeLimit full(static_cast<rlim_t>(limit));
            jpg = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        }
        QVERIFY(jpg.isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        // Room again: the same scan saves.
        QVERIFY(!rig.widget.saveUserFiles(folder, QStringLiteral("Vita")).isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
    }

    void saveIntoMissingFolderFails()
    {
        Rig rig;
        QVERIFY(rig.scan(3));
        QVERIFY(rig.widget.saveUserFiles(QStringLiteral("/nonexistent-calvestra/"), QStringLiteral("Vita")).isEmpty());
    }

    void loadShowsMarksOnlyFromItsJson()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/");
        QString withMarks;
        QString withoutMarks;
        {
            Rig rig;
            QVERIFY(rig.scan(250));
            withoutMarks = rig.widget.saveUserFiles(folder, QStringLiteral("Addome"));
            rig.widget.scanArea->analysis.linemarks = {40, 200};
            withMarks = rig.widget.saveUserFiles(folder, QStringLiteral("Vita"));
        }
        QVERIFY(!withMarks.isEmpty() && !withoutMarks.isEmpty());

        Rig viewer(swmViewer);
        viewer.widget.resize(700, 480);
        viewer.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer.widget));
        ScanArea *area = viewer.widget.scanArea;
        area->analysis.linemarks = {7};
        viewer.widget.loadFromFile(changeExt(withMarks));
        QCOMPARE(area->analysis.linemarks, QList<int>({40, 200}));
        QVERIFY(area->image);
        QCOMPARE(area->image->width(), 250);
        const QImage shot = grabImage(*area);
        auto orange = [](QRgb c) { return qRed(c) > 120 && qGreen(c) > 40 && qGreen(c) + 30 < qRed(c) && qBlue(c) < 120; };
        const int x = static_cast<int>(50 + 200 * area->plotWidth() / 250.0);
        QVERIFY(countPixels(shot, QRect(x - 1, 30, 3, area->plotHeight() - 10), orange) > area->plotHeight() / 3);

        viewer.widget.loadFromFile(changeExt(withoutMarks));
        QVERIFY(area->analysis.linemarks.isEmpty());
        QCOMPARE(countPixels(grabImage(*area), area->plotRect(), orange), 0);
    }

    void loadedDepthSnapsToTheSlider()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("scan.d2d"));
        {
            Rig rig;
            // Moved to 60: 945 samples per line, which reads back as 59 mm.
            rig.ui()->slDeepness->setValue(61);
            QCOMPARE(rig.widget.commThread->deepIndex.load(), 945);
            QVERIFY(rig.scan(30));
            QVERIFY(rig.widget.commThread->saveToFile(path));
        }
        Rig rig;
        rig.ui()->slDeepness->setValue(90);
        rig.widget.loadFromFile(path);
        QCOMPARE(rig.ui()->slDeepness->value(), 60);
        QCOMPARE(rig.ui()->lbDeepValue->text(), QStringLiteral("60"));
        QCOMPARE(rig.widget.scanArea->deepness, 60);
        QCOMPARE(rig.widget.scanArea->image->width(), 30);
    }

    void badFileLeavesTheScan()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.d2d"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a scan");
        f.close();
        Rig rig;
        QVERIFY(rig.scan(20));
        QImage *shown = rig.widget.scanArea->image;
        rig.widget.scanArea->analysis.linemarks = {3};
        rig.widget.loadFromFile(path);
        QCOMPARE(rig.widget.scanArea->image, shown);
        QCOMPARE(rig.widget.scanArea->analysis.linemarks, QList<int>({3}));
        QCOMPARE(rig.widget.commThread->lineCount, 20);
    }

    void clearAndLoading()
    {
        Rig rig(swmViewer);
        rig.widget.resize(700, 480);
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        ScanArea *area = rig.widget.scanArea;
        for (int i = 0; i < 100; ++i)
            area->addScanData(uniformLine(200));
        area->analysis.linemarks = {3};
        rig.widget.beginLoading();
        QVERIFY(area->loading);
        rig.widget.endLoading();
        QVERIFY(!area->loading);
        rig.widget.clear();
        QVERIFY(area->scanLines().isEmpty());
        QVERIFY(area->analysis.linemarks.isEmpty());
        QVERIFY(!area->image);
    }

    void simulatorPanelDrivesTheProbe()
    {
        Rig rig;
        ScannerSimulatorPanel *panel = rig.widget.findChild<ScannerSimulatorPanel *>();
        QVERIFY(panel);
        QVERIFY(panel->isWindow());
        QVERIFY(panel->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!panel->isVisible());
        rig.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.widget));
        QVERIFY(panel->isVisible());
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));

        panel->edFat->setValue(17.5);
        QCOMPARE(rig.sim()->profile().fatMm, 17.5);

        QSignalSpy completed(&rig.widget, &ScanWidget::onScanCompleted);
        QTest::mousePress(panel->btProbe, Qt::LeftButton);
        QVERIFY(rig.sim()->isButtonPressed());
        QVERIFY(rig.waitForStatus(QStringLiteral("Scanning...")));
        QVERIFY(QTest::qWaitFor([&] { return rig.widget.scanArea->scanLines().size() >= 20; }, kWaitMs));
        QTest::mouseRelease(panel->btProbe, Qt::LeftButton);
        QVERIFY(!rig.sim()->isButtonPressed());
        QVERIFY(completed.wait(kWaitMs) || completed.count() == 1);
        QCOMPARE(rig.sim()->expectedFatMm(0) > 14.0, true);

        QTest::mouseClick(panel->chkPlugged, Qt::LeftButton);
        QVERIFY(!rig.sim()->isPlugged());
        QVERIFY(!panel->btProbe->isEnabled());
        QVERIFY(rig.waitForStatus(QStringLiteral("Non Connesso")));
        QTest::mouseClick(panel->chkPlugged, Qt::LeftButton);
        QVERIFY(rig.sim()->isPlugged());
        QVERIFY(rig.waitForStatus(QStringLiteral("Pronto")));

        rig.widget.hide();
        QVERIFY(!panel->isVisible());
    }

private:
    static QString changeExt(const QString &jpg)
    {
        return jpg.left(jpg.size() - 4) + QStringLiteral(".d2d");
    }
};

CALVESTRA_TEST_MAIN(ScanWidgetTest)
#include "tst_scanwidget.moc"
