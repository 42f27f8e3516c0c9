#pragma once

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

// Collects the debug lines of one logging category while it lives.
class LogCatcher
{
public:
    explicit LogCatcher(const char *category)
        : m_category(category)
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCatcher::handler);
    }
    ~LogCatcher()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogCatcher(const LogCatcher &) = delete;
    LogCatcher &operator=(const LogCatcher &) = delete;

    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    int countStartingWith(const QString &prefix) const
    {
        int n = 0;
        for (const QString &line : lines())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCatcher *self = s_current;
        if (self && context.category && qstrcmp(context.category, self->m_category) == 0) {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines << message;
            return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, message);
    }

    const char *m_category;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_lines;
    static inline LogCatcher *s_current = nullptr;
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
