#pragma once

#include <QPointer>

#include "anamnesis/Question.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QPointF>
#include <QRectF>
#include <QString>

class DataModule;

// A filled anamnesis questionnaire (or a model read from an ".anm" file) as a plain
// value. One JSON format serves as model file, database text and service payload.
class Anamnesi
{
public:
    Anamnesi();

    int id = 0;
    int web_id = 0;
    int idClient = 0;
    bool offline = true;
    QString name;
    QString note;
    QString code;
    QDateTime date;
    QString diagram;
    bool hasDiagram = false;
    QList<QPointF> marks;
    QList<QRectF> lines;  // start point and extent; the end is (x + width, y + height)
    int version = 2;
    // Made here when the questionnaire is first stored; sent with it (see Client::syncKey).
    QString syncKey;
    // Guarded: a record copied around may outlive the store it was built with (tests
    // replace it); a stale pointer is then taken again from the shared one.
    QPointer<DataModule> m_dataModule;
    QList<Question> questions;

    // Replaces the questionnaire's content; the record's ids and sync key stay.
    void loadFromByteArray(const QByteArray &json);
    void loadFromFile(const QString &path);
    void loadFromDB(int id, bool byWebId);
    // With upload, the change also goes into the outbox (see Client::saveToDB).
    bool SaveToDB(bool upload, bool byWebId);
    QJsonObject getJsonObject() const;
    void assign(const Anamnesi *src);
    void clear();

    // These throw std::runtime_error when the statement itself fails.
    static bool web_id_exists(int webId);
    static bool id_exists(int id);

    static inline const QString dateFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

private:
    // The store this record was built with, or the shared one when that is gone.
    DataModule *store() const;
};

Q_DECLARE_METATYPE(Anamnesi)
