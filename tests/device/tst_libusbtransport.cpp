#include "CalvimetroUsbfsEmulator.h"

#include "ScannerProbe.h"
#include "TestProfile.h"

#include "device/CalvimetroProtocol.h"
#include "device/LibUsbTransport.h"
#include "device/VXCommThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QtTest>

#include <array>
#include <cstdio>
#include <unistd.h>
#include <vector>

// The libusb transport through the real libusb-1.0, against a calvimetro emulated on a
// umockdev test bed (see CalvimetroUsbfsEmulator): the whole acquisition thread over it
// (enumeration past another device, the serial string, the kernel driver, claiming, the
// exchanges, unplugging). Outside umockdev's preload library it starts itself again under
// umockdev-wrapper; it exits with 77 (skipped) only where umockdev is missing.

using namespace CalvimetroProtocol;

namespace {

using Block = std::array<unsigned char, blockSize>;

}  // namespace

class LibUsbTransportTest : public QObject
{
    Q_OBJECT

private slots:
    // What the acquisition does not reach: a library that never started finds nothing
    // (libusb would quietly make a default context), and a read gives up at its time-out.
    void notStartedAndTimeOut()
    {
        CalvimetroUsbfsEmulator emulator;
        LibUsbTransport usb;
        QVector<UsbDeviceEntry> devices;
        QCOMPARE(usb.listDevices(devices), 0);
        QVERIFY(!usb.open(vendorId, productId));
        QVERIFY(usb.init() && usb.open(vendorId, productId));
        QVERIFY(usb.detachKernelDriver(0) == 0 && usb.claimInterface(0) == 0);
        Block block;
        int received = -1;  // nothing asked, so no answer
        QCOMPARE(usb.bulkTransfer(endpointIn, block.data(), blockSize, &received, 200), int(UsbTransport::ErrorTimeout));
        QCOMPARE(received, 0);
    }

    void acquisitionOverLibusb()
    {
        CalvimetroUsbfsEmulator emulator;
        emulator.withModel([](CalvimetroModel &m) { m.setSerial("VX1-0900"); });
        ScannerProbe probe;
        auto thread = std::make_unique<VXCommThread>(std::make_unique<LibUsbTransport>());
        probe.watch(*thread);
        thread->setCheckInterval(3600 * 1000);
        thread->setProcessingPause(20);
        thread->start();
        QVERIFY(probe.waitForStatus(VXCommThread::vxsConnected));
        QCOMPARE(probe.serials(), QStringList({"VX1-0900"}));
        QCOMPARE(thread->dpo.load(), 90);  // the offset in the info string

        emulator.withModel([](CalvimetroModel &m) { m.startSweep(11); });
        QVERIFY(probe.waitForScans(1));
        QCOMPARE(probe.scans().at(0).size, QSize(10, VXCommThread::scanRealMaxIndex));
        QVERIFY(QTest::qWaitFor([&] { return !thread->isScanBusy(); }));
        const CalvimetroModel model = emulator.withModel([](CalvimetroModel &m) { return m; });
        Block expected;
        for (int line = 0; line < 10; ++line) {
            model.renderScanBlock(expected.data(), 160, line + 1);
            const QList<uchar> stored = thread->scanData.mid(qsizetype(line) * VXCommThread::scanRealMaxIndex,
                                                             VXCommThread::scanRealMaxIndex);
            QVERIFY(std::equal(stored.begin(), stored.end(), expected.begin() + 90));
        }

        // Gone: the button wait fails, and a tick sets the link down.
        QVERIFY(probe.waitForStatus(VXCommThread::vxsConnected, 2));
        emulator.unplug();
        QVERIFY(probe.waitForLog("vxsConnected operation cancelled"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                thread->checkConnection();
                return thread->status == VXCommThread::vxsDisconnected;
            },
            10000));
        QVERIFY(probe.waitForStatus(VXCommThread::vxsDisconnected));
        thread.reset();
        QVERIFY(probe.hasLog("libusb_exit"));
    }

    // A hung probe holds the worker up for a transfer's time-out at most, and never the
    // interface thread: its presence timer (every 20 ms here) keeps the event loop turning.
    void hungProbe()
    {
        CalvimetroUsbfsEmulator emulator;
        ScannerProbe probe;
        auto thread = std::make_unique<VXCommThread>(std::make_unique<LibUsbTransport>());
        probe.watch(*thread);
        thread->setCheckInterval(20);
        const auto unhang = qScopeGuard([&] { emulator.hang(CalvimetroUsbfsEmulator::NotHung); });
        thread->start();
        QVERIFY(probe.waitForStatus(VXCommThread::vxsConnected));
        QElapsedTimer clock;
        qint64 stall = 0;  // the longest time the event loop did not turn
        const auto until = [&](const QString &line) {
            clock.start();
            return probe.waitFor([&] { return stall = std::max(stall, clock.restart()), probe.hasLog(line); }, 20000);
        };
        emulator.hang(CalvimetroUsbfsEmulator::Replies);
        QVERIFY(until("wait button- read error"));  // the read's 5 s time-out
        QVERIFY2(stall < 2000, qPrintable(QString::number(stall)));
        emulator.hang(CalvimetroUsbfsEmulator::NotHung);  // and it scans again
        emulator.withModel([](CalvimetroModel &m) { m.startSweep(3); });
        QVERIFY(probe.waitForScans(1) && probe.waitForStatus(VXCommThread::vxsConnected, 2));
        emulator.hang(CalvimetroUsbfsEmulator::Requests);
        QElapsedTimer hung;
        hung.start();
        QVERIFY(until("wait button - Write Error"));
        QVERIFY2(hung.elapsed() < writeTimeoutMs + 3000 && stall < 2000, qPrintable(QString::number(stall)));
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
