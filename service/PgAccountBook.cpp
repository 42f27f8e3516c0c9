#include "AccountBook.h"

#include "PgConnection.h"
#include "PgSchema.h"

#include <atomic>

namespace {

// The accounts table of the production schema, shared by every service process.
class PgAccountBook : public AccountBook
{
public:
    explicit PgAccountBook(std::shared_ptr<PgPool> pool) : m_pool(std::move(pool))
    {
        auto db = m_pool->take();
        PgSchema::upgrade(*db, PgSchema::production);
    }

    std::int32_t numberFor(const std::string &tokenHash) override
    {
        auto db = m_pool->take();
        PgResult r = db->query(sql("SELECT number FROM @.accounts WHERE tokenHash = $1 AND removed = 0"), {tokenHash});
        return r.rows() > 0 ? static_cast<std::int32_t>(r.int64(0, 0)) : 0;
    }

    bool numberTaken(std::int32_t number, bool countRecords) override
    {
        auto db = m_pool->take();
        // The development schema exists once a service has started.
        const bool devExists =
            db->query("SELECT 1 FROM pg_namespace WHERE nspname = $1", {PgSchema::development}).rows() > 0;
        std::string text = "SELECT EXISTS (SELECT 1 FROM calvestra.accounts WHERE number = $1)";
        if (countRecords)
            text += " OR EXISTS (SELECT 1 FROM calvestra.clients WHERE idSender = $1)";
        if (countRecords && devExists)
            text += " OR EXISTS (SELECT 1 FROM calvestra_dev.clients WHERE idSender = $1)";
        return db->query(text, {static_cast<std::int64_t>(number)}).text(0, 0) == "t";
    }

    bool insert(std::int32_t number, const std::string &name, const std::string &tokenHash) override
    {
        auto db = m_pool->take();
        return db->query(sql("INSERT INTO @.accounts (number, name, tokenHash) VALUES ($1, $2, $3)"
                             " ON CONFLICT DO NOTHING"),
                         {static_cast<std::int64_t>(number), name, tokenHash})
                   .affected() > 0;
    }

    bool replaceHash(std::int32_t number, const std::string &tokenHash) override
    {
        auto db = m_pool->take();
        return db->query(sql("UPDATE @.accounts SET tokenHash = $1,"
                             " tokenChanged = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')"
                             " WHERE number = $2 AND removed = 0"),
                         {tokenHash, static_cast<std::int64_t>(number)})
                   .affected() > 0;
    }

    bool remove(std::int32_t number) override
    {
        auto db = m_pool->take();
        return db->query(sql("UPDATE @.accounts SET tokenHash = NULL, removed = 1,"
                             " tokenChanged = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')"
                             " WHERE number = $1 AND removed = 0"),
                         {static_cast<std::int64_t>(number)})
                   .affected() > 0;
    }

    std::vector<Row> list() override
    {
        auto db = m_pool->take();
        PgResult r = db->query(sql("SELECT number, name, created, tokenChanged, removed FROM @.accounts"
                                   " ORDER BY created, number"));
        std::vector<Row> rows;
        for (int i = 0; i < r.rows(); ++i)
            rows.push_back({static_cast<std::int32_t>(r.int64(i, 0)), r.text(i, 1), r.text(i, 2), r.text(i, 3),
                            r.int64(i, 4) != 0});
        return rows;
    }

    bool hasAccounts() override
    {
        auto db = m_pool->take();
        return db->query(sql("SELECT 1 FROM @.accounts WHERE removed = 0 LIMIT 1")).rows() > 0;
    }

    bool takeFailure(const std::string &address, int perMinute) override
    {
        try {
            auto db = m_pool->take();
            // A bucket is full again a minute after its last failure: then it goes.
            if (m_failuresTaken.fetch_add(1) % 64 == 0)
                db->exec(sql("DELETE FROM @.auth_failures WHERE updated < now() - interval '1 minute'"));
            const PgResult r = db->query(
                sql("INSERT INTO @.auth_failures AS f (address, tokens, updated)"
                    " VALUES ($1, $2::float8 - 1, clock_timestamp()) ON CONFLICT (address) DO UPDATE SET"
                    " tokens = GREATEST(0, LEAST($2::float8, f.tokens + EXTRACT(EPOCH FROM clock_timestamp() - f.updated)"
                    " * $2::float8 / 60) - 1), updated = clock_timestamp() RETURNING tokens"),
                {address, static_cast<double>(perMinute)});
            return r.real(0, 0) >= 1.0;
        } catch (const std::exception &) {
            // The node's own count still holds.
            return true;
        }
    }

private:
    static std::string sql(const char *text) { return PgSchema::qualify(text, PgSchema::production); }

    std::shared_ptr<PgPool> m_pool;
    std::atomic<unsigned> m_failuresTaken{0};
};

}  // namespace

std::unique_ptr<AccountBook> openPgAccountBook(std::shared_ptr<PgPool> pool)
{
    return std::make_unique<PgAccountBook>(std::move(pool));
}
