#include "SyncScenario.h"

#include "anamnesis/Anamnesi.h"
#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"
#include "store/Outbox.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <algorithm>
#include <functional>

namespace {

constexpr int account = 7;
const char *const surnames[] = {"Rossi", "Bianchi", "Verdi", "D'Amico", "Colombo", "Ricci", "Zanetti"};
const char *const names[] = {"Anna", "Luca", "Marta", "Paolo", "Chiara", "Giorgio"};
// Faults that a network and a service can really do; none of them is a refusal for good.
const char *const faultModes[] = {"status500", "drop", "hang", "lost", "nonjson", "code:500", "delay:400", "code:429"};
const char *const faultActions[] = {"", "setUserData", "uploadAnamnesi", "deleteUser", "deleteAnamnesi",
                                    "uploadExamZip", "getUsers", "getUserAnamnesis"};

QString text(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString::number(value.toDouble());
}

}  // namespace

SyncScenario::SyncScenario(ReferenceService &service, quint32 seed)
    : m_service(service)
    , m_random(seed)
{
    static QTemporaryDir dir;  // one per process; each scenario takes a fresh sub-folder
    m_dir = dir.path() + QStringLiteral("/run") + QString::number(seed) + QLatin1Char('-')
            + QString::number(QDateTime::currentMSecsSinceEpoch());
    QDir().mkpath(m_dir);
    AppSettings::setIdTrainer(account);
    AppSettings::setEndpoint(service.endpointUrl().toString());
    m_store = DataModule::resetInstanceForTests(m_dir);
    m_store->m_appVersion = QStringLiteral("0.6.4");
    HttpService *http = HttpService::resetInstanceForTests(true);
    http->setWebServiceURL(false);
    // Short time-outs and back-off, so that a hung request or a spell offline costs
    // a second rather than minutes.
    http->setTimeouts(800, 3000, 800);
    m_sender = OutboxSender::resetInstanceForTests(true);
    m_sender->setTimes(100, 40, 1000);
    m_sender->setGuardTimes(2000, 5000);
    m_sender->start();
}

SyncScenario::~SyncScenario()
{
    OutboxSender::resetInstanceForTests(false);
    HttpService::resetInstanceForTests(false);
    DataModule::resetInstanceForTests();
}

SyncScenario::Result SyncScenario::run(int operations, int drainTimeoutMs)
{
    const std::pair<int, std::function<void()>> table[] = {
        {14, [this] { createClient(); }}, {12, [this] { editClient(); }},   {4, [this] { deleteClient(); }},
        {12, [this] { addAnamnesi(); }},  {8, [this] { editAnamnesi(); }},  {4, [this] { deleteAnamnesi(); }},
        {10, [this] { addExam(); }},      {5, [this] { download(); }},      {10, [this] { injectFault(); }},
        {2, [this] { goOffline(); }},
    };
    int total = 0;
    for (const auto &entry : table)
        total += entry.first;

    Result result;
    for (int op = 0; op < operations; ++op) {
        int roll = pick(total);
        for (const auto &entry : table) {
            if (roll < entry.first) {
                entry.second();
                break;
            }
            roll -= entry.first;
        }
        if (m_offlineOps > 0 && --m_offlineOps == 0)
            m_service.restart();
        letTimePass();
    }
    result.operations = operations;
    result.faults = m_faults;

    // The faults stop; whatever waits goes out.
    if (!m_service.isRunning())
        m_service.restart();
    m_service.resetHooks();
    m_sender->sendNow();
    result.drained = QTest::qWaitFor(
        [this] {
            return m_store->pendingCount() == 0 && !m_sender->isBusy();
        },
        drainTimeoutMs);
    if (!result.drained) {
        result.findings << QStringLiteral("the outbox did not drain: %1 items left").arg(m_store->pendingCount());
        for (const OutboxItem &item : m_store->outbox()->items())
            result.findings << QStringLiteral("  item %1 %2 parked=%3 code=%4 %5")
                                   .arg(item.id)
                                   .arg(OutboxItem::kindName(item.kind))
                                   .arg(item.parked)
                                   .arg(item.lastCode)
                                   .arg(item.lastError);
    }
    compare(result, QStringLiteral("after draining"));
    // A download afterwards must bring nothing back and duplicate nothing.
    const int before = m_store->queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QString());
    QSignalSpy downloaded(HttpService::m_instance, &HttpService::onGetClients);
    HttpService::m_instance->getClients();
    if (!downloaded.wait(10000))
        result.findings << QStringLiteral("the client list did not download");
    const int after = m_store->queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QString());
    if (after != before)
        result.findings << QStringLiteral("the download changed the number of clients from %1 to %2").arg(before).arg(after);
    compare(result, QStringLiteral("after a download"));
    result.divergences = int(result.findings.size());
    return result;
}

int SyncScenario::someClient()
{
    QSqlQuery query(m_store->m_db);
    query.exec(QStringLiteral("select id from clients order by id"));
    QList<int> ids;
    while (query.next())
        ids << query.value(0).toInt();
    return ids.isEmpty() ? 0 : ids.at(pick(int(ids.size())));
}

void SyncScenario::createClient()
{
    Client client;
    client.surname = QString::fromUtf8(surnames[pick(int(std::size(surnames)))]);
    client.name = QString::fromUtf8(names[pick(int(std::size(names)))]) + QString::number(pick(1000));
    client.sex = pick(2) ? QStringLiteral("F") : QStringLiteral("M");
    client.birthday = QDate(1950 + pick(60), 1 + pick(12), 1 + pick(28));
    client.city = QStringLiteral("Torino");
    client.height = 150 + pick(50);
    client.weight = 50 + pick(60) + 0.5;
    client.offline = true;
    client.saveToDB(true, false);
}

void SyncScenario::editClient()
{
    Client client;
    client.loadFromDB(someClient());
    if (client.id == 0)
        return;
    client.email = QStringLiteral("c%1@example.org").arg(pick(100000));
    client.weight = 50 + pick(60) + 0.25;
    client.offline = true;
    client.saveToDB(true, false);
}

void SyncScenario::deleteClient()
{
    Client client;
    client.loadFromDB(someClient());
    if (client.id == 0)
        return;
    if (client.web_id > 0)
        m_deletedWebIds.insert(client.web_id);
    m_examDays.remove(client.id);
    // Now and then the deletion fails for a while and the list is fetched meanwhile:
    // the client must not come back from it.
    const bool refresh = pick(2) == 0 && m_service.isRunning();
    if (refresh) {
        ++m_faults;
        m_service.injectFault(QStringLiteral("status500"), QStringLiteral("deleteUser"), 2);
    }
    m_store->deleteClient(client.id);
    if (refresh)
        HttpService::m_instance->getClients();
}

void SyncScenario::addAnamnesi()
{
    const int clientId = someClient();
    if (clientId == 0)
        return;
    Anamnesi record;
    record.idClient = clientId;
    record.name = QStringLiteral("Anamnesi %1").arg(pick(100));
    record.date = QDateTime(QDate(2026, 1 + pick(12), 1 + pick(28)), QTime(9, pick(60)));
    Question question;
    question.type = qtText;
    question.text = QStringLiteral("Note");
    question.answer = QStringLiteral("risposta %1").arg(pick(100000));
    record.questions << question;
    record.offline = true;
    record.SaveToDB(true, false);
}

void SyncScenario::editAnamnesi()
{
    QSqlQuery query(m_store->m_db);
    query.exec(QStringLiteral("select id from anamnesis order by id"));
    QList<int> ids;
    while (query.next())
        ids << query.value(0).toInt();
    if (ids.isEmpty())
        return;
    Anamnesi record;
    record.loadFromDB(ids.at(pick(int(ids.size()))), false);
    record.note = QStringLiteral("nota %1").arg(pick(100000));
    record.offline = true;
    record.SaveToDB(true, false);
}

void SyncScenario::deleteAnamnesi()
{
    QSqlQuery query(m_store->m_db);
    query.exec(QStringLiteral("select id from anamnesis order by id"));
    QList<int> ids;
    while (query.next())
        ids << query.value(0).toInt();
    if (ids.isEmpty())
        return;
    Anamnesi record;
    record.loadFromDB(ids.at(pick(int(ids.size()))), false);
    Client client;
    client.loadFromDB(record.idClient);
    const bool refresh = pick(2) == 0 && m_service.isRunning() && client.web_id > 0;
    if (refresh) {
        ++m_faults;
        m_service.injectFault(QStringLiteral("status500"), QStringLiteral("deleteAnamnesi"), 2);
    }
    m_store->deleteAnamnesi(record.id);
    if (refresh)
        HttpService::m_instance->getUserAnamnesis(client.web_id);
}

void SyncScenario::addExam()
{
    Client client;
    client.loadFromDB(someClient());
    if (client.id == 0)
        return;
    Exam exam;
    exam.examDate = QDate(2026, 11, 1).addDays(pick(20));
    exam.height = client.height;
    exam.weight = client.weight;
    exam.activityLevel = pick(5);
    const QString folder = client.getDataPath(true);
    const QString base = QStringLiteral("zona%1-%2--10-%3-%4")
                             .arg(pick(4))
                             .arg(exam.examDate.toString(QStringLiteral("yyyyMMdd")))
                             .arg(m_fileCounter / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(m_fileCounter % 60, 2, 10, QLatin1Char('0'));
    ++m_fileCounter;
    for (const char *extension : {".jpg", ".d2d"}) {
        QByteArray bytes(1024 + pick(16 * 1024), Qt::Uninitialized);
        for (char &c : bytes)
            c = char(pick(256));
        QFile file(folder + base + QLatin1String(extension));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qWarning("cannot write a scan file");
    }
    m_examDays[client.id].insert(exam.examDate);
    m_store->queueExam(client.id, exam);
}

void SyncScenario::download()
{
    HttpService *http = HttpService::m_instance;
    if (pick(2) == 0) {
        http->getClients();
        return;
    }
    Client client;
    client.loadFromDB(someClient());
    if (client.web_id > 0)
        http->getUserAnamnesis(client.web_id);
}

void SyncScenario::injectFault()
{
    if (!m_service.isRunning())
        return;
    ++m_faults;
    if (pick(8) == 0) {
        m_service.restart();
        return;
    }
    m_service.injectFault(QString::fromLatin1(faultModes[pick(int(std::size(faultModes)))]),
                          QString::fromLatin1(faultActions[pick(int(std::size(faultActions)))]), 1 + pick(2));
}

void SyncScenario::goOffline()
{
    if (!m_service.isRunning())
        return;
    ++m_faults;
    m_service.stop();
    m_offlineOps = 3 + pick(12);
}

void SyncScenario::letTimePass()
{
    // A few steps of the sender, or a short spell with nothing happening: the work
    // interleaves with the requests in flight at random points.
    const int wanted = pick(4);
    if (wanted == 0) {
        QCoreApplication::processEvents();
        return;
    }
    QSignalSpy steps(m_sender, &OutboxSender::stateChanged);
    const int limitMs = pick(8) == 0 ? 120 : 10;
    (void)QTest::qWaitFor([&] { return steps.count() >= wanted; }, limitMs);
}

QJsonObject SyncScenario::post(const QMap<QString, QString> &fields)
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("idSender"), QString::number(account));
    form.addQueryItem(QStringLiteral("appVersion"), QStringLiteral("0.6.4"));
    form.addQueryItem(QStringLiteral("appOS"), QStringLiteral("test"));
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        form.addQueryItem(it.key(), it.value());
    const ReferenceService::Response reply =
        m_service.request("POST", m_service.endpointUrl().path(), HttpService::encodeForm(form),
                          "application/x-www-form-urlencoded");
    return QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("data")).toObject();
}

QByteArray SyncScenario::userFile(int webId, const QString &kind, const QString &name)
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("idSender"), QString::number(account));
    query.addQueryItem(QStringLiteral("action"), QStringLiteral("getUserFile"));
    query.addQueryItem(QStringLiteral("idUser"), QString::number(webId));
    query.addQueryItem(QStringLiteral("kind"), kind);
    query.addQueryItem(QStringLiteral("filename"), name);
    const ReferenceService::Response reply = m_service.request(
        "GET", m_service.endpointUrl().path() + QLatin1Char('?') + QString::fromLatin1(HttpService::encodeForm(query)));
    return reply.status == 200 ? reply.body : QByteArray("<missing>");
}

void SyncScenario::compare(Result &result, const QString &when)
{
    const auto finding = [&](const QString &line) { result.findings << when + QStringLiteral(": ") + line; };

    QMap<int, QJsonObject> remote;
    const QJsonArray users = post({{QStringLiteral("action"), QStringLiteral("getUsers")}})
                                 .value(QStringLiteral("users"))
                                 .toArray();
    for (const QJsonValue &user : users)
        remote.insert(user.toObject().value(QStringLiteral("id")).toString().toInt(), user.toObject());

    QSqlQuery query(m_store->m_db);
    query.exec(QStringLiteral("select id from clients order by id"));
    QList<int> localIds;
    while (query.next())
        localIds << query.value(0).toInt();

    QSet<int> matched;
    for (const int id : std::as_const(localIds)) {
        Client local;
        local.loadFromDB(id);
        const QString who = QStringLiteral("client %1 (web %2)").arg(id).arg(local.web_id);
        if (m_deletedWebIds.contains(local.web_id))
            finding(who + QStringLiteral(" was deleted and came back"));
        if (!remote.contains(local.web_id)) {
            finding(who + QStringLiteral(" is missing on the service"));
            continue;
        }
        if (matched.contains(local.web_id))
            finding(who + QStringLiteral(" shares its web id with another local client"));
        matched.insert(local.web_id);
        const QJsonObject user = remote.value(local.web_id);
        const QStringList mine{local.surname, local.name, local.email, local.birthday.toString(Qt::ISODate),
                               QString::number(local.weight)};
        const QStringList theirs{text(user.value(QStringLiteral("surname"))), text(user.value(QStringLiteral("name"))),
                                 text(user.value(QStringLiteral("email"))), text(user.value(QStringLiteral("birthday"))),
                                 QString::number(text(user.value(QStringLiteral("weight"))).toDouble())};
        if (mine != theirs)
            finding(who + QStringLiteral(" differs: %1 / %2").arg(mine.join(QLatin1Char('|')), theirs.join(QLatin1Char('|'))));

        // Questionnaires: the same set, the same content.
        QMap<int, QJsonObject> remoteAnamnesis;
        const QJsonArray items = post({{QStringLiteral("action"), QStringLiteral("getUserAnamnesis")},
                                       {QStringLiteral("idUser"), QString::number(local.web_id)}})
                                     .value(QStringLiteral("anamnesis"))
                                     .toArray();
        for (const QJsonValue &item : items) {
            QJsonObject object =
                QJsonDocument::fromJson(item.toObject().value(QStringLiteral("object")).toString().toUtf8()).object();
            object.remove(QStringLiteral("syncKey"));
            remoteAnamnesis.insert(item.toObject().value(QStringLiteral("id")).toInt(), object);
        }
        const QList<Anamnesi> anamnesis = local.getAnamnesiList();
        for (const Anamnesi &record : anamnesis) {
            if (!remoteAnamnesis.contains(record.web_id))
                finding(QStringLiteral("questionnaire %1 of %2 is missing on the service").arg(record.id).arg(who));
            else if (remoteAnamnesis.take(record.web_id) != record.getJsonObject())
                finding(QStringLiteral("questionnaire %1 of %2 differs").arg(record.id).arg(who));
        }
        for (auto it = remoteAnamnesis.cbegin(); it != remoteAnamnesis.cend(); ++it)
            finding(QStringLiteral("questionnaire %1 on the service is not here (%2)").arg(it.key()).arg(who));

        // Exams: the days queued, each with the day's scans, byte for byte.
        QMap<QDate, QStringList> works;
        const QJsonArray list = post({{QStringLiteral("action"), QStringLiteral("getUserWorks")},
                                      {QStringLiteral("idUser"), QString::number(local.web_id)}})
                                    .value(QStringLiteral("works"))
                                    .toArray();
        for (const QJsonValue &work : list) {
            QStringList files;
            for (const QJsonValue &name : work.toObject().value(QStringLiteral("scanFilenames")).toArray())
                files << name.toString();
            works.insert(QDate::fromString(work.toObject().value(QStringLiteral("date")).toString(), Qt::ISODate), files);
        }
        const QSet<QDate> days = m_examDays.value(id);
        for (const QDate &day : days) {
            QStringList here = local.getFileList(day, QStringLiteral(".jpg"));
            QStringList there = works.take(day);
            std::sort(here.begin(), here.end());
            std::sort(there.begin(), there.end());
            if (here != there) {
                finding(QStringLiteral("exam of %1 on %2: %3 here, %4 on the service")
                            .arg(who, day.toString(Qt::ISODate), here.join(QLatin1Char(',')), there.join(QLatin1Char(','))));
                continue;
            }
            for (const QString &jpg : std::as_const(here)) {
                const QString path = local.getDataPath(false) + jpg;
                for (const QString &kind : {QStringLiteral("jpg"), QStringLiteral("d2d")}) {
                    QFile file(kind == QLatin1String("jpg") ? path : path.chopped(3) + kind);
                    if (!file.open(QIODevice::ReadOnly) || file.readAll() != userFile(local.web_id, kind, jpg))
                        finding(QStringLiteral("file %1 (%2) of %3 differs on the service").arg(jpg, kind, who));
                }
            }
        }
        for (auto it = works.cbegin(); it != works.cend(); ++it)
            finding(QStringLiteral("exam of %1 on %2 on the service was never sent").arg(who, it.key().toString(Qt::ISODate)));
    }
    for (auto it = remote.cbegin(); it != remote.cend(); ++it) {
        if (!matched.contains(it.key()))
            finding(QStringLiteral("service client %1 (%2) has no local client: duplicated or not deleted")
                        .arg(it.key())
                        .arg(text(it.value().value(QStringLiteral("surname")))));
    }
    QSqlQuery orphans(m_store->m_db);
    if (orphans.exec(QStringLiteral("select count(*) from anamnesis where idClient not in (select id from clients)"))
        && orphans.first() && orphans.value(0).toInt() > 0)
        finding(QStringLiteral("%1 questionnaires of deleted clients are left").arg(orphans.value(0).toInt()));
}
