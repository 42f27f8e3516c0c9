// Building the picture of a full scan (903 lines of 1577 samples): VXCommThread's
// getScanImage against the straightforward per-pixel formula, run in the same process on
// the same simulated scan. Prints the median of several runs of each and their ratio.

#include "device/CalvimetroModel.h"
#include "device/VXCommThread.h"
#include "scan/Contrast.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kLines = VXCommThread::maxScanLines;
constexpr int kSamples = VXCommThread::scanRealMaxIndex;
constexpr int kRuns = 21;

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The formula as written: for each pixel in row-major order its row and column, the
// sample, the stretch, and the colour from the palette.
struct NaivePicture
{
    std::unique_ptr<uchar[]> buffer;
    std::unique_ptr<QImage> image;
};

NaivePicture naivePicture(QList<uchar> &data, int lineCount, int deepIndex, bool autoAdjust, bool blackWhite,
                          const std::array<QColor, 256> &palette)
{
    NaivePicture picture;
    const qsizetype n = data.size();
    const int width = lineCount;
    const int height = int(n / lineCount);
    picture.buffer.reset(new uchar[size_t(4 * n)]);
    const QPair<double, double> contrast = analyzeHistogram(data, lineCount, deepIndex, autoAdjust);
    const double gain = contrast.first;
    const double floor = contrast.second;
    for (qsizetype p = 0; p < n; ++p) {
        const qsizetype row = p / width;
        const qsizetype column = p % width;
        const uchar s = data.at(column * height + row);
        int v = static_cast<int>(s - floor) % 256;
        if (v < 0)
            v += 256;
        int d = static_cast<int>(v * gain);
        if (d > 254)
            d = 254;
        const QColor colour = blackWhite ? QColor(d, d, d) : palette[size_t(d)];
        uchar *pixel = picture.buffer.get() + 4 * p;
        pixel[0] = uchar(colour.blue());
        pixel[1] = uchar(colour.green());
        pixel[2] = uchar(colour.red());
        pixel[3] = 255;
    }
    picture.image = std::make_unique<QImage>(picture.buffer.get(), width, height, QImage::Format_RGB32);
    return picture;
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "calvestra.*.debug=false");
    QCoreApplication app(argc, argv);

    // A full sweep of the simulated tissue.
    CalvimetroModel model;
    model.setOffsetMm(5.77);
    const int offset = model.lineOffset();
    VXCommThread holder(false);
    std::array<uint8_t, VXCommThread::blockSize> block;
    holder.scanData.reserve(qsizetype(kLines) * kSamples);
    for (int line = 0; line < kLines; ++line) {
        model.renderScanBlock(block.data(), 160, line + 1);
        holder.scanData.append(QList<uchar>(block.begin() + offset, block.begin() + offset + kSamples));
    }
    holder.lineCount = kLines;
    holder.setDeepness(60);

    std::array<QColor, 256> palette;
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = value2Color(uchar(i));

    std::vector<double> ours;
    std::vector<double> naive;
    bool identical = true;
    for (int run = 0; run < kRuns; ++run) {
        const auto t0 = Clock::now();
        QImage *picture = holder.getScanImage();
        const auto t1 = Clock::now();
        NaivePicture reference = naivePicture(holder.scanData, holder.lineCount, holder.deepIndex, holder.autoAdjust,
                                              holder.blackWhite, palette);
        const auto t2 = Clock::now();
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        naive.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        identical = identical && picture
                    && std::memcmp(picture->constBits(), reference.image->constBits(), size_t(4) * kLines * kSamples) == 0;
    }

    const double oursMs = median(ours);
    const double naiveMs = median(naive);
    std::printf("scan picture: %d lines x %d samples, automatic contrast, palette, %d runs each\n", kLines, kSamples,
                kRuns);
    std::printf("  one table look-up per pixel (getScanImage): median %.3f ms\n", oursMs);
    std::printf("  per-pixel formula, straightforward:         median %.3f ms\n", naiveMs);
    std::printf("  pictures identical: %s\n", identical ? "yes" : "NO");
    std::printf("RESULT ours_ms=%.3f naive_ms=%.3f speedup=%.2f\n", oursMs, naiveMs, naiveMs / oursMs);
    return identical ? 0 : 1;
}
