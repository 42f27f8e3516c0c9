#include "exam/ProgressChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QLocale>
#include <QValueAxis>

#include <algorithm>

namespace {

// Noon, so that a day's point sits in the middle of its day whatever the time zone.
qreal xOf(const QDate &day)
{
    return qreal(QDateTime(day, QTime(12, 0)).toMSecsSinceEpoch());
}

QString dayText(const QDate &day)
{
    return QLocale().toString(day, QLocale::ShortFormat);
}

}  // namespace

QString ProgressChart::note(const QList<ProgressPoint> &points)
{
    if (points.isEmpty() || points.last().minimalChangeMm)
        return QString();
    return tr("Variazione minima sconosciuta: una sola scansione il %1").arg(dayText(points.last().day));
}

std::unique_ptr<QChart> ProgressChart::create(const QString &zone, const QList<ProgressPoint> &points)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(zone);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    if (points.isEmpty())
        return chart;

    // A margin on both sides keeps the first and last points off the plot's edges.
    const qint64 margin = std::max<qint64>(1, points.first().day.daysTo(points.last().day) / 20);
    const QDate firstDay = points.first().day.addDays(-margin);
    const QDate lastDay = points.last().day.addDays(margin);
    const ProgressPoint &latest = points.last();
    double low = latest.meanMm;
    double high = latest.meanMm;

    auto *axisX = new QDateTimeAxis(chart.get());
    axisX->setFormat(QStringLiteral("dd/MM/yy"));
    axisX->setRange(QDateTime(firstDay, QTime(12, 0)), QDateTime(lastDay, QTime(12, 0)));
    axisX->setTickCount(std::clamp(int(points.size()) + 2, 3, 7));
    auto *axisY = new QValueAxis(chart.get());
    axisY->setTitleText(tr("Spessore (mm)"));
    axisY->setLabelFormat(QStringLiteral("%.1f"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);

    if (latest.minimalChangeMm) {
        const double change = *latest.minimalChangeMm;
        auto *upper = new QLineSeries(chart.get());
        auto *lower = new QLineSeries(chart.get());
        upper->append(xOf(firstDay), latest.meanMm + change);
        upper->append(xOf(lastDay), latest.meanMm + change);
        lower->append(xOf(firstDay), latest.meanMm - change);
        lower->append(xOf(lastDay), latest.meanMm - change);
        auto *band = new QAreaSeries(upper, lower);
        band->setName(tr("Variazione minima ± %1 mm (%2 scansioni il %3)")
                          .arg(QLocale().toString(change, 'f', 2))
                          .arg(latest.sweeps)
                          .arg(dayText(latest.day)));
        band->setColor(QColor(70, 140, 210, 60));
        band->setBorderColor(QColor(70, 140, 210, 140));
        chart->addSeries(band);
        band->attachAxis(axisX);
        band->attachAxis(axisY);
        low = latest.meanMm - change;
        high = latest.meanMm + change;
    }

    auto *means = new QLineSeries(chart.get());
    means->setName(tr("Media del giorno"));
    means->setPointsVisible(true);
    means->setMarkerSize(9);
    means->setPen(QPen(QColor(20, 70, 140), 2));
    for (const ProgressPoint &point : points) {
        means->append(xOf(point.day), point.meanMm);
        low = std::min(low, point.meanMm);
        high = std::max(high, point.meanMm);
    }
    chart->addSeries(means);
    means->attachAxis(axisX);
    means->attachAxis(axisY);
    const double pad = std::max(0.5, (high - low) * 0.15);
    axisY->setRange(std::max(0.0, low - pad), high + pad);
    axisY->applyNiceNumbers();

    const QString text = note(points);
    if (!text.isEmpty()) {
        auto *item = new QGraphicsSimpleTextItem(text, chart.get());
        item->setBrush(QColor(150, 40, 30));
        QChart *owner = chart.get();
        auto place = [item, owner] { item->setPos(owner->plotArea().topLeft() + QPointF(6, 4)); };
        QObject::connect(owner, &QChart::plotAreaChanged, owner, place);
        place();
    }
    return chart;
}
