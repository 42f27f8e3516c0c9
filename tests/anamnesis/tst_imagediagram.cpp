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

void row(const char *name, const Points &marks, const Lines &lines, const Path &path, const Points &marksAfter,
         const Lines &linesAfter, bool readOnly = false)
{
    QTest::newRow(name) << marks << lines << path << marksAfter << linesAfter << readOnly;
}

// Pixels of `area` that pass `test`: red marks (blended when thin), or the highlight.
int count(const QImage &image, const QRect &area, bool highlight = false)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += highlight ? qRed(p) > 190 && qGreen(p) > 120 && qGreen(p) < 210 && qBlue(p) > 200
                           : qRed(p) > 200 && qRed(p) - qGreen(p) > 80 && qRed(p) - qBlue(p) > 80;
        }
    }
    return n;
}

}  // namespace

class ImageDiagramTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ImageDiagram> d;

    bool show()
    {
        d = std::make_unique<ImageDiagram>();
        d->resize(380, 270);
        d->show();
        const bool exposed = QTest::qWaitForWindowExposed(d.get());
        d->repaint();  // the mapping is the one of the last paint
        return exposed;
    }
    void gesture(const Path &path)
    {
        QTest::mousePress(d.get(), Qt::LeftButton, Qt::NoModifier, path.first());
        for (qsizetype i = 1; i + 1 < path.size(); ++i)
            QTest::mouseMove(d.get(), path[i]);
        QTest::mouseRelease(d.get(), Qt::LeftButton, Qt::NoModifier, path.last());
    }
    QImage shot()
    {
        d->repaint();
        return d->grab().toImage();
    }

private slots:
    void cleanup() { d.reset(); }

    void gestures_data()
    {
        QTest::addColumn<Points>("marks");
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<Path>("path");
        QTest::addColumn<Points>("marksAfter");
        QTest::addColumn<Lines>("linesAfter");
        QTest::addColumn<bool>("readOnly");
        const Lines slanted{line(100, 100, 200, 200)};
        const Lines vertical{line(200, 100, 200, 150)};
        row("click puts a point", {}, {}, {{110, 50}}, {{200, 100}}, {});
        row("3 px of travel is a click, where released", {}, {}, {{200, 150}, {203, 150}, {203, 150}}, {{386, 300}}, {});
        row("4 px make an arrow", {}, {}, {{250, 100}, {252, 102}, {250, 104}, {250, 104}}, {}, {line(480, 200, 480, 208)});
        row("an arrow keeps its direction", {}, {}, {{300, 200}, {280, 180}, {280, 180}}, {}, {line(580, 400, 540, 360)});
        row("the picture's own edge is outside", {}, {}, {{10, 100}}, {}, {});
        row("just inside", {}, {}, {{11, 100}}, {{2, 200}}, {});
        row("a drag leaving the picture is cancelled", {}, {}, {{100, 100}, {60, 100}, {4, 100}, {60, 100}, {60, 100}}, {}, {});
        row("pressed outside, released inside", {}, {}, {{4, 150}, {80, 150}}, {}, {});
        row("8 px from a point removes it", {{200, 100}}, {}, {{114, 54}}, {}, {});
        row("10 px from a point misses it", {{200, 100}}, {}, {{115, 50}}, {{200, 100}, {210, 100}}, {});
        row("only the first point in reach", {{200, 100}, {204, 100}}, {}, {{111, 50}}, {{204, 100}}, {});
        row("a point on a line: both go", {{300, 300}}, {line(250, 250, 350, 350)}, {{160, 150}}, {}, {});
        row("slanted line hit", {}, slanted, {{87, 73}}, {}, {});
        row("slanted line, past its end", {}, slanted, {{121, 109}}, {{222, 218}}, slanted);
        row("slanted line, before its start", {}, slanted, {{51, 39}}, {{82, 78}}, slanted);
        row("vertical line, far below its end", {}, vertical, {{113, 200}}, {}, {});
        row("vertical line, 10 px aside", {}, vertical, {{115, 200}}, {{210, 400}}, vertical);
        row("horizontal line, far to its right", {}, {line(100, 300, 140, 300)}, {{300, 146}}, {}, {});
        row("ends compared as whole pixels", {}, {line(200.4, 10, 200.9, 20)}, {{114, 250}}, {}, {});
        row("read-only click", {{200, 100}}, {}, {{111, 51}}, {{200, 100}}, {}, true);
        row("read-only drag", {}, {}, {{60, 200}, {90, 230}, {90, 230}}, {}, {}, true);
    }
    void gestures()
    {
        QFETCH(Points, marks);
        QFETCH(Lines, lines);
        QFETCH(Path, path);
        QFETCH(Points, marksAfter);
        QFETCH(Lines, linesAfter);
        QFETCH(bool, readOnly);
        QVERIFY(show());
        d->marks = marks;
        d->lines = lines;
        d->readOnly = readOnly;
        QSignalSpy changed(d.get(), &ImageDiagram::onMarksChanged);
        gesture(path);
        QCOMPARE(d->marks, marksAfter);
        QCOMPARE(d->lines, linesAfter);
        QCOMPARE(changed.count(), marks == marksAfter && lines == linesAfter ? 0 : 1);
        QVERIFY(!d->pressed);
    }

    void marksStayOnTheBody()
    {
        QCOMPARE(ImageDiagram().getRealPos(QPointF(12, 34)), QPointF(12, 34));  // no paint yet: no mapping
        QVERIFY(show());
        gesture({{190, 135}});  // the middle of the body
        gesture({{250, 100}, {300, 100}, {300, 100}});
        QCOMPARE(d->marks, Points({{360, 270}}));
        QCOMPARE(d->lines, Lines({line(480, 200, 580, 200)}));
        QImage image = shot();
        QCOMPARE(image.pixelColor(5, 5), ImageDiagram::backgroundColor);
        QVERIFY(count(image, QRect(188, 133, 5, 5)) > 5);   // the cross
        QVERIFY(count(image, QRect(270, 99, 10, 3)) >= 5);  // the arrow's shaft
        // Larger and wider: the marks move with the picture on screen and are hit there.
        d->resize(800, 540);
        image = shot();
        QCOMPARE(d->origin, QPoint(40, 0));
        QVERIFY(count(image, QRect(398, 268, 5, 5)) > 5);
        QCOMPARE(count(image, QRect(188, 133, 5, 5)), 0);
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
        QVERIFY(show());
        d->marks = {QPointF(200, 100)};
        d->lines = {line(400, 300, 600, 300)};
        const QImage before = shot();
        const QRect pointArea(104, 44, 13, 13);
        const QRect lineArea(205, 146, 90, 9);
        for (const auto &[at, area, kind] : {std::tuple{QPoint(111, 51), pointArea, ImageDiagram::hkPoint},
                                             {QPoint(250, 152), lineArea, ImageDiagram::hkLine}}) {
            QTest::mouseMove(d.get(), at);
            QCOMPARE(d->hoverKind, int(kind));
            QVERIFY(QApplication::overrideCursor());  // the remove cursor
            QVERIFY(count(shot(), area, true) > count(before, area, true) + 5);
        }
        // Away from both: no highlight, the ordinary cross cursor.
        QTest::mouseMove(d.get(), QPoint(60, 200));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkNothing));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(d->cursor().shape(), Qt::CrossCursor);
        QCOMPARE(count(shot(), lineArea, true), count(before, lineArea, true));
        // Read-only: no hover. The override goes with the widget.
        d->readOnly = true;
        QTest::mouseMove(d.get(), QPoint(112, 51));
        QCOMPARE(d->hoverKind, int(ImageDiagram::hkNothing));
        d->readOnly = false;
        QTest::mouseMove(d.get(), QPoint(111, 51));
        QVERIFY(QApplication::overrideCursor());
        d.reset();
        QVERIFY(!QApplication::overrideCursor());
    }
};

CALVESTRA_TEST_MAIN(ImageDiagramTest)
#include "tst_imagediagram.moc"
