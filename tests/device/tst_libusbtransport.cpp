#include "CalvimetroUsbfsEmulator.h"

#include "ScannerProbe.h"
#include "TestProfile.h"

#include "device/CalvimetroProtocol.h"
#include "device/LibUsbTransport.h"
#include "device/VXCommThread.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QtTest>

#include <array>
#include <cstdio>
#include <unistd.h>
#include <vector>

// The libusb transport through the real libusb-1.0, against a calvimetro emulated on a
// umockdev test bed (see CalvimetroUsbfsEmulator): enumeration, the serial string, the
// kernel driver, claiming, every exchange of the protocol, a time-out and unplugging, and
// finally the whole acquisition thread over it.
//
// Run it as it is: outside umockdev's preload library it starts itself again under
// umockdev-wrapper. It exits with 77 (skipped) only where umockdev is missing.

using namespace CalvimetroProtocol;

namespace {

using Block = std::array<unsigned char, blockSize>;

int exchange(UsbTransport &usb, unsigned char first, unsigned char second, unsigned char *reply, int length,
             int *received, unsigned timeoutMs = readTimeoutMs)
{
    std::array<unsigned char, 2> request{first, second};
    int written = 0;
    const int w = usb.bulkTransfer(endpointOut, request.data(), 2, &written, writeTimeoutMs);
    if (w != 0 || written != 2)
        return w != 0 ? w : -1000;
    return usb.bulkTransfer(endpointIn, reply, length, received, timeoutMs);
}

bool hasDevice(UsbTransport &usb, quint16 vendor, quint16 product)
{
    QVector<UsbDeviceEntry> devices;
    usb.listDevices(devices);
    return std::any_of(devices.begin(), devices.end(), [&](const UsbDeviceEntry &d) {
        return d.descriptorRead && d.vendorId == vendor && d.productId == product;
    });
}

// An emulated probe with libusb started after it, as libusb needs.
struct Bus
{
    CalvimetroUsbfsEmulator emulator;
    LibUsbTransport usb;

    Bus() { usb.init(); }
    ~Bus() { usb.exit(); }

    bool openAndClaim()
    {
        if (!usb.open(vendorId, productId))
            return false;
        if (usb.kernelDriverActive(0) == 1 && usb.detachKernelDriver(0) != 0)
            return false;
        return usb.claimInterface(0) == 0;
    }
};

}  // namespace

class LibUsbTransportTest : public QObject
{
    Q_OBJECT

private slots:
    void enumeratesByVendorAndProduct()
    {
        Bus bus;
        QVERIFY(bus.emulator.isEmulating());
        QVERIFY(bus.usb.isInitialized());
        QVector<UsbDeviceEntry> devices;
        QVERIFY(bus.usb.listDevices(devices) >= 2);
        int probes = 0;
        int mice = 0;
        for (const UsbDeviceEntry &d : devices) {
            QVERIFY(d.descriptorRead);
            if (d.vendorId == vendorId && d.productId == productId) {
                ++probes;
                QCOMPARE(d.serialIndex, quint8(CalvimetroModel::serialIndex));
            }
            if (d.vendorId == 0x046D && d.productId == 0xC077)
                ++mice;
        }
        QCOMPARE(probes, 1);
        QCOMPARE(mice, 1);
        QVERIFY(!bus.usb.open(vendorId, 0xFBB8));
        QVERIFY(!bus.usb.isOpen());
    }

    void opensReadsTheSerialAndClaims()
    {
        Bus bus;
        bus.emulator.setSerial("VX1-0777");
        QVERIFY(bus.usb.open(vendorId, productId));
        QVERIFY(bus.usb.handleId() != 0);

        std::array<unsigned char, 256> text{};
        QCOMPARE(bus.usb.readStringAscii(CalvimetroModel::serialIndex, text.data(), 256), 8);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(text.data())), QByteArray("VX1-0777"));
        QVERIFY(bus.usb.readStringAscii(7, text.data(), 256) < 0);  // stalled: no such string

        // A kernel driver holds the interface until it is detached.
        QCOMPARE(bus.usb.kernelDriverActive(0), 1);
        QCOMPARE(bus.usb.claimInterface(0), int(UsbTransport::ErrorBusy));
        QCOMPARE(bus.usb.detachKernelDriver(0), 0);
        QCOMPARE(bus.emulator.disconnectRequests(), 1);
        QCOMPARE(bus.usb.kernelDriverActive(0), 0);

        QCOMPARE(bus.usb.claimInterface(0), 0);
        QCOMPARE(bus.emulator.claimedInterfaces(), std::vector<int>({0}));
        QCOMPARE(bus.usb.releaseInterface(0), 0);
        QCOMPARE(bus.emulator.releasedInterfaces(), std::vector<int>({0}));
        bus.usb.close();
        QVERIFY(!bus.usb.isOpen());
        QVERIFY(bus.emulator.unknownIoctls().empty());
    }

    void everyExchangeOfTheProtocol()
    {
        Bus bus;
        bus.emulator.setOffsetMm(5.77);
        QVERIFY(bus.openAndClaim());
        int received = 0;

        std::array<unsigned char, infoReplyLength> info{};
        QCOMPARE(exchange(bus.usb, infoCommand0, infoCommand1, info.data(), infoReplyLength, &received), 0);
        const std::vector<uint8_t> expectedInfo = bus.emulator.model().infoReply();
        QCOMPARE(received, int(expectedInfo.size()));
        QVERIFY(std::equal(expectedInfo.begin(), expectedInfo.end(), info.begin()));

        Block block;
        QCOMPARE(exchange(bus.usb, waitGain, blockCommand, block.data(), blockSize, &received), 0);
        QCOMPARE(received, blockSize);
        QVERIFY(std::all_of(block.begin(), block.end(), [](unsigned char v) { return v == idleByte; }));

        bus.emulator.sweep(3);
        const CalvimetroModel model = bus.emulator.model();
        Block expected;
        QCOMPARE(exchange(bus.usb, waitGain, blockCommand, block.data(), blockSize, &received), 0);
        model.renderScanBlock(expected.data(), waitGain, 0);
        QVERIFY(block == expected);
        for (int b = 1; b < 3; ++b) {
            QCOMPARE(exchange(bus.usb, 0x7B, blockCommand, block.data(), blockSize, &received), 0);
            QCOMPARE(received, blockSize);
            model.renderScanBlock(expected.data(), 0x7B, b);
            QVERIFY(block == expected);
        }
        QCOMPARE(bus.emulator.model().lastScanGain(), 0x7B);
        QCOMPARE(exchange(bus.usb, 0x7B, blockCommand, block.data(), blockSize, &received), 0);
        QCOMPARE(block[0], idleByte);  // released
        QCOMPARE(bus.emulator.bulkOutUrbs(), 6);
        QCOMPARE(bus.emulator.bulkInUrbs(), 6);
        QVERIFY(bus.emulator.unknownIoctls().empty());
    }

    void transferTimesOut()
    {
        Bus bus;
        QVERIFY(bus.openAndClaim());
        bus.emulator.setAnswering(false);
        Block block;
        int received = -1;
        QCOMPARE(exchange(bus.usb, waitGain, blockCommand, block.data(), blockSize, &received, 200),
                 int(UsbTransport::ErrorTimeout));
        QCOMPARE(received, 0);
        QCOMPARE(bus.emulator.discardedUrbs(), 1);  // libusb took the request back

        bus.emulator.setAnswering(true);
        QCOMPARE(exchange(bus.usb, waitGain, blockCommand, block.data(), blockSize, &received), 0);
        QCOMPARE(received, blockSize);
    }

    void unpluggedProbeFailsEveryCall()
    {
        Bus bus;
        QVERIFY(bus.openAndClaim());
        bus.emulator.unplug();
        Block block;
        int received = 0;
        unsigned char request[2] = {waitGain, blockCommand};
        QCOMPARE(bus.usb.bulkTransfer(endpointOut, request, 2, &received, 0), int(UsbTransport::ErrorNoDevice));
        QCOMPARE(bus.usb.bulkTransfer(endpointIn, block.data(), blockSize, &received, 500), int(UsbTransport::ErrorNoDevice));
        std::array<unsigned char, 256> text{};
        QCOMPARE(bus.usb.readStringAscii(CalvimetroModel::serialIndex, text.data(), 256), int(UsbTransport::ErrorNoDevice));
        QCOMPARE(bus.usb.kernelDriverActive(0), int(UsbTransport::ErrorNoDevice));
        // (Released first: libusb answers a claim of an interface it holds by itself.)
        QCOMPARE(bus.usb.releaseInterface(0), int(UsbTransport::ErrorNoDevice));
        QCOMPARE(bus.usb.claimInterface(0), int(UsbTransport::ErrorNoDevice));
        bus.usb.close();

        // The removal reaches libusb's device list through udev.
        QVERIFY(QTest::qWaitFor([&] { return !hasDevice(bus.usb, vendorId, productId); }, 5000));
        QVERIFY(hasDevice(bus.usb, 0x046D, 0xC077));
        QVERIFY(!bus.usb.open(vendorId, productId));
    }

    void acquisitionOverLibusb()
    {
        CalvimetroUsbfsEmulator emulator;
        emulator.setSerial("VX1-0900");
        emulator.setOffsetMm(5.77);
        ScannerProbe probe;
        auto thread = std::make_unique<VXCommThread>(std::make_unique<LibUsbTransport>());
        probe.watch(*thread);
        thread->setCheckInterval(3600 * 1000);
        thread->setProcessingPause(20);
        thread->start();
        QVERIFY(probe.waitForStatus(VXCommThread::vxsConnected));
        QCOMPARE(probe.serials(), QStringList({"VX1-0900"}));
        QCOMPARE(probe.offsets(), QList<double>({5.77}));
        QCOMPARE(thread->dpo.load(), 90);
        for (const char *line : {"libusb initialized", "Kernel Driver Active", "Kernel Driver Detached!", "Claimed Interface",
                                 "device offset: 5.77 dpo:90"})
            QVERIFY2(probe.hasLog(line), line);

        emulator.sweep(11);
        QVERIFY(probe.waitForScans(1));
        QCOMPARE(probe.scans().at(0).size, QSize(10, VXCommThread::scanRealMaxIndex));
        QVERIFY(QTest::qWaitFor([&] { return !thread->isScanBusy(); }));
        const CalvimetroModel model = emulator.model();
        Block expected;
        for (int line = 0; line < 10; ++line) {
            model.renderScanBlock(expected.data(), 160, line + 1);
            const QList<uchar> stored = thread->scanData.mid(qsizetype(line) * VXCommThread::scanRealMaxIndex,
                                                             VXCommThread::scanRealMaxIndex);
            QVERIFY(std::equal(stored.begin(), stored.end(), expected.begin() + 90));
        }

        // Gone: the button wait fails, on a transfer or because the enumeration no longer
        // finds the probe, and the next tick sets the link down.
        QVERIFY(QTest::qWaitFor([&] { return thread->status == VXCommThread::vxsConnected; }));
        probe.clear();
        emulator.unplug();
        QVERIFY(probe.waitForLog("vxsConnected operation cancelled"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                thread->checkConnection();
                return thread->status == VXCommThread::vxsDisconnected;
            },
            5000));
        QVERIFY(probe.waitForStatus(VXCommThread::vxsDisconnected));
        QVERIFY(probe.hasLog("Status changed 1 -> 0"));
        QVERIFY(probe.hasLog("Cannot Release Interface"));  // the probe is gone
        thread.reset();
        QVERIFY(probe.hasLog("libusb_exit"));
        QVERIFY(emulator.unknownIoctls().empty());
    }
};

// umockdev and GLib keep some memory for the life of the process.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libumockdev\nleak:libglib-2.0\nleak:libgobject-2.0\nleak:libgio-2.0\n";
}

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("libumockdev-preload"))) {
        const QString wrapper = QStandardPaths::findExecutable(QStringLiteral("umockdev-wrapper"));
        if (wrapper.isEmpty() || qEnvironmentVariableIsSet("CALVESTRA_UMOCKDEV_REEXEC")) {
            std::puts("umockdev is missing: skipped");
            return 77;
        }
        qputenv("CALVESTRA_UMOCKDEV_REEXEC", "1");
        // The preload library comes before the sanitizer runtime.
        QByteArray asan = qgetenv("ASAN_OPTIONS");
        if (!asan.contains("verify_asan_link_order")) {
            asan += asan.isEmpty() ? "verify_asan_link_order=0" : ":verify_asan_link_order=0";
            qputenv("ASAN_OPTIONS", asan);
        }
        const QByteArray program = wrapper.toLocal8Bit();
        std::vector<char *> args{const_cast<char *>(program.constData())};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execv(program.constData(), args.data());
        std::perror("umockdev-wrapper");
        return 77;
    }
    {
        CalvimetroUsbfsEmulator check;
        if (!check.isEmulating()) {
            std::puts("umockdev's preload library does not work here: skipped");
            return 77;
        }
    }
    TestProfile profile;
    QCoreApplication app(argc, argv);
    LibUsbTransportTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_libusbtransport.moc"
