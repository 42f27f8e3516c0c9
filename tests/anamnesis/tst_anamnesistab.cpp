// The exam dialog's anamnesis page through its buttons, list and dialogs, with a real store
// and the reference web service on 127.0.0.1 reached through the application's own client.
#include "TestMain.h"

#include "AnamnesisTestSupport.h"
#include "ServiceSession.h"
#include "tests/app/AppTestSupport.h"

#include "anamnesis/AnamnesiDlg.h"
#include "anamnesis/AnamnesisModelsRequest.h"
#include "anamnesis/AnamnesisTabWidget.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

using namespace AnamnesisTest;

namespace {

int requestsOf(const ReferenceService &service, const QString &kind)
{
    int n = 0;
    for (const QJsonValue &value : service.receivedRequests())
        n += value.toObject().value(QStringLiteral("kind")).toString() == kind ? 1 : 0;
    return n;
}

// Runs `action` on the form of the dialog the next click opens, then clicks Ok or Cancel.
void inDialog(QDialogButtonBox::StandardButton button, const std::function<void(AnamnesiWidget *)> &action = {})
{
    whenModal([=](QWidget *modal) {
        auto *dlg = qobject_cast<AnamnesiDlg *>(modal);
        QVERIFY(dlg);
        if (action)
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

    QComboBox *list() const { return child<QComboBox>(m_tab.get(), "cbAnamnesis"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(m_tab.get(), name); }
    AnamnesiWidget *form() const { return m_tab->anamnesiWidget(); }
    bool noneShown() const { return child<QLabel>(m_tab.get(), "lbNoAnamnesiMsg")->isVisible() && !form()->isVisible(); }
    int rows(const QString &where = QStringLiteral("1 = 1")) const
    {
        QSqlQuery query(m_session->store()->m_db);
        return query.exec("select count(*) from anamnesis where " + where) && query.first() ? query.value(0).toInt() : -1;
    }

private slots:
    void initTestCase() { QVERIFY2(m_service.start(), qPrintable(m_service.errorString())); }
    void init()
    {
        QVERIFY(m_service.resetHooks());
        static int account = 7100;
        m_session = std::make_unique<ServiceSession>(m_service, ++account);
        QVERIFY(writeModels());
        // What the page saves goes through the outbox, as in the application.
        OutboxSender::resetInstanceForTests(true)->setTimes(100, 100, 800);
        OutboxSender::m_instance->start();
    }
    void cleanup()
    {
        m_tab.reset();
        OutboxSender::resetInstanceForTests(false);
        m_session.reset();
    }

    // The page through its list, buttons and dialogs, the service confirming or failing.
    void throughItsButtons()
    {
        Client client = storedClient(QStringLiteral("Gialli"));
        m_tab = std::make_unique<AnamnesisTabWidget>();
        m_tab->setClient(client);
        m_tab->show();
        m_tab->refreshAnamnesis();
        QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()) && noneShown());
        for (const char *name : {"btAnamnesiEdit", "btAnamnesiDel", "btAnamnesiDownload"})
            QVERIFY2(!button(name)->isEnabled(), name);  // no web id: nothing to download
        QSignalSpy clientSent(m_session->http(), &HttpService::onUploadClientDone);
        m_session->http()->saveClient(&client);  // the service gives it its web id
        QVERIFY(clientSent.wait(10000));
        client.loadFromDB(client.id);
        m_tab->setClient(client);
        QVERIFY(button("btAnamnesiDownload")->isEnabled());

        // Newest first; the newest is shown at once, read-only, its model named but fixed.
        Anamnesi local = questionnaire(checkModel, client.id, QDateTime(QDate(2024, 1, 10), QTime(9, 0)), "No");
        Anamnesi posture = questionnaire(postureModel, client.id, QDateTime(QDate(2024, 2, 20), QTime(9, 0)), "corsa");
        local.SaveToDB(false, false);  // neither is sent
        posture.SaveToDB(false, false);
        m_tab->refreshAnamnesis();
        QCOMPARE(items(list()), QStringList({"20/02/2024 - Valutazione posturale", "10/01/2024 - Controllo"}));
        QVERIFY(!noneShown());
        QCOMPARE(form()->current.id, posture.id);
        QVERIFY(form()->readOnly && input<QPlainTextEdit>(form(), 0)->isReadOnly());
        QCOMPARE(child<QComboBox>(form(), "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QVERIFY(!child<QComboBox>(form(), "cbModel")->isEnabled() && child<QWidget>(form(), "imageDiagram")->isVisible());

        inDialog(QDialogButtonBox::Cancel);
        QTest::mouseClick(button("btAnamnesiAdd"), Qt::LeftButton);
        QCOMPARE(rows(), 2);
        // Another model replaces the record, client included; Ok stores it for the client, sends it.
        QSignalSpy uploaded(m_session->http(), &HttpService::onUploadAnamnesiDone);
        inDialog(QDialogButtonBox::Ok, [](AnamnesiWidget *widget) {
            child<QComboBox>(widget, "cbModel")->setCurrentIndex(1);
            QTest::keyClicks(input<QPlainTextEdit>(widget, 0), "Impiegata");
        });
        QTest::mouseClick(button("btAnamnesiAdd"), Qt::LeftButton);
        const QStringList three = {QDate::currentDate().toString("dd/MM/yyyy") + " - Anamnesi generale",
                                   "20/02/2024 - Valutazione posturale", "10/01/2024 - Controllo"};
        QCOMPARE(items(list()), three);
        QVERIFY(uploaded.wait(10000));

        // Gone here, downloaded again from the service, twice: one row, with its web id.
        QVERIFY(m_session->store()->runQuery(QStringLiteral("delete from anamnesis where id = %1").arg(form()->current.id)));
        for (int download = 0; download < 2; ++download) {
            QSignalSpy got(m_session->http(), &HttpService::onGetAnamnesis);
            QTest::mouseClick(button("btAnamnesiDownload"), Qt::LeftButton);
            QVERIFY(got.wait(10000));
            QCOMPARE(items(list()), three);
            QCOMPARE(rows(QStringLiteral("offline = 0 and web_id > 0 and idClient = %1").arg(client.id)), 1);
        }
        const int id = form()->current.id;
        const int webId = form()->current.web_id;

        // Edited with the model fixed; the new date moves it last. The service fails the
        // upload: the change stays pending, to be sent again.
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadAnamnesi"), 0));
        QSignalSpy failed(m_session->http(), &HttpService::onUploadAnamnesiFail);
        QString shown;
        inDialog(QDialogButtonBox::Ok, [&shown](AnamnesiWidget *widget) {
            QVERIFY(!child<QComboBox>(widget, "cbModel")->isEnabled());
            shown = input<QPlainTextEdit>(widget, 0)->toPlainText();
            input<QPlainTextEdit>(widget, 0)->setPlainText(QStringLiteral("Pittrice"));
            child<QDateTimeEdit>(widget, "dateEdit")->setDateTime(QDateTime(QDate(2023, 12, 1), QTime(8, 0)));
        });
        QTest::mouseClick(button("btAnamnesiEdit"), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Impiegata"));
        QVERIFY(list()->currentIndex() == 2 && form()->current.id == id);
        QCOMPARE(form()->current.questions[0].answer, QStringLiteral("Pittrice"));
        QVERIFY(failed.wait(10000));
        QCOMPARE(rows(QStringLiteral("offline = 1 and web_id = %1 and id = %2").arg(webId).arg(id)), 1);

        // Deleting asks first; the row goes at once, the service learns of it when it was sent.
        list()->setCurrentIndex(1);
        QCOMPARE(form()->current.id, local.id);
        MessageBoxAnswerer cancel(QMessageBox::Cancel);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(cancel.text(), QStringLiteral("Eliminare l'anamnesi 'Controllo'?"));
        QCOMPARE(rows(), 3);
        MessageBoxAnswerer yes(QMessageBox::Yes);
        yes.setRepeat(true);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(rows(), 2);
        QCOMPARE(form()->current.id, id);  // the next one is shown
        QSignalSpy deleted(m_session->http(), &HttpService::onUploadDeletedAnamnesiDone);
        QTest::mouseClick(button("btAnamnesiDel"), Qt::LeftButton);
        QCOMPARE(items(list()), QStringList({"20/02/2024 - Valutazione posturale"}));
        QCOMPARE(rows(), 1);
        QVERIFY(deleted.wait(10000));
        QCOMPARE(deleted.first().first().toInt(), webId);
        QCOMPARE(requestsOf(m_service, QStringLiteral("deleteAnamnesi")), 1);

        // The last one goes away elsewhere: the rebuild frees the list's copies, the form
        // keeps its own, and with nothing selected edit and delete open nothing.
        QCOMPARE(form()->current.id, posture.id);
        QVERIFY(m_session->store()->runQuery(QStringLiteral("delete from anamnesis")));
        m_tab->refreshAnamnesis();
        QVERIFY(!m_tab->recordAt(0));
        form()->load(&form()->current);
        QCOMPARE(input<QPlainTextEdit>(form(), 0)->toPlainText(), QStringLiteral("corsa"));
        QVERIFY(noneShown() && !button("btAnamnesiEdit")->isEnabled() && !button("btAnamnesiDel")->isEnabled());
        // A modal dialog would run its own event loop inside the calls, and this close it.
        auto opened = std::make_shared<bool>(false);
        QTimer::singleShot(0, m_tab.get(), [opened] {
            if (QWidget *modal = QApplication::activeModalWidget())
                *opened = modal->close();
        });
        m_tab->editAnamnesi();
        m_tab->deleteAnamnesi();
        QVERIFY(!*opened);
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
        QTRY_VERIFY_WITH_TIMEOUT(!request, 10000);
        // The form offers them; later probes do not ask again.
        QCOMPARE(items(child<QComboBox>(std::make_unique<AnamnesiWidget>().get(), "cbModel")),
                 QStringList({"Anamnesi generale", "Composizione corporea", "Valutazione sportiva"}));
        status.clear();
        QVERIFY(status.wait(10000));
        QCOMPARE(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 1);
        requestAnamnesisModelsWhenReachable(m_session->http());  // reachable already: asked at once
        QTRY_COMPARE_WITH_TIMEOUT(requestsOf(m_service, QStringLiteral("getAnamnesiModels")), 2, 10000);
        QVERIFY(!requestAnamnesisModelsWhenReachable(nullptr));
    }
};

CALVESTRA_TEST_MAIN(AnamnesisTabTest)
#include "tst_anamnesistab.moc"
