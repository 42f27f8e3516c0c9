#pragma once

#include "store/Client.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class HttpService;
class QNetworkReply;

// One scan of a day in the archive viewer: fetches its picture (for the thumbnail) and,
// when picked, its .d2d data, from the client's folder or from the web service.
//
// Replies are tied to the object: when it is destroyed a pending reply is disconnected
// and dropped, so a reply that comes later never reaches it.
class DayScan : public QObject
{
    Q_OBJECT

public:
    // The client is looked up in the local store by its web id.
    DayScan(int idUser, const QString &fileName, bool remote, QObject *parent = nullptr);
    // The client is given: a client without a web id has its folder under its local id,
    // which a web id of 0 cannot find.
    DayScan(const Client &client, const QString &fileName, bool remote, QObject *parent = nullptr);
    ~DayScan() override;

    int idUser = 0;
    QString fileName;  // the picture's file name
    Client client;
    bool remote = false;
    // Set by the destructor; a reply handled after that is ignored.
    bool isDestroyed = false;
    std::unique_ptr<QImage> image;  // null until the picture has arrived
    // The picture could not be had (unreadable, or its download failed): none will come.
    bool imageFailed = false;

    // The picture: emits imageLoaded when it is there, imageUnavailable when it cannot be had.
    void loadImage();
    // The scan data: emits d2dLoaded with the path of a .d2d file, or an empty path when
    // the download failed. A downloaded file exists only while the signal is delivered,
    // so receivers must read it in a direct connection.
    void getD2DData();
    // Handles the finished picture download.
    void getReply();

    // The base name of the picture's file (its name without the extension).
    QString baseName() const;

signals:
    void imageLoaded(DayScan *scan);
    void imageUnavailable(DayScan *scan);
    void d2dLoaded(DayScan *scan, QString path);

private:
    HttpService *service();
    void d2dReply();
    void markImageFailed();
    static void dropReply(QPointer<QNetworkReply> &reply, QObject *receiver);
    // The finished reply taken out of its slot (it deletes itself later); null when
    // there is none or this scan is going away.
    QNetworkReply *takeFinishedReply(QPointer<QNetworkReply> &slot);

    QPointer<HttpService> m_httpService;
    QPointer<QNetworkReply> m_imageReply;
    QPointer<QNetworkReply> m_d2dReply;
};
