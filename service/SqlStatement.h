#pragma once

#include <cstdint>
#include <string>

class SqliteDb;
struct sqlite3_stmt;

// One prepared statement, finalised on destruction. Parameters are 1-based,
// columns 0-based, as in the C API.
class SqlStatement
{
public:
    SqlStatement(SqliteDb &db, const char *sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    SqlStatement &bind(int index, std::int64_t value);
    SqlStatement &bind(int index, double value);
    SqlStatement &bind(int index, const std::string &value);

    // True while a row is available; false when done. Throws on errors.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    std::int64_t int64(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;
    int columns() const;

private:
    SqliteDb &m_db;
    sqlite3_stmt *m_stmt = nullptr;
};
