#pragma once

#include "cloud/ServiceOutcome.h"
#include "store/Outbox.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

class DataModule;
class HttpService;
class QTimer;

// The one sender of pending work: it drains the store's outbox, one item in flight at a
// time, oldest first. A failing item waits with exponential back-off and never holds up
// the others; an item the service refuses for good (400, 404, 405) is parked for the
// operator; a refused account (401, 403) stops the sending until resume(). Items of a
// client the service has not confirmed yet wait for it.
class OutboxSender : public QObject
{
    Q_OBJECT

public:
    explicit OutboxSender(QObject *parent = nullptr);
    ~OutboxSender() override;

    static OutboxSender *m_instance;
    // The shared sender, on the shared store and service client; created on first use,
    // not started.
    static OutboxSender *instance();
    static OutboxSender *resetInstanceForTests(bool create = true);

    static constexpr int checkIntervalMs = 3500;
    static constexpr int firstBackoffMs = 5000;
    static constexpr int maxBackoffMs = 10 * 60 * 1000;
    // An item with no outcome after its request's time-out plus this counts as failed.
    static constexpr int guardMarginMs = 5000;
    void setTimes(int checkMs, int firstRetryMs, int maxRetryMs);
    void setGuardTimes(int requestMs, int examIdleMs);

    // The periodic pass and the wake-up on every change of the outbox.
    void start();
    void stop();
    bool isRunning() const { return m_running; }
    // Everything waiting is due now (the operator asked, or the service is back).
    void sendNow();
    // Nothing is sent while this is set: no account, or the service refused its token.
    bool isHalted() const { return m_haltCode != 0; }
    int haltCode() const { return m_haltCode; }
    void resume();

    bool isBusy() const { return m_inFlight.id != 0; }
    qint64 inFlightItem() const { return m_inFlight.id; }

    enum class Verdict { Done, Retry, Park, AccountRefused };
    static Verdict verdict(OutboxItem::Kind kind, int code);

signals:
    void itemSent(const OutboxItem &item);
    void itemFailed(const OutboxItem &item, const ServiceOutcome &outcome);
    void itemParked(const OutboxItem &item, const ServiceOutcome &outcome);
    // No account configured (code 0) or the service refused its token (401, 403).
    void halted(int code);
    void uploadProgress(qint64 sent, qint64 total);
    // The queue or what is in flight changed: lists and buttons refresh.
    void stateChanged();

private:
    DataModule *store();
    HttpService *service();
    void pump();
    void schedulePump();
    // False when the item cannot go yet (its client is not on the service).
    bool send(const OutboxItem &item);
    void finished(quint64 attempt, const ServiceOutcome &outcome);
    void guardExpired();
    OutcomeHandler handlerFor(quint64 attempt);
    void connectionChanged(bool connected);
    void checkAccount();
    // Stops sending for that reason (0: no account; 401, 403: token refused), once.
    void halt(int code);

    QPointer<DataModule> m_store;
    QPointer<HttpService> m_service;
    QTimer *m_timer = nullptr;
    QTimer *m_guard = nullptr;
    bool m_running = false;
    bool m_pumpQueued = false;
    bool m_wasConnected = false;
    int m_haltCode = 0;
    OutboxItem m_inFlight;
    quint64 m_attempt = 0;
    bool m_guardingExam = false;
    // After a transport failure nothing goes until then: the service is unreachable.
    QDateTime m_pausedUntil;
    int m_checkMs = checkIntervalMs;
    int m_firstBackoffMs = firstBackoffMs;
    int m_maxBackoffMs = maxBackoffMs;
    int m_requestGuardMs;
    int m_examGuardMs;
};
