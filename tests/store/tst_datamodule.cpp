#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "store/Client.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>

#include <sqlite3.h>

#include <stdexcept>

namespace {

// The stored schema, as the database itself reports it.
const QString dbInfoSql = QStringLiteral("CREATE TABLE db_info ( db_ver  INTEGER DEFAULT 0)");
const QString clientsSql = QStringLiteral(
    "CREATE TABLE clients ( id       INTEGER PRIMARY KEY AUTOINCREMENT,web_id   INTEGER,surname  VARCHAR (30),"
    "name     VARCHAR (30),sex      CHAR (1) DEFAULT M,birthday DATE,height   DECIMAL (9, 2),weight   DECIMAL (9, 2),"
    "activityLevel INTEGER,address  VARCHAR (100),city     VARCHAR (25),province VARCHAR (4),zipcode  VARCHAR (10),"
    "phone    VARCHAR (20),email    VARCHAR (50),offline   BOOLEAN DEFAULT false)");
const QString oldPendingSql = QStringLiteral(
    "CREATE TABLE pendingExams ( idClient        INTEGER PRIMARY KEY AUTOINCREMENT,examDate  DATE,"
    "height   DECIMAL (9, 2),weight   DECIMAL (9, 2),activityLevel INTEGER)");
const QString anamnesisSql = QStringLiteral(
    "CREATE TABLE anamnesis ( id             INTEGER PRIMARY KEY AUTOINCREMENT,web_id         INTEGER,"
    "idClient       INTEGER,name           TEXT,anamnesiDate   DATE,object         TEXT,"
    "deleted        BOOLEAN DEFAULT false,offline        BOOLEAN DEFAULT false)");
const QString pendingSql = QStringLiteral(
    "CREATE TABLE pendingExams ( idClient        INTEGER NOT NULL,examDate  DATE,height   DECIMAL (9, 2),"
    "weight   DECIMAL (9, 2),activityLevel INTEGER,PRIMARY KEY (idClient, examDate))");

QString storedSql(const TempStore &store, const QString &table)
{
    return store.scalar(QStringLiteral("select sql from sqlite_master where type = 'table' and name = '%1'").arg(table))
        .toString();
}

QString dbPathUnder(const QString &root)
{
    return root + QStringLiteral("/Vantrel/Calvestra/calvestra.db");
}

// A file in the layout of version 1 (or 2 with the anamnesis table), with some rows.
void writeLegacyFile(const QString &root, int version, bool withAnamnesis)
{
    QVERIFY(QDir().mkpath(root + QStringLiteral("/Vantrel/Calvestra")));
    LegacyDatabase legacy(dbPathUnder(root));
    QVERIFY(legacy.isOpen());
    QVERIFY(legacy.exec(QStringLiteral("CREATE TABLE db_info ( db_ver  INTEGER DEFAULT 0);")));
    QVERIFY(legacy.exec(QStringLiteral("insert into db_info (db_ver) values (%1)").arg(version)));
    QVERIFY(legacy.exec(clientsSql));
    QVERIFY(legacy.exec(oldPendingSql));
    if (withAnamnesis) {
        QVERIFY(legacy.exec(anamnesisSql));
        QVERIFY(legacy.exec(QStringLiteral("insert into anamnesis (web_id, idClient, name, object, offline) "
                                           "values (0, 1, 'Sportiva', '{}', 1)")));
    }
    QVERIFY(legacy.exec(QStringLiteral("insert into clients (web_id, surname, name, offline) values "
                                       "(10, 'Rossi', 'Mario', 0), (0, 'Bianchi', 'Anna', 1)")));
    QVERIFY(legacy.exec(QStringLiteral("insert into pendingExams (idClient, examDate, height, weight, activityLevel) "
                                       "values (1, '2024-01-05', 180, 80.5, 3), (2, '2024-02-07', 165, 60, 1)")));
}

}  // namespace

class DataModuleTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        DataModule::resetInstanceForTests();
    }

    void firstStartCreatesFoldersAndSchema()
    {
        QTemporaryDir root;
        QVERIFY(!QDir(root.path() + QStringLiteral("/Vantrel")).exists());
        TempStore store;
        const QString base = store.location() + QStringLiteral("/Vantrel/Calvestra/");
        QCOMPARE(store->m_basePath, base);
        QCOMPARE(store->m_dataPath, base + QStringLiteral("data/"));
        QCOMPARE(store->m_assetsPath, base + QStringLiteral("assets/"));
        QCOMPARE(store->m_dbFile, base + QStringLiteral("calvestra.db"));
        QCOMPARE(store->m_appOS, QSysInfo::productType());
        QVERIFY(store->m_appVersion.isEmpty());
        QVERIFY(QDir(store.location() + QStringLiteral("/Vantrel")).exists());
        QVERIFY(QDir(base + QStringLiteral("data")).exists());
        QVERIFY(QDir(base + QStringLiteral("assets")).exists());
        QVERIFY(QFile::exists(base + QStringLiteral("calvestra.db")));
        QCOMPARE(store->m_db.driverName(), QStringLiteral("QSQLITE"));
        QCOMPARE(store->m_db.connectionName(), QString::fromLatin1(QSqlDatabase::defaultConnection));
        QCOMPARE(store->m_db.databaseName(), store->m_dbFile);

        QCOMPARE(store.column(QStringLiteral("select name from sqlite_master where type = 'table' "
                                             "and name not like 'sqlite_%' order by name")),
                 QStringList({"anamnesis", "clients", "db_info", "pendingExams"}));
        QCOMPARE(storedSql(store, QStringLiteral("db_info")), dbInfoSql);
        QCOMPARE(storedSql(store, QStringLiteral("clients")), clientsSql);
        QCOMPARE(storedSql(store, QStringLiteral("anamnesis")), anamnesisSql);
        QCOMPARE(storedSql(store, QStringLiteral("pendingExams")), pendingSql);
        QCOMPARE(store.column(QStringLiteral("select db_ver from db_info")), QStringList({"3"}));
    }

    // The store's connection runs without SQLite's allocation bookkeeping, which takes a
    // global lock on every allocation; with it on, an open connection shows memory in use.
    void sqliteRunsWithoutAllocationCounting()
    {
        TempStore store;
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 0);
        sqlite3_int64 used = -1;
        sqlite3_int64 highest = -1;
        QCOMPARE(sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &used, &highest, 0), SQLITE_OK);
        QCOMPARE(used, sqlite3_int64(0));
    }

    void newFileStartsAtTheFirstVersion()
    {
        // What createDatabase writes before any upgrade: the first four statements.
        QTemporaryDir dir;
        const QString name = QStringLiteral("schema-check");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(dir.filePath(QStringLiteral("v1.db")));
            QVERIFY(db.open());
            StoreSchema::createDatabase(db);
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("select name, sql from sqlite_master where type = 'table' "
                                              "and name not like 'sqlite_%' order by name")));
            QStringList seen;
            while (query.next())
                seen << query.value(0).toString() + QStringLiteral(": ") + query.value(1).toString();
            QCOMPARE(seen, QStringList({QStringLiteral("clients: ") + clientsSql,
                                        QStringLiteral("db_info: ") + dbInfoSql,
                                        QStringLiteral("pendingExams: ") + oldPendingSql}));
            QVERIFY(query.exec(QStringLiteral("select db_ver from db_info")));
            QVERIFY(query.first());
            QCOMPARE(query.value(0).toInt(), 1);
            QVERIFY(!query.next());
        }
        QSqlDatabase::removeDatabase(name);
    }

    void defaultLocationIsTheUsersDataFolder()
    {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY2(dataHome.startsWith(QDir::tempPath()), qPrintable(dataHome));
        QVERIFY(DataModule::m_instance == nullptr);
        DataModule *first = DataModule::instance();
        QVERIFY(first);
        QCOMPARE(DataModule::m_instance, first);
        QCOMPARE(DataModule::instance(), first);
        QCOMPARE(first->m_basePath, dataHome + QStringLiteral("/Vantrel/Calvestra/"));
        QVERIFY(QFile::exists(dataHome + QStringLiteral("/Vantrel/Calvestra/calvestra.db")));
        // Records take the shared instance.
        Client client;
        QCOMPARE(client.m_dataModule.data(), first);
    }

    void destroyingTheStoreClosesItsConnection()
    {
        {
            TempStore store;
            QVERIFY(QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));
            QVERIFY(store->m_db.isOpen());
        }
        QVERIFY(DataModule::m_instance == nullptr);
        QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));
        // A new store opens cleanly afterwards.
        TempStore again;
        QVERIFY(again->m_db.isOpen());
        QCOMPARE(again.scalar(QStringLiteral("select db_ver from db_info")).toInt(), 3);
    }

    void reopeningKeepsSchemaAndRows()
    {
        TempStore store;
        QVERIFY(store.exec(QStringLiteral("insert into clients (web_id, surname) values (4, 'Verdi')")));
        LogCatcher log("calvestra.store");
        store.reopen();
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error:")), 0);
        QCOMPARE(store.scalar(QStringLiteral("select surname from clients where web_id = 4")).toString(),
                 QStringLiteral("Verdi"));
        QCOMPARE(storedSql(store, QStringLiteral("pendingExams")), pendingSql);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from db_info")).toInt(), 1);
    }

    void versionOneIsUpgradedKeepingRows()
    {
        QTemporaryDir root;
        writeLegacyFile(root.path(), 1, false);
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QSqlQuery query(store->m_db);
        QVERIFY(query.exec(QStringLiteral("select db_ver from db_info")) && query.first());
        QCOMPARE(query.value(0).toInt(), 3);
        QVERIFY(query.exec(QStringLiteral("select sql from sqlite_master where name = 'anamnesis'")) && query.first());
        QCOMPARE(query.value(0).toString(), anamnesisSql);
        QVERIFY(query.exec(QStringLiteral("select sql from sqlite_master where name = 'pendingExams'")) && query.first());
        QCOMPARE(query.value(0).toString(), pendingSql);
        QVERIFY(query.exec(QStringLiteral("select id, web_id, surname, name, offline from clients order by id")));
        QStringList rows;
        while (query.next())
            rows << QStringList({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                                 query.value(3).toString(), query.value(4).toString()})
                        .join(QLatin1Char('|'));
        QCOMPARE(rows, QStringList({"1|10|Rossi|Mario|0", "2|0|Bianchi|Anna|1"}));
        QVERIFY(query.exec(QStringLiteral("select idClient, examDate, height, weight, activityLevel from pendingExams "
                                          "order by idClient")));
        rows.clear();
        while (query.next())
            rows << QStringList({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                                 query.value(3).toString(), query.value(4).toString()})
                        .join(QLatin1Char('|'));
        QCOMPARE(rows, QStringList({"1|2024-01-05|180|80.5|3", "2|2024-02-07|165|60|1"}));
        QVERIFY(query.exec(QStringLiteral("select count(*) from anamnesis")) && query.first());
        QCOMPARE(query.value(0).toInt(), 0);
    }

    void versionTwoIsUpgradedKeepingPendingExams()
    {
        QTemporaryDir root;
        writeLegacyFile(root.path(), 2, true);
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error:")), 0);
        QSqlQuery query(store->m_db);
        QVERIFY(query.exec(QStringLiteral("select db_ver from db_info")) && query.first());
        QCOMPARE(query.value(0).toInt(), 3);
        QVERIFY(query.exec(QStringLiteral("select count(*) from anamnesis where name = 'Sportiva'")) && query.first());
        QCOMPARE(query.value(0).toInt(), 1);
        QVERIFY(query.exec(QStringLiteral("select count(*) from pendingExams")) && query.first());
        QCOMPARE(query.value(0).toInt(), 2);
        QVERIFY(query.exec(QStringLiteral("select height, weight, activityLevel from pendingExams where idClient = 1 "
                                          "and examDate = '2024-01-05'")) && query.first());
        QCOMPARE(query.value(0).toDouble(), 180.0);
        QCOMPARE(query.value(1).toDouble(), 80.5);
        QCOMPARE(query.value(2).toInt(), 3);
        // The old table is gone and the new key takes a second day of the same client.
        QVERIFY(query.exec(QStringLiteral("select count(*) from sqlite_master where name like 'pendingExams%'")) && query.first());
        QCOMPARE(query.value(0).toInt(), 1);
        QVERIFY(query.exec(QStringLiteral("insert into pendingExams (idClient, examDate) values (1, '2024-03-01')")));
        QVERIFY(!query.exec(QStringLiteral("insert into pendingExams (idClient, examDate) values (1, '2024-03-01')")));
    }

    void versionZeroIsOnlyStamped()
    {
        QTemporaryDir root;
        writeLegacyFile(root.path(), 0, false);
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QSqlQuery query(store->m_db);
        QVERIFY(query.exec(QStringLiteral("select db_ver from db_info")) && query.first());
        QCOMPARE(query.value(0).toInt(), 3);
        QVERIFY(query.exec(QStringLiteral("select count(*) from sqlite_master where name = 'anamnesis'")) && query.first());
        QCOMPARE(query.value(0).toInt(), 0);
        QVERIFY(query.exec(QStringLiteral("select count(*) from pendingExams")) && query.first());
        QCOMPARE(query.value(0).toInt(), 2);
    }

    void failedUpgradeStepLeavesTheFileAsItWas()
    {
        QTemporaryDir root;
        writeLegacyFile(root.path(), 2, true);
        {
            // A leftover table in the way of the rebuild makes the step fail midway.
            LegacyDatabase legacy(dbPathUnder(root.path()));
            QVERIFY(legacy.exec(QStringLiteral("CREATE TABLE pendingExams_v2 (x INTEGER)")));
        }
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error:")), 1);
        QSqlQuery query(store->m_db);
        QVERIFY(query.exec(QStringLiteral("select db_ver from db_info")) && query.first());
        QCOMPARE(query.value(0).toInt(), 2);
        QVERIFY(query.exec(QStringLiteral("select sql from sqlite_master where name = 'pendingExams'")) && query.first());
        QCOMPARE(query.value(0).toString(), oldPendingSql);
        QVERIFY(query.exec(QStringLiteral("select count(*) from pendingExams")) && query.first());
        QCOMPARE(query.value(0).toInt(), 2);
        QVERIFY(query.exec(QStringLiteral("select count(*) from sqlite_master where type = 'index' "
                                          "and name not like 'sqlite_%'")) && query.first());
        QCOMPARE(query.value(0).toInt(), 0);
        // Once the obstacle is gone the next start completes the upgrade.
        QVERIFY(query.exec(QStringLiteral("DROP TABLE pendingExams_v2")));
        query.finish();
        store = DataModule::resetInstanceForTests(root.path());
        QSqlQuery again(store->m_db);
        QVERIFY(again.exec(QStringLiteral("select db_ver from db_info")) && again.first());
        QCOMPARE(again.value(0).toInt(), 3);
        QVERIFY(again.exec(QStringLiteral("select count(*) from pendingExams")) && again.first());
        QCOMPARE(again.value(0).toInt(), 2);
    }

    void queryValueAndRunQuery()
    {
        TempStore store;
        QVERIFY(store->runQuery(QStringLiteral("insert into clients (web_id, surname) values (0, 'A'), (5, 'B'), (7, 'C')")));
        QCOMPARE(store->queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QString()), 3);
        QCOMPARE(store->queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QStringLiteral("web_id = 0")), 1);
        QCOMPARE(store->queryValue(QStringLiteral("max(web_id)"), QStringLiteral("clients"), QString()), 7);
        QCOMPARE(store->queryValue(QStringLiteral("surname"), QStringLiteral("clients"), QStringLiteral("web_id = 5")), 0);
        QCOMPARE(store->queryValue(QStringLiteral("web_id"), QStringLiteral("clients"), QStringLiteral("web_id = 99")), 0);

        LogCatcher log("calvestra.store");
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        // runQuery reports nothing, it only answers.
        QVERIFY(!store->runQuery(QStringLiteral("insert into nowhere values (1)")));
        QCOMPARE(errors.count(), 0);
        QCOMPARE(log.lines().size(), 0);

        QCOMPARE(store->queryValue(QStringLiteral("count(*)"), QStringLiteral("nowhere"), QString()), -1);
        QCOMPARE(errors.count(), 1);
        const QString text = errors.at(0).at(0).toString();
        QVERIFY(text.contains(QStringLiteral("nowhere")));
        QCOMPARE(log.lines(), QStringList({QStringLiteral("SqLite error: ") + text}));
    }

    void fileThatIsNotADatabase()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.path() + QStringLiteral("/Vantrel/Calvestra")));
        QFile junk(dbPathUnder(root.path()));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        QByteArray bytes(8192, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919) % 251);
        junk.write(bytes);
        junk.close();

        LogCatcher log("calvestra.store");
        DataModule *store = nullptr;
        try {
            store = DataModule::resetInstanceForTests(root.path());
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
        QVERIFY(store);
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error:")), 1);

        QSignalSpy errors(store, &DataModule::onSqlError);
        QCOMPARE(store->queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QString()), -1);
        QVERIFY(store->havePendingStuff());
        QVERIFY(store->getPendingDescription().isEmpty());
        QList<Client> clients;
        QVERIFY(!store->getPendingClients(clients));
        QVERIFY(clients.isEmpty());

        Client client;
        client.surname = QStringLiteral("Rossi");
        client.web_id = 12;
        const int before = errors.count();
        client.saveToDB(false, true);
        QVERIFY(errors.count() > before);
        QCOMPARE(client.id, 0);
        client.saveToDB(false, false);
        QCOMPARE(client.id, 0);
        client.loadFromDB(1);
        QCOMPARE(client.surname, QStringLiteral("Rossi"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Client::web_id_exists(1));
        store->deleteClient(1);
        store->resetDB();
        // The reset replaces the broken file with a working database.
        QCOMPARE(store->queryValue(QStringLiteral("db_ver"), QStringLiteral("db_info"), QString()), 3);
    }

    void databaseThatCannotBeCreated()
    {
        QTemporaryDir root;
        // A plain file where the maker folder should be: nothing below it can be made.
        QFile blocker(root.path() + QStringLiteral("/Vantrel"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        LogCatcher log("calvestra.store");
        QString what;
        try {
            DataModule::resetInstanceForTests(root.path());
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QCOMPARE(what, QStringLiteral("unable to create/open the database. Check file permissions?"));
        QCOMPARE(log.lines(), QStringList({QStringLiteral("cannot CREATE DATABASE")}));
        QVERIFY(DataModule::m_instance == nullptr);
        QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));
    }

    void resetDB()
    {
        TempStore store;
        QVERIFY(store.exec(QStringLiteral("insert into clients (web_id, surname) values (3, 'Neri')")));
        QVERIFY(store.exec(QStringLiteral("insert into anamnesis (idClient, name) values (1, 'x')")));
        const QString folder = store->m_dataPath + QStringLiteral("3/");
        QVERIFY(QDir().mkpath(folder));
        QFile model(store->m_assetsPath + QStringLiteral("keep.txt"));
        QVERIFY(model.open(QIODevice::WriteOnly));
        model.close();

        store->resetDB();
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 0);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 0);
        QCOMPARE(store.scalar(QStringLiteral("select db_ver from db_info")).toInt(), 3);
        QCOMPARE(storedSql(store, QStringLiteral("pendingExams")), pendingSql);
        QVERIFY(QDir(folder).exists());
        QVERIFY(QFile::exists(store->m_assetsPath + QStringLiteral("keep.txt")));

        // Without the file there is nothing to reset: no file appears.
        QVERIFY(QFile::remove(store->m_dbFile));
        store->resetDB();
        QVERIFY(!QFile::exists(store->m_dbFile));
    }
};

CALVESTRA_TEST_CORE_MAIN(DataModuleTest)
#include "tst_datamodule.moc"
