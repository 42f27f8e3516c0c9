#include "scan/DayScanItemDelegate.h"

#include "scan/DayScan.h"
#include "scan/ScanLog.h"
#include "store/ScanFileNames.h"

#include <QPainter>

DayScanItemDelegate::DayScanItemDelegate(QSize cellSize, bool showCaption, QObject *parent)
    : QStyledItemDelegate(parent)
    , cellSize(cellSize)
    , showCaption(showCaption)
{
}

QSize DayScanItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return cellSize;
}

QString DayScanItemDelegate::captionText(const QString &fileName) const
{
    const ParsedScanName parsed = parseVQFile(fileName);
    const QString time = QStringLiteral("[") + parsed.time.toString(QStringLiteral("hh:mm.ss")) + QStringLiteral("]");
    if (showZone && showTime)
        return parsed.zone + QStringLiteral(" ") + time;
    if (showZone)
        return parsed.fileName;
    if (showTime)
        return time;
    return QString();
}

QRect DayScanItemDelegate::pictureRect(const QRect &itemRect, const QSize &pictureSize) const
{
    const QSize box(cellSize.width() - 10, cellSize.height() - 38);
    const QSize scaled = pictureSize.scaled(box, Qt::KeepAspectRatio);
    return QRect(itemRect.left() + 5, itemRect.top() + 4, scaled.width(), scaled.height());
}

QRect DayScanItemDelegate::captionRect(const QRect &itemRect)
{
    return QRect(QPoint(itemRect.left() + 5, itemRect.bottom() - 31), QPoint(itemRect.right() - 5, itemRect.bottom() - 4));
}

void DayScanItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    DayScan *scan = index.data(Qt::DisplayRole).value<DayScan *>();
    if (!scan) {
        qCDebug(lcScan).noquote() << "no data, ::paint";
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QRect r = option.rect;
    painter->save();
    painter->fillRect(r, (option.state & QStyle::State_Selected) ? option.palette.highlight() : QBrush(Qt::white));

    if (scan->imageFailed) {
        const QRect band(r.left() + 5, r.top() + r.height() / 2 - 20, r.width() - 10, 20);
        painter->setPen(Qt::darkRed);
        painter->drawText(band, Qt::AlignCenter, tr("Immagine non disponibile"));
    } else if (!scan->image || scan->image->isNull()) {
        const int middle = r.top() + r.height() / 2 - 20;
        const QRect band(r.left() + 5, middle, r.width() - 10, 20);
        painter->setPen(Qt::black);
        painter->drawText(band, Qt::AlignCenter, tr("loading..."));
        painter->setBrush(Qt::black);
        const int y = band.bottom() + 6;
        const int x = r.left() + r.width() / 2;
        for (int k = -1; k <= 1; ++k)
            painter->drawEllipse(QPoint(x + 8 * k, y), 2, 2);
    } else {
        painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
        const QRect target = pictureRect(r, scan->image->size());
        painter->drawImage(target.topLeft(),
                           scan->image->scaled(target.size(), Qt::KeepAspectRatio, Qt::FastTransformation));
    }

    if (showCaption) {
        painter->setPen((option.state & QStyle::State_Selected) ? option.palette.highlightedText().color()
                                                                 : QColor(Qt::black));
        painter->drawText(captionRect(r), Qt::AlignCenter | Qt::TextWordWrap, captionText(scan->fileName));
    }
    painter->restore();
}
