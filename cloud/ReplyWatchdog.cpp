#include "cloud/ReplyWatchdog.h"

#include <QNetworkReply>

ReplyWatchdog *ReplyWatchdog::watch(QNetworkReply *reply, int idleMs, qint64 maxBytes)
{
    if (!reply)
        return nullptr;
    return new ReplyWatchdog(reply, idleMs, maxBytes);
}

ReplyWatchdog *ReplyWatchdog::of(const QNetworkReply *reply)
{
    return reply ? reply->findChild<ReplyWatchdog *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool ReplyWatchdog::failed(const QNetworkReply *reply)
{
    if (!reply)
        return true;
    const ReplyWatchdog *dog = of(reply);
    return reply->error() != QNetworkReply::NoError || (dog && (dog->m_timedOut || dog->m_tooLarge));
}

QString ReplyWatchdog::failureText(const QNetworkReply *reply)
{
    if (const ReplyWatchdog *dog = of(reply)) {
        if (dog->m_timedOut)
            return QStringLiteral("time-out: nothing transferred for %1 ms").arg(dog->m_idleMs);
        if (dog->m_tooLarge)
            return QStringLiteral("reply larger than %1 bytes").arg(dog->m_maxBytes);
    }
    return reply ? reply->errorString() : QString();
}

ReplyWatchdog::ReplyWatchdog(QNetworkReply *reply, int idleMs, qint64 maxBytes)
    : QObject(reply)
    , m_reply(reply)
    , m_idleMs(idleMs)
    , m_maxBytes(maxBytes)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ReplyWatchdog::expire);
    connect(reply, &QNetworkReply::uploadProgress, this, &ReplyWatchdog::activity);
    connect(reply, &QNetworkReply::downloadProgress, this, &ReplyWatchdog::received);
    connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyWatchdog::checkDeclaredLength);
    connect(reply, &QNetworkReply::finished, &m_timer, &QTimer::stop);
    if (m_idleMs > 0 && !reply->isFinished())
        m_timer.start(m_idleMs);
}

void ReplyWatchdog::activity()
{
    if (m_idleMs > 0 && m_reply && !m_reply->isFinished())
        m_timer.start(m_idleMs);
}

void ReplyWatchdog::received(qint64 bytesReceived)
{
    activity();
    if (m_maxBytes > 0 && bytesReceived > m_maxBytes)
        refuseOversized();
}

void ReplyWatchdog::checkDeclaredLength()
{
    // A reply that announces its size is refused before its body is buffered.
    if (!m_reply || m_maxBytes <= 0)
        return;
    bool ok = false;
    const qint64 declared = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
    if (ok && declared > m_maxBytes)
        refuseOversized();
}

void ReplyWatchdog::refuseOversized()
{
    if (m_tooLarge || !m_reply)
        return;
    // Flagged even when the whole body already arrived in one go: the reply is not used.
    m_tooLarge = true;
    m_timer.stop();
    if (!m_reply->isFinished())
        m_reply->abort();  // at once: every further chunk would be buffered in memory
}

void ReplyWatchdog::expire()
{
    if (!m_reply || m_reply->isFinished())
        return;
    m_timedOut = true;
    m_reply->abort();
}
