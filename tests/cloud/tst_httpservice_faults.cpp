// Faults on the way to the service: a stopped service, replies that never end or stall,
// bodies that are not JSON or far too large, HTTP errors, a connection dropped mid-upload,
// replies without the members a record needs, an archive that cannot be written. Each
// ends in its outcome (a failure signal, or only a log line for calls without one) from
// the event loop, in bounded time, and the local store stays as it was.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include <QElapsedTimer>

class TestHttpServiceFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_service.start(), qPrintable(m_service.errorString())); }
    void init()
    {
        if (!m_service.isRunning())
            QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(m_service.resetHooks());
    }
    void fault_data();
    void fault();

private:
    ReferenceService m_service;
};

void TestHttpServiceFaults::fault_data()
{
    QTest::addColumn<QString>("fault");     // a fault of the service, "stop", or "tmpdir:" an unusable folder
    QTest::addColumn<QString>("action");    // what the fault waits for
    QTest::addColumn<int>("timeoutMs");     // request and upload time-out; 0 keeps the defaults
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("outcomes");  // the signals, sorted
    QTest::addColumn<QString>("log");       // the line that tells what happened
    QTest::addColumn<int>("lines");
    const QString timeOut = u"error reply: time-out"_s;
    QTest::newRow("service stopped") << "stop" << "" << 0 << "client,anamnesi,delete,exam,clients,works,anamnesis,models"
                                     << "anamnesiFail,clientFail,deleteFail,examFail" << "error reply: " << 7;
    for (const auto &[action, call, outcome] : {std::tuple{"setUserData", "client", "clientFail"},
                                                {"uploadAnamnesi", "anamnesi", "anamnesiFail"},
                                                {"deleteAnamnesi", "delete", "deleteFail"}, {"uploadExamZip", "exam", "examFail"},
                                                {"getUsers", "clients", ""}, {"getUserWorks", "works", ""}})
        QTest::addRow("no reply to %s", action) << "hang" << action << 1500 << call << outcome << timeOut << 1;
    QTest::newRow("reply stalls") << "stall" << "setUserData" << 1500 << "client" << "clientFail" << timeOut << 1;
    QTest::newRow("upload answered late") << "delay:1500" << "uploadExamZip" << 4000 << "exam" << "examDone" << "" << 0;
    QTest::newRow("upload never answered") << "delay:8000" << "uploadExamZip" << 3000 << "exam" << "examFail" << timeOut << 1;
    QTest::newRow("not JSON") << "nonjson" << "uploadExamZip" << 0 << "exam" << "examFail" << "error " << 1;
    QTest::newRow("not JSON, list") << "nonjson" << "getUsers" << 0 << "clients" << "" << "error " << 1;
    QTest::newRow("HTTP 500") << "status500" << "uploadAnamnesi" << 0 << "anamnesi" << "anamnesiFail" << "error reply: " << 1;
    QTest::newRow("HTTP 500, list") << "status500" << "getUsers" << 0 << "clients" << "" << "error reply: " << 1;
    const int huge = int(HttpService::maxReplyBytes >> 20) + 8;
    QTest::newRow("reply too large") << u"huge:%1"_s.arg(huge) << "setUserData" << 0 << "client" << "clientFail"
                                     << "error reply: reply larger than" << 1;
    QTest::newRow("large reply without id") << "huge:2" << "setUserData" << 0 << "client" << "clientFail"
                                            << "error setUserData reply without a valid id" << 1;
    // The network layer sends a request again once when its connection drops early.
    QTest::newRow("dropped mid-upload") << "drop" << "uploadExamZip" << 0 << "exam" << "examFail" << "error reply: " << 1;
    QTest::newRow("no id for the client") << "code:200" << "setUserData" << 0 << "client" << "clientFail"
                                          << "error setUserData reply without a valid id" << 1;
    QTest::newRow("no id for the anamnesis") << "code:200" << "uploadAnamnesi" << 0 << "anamnesi" << "anamnesiFail"
                                             << "error uploadAnamnesi reply without a valid id" << 1;
    QTest::newRow("no client or date for the exam") << "code:200" << "uploadExamZip" << 0 << "exam" << "examFail"
                                                    << "error uploadExamZip reply without client or date" << 1;
    QTest::newRow("empty client list") << "code:200" << "getUsers" << 0 << "clients" << "clients:0" << "" << 0;
    QTest::newRow("empty works") << "code:200" << "getUserWorks" << 0 << "works" << "works:0" << "" << 0;
    QTest::newRow("empty anamnesis list") << "code:200" << "getUserAnamnesis" << 0 << "anamnesis" << "anamnesis:0" << "" << 0;
    QTest::newRow("deletion refused") << "code:500" << "deleteAnamnesi" << 0 << "delete" << "deleteFail"
                                      << "error injected failure" << 1;
    QTest::newRow("storage full") << "code:405" << "uploadExamZip" << 0 << "exam" << "full" << "uploadExam -> WebSpaceOver" << 1;
    QTest::newRow("no temporary folder") << "tmpdir:/no/such/folder" << "" << 0 << "exam" << "examFail" << "zipFile " << 1;
    QTest::newRow("temporary folder is a file") << "tmpdir:plain-file" << "" << 0 << "exam" << "examFail" << "zipFile " << 1;
}

void TestHttpServiceFaults::fault()
{
    QFETCH(QString, fault);
    QFETCH(QString, action);
    QFETCH(int, timeoutMs);
    QFETCH(QString, calls);
    QFETCH(QString, outcomes);
    QFETCH(QString, log);
    QFETCH(int, lines);

    // A client and an anamnesis on the service, an exam with two scans, and a local change
    // waiting to go up, which a failed call must leave pending.
    static int account = 7100;
    CloudCase c(m_service, ++account);
    Client client = c.uploaded(c.addClient(u"Guasto"_s));
    Anamnesi anamnesi = c.addAnamnesi(client, u"Anamnesi generale"_s, QDate(2024, 7, 1));
    QSignalSpy anamnesiDone(c.http(), &HttpService::onUploadAnamnesiDone);
    c->saveAnamnesi(&anamnesi);
    QVERIFY(anamnesiDone.wait(20000));
    anamnesi.loadFromDB(anamnesi.id, false);
    QList<ScanFile> scans{writeScan(client.getDataPath(true), u"Vita"_s, QDateTime(QDate(2024, 7, 1), QTime(9, 10)), true, 200),
                          writeScan(client.getDataPath(true), u"Fianco"_s, QDateTime(QDate(2024, 7, 1), QTime(9, 12)), false, 200)};
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 7, 1);
    client.city = u"Asti"_s;
    client.offline = true;
    c.store()->saveClient(&client, false);
    const QString before = c.snapshot();

    QStringList seen;
    QObject context;
    const auto count = [&](auto signal, const QString &name) {
        connect(c.http(), signal, &context, [&seen, name] { seen << name; });
    };
    count(&HttpService::onUploadClientFail, u"clientFail"_s);
    count(&HttpService::onUploadAnamnesiFail, u"anamnesiFail"_s);
    count(&HttpService::onUploadDeletedAnamnesiFail, u"deleteFail"_s);
    count(&HttpService::onUploadExamDone, u"examDone"_s);
    count(&HttpService::onUploadExamFail, u"examFail"_s);
    count(&HttpService::onWebSpaceOver, u"full"_s);
    count(&HttpService::onUploadClientDone, u"clientDone"_s);
    count(&HttpService::onUploadAnamnesiDone, u"anamnesiDone"_s);
    count(&HttpService::onUploadDeletedAnamnesiDone, u"deleteDone"_s);
    connect(c.http(), &HttpService::onGetClients, &context, [&](const QList<Client> &l) { seen << u"clients:%1"_s.arg(l.size()); });
    connect(c.http(), &HttpService::onGetUserWorks, &context, [&](const QList<Exam> &l) { seen << u"works:%1"_s.arg(l.size()); });
    connect(c.http(), &HttpService::onGetAnamnesis, &context, [&](const QList<Anamnesi> &l) { seen << u"anamnesis:%1"_s.arg(l.size()); });

    if (timeoutMs > 0)
        c->setTimeouts(timeoutMs, timeoutMs, 1000);
    if (fault == u"stop"_s)
        m_service.stop();
    else if (!fault.startsWith(u"tmpdir:"_s))
        QVERIFY(m_service.injectFault(fault, action, fault == u"drop"_s ? 10 : 1));
    const QByteArray tmpdir = qgetenv("TMPDIR");
    if (fault.startsWith(u"tmpdir:"_s)) {
        QFile(c.location() + u"/plain-file"_s).open(QIODevice::WriteOnly);
        qputenv("TMPDIR", QFile::encodeName(QDir(c.location()).filePath(fault.mid(7))));
    }
    LogCatcher logged("calvestra.cloud");
    QElapsedTimer clock;
    clock.start();
    for (const QString &call : calls.split(u',')) {
        if (call == u"client"_s)
            c->saveClient(&client);
        else if (call == u"anamnesi"_s)
            c->saveAnamnesi(&anamnesi);
        else if (call == u"delete"_s)
            c->deleteAnamnesi(anamnesi.web_id);
        else if (call == u"exam"_s)
            c->uploadExam(&exam, &scans);
        else if (call == u"clients"_s)
            c->getClients();
        else if (call == u"works"_s)
            c->getUserWorks(client.web_id);
        else if (call == u"anamnesis"_s)
            c->getUserAnamnesis(client.web_id);
        else
            c->getAnamnesiModels();
    }
    if (tmpdir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmpdir);
    // Every outcome comes from the event loop, never from inside the call.
    QVERIFY(seen.isEmpty());
    const QStringList expected = outcomes.isEmpty() ? QStringList() : outcomes.split(u',');
    QVERIFY2(QTest::qWaitFor([&] {
        return seen.size() >= expected.size() && (log.isEmpty() || logged.countStartingWith(log) >= lines);
    }, 30000), qPrintable(seen.join(u',') + u'\n' + logged.lines().join(u'\n')));
    QCoreApplication::processEvents();
    seen.sort();
    QCOMPARE(seen, expected);
    if (!log.isEmpty())
        QCOMPARE(logged.countStartingWith(log), lines);
    QCOMPARE(logged.countStartingWith(u"error"_s), log.startsWith(u"error"_s) ? lines : 0);
    if (!log.startsWith(u"error reply"_s))
        QCOMPARE(logged.countStartingWith(u"error reply"_s), 0);
    if (log.contains(u"time-out"_s))
        QVERIFY2(clock.elapsed() >= timeoutMs * 9 / 10, "not before the time-out (a coarse timer may fire 5% early)");
    QCOMPARE(c.snapshot(), before);
    if (fault.startsWith(u"tmpdir:"_s))
        QVERIFY(requestsOfKind(m_service, u"uploadExamZip"_s).isEmpty());
    // Nothing is left half-stored on the service.
    QVERIFY(m_service.isRunning() || m_service.restart());
    QVERIFY(m_service.resetHooks());
    QTRY_VERIFY_WITH_TIMEOUT(QDir(m_service.dataDir() + u"/tmp"_s).isEmpty(), 20000);
    if (fault == u"drop"_s) {
        QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
        c->getUserWorks(client.web_id);
        QVERIFY(works.wait(20000));
        QVERIFY(works.at(0).at(0).value<QList<Exam>>().isEmpty());
    }
}

CALVESTRA_TEST_MAIN(TestHttpServiceFaults)
#include "tst_httpservice_faults.moc"
