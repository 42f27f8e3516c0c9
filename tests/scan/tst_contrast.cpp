#include "TestMain.h"

#include "scan/Contrast.h"
#include "scan/ScanColorTable.h"

#include <QRandomGenerator>

namespace {

// A scan of `lines` lines of `samplesPerLine` samples, every line filled by `fill`.
QList<uchar> makeScan(int lines, int samplesPerLine, const std::function<uchar(int line, int row)> &fill)
{
    QList<uchar> data;
    data.reserve(lines * samplesPerLine);
    for (int l = 0; l < lines; ++l)
        for (int r = 0; r < samplesPerLine; ++r)
            data.append(fill(l, r));
    return data;
}

// The per-sample formula written out the long way, as a reference for the table.
QRgb referenceColor(uchar s, double gain, double floor, bool blackWhite)
{
    int v = static_cast<int>(s - floor);
    v = ((v % 256) + 256) % 256;
    int d = static_cast<int>(v * gain);
    if (d > 254)
        d = 254;
    if (blackWhite)
        return qRgb(d, d, d);
    return value2Color(static_cast<uchar>(d)).rgb();
}

}  // namespace

class ContrastTest : public QObject
{
    Q_OBJECT

private slots:
    void paletteExamples_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("0") << 0 << QColor(0, 0, 0);
        QTest::newRow("64") << 64 << QColor(0, 0, 127);
        QTest::newRow("127") << 127 << QColor(0, 0, 253);
        QTest::newRow("128") << 128 << QColor(1, 1, 255);
        QTest::newRow("192") << 192 << QColor(129, 129, 255);
        QTest::newRow("255") << 255 << QColor(255, 255, 255);
    }
    void paletteExamples()
    {
        QFETCH(int, value);
        QFETCH(QColor, expected);
        const QColor c = value2Color(static_cast<uchar>(value));
        QCOMPARE(c.red(), expected.red());
        QCOMPARE(c.green(), expected.green());
        QCOMPARE(c.blue(), expected.blue());
        QCOMPARE(c.alpha(), 255);
    }

    void paletteIsMonotonic()
    {
        const QVector<QRgb> palette = scanPalette();
        QCOMPARE(palette.size(), 256);
        for (int i = 1; i < 256; ++i) {
            const int before = qRed(palette[i - 1]) + qGreen(palette[i - 1]) + qBlue(palette[i - 1]);
            const int now = qRed(palette[i]) + qGreen(palette[i]) + qBlue(palette[i]);
            QVERIFY2(now >= before, qPrintable(QString::number(i)));
            QCOMPARE(qRed(palette[i]), qGreen(palette[i]));
        }
    }

    void allZeroScan()
    {
        QList<uchar> data = makeScan(10, 1577, [](int, int) { return uchar(0); });
        const auto [gain, floor] = analyzeHistogram(data, 10, 946, true);
        QCOMPARE(floor, 0.0);
        QCOMPARE(gain, 254.99 / 240);
    }

    void evenSpreadAutomatic()
    {
        // 200 lines whose on-screen rows hold the levels 20..219 once each: c = 200.
        const int lines = 200;
        QList<uchar> data = makeScan(lines, 1577, [](int line, int row) {
            if (row < 200)
                return uchar(20 + (row + line) % 200);
            return uchar(255);  // below the displayed depth: must not count
        });
        const auto [gain, floor] = analyzeHistogram(data, lines, 200, true);
        QCOMPARE(floor, 20.0);
        QCOMPARE(gain, 254.99 / 180);
    }

    void plainMinMax()
    {
        QList<uchar> data = makeScan(50, 1577, [](int line, int row) {
            if (row >= 100)
                return uchar(250);
            return uchar(30 + (line * 7 + row) % 151);
        });
        const auto [gain, floor] = analyzeHistogram(data, 50, 100, false);
        QCOMPARE(floor, 30.0);
        QCOMPARE(gain, 254.99 / 150);
    }

    void rowsBelowDepthNeverCount()
    {
        QList<uchar> dim = makeScan(20, 1577, [](int, int row) { return uchar(row < 300 ? 40 + row % 50 : 0); });
        QList<uchar> bright = makeScan(20, 1577, [](int, int row) { return uchar(row < 300 ? 40 + row % 50 : 255); });
        QCOMPARE(analyzeHistogram(dim, 20, 300, true), analyzeHistogram(bright, 20, 300, true));
        QCOMPARE(analyzeHistogram(dim, 20, 300, false), analyzeHistogram(bright, 20, 300, false));
    }

    void plainModeAllZeroUsesFullRange()
    {
        QList<uchar> data = makeScan(4, 100, [](int, int) { return uchar(0); });
        const auto [gain, floor] = analyzeHistogram(data, 4, 100, false);
        QCOMPARE(floor, 0.0);
        QCOMPARE(gain, 254.99 / 255);
    }

    void singleLevelGivesSafeGain_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("autoAdjust");
        QTest::newRow("plain 77") << 77 << false;
        QTest::newRow("plain 255") << 255 << false;
        QTest::newRow("auto 77") << 77 << true;
        QTest::newRow("auto 10") << 10 << true;
        QTest::newRow("auto 250") << 250 << true;
    }
    void singleLevelGivesSafeGain()
    {
        QFETCH(int, level);
        QFETCH(bool, autoAdjust);
        QList<uchar> data = makeScan(30, 200, [level](int, int) { return uchar(level); });
        const auto [gain, floor] = analyzeHistogram(data, 30, 200, autoAdjust);
        QVERIFY(std::isfinite(gain));
        QVERIFY(gain > 0);
        QCOMPARE(floor, double(level));
        for (int s = 0; s < 256; ++s) {
            const int d = stretchSample(uchar(s), gain, floor);
            QVERIFY2(d >= 0 && d <= 254, qPrintable(QString::number(s)));
        }
        QCOMPARE(int(stretchSample(uchar(level), gain, floor)), 0);
    }

    void depthBeyondLineIsClamped()
    {
        // A depth larger than the stored line must not read into the next line.
        QList<uchar> data = makeScan(3, 10, [](int line, int) { return uchar(line == 2 ? 200 : 50); });
        const auto [gain, floor] = analyzeHistogram(data, 3, 5000, false);
        QCOMPARE(floor, 50.0);
        QCOMPARE(gain, 254.99 / 150);
    }

    void stretchWrapsBelowFloor()
    {
        // Samples under the floor wrap around as 8-bit values and then saturate.
        QCOMPARE(int(stretchSample(10, 2.0, 20)), 254);
        QCOMPARE(int(stretchSample(20, 2.0, 20)), 0);
        QCOMPARE(int(stretchSample(21, 2.0, 20)), 2);
        QCOMPARE(int(stretchSample(120, 254.99 / 100, 20)), 254);
        QCOMPARE(int(stretchSample(119, 254.99 / 100, 20)), 252);
    }

    void tableMatchesFormula_data()
    {
        QTest::addColumn<double>("gain");
        QTest::addColumn<double>("floor");
        QTest::newRow("auto all zero") << 254.99 / 240 << 0.0;
        QTest::newRow("even spread") << 254.99 / 180 << 20.0;
        QTest::newRow("plain") << 254.99 / 150 << 30.0;
        QTest::newRow("steep") << 254.99 / 3 << 100.0;
        QTest::newRow("single level") << 254.99 << 77.0;
        QTest::newRow("identity-ish") << 254.99 / 255 << 0.0;
    }
    void tableMatchesFormula()
    {
        QFETCH(double, gain);
        QFETCH(double, floor);
        const QVector<QRgb> palette = scanPalette();
        for (bool blackWhite : {false, true}) {
            const ScanColorTable table(palette, gain, floor, blackWhite);
            for (int s = 0; s < 256; ++s) {
                const QRgb expected = referenceColor(uchar(s), gain, floor, blackWhite);
                QVERIFY2(table.color(uchar(s)) == expected,
                         qPrintable(QStringLiteral("sample %1 bw %2").arg(s).arg(blackWhite)));
                if (blackWhite) {
                    const QRgb c = table.color(uchar(s));
                    QCOMPARE(qRed(c), qGreen(c));
                    QCOMPARE(qGreen(c), qBlue(c));
                    QVERIFY(qRed(c) <= 254);
                }
            }
        }
    }

    void randomScansStayInRange()
    {
        QRandomGenerator rng(1234);
        for (int round = 0; round < 50; ++round) {
            const int lines = 1 + rng.bounded(40);
            const int perLine = 1 + rng.bounded(300);
            QList<uchar> data = makeScan(lines, perLine, [&](int, int) { return uchar(rng.bounded(256)); });
            const int depth = rng.bounded(perLine + 20);
            for (bool autoAdjust : {false, true}) {
                const auto [gain, floor] = analyzeHistogram(data, lines, depth, autoAdjust);
                QVERIFY(std::isfinite(gain) && gain > 0);
                QVERIFY(floor >= 0 && floor <= 255);
            }
        }
    }
};

CALVESTRA_TEST_MAIN(ContrastTest)
#include "tst_contrast.moc"
