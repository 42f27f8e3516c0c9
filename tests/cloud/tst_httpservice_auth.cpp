// The application against a service with accounts: the token kept where no keyring
// answers, sent with every request; a refusal stops the sending and is shown; without
// an account nothing is sent; HTTPS with the service's own certificate authority.
#include "ReferenceService.h"
#include "TestMain.h"

#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "cloud/AccountToken.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QLabel>
#include <QNetworkReply>
#include <QPushButton>
#include <QSettings>

class TestHttpServiceAuth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void tokenWithoutKeyring();
    void endToEnd();
    void refusalIsShown_data();
    void refusalIsShown();
    void nothingGoesWithoutAccount();
    void httpsWithOwnAuthority();

private:
    ServiceOutcome outcome(const std::function<void(OutcomeHandler)> &call);

    ReferenceService m_service;
    ReferenceService::Account m_a, m_b;
    QTemporaryDir m_dir;
};

ServiceOutcome TestHttpServiceAuth::outcome(const std::function<void(OutcomeHandler)> &call)
{
    ServiceOutcome result;
    result.code = -100;
    call([&result](const ServiceOutcome &o) { result = o; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(result.code != -100, 20000); }();
    return result;
}

void TestHttpServiceAuth::initTestCase()
{
    // Never the keyring of a desktop session the tests happen to run in.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    m_service.setAuthentication(true);
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_a = m_service.addAccount(QStringLiteral("A"));
    m_b = m_service.addAccount(QStringLiteral("B"));
    QVERIFY(m_a.number > 0 && m_b.number > 0);
}

void TestHttpServiceAuth::init()
{
    DataModule::resetInstanceForTests(m_dir.path() + QStringLiteral("/store"))->m_appVersion = QStringLiteral("0.6.4");
    AppSettings::setEndpoint(m_service.endpointUrl().toString());
    AppSettings::setIdTrainer(m_a.number);
    AccountToken::instance()->store(QString::fromLatin1(m_a.token), 20000);
    HttpService::resetInstanceForTests(true)->setWebServiceURL(false);
}

void TestHttpServiceAuth::cleanup()
{
    OutboxSender::resetInstanceForTests(false);
    HttpService::resetInstanceForTests(false);
    DataModule::resetInstanceForTests();
    QDir(m_dir.path() + QStringLiteral("/store")).removeRecursively();
}

void TestHttpServiceAuth::tokenWithoutKeyring()
{
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("no keyring .* readable by this user alone")));
    AccountToken::instance()->store(QStringLiteral("t1"), 20000);
    QCOMPARE(AccountToken::instance()->place(), QStringLiteral("settings file"));
    AppSettings::setLang(QStringLiteral("it"));  // a later write keeps the file private
    const QString file = QSettings().fileName();
    QCOMPARE(int(QFile::permissions(file) & 0x7077), int(QFile::ReadOwner | QFile::WriteOwner));
    // The tool sets it too, from standard input, without ever printing it.
    QProcess tool;
    tool.start(QStringLiteral(CALVESTRA_BINARY_DIR "/tools/calvestra-account"), {QStringLiteral("--token"), QStringLiteral("-")});
    tool.write("t2-secret\n");
    tool.closeWriteChannel();
    QVERIFY(tool.waitForFinished(30000) && tool.exitCode() == 0);
    const QByteArray printed = tool.readAllStandardOutput();
    QVERIFY2(printed.contains("token=set (settings file)") && !printed.contains("t2-secret"), printed.constData());
    AccountToken::instance()->load(20000);
    QCOMPARE(AccountToken::instance()->token(), QStringLiteral("t2-secret"));
    QCOMPARE(QSettings().value(AppSettings::keyAccountToken).toString(), QStringLiteral("t2-secret"));
    QCOMPARE(int(QFile::permissions(file) & 0x7077), int(QFile::ReadOwner | QFile::WriteOwner));
}

void TestHttpServiceAuth::endToEnd()
{
    HttpService *http = HttpService::m_instance;
    Client client;
    client.surname = QStringLiteral("Rossi");
    client.saveToDB(false, false);
    QCOMPARE(outcome([&](OutcomeHandler done) { http->saveClient(&client, done); }).code, 200);
    client.loadFromDB(client.id);
    QVERIFY(client.web_id > 0);
    const QString jpg = m_dir.filePath(QStringLiteral("Vita-20240105--09-30-15.jpg"));
    for (const QString &path : {jpg, m_dir.filePath(QStringLiteral("Vita-20240105--09-30-15.d2d"))}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("scan " + path.toUtf8()) > 0);
    }
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 1, 5);
    QList<ScanFile> scans{ScanFile::createFromFilePath(jpg)};
    QCOMPARE(outcome([&](OutcomeHandler done) { http->uploadExam(&exam, &scans, done); }).code, 200);
    {
        // Refused before its body is read, a large upload still gets its answer.
        QFile file(m_dir.filePath(QStringLiteral("Vita-20240105--09-30-15.d2d")));
        QVERIFY(file.open(QIODevice::Append) && file.write(QByteArray(8 << 20, 'z').replace('z', "z\x91\x17")) > 0);
    }
    AccountToken::instance()->store(QStringLiteral("revoked"), 20000);
    QCOMPARE(outcome([&](OutcomeHandler done) { http->uploadExam(&exam, &scans, done); }).code, 401);
    AccountToken::instance()->store(QString::fromLatin1(m_a.token), 20000);
    QNetworkReply *reply = http->getUserFile(client.web_id, QStringLiteral("jpg"), QFileInfo(jpg).fileName());
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
    QCOMPARE(reply->readAll(), "scan " + jpg.toUtf8());
    QSignalSpy clients(http, &HttpService::onGetClients);
    http->getClients();
    QTRY_COMPARE_WITH_TIMEOUT(clients.size(), 1, 20000);
    QCOMPARE(clients.first().first().value<QList<Client>>().first().surname, QStringLiteral("Rossi"));
}

void TestHttpServiceAuth::refusalIsShown_data()
{
    QTest::addColumn<bool>("account");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QString>("shown");
    QTest::newRow("wrong token") << true << QByteArray(64, 'c') << QStringLiteral("rifiutato il token");
    QTest::newRow("another account's token") << true << m_b.token << QStringLiteral("rifiutato il token");
    QTest::newRow("no account") << false << m_a.token << QStringLiteral("Nessun account");
}

void TestHttpServiceAuth::refusalIsShown()
{
    QFETCH(bool, account);
    QFETCH(QByteArray, token);
    QFETCH(QString, shown);
    AppSettings::setIdTrainer(account ? m_a.number : 0);
    AccountToken::instance()->store(QString::fromLatin1(token), 20000);
    HttpService::resetInstanceForTests(false);
    // The window takes the store and the service client over.
    auto *window = new MainWindow;
    window->show();
    auto *label = window->findChild<QLabel *>(QStringLiteral("haltLabel"));
    QTRY_VERIFY_WITH_TIMEOUT(label->isVisible(), 20000);
    QVERIFY2(label->text().contains(shown), qPrintable(label->text()));
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("haltSettingsButton"))->isVisible());
    QVERIFY(OutboxSender::m_instance->isHalted());
    delete window;
}

void TestHttpServiceAuth::nothingGoesWithoutAccount()
{
    AppSettings::setIdTrainer(0);
    HttpService *http = HttpService::resetInstanceForTests(true);
    QVERIFY(m_service.resetHooks());
    QSignalSpy refused(http, &HttpService::accountRefused);
    http->getClients();
    http->getAnamnesiModels();
    http->getUserWorks(1);
    http->getUserAnamnesis(1);
    QNetworkReply *file = http->getUserFile(1, QStringLiteral("jpg"), QStringLiteral("a.jpg"));
    Client client;
    client.saveToDB(false, false);
    // Outcomes come after the request would have been answered, so after it was logged.
    QCOMPARE(outcome([&](OutcomeHandler done) { http->saveClient(&client, done); }).code, ServiceOutcome::noAccount);
    QCOMPARE(outcome([&](OutcomeHandler done) { http->deleteClient(1, done); }).code, ServiceOutcome::noAccount);
    QTRY_VERIFY_WITH_TIMEOUT(file->isFinished() && refused.size() == 7, 20000);
    QVERIFY(file->error() != QNetworkReply::NoError);
    for (const QJsonValue &request : m_service.receivedRequests())
        QVERIFY(request[QStringLiteral("path")].toString() != m_service.endpointUrl().path());
}

void TestHttpServiceAuth::httpsWithOwnAuthority()
{
    const QString cert = m_dir.filePath(QStringLiteral("cert.pem")), key = m_dir.filePath(QStringLiteral("key.pem"));
    QCOMPARE(QProcess::execute(QStringLiteral("sh"), {"-c", "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
             "-addext subjectAltName=IP:127.0.0.1 -keyout " + key + " -out " + cert + " 2>/dev/null"}), 0);
    QProcess service;
    service.start(ReferenceService::executable(), {"--no-auth", "--listen", "127.0.0.1:0", "--tls-cert", cert, "--tls-key",
                                                   key, "--data", m_dir.filePath(QStringLiteral("tls"))});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += service.readAllStandardOutput()).contains("\n"), 20000);
    QVERIFY2(out.startsWith("listening on https://127.0.0.1:"), out.constData());
    AppSettings::setEndpoint(QString::fromLatin1(out.mid(13).trimmed()) + QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    for (const QString &authority : {QString(), cert}) {
        AppSettings::setCaFile(authority);
        HttpService *http = HttpService::resetInstanceForTests(true);
        http->setWebServiceURL(false);
        Client client;
        client.saveToDB(false, false);
        // Not trusted without the service's authority; trusted with it.
        QCOMPARE(outcome([&](OutcomeHandler done) { http->saveClient(&client, done); }).code, authority.isEmpty() ? -1 : 200);
    }
    AppSettings::setCaFile(QString());
    service.terminate();
    service.waitForFinished(10000);
}

CALVESTRA_TEST_MAIN(TestHttpServiceAuth)
#include "tst_httpservice_auth.moc"
