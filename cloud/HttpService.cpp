#include "cloud/HttpService.h"

#include "app/AppSettings.h"
#include "cloud/AccountToken.h"
#include "cloud/CloudLog.h"
#include "cloud/ExamArchiveBuilder.h"
#include "cloud/ReplyWatchdog.h"
#include "cloud/UploadArchiveFile.h"
#include "store/DataModule.h"
#include "store/Outbox.h"

#include <QDir>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSqlQuery>
#include <QTimer>

#include <exception>

HttpService *HttpService::m_instance = nullptr;

// What travels with the archive of one exam upload, taken when the upload is asked for.
struct ExamUploadForm
{
    QByteArray idSender;
    QByteArray appVersion;
    QByteArray appOS;
    QByteArray exam;
    QUrl url;
};

namespace {

const QString updateFilePath = QStringLiteral("/Software/Calvestra20/updVersionMACOS.txt");
const QString dateFormat = QStringLiteral("yyyy-MM-dd");
const QString anamnesiDateFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QString indentedJson(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

// A positive id from a reply member sent as a JSON number; 0 otherwise.
int positiveId(const QJsonValue &value)
{
    const int id = value.toInt(0);
    return id > 0 ? id : 0;
}

QHttpPart textPart(const QByteArray &name, const QByteArray &body)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, QByteArray("form-data; name=\"" + name + "\""));
    part.setBody(body);
    return part;
}

// A file name of a download that stays inside its folder.
bool usableFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
           && !name.contains(QChar(0));
}

// Rows are written in one transaction: a list of hundreds of clients is one commit.
class StoreTransaction
{
public:
    explicit StoreTransaction(DataModule *store)
        : m_db(store->m_db)
        , m_open(m_db.transaction())
    {
    }
    ~StoreTransaction()
    {
        if (m_open)
            m_db.commit();
    }
    StoreTransaction(const StoreTransaction &) = delete;
    StoreTransaction &operator=(const StoreTransaction &) = delete;

private:
    QSqlDatabase m_db;
    bool m_open;
};

}  // namespace

HttpService::HttpService(QObject *parent)
    : QObject(parent)
    , m_dataModule(DataModule::instance())
    , m_connectionTimer(new QTimer(this))
    , m_networkManager(new QNetworkAccessManager(this))
    , m_idTrainer(AppSettings::idTrainer())
{
    qRegisterMetaType<QList<Client>>();
    qRegisterMetaType<QList<Exam>>();
    qRegisterMetaType<QList<Anamnesi>>();
    connect(m_connectionTimer, &QTimer::timeout, this, &HttpService::checkConnection);
    checkConnection();
    m_connectionTimer->start(connectionCheckIntervalMs);
}

HttpService::~HttpService()
{
    if (m_instance == this)
        m_instance = nullptr;
}

HttpService *HttpService::instance()
{
    if (!m_instance)
        m_instance = new HttpService(nullptr);
    return m_instance;
}

HttpService *HttpService::resetInstanceForTests(bool create)
{
    delete m_instance;
    m_instance = nullptr;
    if (create)
        m_instance = new HttpService(nullptr);
    return m_instance;
}

void HttpService::setTimeouts(int requestMs, int uploadIdleMs, int probeMs)
{
    m_requestTimeoutMs = requestMs;
    m_uploadTimeoutMs = uploadIdleMs;
    m_probeTimeoutMs = probeMs;
}

DataModule *HttpService::store()
{
    // Follows the shared store when it has been replaced (tests open one per case).
    if (!m_dataModule)
        m_dataModule = DataModule::instance();
    return m_dataModule;
}

void HttpService::setWebServiceURL(bool dev)
{
    QString text = AppSettings::endpoint();
    if (dev)
        text.replace(QStringLiteral(".php"), QStringLiteral("_dev.php"), Qt::CaseSensitive);
    m_url = QUrl(text, QUrl::TolerantMode);
}

bool HttpService::reloadTlsSettings()
{
    m_tls.reset();
    const QString caFile = AppSettings::caFile();
    return caFile.isEmpty() || !QSslCertificate::fromPath(caFile, QSsl::Pem).isEmpty();
}

const QSslConfiguration &HttpService::tls() const
{
    // Made when the first HTTPS request needs it: a plain endpoint never loads TLS.
    if (!m_tls) {
        m_tls = QSslConfiguration::defaultConfiguration();
        const QString caFile = AppSettings::caFile();
        const QList<QSslCertificate> authorities =
            caFile.isEmpty() ? QList<QSslCertificate>() : QSslCertificate::fromPath(caFile, QSsl::Pem);
        if (!caFile.isEmpty() && authorities.isEmpty())
            qCWarning(lcCloud).noquote() << "no certificates in the CA file" << caFile;
        m_tls->addCaCertificates(authorities);
    }
    return *m_tls;
}

QNetworkRequest HttpService::serviceRequest(const QUrl &url, bool token) const
{
    QNetworkRequest request(url);
    if (url.scheme() == QLatin1String("https"))
        request.setSslConfiguration(tls());
    const QString secret = AccountToken::instance()->token();
    if (token && !secret.isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), "Bearer " + secret.toUtf8());
    return request;
}

bool HttpService::withoutAccount(const OutcomeHandler &done, void (HttpService::*signal)())
{
    // Account 0 would be every unconfigured installation's: nothing goes there.
    if (hasAccount())
        return false;
    QMetaObject::invokeMethod(
        this,
        [this, done, signal] {
            emit accountRefused(0);
            if (signal)
                emit(this->*signal)();
            if (done) {
                ServiceOutcome outcome;
                outcome.code = ServiceOutcome::noAccount;
                outcome.error = QStringLiteral("no account configured");
                done(outcome);
            }
        },
        Qt::QueuedConnection);
    return true;
}

QUrlQuery HttpService::getDefaultQueryParams() const
{
    DataModule *dataModule = const_cast<HttpService *>(this)->store();
    QUrlQuery q;
    addFormItem(q, QStringLiteral("idSender"), QString::number(m_idTrainer));
    addFormItem(q, QStringLiteral("action"), QStringLiteral("getUsers"));
    addFormItem(q, QStringLiteral("appVersion"), dataModule->m_appVersion);
    addFormItem(q, QStringLiteral("appOS"), dataModule->m_appOS);
    return q;
}

void HttpService::addFormItem(QUrlQuery &q, const QString &key, const QString &value)
{
    q.addQueryItem(QString::fromLatin1(QUrl::toPercentEncoding(key)),
                   QString::fromLatin1(QUrl::toPercentEncoding(value)));
}

QByteArray HttpService::encodeForm(const QUrlQuery &q)
{
    QByteArray body;
    const auto items = q.queryItems(QUrl::FullyDecoded);
    for (const auto &item : items) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(item.first);
        body += '=';
        body += QUrl::toPercentEncoding(item.second);
    }
    // toPercentEncoding leaves no "+", but a plus read by the service as a space would
    // change the data: make sure.
    body.replace('+', "%2B");
    return body;
}

QNetworkReply *HttpService::postData(const QUrlQuery &q)
{
    const QByteArray body = encodeForm(q);
    QNetworkRequest request = serviceRequest(m_url, true);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    QNetworkReply *reply = m_networkManager->post(request, body);
    ReplyWatchdog::watch(reply, m_requestTimeoutMs, maxReplyBytes);
    return reply;
}

QNetworkReply *HttpService::getFile(const QUrl &url, int idleMs, qint64 maxBytes, bool token)
{
    QNetworkReply *reply = m_networkManager->get(serviceRequest(url, token));
    ReplyWatchdog::watch(reply, idleMs, maxBytes);
    return reply;
}

bool HttpService::readEnvelope(QNetworkReply *reply, QJsonObject *data, int *code, QByteArray *body,
                               int quietCode, QString *error)
{
    reply->deleteLater();
    if (code)
        *code = -1;
    if (ReplyWatchdog::failed(reply)) {
        const QString text = ReplyWatchdog::failureText(reply);
        qCDebug(lcCloud).noquote() << "error reply:" << text;
        if (error)
            *error = text;
        return false;
    }
    const QByteArray bytes = reply->readAll();
    if (body)
        *body = bytes;
    // Anything but a JSON object reads as an empty object, whose code is 0.
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    const QJsonObject status = root.value(QStringLiteral("status")).toObject();
    const int statusCode = status.value(QStringLiteral("code")).toInt(0);
    if (code)
        *code = statusCode;
    if (statusCode == 401 || statusCode == 403)
        emit accountRefused(statusCode);
    if (statusCode != 200) {
        const QString text = status.value(QStringLiteral("extradescr")).toString();
        if (statusCode != quietCode)
            qCDebug(lcCloud).noquote() << "error" << text;
        if (error)
            *error = statusCode == 0 && text.isEmpty() ? QStringLiteral("unreadable reply") : text;
        return false;
    }
    if (data)
        *data = root.value(QStringLiteral("data")).toObject();
    return true;
}

void HttpService::failLater(void (HttpService::*signal)(), const OutcomeHandler &done, const QString &error)
{
    QMetaObject::invokeMethod(
        this,
        [this, signal, done, error] {
            emit(this->*signal)();
            if (done)
                done(outcomeOf(false, 0, error));
        },
        Qt::QueuedConnection);
}

ServiceOutcome HttpService::outcomeOf(bool ok, int code, const QString &error)
{
    ServiceOutcome outcome;
    outcome.code = ok ? 200 : (code == 200 ? 0 : code);
    outcome.error = error;
    return outcome;
}

void HttpService::checkConnection()
{
    QNetworkRequest request = serviceRequest(connectionProbeUrl(), false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_networkManager->get(request);
    ReplyWatchdog::watch(reply, m_probeTimeoutMs, maxReplyBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        m_connected = !ReplyWatchdog::failed(reply);
        emit onConnectionStatus(m_connected);
    });
}

QUrl HttpService::connectionProbeUrl() const
{
    // Before the endpoint is chosen, the production one tells where the service is.
    const QUrl endpoint = m_url.isEmpty() ? QUrl(AppSettings::endpoint(), QUrl::TolerantMode) : m_url;
    QUrl probe;
    probe.setScheme(endpoint.scheme());
    probe.setHost(endpoint.host());
    probe.setPort(endpoint.port());
    probe.setPath(QStringLiteral("/"));
    return probe;
}

void HttpService::uploadProgress(qint64 sent, qint64 total)
{
    emit onUploadProgress(sent, total);
}

// ---------------------------------------------------------------- clients

void HttpService::getClients()
{
    if (withoutAccount())
        return;
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("getUsers"));
    QNetworkReply *reply = postData(q);
    const quint64 askedAt = m_confirmations;
    connect(reply, &QNetworkReply::finished, this, [this, reply, askedAt] { getClientsReply(reply, askedAt); });
}

void HttpService::noteConfirmed(QHash<int, quint64> &records, int webId)
{
    if (webId > 0)
        records.insert(webId, ++m_confirmations);
}

bool HttpService::confirmedSince(const QHash<int, quint64> &records, int webId, quint64 since)
{
    const auto it = records.constFind(webId);
    return it != records.constEnd() && it.value() > since;
}

void HttpService::getClientsReply(QNetworkReply *reply, quint64 askedAt)
{
    QJsonObject data;
    if (!readEnvelope(reply, &data))
        return;
    const QJsonArray users = data.value(QStringLiteral("users")).toArray();
    const int n = int(users.size());
    QList<Client> list;
    {
        StoreTransaction transaction(store());
        for (int k = 1; k <= n; ++k) {
            // Every member is text; anything else reads as empty text or 0.
            const QJsonObject user = users.at(k - 1).toObject();
            const auto text = [&user](const char *key) { return user.value(QLatin1String(key)).toString(); };
            Client client;
            client.web_id = text("id").toInt();
            client.name = text("name");
            client.surname = text("surname");
            client.birthday = QDate::fromString(text("birthday"), dateFormat);
            client.sex = text("sex");
            client.address = text("address");
            client.city = text("city");
            client.province = text("province");
            client.zipcode = text("zipcode");
            client.phone = text("phone");
            client.email = text("email");
            client.syncKey = text("syncKey");
            client.height = text("height").toDouble();
            client.weight = text("weight").toDouble();
            client.offline = false;
            if (storeDownloadedClient(client, askedAt))
                list.append(client);
            if (k % 3 == 0)
                emit onGetClientsProgress(k, n);
        }
    }
    emit onGetClients(list);
}

bool HttpService::storeDownloadedClient(Client &client, quint64 askedAt)
{
    // Web id 0 is what every client not yet sent has: matching on it would overwrite them all.
    if (client.web_id <= 0) {
        qCDebug(lcCloud).noquote() << "skipped user without a valid id";
        return false;
    }
    // Deleted here, deletion not yet confirmed: the service copy does not bring it back.
    if (store()->outbox()->deletionPending(OutboxItem::Kind::ClientDeletion, client.web_id))
        return false;
    // Changed or deleted here and confirmed after this list was made: the list is older.
    if (confirmedSince(m_clientConfirmed, client.web_id, askedAt))
        return false;
    try {
        if (!Client::web_id_exists(client.web_id) && adoptByKey(client))
            return true;
        if (Client::web_id_exists(client.web_id)) {
            Client local;
            local.loadFromWebID(client.web_id);
            if (local.offline) {
                // Changed here and not yet sent: the local record wins and goes up later.
                client = local;
                return true;
            }
            // The list carries no activity level: keep the one recorded here.
            client.id = local.id;
            client.activityLevel = local.activityLevel;
        }
        client.saveToDB(false, true);
    } catch (const std::exception &e) {
        qCDebug(lcCloud).noquote() << "skipped user" << client.web_id << e.what();
        return false;
    }
    return true;
}

bool HttpService::adoptByKey(Client &client)
{
    // A client created here whose reply never came: the service holds it under the key
    // sent with it. It becomes that record instead of a second local client.
    if (client.syncKey.isEmpty())
        return false;
    QSqlQuery query(store()->m_db);
    query.prepare(QStringLiteral("select id from clients where syncKey = :key and (web_id = 0 or web_id is null)"));
    query.bindValue(QStringLiteral(":key"), client.syncKey);
    if (!query.exec() || !query.first())
        return false;
    Client local;
    local.loadFromDB(query.value(0).toInt());
    const QString folder = local.getDataPath(false);
    if (!local.setWebId(client.web_id) && QFileInfo::exists(folder))
        return false;
    if (local.offline) {
        // Changed here: stays waiting with its local content, now under the service's id.
        store()->saveClient(&local, false);
        client = local;
        return true;
    }
    client.id = local.id;
    client.activityLevel = local.activityLevel;
    return store()->saveClient(&client, false);
}

void HttpService::saveClient(Client *client, OutcomeHandler done)
{
    if (!client || withoutAccount(done, &HttpService::onUploadClientFail))
        return;
    const int localId = client->id;
    const QJsonObject sent = client->toJSONObject(true);
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("setUserData"));
    addFormItem(q, QStringLiteral("data"), indentedJson(sent));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, localId, sent, done] { saveClientReply(reply, localId, sent, done); });
}

void HttpService::resolveClient(const QJsonObject &record, OutcomeHandler done)
{
    if (withoutAccount(done))
        return;
    QJsonObject sent = record;
    sent.insert(QStringLiteral("id"), 0);
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("setUserData"));
    addFormItem(q, QStringLiteral("data"), indentedJson(sent));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] { done(readUploadReply(reply)); });
}

ServiceOutcome HttpService::readUploadReply(QNetworkReply *reply)
{
    QJsonObject data;
    QByteArray body;
    int code = -1;
    QString error;
    const bool ok = readEnvelope(reply, &data, &code, &body, noQuietCode, &error);
    if (!body.isEmpty())
        qCDebug(lcCloud).noquote() << QString::fromUtf8(body);
    ServiceOutcome outcome = outcomeOf(ok, code, error);
    outcome.webId = ok ? positiveId(data.value(QStringLiteral("id"))) : 0;
    if (ok && outcome.webId == 0) {
        // Without the id nothing here can be matched to the service's record.
        outcome.code = 0;
        outcome.error = QStringLiteral("reply without a valid id");
        qCDebug(lcCloud).noquote() << "error" << "upload reply without a valid id";
    }
    return outcome;
}

void HttpService::saveClientReply(QNetworkReply *reply, int localId, const QJsonObject &sent,
                                  const OutcomeHandler &done)
{
    const ServiceOutcome outcome = readUploadReply(reply);
    const auto finish = [&](bool ok) {
        if (ok)
            emit onUploadClientDone(localId);
        else
            emit onUploadClientFail();
        if (done)
            done(outcome);
    };
    if (!outcome.ok()) {
        finish(false);
        return;
    }
    Client client;
    client.loadFromDB(localId);
    if (localId <= 0 || client.id != localId) {
        // Deleted here while the request was on its way: the service now holds a record
        // nobody here has. Its deletion, queued by its key, learns the id to delete.
        qCDebug(lcCloud).noquote() << "uploaded client no longer stored locally" << localId;
        store()->outbox()->resolveDeletion(OutboxItem::Kind::ClientDeletion,
                                           sent.value(QStringLiteral("syncKey")).toString(), outcome.webId);
        emit onUploadClientFail();
        if (done)
            done(outcome);  // its item went with the client
        return;
    }
    noteConfirmed(m_clientConfirmed, outcome.webId);
    client.setWebId(outcome.webId);
    // Changed here while the request was on its way: it stays pending and goes up again.
    QJsonObject now = client.toJSONObject(true);
    QJsonObject before = sent;
    now.remove(QStringLiteral("id"));
    before.remove(QStringLiteral("id"));
    client.offline = now != before;
    store()->saveClient(&client, false);
    emit onUpdateClient(localId);
    finish(true);
}

void HttpService::deleteClient(int webId, OutcomeHandler done)
{
    if (withoutAccount(done))
        return;
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("deleteUser"));
    addFormItem(q, QStringLiteral("idUser"), QString::number(webId));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, webId, done] { deleteClientReply(reply, webId, done); });
}

void HttpService::deleteClientReply(QNetworkReply *reply, int webId, const OutcomeHandler &done)
{
    int code = -1;
    QString error;
    const bool ok = readEnvelope(reply, nullptr, &code, nullptr, noQuietCode, &error);
    if (ok) {
        qCDebug(lcCloud).noquote() << "delete user ok (http)";
        noteConfirmed(m_clientConfirmed, webId);
    }
    if (done)
        done(outcomeOf(ok, code, error));
}

// ---------------------------------------------------------------- anamnesis

void HttpService::saveAnamnesi(Anamnesi *anamnesi, OutcomeHandler done)
{
    if (!anamnesi || withoutAccount(done, &HttpService::onUploadAnamnesiFail))
        return;
    const int localId = anamnesi->id;
    Client client;
    client.loadFromDB(anamnesi->idClient);
    const QJsonObject sent = anamnesi->getJsonObject();
    QJsonObject payload = sent;
    if (!anamnesi->syncKey.isEmpty())
        payload.insert(QStringLiteral("syncKey"), anamnesi->syncKey);
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("uploadAnamnesi"));
    addFormItem(q, QStringLiteral("idUser"), QString::number(client.web_id));
    addFormItem(q, QStringLiteral("idAnamnesi"), QString::number(anamnesi->web_id));
    addFormItem(q, QStringLiteral("data"), indentedJson(payload));
    QNetworkReply *reply = postData(q);
    const QString key = anamnesi->syncKey;
    connect(reply, &QNetworkReply::finished, this, [this, reply, localId, sent, key, done] {
        QJsonObject compared = sent;
        compared.insert(QStringLiteral("syncKey"), key);
        saveAnamnesiReply(reply, localId, compared, done);
    });
}

void HttpService::resolveAnamnesi(int webIdUser, const QJsonObject &record, OutcomeHandler done)
{
    if (withoutAccount(done))
        return;
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("uploadAnamnesi"));
    addFormItem(q, QStringLiteral("idUser"), QString::number(webIdUser));
    addFormItem(q, QStringLiteral("idAnamnesi"), QStringLiteral("0"));
    addFormItem(q, QStringLiteral("data"), indentedJson(record));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] { done(readUploadReply(reply)); });
}

void HttpService::saveAnamnesiReply(QNetworkReply *reply, int localId, const QJsonObject &sent,
                                    const OutcomeHandler &done)
{
    const ServiceOutcome outcome = readUploadReply(reply);
    const auto finish = [&](Anamnesi *stored) {
        if (stored)
            emit onUploadAnamnesiDone(stored);
        else if (!outcome.ok())
            emit onUploadAnamnesiFail();
        if (done)
            done(outcome);
    };
    if (!outcome.ok()) {
        finish(nullptr);
        return;
    }
    Anamnesi anamnesi;
    anamnesi.loadFromDB(localId, false);
    if (localId <= 0 || anamnesi.id != localId) {
        qCDebug(lcCloud).noquote() << "uploaded anamnesi no longer stored locally" << localId;
        store()->outbox()->resolveDeletion(OutboxItem::Kind::AnamnesiDeletion,
                                           sent.value(QStringLiteral("syncKey")).toString(), outcome.webId);
        finish(nullptr);
        return;
    }
    noteConfirmed(m_anamnesiConfirmed, outcome.webId);
    anamnesi.web_id = outcome.webId;
    // Changed here while the request was on its way: it stays pending and goes up again.
    QJsonObject now = anamnesi.getJsonObject();
    now.insert(QStringLiteral("syncKey"), anamnesi.syncKey);
    anamnesi.offline = now != sent;
    anamnesi.SaveToDB(false, false);
    finish(&anamnesi);
}

void HttpService::deleteAnamnesi(int webId, OutcomeHandler done)
{
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("deleteAnamnesi"));
    addFormItem(q, QStringLiteral("idAnamnesi"), QString::number(webId));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, webId, done] { deleteAnamnesiReply(reply, webId, done); });
}

void HttpService::deleteAnamnesiReply(QNetworkReply *reply, int webId, const OutcomeHandler &done)
{
    int code = -1;
    QString error;
    const bool ok = readEnvelope(reply, nullptr, &code, nullptr, noQuietCode, &error);
    // The local row went when the operator deleted it; a confirmation changes nothing here.
    if (ok) {
        qCDebug(lcCloud).noquote() << "deleteAnamnesi ok (http)";
        noteConfirmed(m_anamnesiConfirmed, webId);
        emit onUploadDeletedAnamnesiDone(webId);
    } else {
        emit onUploadDeletedAnamnesiFail(webId);
    }
    if (done)
        done(outcomeOf(ok, code, error));
}

void HttpService::getUserAnamnesis(int webIdUser)
{
    if (withoutAccount())
        return;
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("getUserAnamnesis"));
    addFormItem(q, QStringLiteral("idUser"), QString::number(webIdUser));
    QNetworkReply *reply = postData(q);
    const quint64 askedAt = m_confirmations;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, askedAt] { getUserAnamnesisReply(reply, askedAt); });
}

void HttpService::getUserAnamnesisReply(QNetworkReply *reply, quint64 askedAt)
{
    QJsonObject data;
    if (!readEnvelope(reply, &data))
        return;
    const QJsonArray items = data.value(QStringLiteral("anamnesis")).toArray();
    QList<Anamnesi> list;
    for (const QJsonValue &value : items) {
        const QJsonObject item = value.toObject();
        const int webIdUser = positiveId(item.value(QStringLiteral("idUser")));
        int localClient = 0;
        try {
            localClient = webIdUser > 0 ? Client::id_from_web_id(webIdUser) : 0;
        } catch (const std::exception &e) {
            qCDebug(lcCloud).noquote() << "skipped anamnesi" << e.what();
        }
        if (localClient == 0)
            continue;
        Anamnesi anamnesi;
        anamnesi.web_id = positiveId(item.value(QStringLiteral("id")));
        anamnesi.name = item.value(QStringLiteral("name")).toString();
        anamnesi.date = QDateTime::fromString(item.value(QStringLiteral("anamnesiDate")).toString(), anamnesiDateFormat);
        anamnesi.idClient = localClient;
        anamnesi.offline = false;
        anamnesi.loadFromByteArray(item.value(QStringLiteral("object")).toString().toUtf8());
        anamnesi.syncKey = item.value(QStringLiteral("syncKey")).toString();
        if (storeDownloadedAnamnesi(anamnesi, askedAt))
            list.append(anamnesi);
    }
    emit onGetAnamnesis(list);
}

bool HttpService::storeDownloadedAnamnesi(Anamnesi &anamnesi, quint64 askedAt)
{
    if (anamnesi.web_id <= 0) {
        qCDebug(lcCloud).noquote() << "skipped anamnesi without a valid id";
        return false;
    }
    // Deleted here, deletion not yet confirmed: the service copy does not bring it back.
    if (store()->outbox()->deletionPending(OutboxItem::Kind::AnamnesiDeletion, anamnesi.web_id)
        || confirmedSince(m_anamnesiConfirmed, anamnesi.web_id, askedAt))
        return false;
    if (!anamnesi.syncKey.isEmpty()) {
        // Created here, reply lost: the local row takes the service's id.
        QSqlQuery adopt(store()->m_db);
        adopt.prepare(QStringLiteral("update anamnesis set web_id = :web_id where syncKey = :key and "
                                     "(web_id = 0 or web_id is null)"));
        adopt.bindValue(QStringLiteral(":web_id"), anamnesi.web_id);
        adopt.bindValue(QStringLiteral(":key"), anamnesi.syncKey);
        adopt.exec();
    }
    QSqlQuery query(store()->m_db);
    query.prepare(QStringLiteral("select id, offline, deleted from anamnesis where web_id = :web_id"));
    query.bindValue(QStringLiteral(":web_id"), anamnesi.web_id);
    if (query.exec() && query.first()) {
        if (query.value(2).toBool()) {
            // Deleted here, deletion not yet confirmed: the service copy does not bring it back.
            return false;
        }
        if (query.value(1).toBool()) {
            // Changed here and not yet sent: the local record wins and goes up later.
            const int localId = query.value(0).toInt();
            Anamnesi local;
            local.loadFromDB(localId, false);
            anamnesi = local;
            return true;
        }
    }
    try {
        anamnesi.SaveToDB(false, true);
    } catch (const std::exception &e) {
        qCDebug(lcCloud).noquote() << "skipped anamnesi" << anamnesi.web_id << e.what();
        return false;
    }
    return true;
}

void HttpService::getAnamnesiModels()
{
    if (withoutAccount())
        return;
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("action"), QStringLiteral("getAnamnesiModels"));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { getAnamnesiModelsReply(reply); });
}

void HttpService::getAnamnesiModelsReply(QNetworkReply *reply)
{
    // Handled silently: no model list is no news.
    reply->deleteLater();
    if (ReplyWatchdog::failed(reply))
        return;
    const QJsonObject root = QJsonDocument::fromJson(reply->readAll()).object();
    if (root.value(QStringLiteral("status")).toObject().value(QStringLiteral("code")).toInt(0) != 200)
        return;
    const QString folder = store()->m_assetsPath + QStringLiteral("models/");
    QDir().mkpath(folder);
    const QJsonArray files = root.value(QStringLiteral("data")).toObject().value(QStringLiteral("files")).toArray();
    for (const QJsonValue &file : files) {
        if (file.isString())
            downloadFile(file.toString(), folder);
    }
}

void HttpService::downloadFile(const QString &url, const QString &folder)
{
    const QUrl address(url, QUrl::TolerantMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qCDebug(lcCloud).noquote() << "Error:" << "not a web address:" << url;
        return;
    }
    QNetworkReply *reply = getFile(address, m_requestTimeoutMs, maxDownloadBytes);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, url, folder] { downloadFileReply(reply, url, folder); });
}

void HttpService::downloadFileReply(QNetworkReply *reply, const QString &url, const QString &folder)
{
    reply->deleteLater();
    if (ReplyWatchdog::failed(reply)) {
        qCDebug(lcCloud).noquote() << "Error:" << ReplyWatchdog::failureText(reply);
        return;
    }
    const QString name = QUrl(url, QUrl::TolerantMode).fileName(QUrl::FullyDecoded);
    if (!usableFileName(name)) {
        qCDebug(lcCloud).noquote() << "skipped download without a usable file name:" << url;
        return;
    }
    QString target = folder;
    if (!target.endsWith(QLatin1Char('/')))
        target += QLatin1Char('/');
    target += name;
    const QFileInfo info(target);
    if (QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(QDir(folder).absolutePath())) {
        qCDebug(lcCloud).noquote() << "skipped download outside its folder:" << url;
        return;
    }
    // A link planted under that name would send the data elsewhere: replace the link.
    if (info.isSymLink())
        QFile::remove(target);
    // Written aside and renamed: an interrupted write never leaves half a file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(reply->readAll());
    if (!file.commit())
        return;
    qCDebug(lcCloud).noquote() << "File downloaded successfully" << target;
}

// ---------------------------------------------------------------- exam upload

void HttpService::uploadExam(Exam *exam, QList<ScanFile> *scanFiles, OutcomeHandler done)
{
    if (!exam) {
        failLater(&HttpService::onUploadExamFail, done, QStringLiteral("no exam"));
        return;
    }
    if (withoutAccount(done, &HttpService::onUploadExamFail))
        return;
    DataModule *dataModule = store();
    ExamUploadForm form;
    form.idSender = QByteArray::number(m_idTrainer);
    form.appVersion = dataModule->m_appVersion.toUtf8();
    form.appOS = dataModule->m_appOS.toUtf8();
    form.exam = QJsonDocument(exam->toJSONObject(true)).toJson(QJsonDocument::Indented);
    form.url = m_url;

    QStringList files;
    if (scanFiles) {
        for (const ScanFile &scan : *scanFiles) {
            files << scan.jpgFile << scan.d2dFile;
            if (!scan.jsonFile.isEmpty())
                files << scan.jsonFile;
        }
    }

    auto *builder = new ExamArchiveBuilder(this);
    UploadArchiveFile *archive = UploadArchiveFile::create(builder);
    if (!archive) {
        qCDebug(lcCloud).noquote() << "zipFile" << QDir::tempPath() << "cannot hold the archive";
        builder->deleteLater();
        failLater(&HttpService::onUploadExamFail, done, QStringLiteral("no room for the archive"));
        return;
    }
    qCDebug(lcCloud).noquote() << "zipFile" << archive->fileName();
    connect(builder, &ExamArchiveBuilder::finished, this,
            [this, builder, archive, form, done](const ExamArchiveBuilder::Result &result) {
                sendExam(builder, archive, result.ok, result.error, form, done);
            });
    builder->start(archive->fileName(), files);
}

void HttpService::sendExam(ExamArchiveBuilder *builder, UploadArchiveFile *archive, bool built,
                           const QString &buildError, const ExamUploadForm &form, const OutcomeHandler &done)
{
    builder->deleteLater();
    const auto fail = [&](const QString &error) {
        emit onUploadExamFail();
        if (done)
            done(outcomeOf(false, 0, error));
    };
    if (!built) {
        // An unreadable body would only be refused by the service: stop here.
        qCDebug(lcCloud).noquote() << "zipFile" << archive->fileName() << "failed:" << buildError;
        fail(buildError);
        return;
    }
    auto *multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    multiPart->append(textPart("idSender", form.idSender));
    multiPart->append(textPart("action", "uploadExamZip"));
    multiPart->append(textPart("appVersion", form.appVersion));
    multiPart->append(textPart("appOS", form.appOS));
    multiPart->append(textPart("exam", form.exam));

    if (!archive->open(QIODevice::ReadOnly)) {
        qCDebug(lcCloud).noquote() << archive->fileName() << "doesn't exists";
        delete multiPart;
        fail(QStringLiteral("archive missing"));
        return;
    }
    QHttpPart filePart;
    filePart.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/octet-stream"));
    filePart.setHeader(QNetworkRequest::ContentDispositionHeader,
                       QByteArrayLiteral("form-data; name=\"UPLOADS\"; filename=\"upload.zip\""));
    // Streamed from disk while the body is sent; the file goes with the form.
    filePart.setBodyDevice(archive);
    archive->setParent(multiPart);
    multiPart->append(filePart);

    QNetworkReply *reply = m_networkManager->post(serviceRequest(form.url, true), multiPart);
    multiPart->setParent(reply);
    // The time-out counts from the last progress, so a slow line still gets through.
    ReplyWatchdog::watch(reply, m_uploadTimeoutMs, maxReplyBytes);
    connect(reply, &QNetworkReply::uploadProgress, this, &HttpService::uploadProgress);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] { uploadExamReply(reply, done); });
}

void HttpService::uploadExamReply(QNetworkReply *reply, const OutcomeHandler &done)
{
    QJsonObject data;
    int code = 0;
    QString error;
    // A full storage has a log line of its own.
    if (readEnvelope(reply, &data, &code, nullptr, 405, &error)) {
        qCDebug(lcCloud).noquote() << "upload exam ok (http)";
        Exam exam;
        exam.idUser = positiveId(data.value(QStringLiteral("idUser")));
        exam.examDate = QDate::fromString(data.value(QStringLiteral("examDate")).toString(), dateFormat);
        if (exam.idUser == 0 || !exam.examDate.isValid()) {
            // Receivers find their records by these two: without them nothing is known.
            qCDebug(lcCloud).noquote() << "error" << "uploadExamZip reply without client or date";
            emit onUploadExamFail();
            if (done)
                done(outcomeOf(false, 0, QStringLiteral("reply without client or date")));
            return;
        }
        emit onUploadExamDone(&exam);
        if (done)
            done(outcomeOf(true, 200, QString()));
        return;
    }
    if (code == 405) {
        qCDebug(lcCloud).noquote() << "uploadExam -> WebSpaceOver";
        emit onWebSpaceOver();
    } else {
        emit onUploadExamFail();
    }
    if (done)
        done(outcomeOf(false, code, error));
}

// ---------------------------------------------------------------- remote works

void HttpService::getUserWorks(int webIdUser)
{
    if (withoutAccount())
        return;
    QUrlQuery q = getDefaultQueryParams();
    addFormItem(q, QStringLiteral("idUser"), QString::number(webIdUser));
    addFormItem(q, QStringLiteral("action"), QStringLiteral("getUserWorks"));
    QNetworkReply *reply = postData(q);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { getUserWorksReply(reply); });
}

void HttpService::getUserWorksReply(QNetworkReply *reply)
{
    QJsonObject data;
    if (!readEnvelope(reply, &data))
        return;
    const QJsonArray works = data.value(QStringLiteral("works")).toArray();
    QList<Exam> list;
    for (const QJsonValue &value : works) {
        const QJsonObject work = value.toObject();
        Exam exam;
        exam.id = work.value(QStringLiteral("id")).toInt(0);
        exam.examDate = QDate::fromString(work.value(QStringLiteral("date")).toString(), dateFormat);
        exam.subKind = work.value(QStringLiteral("examKind")).toInt(0);
        exam.weight = work.value(QStringLiteral("weight")).toDouble(0);
        exam.bodyFat = work.value(QStringLiteral("bodyFat")).toDouble(0);
        exam.activityLevel = work.value(QStringLiteral("activityLevel")).toInt(0);
        exam.notes = work.value(QStringLiteral("note")).toString();
        const QJsonArray names = work.value(QStringLiteral("scanFilenames")).toArray();
        for (const QJsonValue &name : names)
            exam.scanNames << name.toString();
        list.append(exam);
    }
    emit onGetUserWorks(list);
}

QUrl HttpService::getUserFileUrl(int webIdUser, const QString &kind, const QString &fileName) const
{
    QUrlQuery q;
    addFormItem(q, QStringLiteral("idSender"), QString::number(m_idTrainer));
    addFormItem(q, QStringLiteral("action"), QStringLiteral("getUserFile"));
    addFormItem(q, QStringLiteral("idUser"), QString::number(webIdUser));
    addFormItem(q, QStringLiteral("kind"), kind);
    addFormItem(q, QStringLiteral("filename"), fileName);
    QUrl url = m_url;
    url.setQuery(QString::fromLatin1(encodeForm(q)), QUrl::StrictMode);
    return url;
}

QNetworkReply *HttpService::getUserFile(int webIdUser, const QString &kind, const QString &fileName)
{
    // Without an account the caller still gets a reply, one that fails at once
    // without a request (a scheme nothing serves).
    if (withoutAccount())
        return m_networkManager->get(QNetworkRequest(QUrl(QStringLiteral("calvestra-no-account:"))));
    QNetworkReply *reply = getFile(getUserFileUrl(webIdUser, kind, fileName), m_requestTimeoutMs, maxDownloadBytes, true);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 401 || status == 403)
            emit accountRefused(status);
    });
    return reply;
}

// ---------------------------------------------------------------- software update

QUrl HttpService::softwareUpdateFileUrl()
{
    QUrl url(AppSettings::webHost(), QUrl::TolerantMode);
    url.setPath(updateFilePath);
    return url;
}

void HttpService::getSoftwareUpdateFile()
{
    QNetworkReply *reply = getFile(softwareUpdateFileUrl(), m_requestTimeoutMs, maxUpdateFileBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (!ReplyWatchdog::failed(reply))
            emit onSwUpdateFile(QString::fromUtf8(reply->readAll()));
    });
}
