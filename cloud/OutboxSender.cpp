#include "cloud/OutboxSender.h"

#include "cloud/CloudLog.h"
#include "cloud/HttpService.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QTimer>

#include <algorithm>

OutboxSender *OutboxSender::m_instance = nullptr;

OutboxSender::OutboxSender(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
    , m_guard(new QTimer(this))
    , m_requestGuardMs(HttpService::defaultRequestTimeoutMs + guardMarginMs)
    , m_examGuardMs(HttpService::defaultUploadTimeoutMs + guardMarginMs)
{
    m_timer->setObjectName(QStringLiteral("outboxTimer"));
    m_guard->setObjectName(QStringLiteral("outboxGuard"));
    m_guard->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &OutboxSender::pump);
    connect(m_guard, &QTimer::timeout, this, &OutboxSender::guardExpired);
}

OutboxSender::~OutboxSender()
{
    if (m_instance == this)
        m_instance = nullptr;
}

OutboxSender *OutboxSender::instance()
{
    if (!m_instance)
        m_instance = new OutboxSender(nullptr);
    return m_instance;
}

OutboxSender *OutboxSender::resetInstanceForTests(bool create)
{
    delete m_instance;
    m_instance = nullptr;
    if (create)
        m_instance = new OutboxSender(nullptr);
    return m_instance;
}

void OutboxSender::setTimes(int checkMs, int firstRetryMs, int maxRetryMs)
{
    m_checkMs = checkMs;
    m_firstBackoffMs = firstRetryMs;
    m_maxBackoffMs = maxRetryMs;
    if (m_timer->isActive())
        m_timer->start(m_checkMs);
}

void OutboxSender::setGuardTimes(int requestMs, int examIdleMs)
{
    m_requestGuardMs = requestMs;
    m_examGuardMs = examIdleMs;
}

DataModule *OutboxSender::store()
{
    // Follows the shared store and service client when they are replaced (tests do).
    if (!m_store) {
        m_store = DataModule::instance();
        connect(m_store->outbox(), &Outbox::changed, this, [this] {
            emit stateChanged();
            if (m_running)
                schedulePump();
        });
    }
    return m_store;
}

HttpService *OutboxSender::service()
{
    if (!m_service) {
        m_service = HttpService::instance();
        m_wasConnected = m_service->m_connected;
        connect(m_service, &HttpService::onConnectionStatus, this, &OutboxSender::connectionChanged);
        // Any request refused for the account's sake (a download too) stops the sending.
        connect(m_service, &HttpService::accountRefused, this, &OutboxSender::halt);
        connect(m_service, &HttpService::onUploadProgress, this, [this](qint64 sent, qint64 total) {
            // An upload that still moves bytes is not hanging.
            if (m_guardingExam && m_guard->isActive())
                m_guard->start(m_examGuardMs);
            emit uploadProgress(sent, total);
        });
    }
    return m_service;
}

void OutboxSender::start()
{
    store();
    service();
    m_running = true;
    m_timer->start(m_checkMs);
    schedulePump();
}

void OutboxSender::stop()
{
    m_running = false;
    m_timer->stop();
}

void OutboxSender::sendNow()
{
    store()->outbox()->clearBackoff();
    m_pausedUntil = QDateTime();
    schedulePump();
}

void OutboxSender::resume()
{
    m_haltCode = 0;
    emit stateChanged();
    sendNow();
}

void OutboxSender::connectionChanged(bool connected)
{
    // Back after being away: what waited for its back-off may go at once.
    const bool back = connected && !m_wasConnected;
    m_wasConnected = connected;
    if (back && m_running)
        sendNow();
}

void OutboxSender::schedulePump()
{
    if (m_pumpQueued)
        return;
    m_pumpQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_pumpQueued = false;
        pump();
    });
}

void OutboxSender::checkAccount()
{
    // Account 0 is every unconfigured installation's: nothing of this one may go there.
    if (service()->m_idTrainer > 0) {
        if (m_haltCode == -1) {
            m_haltCode = 0;
            emit stateChanged();
        }
        return;
    }
    if (m_haltCode == 0)
        halt(0);
}

void OutboxSender::halt(int code)
{
    const int haltCode = code == 0 ? -1 : code;
    if (m_haltCode == haltCode)
        return;
    m_haltCode = haltCode;
    if (code == 0)
        qCDebug(lcCloud).noquote() << "no account configured: nothing is sent";
    else
        qCDebug(lcCloud).noquote() << "the service refused the account's token:" << code;
    emit halted(code);
    emit stateChanged();
}

void OutboxSender::pump()
{
    if (isBusy())
        return;
    checkAccount();
    if (isHalted())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (m_pausedUntil.isValid() && now < m_pausedUntil)
        return;
    // Only what may go now is read: the pass runs at every tick.
    const QList<OutboxItem> items = store()->outbox()->dueItems(now);
    for (const OutboxItem &item : items) {
        if (send(item))
            return;
    }
}

bool OutboxSender::send(const OutboxItem &item)
{
    Outbox *outbox = store()->outbox();
    HttpService *http = service();
    const auto clientOf = [](int localId) {
        Client client;
        client.loadFromDB(localId);
        return client;
    };
    const auto begin = [&](int guardMs, bool exam) {
        m_inFlight = item;
        ++m_attempt;
        m_guardingExam = exam;
        m_guard->start(guardMs);
        outbox->beginAttempt(item.id);
        emit stateChanged();
    };
    const auto dropStale = [&](const char *why) {
        // Its record is gone (deleted meanwhile): nothing is left to send.
        qCDebug(lcCloud).noquote() << "outbox item" << item.id << why;
        outbox->complete(item.id, item.revision);
        return false;
    };

    switch (item.kind) {
    case OutboxItem::Kind::Client: {
        Client client = clientOf(item.recordId);
        if (client.id != item.recordId || item.recordId <= 0)
            return dropStale("has no client any more");
        begin(m_requestGuardMs, false);
        http->saveClient(&client, handlerFor(m_attempt));
        return true;
    }
    case OutboxItem::Kind::Anamnesi: {
        Anamnesi anamnesi;
        anamnesi.loadFromDB(item.recordId, false);
        if (anamnesi.id != item.recordId || item.recordId <= 0)
            return dropStale("has no questionnaire any more");
        if (clientOf(anamnesi.idClient).web_id <= 0)
            return false;  // waits for its client
        begin(m_requestGuardMs, false);
        http->saveAnamnesi(&anamnesi, handlerFor(m_attempt));
        return true;
    }
    case OutboxItem::Kind::Exam: {
        Client client = clientOf(item.clientId);
        if (client.id != item.clientId || item.clientId <= 0)
            return dropStale("has no client any more");
        if (client.web_id <= 0)
            return false;
        Exam exam;
        exam.idUser = client.web_id;
        exam.examDate = item.examDate;
        exam.height = item.payload.value(QStringLiteral("height")).toDouble();
        exam.weight = item.payload.value(QStringLiteral("weight")).toDouble();
        exam.activityLevel = item.payload.value(QStringLiteral("activityLevel")).toInt();
        const QString folder = client.getDataPath(true);
        const QStringList files = client.getFileList(exam.examDate, QStringLiteral(".jpg"));
        for (const QString &name : files) {
            const QString path = folder + name;
            exam.scanNames.append(path.left(path.lastIndexOf(QLatin1Char('.'))));
            exam.scanFiles.append(ScanFile::createFromFilePath(path));
        }
        begin(m_examGuardMs, true);
        http->uploadExam(&exam, &exam.scanFiles, handlerFor(m_attempt));
        return true;
    }
    case OutboxItem::Kind::ClientDeletion:
    case OutboxItem::Kind::AnamnesiDeletion: {
        const bool client = item.kind == OutboxItem::Kind::ClientDeletion;
        int webIdUser = 0;
        if (!client && item.webId <= 0) {
            webIdUser = clientOf(item.clientId).web_id;
            if (webIdUser <= 0)
                return false;
        }
        begin(m_requestGuardMs, false);
        const quint64 attempt = m_attempt;
        const QPointer<OutboxSender> self(this);
        const auto remove = [self, client, attempt](int webId) {
            if (!self || attempt != self->m_attempt)
                return;
            if (client)
                self->service()->deleteClient(webId, self->handlerFor(attempt));
            else
                self->service()->deleteAnamnesi(webId, self->handlerFor(attempt));
        };
        if (item.webId > 0) {
            remove(item.webId);
            return true;
        }
        // Known by its key only: the service names its id, then the deletion goes.
        const OutcomeHandler resolved = [self, attempt, remove, item](const ServiceOutcome &outcome) {
            if (!self || attempt != self->m_attempt)
                return;
            if (!outcome.ok()) {
                self->finished(attempt, outcome);
                return;
            }
            self->store()->outbox()->resolveDeletion(item.kind, item.syncKey, outcome.webId);
            remove(outcome.webId);
        };
        QJsonObject record = item.payload;
        record.insert(QStringLiteral("syncKey"), item.syncKey);
        if (client)
            http->resolveClient(record, resolved);
        else
            http->resolveAnamnesi(webIdUser, record, resolved);
        return true;
    }
    }
    return false;
}

OutcomeHandler OutboxSender::handlerFor(quint64 attempt)
{
    QPointer<OutboxSender> self(this);
    return [self, attempt](const ServiceOutcome &outcome) {
        if (self)
            self->finished(attempt, outcome);
    };
}

OutboxSender::Verdict OutboxSender::verdict(OutboxItem::Kind kind, int code)
{
    const bool deletion = kind == OutboxItem::Kind::ClientDeletion || kind == OutboxItem::Kind::AnamnesiDeletion;
    switch (code) {
    case 200:
        return Verdict::Done;
    case 401:
    case 403:
    case ServiceOutcome::noAccount:
        return Verdict::AccountRefused;
    case 404:
        // Nothing to delete is what a deletion wants.
        return deletion ? Verdict::Done : Verdict::Park;
    case 400:
    case 405:
        return Verdict::Park;
    default:
        // No reply, 429, 500, an unreadable reply: the next attempt may go through.
        return Verdict::Retry;
    }
}

void OutboxSender::finished(quint64 attempt, const ServiceOutcome &outcome)
{
    if (attempt != m_attempt || !isBusy())
        return;  // a late outcome of an attempt already given up
    const OutboxItem item = m_inFlight;
    m_inFlight = OutboxItem();
    m_guard->stop();
    m_guardingExam = false;
    Outbox *outbox = store()->outbox();

    switch (verdict(item.kind, outcome.code)) {
    case Verdict::Done:
        outbox->complete(item.id, item.revision);
        qCDebug(lcCloud).noquote() << "outbox item sent" << item.id << OutboxItem::kindName(item.kind);
        emit itemSent(item);
        break;
    case Verdict::Retry: {
        const int failures = std::min(item.failures, 16);
        const qint64 delay = std::min<qint64>(qint64(m_firstBackoffMs) << failures, m_maxBackoffMs);
        const QDateTime when = QDateTime::currentDateTime().addMSecs(delay);
        outbox->retryLater(item.id, outcome.code, outcome.error, when);
        // No reply at all: the service is away, and every other item would only wait
        // for its own time-out too.
        if (outcome.code == -1)
            m_pausedUntil = when;
        qCDebug(lcCloud).noquote() << "outbox item" << item.id << "failed with" << outcome.code << "retry in"
                                   << delay << "ms";
        emit itemFailed(item, outcome);
        break;
    }
    case Verdict::Park:
        outbox->park(item.id, outcome.code, outcome.error);
        qCDebug(lcCloud).noquote() << "outbox item" << item.id << "refused with" << outcome.code;
        emit itemParked(item, outcome);
        break;
    case Verdict::AccountRefused:
        outbox->retryLater(item.id, outcome.code, outcome.error, QDateTime::currentDateTime());
        halt(outcome.code == ServiceOutcome::noAccount ? 0 : outcome.code);
        break;
    }
    emit stateChanged();
    if (m_running || outcome.ok())
        schedulePump();
}

void OutboxSender::guardExpired()
{
    if (!isBusy())
        return;
    qCDebug(lcCloud).noquote() << "outbox item" << m_inFlight.id << "without outcome, going on";
    ServiceOutcome outcome;
    outcome.code = -1;
    outcome.error = QStringLiteral("no outcome");
    finished(m_attempt, outcome);
}
