// Faults on the way to the service: a stopped service, replies that never end, bodies
// that are not JSON or far too large, HTTP errors, a connection dropped mid-upload and
// replies with members missing. Each ends in its failure signal (or in nothing, for
// calls without one) within a bounded time, and the local store stays as it was.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "anamnesis/Anamnesi.h"
#include "store/Exam.h"

#include <QElapsedTimer>
#include <QSignalSpy>

namespace {

// Every signal of the client, counted by name.
class Outcomes : public QObject
{
public:
    explicit Outcomes(HttpService *http)
    {
        connect(http, &HttpService::onGetClients, this, [this] { add("clients"); });
        connect(http, &HttpService::onGetClientsProgress, this, [this] { add("progress"); });
        connect(http, &HttpService::onGetUserWorks, this, [this] { add("works"); });
        connect(http, &HttpService::onGetAnamnesis, this, [this] { add("anamnesis"); });
        connect(http, &HttpService::onUpdateClient, this, [this] { add("updateClient"); });
        connect(http, &HttpService::onUploadClientDone, this, [this] { add("clientDone"); });
        connect(http, &HttpService::onUploadClientFail, this, [this] { add("clientFail"); });
        connect(http, &HttpService::onUploadAnamnesiDone, this, [this] { add("anamnesiDone"); });
        connect(http, &HttpService::onUploadAnamnesiFail, this, [this] { add("anamnesiFail"); });
        connect(http, &HttpService::onUploadDeletedAnamnesiDone, this, [this] { add("deleteDone"); });
        connect(http, &HttpService::onUploadDeletedAnamnesiFail, this, [this] { add("deleteFail"); });
        connect(http, &HttpService::onUploadExamDone, this, [this] { add("examDone"); });
        connect(http, &HttpService::onUploadExamFail, this, [this] { add("examFail"); });
        connect(http, &HttpService::onWebSpaceOver, this, [this] { add("full"); });
    }
    QStringList all;
    void add(const char *name) { all << QString::fromLatin1(name); }
    bool waitFor(const QString &name, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return all.contains(name); }, timeoutMs);
    }
};

}  // namespace

class TestHttpServiceFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void serviceStopped();
    void replyThatNeverEnds_data();
    void replyThatNeverEnds();
    void replyThatStallsMidBody();
    void nonJsonBody();
    void httpStatus500();
    void hugeBodyIsRefused();
    void connectionDroppedMidUpload();
    void uploadTimeOutCountsSilence();
    void successWithoutMembersChangesNothing();
    void anamnesisDeletionFailureIsReported();
    void archiveThatCannotBeWrittenSendsNothing();

private:
    // A client and an anamnesis already on the service, an exam with two scans.
    struct Fixture
    {
        Client client;
        Anamnesi anamnesi;
        Exam exam;
        QList<ScanFile> scans;
    };
    Fixture prepare(CloudCase &c);
    QString snapshot(CloudCase &c) const;

    ReferenceService m_service;
};

void TestHttpServiceFaults::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestHttpServiceFaults::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

TestHttpServiceFaults::Fixture TestHttpServiceFaults::prepare(CloudCase &c)
{
    Fixture f;
    f.client = c.addClient(QStringLiteral("Guasto"), QStringLiteral("Gino"));
    QSignalSpy clientDone(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&f.client);
    if (!clientDone.wait(10000))
        qWarning("client upload not confirmed");
    f.client.loadFromDB(f.client.id);

    f.anamnesi.name = QStringLiteral("Anamnesi generale");
    f.anamnesi.date = QDateTime(QDate(2024, 7, 1), QTime(9, 0, 0));
    f.anamnesi.idClient = f.client.id;
    f.anamnesi.SaveToDB(false, false);
    QSignalSpy anamnesiDone(c.http(), &HttpService::onUploadAnamnesiDone);
    c->saveAnamnesi(&f.anamnesi);
    if (!anamnesiDone.wait(10000))
        qWarning("anamnesi upload not confirmed");
    f.anamnesi.loadFromDB(f.anamnesi.id, false);

    const QString folder = f.client.getDataPath(true);
    f.scans << writeScan(folder, QStringLiteral("Vita"), QDateTime(QDate(2024, 7, 1), QTime(9, 10, 0)), true, 400)
            << writeScan(folder, QStringLiteral("Fianco"), QDateTime(QDate(2024, 7, 1), QTime(9, 12, 0)), false, 400);
    f.exam.idUser = f.client.web_id;
    f.exam.examDate = QDate(2024, 7, 1);
    f.exam.weight = 80;

    // A local change waiting to go up, which the failed calls must leave pending.
    f.client.city = QStringLiteral("Asti");
    f.client.offline = true;
    c.store()->saveClient(&f.client, false);
    return f;
}

QString TestHttpServiceFaults::snapshot(CloudCase &c) const
{
    QString files;
    const QDir data(c.store()->m_dataPath);
    for (const QString &entry : data.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        files += entry + QLatin1Char(':');
        for (const QFileInfo &file : QDir(data.filePath(entry)).entryInfoList(QDir::Files, QDir::Name))
            files += file.fileName() + QLatin1Char('=') + QString::number(file.size()) + QLatin1Char(',');
        files += QLatin1Char('\n');
    }
    return c.dump(QStringLiteral("clients")) + c.dump(QStringLiteral("anamnesis")) +
           c.scalar(QStringLiteral("select count(*) from pendingExams")).toString() + QLatin1Char('\n') + files;
}

void TestHttpServiceFaults::serviceStopped()
{
    CloudCase c(m_service, 7101);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    m_service.stop();

    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    QElapsedTimer clock;
    clock.start();
    c->saveClient(&f.client);
    c->saveAnamnesi(&f.anamnesi);
    c->deleteAnamnesi(f.anamnesi.web_id);
    c->uploadExam(&f.exam, &f.scans);
    c->getClients();
    c->getUserWorks(f.client.web_id);
    c->getUserAnamnesis(f.client.web_id);
    c->getAnamnesiModels();
    QVERIFY(QTest::qWaitFor([&] { return outcomes.all.size() >= 4; }, 10000));
    QTest::qWait(200);
    QCOMPARE(outcomes.all.size(), 4);
    QVERIFY(outcomes.all.contains(QStringLiteral("clientFail")));
    QVERIFY(outcomes.all.contains(QStringLiteral("anamnesiFail")));
    QVERIFY(outcomes.all.contains(QStringLiteral("deleteFail")));
    QVERIFY(outcomes.all.contains(QStringLiteral("examFail")));
    // One log line per failed call but the silent model list.
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply: ")), 7);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(snapshot(c), before);
}

void TestHttpServiceFaults::replyThatNeverEnds_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected");
    QTest::newRow("client upload") << "setUserData" << "clientFail";
    QTest::newRow("anamnesis upload") << "uploadAnamnesi" << "anamnesiFail";
    QTest::newRow("anamnesis deletion") << "deleteAnamnesi" << "deleteFail";
    QTest::newRow("exam upload") << "uploadExamZip" << "examFail";
    QTest::newRow("client list") << "getUsers" << "";
    QTest::newRow("works") << "getUserWorks" << "";
}

void TestHttpServiceFaults::replyThatNeverEnds()
{
    QFETCH(QString, action);
    QFETCH(QString, expected);
    CloudCase c(m_service, 7102);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    c->setTimeouts(1200, 1200, 1000);
    QVERIFY(m_service.injectFault(QStringLiteral("hang"), action));

    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    QElapsedTimer clock;
    clock.start();
    if (action == QLatin1String("setUserData"))
        c->saveClient(&f.client);
    else if (action == QLatin1String("uploadAnamnesi"))
        c->saveAnamnesi(&f.anamnesi);
    else if (action == QLatin1String("deleteAnamnesi"))
        c->deleteAnamnesi(f.anamnesi.web_id);
    else if (action == QLatin1String("uploadExamZip"))
        c->uploadExam(&f.exam, &f.scans);
    else if (action == QLatin1String("getUsers"))
        c->getClients();
    else
        c->getUserWorks(f.client.web_id);

    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("error reply: time-out")) == 1; }, 8000));
    QVERIFY2(clock.elapsed() >= 1000, "not before the time-out");
    QTest::qWait(100);
    QCOMPARE(outcomes.all, expected.isEmpty() ? QStringList() : QStringList{expected});
    QCOMPARE(snapshot(c), before);
    QVERIFY(waitForRequest(m_service, action).value(QStringLiteral("fault")).toString() == QStringLiteral("hang"));
}

void TestHttpServiceFaults::replyThatStallsMidBody()
{
    CloudCase c(m_service, 7103);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    c->setTimeouts(1000, 1000, 1000);
    QVERIFY(m_service.injectFault(QStringLiteral("stall"), QStringLiteral("setUserData")));
    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    c->saveClient(&f.client);
    QVERIFY(outcomes.waitFor(QStringLiteral("clientFail"), 8000));
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply: time-out")), 1);
    QCOMPARE(snapshot(c), before);
}

void TestHttpServiceFaults::nonJsonBody()
{
    CloudCase c(m_service, 7104);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    QVERIFY(m_service.injectFault(QStringLiteral("nonjson"), QString(), 5));
    c->saveClient(&f.client);
    QVERIFY(outcomes.waitFor(QStringLiteral("clientFail"), 10000));
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(outcomes.waitFor(QStringLiteral("examFail"), 10000));
    c->saveAnamnesi(&f.anamnesi);
    QVERIFY(outcomes.waitFor(QStringLiteral("anamnesiFail"), 10000));
    c->getClients();
    c->getUserAnamnesis(f.client.web_id);
    // Read as an empty object: code 0, a service failure.
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("error")) == 5; }, 10000));
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply:")), 0);
    QCOMPARE(outcomes.all.size(), 3);
    QCOMPARE(snapshot(c), before);
}

void TestHttpServiceFaults::httpStatus500()
{
    CloudCase c(m_service, 7105);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QString(), 4));
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(outcomes.waitFor(QStringLiteral("examFail"), 10000));
    c->saveAnamnesi(&f.anamnesi);
    QVERIFY(outcomes.waitFor(QStringLiteral("anamnesiFail"), 10000));
    c->saveClient(&f.client);
    QVERIFY(outcomes.waitFor(QStringLiteral("clientFail"), 10000));
    c->getClients();
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("error reply: ")) == 4; }, 10000));
    QTest::qWait(100);
    QCOMPARE(outcomes.all.size(), 3);
    QCOMPARE(snapshot(c), before);
}

void TestHttpServiceFaults::hugeBodyIsRefused()
{
    CloudCase c(m_service, 7106);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    // A valid envelope, but larger than any reply of the service can be.
    const int megabytes = int(HttpService::maxReplyBytes >> 20) + 8;
    QVERIFY(m_service.injectFault(QStringLiteral("huge:%1").arg(megabytes), QStringLiteral("setUserData")));
    c->saveClient(&f.client);
    QVERIFY(outcomes.waitFor(QStringLiteral("clientFail"), 20000));
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply: reply larger than")), 1);
    QCOMPARE(snapshot(c), before);

    // One within the limit is read normally: status 200, empty data, no id, so a failure.
    QVERIFY(m_service.injectFault(QStringLiteral("huge:2"), QStringLiteral("setUserData")));
    outcomes.all.clear();
    c->saveClient(&f.client);
    QVERIFY(outcomes.waitFor(QStringLiteral("clientFail"), 20000));
    QCOMPARE(snapshot(c), before);
}

void TestHttpServiceFaults::connectionDroppedMidUpload()
{
    CloudCase c(m_service, 7107);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    // The network layer sends a request again once when its connection drops early, so
    // the service drops every attempt.
    QVERIFY(m_service.injectFault(QStringLiteral("drop"), QStringLiteral("uploadExamZip"), 10));
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(outcomes.waitFor(QStringLiteral("examFail"), 15000));
    QTest::qWait(100);
    QCOMPARE(outcomes.all, QStringList{QStringLiteral("examFail")});
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply: ")), 1);
    QCOMPARE(snapshot(c), before);
    // Nothing was stored on the service.
    QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
    c->getUserWorks(f.client.web_id);
    QVERIFY(works.wait(10000));
    QVERIFY(works.at(0).at(0).value<QList<Exam>>().isEmpty());

    // The next attempt goes through.
    QVERIFY(m_service.resetHooks());
    outcomes.all.clear();
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(outcomes.waitFor(QStringLiteral("examDone"), 15000));
}

void TestHttpServiceFaults::uploadTimeOutCountsSilence()
{
    CloudCase c(m_service, 7108);
    Fixture f = prepare(c);
    c->setTimeouts(1500, 1500, 1000);
    Outcomes outcomes(c.http());
    CloudLogCatcher log;

    // The service answers after a silence shorter than the time-out: the upload succeeds.
    QVERIFY(m_service.injectFault(QStringLiteral("delay:900"), QStringLiteral("uploadExamZip")));
    QElapsedTimer clock;
    clock.start();
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(QTest::qWaitFor([&] { return !outcomes.all.isEmpty(); }, 15000));
    QCOMPARE(outcomes.all, QStringList{QStringLiteral("examDone")});
    QVERIFY(clock.elapsed() >= 900);

    // A longer silence is a time-out.
    outcomes.all.clear();
    QVERIFY(m_service.injectFault(QStringLiteral("delay:4000"), QStringLiteral("uploadExamZip")));
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(QTest::qWaitFor([&] { return !outcomes.all.isEmpty(); }, 15000));
    QCOMPARE(outcomes.all, QStringList{QStringLiteral("examFail")});
    QCOMPARE(log.countStartingWith(QStringLiteral("error reply: time-out")), 1);
}

void TestHttpServiceFaults::successWithoutMembersChangesNothing()
{
    CloudCase c(m_service, 7109);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    // Status 200 with an empty data object: no id, no client, no date.
    QVERIFY(m_service.injectFault(QStringLiteral("code:200"), QString(), 4));
    c->saveClient(&f.client);
    QVERIFY(outcomes.waitFor(QStringLiteral("clientFail"), 10000));
    c->saveAnamnesi(&f.anamnesi);
    QVERIFY(outcomes.waitFor(QStringLiteral("anamnesiFail"), 10000));
    c->uploadExam(&f.exam, &f.scans);
    QVERIFY(outcomes.waitFor(QStringLiteral("examFail"), 10000));
    c->getUserAnamnesis(f.client.web_id);
    QVERIFY(outcomes.waitFor(QStringLiteral("anamnesis"), 10000));
    QCOMPARE(outcomes.all.size(), 4);
    QCOMPARE(snapshot(c), before);
    // The client keeps its web id and folder, and stays pending.
    QCOMPARE(c.scalar(QStringLiteral("select web_id from clients where id = %1").arg(f.client.id)).toInt(), f.client.web_id);
    QCOMPARE(c.scalar(QStringLiteral("select offline from clients where id = %1").arg(f.client.id)).toInt(), 1);
}

void TestHttpServiceFaults::anamnesisDeletionFailureIsReported()
{
    CloudCase c(m_service, 7110);
    Fixture f = prepare(c);
    QVERIFY(c.store()->deleteAnamnesi(f.anamnesi.id, false));
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    QVERIFY(m_service.injectFault(QStringLiteral("code:500"), QStringLiteral("deleteAnamnesi")));
    c->deleteAnamnesi(f.anamnesi.web_id);
    QVERIFY(outcomes.waitFor(QStringLiteral("deleteFail"), 10000));
    QCOMPARE(outcomes.all, QStringList{QStringLiteral("deleteFail")});
    QCOMPARE(snapshot(c), before);
    QCOMPARE(c.scalar(QStringLiteral("select deleted from anamnesis where id = %1").arg(f.anamnesi.id)).toInt(), 1);
}

void TestHttpServiceFaults::archiveThatCannotBeWrittenSendsNothing()
{
    CloudCase c(m_service, 7111);
    Fixture f = prepare(c);
    const QString before = snapshot(c);
    Outcomes outcomes(c.http());
    CloudLogCatcher log;
    // A temporary folder that does not exist, or is a plain file, cannot hold the archive.
    const QByteArray tmpdir = qgetenv("TMPDIR");
    const QString plainFile = c.location() + QStringLiteral("/plain-file");
    QFile file(plainFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString &folder : {c.location() + QStringLiteral("/no/such/folder"), plainFile}) {
        outcomes.all.clear();
        qputenv("TMPDIR", QFile::encodeName(folder));
        c->uploadExam(&f.exam, &f.scans);
        if (tmpdir.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmpdir);
        // Reported from the event loop, like every other outcome.
        QVERIFY(outcomes.all.isEmpty());
        QVERIFY(outcomes.waitFor(QStringLiteral("examFail"), 5000));
        QTest::qWait(200);
        QCOMPARE(outcomes.all, QStringList{QStringLiteral("examFail")});
    }
    QVERIFY(QDir(QStringLiteral("/")).entryList({QStringLiteral("upload-*")}, QDir::Files).isEmpty());
    QCOMPARE(log.countStartingWith(QStringLiteral("zipFile ")), 2);
    QVERIFY(requestsOfKind(m_service, QStringLiteral("uploadExamZip")).isEmpty());
    QCOMPARE(snapshot(c), before);
}

CALVESTRA_TEST_MAIN(TestHttpServiceFaults)
#include "tst_httpservice_faults.moc"
