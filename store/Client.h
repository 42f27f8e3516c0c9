#pragma once

#include <QPointer>

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

class Anamnesi;
class DataModule;
class QSqlRecord;

// One client (a row of the clients table) as a plain value. Its scan files live in
// a folder of its own under the store's data folder, named after the web id once the
// service has given one and after the local id before that.
class Client
{
public:
    Client();

    int id = 0;
    int web_id = 0;
    QString surname;
    QString name;
    QString sex = QStringLiteral("M");
    QDate birthday;
    QString address;
    QString city;
    QString province;
    QString zipcode;
    QString phone;
    QString email;
    double height = 0.0;
    double weight = 0.0;
    int activityLevel = 0;
    bool offline = true;
    // Made here when the client is first stored; sent with it, so that the service
    // recognises a creation it has already taken (a reply lost on the way back).
    QString syncKey;
    // Guarded: a record copied around may outlive the store it was built with (tests
    // replace it); a stale pointer is then taken again from the shared one.
    QPointer<DataModule> m_dataModule;

    void loadFromDB(int id);
    void loadFromWebID(int webId);
    void loadFromRecord(const QSqlRecord *record);
    // With upload, the change also goes into the outbox (same transaction) and the
    // sender is woken. False when nothing was written.
    bool saveToDB(bool upload, bool byWebId);
    QJsonObject toJSONObject(bool useWebId) const;

    // These throw std::runtime_error when the statement itself fails.
    static bool web_id_exists(int webId);
    static bool id_exists(int id);
    static int id_from_web_id(int webId);

    int getAge() const;
    // The same rule against a given day.
    int getAge(const QDate &today) const;
    bool setWebId(int newId);
    void updateHeightAndWeight(double height, double weight);
    QList<Anamnesi> getAnamnesiList() const;

    QString getDataPath(bool create) const;
    QStringList getFileList(const QDate &date, const QString &ext) const;
    QList<QDate> getExamsDateList() const;

private:
    // The store this record was built with, or the shared one when that is gone.
    DataModule *store() const;
    void loadWhere(const QString &sql, int value, const char *invalidLine);
};

Q_DECLARE_METATYPE(Client)
