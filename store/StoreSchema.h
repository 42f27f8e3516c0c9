#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

// The schema of the local database and every step that brings an older file up to
// date. New files start at version 1 (the first four statements, kept verbatim because
// the text is part of the stored schema) and are then upgraded like any old file, so a
// fresh database and an upgraded one always end with the same tables.
class StoreSchema
{
public:
    static constexpr int currentVersion = 4;

    static const QString createDbInfo;
    static const QString insertFirstVersion;
    static const QString createClients;
    static const QString createPendingExamsByClient;  // versions 1 and 2: one row per client
    static const QString createAnamnesis;              // added by version 2
    static const QString createPendingExams;           // version 3: one row per client and day
    static const QStringList createIndexes;            // version 3
    static const QString createOutbox;                 // version 4

    // Runs the statements of a new (version 1) database. Their results are not
    // checked: a failure shows up in the statements that follow.
    static void createDatabase(const QSqlDatabase &db);

    // Reads db_ver. A table without rows reads as version 0.
    static bool readVersion(const QSqlDatabase &db, int *version, QSqlError *error);

    // Runs the upgrade steps from `version` up to currentVersion in order and stamps
    // db_ver after each. A step runs in one transaction, so a failing step leaves the
    // file as the previous step left it; the error of the failing statement is returned.
    static bool upgrade(const QSqlDatabase &db, int version, QSqlError *error);

    static QString stampVersion(int version);

private:
    static bool upgradeToVersion2(const QSqlDatabase &db, int version, QSqlError *error);
    static bool upgradeToVersion3(const QSqlDatabase &db, QSqlError *error);
    static bool upgradeToVersion4(const QSqlDatabase &db, QSqlError *error);
    // Runs the statements in one transaction; false with the failing statement's error.
    static bool runSteps(const QSqlDatabase &db, const QStringList &steps, QSqlError *error);
    static bool tableExists(const QSqlDatabase &db, const QString &table);
};
