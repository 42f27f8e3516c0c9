#include "TestMain.h"

#include "ScannerProbe.h"

#include "device/VXCommThread.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <climits>

// Thousands of damaged .d2d files fed to the loader (run under the sanitizers by
// ./test.sh). Each file is either accepted exactly as an independent reading of the
// format says, with the scan it describes, or rejected with a log line and the scan in
// memory left as it was. Fixed seed: a failure names its iteration and can be replayed.

namespace {

constexpr int kSamples = VXCommThread::scanRealMaxIndex;
constexpr int kIterations = 3000;
constexpr quint32 kSeed = 0xD2D2026u;

struct Expected
{
    bool accepted = false;
    qint32 scanMaxIndex = 0;
    qsizetype lines = 0;
};

// The format read independently of the loader: a 12-byte header, samples per line in
// 1..1577, a data length that matches the file (0xFFFFFFFF standing for no data), and no
// more lines than a scan can hold.
Expected judge(const QByteArray &file)
{
    Expected e;
    if (file.size() < 12)
        return e;
    const auto *head = reinterpret_cast<const uchar *>(file.constData());
    const qint32 scanMaxIndex = qFromLittleEndian<qint32>(head);
    const quint32 datalen = qFromLittleEndian<quint32>(head + 8);
    if (scanMaxIndex < 1 || scanMaxIndex > kSamples)
        return e;
    const qsizetype available = file.size() - 12;
    const bool lengthMatches = datalen == 0xFFFFFFFFu ? available == 0 : qsizetype(datalen) == available;
    if (!lengthMatches)
        return e;
    const qsizetype lines = available / scanMaxIndex;
    if (lines > VXCommThread::maxScanLines)
        return e;
    e.accepted = true;
    e.scanMaxIndex = scanMaxIndex;
    e.lines = lines;
    return e;
}

QByteArray validFile(int lines, int samplesPerLine, QRandomGenerator &random)
{
    QByteArray file(12, '\0');
    qToLittleEndian(qint32(samplesPerLine), file.data());
    qToLittleEndian(qint32(1), file.data() + 4);
    qToLittleEndian(quint32(lines * samplesPerLine), file.data() + 8);
    for (int i = 0; i < lines * samplesPerLine; ++i)
        file.append(char(random.bounded(256)));
    return file;
}

qint32 interestingValue(QRandomGenerator &random, qsizetype size)
{
    const qint32 values[] = {0, 1, -1, 2, 315, 945, 946, 1576, 1577, 1578, 4096, INT_MAX, INT_MIN,
                             qint32(size - 12), qint32(size - 11), qint32(size - 13), -2};
    if (random.bounded(4) == 0)
        return qint32(random.generate());
    return values[random.bounded(int(std::size(values)))];
}

QByteArray mutate(QByteArray file, QRandomGenerator &random)
{
    const int steps = 1 + random.bounded(4);
    for (int step = 0; step < steps; ++step) {
        switch (random.bounded(8)) {
        case 0:  // flip a bit
            if (!file.isEmpty()) {
                const int at = random.bounded(int(file.size()));
                file[at] = char(file[at] ^ (1 << random.bounded(8)));
            }
            break;
        case 1:  // overwrite a byte, mostly in the header
            if (!file.isEmpty()) {
                const int limit = random.bounded(2) ? qMin(12, int(file.size())) : int(file.size());
                file[random.bounded(limit)] = char(random.bounded(256));
            }
            break;
        case 2:  // a header field set to a value that matters
        case 3:
            if (file.size() >= 12) {
                const int field = random.bounded(3);
                qToLittleEndian(interestingValue(random, file.size()), file.data() + 4 * field);
            }
            break;
        case 4:  // cut short
            file.truncate(random.bounded(int(file.size()) + 1));
            break;
        case 5: {  // bytes appended
            const int n = random.bounded(3000);
            for (int i = 0; i < n; ++i)
                file.append(char(random.bounded(256)));
            break;
        }
        case 6:  // a chunk removed from the middle
            if (file.size() > 2) {
                const int at = random.bounded(int(file.size()));
                file.remove(at, random.bounded(int(file.size()) - at + 1));
            }
            break;
        case 7: {  // nothing but noise
            QByteArray noise(random.bounded(4000), '\0');
            for (char &c : noise)
                c = char(random.bounded(256));
            file = noise;
            break;
        }
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
    void damagedFilesNeverHurtTheScan()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("fuzz.d2d");
        QRandomGenerator random(kSeed);

        const QList<QByteArray> seeds = {
            validFile(0, 946, random), validFile(1, 1, random),    validFile(3, 945, random),
            validFile(5, 1577, random), validFile(8, 315, random), validFile(2, 1576, random),
            validFile(40, 17, random),
        };

        ScannerProbe probe;
        VXCommThread holder(false);
        QVERIFY(holder.loadFromFile([&] {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(seeds[2]);
            return path;
        }()));

        int accepted = 0;
        int rejected = 0;
        for (int iteration = 0; iteration < kIterations; ++iteration) {
            const QByteArray file = mutate(seeds[random.bounded(int(seeds.size()))], random);
            // A fresh file each time: rewriting one in place makes the file system flush it.
            QFile::remove(path);
            {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly));
                QCOMPARE(f.write(file), file.size());
            }
            const QList<uchar> before = holder.scanData;
            const int linesBefore = holder.lineCount;
            const int depthBefore = holder.deepIndex.load();
            const int logBefore = int(probe.log().size());

            const Expected expected = judge(file);
            const bool loaded = holder.loadFromFile(path);
            const QByteArray where = "iteration " + QByteArray::number(iteration) + ", " + QByteArray::number(file.size())
                                     + " bytes, header " + file.left(12).toHex();
            QVERIFY2(loaded == expected.accepted, where.constData());
            QVERIFY2(int(probe.log().size()) > logBefore, where.constData());  // every outcome is logged

            if (!loaded) {
                ++rejected;
                QVERIFY2(holder.scanData == before, where.constData());
                QCOMPARE(holder.lineCount, linesBefore);
                QCOMPARE(holder.deepIndex.load(), depthBefore);
                continue;
            }
            ++accepted;
            QCOMPARE(holder.lineCount, int(expected.lines));
            QCOMPARE(holder.deepIndex.load(), expected.scanMaxIndex);
            QCOMPARE(holder.deepness.load(), int(expected.scanMaxIndex * VXCommThread::mmPerSample));
            QCOMPARE(holder.scanData.size(), expected.lines * kSamples);
            for (int probeIndex = 0; probeIndex < 8 && expected.lines > 0; ++probeIndex) {
                const qsizetype line = random.bounded(int(expected.lines));
                const int j = random.bounded(kSamples);
                const uchar stored = j < expected.scanMaxIndex ? uchar(file[12 + line * expected.scanMaxIndex + j]) : 0;
                QVERIFY2(holder.scanData[line * kSamples + j] == stored, where.constData());
            }
            QImage *picture = holder.getScanImage();
            QCOMPARE(picture != nullptr, expected.lines > 0);
            if (picture)
                QCOMPARE(picture->size(), QSize(int(expected.lines), kSamples));

            // Now and then the loaded scan goes round a save and a load unchanged.
            if (accepted % 100 == 0) {
                const QList<uchar> scan = holder.scanData;
                QVERIFY(holder.saveToFile(dir.filePath("again.d2d")));
                QVERIFY(holder.loadFromFile(dir.filePath("again.d2d")));
                QCOMPARE(holder.scanData, scan);
            }
        }
        qInfo("%d files accepted, %d rejected", accepted, rejected);
        // Both outcomes must be exercised in number for the run to mean anything.
        QVERIFY(accepted > kIterations / 10);
        QVERIFY(rejected > kIterations / 10);
    }
};

CALVESTRA_TEST_CORE_MAIN(D2dFuzzTest)
#include "tst_d2dfuzz.moc"
