#include "exam/ScanReading.h"

#include "scan/AnalysisData.h"
#include "store/ScanFileNames.h"

#include <QDir>
#include <QFile>

#include <algorithm>

std::optional<ScanReading> ScanReadingLoader::fromAnalysis(const QString &fileName, const QByteArray &json)
{
    const ParsedScanName name = parseVQFile(fileName);
    if (!name.dateTime.isValid() || name.zone.isEmpty())
        return std::nullopt;
    AnalysisData analysis;
    analysis.loadFromByteArray(json);
    if (!analysis.reading)
        return std::nullopt;
    const LayerReading &layer = *analysis.reading;
    const std::optional<double> thickness = layer.thicknessMm();
    // An automatic reading that found no fat boundary has no number to follow.
    if (!thickness)
        return std::nullopt;
    ScanReading reading;
    reading.zone = name.zone;
    reading.taken = name.dateTime;
    reading.baseName = name.baseName;
    reading.rectangle = layer.method == LayerReading::Method::Rectangle;
    reading.thicknessMm = *thickness;
    if (layer.summary.hasValue()) {
        reading.meanMm = layer.summary.meanMm;
        reading.minMm = layer.summary.minMm;
        reading.maxMm = layer.summary.maxMm;
        reading.sdMm = layer.summary.sdMm;
    }
    return reading;
}

QList<ScanReading> ScanReadingLoader::fromFolder(const QString &folder)
{
    QList<ScanReading> readings;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (const auto reading = fromAnalysis(name, file.readAll()))
            readings.append(*reading);
    }
    sortByTime(readings);
    return readings;
}

void ScanReadingLoader::sortByTime(QList<ScanReading> &readings)
{
    std::stable_sort(readings.begin(), readings.end(), [](const ScanReading &a, const ScanReading &b) {
        return a.taken != b.taken ? a.taken < b.taken : a.zone < b.zone;
    });
}
