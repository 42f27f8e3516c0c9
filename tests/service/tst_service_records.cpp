// Clients, anamnesis records and model files on the reference service: reply
// members with the JSON types the application reads, updates, deletions and the
// separation of accounts.
#include "ReferenceService.h"
#include "ServiceTestClient.h"
#include "TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonArray users(ServiceTestClient &client)
{
    return client.post(client.form(QStringLiteral("getUsers"))).data().value(QStringLiteral("users")).toArray();
}

QString anamnesiText(const QString &name, const QString &date, const QString &answer)
{
    const QJsonObject object{
        {QStringLiteral("Version"), 2},
        {QStringLiteral("Name"), name},
        {QStringLiteral("Date"), date},
        {QStringLiteral("Code"), QStringLiteral("AG-01")},
        {QStringLiteral("Note"), QStringLiteral("nota")},
        {QStringLiteral("Diagram"), QStringLiteral("body-diagram")},
        {QStringLiteral("DiagramDraw"),
         QJsonObject{{QStringLiteral("marks"), QJsonArray{QJsonObject{{QStringLiteral("x"), 10}, {QStringLiteral("y"), 20}}}},
                     {QStringLiteral("lines"), QJsonArray{}}}},
        {QStringLiteral("Questions"),
         QJsonArray{QJsonObject{{QStringLiteral("Type"), 0}, {QStringLiteral("Text"), QStringLiteral("Professione")},
                                {QStringLiteral("Answer"), answer}}}}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

ServiceTestClient::Reply uploadAnamnesi(ServiceTestClient &client, int idUser, int idAnamnesi, const QString &text)
{
    QUrlQuery q = client.form(QStringLiteral("uploadAnamnesi"));
    q.addQueryItem(QStringLiteral("idUser"), QString::number(idUser));
    q.addQueryItem(QStringLiteral("idAnamnesi"), QString::number(idAnamnesi));
    q.addQueryItem(QStringLiteral("data"), text);
    return client.post(q);
}

ServiceTestClient::Reply listAnamnesis(ServiceTestClient &client, int idUser)
{
    QUrlQuery q = client.form(QStringLiteral("getUserAnamnesis"));
    q.addQueryItem(QStringLiteral("idUser"), QString::number(idUser));
    return client.post(q);
}

ServiceTestClient::Reply withId(ServiceTestClient &client, const QString &action, const QString &field, int id)
{
    QUrlQuery q = client.form(action);
    q.addQueryItem(field, QString::number(id));
    return client.post(q);
}

}  // namespace

class TestServiceRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clientListCarriesEveryMemberAsText();
    void savingAClientReturnsItsNumericId();
    void unknownWebIdMakesANewClient();
    void badClientDataIsRefused();
    void deletingAClientRemovesItsRecords();
    void anamnesisRoundTrip();
    void anamnesisOfUnknownClientIsRefused();
    void accountsNeverSeeEachOther();
    void modelFilesAreListedAndServed();
    void modelFolderIsOnlyReadThroughSafeNames();
    void delayedModelDownload();

private:
    ReferenceService m_service;
};

void TestServiceRecords::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestServiceRecords::clientListCarriesEveryMemberAsText()
{
    ServiceTestClient client(m_service.endpointUrl(), 101);
    QList<int> ids;
    for (int i = 0; i < 7; ++i) {
        QJsonObject person = client.clientJson(QStringLiteral("Cognome%1").arg(i), QStringLiteral("Nome%1").arg(i));
        person.insert(QStringLiteral("height"), 170 + i + 0.5);
        person.insert(QStringLiteral("weight"), 60 + i);
        if (i == 3)
            person.insert(QStringLiteral("birthday"), QJsonValue::Null);
        ids << client.saveClient(person);
        QVERIFY(ids.last() > 0);
    }
    const QJsonArray list = users(client);
    QCOMPARE(list.size(), 7);
    const QStringList members{"id", "name", "surname", "birthday", "sex", "address", "city",
                              "province", "zipcode", "phone", "email", "height", "weight"};
    for (int i = 0; i < 7; ++i) {
        const QJsonObject user = list.at(i).toObject();
        for (const QString &member : members)
            QVERIFY2(user.value(member).isString(), qPrintable(member));
        QCOMPARE(user.value(QStringLiteral("id")).toString().toInt(), ids.at(i));
        QCOMPARE(user.value(QStringLiteral("surname")).toString(), QStringLiteral("Cognome%1").arg(i));
        QCOMPARE(user.value(QStringLiteral("height")).toString().toDouble(), 170 + i + 0.5);
        QCOMPARE(user.value(QStringLiteral("weight")).toString().toDouble(), double(60 + i));
        QCOMPARE(user.value(QStringLiteral("birthday")).toString(),
                 i == 3 ? QString() : QStringLiteral("1990-06-15"));
        QCOMPARE(user.value(QStringLiteral("sex")).toString(), QStringLiteral("F"));
        QCOMPARE(user.value(QStringLiteral("zipcode")).toString(), QStringLiteral("10100"));
    }
}

void TestServiceRecords::savingAClientReturnsItsNumericId()
{
    ServiceTestClient client(m_service.endpointUrl(), 102);
    QUrlQuery q = client.form(QStringLiteral("setUserData"));
    q.addQueryItem(QStringLiteral("data"), QString::fromUtf8(QJsonDocument(client.clientJson(
        QStringLiteral("Neri"), QStringLiteral("Paolo"))).toJson(QJsonDocument::Indented)));
    const auto created = client.post(q);
    QCOMPARE(created.code(), 200);
    QVERIFY(created.data().value(QStringLiteral("id")).isDouble());
    const int id = created.data().value(QStringLiteral("id")).toInt();
    QVERIFY(id > 0);

    // Sent again with its web id: the same client changes, no new one appears.
    QJsonObject changed = client.clientJson(QStringLiteral("Neri"), QStringLiteral("Paolo Maria"), id);
    changed.insert(QStringLiteral("weight"), 80.25);
    QCOMPARE(client.saveClient(changed), id);
    const QJsonArray list = users(client);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Paolo Maria"));
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("weight")).toString(), QStringLiteral("80.25"));
}

void TestServiceRecords::unknownWebIdMakesANewClient()
{
    ServiceTestClient client(m_service.endpointUrl(), 103);
    const int id = client.saveClient(client.clientJson(QStringLiteral("Fantasma"), QStringLiteral("Web"), 987654));
    QVERIFY(id > 0);
    QVERIFY(id != 987654);
    QCOMPARE(users(client).size(), 1);
}

void TestServiceRecords::badClientDataIsRefused()
{
    ServiceTestClient client(m_service.endpointUrl(), 104);
    QJsonObject wrongHeight = client.clientJson(QStringLiteral("A"), QStringLiteral("B"));
    wrongHeight.insert(QStringLiteral("height"), QJsonObject{});
    QJsonObject wrongDate = client.clientJson(QStringLiteral("A"), QStringLiteral("B"));
    wrongDate.insert(QStringLiteral("birthday"), QStringLiteral("1990-13-40"));
    QJsonObject wrongName = client.clientJson(QStringLiteral("A"), QStringLiteral("B"));
    wrongName.insert(QStringLiteral("name"), QJsonArray{1, 2});
    const QStringList bodies{QStringLiteral("not json"), QStringLiteral("[1,2]"),
                             QString::fromUtf8(QJsonDocument(wrongHeight).toJson()),
                             QString::fromUtf8(QJsonDocument(wrongDate).toJson()),
                             QString::fromUtf8(QJsonDocument(wrongName).toJson())};
    for (const QString &body : bodies) {
        QUrlQuery q = client.form(QStringLiteral("setUserData"));
        q.addQueryItem(QStringLiteral("data"), body);
        const auto reply = client.post(q);
        QCOMPARE(reply.error, QNetworkReply::NoError);
        QCOMPARE(reply.code(), 400);
        QVERIFY(!reply.extradescr().isEmpty());
    }
    QCOMPARE(users(client).size(), 0);
}

void TestServiceRecords::deletingAClientRemovesItsRecords()
{
    ServiceTestClient client(m_service.endpointUrl(), 105);
    const int keep = client.saveClient(client.clientJson(QStringLiteral("Resta"), QStringLiteral("Qui")));
    const int gone = client.saveClient(client.clientJson(QStringLiteral("Va"), QStringLiteral("Via")));
    QCOMPARE(uploadAnamnesi(client, gone, 0, anamnesiText(QStringLiteral("A"), QStringLiteral("2024-01-05 10:00:00"), {})).code(), 200);

    const auto deleted = withId(client, QStringLiteral("deleteUser"), QStringLiteral("idUser"), gone);
    QCOMPARE(deleted.code(), 200);
    QCOMPARE(deleted.data().value(QStringLiteral("deleted")).toBool(), true);
    const QJsonArray list = users(client);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("id")).toString(), QString::number(keep));
    QCOMPARE(listAnamnesis(client, gone).code(), 404);

    // Deleting what is not there (already gone, never sent) is not an error.
    for (const int id : {gone, 0}) {
        const auto again = withId(client, QStringLiteral("deleteUser"), QStringLiteral("idUser"), id);
        QCOMPARE(again.code(), 200);
        QCOMPARE(again.data().value(QStringLiteral("deleted")).toBool(), false);
    }
    QCOMPARE(users(client).size(), 1);
}

void TestServiceRecords::anamnesisRoundTrip()
{
    ServiceTestClient client(m_service.endpointUrl(), 106);
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("Gialli"), QStringLiteral("Sara")));
    const QString older = anamnesiText(QStringLiteral("Anamnesi generale"), QStringLiteral("2024-01-05 09:30:15"),
                                       QStringLiteral("Impiegata"));
    const QString newer = anamnesiText(QStringLiteral("Composizione corporea"), QStringLiteral("2024-03-01 18:00:00"),
                                       QStringLiteral("Insegnante + coach"));
    const auto first = uploadAnamnesi(client, idUser, 0, older);
    QCOMPARE(first.code(), 200);
    QVERIFY(first.data().value(QStringLiteral("id")).isDouble());
    const int firstId = first.data().value(QStringLiteral("id")).toInt();
    const int secondId = uploadAnamnesi(client, idUser, 0, newer).data().value(QStringLiteral("id")).toInt();
    QVERIFY(firstId > 0 && secondId > 0 && firstId != secondId);

    auto list = listAnamnesis(client, idUser);
    QCOMPARE(list.code(), 200);
    QJsonArray items = list.data().value(QStringLiteral("anamnesis")).toArray();
    QCOMPARE(items.size(), 2);
    for (const QJsonValue &item : items) {
        const QJsonObject a = item.toObject();
        QVERIFY(a.value(QStringLiteral("id")).isDouble());
        QVERIFY(a.value(QStringLiteral("idUser")).isDouble());
        QVERIFY(a.value(QStringLiteral("name")).isString());
        QVERIFY(a.value(QStringLiteral("anamnesiDate")).isString());
        QVERIFY(a.value(QStringLiteral("object")).isString());
        QCOMPARE(a.value(QStringLiteral("idUser")).toInt(), idUser);
    }
    // Newest first; the questionnaire's text comes back exactly as it was sent.
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("id")).toInt(), secondId);
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Composizione corporea"));
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("anamnesiDate")).toString(), QStringLiteral("2024-03-01 18:00:00"));
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("object")).toString(), newer);
    QCOMPARE(items.at(1).toObject().value(QStringLiteral("object")).toString(), older);

    // Sent again with its web id: replaced, not added.
    const QString edited = anamnesiText(QStringLiteral("Anamnesi generale"), QStringLiteral("2024-01-05 09:30:15"),
                                        QStringLiteral("Dirigente"));
    QCOMPARE(uploadAnamnesi(client, idUser, firstId, edited).data().value(QStringLiteral("id")).toInt(), firstId);
    items = listAnamnesis(client, idUser).data().value(QStringLiteral("anamnesis")).toArray();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(1).toObject().value(QStringLiteral("object")).toString(), edited);

    const auto deleted = withId(client, QStringLiteral("deleteAnamnesi"), QStringLiteral("idAnamnesi"), firstId);
    QCOMPARE(deleted.code(), 200);
    QCOMPARE(deleted.data().value(QStringLiteral("deleted")).toBool(), true);
    items = listAnamnesis(client, idUser).data().value(QStringLiteral("anamnesis")).toArray();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.at(0).toObject().value(QStringLiteral("id")).toInt(), secondId);
    // A repeated deletion finds nothing and still succeeds.
    QCOMPARE(withId(client, QStringLiteral("deleteAnamnesi"), QStringLiteral("idAnamnesi"), firstId).code(), 200);

    // A client without records lists none.
    const int other = client.saveClient(client.clientJson(QStringLiteral("Senza"), QStringLiteral("Anamnesi")));
    const auto empty = listAnamnesis(client, other);
    QCOMPARE(empty.code(), 200);
    QVERIFY(empty.data().value(QStringLiteral("anamnesis")).isArray());
    QCOMPARE(empty.data().value(QStringLiteral("anamnesis")).toArray().size(), 0);
}

void TestServiceRecords::anamnesisOfUnknownClientIsRefused()
{
    ServiceTestClient client(m_service.endpointUrl(), 107);
    const QString text = anamnesiText(QStringLiteral("X"), QStringLiteral("2024-01-01 00:00:00"), {});
    for (const int idUser : {0, 555555}) {
        const auto reply = uploadAnamnesi(client, idUser, 0, text);
        QCOMPARE(reply.code(), 404);
        QCOMPARE(listAnamnesis(client, idUser).code(), 404);
    }
    const int idUser = client.saveClient(client.clientJson(QStringLiteral("A"), QStringLiteral("B")));
    QCOMPARE(uploadAnamnesi(client, idUser, 0, QStringLiteral("{broken")).code(), 400);
    QCOMPARE(listAnamnesis(client, idUser).data().value(QStringLiteral("anamnesis")).toArray().size(), 0);
}

void TestServiceRecords::accountsNeverSeeEachOther()
{
    ServiceTestClient a(m_service.endpointUrl(), 201);
    ServiceTestClient b(m_service.endpointUrl(), 202);
    const QJsonObject original = a.clientJson(QStringLiteral("Privato"), QStringLiteral("Alfa"));
    const int clientA = a.saveClient(original);
    const QString textA = anamnesiText(QStringLiteral("Segreta"), QStringLiteral("2024-02-02 10:00:00"), QStringLiteral("A"));
    const int anamnesiA = uploadAnamnesi(a, clientA, 0, textA).data().value(QStringLiteral("id")).toInt();
    QVERIFY(clientA > 0 && anamnesiA > 0);

    // B lists nothing of A's and cannot read A's questionnaires.
    QCOMPARE(users(b).size(), 0);
    QCOMPARE(listAnamnesis(b, clientA).code(), 404);

    // B sending A's client id makes a client of B's own; A's stays as it was.
    const int clientB = b.saveClient(b.clientJson(QStringLiteral("Intruso"), QStringLiteral("Beta"), clientA));
    QVERIFY(clientB > 0 && clientB != clientA);
    QCOMPARE(users(a).at(0).toObject().value(QStringLiteral("surname")).toString(), QStringLiteral("Privato"));

    // B cannot attach records to A's client, overwrite A's record or delete either.
    QCOMPARE(uploadAnamnesi(b, clientA, 0, textA).code(), 404);
    const auto overwrite = uploadAnamnesi(b, clientB, anamnesiA,
                                          anamnesiText(QStringLiteral("Falsa"), QStringLiteral("2024-02-02 10:00:00"), {}));
    QCOMPARE(overwrite.code(), 200);
    QVERIFY(overwrite.data().value(QStringLiteral("id")).toInt() != anamnesiA);
    QCOMPARE(withId(b, QStringLiteral("deleteAnamnesi"), QStringLiteral("idAnamnesi"), anamnesiA)
                 .data().value(QStringLiteral("deleted")).toBool(), false);
    QCOMPARE(withId(b, QStringLiteral("deleteUser"), QStringLiteral("idUser"), clientA)
                 .data().value(QStringLiteral("deleted")).toBool(), false);

    const QJsonArray stillA = listAnamnesis(a, clientA).data().value(QStringLiteral("anamnesis")).toArray();
    QCOMPARE(stillA.size(), 1);
    QCOMPARE(stillA.at(0).toObject().value(QStringLiteral("object")).toString(), textA);
    QCOMPARE(users(a).size(), 1);
    QCOMPARE(users(b).size(), 1);
}

void TestServiceRecords::modelFilesAreListedAndServed()
{
    ServiceTestClient client(m_service.endpointUrl(), 301);
    const auto reply = client.post(client.form(QStringLiteral("getAnamnesiModels")));
    QCOMPARE(reply.code(), 200);
    const QJsonArray files = reply.data().value(QStringLiteral("files")).toArray();
    QVERIFY(files.size() >= 2 && files.size() <= 3);
    int withDiagram = 0;
    for (const QJsonValue &value : files) {
        QVERIFY(value.isString());
        const QUrl url(value.toString());
        QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
        QCOMPARE(url.port(), int(m_service.port()));
        QVERIFY(url.fileName().endsWith(QStringLiteral(".anm")));
        const auto file = client.get(url);
        QCOMPARE(file.httpStatus, 200);
        QJsonParseError error;
        const QJsonObject model = QJsonDocument::fromJson(file.body, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(model.value(QStringLiteral("Version")).toInt(), 2);
        QVERIFY(!model.value(QStringLiteral("Name")).toString().isEmpty());
        const QString diagram = model.value(QStringLiteral("Diagram")).toString();
        if (!diagram.isEmpty() && diagram != QStringLiteral("NO")) {
            ++withDiagram;
            QVERIFY(model.value(QStringLiteral("DiagramDraw")).isObject());
        }
        const QJsonArray questions = model.value(QStringLiteral("Questions")).toArray();
        QVERIFY(questions.size() >= 5);
        for (const QJsonValue &q : questions) {
            const QJsonObject question = q.toObject();
            const int type = question.value(QStringLiteral("Type")).toInt(-1);
            QVERIFY(type >= 0 && type <= 2);
            QVERIFY(!question.value(QStringLiteral("Text")).toString().isEmpty());
            QCOMPARE(question.value(QStringLiteral("Answer")).toString(), QString());
            if (type == 1)
                QVERIFY(question.value(QStringLiteral("Decimals")).isDouble());
            if (type == 2)
                QVERIFY(question.value(QStringLiteral("Options")).toString().contains(QLatin1Char(',')));
        }
    }
    QCOMPARE(withDiagram, 1);
    // The seeded copies are the ones in the data folder.
    QCOMPARE(QDir(m_service.dataDir() + QStringLiteral("/models")).entryList({QStringLiteral("*.anm")}).size(),
             files.size());
}

void TestServiceRecords::modelFolderIsOnlyReadThroughSafeNames()
{
    ServiceTestClient client(m_service.endpointUrl(), 302);
    const QString models = m_service.dataDir() + QStringLiteral("/models");
    QFile extra(models + QStringLiteral("/Questionario extra.anm"));
    QVERIFY(extra.open(QIODevice::WriteOnly));
    extra.write("{\"Version\":2,\"Name\":\"Extra\",\"Questions\":[]}");
    extra.close();
    QVERIFY(QFile::link(m_service.dataDir() + QStringLiteral("/service.db"), models + QStringLiteral("/link.anm")));
    QFile notModel(models + QStringLiteral("/readme.txt"));
    QVERIFY(notModel.open(QIODevice::WriteOnly));
    notModel.close();

    const QJsonArray files = client.post(client.form(QStringLiteral("getAnamnesiModels")))
                                 .data().value(QStringLiteral("files")).toArray();
    QStringList names;
    for (const QJsonValue &value : files)
        names << QUrl(value.toString()).fileName();
    QVERIFY(names.contains(QStringLiteral("Questionario extra.anm")));
    QVERIFY(!names.contains(QStringLiteral("link.anm")));
    QVERIFY(!names.contains(QStringLiteral("readme.txt")));
    const QString extraUrl = files.at(names.indexOf(QStringLiteral("Questionario extra.anm"))).toString();
    QVERIFY(extraUrl.contains(QStringLiteral("Questionario%20extra.anm")));
    QCOMPARE(client.get(QUrl(extraUrl)).body, QByteArray("{\"Version\":2,\"Name\":\"Extra\",\"Questions\":[]}"));

    // Nothing outside the models folder, nor a link inside it, is served.
    for (const QString &path : {QStringLiteral("/Apps/Movelta/models/link.anm"),
                                QStringLiteral("/Apps/Movelta/models/..%2Fservice.db"),
                                QStringLiteral("/Apps/Movelta/models/%2E%2E/service.db"),
                                QStringLiteral("/Apps/Movelta/models/readme.txt")}) {
        const auto reply = m_service.request("GET", path);
        QVERIFY2(reply.status == 404 || reply.status == 400, qPrintable(path));
        QVERIFY(!reply.body.startsWith("SQLite"));
    }
    QFile::remove(models + QStringLiteral("/link.anm"));
    QFile::remove(models + QStringLiteral("/readme.txt"));
    QFile::remove(extra.fileName());
}

void TestServiceRecords::delayedModelDownload()
{
    m_service.setDelayMs(400);
    QVERIFY(m_service.restart());
    ServiceTestClient client(m_service.endpointUrl(), 303);
    const QJsonArray files = client.post(client.form(QStringLiteral("getAnamnesiModels")))
                                 .data().value(QStringLiteral("files")).toArray();
    QVERIFY(!files.isEmpty());
    const auto file = client.get(QUrl(files.at(0).toString()));
    QCOMPARE(file.httpStatus, 200);
    // The delay is a floor the service sleeps through, not a speed measurement.
    QVERIFY2(file.elapsedMs >= 380, qPrintable(QString::number(file.elapsedMs)));
    m_service.setDelayMs(0);
    QVERIFY(m_service.restart());
}

CALVESTRA_TEST_MAIN(TestServiceRecords)
#include "tst_service_records.moc"
