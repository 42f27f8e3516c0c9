#include "TestMain.h"

#include "ScanTestSupport.h"

#include "scan/ScanArea.h"

#include <QImageReader>
#include <QTemporaryDir>

using namespace ScanTest;

namespace {

// Rows between `top` and `bottom` where the left tick column holds a black tick.
QList<int> tickRows(const QImage &img, int x, int top, int bottom)
{
    QList<int> rows;
    for (int y = top; y <= bottom; ++y)
        if (img.pixel(x, y) == qRgb(0, 0, 0))
            rows.append(y);
    return rows;
}

QList<int> expectedTickRows(int plotHeight, int deepness, int step)
{
    QList<int> rows;
    const int count = deepness / step;
    for (int i = 0; i <= count; ++i)
        rows.append(25 + (i * plotHeight) / count);
    return rows;
}

// Ink of the left label of a tick at row y (columns left of the tick, clear of the
// rotated axis title).
QRect leftLabelBox(const QImage &img, int y)
{
    return inkBox(img, QRect(24, y - 5, 21, 13), isDark);
}

QRect rightLabelBox(const QImage &img, int y)
{
    const int w = img.width();
    return inkBox(img, QRect(w - 24, y - 5, 24, 13), isDark);
}

// A finished scan picture: `lines` columns of 1577 rows, one horizontal band bright.
QImage bandImage(int lines, int bandTop, int bandBottom)
{
    QImage img(lines, CalvimetroProtocol::scanRealMaxIndex, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 40));
    for (int y = bandTop; y <= bandBottom; ++y)
        for (int x = 0; x < lines; ++x)
            img.setPixel(x, y, qRgb(250, 250, 255));
    return img;
}

}  // namespace

class ScanAreaTest : public QObject
{
    Q_OBJECT

private slots:
    void scaleAt60mm()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        const QImage img = grabImage(area);
        QCOMPARE(area.plotHeight(), 400);

        // 400 / 60 = 6 pixels per mm: one label every 5 mm, 13 labels 0..60.
        const QList<int> expected = expectedTickRows(400, 60, 5);
        QCOMPARE(expected.size(), 13);
        QVERIFY(expected.contains(225));  // 30 mm half way down
        QCOMPARE(tickRows(img, 47, 20, 430), expected);
        QCOMPARE(tickRows(img, 600 - 27, 20, 430), expected);

        QList<int> leftWidths;
        for (int y : expected) {
            const QRect left = leftLabelBox(img, y);
            const QRect right = rightLabelBox(img, y);
            QVERIFY2(!left.isEmpty() && !right.isEmpty(), qPrintable(QString::number(y)));
            // Right-aligned ending 9 pixels left of the axis; left-aligned 8 right of it.
            QVERIFY2(left.right() <= 41 && left.right() >= 38, qPrintable(QString::number(left.right())));
            QVERIFY2(right.left() >= 600 - 22 && right.left() <= 600 - 20, qPrintable(QString::number(right.left())));
            // The label's top is 5 pixels above the tick.
            QVERIFY(left.top() >= y - 5 && left.top() <= y - 1);
            leftWidths.append(left.width());
        }
        // "0" and "5" are one digit, "10" .. "60" two.
        QVERIFY(qAbs(leftWidths[0] - leftWidths[1]) <= 1);
        for (int i = 2; i < leftWidths.size(); ++i)
            QVERIFY2(leftWidths[i] > leftWidths[1] + 2, qPrintable(QString::number(i)));
        // No tick between the labelled rows.
        QCOMPARE(img.pixel(47, 28), img.pixel(47, 29));
    }

    void scaleAt100mm()
    {
        ScanArea area;
        area.resize(600, 400);
        area.setDeepness(100);
        area.show();
        const QImage img = grabImage(area);
        QCOMPARE(area.plotHeight(), 350);

        // 350 / 100 = 3 pixels per mm: one label every 10 mm, 11 labels.
        const QList<int> expected = expectedTickRows(350, 100, 10);
        QCOMPARE(expected.size(), 11);
        QCOMPARE(tickRows(img, 47, 20, 380), expected);
        const QRect zero = leftLabelBox(img, expected[0]);
        const QRect ten = leftLabelBox(img, expected[1]);
        const QRect hundred = leftLabelBox(img, expected[10]);
        QVERIFY(ten.width() > zero.width() + 2);
        QVERIFY(hundred.width() > ten.width() + 2);
        QVERIFY(hundred.right() <= 41);
    }

    void stepFollowsPixelsPerMm_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("deepness");
        QTest::addColumn<int>("step");
        QTest::newRow("20 mm on 300") << 300 << 20 << 5;
        QTest::newRow("50 mm on 300 (5 px/mm)") << 300 << 50 << 5;
        QTest::newRow("60 mm on 300 (4 px/mm)") << 300 << 60 << 10;
        QTest::newRow("100 mm on 740") << 740 << 100 << 5;
    }
    void stepFollowsPixelsPerMm()
    {
        QFETCH(int, height);
        QFETCH(int, deepness);
        QFETCH(int, step);
        ScanArea area;
        area.resize(500, height);
        area.setDeepness(deepness);
        area.show();
        const QImage img = grabImage(area);
        QCOMPARE(tickRows(img, 47, 20, height - 20), expectedTickRows(height - 50, deepness, step));
    }

    void axesAndBackground()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        const QImage img = grabImage(area);
        for (int y = 25; y <= 425; ++y) {
            QCOMPARE(img.pixel(50, y), qRgb(0, 0, 0));
            QCOMPARE(img.pixel(570, y), qRgb(0, 0, 0));
        }
        // The dotted background: the pattern colour and the widget's own colour alternate.
        const QRect plotInside(60, 40, 400, 300);
        const int dots = countPixels(img, plotInside, [](QRgb c) { return c == qRgb(200, 215, 225); });
        QVERIFY(dots > 0 && dots < plotInside.width() * plotInside.height() / 2);
        // The axis title reads along the left edge, half way down.
        const QRect title = inkBox(img, QRect(0, 0, 30, 450), isDark);
        QVERIFY(!title.isEmpty());
        QVERIFY(title.height() > title.width() * 3);
        QVERIFY(qAbs(title.center().y() - 225) <= 3);
    }

    void measurementOf15mm()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(200, 125));
        QTest::mouseMove(&area, QPoint(300, 224));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(300, 224));

        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(200, 125), QPoint(300, 224)));
        QCOMPARE(area.thickness(), 15.0);
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : 15.0 mm")));
        QVERIFY(!captionShows(area, img, QStringLiteral("Spessore : 15.1 mm")));
        // The yellow rectangle spans rows 125..224 and nothing outside them.
        const QRect yellow = inkBox(img, QRect(0, 0, 600, 450), isYellowish);
        QVERIFY2(qAbs(yellow.top() - 125) <= 1 && qAbs(yellow.bottom() - 224) <= 1,
                 qPrintable(QStringLiteral("%1..%2").arg(yellow.top()).arg(yellow.bottom())));
        QVERIFY(qAbs(yellow.left() - 200) <= 1 && qAbs(yellow.right() - 300) <= 1);
        // Filled: the middle is tinted too.
        QVERIFY(isYellowish(img.pixel(250, 175)) || qBlue(img.pixel(250, 175)) < qRed(img.pixel(250, 175)));
    }

    void rectangleAbovePlotIsClipped()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(200, 5));
        QTest::mouseMove(&area, QPoint(300, 100));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(300, 100));

        QCOMPARE(area.clippedMeasureRect().top(), 25);
        // 76 pixels at 400 / 60 pixels per mm.
        QCOMPARE(area.thickness(), 76 / (400.0 / 60));
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : 11.4 mm")));
        const QRect yellow = inkBox(img, QRect(0, 0, 600, 450), isYellowish);
        QVERIFY2(yellow.top() >= 24, qPrintable(QString::number(yellow.top())));
        QVERIFY(qAbs(yellow.bottom() - 100) <= 1);
    }

    void rectangleBelowAndBesidePlot()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        // Dragged past the bottom right corner: clipped to the plot.
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(500, 400));
        QTest::mouseMove(&area, QPoint(598, 448));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(598, 448));
        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(500, 400), QPoint(570, 424)));

        // Entirely in the top margin: nothing on the plot, no negative thickness.
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(200, 2));
        QTest::mouseMove(&area, QPoint(300, 20));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(300, 20));
        QVERIFY(area.clippedMeasureRect().isEmpty());
        QCOMPARE(area.thickness(), 0.0);
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : Trascinare il mouse")));
        QCOMPARE(countPixels(img, img.rect(), isYellowish), 0);
    }

    void draggingUpwardMeasuresTheSame()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(300, 224));
        QTest::mouseMove(&area, QPoint(200, 125));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(200, 125));
        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(200, 125), QPoint(300, 224)));
        QCOMPARE(area.thickness(), 15.0);
    }

    void captionWithoutRectangle()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : Trascinare il mouse")));
        QVERIFY(!captionShows(area, img, QStringLiteral("Spessore : 0.0 mm")));
        QCOMPARE(countPixels(img, img.rect(), isYellowish), 0);
    }

    void sharedColumnsWith400LiveLines()
    {
        ScanArea area;
        area.resize(960, 740);
        area.show();
        QCOMPARE(area.plotWidth(), 880);
        // Line i is filled with its own value, so a column tells which line it shows.
        auto valueOf = [](int i) { return static_cast<uchar>((i * 7 + 3) % 251); };
        for (int i = 0; i < 400; ++i)
            area.addScanData(uniformLine(valueOf(i)));
        const QImage img = grabImage(area);

        const int ph = area.plotHeight();
        const int shown = 789 * 60 / 100;
        const int row = 25 + (200 * ph) / shown;  // a row a sample lands on
        int lastX = 50;
        int shared = 0;
        for (int i = 0; i < 400; ++i) {
            const int x = 50 + (880 * i) / 902;
            if (x == lastX) {
                ++shared;
                continue;
            }
            // The first line of a column wins.
            QVERIFY2(img.pixel(x, row) == value2Color(valueOf(i)).rgb(),
                     qPrintable(QStringLiteral("line %1 at x %2").arg(i).arg(x)));
            lastX = x;
        }
        QVERIFY(shared > 0);
        // Rows no sample lands on keep the black separator.
        const int gapRow = 25 + ph - 1;
        bool gapIsBlack = true;
        for (int j = 0; j < shown; ++j)
            if (25 + (j * ph) / shown == gapRow)
                gapIsBlack = false;
        if (gapIsBlack)
            QCOMPARE(img.pixel(100, gapRow), qRgb(0, 0, 0));
        // The red cursor follows the last drawn column, over the whole plot height.
        for (int y = 25; y <= 25 + ph; ++y)
            QCOMPARE(img.pixel(lastX + 1, y), qRgb(255, 0, 0));
        // Nothing right of the cursor.
        QVERIFY(img.pixel(lastX + 3, row) != img.pixel(lastX, row));
    }

    void liveLinesInBlackAndWhite()
    {
        ScanArea area;
        area.resize(600, 450);
        area.blackWhite = true;
        area.show();
        for (int i = 0; i < 100; ++i)
            area.addScanData(uniformLine(static_cast<uchar>(100 + i)));
        const QImage img = grabImage(area);
        const int pw = area.plotWidth();
        const int x = 50 + (pw * 50) / 902;
        const int firstLineOfX = [&] {
            for (int i = 0; i < 100; ++i)
                if (50 + (pw * i) / 902 == x)
                    return i;
            return -1;
        }();
        const int v = 100 + firstLineOfX;
        QVERIFY(firstLineOfX < 50);
        QCOMPARE(img.pixel(x, 25 + 1), qRgb(v, v, v));
        // The palette colour of the same sample is not grey.
        QVERIFY(value2Color(static_cast<uchar>(v)).rgb() != qRgb(v, v, v));
    }

    void liveMatchesStraightforwardDrawing_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("deepness");
        QTest::addColumn<bool>("blackWhite");
        QTest::newRow("600x450 60mm") << QSize(600, 450) << 60 << false;
        QTest::newRow("960x740 100mm") << QSize(960, 740) << 100 << false;
        QTest::newRow("400x300 20mm") << QSize(400, 300) << 20 << false;
        QTest::newRow("600x450 40mm b/w") << QSize(600, 450) << 40 << true;
        // Wider than one pixel per line: columns with gaps between them.
        QTest::newRow("1400x500 80mm") << QSize(1400, 500) << 80 << false;
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
        QRandomGenerator rng(static_cast<quint32>(size.width() * 1000 + deepness));
        int added = 0;
        // Batches of different sizes, with a paint after each: the picture grows by
        // the lines that arrived since the last paint.
        for (int batch : {1, 1, 2, 7, 30, 1, 100, 250, 3, 508}) {
            for (int k = 0; k < batch; ++k) {
                const QList<uchar> line = randomLine(rng);
                ours.addScanData(line);
                reference.addScanData(line);
            }
            added += batch;
            const QImage a = grabImage(ours);
            const QImage b = grabImage(reference);
            QVERIFY2(a == b, qPrintable(QStringLiteral("after %1 lines").arg(added)));
        }
        QCOMPARE(added, 903);
    }

    void liveFollowsChangesDuringScan()
    {
        ScanArea ours;
        ReferenceScanArea reference;
        QList<ScanArea *> both{&ours, &reference};
        for (ScanArea *a : both) {
            a->resize(600, 450);
            a->show();
        }
        QRandomGenerator rng(7);
        auto addLines = [&](int n) {
            for (int k = 0; k < n; ++k) {
                const QList<uchar> line = randomLine(rng);
                for (ScanArea *a : both)
                    a->addScanData(line);
            }
        };
        auto same = [&](const char *what) {
            const QImage a = grabImage(ours);
            const QImage b = grabImage(reference);
            QVERIFY2(a == b, what);
        };
        addLines(200);
        same("start");
        for (ScanArea *a : both)
            a->setDeepness(30);
        same("depth changed");
        addLines(50);
        for (ScanArea *a : both)
            a->resize(800, 600);
        same("resized");
        addLines(10);
        for (ScanArea *a : both)
            a->blackWhite = true;
        same("black and white");
        for (ScanArea *a : both)
            a->clear();
        same("cleared");
        addLines(120);
        same("new scan");
    }

    void finishedImageCutToDepth()
    {
        // Bands at rows 300..330 (inside 60 mm) and 1200..1300 (below 60 mm).
        QImage scan = bandImage(300, 300, 330);
        for (int y = 1200; y <= 1300; ++y)
            for (int x = 0; x < 300; ++x)
                scan.setPixel(x, y, qRgb(255, 0, 0));
        ScanArea area;
        area.resize(600, 450);
        area.image = &scan;
        area.show();
        const QImage img = grabImage(area);
        // Rows 0 .. 1577 * 60 / 100 - 1 = 945 stretched over 400 pixels.
        const int rows = 1577 * 60 / 100;
        for (int y = 26; y < 424; ++y) {
            const int srcRow = ((y - 25) * rows) / 400;
            const QRgb expected = scan.pixel(0, srcRow);
            QVERIFY2(img.pixel(300, y) == expected, qPrintable(QString::number(y)));
        }
        QCOMPARE(countPixels(img, area.plotRect(), [](QRgb c) { return c == qRgb(255, 0, 0); }), 0);
        // Deeper display brings the red band into view.
        area.setDeepness(100);
        const QImage deep = grabImage(area);
        QVERIFY(countPixels(deep, area.plotRect(), [](QRgb c) { return c == qRgb(255, 0, 0); }) > 0);
        // No red cursor of live drawing over a finished picture.
        area.addScanData(uniformLine(10));
        QCOMPARE(grabImage(area), deep);
    }

    void loadingText()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        auto isLoadingInk = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 200 && qGreen(c) > 150; };
        QCOMPARE(countPixels(grabImage(area), area.plotRect(), isLoadingInk), 0);
        area.loading = true;
        const QImage img = grabImage(area);
        const QRect box = inkBox(img, area.plotRect(), isLoadingInk);
        QVERIFY(!box.isEmpty());
        QVERIFY(qAbs(box.center().x() - area.plotRect().center().x()) <= 3);
        QVERIFY(qAbs(box.center().y() - area.plotRect().center().y()) <= 4);
        area.clear();
        QVERIFY(!area.loading);
    }

    void saveJpgAtFixedSize_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("shown") << true;
        QTest::newRow("hidden") << false;
    }
    void saveJpgAtFixedSize()
    {
        QFETCH(bool, shown);
        QTemporaryDir dir;
        ScanArea area;
        area.resize(700, 550);
        if (shown)
            area.show();
        else
            grabImage(area);  // lays it out once without showing it
        for (int i = 0; i < 300; ++i)
            area.addScanData(uniformLine(static_cast<uchar>(i % 256)));
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(200, 125));
        QTest::mouseMove(&area, QPoint(400, 325));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(400, 325));
        const QRect before = area.clippedMeasureRect();
        const QString path = dir.filePath(QStringLiteral("scan.jpg"));
        QVERIFY(area.saveJpg(path, 500, 400));
        QCOMPARE(area.size(), QSize(700, 550));
        QCOMPARE(area.clippedMeasureRect(), before);
        QCOMPARE(area.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);

        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage saved = reader.read();
        QCOMPARE(saved.size(), QSize(500, 400));
        // The rectangle scaled with the picture: (200 - 50) * 420 / 620 + 50 = 151 ...
        const int left = static_cast<int>((200 - 50) * 420.0 / 620 + 50);
        const int top = static_cast<int>((125 - 25) * 350.0 / 500 + 25);
        const QRect yellow = inkBox(saved, QRect(0, 0, 500, 400), isYellowish);
        QVERIFY2(qAbs(yellow.left() - left) <= 2 && qAbs(yellow.top() - top) <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(yellow.left()).arg(yellow.top())));
        // No caption in the export: the strip above the plot is plain.
        const QRect strip(60, 2, 380, 18);
        const QRgb bg = saved.pixel(250, 5);
        QCOMPARE(countPixels(saved, strip, [bg](QRgb c) {
                     return qAbs(qRed(c) - qRed(bg)) + qAbs(qGreen(c) - qGreen(bg)) + qAbs(qBlue(c) - qBlue(bg)) > 60;
                 }),
                 0);
    }

    void saveJpgIntoMissingFolderFails()
    {
        ScanArea area;
        area.resize(600, 450);
        QVERIFY(!area.saveJpg(QStringLiteral("/nonexistent-folder/x/scan.jpg"), 500, 400));
    }
};

CALVESTRA_TEST_MAIN(ScanAreaTest)
#include "tst_scanarea.moc"
