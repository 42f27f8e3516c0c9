// The local store: its files and schema, older files brought up to date, broken files,
// client rows, scan file names, and the bookkeeping of what the service does not have yet.
#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"
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
    std::tie(c.surname, c.name, c.address, c.city, c.province, c.zipcode, c.phone, c.email) =
        std::tuple(surname, u"Mario"_s, u"Via Roma 1"_s, u"Torino"_s, u"TO"_s, u"10100"_s, u"011 123456"_s, u"mario@example.org"_s);
    std::tie(c.birthday, c.height, c.weight, c.activityLevel, c.web_id, c.offline) =
        std::tuple(QDate(1990, 6, 15), 178.5, 81.25, 3, webId, offline);
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
        QCOMPARE(rows(u"select surname from clients union all select db_ver from db_info"_s), QStringList({"Verdi", "3"}));
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
        QCOMPARE(rows(u"select * from pendingExams order by 1"_s), QStringList({"1|2024-01-05|180|80.5|3", "2|2024-02-07|165|60|1"}));
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
        // A table in the way of an index makes the last step fail after the rebuild of pendingExams.
        writeOldFile(root.path(), 2, {u"CREATE TABLE clients_web_id (x INTEGER)"_s});
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(u"SqLite error:"_s), 1);
        QCOMPARE(rows(u"select db_ver from db_info union all select sql from sqlite_master where name = 'pendingExams' union all "
                      "select count(*) from pendingExams union all select count(*) from sqlite_master where type = 'index' "
                      "and name not like 'sqlite_%'"_s),
                 QStringList({"2", StoreSchema::createPendingExamsByClient, "2", "0"}));
        // Once the obstacle is gone the next start completes it.
        QVERIFY(QSqlQuery(store->m_db).exec(u"DROP TABLE clients_web_id"_s));
        DataModule::resetInstanceForTests(root.path());
        QCOMPARE(rows(u"select db_ver from db_info union all select count(*) from pendingExams"_s), QStringList({"3", "2"}));
    }

    void brokenFilesQueriesAndReset()
    {
        // Not a database: every use reports and writes nothing; a reset makes it work again.
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.path() + u"/Vantrel/Calvestra"_s));
        QFile junk(dbFile(root.path()));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        for (int i = 0; i < 8192; ++i)
            junk.putChar(char((i * 7919) % 251));
        junk.close();
        LogCatcher log("calvestra.store");
        DataModule *store = DataModule::resetInstanceForTests(root.path());
        QCOMPARE(log.countStartingWith(u"SqLite error:"_s), 1);
        QSignalSpy errors(store, &DataModule::onSqlError);
        QCOMPARE(store->queryValue(u"count(*)"_s, u"clients"_s, QString()), -1);
        QVERIFY(store->havePendingStuff());  // a check that cannot be made counts as work pending
        Client client = sampleClient(u"Rossi"_s, 12);
        client.saveToDB(false, true);
        client.saveToDB(false, false);
        QVERIFY(errors.count() >= 4 && client.id == 0);
        store->resetDB();
        QCOMPARE(store->queryValue(u"db_ver"_s, u"db_info"_s, QString()), 3);

        // A file that cannot be made: said once, no store and no connection left behind.
        QTemporaryDir blocked;
        touch(blocked.path() + u"/Vantrel"_s);  // a plain file where the maker folder should be
        log.clear();
        QString what;
        try {
            DataModule::resetInstanceForTests(blocked.path());
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QCOMPARE(what, u"unable to create/open the database. Check file permissions?"_s);
        QCOMPARE(log.lines(), QStringList{"cannot CREATE DATABASE"});
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
            // A reset empties the tables and keeps the folders with their files; without a file, none appears.
            touch(store->m_assetsPath + u"keep.txt"_s);
            store->resetDB();
            QCOMPARE(rows(u"select count(*) from clients union all select db_ver from db_info"_s), QStringList({"0", "3"}));
            QVERIFY(QFile::exists(store->m_assetsPath + u"keep.txt"_s));
            QVERIFY(QFile::remove(store->m_dbFile));
            store->resetDB();
            QVERIFY(!QFile::exists(store->m_dbFile));
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
        QCOMPARE(rows(u"select * from clients"_s),
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
        // Asking for the upload still saves here first, and takes the shared service client.
        missing.saveToDB(true, false);
        QVERIFY(missing.id == 3 && missing.m_httpService && missing.m_httpService == HttpService::m_instance);
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

    void pendingCheckAndDescription()
    {
        TempStore store;
        QVERIFY(!store->havePendingStuff());
        const int id = addClient(u"A"_s, u"B"_s, 5, false);
        addAnamnesi(id, u"x"_s, QDate(2024, 1, 1), 8, false);
        QVERIFY(!store->havePendingStuff());
        for (const char *change : {"update clients set offline = 1", "update clients set web_id = 0", "update anamnesis set deleted = 1",
                                   "update anamnesis set offline = 1", "update anamnesis set web_id = 0",
                                   "insert into pendingExams (idClient, examDate) values (1, '2024-01-05')"}) {
            QVERIFY(store.exec(QString::fromLatin1(change)));
            QVERIFY2(store->havePendingStuff(), change);
            QVERIFY(store.exec(u"update clients set offline = 0, web_id = 5"_s) && store.exec(u"delete from pendingExams"_s));
            QVERIFY(store.exec(u"update anamnesis set offline = 0, web_id = 8, deleted = 0"_s));
            QVERIFY(!store->havePendingStuff());
        }

        const int mario = addClient(u"Mario"_s, u"Rossi"_s, 11, true);
        const int anna = addClient(u"Anna"_s, u"Bianchi"_s, 0, false);
        const int carla = addClient(u"Carla"_s, u"Verdi"_s, 12, false);
        Exam exam = examOn(QDate(2024, 3, 9), 55);
        QVERIFY(store->insertPendingExam(carla, &exam));
        addAnamnesi(anna, u"Sportiva"_s, QDate(2024, 2, 3));
        QVERIFY(store->deleteAnamnesi(addAnamnesi(mario, u"Clinica"_s, QDate(2023, 12, 24), 41, false), false));
        addAnamnesi(999, u"Orfana"_s, QDate(2024, 2, 5));  // its client row is gone: empty names
        const QString description = store->getPendingDescription();
        const QString clients = description.startsWith(u"\nClienti:\nAnna"_s) ? u"\nClienti:\nAnna Bianchi\nMario Rossi\n"_s
                                                                              : u"\nClienti:\nMario Rossi\nAnna Bianchi\n"_s;
        const QString exams = u"\nEsami:\n2024.03.09 Carla Verdi\n"_s;
        QCOMPARE(description, clients + exams + u"\nAnamnesi:\n2024.02.03 Sportiva (Anna Bianchi)\n2024.02.05 Orfana ( )\n"
                                                "\nAnamnesi eliminate:\n2023.12.24 Clinica (Mario Rossi)\n"_s);
        // The titles follow the language of the interface.
        QTranslator translator;
        QVERIFY(translator.load(u":/i18n/en"_s) && QCoreApplication::installTranslator(&translator));
        const QString english = store->getPendingDescription();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(english, QString(description).replace(u"Clienti:"_s, u"Clients:"_s).replace(u"Esami:"_s, u"Exams:"_s)
                              .replace(u"Anamnesi:"_s, u"Anamnesis:"_s).replace(u"Anamnesi eliminate:"_s, u"Deleted anamnesis:"_s));
        // A failed section is reported and left out; the others still come.
        QVERIFY(store.exec(u"DROP TABLE anamnesis"_s));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QCOMPARE(store->getPendingDescription(), clients + exams);
        QCOMPARE(errors.count(), 2);
    }

    void pendingExams()
    {
        TempStore store;
        const int withWeb = addClient(u"A"_s, u"B"_s, 1532, false);
        const int fresh = addClient(u"New"_s, u"Client"_s, 0, false);
        touch(store->m_dataPath + u"1532/Vita-20240105--09-30-15.jpg"_s);
        // The same day twice keeps one row with the latest values; another day has a row of its own.
        Exam first = examOn(QDate(2024, 1, 5), 80), again = examOn(QDate(2024, 1, 5), 79.25), later = examOn(QDate(2024, 2, 1), 78);
        for (Exam *e : {&first, &again, &later})
            QVERIFY(store->insertPendingExam(withWeb, e));
        QVERIFY(store->insertPendingExam(fresh, &first));
        // Appended to the list with the scans of their day; those of a client without web id wait.
        QList<Exam> exams{Exam()};
        QVERIFY(store->getPendingExams(exams));
        QStringList seen;
        for (const Exam &e : exams.mid(1))
            seen << u"%1 %2 %3 %4 %5"_s.arg(e.idUser).arg(e.examDate.toString(Qt::ISODate)).arg(e.weight).arg(e.height)
                        .arg(e.scanFiles.size());
        seen.sort();
        QCOMPARE(seen, QStringList({"1532 2024-01-05 79.25 170 1", "1532 2024-02-01 78 170 0"}));
        // Clients and questionnaires not sent or changed since, and deletions not confirmed.
        addAnamnesi(fresh, u"Sent"_s, QDate(2024, 4, 1), 20, false);
        addAnamnesi(fresh, u"New"_s, QDate(2024, 4, 1), 0, false);
        QList<Client> clients;
        QList<Anamnesi> sending, deleting;
        QVERIFY(store->deleteAnamnesi(addAnamnesi(fresh, u"Gone"_s, QDate(2024, 4, 1), 21, false), false));
        QVERIFY(store->getPendingClients(clients) && store->getPendingAnamesis(sending, false) && store->getPendingAnamesis(deleting, true));
        QCOMPARE(QList<int>({int(clients.size()), clients[0].id, int(sending.size()), deleting[0].web_id}), QList<int>({1, fresh, 1, 21}));
        QVERIFY(store->removePendingExam(withWeb, &first));  // clears only that day
        QCOMPARE(rows(u"select idClient, examDate from pendingExams order by 1"_s),
                 QStringList({u"%1|2024-02-01"_s.arg(withWeb), u"%1|2024-01-05"_s.arg(fresh)}));
        // The deletion of a client takes its exams (the second statement runs even when the first fails).
        store->deleteClient(withWeb);
        QCOMPARE(rows(u"select idClient from pendingExams"_s), QStringList{QString::number(fresh)});
        QVERIFY(store.exec(u"DROP TABLE clients"_s) && store.exec(u"DROP TABLE anamnesis"_s));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        store->deleteClient(fresh);
        QVERIFY(errors.count() == 1 && store.scalar(u"select count(*) from pendingExams"_s).toInt() == 0);
        QVERIFY(store.exec(u"DROP TABLE pendingExams"_s));
        QList<Anamnesi> anamnesis;
        QVERIFY(!store->insertPendingExam(1, &first) && !store->removePendingExam(1, &first));
        QVERIFY(!store->getPendingExams(exams) && !store->getPendingClients(clients) && !store->getPendingAnamesis(anamnesis, true));
        QVERIFY(errors.count() == 6 && exams.size() == 3);  // failures leave the lists alone
    }
};

CALVESTRA_TEST_CORE_MAIN(StoreTest)
#include "tst_store.moc"
