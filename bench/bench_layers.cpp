// Automatic fat-layer measurement against the simulated calvimetro's own tissue: every
// phantom sweep (thin to thick fat, wavy and tilted boundaries, a double fascia, noise,
// low and high gain, a thick skin, a probe lifted off for a moment, fat deeper than a
// line) is measured and each line's thickness compared with the one the model drew.
// Then the sweeps are measured again and again to time a scan.
//
//   bench_layers [SECONDS]   time spent on the timing runs (default 50)

#include "device/CalvimetroProtocol.h"
#include "device/PhantomSweep.h"
#include "scan/LayerDetector.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The processor time of this thread: other work on a busy machine does not count.
double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(std::ceil(p * double(values.size()))) - 1);
    return values[at];
}

}  // namespace

int main(int argc, char *argv[])
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 50.0;
    std::vector<PhantomSweep> sweeps;
    for (const PhantomRecipe &recipe : standardPhantoms())
        sweeps.push_back(renderPhantom(recipe));

    const LayerDetector detector;
    std::vector<double> errors;
    long withBoundary = 0;
    long found = 0;
    long falseReadings = 0;  // a number where the line has no boundary at all
    std::printf("%-20s %6s %7s %7s %7s %6s\n", "sweep", "lines", "found", "mae_mm", "max_mm", "false");
    for (const PhantomSweep &sweep : sweeps) {
        const LayerTrace trace = detector.measure(sweep.samples.data(), sweep.lines, CalvimetroProtocol::scanRealMaxIndex);
        std::vector<double> sweepErrors;
        long sweepWith = 0;
        long sweepFalse = 0;
        for (int line = 0; line < sweep.lines; ++line) {
            const double measured = trace.thicknessMm(line);
            if (!sweep.hasBoundary(line)) {
                sweepFalse += measured >= 0.0 ? 1 : 0;
                continue;
            }
            ++sweepWith;
            if (measured >= 0.0)
                sweepErrors.push_back(std::abs(measured - sweep.thicknessMm(line)));
        }
        double sum = 0.0;
        for (double e : sweepErrors)
            sum += e;
        std::printf("%-20s %6d %6.1f%% %7.3f %7.3f %6ld\n", sweep.name.c_str(), sweep.lines,
                    sweepWith ? 100.0 * double(sweepErrors.size()) / double(sweepWith) : 0.0,
                    sweepErrors.empty() ? 0.0 : sum / double(sweepErrors.size()), percentile(sweepErrors, 1.0),
                    sweepFalse);
        withBoundary += sweepWith;
        found += long(sweepErrors.size());
        falseReadings += sweepFalse;
        errors.insert(errors.end(), sweepErrors.begin(), sweepErrors.end());
    }
    double sum = 0.0;
    for (double e : errors)
        sum += e;
    const double mae = errors.empty() ? 0.0 : sum / double(errors.size());

    std::vector<double> times;
    std::vector<double> wallTimes;
    const auto start = Clock::now();
    do {
        for (const PhantomSweep &sweep : sweeps) {
            const auto t0 = Clock::now();
            const double c0 = threadMs();
            const LayerTrace trace =
                detector.measure(sweep.samples.data(), sweep.lines, CalvimetroProtocol::scanRealMaxIndex);
            times.push_back(threadMs() - c0);
            wallTimes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            if (trace.lineCount() != sweep.lines)
                return 1;
        }
    } while (std::chrono::duration<double>(Clock::now() - start).count() < seconds);

    const double foundShare = withBoundary ? double(found) / double(withBoundary) : 0.0;
    std::printf("%ld lines with a boundary, %zu timed scans of %d lines\n", withBoundary, times.size(),
                CalvimetroProtocol::maxScanLines);
    std::printf("median per scan: %.2f ms of processor time, %.2f ms on the clock\n", percentile(times, 0.5),
                percentile(wallTimes, 0.5));
    std::printf("RESULT mae_mm=%.3f p95_mm=%.3f found=%.4f false_lines=%ld ms_per_scan=%.2f wall_ms_per_scan=%.2f\n",
                mae, percentile(errors, 0.95), foundShare, falseReadings, percentile(times, 0.5),
                percentile(wallTimes, 0.5));
    return 0;
}
