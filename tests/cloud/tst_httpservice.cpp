// The web-service client against the reference service over loopback HTTP: what each call sends, what
// the replies do here, exams and files, endpoints, the probe, and every fault on the way.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "app/AppSettings.h"

#include <QElapsedTimer>
#include <QSysInfo>

#include <functional>

namespace {

QList<QJsonObject> requestsOfKind(const ReferenceService &service, const QString &kind)
{
    QList<QJsonObject> list;
    for (const QJsonValue &value : service.receivedRequests())
        if (value[u"kind"_s].toString() == kind)
            list << value.toObject();
    return list;
}

// The last of `count` requests of that kind, once the service has them.
QJsonObject waitForRequest(const ReferenceService &service, const QString &kind, int count = 1)
{
    QList<QJsonObject> list;
    (void)QTest::qWaitFor([&] { return (list = requestsOfKind(service, kind)).size() >= count; }, 20000);
    return list.size() >= count ? list.last() : QJsonObject();
}

QStringList fields(const QJsonObject &request, bool namesOnly = false)
{
    QStringList list;
    for (const QJsonValue &field : request[u"fields"_s].toArray())
        list << field[0].toString() + (namesOnly ? QString() : u'=' + field[1].toString());
    return list;
}

QString fieldValue(const QJsonObject &request, const QString &name)
{
    return fields(request).filter(QRegularExpression(u'^' + name + u'=')).value(0).mid(name.size() + 1);
}

QNetworkReply::NetworkError fetch(HttpService *http, int idUser, const QString &kind, const QString &name,
                                  QByteArray *body = nullptr)
{
    const std::unique_ptr<QNetworkReply> reply(http->getUserFile(idUser, kind, name));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        qWarning("getUserFile did not finish");
    if (body)
        *body = reply->readAll();
    return reply->error();
}

Exam examOf(const Client &client, const QDate &day)
{
    Exam e;
    std::tie(e.idUser, e.examDate) = std::tuple(client.web_id, day);
    return e;
}

}  // namespace

class TestHttpService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_service.start(), qPrintable(m_service.errorString())); }
    void init() { QVERIFY2((m_service.isRunning() || m_service.restart()) && m_service.resetHooks(), qPrintable(m_service.errorString())); }

    void formsAsTheServiceReceivesThem()
    {
        // Plus, space, "&", "=", "%41" and non-ASCII text arrive as written.
        CloudCase c(m_service, 4101);
        Client local = c.addClient(u"D'Amico + Figli & Co = 100%41"_s);
        local.name = u"Nicolò  Luca/é"_s;
        c.store()->saveClient(&local, false);
        const Client client = c.uploaded(local);
        QVERIFY(client.web_id > 0);
        Anamnesi anamnesi = c.addAnamnesi(client, u"Anamnesi generale"_s, QDate(2024, 5, 6));
        c->saveAnamnesi(&anamnesi);
        c->deleteAnamnesi(77);
        c->deleteClient(0);
        c->getUserAnamnesis(client.web_id);
        c->getAnamnesiModels();
        c->getUserWorks(client.web_id);
        c->getClients();
        const Exam exam = examOf(client, QDate(2024, 6, 1));
        QCOMPARE(upload(c, {{exam, {writeScan(client.getDataPath(true), u"Vita"_s, QDateTime(exam.examDate, QTime(9, 0)), true)}}}),
                 QStringList{"done"});
        fetch(c.http(), 1532, u"d2d"_s, u"A+B é.jpg"_s);

        // Every form: the four common fields, then the call's own, in this order.
        const QString common = u"idSender=4101,action=getUsers,appVersion=0.6.4,appOS="_s + QSysInfo::productType();
        for (const auto &[kind, own] : {std::pair{"setUserData", "action,data"}, {"uploadAnamnesi", "action,idUser,idAnamnesi,data"},
                                        {"deleteAnamnesi", "action,idAnamnesi"}, {"deleteUser", "action,idUser"},
                                        {"getUserAnamnesis", "action,idUser"}, {"getAnamnesiModels", "action"},
                                        {"getUserWorks", "idUser,action"}, {"getUsers", "action"}}) {
            const QJsonObject r = waitForRequest(m_service, QString::fromLatin1(kind));
            QCOMPARE(QStringList(fields(r).mid(0, 4)).join(u','), common);
            QCOMPARE(QStringList(fields(r, true).mid(4)).join(u','), QLatin1String(own));
            QVERIFY(r[u"contentType"_s].toString().startsWith(u"application/x-www-form-urlencoded"_s));
            QCOMPARE(r[u"method"_s].toString() + r[u"path"_s].toString(), u"POST/Apps/Movelta/vq_webservice.php"_s);
        }
        QJsonObject r = waitForRequest(m_service, u"setUserData"_s);
        QVERIFY2(fieldValue(r, u"data"_s).contains(u"\n    \""_s), "indented JSON");
        QCOMPARE(QJsonDocument::fromJson(fieldValue(r, u"data"_s).toUtf8()).object(), local.toJSONObject(true));
        r = waitForRequest(m_service, u"uploadAnamnesi"_s);
        QCOMPARE(fields(r).mid(5, 2), QStringList({u"idUser=%1"_s.arg(client.web_id), u"idAnamnesi=0"_s}));
        QCOMPARE(fieldValue(waitForRequest(m_service, u"deleteAnamnesi"_s), u"idAnamnesi"_s), u"77"_s);

        // The exam: six parts in order, one action, the archive as a file part.
        r = waitForRequest(m_service, u"uploadExamZip"_s);
        QVERIFY(r[u"contentType"_s].toString().startsWith(u"multipart/form-data; boundary="_s));
        QStringList parts;
        for (const QJsonValue &p : r[u"parts"_s].toArray())
            parts << p[u"name"_s].toString() + u':' + p[u"filename"_s].toString() + u':' + p[u"contentType"_s].toString();
        QCOMPARE(parts, QStringList({"idSender::", "action::", "appVersion::", "appOS::", "exam::",
                                     "UPLOADS:upload.zip:application/octet-stream"}));
        QCOMPARE(QStringList(fields(r).mid(0, 4)).join(u','), QString(common).replace(u"getUsers"_s, u"uploadExamZip"_s));
        QVERIFY(fieldValue(r, u"exam"_s).contains(u"\n    \""_s));

        // A file: a GET of the script with exactly five query items.
        r = waitForRequest(m_service, u"getUserFile"_s);
        QCOMPARE(r[u"method"_s].toString() + u' ' + r[u"query"_s].toString(),
                 u"GET idSender=4101&action=getUserFile&idUser=1532&kind=d2d&filename=A%2BB%20%C3%A9.jpg"_s);
    }

    void clientsAcrossInstallations()
    {
        QList<Client> sent;
        {
            CloudCase c(m_service, 5101);
            Client first = c.addClient(u"D'Amico + Figli & Co = 100%41"_s);
            std::tie(first.name, first.address, first.birthday) = std::tuple(u"Nicolò  Luca"_s, u"Via Roma 1/b ?#[]"_s, QDate());
            c.store()->saveClient(&first, false);
            QStringList order;
            connect(c.http(), &HttpService::onUpdateClient, this, [&](int id) { order << u"update %1"_s.arg(id); });
            connect(c.http(), &HttpService::onUploadClientDone, this, [&](int id) { order << u"done %1"_s.arg(id); });
            LogCatcher log("calvestra.cloud");
            first = c.uploaded(first);
            QCOMPARE(order, QStringList({u"update %1"_s.arg(first.id), u"done %1"_s.arg(first.id)}));
            QCOMPARE(log.countStartingWith(u"{\"data\":"_s), 1);  // the reply, logged once and whole
            QVERIFY(first.web_id > 0 && !first.offline);
            QCOMPARE(c.uploaded(first).web_id, first.web_id);  // sent again: the same record
            sent << first;
            for (int i = 2; i <= 8; ++i)
                sent << c.uploaded(c.addClient(u"Cognome%1"_s.arg(i)));
            c->deleteClient(sent.takeAt(3).web_id);
            QVERIFY(QTest::qWaitFor([&] { return log.has(u"delete user ok (http)"_s); }, 20000));
        }

        // A new installation of the account gets them all with every value, in steps of three.
        CloudCase c(m_service, 5101);
        QSignalSpy progress(c.http(), &HttpService::onGetClientsProgress);
        QSignalSpy list(c.http(), &HttpService::onGetClients);
        c->getClients();
        QVERIFY(list.wait(20000));
        QCOMPARE(QList<QList<QVariant>>(progress), (QList<QList<QVariant>>{{3, 7}, {6, 7}}));
        const auto clients = list.at(0).at(0).value<QList<Client>>();
        QCOMPARE(clients.size(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(clients.at(i).toJSONObject(true), sent.at(i).toJSONObject(true));
        QCOMPARE(c.scalar(u"select count(*) from clients where offline = 0 and web_id > 0"_s).toInt(), 7);

        // Listed again: matched on the web id, never doubled; what was done here stays.
        const Client localOnly = c.addClient(u"Gialli"_s);
        QVERIFY(c.exec(u"update clients set activityLevel = 5 where id = %1"_s.arg(clients.at(1).id)));
        QVERIFY(c.exec(u"update clients set city = 'Asti', offline = 1 where id = %1"_s.arg(clients.at(2).id)));
        c->getClients();
        QVERIFY(list.wait(20000));
        QCOMPARE(list.last().at(0).value<QList<Client>>().at(2).city, u"Asti"_s);
        QCOMPARE(c.scalar(u"select count(*) || group_concat(activityLevel || city || offline, ' ') from clients where id in (%1, %2)"_s
                              .arg(clients.at(1).id).arg(clients.at(2).id)).toString(), u"250 0Asti1"_s);
        QCOMPARE(c.scalar(u"select surname || web_id from clients where id = %1"_s.arg(localOnly.id)).toString(), u"Gialli0"_s);
        // Edited while the request is on its way: the web id is taken, the record stays pending.
        Client edited = c.addClient(u"Conti"_s);
        QVERIFY(m_service.injectFault(u"delay:600"_s, u"setUserData"_s, 2));
        QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
        c->saveClient(&edited);
        QVERIFY(c.exec(u"update clients set phone = '333', offline = 1 where id = %1"_s.arg(edited.id)));
        QVERIFY(done.wait(20000));
        edited.loadFromDB(edited.id);
        QVERIFY(edited.web_id > 0 && edited.offline && edited.phone == u"333"_s);
        // Deleted meanwhile: not made again.
        Client deleted = c.addClient(u"Galli"_s);
        QSignalSpy fail(c.http(), &HttpService::onUploadClientFail);
        c->saveClient(&deleted);
        c.store()->deleteClient(deleted.id);
        QVERIFY(fail.wait(20000));
        QCOMPARE(done.size(), 1);
        QCOMPARE(c.scalar(u"select count(*) from clients"_s).toInt(), 9);
    }

    // Download and deletion through the anamnesis tab are tested with it; here what it does not reach,
    // and where downloaded files go.
    void anamnesisAndDownloadsAcrossInstallations()
    {
        Client client;
        int webId = 0;
        {
            CloudCase c(m_service, 5107);
            client = c.uploaded(c.addClient(u"Marino"_s));
            Anamnesi a = c.addAnamnesi(client, u"Anamnesi generale"_s, QDate(2024, 4, 2));
            QSignalSpy done(c.http(), &HttpService::onUploadAnamnesiDone);
            c->saveAnamnesi(&a);
            QVERIFY(done.wait(20000));
            webId = c.scalar(u"select web_id from anamnesis where offline = 0"_s).toInt();
            QVERIFY(webId > 0);
        }
        // A new installation keeps them only once it has their client.
        CloudCase other(m_service, 5107);
        QSignalSpy got(other.http(), &HttpService::onGetAnamnesis);
        QSignalSpy list(other.http(), &HttpService::onGetClients);
        const auto download = [&] {
            other->getUserAnamnesis(client.web_id);
            return got.wait(20000) ? int(got.last().at(0).value<QList<Anamnesi>>().size()) : -1;
        };
        QVERIFY(download() == 0 && other.scalar(u"select count(*) from anamnesis"_s).toInt() == 0);
        other->getClients();
        QVERIFY(list.wait(20000));
        QCOMPARE(download(), 1);
        // Deleted here and not yet confirmed: a download does not bring it back.
        const int localId = other.scalar(u"select id from anamnesis where web_id = %1"_s.arg(webId)).toInt();
        QVERIFY(other.store()->deleteAnamnesi(localId));
        QCOMPARE(download(), 0);
        QVERIFY(other.scalar(u"select count(*) from anamnesis"_s).toInt() == 0 && other.scalar(u"select webId from outbox"_s).toInt() == webId);
        // Confirmed twice (a resend): a local row whose own id is that web id stays.
        while (other.scalar(u"select coalesce(max(id), 0) from anamnesis"_s).toInt() < webId)
            other.addAnamnesi(client, u"Altra"_s, QDate(2024, 4, 3));
        QSignalSpy confirmed(other.http(), &HttpService::onUploadDeletedAnamnesiDone);
        other->deleteAnamnesi(webId);
        other->deleteAnamnesi(webId);
        QVERIFY(QTest::qWaitFor([&] { return confirmed.size() == 2; }, 20000));
        QCOMPARE(other.scalar(u"select count(*) from anamnesis where id = %1"_s.arg(webId)).toInt(), 1);
        // Pages without a file name, other schemes and failures write nothing; a link is replaced, not followed.
        QTemporaryDir dir;
        const QString into = dir.filePath(u"models/"_s), model = u"Valutazione_sportiva.anm"_s;
        QDir().mkpath(into);
        LogCatcher log("calvestra.cloud");
        const QString base = m_service.baseUrl().toString();
        for (const QString &url : {base + u"/"_s, u"file:///etc/hostname"_s, base + u"/Apps/Movelta/models/none.anm"_s})
            other->downloadFile(url, into);
        QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"skipped download"_s) + log.countStartingWith(u"Error: "_s) == 3; },
                                20000));
        QVERIFY(QDir(into).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QFile outside(dir.filePath(u"outside.txt"_s));
        QVERIFY(outside.open(QIODevice::WriteOnly) && outside.write("untouched") > 0 && outside.flush());
        QVERIFY(QFile::link(outside.fileName(), into + model));
        other->getAnamnesiModels();  // the listed models, this one among them
        other->downloadFile(base + u"/Apps/Movelta/models/"_s + model, into);
        QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(u"File downloaded successfully "_s) == 4; }, 20000));
        QCOMPARE(readFile(outside.fileName()), QByteArray("untouched"));
        QVERIFY(!QFileInfo(into + model).isSymLink());
        QCOMPARE(readFile(into + model), readFile(QStringLiteral(CALVESTRA_SOURCE_DIR "/service/models/") + model));
        QCOMPARE(QDir(other.store()->m_assetsPath + u"models/"_s).entryList(QDir::Files),
                 QStringList({"Anamnesi_generale.anm", "Composizione_corporea.anm", model}));
    }

    void examsWorksAndFiles()
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
        // A scan whose files are gone is left out.
        ScanFile gone = ScanFile::createFromFilePath(folder + u"Vita-20240303--09-00-00.jpg"_s);
        const QList<ScanFile> day2{gone, writeScan(folder, u"Vita"_s, QDateTime(QDate(2024, 3, 3), QTime(10, 0)), false, 40, tricky)};
        Exam first = examOf(client, QDate(2024, 5, 1));
        first.weight = 64.5;
        first.activityLevel = 3;
        first.notes = u"dopo allenamento"_s;
        Exam second = examOf(client, QDate(2024, 3, 3));
        second.subKind = 5;
        QSignalSpy progress(c.http(), &HttpService::onUploadProgress);
        LogCatcher log("calvestra.cloud");
        QList<Exam> done;
        // The second starts while the first is still built and sent: each keeps its own archive.
        QCOMPARE(upload(c, {{first, day1}, {second, day2}}, &done), QStringList({"done", "done"}));
        // The exam of the signal carries the reply's client and date, nothing else.
        QVERIFY(done.at(0).idUser == client.web_id && done.at(0).examDate != done.at(1).examDate);
        QVERIFY(done.at(0).weight == 0 && done.at(0).notes.isEmpty());
        for (const QJsonObject &r : requestsOfKind(m_service, u"uploadExamZip"_s))
            QCOMPARE(r[u"archiveEntries"_s].toArray().toVariantList(),
                     fieldValue(r, u"exam"_s).contains(u"2024-05-01"_s)
                         ? QVariantList({"Coscia dx-20240501--08-15-00.jpg", "Coscia dx-20240501--08-15-00.d2d",
                                         "Coscia dx-20240501--08-15-00.json", "Addome-20240501--08-20-30.jpg",
                                         "Addome-20240501--08-20-30.d2d"})
                         : QVariantList({"Vita-20240303--10-00-00.jpg", "Vita-20240303--10-00-00.d2d"}));
        // Progress up to the whole body; each archive, named in the log, is gone afterwards.
        qint64 sentMost = 0, total = 0;
        for (const QList<QVariant> &step : progress) {
            sentMost = qMax(sentMost, step.at(0).toLongLong());
            total = qMax(total, step.at(1).toLongLong());
        }
        QVERIFY(total > tricky.size() && sentMost == total);
        const QStringList archives = log.lines().filter(QRegularExpression(u"^zipFile "_s)).replaceInStrings(u"zipFile "_s, QString());
        QVERIFY(archives.size() == 2
                && QTest::qWaitFor([&] { return !QFileInfo::exists(archives[0]) && !QFileInfo::exists(archives[1]); }, 5000));
        QVERIFY(archives[0].startsWith(QDir::tempPath() + u'/') && m_service.stagingIsEmpty());

        // The works, oldest first, with what the service keeps of them.
        QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
        c->getUserWorks(client.web_id);
        QVERIFY(works.wait(20000));
        const auto list = works.last().at(0).value<QList<Exam>>();
        QCOMPARE(list.size(), 2);
        QVERIFY(list.at(0).examDate == QDate(2024, 3, 3) && list.at(0).subKind == 5 && list.at(1).id > 0);
        const Exam &work = list.at(1);
        QCOMPARE(QStringList({work.examDate.toString(Qt::ISODate), QString::number(work.weight), QString::number(work.activityLevel),
                              work.notes}), QStringList({"2024-05-01", "64.5", "3", "dopo allenamento"}));
        QCOMPARE(work.scanNames, QStringList({"Addome-20240501--08-20-30.jpg", "Coscia dx-20240501--08-15-00.jpg"}));

        // Each file byte for byte, raw data and analysis asked for by the picture's name.
        for (const ScanFile &scan : day1 + day2.mid(1)) {
            for (const auto &[kind, path] : {std::pair{u"jpg"_s, scan.jpgFile}, {u"d2d"_s, scan.d2dFile}, {u"json"_s, scan.jsonFile}}) {
                QByteArray body;
                QCOMPARE(fetch(c.http(), client.web_id, kind, QFileInfo(scan.jpgFile).fileName(), &body) == QNetworkReply::NoError,
                         !path.isEmpty());
                QVERIFY2(path.isEmpty() || body == readFile(path), qPrintable(scan.jpgFile + u' ' + kind));
            }
        }
        QVERIFY(fetch(c.http(), client.web_id, u"jpg"_s, u"Vita-20240101--10-00-00.jpg"_s) != QNetworkReply::NoError);
    }

    void endpointsAndProbe()
    {
        CloudCase c(m_service, 4105, true);
        c.uploaded(c.addClient(u"Prova"_s));
        QCOMPARE(waitForRequest(m_service, u"setUserData"_s)[u"path"_s].toString(), m_service.endpointUrl(true).path());
        // The probe is a GET of the service host; an error status, or a host that answers nothing, is not
        // connected. Every probe gets the fault (count 0): a periodic one in flight cannot take it away.
        c->setTimeouts(3000, 3000, 800);
        QSignalSpy status(c.http(), &HttpService::onConnectionStatus);
        for (const QString &fault : {u""_s, u"status500"_s, u"hang"_s}) {
            QVERIFY(fault.isEmpty() || m_service.injectFault(fault, u"probe"_s, 0));
            status.clear();
            c->checkConnection();
            QVERIFY2(QTest::qWaitFor([&] { return !status.isEmpty() && status.last().at(0).toBool() == fault.isEmpty(); }, 20000)
                         && c->m_connected == fault.isEmpty(), qPrintable(fault));
            QVERIFY(m_service.resetHooks());
        }
        QCOMPARE(c->connectionProbeUrl(), QUrl(m_service.baseUrl().toString() + u'/'));
        for (const auto &[endpoint, development] : {std::pair{"http://h/a.php/b.PHP/c.php", "http://h/a_dev.php/b.PHP/c_dev.php"},
                                                    {"http://h/script", "http://h/script"}}) {
            AppSettings::setEndpoint(QString::fromLatin1(endpoint));
            c->setWebServiceURL(true);
            QCOMPARE(c->m_url, QUrl(QString::fromLatin1(development)));
        }
        // The development script: every ".php" gets "_dev", letter case counts. Before any endpoint is
        // chosen a call fails, and says so; the probe asks the setting's host.
        c->m_url.clear();
        QCOMPARE(c->connectionProbeUrl(), QUrl(u"http://h/"_s));
        Client client = c.addClient(u"Senza"_s);
        QSignalSpy fail(c.http(), &HttpService::onUploadClientFail);
        LogCatcher log("calvestra.cloud");
        c->saveClient(&client);
        QVERIFY(fail.wait(20000) && log.countStartingWith(u"error reply: "_s) == 1);
    }

    void fault_data()
    {
        QTest::addColumn<QString>("fault");     // of the service, "stop", or "tmpdir:" an unusable folder
        QTest::addColumn<QString>("action");    // what the fault waits for
        QTest::addColumn<int>("timeoutMs");     // request and upload time-out; 0 keeps the defaults
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("outcomes");  // the signals, sorted
        QTest::addColumn<QString>("log");       // the line that tells what happened
        QTest::addColumn<int>("lines");
        const QString timeOut = u"error reply: time-out"_s;
        QTest::newRow("service stopped") << "stop" << "" << 0 << "client,anamnesi,delete,exam,clients,works,anamnesis,models"
                                         << "onUploadAnamnesiFail,onUploadClientFail,onUploadDeletedAnamnesiFail,onUploadExamFail"
                                         << "error reply: " << 7;
        for (const auto &[action, call, outcome] : {std::tuple{"setUserData", "client", "onUploadClientFail"},
                                                    {"uploadAnamnesi", "anamnesi", "onUploadAnamnesiFail"},
                                                    {"deleteAnamnesi", "delete", "onUploadDeletedAnamnesiFail"},
                                                    {"uploadExamZip", "exam", "onUploadExamFail"}, {"getUsers", "clients", ""},
                                                    {"getUserWorks", "works", ""}})
            QTest::addRow("no reply to %s", action) << "hang" << action << 1500 << call << outcome << timeOut << 1;
        QTest::newRow("reply stalls") << "stall" << "setUserData" << 1500 << "client" << "onUploadClientFail" << timeOut << 1;
        QTest::newRow("upload answered late") << "delay:1500" << "uploadExamZip" << 4000 << "exam" << "onUploadExamDone" << "" << 0;
        QTest::newRow("upload never answered") << "delay:8000" << "uploadExamZip" << 3000 << "exam" << "onUploadExamFail" << timeOut << 1;
        QTest::newRow("not JSON") << "nonjson" << "uploadExamZip" << 0 << "exam" << "onUploadExamFail" << "error " << 1;
        QTest::newRow("not JSON, list") << "nonjson" << "getUsers" << 0 << "clients" << "" << "error " << 1;
        QTest::newRow("HTTP 500") << "status500" << "uploadAnamnesi" << 0 << "anamnesi" << "onUploadAnamnesiFail" << "error reply: " << 1;
        QTest::newRow("reply too large") << u"huge:%1"_s.arg((HttpService::maxReplyBytes >> 20) + 8) << "setUserData" << 0 << "client"
                                         << "onUploadClientFail" << "error reply: reply larger than" << 1;
        QTest::newRow("large reply without id") << "huge:2" << "setUserData" << 0 << "client" << "onUploadClientFail"
                                                << "error upload reply without a valid id" << 1;
        // The network layer sends a request again once when its connection drops early.
        QTest::newRow("dropped mid-upload") << "drop" << "uploadExamZip" << 0 << "exam" << "onUploadExamFail" << "error reply: " << 1;
        for (const auto &[action, call, outcome, log] :
             {std::tuple{"setUserData", "client", "onUploadClientFail", "error upload reply without a valid id"},
              {"uploadAnamnesi", "anamnesi", "onUploadAnamnesiFail", "error upload reply without a valid id"},
              {"uploadExamZip", "exam", "onUploadExamFail", "error uploadExamZip reply without client or date"},
              {"getUsers", "clients", "onGetClients", ""}, {"getUserWorks", "works", "onGetUserWorks", ""},
              {"getUserAnamnesis", "anamnesis", "onGetAnamnesis", ""}})
            QTest::addRow("empty data for %s", action) << "code:200" << action << 0 << call << outcome << log << (*log ? 1 : 0);
        QTest::newRow("deletion refused") << "code:500" << "deleteAnamnesi" << 0 << "delete" << "onUploadDeletedAnamnesiFail"
                                          << "error injected failure" << 1;
        QTest::newRow("storage full") << "code:405" << "uploadExamZip" << 0 << "exam" << "onWebSpaceOver"
                                      << "uploadExam -> WebSpaceOver" << 1;
        QTest::newRow("no temporary folder") << "tmpdir:no/such/folder" << "" << 0 << "exam" << "onUploadExamFail" << "zipFile " << 1;
        QTest::newRow("temporary folder is a file") << "tmpdir:plain-file" << "" << 0 << "exam" << "onUploadExamFail" << "zipFile " << 1;
    }

    void fault()
    {
        QFETCH(QString, fault);
        QFETCH(QString, action);
        QFETCH(int, timeoutMs);
        QFETCH(QString, calls);
        QFETCH(QString, outcomes);
        QFETCH(QString, log);
        QFETCH(int, lines);
        // On the service a client and an anamnesis; here an exam and a change a failure must leave pending.
        static int account = 7100;
        CloudCase c(m_service, ++account);
        Client client = c.uploaded(c.addClient(u"Guasto"_s));
        Anamnesi anamnesi = c.addAnamnesi(client, u"Anamnesi generale"_s, QDate(2024, 7, 1));
        QSignalSpy anamnesiDone(c.http(), &HttpService::onUploadAnamnesiDone);
        c->saveAnamnesi(&anamnesi);
        QVERIFY(anamnesiDone.wait(20000));
        anamnesi.web_id = c.scalar(u"select web_id from anamnesis"_s).toInt();
        QList<ScanFile> scans{writeScan(client.getDataPath(true), u"Vita"_s, QDateTime(QDate(2024, 7, 1), QTime(9, 10)), true, 200),
                              writeScan(client.getDataPath(true), u"Fianco"_s, QDateTime(QDate(2024, 7, 1), QTime(9, 12)), false, 200)};
        Exam exam = examOf(client, QDate(2024, 7, 1));
        QVERIFY(c.exec(u"update clients set city = 'Asti', offline = 1"_s));
        const QString before = c.snapshot();

        std::vector<std::pair<QString, std::unique_ptr<QSignalSpy>>> spies;
        const QMetaObject &meta = HttpService::staticMetaObject;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
            if (const QMetaMethod m = meta.method(i); m.methodType() == QMetaMethod::Signal
                && !QByteArrayList{"onConnectionStatus", "onUploadProgress", "onGetClientsProgress", "onUpdateClient"}.contains(m.name()))
                spies.emplace_back(QString::fromLatin1(m.name()), std::make_unique<QSignalSpy>(c.http(), m));
        const auto seen = [&] {
            QStringList names;
            for (const auto &[name, spy] : spies)
                for (qsizetype n = 0; n < spy->size(); ++n)
                    names << name;
            names.sort();
            return names;
        };
        if (timeoutMs > 0)
            c->setTimeouts(timeoutMs, timeoutMs, 1000);
        if (fault == u"stop"_s)
            m_service.stop();
        else if (!fault.startsWith(u"tmpdir:"_s))
            QVERIFY(m_service.injectFault(fault, action, fault == u"drop"_s ? 10 : 1));
        const QByteArray tmpdir = qgetenv("TMPDIR");
        if (fault.startsWith(u"tmpdir:"_s)) {
            QFile(c.location() + u"/plain-file"_s).open(QIODevice::WriteOnly);
            qputenv("TMPDIR", QFile::encodeName(c.location() + u'/' + fault.mid(7)));
        }
        LogCatcher logged("calvestra.cloud");
        const QHash<QString, std::function<void()>> call{
            {u"client"_s, [&] { c->saveClient(&client); }},          {u"anamnesi"_s, [&] { c->saveAnamnesi(&anamnesi); }},
            {u"delete"_s, [&] { c->deleteAnamnesi(anamnesi.web_id); }}, {u"exam"_s, [&] { c->uploadExam(&exam, &scans); }},
            {u"clients"_s, [&] { c->getClients(); }},                {u"works"_s, [&] { c->getUserWorks(client.web_id); }},
            {u"anamnesis"_s, [&] { c->getUserAnamnesis(client.web_id); }}, {u"models"_s, [&] { c->getAnamnesiModels(); }}};
        QElapsedTimer clock;
        clock.start();
        for (const QString &name : calls.split(u','))
            call[name]();
        tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
        // Every outcome comes from the event loop, never from inside the call.
        QVERIFY(seen().isEmpty());
        const QStringList expected = outcomes.isEmpty() ? QStringList() : outcomes.split(u',');
        QVERIFY2(QTest::qWaitFor([&] {
            return seen().size() >= expected.size() && (log.isEmpty() || logged.countStartingWith(log) >= lines);
        }, 30000), qPrintable(seen().join(u',') + u'\n' + logged.lines().join(u'\n')));
        QCoreApplication::processEvents();
        QCOMPARE(seen(), expected);
        QCOMPARE(logged.countStartingWith(log.isEmpty() ? u"error"_s : log), lines);
        QCOMPARE(logged.countStartingWith(u"error"_s), log.startsWith(u"error"_s) ? lines : 0);
        QCOMPARE(logged.countStartingWith(u"error reply"_s), log.startsWith(u"error reply"_s) ? lines : 0);
        if (log.contains(u"time-out"_s))
            QVERIFY2(clock.elapsed() >= timeoutMs * 9 / 10, "not before the time-out (a coarse timer may fire 5% early)");
        QCOMPARE(c.snapshot(), before);
        if (fault.startsWith(u"tmpdir:"_s))
            QVERIFY(requestsOfKind(m_service, u"uploadExamZip"_s).isEmpty());
        // Nothing is left half-stored on the service.
        QVERIFY((m_service.isRunning() || m_service.restart()) && m_service.resetHooks());
        QTRY_VERIFY_WITH_TIMEOUT(m_service.stagingIsEmpty(), 20000);
        if (fault == u"drop"_s) {
            QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
            c->getUserWorks(client.web_id);
            QVERIFY(works.wait(20000) && works.at(0).at(0).value<QList<Exam>>().isEmpty());
        }
    }

private:
    // Sends them all at once; one outcome each: "done", "fail" or "full".
    QStringList upload(CloudCase &c, QList<std::pair<Exam, QList<ScanFile>>> exams, QList<Exam> *done = nullptr)
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
        for (auto &[exam, scans] : exams)
            c->uploadExam(&exam, &scans);
        (void)QTest::qWaitFor([&] { return outcomes.size() >= exams.size(); }, 60000);
        return outcomes;
    }

    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(TestHttpService)
#include "tst_httpservice.moc"
