#pragma once

#include "exam/ScanReading.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// One exam day of one zone: the mean of the day's sweeps and how far apart they were.
struct ProgressPoint
{
    QDate day;
    double meanMm = 0.0;
    int sweeps = 0;
    double sdMm = 0.0;   // sample standard deviation of the sweeps (0 for one sweep)
    double semMm = 0.0;  // standard error of the day's mean
    // The smallest difference from another day's mean (of as many sweeps) that is
    // larger than the sweep-to-sweep noise at 95 %: 1.96 * sqrt(2) * SEM. Unknown with
    // a single sweep, which tells nothing about the noise.
    std::optional<double> minimalChangeMm;
};

// The thickness of every zone across the client's exam days, from the readings of its
// scans. No widgets: the progress tab, the report and the tests share it.
class ProgressSeries
{
public:
    using ZoneSeries = QMap<QString, QList<ProgressPoint>>;

    // Zone -> its days, oldest first.
    static ZoneSeries build(const QList<ScanReading> &readings);
    // The point of `day`, or none.
    static std::optional<ProgressPoint> pointOn(const QList<ProgressPoint> &points, const QDate &day);
};
