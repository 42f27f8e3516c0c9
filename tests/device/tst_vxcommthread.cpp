#include "TestMain.h"

#include "ScannerProbe.h"

#include "device/CalvimetroModel.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <memory>

// The acquisition thread driven through the simulated calvimetro: link states, the scan
// cycle, device failures and the rules that keep the two threads apart. The probe answers
// at once; the presence timer is ticked by hand unless a test says otherwise.

namespace {

using Status = VXCommThread::VXStatus;
constexpr int kManualTicks = 3600 * 1000;
constexpr int kSamples = VXCommThread::scanRealMaxIndex;

// A link to a simulated probe, started and connected.
struct Link
{
    SimulatedCalvimetro *device = nullptr;
    ScannerProbe probe;
    std::unique_ptr<VXCommThread> thread;

    explicit Link(const std::function<void(SimulatedCalvimetro &)> &configure = {}, bool start = true)
    {
        auto simulated = std::make_unique<SimulatedCalvimetro>(0.0);
        device = simulated.get();
        device->setTimeoutScale(0.01);
        if (configure)
            configure(*device);
        thread = std::make_unique<VXCommThread>(std::move(simulated));
        probe.watch(*thread);
        thread->setCheckInterval(kManualTicks);
        thread->setProcessingPause(20);
        if (start)
            thread->start();
    }
    ~Link() { thread.reset(); }

    Status status() const { return thread->status.load(); }

    // The scan members may be read once the scan has been handed over (as in the user
    // interface, whose operations on the scan are refused until then).
    bool waitHandedOver() { return ScannerProbe::waitFor([&] { return !thread->isScanBusy(); }); }
};

// Whether the log holds `lines` in this order (other lines may come between).
bool inOrder(const QStringList &log, const QStringList &lines)
{
    qsizetype at = 0;
    for (const QString &line : lines) {
        at = log.indexOf(line, at);
        if (at < 0) {
            qWarning() << "missing, or out of order:" << line;
            return false;
        }
        ++at;
    }
    return true;
}

QList<uchar> lineOf(const VXCommThread &thread, int line)
{
    return thread.scanData.mid(qsizetype(line) * kSamples, kSamples);
}

// The fat layer as an operator would read it: from where the bright skin gives way to
// dark fat to where the bright fascia starts, each edge found with a 5-sample mean.
double measureFatMm(const QList<uchar> &line)
{
    const auto mean = [&](int i) {
        int sum = 0;
        for (int k = 0; k < 5; ++k)
            sum += line[i + k];
        return sum / 5.0;
    };
    const int skinEnd = int(0.5 / VXCommThread::mmPerSample);
    int top = -1;
    for (int i = skinEnd; i + 5 < line.size(); ++i) {
        if (mean(i) < 100.0) {
            top = i;
            break;
        }
    }
    if (top < 0)
        return -1.0;
    for (int i = top + 5; i + 5 < line.size(); ++i) {
        if (mean(i) > 140.0)
            return (i - top) * VXCommThread::mmPerSample;
    }
    return -1.0;
}

double meanOf(const QList<uchar> &line, int from, int to)
{
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += line[i];
    return sum / (to - from);
}

}  // namespace

class VXCommThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void connectsAndReadsIdentity()
    {
        Link link([](SimulatedCalvimetro &d) {
            d.setSerial("VX1-0042");
            d.setOffsetMm(5.77);
            d.setKernelDriverAttached(true);
        });
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        QCOMPARE(link.probe.statuses(), QList<int>({1}));
        QCOMPARE(link.probe.serials(), QStringList({"VX1-0042"}));
        QCOMPARE(link.probe.offsets(), QList<double>({5.77}));
        QCOMPARE(link.thread->dpo.load(), 90);  // 5.77 / 0.0634375 = 90.96
        QVERIFY(link.device->isClaimed());
        QVERIFY(!link.device->kernelDriverAttached());
        QVERIFY(inOrder(link.probe.log(),
                        {"libusb initialized", "--VXCommThread-- scan real max index 1577", "Status changed 0 -> 1",
                         "open VX Handle", "Device Opened", "Kernel Driver Active", "Kernel Driver Detached!",
                         "Claimed Interface", "infostring : CALVIMETRO VX1 fw 2.4 (5.77)",
                         "device offset: 5.77 dpo:90", "emit change status (old -> new) 0 1"}));
        // A tick with nothing new changes nothing.
        link.thread->checkConnection();
        QCOMPARE(link.probe.logCountStartingWith("Status changed"), 1);
        QCOMPARE(link.thread->serial, QStringLiteral("VX1-0042"));  // read after the tick took the link lock
    }

    void scanCycleFromButtonToPicture()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.thread->intensity = 0x1A5;  // only the low 8 bits go out
        link.device->sweep(301);         // the first block shows the press; 300 lines follow
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected, 2));

        QCOMPARE(link.probe.statuses(), QList<int>({1, 2, 3, 1}));
        QCOMPARE(link.device->lastScanGain(), 0xA5);
        QCOMPARE(link.device->lastGain(), 0xA0);  // waiting for the button again
        QVERIFY(link.waitHandedOver());
        QCOMPARE(link.thread->lineCount, 300);
        QCOMPARE(link.thread->scanData.size(), qsizetype(300) * kSamples);
        QVERIFY(link.probe.scans().at(0).hasImage);
        QCOMPARE(link.probe.scans().at(0).size, QSize(300, kSamples));

        // Each line is bytes dpo .. dpo + 1576 of the block the probe sent, and the live
        // line every second sample of it.
        const CalvimetroModel model = link.device->modelSnapshot();
        const int dpo = link.thread->dpo.load();
        QCOMPARE(link.probe.lines().size(), 300);
        std::array<uint8_t, VXCommThread::blockSize> block;
        for (int line : {0, 1, 150, 299}) {
            model.renderScanBlock(block.data(), 0xA5, line + 1);
            const QList<uchar> expected(block.begin() + dpo, block.begin() + dpo + kSamples);
            QCOMPARE(lineOf(*link.thread, line), expected);
            const QList<uchar> &live = link.probe.lines().at(line);
            QCOMPARE(live.size(), 789);
            for (int i = 0; i < 789; ++i)
                QCOMPARE(live[i], expected[2 * i]);
        }
        QVERIFY(inOrder(link.probe.log(), {"vxsConnected", "Button Pressed", "vxsScanning",
                                           "Scan finished - button unpressed", "processing: scan data size 473100 lines 300"}));
        QVERIFY(ScannerProbe::waitFor([&] { return !link.thread->isScanBusy(); }));
    }

    void timerTickDuringProcessing()
    {
        Link link;
        link.thread->setProcessingPause(1500);
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->sweep(11);
        QVERIFY(link.probe.waitForStatus(Status::vxsProcessing));
        link.thread->checkConnection();
        QVERIFY(link.probe.hasLog("Status changed 3 -> 1"));
        QCOMPARE(link.status(), Status::vxsConnected);
        // The worker still reports the end of its pause.
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected, 3));
        QCOMPARE(link.probe.statuses(), QList<int>({1, 2, 3, 1, 1}));
        QCOMPARE(link.probe.scans().size(), 1);
    }

    void timerLeavesScanningAlone()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->setBlockRate(2000);
        link.device->pressButton();
        QVERIFY(link.probe.waitForStatus(Status::vxsScanning));
        // The enumeration no longer finds the probe (its descriptor is unreadable) while
        // its transfers still work: ticks during the scan must change nothing.
        UsbDeviceEntry broken;
        link.device->setOtherDevices({broken});
        link.thread->checkConnection();
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsScanning);
        QCOMPARE(link.probe.logCountStartingWith("Status changed"), 1);
        QCOMPARE(link.probe.logCountStartingWith("closeVXHandle"), 0);
        QVERIFY(link.device->isOpen());

        QVERIFY(ScannerProbe::waitFor([&] { return link.probe.lines().size() >= 10; }));
        link.device->releaseButton();
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(link.probe.scans().at(0).hasImage);
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QVERIFY(!link.device->isOpen());
    }

    void unplugWhileConnected()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        // A probe takes its time over each block: the worker waits inside the read (with
        // the real time-out, longer than a block).
        link.device->setTimeoutScale(1.0);
        link.device->setBlockRate(5);
        QTest::qWait(50);
        link.device->unplug();
        QVERIFY(link.probe.waitForLog("wait button- read error"));
        QVERIFY(link.probe.waitForLog("vxsConnected operation cancelled"));
        QCOMPARE(link.status(), Status::vxsConnected);  // until the timer looks
        link.device->setBlockRate(0);

        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QVERIFY(inOrder(link.probe.log(), {"Status changed 1 -> 0", "emit change status (old -> new) 1 0"}));
        QVERIFY(link.probe.logCountStartingWith("closeVXHandle 0x") >= 1);
        QVERIFY(!link.device->isOpen());
        QVERIFY(link.probe.waitForStatus(Status::vxsDisconnected));
        QCOMPARE(link.probe.statuses(), QList<int>({1, 0}));

        // Back again on the next tick after it is plugged in.
        link.device->plug();
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsConnected);
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected, 2));
        QCOMPARE(link.device->openCount(), 2);
    }

    void unplugWhileScanning()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->setBlockRate(2000);
        link.device->pressButton();
        QVERIFY(ScannerProbe::waitFor([&] { return link.probe.lines().size() >= 20; }));
        link.device->unplug();
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(inOrder(link.probe.log(), {"read scan error", "read scan - device lost", "Scan finished - button unpressed"}));
        // The lines taken before the probe went away make the picture.
        QVERIFY(link.probe.scans().at(0).hasImage);
        QVERIFY(link.probe.scans().at(0).size.width() >= 20);
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected, 2));
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QVERIFY(!link.device->isOpen());
    }

    void replugBetweenTwoTicks()
    {
        // A handle opened before an unplug stays dead: it must be opened again even though
        // the timer sees the probe present on both ticks.
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->setTimeoutScale(1.0);
        link.device->setBlockRate(5);
        QTest::qWait(50);
        link.device->unplug();
        QVERIFY(link.probe.waitForLog("wait button- read error"));
        link.device->setBlockRate(0);
        link.device->plug();
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsConnected);
        QCOMPARE(link.device->openCount(), 2);
        QVERIFY(link.device->isClaimed());
        link.device->sweep(6);
        QVERIFY(link.probe.waitForScans(1));
        QCOMPARE(link.probe.scans().at(0).size, QSize(5, kSamples));
    }

    void failedOpenRetriesEveryTick()
    {
        Link link([](SimulatedCalvimetro &d) { d.setOpenFails(true); });
        QVERIFY(link.probe.waitForStatus(Status::vxsDisconnected));
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QVERIFY(inOrder(link.probe.log(), {"Status changed 0 -> 1", "open VX Handle", "Cannot open device",
                                           "Error opening VX Handle", "emit change status (old -> new) 0 0"}));
        link.thread->checkConnection();
        QCOMPARE(link.probe.logCount("Cannot open device"), 2);
        QCOMPARE(link.probe.statusCount(Status::vxsDisconnected), 2);

        link.device->setOpenFails(false);
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsConnected);
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
    }

    void failedClaimClosesTheHandle()
    {
        Link link([](SimulatedCalvimetro &d) { d.setClaimFails(true); });
        QVERIFY(link.probe.waitForStatus(Status::vxsDisconnected));
        QVERIFY(inOrder(link.probe.log(), {"Device Opened", "Cannot Claim Interface", "Cannot Release Interface",
                                           "Error opening VX Handle"}));
        QVERIFY(!link.device->isOpen());
        QCOMPARE(link.status(), Status::vxsDisconnected);
    }

    void infoStringWithoutClosingParenthesis()
    {
        Link link([](SimulatedCalvimetro &d) { d.setInfoText("CALVIMETRO VX1 (5.77"); });
        QVERIFY(link.probe.waitForStatus(Status::vxsDisconnected));
        QVERIFY(inOrder(link.probe.log(), {"infostring : CALVIMETRO VX1 (5.77", "Error reading info string",
                                           "emit change status (old -> new) 0 0"}));
        QVERIFY(link.device->isOpen());  // the handle stays open
        QCOMPARE(link.thread->dpo.load(), 91);

        // The next tick connects without asking again; dpo keeps its value.
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsConnected);
        QCOMPARE(link.probe.logCountStartingWith("infostring : "), 1);
        QCOMPARE(link.device->openCount(), 1);
        QCOMPARE(link.thread->dpo.load(), 91);
    }

    void deviceOffset_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("dpo");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("5.77 mm") << QByteArray("VX (5.77)") << true << 90 << "device offset: 5.77 dpo:90";
        QTest::newRow("zero") << QByteArray("VX (0)") << true << 0 << "device offset: 0 dpo:0";
        QTest::newRow("not a number") << QByteArray("VX (abc)") << true << 0 << "device offset: 0 dpo:0";
        QTest::newRow("largest") << QByteArray("VX (29.9)") << true << 471 << "device offset: 29.9 dpo:471";
        QTest::newRow("past the block") << QByteArray("VX (29.95)") << false << 91
                                        << "device offset out of range: 29.95 dpo kept:91";
        QTest::newRow("far past") << QByteArray("VX (4000)") << false << 91 << "device offset out of range: 4000 dpo kept:91";
        QTest::newRow("negative") << QByteArray("VX (-1)") << false << 91 << "device offset out of range: -1 dpo kept:91";
        QTest::newRow("infinite") << QByteArray("VX (inf)") << false << 91 << "device offset out of range: inf dpo kept:91";
        QTest::newRow("nan") << QByteArray("VX (nan)") << false << 91 << "device offset out of range: nan dpo kept:91";
        QTest::newRow(") before (") << QByteArray("VX )5.77(") << false << 91 << "Error reading info string";
        QTest::newRow("no parenthesis") << QByteArray("VX 5.77") << false << 91 << "Error reading info string";
    }
    void deviceOffset()
    {
        QFETCH(QByteArray, info);
        QFETCH(bool, accepted);
        QFETCH(int, dpo);
        QFETCH(QString, logLine);
        Link link([&](SimulatedCalvimetro &d) {
            d.setInfoText(info);
            d.setOffsetMm(40.0);  // the probe puts its lines here whatever its text says
        });
        QVERIFY(link.probe.waitForStatus(accepted ? Status::vxsConnected : Status::vxsDisconnected));
        QCOMPARE(link.thread->dpo.load(), dpo);
        QVERIFY2(link.probe.hasLog(logLine), qPrintable(link.probe.log().join('\n')));
        QCOMPARE(link.probe.offsets().size(), accepted ? 1 : 0);

        // Whatever the offset, a scan reads inside the block.
        if (!accepted)
            link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsConnected);
        link.device->sweep(4);
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(link.waitHandedOver());
        QCOMPARE(link.thread->lineCount, 3);
    }

    void scanStopsAt903Lines()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->sweep(904);  // the press, 903 lines, then the button is up
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(link.probe.hasLog("Scan finished - button pressed"));
        QCOMPARE(link.probe.scans().at(0).size, QSize(903, kSamples));
        QCOMPARE(link.probe.lines().size(), 903);

        // Held on: the scan still ends at 903 and the next one starts by itself.
        link.device->sweep(910);
        QVERIFY(link.probe.waitForScans(2));
        QCOMPARE(link.probe.scans().at(1).size, QSize(903, kSamples));
        QVERIFY(link.probe.waitForScans(3));
        QCOMPARE(link.probe.scans().at(2).size.width(), 5);  // blocks 905..909
    }

    void firstBlockRequestFails()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->injectReadFault({SimulatedCalvimetro::ReadFault::Error, UsbTransport::ErrorIo, 1});
        link.device->sweep(21);
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(!link.probe.scans().at(0).hasImage);  // nothing to show
        QVERIFY(inOrder(link.probe.log(), {"Button Pressed", "vxsScanning", "read scan error",
                                           "Scan finished - button unpressed", "processing: scan data size 0 lines 0"}));
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected, 2));
        QCOMPARE(link.probe.statuses().mid(0, 4), QList<int>({1, 2, 3, 1}));
        // The button is still down: the next scan takes the rest of the sweep.
        QVERIFY(link.probe.waitForScans(2));
        QCOMPARE(link.probe.scans().at(1).size, QSize(19, kSamples));
    }

    void failedTransfersInTheMiddleAreAskedAgain()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->injectReadFault({SimulatedCalvimetro::ReadFault::Error, UsbTransport::ErrorIo, 5});
        link.device->injectReadFault({SimulatedCalvimetro::ReadFault::Short, 1000, 8});
        link.device->injectReadFault({SimulatedCalvimetro::ReadFault::Late, 20, 12});
        link.device->sweep(31);
        QVERIFY(link.probe.waitForScans(1));
        QCOMPARE(link.probe.logCount("read scan error"), 1);
        QCOMPARE(link.probe.logCount("read error 1000"), 1);
        // The failed request is asked again; the short block is lost.
        QCOMPARE(link.probe.scans().at(0).size, QSize(29, kSamples));
    }

    void writeErrors()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->injectWriteError(UsbTransport::ErrorIo);
        QVERIFY(link.probe.waitForLog("wait button - Write Error"));
        QVERIFY(link.probe.waitForLog("vxsConnected operation cancelled"));

        link.device->setBlockRate(200);
        link.device->sweep(41);
        QVERIFY(ScannerProbe::waitFor([&] { return link.probe.lines().size() >= 3; }));
        // In a scan the reply is still read: the probe never got the request, so the
        // read times out, and the scan goes on with the next request.
        link.device->injectWriteError(UsbTransport::ErrorIo);
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(link.probe.hasLog("read scan - Write Error"));
        QVERIFY(link.probe.scans().at(0).hasImage);
    }

    void trailingEmptyLinesAreTrimmed_data()
    {
        QTest::addColumn<int>("liftOff");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("keptLines");
        QTest::newRow("20 empty lines at the end") << 81 << 101 << 80;
        QTest::newRow("last line empty") << 100 << 101 << 99;
        QTest::newRow("no empty line") << -1 << 41 << 40;
        QTest::newRow("all empty keeps one") << 0 << 31 << 1;
        QTest::newRow("one empty line") << 0 << 2 << 1;
    }
    void trailingEmptyLinesAreTrimmed()
    {
        QFETCH(int, liftOff);
        QFETCH(int, blocks);
        QFETCH(int, keptLines);
        Link link([&](SimulatedCalvimetro &d) {
            CalvimetroProfile profile = d.profile();
            profile.liftOffBlock = liftOff;
            d.setProfile(profile);
        });
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->sweep(blocks);
        QVERIFY(link.probe.waitForScans(1));
        QCOMPARE(link.probe.lines().size(), blocks - 1);  // every line was shown live
        QVERIFY(link.waitHandedOver());
        QCOMPARE(link.thread->lineCount, keptLines);
        QCOMPARE(link.thread->scanData.size(), qsizetype(keptLines) * kSamples);
        QCOMPARE(link.probe.scans().at(0).size, QSize(keptLines, kSamples));
    }

    void idlePatternDecidesTheButton()
    {
        VXCommThread holder(false);
        std::array<unsigned char, VXCommThread::blockSize> block;
        block.fill(0x63);
        QVERIFY(!holder.checkButtonPressed(block.data()));
        block[10] = 0;  // past the pattern
        QVERIFY(!holder.checkButtonPressed(block.data()));
        for (int i = 0; i < 10; ++i) {
            block.fill(0x63);
            block[size_t(i)] = 0x62;
            QVERIFY2(holder.checkButtonPressed(block.data()), qPrintable(QString::number(i)));
        }
    }

    void destructionEndsAWaitingTransfer()
    {
        Link link([](SimulatedCalvimetro &d) { d.setTimeoutScale(1.0); });
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        // The reply to block 3 would come a minute late; the read waits up to 5 s for it.
        link.device->injectReadFault({SimulatedCalvimetro::ReadFault::Late, 60000, 3});
        link.device->sweep(1000);
        QVERIFY(ScannerProbe::waitFor([&] { return link.device->sweepBlock() >= 3; }));
        QTest::qWait(50);
        QElapsedTimer clock;
        clock.start();
        link.thread.reset();
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(inOrder(link.probe.log(), {"~VXCommThread", "libusb_exit"}));
    }

    void destructionDuringAScan()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->setBlockRate(2000);
        link.device->pressButton();
        QVERIFY(ScannerProbe::waitFor([&] { return link.probe.lines().size() >= 5; }));
        link.thread.reset();
        QTest::qWait(50);
        // The scan went with the object: no picture handed out, no status after scanning.
        QVERIFY(link.probe.scans().isEmpty());
        QCOMPARE(link.probe.statuses().last(), int(Status::vxsScanning));
        QVERIFY(link.probe.hasLog("Scan finished - button pressed"));
        QCOMPARE(link.probe.logCountStartingWith("processing:"), 0);
    }

    void rebuildingIsRefusedWhileScanning()
    {
        QTemporaryDir dir;
        const QString stored = dir.filePath("stored.d2d");
        {
            VXCommThread holder(false);
            holder.scanData = QList<uchar>(4 * kSamples, uchar(40));
            holder.lineCount = 4;
            QVERIFY(holder.saveToFile(stored));
        }

        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->setBlockRate(1000);
        link.device->pressButton();
        QVERIFY(link.probe.waitForStatus(Status::vxsScanning));
        QVERIFY(link.thread->isScanBusy());
        QVERIFY(!link.thread->getScanImage());
        QVERIFY(link.probe.hasLog("getScanImage refused: a scan is in progress"));
        QVERIFY(!link.thread->saveToFile(dir.filePath("during.d2d")));
        QVERIFY(link.probe.hasLog("saveToFile refused: a scan is in progress"));
        QVERIFY(!QFile::exists(dir.filePath("during.d2d")));
        QVERIFY(!link.thread->loadFromFile(stored));
        QVERIFY(link.probe.hasLog("loadFromFile refused: a scan is in progress"));
        QVERIFY(link.probe.deepnessChanges().isEmpty());

        QVERIFY(ScannerProbe::waitFor([&] { return link.probe.lines().size() >= 10; }));
        link.device->releaseButton();
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(ScannerProbe::waitFor([&] { return !link.thread->isScanBusy(); }));
        const int lines = link.probe.scans().at(0).size.width();
        QVERIFY(lines >= 10);
        QImage *image = link.thread->getScanImage();
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(lines, kSamples));
        QVERIFY(link.thread->saveToFile(dir.filePath("after.d2d")));
        QVERIFY(link.thread->loadFromFile(stored));
        QCOMPARE(link.thread->lineCount, 4);
    }

    void enumerationFailures()
    {
        UsbDeviceEntry broken;  // descriptor unreadable: the walk stops there
        Link link([&](SimulatedCalvimetro &d) { d.setOtherDevices({broken}); });
        QVERIFY(link.probe.waitForLog("failed to get device descriptor"));
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QVERIFY(!link.device->isOpen());

        link.device->setOtherDevices({});
        link.device->unplug();
        link.thread->checkConnection();
        QVERIFY(link.probe.hasLog("no devicies found"));
        link.device->plug();
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsConnected);
    }

    void failedStartUpFindsNothing()
    {
        Link link([](SimulatedCalvimetro &d) { d.setInitFails(true); });
        QVERIFY(inOrder(link.probe.log(), {"error init libusb", "Unable to init libusb"}));
        QVERIFY(link.probe.waitForLog("no devicies found"));
        link.thread->checkConnection();
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QCOMPARE(link.device->openCount(), 0);
        link.thread.reset();
        QVERIFY(!link.probe.hasLog("libusb_exit"));  // nothing was started
    }

    void presenceTimerRunsByItself()
    {
        Link link;
        link.thread->setCheckInterval(25);
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->unplug();
        QVERIFY(link.probe.waitForStatus(Status::vxsDisconnected));
        link.device->plug();
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected, 2));
    }

    void scanShowsTheSimulatedFatLayer()
    {
        Link link([](SimulatedCalvimetro &d) {
            CalvimetroProfile profile = d.profile();
            profile.fatMm = 14.0;
            profile.fatSwingMm = 4.0;
            profile.fatPeriodBlocks = 200;
            d.setProfile(profile);
        });
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        link.device->sweep(201);
        QVERIFY(link.probe.waitForScans(1));
        QVERIFY(link.waitHandedOver());
        QCOMPARE(link.thread->lineCount, 200);
        double thinnest = 100.0;
        double thickest = 0.0;
        for (int line = 0; line < 200; line += 9) {
            const double expected = link.device->expectedFatMm(line);
            const double measured = measureFatMm(lineOf(*link.thread, line));
            QVERIFY2(qAbs(measured - expected) < 0.3,
                     qPrintable(QStringLiteral("line %1: measured %2 mm, drawn %3 mm").arg(line).arg(measured).arg(expected)));
            thinnest = qMin(thinnest, measured);
            thickest = qMax(thickest, measured);
        }
        QVERIFY(thickest - thinnest > 5.0);  // the layer changes along the sweep
    }

    void intensityReachesTheProbe()
    {
        Link link;
        QVERIFY(link.probe.waitForStatus(Status::vxsConnected));
        QList<double> muscle;
        for (int intensity : {60, 160, 220}) {
            link.thread->intensity = intensity;
            link.device->sweep(11);
            QVERIFY(link.probe.waitForScans(int(muscle.size()) + 1));
            QVERIFY(link.probe.waitForStatus(Status::vxsConnected, int(muscle.size()) + 2));
            QCOMPARE(link.device->lastScanGain(), intensity);
            QVERIFY(link.waitHandedOver());
            // 20 to 30 mm: muscle under the fat in the default tissue.
            const QList<uchar> line = lineOf(*link.thread, 5);
            muscle.append(meanOf(line, int(20 / VXCommThread::mmPerSample), int(30 / VXCommThread::mmPerSample)));
        }
        QVERIFY2(muscle[0] < muscle[1] && muscle[1] < muscle[2],
                 qPrintable(QStringLiteral("%1 %2 %3").arg(muscle[0]).arg(muscle[1]).arg(muscle[2])));
    }

    void scanHolderHasNoLink()
    {
        ScannerProbe probe;
        VXCommThread holder(false);
        QVERIFY(!holder.deviceEnabled);
        QVERIFY(!holder.simulator());
        QVERIFY(holder.connectionTimer);
        QVERIFY(!holder.connectionTimer->isActive());
        QVERIFY(!probe.hasLog("libusb initialized"));
        holder.closeVXHandle();
        QCOMPARE(probe.logCountStartingWith("closeVXHandle"), 0);
        QCOMPARE(holder.status.load(), Status::vxsDisconnected);
        QCOMPARE(holder.deepness.load(), 60);
        QCOMPARE(holder.deepIndex.load(), 946);
        QCOMPARE(holder.intensity.load(), 160);
        QCOMPARE(holder.dpo.load(), 91);
        QVERIFY(holder.autoAdjust.load());
        QCOMPARE(holder.palette.size(), 256);
    }

    void environmentChoosesTheLink()
    {
        qputenv("CALVESTRA_SCANNER", "simulator");
        qputenv("CALVESTRA_SIMULATOR_RATE", "1234");
        {
            VXCommThread thread(true);
            QVERIFY(thread.simulator());
            QCOMPARE(thread.simulator()->blockRate(), 1234.0);
            QVERIFY(thread.deviceEnabled);
            QVERIFY(thread.connectionTimer->isActive());
            QCOMPARE(thread.connectionTimer->interval(), 1500);
        }
        qunsetenv("CALVESTRA_SIMULATOR_RATE");
        {
            VXCommThread thread(true);
            QCOMPARE(thread.simulator()->blockRate(), SimulatedCalvimetro::defaultBlockRate);
        }
        qunsetenv("CALVESTRA_SCANNER");
        {
            VXCommThread thread(true);
            QVERIFY(!thread.simulator());  // the real device through libusb
            QVERIFY(thread.deviceEnabled);
        }
    }
};

CALVESTRA_TEST_CORE_MAIN(VXCommThreadTest)
#include "tst_vxcommthread.moc"
