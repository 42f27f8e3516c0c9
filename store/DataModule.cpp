#include "store/DataModule.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/ScanFile.h"
#include "store/StoreLog.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVariant>

#include <sqlite3.h>

#include <functional>
#include <stdexcept>

DataModule *DataModule::m_instance = nullptr;

namespace {

// Removes the default connection once no handle to it is left.
void dropConnection(QSqlDatabase &db)
{
    const QString name = db.connectionName();
    db.close();
    db = QSqlDatabase();
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
}

// SQLite counts every allocation under a global mutex unless told not to; nothing here
// reads those counts, and on a large client list they cost a quarter of a filter query.
// The setting only takes before the library's first use, so it is tried once, before
// the first connection opens.
void configureSqliteLibrary()
{
    static const bool configured = [] {
        const int rc = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        if (rc != SQLITE_OK)
            qCDebug(lcStore) << "SQLite memory statistics stay on: the library was already in use";
        return rc == SQLITE_OK;
    }();
    Q_UNUSED(configured)
}

}  // namespace

DataModule::DataModule(QObject *parent)
    : DataModule(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), parent)
{
}

DataModule::DataModule(const QString &dataLocation, QObject *parent)
    : QObject(parent)
{
    m_appOS = QSysInfo::productType();

    const QString makerPath = dataLocation + QStringLiteral("/Vantrel/");
    m_basePath = makerPath + QStringLiteral("Calvestra/");
    m_dataPath = m_basePath + QStringLiteral("data/");
    m_dbFile = m_basePath + QStringLiteral("calvestra.db");
    m_assetsPath = m_basePath + QStringLiteral("assets/");

    // One level at a time: a failure shows up in the file operations that follow.
    for (const QString &path : {makerPath, m_basePath, m_dataPath, m_assetsPath}) {
        QDir dir;
        if (!dir.exists(path))
            dir.mkdir(path);
    }

    configureSqliteLibrary();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    m_db.setDatabaseName(m_dbFile);
    if (QFile::exists(m_dbFile)) {
        // A file that does not open is reported by the first statements.
        m_db.open();
    } else {
        if (!m_db.open()) {
            qCDebug(lcStore).noquote() << "cannot CREATE DATABASE";
            dropConnection(m_db);
            throw std::runtime_error("unable to create/open the database. Check file permissions?");
        }
        createDatabase();
    }
    checkDatabaseVersion();
}

DataModule::~DataModule()
{
    if (m_instance == this)
        m_instance = nullptr;
    dropConnection(m_db);
}

DataModule *DataModule::instance()
{
    if (!m_instance)
        m_instance = new DataModule(nullptr);
    return m_instance;
}

DataModule *DataModule::resetInstanceForTests(const QString &dataLocation)
{
    delete m_instance;
    m_instance = nullptr;
    if (!dataLocation.isEmpty())
        m_instance = new DataModule(dataLocation, nullptr);
    return m_instance;
}

void DataModule::reportError(const QString &text)
{
    qCDebug(lcStore).noquote() << "SqLite error:" << text;
    emit onSqlError(text);
}

void DataModule::reportError(const QSqlError &error)
{
    reportError(error.text());
}

void DataModule::createDatabase()
{
    StoreSchema::createDatabase(m_db);
}

void DataModule::checkDatabaseVersion()
{
    int version = 0;
    QSqlError error;
    if (!StoreSchema::readVersion(m_db, &version, &error)) {
        reportError(error);
        return;
    }
    if (version < StoreSchema::currentVersion)
        updateDatabase(version);
}

void DataModule::updateDatabase(int version)
{
    QSqlError error;
    if (!StoreSchema::upgrade(m_db, version, &error))
        reportError(error);
}

bool DataModule::runQuery(const QString &sql)
{
    QSqlQuery query(m_db);
    return query.exec(sql);
}

int DataModule::queryValue(const QString &expr, const QString &table, const QString &where)
{
    QString sql = QStringLiteral("select ") + expr + QStringLiteral(" as _val from ") + table;
    if (where != QString())
        sql += QStringLiteral(" where ") + where;
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        reportError(query.lastError());
        return -1;
    }
    if (!query.first())
        return 0;
    return query.value(QStringLiteral("_val")).toInt();
}

void DataModule::resetDB()
{
    if (!QFile::exists(m_dbFile))
        return;
    m_db.close();
    QFile::remove(m_dbFile);
    if (m_db.open()) {
        createDatabase();
        checkDatabaseVersion();
    }
}

void DataModule::saveClient(Client *client, bool byWebId)
{
    static const QString insertSql = QStringLiteral(
        "INSERT INTO clients  (web_id, surname, name, sex, birthday, address, city, province, zipcode, phone, "
        "email, height, weight, activityLevel, offline) VALUES (:web_id, :surname, :name, :sex, :birthday, "
        ":address, :city, :province, :zipcode, :phone, :email, :height, :weight, :activityLevel, :offline)");
    static const QString updateByWebIdSql = QStringLiteral(
        "UPDATE clients SET  surname = :surname, name = :name, sex = :sex, birthday = :birthday, "
        "address = :address, city = :city, province = :province, zipcode = :zipcode,  phone = :phone, "
        "email = :email, height = :height, weight = :weight, activityLevel = :activityLevel, "
        "offline = :offline  WHERE web_id = :web_id");
    static const QString updateByIdSql = QStringLiteral(
        "UPDATE clients SET  web_id = :web_id, surname = :surname, name = :name, sex = :sex, "
        "birthday = :birthday, address = :address, city = :city, province = :province, zipcode = :zipcode,  "
        "phone = :phone, email = :email, height = :height, weight = :weight, activityLevel = :activityLevel, "
        "offline = :offline WHERE id = :id");

    bool insert = false;
    bool updateById = false;
    if (byWebId) {
        bool exists = false;
        try {
            exists = Client::web_id_exists(client->web_id);
        } catch (const std::runtime_error &e) {
            // Nothing is written when the match cannot be decided.
            reportError(QString::fromUtf8(e.what()));
            return;
        }
        insert = !exists;
    } else {
        insert = client->id == 0;
        updateById = !insert;
    }

    QSqlQuery query(m_db);
    query.prepare(insert ? insertSql : (updateById ? updateByIdSql : updateByWebIdSql));
    if (updateById)
        query.bindValue(QStringLiteral(":id"), client->id);
    query.bindValue(QStringLiteral(":web_id"), client->web_id);
    query.bindValue(QStringLiteral(":surname"), client->surname);
    query.bindValue(QStringLiteral(":name"), client->name);
    query.bindValue(QStringLiteral(":sex"), client->sex);
    query.bindValue(QStringLiteral(":birthday"), client->birthday);
    query.bindValue(QStringLiteral(":address"), client->address);
    query.bindValue(QStringLiteral(":city"), client->city);
    query.bindValue(QStringLiteral(":province"), client->province);
    query.bindValue(QStringLiteral(":zipcode"), client->zipcode);
    query.bindValue(QStringLiteral(":phone"), client->phone);
    query.bindValue(QStringLiteral(":email"), client->email);
    query.bindValue(QStringLiteral(":height"), client->height);
    query.bindValue(QStringLiteral(":weight"), client->weight);
    query.bindValue(QStringLiteral(":activityLevel"), client->activityLevel);
    query.bindValue(QStringLiteral(":offline"), client->offline);
    const bool ok = query.exec();
    if (!ok)
        reportError(query.lastError());
    if (insert)
        client->id = ok ? query.lastInsertId().toInt() : 0;
}

void DataModule::deleteClient(int id)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("delete from clients where id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        reportError(query.lastError());

    QSqlQuery pending(m_db);
    pending.prepare(QStringLiteral("delete from pendingExams where idClient = :idClient"));
    pending.bindValue(QStringLiteral(":idClient"), id);
    if (!pending.exec())
        reportError(pending.lastError());
}

void DataModule::saveAnamnesi(Anamnesi *anamnesi, bool byWebId)
{
    static const QString insertByWebIdSql = QStringLiteral(
        "INSERT INTO anamnesis  (web_id, idClient, anamnesiDate,  name, object, offline) "
        "VALUES (:web_id, :idClient, :anamnesiDate,  :name, :object, :offline)");
    static const QString updateByWebIdSql = QStringLiteral(
        "UPDATE anamnesis SET  idClient = :idClient, anamnesiDate = :anamnesiDate, name = :name, "
        "object = :object, offline = :offline WHERE web_id = :web_id");
    static const QString insertSql = QStringLiteral(
        "INSERT INTO anamnesis  (web_id, idClient, anamnesiDate, name, object, offline) "
        "VALUES (:web_id, :idClient, :anamnesiDate, :name, :object, :offline)");
    static const QString updateByIdSql = QStringLiteral(
        "UPDATE anamnesis SET  web_id = :web_id, idClient = :idClient, anamnesiDate = :anamnesiDate, "
        "name = :name, object = :object, offline = :offline WHERE id = :id");

    QString sql;
    bool insert = false;
    bool updateById = false;
    if (byWebId) {
        bool exists = false;
        try {
            exists = Anamnesi::web_id_exists(anamnesi->web_id);
        } catch (const std::runtime_error &e) {
            reportError(QString::fromUtf8(e.what()));
            return;
        }
        insert = !exists;
        sql = exists ? updateByWebIdSql : insertByWebIdSql;
    } else {
        insert = anamnesi->id == 0;
        updateById = !insert;
        sql = insert ? insertSql : updateByIdSql;
    }

    QSqlQuery query(m_db);
    query.prepare(sql);
    if (updateById)
        query.bindValue(QStringLiteral(":id"), anamnesi->id);
    const QString object =
        QString::fromUtf8(QJsonDocument(anamnesi->getJsonObject()).toJson(QJsonDocument::Compact));
    query.bindValue(QStringLiteral(":web_id"), anamnesi->web_id);
    query.bindValue(QStringLiteral(":idClient"), anamnesi->idClient);
    query.bindValue(QStringLiteral(":anamnesiDate"), anamnesi->date);
    query.bindValue(QStringLiteral(":name"), anamnesi->name);
    query.bindValue(QStringLiteral(":object"), object);
    query.bindValue(QStringLiteral(":offline"), anamnesi->offline);
    const bool ok = query.exec();
    if (!ok)
        reportError(query.lastError());
    if (insert)
        anamnesi->id = ok ? query.lastInsertId().toInt() : 0;
}

bool DataModule::deleteAnamnesi(int id, bool byWebId)
{
    Anamnesi loaded;
    loaded.loadFromDB(id, byWebId);

    QString sql;
    if (loaded.offline && loaded.web_id == 0)
        sql = QStringLiteral("delete from anamnesis where id = :id");  // never reached the service
    else if (byWebId)
        sql = QStringLiteral("delete from anamnesis where web_id = :id");
    else
        sql = QStringLiteral("update anamnesis set deleted = 1 where id = :id");  // until the service confirms

    QSqlQuery query(m_db);
    query.prepare(sql);
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec()) {
        reportError(query.lastError());
        return false;
    }
    return loaded.web_id != 0;
}

bool DataModule::insertPendingExam(int idClient, Exam *exam)
{
    QSqlQuery count(m_db);
    count.prepare(QStringLiteral(
        "select count(*) as cnt from pendingExams where idClient = :idClient and examDate = :examDate"));
    count.bindValue(QStringLiteral(":idClient"), idClient);
    count.bindValue(QStringLiteral(":examDate"), exam->examDate);
    if (!count.exec()) {
        reportError(count.lastError());
        return false;
    }
    const int existing = count.first() ? count.value(QStringLiteral("cnt")).toInt() : 0;
    count.finish();

    QSqlQuery query(m_db);
    if (existing != 0)
        query.prepare(QStringLiteral("update pendingExams set height = :height, weight = :weight, "
                                     "activityLevel = :activityLevel where idClient = :idClient and "
                                     "examDate = :examDate"));
    else
        query.prepare(QStringLiteral("insert into pendingExams (idClient, examDate, height, weight, "
                                     "activityLevel) VALUES(:idClient, :examDate, :height, :weight, "
                                     ":activityLevel)"));
    query.bindValue(QStringLiteral(":idClient"), idClient);
    query.bindValue(QStringLiteral(":examDate"), exam->examDate);
    query.bindValue(QStringLiteral(":height"), exam->height);
    query.bindValue(QStringLiteral(":weight"), exam->weight);
    query.bindValue(QStringLiteral(":activityLevel"), exam->activityLevel);
    if (!query.exec()) {
        reportError(query.lastError());
        return false;
    }
    return true;
}

bool DataModule::removePendingExam(int idClient, Exam *exam)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("delete from pendingExams where idClient = :idClient and examDate = :examDate"));
    query.bindValue(QStringLiteral(":idClient"), idClient);
    query.bindValue(QStringLiteral(":examDate"), exam->examDate);
    if (!query.exec()) {
        reportError(query.lastError());
        return false;
    }
    return true;
}

bool DataModule::havePendingStuff()
{
    // A failed count (-1) counts as pending.
    if (queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QStringLiteral("web_id = 0 or offline = 1")) != 0)
        return true;
    if (queryValue(QStringLiteral("count(*)"), QStringLiteral("pendingExams"), QString()) != 0)
        return true;
    return queryValue(QStringLiteral("count(*)"), QStringLiteral("anamnesis"),
                      QStringLiteral("web_id = 0 or offline = 1 or deleted = 1")) != 0;
}

QString DataModule::getPendingDescription()
{
    const QString dateFormat = QStringLiteral("yyyy.MM.dd");
    const auto text = [](const QSqlQuery &q, const QString &column) { return q.value(column).toString(); };
    const auto date = [&](const QSqlQuery &q, const QString &column) {
        return q.value(column).toDate().toString(dateFormat);
    };
    const auto anamnesiLine = [&](const QSqlQuery &q) {
        return date(q, QStringLiteral("anamnesiDate")) + QLatin1Char(' ') + text(q, QStringLiteral("anamnesiName"))
               + QStringLiteral(" (") + text(q, QStringLiteral("name")) + QLatin1Char(' ')
               + text(q, QStringLiteral("surname")) + QLatin1Char(')');
    };

    struct Section
    {
        QString sql;
        QString title;
        std::function<QString(const QSqlQuery &)> line;
    };
    const Section sections[] = {
        {QStringLiteral("select * from clients where web_id = 0 or offline = 1"), tr("Clienti"),
         [&](const QSqlQuery &q) {
             return text(q, QStringLiteral("name")) + QLatin1Char(' ') + text(q, QStringLiteral("surname"));
         }},
        {QStringLiteral("select c.surname, c.name, p.examDate from pendingExams p left outer join clients c "
                        "on c.id = p.idClient"),
         tr("Esami"),
         [&](const QSqlQuery &q) {
             return date(q, QStringLiteral("examDate")) + QLatin1Char(' ') + text(q, QStringLiteral("name"))
                    + QLatin1Char(' ') + text(q, QStringLiteral("surname"));
         }},
        {QStringLiteral("select  c.surname, c.name, a.name as anamnesiName, a.anamnesiDate from anamnesis a "
                        "left outer join clients c on c.id = a.idClient where a.web_id = 0 or a.offline = 1"),
         tr("Anamnesi"), anamnesiLine},
        {QStringLiteral("select  c.surname, c.name, a.name as anamnesiName, a.anamnesiDate from anamnesis a "
                        "left outer join clients c on c.id = a.idClient where deleted = 1"),
         tr("Anamnesi eliminate"), anamnesiLine},
    };

    QString result;
    for (const Section &section : sections) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.exec(section.sql)) {
            reportError(query.lastError());
            continue;
        }
        QString lines;
        while (query.next())
            lines += section.line(query) + QLatin1Char('\n');
        if (!lines.isEmpty())
            result += QLatin1Char('\n') + section.title + QStringLiteral(":\n") + lines;
    }
    return result;
}

bool DataModule::getPendingClients(QList<Client> &list)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select * from clients where web_id = 0 or offline = 1"))) {
        reportError(query.lastError());
        return false;
    }
    bool appended = false;
    while (query.next()) {
        Client client;
        client.loadFromDB(query.value(QStringLiteral("id")).toInt());
        list.append(client);
        appended = true;
    }
    return appended;
}

bool DataModule::getPendingAnamesis(QList<Anamnesi> &list, bool deleted)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const QString sql = deleted ? QStringLiteral("select * from anamnesis where deleted = 1")
                                : QStringLiteral("select * from anamnesis where web_id = 0 or offline = 1");
    if (!query.exec(sql)) {
        reportError(query.lastError());
        return false;
    }
    bool appended = false;
    while (query.next()) {
        Anamnesi anamnesi;
        anamnesi.loadFromDB(query.value(QStringLiteral("id")).toInt(), false);
        list.append(anamnesi);
        appended = true;
    }
    return appended;
}

bool DataModule::getPendingExams(QList<Exam> &list)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select * from pendingExams"))) {
        reportError(query.lastError());
        return false;
    }
    bool appended = false;
    while (query.next()) {
        Client client;
        client.loadFromDB(query.value(QStringLiteral("idClient")).toInt());
        // The exam waits until its client has reached the service.
        if (client.web_id == 0)
            continue;
        Exam exam;
        exam.idUser = client.web_id;
        exam.examDate = query.value(QStringLiteral("examDate")).toDate();
        exam.height = query.value(QStringLiteral("height")).toDouble();
        exam.weight = query.value(QStringLiteral("weight")).toDouble();
        exam.activityLevel = query.value(QStringLiteral("activityLevel")).toInt();

        const QString folder = client.getDataPath(true);
        const QStringList files = client.getFileList(exam.examDate, QStringLiteral(".jpg"));
        for (const QString &name : files) {
            const QString path = folder + name;
            exam.scanNames.append(path.left(path.lastIndexOf(QLatin1Char('.'))));
            exam.scanFiles.append(ScanFile::createFromFilePath(path));
        }
        list.append(exam);
        appended = true;
    }
    return appended;
}
