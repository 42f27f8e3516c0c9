#include "anamnesis/ImageDiagram.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>
#include <cstdlib>

const QColor ImageDiagram::backgroundColor(250, 250, 250, 255);
const QColor ImageDiagram::pictureAreaColor(50, 50, 50, 255);
const QColor ImageDiagram::markColor(255, 0, 0, 245);
const QColor ImageDiagram::highlightColor(235, 165, 255, 245);

double distanceFromLine(double px, double py, double x1, double y1, double x2, double y2)
{
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double n = dx * dx + dy * dy;
    double nearestX = x1;
    double nearestY = y1;
    if (n != 0.0) {
        const double t = ((px - x1) * dx + (py - y1) * dy) / n;
        if (t > 1.0) {
            nearestX = x2;
            nearestY = y2;
        } else if (t >= 0.0) {
            nearestX = x1 + t * dx;
            nearestY = y1 + t * dy;
        }
    }
    return std::hypot(px - nearestX, py - nearestY);
}

ImageDiagram::ImageDiagram(QWidget *parent)
    : QWidget(parent)
    , image(QStringLiteral(":/images/body-diagram"))
{
    setMouseTracking(true);
}

ImageDiagram::~ImageDiagram()
{
    setRemoveCursor(false);
}

QPointF ImageDiagram::getRealPos(const QPointF &screen) const
{
    return (screen - QPointF(origin)) * scale;
}

QPointF ImageDiagram::getScreenPos(const QPointF &real) const
{
    return real / scale + QPointF(origin);
}

bool ImageDiagram::isOverLine(const QPointF &p, const QPointF &a, const QPointF &b, int tolerance) const
{
    // Whole picture pixels, as the marks are placed.
    const int px = int(p.x());
    const int py = int(p.y());
    const int ax = int(a.x());
    const int ay = int(a.y());
    const int bx = int(b.x());
    const int by = int(b.y());
    if (ax == bx)
        return std::abs(px - ax) <= tolerance;
    if (ay == by)
        return std::abs(py - ay) <= tolerance;
    return distanceFromLine(px, py, ax, ay, bx, by) <= tolerance;
}

int ImageDiagram::pointAt(const QPointF &real) const
{
    for (int i = 0; i < marks.size(); ++i) {
        const QPointF &mark = marks.at(i);
        if (std::abs(real.x() - mark.x()) <= hitTolerance && std::abs(real.y() - mark.y()) <= hitTolerance)
            return i;
    }
    return -1;
}

int ImageDiagram::lineAt(const QPointF &real) const
{
    for (int i = 0; i < lines.size(); ++i) {
        const QRectF &line = lines.at(i);
        if (isOverLine(real, line.topLeft(), line.topLeft() + QPointF(line.width(), line.height()), hitTolerance))
            return i;
    }
    return -1;
}

QPointF ImageDiagram::roundedPos(const QPointF &position)
{
    // std::round takes halves away from zero.
    return QPointF(std::round(position.x()), std::round(position.y()));
}

bool ImageDiagram::isInsidePicture(const QPointF &real) const
{
    return real.x() > 0 && real.y() > 0 && real.x() < image.width() && real.y() < image.height();
}

void ImageDiagram::setRemoveCursor(bool on)
{
    if (on == m_removeCursor)
        return;
    m_removeCursor = on;
    if (on) {
        const QPixmap pixmap(QStringLiteral(":/icons/remove"));
        QApplication::setOverrideCursor(QCursor(pixmap, pixmap.width() / 2, pixmap.height() / 2));
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void ImageDiagram::mousePressEvent(QMouseEvent *event)
{
    if (readOnly)
        return;
    const QPointF position = roundedPos(event->position());
    if (isInsidePicture(getRealPos(position))) {
        pressPos = position;
        pressed = true;
    } else {
        pressed = false;
    }
}

void ImageDiagram::mouseMoveEvent(QMouseEvent *event)
{
    if (readOnly)
        return;
    setRemoveCursor(false);
    hoverKind = hkNothing;
    hoverIndex = 0;

    const QPointF position = roundedPos(event->position());
    const QPointF real = getRealPos(position);
    if (!isInsidePicture(real)) {
        pressed = false;
        setCursor(Qt::ArrowCursor);
        return;
    }
    setCursor(Qt::CrossCursor);

    if (pressed && position != pressPos) {
        dragPos = position;
        dragDelta = pressPos - position;
    } else {
        const int point = pointAt(real);
        if (point >= 0) {
            hoverKind = hkPoint;
            hoverIndex = point;
        } else {
            const int line = lineAt(real);
            if (line >= 0) {
                hoverKind = hkLine;
                hoverIndex = line;
            }
        }
        if (hoverKind != hkNothing)
            setRemoveCursor(true);
    }
    update();
}

void ImageDiagram::mouseReleaseEvent(QMouseEvent *event)
{
    if (readOnly)
        return;
    const QPointF position = roundedPos(event->position());
    const QPointF real = getRealPos(position);
    bool changed = false;
    if (isInsidePicture(real)) {
        const QPointF travel = position - pressPos;
        const bool drag = std::abs(travel.x()) >= dragThreshold || std::abs(travel.y()) >= dragThreshold;
        if (drag) {
            if (pressed) {
                lines.append(QRectF(getRealPos(pressPos), real));
                changed = true;
            }
        } else {
            // One click may take away a point and a line together.
            const int point = pointAt(real);
            if (point >= 0)
                marks.removeAt(point);
            const int line = lineAt(real);
            if (line >= 0)
                lines.removeAt(line);
            if (point < 0 && line < 0)
                marks.append(real);
            changed = true;
            if (point >= 0 || line >= 0) {
                // What was under the pointer is gone.
                hoverKind = hkNothing;
                hoverIndex = 0;
                setRemoveCursor(false);
            }
        }
    }
    pressed = false;
    update();
    if (changed)
        emit onMarksChanged();
}

void ImageDiagram::leaveEvent(QEvent *event)
{
    // A fast move out of the widget skips the move that would restore the cursor.
    setRemoveCursor(false);
    QWidget::leaveEvent(event);
}

void ImageDiagram::hideEvent(QHideEvent *event)
{
    setRemoveCursor(false);
    QWidget::hideEvent(event);
}

void ImageDiagram::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor);
    if (image.isNull() || width() <= 0 || height() <= 0)
        return;

    if (m_scaledFor != size() || m_scaled.isNull()) {
        m_scaled = image.scaled(size(), Qt::KeepAspectRatio, Qt::FastTransformation);
        m_scaledFor = size();
    }
    if (m_scaled.width() <= 0 || m_scaled.height() <= 0)
        return;
    scale = double(image.width()) / double(m_scaled.width());
    origin = QPoint((width() - m_scaled.width()) / 2, (height() - m_scaled.height()) / 2);
    painter.fillRect(QRect(origin, m_scaled.size()), pictureAreaColor);
    painter.drawImage(origin, m_scaled);

    QPen pen(markColor, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    for (int i = 0; i < marks.size(); ++i) {
        pen.setColor(hoverKind == hkPoint && hoverIndex == i ? highlightColor : markColor);
        painter.setPen(pen);
        const QPointF s = getScreenPos(marks.at(i));
        const int x = int(s.x());
        const int y = int(s.y());
        painter.drawLine(x - 4, y - 4, x + 4, y + 4);
        painter.drawLine(x - 4, y + 4, x + 4, y - 4);
    }

    for (int i = 0; i < lines.size(); ++i) {
        const QRectF &line = lines.at(i);
        const QPointF start = getScreenPos(line.topLeft());
        const QPointF end = getScreenPos(line.topLeft() + QPointF(line.width(), line.height()));
        if (hoverKind == hkLine && hoverIndex == i)
            drawArrow(painter, end, start, highlightColor, 3);
        else
            drawArrow(painter, end, start);
    }

    if (pressed)
        drawArrow(painter, dragPos, dragPos + dragDelta);
}

void ImageDiagram::drawArrow(QPainter &painter, const QPointF &p1, const QPointF &p2)
{
    drawArrow(painter, p1, p2, markColor, 1);
}

void ImageDiagram::drawArrow(QPainter &painter, const QPointF &p1, const QPointF &p2, const QColor &color,
                             qreal width)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(color, width));
    painter.setBrush(QBrush(color, Qt::SolidPattern));
    painter.drawLine(p1, p2);

    const double a = std::atan2(p1.y() - p2.y(), p2.x() - p1.x());
    const double third = M_PI / 3.0;
    const QPointF c1 = p1 + 10.0 * QPointF(std::sin(a + third), std::cos(a + third));
    const QPointF c2 = p1 + 10.0 * QPointF(std::sin(a + M_PI - third), std::cos(a + M_PI - third));
    QPolygonF head;
    head << p1 << c1 << c2;
    painter.drawPolygon(head, Qt::OddEvenFill);
}
