#include "PgSchema.h"

#include "PgConnection.h"

#include <vector>

namespace {

constexpr const char *stamp = "to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')";

// Step n brings a schema from version n to n + 1. Steps are never edited once
// released: a change is a new step.
std::vector<std::string> steps(bool withAccounts)
{
    const std::string now = stamp;
    std::string records =
        "CREATE TABLE @.clients ("
        " id BIGSERIAL PRIMARY KEY, idSender BIGINT NOT NULL,"
        " surname TEXT NOT NULL DEFAULT '', name TEXT NOT NULL DEFAULT '', sex TEXT NOT NULL DEFAULT '',"
        " birthday TEXT NOT NULL DEFAULT '', address TEXT NOT NULL DEFAULT '', city TEXT NOT NULL DEFAULT '',"
        " province TEXT NOT NULL DEFAULT '', zipcode TEXT NOT NULL DEFAULT '', phone TEXT NOT NULL DEFAULT '',"
        " email TEXT NOT NULL DEFAULT '', height DOUBLE PRECISION NOT NULL DEFAULT 0,"
        " weight DOUBLE PRECISION NOT NULL DEFAULT 0, syncKey TEXT NOT NULL DEFAULT '',"
        " created TEXT NOT NULL DEFAULT " + now + ", updated TEXT NOT NULL DEFAULT " + now + ");"
        "CREATE INDEX ON @.clients (idSender, syncKey);"
        "CREATE TABLE @.anamnesis ("
        " id BIGSERIAL PRIMARY KEY, idSender BIGINT NOT NULL,"
        " idUser BIGINT NOT NULL REFERENCES @.clients(id) ON DELETE CASCADE,"
        " name TEXT NOT NULL DEFAULT '', anamnesiDate TEXT NOT NULL DEFAULT '', object TEXT NOT NULL,"
        " syncKey TEXT NOT NULL DEFAULT '',"
        " created TEXT NOT NULL DEFAULT " + now + ", updated TEXT NOT NULL DEFAULT " + now + ");"
        "CREATE INDEX ON @.anamnesis (idSender, idUser);"
        "CREATE INDEX ON @.anamnesis (idSender, syncKey);"
        "CREATE TABLE @.works ("
        " id BIGSERIAL PRIMARY KEY, idSender BIGINT NOT NULL,"
        " idUser BIGINT NOT NULL REFERENCES @.clients(id) ON DELETE CASCADE,"
        " examDate TEXT NOT NULL, kind INTEGER NOT NULL DEFAULT 2, examKind INTEGER NOT NULL DEFAULT 2,"
        " weight DOUBLE PRECISION NOT NULL DEFAULT 0, height DOUBLE PRECISION NOT NULL DEFAULT 0,"
        " bodyFat DOUBLE PRECISION NOT NULL DEFAULT 0, activityLevel INTEGER NOT NULL DEFAULT 0,"
        " note TEXT NOT NULL DEFAULT '', examZones TEXT NOT NULL DEFAULT '', bytes BIGINT NOT NULL DEFAULT 0,"
        " created TEXT NOT NULL DEFAULT " + now + ", updated TEXT NOT NULL DEFAULT " + now + ","
        " UNIQUE (idSender, idUser, examDate));"
        // workId stays NULL while an upload writes the file's bytes; it is set in the
        // same transaction once the quota allows, so nobody ever sees a partial exam.
        "CREATE TABLE @.files ("
        " id BIGSERIAL PRIMARY KEY, workId BIGINT REFERENCES @.works(id) ON DELETE CASCADE,"
        " name TEXT NOT NULL, size BIGINT NOT NULL, UNIQUE (workId, name));"
        "CREATE INDEX ON @.files (name);"
        "CREATE TABLE @.file_chunks ("
        " fileId BIGINT NOT NULL REFERENCES @.files(id) ON DELETE CASCADE,"
        " seq INTEGER NOT NULL, data BYTEA NOT NULL, PRIMARY KEY (fileId, seq));";
    // The development schema has no accounts: the same step number does nothing there.
    const std::string accounts = withAccounts ? "CREATE TABLE @.accounts ("
                                                " number BIGINT PRIMARY KEY, name TEXT NOT NULL DEFAULT '',"
                                                " tokenHash TEXT UNIQUE, removed INTEGER NOT NULL DEFAULT 0,"
                                                " created TEXT NOT NULL DEFAULT " + now + ","
                                                " tokenChanged TEXT NOT NULL DEFAULT " + now + ");"
                                              : "SELECT 1";
    // Bumped with every change of an account's clients: nodes keep the client list's
    // text until it moves.
    const std::string clientVersions =
        "CREATE TABLE @.client_versions (idSender BIGINT PRIMARY KEY, version BIGINT NOT NULL)";
    // Every upload sums its account's exams for the quota: from this index alone.
    const std::string bytesIndex = "CREATE INDEX works_bytes ON @.works (idSender) INCLUDE (bytes)";
    // Failed token checks per address, counted by every node together. Unlogged: a
    // minute's counts need no crash safety and no standby.
    const std::string authFailures =
        withAccounts ? "CREATE UNLOGGED TABLE @.auth_failures (address TEXT PRIMARY KEY,"
                       " tokens DOUBLE PRECISION NOT NULL, updated TIMESTAMPTZ NOT NULL)"
                     : "SELECT 1";
    return {records, accounts, clientVersions, bytesIndex, authFailures};
}

// Held for the whole upgrade; released even when a step fails.
class SchemaLock
{
public:
    explicit SchemaLock(PgConnection &db) : m_db(db) { m_db.exec("SELECT pg_advisory_lock(hashtext('calvestra schema'))"); }
    ~SchemaLock()
    {
        try {
            m_db.exec("SELECT pg_advisory_unlock(hashtext('calvestra schema'))");
        } catch (...) {
            // The lock ends with the session anyway.
        }
    }
    SchemaLock(const SchemaLock &) = delete;
    SchemaLock &operator=(const SchemaLock &) = delete;

private:
    PgConnection &m_db;
};

}  // namespace

namespace PgSchema {

std::string qualify(const std::string &sql, const std::string &schema)
{
    std::string out;
    out.reserve(sql.size() + 64);
    for (size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] == '@' && i + 1 < sql.size() && sql[i + 1] == '.')
            out += schema;
        else
            out += sql[i];
    }
    return out;
}

void upgrade(PgConnection &db, const std::string &schema)
{
    SchemaLock lock(db);
    db.exec("CREATE SCHEMA IF NOT EXISTS " + schema + ";"
            "CREATE TABLE IF NOT EXISTS " + schema + ".schema_version (version INTEGER NOT NULL)");
    const auto list = steps(schema == production);
    const std::int64_t current =
        db.query(qualify("SELECT COALESCE(MAX(version), 0) FROM @.schema_version", schema)).int64(0, 0);
    for (auto version = current; version < static_cast<std::int64_t>(list.size()); ++version) {
        PgTransaction tx(db);
        db.exec(qualify(list[static_cast<size_t>(version)], schema));
        db.query(qualify("INSERT INTO @.schema_version (version) VALUES ($1)", schema), {version + 1});
        tx.commit();
    }
}

}  // namespace PgSchema
