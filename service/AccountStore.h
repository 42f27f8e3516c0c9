#pragma once

#include "ServiceRecords.h"
#include "SqliteDb.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ExamArchive;

// Everything the service keeps for one installation of the script (production or
// development): one SQLite file plus the stored exam files. Every query is scoped
// by the sending account (idSender), so one account never reads or changes another
// account's clients, questionnaires, exams or files. Thread-safe.
//
// Layout under root: "service.db", "files/<account>/<client>/<work>/<name>", "tmp/".
class AccountStore
{
public:
    enum class ExamOutcome { Stored, UnknownClient, QuotaExceeded, Failed };

    explicit AccountStore(const std::string &root);

    const std::string &root() const { return m_root; }
    std::string tempDir() const { return m_root + "/tmp"; }

    std::vector<ClientRecord> clients(std::int64_t account);
    bool hasClient(std::int64_t account, std::int64_t id);
    // Updates the account's client with that id; any other id (0, unknown, or
    // another account's) updates the account's client with the same non-empty key, or
    // makes a new client. Returns the client's id.
    std::int64_t saveClient(std::int64_t account, const ClientRecord &client);
    // Removes the client with its questionnaires, exams and files; false when the
    // account has no such client.
    bool deleteClient(std::int64_t account, std::int64_t id);

    // Empty when the account has no such client.
    std::optional<std::vector<AnamnesiRecord>> anamnesis(std::int64_t account, std::int64_t idUser);
    // Same id rule as saveClient; 0 when the account has no client record.idUser.
    std::int64_t saveAnamnesi(std::int64_t account, const AnamnesiRecord &record);
    bool deleteAnamnesi(std::int64_t account, std::int64_t id);

    std::optional<std::vector<WorkRecord>> works(std::int64_t account, std::int64_t idUser);
    // Stores one day's exam of a client: a second upload for the same client and
    // day replaces the first one's values and files. work.id and work.bytes are
    // filled on success.
    ExamOutcome storeExam(std::int64_t account, WorkRecord &work, const ExamArchive &archive,
                          std::uint64_t quotaBytes, std::string &error);
    // Path of a stored file of the account's client (the newest exam holding that
    // name), or nothing.
    std::optional<std::string> filePath(std::int64_t account, std::int64_t idUser, const std::string &name);

    std::uint64_t usedBytes(std::int64_t account);
    // The most an upload of the account could still store: the free space, plus the
    // largest stored exam (a day sent again replaces its files).
    std::uint64_t uploadRoom(std::int64_t account, std::uint64_t quotaBytes);

private:
    void createSchema();
    bool hasColumn(const char *table, const char *column);
    std::int64_t idForKey(const char *table, std::int64_t account, const std::string &key);
    bool hasClientLocked(std::int64_t account, std::int64_t id);
    std::uint64_t usedBytesLocked(std::int64_t account);
    std::string clientFolder(std::int64_t account, std::int64_t idUser) const;
    std::string workFolder(std::int64_t account, std::int64_t idUser, std::int64_t workId) const;
    void discardFolder(const std::string &path);

    std::string m_root;
    std::mutex m_mutex;
    SqliteDb m_db;
};
