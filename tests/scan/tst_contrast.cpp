// The scan palette, the contrast stretch computed from the part of a scan on screen, and
// the colour table built from it.
#include "TestMain.h"

#include "scan/Contrast.h"
#include "scan/ScanColorTable.h"

namespace {

// `lines` lines of `perLine` samples, sample (line, row) from `fill`.
QList<uchar> makeScan(int lines, int perLine, const std::function<int(int, int)> &fill)
{
    QList<uchar> data;
    for (int l = 0; l < lines; ++l)
        for (int r = 0; r < perLine; ++r)
            data.append(uchar(fill(l, r)));
    return data;
}

}  // namespace

class ContrastTest : public QObject
{
    Q_OBJECT

private slots:
    void palette_data()
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
    void palette()
    {
        QFETCH(int, value);
        QFETCH(QColor, expected);
        QCOMPARE(value2Color(uchar(value)).rgba(), expected.rgba());
        QCOMPARE(scanPalette().at(value), expected.rgb());
    }

    // Samples below the displayed depth (255 or 250 here) never count.
    void stretch_data()
    {
        QTest::addColumn<QList<uchar>>("data");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("autoAdjust");
        QTest::addColumn<double>("floor");
        QTest::addColumn<double>("span");
        QTest::newRow("all zero, automatic") << makeScan(10, 1577, [](int, int) { return 0; }) << 10 << 946 << true
                                             << 0.0 << 240.0;
        QTest::newRow("all zero, plain") << makeScan(4, 100, [](int, int) { return 0; }) << 4 << 100 << false << 0.0
                                         << 255.0;
        // The rows on screen hold 20..219 once each: the brightest tenth saturates.
        QTest::newRow("even spread, automatic")
            << makeScan(200, 1577, [](int l, int r) { return r < 200 ? 20 + (r + l) % 200 : 255; }) << 200 << 200
            << true << 20.0 << 180.0;
        QTest::newRow("darkest to brightest, plain")
            << makeScan(50, 1577, [](int l, int r) { return r < 100 ? 30 + (l * 7 + r) % 151 : 250; }) << 50 << 100
            << false << 30.0 << 150.0;
        // A depth beyond the stored line must not read into the next one.
        QTest::newRow("depth beyond the line") << makeScan(3, 10, [](int l, int) { return l == 2 ? 200 : 50; }) << 3
                                               << 5000 << false << 50.0 << 150.0;
        QTest::newRow("one level, plain") << makeScan(30, 200, [](int, int) { return 77; }) << 30 << 200 << false
                                          << 77.0 << 1.0;
        QTest::newRow("one level, automatic") << makeScan(30, 200, [](int, int) { return 77; }) << 30 << 200 << true
                                              << 77.0 << 1.0;
        QTest::newRow("one dark level, automatic") << makeScan(30, 200, [](int, int) { return 10; }) << 30 << 200
                                                   << true << 10.0 << 1.0;
    }
    void stretch()
    {
        QFETCH(QList<uchar>, data);
        QFETCH(int, lines);
        QFETCH(int, depth);
        QFETCH(bool, autoAdjust);
        QFETCH(double, floor);
        QFETCH(double, span);
        const auto [gain, offset] = analyzeHistogram(data, lines, depth, autoAdjust);
        QCOMPARE(offset, floor);
        QCOMPARE(gain, 254.99 / span);
    }

    // The table against the formula: (sample - floor) as an 8-bit value, times gain,
    // at most 254; grey or the palette colour of that value.
    void colourTable_data()
    {
        QTest::addColumn<double>("gain");
        QTest::addColumn<double>("floor");
        QTest::newRow("gentle") << 254.99 / 240 << 0.0;
        QTest::newRow("plain") << 254.99 / 150 << 30.0;
        QTest::newRow("steep") << 254.99 / 3 << 100.0;
        QTest::newRow("single level") << 254.99 << 77.0;
    }
    void colourTable()
    {
        QFETCH(double, gain);
        QFETCH(double, floor);
        for (bool blackWhite : {false, true}) {
            const ScanColorTable table(scanPalette(), gain, floor, blackWhite);
            for (int s = 0; s < 256; ++s) {
                const int d = qMin(254, int((((s - int(floor)) % 256 + 256) % 256) * gain));
                const QRgb expected = blackWhite ? qRgb(d, d, d) : value2Color(uchar(d)).rgb();
                QVERIFY2(table.color(uchar(s)) == expected, qPrintable(QStringLiteral("sample %1 bw %2").arg(s).arg(blackWhite)));
            }
        }
    }
};

CALVESTRA_TEST_MAIN(ContrastTest)
#include "tst_contrast.moc"
