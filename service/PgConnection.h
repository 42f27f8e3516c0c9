#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// One result of libpq, cleared on destruction. Columns and rows are 0-based.
class PgResult
{
public:
    explicit PgResult(pg_result *result) : m_result(result) {}
    ~PgResult();
    PgResult(PgResult &&other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
    PgResult &operator=(PgResult &&) = delete;
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;

    int rows() const;
    bool null(int row, int column) const;
    std::string text(int row, int column) const;
    std::int64_t int64(int row, int column) const;
    double real(int row, int column) const;
    // A bytea column, asked for in binary form: the raw bytes.
    std::string bytes(int row, int column) const;
    // Rows an INSERT, UPDATE or DELETE touched.
    std::int64_t affected() const;

private:
    pg_result *m_result;
};

// A parameter of a query: text, or raw bytes for a bytea column.
struct PgParam
{
    PgParam(std::string text) : value(std::move(text)) {}
    PgParam(const char *text) : value(text) {}
    PgParam(std::int64_t number) : value(std::to_string(number)) {}
    PgParam(int number) : value(std::to_string(number)) {}
    PgParam(double number);
    static PgParam null()
    {
        PgParam p("");
        p.isNull = true;
        return p;
    }
    static PgParam binary(std::string data)
    {
        PgParam p(std::move(data));
        p.isBinary = true;
        return p;
    }

    std::string value;
    bool isBinary = false;
    bool isNull = false;
};

// Owns one connection to PostgreSQL. Every failure throws std::runtime_error with the
// server's text; a connection is used by one thread at a time.
class PgConnection
{
public:
    explicit PgConnection(const std::string &url);
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // Statements without parameters, several allowed.
    void exec(const std::string &sql);
    // One statement with $1.. parameters; binaryResult asks for bytea columns raw.
    PgResult query(const std::string &sql, const std::vector<PgParam> &params = {}, bool binaryResult = false);
    // Whether the connection still works (a server restart breaks it).
    bool healthy() const;

private:
    PgResult check(pg_result *result, const std::string &sql);

    pg_conn *m_conn = nullptr;
};

// Rolls back unless commit() was reached, so an exception never leaves a
// half-applied change behind.
class PgTransaction
{
public:
    explicit PgTransaction(PgConnection &db);
    ~PgTransaction();
    PgTransaction(const PgTransaction &) = delete;
    PgTransaction &operator=(const PgTransaction &) = delete;

    void commit();

private:
    PgConnection &m_db;
    bool m_done = false;
};

// Connections shared by the request threads: a thread takes one for a request and
// gives it back, so there are never more than the threads that use them at once.
class PgPool
{
public:
    explicit PgPool(std::string url) : m_url(std::move(url)) {}
    PgPool(const PgPool &) = delete;
    PgPool &operator=(const PgPool &) = delete;

    class Lease
    {
    public:
        Lease(PgPool &pool, std::unique_ptr<PgConnection> conn) : m_pool(pool), m_conn(std::move(conn)) {}
        ~Lease() { m_pool.giveBack(std::move(m_conn)); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        PgConnection &operator*() const { return *m_conn; }
        PgConnection *operator->() const { return m_conn.get(); }

    private:
        PgPool &m_pool;
        std::unique_ptr<PgConnection> m_conn;
    };

    Lease take();
    const std::string &url() const { return m_url; }

private:
    void giveBack(std::unique_ptr<PgConnection> conn);

    std::string m_url;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<PgConnection>> m_idle;
};

// Whether a --db value names a PostgreSQL database.
bool isPostgresUrl(const std::string &text);
