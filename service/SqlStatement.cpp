#include "SqlStatement.h"

#include "SqliteDb.h"

#include <sqlite3.h>

SqlStatement::SqlStatement(SqliteDb &db, const char *sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        db.throwError("prepare");
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_stmt);
}

SqlStatement &SqlStatement::bind(int index, std::int64_t value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        m_db.throwError("bind");
    return *this;
}

SqlStatement &SqlStatement::bind(int index, double value)
{
    if (sqlite3_bind_double(m_stmt, index, value) != SQLITE_OK)
        m_db.throwError("bind");
    return *this;
}

SqlStatement &SqlStatement::bind(int index, const std::string &value)
{
    if (sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        m_db.throwError("bind");
    return *this;
}

bool SqlStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_db.throwError("step");
}

void SqlStatement::run()
{
    while (step()) {
    }
}

std::int64_t SqlStatement::int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double SqlStatement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

std::string SqlStatement::text(int column) const
{
    const auto *bytes = sqlite3_column_text(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return bytes ? std::string(reinterpret_cast<const char *>(bytes), static_cast<size_t>(size))
                 : std::string();
}

bool SqlStatement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

int SqlStatement::columns() const
{
    return sqlite3_column_count(m_stmt);
}
