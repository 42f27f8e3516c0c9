// The reference service's wire protocol: pages, the update file, the reply
// envelope, the form encoding, the development script, size limits and the
// command line.
#include "ReferenceService.h"
#include "ServiceTestClient.h"
#include "TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <signal.h>

class TestServiceProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void pagesAnswer();
    void updateFileNamesVersionAndInstaller();
    void envelopeHasStatusAndData();
    void lastActionWins();
    void encodedCharactersArriveIntact();
    void fieldsAreRecordedInArrivalOrder();
    void developmentScriptKeepsItsOwnData();
    void failuresAreReportedInTheEnvelope();
    void getOnTheScriptOnlyServesFiles();
    void oversizedRequestsAreRefused();
    void extraEndpointServesProduction();
    void restartKeepsDataAndPort();
    void commandLine();
    void defaultDataFolderFollowsXdg();
    void stopsCleanlyOnSignals();
    void logsOneLinePerRequest();

private:
    ReferenceService m_service;
};

void TestServiceProtocol::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestServiceProtocol::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

void TestServiceProtocol::pagesAnswer()
{
    ServiceTestClient client(m_service.endpointUrl());
    QUrl probe = m_service.baseUrl();
    probe.setPath(QStringLiteral("/"));
    const auto page = client.get(probe);
    QCOMPARE(page.error, QNetworkReply::NoError);
    QCOMPARE(page.httpStatus, 200);
    QVERIFY(page.body.contains("<html"));

    QUrl home = m_service.baseUrl();
    home.setPath(QStringLiteral("/Apps/Movelta/"));
    const auto webApp = client.get(home);
    QCOMPARE(webApp.httpStatus, 200);
    QVERIFY(webApp.body.contains("Calvestra"));

    QUrl missing = m_service.baseUrl();
    missing.setPath(QStringLiteral("/Apps/Movelta/nothing.php"));
    const auto notFound = client.get(missing);
    QCOMPARE(notFound.httpStatus, 404);
    QCOMPARE(notFound.error, QNetworkReply::ContentNotFoundError);
}

void TestServiceProtocol::updateFileNamesVersionAndInstaller()
{
    ServiceTestClient client(m_service.endpointUrl());
    QUrl url = m_service.baseUrl();
    url.setPath(QStringLiteral("/Software/Calvestra20/updVersionMACOS.txt"));
    auto reply = client.get(url);
    QCOMPARE(reply.httpStatus, 200);
    QStringList lines = QString::fromUtf8(reply.body).split(QLatin1Char('\n'));
    QVERIFY(lines.size() >= 2);
    // By default the running version: no update is offered.
    QCOMPARE(lines.at(0), QStringLiteral("0.6.4"));
    const QUrl installer(lines.at(1));
    QVERIFY(installer.isValid());
    QCOMPARE(installer.port(), int(m_service.port()));
    QVERIFY(installer.path().startsWith(QStringLiteral("/Software/Calvestra20/")));

    m_service.setExtraArguments({QStringLiteral("--latest-version"), QStringLiteral("0.7.1"),
                                 QStringLiteral("--installer-url"),
                                 QStringLiteral("https://downloads.example.com/Calvestra-0.7.1.pkg")});
    QVERIFY(m_service.restart());
    reply = client.get(url);
    lines = QString::fromUtf8(reply.body).split(QLatin1Char('\n'));
    QCOMPARE(lines.at(0), QStringLiteral("0.7.1"));
    QCOMPARE(lines.at(1), QStringLiteral("https://downloads.example.com/Calvestra-0.7.1.pkg"));
    m_service.setExtraArguments({});
    QVERIFY(m_service.restart());
}

void TestServiceProtocol::envelopeHasStatusAndData()
{
    ServiceTestClient client(m_service.endpointUrl(), 11);
    const auto reply = client.post(client.form(QStringLiteral("getUsers")));
    QCOMPARE(reply.error, QNetworkReply::NoError);
    QVERIFY(reply.json.value(QStringLiteral("status")).isObject());
    const QJsonObject status = reply.json.value(QStringLiteral("status")).toObject();
    QVERIFY(status.value(QStringLiteral("code")).isDouble());
    QCOMPARE(status.value(QStringLiteral("code")).toInt(), 200);
    QVERIFY(status.value(QStringLiteral("extradescr")).isString());
    QVERIFY(reply.json.value(QStringLiteral("data")).isObject());
    QVERIFY(reply.data().value(QStringLiteral("users")).isArray());
    QCOMPARE(reply.data().value(QStringLiteral("users")).toArray().size(), 0);
}

void TestServiceProtocol::lastActionWins()
{
    ServiceTestClient client(m_service.endpointUrl(), 12);
    // The form starts with action=getUsers; the later setUserData is what runs.
    const int id = client.saveClient(client.clientJson(QStringLiteral("Bianchi"), QStringLiteral("Anna")));
    QVERIFY(id > 0);

    // A form whose only action is the default one lists the clients.
    QUrlQuery plain;
    plain.addQueryItem(QStringLiteral("idSender"), QStringLiteral("12"));
    plain.addQueryItem(QStringLiteral("action"), QStringLiteral("getUsers"));
    plain.addQueryItem(QStringLiteral("appVersion"), QStringLiteral("0.6.4"));
    plain.addQueryItem(QStringLiteral("appOS"), QStringLiteral("debian"));
    const auto list = client.post(plain);
    QCOMPARE(list.code(), 200);
    QCOMPARE(list.data().value(QStringLiteral("users")).toArray().size(), 1);

    // Reversed order: the last one (getUsers) wins, nothing is created.
    QUrlQuery reversed = client.form(QStringLiteral("setUserData"));
    reversed.addQueryItem(QStringLiteral("data"), QStringLiteral("{\"id\":0,\"surname\":\"X\"}"));
    reversed.addQueryItem(QStringLiteral("action"), QStringLiteral("getUsers"));
    const auto listed = client.post(reversed);
    QCOMPARE(listed.code(), 200);
    QCOMPARE(listed.data().value(QStringLiteral("users")).toArray().size(), 1);
}

void TestServiceProtocol::encodedCharactersArriveIntact()
{
    ServiceTestClient client(m_service.endpointUrl(), 13);
    const QString surname = QStringLiteral("D'Amico + Figli & Co = 100%");
    const QString name = QStringLiteral("Nicolò Luca");
    const int id = client.saveClient(client.clientJson(surname, name));
    QVERIFY(id > 0);
    const auto list = client.post(client.form(QStringLiteral("getUsers")));
    const QJsonObject user = list.data().value(QStringLiteral("users")).toArray().at(0).toObject();
    QCOMPARE(user.value(QStringLiteral("surname")).toString(), surname);
    QCOMPARE(user.value(QStringLiteral("name")).toString(), name);
    QCOMPARE(user.value(QStringLiteral("phone")).toString(), QStringLiteral("+39 011 123456"));

    // The body really carried %2B and %20, and an unescaped "+" reads as a space:
    // that is why the client escapes it.
    const QByteArray sent = ServiceTestClient::encode(client.form(QStringLiteral("x")));
    QVERIFY(!sent.contains('+'));
    const auto raw = client.postBody("idSender=13&action=getUsers&appVersion=0.6.4&appOS=a+b&action=getUsers",
                                     "application/x-www-form-urlencoded");
    QCOMPARE(raw.code(), 200);
    const QJsonArray requests = m_service.receivedRequests();
    const QJsonArray fields = requests.last().toObject().value(QStringLiteral("fields")).toArray();
    QCOMPARE(fields.at(3).toArray().at(1).toString(), QStringLiteral("a b"));
}

void TestServiceProtocol::fieldsAreRecordedInArrivalOrder()
{
    ServiceTestClient client(m_service.endpointUrl(), 14);
    QUrlQuery q = client.form(QStringLiteral("getUserWorks"));
    q.addQueryItem(QStringLiteral("idUser"), QStringLiteral("5"));
    client.post(q);
    const QJsonObject last = m_service.receivedRequests().last().toObject();
    QCOMPARE(last.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    QCOMPARE(last.value(QStringLiteral("path")).toString(), QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    QCOMPARE(last.value(QStringLiteral("kind")).toString(), QStringLiteral("getUserWorks"));
    QStringList names;
    for (const QJsonValue &field : last.value(QStringLiteral("fields")).toArray())
        names << field.toArray().at(0).toString();
    QCOMPARE(names, (QStringList{"idSender", "action", "appVersion", "appOS", "action", "idUser"}));
    QVERIFY(last.value(QStringLiteral("contentType")).toString().startsWith(
        QStringLiteral("application/x-www-form-urlencoded")));
}

void TestServiceProtocol::developmentScriptKeepsItsOwnData()
{
    ServiceTestClient production(m_service.endpointUrl(), 15);
    ServiceTestClient development(m_service.endpointUrl(true), 15);
    QVERIFY(development.saveClient(development.clientJson(QStringLiteral("Prova"), QStringLiteral("Dev"))) > 0);
    QCOMPARE(development.post(development.form(QStringLiteral("getUsers"))).data()
                 .value(QStringLiteral("users")).toArray().size(), 1);
    QCOMPARE(production.post(production.form(QStringLiteral("getUsers"))).data()
                 .value(QStringLiteral("users")).toArray().size(), 0);
    QCOMPARE(m_service.receivedRequests().last().toObject().value(QStringLiteral("path")).toString(),
             QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    development.post(development.form(QStringLiteral("getUsers")));
    QCOMPARE(m_service.receivedRequests().last().toObject().value(QStringLiteral("path")).toString(),
             QStringLiteral("/Apps/Movelta/vq_webservice_dev.php"));
}

void TestServiceProtocol::failuresAreReportedInTheEnvelope()
{
    ServiceTestClient client(m_service.endpointUrl(), 16);
    const auto unknown = client.post(client.form(QStringLiteral("makeCoffee")));
    QCOMPARE(unknown.error, QNetworkReply::NoError);
    QCOMPARE(unknown.code(), 400);
    QVERIFY(unknown.extradescr().contains(QStringLiteral("makeCoffee")));
    QVERIFY(unknown.json.value(QStringLiteral("data")).isObject());

    for (const QByteArray &body : {QByteArray("action=getUsers"), QByteArray("idSender=abc&action=getUsers"),
                                   QByteArray("idSender=99999999999&action=getUsers"), QByteArray()}) {
        const auto reply = client.postBody(body, "application/x-www-form-urlencoded");
        QCOMPARE(reply.error, QNetworkReply::NoError);
        QVERIFY2(reply.code() == 400, body.constData());
        QVERIFY(!reply.extradescr().isEmpty());
    }
}

void TestServiceProtocol::getOnTheScriptOnlyServesFiles()
{
    ServiceTestClient client(m_service.endpointUrl(), 17);
    QUrl url = m_service.endpointUrl();
    url.setQuery(QStringLiteral("idSender=17&action=getUsers"));
    const auto reply = client.get(url);
    QCOMPARE(reply.httpStatus, 200);
    QCOMPARE(reply.code(), 400);
}

void TestServiceProtocol::oversizedRequestsAreRefused()
{
    m_service.setExtraArguments({QStringLiteral("--max-form-kb"), QStringLiteral("16"),
                                 QStringLiteral("--max-upload-mb"), QStringLiteral("1")});
    QVERIFY(m_service.restart());
    ServiceTestClient client(m_service.endpointUrl(), 18);

    QUrlQuery big = client.form(QStringLiteral("setUserData"));
    QJsonObject person = client.clientJson(QStringLiteral("Lungo"), QStringLiteral("Nome"));
    person.insert(QStringLiteral("address"), QString(20000, QLatin1Char('a')));
    big.addQueryItem(QStringLiteral("data"), QString::fromUtf8(QJsonDocument(person).toJson()));
    const auto refused = client.post(big);
    QVERIFY(refused.error != QNetworkReply::NoError);
    QCOMPARE(refused.httpStatus, 413);

    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("upload.zip"));
    QVERIFY(TestZip::write(archive, {{QStringLiteral("a.d2d"), TestZip::d2dFile(1500, 946, 1)}}));
    QVERIFY(QFileInfo(archive).size() > 1024 * 1024);
    const int id = client.saveClient(client.clientJson(QStringLiteral("Corto"), QStringLiteral("Nome")));
    QVERIFY(id > 0);
    const QJsonObject exam{{QStringLiteral("examDate"), QStringLiteral("2024-01-05")}, {QStringLiteral("idUser"), id}};
    const auto upload = client.uploadExam(exam, archive);
    QVERIFY(upload.error != QNetworkReply::NoError);
    if (upload.httpStatus != 0)
        QCOMPARE(upload.httpStatus, 413);

    // Nothing was stored, and the service goes on serving.
    QUrlQuery works = client.form(QStringLiteral("getUserWorks"));
    works.addQueryItem(QStringLiteral("idUser"), QString::number(id));
    const auto listed = client.post(works);
    QCOMPARE(listed.code(), 200);
    QCOMPARE(listed.data().value(QStringLiteral("works")).toArray().size(), 0);

    m_service.setExtraArguments({});
    QVERIFY(m_service.restart());
}

void TestServiceProtocol::extraEndpointServesProduction()
{
    m_service.setExtraArguments({QStringLiteral("--extra-endpoint"), QStringLiteral("/Apps/Movelta/vq_webservice")});
    QVERIFY(m_service.restart());
    QUrl other = m_service.endpointUrl();
    other.setPath(QStringLiteral("/Apps/Movelta/vq_webservice"));
    ServiceTestClient viaOther(other, 19);
    ServiceTestClient viaScript(m_service.endpointUrl(), 19);
    QVERIFY(viaOther.saveClient(viaOther.clientJson(QStringLiteral("Altro"), QStringLiteral("Percorso"))) > 0);
    QCOMPARE(viaScript.post(viaScript.form(QStringLiteral("getUsers"))).data()
                 .value(QStringLiteral("users")).toArray().size(), 1);
    m_service.setExtraArguments({});
    QVERIFY(m_service.restart());
}

void TestServiceProtocol::restartKeepsDataAndPort()
{
    ServiceTestClient client(m_service.endpointUrl(), 20);
    const int id = client.saveClient(client.clientJson(QStringLiteral("Verdi"), QStringLiteral("Giulia")));
    QVERIFY(id > 0);
    const quint16 port = m_service.port();
    m_service.stop();
    QVERIFY(!m_service.isRunning());
    QVERIFY(m_service.exitedNormally());
    QCOMPARE(m_service.exitCode(), 0);
    const auto down = client.post(client.form(QStringLiteral("getUsers")), 5000);
    QCOMPARE(down.error, QNetworkReply::ConnectionRefusedError);

    QVERIFY(m_service.restart());
    QCOMPARE(m_service.port(), port);
    const auto users = client.post(client.form(QStringLiteral("getUsers"))).data().value(QStringLiteral("users")).toArray();
    QCOMPARE(users.size(), 1);
    QCOMPARE(users.at(0).toObject().value(QStringLiteral("id")).toString(), QString::number(id));
}

void TestServiceProtocol::commandLine()
{
    const QString exe = ReferenceService::executable();
    QProcess help;
    help.start(exe, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(5000));
    QCOMPARE(help.exitCode(), 0);
    const QString usage = QString::fromUtf8(help.readAllStandardOutput());
    for (const char *option : {"--listen", "--data", "--quota-mb", "--test-hooks", "--delay-ms"})
        QVERIFY2(usage.contains(QLatin1String(option)), option);

    const QList<QStringList> wrong = {{QStringLiteral("--bogus")},
                                      {QStringLiteral("--quota-mb"), QStringLiteral("lots")},
                                      {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:99999")},
                                      {QStringLiteral("--data")}};
    for (const QStringList &arguments : wrong) {
        QProcess bad;
        bad.start(exe, arguments);
        QVERIFY(bad.waitForFinished(5000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(!bad.readAllStandardError().isEmpty());
    }

    // A port already taken: the service says so and ends with an error.
    QTemporaryDir data;
    QProcess busy;
    busy.start(exe, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_service.port()),
                     QStringLiteral("--data"), data.path()});
    QVERIFY(busy.waitForFinished(5000));
    QCOMPARE(busy.exitCode(), 1);
    QVERIFY(QString::fromUtf8(busy.readAllStandardError()).contains(QStringLiteral("cannot listen")));
}

void TestServiceProtocol::defaultDataFolderFollowsXdg()
{
    QTemporaryDir xdg;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), xdg.path());
    process.setProcessEnvironment(environment);
    process.start(ReferenceService::executable(), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    QVERIFY(process.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine() || process.waitForReadyRead(100), 10000);
    const QString line = QString::fromUtf8(process.readLine());
    QVERIFY2(line.startsWith(QStringLiteral("listening on http://127.0.0.1:")), qPrintable(line));
    const QString folder = xdg.path() + QStringLiteral("/Vantrel/calvestra-service");
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/service.db")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/models/Composizione_corporea.anm")));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
}

void TestServiceProtocol::stopsCleanlyOnSignals()
{
    QTemporaryDir data;
    for (const bool interrupt : {false, true}) {
        QProcess process;
        process.start(ReferenceService::executable(),
                      {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--data"), data.path()});
        QVERIFY(process.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine() || process.waitForReadyRead(100), 10000);
        if (interrupt)
            ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        else
            process.terminate();
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QString log = QString::fromUtf8(process.readAllStandardError());
        QVERIFY(log.contains(interrupt ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM")));
        QVERIFY(log.trimmed().endsWith(QStringLiteral("stopped")));
    }
}

void TestServiceProtocol::logsOneLinePerRequest()
{
    ServiceTestClient client(m_service.endpointUrl(), 21);
    const QString marker = QStringLiteral("idSender=21");
    const int before = m_service.log().count(marker);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(client.post(client.form(QStringLiteral("getUsers"))).code(), 200);
    QTRY_COMPARE_WITH_TIMEOUT(m_service.log().count(marker), before + 5, 5000);
    const QStringList lines = m_service.log().split(QLatin1Char('\n'));
    const QString last = *std::find_if(lines.rbegin(), lines.rend(),
                                       [&](const QString &l) { return l.contains(marker); });
    QVERIFY(last.contains(QStringLiteral("POST /Apps/Movelta/vq_webservice.php getUsers")));
    QVERIFY(last.contains(QStringLiteral("-> 200 code=200")));
}

CALVESTRA_TEST_MAIN(TestServiceProtocol)
#include "tst_service_protocol.moc"
