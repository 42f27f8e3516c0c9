#include "DemoSeeder.h"

#include "DemoScanner.h"
#include "WaitUntil.h"

#include "anamnesis/Anamnesi.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlQuery>

#include <functional>
#include <memory>

namespace {

// Each wait is bounded: a service that stops answering ends the run with a reason.
constexpr int requestWaitMs = 35000;
constexpr int uploadWaitMs = 125000;

int localClientCount(DataModule *store)
{
    return store->queryValue(QStringLiteral("count(*)"), QStringLiteral("clients"), QStringLiteral("1"));
}

}  // namespace

DemoSeeder::DemoSeeder(DataModule *store, HttpService *service, QTextStream &out)
    : m_store(store)
    , m_service(service)
    , m_out(out)
{
}

DemoSeeder::~DemoSeeder() = default;

bool DemoSeeder::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

QString DemoSeeder::modelsFolder() const
{
    return m_store->m_assetsPath + QStringLiteral("models/");
}

bool DemoSeeder::run(const QDate &today)
{
    m_error.clear();
    m_alreadySeeded = false;
    if (!serviceAnswers())
        return fail(QStringLiteral("the service at %1 does not answer").arg(m_service->m_url.toString()));
    bool remoteClients = false;
    if (!serviceHasClients(&remoteClients))
        return false;
    if (remoteClients || localClientCount(m_store) > 0) {
        m_alreadySeeded = true;
        m_out << "the demo profile already has clients: nothing to add\n";
        return true;
    }

    const QList<DemoCatalogue::SampleClient> samples = DemoCatalogue::sampleClients();
    if (!fetchModels(samples))
        return false;

    // One probe for the whole run, as on the operator's desk.
    m_scanner = std::make_unique<DemoScanner>();
    int scanSeed = 0;
    for (const DemoCatalogue::SampleClient &sample : samples) {
        Client client;
        if (!addClient(sample, &client))
            return false;
        for (const DemoCatalogue::Questionnaire &questionnaire : sample.questionnaires) {
            if (!addQuestionnaire(client, questionnaire, today))
                return false;
        }
        for (const DemoCatalogue::PastExam &exam : sample.exams) {
            if (!addExam(&client, exam, today, &scanSeed))
                return false;
        }
        // The client record carries the body data of the latest exam, as after an exam,
        // on the service too: the application takes the service's copy at start.
        if (!sample.exams.isEmpty()) {
            client.updateHeightAndWeight(sample.exams.last().height, sample.exams.last().weight);
            if (!sendClient(&client))
                return false;
        }
        m_out << "  " << client.surname << ' ' << client.name << ": " << sample.exams.size() << " exams, "
              << sample.questionnaires.size() << " questionnaires\n";
        m_out.flush();
    }
    m_out << "demo profile ready: " << samples.size() << " clients\n";
    return true;
}

bool DemoSeeder::serviceAnswers()
{
    bool answered = false;
    bool connected = false;
    const auto connection = QObject::connect(m_service, &HttpService::onConnectionStatus, m_service,
                                             [&](bool up) {
                                                 answered = true;
                                                 connected = up;
                                             });
    m_service->checkConnection();
    waitUntil([&answered] { return answered; }, HttpService::defaultProbeTimeoutMs + 2000);
    QObject::disconnect(connection);
    return connected;
}

bool DemoSeeder::serviceHasClients(bool *has)
{
    bool replied = false;
    const auto connection = QObject::connect(m_service, &HttpService::onGetClients, m_service,
                                             [&](const QList<Client> &clients) {
                                                 replied = true;
                                                 *has = !clients.isEmpty();
                                             });
    m_service->getClients();
    waitUntil([&replied] { return replied; }, requestWaitMs);
    QObject::disconnect(connection);
    return replied || fail(QStringLiteral("the service did not list its clients"));
}

bool DemoSeeder::fetchModels(const QList<DemoCatalogue::SampleClient> &clients)
{
    QSet<QString> wanted;
    for (const DemoCatalogue::SampleClient &client : clients) {
        for (const DemoCatalogue::Questionnaire &questionnaire : client.questionnaires)
            wanted.insert(questionnaire.modelFile);
    }
    // The same request the application makes at start: the files land in the models folder.
    m_service->getAnamnesiModels();
    const QDir folder(modelsFolder());
    const bool all = waitUntil(
        [&] {
            for (const QString &file : std::as_const(wanted)) {
                if (!folder.exists(file))
                    return false;
            }
            return true;
        },
        requestWaitMs);
    return all || fail(QStringLiteral("the service did not send the questionnaire models into %1").arg(folder.path()));
}

bool DemoSeeder::addClient(const DemoCatalogue::SampleClient &sample, Client *client)
{
    *client = sample.person;
    client->id = 0;
    client->web_id = 0;
    client->offline = true;
    client->saveToDB(false, false);
    if (client->id <= 0)
        return fail(QStringLiteral("%1 %2 could not be stored").arg(client->surname, client->name));

    return sendClient(client);
}

bool DemoSeeder::drain(int timeoutMs)
{
    // What was queued goes out through the application's own sender; a refusal or a
    // refused account ends the wait at once.
    OutboxSender *sender = OutboxSender::instance();
    bool refused = false;
    const auto parked = QObject::connect(sender, &OutboxSender::itemParked, sender, [&] { refused = true; });
    const auto halted = QObject::connect(sender, &OutboxSender::halted, sender, [&] { refused = true; });
    sender->start();
    sender->sendNow();
    waitUntil([&] { return refused || sender->isHalted() || m_store->pendingCount() == 0; }, timeoutMs);
    QObject::disconnect(parked);
    QObject::disconnect(halted);
    return m_store->pendingCount() == 0;
}

bool DemoSeeder::sendClient(Client *client)
{
    const bool done = m_store->queueClient(client->id) && drain(requestWaitMs);
    client->loadFromDB(client->id);
    if (!done || client->web_id <= 0)
        return fail(QStringLiteral("the service did not take %1 %2").arg(client->surname, client->name));
    return true;
}

bool DemoSeeder::addQuestionnaire(const Client &client, const DemoCatalogue::Questionnaire &sample,
                                  const QDate &today)
{
    Anamnesi record;
    record.loadFromFile(modelsFolder() + sample.modelFile);
    if (record.name.isEmpty() || record.questions.isEmpty())
        return fail(QStringLiteral("the model %1 is not usable").arg(sample.modelFile));
    for (Question &question : record.questions) {
        for (const auto &answer : sample.answers) {
            if (answer.first == question.text)
                question.answer = answer.second;
        }
    }
    record.idClient = client.id;
    record.date = QDateTime(today.addDays(-sample.daysAgo), QTime(9, 40));
    record.note = sample.note;
    if (record.hasDiagram) {
        record.marks = sample.marks;
        record.lines = sample.arrows;
    }
    record.offline = true;

    const bool done = record.SaveToDB(true, false) && drain(requestWaitMs);
    return done || fail(QStringLiteral("the service did not take the questionnaire %1").arg(record.name));
}

bool DemoSeeder::addExam(Client *client, const DemoCatalogue::PastExam &sample, const QDate &today, int *scanSeed)
{
    const QDate day = today.addDays(-sample.daysAgo);
    const QString folder = client->getDataPath(true);
    QList<ScanFile> scans;
    QDateTime when(day, QTime(sample.hour, 5, 0));
    for (const DemoCatalogue::ZoneScan &zone : sample.scans) {
        QString error;
        when = when.addSecs(95);
        const QString jpg = m_scanner->scan(folder, zone.zone, when, zone.fatMm, zone.lines, zone.marks,
                                            (*scanSeed)++, &error);
        if (jpg.isEmpty())
            return fail(error);
        scans << ScanFile::createFromFilePath(jpg);
    }

    Exam exam;
    exam.idUser = client->web_id;
    exam.examDate = day;
    exam.weight = sample.weight;
    exam.height = sample.height;
    exam.activityLevel = sample.activityLevel;
    for (const ScanFile &scan : std::as_const(scans))
        exam.scanNames << scan.baseName;

    const bool done = m_store->queueExam(client->id, exam) && drain(uploadWaitMs);
    return done
           || fail(QStringLiteral("the service did not take the exam of %1 %2 on %3")
                       .arg(client->surname, client->name, day.toString(Qt::ISODate)));
}
