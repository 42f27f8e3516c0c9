#include "scan/LiveScanPicture.h"

#include "device/CalvimetroProtocol.h"

#include <algorithm>

namespace {
// Lines spread over the plot width: a full scan spans it.
constexpr int kLineSpan = CalvimetroProtocol::maxScanLines - 1;
// Depth covered by a live line and by a full picture.
constexpr int kFullDepthMm = 100;
}

void LiveScanPicture::reset(const Layout &layout, const QVector<QRgb> &palette)
{
    m_layout = layout;
    m_lineCount = 0;
    m_lastX = layout.plot.left();
    m_drawn = QRect();
    for (int s = 0; s < 256; ++s) {
        QRgb c = (layout.blackWhite || palette.size() < 256) ? qRgb(s, s, s) : palette[s];
        m_colors[s] = c | 0xff000000u;
    }
    if (m_image.size() != layout.canvas || m_image.format() != QImage::Format_ARGB32_Premultiplied)
        m_image = QImage(layout.canvas.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    m_image.fill(Qt::transparent);
}

void LiveScanPicture::addLine(const QList<uchar> &line)
{
    const QRect &plot = m_layout.plot;
    const int i = m_lineCount++;
    drawSeparator(m_lastX + 1);
    const int x = plot.left() + static_cast<int>((static_cast<qint64>(plot.width()) * i) / kLineSpan);
    const int depthScaled = CalvimetroProtocol::liveLineSamples * m_layout.deepness;
    if (x != m_lastX && depthScaled >= kFullDepthMm) {
        drawColumn(x, line, depthScaled / kFullDepthMm);
        m_lastX = x;
    }
}

void LiveScanPicture::drawSeparator(int x)
{
    if (x < 0 || x >= m_image.width())
        return;
    const int top = std::max(0, m_layout.plot.top());
    // The separator runs over the plot height, both ends included.
    const int bottom = std::min(m_image.height() - 1, m_layout.plot.top() + m_layout.plot.height());
    if (bottom < top)
        return;
    const QRgb black = qRgb(0, 0, 0);
    for (int y = top; y <= bottom; ++y)
        reinterpret_cast<QRgb *>(m_image.scanLine(y))[x] = black;
    m_drawn |= QRect(x, top, 1, bottom - top + 1);
}

void LiveScanPicture::drawColumn(int x, const QList<uchar> &line, int shown)
{
    if (x < 0 || x >= m_image.width())
        return;
    const int top = m_layout.plot.top();
    const int plotHeight = m_layout.plot.height();
    const int samples = static_cast<int>(std::min<qsizetype>(shown, line.size()));
    const uchar *data = line.constData();
    const int stride = static_cast<int>(m_image.bytesPerLine() / sizeof(QRgb));
    auto *pixels = reinterpret_cast<QRgb *>(m_image.bits());
    const int height = m_image.height();
    int minY = height;
    int maxY = -1;
    // Several samples can land on one row: the deepest of them is drawn last and wins.
    for (int j = 0; j < samples; ++j) {
        const int y = top + (j * plotHeight) / shown;
        if (y < 0 || y >= height)
            continue;
        pixels[y * stride + x] = m_colors[data[j]];
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    if (maxY >= minY)
        m_drawn |= QRect(x, minY, 1, maxY - minY + 1);
}
