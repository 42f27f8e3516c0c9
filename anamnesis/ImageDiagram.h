#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QWidget>

class QPainter;

// Distance from the point (px, py) to the segment from (x1, y1) to (x2, y2).
double distanceFromLine(double px, double py, double x1, double y1, double x2, double y2);

// The drawing of the human body on which an anamnesis is marked: a click puts a point
// (a cross), a drag draws an arrow, a click on an existing mark removes it. Marks are
// kept in pixels of the body picture, so they stay on the body when the widget is
// resized; the screen mapping (origin, scale) is the one of the last paint.
class ImageDiagram : public QWidget
{
    Q_OBJECT

public:
    explicit ImageDiagram(QWidget *parent = nullptr);
    ~ImageDiagram() override;

    enum HoverKind { hkNothing = 0, hkPoint = 1, hkLine = 2 };

    // How close, in picture pixels, a click must be to hit a mark.
    static constexpr int hitTolerance = 8;
    // How far, in screen pixels, the pointer must travel on either axis to make a drag.
    static constexpr int dragThreshold = 4;

    static const QColor backgroundColor;
    static const QColor pictureAreaColor;
    static const QColor markColor;
    static const QColor highlightColor;

    QImage image;
    // Read and written by the form, which asks for a repaint after changing them.
    QList<QPointF> marks;
    QList<QRectF> lines;  // start point and extent; the end is (x + width, y + height)
    QPoint origin;        // picture's top-left corner on screen, set by every paint
    double scale = 1.0;   // picture pixels per screen pixel, set by every paint
    QPointF pressPos;
    QPointF dragPos;
    QPointF dragDelta;
    bool pressed = false;
    bool readOnly = false;
    int hoverKind = hkNothing;
    int hoverIndex = 0;

    QPointF getRealPos(const QPointF &screen) const;
    QPointF getScreenPos(const QPointF &real) const;
    bool isOverLine(const QPointF &p, const QPointF &a, const QPointF &b, int tolerance) const;
    // One arrow with its head at p1, pointing away from p2. Leaves the pen and brush set.
    void drawArrow(QPainter &painter, const QPointF &p1, const QPointF &p2);
    void drawArrow(QPainter &painter, const QPointF &p1, const QPointF &p2, const QColor &color, qreal width);

    // Index of the first point mark, or line mark, within reach of a picture position; -1 if none.
    int pointAt(const QPointF &real) const;
    int lineAt(const QPointF &real) const;

signals:
    // The operator added or removed a mark.
    void onMarksChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    static QPointF roundedPos(const QPointF &position);
    bool isInsidePicture(const QPointF &real) const;
    void setRemoveCursor(bool on);

    // The remove cursor is an application override: only the one set here is taken back.
    bool m_removeCursor = false;
    QImage m_scaled;
    QSize m_scaledFor;
};
