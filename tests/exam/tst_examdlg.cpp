// The exam dialog on the simulated calvimetro, with a store of its own and the reference
// service on 127.0.0.1: scans saved under their zones, marks, rename, delete, the day's
// list, the closing question, and the exam sent, or queued when it cannot go.
#include "TestMain.h"

#include "ReferenceService.h"
#include "ServiceSession.h"

#include "anamnesis/AnamnesisTabWidget.h"
#include "app/ClientEditDlg.h"
#include "app/MainWindow.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"
#include "exam/ExamDlg.h"
#include "exam/ZoneChooserDialog.h"
#include "exam/ui_ExamDlg.h"
#include "scan/ArchiveTabWidget.h"
#include "scan/CompareScansDlg.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/ScanFileNames.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabBar>

namespace {

constexpr int kWaitMs = 30000;
const QString sentText = QStringLiteral("Esame inviato al server");
const QString failureText = QStringLiteral(
    "Si è verificato un errore durante l'invio dell'esame al server.\n"
    "Verificare la connessione a internet e riprovare.\n"
    "L'esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.");

// Runs `action` once, from the event loop, on the first visible modal window of type T
// that `accept` takes; the window's own exec() runs meanwhile.
template <class T>
class OnModal : public QObject
{
public:
    OnModal(std::function<void(T *)> action, std::function<bool(T *)> accept)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, action, accept, deadline = QDeadlineTimer(kWaitMs)] {
            T *window = qobject_cast<T *>(QApplication::activeModalWidget());
            if (deadline.hasExpired())
                m_timer.stop();
            else if (window && window->isVisible() && (!accept || accept(window))) {
                m_timer.stop();
                m_handled = true;
                action(window);
            }
        });
        m_timer.start(10);
    }
    bool handled() const { return m_handled; }

private:
    QTimer m_timer;
    bool m_handled = false;
};

template <class T>
std::unique_ptr<OnModal<T>> onModal(std::function<void(T *)> action, std::function<bool(T *)> accept = {})
{
    return std::make_unique<OnModal<T>>(std::move(action), std::move(accept));
}

// Answers the zone question: `zone` typed over the text (Delete drops what the list
// completes) and OK; Cancel when empty. `offered` gets the zone it offered.
std::unique_ptr<OnModal<ZoneChooserDialog>> answerZone(const QString &zone, QString *offered = nullptr)
{
    return onModal<ZoneChooserDialog>([=](ZoneChooserDialog *chooser) {
        QLineEdit *edit = chooser->findChild<QComboBox *>()->lineEdit();
        if (offered)
            *offered = edit->text();
        edit->selectAll();
        QTest::keyClicks(edit, zone);
        QTest::keyClick(edit, Qt::Key_Delete);
        auto *buttons = chooser->findChild<QDialogButtonBox *>();
        QTest::mouseClick(buttons->button(zone.isEmpty() ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok), Qt::LeftButton);
    });
}

// Clicks the button labelled `text` (else the standard one) of the next message box
// whose text starts with `start`; its text goes to `seen`.
std::unique_ptr<OnModal<QMessageBox>> answerBox(QString *seen, QMessageBox::StandardButton standard, const QString &text = {},
                                                const QString &start = {})
{
    return onModal<QMessageBox>(
        [=](QMessageBox *box) {
            *seen = box->text();
            QAbstractButton *target = box->button(standard);
            for (QAbstractButton *button : box->buttons())
                target = button->text() == text ? button : target;
            QTest::mouseClick(target, Qt::LeftButton);
        },
        [start](QMessageBox *box) { return box->text().startsWith(start); });
}

QString storeText(const QString &sql)
{
    QSqlQuery query(DataModule::m_instance->m_db);
    return query.exec(sql) && query.first() ? query.value(0).toString() : QString();
}

// The queued exams as "day height weight activityLevel", by day.
QString pending()
{
    return storeText(QStringLiteral("select group_concat(d, ', ') from (select examDate || ' ' || height || ' ' || weight "
                                    "|| ' ' || activityLevel as d from pendingExams order by examDate)"));
}

QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        QFile file(folder + QLatin1Char('/') + name);
        files.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return files;
}

// The files of a scan with the date of another day (same time), as if taken then.
void copyToDay(const ScanFile &scan, const QDate &day)
{
    for (const QString &path : {scan.jpgFile, scan.d2dFile, scan.jsonFile}) {
        QFile::copy(path, QString(path).replace(scan.dateTime.toString(QStringLiteral("yyyyMMdd")), day.toString(QStringLiteral("yyyyMMdd"))));
    }
}

QList<int> marksIn(const QString &json)
{
    QFile file(json);
    QList<int> marks;
    for (const QJsonValue &mark : file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll())["linemarks"].toArray() : QJsonArray())
        marks << mark.toInt();
    return marks;
}

// A store of its own, the service client on the reference service under `account`, a
// client (Giulia Rossi, 34) and an exam dialog open on it, its probe answering at once.
struct Rig
{
    Rig(const ReferenceService &service, int account, const QString &sex = QStringLiteral("F"))
        : session(service, account)
    {
        client.surname = QStringLiteral("Rossi");
        client.name = QStringLiteral("Giulia");
        client.sex = sex;
        client.birthday = QDate::currentDate().addYears(-34).addDays(-10);
        client.height = 166.5;
        client.weight = 58.2;
        client.saveToDB(false, false);
        dlg = std::make_unique<ExamDlg>();
        dlg->init(&client);
        dlg->show();
        dlg->ui->scan->commThread->setCheckInterval(40);
        dlg->ui->scan->commThread->setProcessingPause(30);
    }
    Ui::ExamDlg *ui() const { return dlg->ui.get(); }
    SimulatedCalvimetro *sim() const { return dlg->ui->scan->commThread->simulator(); }
    ScanArea *area() const { return dlg->ui->scan->scanArea; }
    QString folder() const { return client.getDataPath(false); }
    bool ready() const
    {
        const auto *status = dlg->ui->scan->findChild<QLabel *>(QStringLiteral("lbStatus"));
        return QTest::qWaitFor([&] { return !dlg->zoneChooser->isVisible() && status->text() == QStringLiteral("Pronto"); }, kWaitMs);
    }
    // A sweep of `lines` lines named `zone` (Cancel when empty), with `marks` presses of
    // M on the dialog while the probe moves at a probe's pace.
    bool scan(int lines, const QString &zone, int marks = 0, QString *offered = nullptr)
    {
        const qsizetype before = dlg->scans.size();
        if (!ready())
            return false;
        auto answer = answerZone(zone, offered);
        sim()->setBlockRate(marks ? 400 : 0);
        sim()->sweep(lines + 1);
        for (int i = 1; i <= marks; ++i) {
            if (!QTest::qWaitFor([&] { return area()->scanLines().size() >= i * lines / (marks + 1); }, kWaitMs))
                return false;
            QTest::keyClick(dlg.get(), Qt::Key_M);
        }
        return QTest::qWaitFor([&] { return answer->handled() && (zone.isEmpty() || dlg->scans.size() > before); }, kWaitMs) && ready();
    }
    QStringList listed() const
    {
        QStringList texts;
        for (int i = 0; i < ui()->listWidget->count(); ++i)
            texts << ui()->listWidget->item(i)->text();
        return texts;
    }
    // "Invia Esame" and the text of the outcome message, answered with OK.
    QString send() const
    {
        QString outcome;
        auto box = answerBox(&outcome, QMessageBox::Ok);
        QTest::mouseClick(ui()->btSend, Qt::LeftButton);
        return QTest::qWaitFor([&] { return !outcome.isEmpty(); }, kWaitMs) ? outcome : QStringLiteral("<no message>");
    }
    // OK, with the unsent-changes question answered by `answer`; the question's text.
    QString close(const QString &answer) const
    {
        QString question;
        auto box = answerBox(&question, QMessageBox::NoButton, answer, QStringLiteral("Alcune modifiche"));
        QTest::mouseClick(ui()->buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
        return question;
    }

    ServiceSession session;
    Client client;
    std::unique_ptr<ExamDlg> dlg;
};

}  // namespace

class ExamDlgTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_urls << url; }

private slots:
    void initTestCase()
    {
        qputenv("CALVESTRA_SCANNER", "simulator");
        qputenv("CALVESTRA_SIMULATOR_RATE", "0");
        if (ReferenceService::executable().isEmpty())
            QSKIP("the reference service was not built");
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    }

    void init()
    {
        QVERIFY(m_service.isRunning() || m_service.restart());
        QVERIFY(m_service.resetHooks());
    }

    void headerAndBodyData_data()
    {
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("shown");
        QTest::newRow("F") << QStringLiteral("F") << QStringLiteral("Donna");
        QTest::newRow("M") << QStringLiteral("M") << QStringLiteral("Uomo");
        QTest::newRow("lower-case f") << QStringLiteral("f") << QStringLiteral("Uomo");
        QTest::newRow("empty") << QString() << QStringLiteral("Uomo");
    }
    void headerAndBodyData()
    {
        QFETCH(QString, sex);
        QFETCH(QString, shown);
        Rig rig(m_service, 401, sex);
        QCOMPARE(QStringList({rig.ui()->lbName->text(), rig.ui()->lbSex->text(), rig.ui()->lbAge->text()}),
                 QStringList({QStringLiteral("Giulia Rossi"), shown, QStringLiteral("34 Anni")}));
        QVERIFY(rig.ui()->edWeight->value() == 58.2 && rig.ui()->edHeight->value() == 166.5 && !rig.dlg->dirty);
        const QStringList levels{"Nessuna Attività", "2 volte settimana", "3/4 volte settimana", "5 volte settimana", "6/7 volte settimana"};
        for (int level : {1, 2, 3, 4, 0}) {
            QTest::keyClick(rig.ui()->slActivityLevel, level ? Qt::Key_Right : Qt::Key_Home);
            QCOMPARE(rig.ui()->lbActivityLevel->text(), levels.at(level));
        }
        QVERIFY(rig.dlg->dirty);
        rig.dlg->init(&rig.client);
        QVERIFY(!rig.dlg->dirty);
        rig.ui()->edHeight->setValue(170.0);
        QVERIFY(rig.dlg->dirty);
    }

    // Without changes OK and Escape close at once. With changes OK, Escape and the close
    // button ask; "Annulla" (Escape on the question too) stays, "Esci senza inviare" goes.
    void closingQuestion()
    {
        Rig rig(m_service, 402);
        QVERIFY(rig.close(QStringLiteral("Annulla")).isEmpty() && !rig.dlg->isVisible() && rig.dlg->result() == QDialog::Accepted);
        rig.dlg->show();
        QTest::keyClick(rig.dlg.get(), Qt::Key_Escape);
        QVERIFY(!rig.dlg->isVisible() && rig.dlg->result() == QDialog::Rejected);
        rig.dlg->show();
        rig.ui()->edWeight->setValue(61.0);
        QCOMPARE(rig.close(QStringLiteral("Annulla")), QStringLiteral("Alcune modifiche non sono state inviate al server. Inviare i dati?"));
        auto escape = onModal<QMessageBox>([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
        QTest::keyClick(rig.dlg.get(), Qt::Key_Escape);
        QString asked;
        auto closing = answerBox(&asked, QMessageBox::NoButton, QStringLiteral("Annulla"));
        rig.dlg->close();
        QVERIFY(escape->handled() && closing->handled() && rig.dlg->isVisible());
        QVERIFY(!rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible());
        QCOMPARE(rig.dlg->result(), int(QDialog::Accepted));
    }

    void scansSavedUnderTheirZones()
    {
        Rig rig(m_service, 403);
        QVERIFY(rig.scan(30, QStringLiteral("Vita")));
        const QString stamp = QStringLiteral("^Vita-%1--\\d\\d-\\d\\d-\\d\\d\\.").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        QVERIFY(QDir(rig.folder()).entryList(QDir::Files).filter(QRegularExpression(stamp + QStringLiteral("(d2d|jpg)$"))).size() == 2);
        QCOMPARE(QImage(rig.dlg->scans.at(0).jpgFile).size(), QSize(500, 400));
        QVERIFY(rig.dlg->dirty && !rig.ui()->scan->dirty && rig.ui()->listWidget->currentRow() == 0);
        // The question offers the zone chosen last; marks come with their file.
        QString offered;
        QVERIFY(rig.scan(300, QStringLiteral("Coscia dx"), 2, &offered));
        QCOMPARE(offered, QStringLiteral("Vita"));
        QVERIFY(rig.listed() == QStringList({"Vita", "Coscia dx"}) && rig.ui()->listWidget->currentRow() == 1);
        const QList<int> marks = marksIn(rig.dlg->scans.at(1).jsonFile);
        QVERIFY(marks.size() == 2 && marks[0] >= 100 && marks[1] >= 200 && marks[1] > marks[0] && marks[1] <= rig.ui()->scan->commThread->lineCount);
        rig.dlg->refreshList();
        QCOMPARE(rig.listed(), QStringList({"Coscia dx", "Vita"}));
        // Space on the focused OK button marks and stays, unasked; so do Space and M on
        // the dialog; other keys do not mark.
        QString asked;
        auto question = answerBox(&asked, QMessageBox::NoButton, QStringLiteral("Annulla"));
        for (const auto &[target, key] : QList<QPair<QWidget *, Qt::Key>>{{rig.ui()->buttonBox->button(QDialogButtonBox::Ok), Qt::Key_Space},
                                                                          {rig.dlg.get(), Qt::Key_Space}, {rig.dlg.get(), Qt::Key_M}, {rig.dlg.get(), Qt::Key_A}})
            QTest::keyClick(target, key);
        QVERIFY(rig.area()->analysis.linemarks.size() == 5 && rig.dlg->isVisible() && asked.isEmpty());
        // Cancelled, or a zone of symbols only, keeps nothing; the scan waits for "Salva".
        QVERIFY(rig.scan(20, QString()) && rig.ui()->scan->dirty);
        auto symbols = answerZone(QStringLiteral("-/-"));
        QTest::mouseClick(rig.ui()->btSave, Qt::LeftButton);
        QVERIFY(symbols->handled() && folderContents(rig.folder()).size() == 5);
        auto answer = answerZone(QStringLiteral("Petto sx"));
        QTest::mouseClick(rig.ui()->btSave, Qt::LeftButton);
        QVERIFY(answer->handled() && folderContents(rig.folder()).size() == 7 && !rig.ui()->scan->dirty);
        QCOMPARE(rig.listed().last(), QStringLiteral("Petto sx"));
    }

    void newScanDropsTheOpenQuestion()
    {
        Rig rig(m_service, 405);
        QVERIFY(rig.ready());
        QList<int> results;
        connect(rig.dlg->zoneChooser, &QDialog::finished, this, [&results](int r) { results << r; });
        // The first question is left open: the probe's button is pressed again and the
        // whole second scan is over before the interface handles any of it.
        auto pressAgain = onModal<ZoneChooserDialog>([&](ZoneChooserDialog *) {
            rig.sim()->sweep(41);
            QDeadlineTimer deadline(kWaitMs);
            while (!deadline.hasExpired() && (rig.sim()->isButtonPressed() || rig.ui()->scan->commThread->status != VXCommThread::vxsConnected))
                QThread::yieldCurrentThread();
        });
        auto answer = onModal<ZoneChooserDialog>([](ZoneChooserDialog *c) {
                c->findChild<QComboBox *>()->setCurrentText(QStringLiteral("Collo sx"));
                QTest::mouseClick(c->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            }, [&results](ZoneChooserDialog *) { return !results.isEmpty(); });
        rig.sim()->sweep(31);
        QVERIFY(QTest::qWaitFor([&] { return answer->handled() && !rig.dlg->scans.isEmpty(); }, kWaitMs) && rig.ready());
        QVERIFY(pressAgain->handled() && results == QList<int>({QDialog::Rejected, QDialog::Accepted}));
        QCOMPARE(rig.listed(), QStringList{"Collo sx"});
        QCOMPARE(rig.ui()->scan->commThread->lineCount, 40);  // the second scan's
    }

    void renameAndDelete()
    {
        Rig rig(m_service, 406);
        // A zone typed as a number: its text also occurs in the date and the time.
        QVERIFY(rig.scan(200, QStringLiteral("2"), 1) && rig.scan(20, QStringLiteral("Petto dx")));
        const ScanFile before = rig.dlg->scans.at(0);
        QMap<QString, QByteArray> renamed;
        for (const auto &[name, bytes] : folderContents(rig.folder()).asKeyValueRange())
            renamed.insert(name.startsWith(QStringLiteral("2-")) ? QStringLiteral("Vita") + name.mid(1) : name, bytes);
        rig.dlg->dirty = false;
        // From the list's context menu: every file renamed, date and contents kept.
        QListWidget *list = rig.ui()->listWidget;
        const QPoint row0 = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, row0);
        QContextMenuEvent event(QContextMenuEvent::Mouse, row0, list->viewport()->mapToGlobal(row0));
        QApplication::sendEvent(list->viewport(), &event);
        QVERIFY(QTest::qWaitFor([&] { return rig.dlg->scanMenu->isVisible(); }, kWaitMs) && list->currentRow() == 0);
        QString offered;
        auto answer = answerZone(QStringLiteral("Vita"), &offered);
        QTest::mouseClick(rig.dlg->scanMenu, Qt::LeftButton, {}, rig.dlg->scanMenu->actionGeometry(rig.dlg->renameAction).center());
        QVERIFY(QTest::qWaitFor([&] { return rig.listed().first() == QStringLiteral("Vita"); }, kWaitMs) && offered == QStringLiteral("2"));
        const ScanFile after = rig.dlg->scans.at(0);
        QVERIFY(after.baseName == QStringLiteral("Vita") + before.baseName.mid(1) && after.jsonFile.endsWith(QStringLiteral(".json")));
        QCOMPARE(parseVQFile(after.jpgFile).dateTime, before.dateTime);
        QVERIFY(folderContents(rig.folder()) == renamed && rig.dlg->dirty);
        // A name another scan's file already has is refused, and nothing moves.
        QFile(rig.folder() + QStringLiteral("Fianco") + rig.dlg->scans.at(1).baseName.mid(8) + QStringLiteral(".d2d")).open(QIODevice::WriteOnly);
        list->setCurrentRow(1);
        QString warning;
        auto refused = answerBox(&warning, QMessageBox::Ok);
        answer = answerZone(QStringLiteral("Fianco"));
        rig.dlg->renameAction->trigger();
        QCOMPARE(warning, QStringLiteral("Impossibile rinominare la scansione 'Petto dx' in 'Fianco'."));
        QVERIFY(QFile::exists(rig.dlg->scans.at(1).jpgFile) && rig.listed().last() == QStringLiteral("Petto dx"));
        // Cancelled, nothing changes; deleting asks, and Cancel keeps the files.
        answer = answerZone(QString());
        rig.dlg->renameAction->trigger();
        QString question;
        auto cancel = answerBox(&question, QMessageBox::Cancel);
        list->setCurrentRow(0);
        rig.dlg->deleteAction->trigger();
        QVERIFY(question == QStringLiteral("Eliminare la scansione 'Vita'?") && folderContents(rig.folder()).size() == 6);
        auto yes = answerBox(&question, QMessageBox::Yes);
        rig.dlg->deleteAction->trigger();
        QVERIFY(!QFile::exists(after.jpgFile) && !QFile::exists(after.d2dFile) && !QFile::exists(after.jsonFile));
        QVERIFY(rig.listed() == QStringList{"Petto dx"} && rig.dlg->scans.size() == 1);
        // Without a current row there is nothing to rename or delete.
        list->setCurrentRow(-1);
        question.clear();
        auto none = answerBox(&question, QMessageBox::Yes);
        answer = answerZone(QStringLiteral("Vita"));
        rig.dlg->deleteAction->trigger();
        rig.dlg->renameAction->trigger();
        QVERIFY(question.isEmpty() && !answer->handled() && folderContents(rig.folder()).size() == 3);
    }

    void daysAndLoadedScans()
    {
        Rig rig(m_service, 407);
        QVERIFY(rig.scan(200, QStringLiteral("Vita"), 1));
        const int vitaLines = rig.ui()->scan->commThread->lineCount;
        QVERIFY(rig.scan(20, QStringLiteral("Collo dx")));
        // A click on a scan of the list loads it, with its marks.
        QListWidget *list = rig.ui()->listWidget;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QVERIFY(rig.ui()->scan->commThread->lineCount == vitaLines && rig.area()->analysis.linemarks == marksIn(rig.dlg->scans.at(0).jsonFile));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QVERIFY(rig.ui()->scan->commThread->lineCount == 20 && rig.area()->analysis.linemarks.isEmpty());
        // Another day lists that day's scans; a new scan goes back to today.
        const QDate earlier = QDate::currentDate().addDays(-3);
        for (const ScanFile &scan : std::as_const(rig.dlg->scans))
            copyToDay(scan, earlier);
        rig.ui()->dtDay->setDate(earlier);
        QVERIFY(rig.listed() == QStringList({"Collo dx", "Vita"}) && rig.dlg->scans.at(1).dateTime.date() == earlier);
        rig.ui()->dtDay->setDate(earlier.addDays(-1));
        QVERIFY(rig.listed().isEmpty() && rig.dlg->scans.isEmpty());
        QVERIFY(rig.scan(20, QStringLiteral("Spalla sx")));
        QVERIFY(rig.ui()->dtDay->date() == QDate::currentDate() && rig.listed() == QStringList({"Collo dx", "Vita", "Spalla sx"}));
    }

    void editorWebAppAndComparison()
    {
        Rig rig(m_service, 408);
        rig.ui()->edWeight->setValue(99.0);
        // The editor's changes reach the header; the fields come back from the record.
        auto editor = onModal<ClientEditDlg>([](ClientEditDlg *e) {
            e->findChild<QLineEdit *>(QStringLiteral("edName"))->selectAll();
            QTest::keyClicks(e->findChild<QLineEdit *>(QStringLiteral("edName")), QStringLiteral("Marta"));
            QTest::mouseClick(e->findChild<QRadioButton *>(QStringLiteral("rbMale")), Qt::LeftButton);
            QTest::mouseClick(e->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(rig.ui()->btEditClient, Qt::LeftButton);
        QVERIFY(editor->handled() && rig.ui()->lbName->text() + rig.ui()->lbSex->text() == QStringLiteral("Marta RossiUomo"));
        QVERIFY(rig.ui()->edWeight->value() == 58.2 && !rig.dlg->dirty);
        QCOMPARE(storeText(QStringLiteral("select name from clients where id = %1").arg(rig.client.id)), QStringLiteral("Marta"));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
        QTest::mouseClick(rig.ui()->btGoToWebApp, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(m_urls, QList<QUrl>{QUrl(AppSettings::webHost() + QStringLiteral("/Apps/Movelta/"))});
        // The comparison opens on today without a scan, or on the day and the scan picked.
        QStringList shown;
        const auto compare = [&] {
            return onModal<CompareScansDlg>([&](CompareScansDlg *c) { shown << c->startDate.toString(Qt::ISODate) + ' ' + c->defaultName; c->reject(); });
        };
        auto first = compare();
        QTest::mouseClick(rig.ui()->btCompareScan, Qt::LeftButton);
        QVERIFY(rig.scan(20, QStringLiteral("Vita")));
        rig.ui()->listWidget->setCurrentRow(0);
        auto second = compare();
        rig.dlg->compareAction->trigger();
        const QString today = QDate::currentDate().toString(Qt::ISODate) + ' ';
        QCOMPARE(shown, QStringList({today, today + rig.dlg->scans.at(0).baseName}));
    }

    // A new client and two scans (one with marks), sent: the client goes first, then the
    // exam with its five files and the body data; the other pages follow the client.
    void newClientExamSent()
    {
        Rig rig(m_service, 501);
        const QString oldFolder = rig.folder();
        rig.ui()->edWeight->setValue(71.5);
        rig.ui()->edHeight->setValue(168.0);
        rig.ui()->slActivityLevel->setValue(2);
        QVERIFY(rig.scan(30, QStringLiteral("Coscia dx")) && rig.scan(200, QStringLiteral("Vita"), 1));
        const QMap<QString, QByteArray> local = folderContents(oldFolder);
        QCOMPARE(local.size(), 5);
        QCOMPARE(rig.send(), sentText);
        QVERIFY(rig.ui()->progressBar->isHidden() && pending().isEmpty());
        const int webId = rig.client.web_id;
        QVERIFY(webId > 0 && !QFileInfo::exists(oldFolder) && folderContents(rig.folder()) == local);
        QCOMPARE(storeText(QStringLiteral("select weight || ' ' || height || ' ' || offline from clients")), QStringLiteral("71.5 168 0"));
        QStringList kinds, entries;
        for (const QJsonValue &request : m_service.receivedRequests()) {
            kinds << request["kind"].toString();
            for (const QJsonValue &entry : request["archiveEntries"].toArray())
                entries << entry.toString();
        }
        QVERIFY2(kinds.indexOf(QStringLiteral("setUserData")) >= 0 && kinds.indexOf(QStringLiteral("setUserData")) < kinds.indexOf(QStringLiteral("uploadExamZip")), qPrintable(kinds.join(',')));
        entries.sort();
        QCOMPARE(entries, local.keys());
        const QJsonArray works = userWorks(501, webId);
        QCOMPARE(works.size(), 1);
        QCOMPARE(workSummary(works[0]), QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 71.5 168 2 2"));
        QCOMPARE(storedFiles(501, webId, works[0]), local);
        QTabBar *tabs = rig.ui()->tabWidget->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(rig.dlg->anamnesisTab->findChild<QLabel *>(QStringLiteral("lbNoAnamnesiMsg"))->isVisible());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        auto *exams = rig.dlg->archiveTab->findChild<QListWidget *>(QStringLiteral("lwWorks"));
        QVERIFY(QTest::qWaitFor([&] { return exams->count() == 1; }, kWaitMs));
        QCOMPARE(exams->item(0)->text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        QVERIFY(rig.close(QStringLiteral("Annulla")).isEmpty() && !rig.dlg->isVisible());
    }

    // The service is down: the exams of two days fail, each queued with its own day and
    // body data; back up, the main window's background pass sends the client and both.
    void serviceDownQueuesTheExams()
    {
        m_service.stop();
        Rig rig(m_service, 502);
        const QDate today = QDate::currentDate(), yesterday = today.addDays(-1);
        QVERIFY(rig.scan(200, QStringLiteral("Fianco sx"), 2));
        rig.ui()->edWeight->setValue(80.3);
        rig.ui()->slActivityLevel->setValue(4);
        QCOMPARE(rig.send(), failureText);
        QVERIFY(!rig.dlg->service->m_connected && rig.dlg->dirty);
        copyToDay(rig.dlg->scans.at(0), yesterday);
        rig.ui()->dtDay->setDate(yesterday);
        rig.ui()->edWeight->setValue(81.0);
        QCOMPARE(rig.send(), failureText);
        QCOMPARE(pending(), QStringLiteral("%1 166.5 81 4, %2 166.5 80.3 4").arg(yesterday.toString(Qt::ISODate), today.toString(Qt::ISODate)));
        QVERIFY(!rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible());
        rig.dlg.reset();
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        AppSettings::setShowUploadNotifyMessage(false);
        AppSettings::setAutoLoadUsers(false);
        MainWindow window;
        QVERIFY(QTest::qWaitFor([&] { return storeText(QStringLiteral("select web_id from clients")).toInt() > 0 && pending().isEmpty(); }, 4 * kWaitMs));
        const int webId = storeText(QStringLiteral("select web_id from clients")).toInt();
        QStringList summaries;
        for (const QJsonValue &work : userWorks(502, webId))
            summaries << workSummary(work) + QStringLiteral(" %1").arg(storedFiles(502, webId, work).size());
        summaries.sort();
        QCOMPARE(summaries, QStringList({yesterday.toString(Qt::ISODate) + QStringLiteral(" 81 166.5 4 1 3"), today.toString(Qt::ISODate) + QStringLiteral(" 80.3 166.5 4 1 3")}));
    }

    // The client goes up but the exam does not: storage full, then a failing service; the
    // one queued exam of the day follows the client to its new folder.
    void examRefusedAfterTheClientWentUp()
    {
        Rig rig(m_service, 504);
        const QString oldFolder = rig.folder();
        QVERIFY(rig.scan(20, QStringLiteral("Spalla dx")));
        QVERIFY(m_service.injectFault(QStringLiteral("code:405"), QStringLiteral("uploadExamZip")));
        QCOMPARE(rig.send(), QStringLiteral("Impossibile caricare i dati: lo spazio web riservato è esaurito."));
        QVERIFY(rig.client.web_id > 0 && storeText(QStringLiteral("select web_id from clients")).toInt() == rig.client.web_id);
        rig.ui()->edWeight->setValue(59.0);
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadExamZip")));
        QCOMPARE(rig.send(), failureText);
        QCOMPARE(pending(), QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 166.5 59 0"));
        QVERIFY(!QFileInfo::exists(oldFolder) && rig.dlg->scans.at(0).jpgFile.startsWith(rig.folder()) && QFile::exists(rig.dlg->scans.at(0).jpgFile));
    }

    // "Invia Dati" in the closing question sends and keeps the dialog open while the
    // upload runs; leaving while an exam is still on its way queues it at once.
    void sendingWhileClosing()
    {
        Rig rig(m_service, 505);
        QVERIFY(rig.scan(20, QStringLiteral("Ascella sx")));
        QVERIFY(m_service.injectFault(QStringLiteral("delay:1500"), QStringLiteral("uploadExamZip")));
        QString outcome;
        auto done = answerBox(&outcome, QMessageBox::Ok, {}, QStringLiteral("Esame"));
        QVERIFY(!rig.close(QStringLiteral("Invia Dati")).isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return rig.ui()->progressBar->isVisible(); }, kWaitMs) && outcome.isEmpty() && rig.dlg->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return rig.ui()->progressBar->value() == 100 || !outcome.isEmpty(); }, kWaitMs) && outcome.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return outcome == sentText; }, kWaitMs));
        QVERIFY(rig.close(QStringLiteral("Annulla")).isEmpty() && !rig.dlg->isVisible());
        // Sent again, and left before the service answers.
        rig.dlg->show();
        rig.ui()->edWeight->setValue(58.4);
        QVERIFY(m_service.injectFault(QStringLiteral("delay:2500"), QStringLiteral("uploadExamZip")));
        QTest::mouseClick(rig.ui()->btSend, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return rig.ui()->progressBar->isVisible(); }, kWaitMs) && pending().isEmpty());
        QVERIFY(!rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible());
        QCOMPARE(pending(), QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 166.5 58.4 0"));
    }

    // Confirmed by the service from the editor while the exam is open, the client's new
    // folder is the dialog's, and the client is not sent a second time.
    void clientConfirmedFromTheEditor()
    {
        Rig rig(m_service, 506);
        auto editor = onModal<ClientEditDlg>([](ClientEditDlg *e) {
            QTest::mouseClick(e->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(rig.ui()->btEditClient, Qt::LeftButton);
        QVERIFY(editor->handled() && QTest::qWaitFor([&] { return rig.client.web_id != 0; }, kWaitMs));
        QVERIFY(rig.scan(20, QStringLiteral("Collo dx")) && rig.dlg->scans.at(0).jpgFile.startsWith(rig.folder()));
        QCOMPARE(rig.send(), sentText);
        int clientUploads = 0;
        for (const QJsonValue &request : m_service.receivedRequests())
            clientUploads += request["kind"].toString() == QStringLiteral("setUserData") ? 1 : 0;
        QCOMPARE(clientUploads, 1);
        QCOMPARE(userWorks(506, rig.client.web_id).size(), 1);
    }

private:
    QJsonArray userWorks(int account, int webId) const
    {
        const QByteArray body = "idSender=" + QByteArray::number(account) + "&action=getUserWorks&idUser=" + QByteArray::number(webId);
        return QJsonDocument::fromJson(m_service.request("POST", m_service.endpointUrl().path(), body, "application/x-www-form-urlencoded").body)["data"]["works"].toArray();
    }
    // "date weight height activityLevel scans" of an exam on the service.
    static QString workSummary(const QJsonValue &work)
    {
        return QStringLiteral("%1 %2 %3 %4 %5").arg(work["date"].toString()).arg(work["weight"].toDouble()).arg(work["height"].toDouble())
            .arg(work["activityLevel"].toInt()).arg(work["scanFilenames"].toArray().size());
    }
    QMap<QString, QByteArray> storedFiles(int account, int webId, const QJsonValue &work) const
    {
        return folderContents(m_service.dataDir() + QStringLiteral("/files/%1/%2/%3").arg(account).arg(webId).arg(work["id"].toInt()));
    }

    ReferenceService m_service;
    QList<QUrl> m_urls;
};

CALVESTRA_TEST_MAIN(ExamDlgTest)
#include "tst_examdlg.moc"
