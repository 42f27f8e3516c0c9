#include "scan/AnalysisData.h"

#include "scan/ScanLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {
const QString kLinemarksKey = QStringLiteral("linemarks");
const QString kReadingKey = QStringLiteral("reading");
}

void AnalysisData::clear()
{
    linemarks.clear();
    reading.reset();
}

void AnalysisData::loadFromByteArray(const QByteArray &bytes)
{
    clear();
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    // Files written before readings were kept have none.
    if (root.value(kReadingKey).isObject())
        reading = LayerReading::fromJson(root.value(kReadingKey).toObject());
    if (!root.contains(kLinemarksKey))
        return;
    // A "linemarks" that is not an array reads as an empty one.
    const QJsonArray marks = root.value(kLinemarksKey).toArray();
    for (const QJsonValue &mark : marks)
        linemarks.append(mark.toInt(0));
}

void AnalysisData::loadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcScan).noquote() << "Failed to open file:" << path;
        return;
    }
    loadFromByteArray(file.readAll());
    file.close();
}

QJsonObject AnalysisData::getJsonObject() const
{
    QJsonArray marks;
    for (int mark : linemarks)
        marks.append(mark);
    QJsonObject root;
    root.insert(kLinemarksKey, marks);
    if (reading)
        root.insert(kReadingKey, reading->toJson());
    return root;
}

bool AnalysisData::saveToFile(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcScan).noquote() << "can't open outFile";
        return false;
    }
    const QByteArray bytes = QJsonDocument(getJsonObject()).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCDebug(lcScan).noquote() << "can't write outFile" << path << file.errorString();
        return false;
    }
    return true;
}
