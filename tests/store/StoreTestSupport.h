#pragma once

#include "LogCatcher.h"

#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>

// A store of its own in a fresh temporary folder for the life of the object; the
// shared instance (and the service client, if a record started one) is dropped with it.
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

    // The first column of the first row on the store's connection; invalid when none.
    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query(m_store->m_db);
        return query.exec(sql) && query.first() ? query.value(0) : QVariant();
    }
    // The first column of every row.
    QStringList column(const QString &sql) const
    {
        QStringList values;
        QSqlQuery query(m_store->m_db);
        for (bool ok = query.exec(sql) && query.next(); ok; ok = query.next())
            values << query.value(0).toString();
        return values;
    }
    bool exec(const QString &sql) const { return QSqlQuery(m_store->m_db).exec(sql); }

private:
    QTemporaryDir m_dir;
    DataModule *m_store = nullptr;
};
