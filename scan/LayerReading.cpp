#include "scan/LayerReading.h"

#include "device/CalvimetroProtocol.h"
#include "device/VXCommThread.h"
#include "scan/LayerDetector.h"

#include <QByteArray>
#include <QJsonArray>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

const QString kMethod = QStringLiteral("method");
const QString kAutomatic = QStringLiteral("automatic");
const QString kRectangle = QStringLiteral("rectangle");
const QString kLines = QStringLiteral("lines");
const QString kThickness = QStringLiteral("thickness_mm");
const QString kFound = QStringLiteral("found");
const QString kMean = QStringLiteral("mean_mm");
const QString kMin = QStringLiteral("min_mm");
const QString kMax = QStringLiteral("max_mm");
const QString kSd = QStringLiteral("sd_mm");
const QString kTop = QStringLiteral("top_mm");
const QString kBottom = QStringLiteral("bottom_mm");
const QString kBoundaries = QStringLiteral("boundaries");
const QString kMmPerSample = QStringLiteral("mm_per_sample");
const QString kFatTop = QStringLiteral("fat_top");
const QString kFatBottom = QStringLiteral("fat_bottom");

// Hundredths of a millimetre are finer than a sample (0.063 mm); more digits would only
// be noise in the file.
double rounded(double mm)
{
    return std::round(mm * 100.0) / 100.0;
}

// One boundary of every line: sample indices as 16-bit little-endian integers (-1 where
// the line has none), in base 64. A full scan takes about 2.4 kB instead of a
// thousand-line array.
QString packSamples(const std::vector<int> &samples)
{
    QByteArray bytes(qsizetype(samples.size()) * 2, Qt::Uninitialized);
    for (size_t i = 0; i < samples.size(); ++i)
        qToLittleEndian<qint16>(qint16(std::clamp(samples[i], -1, 32767)), bytes.data() + 2 * i);
    return QString::fromLatin1(bytes.toBase64());
}

std::optional<std::vector<int>> unpackSamples(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() % 2 != 0)
        return std::nullopt;
    std::vector<int> samples(size_t(decoded.decoded.size() / 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::max<int>(-1, qFromLittleEndian<qint16>(decoded.decoded.constData() + 2 * i));
    return samples;
}

}  // namespace

LayerReading LayerReading::automatic(const LayerTrace &trace)
{
    LayerReading reading;
    reading.firstLine = 0;
    reading.lastLine = trace.lineCount() - 1;
    reading.summary = summarizeLayers(trace, reading.firstLine, reading.lastLine);
    reading.trace = trace;
    return reading;
}

LayerReading LayerReading::rectangle(const LayerTrace &trace, int firstLine, int lastLine, double topMm,
                                     double bottomMm)
{
    LayerReading reading;
    reading.method = Method::Rectangle;
    reading.firstLine = firstLine;
    reading.lastLine = lastLine;
    reading.summary = summarizeLayers(trace, firstLine, lastLine);
    reading.rectTopMm = topMm;
    reading.rectBottomMm = bottomMm;
    reading.trace = trace;
    return reading;
}

std::optional<double> LayerReading::thicknessMm() const
{
    if (method == Method::Rectangle)
        return rectBottomMm - rectTopMm;
    if (summary.hasValue())
        return summary.meanMm;
    return std::nullopt;
}

QJsonObject LayerReading::toJson() const
{
    QJsonObject object;
    object.insert(kMethod, method == Method::Rectangle ? kRectangle : kAutomatic);
    object.insert(kLines, QJsonArray({firstLine, lastLine}));
    if (const auto mm = thicknessMm())
        object.insert(kThickness, rounded(*mm));
    if (method == Method::Rectangle) {
        object.insert(kTop, rounded(rectTopMm));
        object.insert(kBottom, rounded(rectBottomMm));
    }
    object.insert(kFound, std::round(summary.foundFraction() * 1000.0) / 1000.0);
    if (summary.hasValue()) {
        object.insert(kMean, rounded(summary.meanMm));
        object.insert(kMin, rounded(summary.minMm));
        object.insert(kMax, rounded(summary.maxMm));
        object.insert(kSd, rounded(summary.sdMm));
    }
    QJsonObject boundaries;
    boundaries.insert(kMmPerSample, CalvimetroProtocol::mmPerSample);
    boundaries.insert(kFatTop, packSamples(trace.fatTop));
    boundaries.insert(kFatBottom, packSamples(trace.fatBottom));
    object.insert(kBoundaries, boundaries);
    return object;
}

std::optional<LayerReading> LayerReading::fromJson(const QJsonObject &object)
{
    const QString method = object.value(kMethod).toString();
    if (method != kAutomatic && method != kRectangle)
        return std::nullopt;
    const QJsonObject boundaries = object.value(kBoundaries).toObject();
    const auto top = unpackSamples(boundaries.value(kFatTop));
    const auto bottom = unpackSamples(boundaries.value(kFatBottom));
    if (!top || !bottom || top->size() != bottom->size())
        return std::nullopt;
    LayerTrace trace;
    trace.fatTop = *top;
    trace.fatBottom = *bottom;
    // The statistics are worked out again from the boundaries: they cannot disagree.
    const QJsonArray lines = object.value(kLines).toArray();
    const int first = lines.size() == 2 ? lines.at(0).toInt(0) : 0;
    const int last = lines.size() == 2 ? lines.at(1).toInt(-1) : trace.lineCount() - 1;
    if (method == kAutomatic)
        return automatic(trace);
    if (!object.value(kTop).isDouble() || !object.value(kBottom).isDouble())
        return std::nullopt;
    return rectangle(trace, first, last, object.value(kTop).toDouble(), object.value(kBottom).toDouble());
}

std::optional<LayerTrace> measureScanLayers(const VXCommThread &scan)
{
    LayerTrace trace;
    const bool read = scan.readScanSamples([&trace](const uchar *samples, int lines) {
        trace = LayerDetector().measure(samples, lines, VXCommThread::scanRealMaxIndex);
    });
    if (!read)
        return std::nullopt;
    return trace;
}
