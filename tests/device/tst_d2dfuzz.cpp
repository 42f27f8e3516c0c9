#include "TestMain.h"

#include "ScannerProbe.h"

#include "device/VXCommThread.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <climits>
#include <tuple>

// The .d2d file of a scan: saved and loaded back, then hostile and thousands of damaged files
// fed to the loader (also under the sanitizers): each is accepted as an independent reading of
// the format says, or rejected with a log line and the scan in memory left as it was.
// Fixed seed: a failure names its iteration and can be replayed.

namespace {

constexpr int kSamples = VXCommThread::scanRealMaxIndex;
constexpr int kIterations = 3000;

struct Expected
{
    bool accepted = false;
    qint32 scanMaxIndex = 0;
    qsizetype lines = 0;
    bool incomplete = false;
};

// The format read apart from the loader: a 12-byte header, samples per line in 1..1577, a data
// length that the file matches or, cut short, falls below (0xFFFFFFFF: no data), no more lines
// announced than a scan can hold. A file that ends inside a line, or early, gives its complete
// lines, at least one.
Expected judge(const QByteArray &file)
{
    if (file.size() < 12)
        return {};
    const auto *head = reinterpret_cast<const uchar *>(file.constData());
    const qint32 scanMaxIndex = qFromLittleEndian<qint32>(head);
    const quint32 datalen = qFromLittleEndian<quint32>(head + 8);
    const qsizetype available = file.size() - 12;
    const qsizetype declared = datalen == 0xFFFFFFFFu ? 0 : qsizetype(datalen);
    if (scanMaxIndex < 1 || scanMaxIndex > kSamples || available > declared || (datalen == 0xFFFFFFFFu && available != 0)
        || declared / scanMaxIndex > VXCommThread::maxScanLines)
        return {};
    const bool incomplete = available < declared || available % scanMaxIndex != 0;
    if (incomplete && available < scanMaxIndex)
        return {};
    return {true, scanMaxIndex, available / scanMaxIndex, incomplete};
}

QByteArray header(qint32 samplesPerLine, quint32 datalen)
{
    QByteArray file(12, '\0');
    qToLittleEndian(samplesPerLine, file.data());
    qToLittleEndian(qint32(1), file.data() + 4);
    qToLittleEndian(datalen, file.data() + 8);
    return file;
}

QByteArray noise(QRandomGenerator &random, int size)
{
    QByteArray bytes(size, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray mutate(QByteArray file, QRandomGenerator &random)
{
    for (int step = random.bounded(4); step >= 0; --step) {
        const int at = file.isEmpty() ? 0 : random.bounded(int(file.size()));
        const int kind = random.bounded(7);
        if (kind == 0 && !file.isEmpty()) {  // flip a bit
            file[at] = char(file[at] ^ (1 << random.bounded(8)));
        } else if (kind == 1 && !file.isEmpty()) {  // overwrite a byte of the header
            file[random.bounded(qMin(12, int(file.size())))] = char(random.bounded(256));
        } else if (kind <= 3 && file.size() >= 12) {  // a header field set to a value that matters
            const qint32 values[] = {0, 1, -1, 2, 945, 946, 1576, 1577, 1578, INT_MAX, INT_MIN,
                                     qint32(file.size() - 12), qint32(file.size() - 11), qint32(file.size() - 13)};
            const qint32 value = random.bounded(4) == 0 ? qint32(random.generate()) : values[random.bounded(14)];
            qToLittleEndian(value, file.data() + 4 * random.bounded(3));
        } else if (kind == 4) {  // cut short, or a chunk removed from the middle
            file.remove(at, random.bounded(int(file.size()) - at + 1));
        } else if (kind == 5) {
            file.append(noise(random, random.bounded(3000)));
        } else if (kind == 6) {
            file = noise(random, random.bounded(4000));
        }
    }
    // Half the time keep the length consistent, so that files reach the later checks.
    if (file.size() >= 12 && random.bounded(2) == 0)
        qToLittleEndian(quint32(file.size() - 12), file.data() + 8);
    return file;
}

}  // namespace

class D2dFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    // Saved down to the displayed depth, loaded back as lines of 1577 samples, zero below it.
    void savedAtTheDisplayedDepth()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("scan.d2d");
        QRandomGenerator random(7);
        // Millimetres shown (-1: never set), lines, samples per line in the file.
        for (const auto &[mm, lines, samples] :
             {std::tuple{-1, 300, 946}, {60, 300, 945}, {0, 3, 1}, {200, 3, 1577}, {-1, 0, 946}}) {
            ScannerProbe probe;
            VXCommThread writer(false);
            probe.watch(writer);
            const QByteArray data = noise(random, lines * kSamples);
            writer.scanData = QList<uchar>(data.begin(), data.end());
            writer.lineCount = lines;
            if (mm >= 0)
                writer.setDeepness(mm);
            QCOMPARE(writer.deepIndex.load(), samples);
            QVERIFY(writer.saveToFile(path));
            QByteArray expected = header(samples, quint32(lines * samples));  // as QDataStream writes it
            QList<uchar> reloaded(data.size(), uchar(0));
            for (qsizetype at = 0; at < data.size(); at += kSamples) {
                expected += data.mid(at, samples);
                std::copy_n(data.begin() + at, samples, reloaded.begin() + at);
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), expected);
            writer.lineCount = 7;
            QVERIFY(writer.loadFromFile(path));
            QCOMPARE(writer.scanData, reloaded);
            QCOMPARE(writer.deepIndex.load(), samples);
            QCOMPARE(probe.deepnessChanges(), QList<int>({int(samples * VXCommThread::mmPerSample)}));
        }
    }

    void damagedFilesNeverHurtTheScan()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("fuzz.d2d");
        QRandomGenerator random(0xD2D2026u);
        const auto write = [&](const QByteArray &bytes) {
            // A fresh file each time: rewriting one in place makes the file system flush it.
            QFile::remove(path);
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        QList<QByteArray> seeds;
        for (const QPair<int, int> &shape : {qMakePair(0, 946), {1, 1}, {3, 945}, {5, 1577}, {8, 315}, {40, 17}})
            seeds << header(shape.second, quint32(shape.first * shape.second)) + noise(random, shape.first * shape.second);

        ScannerProbe probe;
        VXCommThread holder(false);
        QVERIFY(write(seeds[2]) && holder.loadFromFile(path));

        // Not files a scan can come from: a missing one, a folder, an endless device, more
        // lines or more bytes than a scan holds.
        const QList<uchar> kept = holder.scanData;
        const QList<QPair<QString, QByteArray>> hostile = {
            {dir.filePath("missing.d2d"), {}}, {dir.path(), {}}, {QStringLiteral("/dev/zero"), {}},
            {path, header(1, 904) + QByteArray(904, '\2')},
            {path, header(1577, 904 * 1577) + QByteArray(904 * 1577, '\2')}};
        for (const auto &[file, content] : hostile) {
            QVERIFY(content.isEmpty() || write(content));
            QVERIFY(!holder.loadFromFile(file) && holder.lineCount == 3 && holder.scanData == kept);
        }
        QCOMPARE(probe.logCountStartingWith("load file: too large for a scan:"), 2);

        int accepted = 0;
        int rejected = 0;
        int incomplete = 0;
        for (int iteration = 0; iteration < kIterations; ++iteration) {
            const QByteArray file = mutate(seeds[random.bounded(int(seeds.size()))], random);
            QVERIFY(write(file));
            const auto before = std::tuple(holder.scanData, holder.lineCount, holder.deepIndex.load());
            const int logBefore = int(probe.log().size());

            const Expected expected = judge(file);
            const bool loaded = holder.loadFromFile(path);
            const QByteArray where = "iteration " + QByteArray::number(iteration) + ", " + QByteArray::number(file.size())
                                     + " bytes, header " + file.left(12).toHex();
            QVERIFY2(loaded == expected.accepted, where.constData());
            QVERIFY2(int(probe.log().size()) > logBefore, where.constData());  // every outcome is logged
            if (!loaded) {
                ++rejected;
                QVERIFY2(std::tuple(holder.scanData, holder.lineCount, holder.deepIndex.load()) == before, where.constData());
                continue;
            }
            ++accepted;
            QCOMPARE(holder.lineCount, int(expected.lines));
            QVERIFY2(holder.loadedIncomplete == expected.incomplete, where.constData());
            incomplete += expected.incomplete ? 1 : 0;
            QCOMPARE(holder.deepIndex.load(), expected.scanMaxIndex);
            QCOMPARE(holder.deepness.load(), int(expected.scanMaxIndex * VXCommThread::mmPerSample));
            QCOMPARE(holder.scanData.size(), expected.lines * kSamples);
            for (int sample = 0; sample < 8 && expected.lines > 0; ++sample) {
                const qsizetype line = random.bounded(int(expected.lines));
                const int j = random.bounded(kSamples);
                const uchar stored = j < expected.scanMaxIndex ? uchar(file[12 + line * expected.scanMaxIndex + j]) : 0;
                QVERIFY2(holder.scanData[line * kSamples + j] == stored, where.constData());
            }
            QImage *picture = holder.getScanImage();
            QCOMPARE(picture ? picture->size() : QSize(), expected.lines > 0 ? QSize(int(expected.lines), kSamples) : QSize());

            // Now and then the loaded scan goes round a save and a load unchanged.
            if (accepted % 100 == 0) {
                const QList<uchar> scan = holder.scanData;
                QVERIFY(holder.saveToFile(dir.filePath("again.d2d")));
                QVERIFY(holder.loadFromFile(dir.filePath("again.d2d")));
                QCOMPARE(holder.scanData, scan);
            }
        }
        // Both outcomes must be exercised in number for the run to mean anything.
        QVERIFY(accepted > kIterations / 10);
        QVERIFY(rejected > kIterations / 10);
        QVERIFY(incomplete > kIterations / 20);
    }
};

CALVESTRA_TEST_CORE_MAIN(D2dFuzzTest)
#include "tst_d2dfuzz.moc"
