// The anamnesis page of the exam dialog, driven through its buttons, its list and the
// modal dialogs it opens, with a real store in a temporary folder and the reference
// web service on 127.0.0.1.
#include "TestMain.h"

#include "AnamnesisTestSupport.h"
#include "ReferenceService.h"
#include "ServiceSession.h"

#include "anamnesis/AnamnesiDlg.h"
#include "anamnesis/AnamnesisModelsRequest.h"
#include "anamnesis/AnamnesisTabWidget.h"
#include "anamnesis/AnamnesiWidget.h"
#include "app/AppSettings.h"
#include "cloud/HttpService.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

using namespace AnamnesisTest;

namespace {

// The service session of these tests, with a look into the store.
class ServiceCase : public ServiceSession
{
public:
    ServiceCase(const ReferenceService &service, int account)
        : ServiceSession(service, account)
    {
    }

    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query(store()->m_db);
        if (!query.exec(sql) || !query.first())
            return QVariant();
        return query.value(0);
    }

};

// One call of the service script, sent directly; returns the reply's data (empty on failure).
QJsonObject callService(const ReferenceService &service, int account, const QList<QPair<QString, QString>> &fields)
{
    QUrlQuery form;
    HttpService::addFormItem(form, QStringLiteral("idSender"), QString::number(account));
    for (const auto &field : fields)
        HttpService::addFormItem(form, field.first, field.second);
    const ReferenceService::Response response =
        service.request("POST", service.endpointUrl().path(), HttpService::encodeForm(form),
                        "application/x-www-form-urlencoded");
    const QJsonObject root = QJsonDocument::fromJson(response.body).object();
    if (root.value(QStringLiteral("status")).toObject().value(QStringLiteral("code")).toInt() != 200)
        return QJsonObject();
    return root.value(QStringLiteral("data")).toObject();
}

int serviceClient(const ReferenceService &service, int account, const QString &surname)
{
    const QJsonObject client{{"id", "0"},       {"surname", surname}, {"name", "Anna"},  {"sex", "F"},
                             {"birthday", "1990-02-03"}, {"address", ""}, {"city", ""}, {"province", ""},
                             {"zipcode", ""},   {"phone", ""},        {"email", ""},     {"height", "170"},
                             {"weight", "60"}};
    const QJsonObject data = callService(service, account,
                                         {{"action", "setUserData"},
                                          {"data", QString::fromUtf8(QJsonDocument(client).toJson())}});
    return data.value(QStringLiteral("id")).toInt();
}

int serviceAnamnesi(const ReferenceService &service, int account, int webIdClient, const Anamnesi &record)
{
    const QJsonObject data =
        callService(service, account,
                    {{"action", "uploadAnamnesi"},
                     {"idUser", QString::number(webIdClient)},
                     {"idAnamnesi", "0"},
                     {"data", QString::fromUtf8(QJsonDocument(record.getJsonObject()).toJson())}});
    return data.value(QStringLiteral("id")).toInt();
}

// The names of the anamnesis records the service holds for a client.
QStringList serviceAnamnesisNames(const ReferenceService &service, int account, int webIdClient)
{
    const QJsonObject data =
        callService(service, account, {{"action", "getUserAnamnesis"}, {"idUser", QString::number(webIdClient)}});
    QStringList names;
    for (const QJsonValue &value : data.value(QStringLiteral("anamnesis")).toArray())
        names << value.toObject().value(QStringLiteral("name")).toString();
    return names;
}

int requestsOf(const ReferenceService &service, const QString &kind)
{
    int n = 0;
    for (const QJsonValue &value : service.receivedRequests())
        n += value.toObject().value(QStringLiteral("kind")).toString() == kind ? 1 : 0;
    return n;
}

Anamnesi questionnaire(const char *model, int idClient, const QDateTime &date, const QString &firstAnswer)
{
    Anamnesi record;
    record.loadFromByteArray(model);
    record.idClient = idClient;
    record.date = date;
    if (!record.questions.isEmpty())
        record.questions[0].answer = firstAnswer;
    return record;
}

Anamnesi storedQuestionnaire(const char *model, int idClient, const QDateTime &date, const QString &firstAnswer)
{
    Anamnesi record = questionnaire(model, idClient, date, firstAnswer);
    record.SaveToDB(false, false);
    return record;
}

template <typename T>
T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

const QDateTime day1(QDate(2024, 1, 10), QTime(9, 0, 0));
const QDateTime day2(QDate(2024, 2, 20), QTime(10, 30, 0));
const QDateTime day3(QDate(2024, 3, 30), QTime(18, 45, 0));

}  // namespace

class AnamnesisTabTest : public QObject
{
    Q_OBJECT

private:
    ReferenceService m_service;
    std::unique_ptr<ServiceCase> m_case;
    std::unique_ptr<AnamnesisTabWidget> m_tab;

    AnamnesisTabWidget *showTab(const Client &client)
    {
        m_tab = std::make_unique<AnamnesisTabWidget>();
        m_tab->resize(1000, 620);
        m_tab->setClient(client);
        m_tab->show();
        if (!QTest::qWaitForWindowExposed(m_tab.get()))
            return nullptr;
        m_tab->refreshAnamnesis();
        return m_tab.get();
    }
    QComboBox *list() const { return child<QComboBox>(m_tab.get(), "cbAnamnesis"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(m_tab.get(), name); }
    AnamnesiWidget *form() const { return m_tab->anamnesiWidget(); }
    QLabel *noneLabel() const { return child<QLabel>(m_tab.get(), "lbNoAnamnesiMsg"); }
    int rows(const QString &where = QStringLiteral("1 = 1")) const
    {
        return m_case->scalar(QStringLiteral("select count(*) from anamnesis where ") + where).toInt();
    }

    // Answers the delete question with the given button and reports what it asked.
    void answerQuestion(QMessageBox::StandardButton choice, QString *title, QString *text)
    {
        whenModal<QMessageBox>([=](QMessageBox *box) {
            *title = box->windowTitle();
            *text = box->text();
            box->button(choice)->click();
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    }

    void init()
    {
        if (!m_service.isRunning())
            QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(m_service.resetHooks());
        static int account = 7100;
        m_case = std::make_unique<ServiceCase>(m_service, ++account);
        QVERIFY(writeModels());
    }

    void cleanup()
    {
        m_tab.reset();
        m_case.reset();
    }

    void clientWithoutAnamnesis()
    {
        const Client client = storedClient(QStringLiteral("Rossi"));
        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);

        QVERIFY(noneLabel()->isVisible());
        QCOMPARE(noneLabel()->text(), QStringLiteral("Nessuna anamnesi presente"));
        QCOMPARE(noneLabel()->styleSheet(), QStringLiteral("color: #006fff"));
        QVERIFY(noneLabel()->alignment() & Qt::AlignHCenter);
        QVERIFY(!form()->isVisible());
        QCOMPARE(list()->count(), 0);
        QVERIFY(list()->minimumWidth() >= 300);
        QVERIFY(!button("btAnamnesiEdit")->isEnabled());
        QVERIFY(!button("btAnamnesiDel")->isEnabled());
        QVERIFY(button("btAnamnesiAdd")->isEnabled());
        QVERIFY(!button("btAnamnesiRefresh")->isVisible());
        // No web id: the service has nothing to give back.
        QVERIFY(!button("btAnamnesiDownload")->isEnabled());
        QCOMPARE(button("btAnamnesiAdd")->toolTip(), QStringLiteral("Nuova Anamnesi"));
        QCOMPARE(button("btAnamnesiEdit")->toolTip(), QStringLiteral("Modifica Anamnesi"));
        QCOMPARE(button("btAnamnesiDel")->toolTip(), QStringLiteral("Elimina Anamnesi"));
        QCOMPARE(button("btAnamnesiDownload")->toolTip(), QStringLiteral("Riscarica lista anamnesi da cloud"));
        QVERIFY(!button("btAnamnesiAdd")->icon().isNull());
        QVERIFY(!button("btAnamnesiDownload")->icon().isNull());
        // The form is read-only with no model choice.
        QVERIFY(form()->readOnly);
        QVERIFY(!child<QComboBox>(form(), "cbModel")->isEnabled());

        Client known = client;
        known.web_id = 12;
        tab->setClient(known);
        QVERIFY(button("btAnamnesiDownload")->isEnabled());
    }

    void listAndReadOnlyView()
    {
        const Client client = storedClient(QStringLiteral("Bianchi"));
        const Client other = storedClient(QStringLiteral("Verdi"));
        const Anamnesi older = storedQuestionnaire(postureModel, client.id, day1, QStringLiteral("corsa"));
        const Anamnesi newest = storedQuestionnaire(generalModel, client.id, day3, QStringLiteral("Impiegata"));
        const Anamnesi middle = storedQuestionnaire(checkModel, client.id, day2, QStringLiteral("No"));
        storedQuestionnaire(generalModel, other.id, day2, QStringLiteral("altro cliente"));
        Anamnesi gone = storedQuestionnaire(generalModel, client.id, day2, QStringLiteral("cancellata"));
        QVERIFY(m_case->store()->runQuery(QStringLiteral("update anamnesis set deleted = 1 where id = ")
                                          + QString::number(gone.id)));

        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        QCOMPARE(itemTexts(list()), QStringList({"30/03/2024 - Anamnesi generale", "20/02/2024 - Controllo",
                                                 "10/01/2024 - Valutazione posturale"}));
        QVERIFY(list()->itemIcon(0).isNull());
        QVERIFY(form()->isVisible());
        QVERIFY(!noneLabel()->isVisible());

        // The newest is shown at once, read-only.
        QCOMPARE(list()->currentIndex(), 0);
        QCOMPARE(form()->current.id, newest.id);
        auto *answer = qobject_cast<QPlainTextEdit *>(form()->current.questions[0].editor.data());
        QVERIFY(answer);
        QCOMPARE(answer->toPlainText(), QStringLiteral("Impiegata"));
        QVERIFY(answer->isReadOnly());
        QVERIFY(button("btAnamnesiEdit")->isEnabled());
        QVERIFY(button("btAnamnesiDel")->isEnabled());
        QCOMPARE(tab->recordAt(1)->id, middle.id);
        QVERIFY(!tab->recordAt(3));

        // Choosing another item shows it.
        list()->setCurrentIndex(2);
        QCOMPARE(form()->current.id, older.id);
        QCOMPARE(form()->current.name, QStringLiteral("Valutazione posturale"));
        // The model chooser names the record's model, without starting a new record.
        QCOMPARE(child<QComboBox>(form(), "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QCOMPARE(form()->current.id, older.id);
        QVERIFY(child<QWidget>(form(), "imageDiagram")->isVisible());
        QVERIFY(!child<QLabel>(form(), "lbDiagramHint")->isVisible());
        QVERIFY(!form()->dirty);
    }

    void addThroughTheDialog()
    {
        // A client the service knows, so the new questionnaire is sent at once.
        Client client = storedClient(QStringLiteral("Gialli"));
        client.web_id = serviceClient(m_service, m_case->account(), QStringLiteral("Gialli"));
        QVERIFY(client.web_id > 0);
        client.offline = false;
        client.saveToDB(false, false);
        storedQuestionnaire(generalModel, client.id, day1, QStringLiteral("Cuoco"));

        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        QCOMPARE(list()->count(), 1);

        // Cancel adds nothing.
        bool seen = false;
        whenModal<AnamnesiDlg>([&seen](AnamnesiDlg *dlg) {
            seen = true;
            dlg->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
        });
        QTest::mouseClick(button("btAnamnesiAdd"), Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(list()->count(), 1);
        QCOMPARE(rows(), 1);

        QString model;
        whenModal<AnamnesiDlg>([&model](AnamnesiDlg *dlg) {
            AnamnesiWidget *widget = dlg->anamnesiWidget();
            model = widget->current.name;
            QTest::keyClicks(qobject_cast<QPlainTextEdit *>(widget->current.questions[0].editor.data()),
                             QStringLiteral("maratona"));
            dlg->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        QTest::mouseClick(button("btAnamnesiAdd"), Qt::LeftButton);
        QCOMPARE(model, QStringLiteral("Valutazione posturale"));  // the first model, new
        QCOMPARE(rows(), 2);
        QCOMPARE(list()->count(), 2);
        // Dated now, so it heads the list and is shown.
        QCOMPARE(list()->itemText(0),
                 QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" - Valutazione posturale"));
        QCOMPARE(form()->current.name, QStringLiteral("Valutazione posturale"));
        QCOMPARE(form()->current.idClient, client.id);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("maratona"));
        QVERIFY(form()->readOnly);

        // Sent to the service, which confirms it with a web id.
        const int id = form()->current.id;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return m_case->scalar(QStringLiteral("select web_id from anamnesis where offline = 0 and id = ")
                                      + QString::number(id))
                           .toInt()
                       > 0;
            },
            10000));
        QVERIFY(serviceAnamnesisNames(m_service, m_case->account(), client.web_id)
                    .contains(QStringLiteral("Valutazione posturale")));
    }

    void editReselectsTheRecord()
    {
        const Client client = storedClient(QStringLiteral("Neri"));
        storedQuestionnaire(generalModel, client.id, day3, QStringLiteral("Idraulico"));
        const Anamnesi target = storedQuestionnaire(postureModel, client.id, day2, QStringLiteral("nuoto"));
        storedQuestionnaire(checkModel, client.id, day1, QStringLiteral("Sì"));

        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        list()->setCurrentIndex(1);
        QCOMPARE(form()->current.id, target.id);

        // In the dialog: the record's model, fixed, and its answers; the date moves it last.
        QString shownAnswer;
        bool modelFixed = false;
        whenModal<AnamnesiDlg>([&](AnamnesiDlg *dlg) {
            AnamnesiWidget *widget = dlg->anamnesiWidget();
            modelFixed = !widget->findChild<QComboBox *>(QStringLiteral("cbModel"))->isEnabled();
            auto *edit = qobject_cast<QPlainTextEdit *>(widget->current.questions[0].editor.data());
            shownAnswer = edit->toPlainText();
            edit->setPlainText(QStringLiteral("pallanuoto"));
            widget->findChild<QDateTimeEdit *>(QStringLiteral("dateEdit"))
                ->setDateTime(QDateTime(QDate(2023, 12, 1), QTime(8, 0)));
            dlg->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        QTest::mouseClick(button("btAnamnesiEdit"), Qt::LeftButton);
        QCOMPARE(shownAnswer, QStringLiteral("nuoto"));
        QVERIFY(modelFixed);

        QCOMPARE(rows(), 3);
        QCOMPARE(itemTexts(list()), QStringList({"30/03/2024 - Anamnesi generale", "10/01/2024 - Controllo",
                                                 "01/12/2023 - Valutazione posturale"}));
        QCOMPARE(list()->currentIndex(), 2);
        QCOMPARE(form()->current.id, target.id);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("pallanuoto"));
        QVERIFY(button("btAnamnesiEdit")->isEnabled());
        Anamnesi stored;
        stored.loadFromDB(target.id, false);
        QCOMPARE(stored.questions[0].answer, QStringLiteral("pallanuoto"));
        QCOMPARE(stored.idClient, client.id);

        // Cancelling an edit changes nothing.
        whenModal<AnamnesiDlg>([](AnamnesiDlg *dlg) {
            auto *edit = qobject_cast<QPlainTextEdit *>(dlg->anamnesiWidget()->current.questions[0].editor.data());
            edit->setPlainText(QStringLiteral("scartato"));
            dlg->reject();
        });
        QTest::mouseClick(button("btAnamnesiEdit"), Qt::LeftButton);
        stored = Anamnesi();
        stored.loadFromDB(target.id, false);
        QCOMPARE(stored.questions[0].answer, QStringLiteral("pallanuoto"));
        QCOMPARE(list()->currentIndex(), 2);
    }

    void deleteLocalOnly()
    {
        const Client client = storedClient(QStringLiteral("Blu"));
        const Anamnesi first = storedQuestionnaire(generalModel, client.id, day2, QStringLiteral("Pittore"));
        const Anamnesi second = storedQuestionnaire(checkModel, client.id, day1, QStringLiteral("No"));
        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        QCOMPARE(form()->current.id, first.id);

        // Cancel keeps it.
        QString title;
        QString text;
        answerQuestion(QMessageBox::Cancel, &title, &text);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Elimina Anamnesi"));
        QCOMPARE(text, QStringLiteral("Eliminare l'anamnesi 'Anamnesi generale'?"));
        QCOMPARE(rows(), 2);
        QCOMPARE(list()->count(), 2);

        // Yes: never sent, so it simply goes, and the service is not asked.
        answerQuestion(QMessageBox::Yes, &title, &text);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(rows(), 1);
        QCOMPARE(rows(QStringLiteral("id = ") + QString::number(first.id)), 0);
        QCOMPARE(itemTexts(list()), QStringList({"10/01/2024 - Controllo"}));
        // The remaining one is shown and can be edited or deleted.
        QCOMPARE(form()->current.id, second.id);
        QVERIFY(button("btAnamnesiEdit")->isEnabled());
        QVERIFY(button("btAnamnesiDel")->isEnabled());
        QTest::qWait(200);
        QCOMPARE(requestsOf(m_service, QStringLiteral("deleteAnamnesi")), 0);
    }

    void deleteSynchronised()
    {
        Client client = storedClient(QStringLiteral("Viola"));
        client.web_id = serviceClient(m_service, m_case->account(), QStringLiteral("Viola"));
        QVERIFY(client.web_id > 0);
        client.offline = false;
        client.saveToDB(false, false);

        Anamnesi record = questionnaire(postureModel, client.id, day2, QStringLiteral("sci"));
        record.web_id = serviceAnamnesi(m_service, m_case->account(), client.web_id, record);
        QVERIFY(record.web_id > 0);
        record.offline = false;
        record.SaveToDB(false, false);
        QCOMPARE(serviceAnamnesisNames(m_service, m_case->account(), client.web_id),
                 QStringList({"Valutazione posturale"}));

        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        QCOMPARE(form()->current.web_id, record.web_id);

        QSignalSpy confirmed(m_case->http(), &HttpService::onUploadDeletedAnamnesiDone);
        QString title;
        QString text;
        answerQuestion(QMessageBox::Yes, &title, &text);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(text, QStringLiteral("Eliminare l'anamnesi 'Valutazione posturale'?"));
        QCOMPARE(list()->count(), 0);
        // Kept, marked deleted, until the service confirms; then gone here and there.
        QCOMPARE(rows(QStringLiteral("deleted = 1")), 1);
        QVERIFY(confirmed.wait(10000));
        QCOMPARE(confirmed.first().first().toInt(), record.web_id);
        QCOMPARE(rows(), 0);
        QVERIFY(serviceAnamnesisNames(m_service, m_case->account(), client.web_id).isEmpty());
    }

    void downloadFromTheService()
    {
        Client client = storedClient(QStringLiteral("Arancio"));
        client.web_id = serviceClient(m_service, m_case->account(), QStringLiteral("Arancio"));
        QVERIFY(client.web_id > 0);
        client.offline = false;
        client.saveToDB(false, false);
        QVERIFY(serviceAnamnesi(m_service, m_case->account(), client.web_id,
                                questionnaire(postureModel, 0, day1, QStringLiteral("golf")))
                > 0);
        QVERIFY(serviceAnamnesi(m_service, m_case->account(), client.web_id,
                                questionnaire(generalModel, 0, day3, QStringLiteral("Fornaio")))
                > 0);

        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        QVERIFY(noneLabel()->isVisible());
        QVERIFY(button("btAnamnesiDownload")->isEnabled());

        QTest::mouseClick(button("btAnamnesiDownload"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 2, 10000);
        QCOMPARE(itemTexts(list()),
                 QStringList({"30/03/2024 - Anamnesi generale", "10/01/2024 - Valutazione posturale"}));
        QVERIFY(form()->isVisible());
        QVERIFY(!noneLabel()->isVisible());
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("Fornaio"));
        QVERIFY(form()->current.web_id > 0);
        QCOMPARE(rows(QStringLiteral("offline = 0 and idClient = ") + QString::number(client.id)), 2);

        // Downloading again updates the same rows rather than adding copies.
        QSignalSpy got(m_case->http(), &HttpService::onGetAnamnesis);
        QTest::mouseClick(button("btAnamnesiDownload"), Qt::LeftButton);
        QVERIFY(got.wait(10000));
        QCOMPARE(rows(), 2);
        QCOMPARE(list()->count(), 2);
    }

    void lastRecordDeletedThenRebuilt()
    {
        const Client client = storedClient(QStringLiteral("Grigi"));
        storedQuestionnaire(checkModel, client.id, day1, QStringLiteral("Sì"));
        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);

        QString title;
        QString text;
        answerQuestion(QMessageBox::Yes, &title, &text);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(rows(), 0);
        QCOMPARE(list()->count(), 0);
        QCOMPARE(list()->currentIndex(), -1);
        QVERIFY(!button("btAnamnesiEdit")->isEnabled());
        QVERIFY(!button("btAnamnesiDel")->isEnabled());
        // Until the list is rebuilt the form keeps what it showed.
        QVERIFY(form()->isVisible());
        QCOMPARE(form()->current.name, QStringLiteral("Controllo"));

        tab->refreshAnamnesis();
        QVERIFY(noneLabel()->isVisible());
        QVERIFY(!form()->isVisible());
        QVERIFY(!button("btAnamnesiEdit")->isEnabled());
        QVERIFY(!button("btAnamnesiDel")->isEnabled());
    }

    void formOutlivesTheListCopies()
    {
        const Client client = storedClient(QStringLiteral("Marroni"));
        storedQuestionnaire(postureModel, client.id, day2, QStringLiteral("ciclismo"));
        AnamnesisTabWidget *tab = showTab(client);
        QVERIFY(tab);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("ciclismo"));

        // The records go away elsewhere; the rebuild frees every item copy.
        QVERIFY(m_case->store()->runQuery(QStringLiteral("delete from anamnesis")));
        tab->refreshAnamnesis();
        QCOMPARE(list()->count(), 0);
        QVERIFY(!tab->recordAt(0));

        // The form still holds its own copy, whole and usable.
        QCOMPARE(form()->current.name, QStringLiteral("Valutazione posturale"));
        QCOMPARE(form()->current.questions.size(), 4);
        auto *answer = qobject_cast<QPlainTextEdit *>(form()->current.questions[0].editor.data());
        QVERIFY(answer);
        QCOMPARE(answer->toPlainText(), QStringLiteral("ciclismo"));
        form()->load(&form()->current);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("ciclismo"));

        // Nothing is selected, so edit and delete do nothing (no dialog, no question).
        QVERIFY(!button("btAnamnesiEdit")->isEnabled());
        bool opened = false;
        whenModal<QDialog>(
            [&opened](QDialog *dialog) {
                opened = true;
                dialog->reject();
            },
            10);
        tab->editAnamnesi();
        tab->deleteAnamnesi();
        QTest::qWait(300);
        QVERIFY(!opened);

        // A rebuild that finds records again shows the first.
        storedQuestionnaire(generalModel, client.id, day3, QStringLiteral("Sarto"));
        tab->refreshAnamnesis();
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("Sarto"));
        QVERIFY(button("btAnamnesiEdit")->isEnabled());
    }

    void modelsRequestedOnceReachable()
    {
        // A fresh install: no models yet.
        QDir(modelsFolder()).removeRecursively();
        m_service.stop();
        m_case->renewHttp();
        QSignalSpy status(m_case->http(), &HttpService::onConnectionStatus);
        QPointer<AnamnesisModelsRequest> request = requestAnamnesisModelsWhenReachable(m_case->http());
        QVERIFY(request);
        QVERIFY(status.wait(10000));
        QCOMPARE(status.last().first().toBool(), false);
        QVERIFY(request);
        QVERIFY(!request->requested());

        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(QDir(modelsFolder()).entryList({"*.anm"}, QDir::Files).size() == 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!request, 2000);
        QCOMPARE(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 1);

        // The form offers them, the first in name order made new.
        AnamnesiWidget widget;
        QStringList names;
        auto *models = child<QComboBox>(&widget, "cbModel");
        for (int i = 0; i < models->count(); ++i)
            names << models->itemText(i);
        QCOMPARE(names, QStringList({"Anamnesi generale", "Composizione corporea", "Valutazione sportiva"}));
        QCOMPARE(widget.current.name, QStringLiteral("Anamnesi generale"));
        QVERIFY(!widget.current.questions.isEmpty());

        // Later probes do not ask again.
        status.clear();
        QVERIFY(status.wait(10000));
        QTest::qWait(100);
        QCOMPARE(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 1);
    }

    void modelsRequestedAtOnceWhenConnected()
    {
        QDir(modelsFolder()).removeRecursively();
        QSignalSpy status(m_case->http(), &HttpService::onConnectionStatus);
        QTRY_VERIFY_WITH_TIMEOUT(m_case->http()->m_connected, 10000);
        requestAnamnesisModelsWhenReachable(m_case->http());
        QTRY_COMPARE_WITH_TIMEOUT(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 1, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(modelsFolder() + QStringLiteral("Composizione_corporea.anm")), 10000);
        QVERIFY(!requestAnamnesisModelsWhenReachable(nullptr));
    }
};

CALVESTRA_TEST_MAIN(AnamnesisTabTest)
#include "tst_anamnesistab.moc"
