#pragma once

#include "scan/LayerReading.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The marks of one scan (scan-line indices, in the order they were added), its thickness
// reading, and their small JSON file, stored next to the scan's picture and raw data.
class AnalysisData
{
public:
    QList<int> linemarks;
    std::optional<LayerReading> reading;

    void clear();
    // Nothing worth a file: no marks and no reading.
    bool isEmpty() const { return linemarks.isEmpty() && !reading; }
    // Bad or foreign JSON gives no marks; a reading that cannot be used is left out.
    void loadFromByteArray(const QByteArray &bytes);
    // An unreadable file leaves the marks as they were.
    void loadFromFile(const QString &path);
    QJsonObject getJsonObject() const;
    // Writes aside and renames, so a failed write never leaves a truncated file.
    bool saveToFile(const QString &path) const;
};
