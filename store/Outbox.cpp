#include "store/Outbox.h"

#include "store/StoreLog.h"

#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

const QString dayFormat = QStringLiteral("yyyy-MM-dd");

struct KindName
{
    OutboxItem::Kind kind;
    const char *name;
};

// Stored as text, so that the table reads plainly in the SQL console.
constexpr KindName kindNames[] = {
    {OutboxItem::Kind::Client, "client"},
    {OutboxItem::Kind::ClientDeletion, "clientDelete"},
    {OutboxItem::Kind::Anamnesi, "anamnesi"},
    {OutboxItem::Kind::AnamnesiDeletion, "anamnesiDelete"},
    {OutboxItem::Kind::Exam, "exam"},
};

QString compactJson(const QJsonObject &object)
{
    return object.isEmpty() ? QString()
                            : QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

OutboxItem itemFrom(const QSqlQuery &q)
{
    OutboxItem item;
    item.id = q.value(QStringLiteral("id")).toLongLong();
    item.kind = OutboxItem::kindFromName(q.value(QStringLiteral("kind")).toString()).value_or(OutboxItem::Kind::Client);
    item.recordId = q.value(QStringLiteral("recordId")).toInt();
    item.clientId = q.value(QStringLiteral("clientId")).toInt();
    item.webId = q.value(QStringLiteral("webId")).toInt();
    item.syncKey = q.value(QStringLiteral("syncKey")).toString();
    item.examDate = QDate::fromString(q.value(QStringLiteral("examDate")).toString(), dayFormat);
    item.payload = QJsonDocument::fromJson(q.value(QStringLiteral("payload")).toString().toUtf8()).object();
    item.revision = q.value(QStringLiteral("revision")).toInt();
    item.attempts = q.value(QStringLiteral("attempts")).toInt();
    item.failures = q.value(QStringLiteral("failures")).toInt();
    const qint64 next = q.value(QStringLiteral("nextAttempt")).toLongLong();
    if (next > 0)
        item.nextAttempt = QDateTime::fromMSecsSinceEpoch(next);
    item.parked = q.value(QStringLiteral("parked")).toBool();
    item.lastCode = q.value(QStringLiteral("lastCode")).toInt();
    item.lastError = q.value(QStringLiteral("lastError")).toString();
    return item;
}

}  // namespace

QString OutboxItem::kindName(Kind kind)
{
    for (const KindName &entry : kindNames) {
        if (entry.kind == kind)
            return QLatin1String(entry.name);
    }
    return QString();
}

std::optional<OutboxItem::Kind> OutboxItem::kindFromName(const QString &name)
{
    for (const KindName &entry : kindNames) {
        if (name == QLatin1String(entry.name))
            return entry.kind;
    }
    return std::nullopt;
}

Outbox::Outbox(const QSqlDatabase &db, QObject *parent)
    : QObject(parent)
    , m_db(db)
{
    qRegisterMetaType<OutboxItem>();
}

bool Outbox::exec(const QString &sql, const QVariantMap &values) const
{
    QSqlQuery query(m_db);
    query.prepare(sql);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        query.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!query.exec()) {
        qCDebug(lcStore).noquote() << "SqLite error:" << query.lastError().text();
        return false;
    }
    return true;
}

std::optional<Outbox::SaveRow> Outbox::findSave(const QString &kind, int recordId) const
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("select id, attempts from outbox where kind = :kind and recordId = :recordId"));
    query.bindValue(QStringLiteral(":kind"), kind);
    query.bindValue(QStringLiteral(":recordId"), recordId);
    if (!query.exec() || !query.first())
        return std::nullopt;
    return SaveRow{query.value(0).toLongLong(), query.value(1).toInt()};
}

bool Outbox::upsertSave(const QString &kind, int recordId, int clientId)
{
    // A change to a waiting record raises its revision and makes it due at once; a
    // refused one gets another chance with its new content.
    if (const auto existing = findSave(kind, recordId)) {
        return exec(QStringLiteral("update outbox set revision = revision + 1, clientId = :clientId, failures = 0, "
                                   "nextAttempt = 0, parked = 0 where id = :id"),
                    {{QStringLiteral("id"), existing->id}, {QStringLiteral("clientId"), clientId}});
    }
    return exec(QStringLiteral("insert into outbox (kind, recordId, clientId, created) "
                               "values (:kind, :recordId, :clientId, :created)"),
                {{QStringLiteral("kind"), kind},
                 {QStringLiteral("recordId"), recordId},
                 {QStringLiteral("clientId"), clientId},
                 {QStringLiteral("created"), nowMs()}});
}

bool Outbox::addClient(int clientId)
{
    return upsertSave(OutboxItem::kindName(OutboxItem::Kind::Client), clientId, clientId);
}

bool Outbox::addAnamnesi(int anamnesiId, int clientId)
{
    return upsertSave(OutboxItem::kindName(OutboxItem::Kind::Anamnesi), anamnesiId, clientId);
}

bool Outbox::addExam(int clientId, const QDate &day, const QJsonObject &bodyData)
{
    const QString kind = OutboxItem::kindName(OutboxItem::Kind::Exam);
    const QString examDate = day.toString(dayFormat);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("select id from outbox where kind = :kind and clientId = :clientId and "
                                 "examDate = :examDate"));
    query.bindValue(QStringLiteral(":kind"), kind);
    query.bindValue(QStringLiteral(":clientId"), clientId);
    query.bindValue(QStringLiteral(":examDate"), examDate);
    if (query.exec() && query.first()) {
        return exec(QStringLiteral("update outbox set revision = revision + 1, payload = :payload, failures = 0, "
                                   "nextAttempt = 0, parked = 0 where id = :id"),
                    {{QStringLiteral("id"), query.value(0).toLongLong()},
                     {QStringLiteral("payload"), compactJson(bodyData)}});
    }
    return exec(QStringLiteral("insert into outbox (kind, clientId, examDate, payload, created) "
                               "values (:kind, :clientId, :examDate, :payload, :created)"),
                {{QStringLiteral("kind"), kind},
                 {QStringLiteral("clientId"), clientId},
                 {QStringLiteral("examDate"), examDate},
                 {QStringLiteral("payload"), compactJson(bodyData)},
                 {QStringLiteral("created"), nowMs()}});
}

bool Outbox::sentOnce(const QString &saveKind, int recordId) const
{
    const auto save = findSave(saveKind, recordId);
    return save && save->attempts > 0;
}

bool Outbox::insertDeletion(OutboxItem::Kind kind, int clientId, int webId, const QString &syncKey,
                            const QJsonObject &lastSent)
{
    // The record goes along: it names the deletion in the list of what waits and, for a
    // record known by its key only, is what asks the service for its id.
    return exec(QStringLiteral("insert into outbox (kind, clientId, webId, syncKey, payload, created) "
                               "values (:kind, :clientId, :webId, :syncKey, :payload, :created)"),
                {{QStringLiteral("kind"), OutboxItem::kindName(kind)},
                 {QStringLiteral("clientId"), clientId},
                 {QStringLiteral("webId"), qMax(webId, 0)},
                 {QStringLiteral("syncKey"), syncKey},
                 {QStringLiteral("payload"), compactJson(lastSent)},
                 {QStringLiteral("created"), nowMs()}});
}

bool Outbox::addClientDeletion(int clientId, int webId, const QString &syncKey, const QJsonObject &lastSent)
{
    const bool sent = sentOnce(OutboxItem::kindName(OutboxItem::Kind::Client), clientId);
    // Whatever else waits for this client is moot: the service drops a client's
    // questionnaires and exams with it, and nothing of it is left here.
    if (!exec(QStringLiteral("delete from outbox where clientId = :clientId"), {{QStringLiteral("clientId"), clientId}}))
        return false;
    if (webId <= 0 && (!sent || syncKey.isEmpty()))
        return true;  // the service never saw it
    return insertDeletion(OutboxItem::Kind::ClientDeletion, clientId, webId, syncKey, lastSent);
}

bool Outbox::addAnamnesiDeletion(int anamnesiId, int clientId, int webId, const QString &syncKey,
                                 const QJsonObject &lastSent)
{
    const QString saveKind = OutboxItem::kindName(OutboxItem::Kind::Anamnesi);
    const bool sent = sentOnce(saveKind, anamnesiId);
    if (!exec(QStringLiteral("delete from outbox where kind = :kind and recordId = :recordId"),
              {{QStringLiteral("kind"), saveKind}, {QStringLiteral("recordId"), anamnesiId}}))
        return false;
    if (webId <= 0 && (!sent || syncKey.isEmpty()))
        return true;
    return insertDeletion(OutboxItem::Kind::AnamnesiDeletion, clientId, webId, syncKey, lastSent);
}

bool Outbox::resolveDeletion(OutboxItem::Kind kind, const QString &syncKey, int webId)
{
    if (syncKey.isEmpty() || webId <= 0)
        return false;
    return exec(QStringLiteral("update outbox set webId = :webId where kind = :kind and syncKey = :syncKey "
                               "and webId = 0"),
                {{QStringLiteral("webId"), webId},
                 {QStringLiteral("kind"), OutboxItem::kindName(kind)},
                 {QStringLiteral("syncKey"), syncKey}});
}

QList<OutboxItem> Outbox::select(const QString &sql, const QVariantMap &values) const
{
    QList<OutboxItem> list;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(sql);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        query.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!query.exec()) {
        qCDebug(lcStore).noquote() << "SqLite error:" << query.lastError().text();
        return list;
    }
    while (query.next())
        list.append(itemFrom(query));
    return list;
}

QList<OutboxItem> Outbox::items() const
{
    return select(QStringLiteral("select * from outbox order by id"), {});
}

QList<OutboxItem> Outbox::dueItems(const QDateTime &now) const
{
    return select(QStringLiteral("select * from outbox where parked = 0 and nextAttempt <= :now order by id"),
                  {{QStringLiteral("now"), now.toMSecsSinceEpoch()}});
}

std::optional<OutboxItem> Outbox::item(qint64 id) const
{
    const QList<OutboxItem> found = select(QStringLiteral("select * from outbox where id = :id"),
                                           {{QStringLiteral("id"), id}});
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

int Outbox::count() const
{
    QSqlQuery query(m_db);
    // A count that fails reads as something pending.
    if (!query.exec(QStringLiteral("select count(*) from outbox")) || !query.first())
        return -1;
    return query.value(0).toInt();
}

bool Outbox::deletionPending(OutboxItem::Kind kind, int webId) const
{
    if (webId <= 0)
        return false;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("select 1 from outbox where kind = :kind and webId = :webId"));
    query.bindValue(QStringLiteral(":kind"), OutboxItem::kindName(kind));
    query.bindValue(QStringLiteral(":webId"), webId);
    return query.exec() && query.first();
}

bool Outbox::beginAttempt(qint64 id)
{
    return exec(QStringLiteral("update outbox set attempts = attempts + 1 where id = :id"), {{QStringLiteral("id"), id}});
}

bool Outbox::complete(qint64 id, int revision)
{
    // Changed while on its way: it stays, due at once, and goes up again as it is now.
    return exec(QStringLiteral("delete from outbox where id = :id and revision = :revision"),
                {{QStringLiteral("id"), id}, {QStringLiteral("revision"), revision}})
           && exec(QStringLiteral("update outbox set failures = 0, nextAttempt = 0, lastCode = 0, lastError = '' "
                                  "where id = :id"),
                   {{QStringLiteral("id"), id}});
}

bool Outbox::retryLater(qint64 id, int code, const QString &error, const QDateTime &when)
{
    return exec(QStringLiteral("update outbox set failures = failures + 1, nextAttempt = :next, lastCode = :code, "
                               "lastError = :error where id = :id"),
                {{QStringLiteral("id"), id},
                 {QStringLiteral("next"), when.toMSecsSinceEpoch()},
                 {QStringLiteral("code"), code},
                 {QStringLiteral("error"), error}});
}

bool Outbox::park(qint64 id, int code, const QString &error)
{
    return exec(QStringLiteral("update outbox set parked = 1, lastCode = :code, lastError = :error where id = :id"),
                {{QStringLiteral("id"), id}, {QStringLiteral("code"), code}, {QStringLiteral("error"), error}});
}

bool Outbox::clearBackoff()
{
    return exec(QStringLiteral("update outbox set nextAttempt = 0 where parked = 0 and nextAttempt > 0"), {});
}

bool Outbox::retry(qint64 id)
{
    const bool ok = exec(QStringLiteral("update outbox set parked = 0, failures = 0, nextAttempt = 0 where id = :id"),
                         {{QStringLiteral("id"), id}});
    if (ok)
        announce();
    return ok;
}

bool Outbox::discard(qint64 id)
{
    const bool ok = exec(QStringLiteral("delete from outbox where id = :id"), {{QStringLiteral("id"), id}});
    if (ok)
        announce();
    return ok;
}
