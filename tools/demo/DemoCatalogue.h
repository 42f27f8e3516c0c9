#pragma once

#include "store/Client.h"

#include <QList>
#include <QPair>
#include <QPointF>
#include <QRectF>
#include <QString>

// The sample clients of the demo profile, as plain values: who they are, the exams they
// had (days before today, body data, the zones scanned and the fat under each) and the
// questionnaires they filled.
namespace DemoCatalogue {

struct ZoneScan
{
    QString zone;
    double fatMm = 12.0;
    int lines = 320;
    QList<int> marks;  // scan lines marked while scanning
};

struct PastExam
{
    int daysAgo = 0;
    int hour = 10;
    double weight = 0.0;
    double height = 0.0;
    int activityLevel = 0;
    QList<ZoneScan> scans;
};

struct Questionnaire
{
    QString modelFile;  // file name in the models folder
    int daysAgo = 0;
    QString note;
    QList<QPair<QString, QString>> answers;  // question text, answer
    QList<QPointF> marks;                     // on the body diagram, in picture pixels
    QList<QRectF> arrows;                     // start point and extent
};

struct SampleClient
{
    Client person;  // the record as the operator types it; no ids yet
    QList<PastExam> exams;
    QList<Questionnaire> questionnaires;
};

QList<SampleClient> sampleClients();

}  // namespace DemoCatalogue
