#pragma once

#include <cstdint>
#include <string>

// Copies a data folder's SQLite service (accounts, both scripts' records, the stored
// exam files) into a PostgreSQL database, keeping every id the installations know.
// What the database has already (an earlier run) is left alone, so a second run copies
// nothing twice; an exam is copied whole or not at all.
class SqliteToPg
{
public:
    struct Counts
    {
        std::int64_t accounts = 0;
        std::int64_t clients = 0;
        std::int64_t questionnaires = 0;
        std::int64_t exams = 0;
        std::int64_t files = 0;
        std::uint64_t bytes = 0;
    };

    SqliteToPg(std::string dataDir, std::string dbUrl) : m_dataDir(std::move(dataDir)), m_dbUrl(std::move(dbUrl)) {}

    // Throws std::runtime_error on failure; what was copied before stays.
    Counts run();

    // "migrate --from DIR --to URL"; prints what it copied.
    static int command(int argc, char **argv);

private:
    std::string m_dataDir;
    std::string m_dbUrl;
};
