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
class HttpService;
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
    // Guarded: a record copied around may outlive the store or service it was built
    // with (tests replace both); a stale pointer is then taken again from the shared one.
    QPointer<DataModule> m_dataModule;
    // Taken on the first upload, so that building records never starts the service client.
    QPointer<HttpService> m_httpService;

    void loadFromDB(int id);
    void loadFromWebID(int webId);
    void loadFromRecord(const QSqlRecord *record);
    void saveToDB(bool upload, bool byWebId);
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
