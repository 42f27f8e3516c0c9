#include "scan/ScanColorTable.h"

#include "scan/Contrast.h"

ScanColorTable::ScanColorTable(const QVector<QRgb> &palette, double gain, double floor, bool blackWhite)
{
    for (int s = 0; s < 256; ++s) {
        const uchar d = stretchSample(static_cast<uchar>(s), gain, floor);
        m_values[s] = d;
        if (blackWhite || palette.size() < 256)
            m_colors[s] = qRgb(d, d, d);
        else
            m_colors[s] = palette[d];
    }
}
