#include "exam/ProgressSeries.h"

#include <cmath>

namespace {

// Two-sided 95 % and the difference of two means, each with its own error.
constexpr double kZ95 = 1.96;

ProgressPoint pointOf(const QDate &day, const QList<double> &values)
{
    ProgressPoint point;
    point.day = day;
    point.sweeps = int(values.size());
    double sum = 0.0;
    for (double v : values)
        sum += v;
    point.meanMm = sum / point.sweeps;
    if (point.sweeps < 2)
        return point;
    double squares = 0.0;
    for (double v : values)
        squares += (v - point.meanMm) * (v - point.meanMm);
    point.sdMm = std::sqrt(squares / (point.sweeps - 1));
    point.semMm = point.sdMm / std::sqrt(double(point.sweeps));
    point.minimalChangeMm = kZ95 * std::sqrt(2.0) * point.semMm;
    return point;
}

}  // namespace

ProgressSeries::ZoneSeries ProgressSeries::build(const QList<ScanReading> &readings)
{
    QMap<QString, QMap<QDate, QList<double>>> sweeps;
    for (const ScanReading &reading : readings)
        sweeps[reading.zone][reading.taken.date()].append(reading.thicknessMm);
    ZoneSeries series;
    for (auto zone = sweeps.cbegin(); zone != sweeps.cend(); ++zone) {
        QList<ProgressPoint> &points = series[zone.key()];
        for (auto day = zone.value().cbegin(); day != zone.value().cend(); ++day)
            points.append(pointOf(day.key(), day.value()));
    }
    return series;
}

std::optional<ProgressPoint> ProgressSeries::pointOn(const QList<ProgressPoint> &points, const QDate &day)
{
    for (const ProgressPoint &point : points) {
        if (point.day == day)
            return point;
    }
    return std::nullopt;
}
