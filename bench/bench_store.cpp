// Local store timings on a large database: the client-list filter of the main window,
// the periodic pending check, the pending description and the opening of the store.
// The baseline is the same database without the indexes of the current schema, opened
// with the SQLite library as it comes (allocation statistics on).
#include "store/DataModule.h"
#include "store/StoreSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int clientCount = 100000;
constexpr int anamnesisCount = 20000;

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool exec(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        std::fprintf(stderr, "failed: %s: %s\n", qPrintable(sql), qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}

void fill(DataModule *store)
{
    static const char *surnames[] = {"Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano", "Colombo",
                                     "Ricci", "Marino", "Greco", "Bruno", "Gallo", "Conti", "De Luca", "Mancini",
                                     "Costa", "Giordano", "Rizzo", "Lombardi", "Moretti", "Barbieri", "Fontana",
                                     "Santoro", "Mariani", "Rinaldi", "Caruso", "Ferrara", "Galli", "Martini",
                                     "Leone", "Longo", "Gentile", "Martinelli", "Vitale", "Lombardo", "Serra"};
    static const char *names[] = {"Mario", "Luca", "Giulia", "Anna", "Marco", "Francesca", "Matteo", "Sara",
                                  "Alessandro", "Chiara", "Lorenzo", "Martina", "Andrea", "Elena", "Davide",
                                  "Valentina", "Simone", "Federica", "Paolo", "Laura", "Giorgio", "Marta"};
    std::mt19937 random(20240105);
    const auto pick = [&random](const char *const *list, int size) {
        return QString::fromLatin1(list[std::uniform_int_distribution<int>(0, size - 1)(random)]);
    };

    QSqlDatabase db = store->m_db;
    db.transaction();
    QSqlQuery client(db);
    client.prepare(QStringLiteral(
        "INSERT INTO clients (web_id, surname, name, sex, birthday, address, city, province, zipcode, phone, "
        "email, height, weight, activityLevel, offline) VALUES (:web_id, :surname, :name, :sex, :birthday, "
        ":address, :city, :province, :zipcode, :phone, :email, :height, :weight, :activityLevel, :offline)"));
    for (int i = 0; i < clientCount; ++i) {
        client.bindValue(QStringLiteral(":web_id"), i + 1);
        client.bindValue(QStringLiteral(":surname"), pick(surnames, int(std::size(surnames))));
        client.bindValue(QStringLiteral(":name"), pick(names, int(std::size(names))));
        client.bindValue(QStringLiteral(":sex"), i % 2 ? QStringLiteral("F") : QStringLiteral("M"));
        client.bindValue(QStringLiteral(":birthday"), QDate(1950, 1, 1).addDays(i % 20000));
        client.bindValue(QStringLiteral(":address"), QStringLiteral("Via Roma %1").arg(i % 300));
        client.bindValue(QStringLiteral(":city"), QStringLiteral("Torino"));
        client.bindValue(QStringLiteral(":province"), QStringLiteral("TO"));
        client.bindValue(QStringLiteral(":zipcode"), QStringLiteral("10100"));
        client.bindValue(QStringLiteral(":phone"), QStringLiteral("011 %1").arg(100000 + i));
        client.bindValue(QStringLiteral(":email"), QStringLiteral("client%1@example.org").arg(i));
        client.bindValue(QStringLiteral(":height"), 150.0 + i % 50);
        client.bindValue(QStringLiteral(":weight"), 50.0 + i % 60);
        client.bindValue(QStringLiteral(":activityLevel"), i % 5);
        client.bindValue(QStringLiteral(":offline"), false);
        client.exec();
    }
    QSqlQuery anamnesi(db);
    anamnesi.prepare(QStringLiteral(
        "INSERT INTO anamnesis (web_id, idClient, anamnesiDate, name, object, offline) "
        "VALUES (:web_id, :idClient, :anamnesiDate, :name, :object, :offline)"));
    const QString object = QStringLiteral(
        "{\"Code\":\"SP1\",\"Date\":\"2024-01-05 09:30:00\",\"Name\":\"Sportiva\",\"Note\":\"\",\"Questions\":"
        "[{\"Answer\":\"3\",\"Text\":\"Allenamenti a settimana\",\"Type\":1,\"decimails\":0}],\"Version\":2}");
    for (int i = 0; i < anamnesisCount; ++i) {
        anamnesi.bindValue(QStringLiteral(":web_id"), 500000 + i);
        anamnesi.bindValue(QStringLiteral(":idClient"), 1 + (i * 5) % clientCount);
        anamnesi.bindValue(QStringLiteral(":anamnesiDate"), QDateTime(QDate(2023, 1, 1).addDays(i % 700), QTime(9, 30)));
        anamnesi.bindValue(QStringLiteral(":name"), QStringLiteral("Sportiva"));
        anamnesi.bindValue(QStringLiteral(":object"), object);
        anamnesi.bindValue(QStringLiteral(":offline"), false);
        anamnesi.exec();
    }
    db.commit();
}

struct Figures
{
    double filter = 0;
    double condition = 0;
    double pending = 0;
    double description = 0;
    int matched = 0;
    int descriptionLines = 0;
};

// The list filter of the main window for a typed text, every matching row read.
int runFilter(const QSqlDatabase &db, const QString &typed)
{
    const QString condition =
        QStringLiteral("' ' || upper(surname) || ' ' || upper(name) like '% ") + typed.toUpper() + QStringLiteral("%'");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.exec(QStringLiteral("select * from clients where ") + condition);
    const int columns = query.record().count();
    int rows = 0;
    while (query.next()) {
        for (int i = 0; i < columns; ++i)
            query.value(i);
        ++rows;
    }
    return rows;
}

Figures measure(DataModule *store)
{
    Figures f;
    f.filter = medianMs(15, [&] { f.matched = runFilter(store->m_db, QStringLiteral("ma")); });
    // The part of the filter spent in the database: the condition over every row.
    f.condition = medianMs(15, [&] {
        QSqlQuery query(store->m_db);
        query.exec(QStringLiteral("select count(*) from clients where ' ' || upper(surname) || ' ' || upper(name) "
                                  "like '% MA%'"));
        query.first();
    });
    bool pending = false;
    f.pending = medianMs(101, [&] { pending = store->havePendingStuff(); });
    if (!pending)
        std::fprintf(stderr, "pending check found nothing\n");
    QString text;
    f.description = medianMs(51, [&] { text = store->getPendingDescription(); });
    f.descriptionLines = int(text.count(QLatin1Char('\n')));
    return f;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    QElapsedTimer build;
    build.start();
    DataModule *store = DataModule::resetInstanceForTests(dir.path());
    fill(store);
    // Pending data lives only in the last table the check looks at, so every run of
    // the check goes through all three counts.
    exec(store->m_db, QStringLiteral("update anamnesis set web_id = 0, offline = 1 where id % 1700 = 0"));
    exec(store->m_db, QStringLiteral("update anamnesis set deleted = 1 where id % 6000 = 1"));
    std::printf("database: %d clients, %d anamnesis rows, built in %.0f ms\n", clientCount, anamnesisCount,
                build.nsecsElapsed() / 1e6);

    const double open = medianMs(15, [&] { store = DataModule::resetInstanceForTests(dir.path()); });
    const Figures indexed = measure(store);

    // Baseline: the library restarted with its default settings, and the same file
    // without the indexes.
    const QString file = store->m_dbFile;
    DataModule::resetInstanceForTests();
    if (sqlite3_shutdown() != SQLITE_OK || sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 1) != SQLITE_OK
        || sqlite3_initialize() != SQLITE_OK)
        std::fprintf(stderr, "could not restart SQLite with its default settings\n");
    store = DataModule::resetInstanceForTests(dir.path());
    for (const QString &sql : StoreSchema::createIndexes) {
        const QString name = sql.section(QLatin1Char(' '), 5, 5);
        exec(store->m_db, QStringLiteral("DROP INDEX ") + name);
    }
    const Figures plain = measure(store);
    const double plainOpen = medianMs(15, [&] {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("baseline"));
        raw.setDatabaseName(file);
        raw.open();
        {
            QSqlQuery query(raw);
            query.exec(QStringLiteral("select db_ver from db_info"));
            query.first();
        }
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("baseline"));
    });

    std::printf("filter 'ma' (%d rows):  store %.2f ms   baseline %.2f ms   ratio %.2f\n", indexed.matched,
                indexed.filter, plain.filter, plain.filter / indexed.filter);
    std::printf("  of which the condition over all rows: store %.2f ms   baseline %.2f ms\n", indexed.condition,
                plain.condition);
    std::printf("havePendingStuff:        store %.3f ms   baseline %.3f ms   ratio %.2f\n", indexed.pending,
                plain.pending, plain.pending / indexed.pending);
    std::printf("getPendingDescription (%d lines): store %.3f ms   baseline %.3f ms   ratio %.2f\n",
                indexed.descriptionLines, indexed.description, plain.description,
                plain.description / indexed.description);
    std::printf("open store:              store %.3f ms   plain open %.3f ms   ratio %.2f\n", open, plainOpen,
                plainOpen / open);
    std::printf("RESULT filter_ms=%.2f pending_ms=%.3f description_ms=%.3f open_ms=%.3f\n", indexed.filter,
                indexed.pending, indexed.description, open);
    DataModule::resetInstanceForTests();
    return 0;
}
