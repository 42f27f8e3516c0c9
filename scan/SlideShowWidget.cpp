#include "scan/SlideShowWidget.h"

#include <QPainter>

SlideShowWidget::SlideShowWidget(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

QImage SlideShowWidget::currentImage() const
{
    return index >= 0 && index < images.size() ? images.at(index) : QImage();
}

QString SlideShowWidget::currentTitle() const
{
    return index >= 0 && index < titles.size() ? titles.at(index) : QString();
}

QRect SlideShowWidget::pictureRect() const
{
    const QImage picture = currentImage();
    if (picture.isNull())
        return QRect();
    const QSize size = picture.size().scaled(this->size(), Qt::KeepAspectRatio);
    // Centred in the widget.
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void SlideShowWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QImage picture = currentImage();
    if (picture.isNull())
        return;
    const QRect target = pictureRect();
    painter.drawImage(target.topLeft(), picture.scaled(target.size(), Qt::KeepAspectRatio, Qt::FastTransformation));
}
