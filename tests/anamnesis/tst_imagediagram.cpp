#include "TestMain.h"

#include "anamnesis/ImageDiagram.h"

#include <QSignalSpy>

#include <memory>
#include <tuple>

// The body diagram editor driven with the mouse. At 380 x 270 the 720 x 540 picture shows
// at half size, 10 pixels from the left: picture = (screen - (10, 0)) * 2.

namespace {

using Points = QList<QPointF>;
using Lines = QList<QRectF>;
using Path = QList<QPoint>;  // press, moves, release; a single point is a click

QRectF line(double x1, double y1, double x2, double y2)
{
    return QRectF(QPointF(x1, y1), QPointF(x2, y2));
}

int count(const QImage &image, const QRect &area, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// The thin antialiased arrows blend the mark colour with the picture.
bool red(QRgb p)
{
    return qRed(p) > 200 && qRed(p) - qGreen(p) > 80 && qRed(p) - qBlue(p) > 80;
}

bool highlight(QRgb p)
{
    return qRed(p) > 190 && qGreen(p) > 120 && qGreen(p) < 210 && qBlue(p) > 200;
}

}  // namespace

class ImageDiagramTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ImageDiagram> m_diagram;

    ImageDiagram *show()
    {
        m_diagram = std::make_unique<ImageDiagram>();
        m_diagram->resize(380, 270);
        m_diagram->show();
        if (!QTest::qWaitForWindowExposed(m_diagram.get()))
            return nullptr;
        m_diagram->repaint();
        return m_diagram.get();
    }
    void gesture(const Path &path)
    {
        QTest::mousePress(m_diagram.get(), Qt::LeftButton, Qt::NoModifier, path.first());
        for (qsizetype i = 1; i + 1 < path.size(); ++i)
            QTest::mouseMove(m_diagram.get(), path[i]);
        QTest::mouseRelease(m_diagram.get(), Qt::LeftButton, Qt::NoModifier, path.last());
    }

private slots:
    void cleanup() { m_diagram.reset(); }

    void gestures_data()
    {
        QTest::addColumn<Points>("marks");
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<Path>("path");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<Points>("marksAfter");
        QTest::addColumn<Lines>("linesAfter");
        const Lines slanted{line(100, 100, 200, 200)};
        const Lines vertical{line(200, 100, 200, 150)};
        QTest::newRow("click puts a point") << Points() << Lines() << Path{{110, 50}} << false << Points{{200, 100}} << Lines();
        QTest::newRow("3 px of travel is a click, where the button came up")
            << Points() << Lines() << Path{{200, 150}, {203, 150}, {203, 150}} << false << Points{{386, 300}} << Lines();
        QTest::newRow("4 px make an arrow") << Points() << Lines() << Path{{250, 100}, {252, 102}, {250, 104}, {250, 104}}
                                            << false << Points() << Lines{line(480, 200, 480, 208)};
        QTest::newRow("an arrow keeps its direction") << Points() << Lines() << Path{{300, 200}, {280, 180}, {280, 180}}
                                                      << false << Points() << Lines{line(580, 400, 540, 360)};
        QTest::newRow("left of the picture") << Points() << Lines() << Path{{5, 100}} << false << Points() << Lines();
        QTest::newRow("the picture's own edge") << Points() << Lines() << Path{{10, 100}} << false << Points() << Lines();
        QTest::newRow("just inside") << Points() << Lines() << Path{{11, 100}} << false << Points{{2, 200}} << Lines();
        QTest::newRow("a drag that leaves the picture is cancelled")
            << Points() << Lines() << Path{{100, 100}, {60, 100}, {4, 100}, {60, 100}, {60, 100}} << false << Points() << Lines();
        QTest::newRow("pressed outside, released inside") << Points() << Lines() << Path{{4, 150}, {80, 150}} << false
                                                          << Points() << Lines();
        QTest::newRow("8 px from a point removes it") << Points{{200, 100}} << Lines() << Path{{114, 54}} << false
                                                      << Points() << Lines();
        QTest::newRow("10 px from a point misses it") << Points{{200, 100}} << Lines() << Path{{115, 50}} << false
                                                      << Points{{200, 100}, {210, 100}} << Lines();
        QTest::newRow("only the first point in reach") << Points{{200, 100}, {204, 100}} << Lines() << Path{{111, 50}}
                                                       << false << Points{{204, 100}} << Lines();
        QTest::newRow("a point on a line: both go") << Points{{300, 300}} << Lines{line(250, 250, 350, 350)}
                                                    << Path{{160, 150}} << false << Points() << Lines();
        QTest::newRow("slanted line hit") << Points() << slanted << Path{{87, 73}} << false << Points() << Lines();
        QTest::newRow("slanted line, past its end") << Points() << slanted << Path{{121, 109}} << false
                                                    << Points{{222, 218}} << slanted;
        QTest::newRow("slanted line, before its start") << Points() << slanted << Path{{51, 39}} << false
                                                        << Points{{82, 78}} << slanted;
        QTest::newRow("vertical line, far below its end") << Points() << vertical << Path{{113, 200}} << false
                                                          << Points() << Lines();
        QTest::newRow("vertical line, 10 px aside") << Points() << vertical << Path{{115, 200}} << false
                                                    << Points{{210, 400}} << vertical;
        QTest::newRow("horizontal line, far to its right") << Points() << Lines{line(100, 300, 140, 300)}
                                                           << Path{{300, 146}} << false << Points() << Lines();
        QTest::newRow("ends compared as whole pixels") << Points() << Lines{line(200.4, 10, 200.9, 20)}
                                                       << Path{{114, 250}} << false << Points() << Lines();
        QTest::newRow("read-only click") << Points{{200, 100}} << Lines() << Path{{111, 51}} << true
                                         << Points{{200, 100}} << Lines();
        QTest::newRow("read-only drag") << Points() << Lines() << Path{{60, 200}, {90, 230}, {90, 230}} << true
                                        << Points() << Lines();
    }
    void gestures()
    {
        QFETCH(Points, marks);
        QFETCH(Lines, lines);
        QFETCH(Path, path);
        QFETCH(bool, readOnly);
        QFETCH(Points, marksAfter);
        QFETCH(Lines, linesAfter);
        ImageDiagram *d = show();
        QVERIFY(d);
        d->marks = marks;
        d->lines = lines;
        d->readOnly = readOnly;
        QSignalSpy changed(d, &ImageDiagram::onMarksChanged);
        gesture(path);
        QCOMPARE(d->marks, marksAfter);
        QCOMPARE(d->lines, linesAfter);
        QCOMPARE(changed.count(), marks == marksAfter && lines == linesAfter ? 0 : 1);
        QVERIFY(!d->pressed);
    }

    void marksStayOnTheBody()
    {
        ImageDiagram fresh;
        QCOMPARE(fresh.getRealPos(QPointF(12, 34)), QPointF(12, 34));  // no paint yet: no mapping
        ImageDiagram *d = show();
        QVERIFY(d);
        gesture({{190, 135}});  // the middle of the body
        gesture({{250, 100}, {300, 100}, {300, 100}});
        QCOMPARE(d->marks, Points({{360, 270}}));
        QCOMPARE(d->lines, Lines({line(480, 200, 580, 200)}));
        d->repaint();
        QImage shot = d->grab().toImage();
        QCOMPARE(shot.pixelColor(5, 5), ImageDiagram::backgroundColor);
        QVERIFY(count(shot, QRect(188, 133, 5, 5), red) > 5);   // the cross
        QVERIFY(count(shot, QRect(270, 99, 10, 3), red) >= 5);  // the arrow's shaft

        // Larger and wider: the marks move with the picture on screen and are hit there.
        d->resize(800, 540);
        d->repaint();
        QCOMPARE(d->origin, QPoint(40, 0));
        shot = d->grab().toImage();
        QVERIFY(count(shot, QRect(398, 268, 5, 5), red) > 5);
        QCOMPARE(count(shot, QRect(188, 133, 5, 5), red), 0);
        gesture({{403, 266}});
        QVERIFY(d->marks.isEmpty());
        // Taller than wide: centred vertically.
        d->resize(240, 301);
        d->repaint();
        QCOMPARE(d->origin, QPoint(0, (301 - 180) / 2));
        gesture({{177, 127}});  // picture (531, 201): on the arrow
        QVERIFY(d->lines.isEmpty());
    }

    void hoverShowsWhatAClickWouldRemove()
    {
        ImageDiagram *d = show();
        QVERIFY(d);
        d->marks = {QPointF(200, 100)};
        d->lines = {line(400, 300, 600, 300)};
        d->repaint();
        const QImage before = d->grab().toImage();
        const QRect pointArea(104, 44, 13, 13);
        const QRect lineArea(205, 146, 90, 9);
        for (const auto &[at, area, kind] : {std::tuple{QPoint(111, 51), pointArea, ImageDiagram::hkPoint},
                                             {QPoint(250, 152), lineArea, ImageDiagram::hkLine}}) {
            QTest::mouseMove(d, at);
            QCOMPARE(d->hoverKind, int(kind));
            QVERIFY(QApplication::overrideCursor());  // the remove cursor
            d->repaint();
            QVERIFY(count(d->grab().toImage(), area, highlight) > count(before, area, highlight) + 5);
        }
        // Away from both: no highlight, the ordinary cross cursor.
        QTest::mouseMove(d, QPoint(60, 200));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkNothing));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(d->cursor().shape(), Qt::CrossCursor);
        d->repaint();
        QCOMPARE(count(d->grab().toImage(), lineArea, highlight), count(before, lineArea, highlight));
        // Read-only: no hover. The override goes with the widget.
        d->readOnly = true;
        QTest::mouseMove(d, QPoint(112, 51));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkNothing));
        d->readOnly = false;
        QTest::mouseMove(d, QPoint(111, 51));
        QVERIFY(QApplication::overrideCursor());
        m_diagram.reset();
        QVERIFY(!QApplication::overrideCursor());
    }
};

CALVESTRA_TEST_MAIN(ImageDiagramTest)
#include "tst_imagediagram.moc"
