#include "SqliteAccountStore.h"

#include "DiskFile.h"
#include "ExamArchive.h"
#include "FileNames.h"
#include "OwnedFd.h"
#include "SqlStatement.h"
#include "TempPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string prepareRoot(const std::string &root)
{
    std::error_code ec;
    fs::create_directories(root + "/files", ec);
    if (ec)
        throw std::runtime_error("cannot create " + root + "/files: " + ec.message());
    // Whatever is left in tmp/ belongs to requests of an earlier run.
    fs::remove_all(root + "/tmp", ec);
    fs::create_directories(root + "/tmp", ec);
    if (ec)
        throw std::runtime_error("cannot create " + root + "/tmp: " + ec.message());
    return root + "/service.db";
}

// Swaps two folders' names at once where the file system can; elsewhere in three renames.
bool exchangeFolders(const std::string &a, const std::string &b)
{
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    const std::string aside = a + "-aside";
    if (::rename(a.c_str(), aside.c_str()) != 0)
        return false;
    if (::rename(b.c_str(), a.c_str()) != 0) {
        ::rename(aside.c_str(), a.c_str());
        return false;
    }
    return ::rename(aside.c_str(), b.c_str()) == 0;
}

}  // namespace

SqliteAccountStore::SqliteAccountStore(const std::string &root)
    : m_root(root), m_db(prepareRoot(root)), m_readers(root + "/service.db"),
      m_checkpointer(root + "/service.db", std::chrono::milliseconds(500))
{
    m_db.exec("PRAGMA wal_autocheckpoint = 0");
    createSchema();
}

void SqliteAccountStore::createSchema()
{
    m_db.exec(
        "CREATE TABLE IF NOT EXISTS clients ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT, idSender INTEGER NOT NULL,"
        " surname TEXT NOT NULL DEFAULT '', name TEXT NOT NULL DEFAULT '', sex TEXT NOT NULL DEFAULT '',"
        " birthday TEXT NOT NULL DEFAULT '', address TEXT NOT NULL DEFAULT '', city TEXT NOT NULL DEFAULT '',"
        " province TEXT NOT NULL DEFAULT '', zipcode TEXT NOT NULL DEFAULT '', phone TEXT NOT NULL DEFAULT '',"
        " email TEXT NOT NULL DEFAULT '', height REAL NOT NULL DEFAULT 0, weight REAL NOT NULL DEFAULT 0,"
        " created TEXT NOT NULL DEFAULT (datetime('now')), updated TEXT NOT NULL DEFAULT (datetime('now')));"
        "CREATE INDEX IF NOT EXISTS clients_sender ON clients(idSender);"
        "CREATE TABLE IF NOT EXISTS anamnesis ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT, idSender INTEGER NOT NULL,"
        " idUser INTEGER NOT NULL REFERENCES clients(id) ON DELETE CASCADE,"
        " name TEXT NOT NULL DEFAULT '', anamnesiDate TEXT NOT NULL DEFAULT '', object TEXT NOT NULL,"
        " created TEXT NOT NULL DEFAULT (datetime('now')), updated TEXT NOT NULL DEFAULT (datetime('now')));"
        "CREATE INDEX IF NOT EXISTS anamnesis_user ON anamnesis(idSender, idUser);"
        "CREATE TABLE IF NOT EXISTS works ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT, idSender INTEGER NOT NULL,"
        " idUser INTEGER NOT NULL REFERENCES clients(id) ON DELETE CASCADE,"
        " examDate TEXT NOT NULL, kind INTEGER NOT NULL DEFAULT 2, examKind INTEGER NOT NULL DEFAULT 2,"
        " weight REAL NOT NULL DEFAULT 0, height REAL NOT NULL DEFAULT 0, bodyFat REAL NOT NULL DEFAULT 0,"
        " activityLevel INTEGER NOT NULL DEFAULT 0, note TEXT NOT NULL DEFAULT '',"
        " examZones TEXT NOT NULL DEFAULT '', bytes INTEGER NOT NULL DEFAULT 0,"
        " created TEXT NOT NULL DEFAULT (datetime('now')), updated TEXT NOT NULL DEFAULT (datetime('now')),"
        " UNIQUE (idSender, idUser, examDate));"
        "CREATE TABLE IF NOT EXISTS files ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " workId INTEGER NOT NULL REFERENCES works(id) ON DELETE CASCADE,"
        " name TEXT NOT NULL, size INTEGER NOT NULL, UNIQUE (workId, name));"
        "CREATE INDEX IF NOT EXISTS files_name ON files(name);");
    // Added later: the keys that make a repeated creation find the first one's record.
    for (const char *table : {"clients", "anamnesis"}) {
        if (!hasColumn(table, "syncKey"))
            m_db.exec(std::string("ALTER TABLE ") + table + " ADD COLUMN syncKey TEXT NOT NULL DEFAULT ''");
    }
    m_db.exec("CREATE INDEX IF NOT EXISTS clients_key ON clients(idSender, syncKey);"
              "CREATE INDEX IF NOT EXISTS anamnesis_key ON anamnesis(idSender, syncKey);");
    // Every upload sums its account's exams for the quota, under the writer's lock: from
    // this index alone, without a visit to each exam's row (which at a few thousand exams
    // took a tenth of the service's time while uploads came in).
    m_db.exec("CREATE INDEX IF NOT EXISTS works_bytes ON works(idSender, bytes);");
}

bool SqliteAccountStore::hasColumn(const char *table, const char *column)
{
    SqlStatement q(m_db, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
    q.bind(1, std::string(table)).bind(2, std::string(column));
    return q.step();
}

std::int64_t SqliteAccountStore::idForKey(const char *table, std::int64_t account, const std::string &key)
{
    if (key.empty())
        return 0;
    const std::string sql = std::string("SELECT id FROM ") + table + " WHERE idSender = ? AND syncKey = ? LIMIT 1";
    SqlStatement q(m_db, sql.c_str());
    q.bind(1, account).bind(2, key);
    return q.step() ? q.int64(0) : 0;
}

std::string SqliteAccountStore::clientFolder(std::int64_t account, std::int64_t idUser) const
{
    return m_root + "/files/" + std::to_string(account) + "/" + std::to_string(idUser);
}

std::string SqliteAccountStore::workFolder(std::int64_t account, std::int64_t idUser, std::int64_t workId) const
{
    return clientFolder(account, idUser) + "/" + std::to_string(workId);
}

void SqliteAccountStore::discardFolder(const std::string &path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::vector<ClientRecord> SqliteAccountStore::clients(std::int64_t account)
{
    SqliteReaders::Lease reader(m_readers);
    SqlStatement q(reader.db(),
                   "SELECT id, surname, name, sex, birthday, address, city, province, zipcode, phone, email,"
                   " height, weight, syncKey FROM clients WHERE idSender = ? ORDER BY id");
    q.bind(1, account);
    std::vector<ClientRecord> list;
    while (q.step()) {
        ClientRecord c;
        c.id = q.int64(0);
        c.surname = q.text(1);
        c.name = q.text(2);
        c.sex = q.text(3);
        c.birthday = q.text(4);
        c.address = q.text(5);
        c.city = q.text(6);
        c.province = q.text(7);
        c.zipcode = q.text(8);
        c.phone = q.text(9);
        c.email = q.text(10);
        c.height = q.real(11);
        c.weight = q.real(12);
        c.syncKey = q.text(13);
        list.push_back(std::move(c));
    }
    return list;
}

std::int64_t SqliteAccountStore::clientsVersion(std::int64_t account)
{
    std::lock_guard<std::mutex> lock(m_versionMutex);
    return m_clientChanges[account];
}

bool SqliteAccountStore::hasClientIn(SqliteDb &db, std::int64_t account, std::int64_t id)
{
    SqlStatement q(db, "SELECT 1 FROM clients WHERE id = ? AND idSender = ?");
    q.bind(1, id).bind(2, account);
    return q.step();
}

bool SqliteAccountStore::hasClient(std::int64_t account, std::int64_t id)
{
    SqliteReaders::Lease reader(m_readers);
    return hasClientIn(reader.db(), account, id);
}

std::int64_t SqliteAccountStore::saveClient(std::int64_t account, const ClientRecord &c)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t id = saveClientLocked(account, c);
    std::lock_guard<std::mutex> version(m_versionMutex);
    ++m_clientChanges[account];
    return id;
}

std::int64_t SqliteAccountStore::saveClientLocked(std::int64_t account, const ClientRecord &c)
{
    auto bindFields = [&c](SqlStatement &q) {
        q.bind(1, c.surname).bind(2, c.name).bind(3, c.sex).bind(4, c.birthday).bind(5, c.address);
        q.bind(6, c.city).bind(7, c.province).bind(8, c.zipcode).bind(9, c.phone).bind(10, c.email);
        q.bind(11, c.height).bind(12, c.weight);
    };
    std::int64_t id = c.id > 0 && hasClientIn(m_db, account, c.id) ? c.id : idForKey("clients", account, c.syncKey);
    if (id > 0) {
        SqlStatement q(m_db,
                       "UPDATE clients SET surname = ?, name = ?, sex = ?, birthday = ?, address = ?,"
                       " city = ?, province = ?, zipcode = ?, phone = ?, email = ?, height = ?, weight = ?,"
                       " updated = datetime('now') WHERE id = ? AND idSender = ?");
        bindFields(q);
        q.bind(13, id).bind(14, account);
        q.run();
        return id;
    }
    SqlStatement q(m_db,
                   "INSERT INTO clients (surname, name, sex, birthday, address, city, province, zipcode,"
                   " phone, email, height, weight, idSender, syncKey)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bindFields(q);
    q.bind(13, account).bind(14, c.syncKey);
    q.run();
    return m_db.lastInsertId();
}

bool SqliteAccountStore::deleteClient(std::int64_t account, std::int64_t id)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!hasClientIn(m_db, account, id))
            return false;
        SqliteTransaction tx(m_db);
        // files rows go with their works, works and questionnaires with the client.
        SqlStatement q(m_db, "DELETE FROM clients WHERE id = ? AND idSender = ?");
        q.bind(1, id).bind(2, account);
        q.run();
        tx.commit();
        std::lock_guard<std::mutex> version(m_versionMutex);
        ++m_clientChanges[account];
    }
    discardFolder(clientFolder(account, id));
    return true;
}

std::optional<std::vector<AnamnesiRecord>> SqliteAccountStore::anamnesis(std::int64_t account, std::int64_t idUser)
{
    SqliteReaders::Lease reader(m_readers);
    if (!hasClientIn(reader.db(), account, idUser))
        return std::nullopt;
    SqlStatement q(reader.db(),
                   "SELECT id, idUser, name, anamnesiDate, object, syncKey FROM anamnesis"
                   " WHERE idSender = ? AND idUser = ? ORDER BY anamnesiDate DESC, id DESC");
    q.bind(1, account).bind(2, idUser);
    std::vector<AnamnesiRecord> list;
    while (q.step()) {
        AnamnesiRecord a;
        a.id = q.int64(0);
        a.idUser = q.int64(1);
        a.name = q.text(2);
        a.anamnesiDate = q.text(3);
        a.object = q.text(4);
        a.syncKey = q.text(5);
        list.push_back(std::move(a));
    }
    return list;
}

std::int64_t SqliteAccountStore::saveAnamnesi(std::int64_t account, const AnamnesiRecord &a)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!hasClientIn(m_db, account, a.idUser))
        return 0;
    for (const std::int64_t id : {a.id, idForKey("anamnesis", account, a.syncKey)}) {
        if (id <= 0)
            continue;
        SqlStatement q(m_db,
                       "UPDATE anamnesis SET idUser = ?, name = ?, anamnesiDate = ?, object = ?,"
                       " updated = datetime('now') WHERE id = ? AND idSender = ?");
        q.bind(1, a.idUser).bind(2, a.name).bind(3, a.anamnesiDate).bind(4, a.object);
        q.bind(5, id).bind(6, account);
        q.run();
        if (m_db.changes() > 0)
            return id;
    }
    SqlStatement q(m_db,
                   "INSERT INTO anamnesis (idSender, idUser, name, anamnesiDate, object, syncKey)"
                   " VALUES (?, ?, ?, ?, ?, ?)");
    q.bind(1, account).bind(2, a.idUser).bind(3, a.name).bind(4, a.anamnesiDate).bind(5, a.object);
    q.bind(6, a.syncKey);
    q.run();
    return m_db.lastInsertId();
}

bool SqliteAccountStore::deleteAnamnesi(std::int64_t account, std::int64_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SqlStatement q(m_db, "DELETE FROM anamnesis WHERE id = ? AND idSender = ?");
    q.bind(1, id).bind(2, account);
    q.run();
    return m_db.changes() > 0;
}

std::optional<std::vector<WorkRecord>> SqliteAccountStore::works(std::int64_t account, std::int64_t idUser)
{
    SqliteReaders::Lease reader(m_readers);
    if (!hasClientIn(reader.db(), account, idUser))
        return std::nullopt;
    SqlStatement q(reader.db(),
                   "SELECT id, idUser, examDate, kind, examKind, weight, height, bodyFat, activityLevel,"
                   " note, examZones, bytes FROM works WHERE idSender = ? AND idUser = ?"
                   " ORDER BY examDate, id");
    q.bind(1, account).bind(2, idUser);
    std::vector<WorkRecord> list;
    while (q.step()) {
        WorkRecord w;
        w.id = q.int64(0);
        w.idUser = q.int64(1);
        w.examDate = q.text(2);
        w.kind = static_cast<int>(q.int64(3));
        w.examKind = static_cast<int>(q.int64(4));
        w.weight = q.real(5);
        w.height = q.real(6);
        w.bodyFat = q.real(7);
        w.activityLevel = static_cast<int>(q.int64(8));
        w.note = q.text(9);
        w.examZones = q.text(10);
        w.bytes = static_cast<std::uint64_t>(q.int64(11));
        list.push_back(std::move(w));
    }
    for (WorkRecord &w : list) {
        SqlStatement f(reader.db(), "SELECT name FROM files WHERE workId = ?");
        f.bind(1, w.id);
        while (f.step()) {
            std::string name = f.text(0);
            if (FileNames::extension(name) == "jpg")
                w.scanFilenames.push_back(std::move(name));
        }
        std::sort(w.scanFilenames.begin(), w.scanFilenames.end(), FileNames::lessIgnoringCase);
    }
    return list;
}

std::uint64_t SqliteAccountStore::bytesAfter(SqliteDb &db, std::int64_t account, const WorkRecord &work,
                                             std::uint64_t incoming)
{
    // Two subqueries, so each reads one index: the sum the bytes index, the day the exam's key.
    SqlStatement q(db,
                   "SELECT (SELECT COALESCE(SUM(bytes), 0) FROM works WHERE idSender = ?1)"
                   " - COALESCE((SELECT bytes FROM works WHERE idSender = ?1 AND idUser = ?2 AND examDate = ?3), 0)");
    q.bind(1, account).bind(2, work.idUser).bind(3, work.examDate);
    q.step();
    return static_cast<std::uint64_t>(q.int64(0)) + incoming;
}

std::uint64_t SqliteAccountStore::uploadRoom(std::int64_t account, std::uint64_t quotaBytes)
{
    SqliteReaders::Lease reader(m_readers);
    SqlStatement q(reader.db(),
                   "SELECT COALESCE(SUM(bytes), 0), COALESCE(MAX(bytes), 0) FROM works WHERE idSender = ?");
    q.bind(1, account);
    q.step();
    const auto used = static_cast<std::uint64_t>(q.int64(0));
    const auto largest = static_cast<std::uint64_t>(q.int64(1));
    return (used > quotaBytes ? 0 : quotaBytes - used) + largest;
}

AccountStore::ExamOutcome SqliteAccountStore::storeExam(std::int64_t account, WorkRecord &work,
                                                  const ExamArchive &archive, std::uint64_t quotaBytes,
                                                  std::string &error)
{
    const std::uint64_t incoming = archive.totalSize();
    {
        SqliteReaders::Lease reader(m_readers);
        if (!hasClientIn(reader.db(), account, work.idUser))
            return ExamOutcome::UnknownClient;
        if (bytesAfter(reader.db(), account, work, incoming) > quotaBytes)
            return ExamOutcome::QuotaExceeded;
    }

    // Unpacking may take a while: it happens outside the lock, in a private folder.
    TempPath staging(tempDir(), "stage-", TempPath::Kind::Folder);
    if (!staging.valid())
        throw std::runtime_error("cannot create a staging folder in " + tempDir() + ": " + std::strerror(errno));
    if (!archive.extractTo(staging.path(), error))
        return ExamOutcome::BadArchive;
    // The client's folder, made and on the disk before the lock: only the rename into it
    // waits for the disk while other writes wait for the lock.
    const std::string client = clientFolder(account, work.idUser);
    std::error_code ec;
    const bool made = fs::create_directories(client, ec);
    if (ec)
        throw std::runtime_error("cannot create " + client + ": " + ec.message());
    if (made) {
        for (const std::string &folder : {m_root + "/files", m_root + "/files/" + std::to_string(account)})
            syncPath(folder, O_DIRECTORY);
    }

    bool replaced = false;
    const ExamOutcome outcome = recordExam(account, work, incoming, quotaBytes, archive, staging.path(), replaced);
    if (outcome != ExamOutcome::Stored)
        return outcome;
    if (!replaced)
        staging.release();  // the folder is the exam's now; otherwise it holds the old files
    // Acknowledged only once on the disk: the rename, and the commit, which (like every
    // commit here) only wrote to the log. Syncing the log file outside the lock lets the
    // other writes go on; frames a checkpoint already moved out were synced by it.
    syncPath(client, O_DIRECTORY);
    syncPath(m_root + "/service.db-wal", 0);
    return ExamOutcome::Stored;
}

// Under the lock, every statement gone before it is let go: the connection is not
// safe for two threads at once.
AccountStore::ExamOutcome SqliteAccountStore::recordExam(std::int64_t account, WorkRecord &work,
                                                         std::uint64_t incoming, std::uint64_t quotaBytes,
                                                         const ExamArchive &archive, const std::string &staged,
                                                         bool &replaced)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Checked again: the client may have gone, or another upload used the space.
    if (!hasClientIn(m_db, account, work.idUser))
        return ExamOutcome::UnknownClient;
    if (bytesAfter(m_db, account, work, incoming) > quotaBytes)
        return ExamOutcome::QuotaExceeded;

    SqliteTransaction tx(m_db);
    SqlStatement find(m_db, "SELECT id FROM works WHERE idSender = ? AND idUser = ? AND examDate = ?");
    find.bind(1, account).bind(2, work.idUser).bind(3, work.examDate);
    std::int64_t workId = find.step() ? find.int64(0) : 0;
    if (workId > 0) {
        SqlStatement up(m_db,
                        "UPDATE works SET kind = ?, examKind = ?, weight = ?, height = ?, bodyFat = ?,"
                        " activityLevel = ?, note = ?, examZones = ?, bytes = ?, updated = datetime('now')"
                        " WHERE id = ?");
        up.bind(1, static_cast<std::int64_t>(work.kind)).bind(2, static_cast<std::int64_t>(work.examKind));
        up.bind(3, work.weight).bind(4, work.height).bind(5, work.bodyFat);
        up.bind(6, static_cast<std::int64_t>(work.activityLevel)).bind(7, work.note).bind(8, work.examZones);
        up.bind(9, static_cast<std::int64_t>(incoming)).bind(10, workId);
        up.run();
        SqlStatement clear(m_db, "DELETE FROM files WHERE workId = ?");
        clear.bind(1, workId);
        clear.run();
    } else {
        SqlStatement ins(m_db,
                         "INSERT INTO works (idSender, idUser, examDate, kind, examKind, weight, height,"
                         " bodyFat, activityLevel, note, examZones, bytes)"
                         " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        ins.bind(1, account).bind(2, work.idUser).bind(3, work.examDate);
        ins.bind(4, static_cast<std::int64_t>(work.kind)).bind(5, static_cast<std::int64_t>(work.examKind));
        ins.bind(6, work.weight).bind(7, work.height).bind(8, work.bodyFat);
        ins.bind(9, static_cast<std::int64_t>(work.activityLevel)).bind(10, work.note);
        ins.bind(11, work.examZones).bind(12, static_cast<std::int64_t>(incoming));
        ins.run();
        workId = m_db.lastInsertId();
    }
    work.scanFilenames.clear();
    for (const ExamArchive::Entry &entry : archive.entries()) {
        SqlStatement f(m_db, "INSERT INTO files (workId, name, size) VALUES (?, ?, ?)");
        f.bind(1, workId).bind(2, entry.name).bind(3, static_cast<std::int64_t>(entry.size));
        f.run();
        if (FileNames::extension(entry.name) == "jpg")
            work.scanFilenames.push_back(entry.name);
    }
    std::sort(work.scanFilenames.begin(), work.scanFilenames.end(), FileNames::lessIgnoringCase);

    const std::string target = workFolder(account, work.idUser, workId);
    // An earlier exam of that day trades places with the new one in one step, so a
    // download meanwhile finds the one or the other; the old files end up in `staged`.
    std::error_code ec;
    replaced = fs::exists(target, ec);
    const bool placed = replaced ? exchangeFolders(staged, target) : ::rename(staged.c_str(), target.c_str()) == 0;
    if (!placed)
        throw std::runtime_error("cannot move the exam's files to " + target + ": " + std::strerror(errno));
    try {
        tx.commit();
    } catch (...) {
        if (replaced)
            exchangeFolders(staged, target);
        else
            ::rename(target.c_str(), staged.c_str());
        throw;
    }
    work.id = workId;
    work.bytes = incoming;
    return ExamOutcome::Stored;
}

std::optional<std::string> SqliteAccountStore::filePath(std::int64_t account, std::int64_t idUser,
                                                  const std::string &name)
{
    if (!FileNames::isSafeFileName(name))
        return std::nullopt;
    SqliteReaders::Lease reader(m_readers);
    SqlStatement q(reader.db(),
                   "SELECT works.id FROM files JOIN works ON files.workId = works.id"
                   " WHERE works.idSender = ? AND works.idUser = ? AND files.name = ?"
                   " ORDER BY works.examDate DESC, works.id DESC LIMIT 1");
    q.bind(1, account).bind(2, idUser).bind(3, name);
    if (!q.step())
        return std::nullopt;
    return workFolder(account, idUser, q.int64(0)) + "/" + name;
}

std::unique_ptr<StoredFile> SqliteAccountStore::openFile(std::int64_t account, std::int64_t idUser,
                                                         const std::string &name)
{
    const auto path = filePath(account, idUser, name);
    // Only a plain file of the exam's folder, never a link placed there.
    return path ? DiskFile::open(*path, false) : nullptr;
}
