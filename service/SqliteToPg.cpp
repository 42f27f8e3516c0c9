#include "SqliteToPg.h"

#include "PgConnection.h"
#include "PgSchema.h"
#include "SqlStatement.h"
#include "SqliteDb.h"

#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {

bool exists(const std::string &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<PgParam> rowOf(const SqlStatement &q)
{
    std::vector<PgParam> row;
    for (int i = 0; i < q.columns(); ++i)
        row.push_back(q.isNull(i) ? PgParam::null() : PgParam(q.text(i)));
    return row;
}

std::string insertSql(const std::string &table, const std::string &columns, const std::string &key)
{
    std::string values;
    int n = 1;
    for (char c : columns + ",") {
        if (c == ',')
            values += (values.empty() ? "$" : ", $") + std::to_string(n++);
    }
    return "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ") ON CONFLICT (" + key + ") DO NOTHING";
}

// Rows of one table that the database does not have yet; returns how many.
std::int64_t copyRows(SqliteDb &from, PgConnection &to, const std::string &table, const std::string &target,
                      const std::string &columns, const std::string &key)
{
    PgTransaction tx(to);
    SqlStatement q(from, ("SELECT " + columns + " FROM " + table + " ORDER BY " + key).c_str());
    const std::string insert = insertSql(target, columns, key);
    // Rows of records carry their account second: a row already there must be this
    // one copied before, not another account's record that happens to have the id.
    const bool owned = columns.rfind("id, idSender", 0) == 0;
    const std::string owner = "SELECT idSender FROM " + target + " WHERE id = $1";
    std::int64_t copied = 0;
    while (q.step()) {
        if (to.query(insert, rowOf(q)).affected() > 0)
            ++copied;
        else if (owned && to.query(owner, {q.int64(0)}).int64(0, 0) != q.int64(1))
            throw std::runtime_error(target + " " + std::to_string(q.int64(0)) +
                                     " belongs to another account: migrate into a new database");
    }
    tx.commit();
    return copied;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void copyRealm(const std::string &root, PgConnection &to, const std::string &schema, SqliteToPg::Counts &counts)
{
    if (!exists(root + "/service.db"))
        return;
    PgSchema::upgrade(to, schema);
    SqliteDb from(root + "/service.db");
    const auto sql = [&schema](const std::string &text) { return PgSchema::qualify(text, schema); };
    counts.clients += copyRows(from, to, "clients", sql("@.clients"),
                               "id, idSender, surname, name, sex, birthday, address, city, province, zipcode, phone,"
                               " email, height, weight, syncKey, created, updated",
                               "id");
    // Nodes already serving drop the client lists they keep for these accounts.
    to.query(sql("INSERT INTO @.client_versions (idSender, version) SELECT DISTINCT idSender, 1 FROM @.clients"
                 " ON CONFLICT (idSender) DO UPDATE SET version = client_versions.version + 1"));
    counts.questionnaires += copyRows(from, to, "anamnesis", sql("@.anamnesis"),
                                      "id, idSender, idUser, name, anamnesiDate, object, syncKey, created, updated", "id");

    // One transaction per exam: its row, its files and their bytes come together.
    const std::string workColumns = "id, idSender, idUser, examDate, kind, examKind, weight, height, bodyFat,"
                                    " activityLevel, note, examZones, bytes, created, updated";
    SqlStatement works(from, ("SELECT " + workColumns + " FROM works ORDER BY id").c_str());
    while (works.step()) {
        PgTransaction tx(to);
        if (to.query(insertSql(sql("@.works"), workColumns, "id"), rowOf(works)).affected() == 0) {
            if (to.query(sql("SELECT idSender FROM @.works WHERE id = $1"), {works.int64(0)}).int64(0, 0) != works.int64(1))
                throw std::runtime_error("exam " + works.text(0) + " belongs to another account: migrate into a new database");
            continue;
        }
        const std::string folder = root + "/files/" + works.text(1) + "/" + works.text(2) + "/" + works.text(0);
        SqlStatement files(from, "SELECT id, workId, name, size FROM files WHERE workId = ? ORDER BY id");
        files.bind(1, works.int64(0));
        std::int64_t fileCount = 0;
        std::uint64_t bytes = 0;
        while (files.step()) {
            to.query(sql("INSERT INTO @.files (id, workId, name, size) VALUES ($1, $2, $3, $4)"), rowOf(files));
            const std::string data = readFile(folder + "/" + files.text(2));
            for (size_t offset = 0, seq = 0; offset < data.size(); offset += 256 * 1024, ++seq)
                to.query(sql("INSERT INTO @.file_chunks (fileId, seq, data) VALUES ($1, $2, $3)"),
                         {files.int64(0), static_cast<std::int64_t>(seq),
                          PgParam::binary(data.substr(offset, 256 * 1024))});
            ++fileCount;
            bytes += data.size();
        }
        tx.commit();
        ++counts.exams;
        counts.files += fileCount;
        counts.bytes += bytes;
    }
    // New records made by the service afterwards get ids above the copied ones.
    for (const char *table : {"clients", "anamnesis", "works", "files"}) {
        const std::string name = schema + "." + table;
        to.query("SELECT setval(pg_get_serial_sequence($1, 'id'), GREATEST((SELECT MAX(id) FROM " + name + "), 1))",
                 {name});
    }
}

}  // namespace

SqliteToPg::Counts SqliteToPg::run()
{
    if (!exists(m_dataDir + "/service.db") && !exists(m_dataDir + "/accounts.db"))
        throw std::runtime_error("no service data in " + m_dataDir);
    PgConnection to(m_dbUrl);
    Counts counts;
    PgSchema::upgrade(to, PgSchema::production);
    if (exists(m_dataDir + "/accounts.db")) {
        SqliteDb from(m_dataDir + "/accounts.db");
        counts.accounts = copyRows(from, to, "accounts", PgSchema::qualify("@.accounts", PgSchema::production),
                                   "number, name, tokenHash, removed, created, tokenChanged", "number");
    }
    copyRealm(m_dataDir, to, PgSchema::production, counts);
    copyRealm(m_dataDir + "/dev", to, PgSchema::development, counts);
    return counts;
}

int SqliteToPg::command(int argc, char **argv)
{
    std::string from;
    std::string to;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--from")
            from = argv[i + 1];
        else if (arg == "--to")
            to = argv[i + 1];
    }
    if (argc != 5 || from.empty() || !isPostgresUrl(to)) {
        std::fputs("Usage: calvestra-service migrate --from DIR --to postgresql://...\n", stderr);
        return 2;
    }
    try {
        const Counts c = SqliteToPg(from, to).run();
        std::printf("copied accounts=%lld clients=%lld questionnaires=%lld exams=%lld files=%lld bytes=%llu\n",
                    static_cast<long long>(c.accounts), static_cast<long long>(c.clients),
                    static_cast<long long>(c.questionnaires), static_cast<long long>(c.exams),
                    static_cast<long long>(c.files), static_cast<unsigned long long>(c.bytes));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "calvestra-service: %s\n", e.what());
        return 1;
    }
    return 0;
}
