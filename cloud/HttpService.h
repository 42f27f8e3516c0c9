#pragma once

#include "anamnesis/Anamnesi.h"
#include "cloud/ServiceOutcome.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <optional>

class DataModule;
class ExamArchiveBuilder;
class QJsonObject;
class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QTimer;
class UploadArchiveFile;
struct ExamUploadForm;

// The one web-service client. Every call is one HTTP request to the service script
// (form-encoded POSTs, the exam upload as multipart, plain GETs for files); every
// outcome is reported as a signal, on the interface thread. A probe of the service
// host every five seconds keeps m_connected up to date.
//
// Nothing waits forever: every request has a transfer time-out measured from the last
// byte that moved (generous for the exam upload), and a time-out is a transport error
// that ends in the call's failure signal. Replies are read defensively: a missing or
// wrongly typed member, a body that is not JSON or one too large never changes local
// records.
//
// Requests to the script carry the account's token (cloud/AccountToken) as
// "Authorization: Bearer"; a service that does not know the header ignores it. Without
// an account (idTrainer 0) no script request is sent at all, and a reply that refuses
// the token (401, 403) is announced by accountRefused(). HTTPS endpoints trust the
// system's certificate authorities plus those of the "caFile" setting.
//
// Tests point the client at a service by writing the "endpoint" (and "idTrainer")
// settings and calling resetInstanceForTests(), which drops the shared instance with
// its requests in flight and makes a new one that reads the settings again.
class HttpService : public QObject
{
    Q_OBJECT

public:
    explicit HttpService(QObject *parent = nullptr);
    ~HttpService() override;

    static HttpService *m_instance;
    // The shared instance, created on first use.
    static HttpService *instance();
    // Tests and benchmarks only: destroys the shared instance and, with create, makes a
    // new one (which reads idTrainer and the endpoint setting again). Returns it.
    static HttpService *resetInstanceForTests(bool create = true);

    // Transfer time-outs: a request is aborted when nothing has moved for this long.
    static constexpr int defaultRequestTimeoutMs = 30000;
    static constexpr int defaultUploadTimeoutMs = 120000;
    static constexpr int defaultProbeTimeoutMs = 4000;
    static constexpr int connectionCheckIntervalMs = 5000;
    // Largest bodies read: service replies, model and user files, the update file.
    static constexpr qint64 maxReplyBytes = 32LL << 20;
    static constexpr qint64 maxDownloadBytes = 64LL << 20;
    static constexpr qint64 maxUpdateFileBytes = 64LL << 10;
    // Applies to requests sent afterwards.
    void setTimeouts(int requestMs, int uploadIdleMs, int probeMs);

    QUrl m_url;
    QPointer<DataModule> m_dataModule;
    QTimer *m_connectionTimer = nullptr;
    QNetworkAccessManager *m_networkManager = nullptr;
    qint32 m_idTrainer = 0;
    bool m_connected = false;

    // Endpoint from the "endpoint" setting; dev picks the "_dev.php" script beside it.
    void setWebServiceURL(bool dev);
    bool hasAccount() const { return m_idTrainer > 0; }
    // Reads the "caFile" setting again; false when it names a file without certificates.
    bool reloadTlsSettings();
    // A request to url with the TLS settings and, with token, the account's token.
    QNetworkRequest serviceRequest(const QUrl &url, bool token) const;
    // idSender, action=getUsers, appVersion, appOS.
    QUrlQuery getDefaultQueryParams() const;
    // One form-encoded POST to m_url, with the request time-out and reply size limit.
    QNetworkReply *postData(const QUrlQuery &q);
    // Appends one item so that it reaches the service exactly as given ("%41" stays
    // "%41"; QUrlQuery alone would decode it).
    static void addFormItem(QUrlQuery &q, const QString &key, const QString &value);
    // The body postData sends: every key and value fully percent-encoded (a space is
    // "%20", a plus "%2B"), pairs joined by "&" in insertion order.
    static QByteArray encodeForm(const QUrlQuery &q);

    void checkConnection();
    // The service host itself: the endpoint's scheme, host and port with path "/".
    QUrl connectionProbeUrl() const;

    void getClients();
    // The calls that change the service report their outcome to done (when given) as
    // well as through the signals below. Pending work goes through OutboxSender, the
    // one caller of these for it.
    void saveClient(Client *client, OutcomeHandler done = {});
    void deleteClient(int webId, OutcomeHandler done = {});
    void saveAnamnesi(Anamnesi *anamnesi, OutcomeHandler done = {});
    void deleteAnamnesi(int webId, OutcomeHandler done = {});
    // Asks the service for the id of a record sent before whose reply never came, by
    // sending it again with its key: a service that saw the key answers with that
    // record's id (and one that did not makes it). Local records are not touched.
    void resolveClient(const QJsonObject &record, OutcomeHandler done);
    void resolveAnamnesi(int webIdUser, const QJsonObject &record, OutcomeHandler done);
    void getUserAnamnesis(int webIdUser);
    void getAnamnesiModels();
    // GET of url; the body is stored in folder under the last path component of the url.
    void downloadFile(const QString &url, const QString &folder);

    // Archive of the scans built off the interface thread, then streamed as multipart.
    void uploadExam(Exam *exam, QList<ScanFile> *scanFiles, OutcomeHandler done = {});

    void getUserWorks(int webIdUser);
    // The getUserFile address: idSender, action, idUser, kind ("jpg", "d2d"), filename.
    QUrl getUserFileUrl(int webIdUser, const QString &kind, const QString &fileName) const;
    // Starts that GET with time-out and size limit; the caller handles and deletes the reply.
    QNetworkReply *getUserFile(int webIdUser, const QString &kind, const QString &fileName);

    void getSoftwareUpdateFile();
    // The update file on the maker's web host.
    static QUrl softwareUpdateFileUrl();

public slots:
    void uploadProgress(qint64 sent, qint64 total);

signals:
    void onGetClients(QList<Client> clients);
    void onGetUserWorks(QList<Exam> works);
    void onUpdateClient(int idClient);
    void onUploadExamDone(Exam *exam);
    void onUploadExamFail();
    void onWebSpaceOver();
    void onUploadClientDone(int idClient);
    void onUploadClientFail();
    void onUploadAnamnesiDone(Anamnesi *anamnesi);
    void onUploadAnamnesiFail();
    void onUploadDeletedAnamnesiDone(int web_id);
    void onUploadProgress(qint64 sent, qint64 total);
    void onConnectionStatus(bool connected);
    void onSwUpdateFile(QString text);
    void onGetClientsProgress(int done, int total);
    void onGetAnamnesis(QList<Anamnesi> anamnesis);
    // An anamnesis deletion the service did not confirm (transport or service
    // failure): the local row stays marked deleted and can be sent again.
    void onUploadDeletedAnamnesiFail(int web_id);
    // Nothing can be synchronised with this account: 0 when none is configured (nothing
    // was sent), 401 or 403 when the service refused the token.
    void accountRefused(int code);

private:
    DataModule *store();
    QNetworkReply *getFile(const QUrl &url, int idleMs, qint64 maxBytes, bool token = false);
    // True (and the caller hears of it from the event loop) when no account is set.
    bool withoutAccount(const OutcomeHandler &done = {}, void (HttpService::*signal)() = nullptr);
    // Common reply handling: schedules the reply's deletion, logs transport and service
    // failures. True with the reply's data object when the status code is 200; code
    // gets the status code (-1 for a transport error). A failure with quietCode is not logged.
    bool readEnvelope(QNetworkReply *reply, QJsonObject *data, int *code = nullptr,
                      QByteArray *body = nullptr, int quietCode = noQuietCode, QString *error = nullptr);
    // The reply of a client or questionnaire upload, its body logged: false when the
    // request failed, otherwise true with the id the service gave (0 when it gave none
    // usable).
    ServiceOutcome readUploadReply(QNetworkReply *reply);
    static ServiceOutcome outcomeOf(bool ok, int code, const QString &error);

    void getClientsReply(QNetworkReply *reply, quint64 askedAt);
    void saveClientReply(QNetworkReply *reply, int localId, const QJsonObject &sent, const OutcomeHandler &done);
    void deleteClientReply(QNetworkReply *reply, int webId, const OutcomeHandler &done);
    void saveAnamnesiReply(QNetworkReply *reply, int localId, const QJsonObject &sent, const OutcomeHandler &done);
    void deleteAnamnesiReply(QNetworkReply *reply, int webId, const OutcomeHandler &done);
    void getUserAnamnesisReply(QNetworkReply *reply, quint64 askedAt);
    void getAnamnesiModelsReply(QNetworkReply *reply);
    void downloadFileReply(QNetworkReply *reply, const QString &url, const QString &folder);
    void sendExam(ExamArchiveBuilder *builder, UploadArchiveFile *archive, bool built,
                  const QString &buildError, const ExamUploadForm &form, const OutcomeHandler &done);
    void uploadExamReply(QNetworkReply *reply, const OutcomeHandler &done);
    void getUserWorksReply(QNetworkReply *reply);
    static constexpr int noQuietCode = -1000000;
    // Stores one client of the downloaded list; false when it was left alone.
    bool storeDownloadedClient(Client &client, quint64 askedAt);
    // A downloaded client that is a local one whose creation reply never came.
    bool adoptByKey(Client &client);
    bool storeDownloadedAnamnesi(Anamnesi &anamnesi, quint64 askedAt);
    // Reports a failure from the event loop, like every other outcome.
    void failLater(void (HttpService::*signal)(), const OutcomeHandler &done = {}, const QString &error = {});

    // A download reply may have been made before a change of ours reached the service and
    // arrive after its confirmation: it must not undo that change nor bring back what was
    // deleted. Each confirmation gets the next number; a download remembers the number
    // when it was asked for and leaves alone the records confirmed after that.
    void noteConfirmed(QHash<int, quint64> &records, int webId);
    static bool confirmedSince(const QHash<int, quint64> &records, int webId, quint64 since);
    quint64 m_confirmations = 0;
    QHash<int, quint64> m_clientConfirmed;
    QHash<int, quint64> m_anamnesiConfirmed;

    const QSslConfiguration &tls() const;
    mutable std::optional<QSslConfiguration> m_tls;

    int m_requestTimeoutMs = defaultRequestTimeoutMs;
    int m_uploadTimeoutMs = defaultUploadTimeoutMs;
    int m_probeTimeoutMs = defaultProbeTimeoutMs;
};
