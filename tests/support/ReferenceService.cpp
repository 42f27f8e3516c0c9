#include "ReferenceService.h"

#include <csignal>
#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <QUrlQuery>

namespace {

QString stdoutPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("stdout.txt"));
}

QString logPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("service.log"));
}

}  // namespace

ReferenceService::ReferenceService()
    : m_dir(QDir::tempPath() + QStringLiteral("/calvestra-service-XXXXXX"))
{
    QDir().mkpath(dataDir());
}

ReferenceService::~ReferenceService()
{
    stop();
}

QString ReferenceService::executable()
{
    const QString fromEnvironment = qEnvironmentVariable("CALVESTRA_SERVICE_EXE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef CALVESTRA_SERVICE_EXE
    return QStringLiteral(CALVESTRA_SERVICE_EXE);
#else
    return QString();
#endif
}

QUrl ReferenceService::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

QUrl ReferenceService::endpointUrl(bool development) const
{
    QUrl url = baseUrl();
    url.setPath(development ? QStringLiteral("/Apps/Movelta/vq_webservice_dev.php")
                            : QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    return url;
}

QString ReferenceService::dataDir() const
{
    return m_dir.filePath(QStringLiteral("data"));
}

QString ReferenceService::log() const
{
    QFile file(logPath(m_dir));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

bool ReferenceService::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool ReferenceService::start(int timeoutMs)
{
    m_port = 0;
    return launch(timeoutMs);
}

bool ReferenceService::restart(int timeoutMs)
{
    stop();
    return launch(timeoutMs);
}

bool ReferenceService::launch(int timeoutMs)
{
    m_error.clear();
    if (isRunning()) {
        m_error = QStringLiteral("already running");
        return false;
    }
    const QString program = executable();
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        m_error = QStringLiteral("calvestra-service was not built");
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }

    QStringList arguments{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_port),
                          QStringLiteral("--data"), dataDir()};
    if (m_quotaMb >= 0)
        arguments << QStringLiteral("--quota-mb") << QString::number(m_quotaMb, 'f', 6);
    if (m_delayMs > 0)
        arguments << QStringLiteral("--delay-ms") << QString::number(m_delayMs);
    if (m_testHooks)
        arguments << QStringLiteral("--test-hooks");
    if (!m_authentication)
        arguments << QStringLiteral("--no-auth");
    arguments << m_extraArguments;

    const QDeadlineTimer deadline(timeoutMs);
    static const QRegularExpression listening(QStringLiteral("listening on http://[^\\s]+:(\\d+)"));
    // A restart on the same port may find it still held for a moment: try again.
    while (!deadline.hasExpired()) {
        m_process = std::make_unique<QProcess>();
        m_process->setProgram(program);
        m_process->setArguments(arguments);
        // A test that crashes must not leave its service running.
        m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process->setStandardOutputFile(stdoutPath(m_dir), QIODevice::Truncate);
        m_process->setStandardErrorFile(logPath(m_dir), QIODevice::Append);
        m_process->start();
        if (!m_process->waitForStarted(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            m_error = m_process->errorString();
            m_process.reset();
            return false;
        }
        quint16 port = 0;
        while (!deadline.hasExpired() && port == 0 && m_process->state() == QProcess::Running) {
            QFile out(stdoutPath(m_dir));
            if (out.open(QIODevice::ReadOnly)) {
                const auto match = listening.match(QString::fromUtf8(out.readAll()));
                if (match.hasMatch())
                    port = static_cast<quint16>(match.captured(1).toUInt());
            }
            if (port == 0)
                m_process->waitForFinished(10);
        }
        if (port != 0) {
            m_port = port;
            break;
        }
        if (m_process->state() == QProcess::Running) {
            m_error = QStringLiteral("the service did not report its address in time");
            stop();
            return false;
        }
        collectExit();
        m_process.reset();
        m_error = QStringLiteral("the service ended at start (exit code %1)").arg(m_exitCode);
        if (m_port == 0)
            return false;
        QThread::msleep(50);
    }
    if (!m_process || m_port == 0)
        return false;

    // Listening is not enough: wait until a request is answered.
    while (!deadline.hasExpired()) {
        const Response probe = request("GET", QStringLiteral("/"), {}, {}, 1000);
        if (probe.status == 200)
            return true;
        if (!isRunning())
            break;
        QThread::msleep(10);
    }
    m_error = QStringLiteral("the service did not answer in time");
    stop();
    return false;
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
    collectExit();
    m_process.reset();
}

void ReferenceService::collectExit()
{
    if (!m_process || m_process->state() != QProcess::NotRunning)
        return;
    m_exitCode = m_process->exitCode();
    m_exitedNormally = m_process->exitStatus() == QProcess::NormalExit;
}

ReferenceService::Response ReferenceService::request(const QByteArray &method, const QString &pathAndQuery,
                                                     const QByteArray &body, const QByteArray &contentType,
                                                     int timeoutMs, const QByteArray &extraHeaders) const
{
    Response response;
    if (m_port == 0)
        return response;
    const QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    if (!socket.waitForConnected(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
        return response;
    QByteArray head = method + ' ' + pathAndQuery.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                      QByteArray::number(m_port) + "\r\nConnection: close\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    if ((!body.isEmpty() || method == "POST") && !extraHeaders.toLower().contains("content-length:"))
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += extraHeaders;
    socket.write(head + "\r\n" + body);

    QByteArray raw;
    while (!deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 &&
            !socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            if (socket.state() != QAbstractSocket::ConnectedState)
                break;
            continue;
        }
        raw += socket.readAll();
    }
    raw += socket.readAll();
    const int split = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.") || split < 0)
        return response;
    const QList<QByteArray> statusLine = raw.left(raw.indexOf("\r\n")).split(' ');
    response.status = statusLine.size() > 1 ? statusLine.at(1).toInt() : 0;
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
                   "application/x-www-form-urlencoded")
               .status == 200;
}

QJsonArray ReferenceService::receivedRequests() const
{
    return QJsonDocument::fromJson(request("GET", QStringLiteral("/__test/requests")).body).array();
}

bool ReferenceService::resetHooks() const
{
    return request("POST", QStringLiteral("/__test/reset")).status == 200;
}
