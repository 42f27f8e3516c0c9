// Reading a scan widget's picture back: its pixels, where a kind of ink lies, and whether the
// caption strip shows a given text.
#pragma once

#include "scan/ScanArea.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

inline QImage grab(QWidget &w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

template <typename Pred>
inline QRect inkBox(const QImage &img, const QRect &area, Pred pred, int *count = nullptr)
{
    QRect box;
    const QRect a = area.intersected(img.rect());
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left(); x <= a.right(); ++x) {
            if (pred(img.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
                count && ++*count;
            }
        }
    }
    return box;
}

template <typename Pred>
inline int countPixels(const QImage &img, const QRect &area, Pred pred) { int n = 0; inkBox(img, area, pred, &n); return n; }

inline bool captionShows(const ScanArea &area, const QImage &grabbed, const QString &text)
{
    QImage expected(grabbed.size(), QImage::Format_RGB32);
    expected.fill(grabbed.pixel(0, 0));
    QPainter p(&expected);
    QFont font = area.font();
    font.setPointSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(108, 140, 255));
    p.drawText(QRect(0, 0, grabbed.width(), area.topMargin), Qt::AlignCenter, text);
    const QRect strip(area.leftMargin, 0, grabbed.width() - area.leftMargin - area.rightMargin, area.topMargin - 3);
    return grabbed.copy(strip) == expected.copy(strip);
}
