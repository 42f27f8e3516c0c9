#pragma once

#include "LogCatcher.h"

#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>

// A store of its own in a fresh temporary folder for the life of the object; the
// shared instance is dropped (and its connection closed) when it goes away.
class TempStore
{
public:
    TempStore()
    {
        if (!m_dir.isValid())
            qFatal("cannot create a temporary folder");
        m_store = DataModule::resetInstanceForTests(m_dir.path());
    }
    ~TempStore()
    {
        DataModule::resetInstanceForTests();
        delete HttpService::m_instance;
    }
    TempStore(const TempStore &) = delete;
    TempStore &operator=(const TempStore &) = delete;

    DataModule *operator->() const { return m_store; }
    DataModule *store() const { return m_store; }
    QString location() const { return m_dir.path(); }
    // Closes the store and opens it again on the same files, as a new start would.
    DataModule *reopen()
    {
        m_store = DataModule::resetInstanceForTests(m_dir.path());
        return m_store;
    }

    // Runs a statement on the store's connection and returns the first column of the
    // first row (an invalid value when it fails or has no row).
    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query(m_store->m_db);
        if (!query.exec(sql) || !query.first())
            return QVariant();
        return query.value(0);
    }
    QStringList column(const QString &sql) const
    {
        QStringList values;
        QSqlQuery query(m_store->m_db);
        if (query.exec(sql)) {
            while (query.next())
                values << query.value(0).toString();
        }
        return values;
    }
    bool exec(const QString &sql) const
    {
        QSqlQuery query(m_store->m_db);
        const bool ok = query.exec(sql);
        if (!ok)
            qWarning() << "test statement failed:" << sql << query.lastError().text();
        return ok;
    }

private:
    QTemporaryDir m_dir;
    DataModule *m_store = nullptr;
};

// Builds a database file in the layout of an older version, on a connection of its
// own that is removed again before the store opens the file.
class LegacyDatabase
{
public:
    explicit LegacyDatabase(const QString &file)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());
        db.setDatabaseName(file);
        m_ok = db.open();
    }
    ~LegacyDatabase()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName());
    }
    LegacyDatabase(const LegacyDatabase &) = delete;
    LegacyDatabase &operator=(const LegacyDatabase &) = delete;

    bool isOpen() const { return m_ok; }
    bool exec(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(connectionName(), false));
        const bool ok = query.exec(sql);
        if (!ok)
            qWarning() << "legacy statement failed:" << sql << query.lastError().text();
        return ok;
    }

private:
    static QString connectionName() { return QStringLiteral("legacy-builder"); }
    bool m_ok = false;
};
