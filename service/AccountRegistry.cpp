#include "AccountRegistry.h"

#include "SqlStatement.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

std::string hex(const unsigned char *data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

void randomBytes(unsigned char *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::getrandom(data + done, size - done, 0);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error("no random numbers from the system");
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}

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

}  // namespace

AccountRegistry::AccountRegistry(const std::string &dataDir) : m_dataDir(dataDir), m_db(prepareFile(dataDir))
{
    m_db.exec("CREATE TABLE IF NOT EXISTS accounts ("
              " number INTEGER PRIMARY KEY, name TEXT NOT NULL DEFAULT '',"
              " tokenHash TEXT UNIQUE, removed INTEGER NOT NULL DEFAULT 0,"
              " created TEXT NOT NULL DEFAULT (datetime('now')),"
              " tokenChanged TEXT NOT NULL DEFAULT (datetime('now')));");
}

std::string AccountRegistry::newToken()
{
    unsigned char bytes[32];
    randomBytes(bytes, sizeof bytes);
    return hex(bytes, sizeof bytes);
}

std::string AccountRegistry::hashToken(const std::string &token)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(token.data(), token.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot hash a token");
    return hex(digest, size);
}

bool AccountRegistry::looksLikeToken(const std::string &text)
{
    return text.size() == 64 &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::int32_t AccountRegistry::accountFor(const std::string &token)
{
    // Anything else cannot be a token: no need to look.
    if (!looksLikeToken(token))
        return 0;
    const std::string hash = hashToken(token);
    std::lock_guard<std::mutex> lock(m_mutex);
    SqlStatement q(m_db, "SELECT number FROM accounts WHERE tokenHash = ? AND removed = 0");
    q.bind(1, hash);
    return q.step() ? static_cast<std::int32_t>(q.int64(0)) : 0;
}

bool AccountRegistry::numberTaken(std::int32_t number)
{
    SqlStatement q(m_db, "SELECT 1 FROM accounts WHERE number = ?");
    q.bind(1, static_cast<std::int64_t>(number));
    return q.step();
}

std::string AccountRegistry::add(const std::string &name, std::int32_t &number, std::string &error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number < 0) {
        error = "an account number is positive";
        return {};
    }
    if (number > 0 && numberTaken(number)) {
        error = "account " + std::to_string(number) + " exists already";
        return {};
    }
    // Random numbers, so one account's number says nothing about another's.
    for (int attempt = 0; number == 0 && attempt < 1000; ++attempt) {
        std::uint32_t value = 0;
        randomBytes(reinterpret_cast<unsigned char *>(&value), sizeof value);
        const auto candidate = static_cast<std::int32_t>(value & 0x7fffffff);
        if (candidate < 1000 || numberTaken(candidate) || hasRecords(m_dataDir + "/service.db", candidate) ||
            hasRecords(m_dataDir + "/dev/service.db", candidate))
            continue;
        number = candidate;
    }
    if (number == 0) {
        error = "no free account number found";
        return {};
    }
    const std::string token = newToken();
    SqlStatement q(m_db, "INSERT INTO accounts (number, name, tokenHash) VALUES (?, ?, ?)");
    q.bind(1, static_cast<std::int64_t>(number)).bind(2, name).bind(3, hashToken(token));
    q.run();
    return token;
}

std::string AccountRegistry::rotate(std::int32_t number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string token = newToken();
    SqlStatement q(m_db,
                   "UPDATE accounts SET tokenHash = ?, tokenChanged = datetime('now') WHERE number = ? AND removed = 0");
    q.bind(1, hashToken(token)).bind(2, static_cast<std::int64_t>(number));
    q.run();
    return m_db.changes() > 0 ? token : std::string();
}

bool AccountRegistry::remove(std::int32_t number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SqlStatement q(m_db, "UPDATE accounts SET tokenHash = NULL, removed = 1, tokenChanged = datetime('now')"
                         " WHERE number = ? AND removed = 0");
    q.bind(1, static_cast<std::int64_t>(number));
    q.run();
    return m_db.changes() > 0;
}

std::vector<AccountRegistry::Account> AccountRegistry::list()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SqlStatement q(m_db, "SELECT number, name, created, tokenChanged, removed FROM accounts ORDER BY created, number");
    std::vector<Account> accounts;
    while (q.step())
        accounts.push_back({static_cast<std::int32_t>(q.int64(0)), q.text(1), q.text(2), q.text(3), q.int64(4) != 0});
    return accounts;
}

bool AccountRegistry::hasAccounts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SqlStatement q(m_db, "SELECT 1 FROM accounts WHERE removed = 0 LIMIT 1");
    return q.step();
}
