#include "PgAccountStore.h"

#include "ExamArchive.h"
#include "FileNames.h"
#include "PgConnection.h"
#include "PgSchema.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <system_error>

namespace {

std::string makeParent(const std::string &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        throw std::runtime_error("cannot create " + dir + ": " + ec.message());
    return dir;
}

// Serialises the writes of one account across every process that shares the
// database: duplicate keys and the quota are checked and written in one step.
void lockAccount(PgConnection &db, std::int64_t account)
{
    db.query("SELECT pg_advisory_xact_lock($1::bigint)", {account});
}

// A file's bytes, fetched one chunk at a time as the download asks for them.
class DatabaseFile : public StoredFile
{
public:
    DatabaseFile(std::shared_ptr<PgPool> pool, std::string select, std::int64_t id, std::uint64_t size)
        : m_pool(std::move(pool)), m_select(std::move(select)), m_id(id), m_size(size)
    {
    }
    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t offset, std::size_t length, std::string &out) override
    {
        const auto seq = static_cast<std::int64_t>(offset / PgAccountStore::chunkSize);
        if (seq != m_seq) {
            auto db = m_pool->take();
            PgResult r = db->query(m_select, {m_id, seq}, true);
            if (r.rows() != 1)
                return false;
            m_chunk = r.bytes(0, 0);
            m_seq = seq;
        }
        const std::size_t from = offset % PgAccountStore::chunkSize;
        if (from >= m_chunk.size())
            return false;
        out.append(m_chunk, from, std::min(length, m_chunk.size() - from));
        return true;
    }

private:
    std::shared_ptr<PgPool> m_pool;
    std::string m_select;
    std::int64_t m_id;
    std::uint64_t m_size;
    std::int64_t m_seq = -1;
    std::string m_chunk;
};

// A file read whole when it was opened.
class MemoryFile : public StoredFile
{
public:
    explicit MemoryFile(std::string data) : m_data(std::move(data)) {}
    std::uint64_t size() const override { return m_data.size(); }
    bool read(std::uint64_t offset, std::size_t length, std::string &out) override
    {
        if (offset >= m_data.size())
            return false;
        out.append(m_data, static_cast<size_t>(offset), length);
        return true;
    }

private:
    std::string m_data;
};

ClientRecord clientAt(const PgResult &r, int i)
{
    ClientRecord c;
    c.id = r.int64(i, 0);
    c.surname = r.text(i, 1);
    c.name = r.text(i, 2);
    c.sex = r.text(i, 3);
    c.birthday = r.text(i, 4);
    c.address = r.text(i, 5);
    c.city = r.text(i, 6);
    c.province = r.text(i, 7);
    c.zipcode = r.text(i, 8);
    c.phone = r.text(i, 9);
    c.email = r.text(i, 10);
    c.height = r.real(i, 11);
    c.weight = r.real(i, 12);
    c.syncKey = r.text(i, 13);
    return c;
}

}  // namespace

PgAccountStore::PgAccountStore(std::shared_ptr<PgPool> pool, const std::string &schema,
                               const std::string &stagingParent)
    : m_pool(std::move(pool)), m_schema(schema),
      m_staging(makeParent(stagingParent), "node-", TempPath::Kind::Folder)
{
    if (!m_staging.valid())
        throw std::runtime_error("cannot create a staging folder in " + stagingParent);
    auto db = m_pool->take();
    PgSchema::upgrade(*db, m_schema);
}

std::string PgAccountStore::sql(const char *text) const { return PgSchema::qualify(text, m_schema); }

bool PgAccountStore::hasClientOn(PgConnection &db, std::int64_t account, std::int64_t id) const
{
    return db.query(sql("SELECT 1 FROM @.clients WHERE id = $1 AND idSender = $2"), {id, account}).rows() > 0;
}

std::int64_t PgAccountStore::idForKey(PgConnection &db, const char *table, std::int64_t account,
                                      const std::string &key) const
{
    if (key.empty())
        return 0;
    const std::string text = std::string("SELECT id FROM @.") + table + " WHERE idSender = $1 AND syncKey = $2 LIMIT 1";
    PgResult r = db.query(sql(text.c_str()), {account, key});
    return r.rows() > 0 ? r.int64(0, 0) : 0;
}

std::vector<ClientRecord> PgAccountStore::clients(std::int64_t account)
{
    auto db = m_pool->take();
    PgResult r = db->query(sql("SELECT id, surname, name, sex, birthday, address, city, province, zipcode, phone,"
                               " email, height, weight, syncKey FROM @.clients WHERE idSender = $1 ORDER BY id"),
                           {account});
    std::vector<ClientRecord> list;
    list.reserve(static_cast<size_t>(r.rows()));
    for (int i = 0; i < r.rows(); ++i)
        list.push_back(clientAt(r, i));
    return list;
}

std::int64_t PgAccountStore::clientsVersion(std::int64_t account)
{
    auto db = m_pool->take();
    PgResult r = db->query(sql("SELECT version FROM @.client_versions WHERE idSender = $1"), {account});
    return r.rows() > 0 ? r.int64(0, 0) : 0;
}

void PgAccountStore::bumpClientsVersion(PgConnection &db, std::int64_t account)
{
    db.query(sql("INSERT INTO @.client_versions (idSender, version) VALUES ($1, 1)"
                 " ON CONFLICT (idSender) DO UPDATE SET version = client_versions.version + 1"),
             {account});
}

bool PgAccountStore::hasClient(std::int64_t account, std::int64_t id)
{
    auto db = m_pool->take();
    return hasClientOn(*db, account, id);
}

std::int64_t PgAccountStore::saveClient(std::int64_t account, const ClientRecord &c)
{
    auto db = m_pool->take();
    PgTransaction tx(*db);
    lockAccount(*db, account);
    std::int64_t id =
        c.id > 0 && hasClientOn(*db, account, c.id) ? c.id : idForKey(*db, "clients", account, c.syncKey);
    std::vector<PgParam> fields{c.surname, c.name, c.sex, c.birthday, c.address, c.city, c.province,
                                c.zipcode, c.phone, c.email, c.height, c.weight, account};
    if (id > 0) {
        fields.emplace_back(id);
        db->query(sql("UPDATE @.clients SET surname = $1, name = $2, sex = $3, birthday = $4, address = $5,"
                      " city = $6, province = $7, zipcode = $8, phone = $9, email = $10, height = $11,"
                      " weight = $12, updated = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')"
                      " WHERE idSender = $13 AND id = $14"),
                  fields);
    } else {
        fields.emplace_back(c.syncKey);
        id = db->query(sql("INSERT INTO @.clients (surname, name, sex, birthday, address, city, province,"
                           " zipcode, phone, email, height, weight, idSender, syncKey)"
                           " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14) RETURNING id"),
                       fields)
                 .int64(0, 0);
    }
    bumpClientsVersion(*db, account);
    tx.commit();
    return id;
}

bool PgAccountStore::deleteClient(std::int64_t account, std::int64_t id)
{
    auto db = m_pool->take();
    PgTransaction tx(*db);
    // Questionnaires, exams, files and their bytes go with the client.
    if (db->query(sql("DELETE FROM @.clients WHERE id = $1 AND idSender = $2"), {id, account}).affected() == 0)
        return false;
    bumpClientsVersion(*db, account);
    tx.commit();
    return true;
}

std::optional<std::vector<AnamnesiRecord>> PgAccountStore::anamnesis(std::int64_t account, std::int64_t idUser)
{
    auto db = m_pool->take();
    if (!hasClientOn(*db, account, idUser))
        return std::nullopt;
    PgResult r = db->query(sql("SELECT id, idUser, name, anamnesiDate, object, syncKey FROM @.anamnesis"
                               " WHERE idSender = $1 AND idUser = $2 ORDER BY anamnesiDate DESC, id DESC"),
                           {account, idUser});
    std::vector<AnamnesiRecord> list;
    for (int i = 0; i < r.rows(); ++i)
        list.push_back({r.int64(i, 0), r.int64(i, 1), r.text(i, 2), r.text(i, 3), r.text(i, 4), r.text(i, 5)});
    return list;
}

std::int64_t PgAccountStore::saveAnamnesi(std::int64_t account, const AnamnesiRecord &a)
{
    auto db = m_pool->take();
    PgTransaction tx(*db);
    lockAccount(*db, account);
    if (!hasClientOn(*db, account, a.idUser))
        return 0;
    for (const std::int64_t id : {a.id, idForKey(*db, "anamnesis", account, a.syncKey)}) {
        if (id <= 0)
            continue;
        const auto changed =
            db->query(sql("UPDATE @.anamnesis SET idUser = $1, name = $2, anamnesiDate = $3, object = $4,"
                          " updated = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')"
                          " WHERE id = $5 AND idSender = $6"),
                      {a.idUser, a.name, a.anamnesiDate, a.object, id, account})
                .affected();
        if (changed > 0) {
            tx.commit();
            return id;
        }
    }
    const std::int64_t id =
        db->query(sql("INSERT INTO @.anamnesis (idSender, idUser, name, anamnesiDate, object, syncKey)"
                      " VALUES ($1, $2, $3, $4, $5, $6) RETURNING id"),
                  {account, a.idUser, a.name, a.anamnesiDate, a.object, a.syncKey})
            .int64(0, 0);
    tx.commit();
    return id;
}

bool PgAccountStore::deleteAnamnesi(std::int64_t account, std::int64_t id)
{
    auto db = m_pool->take();
    return db->query(sql("DELETE FROM @.anamnesis WHERE id = $1 AND idSender = $2"), {id, account}).affected() > 0;
}

std::optional<std::vector<WorkRecord>> PgAccountStore::works(std::int64_t account, std::int64_t idUser)
{
    auto db = m_pool->take();
    if (!hasClientOn(*db, account, idUser))
        return std::nullopt;
    PgResult r = db->query(sql("SELECT id, idUser, examDate, kind, examKind, weight, height, bodyFat, activityLevel,"
                               " note, examZones, bytes FROM @.works WHERE idSender = $1 AND idUser = $2"
                               " ORDER BY examDate, id"),
                           {account, idUser});
    std::vector<WorkRecord> list;
    std::map<std::int64_t, size_t> index;
    for (int i = 0; i < r.rows(); ++i) {
        WorkRecord w;
        w.id = r.int64(i, 0);
        w.idUser = r.int64(i, 1);
        w.examDate = r.text(i, 2);
        w.kind = static_cast<int>(r.int64(i, 3));
        w.examKind = static_cast<int>(r.int64(i, 4));
        w.weight = r.real(i, 5);
        w.height = r.real(i, 6);
        w.bodyFat = r.real(i, 7);
        w.activityLevel = static_cast<int>(r.int64(i, 8));
        w.note = r.text(i, 9);
        w.examZones = r.text(i, 10);
        w.bytes = static_cast<std::uint64_t>(r.int64(i, 11));
        index[w.id] = list.size();
        list.push_back(std::move(w));
    }
    PgResult f = db->query(sql("SELECT files.workId, files.name FROM @.files JOIN @.works ON files.workId = works.id"
                               " WHERE works.idSender = $1 AND works.idUser = $2"),
                           {account, idUser});
    for (int i = 0; i < f.rows(); ++i) {
        const auto found = index.find(f.int64(i, 0));
        std::string name = f.text(i, 1);
        if (found != index.end() && FileNames::extension(name) == "jpg")
            list[found->second].scanFilenames.push_back(std::move(name));
    }
    for (WorkRecord &w : list)
        std::sort(w.scanFilenames.begin(), w.scanFilenames.end(), FileNames::lessIgnoringCase);
    return list;
}

std::uint64_t PgAccountStore::uploadRoom(std::int64_t account, std::uint64_t quotaBytes)
{
    auto db = m_pool->take();
    PgResult r = db->query(sql("SELECT COALESCE(SUM(bytes), 0), COALESCE(MAX(bytes), 0) FROM @.works"
                               " WHERE idSender = $1"),
                           {account});
    const auto used = static_cast<std::uint64_t>(r.int64(0, 0));
    const auto largest = static_cast<std::uint64_t>(r.int64(0, 1));
    return (used > quotaBytes ? 0 : quotaBytes - used) + largest;
}

AccountStore::ExamOutcome PgAccountStore::storeExam(std::int64_t account, WorkRecord &work,
                                                    const ExamArchive &archive, std::uint64_t quotaBytes,
                                                    std::string &error)
{
    const std::uint64_t incoming = archive.totalSize();
    // Bytes the upload would leave in use: a repeated day replaces its earlier files.
    auto wouldUse = [&](PgConnection &db) {
        // Two subqueries, so the sum can be read from the bytes index alone.
        PgResult r = db.query(sql("SELECT (SELECT COALESCE(SUM(bytes), 0) FROM @.works WHERE idSender = $1)"
                                  " - COALESCE((SELECT bytes FROM @.works"
                                  " WHERE idSender = $1 AND idUser = $2 AND examDate = $3), 0)"),
                              {account, work.idUser, work.examDate});
        return static_cast<std::uint64_t>(r.int64(0, 0)) + incoming;
    };

    auto db = m_pool->take();
    // A first look, so an upload that cannot be stored writes nothing.
    if (!hasClientOn(*db, account, work.idUser))
        return ExamOutcome::UnknownClient;
    if (wouldUse(*db) > quotaBytes)
        return ExamOutcome::QuotaExceeded;

    PgTransaction tx(*db);
    // The bytes first, in files that belong to no exam yet: the account is locked only
    // for the short step that checks the quota and links them.
    std::vector<std::int64_t> fileIds;
    const std::string addFile = sql("INSERT INTO @.files (workId, name, size) VALUES (NULL, $1, $2) RETURNING id");
    const std::string addChunk = sql("INSERT INTO @.file_chunks (fileId, seq, data) VALUES ($1, $2, $3)");
    for (const ExamArchive::Entry &entry : archive.entries()) {
        const std::int64_t fileId =
            db->query(addFile, {entry.name, static_cast<std::int64_t>(entry.size)}).int64(0, 0);
        fileIds.push_back(fileId);
        std::string chunk;
        std::int64_t seq = 0;
        auto flush = [&] {
            db->query(addChunk, {fileId, seq++, PgParam::binary(std::move(chunk))});
            chunk.clear();
        };
        const bool ok = archive.readEntry(
            entry,
            [&](const char *data, size_t size) {
                while (size > 0) {
                    const size_t take = std::min(size, chunkSize - chunk.size());
                    chunk.append(data, take);
                    data += take;
                    size -= take;
                    if (chunk.size() == chunkSize)
                        flush();
                }
                return true;
            },
            error);
        if (!ok)
            return ExamOutcome::BadArchive;
        if (!chunk.empty())
            flush();
    }

    lockAccount(*db, account);
    // Checked again under the lock: the client may have gone, or another upload (on
    // any node) used the space.
    if (!hasClientOn(*db, account, work.idUser))
        return ExamOutcome::UnknownClient;
    if (wouldUse(*db) > quotaBytes)
        return ExamOutcome::QuotaExceeded;

    const std::int64_t workId =
        db->query(sql("INSERT INTO @.works (idSender, idUser, examDate, kind, examKind, weight, height, bodyFat,"
                      " activityLevel, note, examZones, bytes) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12)"
                      " ON CONFLICT (idSender, idUser, examDate) DO UPDATE SET kind = EXCLUDED.kind,"
                      " examKind = EXCLUDED.examKind, weight = EXCLUDED.weight, height = EXCLUDED.height,"
                      " bodyFat = EXCLUDED.bodyFat, activityLevel = EXCLUDED.activityLevel, note = EXCLUDED.note,"
                      " examZones = EXCLUDED.examZones, bytes = EXCLUDED.bytes,"
                      " updated = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS') RETURNING id"),
                  {account, work.idUser, work.examDate, work.kind, work.examKind, work.weight, work.height,
                   work.bodyFat, work.activityLevel, work.note, work.examZones, static_cast<std::int64_t>(incoming)})
            .int64(0, 0);
    db->query(sql("DELETE FROM @.files WHERE workId = $1"), {workId});
    std::string ids = "{";
    for (const std::int64_t id : fileIds)
        ids += (ids.size() > 1 ? "," : "") + std::to_string(id);
    ids += "}";
    db->query(sql("UPDATE @.files SET workId = $1 WHERE id = ANY($2::bigint[])"), {workId, ids});
    tx.commit();

    work.scanFilenames.clear();
    for (const ExamArchive::Entry &entry : archive.entries()) {
        if (FileNames::extension(entry.name) == "jpg")
            work.scanFilenames.push_back(entry.name);
    }
    std::sort(work.scanFilenames.begin(), work.scanFilenames.end(), FileNames::lessIgnoringCase);
    work.id = workId;
    work.bytes = incoming;
    return ExamOutcome::Stored;
}

std::unique_ptr<StoredFile> PgAccountStore::openFile(std::int64_t account, std::int64_t idUser,
                                                     const std::string &name)
{
    if (!FileNames::isSafeFileName(name))
        return nullptr;
    auto db = m_pool->take();
    // The file found and its bytes in one statement, so in one snapshot: a day sent again
    // meanwhile leaves a download of common size whole, the old file or the new one.
    PgResult r = db->query(sql("WITH f AS (SELECT files.id, files.size FROM @.files JOIN @.works"
                               " ON files.workId = works.id WHERE works.idSender = $1 AND works.idUser = $2"
                               " AND files.name = $3 ORDER BY works.examDate DESC, works.id DESC LIMIT 1)"
                               " SELECT f.id::text, f.size::text, c.data FROM f LEFT JOIN @.file_chunks c"
                               " ON c.fileId = f.id AND f.size <= $4 ORDER BY c.seq"),
                           {account, idUser, name, static_cast<std::int64_t>(wholeFileLimit)}, true);
    if (r.rows() == 0)
        return nullptr;
    const std::int64_t id = r.int64(0, 0);
    const auto size = static_cast<std::uint64_t>(r.int64(0, 1));
    if (size > wholeFileLimit)
        return std::make_unique<DatabaseFile>(
            m_pool, sql("SELECT data FROM @.file_chunks WHERE fileId = $1 AND seq = $2"), id, size);
    std::string data;
    data.reserve(size);
    for (int i = 0; i < r.rows(); ++i) {
        if (!r.null(i, 2))
            data += r.bytes(i, 2);
    }
    return data.size() == size ? std::make_unique<MemoryFile>(std::move(data)) : nullptr;
}
