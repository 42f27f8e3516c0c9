#include "AccountBook.h"

#include "SqlStatement.h"
#include "SqliteDb.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace {

// The file is made readable by its owner alone before SQLite opens it; SQLite gives
// its journal files the same permissions.
std::string prepareFile(const std::string &dataDir)
{
    std::error_code ec;
    std::filesystem::create_directories(dataDir, ec);
    if (ec)
        throw std::runtime_error("cannot create " + dataDir + ": " + ec.message());
    const std::string path = dataDir + "/accounts.db";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    ::fchmod(fd, 0600);
    ::close(fd);
    return path;
}

// Whether a service database holds records of that account (made before the service
// had accounts): such a number is not handed to somebody else.
bool hasRecords(const std::string &dbPath, std::int32_t number)
{
    struct stat st{};
    if (::stat(dbPath.c_str(), &st) != 0)
        return false;
    sqlite3 *db = nullptr;
    bool found = false;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt *q = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT 1 FROM clients WHERE idSender = ? LIMIT 1", -1, &q, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_int64(q, 1, number);
            found = sqlite3_step(q) == SQLITE_ROW;
        }
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
    return found;
}
// "<data>/accounts.db".
class SqliteAccountBook : public AccountBook
{
public:
    explicit SqliteAccountBook(const std::string &dataDir) : SqliteAccountBook(dataDir, prepareFile(dataDir)) {}

    // Every request asks: on a connection of its own, so the checks never queue behind
    // one another, and a token changed from another process counts at the next request.
    std::int32_t numberFor(const std::string &tokenHash) override
    {
        SqliteReaders::Lease reader(m_readers);
        SqlStatement q(reader.db(), "SELECT number FROM accounts WHERE tokenHash = ? AND removed = 0");
        q.bind(1, tokenHash);
        return q.step() ? static_cast<std::int32_t>(q.int64(0)) : 0;
    }

    bool numberTaken(std::int32_t number, bool countRecords) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SqlStatement q(m_db, "SELECT 1 FROM accounts WHERE number = ?");
        q.bind(1, static_cast<std::int64_t>(number));
        if (q.step())
            return true;
        return countRecords && (hasRecords(m_dataDir + "/service.db", number) ||
                                hasRecords(m_dataDir + "/dev/service.db", number));
    }

    bool insert(std::int32_t number, const std::string &name, const std::string &tokenHash) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SqlStatement q(m_db, "INSERT OR IGNORE INTO accounts (number, name, tokenHash) VALUES (?, ?, ?)");
        q.bind(1, static_cast<std::int64_t>(number)).bind(2, name).bind(3, tokenHash);
        q.run();
        return m_db.changes() > 0;
    }

    bool replaceHash(std::int32_t number, const std::string &tokenHash) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SqlStatement q(m_db, "UPDATE accounts SET tokenHash = ?, tokenChanged = datetime('now')"
                             " WHERE number = ? AND removed = 0");
        q.bind(1, tokenHash).bind(2, static_cast<std::int64_t>(number));
        q.run();
        return m_db.changes() > 0;
    }

    bool remove(std::int32_t number) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SqlStatement q(m_db, "UPDATE accounts SET tokenHash = NULL, removed = 1, tokenChanged = datetime('now')"
                             " WHERE number = ? AND removed = 0");
        q.bind(1, static_cast<std::int64_t>(number));
        q.run();
        return m_db.changes() > 0;
    }

    std::vector<Row> list() override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SqlStatement q(m_db, "SELECT number, name, created, tokenChanged, removed FROM accounts ORDER BY created, number");
        std::vector<Row> rows;
        while (q.step())
            rows.push_back({static_cast<std::int32_t>(q.int64(0)), q.text(1), q.text(2), q.text(3), q.int64(4) != 0});
        return rows;
    }

    bool hasAccounts() override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SqlStatement q(m_db, "SELECT 1 FROM accounts WHERE removed = 0 LIMIT 1");
        return q.step();
    }

private:    // path: the accounts file, made by prepareFile; the writer and the readers open it.
    SqliteAccountBook(const std::string &dataDir, const std::string &path)
        : m_dataDir(dataDir), m_db(path), m_readers(path)
    {
        m_db.exec("CREATE TABLE IF NOT EXISTS accounts ("
                  " number INTEGER PRIMARY KEY, name TEXT NOT NULL DEFAULT '',"
                  " tokenHash TEXT UNIQUE, removed INTEGER NOT NULL DEFAULT 0,"
                  " created TEXT NOT NULL DEFAULT (datetime('now')),"
                  " tokenChanged TEXT NOT NULL DEFAULT (datetime('now')));");
    }

    std::string m_dataDir;
    // One connection for the rest: a statement and the count of changes it made are
    // read together.
    std::mutex m_mutex;
    SqliteDb m_db;
    SqliteReaders m_readers;
};

}  // namespace

std::unique_ptr<AccountBook> openSqliteAccountBook(const std::string &dataDir)
{
    return std::make_unique<SqliteAccountBook>(dataDir);
}
