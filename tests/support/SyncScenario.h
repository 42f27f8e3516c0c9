#pragma once

#include "ReferenceService.h"

#include <QDate>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <random>

class DataModule;
class OutboxSender;

// A seeded run of random work through the application's own classes (client editor
// saves, questionnaire saves, deletions, exams with scan files, downloads) against the
// reference service, while faults are injected: refused connections, 500s, time-outs,
// replies lost after the service committed, restarts, spells offline. Then the faults
// stop, the outbox drains, and the service and the local store must hold the same
// clients, questionnaires, exams and files: nothing lost, duplicated or resurrected.
class SyncScenario
{
public:
    struct Result
    {
        int operations = 0;
        int faults = 0;
        int divergences = 0;
        bool drained = false;
        QStringList findings;  // one line per divergence
    };

    // The service must be started with its test hooks; the scenario owns the store,
    // the service client and the sender (shared instances) while it runs.
    SyncScenario(ReferenceService &service, quint32 seed);
    ~SyncScenario();

    Result run(int operations, int drainTimeoutMs = 180000);

private:
    void createClient();
    void editClient();
    void deleteClient();
    void addAnamnesi();
    void editAnamnesi();
    void deleteAnamnesi();
    void addExam();
    void download();
    void injectFault();
    void goOffline();
    void letTimePass();

    void compare(Result &result, const QString &when);
    QJsonObject post(const QMap<QString, QString> &fields);
    QByteArray userFile(int webId, const QString &kind, const QString &name);
    int pick(int size) { return std::uniform_int_distribution<int>(0, size - 1)(m_random); }
    int someClient();

    ReferenceService &m_service;
    std::mt19937 m_random;
    QString m_dir;
    DataModule *m_store = nullptr;
    OutboxSender *m_sender = nullptr;
    int m_offlineOps = 0;
    int m_faults = 0;
    int m_fileCounter = 0;
    // Days an exam was queued for, per local client: the service must hold exactly these.
    QMap<int, QSet<QDate>> m_examDays;
    QSet<int> m_deletedWebIds;
};
