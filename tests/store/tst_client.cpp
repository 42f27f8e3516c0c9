#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QSqlField>
#include <QSqlRecord>

#include <stdexcept>

namespace {

Client sampleClient()
{
    Client c;
    c.surname = QStringLiteral("Rossi");
    c.name = QStringLiteral("Mario");
    c.sex = QStringLiteral("M");
    c.birthday = QDate(1990, 6, 15);
    c.address = QStringLiteral("Via Roma 1");
    c.city = QStringLiteral("Torino");
    c.province = QStringLiteral("TO");
    c.zipcode = QStringLiteral("10100");
    c.phone = QStringLiteral("011 123456");
    c.email = QStringLiteral("mario@example.org");
    c.height = 178.5;
    c.weight = 81.25;
    c.activityLevel = 3;
    c.offline = true;
    return c;
}

// The row of one client as text, column by column, in table order.
QString rowOf(const TempStore &store, const QString &where)
{
    QSqlQuery query(store->m_db);
    if (!query.exec(QStringLiteral("select * from clients where ") + where) || !query.first())
        return QString();
    QStringList values;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        values << record.fieldName(i) + QLatin1Char('=') + query.value(i).toString();
    return values.join(QLatin1Char('|'));
}

}  // namespace

class ClientTest : public QObject
{
    Q_OBJECT

private slots:
    void defaults()
    {
        TempStore store;
        const Client c;
        QCOMPARE(c.id, 0);
        QCOMPARE(c.web_id, 0);
        QCOMPARE(c.sex, QStringLiteral("M"));
        QVERIFY(c.birthday.isNull());
        QCOMPARE(c.offline, true);
        QCOMPARE(c.activityLevel, 0);
        QCOMPARE(c.m_dataModule.data(), store.store());
    }

    void insertAndUpdateByLocalId()
    {
        TempStore store;
        Client c = sampleClient();
        c.web_id = 0;
        store->saveClient(&c, false);
        QCOMPARE(c.id, 1);
        QCOMPARE(rowOf(store, QStringLiteral("id = 1")),
                 QStringLiteral("id=1|web_id=0|surname=Rossi|name=Mario|sex=M|birthday=1990-06-15|height=178.5|"
                                "weight=81.25|activityLevel=3|address=Via Roma 1|city=Torino|province=TO|"
                                "zipcode=10100|phone=011 123456|email=mario@example.org|offline=1"));

        Client second = sampleClient();
        second.surname = QStringLiteral("Bianchi");
        second.saveToDB(false, false);
        QCOMPARE(second.id, 2);

        // A stored record updates every column, web id included, and keeps its id.
        c.web_id = 345;
        c.surname = QStringLiteral("Rossini");
        c.sex = QStringLiteral("F");
        c.birthday = QDate(1985, 1, 2);
        c.height = 160;
        c.weight = 55.5;
        c.activityLevel = 1;
        c.offline = false;
        c.email = QStringLiteral("o'neil@example.org");
        store->saveClient(&c, false);
        QCOMPARE(c.id, 1);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 2);
        QCOMPARE(rowOf(store, QStringLiteral("id = 1")),
                 QStringLiteral("id=1|web_id=345|surname=Rossini|name=Mario|sex=F|birthday=1985-01-02|height=160|"
                                "weight=55.5|activityLevel=1|address=Via Roma 1|city=Torino|province=TO|"
                                "zipcode=10100|phone=011 123456|email=o'neil@example.org|offline=0"));
        QCOMPARE(store.scalar(QStringLiteral("select surname from clients where id = 2")).toString(),
                 QStringLiteral("Bianchi"));
    }

    void saveByWebId()
    {
        TempStore store;
        Client fromService = sampleClient();
        fromService.web_id = 777;
        fromService.offline = false;
        store->saveClient(&fromService, true);
        QCOMPARE(fromService.id, 1);
        QCOMPARE(store.scalar(QStringLiteral("select web_id from clients where id = 1")).toInt(), 777);

        // The same web id again updates that row; the local id stays as it is.
        Client update = sampleClient();
        update.web_id = 777;
        update.surname = QStringLiteral("Verdi");
        update.birthday = QDate();
        update.offline = false;
        update.saveToDB(false, true);
        QCOMPARE(update.id, 0);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 1);
        QCOMPARE(store.scalar(QStringLiteral("select surname from clients where web_id = 777")).toString(),
                 QStringLiteral("Verdi"));
        QVERIFY(store.scalar(QStringLiteral("select birthday from clients where web_id = 777")).isNull());

        Client other = sampleClient();
        other.web_id = 778;
        other.saveToDB(false, true);
        QCOMPARE(other.id, 2);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 2);
    }

    void uploadRequestStillSavesLocally()
    {
        TempStore store;
        Client c = sampleClient();
        QVERIFY(c.m_httpService == nullptr);
        c.saveToDB(true, false);
        QCOMPARE(c.id, 1);
        QVERIFY(c.m_httpService != nullptr);
        QCOMPARE(c.m_httpService, HttpService::m_instance);
        QCOMPARE(store.scalar(QStringLiteral("select offline from clients where id = 1")).toInt(), 1);
    }

    void loading()
    {
        TempStore store;
        Client saved = sampleClient();
        saved.web_id = 41;
        saved.offline = false;
        saved.saveToDB(false, false);

        Client byId;
        byId.loadFromDB(saved.id);
        QCOMPARE(byId.id, saved.id);
        QCOMPARE(byId.web_id, 41);
        QCOMPARE(byId.surname, saved.surname);
        QCOMPARE(byId.name, saved.name);
        QCOMPARE(byId.birthday, QDate(1990, 6, 15));
        QCOMPARE(byId.height, 178.5);
        QCOMPARE(byId.weight, 81.25);
        QCOMPARE(byId.activityLevel, 3);
        QCOMPARE(byId.email, saved.email);
        QCOMPARE(byId.offline, false);

        Client byWebId;
        byWebId.loadFromWebID(41);
        QCOMPARE(byWebId.id, saved.id);
        QCOMPARE(byWebId.city, QStringLiteral("Torino"));

        LogCatcher log("calvestra.store");
        Client missing = sampleClient();
        missing.loadFromDB(99);
        missing.loadFromWebID(5);
        QCOMPARE(log.lines(), QStringList({QStringLiteral("load client from db invalid 99"),
                                           QStringLiteral("load client from web_id invalid 5")}));
        QCOMPARE(missing.id, 0);
        QCOMPARE(missing.surname, QStringLiteral("Rossi"));
    }

    void loadFromRecordMatchesNamesWithoutCase()
    {
        TempStore store;
        QSqlRecord record;
        const auto add = [&record](const QString &name, const QVariant &value) {
            QSqlField field(name, value.metaType());
            field.setValue(value);
            record.append(field);
        };
        add(QStringLiteral("ID"), 5);
        add(QStringLiteral("Surname"), QStringLiteral("Neri"));
        add(QStringLiteral("OFFLINE"), false);
        add(QStringLiteral("birthday"), QStringLiteral("2001-12-31"));
        add(QStringLiteral("height"), QString());
        Client c;
        c.name = QStringLiteral("stale");
        c.offline = true;
        c.loadFromRecord(&record);
        QCOMPARE(c.id, 5);
        QCOMPARE(c.surname, QStringLiteral("Neri"));
        QCOMPARE(c.offline, false);
        QCOMPARE(c.birthday, QDate(2001, 12, 31));
        // Missing or empty columns give empty values.
        QCOMPARE(c.name, QString());
        QCOMPARE(c.sex, QString());
        QCOMPARE(c.height, 0.0);
        QCOMPARE(c.web_id, 0);
    }

    void json()
    {
        TempStore store;
        const Client plain;
        const QJsonObject json = plain.toJSONObject(false);
        QCOMPARE(json.value(QStringLiteral("id")).toInt(-1), 0);
        QCOMPARE(json.value(QStringLiteral("sex")).toString(), QStringLiteral("M"));
        QVERIFY(json.value(QStringLiteral("birthday")).isNull());
        QCOMPARE(json.value(QStringLiteral("height")).toDouble(-1), 0.0);
        QCOMPARE(json.value(QStringLiteral("weight")).toDouble(-1), 0.0);
        QStringList keys = json.keys();
        QCOMPARE(keys, QStringList({"address", "birthday", "city", "email", "height", "id", "name", "phone",
                                    "province", "sex", "surname", "weight", "zipcode"}));

        Client c = sampleClient();
        c.id = 12;
        c.web_id = 345;
        QCOMPARE(c.toJSONObject(true).value(QStringLiteral("id")).toInt(), 345);
        const QJsonObject full = c.toJSONObject(false);
        QCOMPARE(full.value(QStringLiteral("id")).toInt(), 12);
        QCOMPARE(full.value(QStringLiteral("birthday")).toString(), QStringLiteral("1990-06-15"));
        QCOMPARE(full.value(QStringLiteral("weight")).toDouble(), 81.25);
        QCOMPARE(full.value(QStringLiteral("zipcode")).toString(), QStringLiteral("10100"));
    }

    void existenceQueries()
    {
        TempStore store;
        QVERIFY(store.exec(QStringLiteral("insert into clients (web_id, surname) values (0, 'A'), (50, 'B')")));
        QVERIFY(Client::id_exists(1));
        QVERIFY(Client::id_exists(2));
        QVERIFY(!Client::id_exists(3));
        QVERIFY(Client::web_id_exists(50));
        QVERIFY(!Client::web_id_exists(51));
        QCOMPARE(Client::id_from_web_id(50), 2);
        QCOMPARE(Client::id_from_web_id(51), 0);

        QVERIFY(store.exec(QStringLiteral("DROP TABLE clients")));
        QString what;
        try {
            Client::web_id_exists(50);
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QCOMPARE(what, QStringLiteral("web_id_exists query fault."));
        what.clear();
        try {
            Client::id_exists(1);
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QCOMPARE(what, QStringLiteral("web_id_exists query fault."));
        what.clear();
        try {
            Client::id_from_web_id(50);
        } catch (const std::runtime_error &e) {
            what = QString::fromUtf8(e.what());
        }
        QCOMPARE(what, QStringLiteral("id_from_web_id query fault."));

        // Saving by web id cannot decide insert or update: it reports and writes nothing.
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        Client c = sampleClient();
        c.web_id = 9;
        c.saveToDB(false, true);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("web_id_exists query fault."));
        QCOMPARE(c.id, 0);
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
    }
    void age()
    {
        QFETCH(QDate, birthday);
        QFETCH(QDate, today);
        QFETCH(int, age);
        TempStore store;
        Client c;
        c.birthday = birthday;
        QCOMPARE(c.getAge(today), age);
    }

    void ageCountsFromToday()
    {
        TempStore store;
        Client c;
        QCOMPARE(c.getAge(), 0);
        c.birthday = QDate::currentDate().addDays(-3650);
        QCOMPARE(c.getAge(), c.getAge(QDate::currentDate()));
        QVERIFY(c.getAge() == 9 || c.getAge() == 10);
        c.birthday = QDate::currentDate().addDays(-400);
        QCOMPARE(c.getAge(), 1);
    }

    void dataFolderFollowsTheWebId()
    {
        TempStore store;
        Client c;
        c.id = 7;
        QVERIFY(c.getDataPath(false).endsWith(QStringLiteral("data/_7/")));
        QCOMPARE(c.getDataPath(false), store->m_dataPath + QStringLiteral("_7/"));
        QVERIFY(!QDir(c.getDataPath(false)).exists());

        // Web id 0 to 0: nothing to move.
        QVERIFY(c.setWebId(0));
        QCOMPARE(c.web_id, 0);

        const QString oldFolder = c.getDataPath(true);
        QVERIFY(QDir(oldFolder).exists());
        QFile scan(oldFolder + QStringLiteral("Vita-20240105--09-30-15.jpg"));
        QVERIFY(scan.open(QIODevice::WriteOnly));
        scan.write("jpeg");
        scan.close();

        QVERIFY(c.setWebId(1532));
        QCOMPARE(c.web_id, 1532);
        QVERIFY(c.getDataPath(false).endsWith(QStringLiteral("data/1532/")));
        QVERIFY(!QDir(oldFolder).exists());
        QVERIFY(QFile::exists(store->m_dataPath + QStringLiteral("1532/Vita-20240105--09-30-15.jpg")));

        // A client that never had a folder: the id is taken, the move fails.
        Client fresh;
        fresh.id = 8;
        QVERIFY(!fresh.setWebId(1600));
        QCOMPARE(fresh.web_id, 1600);
        QVERIFY(!QDir(store->m_dataPath + QStringLiteral("1600")).exists());
    }

    void heightAndWeightUpdate()
    {
        TempStore store;
        Client c = sampleClient();
        c.offline = false;
        c.saveToDB(false, false);
        Client other = sampleClient();
        other.saveToDB(false, false);

        c.updateHeightAndWeight(181.5, 79.75);
        QCOMPARE(c.height, 181.5);
        QCOMPARE(c.weight, 79.75);
        Client reloaded;
        reloaded.loadFromDB(c.id);
        QCOMPARE(reloaded.height, 181.5);
        QCOMPARE(reloaded.weight, 79.75);
        QCOMPARE(reloaded.offline, false);
        QCOMPARE(reloaded.surname, QStringLiteral("Rossi"));
        Client untouched;
        untouched.loadFromDB(other.id);
        QCOMPARE(untouched.height, 178.5);

        QVERIFY(store.exec(QStringLiteral("DROP TABLE clients")));
        LogCatcher log("calvestra.store");
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        c.updateHeightAndWeight(1, 2);
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error: ")), 1);
        QCOMPARE(errors.count(), 0);
    }

    void anamnesisListNewestFirstWithoutDeleted()
    {
        TempStore store;
        Client c = sampleClient();
        c.saveToDB(false, false);
        Client other = sampleClient();
        other.saveToDB(false, false);

        const auto add = [&](int client, const QString &name, const QDateTime &when) {
            Anamnesi a;
            a.idClient = client;
            a.name = name;
            a.date = when;
            a.SaveToDB(false, false);
            return a.id;
        };
        add(c.id, QStringLiteral("Prima"), QDateTime(QDate(2023, 1, 10), QTime(9, 0)));
        add(c.id, QStringLiteral("Terza"), QDateTime(QDate(2024, 5, 1), QTime(8, 0)));
        const int gone = add(c.id, QStringLiteral("Eliminata"), QDateTime(QDate(2024, 6, 1), QTime(8, 0)));
        add(c.id, QStringLiteral("Seconda"), QDateTime(QDate(2023, 11, 3), QTime(18, 30)));
        add(other.id, QStringLiteral("Altro"), QDateTime(QDate(2024, 7, 1), QTime(8, 0)));
        QVERIFY(store.exec(QStringLiteral("update anamnesis set deleted = 1 where id = %1").arg(gone)));

        const QList<Anamnesi> list = c.getAnamnesiList();
        QStringList names;
        for (const Anamnesi &a : list)
            names << a.name;
        QCOMPARE(names, QStringList({"Terza", "Seconda", "Prima"}));
        QCOMPARE(list.first().idClient, c.id);
        QCOMPARE(list.first().date, QDateTime(QDate(2024, 5, 1), QTime(8, 0)));

        QVERIFY(store.exec(QStringLiteral("DROP TABLE anamnesis")));
        LogCatcher log("calvestra.store");
        QVERIFY(c.getAnamnesiList().isEmpty());
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error: ")), 1);
    }

    void deleteClientTakesItsPendingExams()
    {
        TempStore store;
        Client c = sampleClient();
        c.saveToDB(false, false);
        Client other = sampleClient();
        other.saveToDB(false, false);
        QVERIFY(store.exec(QStringLiteral("insert into pendingExams (idClient, examDate) values "
                                          "(%1, '2024-01-05'), (%1, '2024-01-06'), (%2, '2024-01-05')")
                               .arg(c.id)
                               .arg(other.id)));
        store->deleteClient(c.id);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 1);
        QCOMPARE(store.column(QStringLiteral("select idClient from pendingExams")),
                 QStringList({QString::number(other.id)}));

        QVERIFY(store.exec(QStringLiteral("DROP TABLE clients")));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        store->deleteClient(other.id);
        // The first statement fails, the second still runs.
        QCOMPARE(errors.count(), 1);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from pendingExams")).toInt(), 0);
    }
};

CALVESTRA_TEST_CORE_MAIN(ClientTest)
#include "tst_client.moc"
