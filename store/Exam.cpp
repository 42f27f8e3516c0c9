#include "store/Exam.h"

Exam::Exam()
    : examDate(QDate::currentDate())
{
}

QJsonObject Exam::toJSONObject(bool useWebId) const
{
    Q_UNUSED(useWebId)
    QJsonObject json;
    json.insert(QStringLiteral("examDate"), examDate.toString(Qt::ISODate));
    json.insert(QStringLiteral("idUser"), idUser);
    json.insert(QStringLiteral("activityLevel"), activityLevel);
    json.insert(QStringLiteral("weight"), weight);
    json.insert(QStringLiteral("height"), height);
    json.insert(QStringLiteral("kind"), kind);
    json.insert(QStringLiteral("subKind"), subKind);
    json.insert(QStringLiteral("examZones"), examZones);
    json.insert(QStringLiteral("notes"), notes);
    return json;
}
