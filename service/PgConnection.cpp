#include "PgConnection.h"

#include <libpq-fe.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

PgParam::PgParam(double number)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", number);
    value = text;
}

PgResult::~PgResult()
{
    if (m_result)
        PQclear(m_result);
}

int PgResult::rows() const { return PQntuples(m_result); }

bool PgResult::null(int row, int column) const { return PQgetisnull(m_result, row, column) != 0; }

std::string PgResult::text(int row, int column) const
{
    return std::string(PQgetvalue(m_result, row, column), static_cast<size_t>(PQgetlength(m_result, row, column)));
}

std::int64_t PgResult::int64(int row, int column) const
{
    return null(row, column) ? 0 : std::strtoll(PQgetvalue(m_result, row, column), nullptr, 10);
}

double PgResult::real(int row, int column) const
{
    return null(row, column) ? 0.0 : std::strtod(PQgetvalue(m_result, row, column), nullptr);
}

std::string PgResult::bytes(int row, int column) const { return text(row, column); }

std::int64_t PgResult::affected() const
{
    const char *n = PQcmdTuples(m_result);
    return n && *n ? std::strtoll(n, nullptr, 10) : 0;
}

PgConnection::PgConnection(const std::string &url) : m_conn(PQconnectdb(url.c_str()))
{
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        // The server's text, never the address: it may carry a password.
        const std::string why = m_conn ? PQerrorMessage(m_conn) : "out of memory";
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
        throw std::runtime_error("PostgreSQL: cannot connect: " + why);
    }
    // Notices ("relation exists, skipping") are not worth a log line per start.
    PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
    exec("SET client_min_messages TO warning; SET TIME ZONE 'UTC'");
}

PgConnection::~PgConnection()
{
    if (m_conn)
        PQfinish(m_conn);
}

bool PgConnection::healthy() const
{
    return PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
}

PgResult PgConnection::check(pg_result *result, const std::string &sql)
{
    PgResult owned(result);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        // The primary message only: the detail may quote a row's values.
        const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        std::string why = primary ? primary : PQerrorMessage(m_conn);
        while (!why.empty() && why.back() == '\n')
            why.pop_back();
        throw std::runtime_error("PostgreSQL error: " + why + " (in: " + sql.substr(0, 80) + ")");
    }
    return owned;
}

void PgConnection::exec(const std::string &sql) { check(PQexec(m_conn, sql.c_str()), sql); }

PgResult PgConnection::query(const std::string &sql, const std::vector<PgParam> &params, bool binaryResult)
{
    std::vector<const char *> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const PgParam &p : params) {
        values.push_back(p.isNull ? nullptr : p.value.data());
        lengths.push_back(static_cast<int>(p.value.size()));
        formats.push_back(p.isBinary ? 1 : 0);
    }
    return check(PQexecParams(m_conn, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                              lengths.data(), formats.data(), binaryResult ? 1 : 0),
                 sql);
}

PgTransaction::PgTransaction(PgConnection &db) : m_db(db) { m_db.exec("BEGIN"); }

PgTransaction::~PgTransaction()
{
    if (m_done)
        return;
    try {
        m_db.exec("ROLLBACK");
    } catch (...) {
        // A broken connection has rolled back by itself; the pool drops it.
    }
}

void PgTransaction::commit()
{
    m_db.exec("COMMIT");
    m_done = true;
}

PgPool::Lease PgPool::take()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_idle.empty()) {
            auto conn = std::move(m_idle.back());
            m_idle.pop_back();
            return Lease(*this, std::move(conn));
        }
    }
    // Connecting happens outside the lock: the others keep working meanwhile.
    return Lease(*this, std::make_unique<PgConnection>(m_url));
}

void PgPool::giveBack(std::unique_ptr<PgConnection> conn)
{
    // A connection in the middle of something, or cut off, is not handed out again.
    if (!conn || !conn->healthy())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idle.push_back(std::move(conn));
}

bool isPostgresUrl(const std::string &text)
{
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}
