#pragma once

#include "exam/ScanReading.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Every reading of a client as CSV for a spreadsheet or a script: a header row, one row a
// reading (client, date, zone, method, thickness, mean, min, max, sd, file), fields
// quoted where they need it, numbers with a dot whatever the language, CRLF line ends.
class ReadingsCsv
{
public:
    static QByteArray text(const QString &client, const QList<ScanReading> &readings);
    // Written aside and renamed, readable by its owner alone. False with a reason in
    // error when the file could not be written.
    static bool write(const QString &path, const QString &client, const QList<ScanReading> &readings,
                      QString *error = nullptr);
};
