#pragma once

#include "ServiceRecords.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ExamArchive;

// A stored exam file, read in pieces while a download goes out, so a large file is
// never held in memory whole.
class StoredFile
{
public:
    virtual ~StoredFile() = default;
    virtual std::uint64_t size() const = 0;
    // Appends up to length bytes from offset to out; false when the file cannot be read.
    virtual bool read(std::uint64_t offset, std::size_t length, std::string &out) = 0;
};

// Everything the service keeps for one installation of the script (production or
// development): clients, questionnaires, exams and their files. Every query is scoped
// by the sending account (idSender), so one account never reads or changes another
// account's clients, questionnaires, exams or files. Thread-safe.
//
// SqliteAccountStore keeps it in a data folder of one machine; PgAccountStore in a
// PostgreSQL database that any number of service processes share.
class AccountStore
{
public:
    // A failure of the storage itself (disk, database) is thrown, not returned: it is
    // the service's fault, and the sender tries again later.
    enum class ExamOutcome { Stored, UnknownClient, QuotaExceeded, BadArchive };

    virtual ~AccountStore() = default;

    // Where uploads in progress are written: private to this process.
    virtual std::string tempDir() const = 0;

    virtual std::vector<ClientRecord> clients(std::int64_t account) = 0;
    // Changes whenever the account's clients change (saved, removed), as seen by every
    // process that serves the storage.
    virtual std::int64_t clientsVersion(std::int64_t account) = 0;
    virtual bool hasClient(std::int64_t account, std::int64_t id) = 0;
    // Updates the account's client with that id; any other id (0, unknown, or
    // another account's) updates the account's client with the same non-empty key, or
    // makes a new client. Returns the client's id.
    virtual std::int64_t saveClient(std::int64_t account, const ClientRecord &client) = 0;
    // Removes the client with its questionnaires, exams and files; false when the
    // account has no such client.
    virtual bool deleteClient(std::int64_t account, std::int64_t id) = 0;

    // Empty when the account has no such client.
    virtual std::optional<std::vector<AnamnesiRecord>> anamnesis(std::int64_t account, std::int64_t idUser) = 0;
    // Same id rule as saveClient; 0 when the account has no client record.idUser.
    virtual std::int64_t saveAnamnesi(std::int64_t account, const AnamnesiRecord &record) = 0;
    virtual bool deleteAnamnesi(std::int64_t account, std::int64_t id) = 0;

    virtual std::optional<std::vector<WorkRecord>> works(std::int64_t account, std::int64_t idUser) = 0;
    // Stores one day's exam of a client: a second upload for the same client and
    // day replaces the first one's values and files. work.id and work.bytes are
    // filled on success. The quota check and the writes are one step: two uploads
    // for one account never exceed it together. error says why an archive was refused.
    virtual ExamOutcome storeExam(std::int64_t account, WorkRecord &work, const ExamArchive &archive,
                                  std::uint64_t quotaBytes, std::string &error) = 0;
    // A stored file of the account's client (the newest exam holding that name), or null.
    virtual std::unique_ptr<StoredFile> openFile(std::int64_t account, std::int64_t idUser,
                                                 const std::string &name) = 0;

    // The most an upload of the account could still store: the free space, plus the
    // largest stored exam (a day sent again replaces its files).
    virtual std::uint64_t uploadRoom(std::int64_t account, std::uint64_t quotaBytes) = 0;
};
