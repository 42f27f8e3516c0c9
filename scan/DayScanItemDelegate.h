#pragma once

#include <QSize>
#include <QString>
#include <QStyledItemDelegate>

class DayScan;

// Paints a DayScan as a thumbnail: its picture scaled into the cell (or "loading..."
// until it has arrived, a short failure text when it cannot be had) and, below it, a caption with the zone and the time of the scan.
class DayScanItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    DayScanItemDelegate(QSize cellSize, bool showCaption, QObject *parent = nullptr);

    QSize cellSize;
    bool showCaption = true;
    bool showZone = true;
    bool showTime = true;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The caption under a thumbnail: "zone [hh:mm.ss]"; with the zone alone, the file name.
    QString captionText(const QString &fileName) const;
    // Where paint puts the picture and the caption inside the item rectangle.
    QRect pictureRect(const QRect &itemRect, const QSize &pictureSize) const;
    static QRect captionRect(const QRect &itemRect);
};
