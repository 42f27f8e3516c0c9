// The local store: its files and schema, older files brought up to date, broken files,
// client rows, scan file names, and the outbox of what the service does not have yet.
#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/Outbox.h"
#include "store/OutboxDescription.h"
#include "store/ScanFile.h"
#include "store/ScanFileNames.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTranslator>

#include <sqlite3.h>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Every row of a query on the store's connection, its columns joined by "|".
QStringList rows(const QString &sql)
{
    QStringList list;
    QSqlQuery query(DataModule::m_instance->m_db);
    for (query.exec(sql); query.next();) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << query.value(i).toString();
        list << values.join(u'|');
    }
    return list;
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
        if (version >= 2)
            sql << StoreSchema::createAnamnesis << u"insert into anamnesis (web_id, idClient, name) values (0, 1, 'A')"_s;
        for (const QString &statement : sql + extra)
            QVERIFY2(QSqlQuery(db).exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase(u"old"_s);
}

Client sampleClient(const QString &surname = u"Rossi"_s, int webId = 0, bool offline = true)
{
    Client c;
    std::tie(c.surname, c.name, c.address, c.city, c.province, c.zipcode, c.phone, c.email) =
        std::tuple(surname, u"Mario"_s, u"Via Roma 1"_s, u"Torino"_s, u"TO"_s, u"10100"_s, u"011 123456"_s, u"mario@example.org"_s);
    std::tie(c.birthday, c.height, c.weight, c.activityLevel, c.web_id, c.offline) =
        std::tuple(QDate(1990, 6, 15), 178.5, 81.25, 3, webId, offline);
    return c;
}

int addAnamnesi(int idClient, const QString &name, const QDate &day, int webId = 0, bool offline = true)
{
    Anamnesi a;
    std::tie(a.idClient, a.name, a.date, a.web_id, a.offline) = std::tuple(idClient, name, QDateTime(day, QTime(10, 0)), webId, offline);
    a.SaveToDB(false, false);
    return a.id;
}

Exam examOn(const QDate &day, double weight)
{
    Exam e;
    std::tie(e.examDate, e.height, e.weight, e.activityLevel) = std::tuple(day, 170.0, weight, 2);
    return e;
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly), qPrintable(path));
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
        QCOMPARE(store->m_dataPath + u' ' + store->m_assetsPath, base + u"data/ "_s + base + u"assets/"_s);
        QVERIFY(QDir(store->m_dataPath).exists() && QDir(store->m_assetsPath).exists() && QFile::exists(dbFile(store.location())));
        // No allocation bookkeeping: it takes a global lock on every allocation.
        sqlite3_int64 used = -1, highest = -1;
        QVERIFY(sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &used, &highest, 0) == SQLITE_OK && used == 0);
        QVERIFY(store.exec(u"insert into clients (web_id, surname) values (4, 'Verdi')"_s));
        // Gone with its connection; the next start finds the rows as they were.
        DataModule::resetInstanceForTests();
        QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));
        LogCatcher log("calvestra.store");
        DataModule::resetInstanceForTests(store.location());
        QCOMPARE(log.lines(), QStringList());
        QCOMPARE(rows(u"select surname from clients union all select db_ver from db_info"_s), QStringList({"Verdi", "4"}));
        // A fresh account has no data location yet: it is made with its parents.
        const DataModule *fresh = DataModule::resetInstanceForTests(store.location() + u"/not/yet"_s);
        QVERIFY(QFile::exists(dbFile(store.location() + u"/not/yet"_s)));
        QCOMPARE(QFile::permissions(fresh->m_dataPath) & 0x0077, QFileDevice::Permissions());  // the owner's alone
    }

    void olderFilesAreUpgraded_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QStringList>("outbox");  // what waited, now in the outbox in the old sending order
        const QStringList exams{"exam|0|1|0|2024-01-05{\"height\":180,\"weight\":80.5,\"activityLevel\":3}",
                                "exam|0|2|0|2024-02-07{\"height\":165,\"weight\":60,\"activityLevel\":1}"};
        QTest::newRow("0: only stamped") << 0 << QStringList() << QStringList{"client|2|2|0|"} + exams;
        QTest::newRow("1: anamnesis added") << 1 << QStringList() << QStringList{"client|2|2|0|"} + exams;
        QTest::newRow("2: rows kept") << 2 << QStringList() << QStringList{"client|2|2|0|", "anamnesi|1|1|0|"} + exams;
        // Version 3 kept a deletion as a marked row: it becomes a tombstone and the row goes.
        QTest::newRow("3: deletion marked") << 3
            << QStringList{u"insert into anamnesis (web_id, idClient, name, deleted, offline) values (30, 1, 'B', 1, 0)"_s}
            << QStringList{"client|2|2|0|", "anamnesi|1|1|0|", "anamnesiDelete|0|1|30|"} + exams;
    }
    void olderFilesAreUpgraded()
    {
        QFETCH(int, version);
        QFETCH(QStringList, extra);
        QFETCH(QStringList, outbox);
        QTemporaryDir root;
        writeOldFile(root.path(), version, extra);
        LogCatcher log("calvestra.store");
        DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(u"SqLite error"_s), 0);
        QCOMPARE(rows(u"select db_ver from db_info"_s), QStringList{"4"});
        QCOMPARE(rows(u"select id, web_id, surname, name, offline, length(syncKey) from clients"_s),
                 QStringList({"1|10|Rossi|Mario|0|32", "2|0|Bianchi|Anna|1|32"}));
        QCOMPARE(rows(u"select kind, recordId, clientId, webId, examDate || payload from outbox order by id"_s), outbox);
        QCOMPARE(rows(u"select name from sqlite_master where name in ('pendingExams', 'outbox')"_s), QStringList{"outbox"});
        if (version == 3)
            QCOMPARE(rows(u"select name from anamnesis"_s), QStringList{"A"});
        // (A version-3 file made here by hand lacks that version's indexes.)
        if (version == 0 || version == 3)
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
        // A table in the way of an index makes the last step fail after the rebuild of pendingExams.
        writeOldFile(root.path(), 2, {u"CREATE TABLE clients_web_id (x INTEGER)"_s});
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(u"SqLite error:"_s), 1);
        QCOMPARE(rows(u"select db_ver from db_info union all select sql from sqlite_master where name = 'pendingExams' union all "
                      "select count(*) from pendingExams union all select count(*) from sqlite_master where type = 'index' "
                      "and name not like 'sqlite_%'"_s),
                 QStringList({"2", StoreSchema::createPendingExamsByClient, "2", "0"}));
        // Once the obstacle is gone the next start completes it, the waiting exams moved to the outbox.
        QVERIFY(QSqlQuery(store->m_db).exec(u"DROP TABLE clients_web_id"_s));
        DataModule::resetInstanceForTests(root.path());
        QCOMPARE(rows(u"select db_ver from db_info union all select count(*) from outbox where kind = 'exam'"_s),
                 QStringList({"4", "2"}));
    }

    void brokenFilesQueriesAndReset()
    {
        // Not a database: reported, nothing written to it; kept aside as it is when a new one starts.
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.path() + u"/Vantrel/Calvestra/data/_1"_s));
        QByteArray bytes;
        for (int i = 0; i < 8192; ++i)
            bytes.append(char((i * 7919) % 251));
        QFile junk(dbFile(root.path()));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write(bytes) == bytes.size());
        junk.close();
        touch(root.path() + u"/Vantrel/Calvestra/data/_1/Vita-20240105--09-30-15.jpg"_s);
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QVERIFY(store->isDamaged() && !store->damageText().isEmpty() && log.countStartingWith(u"SqLite error:"_s) == 1);
        QSignalSpy errors(store, &DataModule::onSqlError);
        QCOMPARE(store->queryValue(u"count(*)"_s, u"clients"_s, QString()), -1);
        QVERIFY(store->havePendingStuff());  // a check that cannot be made counts as work pending
        Client client = sampleClient(u"Rossi"_s, 12);
        QVERIFY(!client.saveToDB(false, true) && !client.saveToDB(true, false) && client.id == 0 && errors.count() >= 3);
        const auto read = [](const QString &path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); };
        QCOMPARE(read(dbFile(root.path())), bytes);
        QVERIFY(store->startAfresh() && !store->isDamaged());
        QVERIFY(store->setAsidePath().contains(u"/damaged-"_s) && read(store->setAsidePath() + u"/calvestra.db"_s) == bytes);
        QVERIFY(QFile::exists(store->setAsidePath() + u"/data/_1/Vita-20240105--09-30-15.jpg"_s) && !QDir(store->m_dataPath + u"_1"_s).exists());
        QCOMPARE(store->queryValue(u"db_ver"_s, u"db_info"_s, QString()), 4);

        // Folders that cannot be made: said once, with the path, no store and no connection left behind.
        QTemporaryDir blocked;
        touch(blocked.path() + u"/Vantrel"_s);  // a plain file where the maker folder should be
        log.clear();
        QString what;
        try {
            DataModule::resetInstanceForTests(blocked.path());
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QVERIFY2(what.startsWith(u"Impossibile creare la cartella dei dati "_s) && what.contains(blocked.path()), qPrintable(what));
        QCOMPARE(log.lines(), QStringList{"cannot create the data folder"});
        QVERIFY(DataModule::m_instance == nullptr && !QSqlDatabase::contains(QString::fromLatin1(QSqlDatabase::defaultConnection)));

        // A working store: runQuery only answers, queryValue reports its failures.
        {
            TempStore store;
            QVERIFY(store->runQuery(u"insert into clients (web_id, surname) values (0, 'A'), (7, 'C')"_s));
            QCOMPARE(QList<int>({store->queryValue(u"max(web_id)"_s, u"clients"_s, u"web_id < 99"_s),
                                 store->queryValue(u"web_id"_s, u"clients"_s, u"web_id = 99"_s)}), QList<int>({7, 0}));
            LogCatcher log("calvestra.store");
            QSignalSpy errors(store.store(), &DataModule::onSqlError);
            QVERIFY(!store->runQuery(u"insert into nowhere values (1)"_s));  // only answers
            QCOMPARE(store->queryValue(u"count(*)"_s, u"nowhere"_s, QString()), -1);  // reports
            QVERIFY(errors.count() == 1 && errors.at(0).at(0).toString().contains(u"nowhere"_s));
            QCOMPARE(log.lines(), QStringList{u"SqLite error: "_s + errors.at(0).at(0).toString()});
            // A reset empties the tables; the scan folders, named after ids it hands out again, move aside.
            touch(store->m_assetsPath + u"keep.txt"_s);
            touch(store->m_dataPath + u"_1/Vita-20240105--09-30-15.jpg"_s);
            QVERIFY(store->resetDB());
            QCOMPARE(rows(u"select count(*) from clients union all select db_ver from db_info"_s), QStringList({"0", "4"}));
            QVERIFY(QFile::exists(store->m_assetsPath + u"keep.txt"_s) && !QDir(store->m_dataPath + u"_1"_s).exists());
            QVERIFY(store->setAsidePath().contains(u"/reset-"_s) && QFile::exists(store->setAsidePath() + u"/data/_1/Vita-20240105--09-30-15.jpg"_s));
        }
    }

    // Rows written through the dialog and the service client are tested with them; here what they do not reach.
    void clientRows()
    {
        TempStore store;
        Client c = sampleClient(), other = sampleClient(u"Neri"_s, 778);
        c.saveToDB(false, false);
        other.saveToDB(false, true);
        c.updateHeightAndWeight(181.5, 79.75);
        QCOMPARE(rows(u"select id, web_id, surname, name, sex, birthday, height, weight, activityLevel, address, city, province, "
                      "zipcode, phone, email, offline from clients"_s),
                 QStringList({"1|0|Rossi|Mario|M|1990-06-15|181.5|79.75|3|Via Roma 1|Torino|TO|10100|011 123456|mario@example.org|1",
                              "2|778|Neri|Mario|M|1990-06-15|178.5|81.25|3|Via Roma 1|Torino|TO|10100|011 123456|mario@example.org|1"}));
        // Named after the local id until a web id comes; without a folder to move the id is taken anyway.
        Client fresh = sampleClient();
        fresh.id = 7;
        QCOMPARE(fresh.getDataPath(false), store->m_dataPath + u"_7/"_s);
        QVERIFY(!fresh.setWebId(1600) && fresh.web_id == 1600 && !QDir(store->m_dataPath + u"1600"_s).exists());
        QVERIFY(fresh.getDataPath(true) == store->m_dataPath + u"1600/"_s && QDir(store->m_dataPath + u"1600"_s).exists());
        // A missing one is logged and leaves the record alone.
        LogCatcher log("calvestra.store");
        Client missing = sampleClient(u"Bianchi"_s);
        missing.loadFromDB(99);
        missing.loadFromWebID(5);
        QVERIFY(log.lines() == QStringList({"load client from db invalid 99", "load client from web_id invalid 5"}) && missing.surname == u"Bianchi"_s);
        // Every new client gets a key of its own. A copy made before the service gave it a web id
        // keeps the row's web id when saved, and learns it.
        QCOMPARE(rows(u"select count(distinct syncKey) from clients where length(syncKey) = 32"_s), QStringList{"2"});
        Client stale = c;
        QVERIFY(store.exec(u"update clients set web_id = 901 where id = 1"_s));
        stale.surname = u"Rossini"_s;
        QVERIFY(stale.saveToDB(false, false) && stale.web_id == 901);
        QCOMPARE(rows(u"select web_id || surname from clients where id = 1"_s), QStringList{"901Rossini"});
        // Asking for the upload saves here and queues it, in one go.
        QVERIFY(missing.saveToDB(true, false) && missing.id == 3);
        QCOMPARE(rows(u"select kind, recordId from outbox"_s), QStringList{"client|3"});
        // Existence checks throw when their statement fails; saving by web id then writes nothing.
        QVERIFY(Client::id_exists(2) && !Client::id_exists(5) && Client::web_id_exists(778) && !Client::web_id_exists(5));
        QCOMPARE(QList<int>({Client::id_from_web_id(778), Client::id_from_web_id(5)}), QList<int>({2, 0}));
        QVERIFY(store.exec(u"DROP TABLE clients"_s) && store.exec(u"DROP TABLE anamnesis"_s));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Client::web_id_exists(50));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Client::id_exists(1));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Client::id_from_web_id(50));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        other.saveToDB(false, true);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), u"web_id_exists query fault."_s);
        // These only log their failures.
        LogCatcher failures("calvestra.store");
        c.updateHeightAndWeight(1, 2);
        QVERIFY(c.getAnamnesiList().isEmpty());
        QVERIFY(failures.countStartingWith(u"SqLite error: "_s) == 2 && errors.count() == 1);
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

    void scanNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parts");       // zone, date and time text from parseVQFile
        QTest::addColumn<QDateTime>("parsed");     // parseVQFile
        QTest::addColumn<QDateTime>("fromName");   // parseFileDateTime, which wants a three-letter extension
        const QDateTime morning(QDate(2024, 1, 5), QTime(9, 30, 15)), late(QDate(2023, 12, 31), QTime(23, 59, 58)), none;
        QTest::newRow("path") << "/data/12/Vita-20240105--09-30-15.jpg" << "Vita 20240105 09-30-15" << morning << morning;
        QTest::newRow("folder with a dash") << "/a/b-c/Coscia sx-20231231--23-59-58.d2d" << "Coscia sx 20231231 23-59-58" << late << late;
        QTest::newRow("four-letter extension") << "Vita-20240105--09-30-15.json" << "Vita 20240105 09-30-15" << morning << none;
        QTest::newRow("date only") << "Vita-20240105.jpg" << "Vita  " << none << none;
        QTest::newRow("impossible date") << "Vita-20241341--25-61-00.jpg" << "Vita 20241341 25-61-00" << none << none;
        QTest::newRow("empty") << "" << "  " << none << none;
        QTest::newRow("dash and digit only") << "-2" << "  " << none << none;
    }
    void scanNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, parts);
        QFETCH(QDateTime, parsed);
        QFETCH(QDateTime, fromName);
        const ParsedScanName p = parseVQFile(name);
        QCOMPARE(QStringList({p.fileName, p.baseName}), QStringList({QFileInfo(name).fileName(), QFileInfo(name).baseName()}));
        QCOMPARE(p.zone + u' ' + p.dateText + u' ' + p.timeText, parts);
        QCOMPARE(p.dateTime, parsed);
        QVERIFY(!parsed.isValid() || (p.date == parsed.date() && p.time == parsed.time() && p.dateTime.timeSpec() == Qt::LocalTime));
        QCOMPARE(parseFileDateTime(name), fromName);
        const ScanFile scan = ScanFile::createFromFilePath(name);
        QVERIFY(scan.dateTime == fromName && scan.jpgFile == name);
        QCOMPARE(scan.zone, name.contains(u"--"_s) ? parts.section(u' ', 0, -3) : QString());
    }

    void scanFileAndExamRecord()
    {
        // A picture finds its raw data and, when there is one, its analysis.
        TempStore store;
        const QString base = store->m_dataPath + u"Coscia dx-20240105--09-30-15"_s;
        touch(base + u".jpg"_s);
        QCOMPARE(ScanFile::createFromFilePath(base + u".jpg"_s).jsonFile, QString());
        touch(base + u".json"_s);
        const ScanFile scan = ScanFile::createFromFilePath(base + u".jpg"_s);
        QCOMPARE(QStringList({scan.baseName, scan.d2dFile, scan.jsonFile}),
                 QStringList({QFileInfo(base).fileName(), base + u".d2d"_s, changeFileExtension(scan.d2dFile, u"json"_s)}));
        QCOMPARE(scan.jsonFile, base + u".json"_s);
        Exam e;
        std::tie(e.examDate, e.idUser, e.activityLevel, e.weight, e.height, e.examZones, e.notes) =
            std::tuple(QDate(2024, 1, 5), 1532, 2, 80.5, 180.0, u"Vita,Addome"_s, u"dopo allenamento"_s);
        e.scanNames << scan.baseName;
        const QJsonObject expected{{"examDate", "2024-01-05"}, {"idUser", 1532}, {"activityLevel", 2}, {"weight", 80.5}, {"height", 180.0},
                                   {"kind", 2}, {"subKind", 2}, {"examZones", "Vita,Addome"}, {"notes", "dopo allenamento"}};
        QVERIFY(e.toJSONObject(true) == expected && e.toJSONObject(false) == expected);
    }

    // What waits for the service: one item per record and kind, written with the change itself.
    void outboxItems()
    {
        TempStore store;
        Outbox *outbox = store->outbox();
        QSignalSpy changes(outbox, &Outbox::changed);
        QVERIFY(!store->havePendingStuff());
        Client mario = sampleClient(u"Rossi"_s), anna = sampleClient(u"Bianchi"_s);
        mario.name = u"Mario"_s, anna.name = u"Anna"_s;
        QVERIFY(mario.saveToDB(true, false) && anna.saveToDB(true, false) && mario.saveToDB(true, false));
        const int sent = addAnamnesi(mario.id, u"Clinica"_s, QDate(2023, 12, 24), 41, false);  // the service has it
        Anamnesi sportiva;
        std::tie(sportiva.idClient, sportiva.name, sportiva.date) = std::tuple(anna.id, u"Sportiva"_s, QDateTime(QDate(2024, 2, 3), QTime(9, 0)));
        QVERIFY(sportiva.SaveToDB(true, false));
        for (const Exam &e : {examOn(QDate(2024, 1, 5), 80), examOn(QDate(2024, 1, 5), 79.25), examOn(QDate(2024, 2, 1), 78)})
            QVERIFY(store->queueExam(mario.id, e));
        QCOMPARE(rows(u"select kind, recordId, clientId, revision, examDate || payload from outbox order by id"_s),
                 QStringList({"client|1|1|2|", "client|2|2|1|", u"anamnesi|%1|2|1|"_s.arg(sportiva.id),
                              "exam|0|1|2|2024-01-05{\"activityLevel\":2,\"height\":170,\"weight\":79.25}",
                              "exam|0|1|1|2024-02-01{\"activityLevel\":2,\"height\":170,\"weight\":78}"}));
        QVERIFY(changes.count() == 7 && store->pendingCount() == 5);

        // The operator's list: sections in order, each item with its state.
        const qint64 annaItem = outbox->items().at(1).id;
        QVERIFY(outbox->park(outbox->items().at(3).id, 405, u"spazio esaurito"_s));
        QVERIFY(outbox->retryLater(annaItem, -1, u"Connection refused"_s, QDateTime(QDate(2024, 3, 1), QTime(14, 5, 9))));
        QCOMPARE(store->getPendingDescription(),
                 u"\nClienti:\nMario Rossi - in attesa\nAnna Bianchi - nuovo tentativo alle 14:05:09 (server non raggiungibile "
                 "(Connection refused))\n\nEsami:\n2024.01.05 Mario Rossi - rifiutato: lo spazio web riservato è esaurito\n"
                 "2024.02.01 Mario Rossi - in attesa del cliente\n\nAnamnesi:\n2024.02.03 Sportiva (Anna Bianchi) - in attesa del cliente\n"_s);
        QVERIFY(OutboxDescription::describe(*outbox, store->m_db, outbox->items().first().id).contains(u"Mario Rossi - in invio"_s));
        QTranslator translator;
        QVERIFY(translator.load(u":/i18n/en"_s) && QCoreApplication::installTranslator(&translator));
        const QString english = store->getPendingDescription();
        QCoreApplication::removeTranslator(&translator);
        QVERIFY2(english.startsWith(u"\nClients:\nMario Rossi - waiting\n"_s) && english.contains(u"\nExams:\n"_s), qPrintable(english));

        // The sender's bookkeeping: a change made while sending keeps the item for another send.
        QVERIFY(anna.saveToDB(true, false));
        QVERIFY(outbox->complete(annaItem, 1) && outbox->item(annaItem) && outbox->item(annaItem)->failures == 0);
        QVERIFY(outbox->complete(annaItem, 2) && !outbox->item(annaItem));
        const qint64 parked = outbox->items().at(2).id;
        QVERIFY(outbox->retry(parked) && !outbox->item(parked)->parked && outbox->discard(parked) && !outbox->item(parked));

        // Deleting: only a row with that very id. A questionnaire the service has leaves a tombstone;
        // one it never saw leaves nothing, its waiting save included.
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QVERIFY(!store->deleteAnamnesi(999) && errors.count() == 1);
        QVERIFY(store->deleteAnamnesi(sent) && store->deleteAnamnesi(sportiva.id));
        QCOMPARE(rows(u"select kind, clientId, webId from outbox where kind like 'anamnesi%'"_s), QStringList{u"anamnesiDelete|%1|41"_s.arg(mario.id)});
        QVERIFY(!outbox->deletionPending(OutboxItem::Kind::AnamnesiDeletion, 0) && outbox->deletionPending(OutboxItem::Kind::AnamnesiDeletion, 41));

        // A client goes with its questionnaires, its waiting items and its scan folder. The service learns
        // of it by its web id, or by its key and last content when a creation was sent but never confirmed.
        addAnamnesi(mario.id, u"Altra"_s, QDate(2024, 1, 1), 42, false);
        touch(store->m_dataPath + u"_1/Vita-20240105--09-30-15.jpg"_s);
        QVERIFY(outbox->beginAttempt(outbox->items().first().id));
        QVERIFY(store->deleteClient(mario.id) && !store->deleteClient(mario.id) && !QDir(store->m_dataPath + u"_1"_s).exists());
        QCOMPARE(rows(u"select kind, webId, syncKey = '%1', json_extract(payload, '$.surname') from outbox"_s.arg(mario.syncKey)),
                 QStringList{"clientDelete|0|1|Rossi"});
        QCOMPARE(rows(u"select count(*) from anamnesis where idClient = %1"_s.arg(mario.id)), QStringList{"0"});
        QVERIFY(store->deleteClient(anna.id));  // never sent: nothing for the service
        QCOMPARE(store->pendingCount(), 1);

        // The change and its item are one transaction: without the item, no change either.
        QVERIFY(store.exec(u"DROP TABLE outbox"_s));
        Client carla = sampleClient(u"Verdi"_s);
        QVERIFY(!carla.saveToDB(true, false) && carla.id == 0 && store->havePendingStuff());
        QCOMPARE(rows(u"select count(*) from clients where surname = 'Verdi'"_s), QStringList{"0"});
    }
};

CALVESTRA_TEST_CORE_MAIN(StoreTest)
#include "tst_store.moc"
