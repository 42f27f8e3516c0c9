#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

// Owns one SQLite connection. Every failure throws std::runtime_error carrying
// "SqLite error:" and the driver's text; callers serialise access themselves.
class SqliteDb
{
public:
    explicit SqliteDb(const std::string &path);
    ~SqliteDb();
    SqliteDb(const SqliteDb &) = delete;
    SqliteDb &operator=(const SqliteDb &) = delete;

    void exec(const std::string &sql);
    std::int64_t lastInsertId() const;
    int changes() const;
    sqlite3 *handle() const { return m_db; }

    [[noreturn]] void throwError(const std::string &what) const;

private:
    sqlite3 *m_db = nullptr;
};

// Rolls back unless commit() was reached, so an exception never leaves a
// half-applied change behind.
class SqliteTransaction
{
public:
    explicit SqliteTransaction(SqliteDb &db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;

    void commit();

private:
    SqliteDb &m_db;
    bool m_done = false;
};
