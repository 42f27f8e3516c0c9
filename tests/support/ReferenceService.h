#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// Runs calvestra-service for a test on 127.0.0.1, a free port and a temporary data folder, test
// hooks on; every wait is bounded. A restart keeps port and data, so clients find it again.
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

    // Applied at the next start or restart.
    void setTestHooks(bool on) { m_testHooks = on; }
    // Off by default: the service trusts idSender (--no-auth) and needs no tokens.
    void setAuthentication(bool on) { m_authentication = on; }

    void setExtraArguments(const QStringList &arguments) { m_extraArguments = arguments; }

    // Starts and waits until the service answers its connectivity page.
    bool start(int timeoutMs = 15000) { return launch(timeoutMs, false); }
    // SIGTERM, then a kill if the service has not ended in time.
    void stop(int timeoutMs = 5000);
    bool restart(int timeoutMs = 15000) { return launch(timeoutMs, true); }
    bool isRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process ? m_process->processId() : 0; }
    QString errorString() const { return m_error; }

    quint16 port() const { return m_port; }
    QUrl baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port)); }
    QUrl endpointUrl(bool development = false) const
    {
        return QUrl(baseUrl().toString() + (development ? QStringLiteral("/Apps/Movelta/vq_webservice_dev.php")
                                                        : QStringLiteral("/Apps/Movelta/vq_webservice.php")));
    }
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    // With CALVESTRA_TEST_PG set (a PostgreSQL maintenance database's address) every
    // service runs on a database of its own, made for it and dropped at the end.
    static bool onPostgres() { return !qEnvironmentVariableIsEmpty("CALVESTRA_TEST_PG"); }
    // Its --db address; empty on SQLite.
    QString databaseUrl() const { return m_databaseUrl; }
    // Keeps to the data folder's SQLite files even with CALVESTRA_TEST_PG set.
    void useSqlite() { m_sqliteOnly = true; }
    // Makes this service's database now (a no-op on SQLite); false with errorString() set.
    bool prepareDatabase() { return createDatabase(); }
    // A second node: runs on the other service's database (which that one drops).
    void useDatabaseOf(const ReferenceService &other) { m_databaseUrl = other.m_databaseUrl; }
    // SIGKILL: no chance to finish anything.
    void kill();
    // "--data DIR" and, on PostgreSQL, "--db URL": where the account commands find its data.
    QStringList storageArguments() const;
    // The database's rows as pg_dump writes them (empty on SQLite): to see that nothing changed.
    QByteArray databaseDump() const;
    // No upload in progress has left a file behind in the staging folders.
    bool stagingIsEmpty() const;
    // Everything the service wrote to its log so far (all runs).
    QString log() const;

    // A blocking HTTP/1.1 request with "Connection: close". extraHeaders are whole
    // lines ("Name: value\r\n"); one with Content-Length replaces the body's own.
    Response request(const QByteArray &method, const QString &pathAndQuery, const QByteArray &body = {},
                     const QByteArray &contentType = {}, int timeoutMs = 10000,
                     const QByteArray &extraHeaders = {}) const;

    // Test hooks: a fault for the next matching requests, the requests received, a reset of both.
    bool injectFault(const QString &mode, const QString &action = QString(), int count = 1) const;
    QJsonArray receivedRequests() const { return QJsonDocument::fromJson(request("GET", QStringLiteral("/__test/requests")).body).array(); }
    bool resetHooks() const { return request("POST", QStringLiteral("/__test/reset")).status == 200; }

private:
    bool launch(int timeoutMs, bool samePort);
    bool createDatabase();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    bool m_testHooks = true;
    bool m_authentication = false;
    QStringList m_extraArguments;
    QString m_error;
    QString m_databaseUrl;
    QString m_databaseName;
    bool m_sqliteOnly = false;
};
