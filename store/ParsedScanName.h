#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The parts of a scan file name (zone-yyyyMMdd--hh-mm-ss.ext), as read by parseVQFile.
class ParsedScanName
{
public:
    QString fileName;
    QString baseName;
    QString zone;
    QString dateText;
    QString timeText;
    QDateTime dateTime;
    QDate date;
    QTime time;
};
