#include "TestMain.h"

#include "device/CalvimetroModel.h"
#include "device/CalvimetroProtocol.h"
#include "device/SimulatedCalvimetro.h"

#include <QElapsedTimer>

#include <array>
#include <atomic>
#include <thread>

// The stand-in for the probe: its device model (what it answers and the tissue it draws)
// and the simulated transport (USB semantics, pacing, faults, control from other threads).

using namespace CalvimetroProtocol;

namespace {

using Block = std::array<uint8_t, blockSize>;

// One exchange on a simulated transport.
int exchange(SimulatedCalvimetro &device, uint8_t first, uint8_t second, uint8_t *reply, int length, int *received,
             unsigned timeoutMs = readTimeoutMs)
{
    std::array<uint8_t, 2> request{first, second};
    int written = 0;
    const int w = device.bulkTransfer(endpointOut, request.data(), 2, &written, writeTimeoutMs);
    if (w != 0)
        return w;
    return device.bulkTransfer(endpointIn, reply, length, received, timeoutMs);
}

double mean(const Block &block, int from, int to)
{
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += block[size_t(i)];
    return sum / (to - from);
}

int sampleAt(double mm)
{
    return int(mm / mmPerSample);
}

// A simulated probe opened and claimed, answering at once.
struct OpenProbe
{
    SimulatedCalvimetro device{0.0};
    OpenProbe()
    {
        device.setTimeoutScale(0.01);
        device.init();
        device.open(vendorId, productId);
        device.claimInterface(interfaceNumber);
    }
};

}  // namespace

class CalvimetroTest : public QObject
{
    Q_OBJECT

private slots:
    // --- Device model --------------------------------------------------------------

    void infoReplyOnTheWire()
    {
        CalvimetroModel model;
        model.setOffsetMm(5.77);
        QCOMPARE(model.infoText(), std::string("CALVIMETRO VX1 fw 2.4 (5.77)"));
        const std::vector<uint8_t> reply = model.infoReply();
        const std::string text = model.infoText();
        QCOMPARE(reply.size(), text.size() * 2 + 2);
        for (size_t i = 0; i < text.size(); ++i) {
            QCOMPARE(reply[2 * i], uint8_t(text[i]));
            QCOMPARE(reply[2 * i + 1], uint8_t(0));
        }
        QCOMPARE(reply[reply.size() - 2], uint8_t(0));
        QCOMPARE(reply.back(), uint8_t(0));

        // A long text fills the 128 bytes and has no room for the zero unit.
        model.setInfoText(std::string(100, 'x'));
        QCOMPARE(model.infoReply().size(), size_t(128));
        model.useDefaultInfoText();
        model.setOffsetMm(12.5);
        QCOMPARE(model.infoText(), std::string("CALVIMETRO VX1 fw 2.4 (12.5)"));
    }

    void requestsAndReplies()
    {
        CalvimetroModel model;
        Block block;
        QVERIFY(!model.hasPendingRequest());
        QCOMPARE(model.send(block.data(), blockSize), -1);  // nothing asked, nothing said

        const uint8_t info[2] = {0x00, 0x03};
        model.receive(info, 2);
        QVERIFY(model.hasPendingRequest());
        QCOMPARE(model.send(block.data(), 128), int(model.infoReply().size()));
        QCOMPARE(model.send(block.data(), 128), -1);  // one reply per request

        const uint8_t unknown[2] = {0x12, 0x34};
        model.receive(unknown, 2);
        QCOMPARE(model.send(block.data(), blockSize), -1);
        model.receive(info, 1);  // too short to be a request
        QCOMPARE(model.send(block.data(), blockSize), -1);

        const uint8_t wait[2] = {0xA0, 0x01};
        model.receive(wait, 2);
        QCOMPARE(model.send(block.data(), blockSize), blockSize);
        QVERIFY(std::all_of(block.begin(), block.end(), [](uint8_t v) { return v == 0x63; }));
        QCOMPARE(model.lastGain(), 0xA0);

        model.receive(wait, 2);
        QCOMPARE(model.send(block.data(), 100), 100);  // a smaller buffer gets the start
    }

    void sweepGivesItsBlocksThenIdle()
    {
        CalvimetroModel model;
        model.startSweep(3);
        Block block;
        const uint8_t request[2] = {0x77, 0x01};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(model.sweepBlock(), i);
            QVERIFY(model.nextReplyIsScanBlock() || !model.hasPendingRequest());
            model.receive(request, 2);
            QVERIFY(model.nextReplyIsScanBlock());
            QCOMPARE(model.send(block.data(), blockSize), blockSize);
            QVERIFY(!std::all_of(block.begin(), block.begin() + 10, [](uint8_t v) { return v == 0x63; }));
            Block expected;
            model.renderScanBlock(expected.data(), 0x77, i);
            QVERIFY(block == expected);
        }
        QVERIFY(!model.buttonPressed());
        QCOMPARE(model.lastScanGain(), 0x77);
        model.receive(request, 2);
        QVERIFY(!model.nextReplyIsScanBlock());
        model.send(block.data(), blockSize);
        QCOMPARE(block[0], uint8_t(0x63));

        // Held: blocks until released; a new press starts again at block 0.
        model.setButtonPressed(true);
        for (int i = 0; i < 5; ++i) {
            model.receive(request, 2);
            model.send(block.data(), blockSize);
        }
        QCOMPARE(model.sweepBlock(), 5);
        model.setButtonPressed(false);
        model.setButtonPressed(true);
        QCOMPARE(model.sweepBlock(), 0);
        model.reset();
        QVERIFY(!model.buttonPressed());
    }

    void linesAreDeterministic()
    {
        CalvimetroModel a;
        CalvimetroModel b;
        Block x;
        Block y;
        a.renderScanBlock(x.data(), 160, 42);
        b.renderScanBlock(y.data(), 160, 42);
        QVERIFY(x == y);
        b.renderScanBlock(y.data(), 160, 43);
        QVERIFY(x != y);
        CalvimetroProfile other = b.profile();
        other.seed = 7;
        b.setProfile(other);
        b.renderScanBlock(y.data(), 160, 42);
        QVERIFY(x != y);
    }

    void linesNeverLookIdle()
    {
        // Offset 0 puts the bright skin line at the start of the block.
        for (double offset : {0.0, 5.77, 29.9}) {
            for (uint64_t seed : {1ULL, 99ULL, 0x5ca1ab1eULL}) {
                CalvimetroModel model;
                model.setOffsetMm(offset);
                CalvimetroProfile profile;
                profile.seed = seed;
                model.setProfile(profile);
                Block block;
                for (int gain : {0, 0x63, 160, 255}) {
                    for (int i = 0; i < 200; ++i) {
                        model.renderScanBlock(block.data(), gain, i);
                        QVERIFY(!std::all_of(block.begin(), block.begin() + 10, [](uint8_t v) { return v == 0x63; }));
                    }
                }
            }
        }
    }

    void tissueLayers()
    {
        CalvimetroModel model;
        model.setOffsetMm(5.77);
        CalvimetroProfile profile;
        profile.fatMm = 15.0;
        profile.fatSwingMm = 0.0;
        model.setProfile(profile);
        const int dpo = model.lineOffset();
        QCOMPARE(dpo, 90);
        QCOMPARE(model.fatThicknessMm(0), 15.0);
        QCOMPARE(model.fatTopMm(), profile.skinMm);
        QCOMPARE(model.fatBottomMm(0), profile.skinMm + 15.0);

        Block block;
        model.renderScanBlock(block.data(), 160, 10);
        const auto at = [&](double mm) { return dpo + sampleAt(mm); };
        const double skin = mean(block, at(0.0), at(0.3));
        const double fat = mean(block, at(3.0), at(15.0));
        const double fascia = mean(block, at(16.75), at(17.45));
        const double bone = model.boneDepthMm(10);
        const double muscle = mean(block, at(19.0), at(bone - 1.0));
        const double boneEcho = mean(block, at(bone + 0.1), at(bone + 1.3));
        const double shadow = mean(block, at(bone + 3.0), at(bone + 12.0));
        QVERIFY2(skin > 200, qPrintable(QString::number(skin)));
        QVERIFY2(fat < 40, qPrintable(QString::number(fat)));
        QVERIFY2(fascia > 160, qPrintable(QString::number(fascia)));
        QVERIFY2(muscle > 50 && muscle < 120, qPrintable(QString::number(muscle)));
        QVERIFY2(boneEcho > 130 && boneEcho > 1.5 * muscle, qPrintable(QString::number(boneEcho)));
        QVERIFY2(shadow < 15, qPrintable(QString::number(shadow)));
    }

    void fatThicknessVariesSlowly()
    {
        CalvimetroModel model;
        CalvimetroProfile profile;
        profile.fatMm = 10.0;
        profile.fatSwingMm = 3.0;
        profile.fatPeriodBlocks = 600;
        model.setProfile(profile);
        double lowest = 100;
        double highest = 0;
        for (int b = 0; b < 600; ++b) {
            const double t = model.fatThicknessMm(b);
            QVERIFY(qAbs(t - model.fatThicknessMm(b + 1)) < 0.05);  // slowly, line to line
            lowest = qMin(lowest, t);
            highest = qMax(highest, t);
        }
        QVERIFY(qAbs(lowest - 7.0) < 0.01);
        QVERIFY(qAbs(highest - 13.0) < 0.01);
    }

    void gainBrightensTheEcho()
    {
        CalvimetroModel model;
        Block block;
        double previous = -1;
        for (int gain : {40, 100, 160, 220}) {
            model.renderScanBlock(block.data(), gain, 5);
            const double muscle = mean(block, model.lineOffset() + sampleAt(20), model.lineOffset() + sampleAt(30));
            QVERIFY2(muscle > previous, qPrintable(QStringLiteral("gain %1: %2").arg(gain).arg(muscle)));
            previous = muscle;
        }
    }

    void liftedProbeSendsNothing()
    {
        CalvimetroModel model;
        CalvimetroProfile profile;
        profile.liftOffBlock = 4;
        model.setProfile(profile);
        Block block;
        model.renderScanBlock(block.data(), 160, 3);
        QVERIFY(std::any_of(block.begin(), block.end(), [](uint8_t v) { return v != 0; }));
        model.renderScanBlock(block.data(), 160, 4);
        QVERIFY(std::all_of(block.begin(), block.end(), [](uint8_t v) { return v == 0; }));
    }

    // --- Simulated transport -------------------------------------------------------

    void enumerationAndOpening()
    {
        SimulatedCalvimetro device;
        QVector<UsbDeviceEntry> devices;
        QCOMPARE(device.listDevices(devices), 0);  // not started
        QVERIFY(!device.open(vendorId, productId));
        QVERIFY(device.init());
        QCOMPARE(device.listDevices(devices), 2);
        QCOMPARE(devices[0].vendorId, quint16(0x1D6B));
        QCOMPARE(devices[1].vendorId, vendorId);
        QCOMPARE(devices[1].productId, productId);
        QCOMPARE(devices[1].serialIndex, quint8(3));

        QVERIFY(!device.open(vendorId, 0x1234));
        QVERIFY(device.open(vendorId, productId));
        QVERIFY(device.isOpen());
        QVERIFY(device.handleId() != 0);
        std::array<unsigned char, 256> text{};
        QCOMPARE(device.readStringAscii(3, text.data(), 256), 12);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(text.data())), QByteArray("VX1-SIM-0001"));
        QCOMPARE(device.readStringAscii(0, text.data(), 256), int(UsbTransport::ErrorInvalidParam));
        QCOMPARE(device.readStringAscii(2, text.data(), 256), int(UsbTransport::ErrorPipe));

        QCOMPARE(device.kernelDriverActive(0), 0);
        QCOMPARE(device.detachKernelDriver(0), int(UsbTransport::ErrorNotFound));
        device.setKernelDriverAttached(true);
        QCOMPARE(device.kernelDriverActive(0), 1);
        QCOMPARE(device.claimInterface(0), int(UsbTransport::ErrorBusy));  // the driver holds it
        QCOMPARE(device.detachKernelDriver(0), 0);
        QCOMPARE(device.kernelDriverActive(0), 0);
        QCOMPARE(device.claimInterface(0), 0);
        QVERIFY(device.isClaimed());
        QCOMPARE(device.releaseInterface(0), 0);
        QCOMPARE(device.releaseInterface(0), int(UsbTransport::ErrorNotFound));
        device.close();
        QVERIFY(!device.isOpen());
        QCOMPARE(device.handleId(), quintptr(0));
        uint8_t byte = 0;
        int n = 0;
        QCOMPARE(device.bulkTransfer(endpointOut, &byte, 1, &n, 0), int(UsbTransport::ErrorNoDevice));

        device.exit();
        QCOMPARE(device.listDevices(devices), 0);
        device.setInitFails(true);
        QVERIFY(!device.init());
    }

    void exchangesOnTheWire()
    {
        OpenProbe probe;
        std::array<uint8_t, 128> info{};
        int received = 0;
        QCOMPARE(exchange(probe.device, 0x00, 0x03, info.data(), 128, &received), 0);
        QCOMPARE(received, int(probe.device.modelSnapshot().infoReply().size()));
        QCOMPARE(info[0], uint8_t('C'));
        QCOMPARE(info[1], uint8_t(0));

        Block block;
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(received, blockSize);
        QCOMPARE(block[0], uint8_t(0x63));

        probe.device.sweep(2);
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QVERIFY(block[0] != 0x63 || block[5] != 0x63);
        QCOMPARE(exchange(probe.device, 0x55, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(probe.device.lastScanGain(), 0x55);
        QCOMPARE(exchange(probe.device, 0x55, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(block[0], uint8_t(0x63));  // the sweep is over
        QCOMPARE(probe.device.blocksServed(), qint64(5));

        // A read with no request before it waits for its time-out.
        QCOMPARE(probe.device.bulkTransfer(endpointIn, block.data(), blockSize, &received, 1000),
                 int(UsbTransport::ErrorTimeout));
        QCOMPARE(received, 0);
        QCOMPARE(probe.device.bulkTransfer(0x02, block.data(), 2, &received, 0), int(UsbTransport::ErrorPipe));
    }

    void injectedFaults()
    {
        OpenProbe probe;
        Block block;
        int received = 0;
        probe.device.injectWriteError(UsbTransport::ErrorPipe, 2);
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), int(UsbTransport::ErrorPipe));
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), int(UsbTransport::ErrorPipe));
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);

        using Fault = SimulatedCalvimetro::ReadFault;
        probe.device.injectReadFault({Fault::Error, UsbTransport::ErrorIo});
        probe.device.injectReadFault({Fault::Short, 17});
        probe.device.injectReadFault({Fault::Late, 100000});  // beyond the time-out
        probe.device.injectReadFault({Fault::Late, 10});      // within it
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), int(UsbTransport::ErrorIo));
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(received, 17);
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), int(UsbTransport::ErrorTimeout));
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(received, blockSize);

        // A fault aimed at a block of the sweep waits for it.
        probe.device.injectReadFault({Fault::Short, 5, 2});
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(received, blockSize);  // idle: not yet
        probe.device.sweep(4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
            QCOMPARE(received, i == 2 ? 5 : blockSize);
        }
        probe.device.injectReadFault({Fault::Error, UsbTransport::ErrorIo});
        probe.device.clearFaults();
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
    }

    void unplugAndReplug()
    {
        OpenProbe probe;
        Block block;
        int received = 0;
        probe.device.pressButton();
        probe.device.unplug();
        QVERIFY(!probe.device.isPlugged());
        QVERIFY(!probe.device.isButtonPressed());  // a power loss
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), int(UsbTransport::ErrorNoDevice));
        QCOMPARE(probe.device.claimInterface(0), int(UsbTransport::ErrorNoDevice));
        QVector<UsbDeviceEntry> devices;
        QCOMPARE(probe.device.listDevices(devices), 1);  // the hub only

        // The handle from before stays dead; a new one works.
        probe.device.plug();
        QVERIFY(probe.device.isOpen());
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), int(UsbTransport::ErrorNoDevice));
        QVERIFY(probe.device.open(vendorId, productId));
        QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QCOMPARE(probe.device.openCount(), 2);

        probe.device.unplug();
        QVERIFY(!probe.device.open(vendorId, productId));
        QVERIFY(!probe.device.isOpen());
    }

    void waitsEndOnUnplugOrInterrupt()
    {
        OpenProbe probe;
        probe.device.setTimeoutScale(1.0);
        std::atomic<int> result{1};
        Block block;
        // No request: the read would wait 60 s.
        std::thread reader([&] {
            int received = 0;
            result = probe.device.bulkTransfer(endpointIn, block.data(), blockSize, &received, 60000);
        });
        QTest::qWait(50);
        probe.device.unplug();
        reader.join();
        QCOMPARE(result.load(), int(UsbTransport::ErrorNoDevice));

        probe.device.plug();
        QVERIFY(probe.device.open(vendorId, productId));
        std::thread unlimited([&] {
            int received = 0;
            result = probe.device.bulkTransfer(endpointIn, block.data(), blockSize, &received, 0);
        });
        QTest::qWait(50);
        probe.device.interrupt();
        unlimited.join();
        QCOMPARE(result.load(), int(UsbTransport::ErrorInterrupted));
    }

    void blocksArePacedLikeAProbe()
    {
        // 500 blocks a second: 26 blocks cannot come in less than 25 periods (50 ms).
        OpenProbe probe;
        probe.device.setBlockRate(500);
        Block block;
        int received = 0;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 26; ++i)
            QCOMPARE(exchange(probe.device, 0xA0, 0x01, block.data(), blockSize, &received), 0);
        QVERIFY2(clock.elapsed() >= 49, qPrintable(QString::number(clock.elapsed())));
        // Info requests are not paced.
        clock.restart();
        std::array<uint8_t, 128> info{};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(exchange(probe.device, 0x00, 0x03, info.data(), 128, &received), 0);
        QCOMPARE(probe.device.blockRate(), 500.0);
    }

    void controlFromAnotherThread()
    {
        // A test or a control panel drives the probe while the link reads from it.
        OpenProbe probe;
        probe.device.setBlockRate(20000);
        std::atomic<bool> stop{false};
        std::atomic<int> scanBlocks{0};
        std::atomic<int> failures{0};
        std::thread link([&] {
            Block block;
            while (!stop) {
                int received = 0;
                const int r = exchange(probe.device, 0x90, 0x01, block.data(), blockSize, &received);
                if (r != 0) {
                    ++failures;
                    if (r == UsbTransport::ErrorNoDevice && probe.device.isPlugged())
                        probe.device.open(vendorId, productId);
                } else if (block[0] != 0x63) {
                    ++scanBlocks;
                }
            }
        });
        for (int round = 0; round < 20; ++round) {
            probe.device.sweep(5);
            QTest::qWait(2);
            probe.device.pressButton();
            probe.device.releaseButton();
            if (round % 5 == 4) {
                probe.device.unplug();
                QTest::qWait(1);
                probe.device.plug();
            }
            probe.device.setOffsetMm(5.0 + round * 0.1);
        }
        QTest::qWait(20);
        stop = true;
        probe.device.interrupt();
        link.join();
        QVERIFY(scanBlocks.load() > 0);
        QVERIFY(failures.load() > 0);
    }
};

CALVESTRA_TEST_CORE_MAIN(CalvimetroTest)
#include "tst_calvimetro.moc"
