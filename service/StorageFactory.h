#pragma once

#include <memory>
#include <string>

class AccountBook;
class AccountStore;
class PgPool;

// Opens the service's storage: the data folder's SQLite files (the default), or the
// PostgreSQL database a --db address names, whose connections the stores share.
class StorageFactory
{
public:
    StorageFactory(std::string dataDir, const std::string &dbUrl);
    ~StorageFactory();
    StorageFactory(const StorageFactory &) = delete;
    StorageFactory &operator=(const StorageFactory &) = delete;

    bool usesPostgres() const { return m_pool != nullptr; }
    // The development script keeps data of its own, so trying things out never
    // touches what the production script holds.
    std::unique_ptr<AccountStore> openStore(bool development);
    std::unique_ptr<AccountBook> openAccountBook();

private:
    std::string m_dataDir;
    std::shared_ptr<PgPool> m_pool;
};
