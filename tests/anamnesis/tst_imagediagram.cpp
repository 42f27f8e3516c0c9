#include "TestMain.h"

#include "anamnesis/ImageDiagram.h"

#include <QApplication>
#include <QCursor>
#include <QSignalSpy>

#include <memory>

namespace {

// 380 x 270 shows the 720 x 540 body picture at half size, 10 pixels from the left.
const QSize halfSize(380, 270);

bool isMarkRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
}

// The thin antialiased arrows blend the mark colour with the picture.
bool isReddish(QRgb pixel)
{
    return qRed(pixel) > 200 && qRed(pixel) - qGreen(pixel) > 80 && qRed(pixel) - qBlue(pixel) > 80;
}

bool isHighlight(QRgb pixel)
{
    return qRed(pixel) > 190 && qGreen(pixel) > 120 && qGreen(pixel) < 210 && qBlue(pixel) > 200;
}

int countPixels(const QImage &image, const QRect &area, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

// The length of a line mark's extent, for comparisons of its two ends.
QPointF lineEnd(const QRectF &line)
{
    return line.topLeft() + QPointF(line.width(), line.height());
}

}  // namespace

class ImageDiagramTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ImageDiagram> m_diagram;

    ImageDiagram *showDiagram(const QSize &size = halfSize)
    {
        m_diagram = std::make_unique<ImageDiagram>();
        m_diagram->resize(size);
        m_diagram->show();
        if (!QTest::qWaitForWindowExposed(m_diagram.get()))
            return nullptr;
        m_diagram->repaint();
        return m_diagram.get();
    }

    void press(const QPoint &at) { QTest::mousePress(m_diagram.get(), Qt::LeftButton, Qt::NoModifier, at); }
    void move(const QPoint &to) { QTest::mouseMove(m_diagram.get(), to); }
    void release(const QPoint &at) { QTest::mouseRelease(m_diagram.get(), Qt::LeftButton, Qt::NoModifier, at); }
    void click(const QPoint &at)
    {
        press(at);
        release(at);
    }

private slots:
    void cleanup()
    {
        m_diagram.reset();
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    void distanceToASegment()
    {
        // Beside the segment: the perpendicular distance.
        QCOMPARE(distanceFromLine(5, 3, 0, 0, 10, 0), 3.0);
        // Before the start and past the end: the distance to that end.
        QCOMPARE(distanceFromLine(-3, 4, 0, 0, 10, 0), 5.0);
        QCOMPARE(distanceFromLine(13, -4, 0, 0, 10, 0), 5.0);
        // A segment of no length is its start point.
        QCOMPARE(distanceFromLine(4, 3, 1, -1, 1, -1), 5.0);
        // A slanted segment: (0, 10) is 10 / sqrt(2) from the diagonal.
        QVERIFY(qAbs(distanceFromLine(0, 10, 0, 0, 10, 10) - 10.0 / std::sqrt(2.0)) < 1e-9);
        // On the segment itself.
        QCOMPARE(distanceFromLine(7, 7, 0, 0, 10, 10), 0.0);
    }

    void mappingFollowsThePaint()
    {
        ImageDiagram fresh;
        QCOMPARE(fresh.image.size(), QSize(720, 540));
        QVERIFY(fresh.hasMouseTracking());
        // Before any paint the mapping is the identity.
        QCOMPARE(fresh.getRealPos(QPointF(12, 34)), QPointF(12, 34));

        ImageDiagram *d = showDiagram();
        QVERIFY(d);
        QCOMPARE(d->scale, 2.0);
        QCOMPARE(d->origin, QPoint(10, 0));
        QCOMPARE(d->getRealPos(QPointF(110, 50)), QPointF(200, 100));
        QCOMPARE(d->getScreenPos(QPointF(200, 100)), QPointF(110, 50));

        // Taller than wide: centred vertically, integer halves.
        d->resize(240, 301);
        d->repaint();
        QCOMPARE(d->scale, 3.0);
        QCOMPARE(d->origin, QPoint(0, (301 - 180) / 2));

        const QImage shot = d->grab().toImage();
        QCOMPARE(shot.pixelColor(5, 5), ImageDiagram::backgroundColor);
    }

    void clickAddsAPointAndDragAddsAnArrow()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);
        QSignalSpy changed(d, &ImageDiagram::onMarksChanged);

        click(QPoint(110, 50));
        QCOMPARE(d->marks, QList<QPointF>({QPointF(200, 100)}));
        QVERIFY(d->lines.isEmpty());
        QCOMPARE(changed.count(), 1);

        // Three pixels of travel is still a click: a point where the button came up.
        press(QPoint(200, 150));
        move(QPoint(203, 150));
        QVERIFY(d->pressed);
        QCOMPARE(d->dragPos, QPointF(203, 150));
        QCOMPARE(d->dragDelta, QPointF(-3, 0));
        release(QPoint(203, 150));
        QCOMPARE(d->marks.size(), 2);
        QCOMPARE(d->marks.last(), QPointF(386, 300));
        QVERIFY(d->lines.isEmpty());
        QVERIFY(!d->pressed);

        // Four pixels on one axis make a drag: an arrow from the press to the release.
        press(QPoint(250, 100));
        move(QPoint(252, 102));
        move(QPoint(250, 104));
        release(QPoint(250, 104));
        QCOMPARE(d->marks.size(), 2);
        QCOMPARE(d->lines.size(), 1);
        QCOMPARE(d->lines.first().topLeft(), QPointF(480, 200));
        QCOMPARE(lineEnd(d->lines.first()), QPointF(480, 208));

        // Leftwards and upwards: the extent is negative and the direction is kept.
        press(QPoint(300, 200));
        move(QPoint(280, 180));
        release(QPoint(280, 180));
        QCOMPARE(d->lines.size(), 2);
        QCOMPARE(d->lines.last().topLeft(), QPointF(580, 400));
        QCOMPARE(lineEnd(d->lines.last()), QPointF(540, 360));
        QCOMPARE(changed.count(), 4);

        // The arrows are drawn: red along the first one's shaft and at its head.
        d->repaint();
        const QImage shot = d->grab().toImage();
        QVERIFY(countPixels(shot, QRect(288, 188, 5, 5), isReddish) >= 5);
        QVERIFY(countPixels(shot, QRect(106, 46, 9, 9), isMarkRed) > 10);  // the cross of the first point
    }

    void outsideThePicture()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);
        QSignalSpy changed(d, &ImageDiagram::onMarksChanged);

        // Left of the picture (x 0..9 is background): nothing is added.
        click(QPoint(5, 100));
        QVERIFY(d->marks.isEmpty());

        // A drag that leaves the picture is cancelled, even if it comes back in.
        press(QPoint(100, 100));
        move(QPoint(60, 100));
        QVERIFY(d->pressed);
        move(QPoint(4, 100));
        QVERIFY(!d->pressed);
        QCOMPARE(d->cursor().shape(), Qt::ArrowCursor);
        move(QPoint(60, 100));
        QCOMPARE(d->cursor().shape(), Qt::CrossCursor);
        release(QPoint(60, 100));

        // A press outside followed by a release inside, far away, is no arrow either.
        press(QPoint(4, 150));
        release(QPoint(80, 150));
        QVERIFY(d->marks.isEmpty());
        QVERIFY(d->lines.isEmpty());
        QCOMPARE(changed.count(), 0);

        // The picture's own edge (picture x 0) is outside too.
        click(QPoint(10, 100));
        QVERIFY(d->marks.isEmpty());
        click(QPoint(11, 100));
        QCOMPARE(d->marks, QList<QPointF>({QPointF(2, 200)}));
    }

    void clicksOnMarksRemoveThem()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);

        // 8 picture pixels away (4 on screen at this size) still hits the point.
        d->marks = {QPointF(200, 100)};
        click(QPoint(114, 54));
        QVERIFY(d->marks.isEmpty());
        QVERIFY(d->lines.isEmpty());

        // 10 picture pixels away misses it: a second point.
        d->marks = {QPointF(200, 100)};
        click(QPoint(115, 50));
        QCOMPARE(d->marks, QList<QPointF>({QPointF(200, 100), QPointF(210, 100)}));

        // Only the first point within reach goes.
        d->marks = {QPointF(200, 100), QPointF(204, 100)};
        click(QPoint(111, 50));
        QCOMPARE(d->marks, QList<QPointF>({QPointF(204, 100)}));

        // One click on a point lying on a line takes both away and adds nothing.
        d->marks = {QPointF(300, 300)};
        d->lines = {QRectF(QPointF(250, 250), QPointF(350, 350))};
        click(QPoint(160, 150));
        QVERIFY(d->marks.isEmpty());
        QVERIFY(d->lines.isEmpty());

        // A slanted line is hit near its body but not beyond its end.
        d->lines = {QRectF(QPointF(100, 100), QPointF(200, 200))};
        click(QPoint(125, 100));  // picture (230, 200): 30 past the end
        QCOMPARE(d->lines.size(), 1);
        QCOMPARE(d->marks.size(), 1);
        d->marks.clear();
        click(QPoint(87, 73));  // picture (154, 146): on the line
        QVERIFY(d->lines.isEmpty());
        QVERIFY(d->marks.isEmpty());
    }

    void straightLinesAreHitBeyondTheirEnds()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);

        // A vertical line from (200, 100) to (200, 150), clicked far below its end.
        d->lines = {QRectF(QPointF(200, 100), QPointF(200, 150))};
        click(QPoint(113, 200));  // picture (206, 400)
        QVERIFY(d->lines.isEmpty());
        QVERIFY(d->marks.isEmpty());

        d->lines = {QRectF(QPointF(200, 100), QPointF(200, 150))};
        click(QPoint(115, 200));  // picture (210, 400): 10 to the side
        QCOMPARE(d->lines.size(), 1);
        QCOMPARE(d->marks, QList<QPointF>({QPointF(210, 400)}));

        // A horizontal one, clicked far to its right.
        d->marks.clear();
        d->lines = {QRectF(QPointF(100, 300), QPointF(140, 300))};
        click(QPoint(300, 146));  // picture (580, 292)
        QVERIFY(d->lines.isEmpty());
        QVERIFY(d->marks.isEmpty());

        // Ends are compared as whole pixels: 200.4 and 200.9 make a vertical line.
        d->lines = {QRectF(QPointF(200.4, 10), QPointF(200.9, 20))};
        click(QPoint(114, 250));  // picture (208, 500)
        QVERIFY(d->lines.isEmpty());
    }

    void hoverShowsWhatAClickWouldRemove()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);
        d->marks = {QPointF(200, 100)};
        d->lines = {QRectF(QPointF(400, 300), QPointF(600, 300))};
        d->repaint();
        const QImage before = d->grab().toImage();
        const QRect lineArea(205, 146, 90, 9);
        const QRect pointArea(104, 44, 13, 13);

        move(QPoint(111, 51));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkPoint));
        QCOMPARE(d->hoverIndex, 0);
        QVERIFY(QApplication::overrideCursor());
        d->repaint();
        const QImage pointHover = d->grab().toImage();
        QVERIFY(countPixels(pointHover, pointArea, isHighlight) > countPixels(before, pointArea, isHighlight) + 5);

        move(QPoint(250, 152));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkLine));
        QCOMPARE(d->hoverIndex, 0);
        QVERIFY(QApplication::overrideCursor());
        d->repaint();
        const QImage lineHover = d->grab().toImage();
        QVERIFY(countPixels(lineHover, lineArea, isHighlight) > countPixels(before, lineArea, isHighlight) + 50);
        QVERIFY(countPixels(lineHover, pointArea, isHighlight) <= countPixels(before, pointArea, isHighlight));

        // Away from both: no highlight, the ordinary cross cursor, no override.
        move(QPoint(60, 200));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkNothing));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(d->cursor().shape(), Qt::CrossCursor);
        d->repaint();
        const QImage after = d->grab().toImage();
        QCOMPARE(countPixels(after, lineArea, isHighlight), countPixels(before, lineArea, isHighlight));

        // The override goes with the widget.
        move(QPoint(111, 51));
        QVERIFY(QApplication::overrideCursor());
        m_diagram.reset();
        QVERIFY(!QApplication::overrideCursor());
    }

    void marksStayOnTheBodyWhenResized()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);
        click(QPoint(190, 135));  // picture (360, 270): the middle of the body
        QCOMPARE(d->marks, QList<QPointF>({QPointF(360, 270)}));
        QVERIFY(countPixels(d->grab().toImage(), QRect(188, 133, 5, 5), isMarkRed) > 5);

        // Twice as big and wider: the mark moves with the picture on screen.
        d->resize(800, 540);
        d->repaint();
        QCOMPARE(d->scale, 1.0);
        QCOMPARE(d->origin, QPoint(40, 0));
        QCOMPARE(d->marks, QList<QPointF>({QPointF(360, 270)}));
        QCOMPARE(d->getScreenPos(d->marks.first()), QPointF(400, 270));
        const QImage big = d->grab().toImage();
        QVERIFY(countPixels(big, QRect(398, 268, 5, 5), isMarkRed) > 5);
        QCOMPARE(countPixels(big, QRect(188, 133, 5, 5), isMarkRed), 0);

        // And it is still hit where it now shows.
        click(QPoint(403, 266));
        QVERIFY(d->marks.isEmpty());

        // An arrow drawn at this size lands on the same body places at another.
        press(QPoint(140, 100));
        move(QPoint(240, 200));
        release(QPoint(240, 200));
        QCOMPARE(d->lines.first().topLeft(), QPointF(100, 100));
        QCOMPARE(lineEnd(d->lines.first()), QPointF(200, 200));
        d->resize(halfSize);
        d->repaint();
        click(QPoint(85, 75));  // picture (150, 150): on the arrow
        QVERIFY(d->lines.isEmpty());
    }

    void readOnlyIgnoresTheMouse()
    {
        ImageDiagram *d = showDiagram();
        QVERIFY(d);
        d->marks = {QPointF(200, 100)};
        d->lines = {QRectF(QPointF(400, 300), QPointF(600, 300))};
        d->readOnly = true;
        QSignalSpy changed(d, &ImageDiagram::onMarksChanged);
        const Qt::CursorShape shape = d->cursor().shape();

        click(QPoint(111, 51));             // on the point
        click(QPoint(250, 152));            // on the line
        click(QPoint(60, 200));             // on empty picture
        press(QPoint(60, 200));
        move(QPoint(90, 230));
        release(QPoint(90, 230));           // a drag
        move(QPoint(111, 51));              // hovering the point

        QCOMPARE(d->marks, QList<QPointF>({QPointF(200, 100)}));
        QCOMPARE(d->lines.size(), 1);
        QVERIFY(!d->pressed);
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkNothing));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(d->cursor().shape(), shape);
        QCOMPARE(changed.count(), 0);

        // Editable again: the same click removes the point.
        d->readOnly = false;
        click(QPoint(111, 51));
        QVERIFY(d->marks.isEmpty());
    }
};

CALVESTRA_TEST_MAIN(ImageDiagramTest)
#include "tst_imagediagram.moc"
