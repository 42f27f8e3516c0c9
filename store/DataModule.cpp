#include "store/DataModule.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/Outbox.h"
#include "store/OutboxDescription.h"
#include "store/StoreLog.h"
#include "store/StoreSavepoint.h"
#include "store/StoreSchema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVariant>

#include <sqlite3.h>

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

QString newSyncKey()
{
    return QUuid::createUuid().toString(QUuid::Id128);
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

    // With their parents: on a fresh account even the data location may not exist yet.
    for (const QString &path : {m_dataPath, m_assetsPath}) {
        if (!QDir().mkpath(path)) {
            qCDebug(lcStore).noquote() << "cannot create the data folder";
            throw std::runtime_error(
                tr("Impossibile creare la cartella dei dati %1. Verificare i permessi o lo spazio su disco.")
                    .arg(QDir::toNativeSeparators(path))
                    .toStdString());
        }
    }
    // Health data: the store's folders are the user's alone.
    for (const QString &path : {makerPath, m_basePath, m_dataPath, m_assetsPath})
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    configureSqliteLibrary();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    m_db.setDatabaseName(m_dbFile);
    m_outbox = new Outbox(m_db, this);
    openDatabase();
}

void DataModule::openDatabase()
{
    m_damaged = false;
    m_damageText.clear();
    // A file of no bytes is what an interrupted first start leaves: SQLite reads it as
    // an empty database, which gets the schema like a new one.
    const QFileInfo file(m_dbFile);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!m_db.open()) {
        qCDebug(lcStore).noquote() << "cannot CREATE DATABASE";
        if (fresh) {
            dropConnection(m_db);
            throw std::runtime_error(tr("Impossibile creare il database %1. Verificare i permessi dei file.")
                                         .arg(QDir::toNativeSeparators(m_dbFile))
                                         .toStdString());
        }
        m_damaged = true;
        m_damageText = m_db.lastError().text();
        return;
    }
    QFile::setPermissions(m_dbFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (fresh)
        createDatabase();
    int version = 0;
    QSqlError error;
    if (!StoreSchema::readVersion(m_db, &version, &error)) {
        // Not a database, a damaged one, or not this application's: nothing is written
        // to it, so that it can be kept aside as it is.
        qCDebug(lcStore).noquote() << "SqLite error:" << error.text();
        m_damaged = true;
        m_damageText = error.text();
        return;
    }
    if (version < StoreSchema::currentVersion)
        updateDatabase(version);
}

DataModule::~DataModule()
{
    if (m_instance == this)
        m_instance = nullptr;
    // The outbox holds a handle to the connection too.
    delete m_outbox;
    m_outbox = nullptr;
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

bool DataModule::setAside(const QString &why, bool databaseToo)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = m_basePath + why + QLatin1Char('-') + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_basePath + why + QLatin1Char('-') + stamp + QLatin1Char('-') + QString::number(n);
    if (!QDir().mkpath(aside)) {
        reportError(tr("Impossibile creare la cartella %1").arg(aside));
        return false;
    }
    QFile::setPermissions(aside, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (databaseToo && QFile::exists(m_dbFile) && !QFile::rename(m_dbFile, aside + QStringLiteral("/calvestra.db"))) {
        reportError(tr("Impossibile spostare %1").arg(m_dbFile));
        return false;
    }
    if (QFileInfo::exists(m_dataPath) && !QDir().rename(m_dataPath, aside + QStringLiteral("/data"))) {
        reportError(tr("Impossibile spostare %1").arg(m_dataPath));
        return false;
    }
    m_setAsidePath = aside;
    qCDebug(lcStore).noquote() << "set aside into" << aside;
    return QDir().mkpath(m_dataPath);
}

bool DataModule::resetDB()
{
    m_db.close();
    // The old scan folders are named after local ids that the new database hands out
    // again: a new client would find (and send) another person's scans. Without them
    // moved, the database stays.
    if (!setAside(QStringLiteral("reset"), false)) {
        openDatabase();
        return false;
    }
    bool ok = true;
    if (QFile::exists(m_dbFile) && !QFile::remove(m_dbFile)) {
        reportError(tr("Impossibile eliminare %1").arg(m_dbFile));
        ok = false;
    }
    openDatabase();
    m_outbox->announce();
    return ok && !m_damaged;
}

bool DataModule::startAfresh()
{
    m_db.close();
    const bool ok = setAside(QStringLiteral("damaged"), true);
    if (!ok) {
        openDatabase();
        return false;
    }
    openDatabase();
    m_outbox->announce();
    return !m_damaged;
}

bool DataModule::saveClient(Client *client, bool byWebId, bool queue)
{
    static const QString insertSql = QStringLiteral(
        "INSERT INTO clients  (web_id, surname, name, sex, birthday, address, city, province, zipcode, phone, "
        "email, height, weight, activityLevel, offline, syncKey) VALUES (:web_id, :surname, :name, :sex, :birthday, "
        ":address, :city, :province, :zipcode, :phone, :email, :height, :weight, :activityLevel, :offline, :syncKey)");
    static const QString updateByWebIdSql = QStringLiteral(
        "UPDATE clients SET  surname = :surname, name = :name, sex = :sex, birthday = :birthday, "
        "address = :address, city = :city, province = :province, zipcode = :zipcode,  phone = :phone, "
        "email = :email, height = :height, weight = :weight, activityLevel = :activityLevel, "
        "offline = :offline  WHERE web_id = :web_id");
    static const QString updateByIdSql = QStringLiteral(
        "UPDATE clients SET  web_id = COALESCE(NULLIF(:web_id, 0), web_id), surname = :surname, name = :name, sex = :sex, "
        "birthday = :birthday, address = :address, city = :city, province = :province, zipcode = :zipcode,  "
        "phone = :phone, email = :email, height = :height, weight = :weight, activityLevel = :activityLevel, "
        "offline = :offline WHERE id = :id");

    // A copy made before the service confirmed the record carries web id 0: saving it
    // keeps the id the row has meanwhile (the update never clears a web id).
    bool insert = false;
    bool updateById = false;
    if (byWebId) {
        bool exists = false;
        try {
            exists = Client::web_id_exists(client->web_id);
        } catch (const std::runtime_error &e) {
            // Nothing is written when the match cannot be decided.
            reportError(QString::fromUtf8(e.what()));
            return false;
        }
        insert = !exists;
    } else {
        insert = client->id == 0;
        updateById = !insert;
    }
    // The key that lets the service recognise this client when its creation is sent again.
    if (insert && client->syncKey.isEmpty())
        client->syncKey = newSyncKey();

    StoreSavepoint savepoint(m_db);
    QSqlQuery query(m_db);
    query.prepare(insert ? insertSql : (updateById ? updateByIdSql : updateByWebIdSql));
    if (updateById)
        query.bindValue(QStringLiteral(":id"), client->id);
    if (insert)
        query.bindValue(QStringLiteral(":syncKey"), client->syncKey);
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
    if (!savepoint.isOpen() || !query.exec()) {
        reportError(query.lastError());
        if (insert)
            client->id = 0;
        return false;
    }
    if (updateById && query.numRowsAffected() == 0) {
        // Deleted meanwhile: saving it again must not bring it back without a row.
        reportError(tr("Il cliente %1 non esiste più").arg(client->id));
        return false;
    }
    const int id = insert ? query.lastInsertId().toInt() : client->id;
    if (updateById && client->web_id == 0)
        client->web_id = queryValue(QStringLiteral("web_id"), QStringLiteral("clients"),
                                    QStringLiteral("id = ") + QString::number(id));
    if ((queue && !m_outbox->addClient(id)) || !savepoint.commit()) {
        reportError(tr("Impossibile registrare il cliente tra i dati da inviare"));
        if (insert)
            client->id = 0;
        return false;
    }
    if (insert)
        client->id = id;
    if (queue)
        m_outbox->announce();
    return true;
}

bool DataModule::deleteClient(int id)
{
    Client client;
    client.loadFromDB(id);
    if (client.id != id || id <= 0) {
        reportError(tr("Il cliente %1 non esiste").arg(id));
        return false;
    }
    const QString folder = client.getDataPath(false);
    {
        StoreSavepoint savepoint(m_db);
        QSqlQuery anamnesis(m_db);
        anamnesis.prepare(QStringLiteral("delete from anamnesis where idClient = :id"));
        anamnesis.bindValue(QStringLiteral(":id"), id);
        QSqlQuery row(m_db);
        row.prepare(QStringLiteral("delete from clients where id = :id"));
        row.bindValue(QStringLiteral(":id"), id);
        if (!savepoint.isOpen() || !anamnesis.exec() || !row.exec()) {
            reportError(anamnesis.lastError().isValid() ? anamnesis.lastError() : row.lastError());
            return false;
        }
        if (!m_outbox->addClientDeletion(id, client.web_id, client.syncKey, client.toJSONObject(true))
            || !savepoint.commit()) {
            reportError(tr("Impossibile registrare l'eliminazione del cliente"));
            return false;
        }
    }
    m_outbox->announce();
    // The scans go with the client; a folder that will not go is only logged, the
    // record is already gone.
    if (QFileInfo::exists(folder) && !QDir(folder).removeRecursively())
        qCDebug(lcStore).noquote() << "could not remove the scan folder of client" << id;
    return true;
}

bool DataModule::saveAnamnesi(Anamnesi *anamnesi, bool byWebId, bool queue)
{
    static const QString insertSql = QStringLiteral(
        "INSERT INTO anamnesis  (web_id, idClient, anamnesiDate, name, object, offline, syncKey) "
        "VALUES (:web_id, :idClient, :anamnesiDate, :name, :object, :offline, :syncKey)");
    static const QString updateByWebIdSql = QStringLiteral(
        "UPDATE anamnesis SET  idClient = :idClient, anamnesiDate = :anamnesiDate, name = :name, "
        "object = :object, offline = :offline WHERE web_id = :web_id");
    static const QString updateByIdSql = QStringLiteral(
        "UPDATE anamnesis SET  web_id = COALESCE(NULLIF(:web_id, 0), web_id), idClient = :idClient, anamnesiDate = :anamnesiDate, "
        "name = :name, object = :object, offline = :offline WHERE id = :id");

    bool insert = false;
    bool updateById = false;
    if (byWebId) {
        bool exists = false;
        try {
            exists = Anamnesi::web_id_exists(anamnesi->web_id);
        } catch (const std::runtime_error &e) {
            reportError(QString::fromUtf8(e.what()));
            return false;
        }
        insert = !exists;
    } else {
        insert = anamnesi->id == 0;
        updateById = !insert;
    }
    if (insert && anamnesi->syncKey.isEmpty())
        anamnesi->syncKey = newSyncKey();

    StoreSavepoint savepoint(m_db);
    QSqlQuery query(m_db);
    query.prepare(insert ? insertSql : (updateById ? updateByIdSql : updateByWebIdSql));
    if (updateById)
        query.bindValue(QStringLiteral(":id"), anamnesi->id);
    if (insert)
        query.bindValue(QStringLiteral(":syncKey"), anamnesi->syncKey);
    const QString object =
        QString::fromUtf8(QJsonDocument(anamnesi->getJsonObject()).toJson(QJsonDocument::Compact));
    query.bindValue(QStringLiteral(":web_id"), anamnesi->web_id);
    query.bindValue(QStringLiteral(":idClient"), anamnesi->idClient);
    query.bindValue(QStringLiteral(":anamnesiDate"), anamnesi->date);
    query.bindValue(QStringLiteral(":name"), anamnesi->name);
    query.bindValue(QStringLiteral(":object"), object);
    query.bindValue(QStringLiteral(":offline"), anamnesi->offline);
    if (!savepoint.isOpen() || !query.exec()) {
        reportError(query.lastError());
        if (insert)
            anamnesi->id = 0;
        return false;
    }
    if (updateById && query.numRowsAffected() == 0) {
        reportError(tr("L'anamnesi %1 non esiste più").arg(anamnesi->id));
        return false;
    }
    const int id = insert ? query.lastInsertId().toInt() : anamnesi->id;
    if (updateById && anamnesi->web_id == 0)
        anamnesi->web_id = queryValue(QStringLiteral("web_id"), QStringLiteral("anamnesis"),
                                      QStringLiteral("id = ") + QString::number(id));
    if ((queue && !m_outbox->addAnamnesi(id, anamnesi->idClient)) || !savepoint.commit()) {
        reportError(tr("Impossibile registrare l'anamnesi tra i dati da inviare"));
        if (insert)
            anamnesi->id = 0;
        return false;
    }
    if (insert)
        anamnesi->id = id;
    if (queue)
        m_outbox->announce();
    return true;
}

bool DataModule::deleteAnamnesi(int id)
{
    Anamnesi loaded;
    loaded.loadFromDB(id, false);
    // Only the row with this very id: a web id that matches nothing must never
    // delete a questionnaire whose local id happens to be that number.
    if (id <= 0 || loaded.id != id) {
        reportError(tr("L'anamnesi %1 non esiste").arg(id));
        return false;
    }
    {
        StoreSavepoint savepoint(m_db);
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("delete from anamnesis where id = :id"));
        query.bindValue(QStringLiteral(":id"), id);
        if (!savepoint.isOpen() || !query.exec()) {
            reportError(query.lastError());
            return false;
        }
        QJsonObject lastSent = loaded.getJsonObject();
        lastSent.insert(QStringLiteral("syncKey"), loaded.syncKey);
        if (!m_outbox->addAnamnesiDeletion(id, loaded.idClient, loaded.web_id, loaded.syncKey, lastSent)
            || !savepoint.commit()) {
            reportError(tr("Impossibile registrare l'eliminazione dell'anamnesi"));
            return false;
        }
    }
    m_outbox->announce();
    return true;
}

bool DataModule::queueClient(int idClient)
{
    if (!m_outbox->addClient(idClient)) {
        reportError(tr("Impossibile registrare il cliente tra i dati da inviare"));
        return false;
    }
    m_outbox->announce();
    return true;
}

bool DataModule::queueExam(int idClient, const Exam &exam)
{
    const QJsonObject bodyData{{QStringLiteral("height"), exam.height},
                               {QStringLiteral("weight"), exam.weight},
                               {QStringLiteral("activityLevel"), exam.activityLevel}};
    if (!m_outbox->addExam(idClient, exam.examDate, bodyData)) {
        reportError(tr("Impossibile registrare l'esame tra i dati da inviare"));
        return false;
    }
    m_outbox->announce();
    return true;
}

bool DataModule::havePendingStuff()
{
    // A failed count (-1) counts as pending.
    return m_outbox->count() != 0;
}

int DataModule::pendingCount()
{
    return qMax(0, m_outbox->count());
}

QString DataModule::getPendingDescription(qint64 inFlightId)
{
    return OutboxDescription::describe(*m_outbox, m_db, inFlightId);
}
