#pragma once

#include <QRgb>
#include <QVector>

#include <array>

// Maps a raw sample straight to its final colour for one (gain, floor, black-and-white)
// choice, so building a picture costs one table look-up per pixel.
class ScanColorTable
{
public:
    ScanColorTable(const QVector<QRgb> &palette, double gain, double floor, bool blackWhite);

    QRgb color(uchar sample) const { return m_colors[sample]; }
    uchar displayValue(uchar sample) const { return m_values[sample]; }
    const QRgb *colors() const { return m_colors.data(); }

private:
    std::array<QRgb, 256> m_colors{};
    std::array<uchar, 256> m_values{};
};
