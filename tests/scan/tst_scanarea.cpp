// The scan area on screen: depth scale, live lines against the straightforward drawing,
// the finished picture cut to depth, the measurement rectangle, marks, the exported
// picture and the marks file.
#include "TestMain.h"

#include "ScanTestSupport.h"

#include "scan/AnalysisData.h"

#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

using namespace ScanTest;

namespace {

const QRgb black = qRgb(0, 0, 0);

// A finished picture of `lines` columns: dark, one horizontal band bright.
QImage bandImage(int lines, int bandTop, int bandBottom)
{
    QImage img(lines, CalvimetroProtocol::scanRealMaxIndex, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 40));
    for (int y = bandTop; y <= bandBottom; ++y)
        for (int x = 0; x < lines; ++x)
            img.setPixel(x, y, qRgb(240, 240, 240));
    return img;
}

// First and last row of column x showing the bright band (also under the yellow).
QPair<int, int> brightRows(const QImage &img, int x, int top, int bottom)
{
    const QRect box = inkBox(img, QRect(x, top, 1, bottom - top + 1), [](QRgb c) { return qRed(c) > 200; });
    return {box.top(), box.bottom()};
}

void drag(QWidget *w, QPoint from, QPoint via, QPoint to, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(w, button, {}, from);
    QTest::mouseMove(w, via);
    QTest::mouseRelease(w, button, {}, to);
}

bool isDark(QRgb c)
{
    return qRed(c) < 160 && qGreen(c) < 160 && qBlue(c) < 160;
}

}  // namespace

class ScanAreaTest : public QObject
{
    Q_OBJECT

private slots:
    void scale_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("step");
        QTest::newRow("60 mm on 400 px: every 5 mm") << QSize(600, 450) << 60 << 5;
        QTest::newRow("100 mm on 350 px: every 10 mm") << QSize(600, 400) << 100 << 10;
        QTest::newRow("50 mm on 250 px (5 px/mm)") << QSize(500, 300) << 50 << 5;
        QTest::newRow("60 mm on 250 px (4 px/mm)") << QSize(500, 300) << 60 << 10;
        QTest::newRow("100 mm on 690 px") << QSize(500, 740) << 100 << 5;
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
        const QImage img = grabImage(area);
        const int w = size.width();
        const int ph = size.height() - 50;
        QList<int> expected, left, right;
        for (int i = 0; i <= depth / step; ++i)
            expected << 25 + (i * ph) / (depth / step);
        for (int y = 20; y < size.height() - 20; ++y) {
            if (img.pixel(47, y) == black)
                left << y;
            if (img.pixel(w - 27, y) == black)
                right << y;
        }
        QCOMPARE(left, expected);
        QCOMPARE(right, expected);
        for (int y = 25; y <= 25 + ph; ++y)
            QVERIFY(img.pixel(50, y) == black && img.pixel(w - 30, y) == black);
        // The labels end left of the left ticks ("0" narrower than the last one) and
        // start right of the right ones.
        const QRect first = inkBox(img, QRect(24, expected.first() - 5, 21, 13), isDark);
        const QRect last = inkBox(img, QRect(24, expected.last() - 5, 21, 13), isDark);
        QVERIFY(!first.isEmpty() && last.width() > first.width() + 2 && last.right() <= 41);
        QVERIFY(!inkBox(img, QRect(w - 24, expected.last() - 5, 24, 13), isDark).isEmpty());
        // The dotted plot, and the axis title down the left edge, half way.
        QVERIFY(countPixels(img, QRect(60, 40, 100, 100), [](QRgb c) { return c == qRgb(200, 215, 225); }) > 100);
        const QRect title = inkBox(img, QRect(0, 0, 22, size.height()), isDark);
        QVERIFY(title.height() > title.width() * 3 && qAbs(title.center().y() - size.height() / 2) <= 3);
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
        QRandomGenerator rng(quint32(size.width() * 1000 + deepness));
        for (ScanArea *a : {&ours, static_cast<ScanArea *>(&reference)}) {
            a->resize(size);
            a->setDeepness(deepness);
            a->blackWhite = blackWhite;
            a->show();
        }
        // Batches of lines with a paint after each: the picture grows by the lines
        // that came since the last paint.
        int added = 0;
        for (int batch : {1, 1, 2, 7, 30, 1, 100, 250, 3, 508}) {
            for (int k = 0; k < batch; ++k) {
                QList<uchar> line(CalvimetroProtocol::liveLineSamples);
                for (uchar &s : line)
                    s = uchar(rng.bounded(256));
                ours.addScanData(line);
                reference.addScanData(line);
            }
            added += batch;
            QVERIFY2(grabImage(ours) == grabImage(reference), qPrintable(QStringLiteral("after %1 lines").arg(added)));
        }
    }

    void liveFollowsChangesDuringScan()
    {
        ScanArea ours;
        ReferenceScanArea reference;
        const QList<ScanArea *> both{&ours, &reference};
        QRandomGenerator rng(7);
        for (ScanArea *a : both) {
            a->resize(600, 450);
            a->show();
        }
        const auto step = [&](const char *what, int lines, const std::function<void(ScanArea *)> &change) {
            for (ScanArea *a : both)
                change(a);
            for (int k = 0; k < lines; ++k) {
                const QList<uchar> line = uniformLine(uchar(rng.bounded(256)));
                for (ScanArea *a : both)
                    a->addScanData(line);
            }
            QVERIFY2(grabImage(ours) == grabImage(reference), what);
        };
        step("start", 200, [](ScanArea *) {});
        step("depth changed", 50, [](ScanArea *a) { a->setDeepness(30); });
        step("resized", 10, [](ScanArea *a) { a->resize(800, 600); });
        step("black and white", 0, [](ScanArea *a) { a->blackWhite = true; });
        step("cleared", 0, [](ScanArea *a) { a->clear(); });
        step("new scan", 120, [](ScanArea *) {});
    }

    void finishedPictureCutToDepth()
    {
        // Bands at rows 300..330 (inside 60 mm) and 1200..1300 (below 60 mm, red).
        QImage scan = bandImage(300, 300, 330);
        for (int y = 1200; y <= 1300; ++y)
            for (int x = 0; x < 300; ++x)
                scan.setPixel(x, y, qRgb(255, 0, 0));
        ScanArea area;
        area.resize(600, 450);
        area.image = &scan;
        area.show();
        const QImage img = grabImage(area);
        // Rows 0 .. 1577 * 60 / 100 - 1 stretched over the 400 pixels of the plot.
        for (int y = 26; y < 424; ++y)
            QVERIFY2(img.pixel(300, y) == scan.pixel(0, ((y - 25) * (1577 * 60 / 100)) / 400), qPrintable(QString::number(y)));
        const auto red = [](QRgb c) { return c == qRgb(255, 0, 0); };
        QCOMPARE(countPixels(img, area.plotRect(), red), 0);
        area.setDeepness(100);
        const QImage deep = grabImage(area);
        QVERIFY(countPixels(deep, area.plotRect(), red) > 0);
        // No live lines nor their cursor over a finished picture.
        area.addScanData(uniformLine(10));
        QCOMPARE(grabImage(area), deep);
    }

    // Each row follows a first rectangle of 7.5 mm at (100, 300)..(150, 349).
    void measurement_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("via");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<bool>("rightButton");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("caption");
        const QRect fifteen(QPoint(200, 125), QPoint(300, 224));
        const QString none = QStringLiteral("Trascinare il mouse");
        QTest::newRow("15 mm") << QPoint(200, 125) << QPoint(300, 224) << QPoint(300, 224) << false << fifteen << "15.0 mm";
        QTest::newRow("dragged upward") << QPoint(300, 224) << QPoint(200, 125) << QPoint(200, 125) << false << fifteen
                                        << "15.0 mm";
        QTest::newRow("from above the plot") << QPoint(200, 5) << QPoint(300, 100) << QPoint(300, 100) << false
                                             << QRect(QPoint(200, 25), QPoint(300, 100)) << "11.4 mm";
        QTest::newRow("past the corner") << QPoint(500, 400) << QPoint(598, 448) << QPoint(598, 448) << false
                                         << QRect(QPoint(500, 400), QPoint(570, 424)) << "3.8 mm";
        QTest::newRow("thin 2 x 40") << QPoint(200, 100) << QPoint(201, 139) << QPoint(201, 139) << false
                                     << QRect(200, 100, 2, 40) << "6.0 mm";
        QTest::newRow("in the top margin") << QPoint(200, 2) << QPoint(300, 20) << QPoint(300, 20) << false << QRect()
                                           << none;
        QTest::newRow("2 x 2") << QPoint(200, 100) << QPoint(201, 101) << QPoint(201, 101) << false << QRect() << none;
        QTest::newRow("2 x 2 leftward") << QPoint(200, 100) << QPoint(197, 101) << QPoint(197, 101) << false << QRect()
                                        << none;
        QTest::newRow("released where pressed") << QPoint(200, 100) << QPoint(300, 300) << QPoint(200, 100) << false
                                                << QRect() << none;
        QTest::newRow("right button") << QPoint(200, 125) << QPoint(300, 224) << QPoint(300, 224) << true
                                      << QRect(QPoint(100, 300), QPoint(150, 349)) << "7.5 mm";
    }
    void measurement()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, via);
        QFETCH(QPoint, release);
        QFETCH(bool, rightButton);
        QFETCH(QRect, rect);
        QFETCH(QString, caption);
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(100, 300), QPoint(150, 349), QPoint(150, 349));
        drag(&area, press, via, release, rightButton ? Qt::RightButton : Qt::LeftButton);
        QCOMPARE(area.clippedMeasureRect(), rect);
        QCOMPARE(area.thickness(), rect.height() * 60 / 400.0);
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : ") + caption));
        const QRect yellow = inkBox(img, img.rect(), isYellowish);
        QCOMPARE(yellow.isEmpty(), rect.isEmpty());
        QVERIFY2(rect.isEmpty() || (qAbs(yellow.top() - rect.top()) <= 1 && qAbs(yellow.bottom() - rect.bottom()) <= 1
                                    && qAbs(yellow.left() - rect.left()) <= 1 && qAbs(yellow.right() - rect.right()) <= 1),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(yellow.x()).arg(yellow.y()).arg(yellow.width()).arg(yellow.height())));
    }

    void rectangleStaysOnTheTissue()
    {
        // A bright band over rows 400..560 of the picture, a red stripe over lines 120..179.
        QImage scan = bandImage(300, 400, 560);
        for (int y = 0; y < scan.height(); ++y)
            for (int x = 120; x < 180; ++x)
                scan.setPixel(x, y, qRgb(240, 0, 0));
        ScanArea area;
        area.resize(600, 450);
        area.image = &scan;
        area.show();
        const auto stripe = [](const QImage &img) {
            return inkBox(img, QRect(50, 30, img.width() - 80, 1), [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 50; });
        };
        const auto followsTissue = [&](const char *what) {
            const QImage img = grabImage(area);
            const auto band = brightRows(img, 60, 25, img.height() - 26);
            const QRect yellow = inkBox(img, img.rect(), isYellowish);
            QVERIFY2(qAbs(yellow.top() - band.first) <= 2 && qAbs(yellow.bottom() - band.second) <= 2, what);
            QVERIFY2(qAbs(yellow.left() - stripe(img).left()) <= 2 && qAbs(yellow.right() - stripe(img).right()) <= 2, what);
        };
        const auto band = brightRows(grabImage(area), 60, 25, 424);
        const QRect red = stripe(grabImage(area));
        drag(&area, QPoint(red.left(), band.first), QPoint(red.right(), band.second), QPoint(red.right(), band.second));
        const double mm = area.thickness();
        // 161 samples of the picture.
        QVERIFY2(qAbs(mm - 161 * CalvimetroProtocol::mmPerSample) < 0.3, qPrintable(QString::number(mm)));
        area.setDeepness(100);
        followsTissue("at 100 mm");
        QVERIFY(qAbs(area.thickness() - mm) < 0.3);
        area.setDeepness(60);
        area.resize(900, 700);
        followsTissue("resized");
        QVERIFY(qAbs(area.thickness() - mm) < 0.3);
        // Shrinking and growing back returns to the same rectangle: no drift.
        const QRect big = area.clippedMeasureRect();
        for (int k = 0; k < 5; ++k) {
            area.resize(437, 311);
            area.resize(900, 700);
        }
        QVERIFY(qAbs(area.clippedMeasureRect().top() - big.top()) <= 1);
        QVERIFY(qAbs(area.clippedMeasureRect().height() - big.height()) <= 1);
    }

    void marksAndLoading()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        for (int i = 0; i < 700; ++i) {
            if (i == 12 || i == 345 || i == 600)
                area.addMark();
            area.addScanData(uniformLine(0));
        }
        QCOMPARE(area.analysis.linemarks, QList<int>({12, 345, 600}));
        const auto orange = [](QRgb c) { return qRed(c) > 100 && qGreen(c) > 30 && qGreen(c) < qRed(c) && qBlue(c) < 90; };
        const auto markedAt = [&](int line, double span) {
            const int x = int(50 + line * area.plotWidth() / span);
            return countPixels(grabImage(area), QRect(x - 1, 27, 3, area.plotHeight() - 4), orange) > area.plotHeight() / 2;
        };
        // Live, a line's column is its share of a full scan; over a picture, of its width.
        for (int line : {12, 345, 600})
            QVERIFY2(markedAt(line, 902.0), qPrintable(QString::number(line)));
        QImage scan = bandImage(700, 0, 0);
        area.image = &scan;
        QVERIFY(markedAt(345, 700.0));
        const auto loadingInk = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 200 && qGreen(c) > 150; };
        QCOMPARE(countPixels(grabImage(area), area.plotRect(), loadingInk), 0);
        area.loading = true;
        const QRect text = inkBox(grabImage(area), area.plotRect(), loadingInk);
        QVERIFY(!text.isEmpty() && (text.center() - area.plotRect().center()).manhattanLength() <= 6);
        area.clear();
        QVERIFY(!area.loading && area.analysis.linemarks.isEmpty() && !area.image);
    }

    void savedPictureAtItsOwnSize_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("shown") << true;
        QTest::newRow("hidden") << false;
    }
    void savedPictureAtItsOwnSize()
    {
        QFETCH(bool, shown);
        QTemporaryDir dir;
        ScanArea area;
        area.resize(700, 550);
        if (shown)
            area.show();
        else
            grabImage(area);  // laid out once without being shown
        for (int i = 0; i < 300; ++i)
            area.addScanData(uniformLine(uchar(i)));
        drag(&area, QPoint(200, 125), QPoint(400, 325), QPoint(400, 325));
        const QRect before = area.clippedMeasureRect();
        const QString path = dir.filePath(QStringLiteral("scan.jpg"));
        QVERIFY(area.saveJpg(path, 500, 400));
        QCOMPARE(area.size(), QSize(700, 550));
        QCOMPARE(area.clippedMeasureRect(), before);
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage saved = reader.read();
        QCOMPARE(saved.size(), QSize(500, 400));
        // The rectangle scaled with the plot (620 x 500 to 420 x 350).
        const QRect yellow = inkBox(saved, saved.rect(), isYellowish);
        QVERIFY(qAbs(yellow.left() - int(150 * 420.0 / 620 + 50)) <= 2 && qAbs(yellow.top() - int(100 * 350.0 / 500 + 25)) <= 2);
        // No caption in the export: the strip above the plot is plain.
        const QRgb bg = saved.pixel(250, 5);
        QCOMPARE(countPixels(saved, QRect(60, 2, 380, 18), [bg](QRgb c) {
                     return qAbs(qRed(c) - qRed(bg)) + qAbs(qGreen(c) - qGreen(bg)) + qAbs(qBlue(c) - qBlue(bg)) > 60;
                 }),
                 0);
    }

    void marksFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("no file: kept") << QByteArray() << QList<int>({1, 2, 3});
        QTest::newRow("empty") << QByteArray("") << QList<int>();
        QTest::newRow("not json") << QByteArray("linemarks: 1, 2") << QList<int>();
        QTest::newRow("no key") << QByteArray(R"({"marks": [1, 2]})") << QList<int>();
        QTest::newRow("array root") << QByteArray("[1, 2, 3]") << QList<int>();
        QTest::newRow("not an array") << QByteArray(R"({"linemarks": 5})") << QList<int>();
        QTest::newRow("truncated") << QByteArray(R"({"linemarks": [1, 2)") << QList<int>();
        QTest::newRow("non-integers") << QByteArray(R"({"linemarks": [7, "x", null, 9]})") << QList<int>({7, 0, 0, 9});
        QTest::newRow("other keys") << QByteArray(R"({"a": 1, "linemarks": [3]})") << QList<int>({3});
    }
    void marksFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.json"));
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        AnalysisData data;
        data.linemarks = {1, 2, 3};
        data.loadFromFile(path);
        QCOMPARE(data.linemarks, expected);
        // Written back, read again; a missing folder writes nothing.
        QVERIFY(data.saveToFile(path));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(written.readAll()).object().keys(), QStringList{QStringLiteral("linemarks")});
        AnalysisData back;
        back.loadFromFile(path);
        QCOMPARE(back.linemarks, expected);
        QVERIFY(!data.saveToFile(QStringLiteral("/nonexistent/x.json")));
    }
};

CALVESTRA_TEST_MAIN(ScanAreaTest)
#include "tst_scanarea.moc"
