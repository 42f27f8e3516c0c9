#pragma once

#include "AccountStore.h"
#include "SqliteDb.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The data of one installation of the script in a data folder: one SQLite file plus
// the stored exam files. One machine, one process at a time.
//
// Layout under root: "service.db", "files/<account>/<client>/<work>/<name>", "tmp/".
class SqliteAccountStore : public AccountStore
{
public:
    explicit SqliteAccountStore(const std::string &root);

    const std::string &root() const { return m_root; }
    std::string tempDir() const override { return m_root + "/tmp"; }

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
    // Where the newest stored file of that name of the account's client is, or nothing.
    std::optional<std::string> filePath(std::int64_t account, std::int64_t idUser, const std::string &name);
    void createSchema();
    bool hasColumn(const char *table, const char *column);
    std::int64_t idForKey(const char *table, std::int64_t account, const std::string &key);
    // Checks the quota again, records the exam and moves `staged` into place (swapping
    // it with an earlier exam of that day, `replaced`).
    ExamOutcome recordExam(std::int64_t account, WorkRecord &work, std::uint64_t incoming, std::uint64_t quotaBytes,
                           const ExamArchive &archive, const std::string &staged, bool &replaced);
    std::int64_t saveClientLocked(std::int64_t account, const ClientRecord &client);
    static bool hasClientIn(SqliteDb &db, std::int64_t account, std::int64_t id);
    // Bytes in use once an exam of that day replaced any earlier one and brought `incoming`.
    static std::uint64_t bytesAfter(SqliteDb &db, std::int64_t account, const WorkRecord &work,
                                    std::uint64_t incoming);
    std::string clientFolder(std::int64_t account, std::int64_t idUser) const;
    std::string workFolder(std::int64_t account, std::int64_t idUser, std::int64_t workId) const;
    void discardFolder(const std::string &path);

    std::string m_root;
    std::mutex m_mutex;  // writers, on m_db; readers lease their own connection
    std::mutex m_versionMutex;
    // One process owns a data folder, so its own count of client changes is exact. It
    // moves on after a change is committed, so a list read under the new count has it.
    std::unordered_map<std::int64_t, std::int64_t> m_clientChanges;
    SqliteDb m_db;
    SqliteReaders m_readers;
    SqliteCheckpointer m_checkpointer;
};
