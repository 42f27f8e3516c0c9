#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// Runs the reference web service (calvestra-service) for a test: on 127.0.0.1 with
// a free port and a temporary data folder, test hooks on. Every wait is bounded.
// stop() and restart() keep the port and the data, so a client configured with
// endpointUrl() finds the service again after a restart.
class ReferenceService
{
public:
    struct Response
    {
        int status = 0;  // 0 when no reply came
        QByteArray body;
    };

    ReferenceService();
    ~ReferenceService();
    ReferenceService(const ReferenceService &) = delete;
    ReferenceService &operator=(const ReferenceService &) = delete;

    // The built executable; empty when the build has none.
    static QString executable();

    // Applied at the next start or restart. A negative quota keeps the default.
    void setQuotaMb(double megabytes) { m_quotaMb = megabytes; }
    void setDelayMs(int milliseconds) { m_delayMs = milliseconds; }
    void setTestHooks(bool on) { m_testHooks = on; }
    // Off by default: the service trusts idSender (--no-auth) and needs no tokens.
    void setAuthentication(bool on) { m_authentication = on; }

    void setExtraArguments(const QStringList &arguments) { m_extraArguments = arguments; }

    // Starts and waits until the service answers its connectivity page.
    bool start(int timeoutMs = 15000);
    // SIGTERM, then a kill if the service has not ended in time.
    void stop(int timeoutMs = 5000);
    bool restart(int timeoutMs = 15000);
    bool isRunning() const;
    // Exit code and status of the last run that ended.
    int exitCode() const { return m_exitCode; }
    bool exitedNormally() const { return m_exitedNormally; }
    QString errorString() const { return m_error; }

    quint16 port() const { return m_port; }
    QUrl baseUrl() const;
    QUrl endpointUrl(bool development = false) const;
    QString dataDir() const;
    // Everything the service wrote to its log so far (all runs).
    QString log() const;

    // A blocking HTTP/1.1 request with "Connection: close". extraHeaders are whole
    // lines ("Name: value\r\n"); one with Content-Length replaces the body's own.
    Response request(const QByteArray &method, const QString &pathAndQuery, const QByteArray &body = {},
                     const QByteArray &contentType = {}, int timeoutMs = 10000,
                     const QByteArray &extraHeaders = {}) const;

    // Test hooks: a fault for the next matching requests, the log of received
    // requests, and a reset of both.
    bool injectFault(const QString &mode, const QString &action = QString(), int count = 1) const;
    QJsonArray receivedRequests() const;
    bool resetHooks() const;

private:
    bool launch(int timeoutMs);
    void collectExit();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    double m_quotaMb = -1;
    int m_delayMs = 0;
    bool m_testHooks = true;
    bool m_authentication = false;
    QStringList m_extraArguments;
    int m_exitCode = -1;
    bool m_exitedNormally = false;
    QString m_error;
};
