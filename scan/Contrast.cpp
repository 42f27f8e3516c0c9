#include "scan/Contrast.h"

#include <array>

namespace {

constexpr double kFullScale = 254.99;
constexpr int kNoiseSearchBins = 30;
constexpr int kNoiseBlockBins = 10;
constexpr int kLowestAutoTopBin = 10;
constexpr int kFallbackAutoTop = 240;

}  // namespace

QColor value2Color(uchar value)
{
    const int v = value;
    if (v <= 127) {
        const int blue = static_cast<int>(v / 128.0 * 255.999) % 256;
        return QColor(0, 0, blue);
    }
    const int grey = static_cast<int>((1.0 - (255 - v) / 128.0) * 255.999) % 256;
    return QColor(grey, grey, 255);
}

QVector<QRgb> scanPalette()
{
    QVector<QRgb> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = value2Color(static_cast<uchar>(i)).rgb();
    return palette;
}

QPair<double, double> analyzeHistogram(QList<uchar> &data, int lineCount, int deepIndex, bool autoAdjust)
{
    std::array<qint64, 256> histogram{};
    if (lineCount > 0) {
        const qsizetype samplesPerLine = data.size() / lineCount;
        // A depth beyond the stored line would read the next line (or past the end).
        const qsizetype rows = qBound(qsizetype(0), qsizetype(deepIndex), samplesPerLine);
        const uchar *samples = data.constData();
        for (qsizetype line = 0; line < lineCount; ++line) {
            const uchar *column = samples + line * samplesPerLine;
            for (qsizetype row = 0; row < rows; ++row)
                ++histogram[column[row]];
        }
    }

    qint64 counted = 0;
    for (qint64 c : histogram)
        counted += c;

    // The darkest populated levels are noise: ten bins from the first non-empty one.
    qint64 noise = 0;
    for (int k = 0; k < kNoiseSearchBins; ++k) {
        if (histogram[k] == 0)
            continue;
        for (int b = k; b < k + kNoiseBlockBins; ++b)
            noise += histogram[b];
        break;
    }
    const auto threshold = static_cast<qint64>((counted - noise) * 0.1);

    int autoTop = kFallbackAutoTop;
    qint64 sum = 0;
    for (int b = 255; b >= kLowestAutoTopBin; --b) {
        sum += histogram[b];
        if (sum > threshold) {
            autoTop = b;
            break;
        }
    }

    int floor = 0;
    if (histogram[0] == 0) {
        for (int b = 1; b < 256; ++b) {
            if (histogram[b] != 0) {
                floor = b;
                break;
            }
        }
    }

    int top = 255;
    if (autoAdjust) {
        top = autoTop;
    } else {
        for (int b = 255; b >= 1; --b) {
            if (histogram[b] != 0) {
                top = b;
                break;
            }
        }
    }

    // A single populated level leaves no span to stretch: treat it as one level wide.
    // stretchSample limits every value to 254 whatever the gain.
    const int span = top > floor ? top - floor : 1;
    return qMakePair(kFullScale / span, static_cast<double>(floor));
}
