#include "exam/CloudReadings.h"

#include "cloud/HttpService.h"
#include "cloud/ReplyWatchdog.h"
#include "exam/ExamLog.h"

#include <QFileInfo>
#include <QNetworkReply>

CloudReadings::CloudReadings(QObject *parent)
    : QObject(parent)
{
}

CloudReadings::~CloudReadings()
{
    for (const QPointer<QNetworkReply> &reply : std::as_const(m_replies)) {
        if (!reply)
            continue;
        disconnect(reply.data(), nullptr, this, nullptr);
        // Deleting a reply in flight aborts its request.
        reply->deleteLater();
    }
}

HttpService *CloudReadings::service()
{
    // Tests may replace the shared client; always use the current one.
    if (!m_service || m_service != HttpService::m_instance) {
        m_service = HttpService::instance();
        connect(m_service.data(), &HttpService::onGetUserWorks, this, &CloudReadings::worksReceived,
                Qt::UniqueConnection);
    }
    return m_service;
}

void CloudReadings::fetch(int webIdUser, const QSet<QString> &skip)
{
    if (webIdUser != m_webId) {
        m_asked.clear();
        m_readings.clear();
        m_webId = webIdUser;
    }
    m_skip = skip;
    if (m_webId == 0 || busy())
        return;
    HttpService *http = service();
    if (!http->hasAccount())
        return;
    m_awaitingWorks = true;
    http->getUserWorks(m_webId);
}

QList<ScanReading> CloudReadings::readings() const
{
    QList<ScanReading> list;
    for (const ScanReading &reading : m_readings) {
        if (!m_skip.contains(reading.baseName))
            list.append(reading);
    }
    return list;
}

void CloudReadings::worksReceived(const QList<Exam> &works)
{
    // The works signal is shared with the archive page: only a reply we asked for counts.
    if (!m_awaitingWorks)
        return;
    m_awaitingWorks = false;
    for (const Exam &work : works) {
        for (const QString &picture : work.scanNames) {
            const QString baseName = QFileInfo(picture).completeBaseName();
            if (m_skip.contains(baseName) || m_asked.contains(baseName))
                continue;
            m_asked.insert(baseName);
            QNetworkReply *reply = service()->getUserFile(m_webId, QStringLiteral("json"), picture);
            m_replies.append(reply);
            connect(reply, &QNetworkReply::finished, this,
                    [this, reply, baseName] { fileReceived(reply, baseName); });
        }
    }
    finishIfDone();
}

void CloudReadings::fileReceived(QNetworkReply *reply, const QString &baseName)
{
    m_replies.removeAll(reply);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        // A scan without an analysis file has nothing to give; anything else may work later.
        if (status != 404)
            m_asked.remove(baseName);
        qCDebug(lcExam).noquote() << "analysis file not fetched:" << baseName << ReplyWatchdog::failureText(reply);
    } else if (auto reading = ScanReadingLoader::fromAnalysis(baseName + QStringLiteral(".json"), reply->readAll())) {
        reading->fromCloud = true;
        m_readings.insert(baseName, *reading);
    }
    finishIfDone();
}

void CloudReadings::finishIfDone()
{
    if (!busy())
        emit fetched();
}
