// How a scan is drawn: palette, contrast, and the scan area with its scale, live lines,
// finished picture, measurement, marks, exported picture and marks file.
#include "TestMain.h"

#include "device/CalvimetroProtocol.h"
#include "scan/AnalysisData.h"
#include "scan/Contrast.h"
#include "scan/ScanArea.h"
#include "ScanPictures.h"

#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

const QRgb black = qRgb(0, 0, 0);
using Stretch = QPair<double, double>;  // floor, span

bool isYellowish(QRgb c) { return qRed(c) > 150 && qGreen(c) > 150 && qBlue(c) + 60 < qRed(c) && qBlue(c) + 60 < qGreen(c); }
bool isDark(QRgb c) { return qRed(c) < 160 && qGreen(c) < 160 && qBlue(c) < 160; }

QImage bandImage(int lines, int bandTop, int bandBottom)
{
    QImage img(lines, CalvimetroProtocol::scanRealMaxIndex, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 40));
    QPainter(&img).fillRect(0, bandTop, lines, bandBottom - bandTop + 1, QColor(240, 240, 240));
    return img;
}

void drag(QWidget *w, QPoint from, QPoint via, QPoint to, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(w, button, {}, from);
    QTest::mouseMove(w, via);
    QTest::mouseRelease(w, button, {}, to);
}

QList<uchar> makeScan(int lines, int perLine, const std::function<int(int, int)> &fill)
{
    QList<uchar> data;
    for (int l = 0; l < lines; ++l)
        for (int r = 0; r < perLine; ++r)
            data.append(uchar(fill(l, r)));
    return data;
}

// A scan area that draws the live lines the straightforward way: every line again,
// point by point, on every paint.
class ReferenceScanArea : public ScanArea
{
protected:
    void paintLiveLines(QPainter &painter) override
    {
        const int ph = plotHeight();
        const int shown = CalvimetroProtocol::liveLineSamples * deepness / 100;
        int lastX = leftMargin;
        for (int i = 0; i < scanLines().size(); ++i) {
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(lastX + 1, topMargin, lastX + 1, topMargin + ph);
            const int x = leftMargin + (plotWidth() * i) / (CalvimetroProtocol::maxScanLines - 1);
            for (int j = 0; x != lastX && j < shown; ++j) {
                const uchar s = scanLines()[i][j];
                painter.setPen(blackWhite ? QColor(s, s, s) : value2Color(s));
                painter.drawPoint(x, topMargin + (j * ph) / shown);
            }
            lastX = x != lastX && shown > 0 ? x : lastX;
        }
        painter.setPen(QPen(Qt::red, 1));
        if (lastX != leftMargin)
            painter.drawLine(lastX + 1, topMargin, lastX + 1, topMargin + ph);
    }
};

}  // namespace

class ScanAreaTest : public QObject
{
    Q_OBJECT

private slots:
    void palette()
    {
        for (const auto &[value, colour] : QList<QPair<int, QColor>>{{0, QColor(0, 0, 0)}, {64, QColor(0, 0, 127)}, {127, QColor(0, 0, 253)},
                                                                     {128, QColor(1, 1, 255)}, {192, QColor(129, 129, 255)}, {255, QColor(255, 255, 255)}})
            QVERIFY2(value2Color(uchar(value)).rgba() == colour.rgba() && scanPalette().at(value) == colour.rgb(), qPrintable(QString::number(value)));
    }

    // (floor, span) of the stretch; samples below the displayed depth never count.
    void stretch_data()
    {
        QTest::addColumn<QList<uchar>>("data");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("autoAdjust");
        QTest::addColumn<Stretch>("expected");
        const auto zero = [](int, int) { return 0; };
        const auto level = [](int, int) { return 77; };
        QTest::newRow("all zero, automatic") << makeScan(10, 1577, zero) << 10 << 946 << true << qMakePair(0.0, 240.0);
        // On screen 20..219 once each: the brightest tenth saturates.
        QTest::newRow("even spread, automatic") << makeScan(200, 1577, [](int l, int r) { return r < 200 ? 20 + (r + l) % 200 : 255; })
                                                << 200 << 200 << true << qMakePair(20.0, 180.0);
        QTest::newRow("darkest to brightest, plain") << makeScan(50, 1577, [](int l, int r) { return r < 100 ? 30 + (l * 7 + r) % 151 : 250; })
                                                     << 50 << 100 << false << qMakePair(30.0, 150.0);
        QTest::newRow("depth beyond the line") << makeScan(3, 10, [](int l, int) { return l == 2 ? 200 : 50; }) << 3 << 5000 << false
                                               << qMakePair(50.0, 150.0);
        QTest::newRow("one level, plain") << makeScan(30, 200, level) << 30 << 200 << false << qMakePair(77.0, 1.0);
        QTest::newRow("one level, automatic") << makeScan(30, 200, level) << 30 << 200 << true << qMakePair(77.0, 1.0);
    }
    void stretch()
    {
        QFETCH(QList<uchar>, data);
        QFETCH(int, lines);
        QFETCH(int, depth);
        QFETCH(bool, autoAdjust);
        QFETCH(Stretch, expected);
        QCOMPARE(analyzeHistogram(data, lines, depth, autoAdjust), qMakePair(254.99 / expected.second, expected.first));
    }

    void scale_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("step");
        QTest::newRow("60 mm on 400 px: every 5 mm") << QSize(600, 450) << 60 << 5;
        QTest::newRow("100 mm on 350 px: every 10 mm") << QSize(600, 400) << 100 << 10;
        QTest::newRow("50 mm on 250 px (5 px/mm)") << QSize(500, 300) << 50 << 5;
        QTest::newRow("60 mm on 250 px (4 px/mm)") << QSize(500, 300) << 60 << 10;
    }
    void scale()
    {
        QFETCH(QSize, size);
        QFETCH(int, depth);
        QFETCH(int, step);
        ScanArea area;
        area.resize(size);
        area.setDeepness(depth);
        area.show();
        const QImage img = grab(area);
        const int w = size.width(), ph = size.height() - 50;
        QList<int> expected, left, right;
        for (int i = 0; i <= depth / step; ++i)
            expected << 25 + (i * ph) / (depth / step);
        for (int y = 20; y < size.height() - 20; ++y) {
            if (img.pixel(47, y) == black)
                left << y;
            if (img.pixel(w - 27, y) == black)
                right << y;
            QVERIFY(y < 25 || y > 25 + ph || (img.pixel(50, y) == black && img.pixel(w - 30, y) == black));
        }
        QVERIFY(left == expected && right == expected);
        // The labels beside the ticks: "0" narrower than the last.
        const QRect first = inkBox(img, QRect(24, expected.first() - 5, 21, 13), isDark);
        const QRect last = inkBox(img, QRect(24, expected.last() - 5, 21, 13), isDark);
        QVERIFY(!first.isEmpty() && last.width() > first.width() + 2 && last.right() <= 41 && !inkBox(img, QRect(w - 24, expected.last() - 5, 24, 13), isDark).isEmpty());
    }

    void liveMatchesStraightforwardDrawing_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("deepness");
        QTest::addColumn<bool>("blackWhite");
        QTest::newRow("600x450 60mm") << QSize(600, 450) << 60 << false;
        QTest::newRow("400x300 20mm") << QSize(400, 300) << 20 << false;
        QTest::newRow("600x450 40mm b/w") << QSize(600, 450) << 40 << true;
        QTest::newRow("1400x500 80mm: gaps between columns") << QSize(1400, 500) << 80 << false;
    }
    void liveMatchesStraightforwardDrawing()
    {
        QFETCH(QSize, size);
        QFETCH(int, deepness);
        QFETCH(bool, blackWhite);
        ScanArea ours;
        ReferenceScanArea reference;
        for (ScanArea *a : {&ours, static_cast<ScanArea *>(&reference)}) {
            a->resize(size);
            a->setDeepness(deepness);
            a->blackWhite = blackWhite;
            a->show();
        }
        // Batches with a paint after each: the picture grows by the lines since the last.
        QRandomGenerator rng(quint32(size.width() + deepness));
        for (int batch : {1, 1, 2, 7, 30, 1, 100, 250, 3, 508}) {
            for (int k = 0; k < batch; ++k) {
                const QList<uchar> line = makeScan(1, CalvimetroProtocol::liveLineSamples, [&](int, int) { return rng.bounded(256); });
                ours.addScanData(line);
                reference.addScanData(line);
            }
            QVERIFY2(grab(ours) == grab(reference), qPrintable(QStringLiteral("after %1 lines").arg(ours.scanLines().size())));
        }
    }

    void liveFollowsChangesDuringScan()
    {
        ScanArea ours;
        ReferenceScanArea reference;
        const QList<ScanArea *> both{&ours, &reference};
        const auto step = [&](const char *what, int lines, const std::function<void(ScanArea *)> &change) {
            for (ScanArea *a : both)
                change(a);
            for (int k = 0; k < lines; ++k) {
                for (ScanArea *a : both)
                    a->addScanData(QList<uchar>(CalvimetroProtocol::liveLineSamples, uchar(k * 37)));
            }
            QVERIFY2(grab(ours) == grab(reference), what);
        };
        step("start", 200, [](ScanArea *a) { a->resize(600, 450); a->show(); });
        step("depth changed", 50, [](ScanArea *a) { a->setDeepness(30); });
        step("resized", 10, [](ScanArea *a) { a->resize(800, 600); });
        step("black and white", 0, [](ScanArea *a) { a->blackWhite = true; });
        step("cleared", 0, [](ScanArea *a) { a->clear(); });
        step("new scan", 120, [](ScanArea *) {});
    }

    void finishedPictureCutToDepth()
    {
        QImage scan = bandImage(300, 300, 330);
        for (int y = 1200; y <= 1300; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(scan.scanLine(y)), 300, qRgb(255, 0, 0));
        ScanArea area;
        area.resize(600, 450);
        area.image = &scan;
        area.show();
        const QImage img = grab(area);
        // Rows 0 .. 1577 * 60 / 100 - 1 stretched over the 400 pixels of the plot.
        for (int y = 26; y < 424; ++y)
            QVERIFY2(img.pixel(300, y) == scan.pixel(0, ((y - 25) * (1577 * 60 / 100)) / 400), qPrintable(QString::number(y)));
        const auto red = [](QRgb c) { return c == qRgb(255, 0, 0); };
        QCOMPARE(countPixels(img, area.plotRect(), red), 0);
        area.setDeepness(100);
        const QImage deep = grab(area);
        QVERIFY(countPixels(deep, area.plotRect(), red) > 0);
        area.addScanData(QList<uchar>(CalvimetroProtocol::liveLineSamples, 10));  // no live line over a picture
        QCOMPARE(grab(area), deep);
    }

    // Each row follows a first rectangle of 7.5 mm at (100, 300)..(150, 349).
    void measurement_data()
    {
        QTest::addColumn<QList<QPoint>>("pressViaRelease");
        QTest::addColumn<bool>("rightButton");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("caption");
        const QRect fifteen(QPoint(200, 125), QPoint(300, 224));
        const QString none = QStringLiteral("Trascinare il mouse");
        const auto row = [](const char *name, QPoint a, QPoint b, QPoint c, bool right, QRect rect, const QString &caption) {
            QTest::newRow(name) << QList<QPoint>{a, b, c} << right << rect << caption;
        };
        row("15 mm", {200, 125}, {300, 224}, {300, 224}, false, fifteen, "15.0 mm");
        row("dragged upward", {300, 224}, {200, 125}, {200, 125}, false, fifteen, "15.0 mm");
        row("from above the plot", {200, 5}, {300, 100}, {300, 100}, false, QRect(QPoint(200, 25), QPoint(300, 100)), "11.4 mm");
        row("past the corner", {500, 400}, {598, 448}, {598, 448}, false, QRect(QPoint(500, 400), QPoint(570, 424)), "3.8 mm");
        row("thin 2 x 40", {200, 100}, {201, 139}, {201, 139}, false, QRect(200, 100, 2, 40), "6.0 mm");
        row("in the top margin", {200, 2}, {300, 20}, {300, 20}, false, QRect(), none);
        row("2 x 2", {200, 100}, {201, 101}, {201, 101}, false, QRect(), none);
        row("2 x 2 leftward", {200, 100}, {197, 101}, {197, 101}, false, QRect(), none);
        row("released where pressed", {200, 100}, {300, 300}, {200, 100}, false, QRect(), none);
        row("right button", {200, 125}, {300, 224}, {300, 224}, true, QRect(QPoint(100, 300), QPoint(150, 349)), "7.5 mm");
    }
    void measurement()
    {
        QFETCH(QList<QPoint>, pressViaRelease);
        QFETCH(bool, rightButton);
        QFETCH(QRect, rect);
        QFETCH(QString, caption);
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(100, 300), QPoint(150, 349), QPoint(150, 349));
        drag(&area, pressViaRelease[0], pressViaRelease[1], pressViaRelease[2], rightButton ? Qt::RightButton : Qt::LeftButton);
        QVERIFY(area.clippedMeasureRect() == rect && qFuzzyCompare(1 + area.thickness(), 1 + rect.height() * 60 / 400.0));
        const QImage img = grab(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : ") + caption));
        const QRect yellow = inkBox(img, img.rect(), isYellowish);
        QVERIFY2(yellow.isEmpty() == rect.isEmpty()
                     && (rect.isEmpty() || ((yellow.topLeft() - rect.topLeft()).manhattanLength() <= 2 && (yellow.bottomRight() - rect.bottomRight()).manhattanLength() <= 2)),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(yellow.x()).arg(yellow.y()).arg(yellow.width()).arg(yellow.height())));
    }

    void rectangleFollowsDepthAndSize()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(200, 125), QPoint(300, 224), QPoint(300, 224));
        // At 30 mm the same tissue lies twice as far from the top and twice as tall.
        area.setDeepness(30);
        QVERIFY(area.clippedMeasureRect() == QRect(QPoint(200, 225), QPoint(300, 424)) && area.thickness() == 15.0);
        QVERIFY(captionShows(area, grab(area), QStringLiteral("Spessore : 15.0 mm")));
        area.setDeepness(60);
        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(200, 125), QPoint(300, 224)));
        // Resized, it scales with the plot (520 x 400 to 820 x 650), and back and forth
        // it does not drift.
        area.resize(900, 700);
        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(50 + 150 * 820 / 520, 25 + 100 * 650 / 400), QSize(101 * 820 / 520, 100 * 650 / 400)));
        QVERIFY(qAbs(area.thickness() - 15.0) < 0.1);
        const QRect big = area.clippedMeasureRect();
        for (int k = 0; k < 5; ++k) {
            area.resize(437, 311);
            area.resize(900, 700);
        }
        QVERIFY(qAbs(area.clippedMeasureRect().top() - big.top()) <= 1 && qAbs(area.clippedMeasureRect().height() - big.height()) <= 1);
    }

    void marksAndExport()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        for (int i = 0; i < 700; ++i) {
            if (i == 12 || i == 345 || i == 600)
                area.addMark();
            area.addScanData(QList<uchar>(CalvimetroProtocol::liveLineSamples, 0));
        }
        QCOMPARE(area.analysis.linemarks, QList<int>({12, 345, 600}));
        const auto markedAt = [&](int line, double span) {
            const int x = int(50 + line * area.plotWidth() / span);
            return countPixels(grab(area), QRect(x - 1, 27, 3, 396), [](QRgb c) { return qRed(c) > 100 && qGreen(c) > 30 && qGreen(c) < qRed(c) && qBlue(c) < 90; }) > 200;
        };
        QVERIFY(markedAt(12, 902.0) && markedAt(345, 902.0) && markedAt(600, 902.0));
        QImage scan = bandImage(700, 0, 0);
        area.image = &scan;
        QVERIFY(markedAt(345, 700.0) && !markedAt(345, 902.0));
        // Written, they read back the same; a missing folder writes nothing, a file that is
        // no marks file gives none, a mark that is no number reads as 0.
        QTemporaryDir dir;
        AnalysisData data;
        QVERIFY(area.saveAnalysisJson(dir.filePath(QStringLiteral("x.json"))) && !area.saveAnalysisJson(QStringLiteral("/nonexistent/x.json")));
        data.loadFromFile(dir.filePath(QStringLiteral("x.json")));
        QCOMPARE(data.linemarks, area.analysis.linemarks);
        for (const auto &[bytes, marks] : QList<QPair<QByteArray, QList<int>>>{{"linemarks: 1, 2", {}}, {R"({"marks": [1]})", {}}, {R"({"linemarks": 5})", {}},
                                                                              {R"({"a": 1, "linemarks": [7, "x", null, 9]})", {7, 0, 0, 9}}}) {
            data.loadFromByteArray(bytes);
            QCOMPARE(data.linemarks, marks);
        }
        // Exported at a size of its own, the rectangle scales with the plot (520 x 400 to
        // 420 x 350), the caption is left out, and the widget keeps its size.
        drag(&area, QPoint(200, 125), QPoint(400, 325), QPoint(400, 325));
        QVERIFY(area.saveJpg(dir.filePath(QStringLiteral("scan.jpg")), 500, 400) && area.size() == QSize(600, 450));
        const QImage saved(dir.filePath(QStringLiteral("scan.jpg")));
        QVERIFY(QImageReader(dir.filePath(QStringLiteral("scan.jpg"))).format() == "jpeg" && saved.size() == QSize(500, 400));
        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(200, 125), QPoint(400, 325)));
        const QRect yellow = inkBox(saved, saved.rect(), isYellowish);
        QVERIFY(qAbs(yellow.left() - int(150 * 420.0 / 520 + 50)) <= 2 && qAbs(yellow.top() - int(100 * 350.0 / 400 + 25)) <= 2);
        QCOMPARE(countPixels(saved, QRect(60, 2, 380, 18), [bg = saved.pixel(250, 5)](QRgb c) { return qAbs(qGray(c) - qGray(bg)) > 20; }), 0);
        area.clear();
        QVERIFY(area.analysis.linemarks.isEmpty() && !area.image);
    }
};

CALVESTRA_TEST_MAIN(ScanAreaTest)
#include "tst_scanarea.moc"
