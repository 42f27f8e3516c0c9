// The local store: its files and schema, older files brought up to date, broken files,
// client rows, and the bookkeeping of what the service does not have yet.
#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlField>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTranslator>

#include <sqlite3.h>

#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Every row of a query, its columns joined by "|".
QStringList rows(const QSqlDatabase &db, const QString &sql)
{
    QStringList list;
    QSqlQuery query(db);
    query.exec(sql);
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << query.value(i).toString();
        list << values.join(u'|');
    }
    return list;
}

QStringList rows(const QString &sql)
{
    return rows(DataModule::m_instance->m_db, sql);
}

QString dbFile(const QString &root)
{
    return root + u"/Vantrel/Calvestra/calvestra.db"_s;
}

// A file as an older version left it: two clients, an exam waiting for each; then `extra`.
void writeOldFile(const QString &root, int version, const QStringList &extra = {})
{
    QVERIFY(QDir().mkpath(root + u"/Vantrel/Calvestra"_s));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
        db.setDatabaseName(dbFile(root));
        QVERIFY(db.open());
        StoreSchema::createDatabase(db);
        QStringList sql{StoreSchema::stampVersion(version),
                        u"insert into clients (web_id, surname, name, offline) values (10, 'Rossi', 'Mario', 0), "
                        "(0, 'Bianchi', 'Anna', 1)"_s,
                        u"insert into pendingExams values (1, '2024-01-05', 180, 80.5, 3), (2, '2024-02-07', 165, 60, 1)"_s};
        if (version == 2)
            sql << StoreSchema::createAnamnesis << u"insert into anamnesis (web_id, idClient, name) values (0, 1, 'A')"_s;
        for (const QString &statement : sql + extra)
            QVERIFY2(QSqlQuery(db).exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase(u"old"_s);
}

Client sampleClient(const QString &surname = u"Rossi"_s, int webId = 0, bool offline = true)
{
    Client c;
    c.surname = surname;
    c.name = u"Mario"_s;
    c.birthday = QDate(1990, 6, 15);
    c.address = u"Via Roma 1"_s;
    c.city = u"Torino"_s;
    c.province = u"TO"_s;
    c.zipcode = u"10100"_s;
    c.phone = u"011 123456"_s;
    c.email = u"mario@example.org"_s;
    c.height = 178.5;
    c.weight = 81.25;
    c.activityLevel = 3;
    c.web_id = webId;
    c.offline = offline;
    return c;
}

int addClient(const QString &name, const QString &surname, int webId, bool offline)
{
    Client c = sampleClient(surname, webId, offline);
    c.name = name;
    c.saveToDB(false, false);
    return c.id;
}

int addAnamnesi(int idClient, const QString &name, const QDate &day, int webId = 0, bool offline = true)
{
    Anamnesi a;
    a.idClient = idClient;
    a.name = name;
    a.date = QDateTime(day, QTime(10, 0));
    a.web_id = webId;
    a.offline = offline;
    a.SaveToDB(false, false);
    return a.id;
}

Exam examOn(const QDate &day, double weight)
{
    Exam e;
    e.examDate = day;
    e.height = 170;
    e.weight = weight;
    e.activityLevel = 2;
    return e;
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

}  // namespace

class StoreTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { DataModule::resetInstanceForTests(); }

    void firstStartAndReopen()
    {
        TempStore store;
        const QString base = store.location() + u"/Vantrel/Calvestra/"_s;
        QCOMPARE(store->m_dataPath, base + u"data/"_s);
        QCOMPARE(store->m_assetsPath, base + u"assets/"_s);
        QVERIFY(QDir(store->m_dataPath).exists() && QDir(store->m_assetsPath).exists());
        QVERIFY(QFile::exists(dbFile(store.location())));
        QCOMPARE(rows(u"select name from sqlite_master where type = 'table' and name not like 'sqlite_%' order by 1"_s),
                 QStringList({"anamnesis", "clients", "db_info", "pendingExams"}));
        QCOMPARE(rows(u"select db_ver from db_info"_s), QStringList{"3"});
        // No allocation bookkeeping: it takes a global lock on every allocation.
        sqlite3_int64 used = -1, highest = -1;
        QCOMPARE(sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &used, &highest, 0), SQLITE_OK);
        QCOMPARE(used, sqlite3_int64(0));
        QVERIFY(store.exec(u"insert into clients (web_id, surname) values (4, 'Verdi')"_s));
        // Gone with its connection; the next start finds the rows as they were.
        DataModule::resetInstanceForTests();
        QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));
        LogCatcher log("calvestra.store");
        DataModule::resetInstanceForTests(store.location());
        QCOMPARE(log.lines(), QStringList());
        QCOMPARE(rows(u"select surname from clients union all select db_ver from db_info"_s), QStringList({"Verdi", "3"}));
    }

    void defaultLocationIsTheUsersDataFolder()
    {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY2(dataHome.startsWith(QDir::tempPath()), qPrintable(dataHome));
        DataModule *first = DataModule::instance();
        QCOMPARE(DataModule::instance(), first);
        QVERIFY(QFile::exists(dbFile(dataHome)));
        QCOMPARE(Client().m_dataModule.data(), first);
    }

    void olderFilesAreUpgraded_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("anamnesis");
        QTest::newRow("0: only stamped") << 0 << QStringList();
        QTest::newRow("1: anamnesis added") << 1 << QStringList{"0"};
        QTest::newRow("2: rows kept") << 2 << QStringList{"1"};
    }
    void olderFilesAreUpgraded()
    {
        QFETCH(int, version);
        QFETCH(QStringList, anamnesis);
        QTemporaryDir root;
        writeOldFile(root.path(), version);
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(u"SqLite error"_s), 0);
        QCOMPARE(rows(u"select db_ver from db_info"_s), QStringList{"3"});
        QCOMPARE(rows(u"select id, web_id, surname, name, offline from clients"_s),
                 QStringList({"1|10|Rossi|Mario|0", "2|0|Bianchi|Anna|1"}));
        QCOMPARE(rows(u"select * from pendingExams order by idClient"_s),
                 QStringList({"1|2024-01-05|180|80.5|3", "2|2024-02-07|165|60|1"}));
        QCOMPARE(rows(u"select count(*) from anamnesis"_s), anamnesis);
        // Keyed on client and day now: a second day of a client fits, the same day twice does not.
        QSqlQuery query(store->m_db);
        QVERIFY(query.exec(u"insert into pendingExams (idClient, examDate) values (1, '2024-03-01')"_s));
        QVERIFY(!query.exec(u"insert into pendingExams (idClient, examDate) values (1, '2024-03-01')"_s));
        if (version == 0)
            return;
        // An upgraded file ends with exactly the tables and indexes of a new one.
        const QString schema = u"select type, name, sql from sqlite_master where name not like 'sqlite_%' order by 1, 2"_s;
        const QStringList upgraded = rows(schema);
        QTemporaryDir fresh;
        DataModule::resetInstanceForTests(fresh.path());
        QCOMPARE(upgraded, rows(schema));
    }

    void failedUpgradeStepLeavesTheFileAsItWas()
    {
        QTemporaryDir root;
        // A leftover table in the way of the rebuild makes the last step fail midway.
        writeOldFile(root.path(), 2, {u"CREATE TABLE pendingExams_v2 (x INTEGER)"_s});
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(u"SqLite error:"_s), 1);
        QCOMPARE(rows(u"select db_ver from db_info"_s), QStringList{"2"});
        QCOMPARE(rows(u"select sql from sqlite_master where name = 'pendingExams'"_s),
                 QStringList{StoreSchema::createPendingExamsByClient});
        QCOMPARE(rows(u"select count(*) from pendingExams union all select count(*) from sqlite_master "
                      "where type = 'index' and name not like 'sqlite_%'"_s), QStringList({"2", "0"}));
        // Once the obstacle is gone the next start completes it.
        QVERIFY(QSqlQuery(store->m_db).exec(u"DROP TABLE pendingExams_v2"_s));
        DataModule::resetInstanceForTests(root.path());
        QCOMPARE(rows(u"select db_ver from db_info union all select count(*) from pendingExams"_s), QStringList({"3", "2"}));
    }

    void fileThatIsNotADatabase()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.path() + u"/Vantrel/Calvestra"_s));
        QFile junk(dbFile(root.path()));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        for (int i = 0; i < 8192; ++i)
            junk.putChar(char((i * 7919) % 251));
        junk.close();
        LogCatcher log("calvestra.store");
        DataModule *store = nullptr;
        try {
            store = DataModule::resetInstanceForTests(root.path());
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
        QCOMPARE(log.countStartingWith(u"SqLite error:"_s), 1);
        // Every use reports and writes nothing; a check that cannot be made counts as work pending.
        QSignalSpy errors(store, &DataModule::onSqlError);
        QCOMPARE(store->queryValue(u"count(*)"_s, u"clients"_s, QString()), -1);
        QVERIFY(store->havePendingStuff());
        Client client = sampleClient(u"Rossi"_s, 12);
        const int before = errors.count();
        client.saveToDB(false, true);
        client.saveToDB(false, false);
        QCOMPARE(errors.count(), before + 2);
        QCOMPARE(client.id, 0);
        // The reset replaces the broken file with a working one.
        store->resetDB();
        QCOMPARE(store->queryValue(u"db_ver"_s, u"db_info"_s, QString()), 3);
    }

    void databaseThatCannotBeCreated()
    {
        QTemporaryDir root;
        touch(root.path() + u"/Vantrel"_s);  // a plain file where the maker folder should be
        LogCatcher log("calvestra.store");
        QString what;
        try {
            DataModule::resetInstanceForTests(root.path());
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QCOMPARE(what, u"unable to create/open the database. Check file permissions?"_s);
        QCOMPARE(log.lines(), QStringList{"cannot CREATE DATABASE"});
        QVERIFY(DataModule::m_instance == nullptr);
        QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));
    }

    void queriesAndReset()
    {
        TempStore store;
        QVERIFY(store->runQuery(u"insert into clients (web_id, surname) values (0, 'A'), (5, 'B'), (7, 'C')"_s));
        QCOMPARE(store->queryValue(u"count(*)"_s, u"clients"_s, u"web_id = 0"_s), 1);
        QCOMPARE(store->queryValue(u"max(web_id)"_s, u"clients"_s, QString()), 7);
        QCOMPARE(store->queryValue(u"web_id"_s, u"clients"_s, u"web_id = 99"_s), 0);
        LogCatcher log("calvestra.store");
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QVERIFY(!store->runQuery(u"insert into nowhere values (1)"_s));  // only answers
        QCOMPARE(store->queryValue(u"count(*)"_s, u"nowhere"_s, QString()), -1);  // reports
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.at(0).at(0).toString().contains(u"nowhere"_s));
        QCOMPARE(log.lines(), QStringList{u"SqLite error: "_s + errors.at(0).at(0).toString()});
        // A reset empties the tables and keeps the folders with their files.
        QVERIFY(QDir().mkpath(store->m_dataPath + u"3"_s));
        touch(store->m_assetsPath + u"keep.txt"_s);
        store->resetDB();
        QCOMPARE(rows(u"select count(*) from clients union all select db_ver from db_info"_s), QStringList({"0", "3"}));
        QVERIFY(QDir(store->m_dataPath + u"3"_s).exists() && QFile::exists(store->m_assetsPath + u"keep.txt"_s));
        // Without the file there is nothing to reset: none appears.
        QVERIFY(QFile::remove(store->m_dbFile));
        store->resetDB();
        QVERIFY(!QFile::exists(store->m_dbFile));
    }

    void clientRows()
    {
        TempStore store;
        const auto row = [] {
            QSqlQuery query(DataModule::m_instance->m_db);
            QStringList values;
            for (query.exec(u"select * from clients where id = 1"_s); query.next();)
                for (int i = 0; i < query.record().count(); ++i)
                    values << query.record().fieldName(i) + u'=' + query.value(i).toString();
            return values.join(u'|');
        };
        Client c = sampleClient();
        store->saveClient(&c, false);
        QCOMPARE(c.id, 1);
        QCOMPARE(row(), u"id=1|web_id=0|surname=Rossi|name=Mario|sex=M|birthday=1990-06-15|height=178.5|weight=81.25|"
                        "activityLevel=3|address=Via Roma 1|city=Torino|province=TO|zipcode=10100|phone=011 123456|"
                        "email=mario@example.org|offline=1"_s);
        Client second = sampleClient(u"Bianchi"_s);
        second.saveToDB(false, false);
        QCOMPARE(second.id, 2);
        // By local id every column changes, web id included; the other row stays.
        c.web_id = 345;
        c.sex = u"F"_s;
        c.birthday = QDate();
        c.weight = 55.5;
        c.offline = false;
        c.email = u"o'neil@example.org"_s;
        c.saveToDB(false, false);
        QCOMPARE(c.id, 1);
        QCOMPARE(row(), u"id=1|web_id=345|surname=Rossi|name=Mario|sex=F|birthday=|height=178.5|weight=55.5|"
                        "activityLevel=3|address=Via Roma 1|city=Torino|province=TO|zipcode=10100|phone=011 123456|"
                        "email=o'neil@example.org|offline=0"_s);
        // By web id: the row with that web id changes (the record's id stays 0), or a new one comes.
        Client update = sampleClient(u"Verdi"_s, 345, false);
        update.saveToDB(false, true);
        QCOMPARE(update.id, 0);
        Client other = sampleClient(u"Neri"_s, 778);
        other.saveToDB(false, true);
        QCOMPARE(other.id, 3);
        QCOMPARE(rows(u"select surname from clients"_s), QStringList({"Verdi", "Bianchi", "Neri"}));

        // Loading by id and by web id; a missing one is logged and leaves the record alone.
        Client byId;
        byId.loadFromDB(1);
        QCOMPARE(byId.toJSONObject(true), update.toJSONObject(true));
        QVERIFY(!byId.offline && byId.activityLevel == 3);
        Client byWebId;
        byWebId.loadFromWebID(778);
        QCOMPARE(byWebId.id, 3);
        LogCatcher log("calvestra.store");
        Client missing = sampleClient();
        missing.loadFromDB(99);
        missing.loadFromWebID(5);
        QCOMPARE(log.lines(), QStringList({"load client from db invalid 99", "load client from web_id invalid 5"}));
        QCOMPARE(missing.surname, u"Rossi"_s);

        // Columns match without regard to case; missing or empty ones give empty values.
        QSqlRecord record;
        for (const auto &[name, value] : {std::pair{"ID", QVariant(5)}, {"Surname", QVariant(u"Neri"_s)},
                                          {"OFFLINE", QVariant(false)}, {"birthday", QVariant(u"2001-12-31"_s)},
                                          {"height", QVariant(QString())}}) {
            record.append(QSqlField(QString::fromLatin1(name), value.metaType()));
            record.setValue(QString::fromLatin1(name), value);
        }
        Client fromRecord = sampleClient();
        fromRecord.loadFromRecord(&record);
        QCOMPARE(QStringList({QString::number(fromRecord.id), fromRecord.surname, fromRecord.name,
                              fromRecord.birthday.toString(Qt::ISODate), QString::number(fromRecord.height)}),
                 QStringList({"5", "Neri", "", "2001-12-31", "0"}));
        QVERIFY(!fromRecord.offline);

        // Asking for the upload still saves here first, and takes the shared service client.
        Client sent = sampleClient();
        sent.saveToDB(true, false);
        QCOMPARE(sent.id, 4);
        QVERIFY(sent.m_httpService && sent.m_httpService == HttpService::m_instance);
    }

    void existenceQueries()
    {
        TempStore store;
        QVERIFY(store.exec(u"insert into clients (web_id, surname) values (0, 'A'), (50, 'B')"_s));
        QVERIFY(Client::id_exists(2) && !Client::id_exists(3));
        QVERIFY(Client::web_id_exists(50) && !Client::web_id_exists(51));
        QCOMPARE(Client::id_from_web_id(50), 2);
        QCOMPARE(Client::id_from_web_id(51), 0);
        QVERIFY(store.exec(u"DROP TABLE clients"_s));
        const auto thrown = [](const std::function<void()> &call) {
            try {
                call();
            } catch (const std::runtime_error &e) {
                return QString::fromUtf8(e.what());
            }
            return QString();
        };
        QCOMPARE(thrown([] { Client::web_id_exists(50); }), u"web_id_exists query fault."_s);
        QCOMPARE(thrown([] { Client::id_exists(1); }), u"web_id_exists query fault."_s);
        QCOMPARE(thrown([] { Client::id_from_web_id(50); }), u"id_from_web_id query fault."_s);
        // Saving by web id cannot decide between insert and update: it reports and writes nothing.
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        Client c = sampleClient(u"X"_s, 9);
        c.saveToDB(false, true);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), u"web_id_exists query fault."_s);
    }

    void age_data()
    {
        QTest::addColumn<QDate>("birthday");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("age");
        QTest::newRow("day before") << QDate(1990, 6, 15) << QDate(2024, 6, 13) << 33;
        QTest::newRow("day count runs ahead") << QDate(1990, 6, 15) << QDate(2024, 6, 14) << 34;
        QTest::newRow("leap birthday before") << QDate(2000, 2, 29) << QDate(2010, 2, 27) << 9;
        QTest::newRow("leap birthday") << QDate(2000, 2, 29) << QDate(2010, 2, 28) << 10;
        QTest::newRow("born today") << QDate(2024, 3, 1) << QDate(2024, 3, 1) << 0;
        QTest::newRow("not born yet") << QDate(2030, 1, 1) << QDate(2024, 3, 1) << 0;
        QTest::newRow("no birthday") << QDate() << QDate(2024, 3, 1) << 0;
        QTest::newRow("counted from today") << QDate::currentDate().addDays(-400) << QDate() << 1;
    }
    void age()
    {
        QFETCH(QDate, birthday);
        QFETCH(QDate, today);
        QFETCH(int, age);
        TempStore store;
        Client c;
        c.birthday = birthday;
        QCOMPARE(today.isValid() ? c.getAge(today) : c.getAge(), age);
    }

    void dataFolderFollowsTheWebId()
    {
        TempStore store;
        Client c;
        c.id = 7;
        QCOMPARE(c.getDataPath(false), store->m_dataPath + u"_7/"_s);
        QVERIFY(!QDir(c.getDataPath(false)).exists());
        QVERIFY(c.setWebId(0));  // nothing to move
        const QString oldFolder = c.getDataPath(true);
        touch(oldFolder + u"Vita-20240105--09-30-15.jpg"_s);
        QVERIFY(c.setWebId(1532));
        QCOMPARE(c.getDataPath(false), store->m_dataPath + u"1532/"_s);
        QVERIFY(!QDir(oldFolder).exists());
        QVERIFY(QFile::exists(store->m_dataPath + u"1532/Vita-20240105--09-30-15.jpg"_s));
        // Without a folder to move the id is taken all the same, and the move fails.
        Client fresh;
        fresh.id = 8;
        QVERIFY(!fresh.setWebId(1600));
        QCOMPARE(fresh.web_id, 1600);
        QVERIFY(!QDir(store->m_dataPath + u"1600"_s).exists());
    }

    void heightWeightAndAnamnesisList()
    {
        TempStore store;
        Client c = sampleClient(u"Rossi"_s, 0, false);
        c.saveToDB(false, false);
        const int other = addClient(u"B"_s, u"Altro"_s, 0, true);
        c.updateHeightAndWeight(181.5, 79.75);
        QCOMPARE(c.weight, 79.75);
        QCOMPARE(rows(u"select height, weight, offline, surname from clients"_s),
                 QStringList({"181.5|79.75|0|Rossi", "178.5|81.25|1|Altro"}));
        // Newest first, without the deleted ones nor those of other clients.
        for (const auto &[name, day] : {std::pair{"Prima", QDate(2023, 1, 10)}, {"Terza", QDate(2024, 5, 1)},
                                        {"Eliminata", QDate(2024, 6, 1)}, {"Seconda", QDate(2023, 11, 3)}})
            addAnamnesi(c.id, QString::fromLatin1(name), day);
        addAnamnesi(other, u"Altro"_s, QDate(2024, 7, 1));
        QVERIFY(store.exec(u"update anamnesis set deleted = 1 where name = 'Eliminata'"_s));
        QStringList names;
        for (const Anamnesi &a : c.getAnamnesiList())
            names << a.name + u' ' + a.date.toString(Qt::ISODate);
        QCOMPARE(names, QStringList({"Terza 2024-05-01T10:00:00", "Seconda 2023-11-03T10:00:00", "Prima 2023-01-10T10:00:00"}));
        // Failures are logged, not signalled.
        QVERIFY(store.exec(u"DROP TABLE anamnesis"_s) && store.exec(u"DROP TABLE clients"_s));
        LogCatcher log("calvestra.store");
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        c.updateHeightAndWeight(1, 2);
        QVERIFY(c.getAnamnesiList().isEmpty());
        QCOMPARE(log.countStartingWith(u"SqLite error: "_s), 2);
        QCOMPARE(errors.count(), 0);
    }

    void pendingCheckForEachKind()
    {
        TempStore store;
        QVERIFY(!store->havePendingStuff());
        const int id = addClient(u"A"_s, u"B"_s, 5, false);
        addAnamnesi(id, u"x"_s, QDate(2024, 1, 1), 8, false);
        QVERIFY(!store->havePendingStuff());
        for (const char *change : {"update clients set offline = 1", "update clients set web_id = 0",
                                   "update anamnesis set deleted = 1", "update anamnesis set offline = 1",
                                   "update anamnesis set web_id = 0"}) {
            QVERIFY(store.exec(QString::fromLatin1(change)));
            QVERIFY2(store->havePendingStuff(), change);
            QVERIFY(store.exec(u"update clients set offline = 0, web_id = 5"_s));
            QVERIFY(store.exec(u"update anamnesis set offline = 0, web_id = 8, deleted = 0"_s));
            QVERIFY(!store->havePendingStuff());
        }
        Exam exam = examOn(QDate(2024, 1, 5), 70);
        QVERIFY(store->insertPendingExam(id, &exam) && store->havePendingStuff());
        QVERIFY(store->removePendingExam(id, &exam) && !store->havePendingStuff());
        QVERIFY(store.exec(u"DROP TABLE pendingExams"_s));
        QVERIFY(store->havePendingStuff());  // a count that cannot be made counts as pending
    }

    void pendingDescription()
    {
        TempStore store;
        addClient(u"Luca"_s, u"Synced"_s, 10, false);
        const int mario = addClient(u"Mario"_s, u"Rossi"_s, 11, true);
        const int anna = addClient(u"Anna"_s, u"Bianchi"_s, 0, false);
        const int carla = addClient(u"Carla"_s, u"Verdi"_s, 12, false);
        Exam exam = examOn(QDate(2024, 3, 9), 55);
        QVERIFY(store->insertPendingExam(carla, &exam));
        addAnamnesi(anna, u"Sportiva"_s, QDate(2024, 2, 3));
        addAnamnesi(carla, u"Sincronizzata"_s, QDate(2024, 2, 4), 40, false);
        QVERIFY(store->deleteAnamnesi(addAnamnesi(mario, u"Clinica"_s, QDate(2023, 12, 24), 41, false), false));
        addAnamnesi(999, u"Orfana"_s, QDate(2024, 2, 5));  // its client row is gone: empty names
        // The clients in the order the database gives them.
        const QString description = store->getPendingDescription();
        const QString clients = description.startsWith(u"\nClienti:\nAnna"_s) ? u"\nClienti:\nAnna Bianchi\nMario Rossi\n"_s
                                                                              : u"\nClienti:\nMario Rossi\nAnna Bianchi\n"_s;
        const QString exams = u"\nEsami:\n2024.03.09 Carla Verdi\n"_s;
        QCOMPARE(description, clients + exams + u"\nAnamnesi:\n2024.02.03 Sportiva (Anna Bianchi)\n2024.02.05 Orfana ( )\n"
                                                "\nAnamnesi eliminate:\n2023.12.24 Clinica (Mario Rossi)\n"_s);
        // The titles follow the language of the interface.
        QTranslator translator;
        QVERIFY(translator.load(u":/i18n/en"_s));
        QCoreApplication::installTranslator(&translator);
        const QString english = store->getPendingDescription();
        QCoreApplication::removeTranslator(&translator);
        QString expected = description;
        for (const auto &[it, en] : {std::pair{"Clienti:", "Clients:"}, {"Esami:", "Exams:"},
                                     {"Anamnesi:", "Anamnesis:"}, {"Anamnesi eliminate:", "Deleted anamnesis:"}})
            expected.replace(QLatin1String(it), QLatin1String(en));
        QCOMPARE(english, expected);
        // A failed section is reported and left out; the others still come.
        QVERIFY(store.exec(u"DROP TABLE anamnesis"_s));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QCOMPARE(store->getPendingDescription(), clients + exams);
        QCOMPARE(errors.count(), 2);
    }

    void pendingRecords()
    {
        TempStore store;
        QList<Client> clients{Client()};
        QList<Anamnesi> anamnesis;
        QList<Exam> exams{Exam()};
        QVERIFY(!store->getPendingClients(clients) && !store->getPendingAnamesis(anamnesis, false));
        QVERIFY(!store->getPendingExams(exams));
        QCOMPARE(clients.size() + exams.size(), 2);  // untouched
        const int withWeb = addClient(u"A"_s, u"B"_s, 1532, false);
        const int offline = addClient(u"Off"_s, u"Line"_s, 4, true);
        const int fresh = addClient(u"New"_s, u"Client"_s, 0, false);
        const QString folder = store->m_dataPath + u"1532/"_s;
        QVERIFY(QDir().mkpath(folder));
        for (const char *name : {"Vita-20240105--09-30-15.jpg", "Vita-20240105--09-30-15.d2d", "Vita-20240105--09-30-15.json",
                                 "Addome-20240105--09-40-00.jpg", "Addome-20240105--09-40-00.d2d", "Addome-20240106--09-40-00.jpg"})
            touch(folder + QString::fromLatin1(name));
        // The same day twice keeps one row with the latest values; another day has a row of its own.
        Exam first = examOn(QDate(2024, 1, 5), 80), again = examOn(QDate(2024, 1, 5), 79.25), later = examOn(QDate(2024, 2, 1), 78);
        for (Exam *e : {&first, &again, &later})
            QVERIFY(store->insertPendingExam(withWeb, e));
        QVERIFY(store->insertPendingExam(fresh, &first));
        QCOMPARE(store.scalar(u"select count(*) from pendingExams"_s).toInt(), 3);

        // Appended to the list with the scans of their day; those of a client without web id wait.
        QVERIFY(store->getPendingExams(exams));
        QCOMPARE(exams.size(), 3);
        std::sort(exams.begin() + 1, exams.end(), [](const Exam &x, const Exam &y) { return x.examDate < y.examDate; });
        const Exam &day = exams.at(1);
        QCOMPARE(QList<double>({double(day.idUser), day.weight, day.height, double(day.activityLevel)}),
                 QList<double>({1532, 79.25, 170, 2}));
        QCOMPARE(day.scanNames, QStringList({folder + u"Addome-20240105--09-40-00"_s, folder + u"Vita-20240105--09-30-15"_s}));
        QCOMPARE(day.scanFiles.size(), 2);
        QVERIFY(day.scanFiles.at(0).zone == u"Addome"_s && day.scanFiles.at(0).jsonFile.isEmpty());
        QCOMPARE(day.scanFiles.at(1).jsonFile, folder + u"Vita-20240105--09-30-15.json"_s);
        QCOMPARE(exams.at(2).examDate, QDate(2024, 2, 1));
        QVERIFY(exams.at(2).scanFiles.isEmpty());
        QVERIFY(store->removePendingExam(withWeb, &first));  // clears only that day
        QCOMPARE(rows(u"select idClient, examDate from pendingExams order by 1"_s),
                 QStringList({u"%1|2024-02-01"_s.arg(withWeb), u"%1|2024-01-05"_s.arg(fresh)}));

        clients.clear();
        QVERIFY(store->getPendingClients(clients));
        QStringList names;
        for (const Client &c : clients)
            names << QString::number(c.id) + c.surname + QString::number(c.web_id);
        names.sort();
        QCOMPARE(names, QStringList({QString::number(offline) + u"Line4"_s, QString::number(fresh) + u"Client0"_s}));
        addAnamnesi(fresh, u"Synced"_s, QDate(2024, 4, 1), 20, false);
        const int toSend = addAnamnesi(fresh, u"ToSend"_s, QDate(2024, 4, 1), 0, false);
        const int both = addAnamnesi(offline, u"Both"_s, QDate(2024, 4, 2), 21, true);
        QVERIFY(store.exec(u"update anamnesis set deleted = 1 where id = %1"_s.arg(both)));
        QVERIFY(store->getPendingAnamesis(anamnesis, false));
        names.clear();
        for (const Anamnesi &a : anamnesis)
            names << QString::number(a.id) + a.name + a.date.toString(Qt::ISODate);
        names.sort();
        QCOMPARE(names, QStringList({u"%1ToSend2024-04-01T10:00:00"_s.arg(toSend), u"%1Both2024-04-02T10:00:00"_s.arg(both)}));
        anamnesis.clear();
        QVERIFY(store->getPendingAnamesis(anamnesis, true));
        QCOMPARE(anamnesis.size(), 1);
        QVERIFY(anamnesis.at(0).web_id == 21 && anamnesis.at(0).idClient == offline);

        // Failures, with the deletion of a client taking its exams (the second statement still runs).
        store->deleteClient(withWeb);
        QCOMPARE(rows(u"select idClient from pendingExams"_s), QStringList{QString::number(fresh)});
        QVERIFY(store.exec(u"DROP TABLE clients"_s) && store.exec(u"DROP TABLE anamnesis"_s));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        store->deleteClient(fresh);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(store.scalar(u"select count(*) from pendingExams"_s).toInt(), 0);
        QVERIFY(store.exec(u"DROP TABLE pendingExams"_s));
        QVERIFY(!store->insertPendingExam(1, &first) && !store->removePendingExam(1, &first));
        QVERIFY(!store->getPendingExams(exams) && !store->getPendingClients(clients));
        QVERIFY(!store->getPendingAnamesis(anamnesis, true));
        QCOMPARE(errors.count(), 6);
    }
};

CALVESTRA_TEST_CORE_MAIN(StoreTest)
#include "tst_store.moc"
