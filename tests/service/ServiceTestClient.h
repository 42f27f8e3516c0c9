#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

// Talks to the service the way the application does: form-encoded POSTs with the
// four common fields first, a six-part multipart exam upload, plain GETs. Every
// wait is bounded.
class ServiceTestClient
{
public:
    struct Reply
    {
        bool finished = false;
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        int httpStatus = 0;
        QByteArray body;
        QJsonObject json;
        qint64 elapsedMs = 0;

        int code() const;
        QString extradescr() const;
        QJsonObject data() const;
    };

    explicit ServiceTestClient(const QUrl &endpoint, int idSender = 0);

    void setEndpoint(const QUrl &endpoint) { m_endpoint = endpoint; }
    void setIdSender(int idSender) { m_idSender = idSender; }
    int idSender() const { return m_idSender; }
    QNetworkAccessManager &manager() { return m_manager; }

    // idSender, action=getUsers, appVersion, appOS, then action=<action>.
    QUrlQuery form(const QString &action) const;
    // Encoded as the application encodes: fully percent-encoded, "+" as "%2B".
    static QByteArray encode(const QUrlQuery &form);

    Reply post(const QUrlQuery &form, int timeoutMs = 10000, int transferTimeoutMs = 0);
    Reply postBody(const QByteArray &body, const QByteArray &contentType, int timeoutMs = 10000,
                   int transferTimeoutMs = 0);
    Reply get(const QUrl &url, int timeoutMs = 10000, int transferTimeoutMs = 0);
    Reply getUserFile(int idUser, const QString &kind, const QString &fileName, int timeoutMs = 10000);

    // The exam upload: idSender, action, appVersion, appOS, exam, UPLOADS (the
    // archive's bytes from the file). An empty path leaves the file part out.
    Reply uploadExam(const QJsonObject &exam, const QString &archivePath, int timeoutMs = 30000,
                     int transferTimeoutMs = 0);

    // Shortcuts returning the reply's data.
    int saveClient(const QJsonObject &client);
    QJsonObject clientJson(const QString &surname, const QString &name, int webId = 0) const;

private:
    Reply wait(QNetworkReply *reply, int timeoutMs);

    QNetworkAccessManager m_manager;
    QUrl m_endpoint;
    int m_idSender;
};

// Writes zip archives for the tests with libzip, including the hostile kinds a
// real client never makes.
namespace TestZip {

struct Entry
{
    QString name;
    QByteArray content;
    bool symlink = false;  // stored with a Unix symbolic-link mode
    bool stored = false;   // kept uncompressed, so its bytes travel as they are
};

bool write(const QString &path, const QList<Entry> &entries);

// Realistic scan files: a raw data file of lines x samples and a JPEG picture.
QByteArray d2dFile(int lines, int samples, quint32 seed);
QByteArray jpegFile(int width, int height, quint32 seed);
QByteArray analysisFile();

}  // namespace TestZip
