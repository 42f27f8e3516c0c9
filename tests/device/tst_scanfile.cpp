#include "TestMain.h"

#include "ScannerProbe.h"

#include "device/CalvimetroModel.h"
#include "device/VXCommThread.h"
#include "scan/Contrast.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <array>
#include <climits>

// The scan a VXCommThread holds: the .d2d file it saves and loads, and the picture it
// builds, checked byte for byte and pixel for pixel.

namespace {

constexpr int kSamples = VXCommThread::scanRealMaxIndex;

// `lines` lines of echo from the simulated tissue, as the acquisition would store them.
QList<uchar> simulatedScan(int lines, int gain = 160)
{
    CalvimetroModel model;
    model.setOffsetMm(5.77);
    const int offset = model.lineOffset();
    QList<uchar> data;
    data.reserve(qsizetype(lines) * kSamples);
    std::array<uint8_t, VXCommThread::blockSize> block;
    for (int line = 0; line < lines; ++line) {
        model.renderScanBlock(block.data(), gain, line + 1);
        data.append(QList<uchar>(block.begin() + offset, block.begin() + offset + kSamples));
    }
    return data;
}

void holdScan(VXCommThread &holder, const QList<uchar> &data)
{
    holder.scanData = data;
    holder.lineCount = int(data.size() / kSamples);
}

QByteArray header(qint32 scanMaxIndex, qint32 scanSpeed, quint32 datalen)
{
    QByteArray bytes(12, '\0');
    qToLittleEndian(scanMaxIndex, bytes.data());
    qToLittleEndian(scanSpeed, bytes.data() + 4);
    qToLittleEndian(datalen, bytes.data() + 8);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture as the formula reads: pixel (row, column) from sample column * height + row,
// (s - floor) modulo 256, times gain, truncated, at most 254; grey or palette.
QImage referencePicture(QList<uchar> data, int lineCount, int deepIndex, bool autoAdjust, bool blackWhite)
{
    const QPair<double, double> contrast = analyzeHistogram(data, lineCount, deepIndex, autoAdjust);
    const int width = lineCount;
    const int height = int(data.size() / lineCount);
    QImage picture(width, height, QImage::Format_RGB32);
    for (int p = 0; p < width * height; ++p) {
        const int row = p / width;
        const int column = p % width;
        const int s = data[qsizetype(column) * height + row];
        int v = static_cast<int>(s - contrast.second);
        v = ((v % 256) + 256) % 256;
        int d = static_cast<int>(v * contrast.first);
        d = qMin(d, 254);
        const QRgb colour = blackWhite ? qRgb(d, d, d) : value2Color(uchar(d)).rgb();
        picture.setPixel(column, row, colour);
    }
    return picture;
}

}  // namespace

class ScanFileTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void savedFileAtTheDisplayedDepth()
    {
        ScannerProbe probe;
        VXCommThread holder(false);
        const QList<uchar> data = simulatedScan(300);
        holdScan(holder, data);
        holder.setDeepness(60);
        QCOMPARE(holder.deepIndex.load(), 945);
        QVERIFY(holder.saveToFile(path("depth60.d2d")));
        QVERIFY(probe.hasLog("save file (scanMaxIndex - scanSpeed - datalen) 945 1 283500"));

        const QByteArray bytes = readFile(path("depth60.d2d"));
        QCOMPARE(bytes.size(), 283512);
        QCOMPARE(bytes.left(12), header(945, 1, 283500));
        for (int line = 0; line < 300; ++line) {
            for (int j = 0; j < 945; j += 7)
                QCOMPARE(uchar(bytes[12 + line * 945 + j]), data[qsizetype(line) * kSamples + j]);
            QCOMPARE(uchar(bytes[12 + line * 945 + 944]), data[qsizetype(line) * kSamples + 944]);
        }

        // It is exactly what QDataStream makes of the header and a byte array.
        QDataStream in(bytes);
        in.setByteOrder(QDataStream::LittleEndian);
        qint32 scanMaxIndex = 0;
        qint32 scanSpeed = 0;
        QByteArray samples;
        in >> scanMaxIndex >> scanSpeed >> samples;
        QCOMPARE(in.status(), QDataStream::Ok);
        QCOMPARE(scanMaxIndex, 945);
        QCOMPARE(scanSpeed, 1);
        QCOMPARE(samples, bytes.mid(12));
    }

    void defaultDepthStores946Samples()
    {
        VXCommThread holder(false);
        holdScan(holder, simulatedScan(300));
        QVERIFY(holder.saveToFile(path("default.d2d")));
        const QByteArray bytes = readFile(path("default.d2d"));
        QCOMPARE(bytes.size(), 12 + 300 * 946);
        QCOMPARE(bytes.left(12), header(946, 1, 300 * 946));
    }

    void reloadingRestoresLinesAndDepth()
    {
        VXCommThread writer(false);
        const QList<uchar> data = simulatedScan(300);
        holdScan(writer, data);
        writer.setDeepness(60);
        QVERIFY(writer.saveToFile(path("reload.d2d")));

        ScannerProbe probe;
        VXCommThread reader(false);
        probe.watch(reader);
        QVERIFY(reader.loadFromFile(path("reload.d2d")));
        QCOMPARE(reader.lineCount, 300);
        QCOMPARE(reader.deepIndex.load(), 945);
        QCOMPARE(reader.deepness.load(), 59);  // 945 * 0.0634375 = 59.948
        QCOMPARE(probe.deepnessChanges(), QList<int>({59}));
        QVERIFY(probe.hasLog("load file (scanMaxIndex - scanSpeed - datalen) 945 1 283500"));
        QCOMPARE(reader.scanData.size(), qsizetype(300) * kSamples);
        for (int line = 0; line < 300; ++line) {
            const qsizetype at = qsizetype(line) * kSamples;
            QCOMPARE(reader.scanData.mid(at, 945), data.mid(at, 945));
            const QList<uchar> below = reader.scanData.mid(at + 945, kSamples - 945);
            QVERIFY(std::all_of(below.begin(), below.end(), [](uchar v) { return v == 0; }));
        }
        // Saved again, it is the same file.
        QVERIFY(reader.saveToFile(path("reload-again.d2d")));
        QCOMPARE(readFile(path("reload-again.d2d")), readFile(path("reload.d2d")));
    }

    void partialLastLineIsDropped()
    {
        QByteArray samples(2 * 945 + 100, '\x2a');
        QVERIFY(writeFile(path("partial.d2d"), header(945, 1, quint32(samples.size())) + samples));
        VXCommThread reader(false);
        QVERIFY(reader.loadFromFile(path("partial.d2d")));
        QCOMPARE(reader.lineCount, 2);
        QCOMPARE(reader.scanData.size(), qsizetype(2) * kSamples);
        QCOMPARE(reader.scanData.at(944), uchar(0x2a));
        QCOMPARE(reader.scanData.at(945), uchar(0));
    }

    void fullDepthAndOneSampleLines()
    {
        VXCommThread writer(false);
        const QList<uchar> data = simulatedScan(3);
        holdScan(writer, data);
        writer.setDeepness(100);
        QCOMPARE(writer.deepIndex.load(), 1576);
        writer.deepIndex = 1577;  // the whole line
        QVERIFY(writer.saveToFile(path("full.d2d")));
        VXCommThread reader(false);
        QVERIFY(reader.loadFromFile(path("full.d2d")));
        QCOMPARE(reader.scanData, data);
        QCOMPARE(reader.deepness.load(), 100);  // 1577 * 0.0634375 = 100.04

        QVERIFY(writeFile(path("one.d2d"), header(1, 1, 3) + QByteArray("\x05\x06\x07", 3)));
        QVERIFY(reader.loadFromFile(path("one.d2d")));
        QCOMPARE(reader.lineCount, 3);
        QCOMPARE(reader.deepIndex.load(), 1);
        QCOMPARE(reader.deepness.load(), 0);
        QCOMPARE(reader.scanData.at(kSamples), uchar(6));
    }

    void emptyScan()
    {
        VXCommThread holder(false);
        QVERIFY(holder.saveToFile(path("empty.d2d")));
        QCOMPARE(readFile(path("empty.d2d")), header(946, 1, 0));  // length 0, not the null marker
        QVERIFY(!holder.getScanImage());

        VXCommThread reader(false);
        holdScan(reader, simulatedScan(2));
        QVERIFY(reader.loadFromFile(path("empty.d2d")));
        QCOMPARE(reader.lineCount, 0);
        QVERIFY(reader.scanData.isEmpty());
        QVERIFY(!reader.getScanImage());

        // The null byte array QDataStream may write: an empty scan as well.
        QVERIFY(writeFile(path("null.d2d"), header(946, 1, 0xFFFFFFFFu)));
        holdScan(reader, simulatedScan(2));
        QVERIFY(reader.loadFromFile(path("null.d2d")));
        QCOMPARE(reader.lineCount, 0);
    }

    void malformedFilesAreRejected_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("logStart");
        const QByteArray line(945, '\x11');
        QTest::newRow("no samples per line") << header(0, 1, 945) + line << "load file: samples per line out of range: 0";
        QTest::newRow("negative samples per line") << header(-1, 1, 945) + line << "load file: samples per line out of range: -1";
        QTest::newRow("lowest int") << header(INT_MIN, 1, 945) + line << "load file: samples per line out of range:";
        QTest::newRow("1578 samples per line") << header(1578, 1, 1578) + QByteArray(1578, '\x01')
                                               << "load file: samples per line out of range: 1578";
        QTest::newRow("empty file") << QByteArray() << "load file: truncated header, 0 bytes";
        QTest::newRow("4 bytes") << header(945, 1, 0).left(4) << "load file: truncated header, 4 bytes";
        QTest::newRow("11 bytes") << header(945, 1, 0).left(11) << "load file: truncated header, 11 bytes";
        QTest::newRow("data cut short") << header(945, 1, 3 * 945) + line + line << "load file: data length 2835 disagrees";
        QTest::newRow("bytes past the data") << header(945, 1, 945) + line + "xyz" << "load file: data length 945 disagrees";
        QTest::newRow("null marker with data") << header(945, 1, 0xFFFFFFFFu) + line << "load file: data length 4294967295";
        QTest::newRow("more lines than a scan") << header(1, 1, 904) + QByteArray(904, '\x02')
                                                << "load file: 904 lines, more than a scan can hold";
        QTest::newRow("too large") << header(1577, 1, 904 * 1577) + QByteArray(904 * 1577, '\x02')
                                   << "load file: too large for a scan:";
        QRandomGenerator random(20260305);
        for (int size : {12, 64, 5000}) {
            QByteArray noise(size, '\0');
            for (char &c : noise)
                c = char(random.bounded(256));
            QTest::newRow(qPrintable(QStringLiteral("%1 random bytes").arg(size))) << noise << "load file: ";
        }
    }
    void malformedFilesAreRejected()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, logStart);
        QVERIFY(writeFile(path("bad.d2d"), content));

        ScannerProbe probe;
        VXCommThread holder(false);
        probe.watch(holder);
        const QList<uchar> kept = simulatedScan(7);
        holdScan(holder, kept);
        holder.setDeepness(40);

        QVERIFY(!holder.loadFromFile(path("bad.d2d")));
        QVERIFY2(probe.logCountStartingWith(logStart) == 1, qPrintable(probe.log().join('\n')));
        QCOMPARE(holder.scanData, kept);
        QCOMPARE(holder.lineCount, 7);
        QCOMPARE(holder.deepness.load(), 40);
        QCOMPARE(holder.deepIndex.load(), 630);
        QVERIFY(probe.deepnessChanges().isEmpty());
        QVERIFY(holder.getScanImage());
    }

    void unreadableFiles()
    {
        ScannerProbe probe;
        VXCommThread holder(false);
        holdScan(holder, simulatedScan(3));
        QVERIFY(!holder.loadFromFile(path("missing.d2d")));
        QVERIFY(!holder.loadFromFile(m_dir.path()));  // a folder
        QCOMPARE(holder.lineCount, 3);
        QCOMPARE(probe.log().size(), 3);  // construction, then one line for each failure

        QVERIFY(!holder.saveToFile(path("no/such/folder/x.d2d")));
        QVERIFY(probe.hasLog("can't open outFile"));
    }

    void failedSaveKeepsTheOldFile()
    {
        // A save that cannot complete leaves the old file as it was.
        VXCommThread holder(false);
        holdScan(holder, simulatedScan(3));
        QVERIFY(holder.saveToFile(path("kept.d2d")));
        const QByteArray before = readFile(path("kept.d2d"));
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool saved = holder.saveToFile(path("kept.d2d"));
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (saved)
            QSKIP("running with rights that ignore folder permissions");
        QCOMPARE(readFile(path("kept.d2d")), before);
    }

    void pictureMatchesTheFormula_data()
    {
        QTest::addColumn<bool>("autoAdjust");
        QTest::addColumn<bool>("blackWhite");
        QTest::addColumn<int>("deepness");
        QTest::newRow("auto, palette, 60 mm") << true << false << 60;
        QTest::newRow("plain, palette, 60 mm") << false << false << 60;
        QTest::newRow("auto, grey, 40 mm") << true << true << 40;
        QTest::newRow("plain, grey, 100 mm") << false << true << 100;
    }
    void pictureMatchesTheFormula()
    {
        QFETCH(bool, autoAdjust);
        QFETCH(bool, blackWhite);
        QFETCH(int, deepness);
        VXCommThread holder(false);
        const QList<uchar> data = simulatedScan(37);
        holdScan(holder, data);
        holder.autoAdjust = autoAdjust;
        holder.blackWhite = blackWhite;
        holder.setDeepness(deepness);

        QImage *picture = holder.getScanImage();
        QVERIFY(picture);
        QCOMPARE(picture->size(), QSize(37, kSamples));
        QCOMPARE(picture->format(), QImage::Format_RGB32);
        // The picture lies over the object's own pixel buffer.
        QCOMPARE(static_cast<const void *>(picture->constBits()), static_cast<const void *>(holder.imageBuffer.get()));
        QCOMPARE(picture, holder.scanImage.get());

        const QImage expected = referencePicture(data, 37, holder.deepIndex.load(), autoAdjust, blackWhite);
        for (int row = 0; row < kSamples; ++row) {
            for (int column = 0; column < 37; ++column) {
                if (picture->pixel(column, row) != expected.pixel(column, row))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                         .arg(column)
                                         .arg(row)
                                         .arg(picture->pixel(column, row), 8, 16)
                                         .arg(expected.pixel(column, row), 8, 16)));
            }
        }
    }

    void greyPictureStaysBelow255()
    {
        VXCommThread holder(false);
        QList<uchar> data = simulatedScan(20, 240);
        for (qsizetype i = 0; i < data.size(); i += 3)
            data[i] = 255;
        holdScan(holder, data);
        holder.blackWhite = true;
        for (bool autoAdjust : {true, false}) {
            holder.autoAdjust = autoAdjust;
            QImage *picture = holder.getScanImage();
            QVERIFY(picture);
            int brightest = 0;
            for (int row = 0; row < picture->height(); ++row) {
                const auto *pixels = reinterpret_cast<const QRgb *>(picture->constScanLine(row));
                for (int column = 0; column < picture->width(); ++column) {
                    const QRgb p = pixels[column];
                    QCOMPARE(qRed(p), qGreen(p));
                    QCOMPARE(qGreen(p), qBlue(p));
                    QCOMPARE(qAlpha(p), 255);
                    brightest = qMax(brightest, qRed(p));
                }
            }
            QCOMPARE(brightest, 254);
        }
    }

    void autoContrastChangesOnlyContrast()
    {
        VXCommThread holder(false);
        holdScan(holder, simulatedScan(50, 120));
        holder.autoAdjust = true;
        const QImage automatic = holder.getScanImage()->copy();
        holder.autoAdjust = false;
        QImage *plain = holder.getScanImage();
        QVERIFY(plain);
        QCOMPARE(plain->size(), automatic.size());
        QVERIFY(*plain != automatic);
        // The same samples keep their order of brightness: only the stretch differs.
        const QImage plainGrey = [&] {
            holder.blackWhite = true;
            return holder.getScanImage()->copy();
        }();
        holder.autoAdjust = true;
        const QImage autoGrey = holder.getScanImage()->copy();
        for (int row = 0; row < 900; row += 11) {
            for (int column = 1; column < 50; ++column) {
                const int a = qRed(plainGrey.pixel(column - 1, row)) - qRed(plainGrey.pixel(column, row));
                const int b = qRed(autoGrey.pixel(column - 1, row)) - qRed(autoGrey.pixel(column, row));
                QVERIFY(!(a > 0 && b < 0) && !(a < 0 && b > 0));
            }
        }
    }

    void contrastComesFromTheRowsOnScreen()
    {
        VXCommThread holder(false);
        QList<uchar> data = simulatedScan(10);
        holdScan(holder, data);
        holder.setDeepness(60);
        const QImage before = holder.getScanImage()->copy();
        for (int line = 0; line < 10; ++line)
            for (int row = 945; row < kSamples; ++row)
                data[qsizetype(line) * kSamples + row] = 255;
        holdScan(holder, data);
        const QImage after = holder.getScanImage()->copy();
        QCOMPARE(after.copy(0, 0, 10, 945), before.copy(0, 0, 10, 945));
    }

    void emptyScanKeepsThePicture()
    {
        VXCommThread holder(false);
        holdScan(holder, simulatedScan(5));
        QImage *picture = holder.getScanImage();
        QVERIFY(picture);
        holdScan(holder, {});
        QVERIFY(!holder.getScanImage());
        QCOMPARE(holder.scanImage.get(), picture);  // nothing else changed

        // A line count that does not fit the samples makes no picture.
        holder.scanData = QList<uchar>(100, uchar(1));
        holder.lineCount = 101;
        QVERIFY(!holder.getScanImage());
        holder.lineCount = 0;
        QVERIFY(!holder.getScanImage());
    }

    void depthInSamples_data()
    {
        QTest::addColumn<int>("mm");
        QTest::addColumn<int>("deepIndex");
        QTest::newRow("20 mm") << 20 << 315;
        QTest::newRow("60 mm") << 60 << 945;
        QTest::newRow("100 mm") << 100 << 1576;
        QTest::newRow("0 mm: one sample") << 0 << 1;
        QTest::newRow("-5 mm: one sample") << -5 << 1;
        QTest::newRow("200 mm: the whole line") << 200 << 1577;
        QTest::newRow("huge") << INT_MAX << 1577;
    }
    void depthInSamples()
    {
        QFETCH(int, mm);
        QFETCH(int, deepIndex);
        VXCommThread holder(false);
        holder.setDeepness(mm);
        QCOMPARE(holder.deepness.load(), mm);
        QCOMPARE(holder.deepIndex.load(), deepIndex);
    }
};

CALVESTRA_TEST_CORE_MAIN(ScanFileTest)
#include "tst_scanfile.moc"
