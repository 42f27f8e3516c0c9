#include "store/OutboxDescription.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

const QString dayFormat = QStringLiteral("yyyy.MM.dd");

struct ClientName
{
    QString text;
    int webId = 0;
    bool found = false;
};

ClientName clientName(const QSqlDatabase &db, int clientId)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select name, surname, web_id from clients where id = :id"));
    query.bindValue(QStringLiteral(":id"), clientId);
    if (!query.exec() || !query.first())
        return {};
    return {query.value(0).toString() + QLatin1Char(' ') + query.value(1).toString(), query.value(2).toInt(), true};
}

int sectionOrder(OutboxItem::Kind kind)
{
    switch (kind) {
    case OutboxItem::Kind::Client:
        return 0;
    case OutboxItem::Kind::ClientDeletion:
        return 1;
    case OutboxItem::Kind::Exam:
        return 2;
    case OutboxItem::Kind::Anamnesi:
        return 3;
    case OutboxItem::Kind::AnamnesiDeletion:
        return 4;
    }
    return 5;
}

}  // namespace

QString OutboxDescription::reasonText(int code, const QString &error)
{
    switch (code) {
    case 405:
        return tr("lo spazio web riservato è esaurito");
    case 404:
        return tr("il server non conosce il cliente");
    case 400:
        return tr("il server ha rifiutato i dati (%1)").arg(error);
    case 401:
    case 403:
        return tr("il token dell'account è stato rifiutato");
    case 429:
        return tr("troppe richieste, il server chiede di attendere");
    case -1:
        return tr("server non raggiungibile (%1)").arg(error);
    default:
        return error.isEmpty() ? tr("errore %1").arg(code) : error;
    }
}

QString OutboxDescription::stateText(const OutboxItem &item, bool waitsForClient, bool inFlight)
{
    if (inFlight)
        return tr("in invio");
    if (item.parked)
        return tr("rifiutato: %1").arg(reasonText(item.lastCode, item.lastError));
    if (waitsForClient)
        return tr("in attesa del cliente");
    if (item.failures > 0 && item.nextAttempt.isValid())
        return tr("nuovo tentativo alle %1 (%2)")
            .arg(item.nextAttempt.toString(QStringLiteral("hh:mm:ss")), reasonText(item.lastCode, item.lastError));
    return tr("in attesa");
}

QList<OutboxDescription::Line> OutboxDescription::lines(const Outbox &outbox, const QSqlDatabase &db,
                                                        qint64 inFlightId)
{
    QList<Line> result;
    const QList<OutboxItem> items = outbox.items();
    // A client's items usually come together: its name is read once.
    QHash<int, ClientName> owners;
    for (const OutboxItem &item : items) {
        Line line;
        line.item = item;
        auto known = owners.constFind(item.clientId);
        if (known == owners.cend())
            known = owners.insert(item.clientId, clientName(db, item.clientId));
        const ClientName &owner = *known;
        const QString payloadName = item.payload.value(QStringLiteral("name")).toString() + QLatin1Char(' ')
                                    + item.payload.value(QStringLiteral("surname")).toString();
        switch (item.kind) {
        case OutboxItem::Kind::Client:
            line.section = tr("Clienti");
            line.what = owner.text;
            break;
        case OutboxItem::Kind::ClientDeletion:
            line.section = tr("Clienti eliminati");
            line.what = payloadName.trimmed();
            break;
        case OutboxItem::Kind::Exam:
            line.section = tr("Esami");
            line.what = item.examDate.toString(dayFormat) + QLatin1Char(' ') + owner.text;
            line.waitsForClient = owner.found && owner.webId == 0;
            break;
        case OutboxItem::Kind::Anamnesi:
        case OutboxItem::Kind::AnamnesiDeletion: {
            const bool deletion = item.kind == OutboxItem::Kind::AnamnesiDeletion;
            line.section = deletion ? tr("Anamnesi eliminate") : tr("Anamnesi");
            QString name = item.payload.value(QStringLiteral("Name")).toString();
            QString date = QDateTime::fromString(item.payload.value(QStringLiteral("Date")).toString(),
                                                 QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                               .toString(dayFormat);
            if (!deletion) {
                QSqlQuery query(db);
                query.prepare(QStringLiteral("select name, anamnesiDate from anamnesis where id = :id"));
                query.bindValue(QStringLiteral(":id"), item.recordId);
                if (query.exec() && query.first()) {
                    name = query.value(0).toString();
                    date = query.value(1).toDate().toString(dayFormat);
                }
                line.waitsForClient = owner.found && owner.webId == 0;
            }
            line.what = date + QLatin1Char(' ') + name + QStringLiteral(" (") + owner.text + QLatin1Char(')');
            break;
        }
        }
        line.state = stateText(item, line.waitsForClient, item.id == inFlightId);
        result.append(line);
    }
    std::stable_sort(result.begin(), result.end(), [](const Line &a, const Line &b) {
        return sectionOrder(a.item.kind) < sectionOrder(b.item.kind);
    });
    return result;
}

QString OutboxDescription::describe(const Outbox &outbox, const QSqlDatabase &db, qint64 inFlightId)
{
    QString result;
    QString section;
    for (const Line &line : lines(outbox, db, inFlightId)) {
        if (line.section != section) {
            section = line.section;
            result += QLatin1Char('\n') + section + QStringLiteral(":\n");
        }
        result += line.what + QStringLiteral(" - ") + line.state + QLatin1Char('\n');
    }
    return result;
}
