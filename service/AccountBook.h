#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PgPool;

// Where AccountRegistry keeps its rows: numbers, names, dates and token hashes.
// SqliteAccountBook uses "<data>/accounts.db"; PgAccountBook the accounts table of a
// PostgreSQL database, so every service process sees the same accounts. Every book is
// safe to use from any thread.
class AccountBook
{
public:
    struct Row
    {
        std::int32_t number = 0;
        std::string name;
        std::string created;
        std::string tokenChanged;
        bool removed = false;
    };

    virtual ~AccountBook() = default;
    // The live account with that token hash, or 0.
    virtual std::int32_t numberFor(const std::string &tokenHash) = 0;
    // Whether an account row (removed or not) has the number, or records were kept
    // under it before the service had accounts.
    virtual bool numberTaken(std::int32_t number, bool countRecords) = 0;
    // False when the number is taken already.
    virtual bool insert(std::int32_t number, const std::string &name, const std::string &tokenHash) = 0;
    virtual bool replaceHash(std::int32_t number, const std::string &tokenHash) = 0;
    virtual bool remove(std::int32_t number) = 0;
    virtual std::vector<Row> list() = 0;
    virtual bool hasAccounts() = 0;
    // Counts a failed token check from the address against the limit of every process
    // sharing the book: a bucket of perMinute, refilled at perMinute a minute. False
    // once the address has none left. A book that one process uses alone has nothing
    // to add to that process's own count.
    virtual bool takeFailure(const std::string & /*address*/, int /*perMinute*/) { return true; }
};

std::unique_ptr<AccountBook> openSqliteAccountBook(const std::string &dataDir);
std::unique_ptr<AccountBook> openPgAccountBook(std::shared_ptr<PgPool> pool);
