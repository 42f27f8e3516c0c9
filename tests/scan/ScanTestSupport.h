#pragma once

#include "device/CalvimetroProtocol.h"
#include "scan/Contrast.h"
#include "scan/ScanArea.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

// Pixel helpers of the scan drawing tests, and the straightforward live drawing that the
// scan area's off-screen picture must reproduce.
namespace ScanTest {

inline QList<uchar> uniformLine(uchar value)
{
    return QList<uchar>(CalvimetroProtocol::liveLineSamples, value);
}

inline QImage grabImage(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The measurement yellow, over whatever lies beneath.
inline bool isYellowish(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) > 150 && qBlue(c) + 60 < qRed(c) && qBlue(c) + 60 < qGreen(c);
}

// Bounding box and count of the pixels in `area` for which `pred` holds.
template <typename Pred>
QRect inkBox(const QImage &img, const QRect &area, Pred pred, int *count = nullptr)
{
    QRect box;
    int n = 0;
    const QRect a = area.intersected(img.rect());
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left(); x <= a.right(); ++x) {
            if (pred(img.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
                ++n;
            }
        }
    }
    if (count)
        *count = n;
    return box;
}

template <typename Pred>
int countPixels(const QImage &img, const QRect &area, Pred pred)
{
    int n = 0;
    inkBox(img, area, pred, &n);
    return n;
}

// A scan area that draws the live lines the straightforward way: every line again,
// point by point, on every paint.
class ReferenceScanArea : public ScanArea
{
protected:
    void paintLiveLines(QPainter &painter) override
    {
        const auto &lines = scanLines();
        const int ph = plotHeight();
        int lastX = leftMargin;
        for (int i = 0; i < lines.size(); ++i) {
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(lastX + 1, topMargin, lastX + 1, topMargin + ph);
            const int x = leftMargin + (plotWidth() * i) / (CalvimetroProtocol::maxScanLines - 1);
            const int shown = CalvimetroProtocol::liveLineSamples * deepness / 100;
            if (x == lastX || shown < 1)
                continue;
            for (int j = 0; j < shown && j < lines[i].size(); ++j) {
                const uchar s = lines[i][j];
                painter.setPen(blackWhite ? QColor(s, s, s) : value2Color(s));
                painter.drawPoint(x, topMargin + (j * ph) / shown);
            }
            lastX = x;
        }
        if (lastX != leftMargin) {
            painter.setPen(QPen(Qt::red, 1));
            painter.drawLine(lastX + 1, topMargin, lastX + 1, topMargin + ph);
        }
    }
};

// True when the caption strip above the plot of `grabbed` is exactly `text` drawn in
// the caption's font and colour over the widget background.
inline bool captionShows(const ScanArea &area, const QImage &grabbed, const QString &text)
{
    const QRect region(area.leftMargin, 0, grabbed.width() - area.leftMargin - area.rightMargin, area.topMargin - 3);
    QImage expected(grabbed.size(), QImage::Format_RGB32);
    expected.fill(grabbed.pixel(0, 0));
    QPainter p(&expected);
    QFont font = area.font();
    font.setPointSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(108, 140, 255));
    p.drawText(QRect(0, 0, grabbed.width(), area.topMargin), Qt::AlignCenter, text);
    p.end();
    return grabbed.copy(region) == expected.copy(region);
}

}  // namespace ScanTest
