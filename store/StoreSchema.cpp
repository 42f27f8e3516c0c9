#include "store/StoreSchema.h"

#include <QSqlQuery>
#include <QVariant>

const QString StoreSchema::createDbInfo =
    QStringLiteral("CREATE TABLE db_info ( db_ver  INTEGER DEFAULT 0);");

const QString StoreSchema::insertFirstVersion = QStringLiteral("insert into db_info (db_ver) values (1)");

const QString StoreSchema::createClients = QStringLiteral(
    "CREATE TABLE clients ( id       INTEGER PRIMARY KEY AUTOINCREMENT,web_id   INTEGER,"
    "surname  VARCHAR (30),name     VARCHAR (30),sex      CHAR (1) DEFAULT M,birthday DATE,"
    "height   DECIMAL (9, 2),weight   DECIMAL (9, 2),activityLevel INTEGER,address  VARCHAR (100),"
    "city     VARCHAR (25),province VARCHAR (4),zipcode  VARCHAR (10),phone    VARCHAR (20),"
    "email    VARCHAR (50),offline   BOOLEAN DEFAULT false)");

const QString StoreSchema::createPendingExamsByClient = QStringLiteral(
    "CREATE TABLE pendingExams ( idClient        INTEGER PRIMARY KEY AUTOINCREMENT,examDate  DATE,"
    "height   DECIMAL (9, 2),weight   DECIMAL (9, 2),activityLevel INTEGER)");

const QString StoreSchema::createAnamnesis = QStringLiteral(
    "CREATE TABLE anamnesis ( id             INTEGER PRIMARY KEY AUTOINCREMENT,"
    "web_id         INTEGER,idClient       INTEGER,name           TEXT,anamnesiDate   DATE,"
    "object         TEXT,deleted        BOOLEAN DEFAULT false,offline        BOOLEAN DEFAULT false)");

// A client may have several failed exams waiting, one per day: the key is the pair.
const QString StoreSchema::createPendingExams = QStringLiteral(
    "CREATE TABLE pendingExams ( idClient        INTEGER NOT NULL,examDate  DATE,"
    "height   DECIMAL (9, 2),weight   DECIMAL (9, 2),activityLevel INTEGER,"
    "PRIMARY KEY (idClient, examDate))");

// The pending checks run every few seconds over the whole client list; each term of
// their "or" conditions gets an index so they stay quick with many clients.
const QStringList StoreSchema::createIndexes = {
    QStringLiteral("CREATE INDEX IF NOT EXISTS clients_web_id ON clients (web_id)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS clients_offline ON clients (offline)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS anamnesis_idClient ON anamnesis (idClient)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS anamnesis_web_id ON anamnesis (web_id)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS anamnesis_offline ON anamnesis (offline)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS anamnesis_deleted ON anamnesis (deleted)"),
};

void StoreSchema::createDatabase(const QSqlDatabase &db)
{
    for (const QString &sql : {createDbInfo, insertFirstVersion, createClients, createPendingExamsByClient}) {
        QSqlQuery query(db);
        query.exec(sql);
    }
}

bool StoreSchema::readVersion(const QSqlDatabase &db, int *version, QSqlError *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select db_ver from db_info"))) {
        *error = query.lastError();
        return false;
    }
    *version = query.first() ? query.value(QStringLiteral("db_ver")).toInt() : 0;
    return true;
}

QString StoreSchema::stampVersion(int version)
{
    return QStringLiteral("update db_info set db_ver = ") + QString::number(version);
}

bool StoreSchema::upgrade(const QSqlDatabase &db, int version, QSqlError *error)
{
    if (version < 2) {
        if (!upgradeToVersion2(db, version, error))
            return false;
        version = 2;
    }
    if (version < 3) {
        if (!upgradeToVersion3(db, error))
            return false;
    }
    return true;
}

bool StoreSchema::upgradeToVersion2(const QSqlDatabase &db, int version, QSqlError *error)
{
    // Version 0 marks a file whose tables are already in place: it is only stamped.
    if (version == 1) {
        QSqlQuery create(db);
        create.exec(createAnamnesis);
    }
    QSqlQuery stamp(db);
    if (!stamp.exec(stampVersion(2))) {
        *error = stamp.lastError();
        return false;
    }
    return true;
}

bool StoreSchema::tableExists(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = :name"));
    query.bindValue(QStringLiteral(":name"), table);
    return query.exec() && query.first() && query.value(0).toInt() > 0;
}

bool StoreSchema::upgradeToVersion3(const QSqlDatabase &db, QSqlError *error)
{
    QSqlDatabase conn = db;
    if (!conn.transaction()) {
        *error = conn.lastError();
        return false;
    }
    QStringList steps;
    // The old table is keyed on the client alone; its rows move over unchanged.
    if (tableExists(db, QStringLiteral("pendingExams"))) {
        steps << QStringLiteral("ALTER TABLE pendingExams RENAME TO pendingExams_v2") << createPendingExams
              << QStringLiteral("INSERT INTO pendingExams (idClient, examDate, height, weight, activityLevel) "
                                "SELECT idClient, examDate, height, weight, activityLevel FROM pendingExams_v2")
              << QStringLiteral("DROP TABLE pendingExams_v2");
    } else {
        steps << createPendingExams;
    }
    const bool haveClients = tableExists(db, QStringLiteral("clients"));
    const bool haveAnamnesis = tableExists(db, QStringLiteral("anamnesis"));
    for (const QString &sql : createIndexes) {
        const bool onClients = sql.contains(QStringLiteral(" ON clients "));
        if ((onClients && haveClients) || (!onClients && haveAnamnesis))
            steps << sql;
    }
    steps << stampVersion(3);

    for (const QString &sql : steps) {
        QSqlQuery query(db);
        if (!query.exec(sql)) {
            *error = query.lastError();
            conn.rollback();
            return false;
        }
    }
    if (!conn.commit()) {
        *error = conn.lastError();
        conn.rollback();
        return false;
    }
    return true;
}
