#pragma once

#include "store/ScanFile.h"

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One day's exam of one client: the body data recorded with it and its scans. It is
// not stored as such: its scans are the client's files carrying that date.
class Exam
{
public:
    Exam();

    int id = 0;  // the exam's id on the service, for exams listed from it
    QDate examDate;
    int idUser = 0;  // web id of the client
    int activityLevel = 0;
    double weight = 0.0;
    double height = 0.0;
    int kind = 2;
    int subKind = 2;
    double bodyFat = 0.0;
    QString examZones;
    QString notes;
    QStringList scanNames;  // full paths of the scans without extension
    QList<ScanFile> scanFiles;

    // The exam record sent with an upload; the scans travel separately.
    QJsonObject toJSONObject(bool useWebId = true) const;
};

Q_DECLARE_METATYPE(Exam)
