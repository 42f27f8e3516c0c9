#include "store/StoreSavepoint.h"

#include "store/StoreLog.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

StoreSavepoint::StoreSavepoint(const QSqlDatabase &db)
    : m_db(db)
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("sp") + QString::number(++counter);
    m_open = run(QStringLiteral("SAVEPOINT ") + m_name);
}

StoreSavepoint::~StoreSavepoint()
{
    if (!m_open)
        return;
    run(QStringLiteral("ROLLBACK TO ") + m_name);
    run(QStringLiteral("RELEASE ") + m_name);
}

bool StoreSavepoint::commit()
{
    if (!m_open)
        return false;
    if (!run(QStringLiteral("RELEASE ") + m_name))
        return false;  // still open: the destructor rolls back
    m_open = false;
    return true;
}

bool StoreSavepoint::run(const QString &sql)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    qCDebug(lcStore).noquote() << "SqLite error:" << query.lastError().text();
    return false;
}
