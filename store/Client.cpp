#include "store/Client.h"

#include "anamnesis/Anamnesi.h"
#include "store/DataModule.h"
#include "store/StoreLog.h"

#include <QDir>
#include <QFile>
#include <QJsonValue>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <stdexcept>

Client::Client()
    : m_dataModule(DataModule::instance())
{
}

void Client::loadWhere(const QString &sql, int value, const char *invalidLine)
{
    QSqlQuery query(store()->m_db);
    query.setForwardOnly(true);
    if (!query.exec(sql + QString::number(value)) || !query.first()) {
        qCDebug(lcStore).noquote() << invalidLine << value;
        return;
    }
    const QSqlRecord record = query.record();
    loadFromRecord(&record);
}

void Client::loadFromDB(int id)
{
    loadWhere(QStringLiteral("select * from clients where id = "), id, "load client from db invalid");
}

void Client::loadFromWebID(int webId)
{
    loadWhere(QStringLiteral("select * from clients where web_id = "), webId, "load client from web_id invalid");
}

void Client::loadFromRecord(const QSqlRecord *record)
{
    // QSqlRecord matches field names without regard to letter case.
    const auto field = [record](const char *column) {
        const int index = record->indexOf(QLatin1String(column));
        return index < 0 ? QVariant() : record->value(index);
    };
    id = field("id").toInt();
    web_id = field("web_id").toInt();
    activityLevel = field("activityLevel").toInt();
    surname = field("surname").toString();
    name = field("name").toString();
    address = field("address").toString();
    city = field("city").toString();
    zipcode = field("zipcode").toString();
    province = field("province").toString();
    email = field("email").toString();
    phone = field("phone").toString();
    sex = field("sex").toString();
    birthday = field("birthday").toDate();
    offline = field("offline").toBool();
    height = field("height").toDouble();
    weight = field("weight").toDouble();
    syncKey = field("syncKey").toString();
}

bool Client::saveToDB(bool upload, bool byWebId)
{
    return store()->saveClient(this, byWebId, upload);
}

QJsonObject Client::toJSONObject(bool useWebId) const
{
    QJsonObject json;
    json.insert(QStringLiteral("id"), useWebId ? web_id : id);
    json.insert(QStringLiteral("surname"), surname);
    json.insert(QStringLiteral("name"), name);
    json.insert(QStringLiteral("sex"), sex);
    json.insert(QStringLiteral("birthday"),
                birthday.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(birthday.toString(Qt::ISODate)));
    json.insert(QStringLiteral("address"), address);
    json.insert(QStringLiteral("city"), city);
    json.insert(QStringLiteral("province"), province);
    json.insert(QStringLiteral("zipcode"), zipcode);
    json.insert(QStringLiteral("email"), email);
    json.insert(QStringLiteral("phone"), phone);
    json.insert(QStringLiteral("height"), height);
    json.insert(QStringLiteral("weight"), weight);
    // An extra member: a service that does not know it ignores it.
    if (!syncKey.isEmpty())
        json.insert(QStringLiteral("syncKey"), syncKey);
    return json;
}

namespace {

// Runs a statement on the default connection; throws when it fails.
QSqlQuery runOrThrow(const QString &sql, const char *fault)
{
    QSqlQuery query;
    if (!query.exec(sql))
        throw std::runtime_error(fault);
    return query;
}

bool countAboveZero(const QString &sql)
{
    QSqlQuery query = runOrThrow(sql, "web_id_exists query fault.");
    return query.first() && query.value(QStringLiteral("cnt")).toInt() > 0;
}

}  // namespace

bool Client::web_id_exists(int webId)
{
    return countAboveZero(QStringLiteral("select count(id) as cnt from clients where web_id = ") + QString::number(webId));
}

bool Client::id_exists(int id)
{
    return countAboveZero(QStringLiteral("select count(id) as cnt from clients where id = ") + QString::number(id));
}

int Client::id_from_web_id(int webId)
{
    QSqlQuery query = runOrThrow(QStringLiteral("select id from clients where web_id = ") + QString::number(webId),
                                 "id_from_web_id query fault.");
    return query.first() ? query.value(QStringLiteral("id")).toInt() : 0;
}

int Client::getAge() const
{
    return getAge(QDate::currentDate());
}

int Client::getAge(const QDate &today) const
{
    if (birthday.isNull())
        return 0;
    // Counted in days from the birthday, laid from 1 January of year 1: a day count
    // rather than a month-and-day comparison. A birthday still to come counts as 0.
    const qint64 days = birthday.daysTo(today);
    if (days < 0)
        return 0;
    return QDate(1, 1, 1).addDays(days).year() - 1;
}

bool Client::setWebId(int newId)
{
    if (web_id == 0 && newId == 0)
        return true;
    const QString oldPath = getDataPath(false);
    web_id = newId;
    const QString newPath = getDataPath(false);
    return QFile::rename(oldPath, newPath);
}

void Client::updateHeightAndWeight(double newHeight, double newWeight)
{
    height = newHeight;
    weight = newWeight;
    QSqlQuery query(store()->m_db);
    query.prepare(QStringLiteral("UPDATE clients SET height = :height, weight = :weight WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    query.bindValue(QStringLiteral(":height"), height);
    query.bindValue(QStringLiteral(":weight"), weight);
    if (!query.exec())
        qCDebug(lcStore).noquote() << "SqLite error:" << query.lastError().text();
}

QList<Anamnesi> Client::getAnamnesiList() const
{
    QList<Anamnesi> list;
    QSqlQuery query(store()->m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select id from anamnesis where idClient = ") + QString::number(id)
                    + QStringLiteral(" and deleted = 0 order by anamnesiDate DESC"))) {
        qCDebug(lcStore).noquote() << "SqLite error:" << query.lastError().text();
        return list;
    }
    while (query.next()) {
        Anamnesi anamnesi;
        anamnesi.loadFromDB(query.value(QStringLiteral("id")).toInt(), false);
        list.append(anamnesi);
    }
    return list;
}

QString Client::getDataPath(bool create) const
{
    QString path = store()->m_dataPath + QLatin1Char('_') + QString::number(id) + QLatin1Char('/');
    if (web_id != 0)
        path = store()->m_dataPath + QString::number(web_id) + QLatin1Char('/');
    if (create) {
        QDir dir;
        if (!dir.exists(path))
            dir.mkdir(path);
    }
    return path;
}

QStringList Client::getFileList(const QDate &date, const QString &ext) const
{
    const QDir dir(getDataPath(true));
    // Only the date goes through the date formatter, so any extension is taken as written.
    const QString pattern = QStringLiteral("*-") + date.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("--*") + ext;
    return dir.entryList({pattern}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QList<QDate> Client::getExamsDateList() const
{
    const QString folder = getDataPath(true);
    qCDebug(lcStore).noquote() << folder;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QList<QDate> dates;
    for (const QString &name : names) {
        const int dash = name.indexOf(QLatin1Char('-'));
        const int doubleDash = name.indexOf(QStringLiteral("--"));
        QDate date;
        if (dash >= 0 && doubleDash > dash)
            date = QDate::fromString(name.mid(dash + 1, doubleDash - dash - 1), QStringLiteral("yyyyMMdd"));
        if (!dates.contains(date))
            dates.append(date);
    }
    std::sort(dates.begin(), dates.end());
    return dates;
}

DataModule *Client::store() const
{
    return m_dataModule ? m_dataModule.data() : DataModule::instance();
}
