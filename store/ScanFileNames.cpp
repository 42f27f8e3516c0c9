#include "store/ScanFileNames.h"

#include <QFileInfo>
#include <QStringList>

ParsedScanName parseVQFile(const QString &pathOrName)
{
    ParsedScanName parsed;
    const QFileInfo info(pathOrName);
    parsed.fileName = info.fileName();
    parsed.baseName = info.baseName();
    const QStringList parts = parsed.baseName.split(QLatin1Char('-'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    parsed.zone = parts.first();
    if (parts.size() == 6) {
        parsed.dateText = parts.at(1);
        parsed.timeText = parts.at(3) + QLatin1Char('-') + parts.at(4) + QLatin1Char('-') + parts.at(5);
        parsed.date = QDate::fromString(parsed.dateText, QStringLiteral("yyyyMMdd"));
        parsed.time = QTime::fromString(parsed.timeText, QStringLiteral("hh-mm-ss"));
    }
    if (parsed.date.isValid() && parsed.time.isValid())
        parsed.dateTime = QDateTime(parsed.date, parsed.time, Qt::LocalTime);
    return parsed;
}

QDateTime parseFileDateTime(const QString &name)
{
    QString text = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    // The date starts after the dash in front of the year.
    const int yearDash = text.indexOf(QStringLiteral("-2"));
    if (yearDash < 0)
        return QDateTime();
    text = text.mid(yearDash + 1);
    text.chop(4);
    return QDateTime::fromString(text, QStringLiteral("yyyyMMdd--HH-mm-ss"));
}

QString changeFileExtension(const QString &path, const QString &ext)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + QLatin1Char('.') + ext;
}
