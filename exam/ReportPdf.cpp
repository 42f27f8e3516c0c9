#include "exam/ReportPdf.h"

#include "exam/ProgressChart.h"
#include "exam/ProgressSeries.h"

#include <QChart>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Where the listed zones lie on the body diagram (720 x 540 pixels: the front on the left,
// the subject's right on the viewer's left; the back on the right, sides as seen).
struct ZonePlace
{
    const char *zone;
    double x;
    double y;
};
const ZonePlace kZonePlaces[] = {
    {"Collo dx", 172, 102},     {"Collo sx", 188, 102},     {"Spalla dx", 128, 140},
    {"Spalla sx", 232, 140},    {"Petto dx", 157, 172},     {"Petto sx", 203, 172},
    {"Ascella dx", 137, 192},   {"Ascella sx", 223, 192},   {"Bicipite dx", 112, 215},
    {"Bicipite sx", 248, 215},  {"Vita", 180, 228},         {"Fianco dx", 147, 255},
    {"Fianco sx", 213, 255},    {"Coscia dx", 157, 345},    {"Coscia sx", 203, 345},
    {"Scapola sx", 515, 165},   {"Scapola dx", 565, 165},   {"Tricipite sx", 476, 215},
    {"Tricipite dx", 604, 215}, {"Polpaccio sx", 517, 440}, {"Polpaccio dx", 562, 440},
};
constexpr double kDiagramWidth = 720.0;
constexpr double kDiagramHeight = 540.0;

// Scans are named in the language the operator had then: the Italian name or its translation.
std::optional<QPointF> placeOf(const QString &zone)
{
    for (const ZonePlace &place : kZonePlaces) {
        if (zone == QLatin1String(place.zone)
            || zone == QCoreApplication::translate("ZoneChooserDialog", place.zone))
            return QPointF(place.x / kDiagramWidth, place.y / kDiagramHeight);
    }
    return std::nullopt;
}

// Page geometry in millimetres.
constexpr double kPageWidth = 210.0;
constexpr double kMargin = 15.0;
constexpr double kContentWidth = kPageWidth - 2 * kMargin;
constexpr double kFooterY = 284.0;
constexpr double kRowHeight = 5.5;
constexpr double kChartHeight = 80.0;
constexpr double kChartGap = 5.0;
constexpr QSize kChartPixels(900, 400);

int pagesFor(int items, int perPage)
{
    return (items + perPage - 1) / perPage;
}

class ReportPainter
{
public:
    ReportPainter(QPdfWriter &writer, const ReportClient &client, const QList<ScanReading> &readings)
        : m_writer(writer)
        , m_client(client)
        , m_readings(readings)
        , m_series(ProgressSeries::build(readings))
        , m_dpmm(writer.resolution() / 25.4)
    {
        for (const ScanReading &reading : readings)
            m_latestDay = std::max(m_latestDay, reading.taken.date());
        m_pages = 1 + pagesFor(int(m_series.size()), ReportPdf::chartsPerPage)
                  + std::max(1, pagesFor(int(readings.size()), ReportPdf::readingsPerPage));
    }

    bool paint()
    {
        if (!m_painter.begin(&m_writer))
            return false;
        firstPage();
        chartPages();
        readingPages();
        return m_painter.end();
    }

private:
    double mm(double v) const { return v * m_dpmm; }
    QRectF rect(double x, double y, double w, double h) const { return QRectF(mm(x), mm(y), mm(w), mm(h)); }
    QString number(double v, int decimals = 1) const { return m_locale.toString(v, 'f', decimals); }
    QString day(const QDate &d) const { return m_locale.toString(d, QLocale::ShortFormat); }

    void font(double points, bool bold = false)
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPointSizeF(points);
        f.setBold(bold);
        m_painter.setFont(f);
    }

    void text(double x, double y, double w, double h, const QString &s, int flags = Qt::AlignLeft | Qt::AlignVCenter)
    {
        m_painter.drawText(rect(x, y, w, h), flags, s);
    }

    void heading(const QString &title)
    {
        font(15, true);
        text(kMargin, kMargin, kContentWidth, 9, title);
    }

    void beginPage()
    {
        if (m_page > 0)
            m_writer.newPage();
        ++m_page;
    }

    void footer()
    {
        m_painter.setPen(Qt::darkGray);
        font(8);
        text(kMargin, kFooterY, kContentWidth, 5, m_client.name);
        text(kMargin, kFooterY, kContentWidth, 5, ReportPdf::tr("Pagina %1 di %2").arg(m_page).arg(m_pages),
             Qt::AlignRight | Qt::AlignVCenter);
        m_painter.setPen(Qt::black);
    }

    void firstPage()
    {
        beginPage();
        heading(ReportPdf::tr("Andamento dello spessore del grasso"));
        font(10);
        const QDate today = QDate::currentDate();
        QString born = m_client.birthday.isValid() ? day(m_client.birthday) : QStringLiteral("—");
        if (m_client.birthday.isValid()) {
            int age = today.year() - m_client.birthday.year();
            if (today < m_client.birthday.addYears(age))
                --age;
            born += QLatin1Char(' ') + ReportPdf::tr("(%1 anni)").arg(age);
        }
        const double half = kContentWidth / 2;
        text(kMargin, 27, half, 5.5, ReportPdf::tr("Cliente: %1").arg(m_client.name));
        text(kMargin, 32.5, half, 5.5, ReportPdf::tr("Data di nascita: %1").arg(born));
        text(kMargin, 38, half, 5.5,
             ReportPdf::tr("Altezza: %1 cm   Peso: %2 kg").arg(number(m_client.heightCm), number(m_client.weightKg)));
        text(kMargin + half, 27, half, 5.5,
             ReportPdf::tr("Ultimo esame: %1").arg(m_latestDay.isValid() ? day(m_latestDay) : ReportPdf::tr("nessuno")));
        text(kMargin + half, 32.5, half, 5.5, ReportPdf::tr("Report del %1").arg(day(today)));
        bodyDiagram(50, 78);
        latestTable(135);
        footer();
    }

    // The latest exam's zones: a marker on the diagram and a label in the column beside
    // its figure (the front's labels on the left, the back's on the right).
    void bodyDiagram(double top, double height)
    {
        const double width = height * kDiagramWidth / kDiagramHeight;
        const double left = kMargin + (kContentWidth - width) / 2;
        m_painter.drawImage(rect(left, top, width, height), QImage(QStringLiteral(":/images/body-diagram")));
        struct Label
        {
            QPointF marker;  // mm
            double y;
            QString text;
        };
        std::vector<Label> columns[2];
        for (auto zone = m_series.cbegin(); zone != m_series.cend(); ++zone) {
            const auto point = ProgressSeries::pointOn(zone.value(), m_latestDay);
            const auto place = placeOf(zone.key());
            if (!point || !place)
                continue;
            const QPointF marker(left + place->x() * width, top + place->y() * height);
            const QString label = ReportPdf::tr("%1: %2 mm").arg(zone.key(), number(point->meanMm));
            columns[place->x() < 0.5 ? 0 : 1].push_back({marker, marker.y(), label});
        }
        const double labelHeight = 4.5;
        const double columnWidth = left - kMargin - 4;
        font(7.5);
        for (int side = 0; side < 2; ++side) {
            std::vector<Label> &labels = columns[side];
            std::sort(labels.begin(), labels.end(), [](const Label &a, const Label &b) { return a.y < b.y; });
            // Spread the labels so that none overlaps, kept within the diagram's height.
            for (size_t i = 0; i < labels.size(); ++i)
                labels[i].y = std::max(labels[i].marker.y() - labelHeight / 2, i ? labels[i - 1].y + labelHeight : top);
            for (size_t i = labels.size(); i-- > 0;)
                labels[i].y = std::min(labels[i].y, i + 1 < labels.size() ? labels[i + 1].y - labelHeight
                                                                           : top + height - labelHeight);
            const double x = side == 0 ? kMargin : left + width + 4;
            const double anchor = side == 0 ? x + columnWidth + 1 : x - 1;
            for (const Label &label : labels) {
                m_painter.setPen(QPen(QColor(110, 120, 130), mm(0.2)));
                m_painter.drawLine(QPointF(mm(anchor), mm(label.y + labelHeight / 2)),
                                   QPointF(mm(label.marker.x()), mm(label.marker.y())));
                m_painter.setPen(QPen(Qt::white, mm(0.3)));
                m_painter.setBrush(QColor(20, 70, 140));
                m_painter.drawEllipse(QPointF(mm(label.marker.x()), mm(label.marker.y())), mm(1.3), mm(1.3));
                m_painter.setBrush(Qt::NoBrush);
                m_painter.setPen(Qt::black);
                text(x, label.y, columnWidth, labelHeight, label.text,
                     (side == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
            }
        }
    }

    QString change(const QList<ProgressPoint> &points, int index, const ProgressPoint &latest, bool *beyond) const
    {
        if (index < 0 || points.at(index).day == latest.day)
            return QStringLiteral("—");
        const double delta = latest.meanMm - points.at(index).meanMm;
        *beyond = latest.minimalChangeMm && std::abs(delta) > *latest.minimalChangeMm;
        return ReportPdf::tr("%1 mm (%2)").arg((delta > 0 ? QStringLiteral("+") : QString()) + number(delta, 2),
                                                 day(points.at(index).day));
    }

    // Each zone of the latest exam: its thickness and how it changed.
    void latestTable(double top)
    {
        font(11, true);
        text(kMargin, top, kContentWidth, 7, ReportPdf::tr("Zone dell'ultimo esame"));
        const double widths[] = {38, 24, 42, 42, 34};
        const QStringList header = {ReportPdf::tr("Zona"), ReportPdf::tr("Spessore"), ReportPdf::tr("Dal primo esame"),
                                    ReportPdf::tr("Dall'esame precedente"), ReportPdf::tr("Variazione minima")};
        double y = top + 8;
        row(y, widths, header, {}, true);
        const int capacity = int((kFooterY - 12 - y) / kRowHeight) - 1;
        int shown = 0;
        int left = 0;
        for (auto zone = m_series.cbegin(); zone != m_series.cend(); ++zone) {
            const QList<ProgressPoint> &points = zone.value();
            if (points.last().day != m_latestDay)
                continue;
            if (shown == capacity) {
                ++left;
                continue;
            }
            ++shown;
            const ProgressPoint &latest = points.last();
            const int last = int(points.size()) - 1;
            bool beyondFirst = false;
            bool beyondPrevious = false;
            const QStringList cells = {
                zone.key(), ReportPdf::tr("%1 mm").arg(number(latest.meanMm)),
                change(points, last > 0 ? 0 : -1, latest, &beyondFirst),
                change(points, last - 1, latest, &beyondPrevious),
                latest.minimalChangeMm ? ReportPdf::tr("± %1 mm").arg(number(*latest.minimalChangeMm, 2))
                                       : ReportPdf::tr("sconosciuta"),
            };
            y += kRowHeight;
            row(y, widths, cells, {false, false, beyondFirst, beyondPrevious, false}, false);
        }
        font(8);
        if (left > 0) {
            y += kRowHeight;
            text(kMargin, y, kContentWidth, kRowHeight, ReportPdf::tr("… e altre %1 zone: vedere le letture.").arg(left));
        }
        y += kRowHeight + 2;
        text(kMargin, y, kContentWidth, 10,
             ReportPdf::tr("In grassetto le variazioni più grandi della variazione minima, cioè del rumore di misura "
                           "stimato dalle scansioni ripetute della zona nell'ultimo esame."),
             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
    }

    template <size_t N>
    void row(double y, const double (&widths)[N], const QStringList &cells, const QList<bool> &bold, bool header)
    {
        if (header) {
            m_painter.fillRect(rect(kMargin, y, kContentWidth, kRowHeight), QColor(225, 232, 240));
        } else {
            m_painter.setPen(QPen(QColor(210, 215, 220), mm(0.15)));
            m_painter.drawLine(QPointF(mm(kMargin), mm(y + kRowHeight)), QPointF(mm(kMargin + kContentWidth), mm(y + kRowHeight)));
            m_painter.setPen(Qt::black);
        }
        double x = kMargin;
        for (size_t i = 0; i < N && int(i) < cells.size(); ++i) {
            font(header ? 8 : 8.5, header || (int(i) < bold.size() && bold.at(int(i))));
            text(x + 1, y, widths[i] - 2, kRowHeight, cells.at(int(i)));
            x += widths[i];
        }
    }

    void chartPages()
    {
        int index = 0;
        for (auto zone = m_series.cbegin(); zone != m_series.cend(); ++zone, ++index) {
            const int slot = index % ReportPdf::chartsPerPage;
            if (slot == 0) {
                beginPage();
                heading(ReportPdf::tr("Andamento per zona"));
            }
            const double top = kMargin + 11 + slot * (kChartHeight + kChartGap);
            drawChart(zone.key(), zone.value(), rect(kMargin, top, kContentWidth, kChartHeight));
            if (slot == ReportPdf::chartsPerPage - 1 || index + 1 == int(m_series.size()))
                footer();
        }
    }

    void drawChart(const QString &zone, const QList<ProgressPoint> &points, const QRectF &target)
    {
        QGraphicsScene scene;
        std::unique_ptr<QChart> chart = ProgressChart::create(zone, points);
        chart->resize(kChartPixels);
        QChart *shown = chart.release();
        scene.addItem(shown);  // the scene owns it from here
        shown->layout()->activate();
        // The series are placed from the event loop once the chart has its size.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        scene.render(&m_painter, target, QRectF(QPointF(0, 0), QSizeF(kChartPixels)));
    }

    void readingPages()
    {
        const double widths[] = {36, 30, 22, 18, 16, 13, 13, 13, 19};
        const QStringList header = {ReportPdf::tr("Data e ora"), ReportPdf::tr("Zona"),  ReportPdf::tr("Metodo"),
                                    ReportPdf::tr("Spessore"),   ReportPdf::tr("Media"), ReportPdf::tr("Min"),
                                    ReportPdf::tr("Max"),        ReportPdf::tr("DS"),    ReportPdf::tr("Origine")};
        auto optional = [this](const std::optional<double> &v) { return v ? number(*v, 2) : QStringLiteral("—"); };
        for (int first = 0; first < int(m_readings.size()) || first == 0; first += ReportPdf::readingsPerPage) {
            beginPage();
            heading(ReportPdf::tr("Letture"));
            double y = kMargin + 11;
            row(y, widths, header, {}, true);
            if (m_readings.isEmpty()) {
                font(9);
                text(kMargin, y + kRowHeight, kContentWidth, kRowHeight, ReportPdf::tr("Nessuna lettura."));
            }
            const int end = std::min(int(m_readings.size()), first + ReportPdf::readingsPerPage);
            for (int i = first; i < end; ++i) {
                const ScanReading &r = m_readings.at(i);
                y += kRowHeight;
                row(y, widths,
                    {day(r.taken.date()) + QLatin1Char(' ') + r.taken.time().toString(QStringLiteral("HH:mm")), r.zone,
                     r.rectangle ? ReportPdf::tr("Rettangolo") : ReportPdf::tr("Automatica"), number(r.thicknessMm, 2),
                     optional(r.meanMm), optional(r.minMm), optional(r.maxMm), optional(r.sdMm),
                     r.fromCloud ? ReportPdf::tr("Cloud") : ReportPdf::tr("Locale")},
                    {}, false);
            }
            footer();
        }
    }

    QPdfWriter &m_writer;
    QPainter m_painter;
    const ReportClient &m_client;
    const QList<ScanReading> &m_readings;
    const ProgressSeries::ZoneSeries m_series;
    const double m_dpmm;
    const QLocale m_locale;
    QDate m_latestDay;
    int m_pages = 0;  // for the footers; the pages themselves follow what is drawn
    int m_page = 0;
};

}  // namespace

bool ReportPdf::write(const QString &path, const ReportClient &client, const QList<ScanReading> &readings, QString *error)
{
    QList<ScanReading> sorted = readings;
    ScanReadingLoader::sortByTime(sorted);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(300);
        writer.setTitle(tr("Andamento dello spessore del grasso") + QStringLiteral(" — ") + client.name);
        writer.setCreator(QStringLiteral("Calvestra"));
        painted = ReportPainter(writer, client, sorted).paint();
    }
    if (!painted || !file.commit()) {
        if (error)
            *error = painted ? file.errorString() : tr("Impossibile disegnare il report.");
        return false;
    }
    return true;
}
