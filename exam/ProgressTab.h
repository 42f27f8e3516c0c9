#pragma once

#include "exam/ScanReading.h"
#include "store/Client.h"

#include <QList>
#include <QWidget>

class CloudReadings;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The exam dialog's "Andamento" page: one chart a zone of the client's thickness across
// the exam days (the scans on this computer and those of the exams on the service), and
// the report and CSV exports of the same readings.
class ProgressTab : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressTab(QWidget *parent = nullptr);

    // Keeps a copy of the client.
    void setClient(const Client &client);
    // Reads the client's folder again and asks the service for the readings of its exams.
    void refresh();
    // Local and cloud readings, oldest first.
    QList<ScanReading> readings() const;

    void exportPdf();
    void exportCsv();

private:
    void rebuildCharts();
    QString clientName() const;
    // A path from the save dialog, or empty; the folder chosen last is offered again.
    QString askPath(const QString &title, const QString &suffix, const QString &filter);

    Client m_client;
    QList<ScanReading> m_local;
    CloudReadings *m_cloud = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_pdfButton = nullptr;
    QPushButton *m_csvButton = nullptr;
    QWidget *m_charts = nullptr;
    QVBoxLayout *m_chartsLayout = nullptr;
    QString m_exportFolder;
};
