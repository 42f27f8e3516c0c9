// Live drawing of a full scan with a repaint after every line, as the scan widget
// does while the probe's button is held: the scan area's off-screen picture against
// the straightforward drawing that paints every line again on each repaint.

#include "scan/Contrast.h"
#include "scan/ScanArea.h"
#include "device/CalvimetroProtocol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kLines = CalvimetroProtocol::maxScanLines;
constexpr int kWindow = 100;

// Every line again, point by point, on every paint.
class StraightforwardScanArea : public ScanArea
{
public:
    using ScanArea::ScanArea;

protected:
    void paintLiveLines(QPainter &painter) override
    {
        const auto &lines = scanLines();
        const int pw = plotWidth();
        const int ph = plotHeight();
        int lastX = leftMargin;
        for (int i = 0; i < lines.size(); ++i) {
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(lastX + 1, topMargin, lastX + 1, topMargin + ph);
            const int x = leftMargin + (pw * i) / (CalvimetroProtocol::maxScanLines - 1);
            if (x != lastX && CalvimetroProtocol::liveLineSamples * deepness >= 100) {
                const int shown = CalvimetroProtocol::liveLineSamples * deepness / 100;
                for (int j = 0; j < shown; ++j) {
                    const uchar s = lines[i][j];
                    painter.setPen(blackWhite ? QColor(s, s, s) : value2Color(s));
                    painter.drawPoint(x, topMargin + (j * ph) / shown);
                }
                lastX = x;
            }
        }
        if (lastX != leftMargin) {
            painter.setPen(QPen(Qt::red, 1));
            painter.drawLine(lastX + 1, topMargin, lastX + 1, topMargin + ph);
        }
    }
};

struct Run
{
    double totalMs = 0;
    double firstMs = 0;
    double lastMs = 0;
};

// A plausible scan: skin, a fat layer, a bright fascia line, muscle, with noise.
QList<QList<uchar>> makeScan()
{
    QRandomGenerator rng(20260305);
    QList<QList<uchar>> scan;
    for (int i = 0; i < kLines; ++i) {
        QList<uchar> line(CalvimetroProtocol::liveLineSamples);
        for (int j = 0; j < line.size(); ++j) {
            int v = j < 20 ? 200 : j < 160 ? 40 : j < 175 ? 230 : 110;
            v += rng.bounded(-25, 26);
            line[j] = static_cast<uchar>(qBound(0, v, 255));
        }
        scan.append(line);
    }
    return scan;
}

// Processor time of this thread, which paints offscreen: unlike the wall clock it does
// not count the time other processes of a busy machine take.
double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Run drawScan(ScanArea &area, const QList<QList<uchar>> &scan)
{
    Run run;
    area.clear();
    area.repaint();
    for (int i = 0; i < scan.size(); ++i) {
        const double start = threadMs();
        area.addScanData(scan[i]);
        area.repaint();
        const double ms = threadMs() - start;
        run.totalMs += ms;
        if (i < kWindow)
            run.firstMs += ms;
        if (i >= scan.size() - kWindow)
            run.lastMs += ms;
    }
    return run;
}

void print(const char *name, const Run &r)
{
    std::printf("%-16s total %9.1f ms   first %d lines %8.2f ms   last %d lines %8.2f ms   growth %6.2f\n", name,
                r.totalMs, kWindow, r.firstMs, kWindow, r.lastMs, r.lastMs / r.firstMs);
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QList<QList<uchar>> scan = makeScan();
    ScanArea ours;
    StraightforwardScanArea naive;
    for (ScanArea *area : {&ours, static_cast<ScanArea *>(&naive)}) {
        area->resize(600, 450);
        area->show();
    }
    QApplication::processEvents();

    std::printf("live drawing of %d lines on a %dx%d scan area, one repaint per line (thread processor time)\n",
                kLines, ours.width(), ours.height());
    QElapsedTimer wall;
    wall.start();
    // A warm-up pass of ours (fonts, caches), then the measured ones.
    drawScan(ours, scan);
    const Run oursRun = drawScan(ours, scan);
    const Run naiveRun = drawScan(naive, scan);
    std::printf("wall clock for both runs: %.1f s\n", wall.nsecsElapsed() / 1e9);
    print("off-screen", oursRun);
    print("straightforward", naiveRun);

    const double speedup = naiveRun.totalMs / oursRun.totalMs;
    const double growth = oursRun.lastMs / oursRun.firstMs;
    std::printf("speedup %.1f\n", speedup);
    std::printf("RESULT ours_ms=%.1f naive_ms=%.1f speedup=%.1f growth=%.2f\n", oursRun.totalMs, naiveRun.totalMs,
                speedup, growth);
    return 0;
}
