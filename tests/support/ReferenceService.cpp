#include "ReferenceService.h"

#include <atomic>
#include <csignal>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUrlQuery>

ReferenceService::ReferenceService()
    : m_dir(QDir::tempPath() + QStringLiteral("/calvestra-service-XXXXXX"))
{
    QDir().mkpath(dataDir());
}

ReferenceService::~ReferenceService()
{
    stop();
    if (m_databaseName.isEmpty())
        return;
    QProcess psql;
    psql.start(QStringLiteral("psql"), {qEnvironmentVariable("CALVESTRA_TEST_PG"), QStringLiteral("-qc"),
                                        QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_databaseName)});
    psql.waitForFinished(30000);
}

QStringList ReferenceService::storageArguments() const
{
    QStringList arguments{QStringLiteral("--data"), dataDir()};
    if (!m_databaseUrl.isEmpty())
        arguments << QStringLiteral("--db") << m_databaseUrl;
    return arguments;
}

QByteArray ReferenceService::databaseDump() const
{
    if (m_databaseUrl.isEmpty())
        return {};
    QProcess dump;
    // Unlogged tables hold the service's counts of the last minute, not records.
    dump.start(QStringLiteral("pg_dump"), {QStringLiteral("--data-only"), QStringLiteral("--no-owner"),
                                           QStringLiteral("--no-unlogged-table-data"), m_databaseUrl});
    if (!dump.waitForFinished(30000) || dump.exitCode() != 0)
        return "pg_dump failed";
    // The rows only: comments and the dump's random session key differ every time.
    QByteArray rows;
    for (const QByteArray &line : dump.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("--") && !line.startsWith('\\'))
            rows += line + '\n';
    }
    return rows;
}

bool ReferenceService::stagingIsEmpty() const
{
    return !QDirIterator(dataDir() + QStringLiteral("/tmp"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories).hasNext();
}

bool ReferenceService::createDatabase()
{
    if (!onPostgres() || m_sqliteOnly || !m_databaseUrl.isEmpty())
        return true;
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("calvestra_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    const QString maintenance = qEnvironmentVariable("CALVESTRA_TEST_PG");
    QProcess psql;
    psql.start(QStringLiteral("psql"), {maintenance, QStringLiteral("-qc"), QStringLiteral("CREATE DATABASE ") + name});
    if (!psql.waitForFinished(30000) || psql.exitCode() != 0) {
        m_error = QStringLiteral("cannot create the test database: ") + QString::fromUtf8(psql.readAllStandardError());
        return false;
    }
    QUrl url(maintenance);
    url.setPath(QLatin1Char('/') + name);
    m_databaseName = name;
    m_databaseUrl = url.toString();
    return true;
}

QString ReferenceService::executable()
{
    const QString fromEnvironment = qEnvironmentVariable("CALVESTRA_SERVICE_EXE");
#ifdef CALVESTRA_SERVICE_EXE
    return fromEnvironment.isEmpty() ? QStringLiteral(CALVESTRA_SERVICE_EXE) : fromEnvironment;
#else
    return fromEnvironment;
#endif
}

QString ReferenceService::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("service.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool ReferenceService::launch(int timeoutMs, bool samePort)
{
    if (samePort)
        stop();
    else
        m_port = 0;
    m_error.clear();
    const QString program = executable();
    if (isRunning() || program.isEmpty() || !QFileInfo(program).isExecutable() || !m_dir.isValid()) {
        m_error = isRunning() ? QStringLiteral("already running") : QStringLiteral("calvestra-service was not built");
        return false;
    }
    if (!createDatabase())
        return false;
    QStringList arguments{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_port),
                          QStringLiteral("--data"), dataDir()};
    if (!m_databaseUrl.isEmpty())
        arguments << QStringLiteral("--db") << m_databaseUrl;
    if (m_testHooks)
        arguments << QStringLiteral("--test-hooks");
    if (!m_authentication)
        arguments << QStringLiteral("--no-auth");
    arguments << m_extraArguments;

    const QDeadlineTimer deadline(timeoutMs);
    const auto remaining = [&] { return int(qMax<qint64>(1, deadline.remainingTime())); };
    static const QRegularExpression listening(QStringLiteral("listening on http://[^\\s]+:(\\d+)"));
    quint16 port = 0;
    // A restart on the same port may find it still held for a moment: then the service
    // ends at once, and starts again until the time is up.
    do {
        m_process = std::make_unique<QProcess>();
        m_process->setProgram(program);
        m_process->setArguments(arguments);
        // A test that crashes must not leave its service running.
        m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process->setStandardErrorFile(m_dir.filePath(QStringLiteral("service.log")), QIODevice::Append);
        m_process->start();
        QByteArray out;
        while (port == 0 && m_process->waitForReadyRead(remaining())) {
            out += m_process->readAllStandardOutput();
            port = quint16(listening.match(QString::fromUtf8(out)).captured(1).toUInt());
        }
        if (port == 0 && isRunning()) {
            m_error = QStringLiteral("the service did not report its address in time");
            stop();
            return false;
        }
    } while (port == 0 && m_port != 0 && !deadline.hasExpired());
    if (port == 0) {
        m_error = QStringLiteral("the service ended at start: %1").arg(m_process->errorString());
        stop();
        return false;
    }
    m_port = port;
    // Listening is not enough: wait until a request is answered (a refused connection
    // waits for the process instead, which returns early only if it ends).
    while (!deadline.hasExpired() && isRunning()) {
        if (request("GET", QStringLiteral("/"), {}, {}, 1000).status == 200)
            return true;
        m_process->waitForFinished(10);
    }
    m_error = QStringLiteral("the service did not answer in time");
    stop();
    return false;
}

void ReferenceService::kill()
{
    if (!isRunning())
        return;
    m_process->kill();
    m_process->waitForFinished(10000);
}

void ReferenceService::stop(int timeoutMs)
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(timeoutMs)) {
            m_process->kill();
            m_process->waitForFinished(timeoutMs);
        }
    }
    m_process.reset();
}

ReferenceService::Response ReferenceService::request(const QByteArray &method, const QString &pathAndQuery,
                                                     const QByteArray &body, const QByteArray &contentType,
                                                     int timeoutMs, const QByteArray &extraHeaders) const
{
    Response response;
    const QDeadlineTimer deadline(timeoutMs);
    const auto remaining = [&] { return int(qMax<qint64>(1, deadline.remainingTime())); };
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    if (m_port == 0 || !socket.waitForConnected(remaining()))
        return response;
    QByteArray head = method + ' ' + pathAndQuery.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                      QByteArray::number(m_port) + "\r\nConnection: close\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    const QByteArray extra = extraHeaders.toLower();
    if ((!body.isEmpty() || method == "POST") && !extra.contains("content-length:") && !extra.contains("transfer-encoding:"))
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += extraHeaders;
    socket.write(head + "\r\n" + body);
    QByteArray raw;
    // Until the service closes the connection (or the time is up).
    while (!deadline.hasExpired() && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(remaining())))
        raw += socket.readAll();
    const qsizetype split = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.") || split < 0)
        return response;
    response.status = raw.mid(raw.indexOf(' ') + 1, 3).toInt();
    response.body = raw.mid(split + 4);
    return response;
}

bool ReferenceService::injectFault(const QString &mode, const QString &action, int count) const
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("mode"), mode);
    form.addQueryItem(QStringLiteral("action"), action);
    form.addQueryItem(QStringLiteral("count"), QString::number(count));
    return request("POST", QStringLiteral("/__test/fault"), form.toString(QUrl::FullyEncoded).toUtf8(),
                   "application/x-www-form-urlencoded").status == 200;
}

