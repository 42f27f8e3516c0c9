#include "TestMain.h"

#include "ScannerProbe.h"

#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"
#include "scan/Contrast.h"

#include <QDir>

#include <memory>
#include <tuple>

// From the probe's button to the finished picture: a deterministic sweep of the simulated
// calvimetro through the USB exchanges, the acquisition thread, the trimming and the picture
// must give the committed grey picture (48 lines of the default tissue, intensity 160,
// automatic contrast, default depth). After a change meant to alter the picture, write a new
// one with CALVESTRA_UPDATE_REFERENCE=1 tests/device/tst_scanreference, look at it, commit it.

namespace {

constexpr int kLines = 48;
const char *const kReference = "/tests/device/data/sweep_reference.png";

}  // namespace

class ScanReferenceTest : public QObject
{
    Q_OBJECT

private slots:
    void sweepGivesTheReferencePicture()
    {
        auto simulated = std::make_unique<SimulatedCalvimetro>(0.0);
        SimulatedCalvimetro *device = simulated.get();
        ScannerProbe probe;
        VXCommThread thread(std::move(simulated));
        probe.watch(thread);
        thread.setCheckInterval(3600 * 1000);
        thread.setProcessingPause(0);
        thread.blackWhite = true;
        thread.start();
        QVERIFY(probe.waitForStatus(VXCommThread::vxsConnected));

        device->sweep(kLines + 1);
        QVERIFY(probe.waitForScans(1));
        QVERIFY(ScannerProbe::waitFor([&] { return !thread.isScanBusy(); }));
        QVERIFY(thread.scanImage);  // the picture onScanDone carried
        QCOMPARE(probe.scans().at(0).size, QSize(kLines, VXCommThread::scanRealMaxIndex));
        const QImage grey = thread.scanImage->convertToFormat(QImage::Format_Grayscale8);

        const QString referencePath = QStringLiteral(CALVESTRA_SOURCE_DIR) + QLatin1String(kReference);
        if (qEnvironmentVariableIntValue("CALVESTRA_UPDATE_REFERENCE") == 1) {
            QDir().mkpath(QFileInfo(referencePath).path());
            QVERIFY(grey.save(referencePath));
            QSKIP(qPrintable(QStringLiteral("reference written to %1").arg(referencePath)));
        }

        const QImage reference(referencePath);
        QVERIFY2(!reference.isNull(), qPrintable(referencePath));
        QCOMPARE(reference.size(), grey.size());
        const QImage expected = reference.convertToFormat(QImage::Format_Grayscale8);
        // Another maths library may round a few samples the other way; more is a change.
        int differing = 0;
        int largest = 0;
        for (qsizetype i = 0; i < grey.sizeInBytes(); ++i) {  // 48 is a multiple of 4: no padding
            const int difference = qAbs(int(grey.constBits()[i]) - int(expected.constBits()[i]));
            differing += difference != 0 ? 1 : 0;
            largest = qMax(largest, difference);
        }
        const int pixels = grey.width() * grey.height();
        if (differing * 1000 > pixels || largest > 2) {
            const QString actualPath = QDir::temp().filePath(QStringLiteral("sweep_actual.png"));
            grey.save(actualPath);
            QFAIL(qPrintable(QStringLiteral("%1 of %2 pixels differ (up to %3 levels); picture kept in %4")
                                 .arg(differing).arg(pixels).arg(largest).arg(actualPath)));
        }

        // Other settings, by the formula: pixel (row, column) from sample column * height + row,
        // (s - floor) modulo 256, times gain, truncated, at most 254; grey or palette.
        for (const auto &[autoAdjust, blackWhite, mm] : {std::tuple{true, false, 60}, {false, false, 100}, {false, true, 30}}) {
            thread.autoAdjust = autoAdjust;
            thread.blackWhite = blackWhite;
            thread.setDeepness(mm);
            QImage *picture = thread.getScanImage();
            QVERIFY(picture);
            const QPair<double, double> contrast =
                analyzeHistogram(thread.scanData, kLines, thread.deepIndex.load(), autoAdjust);
            for (int row = 0; row < picture->height(); ++row) {
                for (int column = 0; column < kLines; ++column) {
                    const int s = thread.scanData[qsizetype(column) * picture->height() + row];
                    const int d = qMin(int((((int(s - contrast.second) % 256) + 256) % 256) * contrast.first), 254);
                    const QRgb expected = blackWhite ? qRgb(d, d, d) : value2Color(uchar(d)).rgb();
                    if (picture->pixel(column, row) != expected)
                        QFAIL(qPrintable(QStringLiteral("%1 mm: pixel %2,%3").arg(mm).arg(column).arg(row)));
                }
            }
        }
        // A line count that does not fit the samples makes no picture.
        thread.lineCount = int(thread.scanData.size()) + 1;
        QVERIFY(!thread.getScanImage());
    }
};

CALVESTRA_TEST_CORE_MAIN(ScanReferenceTest)
#include "tst_scanreference.moc"
