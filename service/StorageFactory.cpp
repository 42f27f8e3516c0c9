#include "StorageFactory.h"

#include "AccountBook.h"
#include "PgAccountStore.h"
#include "PgConnection.h"
#include "PgSchema.h"
#include "SqliteAccountStore.h"

StorageFactory::StorageFactory(std::string dataDir, const std::string &dbUrl) : m_dataDir(std::move(dataDir))
{
    if (!dbUrl.empty())
        m_pool = std::make_shared<PgPool>(dbUrl);
}

StorageFactory::~StorageFactory() = default;

std::unique_ptr<AccountStore> StorageFactory::openStore(bool development)
{
    if (!m_pool)
        return std::make_unique<SqliteAccountStore>(development ? m_dataDir + "/dev" : m_dataDir);
    // Each process stages its uploads in a folder of its own, so processes sharing a
    // data folder never touch each other's files.
    return std::make_unique<PgAccountStore>(m_pool, development ? PgSchema::development : PgSchema::production,
                                            m_dataDir + "/tmp");
}

std::unique_ptr<AccountBook> StorageFactory::openAccountBook()
{
    return m_pool ? openPgAccountBook(m_pool) : openSqliteAccountBook(m_dataDir);
}
