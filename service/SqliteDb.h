#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// Connections that only read, beside the one that writes: in WAL mode a reader sees
// the last commit and never waits for a writer. Idle ones are kept for the next
// reader, so there are as many as readers ever ran at once.
class SqliteReaders
{
public:
    explicit SqliteReaders(std::string path) : m_path(std::move(path)) {}

    // One connection for the lease's lifetime, inside one read transaction so that
    // several statements see the same data.
    class Lease
    {
    public:
        explicit Lease(SqliteReaders &readers);
        ~Lease();
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        SqliteDb &db() { return *m_db; }

    private:
        SqliteReaders &m_readers;
        std::unique_ptr<SqliteDb> m_db;
    };

private:
    std::string m_path;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<SqliteDb>> m_idle;
};

// Copies the write-ahead log back into the database file from a thread of its own. Left
// to the connection that commits, the copy and its fsyncs would run while the writer
// holds the store's lock, and every other write would wait for the disk. A passive
// checkpoint never blocks readers or writers.
class SqliteCheckpointer
{
public:
    SqliteCheckpointer(const std::string &path, std::chrono::milliseconds interval);
    ~SqliteCheckpointer();
    SqliteCheckpointer(const SqliteCheckpointer &) = delete;
    SqliteCheckpointer &operator=(const SqliteCheckpointer &) = delete;

private:
    void run(std::chrono::milliseconds interval);

    SqliteDb m_db;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
