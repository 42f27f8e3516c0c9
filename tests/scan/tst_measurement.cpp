#include "TestMain.h"

#include "ScanTestSupport.h"

#include "scan/AnalysisData.h"
#include "scan/ScanArea.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

using namespace ScanTest;

namespace {

void drag(QWidget *w, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(w, button, {}, from);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, button, {}, to);
}

// A finished scan picture with one bright band over rows bandTop..bandBottom.
QImage bandImage(int lines, int bandTop, int bandBottom)
{
    QImage img(lines, CalvimetroProtocol::scanRealMaxIndex, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 40));
    for (int y = bandTop; y <= bandBottom; ++y)
        for (int x = 0; x < lines; ++x)
            img.setPixel(x, y, qRgb(240, 240, 240));
    return img;
}

// Rows of column x of the plot that show the bright band (or the band under the yellow).
QPair<int, int> brightRows(const QImage &img, int x, int top, int bottom)
{
    int first = -1;
    int last = -1;
    for (int y = top; y <= bottom; ++y) {
        if (qRed(img.pixel(x, y)) > 200) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return qMakePair(first, last);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace

class MeasurementTest : public QObject
{
    Q_OBJECT

private slots:
    void clickLeavesNoRectangle()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(200, 125), QPoint(300, 224));
        QVERIFY(area.thickness() > 0);
        // A click replaces the rectangle by nothing.
        QTest::mouseClick(&area, Qt::LeftButton, {}, QPoint(250, 250));
        QVERIFY(area.clippedMeasureRect().isEmpty());
        QCOMPARE(area.measureRect.width(), 0);
        QCOMPARE(area.measureHeight, 0.0);
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : Trascinare il mouse")));
        QCOMPARE(countPixels(img, img.rect(), isYellowish), 0);
    }

    void thinDragStays()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        // 2 x 40: one side of 3 pixels or more is enough.
        drag(&area, QPoint(200, 100), QPoint(201, 139));
        QCOMPARE(area.clippedMeasureRect(), QRect(200, 100, 2, 40));
        QCOMPARE(area.thickness(), 40 / (400.0 / 60));
        const QImage img = grabImage(area);
        QVERIFY(captionShows(area, img, QStringLiteral("Spessore : 6.0 mm")));
        QVERIFY(countPixels(img, QRect(195, 95, 12, 50), isYellowish) > 40);
    }

    void tinyDragIsDropped_data()
    {
        QTest::addColumn<QPoint>("to");
        QTest::newRow("2 x 2") << QPoint(201, 101);
        QTest::newRow("1 x 1") << QPoint(200, 100);
        QTest::newRow("-2 x 2 leftward") << QPoint(197, 101);
    }
    void tinyDragIsDropped()
    {
        QFETCH(QPoint, to);
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(200, 100), to);
        QVERIFY(area.clippedMeasureRect().isEmpty());
        QCOMPARE(area.thickness(), 0.0);
        QCOMPARE(countPixels(grabImage(area), QRect(0, 0, 600, 450), isYellowish), 0);
    }

    void releaseOnPressedPointDrops()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(200, 100));
        QTest::mouseMove(&area, QPoint(300, 300));
        QVERIFY(!area.clippedMeasureRect().isEmpty());
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(200, 100));
        QVERIFY(area.clippedMeasureRect().isEmpty());
    }

    void onlyTheLeftButtonMeasures()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(200, 125), QPoint(300, 224));
        const QRect kept = area.clippedMeasureRect();
        drag(&area, QPoint(100, 50), QPoint(400, 400), Qt::RightButton);
        QCOMPARE(area.clippedMeasureRect(), kept);
        QCOMPARE(area.thickness(), 15.0);
    }

    void depthChangeKeepsThickness()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        drag(&area, QPoint(200, 125), QPoint(300, 224));
        const QImage at60 = grabImage(area);
        QCOMPARE(area.thickness(), 15.0);

        area.setDeepness(30);
        // The top moves away from y = 25 by the factor 2 and the height doubles.
        QCOMPARE(area.measureRect.top(), 225);
        QCOMPARE(area.measureRect.bottom(), 424);
        QCOMPARE(area.measureRect.left(), 200);
        QCOMPARE(area.measureRect.right(), 300);
        QCOMPARE(area.thickness(), 15.0);
        const QImage at30 = grabImage(area);
        const QRect yellow = inkBox(at30, QRect(0, 0, 600, 450), isYellowish);
        QVERIFY(qAbs(yellow.top() - 225) <= 1 && qAbs(yellow.bottom() - 424) <= 1);
        // Same thickness, same caption pixels.
        const QRect caption(50, 0, 520, 22);
        QCOMPARE(at30.copy(caption), at60.copy(caption));
        QVERIFY(captionShows(area, at30, QStringLiteral("Spessore : 15.0 mm")));

        // And back: the same rectangle as before.
        area.setDeepness(60);
        QCOMPARE(area.clippedMeasureRect(), QRect(QPoint(200, 125), QPoint(300, 224)));
    }

    void depthChangeKeepsRectangleOnTissue()
    {
        // A band at rows 400..560 of the scan; measured at 60 mm, then shown at 100 mm.
        QImage scan = bandImage(300, 400, 560);
        ScanArea area;
        area.resize(600, 450);
        area.image = &scan;
        area.show();
        const auto band60 = brightRows(grabImage(area), 100, 25, 424);
        drag(&area, QPoint(200, band60.first), QPoint(400, band60.second));
        const double mm = area.thickness();
        // 161 samples of 0.0634 mm: about 10.2 mm.
        QVERIFY2(qAbs(mm - 161 * CalvimetroProtocol::mmPerSample) < 0.3, qPrintable(QString::number(mm)));

        area.setDeepness(100);
        const QImage img = grabImage(area);
        const auto band100 = brightRows(img, 100, 25, 424);
        const QRect yellow = inkBox(img, QRect(150, 0, 300, 450), isYellowish);
        QVERIFY2(qAbs(yellow.top() - band100.first) <= 2 && qAbs(yellow.bottom() - band100.second) <= 2,
                 qPrintable(QStringLiteral("band %1..%2 rect %3..%4")
                                .arg(band100.first)
                                .arg(band100.second)
                                .arg(yellow.top())
                                .arg(yellow.bottom())));
        QVERIFY(qAbs(area.thickness() - mm) < 0.3);
    }

    void resizeKeepsRectangleOnTissue()
    {
        QImage scan = bandImage(300, 300, 500);
        for (int y = 0; y < scan.height(); ++y)
            for (int x = 120; x < 180; ++x)
                scan.setPixel(x, y, qRgb(240, 0, 0));  // a red stripe across lines 120..179
        ScanArea area;
        area.resize(600, 450);
        area.image = &scan;
        area.show();
        const QImage before = grabImage(area);
        const auto band = brightRows(before, 100, 25, 424);
        // Columns of the red stripe.
        const QRect stripe = inkBox(before, QRect(50, 30, 521, 1),
                                    [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 50; });
        drag(&area, QPoint(stripe.left(), band.first), QPoint(stripe.right(), band.second));
        const double mm = area.thickness();

        area.resize(900, 700);
        const QImage after = grabImage(area);
        const auto band2 = brightRows(after, 60, 25, 674);
        const QRect stripe2 = inkBox(after, QRect(50, 30, 821, 1),
                                     [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 50; });
        const QRect yellow = inkBox(after, QRect(0, 0, 900, 700), isYellowish);
        QVERIFY2(qAbs(yellow.top() - band2.first) <= 2 && qAbs(yellow.bottom() - band2.second) <= 2,
                 qPrintable(QStringLiteral("band %1..%2 rect %3..%4")
                                .arg(band2.first)
                                .arg(band2.second)
                                .arg(yellow.top())
                                .arg(yellow.bottom())));
        QVERIFY2(qAbs(yellow.left() - stripe2.left()) <= 2 && qAbs(yellow.right() - stripe2.right()) <= 2,
                 qPrintable(QStringLiteral("stripe %1..%2 rect %3..%4")
                                .arg(stripe2.left())
                                .arg(stripe2.right())
                                .arg(yellow.left())
                                .arg(yellow.right())));
        QVERIFY(qAbs(area.thickness() - mm) < 0.2);

        // Shrinking and growing back returns to the same rectangle: no drift.
        const QRect big = area.clippedMeasureRect();
        for (int k = 0; k < 5; ++k) {
            area.resize(437, 311);
            area.resize(900, 700);
        }
        QVERIFY(qAbs(area.clippedMeasureRect().top() - big.top()) <= 1);
        QVERIFY(qAbs(area.clippedMeasureRect().height() - big.height()) <= 1);
    }

    void marksArePaintedAtTheirLines()
    {
        ScanArea area;
        area.resize(600, 450);
        area.show();
        QList<int> marks;
        for (int i = 0; i < 700; ++i) {
            if (i == 12 || i == 345 || i == 600) {
                area.addMark();
                marks.append(i);
            }
            area.addScanData(uniformLine(0));
        }
        QCOMPARE(area.analysis.linemarks, marks);
        const QImage img = grabImage(area);
        auto orange = [](QRgb c) { return qRed(c) > 100 && qGreen(c) > 30 && qGreen(c) < qRed(c) && qBlue(c) < 90; };
        for (int m : marks) {
            const int x = static_cast<int>(50 + m * area.plotWidth() / 902.0);
            const int n = countPixels(img, QRect(x - 1, 27, 3, area.plotHeight() - 4), orange);
            QVERIFY2(n > area.plotHeight() / 2, qPrintable(QStringLiteral("mark %1: %2").arg(m).arg(n)));
        }
        // Over a finished picture the marks follow its width.
        QImage scan = bandImage(700, 0, 0);
        area.image = &scan;
        const QImage withImage = grabImage(area);
        const int x = static_cast<int>(50 + 345 * area.plotWidth() / 700.0);
        QVERIFY(countPixels(withImage, QRect(x - 1, 27, 3, area.plotHeight() - 4), orange) > area.plotHeight() / 2);
    }

    void marksFileRoundTrip()
    {
        QTemporaryDir dir;
        ScanArea area;
        for (int i = 0; i <= 600; ++i) {
            if (i == 12 || i == 345 || i == 600)
                area.addMark();
            area.addScanData(uniformLine(1));
        }
        const QString path = dir.filePath(QStringLiteral("Vita-20260305--14-03-09.json"));
        QVERIFY(area.saveAnalysisJson(path));
        const QJsonDocument doc = QJsonDocument::fromJson(readFile(path));
        QVERIFY(doc.isObject());
        QCOMPARE(doc.object().keys(), QStringList{QStringLiteral("linemarks")});
        QCOMPARE(doc.object().value(QStringLiteral("linemarks")).toArray(), QJsonArray({12, 345, 600}));
        // Indented form.
        QVERIFY(readFile(path).contains("\n    "));

        AnalysisData loaded;
        loaded.loadFromFile(path);
        QCOMPARE(loaded.linemarks, QList<int>({12, 345, 600}));

        // The widget's own marks come back the same way, and clear() drops them.
        ScanArea other;
        other.analysis.loadFromFile(path);
        QCOMPARE(other.analysis.linemarks, area.analysis.linemarks);
        other.clear();
        QVERIFY(other.analysis.linemarks.isEmpty());
    }

    void badJsonGivesNoMarks_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("not json") << QByteArray("linemarks: 1, 2") << QList<int>();
        QTest::newRow("empty") << QByteArray() << QList<int>();
        QTest::newRow("binary") << QByteArray("\x00\xff\x13\x37", 4) << QList<int>();
        QTest::newRow("no key") << QByteArray(R"({"marks": [1, 2]})") << QList<int>();
        QTest::newRow("array root") << QByteArray("[1, 2, 3]") << QList<int>();
        QTest::newRow("not an array") << QByteArray(R"({"linemarks": 5})") << QList<int>();
        QTest::newRow("truncated") << QByteArray(R"({"linemarks": [1, 2)") << QList<int>();
        QTest::newRow("non-integers") << QByteArray(R"({"linemarks": [7, "x", null, 9]})") << QList<int>({7, 0, 0, 9});
        QTest::newRow("other keys ignored") << QByteArray(R"({"a": 1, "linemarks": [3]})") << QList<int>({3});
    }
    void badJsonGivesNoMarks()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.json"));
        QVERIFY(writeFile(path, content));
        AnalysisData data;
        data.linemarks = {1, 2, 3};
        data.loadFromFile(path);
        QCOMPARE(data.linemarks, expected);
    }

    void missingFileKeepsMarks()
    {
        AnalysisData data;
        data.linemarks = {4, 5};
        QTest::ignoreMessage(QtDebugMsg, "Failed to open file: /nonexistent/x.json");
        data.loadFromFile(QStringLiteral("/nonexistent/x.json"));
        QCOMPARE(data.linemarks, QList<int>({4, 5}));
    }

    void failedSaveLeavesNothing()
    {
        AnalysisData data;
        data.linemarks = {1};
        QTest::ignoreMessage(QtDebugMsg, "can't open outFile");
        QVERIFY(!data.saveToFile(QStringLiteral("/nonexistent/x.json")));
        QVERIFY(!QFile::exists(QStringLiteral("/nonexistent/x.json")));
    }
};

CALVESTRA_TEST_MAIN(MeasurementTest)
#include "tst_measurement.moc"
