#pragma once

#include "exam/ScanReading.h"

#include <QCoreApplication>
#include <QDate>
#include <QList>
#include <QString>

// Who the report is about.
struct ReportClient
{
    QString name;
    QDate birthday;
    double heightCm = 0.0;
    double weightKg = 0.0;
};

// A client's progress report as an A4 PDF: the identity and the latest exam's zones on the
// body diagram with the change since the first and the previous exam (page 1), the chart
// of every zone (three a page), then every reading (forty a page). Texts follow the
// language of the application.
class ReportPdf
{
    Q_DECLARE_TR_FUNCTIONS(ReportPdf)

public:
    static constexpr int chartsPerPage = 3;
    static constexpr int readingsPerPage = 40;

    // Written aside and renamed, readable by its owner alone. False with a reason in
    // error when the file could not be written.
    static bool write(const QString &path, const ReportClient &client, const QList<ScanReading> &readings,
                      QString *error = nullptr);
};
