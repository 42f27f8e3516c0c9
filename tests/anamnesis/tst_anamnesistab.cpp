// The anamnesis page of the exam dialog, driven through its buttons, its list and the
// modal dialogs it opens, with a real store in a temporary folder and the reference web
// service on 127.0.0.1 reached through the application's own client.
#include "TestMain.h"

#include "AnamnesisTestSupport.h"
#include "tests/app/AppTestSupport.h"
#include "ServiceSession.h"

#include "anamnesis/AnamnesiDlg.h"
#include "anamnesis/AnamnesisModelsRequest.h"
#include "anamnesis/AnamnesisTabWidget.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>
#include <tuple>

using namespace AnamnesisTest;

namespace {

const QDateTime day1(QDate(2024, 1, 10), QTime(9, 0, 0));
const QDateTime day2(QDate(2024, 2, 20), QTime(10, 30, 0));
const QDateTime day3(QDate(2024, 3, 30), QTime(18, 45, 0));

QStringList items(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

int requestsOf(const ReferenceService &service, const QString &kind)
{
    int n = 0;
    for (const QJsonValue &value : service.receivedRequests())
        n += value.toObject().value(QStringLiteral("kind")).toString() == kind ? 1 : 0;
    return n;
}

// Runs `action` on the dialog the next click opens, then clicks its Ok or Cancel.
void inDialog(const std::function<void(AnamnesiWidget *)> &action, QDialogButtonBox::StandardButton button)
{
    whenModal([=](QWidget *modal) {
        auto *dlg = qobject_cast<AnamnesiDlg *>(modal);
        QVERIFY(dlg);
        action(dlg->anamnesiWidget());
        QTest::mouseClick(dlg->findChild<QDialogButtonBox *>()->button(button), Qt::LeftButton);
    });
}

}  // namespace

class AnamnesisTabTest : public QObject
{
    Q_OBJECT

private:
    ReferenceService m_service;
    std::unique_ptr<ServiceSession> m_session;
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
    QLabel *none() const { return child<QLabel>(m_tab.get(), "lbNoAnamnesiMsg"); }
    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query(m_session->store()->m_db);
        return query.exec(sql) && query.first() ? query.value(0) : QVariant();
    }
    int rows(const QString &where = QStringLiteral("1 = 1")) const
    {
        return scalar(QStringLiteral("select count(*) from anamnesis where ") + where).toInt();
    }
    // A client stored here and sent to the service, which gives it its web id.
    Client syncedClient(const QString &surname)
    {
        Client client = storedClient(surname);
        QSignalSpy done(m_session->http(), &HttpService::onUploadClientDone);
        m_session->http()->saveClient(&client);
        if (done.wait(10000))
            client.loadFromDB(client.id);
        return client;
    }

private slots:
    void initTestCase() { QVERIFY2(m_service.start(), qPrintable(m_service.errorString())); }
    void init()
    {
        if (!m_service.isRunning())
            QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(m_service.resetHooks());
        static int account = 7100;
        m_session = std::make_unique<ServiceSession>(m_service, ++account);
        QVERIFY(writeModels());
    }
    void cleanup()
    {
        m_tab.reset();
        m_session.reset();
    }

    void listAndReadOnlyView()
    {
        const Client client = storedClient(QStringLiteral("Bianchi"));
        QVERIFY(showTab(client));
        QVERIFY(none()->isVisible());
        QVERIFY(!form()->isVisible());
        QVERIFY(button("btAnamnesiAdd")->isEnabled());
        for (const char *name : {"btAnamnesiEdit", "btAnamnesiDel", "btAnamnesiDownload"})
            QVERIFY2(!button(name)->isEnabled(), name);  // no web id: nothing to download
        Client known = client;
        known.web_id = 12;
        m_tab->setClient(known);
        QVERIFY(button("btAnamnesiDownload")->isEnabled());
        m_tab->setClient(client);

        // The client's records, newest first, without deleted ones or another client's.
        Anamnesi older = questionnaire(postureModel, client.id, day1, QStringLiteral("corsa"));
        Anamnesi newest = questionnaire(generalModel, client.id, day3, QStringLiteral("Impiegata"));
        Anamnesi middle = questionnaire(checkModel, client.id, day2, QStringLiteral("No"));
        Anamnesi other = questionnaire(generalModel, storedClient(QStringLiteral("Verdi")).id, day2, QStringLiteral("x"));
        Anamnesi gone = questionnaire(generalModel, client.id, day2, QStringLiteral("cancellata"));
        for (Anamnesi *record : {&older, &newest, &middle, &other, &gone})
            record->SaveToDB(false, false);
        QVERIFY(m_session->store()->runQuery(QStringLiteral("update anamnesis set deleted = 1 where id = %1").arg(gone.id)));
        m_tab->refreshAnamnesis();
        QCOMPARE(items(list()), QStringList({"30/03/2024 - Anamnesi generale", "20/02/2024 - Controllo",
                                             "10/01/2024 - Valutazione posturale"}));
        QVERIFY(!none()->isVisible());
        // The newest is shown at once, read-only; choosing another shows it, with its model
        // named by the chooser but not started anew.
        QCOMPARE(form()->current.id, newest.id);
        QVERIFY(form()->readOnly);
        QVERIFY(qobject_cast<QPlainTextEdit *>(form()->current.questions[0].editor.data())->isReadOnly());
        QVERIFY(button("btAnamnesiEdit")->isEnabled() && button("btAnamnesiDel")->isEnabled());
        list()->setCurrentIndex(2);
        QCOMPARE(form()->current.id, older.id);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("corsa"));
        QCOMPARE(child<QComboBox>(form(), "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QVERIFY(!child<QComboBox>(form(), "cbModel")->isEnabled());
        QVERIFY(child<QWidget>(form(), "imageDiagram")->isVisible());
        QVERIFY(!child<QLabel>(form(), "lbDiagramHint")->isVisible());

        // The records go away elsewhere: the rebuild frees the list's copies, the form keeps
        // its own, and with nothing selected edit and delete open nothing.
        QVERIFY(m_session->store()->runQuery(QStringLiteral("delete from anamnesis")));
        m_tab->refreshAnamnesis();
        QVERIFY(!m_tab->recordAt(0));
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("corsa"));
        form()->load(&form()->current);
        QCOMPARE(qobject_cast<QPlainTextEdit *>(form()->current.questions[0].editor.data())->toPlainText(),
                 QStringLiteral("corsa"));
        QVERIFY(none()->isVisible());
        QVERIFY(!form()->isVisible());
        QVERIFY(!button("btAnamnesiEdit")->isEnabled() && !button("btAnamnesiDel")->isEnabled());
        // A modal dialog would run its own event loop inside the calls, and this close it.
        auto opened = std::make_shared<bool>(false);
        QTimer::singleShot(0, m_tab.get(), [opened] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                *opened = true;
                modal->close();
            }
        });
        m_tab->editAnamnesi();
        m_tab->deleteAnamnesi();
        QVERIFY(!*opened);
    }

    void addEditAndDelete()
    {
        const Client client = syncedClient(QStringLiteral("Gialli"));
        QVERIFY(client.web_id > 0);
        Anamnesi local = questionnaire(checkModel, client.id, day1, QStringLiteral("No"));  // never sent
        local.SaveToDB(false, false);
        QVERIFY(showTab(client));

        inDialog([](AnamnesiWidget *) {}, QDialogButtonBox::Cancel);
        QTest::mouseClick(button("btAnamnesiAdd"), Qt::LeftButton);
        QCOMPARE(rows(), 1);
        // Another model than the first replaces the record, client included; Ok stores it for
        // this client and sends it.
        QSignalSpy uploaded(m_session->http(), &HttpService::onUploadAnamnesiDone);
        inDialog([](AnamnesiWidget *widget) {
            child<QComboBox>(widget, "cbModel")->setCurrentIndex(1);
            QTest::keyClicks(qobject_cast<QPlainTextEdit *>(widget->current.questions[0].editor.data()), "Impiegata");
        }, QDialogButtonBox::Ok);
        QTest::mouseClick(button("btAnamnesiAdd"), Qt::LeftButton);
        QCOMPARE(items(list()), QStringList({QDate::currentDate().toString("dd/MM/yyyy") + " - Anamnesi generale",
                                             "10/01/2024 - Controllo"}));
        const int id = form()->current.id;
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("Impiegata"));
        QCOMPARE(scalar(QStringLiteral("select idClient from anamnesis where id = %1").arg(id)).toInt(), client.id);
        QVERIFY(uploaded.wait(10000));
        const int webId = scalar(QStringLiteral("select web_id from anamnesis where offline = 0 and id = %1").arg(id)).toInt();
        QVERIFY(webId > 0);

        // Shown again (as the exam dialog does), then edited with the model fixed; the new
        // date moves it last. The service fails the upload: the change stays pending.
        m_tab->refreshAnamnesis();
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadAnamnesi")));
        QSignalSpy failed(m_session->http(), &HttpService::onUploadAnamnesiFail);
        QString shown;
        inDialog([&shown](AnamnesiWidget *widget) {
            QVERIFY(!child<QComboBox>(widget, "cbModel")->isEnabled());
            auto *edit = qobject_cast<QPlainTextEdit *>(widget->current.questions[0].editor.data());
            shown = edit->toPlainText();
            edit->setPlainText(QStringLiteral("Pittrice"));
            child<QDateTimeEdit>(widget, "dateEdit")->setDateTime(QDateTime(QDate(2023, 12, 1), QTime(8, 0)));
        }, QDialogButtonBox::Ok);
        QTest::mouseClick(button("btAnamnesiEdit"), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Impiegata"));
        QCOMPARE(list()->currentIndex(), 1);
        QCOMPARE(form()->current.id, id);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("Pittrice"));
        QVERIFY(failed.wait(10000));
        QCOMPARE(rows(QStringLiteral("offline = 1 and web_id = %1 and id = %2").arg(webId).arg(id)), 1);
        // Cancelling an edit changes nothing.
        inDialog([](AnamnesiWidget *widget) {
            qobject_cast<QPlainTextEdit *>(widget->current.questions[0].editor.data())->setPlainText("scartato");
        }, QDialogButtonBox::Cancel);
        QTest::mouseClick(button("btAnamnesiEdit"), Qt::LeftButton);
        Anamnesi stored;
        stored.loadFromDB(id, false);
        QCOMPARE(stored.questions[0].answer, QStringLiteral("Pittrice"));

        // Deleting asks first. Never sent: gone at once. Sent: marked until the service
        // confirms, then gone here and there.
        list()->setCurrentIndex(0);
        QCOMPARE(form()->current.id, local.id);
        MessageBoxAnswerer cancel(QMessageBox::Cancel);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(cancel.text(), QStringLiteral("Eliminare l'anamnesi 'Controllo'?"));
        QCOMPARE(rows(), 2);
        MessageBoxAnswerer yes(QMessageBox::Yes);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(rows(), 1);
        QCOMPARE(form()->current.id, id);  // the remaining one is shown
        QSignalSpy deleted(m_session->http(), &HttpService::onUploadDeletedAnamnesiDone);
        MessageBoxAnswerer yesAgain(QMessageBox::Yes);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QVERIFY(yesAgain.seen());
        QCOMPARE(list()->count(), 0);
        QCOMPARE(rows(QStringLiteral("deleted = 1")), 1);
        QVERIFY(deleted.wait(10000));
        QCOMPARE(deleted.first().first().toInt(), webId);
        QCOMPARE(rows(), 0);
        QCOMPARE(requestsOf(m_service, QStringLiteral("deleteAnamnesi")), 1);
    }

    void downloadFromTheService()
    {
        const Client client = syncedClient(QStringLiteral("Arancio"));
        QVERIFY(client.web_id > 0);
        QSignalSpy uploaded(m_session->http(), &HttpService::onUploadAnamnesiDone);
        for (auto [model, date, answer] : {std::tuple{postureModel, day1, "golf"}, {generalModel, day3, "Fornaio"}}) {
            Anamnesi record = questionnaire(model, client.id, date, QString::fromUtf8(answer));
            record.SaveToDB(true, false);
            QVERIFY(uploaded.wait(10000));
        }
        QVERIFY(m_session->store()->runQuery(QStringLiteral("delete from anamnesis")));
        QVERIFY(showTab(client));
        QVERIFY(none()->isVisible());

        QTest::mouseClick(button("btAnamnesiDownload"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 2, 10000);
        QCOMPARE(items(list()), QStringList({"30/03/2024 - Anamnesi generale", "10/01/2024 - Valutazione posturale"}));
        QVERIFY(form()->isVisible());
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("Fornaio"));
        QCOMPARE(rows(QStringLiteral("offline = 0 and web_id > 0 and idClient = %1").arg(client.id)), 2);
        // Again: the same rows are updated, not copied.
        QSignalSpy got(m_session->http(), &HttpService::onGetAnamnesis);
        QTest::mouseClick(button("btAnamnesiDownload"), Qt::LeftButton);
        QVERIFY(got.wait(10000));
        QCOMPARE(rows(), 2);
        QCOMPARE(list()->count(), 2);
    }

    // The model files are asked for once, as soon as the service can be reached.
    void modelsRequestedOnceReachable()
    {
        QDir(modelsFolder()).removeRecursively();
        m_service.stop();
        m_session->renewHttp();
        QSignalSpy status(m_session->http(), &HttpService::onConnectionStatus);
        QPointer<AnamnesisModelsRequest> request = requestAnamnesisModelsWhenReachable(m_session->http());
        QVERIFY(status.wait(10000));
        QCOMPARE(status.last().first().toBool(), false);
        QVERIFY(request && !request->requested());

        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(QDir(modelsFolder()).entryList({"*.anm"}, QDir::Files).size() == 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!request, 2000);
        // The form offers them; later probes do not ask again.
        AnamnesiWidget widget;
        QCOMPARE(items(child<QComboBox>(&widget, "cbModel")),
                 QStringList({"Anamnesi generale", "Composizione corporea", "Valutazione sportiva"}));
        status.clear();
        QVERIFY(status.wait(10000));
        QCOMPARE(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 1);

        // Reachable already: asked at once.
        QVERIFY(m_session->http()->m_connected);
        requestAnamnesisModelsWhenReachable(m_session->http());
        QTRY_COMPARE_WITH_TIMEOUT(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 2, 10000);
        QVERIFY(!requestAnamnesisModelsWhenReachable(nullptr));
    }
};

CALVESTRA_TEST_MAIN(AnamnesisTabTest)
#include "tst_anamnesistab.moc"
