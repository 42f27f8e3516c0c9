#pragma once

#include "store/Outbox.h"

#include <QCoreApplication>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// The outbox as the operator reads it: what each item is (client, questionnaire, exam,
// deletion, with names and days) and where it stands.
class OutboxDescription
{
    Q_DECLARE_TR_FUNCTIONS(OutboxDescription)

public:
    struct Line
    {
        OutboxItem item;
        QString section;  // "Clienti", "Esami", ...
        QString what;
        QString state;
        bool waitsForClient = false;  // its client has not reached the service yet
    };

    // In the order of the sections, each in the order the items were queued. The item
    // in flight (inFlightId) says so.
    static QList<Line> lines(const Outbox &outbox, const QSqlDatabase &db, qint64 inFlightId = 0);
    // The sections as text, one line an item: the cloud button's tool tip.
    static QString describe(const Outbox &outbox, const QSqlDatabase &db, qint64 inFlightId = 0);
    static QString stateText(const OutboxItem &item, bool waitsForClient, bool inFlight);
    // The operator's words for a refusal or failure code.
    static QString reasonText(int code, const QString &error);
};
