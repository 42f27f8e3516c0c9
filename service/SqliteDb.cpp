#include "SqliteDb.h"

#include <sqlite3.h>

#include <stdexcept>

SqliteDb::SqliteDb(const std::string &path)
{
    const int rc = sqlite3_open_v2(path.c_str(), &m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        const std::string text = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw std::runtime_error("SqLite error: cannot open " + path + ": " + text);
    }
    sqlite3_busy_timeout(m_db, 5000);
    exec("PRAGMA foreign_keys = ON");
    exec("PRAGMA journal_mode = WAL");
    exec("PRAGMA synchronous = NORMAL");
}

SqliteDb::~SqliteDb()
{
    sqlite3_close_v2(m_db);
}

void SqliteDb::exec(const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown";
        sqlite3_free(message);
        throw std::runtime_error("SqLite error: " + text);
    }
}

std::int64_t SqliteDb::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDb::changes() const
{
    return sqlite3_changes(m_db);
}

void SqliteDb::throwError(const std::string &what) const
{
    throw std::runtime_error("SqLite error: " + what + ": " + sqlite3_errmsg(m_db));
}

SqliteTransaction::SqliteTransaction(SqliteDb &db) : m_db(db)
{
    m_db.exec("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction()
{
    if (!m_done) {
        try {
            m_db.exec("ROLLBACK");
        } catch (...) {
            // Nothing more can be done from a destructor; the connection stays usable.
        }
    }
}

void SqliteTransaction::commit()
{
    m_db.exec("COMMIT");
    m_done = true;
}

SqliteReaders::Lease::Lease(SqliteReaders &readers) : m_readers(readers)
{
    {
        const std::lock_guard<std::mutex> lock(m_readers.m_mutex);
        if (!m_readers.m_idle.empty()) {
            m_db = std::move(m_readers.m_idle.back());
            m_readers.m_idle.pop_back();
        }
    }
    if (!m_db) {
        m_db = std::make_unique<SqliteDb>(m_readers.m_path);
        m_db->exec("PRAGMA query_only = 1");
    }
    m_db->exec("BEGIN");
}

SqliteReaders::Lease::~Lease()
{
    try {
        m_db->exec("COMMIT");
    } catch (...) {
        return;  // a connection in an unknown state is not kept
    }
    const std::lock_guard<std::mutex> lock(m_readers.m_mutex);
    m_readers.m_idle.push_back(std::move(m_db));
}

SqliteCheckpointer::SqliteCheckpointer(const std::string &path, std::chrono::milliseconds interval)
    : m_db(path), m_thread([this, interval] { run(interval); })
{
}

SqliteCheckpointer::~SqliteCheckpointer()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SqliteCheckpointer::run(std::chrono::milliseconds interval)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, interval, [this] { return m_stopping; })) {
        // A busy or failed pass is tried again at the next tick.
        sqlite3_wal_checkpoint_v2(m_db.handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
}
