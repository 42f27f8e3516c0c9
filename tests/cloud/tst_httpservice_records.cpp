// Client and anamnesis calls against the reference service: what each reply does to
// the local store, and the model files.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "anamnesis/Anamnesi.h"

#include <QSignalSpy>

class TestHttpServiceRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void clientListWithProgress();
    void clientListKeepsLocalWork();
    void clientUploadSetsWebIdAndMovesFolder();
    void clientEditedDuringUploadStaysPending();
    void clientDeletedDuringUploadIsNotRecreated();
    void clientDeletion();
    void anamnesisUploadDeletionAndDownload();
    void anamnesisOfUnknownClientIsSkipped();
    void modelFilesDownloadedIntoModelsFolder();
    void downloadsStayInTheirFolder();

private:
    // Uploads a local client and returns it reloaded (with its web id).
    Client uploadClient(CloudCase &c, const QString &surname, const QString &name);

    ReferenceService m_service;
};

void TestHttpServiceRecords::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestHttpServiceRecords::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

Client TestHttpServiceRecords::uploadClient(CloudCase &c, const QString &surname, const QString &name)
{
    Client client = c.addClient(surname, name);
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    if (!done.wait(10000))
        qWarning("client upload not confirmed");
    client.loadFromDB(client.id);
    return client;
}

void TestHttpServiceRecords::clientListWithProgress()
{
    const int account = 5101;
    QList<int> webIds;
    {
        CloudCase sender(m_service, account);
        for (int i = 1; i <= 7; ++i)
            webIds << uploadClient(sender, QStringLiteral("Cognome%1").arg(i), QStringLiteral("Nome%1").arg(i)).web_id;
    }
    QVERIFY(!webIds.contains(0));

    // A fresh installation of the same account downloads them.
    CloudCase c(m_service, account);
    QSignalSpy progress(c.http(), &HttpService::onGetClientsProgress);
    QSignalSpy list(c.http(), &HttpService::onGetClients);
    c->getClients();
    QVERIFY(list.wait(10000));
    QCOMPARE(progress.size(), 2);
    QCOMPARE(progress.at(0), (QList<QVariant>{3, 7}));
    QCOMPARE(progress.at(1), (QList<QVariant>{6, 7}));
    const auto clients = list.at(0).at(0).value<QList<Client>>();
    QCOMPARE(clients.size(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(clients.at(i).web_id, webIds.at(i));
        QCOMPARE(clients.at(i).surname, QStringLiteral("Cognome%1").arg(i + 1));
        QCOMPARE(clients.at(i).birthday, QDate(1984, 3, 9));
        QCOMPARE(clients.at(i).height, 172.5);
        QCOMPARE(clients.at(i).weight, 68.25);
        QVERIFY(!clients.at(i).offline);
    }
    QCOMPARE(c.scalar(QStringLiteral("select count(*) from clients")).toInt(), 7);
    QCOMPARE(c.scalar(QStringLiteral("select count(*) from clients where offline = 0 and web_id > 0")).toInt(), 7);

    // Listed again: rows are updated, never doubled.
    c->getClients();
    QVERIFY(list.wait(10000));
    QCOMPARE(c.scalar(QStringLiteral("select count(*) from clients")).toInt(), 7);
}

void TestHttpServiceRecords::clientListKeepsLocalWork()
{
    const int account = 5102;
    CloudCase c(m_service, account);
    const Client synced = uploadClient(c, QStringLiteral("Bianchi"), QStringLiteral("Luca"));
    const Client edited = uploadClient(c, QStringLiteral("Neri"), QStringLiteral("Sara"));
    const Client localOnly = c.addClient(QStringLiteral("Gialli"), QStringLiteral("Ugo"));

    // Here: the activity level of a synchronised client (the list carries none) and an
    // edit not yet sent.
    QVERIFY(c.exec(QStringLiteral("update clients set activityLevel = 5 where id = %1").arg(synced.id)));
    QVERIFY(c.exec(QStringLiteral("update clients set city = 'Torino', offline = 1 where id = %1").arg(edited.id)));

    QSignalSpy list(c.http(), &HttpService::onGetClients);
    c->getClients();
    QVERIFY(list.wait(10000));
    const auto clients = list.at(0).at(0).value<QList<Client>>();
    QCOMPARE(clients.size(), 2);
    // Matched on the web id: same local row.
    QCOMPARE(clients.at(0).id, synced.id);
    QCOMPARE(c.scalar(QStringLiteral("select count(*) from clients")).toInt(), 3);
    QCOMPARE(c.scalar(QStringLiteral("select activityLevel from clients where id = %1").arg(synced.id)).toInt(), 5);
    QCOMPARE(c.scalar(QStringLiteral("select city from clients where id = %1").arg(edited.id)).toString(),
             QStringLiteral("Torino"));
    QCOMPARE(c.scalar(QStringLiteral("select offline from clients where id = %1").arg(edited.id)).toInt(), 1);
    QCOMPARE(clients.at(1).city, QStringLiteral("Torino"));
    // The client not yet sent is left alone.
    QCOMPARE(c.scalar(QStringLiteral("select surname from clients where id = %1").arg(localOnly.id)).toString(),
             QStringLiteral("Gialli"));
    QCOMPARE(c.scalar(QStringLiteral("select web_id from clients where id = %1").arg(localOnly.id)).toInt(), 0);
}

void TestHttpServiceRecords::clientUploadSetsWebIdAndMovesFolder()
{
    CloudCase c(m_service, 5103);
    Client client = c.addClient(QStringLiteral("Russo"), QStringLiteral("Elena"));
    const QString oldFolder = client.getDataPath(true);
    QVERIFY(oldFolder.endsWith(QStringLiteral("/_%1/").arg(client.id)));
    const ScanFile scan = writeScan(oldFolder, QStringLiteral("Vita"), QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), false);
    const QByteArray picture = readFile(scan.jpgFile);
    QVERIFY(!picture.isEmpty());

    QList<QString> order;
    connect(c.http(), &HttpService::onUpdateClient, this, [&](int id) { order << QStringLiteral("update %1").arg(id); });
    connect(c.http(), &HttpService::onUploadClientDone, this, [&](int id) { order << QStringLiteral("done %1").arg(id); });
    QSignalSpy fail(c.http(), &HttpService::onUploadClientFail);
    CloudLogCatcher log;
    c->saveClient(&client);
    QVERIFY(QTest::qWaitFor([&] { return order.size() == 2; }, 10000));
    QCOMPARE(order, (QList<QString>{QStringLiteral("update %1").arg(client.id), QStringLiteral("done %1").arg(client.id)}));
    QCOMPARE(fail.size(), 0);
    // The whole reply is logged first.
    int replyLines = 0;
    for (const QString &line : log.lines())
        replyLines += QJsonDocument::fromJson(line.toUtf8()).object().contains(QStringLiteral("status")) ? 1 : 0;
    QCOMPARE(replyLines, 1);

    // The web id is the one the service lists for this account.
    QSignalSpy list(c.http(), &HttpService::onGetClients);
    c->getClients();
    QVERIFY(list.wait(10000));
    const int webId = list.at(0).at(0).value<QList<Client>>().at(0).web_id;
    QVERIFY(webId > 0);
    Client stored;
    stored.loadFromDB(client.id);
    QCOMPARE(stored.web_id, webId);
    QVERIFY(!stored.offline);
    QCOMPARE(stored.surname, QStringLiteral("Russo"));
    // The folder moved with its files.
    QVERIFY(!QFileInfo::exists(oldFolder));
    const QString newFolder = stored.getDataPath(false);
    QVERIFY(newFolder.endsWith(QStringLiteral("/%1/").arg(webId)));
    QCOMPARE(readFile(newFolder + QFileInfo(scan.jpgFile).fileName()), picture);
    QVERIFY(QFileInfo(newFolder + QFileInfo(scan.d2dFile).fileName()).size() > 0);

    // Sent again: the service updates the same record, the web id stays.
    order.clear();
    c->saveClient(&stored);
    QVERIFY(QTest::qWaitFor([&] { return order.size() == 2; }, 10000));
    Client again;
    again.loadFromDB(client.id);
    QCOMPARE(again.web_id, webId);
    QVERIFY(QFileInfo::exists(newFolder));
}

void TestHttpServiceRecords::clientEditedDuringUploadStaysPending()
{
    CloudCase c(m_service, 5104);
    Client client = c.addClient(QStringLiteral("Conti"), QStringLiteral("Paolo"));
    QVERIFY(m_service.injectFault(QStringLiteral("delay:600"), QStringLiteral("setUserData")));
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    // The operator edits the record while the request is on its way.
    QVERIFY(c.exec(QStringLiteral("update clients set phone = '333 1234567', offline = 1 where id = %1").arg(client.id)));
    QVERIFY(done.wait(10000));
    Client stored;
    stored.loadFromDB(client.id);
    QVERIFY(stored.web_id > 0);
    QCOMPARE(stored.phone, QStringLiteral("333 1234567"));
    QVERIFY2(stored.offline, "the edit has not reached the service yet");
}

void TestHttpServiceRecords::clientDeletedDuringUploadIsNotRecreated()
{
    CloudCase c(m_service, 5105);
    Client client = c.addClient(QStringLiteral("Galli"), QStringLiteral("Rita"));
    QVERIFY(m_service.injectFault(QStringLiteral("delay:600"), QStringLiteral("setUserData")));
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    QSignalSpy fail(c.http(), &HttpService::onUploadClientFail);
    c->saveClient(&client);
    c.store()->deleteClient(client.id);
    QVERIFY(fail.wait(10000));
    QCOMPARE(done.size(), 0);
    QCOMPARE(c.scalar(QStringLiteral("select count(*) from clients")).toInt(), 0);
}

void TestHttpServiceRecords::clientDeletion()
{
    Client keep;
    {
        CloudCase c(m_service, 5106);
        keep = uploadClient(c, QStringLiteral("Tenuto"), QStringLiteral("A"));
        const Client gone = uploadClient(c, QStringLiteral("Cancellato"), QStringLiteral("B"));
        CloudLogCatcher log;
        c->deleteClient(gone.web_id);
        QVERIFY(QTest::qWaitFor([&] { return log.has(QStringLiteral("delete user ok (http)")); }, 10000));
    }
    // A fresh installation no longer gets it.
    CloudCase other(m_service, 5106);
    QSignalSpy list(other.http(), &HttpService::onGetClients);
    other->getClients();
    QVERIFY(list.wait(10000));
    const auto clients = list.at(0).at(0).value<QList<Client>>();
    QCOMPARE(clients.size(), 1);
    QCOMPARE(clients.at(0).web_id, keep.web_id);
}

void TestHttpServiceRecords::anamnesisUploadDeletionAndDownload()
{
    const int account = 5107;
    Client client;
    Anamnesi a;
    int webId = 0;
    {
        CloudCase c(m_service, account);
        client = uploadClient(c, QStringLiteral("Marino"), QStringLiteral("Giulia"));
        a.loadFromFile(QStringLiteral(CALVESTRA_SOURCE_DIR "/service/models/Composizione_corporea.anm"));
        QVERIFY(!a.questions.isEmpty());
        a.idClient = client.id;
        a.date = QDateTime(QDate(2024, 4, 2), QTime(15, 20, 0));
        a.note = QStringLiteral("Prima visita + controllo");
        a.questions[0].answer = QStringLiteral("42");
        a.SaveToDB(false, false);
        QVERIFY(a.id > 0);

        QSignalSpy done(c.http(), &HttpService::onUploadAnamnesiDone);
        QList<int> doneWebIds;
        connect(c.http(), &HttpService::onUploadAnamnesiDone, this, [&](Anamnesi *r) { doneWebIds << r->web_id; });
        c->saveAnamnesi(&a);
        QVERIFY(done.wait(10000));
        QCOMPARE(doneWebIds.size(), 1);
        webId = doneWebIds.at(0);
        QVERIFY(webId > 0);
        QCOMPARE(c.scalar(QStringLiteral("select web_id from anamnesis where id = %1").arg(a.id)).toInt(), webId);
        QCOMPARE(c.scalar(QStringLiteral("select offline from anamnesis where id = %1").arg(a.id)).toInt(), 0);
    }

    // Downloaded by a fresh installation that has the client.
    CloudCase other(m_service, account);
    QSignalSpy list(other.http(), &HttpService::onGetClients);
    other->getClients();
    QVERIFY(list.wait(10000));
    const int localClient = Client::id_from_web_id(client.web_id);
    QVERIFY(localClient > 0);
    QSignalSpy got(other.http(), &HttpService::onGetAnamnesis);
    other->getUserAnamnesis(client.web_id);
    QVERIFY(got.wait(10000));
    const auto records = got.at(0).at(0).value<QList<Anamnesi>>();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.at(0).web_id, webId);
    QCOMPARE(records.at(0).idClient, localClient);
    QCOMPARE(records.at(0).name, a.name);
    QCOMPARE(records.at(0).date, a.date);
    QCOMPARE(records.at(0).note, a.note);
    QCOMPARE(records.at(0).questions.size(), a.questions.size());
    QCOMPARE(records.at(0).questions.at(0).answer, QStringLiteral("42"));
    QVERIFY(!records.at(0).offline);
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from anamnesis where web_id = %1 and offline = 0").arg(webId)).toInt(), 1);
    // Again: matched on the web id, not doubled.
    other->getUserAnamnesis(client.web_id);
    QVERIFY(got.wait(10000));
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 1);
    const int localId = other.scalar(QStringLiteral("select id from anamnesis")).toInt();

    // Deletion: marked here, confirmed by the service, then removed here.
    QVERIFY(other.store()->deleteAnamnesi(localId, false));
    QCOMPARE(other.scalar(QStringLiteral("select deleted from anamnesis where id = %1").arg(localId)).toInt(), 1);
    // A pending deletion is not brought back by a download.
    other->getUserAnamnesis(client.web_id);
    QVERIFY(got.wait(10000));
    QVERIFY(got.last().at(0).value<QList<Anamnesi>>().isEmpty());
    QCOMPARE(other.scalar(QStringLiteral("select deleted from anamnesis where id = %1").arg(localId)).toInt(), 1);

    QSignalSpy deleted(other.http(), &HttpService::onUploadDeletedAnamnesiDone);
    CloudLogCatcher log;
    other->deleteAnamnesi(webId);
    QVERIFY(deleted.wait(10000));
    QCOMPARE(deleted.at(0).at(0).toInt(), webId);
    QVERIFY(log.has(QStringLiteral("deleteAnamnesi ok (http)")));
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 0);

    got.clear();
    other->getUserAnamnesis(client.web_id);
    QVERIFY(got.wait(10000));
    QVERIFY(got.at(0).at(0).value<QList<Anamnesi>>().isEmpty());
}

void TestHttpServiceRecords::anamnesisOfUnknownClientIsSkipped()
{
    const int account = 5108;
    int clientWebId = 0;
    {
        CloudCase c(m_service, account);
        const Client client = uploadClient(c, QStringLiteral("Costa"), QStringLiteral("Marco"));
        clientWebId = client.web_id;
        Anamnesi a;
        a.name = QStringLiteral("Anamnesi generale");
        a.date = QDateTime(QDate(2024, 4, 3), QTime(8, 0, 0));
        a.idClient = client.id;
        a.SaveToDB(false, false);
        QSignalSpy done(c.http(), &HttpService::onUploadAnamnesiDone);
        c->saveAnamnesi(&a);
        QVERIFY(done.wait(10000));
    }
    // This installation has never downloaded that client.
    CloudCase c(m_service, account);
    const Client unrelated = c.addClient(QStringLiteral("Altro"), QStringLiteral("Cliente"));
    QSignalSpy got(c.http(), &HttpService::onGetAnamnesis);
    c->getUserAnamnesis(clientWebId);
    QVERIFY(got.wait(10000));
    QVERIFY(got.at(0).at(0).value<QList<Anamnesi>>().isEmpty());
    QCOMPARE(c.scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 0);
    QVERIFY(unrelated.id > 0);
}

void TestHttpServiceRecords::modelFilesDownloadedIntoModelsFolder()
{
    CloudCase c(m_service, 5109);
    const QString folder = c.store()->m_assetsPath + QStringLiteral("models/");
    QVERIFY(!QFileInfo::exists(folder));
    // An older copy of one model is replaced.
    QDir().mkpath(folder);
    QFile old(folder + QStringLiteral("Anamnesi_generale.anm"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old model");
    old.close();

    CloudLogCatcher log;
    c->getAnamnesiModels();
    const QStringList expected{QStringLiteral("Anamnesi_generale.anm"), QStringLiteral("Composizione_corporea.anm"),
                               QStringLiteral("Valutazione_sportiva.anm")};
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("File downloaded successfully ")) == 3; },
                            10000));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    for (const QString &name : expected) {
        QVERIFY(log.has(QStringLiteral("File downloaded successfully ") + folder + name));
        const QByteArray got = readFile(folder + name);
        QCOMPARE(got, readFile(QStringLiteral(CALVESTRA_SOURCE_DIR "/service/models/") + name));
        Anamnesi model;
        model.loadFromFile(folder + name);
        QVERIFY(!model.name.isEmpty());
        QVERIFY(!model.questions.isEmpty());
    }
    // One model has the body diagram.
    int withDiagram = 0;
    for (const QString &name : expected) {
        Anamnesi model;
        model.loadFromFile(folder + name);
        withDiagram += model.hasDiagram ? 1 : 0;
    }
    QVERIFY(withDiagram >= 1);
    QCOMPARE(requestsOfKind(m_service, QStringLiteral("modelFile")).size(), 3);
}

void TestHttpServiceRecords::downloadsStayInTheirFolder()
{
    CloudCase c(m_service, 5110);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("models/"));
    QDir().mkpath(folder);
    CloudLogCatcher log;

    // Pages that answer, but whose address ends without a file name.
    const QString base = m_service.baseUrl().toString();
    c->downloadFile(base + QStringLiteral("/"), folder);
    c->downloadFile(base + QStringLiteral("/Apps/Movelta/"), folder);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("skipped download")) == 2; }, 10000));
    // Not a web address at all.
    c->downloadFile(QStringLiteral("file:///etc/hostname"), folder);
    QVERIFY(log.countStartingWith(QStringLiteral("Error: ")) == 1);
    // An address that fails: only the log line.
    c->downloadFile(base + QStringLiteral("/Apps/Movelta/models/none.anm"), folder);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("Error: ")) == 2; }, 10000));
    QVERIFY(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    // A link planted under a model's name is replaced, not followed.
    const QString outside = dir.filePath(QStringLiteral("outside.txt"));
    QFile target(outside);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write("untouched");
    target.close();
    QVERIFY(QFile::link(outside, folder + QStringLiteral("Valutazione_sportiva.anm")));
    c->downloadFile(base + QStringLiteral("/Apps/Movelta/models/Valutazione_sportiva.anm"), folder);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("File downloaded successfully ")) == 1; },
                            10000));
    QCOMPARE(readFile(outside), QByteArray("untouched"));
    QVERIFY(!QFileInfo(folder + QStringLiteral("Valutazione_sportiva.anm")).isSymLink());
    QCOMPARE(readFile(folder + QStringLiteral("Valutazione_sportiva.anm")),
             readFile(QStringLiteral(CALVESTRA_SOURCE_DIR "/service/models/Valutazione_sportiva.anm")));
}

CALVESTRA_TEST_MAIN(TestHttpServiceRecords)
#include "tst_httpservice_records.moc"
