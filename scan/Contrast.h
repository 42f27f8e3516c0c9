#pragma once

#include <QColor>
#include <QList>
#include <QPair>
#include <QRgb>
#include <QVector>

// The scan palette (black through blue to white) and the linear contrast stretch
// computed from the part of a scan that is on screen.

// Display value 0..255 to palette colour.
QColor value2Color(uchar value);

// The 256 colours value2Color(0) .. value2Color(255).
QVector<QRgb> scanPalette();

// Returns (gain, floor) for `lineCount` lines stored one after the other in `data`,
// counting only the first `deepIndex` samples of each line. With `autoAdjust` the
// brightest tenth of the counted samples saturates; without it the darkest and the
// brightest counted samples span the whole range.
QPair<double, double> analyzeHistogram(QList<uchar> &data, int lineCount, int deepIndex, bool autoAdjust);

// The display value of one sample for a (gain, floor) pair: (sample - floor) as an
// 8-bit value, times gain, truncated and limited to 254.
inline uchar stretchSample(uchar sample, double gain, double floor)
{
    const auto shifted = static_cast<uchar>(static_cast<int>(sample) - static_cast<int>(floor));
    const double scaled = shifted * gain;
    return scaled >= 254.0 ? uchar(254) : scaled <= 0.0 ? uchar(0) : static_cast<uchar>(scaled);
}
