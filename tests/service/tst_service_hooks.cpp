// The fault hooks that client tests rely on: every fault ends in a failure the
// client can see, in bounded time, and the service keeps serving afterwards.
#include "ReferenceService.h"
#include "ServiceTestClient.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

class TestServiceHooks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void hooksNeedTheOption();
    void badFaultsAreRefused();
    void status500();
    void nonJsonBody();
    void injectedCode();
    void hugeBody();
    void delay();
    void hangEndsWithTheClientsTimeout();
    void stallSendsAPartialReply();
    void dropCutsTheConnection();
    void dropInTheMiddleOfAnUpload();
    void faultsMatchTheirAction();
    void faultCountAndReset();
    void stopEndsHeldRequests();

private:
    void expectServing();

    ReferenceService m_service;
};

void TestServiceHooks::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestServiceHooks::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

void TestServiceHooks::expectServing()
{
    ServiceTestClient client(m_service.endpointUrl(), 1);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")));
    QCOMPARE(reply.error, QNetworkReply::NoError);
    QCOMPARE(reply.code(), 200);
}

void TestServiceHooks::hooksNeedTheOption()
{
    m_service.setTestHooks(false);
    QVERIFY(m_service.restart());
    QCOMPARE(m_service.request("POST", QStringLiteral("/__test/fault"), "mode=hang", "application/x-www-form-urlencoded").status, 404);
    QCOMPARE(m_service.request("GET", QStringLiteral("/__test/requests")).status, 404);
    QCOMPARE(m_service.request("POST", QStringLiteral("/__test/reset")).status, 404);
    expectServing();
    m_service.setTestHooks(true);
    QVERIFY(m_service.restart());
}

void TestServiceHooks::badFaultsAreRefused()
{
    for (const QString &mode : {QStringLiteral("explode"), QStringLiteral("delay"), QStringLiteral("delay:soon"),
                                QStringLiteral("hang:5"), QStringLiteral("code:"), QStringLiteral("")})
        QVERIFY2(!m_service.injectFault(mode), qPrintable(mode));
    expectServing();
}

void TestServiceHooks::status500()
{
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUsers")));
    ServiceTestClient client(m_service.endpointUrl(), 2);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")));
    QVERIFY(reply.finished);
    QCOMPARE(reply.httpStatus, 500);
    QCOMPARE(reply.error, QNetworkReply::InternalServerError);
    expectServing();
    const QJsonObject logged = m_service.receivedRequests().at(0).toObject();
    QCOMPARE(logged.value(QStringLiteral("fault")).toString(), QStringLiteral("status500"));
}

void TestServiceHooks::nonJsonBody()
{
    QVERIFY(m_service.injectFault(QStringLiteral("nonjson")));
    ServiceTestClient client(m_service.endpointUrl(), 3);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")));
    QCOMPARE(reply.error, QNetworkReply::NoError);
    QCOMPARE(reply.httpStatus, 200);
    QJsonParseError error;
    QJsonDocument::fromJson(reply.body, &error);
    QVERIFY(error.error != QJsonParseError::NoError);
    QVERIFY(!reply.body.isEmpty());
    expectServing();
}

void TestServiceHooks::injectedCode()
{
    ServiceTestClient client(m_service.endpointUrl(), 4);
    QVERIFY(m_service.injectFault(QStringLiteral("code:405"), QStringLiteral("setUserData")));
    QUrlQuery q = client.form(QStringLiteral("setUserData"));
    q.addQueryItem(QStringLiteral("data"), QString::fromUtf8(QJsonDocument(client.clientJson(QStringLiteral("A"), QStringLiteral("B"))).toJson()));
    const auto reply = client.post(q);
    QCOMPARE(reply.code(), 405);
    QCOMPARE(reply.extradescr(), QStringLiteral("injected failure"));
    // The action was not carried out.
    QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).data().value(QStringLiteral("users")).toArray().size(), 0);
}

void TestServiceHooks::hugeBody()
{
    QVERIFY(m_service.injectFault(QStringLiteral("huge:3")));
    ServiceTestClient client(m_service.endpointUrl(), 5);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")), 20000);
    QCOMPARE(reply.error, QNetworkReply::NoError);
    QVERIFY(reply.body.size() > 3 * 1024 * 1024);
    QCOMPARE(reply.code(), 200);
    QCOMPARE(reply.extradescr().size(), 3 * 1024 * 1024);
    expectServing();
}

void TestServiceHooks::delay()
{
    QVERIFY(m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUsers")));
    ServiceTestClient client(m_service.endpointUrl(), 6);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")));
    QCOMPARE(reply.code(), 200);
    // The service sleeps at least that long before answering normally.
    QVERIFY2(reply.elapsedMs >= 480, qPrintable(QString::number(reply.elapsedMs)));
}

void TestServiceHooks::hangEndsWithTheClientsTimeout()
{
    QVERIFY(m_service.injectFault(QStringLiteral("hang"), QStringLiteral("getUsers")));
    ServiceTestClient client(m_service.endpointUrl(), 7);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")), 15000, 700);
    QVERIFY(reply.finished);
    QCOMPARE(reply.error, QNetworkReply::OperationCanceledError);
    QVERIFY(reply.body.isEmpty());
    // The held request is in the log and the service answers others meanwhile.
    QVERIFY(m_service.log().contains(QStringLiteral("fault=hang")));
    expectServing();
}

void TestServiceHooks::stallSendsAPartialReply()
{
    QVERIFY(m_service.injectFault(QStringLiteral("stall")));
    ServiceTestClient client(m_service.endpointUrl(), 8);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")), 15000, 700);
    QVERIFY(reply.finished);
    QCOMPARE(reply.error, QNetworkReply::OperationCanceledError);
    QCOMPARE(reply.httpStatus, 200);
    expectServing();

    // Without a time-out of its own a client would wait: the service holds it.
    QVERIFY(m_service.injectFault(QStringLiteral("stall")));
    const auto held = client.post(client.form(QStringLiteral("getUsers")), 1500);
    QVERIFY(!held.finished);
}

void TestServiceHooks::dropCutsTheConnection()
{
    // Qt sends a request again when a reused connection breaks before any reply
    // byte: the fault stays armed (count 0) until the reset.
    QVERIFY(m_service.injectFault(QStringLiteral("drop"), QStringLiteral("getUsers"), 0));
    ServiceTestClient client(m_service.endpointUrl(), 9);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")));
    QVERIFY(reply.finished);
    QVERIFY(reply.error != QNetworkReply::NoError);
    QCOMPARE(reply.httpStatus, 0);
    QVERIFY(reply.body.isEmpty());
    int dropped = 0;
    for (const QJsonValue &request : m_service.receivedRequests())
        dropped += request.toObject().value(QStringLiteral("fault")).toString() == QStringLiteral("drop");
    QVERIFY(dropped >= 1 && dropped <= 3);
    QVERIFY(m_service.resetHooks());
    expectServing();

    // Pages can be cut too: the connectivity page with "*".
    QVERIFY(m_service.injectFault(QStringLiteral("drop"), QStringLiteral("probe")));
    QUrl probe = m_service.baseUrl();
    probe.setPath(QStringLiteral("/"));
    QVERIFY(client.get(probe).error != QNetworkReply::NoError);
    QCOMPARE(client.get(probe).httpStatus, 200);
}

void TestServiceHooks::dropInTheMiddleOfAnUpload()
{
    ServiceTestClient client(m_service.endpointUrl(), 10);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Taglio"), QStringLiteral("Rete")));
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("upload.zip"));
    QList<TestZip::Entry> entries;
    for (int i = 0; i < 12; ++i)
        entries.append({QStringLiteral("Vita-20240105--10-%1-00.d2d").arg(i, 2, 10, QLatin1Char('0')),
                        TestZip::d2dFile(900, 946, static_cast<quint32>(i)), false});
    QVERIFY(TestZip::write(archive, entries));
    QVERIFY(QFileInfo(archive).size() > 4 * 1024 * 1024);

    QVERIFY(m_service.injectFault(QStringLiteral("drop"), QStringLiteral("uploadExamZip"), 0));
    const QJsonObject exam{{QStringLiteral("examDate"), QStringLiteral("2024-01-05")}, {QStringLiteral("idUser"), idUser}};
    const auto reply = client.uploadExam(exam, archive);
    QVERIFY(reply.finished);
    QVERIFY(reply.error != QNetworkReply::NoError);
    QCOMPARE(reply.httpStatus, 0);

    // The service read only part of the body and stored nothing.
    const QJsonObject logged = m_service.receivedRequests().last().toObject();
    QCOMPARE(logged.value(QStringLiteral("fault")).toString(), QStringLiteral("drop"));
    const qint64 received = logged.value(QStringLiteral("parts")).toArray().last().toObject()
                                .value(QStringLiteral("size")).toInteger();
    QVERIFY(received < QFileInfo(archive).size());
    QVERIFY(m_service.resetHooks());
    QUrlQuery works = client.form(QStringLiteral("getUserWorks"));
    works.addQueryItem(QStringLiteral("idUser"), QString::number(idUser));
    QCOMPARE(client.post(works).data().value(QStringLiteral("works")).toArray().size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QDir(m_service.dataDir() + QStringLiteral("/tmp")).isEmpty(), 5000);

    // The same upload goes through afterwards.
    QCOMPARE(client.uploadExam(exam, archive).code(), 200);
}

void TestServiceHooks::faultsMatchTheirAction()
{
    ServiceTestClient client(m_service.endpointUrl(), 11);
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUserWorks")));
    // Other actions and pages are untouched.
    expectServing();
    QUrl probe = m_service.baseUrl();
    probe.setPath(QStringLiteral("/"));
    QCOMPARE(client.get(probe).httpStatus, 200);
    QUrlQuery works = client.form(QStringLiteral("getUserWorks"));
    works.addQueryItem(QStringLiteral("idUser"), QStringLiteral("1"));
    QCOMPARE(client.post(works).httpStatus, 500);

    // Without an action a fault hits any script request but no page; "*" hits pages.
    QVERIFY(m_service.injectFault(QStringLiteral("status500")));
    QCOMPARE(client.get(probe).httpStatus, 200);
    QCOMPARE(client.post(client.form(QStringLiteral("getAnamnesiModels"))).httpStatus, 500);
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("*")));
    QCOMPARE(client.get(probe).httpStatus, 500);

    // Update file and file downloads can be aimed at by their kind.
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("updateFile")));
    QUrl update = m_service.baseUrl();
    update.setPath(QStringLiteral("/Software/Calvestra20/updVersionMACOS.txt"));
    QCOMPARE(client.get(update).httpStatus, 500);
    QCOMPARE(client.get(update).httpStatus, 200);
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUserFile")));
    QCOMPARE(client.getUserFile(1, QStringLiteral("jpg"), QStringLiteral("a.jpg")).httpStatus, 500);
    QCOMPARE(client.getUserFile(1, QStringLiteral("jpg"), QStringLiteral("a.jpg")).httpStatus, 404);
}

void TestServiceHooks::faultCountAndReset()
{
    ServiceTestClient client(m_service.endpointUrl(), 12);
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUsers"), 2));
    QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).httpStatus, 500);
    QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).httpStatus, 500);
    QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).httpStatus, 200);

    // Count 0: until reset.
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUsers"), 0));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).httpStatus, 500);
    QVERIFY(!m_service.receivedRequests().isEmpty());
    QVERIFY(m_service.resetHooks());
    QCOMPARE(m_service.receivedRequests().size(), 0);
    QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).httpStatus, 200);
    QCOMPARE(m_service.receivedRequests().size(), 1);
}

void TestServiceHooks::stopEndsHeldRequests()
{
    QVERIFY(m_service.injectFault(QStringLiteral("hang"), QString(), 0));
    ServiceTestClient client(m_service.endpointUrl(), 13);
    QNetworkReply *reply = client.manager().post(QNetworkRequest(m_service.endpointUrl()),
                                                 ServiceTestClient::encode(client.form(QStringLiteral("getUsers"))));
    QTRY_VERIFY_WITH_TIMEOUT(m_service.log().contains(QStringLiteral("fault=hang")), 5000);
    // The hold lasts minutes; ending by itself (not killed) proves the stop released it.
    m_service.stop(8000);
    QVERIFY(m_service.exitedNormally());
    QCOMPARE(m_service.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 5000);
    QVERIFY(reply->error() != QNetworkReply::NoError);
    reply->deleteLater();
}

CALVESTRA_TEST_MAIN(TestServiceHooks)
#include "tst_service_hooks.moc"
