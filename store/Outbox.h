#pragma once

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// One change waiting for the service. Saves name the local record and are read again
// when sent, so a record changed twice goes up once with its latest content.
struct OutboxItem
{
    enum class Kind { Client, ClientDeletion, Anamnesi, AnamnesiDeletion, Exam };

    qint64 id = 0;
    Kind kind = Kind::Client;
    int recordId = 0;   // saves: local id of the client or questionnaire
    int clientId = 0;   // local id of the client the item belongs to
    int webId = 0;      // deletions: the service's id (0: known by its key only)
    QString syncKey;    // deletions of a record the service may hold under its key only
    QDate examDate;     // exams: the day
    QJsonObject payload;  // exams: body data; key-only deletions: the record as last sent
    int revision = 1;   // raised by every change, so a change made while sending is not lost
    int attempts = 0;   // sends started: the service may hold the record once this is above 0
    int failures = 0;   // failures in a row, for the back-off
    QDateTime nextAttempt;
    bool parked = false;  // refused by the service: waits for the operator
    int lastCode = 0;
    QString lastError;

    static QString kindName(Kind kind);
    static std::optional<Kind> kindFromName(const QString &name);
};

Q_DECLARE_METATYPE(OutboxItem)

// The journal of what the service does not have yet, in the local database. The store's
// writes add to it in the same transaction as the change itself; the one sender
// (cloud/OutboxSender) drains it. Nothing here talks to the network.
class Outbox : public QObject
{
    Q_OBJECT

public:
    explicit Outbox(const QSqlDatabase &db, QObject *parent = nullptr);

    // Queue a save of the client or questionnaire (again): one item per record.
    // These run inside the caller's transaction; changed() follows from announce().
    bool addClient(int clientId);
    bool addAnamnesi(int anamnesiId, int clientId);
    bool addExam(int clientId, const QDate &day, const QJsonObject &bodyData);
    // The client's other items go with it; a deletion is queued when the service may
    // hold the client: it has a web id, or a create was sent whose reply never came.
    bool addClientDeletion(int clientId, int webId, const QString &syncKey, const QJsonObject &lastSent);
    bool addAnamnesiDeletion(int anamnesiId, int clientId, int webId, const QString &syncKey,
                             const QJsonObject &lastSent);
    // A key-only deletion learns the id the service gave to that key.
    bool resolveDeletion(OutboxItem::Kind kind, const QString &syncKey, int webId);

    QList<OutboxItem> items() const;
    // The items that may go at now: not parked, back-off over; oldest first.
    QList<OutboxItem> dueItems(const QDateTime &now) const;
    std::optional<OutboxItem> item(qint64 id) const;
    int count() const;
    // True while a deletion of that service record waits: a download must not bring it back.
    bool deletionPending(OutboxItem::Kind kind, int webId) const;

    // The sender's bookkeeping.
    bool beginAttempt(qint64 id);
    // Done: the item goes unless the record changed after the send began (a newer revision).
    bool complete(qint64 id, int revision);
    bool retryLater(qint64 id, int code, const QString &error, const QDateTime &when);
    bool park(qint64 id, int code, const QString &error);
    // The service is back: every waiting item may go at once.
    bool clearBackoff();

    // The operator's actions on a parked item.
    bool retry(qint64 id);
    bool discard(qint64 id);

    // Tells listeners (the sender, the status bar) that items were added or changed.
    void announce() { emit changed(); }

signals:
    void changed();

private:
    bool exec(const QString &sql, const QVariantMap &values) const;
    QList<OutboxItem> select(const QString &sql, const QVariantMap &values) const;
    struct SaveRow
    {
        qint64 id = 0;
        int attempts = 0;
    };
    std::optional<SaveRow> findSave(const QString &kind, int recordId) const;
    bool upsertSave(const QString &kind, int recordId, int clientId);
    // A send of that record was started: the service may hold it.
    bool sentOnce(const QString &saveKind, int recordId) const;
    bool insertDeletion(OutboxItem::Kind kind, int clientId, int webId, const QString &syncKey,
                        const QJsonObject &lastSent);

    QSqlDatabase m_db;
};
