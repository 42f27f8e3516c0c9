// The web-service client against the reference service over loopback HTTP: what each
// call sends, what each reply does to the local store, exams and their files, the
// storage quota, accounts kept apart, the endpoints and the connectivity probe.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "app/AppSettings.h"

#include <QSysInfo>

class TestHttpService : public QObject
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
    void formsAsTheServiceReceivesThem();
    void clientsAcrossInstallations();
    void recordsChangedDuringTheirUpload();
    void anamnesisAcrossInstallations();
    void modelFilesAndDownloads();
    void examsWorksAndFiles();
    void fullStorage();
    void accountsAreKeptApart();
    void endpoints();
    void connectionProbe();

private:
    // Uploads and waits for the one outcome; "done", "fail" or "full".
    QStringList upload(CloudCase &c, QList<std::pair<Exam, QList<ScanFile>>> exams, QList<Exam> *done = nullptr);

    ReferenceService m_service;
};

QStringList TestHttpService::upload(CloudCase &c, QList<std::pair<Exam, QList<ScanFile>>> exams, QList<Exam> *done)
{
    QStringList outcomes;
    QObject context;
    connect(c.http(), &HttpService::onUploadExamDone, &context, [&](Exam *e) {
        outcomes << u"done"_s;
        if (done)
            *done << *e;
    });
    connect(c.http(), &HttpService::onUploadExamFail, &context, [&] { outcomes << u"fail"_s; });
    connect(c.http(), &HttpService::onWebSpaceOver, &context, [&] { outcomes << u"full"_s; });
    // All in flight at once.
    for (auto &[exam, scans] : exams)
        c->uploadExam(&exam, &scans);
    (void)QTest::qWaitFor([&] { return outcomes.size() >= exams.size(); }, 60000);
    return outcomes;
}

void TestHttpService::formsAsTheServiceReceivesThem()
{
    // Fully encoded, in insertion order, a "%41" kept as written.
    QUrlQuery q;
    HttpService::addFormItem(q, u"text"_s, u"a+b c&d=e%41/é"_s);
    q.addQueryItem(u"k"_s, u"1+1 = 2"_s);
    QCOMPARE(HttpService::encodeForm(q), QByteArray("text=a%2Bb%20c%26d%3De%2541%2F%C3%A9&k=1%2B1%20%3D%202"));

    const int account = 4101;
    CloudCase c(m_service, account);
    const Client local = c.addClient(u"D'Amico + Figli & Co = 100%41"_s, u"Nicolò  Luca"_s);
    const Client client = c.uploaded(local);
    QVERIFY(client.web_id > 0);
    Anamnesi anamnesi = c.addAnamnesi(client, u"Anamnesi generale"_s, QDate(2024, 5, 6));
    anamnesi.note = u"nota + più"_s;
    c->saveAnamnesi(&anamnesi);
    c->deleteAnamnesi(77);
    c->deleteClient(0);
    c->getUserAnamnesis(client.web_id);
    c->getAnamnesiModels();
    c->getUserWorks(client.web_id);
    c->getClients();
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 6, 1);
    exam.notes = u"note + più"_s;
    QList<ScanFile> scans{writeScan(client.getDataPath(true), u"Vita"_s, QDateTime(exam.examDate, QTime(9, 0)), true)};
    c->uploadExam(&exam, &scans);
    fetch(c.http(), 1532, u"d2d"_s, u"A+B é.jpg"_s);

    // Every form: the four common fields, then the call's own in this order.
    const QString common = u"idSender=%1,action=getUsers,appVersion=0.6.4,appOS=%2,"_s.arg(account).arg(QSysInfo::productType());
    const QList<std::pair<QString, QString>> expected{
        {u"setUserData"_s, u"action,data"_s},           {u"uploadAnamnesi"_s, u"action,idUser,idAnamnesi,data"_s},
        {u"deleteAnamnesi"_s, u"action,idAnamnesi"_s},  {u"deleteUser"_s, u"action,idUser"_s},
        {u"getUserAnamnesis"_s, u"action,idUser"_s},    {u"getAnamnesiModels"_s, u"action"_s},
        {u"getUserWorks"_s, u"idUser,action"_s},        {u"getUsers"_s, u"action"_s}};
    for (const auto &[kind, own] : expected) {
        const QJsonObject r = waitForRequest(m_service, kind);
        QStringList fields = recordedFields(r);
        QVERIFY2(fields.size() > 4, qPrintable(kind));
        QCOMPARE(QStringList(fields.mid(0, 4)).join(u',') + u',', common);
        for (QString &field : fields)
            field = field.section(u'=', 0, 0);
        QCOMPARE(QStringList(fields.mid(4)).join(u','), own);
        QCOMPARE(r[u"method"_s].toString(), u"POST"_s);
        QVERIFY(r[u"contentType"_s].toString().startsWith(u"application/x-www-form-urlencoded"_s));
        QCOMPARE(r[u"path"_s].toString(), u"/Apps/Movelta/vq_webservice.php"_s);
    }
    QJsonObject r = waitForRequest(m_service, u"setUserData"_s);
    QVERIFY2(fieldValue(r, u"data"_s).contains(u"\n    \""_s), "indented JSON");
    QCOMPARE(QJsonDocument::fromJson(fieldValue(r, u"data"_s).toUtf8()).object(), local.toJSONObject(true));
    r = waitForRequest(m_service, u"uploadAnamnesi"_s);
    QCOMPARE(fieldValue(r, u"idUser"_s) + u' ' + fieldValue(r, u"idAnamnesi"_s), QString::number(client.web_id) + u" 0"_s);
    QCOMPARE(QJsonDocument::fromJson(fieldValue(r, u"data"_s).toUtf8()).object(), anamnesi.getJsonObject());
    QCOMPARE(fieldValue(waitForRequest(m_service, u"deleteAnamnesi"_s), u"idAnamnesi"_s), u"77"_s);
    QCOMPARE(fieldValue(waitForRequest(m_service, u"getUserWorks"_s), u"idUser"_s), QString::number(client.web_id));

    // The exam: six parts in order, one action, the archive as a file part.
    r = waitForRequest(m_service, u"uploadExamZip"_s);
    QVERIFY(r[u"contentType"_s].toString().startsWith(u"multipart/form-data; boundary="_s));
    QStringList parts;
    for (const QJsonValue &p : r[u"parts"_s].toArray())
        parts << p[u"name"_s].toString() + u':' + p[u"filename"_s].toString() + u':' + p[u"contentType"_s].toString();
    QCOMPARE(parts, QStringList({"idSender::", "action::", "appVersion::", "appOS::", "exam::",
                                 "UPLOADS:upload.zip:application/octet-stream"}));
    QCOMPARE(recordedFields(r).mid(0, 4), QStringList({u"idSender=%1"_s.arg(account), u"action=uploadExamZip"_s,
                                                       u"appVersion=0.6.4"_s, u"appOS="_s + QSysInfo::productType()}));
    QVERIFY(fieldValue(r, u"exam"_s).contains(u"\n    \""_s));
    QCOMPARE(QJsonDocument::fromJson(fieldValue(r, u"exam"_s).toUtf8()).object(), exam.toJSONObject(true));

    // A file: a GET of the script with exactly five query items.
    QCOMPARE(c->getUserFileUrl(1532, u"jpg"_s, u"Coscia dx.jpg"_s).toString(QUrl::FullyEncoded),
             m_service.endpointUrl().toString() + u"?idSender=4101&action=getUserFile&idUser=1532&kind=jpg&filename=Coscia%20dx.jpg"_s);
    r = waitForRequest(m_service, u"getUserFile"_s);
    QCOMPARE(r[u"method"_s].toString() + u' ' + r[u"query"_s].toString(),
             u"GET idSender=4101&action=getUserFile&idUser=1532&kind=d2d&filename=A%2BB%20%C3%A9.jpg"_s);
}

void TestHttpService::clientsAcrossInstallations()
{
    const int account = 5101;
    QList<Client> sent;
    {
        CloudCase c(m_service, account);
        Client first = c.addClient(u"D'Amico + Figli & Co = 100%41"_s, u"Nicolò  Luca"_s);
        first.address = u"Via Roma 1/b ?#[]"_s;
        first.birthday = QDate();
        c.store()->saveClient(&first, false);
        const QString oldFolder = first.getDataPath(true);
        const ScanFile scan = writeScan(oldFolder, u"Vita"_s, QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), false);
        const QByteArray picture = readFile(scan.jpgFile);
        QStringList order;
        connect(c.http(), &HttpService::onUpdateClient, this, [&](int id) { order << u"update %1"_s.arg(id); });
        connect(c.http(), &HttpService::onUploadClientDone, this, [&](int id) { order << u"done %1"_s.arg(id); });
        LogCatcher log("calvestra.cloud");
        first = c.uploaded(first);
        QCOMPARE(order, QStringList({u"update %1"_s.arg(first.id), u"done %1"_s.arg(first.id)}));
        QCOMPARE(log.countStartingWith(u"{\"data\":"_s), 1);  // the reply, logged once and whole
        QVERIFY(first.web_id > 0 && !first.offline);
        // The folder moved with its files to the one named after the web id.
        QVERIFY(!QFileInfo::exists(oldFolder));
        const QString newFolder = first.getDataPath(false);
        QCOMPARE(newFolder, c.store()->m_dataPath + QString::number(first.web_id) + u'/');
        QCOMPARE(readFile(newFolder + QFileInfo(scan.jpgFile).fileName()), picture);
        QVERIFY(QFileInfo(newFolder + QFileInfo(scan.d2dFile).fileName()).size() > 0);
        // Sent again: the same record on the service.
        QCOMPARE(c.uploaded(first).web_id, first.web_id);
        sent << first;
        for (int i = 2; i <= 7; ++i)
            sent << c.uploaded(c.addClient(u"Cognome%1"_s.arg(i)));
        c->deleteClient(sent.takeLast().web_id);
        QVERIFY(QTest::qWaitFor([&] { return log.has(u"delete user ok (http)"_s); }, 20000));
        sent << c.uploaded(c.addClient(u"Cognome7"_s));
    }

    // A new installation of the same account gets them all, with every value, in steps of three.
    CloudCase c(m_service, account);
    QSignalSpy progress(c.http(), &HttpService::onGetClientsProgress);
    QSignalSpy list(c.http(), &HttpService::onGetClients);
    c->getClients();
    QVERIFY(list.wait(20000));
    QCOMPARE(static_cast<QList<QList<QVariant>>>(progress), (QList<QList<QVariant>>{{3, 7}, {6, 7}}));
    const auto clients = list.at(0).at(0).value<QList<Client>>();
    QCOMPARE(clients.size(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(clients.at(i).toJSONObject(true), sent.at(i).toJSONObject(true));
        QVERIFY(!clients.at(i).offline);
    }
    QCOMPARE(c.scalar(u"select count(*) from clients where offline = 0 and web_id > 0"_s).toInt(), 7);

    // Listed again: matched on the web id, never doubled; what was done here stays.
    const int synced = clients.at(1).id;
    const int edited = clients.at(2).id;
    const Client localOnly = c.addClient(u"Gialli"_s);
    QVERIFY(c.exec(u"update clients set activityLevel = 5 where id = %1"_s.arg(synced)));
    QVERIFY(c.exec(u"update clients set city = 'Asti', offline = 1 where id = %1"_s.arg(edited)));
    c->getClients();
    QVERIFY(list.wait(20000));
    QCOMPARE(list.last().at(0).value<QList<Client>>().at(2).city, u"Asti"_s);
    QCOMPARE(c.scalar(u"select count(*) from clients"_s).toInt(), 8);
    QCOMPARE(c.scalar(u"select activityLevel from clients where id = %1"_s.arg(synced)).toInt(), 5);
    QCOMPARE(c.scalar(u"select city || offline from clients where id = %1"_s.arg(edited)).toString(), u"Asti1"_s);
    QCOMPARE(c.scalar(u"select surname || web_id from clients where id = %1"_s.arg(localOnly.id)).toString(), u"Gialli0"_s);
}

void TestHttpService::recordsChangedDuringTheirUpload()
{
    CloudCase c(m_service, 5104);
    // Edited while the request is on its way: the web id is taken, the record stays pending.
    Client edited = c.addClient(u"Conti"_s);
    QVERIFY(m_service.injectFault(u"delay:600"_s, u"setUserData"_s));
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&edited);
    QVERIFY(c.exec(u"update clients set phone = '333', offline = 1 where id = %1"_s.arg(edited.id)));
    QVERIFY(done.wait(20000));
    edited.loadFromDB(edited.id);
    QVERIFY(edited.web_id > 0 && edited.offline && edited.phone == u"333"_s);
    // Deleted meanwhile: not made again.
    Client deleted = c.addClient(u"Galli"_s);
    QVERIFY(m_service.injectFault(u"delay:600"_s, u"setUserData"_s));
    QSignalSpy fail(c.http(), &HttpService::onUploadClientFail);
    c->saveClient(&deleted);
    c.store()->deleteClient(deleted.id);
    QVERIFY(fail.wait(20000));
    QCOMPARE(done.size(), 1);
    QCOMPARE(c.scalar(u"select count(*) from clients"_s).toInt(), 1);
}

void TestHttpService::anamnesisAcrossInstallations()
{
    const int account = 5107;
    Client client;
    Anamnesi a;
    {
        CloudCase c(m_service, account);
        client = c.uploaded(c.addClient(u"Marino"_s));
        // One of a client the service does not have is refused.
        Anamnesi orphan = c.addAnamnesi(c.addClient(u"Locale"_s), u"Orfana"_s, QDate(2024, 4, 1));
        QSignalSpy fail(c.http(), &HttpService::onUploadAnamnesiFail);
        c->saveAnamnesi(&orphan);
        QVERIFY(fail.wait(20000));

        a.loadFromFile(QStringLiteral(CALVESTRA_SOURCE_DIR "/service/models/Composizione_corporea.anm"));
        QVERIFY(!a.questions.isEmpty());
        a.idClient = client.id;
        a.date = QDateTime(QDate(2024, 4, 2), QTime(15, 20, 0));
        a.note = u"Prima visita + controllo"_s;
        a.questions[0].answer = u"42"_s;
        a.SaveToDB(false, false);
        Anamnesi older = c.addAnamnesi(client, u"Anamnesi generale"_s, QDate(2023, 1, 1));
        QList<int> webIds;
        connect(c.http(), &HttpService::onUploadAnamnesiDone, this, [&](Anamnesi *r) { webIds << r->web_id; });
        c->saveAnamnesi(&older);
        c->saveAnamnesi(&a);
        QVERIFY(QTest::qWaitFor([&] { return webIds.size() == 2; }, 20000));
        a.loadFromDB(a.id, false);
        QVERIFY(a.web_id > 0 && webIds.contains(a.web_id) && !a.offline);
        // Sent again after an edit: the same record on the service.
        a.questions[0].answer = u"43"_s;
        c->saveAnamnesi(&a);
        QVERIFY(QTest::qWaitFor([&] { return webIds.size() == 3; }, 20000));
        QCOMPARE(webIds.last(), a.web_id);
    }

    // A new installation that has the client gets them, newest first; twice is not doubled.
    CloudCase other(m_service, account);
    QSignalSpy got(other.http(), &HttpService::onGetAnamnesis);
    other->getUserAnamnesis(client.web_id);  // the client is not here yet: nothing is kept
    QVERIFY(got.wait(20000));
    QVERIFY(got.at(0).at(0).value<QList<Anamnesi>>().isEmpty());
    QCOMPARE(other.scalar(u"select count(*) from anamnesis"_s).toInt(), 0);
    QSignalSpy list(other.http(), &HttpService::onGetClients);
    other->getClients();
    QVERIFY(list.wait(20000));
    for (int round = 0; round < 2; ++round) {
        other->getUserAnamnesis(client.web_id);
        QVERIFY(got.wait(20000));
    }
    const auto records = got.last().at(0).value<QList<Anamnesi>>();
    QCOMPARE(records.size(), 2);
    const Anamnesi &r = records.at(0);
    QCOMPARE(r.web_id, a.web_id);
    QCOMPARE(r.idClient, Client::id_from_web_id(client.web_id));
    QCOMPARE(QStringList({r.name, r.date.toString(Qt::ISODate), r.note, r.questions.at(0).answer}),
             QStringList({a.name, a.date.toString(Qt::ISODate), a.note, u"43"_s}));
    QCOMPARE(r.questions.size(), a.questions.size());
    QVERIFY(!r.offline);
    QCOMPARE(records.at(1).name, u"Anamnesi generale"_s);
    QCOMPARE(other.scalar(u"select count(*) from anamnesis where offline = 0"_s).toInt(), 2);

    // Deleted here: marked until the service confirms, and a download does not bring it back.
    const int localId = other.scalar(u"select id from anamnesis where web_id = %1"_s.arg(a.web_id)).toInt();
    QVERIFY(other.store()->deleteAnamnesi(localId, false));
    other->getUserAnamnesis(client.web_id);
    QVERIFY(got.wait(20000));
    QCOMPARE(got.last().at(0).value<QList<Anamnesi>>().size(), 1);
    QCOMPARE(other.scalar(u"select deleted from anamnesis where id = %1"_s.arg(localId)).toInt(), 1);
    QSignalSpy deleted(other.http(), &HttpService::onUploadDeletedAnamnesiDone);
    LogCatcher log("calvestra.cloud");
    other->deleteAnamnesi(a.web_id);
    QVERIFY(deleted.wait(20000));
    QCOMPARE(deleted.at(0).at(0).toInt(), a.web_id);
    QVERIFY(log.has(u"deleteAnamnesi ok (http)"_s));
    QCOMPARE(other.scalar(u"select count(*) from anamnesis"_s).toInt(), 1);
    // Gone from the service too, and with the client all of its records.
    other->getUserAnamnesis(client.web_id);
    QVERIFY(got.wait(20000));
    QCOMPARE(got.last().at(0).value<QList<Anamnesi>>().size(), 1);
    other->deleteClient(client.web_id);
    QVERIFY(QTest::qWaitFor([&] { return log.has(u"delete user ok (http)"_s); }, 20000));
    log.clear();
    other->getUserAnamnesis(client.web_id);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"error"_s) == 1; }, 20000));
}

void TestHttpService::modelFilesAndDownloads()
{
    CloudCase c(m_service, 5109);
    const QString folder = c.store()->m_assetsPath + u"models/"_s;
    QVERIFY(QDir().mkpath(folder));
    QFile old(folder + u"Anamnesi_generale.anm"_s);  // an older copy is replaced
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old model") > 0);
    old.close();
    LogCatcher log("calvestra.cloud");
    c->getAnamnesiModels();
    const QStringList expected{u"Anamnesi_generale.anm"_s, u"Composizione_corporea.anm"_s, u"Valutazione_sportiva.anm"_s};
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"File downloaded successfully "_s) == 3; }, 20000));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    int withDiagram = 0;
    for (const QString &name : expected) {
        QCOMPARE(readFile(folder + name), readFile(QStringLiteral(CALVESTRA_SOURCE_DIR "/service/models/") + name));
        Anamnesi model;
        model.loadFromFile(folder + name);
        QVERIFY(!model.name.isEmpty() && !model.questions.isEmpty());
        withDiagram += model.hasDiagram ? 1 : 0;
    }
    QCOMPARE(withDiagram, 1);

    // Downloads stay in their folder: pages without a file name, other schemes and failures
    // write nothing, and a link planted under a model's name is replaced, not followed.
    QTemporaryDir dir;
    const QString into = dir.filePath(u"models/"_s);
    QDir().mkpath(into);
    log.clear();
    const QString base = m_service.baseUrl().toString();
    for (const QString &url : {base + u"/"_s, base + u"/Apps/Movelta/"_s, u"file:///etc/hostname"_s,
                               base + u"/Apps/Movelta/models/none.anm"_s})
        c->downloadFile(url, into);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"skipped download"_s) == 2
                                         && log.countStartingWith(u"Error: "_s) == 2; }, 20000));
    QVERIFY(QDir(into).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QFile outside(dir.filePath(u"outside.txt"_s));
    QVERIFY(outside.open(QIODevice::WriteOnly) && outside.write("untouched") > 0);
    outside.close();
    QVERIFY(QFile::link(outside.fileName(), into + u"Valutazione_sportiva.anm"_s));
    c->downloadFile(base + u"/Apps/Movelta/models/Valutazione_sportiva.anm"_s, into);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"File downloaded successfully "_s) == 1; }, 20000));
    QCOMPARE(readFile(outside.fileName()), QByteArray("untouched"));
    QVERIFY(!QFileInfo(into + u"Valutazione_sportiva.anm"_s).isSymLink());
    QCOMPARE(readFile(into + u"Valutazione_sportiva.anm"_s), readFile(folder + u"Valutazione_sportiva.anm"_s));
}

void TestHttpService::examsWorksAndFiles()
{
    CloudCase c(m_service, 6101);
    const Client client = c.uploaded(c.addClient(u"Ferri"_s));
    const QString folder = client.getDataPath(true);
    // Picture bytes that look like multipart boundaries travel as they are (pictures are stored, not deflated).
    QByteArray tricky;
    for (int i = 0; tricky.size() < 300 * 1024; ++i)
        tricky += "\r\n--boundary_.oOo._" + QByteArray::number(i * 7919, 36) + "\r\n--\r\n\r\nContent-Disposition: "
                  "form-data; name=\"UPLOADS\"\r\n" + char(i % 256);
    const QList<ScanFile> day1{writeScan(folder, u"Coscia dx"_s, QDateTime(QDate(2024, 5, 1), QTime(8, 15)), true, 300),
                               writeScan(folder, u"Addome"_s, QDateTime(QDate(2024, 5, 1), QTime(8, 20, 30)), false, 300)};
    const QList<ScanFile> day2{writeScan(folder, u"Vita"_s, QDateTime(QDate(2024, 3, 3), QTime(10, 0)), false, 40, tricky)};
    Exam first;
    first.idUser = client.web_id;
    first.examDate = QDate(2024, 5, 1);
    first.weight = 64.5;
    first.activityLevel = 3;
    first.notes = u"dopo allenamento"_s;
    Exam second = first;
    second.examDate = QDate(2024, 3, 3);
    second.subKind = 5;
    QList<std::pair<qint64, qint64>> progress;
    connect(c.http(), &HttpService::onUploadProgress, this, [&](qint64 sent, qint64 total) { progress.append({sent, total}); });
    LogCatcher log("calvestra.cloud");
    QList<Exam> done;
    // The second starts while the first is still built and sent: each keeps its own archive.
    QCOMPARE(upload(c, {{first, day1}, {second, day2}}, &done), QStringList({"done", "done"}));
    QCOMPARE(log.countStartingWith(u"upload exam ok (http)"_s), 2);
    // The exam of the signal carries the reply's client and date, nothing else.
    QCOMPARE(done.at(0).idUser, client.web_id);
    QVERIFY(done.at(0).examDate != done.at(1).examDate && done.at(0).weight == 0 && done.at(0).notes.isEmpty());
    for (const QJsonObject &r : requestsOfKind(m_service, u"uploadExamZip"_s)) {
        const bool isFirst = fieldValue(r, u"exam"_s).contains(u"2024-05-01"_s);
        QCOMPARE(r[u"archiveEntries"_s].toArray().toVariantList(),
                 isFirst ? QVariantList({"Coscia dx-20240501--08-15-00.jpg", "Coscia dx-20240501--08-15-00.d2d",
                                         "Coscia dx-20240501--08-15-00.json", "Addome-20240501--08-20-30.jpg",
                                         "Addome-20240501--08-20-30.d2d"})
                         : QVariantList({"Vita-20240303--10-00-00.jpg", "Vita-20240303--10-00-00.d2d"}));
    }
    // Progress up to the whole body; each archive, named in the log, is gone afterwards.
    qint64 sentMost = 0, total = 0;
    for (const auto &[sent, of] : progress) {
        QVERIFY(sent <= of);
        sentMost = qMax(sentMost, sent);
        total = qMax(total, of);
    }
    QVERIFY(total > tricky.size() && sentMost == total);
    const QStringList archives = log.lines().filter(u"zipFile "_s);
    QCOMPARE(archives.size(), 2);
    for (const QString &line : archives) {
        QVERIFY(line.mid(8).startsWith(QDir::tempPath() + u'/'));
        QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(line.mid(8)); }, 5000));
    }

    // The works, oldest first, with what the service keeps of them.
    QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
    c->getUserWorks(client.web_id);
    QVERIFY(works.wait(20000));
    auto list = works.last().at(0).value<QList<Exam>>();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).examDate, QDate(2024, 3, 3));
    QCOMPARE(list.at(0).subKind, 5);
    const Exam work = list.at(1);
    QVERIFY(work.id > 0);
    QCOMPARE(QStringList({work.examDate.toString(Qt::ISODate), QString::number(work.subKind), QString::number(work.weight),
                          QString::number(work.activityLevel), work.notes, QString::number(work.idUser + work.height)}),
             QStringList({"2024-05-01", "2", "64.5", "3", "dopo allenamento", "0"}));
    QCOMPARE(work.scanNames, QStringList({"Addome-20240501--08-20-30.jpg", "Coscia dx-20240501--08-15-00.jpg"}));

    // Each file byte for byte, raw data and analysis asked for by the picture's name.
    for (const ScanFile &scan : day1 + day2) {
        const QString name = QFileInfo(scan.jpgFile).fileName();
        for (const auto &[kind, path] : {std::pair{u"jpg"_s, scan.jpgFile}, {u"d2d"_s, scan.d2dFile}, {u"json"_s, scan.jsonFile}}) {
            QByteArray body;
            const QNetworkReply::NetworkError error = fetch(c.http(), client.web_id, kind, name, &body);
            QCOMPARE(error == QNetworkReply::NoError, !path.isEmpty());
            QVERIFY2(path.isEmpty() || body == readFile(path), qPrintable(name + u' ' + kind));
        }
    }
    QCOMPARE(requestsOfKind(m_service, u"getUserFile"_s).first()[u"query"_s].toString(),
             u"idSender=6101&action=getUserFile&idUser=%1&kind=jpg&filename=Coscia%20dx-20240501--08-15-00.jpg"_s.arg(client.web_id));
    QVERIFY(fetch(c.http(), client.web_id, u"jpg"_s, u"Vita-20240101--10-00-00.jpg"_s) != QNetworkReply::NoError);

    // The same day again replaces that exam; one whose files are gone, or without a list, still goes.
    ScanFile gone;
    gone.jpgFile = folder + u"Vita-20240105--09-30-15.jpg"_s;
    gone.d2dFile = folder + u"Vita-20240105--09-30-15.d2d"_s;
    Exam none = first;
    none.examDate = QDate(2024, 1, 5);
    QCOMPARE(upload(c, {{first, {day1.at(1)}}, {none, {gone}}}), QStringList({"done", "done"}));
    QCOMPARE(requestsOfKind(m_service, u"uploadExamZip"_s).last()[u"archiveEntries"_s].toArray().size()
                 + requestsOfKind(m_service, u"uploadExamZip"_s).at(2)[u"archiveEntries"_s].toArray().size(), 2);
    QSignalSpy nothing(c.http(), &HttpService::onUploadExamDone);
    c->uploadExam(&none, nullptr);
    QVERIFY(nothing.wait(20000));
    c->getUserWorks(client.web_id);
    QVERIFY(works.wait(20000));
    list = works.last().at(0).value<QList<Exam>>();
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(2).scanNames, QStringList{"Addome-20240501--08-20-30.jpg"});
    QVERIFY(fetch(c.http(), client.web_id, u"d2d"_s, u"Coscia dx-20240501--08-15-00.jpg"_s) != QNetworkReply::NoError);
    QVERIFY(QDir(m_service.dataDir() + u"/tmp"_s).isEmpty());
}

void TestHttpService::fullStorage()
{
    ReferenceService small;
    small.setExtraArguments({u"--quota-mb"_s, u"0.5"_s});
    QVERIFY2(small.start(), qPrintable(small.errorString()));
    CloudCase c(small, 6105);
    Client client = c.uploaded(c.addClient(u"Pieno"_s));
    const auto exam = [&](const QDate &day, int lines) {
        Exam e;
        e.idUser = client.web_id;
        e.examDate = day;
        return std::pair{e, QList<ScanFile>{writeScan(client.getDataPath(true), u"Vita"_s, QDateTime(day, QTime(9, 0)), false, lines)}};
    };
    LogCatcher log("calvestra.cloud");
    // Larger than the space: that signal only, and no error.
    QCOMPARE(upload(c, {exam(QDate(2024, 4, 1), 600)}), QStringList{"full"});
    QVERIFY(log.has(u"uploadExam -> WebSpaceOver"_s));
    QCOMPARE(log.countStartingWith(u"error"_s), 0);
    QCOMPARE(waitForRequest(small, u"uploadExamZip"_s)[u"code"_s].toInt(), 405);
    // Two that fit alone, sent at once: exactly one is kept.
    QList<Exam> done;
    QStringList outcomes = upload(c, {exam(QDate(2024, 4, 2), 300), exam(QDate(2024, 4, 3), 300)}, &done);
    outcomes.sort();
    QCOMPARE(outcomes, QStringList({"done", "full"}));
    // Its day again replaces it, so it still fits; the client's deletion frees the space.
    QCOMPARE(upload(c, {exam(done.at(0).examDate, 300)}), QStringList{"done"});
    c->deleteClient(client.web_id);
    QVERIFY(QTest::qWaitFor([&] { return log.has(u"delete user ok (http)"_s); }, 20000));
    client = c.uploaded(c.addClient(u"Libero"_s));
    QCOMPARE(upload(c, {exam(QDate(2024, 4, 2), 300), exam(QDate(2024, 4, 3), 10)}), QStringList({"done", "done"}));
}

void TestHttpService::accountsAreKeptApart()
{
    Client clientA;
    ScanFile scan;
    QByteArray pictureA;
    int anamnesiA = 0;
    {
        CloudCase a(m_service, 8101);
        clientA = a.uploaded(a.addClient(u"Riservato"_s));
        Anamnesi anamnesi = a.addAnamnesi(clientA, u"Anamnesi generale"_s, QDate(2024, 8, 1));
        QSignalSpy anamnesiDone(a.http(), &HttpService::onUploadAnamnesiDone);
        a->saveAnamnesi(&anamnesi);
        QVERIFY(anamnesiDone.wait(20000));
        anamnesiA = a.scalar(u"select web_id from anamnesis"_s).toInt();
        scan = writeScan(clientA.getDataPath(true), u"Vita"_s, QDateTime(QDate(2024, 8, 1), QTime(9, 5)), false);
        Exam exam;
        exam.idUser = clientA.web_id;
        exam.examDate = QDate(2024, 8, 1);
        QCOMPARE(upload(a, {{exam, {scan}}}), QStringList{"done"});
        pictureA = readFile(scan.jpgFile);
    }
    const QString picture = QFileInfo(scan.jpgFile).fileName();

    // B lists nothing of A's, and reads none of A's works, questionnaires or files.
    CloudCase b(m_service, 8102);
    QSignalSpy list(b.http(), &HttpService::onGetClients);
    b->getClients();
    QVERIFY(list.wait(20000));
    QVERIFY(list.at(0).at(0).value<QList<Client>>().isEmpty());
    LogCatcher log("calvestra.cloud");
    QSignalSpy works(b.http(), &HttpService::onGetUserWorks);
    QSignalSpy anamnesis(b.http(), &HttpService::onGetAnamnesis);
    b->getUserWorks(clientA.web_id);
    b->getUserAnamnesis(clientA.web_id);
    QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"error"_s) == 2; }, 20000));
    QVERIFY(works.isEmpty() && anamnesis.isEmpty());
    // B has a picture of the same name, so a mix-up cannot hide behind a missing file.
    Client clientB = b.uploaded(b.addClient(u"Curioso"_s));
    const QByteArray pictureB = "\xFF\xD8 picture of B";
    Exam examB;
    examB.idUser = clientB.web_id;
    examB.examDate = QDate(2024, 8, 1);
    const ScanFile scanB = writeScan(clientB.getDataPath(true), u"Vita"_s, QDateTime(QDate(2024, 8, 1), QTime(9, 5)), false, 40, pictureB);
    QCOMPARE(upload(b, {{examB, {scanB}}}), QStringList{"done"});
    QByteArray body;
    for (const QString &kind : {u"jpg"_s, u"d2d"_s}) {
        QVERIFY(fetch(b.http(), clientA.web_id, kind, picture, &body) != QNetworkReply::NoError);
        QVERIFY(!body.contains("picture"));
    }
    QCOMPARE(fetch(b.http(), clientB.web_id, u"jpg"_s, picture, &body), QNetworkReply::NoError);
    QCOMPARE(body, pictureB);

    // Nor change or delete them: records of B carrying A's ids become B's own or are refused.
    Client impostor = b.addClient(u"Intruso"_s);
    impostor.web_id = clientA.web_id;
    b.store()->saveClient(&impostor, false);
    impostor = b.uploaded(impostor);
    QVERIFY(impostor.web_id > 0 && impostor.web_id != clientA.web_id);
    Anamnesi overwrite = b.addAnamnesi(clientB, u"Falsa"_s, QDate(2024, 8, 2));
    overwrite.web_id = anamnesiA;
    QSignalSpy anamnesiDone(b.http(), &HttpService::onUploadAnamnesiDone);
    b->saveAnamnesi(&overwrite);
    QVERIFY(anamnesiDone.wait(20000));
    QVERIFY(b.scalar(u"select web_id from anamnesis where id = %1"_s.arg(overwrite.id)).toInt() != anamnesiA);
    examB.idUser = clientA.web_id;
    QCOMPARE(upload(b, {{examB, {scanB}}}), QStringList{"fail"});
    b->deleteClient(clientA.web_id);
    b->deleteAnamnesi(anamnesiA);
    QCOMPARE(waitForRequest(m_service, u"deleteUser"_s)[u"code"_s].toInt(), 200);
    QCOMPARE(waitForRequest(m_service, u"deleteAnamnesi"_s)[u"code"_s].toInt(), 200);

    // A's data is intact.
    CloudCase a(m_service, 8101);
    QSignalSpy listA(a.http(), &HttpService::onGetClients);
    a->getClients();
    QVERIFY(listA.wait(20000));
    QCOMPARE(listA.at(0).at(0).value<QList<Client>>().size(), 1);
    QCOMPARE(listA.at(0).at(0).value<QList<Client>>().at(0).surname, u"Riservato"_s);
    QSignalSpy anamnesisA(a.http(), &HttpService::onGetAnamnesis);
    a->getUserAnamnesis(clientA.web_id);
    QVERIFY(anamnesisA.wait(20000));
    const auto records = anamnesisA.at(0).at(0).value<QList<Anamnesi>>();
    QVERIFY(records.size() == 1 && records.at(0).name == u"Anamnesi generale"_s);
    QCOMPARE(fetch(a.http(), clientA.web_id, u"jpg"_s, picture, &body), QNetworkReply::NoError);
    QCOMPARE(body, pictureA);
}

void TestHttpService::endpoints()
{
    // The development script: a twin of the production one with data of its own.
    CloudCase dev(m_service, 4105, true);
    QCOMPARE(dev->m_url.path(), u"/Apps/Movelta/vq_webservice_dev.php"_s);
    dev.uploaded(dev.addClient(u"Prova"_s));
    QCOMPARE(waitForRequest(m_service, u"setUserData"_s)[u"path"_s].toString(), dev->m_url.path());
    dev->setWebServiceURL(false);
    QSignalSpy list(dev.http(), &HttpService::onGetClients);
    dev->getClients();
    QVERIFY(list.wait(20000));
    QVERIFY(list.at(0).at(0).value<QList<Client>>().isEmpty());
    QCOMPARE(waitForRequest(m_service, u"getUsers"_s)[u"path"_s].toString(), u"/Apps/Movelta/vq_webservice.php"_s);
    // Every ".php" is replaced, letter case counts; an address without one is used as it is.
    AppSettings::setEndpoint(u"http://example.invalid/a.php/b.PHP/c.php"_s);
    dev->setWebServiceURL(true);
    QCOMPARE(dev->m_url.path(), u"/a_dev.php/b.PHP/c_dev.php"_s);

    ReferenceService service;
    service.setExtraArguments({u"--extra-endpoint"_s, u"/calvestra/script"_s});
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    CloudCase c(service, 4106);
    c.uploaded(c.addClient(u"Produzione"_s));
    QUrl endpoint = service.baseUrl();
    endpoint.setPath(u"/calvestra/script"_s);
    AppSettings::setEndpoint(endpoint.toString());
    for (const bool development : {false, true}) {
        c->setWebServiceURL(development);
        QCOMPARE(c->m_url, endpoint);
        QSignalSpy clients(c.http(), &HttpService::onGetClients);
        c->getClients();
        QVERIFY(clients.wait(20000));
        QCOMPARE(clients.at(0).at(0).value<QList<Client>>().size(), 1);  // the production data
    }
    QCOMPARE(waitForRequest(service, u"getUsers"_s, 2)[u"path"_s].toString(), u"/calvestra/script"_s);

    // Before any endpoint is chosen a call fails, and says so.
    HttpService *http = c.renewHttp();
    http->m_url.clear();
    Client client = c.addClient(u"Senza"_s);
    QSignalSpy fail(http, &HttpService::onUploadClientFail);
    LogCatcher log("calvestra.cloud");
    http->saveClient(&client);
    QVERIFY(fail.wait(20000));
    QCOMPARE(log.countStartingWith(u"error reply: "_s), 1);
}

void TestHttpService::connectionProbe()
{
    CloudCase c(m_service, 4107);
    c->setTimeouts(3000, 3000, 800);
    const QUrl host(m_service.baseUrl().toString() + u'/');
    QCOMPARE(c->connectionProbeUrl(), host);
    QSignalSpy status(c.http(), &HttpService::onConnectionStatus);
    const auto probe = [&](bool expected) {
        status.clear();
        c->checkConnection();
        return QTest::qWaitFor([&] { return !status.isEmpty() && status.last().at(0).toBool() == expected; }, 20000)
               && c->m_connected == expected;
    };
    QVERIFY(probe(true));
    const QJsonObject r = waitForRequest(m_service, u"probe"_s);
    QCOMPARE(r[u"method"_s].toString() + r[u"path"_s].toString() + r[u"query"_s].toString(), u"GET/"_s);
    // An error status, or a host that answers nothing, is not connected. Every probe gets the
    // fault (count 0): a periodic one in flight cannot take it away from the one asked for.
    for (const QString &fault : {u"status500"_s, u"hang"_s}) {
        QVERIFY(m_service.injectFault(fault, u"probe"_s, 0));
        QVERIFY2(probe(false), qPrintable(fault));
        QVERIFY(m_service.resetHooks());
    }
    // Stopped, and then back: the periodic probe tells without being asked.
    m_service.stop();
    QVERIFY(probe(false));
    status.clear();
    QVERIFY(status.wait(HttpService::connectionCheckIntervalMs + 10000));
    QCOMPARE(status.last().at(0).toBool(), false);
    QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(QTest::qWaitFor([&] { return c->m_connected; }, HttpService::connectionCheckIntervalMs + 10000));

    // Before the endpoint is chosen, the setting tells where the service is; a new client probes at once.
    HttpService *fresh = c.renewHttp();
    fresh->m_url.clear();
    QCOMPARE(fresh->connectionProbeUrl(), host);
    QSignalSpy first(HttpService::resetInstanceForTests(true), &HttpService::onConnectionStatus);
    QVERIFY(first.wait(20000));
    QCOMPARE(first.at(0).at(0).toBool(), true);
}

CALVESTRA_TEST_MAIN(TestHttpService)
#include "tst_httpservice.moc"
