#include "exam/ProgressTab.h"

#include "exam/CloudReadings.h"
#include "exam/ExamLog.h"
#include "exam/ProgressChart.h"
#include "exam/ProgressSeries.h"
#include "exam/ReadingsCsv.h"
#include "exam/ReportPdf.h"

#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QStandardPaths>

namespace {

constexpr int kChartHeight = 300;

}  // namespace

ProgressTab::ProgressTab(QWidget *parent)
    : QWidget(parent)
    , m_cloud(new CloudReadings(this))
{
    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lbProgressStatus"));
    m_pdfButton = new QPushButton(tr("Esporta report PDF..."), this);
    m_pdfButton->setObjectName(QStringLiteral("btExportPdf"));
    m_csvButton = new QPushButton(tr("Esporta CSV..."), this);
    m_csvButton->setObjectName(QStringLiteral("btExportCsv"));
    bar->addWidget(m_status, 1);
    bar->addWidget(m_pdfButton);
    bar->addWidget(m_csvButton);
    layout->addLayout(bar);

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("saCharts"));
    scroll->setWidgetResizable(true);
    m_charts = new QWidget(scroll);
    m_chartsLayout = new QVBoxLayout(m_charts);
    m_chartsLayout->addStretch(1);
    scroll->setWidget(m_charts);
    layout->addWidget(scroll, 1);

    connect(m_pdfButton, &QPushButton::clicked, this, &ProgressTab::exportPdf);
    connect(m_csvButton, &QPushButton::clicked, this, &ProgressTab::exportCsv);
    connect(m_cloud, &CloudReadings::fetched, this, &ProgressTab::rebuildCharts);
    rebuildCharts();
}

void ProgressTab::setClient(const Client &client)
{
    m_client = client;
}

void ProgressTab::refresh()
{
    m_local = m_client.id != 0 ? ScanReadingLoader::fromFolder(m_client.getDataPath(false)) : QList<ScanReading>();
    QSet<QString> known;
    for (const ScanReading &reading : std::as_const(m_local))
        known.insert(reading.baseName);
    m_cloud->fetch(m_client.web_id, known);
    rebuildCharts();
}

QList<ScanReading> ProgressTab::readings() const
{
    QList<ScanReading> all = m_local + m_cloud->readings();
    ScanReadingLoader::sortByTime(all);
    return all;
}

void ProgressTab::rebuildCharts()
{
    while (m_chartsLayout->count() > 1) {
        QLayoutItem *item = m_chartsLayout->takeAt(0);
        delete item->widget();
        delete item;
    }
    const QList<ScanReading> all = readings();
    const ProgressSeries::ZoneSeries series = ProgressSeries::build(all);
    int row = 0;
    for (auto zone = series.cbegin(); zone != series.cend(); ++zone, ++row) {
        auto *view = new QChartView(ProgressChart::create(zone.key(), zone.value()).release(), m_charts);
        view->setObjectName(QStringLiteral("chart ") + zone.key());
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(kChartHeight);
        m_chartsLayout->insertWidget(row, view);
    }
    int cloud = 0;
    for (const ScanReading &reading : all)
        cloud += reading.fromCloud ? 1 : 0;
    QString status = all.isEmpty() ? tr("Nessuna lettura dello spessore per questo cliente.")
                                   : tr("Letture: %1, dagli esami sul cloud: %2").arg(all.size()).arg(cloud);
    if (m_cloud->busy())
        status += QLatin1Char(' ') + tr("(lettura dal cloud in corso...)");
    m_status->setText(status);
    m_pdfButton->setEnabled(!all.isEmpty());
    m_csvButton->setEnabled(!all.isEmpty());
}

QString ProgressTab::clientName() const
{
    return m_client.name + QLatin1Char(' ') + m_client.surname;
}

QString ProgressTab::askPath(const QString &title, const QString &suffix, const QString &filter)
{
    if (m_exportFolder.isEmpty())
        m_exportFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = QStringLiteral("%1 %2 %3.%4")
                             .arg(m_client.surname, m_client.name, QDate::currentDate().toString(Qt::ISODate), suffix);
    QString path = QFileDialog::getSaveFileName(this, title, QDir(m_exportFolder).filePath(name.trimmed()), filter);
    if (path.isEmpty())
        return path;
    if (!path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + suffix;
    m_exportFolder = QFileInfo(path).absolutePath();
    return path;
}

void ProgressTab::exportPdf()
{
    const QString path = askPath(tr("Esporta report PDF"), QStringLiteral("pdf"), tr("Documenti PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    ReportClient client;
    client.name = clientName();
    client.birthday = m_client.birthday;
    client.heightCm = m_client.height;
    client.weightKg = m_client.weight;
    QString error;
    if (!ReportPdf::write(path, client, readings(), &error)) {
        qCDebug(lcExam).noquote() << "report not written:" << error;
        QMessageBox::warning(this, tr("Esporta report PDF"), tr("Impossibile scrivere il report: %1").arg(error));
    }
}

void ProgressTab::exportCsv()
{
    const QString path = askPath(tr("Esporta CSV"), QStringLiteral("csv"), tr("File CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!ReadingsCsv::write(path, clientName(), readings(), &error)) {
        qCDebug(lcExam).noquote() << "CSV not written:" << error;
        QMessageBox::warning(this, tr("Esporta CSV"), tr("Impossibile scrivere il file CSV: %1").arg(error));
    }
}
