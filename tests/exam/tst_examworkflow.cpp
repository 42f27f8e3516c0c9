#include "TestMain.h"

#include "ExamTestSupport.h"
#include "ReferenceService.h"

#include "anamnesis/AnamnesisTabWidget.h"
#include "app/ClientEditDlg.h"
#include "app/MainWindow.h"
#include "scan/ArchiveTabWidget.h"

#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QListWidget>
#include <QTabBar>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProgressBar>
#include <QSlider>
#include <QSqlTableModel>
#include <QTableView>

using namespace ExamTest;

namespace {

constexpr int kServiceWaitMs = 30000;
// The background pass: a probe every 5 s, a check every 5 s after an exam, one item at a time.
constexpr int kBackgroundWaitMs = 60000;

const QString failureText = QStringLiteral(
    "Si è verificato un errore durante l'invio dell'esame al server.\n"
    "Verificare la connessione a internet e riprovare.\n"
    "L'esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.");
const QString spaceText = QStringLiteral("Impossibile caricare i dati: lo spazio web riservato è esaurito.");

// A main window on a store of its own, talking to the given service under one account.
// The window owns the store and the service client and drops them with itself.
class WorkflowSetup
{
public:
    WorkflowSetup(const ReferenceService &service, int account)
        : m_account(account)
    {
        if (!m_dir.isValid())
            qFatal("cannot create a temporary folder");
        QSettings().clear();
        AppSettings::setEndpoint(service.endpointUrl().toString());
        AppSettings::setIdTrainer(account);
        AppSettings::setAutoLoadUsers(false);
        AppSettings::setShowUploadNotifyMessage(false);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests(m_dir.path());
    }
    ~WorkflowSetup()
    {
        window.reset();
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }
    WorkflowSetup(const WorkflowSetup &) = delete;
    WorkflowSetup &operator=(const WorkflowSetup &) = delete;

    // A client stored here only: the service has never seen it.
    int addClient(const QString &surname, const QString &name)
    {
        Client c;
        c.surname = surname;
        c.name = name;
        c.sex = QStringLiteral("F");
        c.birthday = QDate(1988, 4, 12);
        c.height = 160.0;
        c.weight = 55.0;
        c.saveToDB(false, false);
        return c.id;
    }

    MainWindow *open()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the main window was not exposed");
        return window.get();
    }

    // Opens the exam of a client with a double click on its row, as the operator does,
    // and runs `scenario` on the open dialog. The window's exec() returns when the
    // dialog closes; a scenario that stopped half-way has its dialog closed here.
    bool runExam(const QString &surname, const std::function<void(ExamDlg *, ExamDriver &)> &scenario)
    {
        auto *view = window->findChild<QTableView *>(QStringLiteral("tableView"));
        auto *model = qobject_cast<QSqlTableModel *>(view->model());
        model->select();
        QModelIndex cell;
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 2).data().toString() == surname)
                cell = model->index(row, 2);
        }
        if (!cell.isValid())
            return false;
        bool ran = false;
        auto handler = onModal<ExamDlg>(
            [&](ExamDlg *dlg) {
                ran = true;
                ExamDriver driver(dlg);
                scenario(dlg, driver);
                if (dlg->isVisible()) {
                    dlg->dirty = false;
                    dlg->reject();
                }
            },
            {}, kWaitMs);
        const QPoint pos = view->visualRect(cell).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        return ran;
    }

    QString dataPath() const { return DataModule::m_instance->m_dataPath; }
    int account() const { return m_account; }

    std::unique_ptr<MainWindow> window;

private:
    QTemporaryDir m_dir;
    int m_account;
};

int webIdOf(int localId)
{
    return storeValue(QStringLiteral("select web_id from clients where id = %1").arg(localId)).toInt();
}

// Name -> bytes of every file in a folder.
QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : filesIn(folder))
        files.insert(name, readFile(folder + QLatin1Char('/') + name));
    return files;
}

// Closes the dialog with OK; with unsent changes answers the question with `answer`.
// Returns whether the question was asked.
bool closeWithOk(ExamDlg *dlg, const QString &answer)
{
    MessageSeen question;
    auto handler = answerMessage(&question, answer, QStringLiteral("Alcune modifiche"));
    QTest::mouseClick(dlg->ui->buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTest::qWait(50);
    return question.seen;
}

// Presses "Invia Esame" and waits for the outcome message; returns its text.
QString sendAndWait(ExamDlg *dlg, int timeoutMs = kServiceWaitMs)
{
    MessageSeen outcome;
    auto handler = answerMessage(&outcome, QString(), QString(), QMessageBox::Ok);
    QTest::mouseClick(dlg->ui->btSend, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return outcome.seen; }, timeoutMs))
        return QStringLiteral("<no message>");
    if (outcome.title != QStringLiteral("upload") || outcome.icon != QMessageBox::Information)
        return QStringLiteral("<unexpected box> ") + outcome.title + QLatin1Char(' ') + outcome.text;
    return outcome.text;
}

void setBodyData(ExamDlg *dlg, double weight, double height, int level)
{
    dlg->ui->edWeight->setValue(weight);
    dlg->ui->edHeight->setValue(height);
    dlg->ui->slActivityLevel->setValue(level);
}

}  // namespace

class ExamWorkflowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useSimulatedScanner();
        if (ReferenceService::executable().isEmpty())
            QSKIP("the reference service was not built");
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    }

    void cleanupTestCase() { m_service.stop(); }

    void init()
    {
        if (!m_service.isRunning())
            QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(m_service.resetHooks());
    }

    // A new client, two scans named by zone (one with marks), sent: the client goes
    // first, then the exam with its five files and the body data.
    void newClientExamSentEndToEnd()
    {
        WorkflowSetup setup(m_service, 501);
        const int id = setup.addClient(QStringLiteral("Bianchi"), QStringLiteral("Lucia"));
        setup.open();
        const QString oldFolder = setup.dataPath() + QStringLiteral("_%1").arg(id);
        QMap<QString, QByteArray> local;
        QString outcome;
        bool asked = true;
        bool progressHidden = false;
        QStringList listed;
        const bool ran = setup.runExam(QStringLiteral("Bianchi"), [&](ExamDlg *dlg, ExamDriver &d) {
            setBodyData(dlg, 71.5, 168.0, 2);
            QVERIFY(d.scan(30, QStringLiteral("Coscia dx")));
            QTest::qWait(1100);
            QVERIFY(d.scanWithMarks(1, QStringLiteral("Vita")));
            local = folderContents(oldFolder);
            outcome = sendAndWait(dlg);
            progressHidden = dlg->ui->progressBar->isHidden();
            listed = d.listTexts();
            // The other pages follow the client: no questionnaire yet, and the exam just
            // sent among the service's exams.
            QTabBar *tabs = dlg->ui->tabWidget->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(1).center());
            QCOMPARE(dlg->ui->tabWidget->currentWidget(), dlg->ui->tabAnamnesi);
            QVERIFY(dlg->anamnesisTab->findChild<QLabel *>(QStringLiteral("lbNoAnamnesiMsg"))->isVisible());
            QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(2).center());
            auto *works = dlg->archiveTab->findChild<QListWidget *>(QStringLiteral("lwWorks"));
            QVERIFY(QTest::qWaitFor([&] { return works->count() == 1; }, kServiceWaitMs));
            QCOMPARE(works->item(0)->text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
            QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
            asked = closeWithOk(dlg, QStringLiteral("Annulla"));
            QVERIFY(!dlg->isVisible());
        });
        QVERIFY(ran);
        QCOMPARE(outcome, QStringLiteral("Esame inviato al server"));
        QVERIFY(progressHidden);
        QVERIFY(!asked);
        QCOMPARE(listed, (QStringList{"Coscia dx", "Vita"}));
        QCOMPARE(local.size(), 5);

        // The client has its web id and its folder moved with it.
        const int webId = webIdOf(id);
        QVERIFY(webId > 0);
        QCOMPARE(storeValue(QStringLiteral("select offline from clients where id = %1").arg(id)).toInt(), 0);
        QVERIFY(!QFileInfo::exists(oldFolder));
        QCOMPARE(folderContents(setup.dataPath() + QString::number(webId)), local);
        // The body data sent are the client's now.
        QCOMPARE(storeValue(QStringLiteral("select weight from clients where id = %1").arg(id)).toDouble(), 71.5);
        QCOMPARE(storeValue(QStringLiteral("select height from clients where id = %1").arg(id)).toDouble(), 168.0);
        QVERIFY(pendingExamRows().isEmpty());

        // The service got the client first, then one archive of five flat entries.
        QStringList actions;
        QStringList entries;
        for (const QJsonValue &v : m_service.receivedRequests()) {
            const QJsonObject request = v.toObject();
            actions << request.value(QStringLiteral("kind")).toString();
            for (const QJsonValue &e : request.value(QStringLiteral("archiveEntries")).toArray())
                entries << e.toString();
        }
        QVERIFY2(actions.contains(QStringLiteral("setUserData")), qPrintable(actions.join(',')));
        QVERIFY(actions.indexOf(QStringLiteral("setUserData")) < actions.lastIndexOf(QStringLiteral("uploadExamZip")));
        entries.sort();
        QCOMPARE(entries, local.keys());

        // It holds the exam: today, the body data, the two pictures and the five files.
        const QJsonArray works = userWorks(setup.account(), webId);
        QCOMPARE(works.size(), 1);
        const QJsonObject work = works.first().toObject();
        QCOMPARE(work.value(QStringLiteral("date")).toString(), QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(work.value(QStringLiteral("weight")).toDouble(), 71.5);
        QCOMPARE(work.value(QStringLiteral("height")).toDouble(), 168.0);
        QCOMPARE(work.value(QStringLiteral("activityLevel")).toInt(), 2);
        QCOMPARE(work.value(QStringLiteral("scanFilenames")).toArray().size(), 2);
        QCOMPARE(storedFiles(setup.account(), webId, work), local);
    }

    // With the service stopped both uploads fail: the message, one queued exam with the
    // dialog's day and body data. Started again, the main window's background pass sends
    // the client and then the exam, which leaves the queue.
    void serviceStoppedQueuesThenBackgroundSends()
    {
        m_service.stop();
        WorkflowSetup setup(m_service, 502);
        const int id = setup.addClient(QStringLiteral("Verdi"), QStringLiteral("Anna"));
        setup.open();
        QString outcome;
        QStringList queued;
        bool asked = false;
        QMap<QString, QByteArray> local;
        const bool ran = setup.runExam(QStringLiteral("Verdi"), [&](ExamDlg *dlg, ExamDriver &d) {
            QVERIFY(d.scanWithMarks(2, QStringLiteral("Fianco sx")));
            QTest::qWait(1100);
            QVERIFY(d.scan(25, QStringLiteral("Polpaccio dx")));
            setBodyData(dlg, 80.3, 181.0, 4);
            local = folderContents(setup.dataPath() + QStringLiteral("_%1").arg(id));
            outcome = sendAndWait(dlg);
            queued = pendingExamRows();
            QVERIFY(!dlg->service->m_connected);
            QVERIFY(dlg->dirty);
            asked = closeWithOk(dlg, QStringLiteral("Esci senza inviare"));
        });
        QVERIFY(ran);
        QCOMPARE(outcome, failureText);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(queued, QStringList{QStringLiteral("%1|%2|181|80.3|4").arg(id).arg(today)});
        QVERIFY(asked);
        QCOMPARE(webIdOf(id), 0);
        QCOMPARE(local.size(), 5);

        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(QTest::qWaitFor([&] { return webIdOf(id) > 0 && pendingExamRows().isEmpty(); }, kBackgroundWaitMs));
        const int webId = webIdOf(id);
        QCOMPARE(folderContents(setup.dataPath() + QString::number(webId)), local);
        const QJsonArray works = userWorks(setup.account(), webId);
        QCOMPARE(works.size(), 1);
        const QJsonObject work = works.first().toObject();
        QCOMPARE(work.value(QStringLiteral("date")).toString(), today);
        QCOMPARE(work.value(QStringLiteral("weight")).toDouble(), 80.3);
        QCOMPARE(work.value(QStringLiteral("height")).toDouble(), 181.0);
        QCOMPARE(work.value(QStringLiteral("activityLevel")).toInt(), 4);
        QCOMPARE(storedFiles(setup.account(), webId, work), local);
    }

    // Two exams of one client on two days, both failed: both wait, each with its own day
    // and body data, and both are sent later.
    void twoFailedExamsOnTwoDays()
    {
        m_service.stop();
        WorkflowSetup setup(m_service, 503);
        const int id = setup.addClient(QStringLiteral("Neri"), QStringLiteral("Paola"));
        setup.open();
        const QDate today = QDate::currentDate();
        const QDate yesterday = today.addDays(-1);
        QStringList outcomes;
        QStringList queued;
        QMap<QString, QByteArray> local;
        const bool ran = setup.runExam(QStringLiteral("Neri"), [&](ExamDlg *dlg, ExamDriver &d) {
            QVERIFY(d.scanWithMarks(1, QStringLiteral("Petto dx")));
            QTest::qWait(1100);
            QVERIFY(d.scan(20, QStringLiteral("Tricipite sx")));
            // The same scans as if taken yesterday.
            copyScanToDay(dlg->scans.at(0), yesterday);
            copyScanToDay(dlg->scans.at(1), yesterday);
            local = folderContents(setup.dataPath() + QStringLiteral("_%1").arg(id));
            setBodyData(dlg, 65.0, 170.0, 1);
            outcomes << sendAndWait(dlg);
            dlg->ui->dtDay->setDate(yesterday);
            QCOMPARE(d.listTexts(), (QStringList{"Petto dx", "Tricipite sx"}));
            setBodyData(dlg, 64.0, 170.0, 3);
            outcomes << sendAndWait(dlg);
            queued = pendingExamRows();
            closeWithOk(dlg, QStringLiteral("Esci senza inviare"));
        });
        QVERIFY(ran);
        QCOMPARE(outcomes, (QStringList{failureText, failureText}));
        QCOMPARE(queued, (QStringList{QStringLiteral("%1|%2|170|64|3").arg(id).arg(yesterday.toString(Qt::ISODate)),
                                      QStringLiteral("%1|%2|170|65|1").arg(id).arg(today.toString(Qt::ISODate))}));
        QCOMPARE(local.size(), 10);

        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(QTest::qWaitFor([&] { return webIdOf(id) > 0 && pendingExamRows().isEmpty(); }, 2 * kBackgroundWaitMs));
        const int webId = webIdOf(id);
        QJsonArray works = userWorks(setup.account(), webId);
        QCOMPARE(works.size(), 2);
        QMap<QString, QJsonObject> byDate;
        for (const QJsonValue &w : works)
            byDate.insert(w.toObject().value(QStringLiteral("date")).toString(), w.toObject());
        QCOMPARE(byDate.keys(), (QStringList{yesterday.toString(Qt::ISODate), today.toString(Qt::ISODate)}));
        const QJsonObject first = byDate.value(yesterday.toString(Qt::ISODate));
        const QJsonObject second = byDate.value(today.toString(Qt::ISODate));
        QCOMPARE(first.value(QStringLiteral("weight")).toDouble(), 64.0);
        QCOMPARE(first.value(QStringLiteral("activityLevel")).toInt(), 3);
        QCOMPARE(second.value(QStringLiteral("weight")).toDouble(), 65.0);
        QCOMPARE(second.value(QStringLiteral("activityLevel")).toInt(), 1);
        // Each exam carries its own day's five files.
        const QMap<QString, QByteArray> yesterdayFiles = storedFiles(setup.account(), webId, first);
        const QMap<QString, QByteArray> todayFiles = storedFiles(setup.account(), webId, second);
        QCOMPARE(yesterdayFiles.size(), 5);
        QCOMPARE(todayFiles.size(), 5);
        for (auto it = yesterdayFiles.cbegin(); it != yesterdayFiles.cend(); ++it) {
            QVERIFY2(it.key().contains(yesterday.toString(QStringLiteral("yyyyMMdd"))), qPrintable(it.key()));
            QCOMPARE(it.value(), local.value(it.key()));
        }
        for (auto it = todayFiles.cbegin(); it != todayFiles.cend(); ++it) {
            QVERIFY2(it.key().contains(today.toString(QStringLiteral("yyyyMMdd"))), qPrintable(it.key()));
            QCOMPARE(it.value(), local.value(it.key()));
        }
    }

    // The client reaches the service but the exam does not: a full storage and then a
    // failing service each end in their message and the one queued exam of the day,
    // which the background pass sends from the client's new folder.
    void examRefusedAfterTheClientWentUp()
    {
        WorkflowSetup setup(m_service, 504);
        const int id = setup.addClient(QStringLiteral("Gallo"), QStringLiteral("Sara"));
        setup.open();
        QStringList outcomes;
        QStringList queued;
        int webIdInDialog = 0;
        const bool ran = setup.runExam(QStringLiteral("Gallo"), [&](ExamDlg *dlg, ExamDriver &d) {
            QVERIFY(d.scan(20, QStringLiteral("Spalla dx")));
            setBodyData(dlg, 59.5, 163.0, 2);
            QVERIFY(m_service.injectFault(QStringLiteral("code:405"), QStringLiteral("uploadExamZip")));
            outcomes << sendAndWait(dlg);
            webIdInDialog = dlg->client->web_id;
            setBodyData(dlg, 59.0, 163.0, 3);
            QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadExamZip")));
            outcomes << sendAndWait(dlg);
            queued = pendingExamRows();
            closeWithOk(dlg, QStringLiteral("Esci senza inviare"));
        });
        QVERIFY(ran);
        QCOMPARE(outcomes, (QStringList{spaceText, failureText}));
        const int webId = webIdOf(id);
        QVERIFY(webId > 0);
        QCOMPARE(webIdInDialog, webId);
        QCOMPARE(queued, QStringList{QStringLiteral("%1|%2|163|59|3").arg(id).arg(QDate::currentDate().toString(Qt::ISODate))});
        QVERIFY(!QFileInfo::exists(setup.dataPath() + QStringLiteral("_%1").arg(id)));

        QVERIFY(QTest::qWaitFor([&] { return pendingExamRows().isEmpty(); }, kBackgroundWaitMs));
        const QJsonArray works = userWorks(setup.account(), webId);
        QCOMPARE(works.size(), 1);
        const QJsonObject work = works.first().toObject();
        QCOMPARE(work.value(QStringLiteral("weight")).toDouble(), 59.0);
        QCOMPARE(work.value(QStringLiteral("activityLevel")).toInt(), 3);
        QCOMPARE(storedFiles(setup.account(), webId, work), folderContents(setup.dataPath() + QString::number(webId)));
    }

    // "Invia Dati" in the closing question sends and keeps the dialog open while the
    // upload runs; once confirmed, OK closes at once.
    void sendingFromTheClosingQuestion()
    {
        WorkflowSetup setup(m_service, 505);
        setup.addClient(QStringLiteral("Costa"), QStringLiteral("Elena"));
        setup.open();
        bool openWhileSending = false;
        bool progressShown = false;
        int progressSeen = -1;
        QString outcome;
        bool askedAgain = true;
        bool closed = false;
        const bool ran = setup.runExam(QStringLiteral("Costa"), [&](ExamDlg *dlg, ExamDriver &d) {
            QVERIFY(d.scan(20, QStringLiteral("Ascella sx")));
            QVERIFY(m_service.injectFault(QStringLiteral("delay:1500"), QStringLiteral("uploadExamZip")));
            MessageSeen done;
            auto outcomeHandler = answerMessage(&done, QString(), QStringLiteral("Esame"), QMessageBox::Ok);
            MessageSeen question;
            auto questionHandler = answerMessage(&question, QStringLiteral("Invia Dati"), QStringLiteral("Alcune modifiche"));
            QTest::mouseClick(dlg->ui->buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
            QVERIFY(question.seen);
            progressShown = QTest::qWaitFor([&] { return dlg->ui->progressBar->isVisible() || done.seen; }, kServiceWaitMs)
                            && !done.seen;
            openWhileSending = dlg->isVisible();
            QVERIFY(QTest::qWaitFor([&] { return dlg->ui->progressBar->value() == 100 || done.seen; }, kServiceWaitMs));
            progressSeen = dlg->ui->progressBar->value();
            QVERIFY(QTest::qWaitFor([&] { return done.seen; }, kServiceWaitMs));
            outcome = done.text;
            askedAgain = closeWithOk(dlg, QStringLiteral("Annulla"));
            closed = !dlg->isVisible();
        });
        QVERIFY(ran);
        QVERIFY(progressShown);
        QVERIFY(openWhileSending);
        QCOMPARE(progressSeen, 100);
        QCOMPARE(outcome, QStringLiteral("Esame inviato al server"));
        QVERIFY(!askedAgain);
        QVERIFY(closed);
    }

    // Leaving without sending while the exam is still on its way: the exam is queued at
    // once, so it is not lost should that upload fail; when the upload then succeeds the
    // main window takes it off the queue again.
    void leavingWhileTheExamIsSentQueuesIt()
    {
        WorkflowSetup setup(m_service, 509);
        const int id = setup.addClient(QStringLiteral("Galli"), QStringLiteral("Irene"));
        setup.open();
        QStringList queuedWhileSending;
        QStringList queuedOnLeaving;
        bool asked = false;
        const bool ran = setup.runExam(QStringLiteral("Galli"), [&](ExamDlg *dlg, ExamDriver &d) {
            QVERIFY(d.scan(20, QStringLiteral("Addome")));
            setBodyData(dlg, 58.4, 163.0, 1);
            QVERIFY(m_service.injectFault(QStringLiteral("delay:2500"), QStringLiteral("uploadExamZip")));
            QTest::mouseClick(dlg->ui->btSend, Qt::LeftButton);
            // The client goes up first; the exam's upload then shows its progress.
            QVERIFY(QTest::qWaitFor([&] { return webIdOf(id) > 0 && dlg->ui->progressBar->isVisible(); },
                                    kServiceWaitMs));
            queuedWhileSending = pendingExamRows();
            asked = closeWithOk(dlg, QStringLiteral("Esci senza inviare"));
            QVERIFY(!dlg->isVisible());
            queuedOnLeaving = pendingExamRows();
        });
        QVERIFY(ran);
        QVERIFY(asked);
        QVERIFY(queuedWhileSending.isEmpty());
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(queuedOnLeaving, QStringList{QStringLiteral("%1|%2|163|58.4|1").arg(id).arg(today)});
        // The late confirmation empties the queue; the service holds the exam once.
        QVERIFY(QTest::qWaitFor([&] { return pendingExamRows().isEmpty(); }, kBackgroundWaitMs));
        QTest::qWait(500);
        const QJsonArray works = userWorks(setup.account(), webIdOf(id));
        QCOMPARE(works.size(), 1);
        QCOMPARE(works.first().toObject().value(QStringLiteral("weight")).toDouble(), 58.4);
    }

    // The client editor sends the client while the exam is open: once the service has
    // confirmed it, the dialog works in the client's new folder and sends the client no
    // second time.
    void clientConfirmedFromTheEditorMovesTheExam()
    {
        WorkflowSetup setup(m_service, 506);
        const int id = setup.addClient(QStringLiteral("Marino"), QStringLiteral("Rita"));
        setup.open();
        int webIdInDialog = 0;
        QString savedPicture;
        QString outcome;
        const bool ran = setup.runExam(QStringLiteral("Marino"), [&](ExamDlg *dlg, ExamDriver &d) {
            auto editor = onModal<ClientEditDlg>([](ClientEditDlg *e) {
                QTest::mouseClick(e->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            });
            QTest::mouseClick(dlg->ui->btEditClient, Qt::LeftButton);
            QVERIFY(editor->handled());
            QVERIFY(QTest::qWaitFor([&] { return dlg->client->web_id != 0; }, kServiceWaitMs));
            webIdInDialog = dlg->client->web_id;
            QVERIFY(d.scan(20, QStringLiteral("Collo dx")));
            savedPicture = dlg->scans.at(0).jpgFile;
            outcome = sendAndWait(dlg);
        });
        QVERIFY(ran);
        const int webId = webIdOf(id);
        QVERIFY(webId > 0);
        QCOMPARE(webIdInDialog, webId);
        QVERIFY2(savedPicture.startsWith(setup.dataPath() + QString::number(webId) + QLatin1Char('/')),
                 qPrintable(savedPicture));
        QVERIFY(QFile::exists(savedPicture));
        QCOMPARE(outcome, QStringLiteral("Esame inviato al server"));
        int clientUploads = 0;
        for (const QJsonValue &v : m_service.receivedRequests())
            clientUploads += v.toObject().value(QStringLiteral("kind")).toString() == QStringLiteral("setUserData") ? 1 : 0;
        QCOMPARE(clientUploads, 1);
        QCOMPARE(userWorks(setup.account(), webId).size(), 1);
    }

private:
    QJsonArray userWorks(int account, int webId) const
    {
        const QByteArray body = "idSender=" + QByteArray::number(account) + "&action=getUserWorks&idUser="
                                + QByteArray::number(webId);
        const auto reply = m_service.request("POST", m_service.endpointUrl().path(), body,
                                             "application/x-www-form-urlencoded");
        const QJsonObject root = QJsonDocument::fromJson(reply.body).object();
        return root.value(QStringLiteral("data")).toObject().value(QStringLiteral("works")).toArray();
    }

    // The files the service keeps for one exam.
    QMap<QString, QByteArray> storedFiles(int account, int webId, const QJsonObject &work) const
    {
        return folderContents(m_service.dataDir()
                              + QStringLiteral("/files/%1/%2/%3").arg(account).arg(webId).arg(
                                  work.value(QStringLiteral("id")).toInt()));
    }

    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(ExamWorkflowTest)
#include "tst_examworkflow.moc"
