#include "scan/DayScan.h"

#include "cloud/HttpService.h"
#include "cloud/ReplyWatchdog.h"
#include "scan/ScanLog.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTemporaryDir>

DayScan::DayScan(int idUser, const QString &fileName, bool remote, QObject *parent)
    : QObject(parent)
    , idUser(idUser)
    , fileName(fileName)
    , remote(remote)
{
    client.loadFromWebID(idUser);
}

DayScan::DayScan(const Client &client, const QString &fileName, bool remote, QObject *parent)
    : QObject(parent)
    , idUser(client.web_id)
    , fileName(fileName)
    , client(client)
    , remote(remote)
{
}

DayScan::~DayScan()
{
    isDestroyed = true;
    dropReply(m_imageReply, this);
    dropReply(m_d2dReply, this);
}

void DayScan::dropReply(QPointer<QNetworkReply> &reply, QObject *receiver)
{
    if (!reply)
        return;
    QObject::disconnect(reply.data(), nullptr, receiver, nullptr);
    // Deleting a reply in flight aborts its request.
    reply->deleteLater();
    reply = nullptr;
}

HttpService *DayScan::service()
{
    // Tests may replace the shared client; always use the current one.
    if (!m_httpService || m_httpService != HttpService::m_instance)
        m_httpService = HttpService::instance();
    return m_httpService;
}

QString DayScan::baseName() const
{
    return QFileInfo(fileName).completeBaseName();
}

void DayScan::loadImage()
{
    imageFailed = false;
    if (!remote) {
        auto picture = std::make_unique<QImage>();
        if (!picture->load(client.getDataPath(false) + fileName)) {
            qCDebug(lcScan).noquote() << idUser << fileName << "- image load FAILS";
            markImageFailed();
            return;
        }
        image = std::move(picture);
        emit imageLoaded(this);
        return;
    }
    dropReply(m_imageReply, this);
    m_imageReply = service()->getUserFile(idUser, QStringLiteral("jpg"), fileName);
    connect(m_imageReply.data(), &QNetworkReply::finished, this, &DayScan::getReply);
}

void DayScan::markImageFailed()
{
    imageFailed = true;
    emit imageUnavailable(this);
}

QNetworkReply *DayScan::takeFinishedReply(QPointer<QNetworkReply> &slot)
{
    QNetworkReply *reply = slot.data();
    slot = nullptr;
    if (!reply)
        return nullptr;
    reply->deleteLater();
    return isDestroyed ? nullptr : reply;
}

void DayScan::getReply()
{
    QNetworkReply *reply = takeFinishedReply(m_imageReply);
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcScan).noquote() << "error reply:" << ReplyWatchdog::failureText(reply);
        markImageFailed();
        return;
    }
    auto picture = std::make_unique<QImage>();
    if (!picture->loadFromData(reply->readAll())) {
        qCDebug(lcScan).noquote() << idUser << fileName << "- image load FAILS";
        markImageFailed();
        return;
    }
    image = std::move(picture);
    emit imageLoaded(this);
}

void DayScan::getD2DData()
{
    if (!remote) {
        emit d2dLoaded(this, client.getDataPath(false) + baseName() + QStringLiteral(".d2d"));
        return;
    }
    // One download at a time: the one in flight answers this request too.
    if (m_d2dReply)
        return;
    m_d2dReply = service()->getUserFile(idUser, QStringLiteral("d2d"), fileName);
    connect(m_d2dReply.data(), &QNetworkReply::finished, this, &DayScan::d2dReply);
}

void DayScan::d2dReply()
{
    QNetworkReply *reply = takeFinishedReply(m_d2dReply);
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcScan).noquote() << "Network request failed:" << ReplyWatchdog::failureText(reply);
        emit d2dLoaded(this, QString());
        return;
    }
    // A private folder, so that the analysis file looked for beside the data (same base
    // name, ".json") can never be somebody else's file in the shared temporary folder.
    QTemporaryDir folder;
    QString path;
    if (folder.isValid()) {
        QFile file(folder.filePath(baseName() + QStringLiteral(".d2d")));
        if (file.open(QIODevice::WriteOnly) && file.write(reply->readAll()) >= 0 && file.flush())
            path = file.fileName();
        file.close();
    }
    if (path.isEmpty())
        qCDebug(lcScan).noquote() << "Network request failed:" << "cannot write the downloaded scan data";
    // The folder and the file go away when this returns.
    emit d2dLoaded(this, path);
}
