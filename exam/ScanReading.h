#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One saved scan's thickness reading, as its analysis file holds it: the zone and time
// from the file name, the number shown to the operator and the automatic statistics.
struct ScanReading
{
    QString zone;
    QDateTime taken;
    QString baseName;  // the scan's file name without extension
    bool rectangle = false;
    double thicknessMm = 0.0;
    // The automatic statistics over the reading's lines; absent when no line had one.
    std::optional<double> meanMm;
    std::optional<double> minMm;
    std::optional<double> maxMm;
    std::optional<double> sdMm;
    bool fromCloud = false;
};

// Readings out of analysis files. A file without a usable reading, or whose name is not
// a scan's, gives none.
class ScanReadingLoader
{
public:
    static std::optional<ScanReading> fromAnalysis(const QString &fileName, const QByteArray &json);
    // Every reading of the scans in a client's folder, oldest first.
    static QList<ScanReading> fromFolder(const QString &folder);
    // Oldest first; same time: by zone.
    static void sortByTime(QList<ScanReading> &readings);
};
