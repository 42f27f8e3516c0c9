#pragma once

#include "AccountStore.h"
#include "TempPath.h"

#include <memory>
#include <string>

class PgConnection;
class PgPool;

// The data of one installation of the script in a PostgreSQL schema: records and the
// stored files' bytes (in chunks), so any number of service processes serve the same
// accounts with no shared disk. Uploads are received in a staging folder private to
// this process. Thread-safe: each call takes a connection of the pool.
class PgAccountStore : public AccountStore
{
public:
    // Bytes of a file per row of file_chunks.
    static constexpr std::size_t chunkSize = 256 * 1024;
    // Files up to this size are read whole when a download starts.
    static constexpr std::uint64_t wholeFileLimit = 16ull << 20;

    // Creates or upgrades the schema; staging is made under stagingParent.
    PgAccountStore(std::shared_ptr<PgPool> pool, const std::string &schema, const std::string &stagingParent);

    std::string tempDir() const override { return m_staging.path(); }

    std::vector<ClientRecord> clients(std::int64_t account) override;
    std::int64_t clientsVersion(std::int64_t account) override;
    bool hasClient(std::int64_t account, std::int64_t id) override;
    std::int64_t saveClient(std::int64_t account, const ClientRecord &client) override;
    bool deleteClient(std::int64_t account, std::int64_t id) override;
    std::optional<std::vector<AnamnesiRecord>> anamnesis(std::int64_t account, std::int64_t idUser) override;
    std::int64_t saveAnamnesi(std::int64_t account, const AnamnesiRecord &record) override;
    bool deleteAnamnesi(std::int64_t account, std::int64_t id) override;
    std::optional<std::vector<WorkRecord>> works(std::int64_t account, std::int64_t idUser) override;
    ExamOutcome storeExam(std::int64_t account, WorkRecord &work, const ExamArchive &archive,
                          std::uint64_t quotaBytes, std::string &error) override;
    std::unique_ptr<StoredFile> openFile(std::int64_t account, std::int64_t idUser, const std::string &name) override;
    std::uint64_t uploadRoom(std::int64_t account, std::uint64_t quotaBytes) override;

private:
    std::string sql(const char *text) const;
    void bumpClientsVersion(PgConnection &db, std::int64_t account);
    bool hasClientOn(PgConnection &db, std::int64_t account, std::int64_t id) const;
    // The record of the account with that key (table clients or anamnesis), or 0.
    std::int64_t idForKey(PgConnection &db, const char *table, std::int64_t account, const std::string &key) const;

    std::shared_ptr<PgPool> m_pool;
    std::string m_schema;
    TempPath m_staging;
};
