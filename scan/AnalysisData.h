#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// The marks of one scan (scan-line indices, in the order they were added) and their
// small JSON file, stored next to the scan's picture and raw data.
class AnalysisData
{
public:
    QList<int> linemarks;

    void clear();
    // Bad or foreign JSON gives no marks.
    void loadFromByteArray(const QByteArray &bytes);
    // An unreadable file leaves the marks as they were.
    void loadFromFile(const QString &path);
    QJsonObject getJsonObject() const;
    // Writes aside and renames, so a failed write never leaves a truncated file.
    bool saveToFile(const QString &path) const;
};
