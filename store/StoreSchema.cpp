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

// Everything meant for the service waits here until the service confirms it: one row per
// record and kind, written in the same transaction as the change. Deletions stay as rows
// (tombstones) until confirmed, so a download never brings the record back.
const QString StoreSchema::createOutbox = QStringLiteral(
    "CREATE TABLE outbox ( id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL,"
    "recordId INTEGER NOT NULL DEFAULT 0, clientId INTEGER NOT NULL DEFAULT 0,"
    "webId INTEGER NOT NULL DEFAULT 0, syncKey TEXT NOT NULL DEFAULT '', examDate TEXT NOT NULL DEFAULT '',"
    "payload TEXT NOT NULL DEFAULT '', revision INTEGER NOT NULL DEFAULT 1,"
    "attempts INTEGER NOT NULL DEFAULT 0, failures INTEGER NOT NULL DEFAULT 0,"
    "nextAttempt INTEGER NOT NULL DEFAULT 0, parked INTEGER NOT NULL DEFAULT 0,"
    "lastCode INTEGER NOT NULL DEFAULT 0, lastError TEXT NOT NULL DEFAULT '',"
    "created INTEGER NOT NULL DEFAULT 0)");

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
    if (version < 4) {
        if (!upgradeToVersion4(db, error))
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
    return runSteps(db, steps, error);
}

bool StoreSchema::upgradeToVersion4(const QSqlDatabase &db, QSqlError *error)
{
    // What version 3 kept as marks and rows becomes outbox items, in the order the old
    // background pass sent them: clients, questionnaires, questionnaire deletions, exams.
    // Records get the key that makes their creation on the service idempotent.
    const QString newKey = QStringLiteral("lower(hex(randomblob(16)))");
    QStringList steps{createOutbox,
                      QStringLiteral("CREATE INDEX outbox_record ON outbox (kind, recordId)"),
                      QStringLiteral("CREATE INDEX outbox_client ON outbox (clientId)")};
    if (tableExists(db, QStringLiteral("clients"))) {
        steps << QStringLiteral("ALTER TABLE clients ADD COLUMN syncKey TEXT")
              << QStringLiteral("UPDATE clients SET syncKey = ") + newKey
              << QStringLiteral("INSERT INTO outbox (kind, recordId, clientId) SELECT 'client', id, id FROM clients "
                                "WHERE web_id = 0 OR web_id IS NULL OR offline = 1 ORDER BY id");
    }
    if (tableExists(db, QStringLiteral("anamnesis"))) {
        steps << QStringLiteral("ALTER TABLE anamnesis ADD COLUMN syncKey TEXT")
              << QStringLiteral("UPDATE anamnesis SET syncKey = ") + newKey
              << QStringLiteral("INSERT INTO outbox (kind, recordId, clientId) SELECT 'anamnesi', id, idClient "
                                "FROM anamnesis WHERE (web_id = 0 OR web_id IS NULL OR offline = 1) AND deleted = 0 "
                                "ORDER BY id")
              << QStringLiteral("INSERT INTO outbox (kind, clientId, webId) SELECT 'anamnesiDelete', idClient, web_id "
                                "FROM anamnesis WHERE deleted = 1 AND web_id > 0 ORDER BY id")
              << QStringLiteral("DELETE FROM anamnesis WHERE deleted = 1");
    }
    if (tableExists(db, QStringLiteral("pendingExams"))) {
        steps << QStringLiteral("INSERT INTO outbox (kind, clientId, examDate, payload) SELECT 'exam', idClient, "
                                "examDate, json_object('height', height, 'weight', weight, 'activityLevel', "
                                "activityLevel) FROM pendingExams ORDER BY idClient, examDate")
              << QStringLiteral("DROP TABLE pendingExams");
    }
    steps << QStringLiteral("UPDATE outbox SET created = CAST(strftime('%s', 'now') AS INTEGER) * 1000")
          << stampVersion(4);
    return runSteps(db, steps, error);
}

bool StoreSchema::runSteps(const QSqlDatabase &db, const QStringList &steps, QSqlError *error)
{
    QSqlDatabase conn = db;
    if (!conn.transaction()) {
        *error = conn.lastError();
        return false;
    }
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
