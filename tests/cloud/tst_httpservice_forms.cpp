// What the service receives from each call: the common fields, their order, the
// duplicated action, the encoding, the endpoint and its development twin, and the
// connectivity probe of the service host.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "anamnesis/Anamnesi.h"
#include "store/Exam.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QSysInfo>

class TestHttpServiceForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void encodingIsFullAndOrdered();
    void everyFormStartsWithTheCommonFields();
    void valuesArriveExactly();
    void examUploadIsSixPartsInOrder();
    void userFileQueryIsExactlyFiveItems();
    void developmentEndpoint();
    void endpointWithoutPhpIsUsedUnchanged();
    void callBeforeAnyEndpointFails();
    void probeAsksTheServiceHost();
    void probeReportsEveryOutcome();
    void emptyDataIsASuccess();

private:
    QStringList common() const { return {"idSender", "action", "appVersion", "appOS"}; }
    void checkCommon(const QJsonObject &request, int account);

    ReferenceService m_service;
};

void TestHttpServiceForms::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestHttpServiceForms::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

void TestHttpServiceForms::checkCommon(const QJsonObject &request, int account)
{
    const auto fields = recordedFields(request);
    QVERIFY(fields.size() >= 5);
    QCOMPARE(fields.at(0), qMakePair(QStringLiteral("idSender"), QString::number(account)));
    QCOMPARE(fields.at(1), qMakePair(QStringLiteral("action"), QStringLiteral("getUsers")));
    QCOMPARE(fields.at(2), qMakePair(QStringLiteral("appVersion"), QStringLiteral("0.6.4")));
    QCOMPARE(fields.at(3), qMakePair(QStringLiteral("appOS"), QSysInfo::productType()));
    QCOMPARE(request.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    QVERIFY(request.value(QStringLiteral("contentType")).toString().startsWith(
        QStringLiteral("application/x-www-form-urlencoded")));
}

void TestHttpServiceForms::encodingIsFullAndOrdered()
{
    QUrlQuery q;
    HttpService::addFormItem(q, QStringLiteral("idSender"), QStringLiteral("7"));
    HttpService::addFormItem(q, QStringLiteral("action"), QStringLiteral("getUsers"));
    HttpService::addFormItem(q, QStringLiteral("text"), QStringLiteral("a+b c&d=e%41/é"));
    HttpService::addFormItem(q, QStringLiteral("action"), QStringLiteral("setUserData"));
    QCOMPARE(HttpService::encodeForm(q),
             QByteArray("idSender=7&action=getUsers&text=a%2Bb%20c%26d%3De%2541%2F%C3%A9&action=setUserData"));

    // Items added by plain QUrlQuery calls are encoded just as fully.
    QUrlQuery plain;
    plain.addQueryItem(QStringLiteral("k"), QStringLiteral("1+1 = 2"));
    QCOMPARE(HttpService::encodeForm(plain), QByteArray("k=1%2B1%20%3D%202"));
}

void TestHttpServiceForms::everyFormStartsWithTheCommonFields()
{
    const int account = 4101;
    CloudCase c(m_service, account);

    // Client list: the default action, then its own.
    c->getClients();
    QJsonObject r = waitForRequest(m_service, QStringLiteral("getUsers"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action");
    QCOMPARE(recordedFields(r).at(4).second, QStringLiteral("getUsers"));

    // Client upload.
    Client client = c.addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
    QSignalSpy clientDone(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    QVERIFY(clientDone.wait(10000));
    r = waitForRequest(m_service, QStringLiteral("setUserData"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action" << "data");
    QCOMPARE(fieldValue(r, QStringLiteral("action")), QStringLiteral("setUserData"));
    const QString data = fieldValue(r, QStringLiteral("data"));
    QVERIFY2(data.contains(QStringLiteral("\n    \"")), "indented JSON");
    QCOMPARE(QJsonDocument::fromJson(data.toUtf8()).object(), client.toJSONObject(true));
    client.loadFromDB(client.id);
    QVERIFY(client.web_id > 0);

    // Deletion of a client never sent carries idUser 0.
    c->deleteClient(0);
    r = waitForRequest(m_service, QStringLiteral("deleteUser"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action" << "idUser");
    QCOMPARE(fieldValue(r, QStringLiteral("idUser")), QStringLiteral("0"));

    // Anamnesis upload: the client's web id, the record's web id, the JSON.
    Anamnesi anamnesi;
    anamnesi.name = QStringLiteral("Anamnesi generale");
    anamnesi.date = QDateTime(QDate(2024, 5, 6), QTime(10, 11, 12));
    anamnesi.idClient = client.id;
    anamnesi.note = QStringLiteral("nota");
    anamnesi.SaveToDB(false, false);
    QSignalSpy anamnesiDone(c.http(), &HttpService::onUploadAnamnesiDone);
    c->saveAnamnesi(&anamnesi);
    QVERIFY(anamnesiDone.wait(10000));
    r = waitForRequest(m_service, QStringLiteral("uploadAnamnesi"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action" << "idUser" << "idAnamnesi" << "data");
    QCOMPARE(fieldValue(r, QStringLiteral("idUser")), QString::number(client.web_id));
    QCOMPARE(fieldValue(r, QStringLiteral("idAnamnesi")), QStringLiteral("0"));
    QCOMPARE(QJsonDocument::fromJson(fieldValue(r, QStringLiteral("data")).toUtf8()).object(),
             anamnesi.getJsonObject());

    c->deleteAnamnesi(77);
    r = waitForRequest(m_service, QStringLiteral("deleteAnamnesi"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action" << "idAnamnesi");
    QCOMPARE(fieldValue(r, QStringLiteral("idAnamnesi")), QStringLiteral("77"));

    c->getUserAnamnesis(client.web_id);
    r = waitForRequest(m_service, QStringLiteral("getUserAnamnesis"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action" << "idUser");
    QCOMPARE(fieldValue(r, QStringLiteral("idUser")), QString::number(client.web_id));

    c->getAnamnesiModels();
    r = waitForRequest(m_service, QStringLiteral("getAnamnesiModels"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "action");

    // Works: idUser comes before the call's own action.
    c->getUserWorks(client.web_id);
    r = waitForRequest(m_service, QStringLiteral("getUserWorks"));
    checkCommon(r, account);
    QCOMPARE(fieldNames(r), common() << "idUser" << "action");
    QCOMPARE(recordedFields(r).at(4).second, QString::number(client.web_id));
    QCOMPARE(recordedFields(r).at(5).second, QStringLiteral("getUserWorks"));
}

void TestHttpServiceForms::valuesArriveExactly()
{
    CloudCase c(m_service, 4102);
    // Plus, space, percent sequences, delimiters and non-ASCII text all survive.
    Client client = c.addClient(QStringLiteral("D'Amico + Figli & Co = 100%41"), QStringLiteral("Nicolò  Luca"));
    client.address = QStringLiteral("Via Roma 1/b ?#[]");
    c.store()->saveClient(&client, false);
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    QVERIFY(done.wait(10000));
    const QJsonObject r = waitForRequest(m_service, QStringLiteral("setUserData"));
    const QJsonObject sent = QJsonDocument::fromJson(fieldValue(r, QStringLiteral("data")).toUtf8()).object();
    QCOMPARE(sent.value(QStringLiteral("surname")).toString(), client.surname);
    QCOMPARE(sent.value(QStringLiteral("name")).toString(), client.name);
    QCOMPARE(sent.value(QStringLiteral("address")).toString(), client.address);
    QCOMPARE(sent.value(QStringLiteral("phone")).toString(), QStringLiteral("+39 011 555 1234"));

    // And come back the same in the client list.
    QSignalSpy list(c.http(), &HttpService::onGetClients);
    c->getClients();
    QVERIFY(list.wait(10000));
    const auto clients = list.at(0).at(0).value<QList<Client>>();
    QCOMPARE(clients.size(), 1);
    QCOMPARE(clients.at(0).surname, client.surname);
    QCOMPARE(clients.at(0).phone, client.phone);
}

void TestHttpServiceForms::examUploadIsSixPartsInOrder()
{
    const int account = 4103;
    CloudCase c(m_service, account);
    Client client = c.addClient(QStringLiteral("Verdi"), QStringLiteral("Anna"));
    QSignalSpy clientDone(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    QVERIFY(clientDone.wait(10000));
    client.loadFromDB(client.id);

    const ScanFile scan = writeScan(client.getDataPath(true), QStringLiteral("Vita"),
                                    QDateTime(QDate(2024, 6, 1), QTime(9, 0, 0)), true);
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 6, 1);
    exam.weight = 70.5;
    exam.notes = QStringLiteral("note + più");
    QList<ScanFile> scans{scan};
    QSignalSpy examDone(c.http(), &HttpService::onUploadExamDone);
    c->uploadExam(&exam, &scans);
    QVERIFY(examDone.wait(20000));

    const QJsonObject r = waitForRequest(m_service, QStringLiteral("uploadExamZip"));
    QVERIFY(r.value(QStringLiteral("contentType")).toString().startsWith(QStringLiteral("multipart/form-data; boundary=")));
    const QJsonArray parts = r.value(QStringLiteral("parts")).toArray();
    QStringList names;
    for (const QJsonValue &p : parts)
        names << p.toObject().value(QStringLiteral("name")).toString();
    QCOMPARE(names, (QStringList{"idSender", "action", "appVersion", "appOS", "exam", "UPLOADS"}));
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(parts.at(i).toObject().value(QStringLiteral("contentType")).toString(), QString());
        QCOMPARE(parts.at(i).toObject().value(QStringLiteral("filename")).toString(), QString());
    }
    QCOMPARE(parts.at(5).toObject().value(QStringLiteral("filename")).toString(), QStringLiteral("upload.zip"));
    QCOMPARE(parts.at(5).toObject().value(QStringLiteral("contentType")).toString(),
             QStringLiteral("application/octet-stream"));
    // Exactly one action here.
    const auto fields = recordedFields(r);
    QCOMPARE(fieldNames(r), (QStringList{"idSender", "action", "appVersion", "appOS", "exam"}));
    QCOMPARE(fields.at(0).second, QString::number(account));
    QCOMPARE(fields.at(1).second, QStringLiteral("uploadExamZip"));
    QCOMPARE(fields.at(2).second, QStringLiteral("0.6.4"));
    QCOMPARE(fields.at(3).second, QSysInfo::productType());
    QVERIFY(fields.at(4).second.contains(QStringLiteral("\n    \"")));
    QCOMPARE(QJsonDocument::fromJson(fields.at(4).second.toUtf8()).object(), exam.toJSONObject(true));
}

void TestHttpServiceForms::userFileQueryIsExactlyFiveItems()
{
    const int account = 4104;
    CloudCase c(m_service, account);
    const QUrl url = c->getUserFileUrl(1532, QStringLiteral("jpg"), QStringLiteral("Coscia dx-20240105--09-30-15.jpg"));
    QCOMPARE(url.path(), QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    QCOMPARE(url.query(QUrl::FullyEncoded),
             QStringLiteral("idSender=4104&action=getUserFile&idUser=1532&kind=jpg&filename=Coscia%20dx-20240105--09-30-15.jpg"));

    // Over the wire, as a GET of the script.
    QNetworkReply *reply = c->getUserFile(1532, QStringLiteral("d2d"), QStringLiteral("A+B é.jpg"));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QVERIFY(reply->error() != QNetworkReply::NoError);  // nothing stored under that name
    delete reply;
    const QJsonObject r = waitForRequest(m_service, QStringLiteral("getUserFile"));
    QCOMPARE(r.value(QStringLiteral("method")).toString(), QStringLiteral("GET"));
    QCOMPARE(r.value(QStringLiteral("query")).toString(),
             QStringLiteral("idSender=4104&action=getUserFile&idUser=1532&kind=d2d&filename=A%2BB%20%C3%A9.jpg"));
    QCOMPARE(fieldValue(r, QStringLiteral("filename")), QStringLiteral("A+B é.jpg"));
}

void TestHttpServiceForms::developmentEndpoint()
{
    CloudCase c(m_service, 4105, true);
    QCOMPARE(c->m_url.path(), QStringLiteral("/Apps/Movelta/vq_webservice_dev.php"));
    QSignalSpy list(c.http(), &HttpService::onGetClients);
    c->getClients();
    QVERIFY(list.wait(10000));
    QCOMPARE(waitForRequest(m_service, QStringLiteral("getUsers")).value(QStringLiteral("path")).toString(),
             QStringLiteral("/Apps/Movelta/vq_webservice_dev.php"));

    // Switching back picks the production script again.
    c->setWebServiceURL(false);
    c->getClients();
    QVERIFY(list.wait(10000));
    QCOMPARE(waitForRequest(m_service, QStringLiteral("getUsers"), 2).value(QStringLiteral("path")).toString(),
             QStringLiteral("/Apps/Movelta/vq_webservice.php"));

    // Every ".php" is replaced, letter case counts.
    AppSettings::setEndpoint(QStringLiteral("http://example.invalid/a.php/b.PHP/c.php"));
    c->setWebServiceURL(true);
    QCOMPARE(c->m_url.path(), QStringLiteral("/a_dev.php/b.PHP/c_dev.php"));
}

void TestHttpServiceForms::endpointWithoutPhpIsUsedUnchanged()
{
    ReferenceService service;
    service.setExtraArguments({QStringLiteral("--extra-endpoint"), QStringLiteral("/calvestra/script")});
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    CloudCase c(service, 4106);
    QUrl endpoint = service.baseUrl();
    endpoint.setPath(QStringLiteral("/calvestra/script"));
    AppSettings::setEndpoint(endpoint.toString());
    for (const bool dev : {false, true}) {
        c->setWebServiceURL(dev);
        QCOMPARE(c->m_url, endpoint);
        QSignalSpy list(c.http(), &HttpService::onGetClients);
        c->getClients();
        QVERIFY(list.wait(10000));
    }
    const QList<QJsonObject> requests = requestsOfKind(service, QStringLiteral("getUsers"));
    QCOMPARE(requests.size(), 2);
    for (const QJsonObject &r : requests)
        QCOMPARE(r.value(QStringLiteral("path")).toString(), QStringLiteral("/calvestra/script"));
}

void TestHttpServiceForms::callBeforeAnyEndpointFails()
{
    QTemporaryDir dir;
    DataModule::resetInstanceForTests(dir.path());
    HttpService *http = HttpService::resetInstanceForTests(true);
    QVERIFY(http->m_url.isEmpty());
    Client client;
    client.surname = QStringLiteral("Senza");
    client.saveToDB(false, false);
    QSignalSpy fail(http, &HttpService::onUploadClientFail);
    CloudLogCatcher log;
    http->saveClient(&client);
    QVERIFY(fail.wait(5000));
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply: ")), 1);
    HttpService::resetInstanceForTests(false);
    DataModule::resetInstanceForTests();
}

void TestHttpServiceForms::probeAsksTheServiceHost()
{
    CloudCase c(m_service, 4107);
    QCOMPARE(c->connectionProbeUrl(), QUrl(m_service.baseUrl().toString() + QStringLiteral("/")));
    QSignalSpy status(c.http(), &HttpService::onConnectionStatus);
    c->checkConnection();
    QVERIFY(status.wait(5000));
    QCOMPARE(status.last().at(0).toBool(), true);
    QVERIFY(c->m_connected);
    const QJsonObject probe = waitForRequest(m_service, QStringLiteral("probe"));
    QCOMPARE(probe.value(QStringLiteral("method")).toString(), QStringLiteral("GET"));
    QCOMPARE(probe.value(QStringLiteral("path")).toString(), QStringLiteral("/"));
    QCOMPARE(probe.value(QStringLiteral("query")).toString(), QString());

    // Before any endpoint is chosen, the setting tells where the service is.
    HttpService *fresh = HttpService::resetInstanceForTests(true);
    QVERIFY(fresh->m_url.isEmpty());
    QCOMPARE(fresh->connectionProbeUrl(), QUrl(m_service.baseUrl().toString() + QStringLiteral("/")));
    QSignalSpy first(fresh, &HttpService::onConnectionStatus);
    QVERIFY(first.wait(5000));  // the probe sent by the constructor
    QCOMPARE(first.at(0).at(0).toBool(), true);
}

void TestHttpServiceForms::probeReportsEveryOutcome()
{
    CloudCase c(m_service, 4108);
    c->setTimeouts(3000, 3000, 800);
    QSignalSpy status(c.http(), &HttpService::onConnectionStatus);
    c->checkConnection();
    QVERIFY(QTest::qWaitFor([&] { return !status.isEmpty() && status.last().at(0).toBool(); }, 5000));

    // An HTTP error status on the service host counts as not connected.
    // Every probe is answered so (count 0): a periodic probe already in flight cannot
    // take the fault away from the one asked for here.
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("probe"), 0));
    status.clear();
    c->checkConnection();
    QVERIFY(QTest::qWaitFor([&] { return !status.isEmpty() && !status.last().at(0).toBool(); }, 5000));
    QVERIFY(!c->m_connected);
    QVERIFY(m_service.resetHooks());

    // A host that answers nothing: the probe gives up in time.
    QVERIFY(m_service.injectFault(QStringLiteral("hang"), QStringLiteral("probe"), 0));
    status.clear();
    c->checkConnection();
    QVERIFY(QTest::qWaitFor([&] { return !status.isEmpty() && !status.last().at(0).toBool(); }, 5000));
    QVERIFY(m_service.resetHooks());

    // Stopped: false; and the periodic probe reports it again without being asked.
    m_service.stop();
    status.clear();
    c->checkConnection();
    QVERIFY(status.wait(5000));
    QCOMPARE(status.last().at(0).toBool(), false);
    status.clear();
    QVERIFY(status.wait(HttpService::connectionCheckIntervalMs + 3000));
    QCOMPARE(status.last().at(0).toBool(), false);

    // Back again: the next probe says so.
    QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    status.clear();
    QVERIFY(status.wait(HttpService::connectionCheckIntervalMs + 3000));
    QCOMPARE(status.last().at(0).toBool(), true);
    QVERIFY(c->m_connected);
}

void TestHttpServiceForms::emptyDataIsASuccess()
{
    CloudCase c(m_service, 4109);
    QSignalSpy list(c.http(), &HttpService::onGetClients);
    QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
    // A status 200 with an empty data object: a success with nothing in it.
    QVERIFY(m_service.injectFault(QStringLiteral("code:200"), QStringLiteral("getUsers")));
    c->getClients();
    QVERIFY(list.wait(10000));
    QVERIFY(list.at(0).at(0).value<QList<Client>>().isEmpty());
    QVERIFY(m_service.injectFault(QStringLiteral("code:200"), QStringLiteral("getUserWorks")));
    c->getUserWorks(5);
    QVERIFY(works.wait(10000));
    QVERIFY(works.at(0).at(0).value<QList<Exam>>().isEmpty());
}

CALVESTRA_TEST_MAIN(TestHttpServiceForms)
#include "tst_httpservice_forms.moc"
