#include "ServiceTestClient.h"

#include <QBuffer>
#include <QDataStream>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHttpMultiPart>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>

#include <zip.h>

#include <sys/stat.h>

int ServiceTestClient::Reply::code() const
{
    return json.value(QStringLiteral("status")).toObject().value(QStringLiteral("code")).toInt();
}

QString ServiceTestClient::Reply::extradescr() const
{
    return json.value(QStringLiteral("status")).toObject().value(QStringLiteral("extradescr")).toString();
}

QJsonObject ServiceTestClient::Reply::data() const
{
    return json.value(QStringLiteral("data")).toObject();
}

ServiceTestClient::ServiceTestClient(const QUrl &endpoint, int idSender)
    : m_endpoint(endpoint), m_idSender(idSender)
{
}

QUrlQuery ServiceTestClient::form(const QString &action) const
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("idSender"), QString::number(m_idSender));
    q.addQueryItem(QStringLiteral("action"), QStringLiteral("getUsers"));
    q.addQueryItem(QStringLiteral("appVersion"), QStringLiteral("0.6.4"));
    q.addQueryItem(QStringLiteral("appOS"), QStringLiteral("debian"));
    q.addQueryItem(QStringLiteral("action"), action);
    return q;
}

QByteArray ServiceTestClient::encode(const QUrlQuery &form)
{
    QString text = form.toString(QUrl::FullyEncoded);
    text.replace(QLatin1Char('+'), QStringLiteral("%2B"));
    return text.toUtf8();
}

ServiceTestClient::Reply ServiceTestClient::wait(QNetworkReply *reply, int timeoutMs)
{
    Reply result;
    QElapsedTimer clock;
    clock.start();
    if (!reply->isFinished()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        loop.exec();
    }
    result.elapsedMs = clock.elapsed();
    result.finished = reply->isFinished();
    if (!result.finished)
        reply->abort();
    result.error = reply->error();
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->isOpen() ? reply->readAll() : QByteArray();
    result.json = QJsonDocument::fromJson(result.body).object();
    reply->deleteLater();
    return result;
}

ServiceTestClient::Reply ServiceTestClient::post(const QUrlQuery &form, int timeoutMs, int transferTimeoutMs)
{
    return postBody(encode(form), "application/x-www-form-urlencoded", timeoutMs, transferTimeoutMs);
}

ServiceTestClient::Reply ServiceTestClient::postBody(const QByteArray &body, const QByteArray &contentType,
                                                     int timeoutMs, int transferTimeoutMs)
{
    QNetworkRequest request(m_endpoint);
    if (transferTimeoutMs > 0)
        request.setTransferTimeout(transferTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    return wait(m_manager.post(request, body), timeoutMs);
}

ServiceTestClient::Reply ServiceTestClient::get(const QUrl &url, int timeoutMs, int transferTimeoutMs)
{
    QNetworkRequest request(url);
    if (transferTimeoutMs > 0)
        request.setTransferTimeout(transferTimeoutMs);
    return wait(m_manager.get(request), timeoutMs);
}

ServiceTestClient::Reply ServiceTestClient::getUserFile(int idUser, const QString &kind, const QString &fileName,
                                                        int timeoutMs)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("idSender"), QString::number(m_idSender));
    q.addQueryItem(QStringLiteral("action"), QStringLiteral("getUserFile"));
    q.addQueryItem(QStringLiteral("idUser"), QString::number(idUser));
    q.addQueryItem(QStringLiteral("kind"), kind);
    q.addQueryItem(QStringLiteral("filename"), fileName);
    QUrl url = m_endpoint;
    url.setQuery(q);
    return get(url, timeoutMs);
}

ServiceTestClient::Reply ServiceTestClient::uploadExam(const QJsonObject &exam, const QString &archivePath,
                                                       int timeoutMs, int transferTimeoutMs)
{
    auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    auto addField = [multi](const QByteArray &name, const QByteArray &value) {
        QHttpPart part;
        part.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"" + name + "\"");
        part.setBody(value);
        multi->append(part);
    };
    addField("idSender", QByteArray::number(m_idSender));
    addField("action", "uploadExamZip");
    addField("appVersion", "0.6.4");
    addField("appOS", "debian");
    addField("exam", QJsonDocument(exam).toJson(QJsonDocument::Indented));
    if (!archivePath.isEmpty()) {
        QHttpPart filePart;
        filePart.setHeader(QNetworkRequest::ContentTypeHeader, "application/octet-stream");
        filePart.setHeader(QNetworkRequest::ContentDispositionHeader,
                           "form-data; name=\"UPLOADS\"; filename=\"upload.zip\"");
        auto *file = new QFile(archivePath, multi);
        file->open(QIODevice::ReadOnly);
        filePart.setBodyDevice(file);
        multi->append(filePart);
    }
    QNetworkRequest request(m_endpoint);
    if (transferTimeoutMs > 0)
        request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply *reply = m_manager.post(request, multi);
    multi->setParent(reply);
    return wait(reply, timeoutMs);
}

QJsonObject ServiceTestClient::clientJson(const QString &surname, const QString &name, int webId) const
{
    return QJsonObject{{QStringLiteral("id"), webId},
                       {QStringLiteral("surname"), surname},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("sex"), QStringLiteral("F")},
                       {QStringLiteral("birthday"), QStringLiteral("1990-06-15")},
                       {QStringLiteral("address"), QStringLiteral("Via Roma 1")},
                       {QStringLiteral("city"), QStringLiteral("Torino")},
                       {QStringLiteral("province"), QStringLiteral("TO")},
                       {QStringLiteral("zipcode"), QStringLiteral("10100")},
                       {QStringLiteral("email"), QStringLiteral("cliente@example.com")},
                       {QStringLiteral("phone"), QStringLiteral("+39 011 123456")},
                       {QStringLiteral("height"), 168.5},
                       {QStringLiteral("weight"), 61.2}};
}

int ServiceTestClient::saveClient(const QJsonObject &client)
{
    QUrlQuery q = form(QStringLiteral("setUserData"));
    q.addQueryItem(QStringLiteral("data"), QString::fromUtf8(QJsonDocument(client).toJson(QJsonDocument::Indented)));
    const Reply reply = post(q);
    if (reply.code() != 200)
        return 0;
    return reply.data().value(QStringLiteral("id")).toInt();
}

namespace TestZip {

bool write(const QString &path, const QList<Entry> &entries)
{
    QFile::remove(path);
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const Entry &entry : entries) {
        // zip_source_buffer does not copy: the bytes must live until zip_close.
        const QByteArray &bytes = entry.content;
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        if (!source) {
            zip_discard(archive);
            return false;
        }
        const zip_int64_t index = zip_file_add(archive, entry.name.toUtf8().constData(), source,
                                               ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        if (entry.stored)
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        const zip_uint32_t mode = entry.symlink ? (S_IFLNK | 0777) : (S_IFREG | 0644);
        zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX, mode << 16);
    }
    return zip_close(archive) == 0;
}

QByteArray d2dFile(int lines, int samples, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray data(lines * samples, Qt::Uninitialized);
    for (int l = 0; l < lines; ++l) {
        for (int s = 0; s < samples; ++s) {
            // Echo bands with noise, like tissue layers.
            const int band = (s / 120) % 3 == 0 ? 160 : 40;
            data[l * samples + s] = static_cast<char>(qBound(0, band + int(random.bounded(60)) - 30, 255));
        }
    }
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint32(samples) << qint32(1) << data;
    return file;
}

QByteArray jpegFile(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int v = qBound(0, (y / 40) % 2 ? 200 : 50 + int(random.bounded(40)), 255);
            line[x] = qRgb(v, v / 2, 255 - v);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

QByteArray analysisFile()
{
    const QJsonObject mark{{QStringLiteral("x"), 120}, {QStringLiteral("y1"), 40}, {QStringLiteral("y2"), 210}};
    return QJsonDocument(QJsonObject{{QStringLiteral("linemarks"), QJsonArray{mark}}}).toJson();
}

}  // namespace TestZip
