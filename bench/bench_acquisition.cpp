// Throughput of the acquisition worker: scans of 903 lines from a simulated calvimetro
// that answers at once, the lines going to a receiver in the main thread as they go to
// the scan widget. The baseline is the same number of exchanges made straight on the
// simulated transport, the most any worker could do. A full-speed USB link carries about
// 600 blocks of 2048 bytes a second.

#include "device/CalvimetroProtocol.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

constexpr int kScans = 12;
using Clock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(100);
    }
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "calvestra.*.debug=false");
    QCoreApplication app(argc, argv);
    using namespace CalvimetroProtocol;

    // Baseline: request and read blocks straight from the transport, keeping each line.
    double transportLinesPerSecond = 0;
    {
        SimulatedCalvimetro device(0.0);
        device.init();
        device.open(vendorId, productId);
        device.claimInterface(interfaceNumber);
        const int blocks = kScans * maxScanLines;
        device.sweep(blocks);
        QList<uchar> scan;
        scan.reserve(qsizetype(blocks) * scanRealMaxIndex);
        std::array<unsigned char, blockSize> block;
        const auto t0 = Clock::now();
        for (int i = 0; i < blocks; ++i) {
            std::array<unsigned char, 2> request{160, blockCommand};
            int n = 0;
            device.bulkTransfer(endpointOut, request.data(), 2, &n, writeTimeoutMs);
            device.bulkTransfer(endpointIn, block.data(), blockSize, &n, readTimeoutMs);
            scan.append(QList<uchar>(block.begin() + 90, block.begin() + 90 + scanRealMaxIndex));
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        transportLinesPerSecond = blocks / seconds;
    }

    // The worker.
    auto simulated = std::make_unique<SimulatedCalvimetro>(0.0);
    SimulatedCalvimetro *device = simulated.get();
    VXCommThread thread(std::move(simulated));
    thread.setCheckInterval(3600 * 1000);
    thread.setProcessingPause(0);

    std::atomic<qint64> scanningNs{0};
    std::atomic<int> scansDone{0};
    Clock::time_point scanStart;
    // Direct: the worker stamps its own status changes.
    QObject::connect(
        &thread, &VXCommThread::statusChanged, &thread,
        [&](VXCommThread::VXStatus status) {
            if (status == VXCommThread::vxsScanning) {
                scanStart = Clock::now();
            } else if (status == VXCommThread::vxsProcessing) {
                scanningNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - scanStart).count();
                ++scansDone;
            }
        },
        Qt::DirectConnection);
    QObject receiver;
    int linesReceived = 0;
    QObject::connect(&thread, &VXCommThread::onReadData, &receiver, [&](const QList<uchar> &line) {
        linesReceived += line.size() == liveLineSamples ? 1 : 0;
    });

    thread.start();
    if (!waitUntil([&] { return thread.status == VXCommThread::vxsConnected; }, 10000)) {
        std::printf("the simulated calvimetro did not connect\n");
        return 1;
    }
    for (int scan = 0; scan < kScans; ++scan) {
        const int before = scansDone;
        device->sweep(maxScanLines + 1);  // the press, then 903 lines
        if (!waitUntil([&] { return scansDone > before && !thread.isScanBusy(); }, 60000)) {
            std::printf("scan %d did not finish\n", scan);
            return 1;
        }
    }
    waitUntil([&] { return linesReceived >= kScans * maxScanLines; }, 10000);

    const int lines = kScans * maxScanLines;
    const double seconds = scanningNs.load() / 1e9;
    const double linesPerSecond = lines / seconds;
    std::printf("acquisition: %d scans of %d lines from the simulated calvimetro answering at once\n", kScans,
                maxScanLines);
    std::printf("  worker (exchange, line, live line to the main thread): %.0f lines/s (%d lines in %.3f s, %d received)\n",
                linesPerSecond, lines, seconds, linesReceived);
    std::printf("  baseline, exchanges straight on the transport:         %.0f lines/s\n", transportLinesPerSecond);
    std::printf("  worker / baseline: %.2f; a full-speed USB link gives about 600 lines/s\n",
                linesPerSecond / transportLinesPerSecond);
    std::printf("RESULT lines_per_s=%.0f\n", linesPerSecond);
    return 0;
}
