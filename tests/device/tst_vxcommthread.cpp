#include "TestMain.h"

#include "ScannerProbe.h"

#include "device/CalvimetroModel.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <array>
#include <memory>

// The acquisition thread over the simulated calvimetro: link states, the scan cycle, faults,
// the rules that keep the worker and the user interface apart. The probe answers at once;
// the presence timer is ticked by hand unless a test says otherwise.

namespace {

using Status = VXCommThread::VXStatus;
using Fault = SimulatedCalvimetro::ReadFault;
constexpr int kSamples = VXCommThread::scanRealMaxIndex;

// A link to a simulated probe, started; the worker's first look connects it.
struct Link
{
    SimulatedCalvimetro *device = nullptr;
    ScannerProbe probe;
    std::unique_ptr<VXCommThread> thread;

    explicit Link(const std::function<void(SimulatedCalvimetro &)> &configure = {})
    {
        auto simulated = std::make_unique<SimulatedCalvimetro>(0.0);
        device = simulated.get();
        device->setTimeoutScale(0.01);
        if (configure)
            configure(*device);
        thread = std::make_unique<VXCommThread>(std::move(simulated));
        probe.watch(*thread);
        thread->setCheckInterval(3600 * 1000);
        thread->setProcessingPause(20);
        thread->start();
    }
    Status status() const { return thread->status.load(); }
    bool connected(int times = 1) { return probe.waitForStatus(Status::vxsConnected, times); }
    bool linesShown(int n) { return ScannerProbe::waitFor([&] { return probe.lines().size() >= n; }); }
    // The scan may be read once handed over, as the user interface's operations wait for.
    bool handedOver() { return ScannerProbe::waitFor([&] { return !thread->isScanBusy(); }); }
    // A timer tick, and the worker done with it.
    bool look()
    {
        thread->checkConnection();
        return ScannerProbe::waitFor([&] { return !thread->isPresenceCheckPending(); });
    }
};

enum SetUpFault { NoFault, OpenFails, ClaimFails, UnreadableDevice, InitFails };

void setFault(SimulatedCalvimetro &d, int fault, bool on)
{
    switch (fault) {
    case OpenFails: return d.setOpenFails(on);
    case ClaimFails: return d.setClaimFails(on);
    case UnreadableDevice: return d.setOtherDevices(on ? QVector<UsbDeviceEntry>(1) : QVector<UsbDeviceEntry>());
    case InitFails: return d.setInitFails(on);
    }
}

}  // namespace

Q_DECLARE_METATYPE(Fault)

class VXCommThreadTest : public QObject
{
    Q_OBJECT

private slots:
    // The first look at the probe (kernel driver, claim, offset); set-up failures are retried.
    void linkSetUp_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("dpo");  // -1: not connected at first
        QTest::addColumn<QString>("logLine");
        QTest::newRow("default") << QByteArray() << 0 << 90 << "device offset: 5.77 dpo:90";  // 5.77 / 0.0634375
        QTest::newRow("zero") << QByteArray("VX (0)") << 0 << 0 << "device offset: 0 dpo:0";
        QTest::newRow("largest") << QByteArray("VX (29.9)") << 0 << 471 << "device offset: 29.9 dpo:471";
        QTest::newRow("past the block") << QByteArray("VX (29.95)") << 0 << -1 << "device offset out of range: 29.95 dpo kept:91";
        QTest::newRow("nan") << QByteArray("VX (nan)") << 0 << -1 << "device offset out of range: nan dpo kept:91";
        QTest::newRow("no ')'") << QByteArray("VX (5.77") << 0 << -1 << "Error reading info string";
        QTest::newRow("open fails") << QByteArray() << int(OpenFails) << -1 << "Error opening VX Handle";
        QTest::newRow("claim fails") << QByteArray() << int(ClaimFails) << -1 << "Cannot Claim Interface";
        QTest::newRow("unreadable device") << QByteArray() << int(UnreadableDevice) << -1 << "failed to get device descriptor";
        QTest::newRow("no USB library") << QByteArray() << int(InitFails) << -1 << "Unable to init libusb";
    }
    void linkSetUp()
    {
        QFETCH(QByteArray, info);
        QFETCH(int, fault);
        QFETCH(int, dpo);
        QFETCH(QString, logLine);
        Link link([&](SimulatedCalvimetro &d) {
            d.setKernelDriverAttached(true);
            if (!info.isEmpty()) {
                d.setInfoText(info);
                d.setOffsetMm(40.0);  // the probe puts its lines here whatever its text says
            }
            setFault(d, fault, true);
        });
        QVERIFY2(link.probe.waitForLog(logLine), qPrintable(link.probe.log().join('\n')));
        QVERIFY(dpo < 0 || link.connected());
        QVERIFY(link.look());  // taken after the worker's first look
        QCOMPARE(link.thread->dpo.load(), dpo < 0 ? 91 : dpo);
        QCOMPARE(link.probe.offsets().size(), dpo < 0 ? 0 : 1);
        if (dpo >= 0)  // a tick with nothing new changes nothing
            QCOMPARE(link.probe.logCountStartingWith("Status changed"), 1);
        if (fault != NoFault) {
            // Still failing: still down, and no handle left open.
            QCOMPARE(link.status(), Status::vxsDisconnected);
            QVERIFY(!link.device->isOpen());
            setFault(*link.device, fault, false);
            QVERIFY(link.look());
            if (fault == InitFails) {  // a library that never started finds nothing
                QCOMPARE(link.status(), Status::vxsDisconnected);
                return;
            }
        }
        // A rejected info string leaves the handle open: the next tick connects without asking
        // again. Whatever the offset, a scan reads inside the block.
        QCOMPARE(link.status(), Status::vxsConnected);
        QVERIFY(link.device->isClaimed() && !link.device->kernelDriverAttached());
        QCOMPARE(link.probe.logCountStartingWith("infostring : "), 1);
        link.device->sweep(4);
        QVERIFY(link.probe.waitForScans(1) && link.handedOver());
        QCOMPARE(link.thread->lineCount, 3);
    }

    void scanCycleFromButtonToPicture()
    {
        Link link;
        link.thread->setProcessingPause(4000);  // long enough for the tick below, even under load
        QVERIFY(link.connected());
        link.thread->intensity = 0x1A5;  // only the low 8 bits go out
        link.device->sweep(301);         // the first block shows the press; 300 lines follow
        QVERIFY(link.probe.waitForStatus(Status::vxsProcessing));
        // A tick in the pause after the scan connects the link; the worker still reports its end.
        QVERIFY(link.look());
        QVERIFY(link.probe.hasLog("Status changed 3 -> 1"));
        QVERIFY(link.connected(3));
        QCOMPARE(link.probe.statuses(), QList<int>({1, 2, 3, 1, 1}));
        QCOMPARE(link.device->lastScanGain(), 0xA5);
        QCOMPARE(link.device->lastGain(), 0xA0);  // waiting for the button again
        QVERIFY(link.handedOver());
        QCOMPARE(link.probe.scans().size(), 1);
        QCOMPARE(link.probe.scans().at(0).size, QSize(300, kSamples));
        QCOMPARE(link.probe.lines().size(), 300);  // shown live
        // A line is bytes dpo .. dpo + 1576 of the block sent, the live line every second sample.
        const CalvimetroModel model = link.device->modelSnapshot();
        std::array<uint8_t, VXCommThread::blockSize> block;
        for (int line : {0, 1, 150, 299}) {
            model.renderScanBlock(block.data(), 0xA5, line + 1);
            const QList<uchar> expected(block.begin() + 90, block.begin() + 90 + kSamples);
            QCOMPARE(link.thread->scanData.mid(qsizetype(line) * kSamples, kSamples), expected);
            QCOMPARE(link.probe.lines().at(line).size(), 789);
            for (int i = 0; i < 789; ++i)
                QCOMPARE(link.probe.lines().at(line)[i], expected[2 * i]);
        }
    }

    // While the button is held the scan is refused to the user interface and ticks leave the
    // link alone; a probe that goes away ends the scan with the lines taken.
    void duringAScan()
    {
        QTemporaryDir dir;
        const QString stored = dir.filePath("stored.d2d");
        Link link;
        QVERIFY(link.connected());
        link.device->setBlockRate(1000);
        link.device->pressButton();
        QVERIFY(link.probe.waitForStatus(Status::vxsScanning));
        QVERIFY(link.thread->isScanBusy());
        QVERIFY(!link.thread->getScanImage());
        QVERIFY(!link.thread->saveToFile(dir.filePath("during.d2d")) && !QFile::exists(dir.filePath("during.d2d")));
        QVERIFY(!link.thread->loadFromFile(stored) && link.probe.deepnessChanges().isEmpty());
        for (const char *op : {"getScanImage", "saveToFile", "loadFromFile"})
            QVERIFY(link.probe.hasLog(QString::fromLatin1(op) + " refused: a scan is in progress"));
        // The enumeration no longer finds the probe while its transfers still work.
        setFault(*link.device, UnreadableDevice, true);
        QVERIFY(link.look());
        QCOMPARE(link.status(), Status::vxsScanning);
        QVERIFY(link.device->isOpen());

        QVERIFY(link.linesShown(20));
        link.device->unplug();
        QVERIFY(link.probe.waitForScans(1) && link.probe.hasLog("read scan - device lost"));
        QVERIFY(link.probe.scans().at(0).size.width() >= 20);  // the lines taken make the picture
        QVERIFY(link.handedOver());
        QImage *image = link.thread->getScanImage();
        QVERIFY(image && image->size() == link.probe.scans().at(0).size);
        QVERIFY(link.thread->saveToFile(stored) && link.thread->loadFromFile(stored));
        QCOMPARE(link.thread->lineCount, image->width());
        QVERIFY(link.connected(2));
        QVERIFY(link.look());
        QCOMPARE(link.status(), Status::vxsDisconnected);
        QVERIFY(!link.device->isOpen());
    }

    void unplugAndReplug()
    {
        Link link;
        QVERIFY(link.connected());
        // Unplugged and back between two ticks: the dead handle is opened again on the next one.
        link.device->unplug();
        link.device->plug();
        QVERIFY(ScannerProbe::waitFor([&] {  // a transfer found the handle dead
            return link.probe.hasLog("wait button - Write Error") || link.probe.hasLog("wait button- read error");
        }));
        QVERIFY(link.probe.waitForLog("vxsConnected operation cancelled"));
        QCOMPARE(link.status(), Status::vxsConnected);  // until the timer looks
        QVERIFY(link.look());
        QCOMPARE(link.device->openCount(), 2);
        link.device->sweep(6);
        QVERIFY(link.probe.waitForScans(1));
        QCOMPARE(link.probe.scans().at(0).size, QSize(5, kSamples));
        QVERIFY(link.connected(3));  // the scan is over: a tick now does not meet its pause
        // The presence timer sees the probe go and come back by itself.
        link.thread->setCheckInterval(25);
        link.device->unplug();
        QVERIFY(link.probe.waitForStatus(Status::vxsDisconnected));
        QVERIFY(!link.device->isOpen());
        link.device->plug();
        QVERIFY(link.connected(4));
    }

    // Scans shorter, split or empty: the 903-line limit, failed transfers, the probe lifted off.
    void scanShapes_data()
    {
        QTest::addColumn<int>("liftOff");
        QTest::addColumn<QList<Fault>>("faults");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QList<int>>("widths");  // 0: no picture
        QTest::addColumn<int>("liveLines");
        QTest::newRow("903 at most, the button held on starts no scan") << -1 << QList<Fault>() << 910 << QList<int>{903} << 903;
        QTest::newRow("first block fails") << -1 << QList<Fault>{{Fault::Error, UsbTransport::ErrorIo, 1}} << 21
                                           << QList<int>{0, 19} << 19;
        // A failed request is asked again, a short block is lost, a late one waited for.
        QTest::newRow("failures in the middle")
            << -1 << QList<Fault>{{Fault::Error, UsbTransport::ErrorIo, 5}, {Fault::Short, 1000, 8}, {Fault::Late, 20, 12}}
            << 31 << QList<int>{29} << 29;
        QTest::newRow("20 empty lines at the end") << 81 << QList<Fault>() << 101 << QList<int>{80} << 100;
        QTest::newRow("all empty keeps one") << 0 << QList<Fault>() << 31 << QList<int>{1} << 30;
    }
    void scanShapes()
    {
        QFETCH(int, liftOff);
        QFETCH(QList<Fault>, faults);
        QFETCH(int, blocks);
        QFETCH(QList<int>, widths);
        QFETCH(int, liveLines);
        Link link([&](SimulatedCalvimetro &d) {
            CalvimetroProfile profile = d.profile();
            profile.liftOffBlock = liftOff;
            d.setProfile(profile);
        });
        QVERIFY(link.connected());
        for (const Fault &fault : faults)
            link.device->injectReadFault(fault);
        link.device->sweep(blocks);
        QVERIFY(link.probe.waitForScans(int(widths.size())));
        QVERIFY(link.connected(int(widths.size()) + 1));
        // The sweep over and the probe polled again: any scan taken meanwhile has been reported.
        QVERIFY(ScannerProbe::waitFor([&] { return !link.device->isButtonPressed(); }));
        QVERIFY(ScannerProbe::waitFor([&, served = link.device->blocksServed()] { return link.device->blocksServed() > served + 3; }));
        QCoreApplication::sendPostedEvents();
        QList<int> made;
        for (const ScannerProbe::ScanDone &scan : link.probe.scans())
            made << (scan.hasImage ? scan.size.width() : 0);
        QCOMPARE(made, widths);
        QCOMPARE(link.probe.lines().size(), liveLines);  // every line read was shown live
        QVERIFY(link.handedOver());
        QCOMPARE(link.thread->scanData.size(), qsizetype(widths.last()) * kSamples);
    }

    void writeErrorCancelsTheButtonWait()
    {
        Link link;
        QVERIFY(link.connected());
        link.device->injectWriteError(UsbTransport::ErrorIo);
        QVERIFY(link.probe.waitForLog("wait button - Write Error"));
        QVERIFY(link.probe.waitForLog("vxsConnected operation cancelled"));
    }

    // A probe that stops taking requests mid-scan: each request gives up at the write time-out,
    // and ten failures in a row end the scan with the lines taken.
    void probeStopsTakingRequests()
    {
        Link link;
        QVERIFY(link.connected());
        link.device->setBlockRate(100);
        link.device->pressButton();
        QVERIFY(link.linesShown(2));
        link.device->setTakingRequests(false);
        QVERIFY(link.probe.waitForLog("read scan - too many failed transfers"));
        QVERIFY(link.probe.waitForScans(1) && link.probe.hasLog("read scan - Write Error"));
    }

    void idlePatternDecidesTheButton()
    {
        std::array<unsigned char, VXCommThread::blockSize> block;
        for (int changed = 0; changed <= 10; ++changed) {  // 10: past the pattern
            block.fill(0x63);
            block[size_t(changed)] = 0x62;
            QCOMPARE(VXCommThread(false).checkButtonPressed(block.data()), changed < 10);
        }
    }

    void destructionDuringAScan()
    {
        Link link([](SimulatedCalvimetro &d) { d.setTimeoutScale(1.0); });
        QVERIFY(link.connected());
        // The reply to block 3 would come a minute late; the read waits up to 5 s for it.
        link.device->injectReadFault({Fault::Late, 60000, 3});
        link.device->sweep(1000);
        QVERIFY(link.linesShown(2));
        QElapsedTimer clock;
        clock.start();
        link.thread.reset();
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(link.probe.hasLog("libusb_exit"));
        // What the worker sent is queued by now: no picture handed out, no status after scanning.
        QCoreApplication::sendPostedEvents();
        QVERIFY(link.probe.scans().isEmpty());
        QCOMPARE(link.probe.statuses().last(), int(Status::vxsScanning));
        QCOMPARE(link.probe.logCountStartingWith("processing:"), 0);
    }

    void environmentChoosesTheLink()
    {
        qputenv("CALVESTRA_SCANNER", "simulator");
        qputenv("CALVESTRA_SIMULATOR_RATE", "1234");
        auto simulated = std::make_unique<VXCommThread>(true);
        QCOMPARE(simulated->simulator()->blockRate(), 1234.0);
        qunsetenv("CALVESTRA_SIMULATOR_RATE");
        qunsetenv("CALVESTRA_SCANNER");
        const VXCommThread real(true);
        QVERIFY(!real.simulator() && real.deviceEnabled);  // the real device through libusb
    }
};

CALVESTRA_TEST_CORE_MAIN(VXCommThreadTest)
#include "tst_vxcommthread.moc"
