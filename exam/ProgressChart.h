#pragma once

#include "exam/ProgressSeries.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class QChart;

// The chart of one zone across the exam days: the mean of every day and, around the
// latest one, the band of the smallest change that is more than measurement noise. A
// point outside the band differs from the latest exam. When the latest day has a single
// sweep the band is unknown and the chart says so. The progress tab shows it in a view,
// the report paints it.
class ProgressChart
{
    Q_DECLARE_TR_FUNCTIONS(ProgressChart)

public:
    static std::unique_ptr<QChart> create(const QString &zone, const QList<ProgressPoint> &points);
    // The note written on the chart: empty when the band is known.
    static QString note(const QList<ProgressPoint> &points);
};
