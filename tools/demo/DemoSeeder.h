#pragma once

#include "DemoCatalogue.h"

#include <QDate>
#include <QString>
#include <QTextStream>

#include <memory>

class DataModule;
class HttpService;
class Client;
class DemoScanner;

// Fills an empty demo profile and its service with the sample clients: each client is
// stored and sent, its questionnaires are filled from the service's models and sent, and
// its past exams are scanned on the simulated calvimetro and uploaded, the way the
// application itself does all of it. A profile whose store or service already holds
// clients is left alone.
class DemoSeeder
{
public:
    DemoSeeder(DataModule *store, HttpService *service, QTextStream &out);
    ~DemoSeeder();
    DemoSeeder(const DemoSeeder &) = delete;
    DemoSeeder &operator=(const DemoSeeder &) = delete;

    // False with the reason in error(); true also when there was nothing to do.
    bool run(const QDate &today);
    QString error() const { return m_error; }
    // True when the last run found clients already there.
    bool alreadySeeded() const { return m_alreadySeeded; }

private:
    bool serviceAnswers();
    bool serviceHasClients(bool *has);
    bool fetchModels(const QList<DemoCatalogue::SampleClient> &clients);
    bool addClient(const DemoCatalogue::SampleClient &sample, Client *client);
    bool sendClient(Client *client);
    // Sends what the outbox holds and waits until it is empty; false on a refusal or time-out.
    bool drain(int timeoutMs);
    bool addQuestionnaire(const Client &client, const DemoCatalogue::Questionnaire &sample, const QDate &today);
    bool addExam(Client *client, const DemoCatalogue::PastExam &sample, const QDate &today, int *scanSeed);
    bool fail(const QString &reason);
    QString modelsFolder() const;

    DataModule *m_store;
    HttpService *m_service;
    QTextStream &m_out;
    std::unique_ptr<DemoScanner> m_scanner;
    QString m_error;
    bool m_alreadySeeded = false;
};
