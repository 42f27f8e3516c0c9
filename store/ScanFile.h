#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One saved scan: the picture, the raw scan data and, when marks were placed, the
// analysis file, all named zone + "-" + acquisition date and time.
class ScanFile
{
public:
    QString zone;
    QString baseName;
    QDateTime dateTime;
    QString jpgFile;
    QString d2dFile;
    QString jsonFile;  // empty when the scan has no analysis file

    // From the full path of a scan's ".jpg" picture.
    static ScanFile createFromFilePath(const QString &path);
};

Q_DECLARE_METATYPE(ScanFile)
