#pragma once

#include <QSqlDatabase>
#include <QString>

// One savepoint on the store's connection: a change and its outbox item are written
// together or not at all. Savepoints nest, so this works inside a caller's transaction
// (a downloaded list is stored in one) as well as on its own. Rolled back unless
// committed.
class StoreSavepoint
{
public:
    explicit StoreSavepoint(const QSqlDatabase &db);
    ~StoreSavepoint();
    StoreSavepoint(const StoreSavepoint &) = delete;
    StoreSavepoint &operator=(const StoreSavepoint &) = delete;

    bool isOpen() const { return m_open; }
    bool commit();

private:
    bool run(const QString &sql);

    QSqlDatabase m_db;
    QString m_name;
    bool m_open = false;
};
