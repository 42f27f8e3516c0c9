// The exam dialog on the simulated calvimetro, with a store of its own and the reference
// service on 127.0.0.1: its scans, the closing question, the exam sent or queued.
#include "TestMain.h"

#include "cloud/OutboxSender.h"

#include "ReferenceService.h"
#include "ServiceSession.h"

#include "anamnesis/AnamnesisTabWidget.h"
#include "app/ClientEditDlg.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"
#include "exam/ExamDlg.h"
#include "exam/ZoneChooserDialog.h"
#include "exam/ui_ExamDlg.h"
#include "scan/AnalysisData.h"
#include "scan/ArchiveTabWidget.h"
#include "scan/CompareScansDlg.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/ScanFileNames.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QSqlQuery>
#include <QTabBar>

namespace {

constexpr int kWaitMs = 30000;
const QString sentText = QStringLiteral("Esame inviato al server");
const QString failureText = QStringLiteral("Si è verificato un errore durante l'invio dell'esame al server.\nVerificare la connessione "
                                           "a internet e riprovare.\nL'esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.");

// Runs `action` once, from the event loop, on the first visible modal window of type T that
// `accept` takes, while the returned timer lives; its "handled" property says whether it has.
template <class T>
std::unique_ptr<QTimer> onModal(std::function<void(T *)> action, std::function<bool(T *)> accept = {})
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [=, t = timer.get(), deadline = QDeadlineTimer(kWaitMs)] {
        T *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!deadline.hasExpired() && !(window && window->isVisible() && (!accept || accept(window))))
            return;
        t->stop();
        t->setProperty("handled", !deadline.hasExpired());
        if (!deadline.hasExpired())
            action(window);
    });
    timer->start(10);
    return timer;
}

bool handled(const std::unique_ptr<QTimer> &handler) { return handler->property("handled").toBool(); }

// Types `zone` over the zone question's text (Delete drops a completion) and OKs; empty: Cancel.
std::unique_ptr<QTimer> answerZone(const QString &zone, QString *offered = nullptr)
{
    return onModal<ZoneChooserDialog>([=](ZoneChooserDialog *chooser) {
        QLineEdit *edit = chooser->findChild<QComboBox *>()->lineEdit();
        if (offered)
            *offered = edit->text();
        edit->selectAll();
        QTest::keyClicks(edit, zone);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::mouseClick(chooser->findChild<QDialogButtonBox *>()->button(zone.isEmpty() ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok), Qt::LeftButton);
    });
}

// Clicks `text` (else `standard`) on the next message box starting with `start`; its text to `seen`.
std::unique_ptr<QTimer> answerBox(QString *seen, QMessageBox::StandardButton standard, const QString &text = {}, const QString &start = {})
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

QString pending()
{
    return storeText(QStringLiteral("select group_concat(d, ', ') from (select examDate || ' ' || json_extract(payload, '$.height') "
                                    "|| ' ' || json_extract(payload, '$.weight') || ' ' || json_extract(payload, '$.activityLevel') "
                                    "as d from outbox where kind = 'exam' order by examDate)"));
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

void copyToDay(const ScanFile &scan, const QDate &day)
{
    for (const QString &path : {scan.jpgFile, scan.d2dFile, scan.jsonFile})
        QFile::copy(path, QString(path).replace(scan.dateTime.toString(QStringLiteral("yyyyMMdd")), day.toString(QStringLiteral("yyyyMMdd"))));
}

// A store and service account of its own, a client, Giulia Rossi (34), and her exam open.
struct Rig
{
    Rig(const ReferenceService &service, int account)
        : session(service, account)
    {
        client.surname = QStringLiteral("Rossi");
        client.name = QStringLiteral("Giulia");
        client.sex = QStringLiteral("F");
        client.birthday = QDate::currentDate().addYears(-34).addDays(-10);
        client.height = 166.5;
        client.weight = 58.2;
        client.saveToDB(false, false);
        // The application's sender, running, with quick retries.
        OutboxSender::resetInstanceForTests(true)->setTimes(100, 100, 800);
        OutboxSender::m_instance->start();
        dlg = std::make_unique<ExamDlg>();
        dlg->init(&client);
        dlg->show();
        dlg->ui->scan->commThread->setCheckInterval(40);
        dlg->ui->scan->commThread->setProcessingPause(30);
    }
    ~Rig()
    {
        dlg.reset();
        OutboxSender::resetInstanceForTests(false);
    }
    Ui::ExamDlg *ui() const { return dlg->ui.get(); }
    SimulatedCalvimetro *sim() const { return dlg->ui->scan->commThread->simulator(); }
    ScanArea *area() const { return dlg->ui->scan->scanArea; }
    QString folder() const { return client.getDataPath(false); }
    // Ready, and the probe polled for its button again: a sweep started before is lost.
    bool ready() const
    {
        const auto *status = dlg->ui->scan->findChild<QLabel *>(QStringLiteral("lbStatus"));
        const auto polled = [this, served = sim()->blocksServed()] { return sim()->blocksServed() > served + 2 && !sim()->isButtonPressed(); };
        return QTest::qWaitFor([&] { return !dlg->zoneChooser->isVisible() && status->text() == QStringLiteral("Pronto") && polled(); }, kWaitMs);
    }
    // A scan of `lines` lines named `zone` (Cancel when empty); with `marks`, the button is
    // held at a probe's pace until M has been pressed on the dialog that many times.
    bool scan(int lines, const QString &zone, int marks = 0, QString *offered = nullptr)
    {
        const qsizetype before = dlg->scans.size();
        if (!ready())
            return false;
        auto answer = answerZone(zone, offered);
        sim()->setBlockRate(marks ? 400 : 0);
        marks ? sim()->pressButton() : sim()->sweep(lines + 1);
        for (int i = 1; marks && i <= marks + 1; ++i) {
            if (!QTest::qWaitFor([&] { return area()->scanLines().size() >= i * lines / (marks + 1); }, kWaitMs))
                return false;
            i <= marks ? QTest::keyClick(dlg.get(), Qt::Key_M) : sim()->releaseButton();
        }
        return QTest::qWaitFor([&] { return handled(answer) && (zone.isEmpty() || dlg->scans.size() > before); }, kWaitMs) && ready();
    }
    QStringList listed() const
    {
        QStringList texts;
        for (int i = 0; i < ui()->listWidget->count(); ++i)
            texts << ui()->listWidget->item(i)->text();
        return texts;
    }
    QList<int> marksOf(int row) const
    {
        AnalysisData data;
        data.loadFromFile(dlg->scans.at(row).jsonFile);
        return data.linemarks;
    }
    QString send() const
    {
        QString outcome;
        auto box = answerBox(&outcome, QMessageBox::Ok);
        QTest::mouseClick(ui()->btSend, Qt::LeftButton);
        return QTest::qWaitFor([&] { return !outcome.isEmpty(); }, kWaitMs) ? outcome : QStringLiteral("<no message>");
    }
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

private slots:
    void initTestCase()
    {
        qputenv("CALVESTRA_SCANNER", "simulator");
        qputenv("CALVESTRA_SIMULATOR_RATE", "0");
        if (ReferenceService::executable().isEmpty())
            QSKIP("the reference service was not built");
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    }

    void init() { QVERIFY((m_service.isRunning() || m_service.restart()) && m_service.resetHooks()); }

    void headerBodyDataAndClosing()
    {
        Rig rig(m_service, 401);
        QCOMPARE(rig.ui()->lbName->text() + '|' + rig.ui()->lbSex->text() + '|' + rig.ui()->lbAge->text(), QStringLiteral("Giulia Rossi|Donna|34 Anni"));
        QVERIFY(rig.ui()->edWeight->value() == 58.2 && rig.ui()->edHeight->value() == 166.5 && !rig.dlg->dirty);
        QTest::keyClick(rig.ui()->slActivityLevel, Qt::Key_End);
        QVERIFY(rig.ui()->lbActivityLevel->text() == QStringLiteral("6/7 volte settimana") && rig.dlg->dirty);
        rig.client.sex = QStringLiteral("f");  // anything but "F" is a man
        rig.dlg->init(&rig.client);
        QVERIFY(rig.ui()->lbSex->text() == QStringLiteral("Uomo") && !rig.dlg->dirty);
        // Without changes OK and Escape close at once. With changes OK, Escape and the
        // close button ask; "Annulla" (Escape on the question too) stays, "Esci senza
        // inviare" goes.
        QVERIFY(rig.close(QStringLiteral("Annulla")).isEmpty() && !rig.dlg->isVisible() && rig.dlg->result() == QDialog::Accepted);
        rig.dlg->show();
        QTest::keyClick(rig.dlg.get(), Qt::Key_Escape);
        QVERIFY(!rig.dlg->isVisible() && rig.dlg->result() == QDialog::Rejected);
        rig.dlg->show();
        rig.ui()->edHeight->setValue(170.0);
        QCOMPARE(rig.close(QStringLiteral("Annulla")), QStringLiteral("Alcune modifiche non sono state inviate al server. Inviare i dati?"));
        auto escape = onModal<QMessageBox>([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
        QTest::keyClick(rig.dlg.get(), Qt::Key_Escape);
        QString asked;
        auto closing = answerBox(&asked, QMessageBox::NoButton, QStringLiteral("Annulla"));
        rig.dlg->close();
        QVERIFY(handled(escape) && handled(closing) && rig.dlg->isVisible());
        QVERIFY(!rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible() && rig.dlg->result() == QDialog::Accepted);
    }

    void scansSavedUnderTheirZones()
    {
        Rig rig(m_service, 403);
        QVERIFY(rig.scan(30, QStringLiteral("Vita")));
        QCOMPARE(QDir(rig.folder()).entryList(QDir::Files).filter(QRegularExpression(QStringLiteral("^Vita-%1--\\d\\d-\\d\\d-\\d\\d\\.(d2d|jpg)$").arg(QDate::currentDate().toString("yyyyMMdd")))).size(), 2);
        QCOMPARE(QImage(rig.dlg->scans.at(0).jpgFile).size(), QSize(500, 400));
        QVERIFY(rig.dlg->dirty && !rig.ui()->scan->dirty && rig.ui()->listWidget->currentRow() == 0);
        // The question offers the zone chosen last; marks come with their file.
        QString offered;
        QVERIFY(rig.scan(300, QStringLiteral("Coscia dx"), 2, &offered) && offered == QStringLiteral("Vita"));
        QVERIFY(rig.listed() == QStringList({"Vita", "Coscia dx"}) && rig.ui()->listWidget->currentRow() == 1);
        const QList<int> marks = rig.marksOf(1);
        QVERIFY(marks.size() == 2 && marks[0] >= 100 && marks[1] >= 200 && marks[1] > marks[0] && marks[1] <= rig.ui()->scan->commThread->lineCount);
        // Space on the focused OK button marks and stays, unasked, as Space and M on the
        // dialog do; other keys do not mark.
        QString asked;
        auto question = answerBox(&asked, QMessageBox::NoButton, QStringLiteral("Annulla"));
        for (const auto &[target, key] : QList<QPair<QWidget *, Qt::Key>>{{rig.ui()->buttonBox->button(QDialogButtonBox::Ok), Qt::Key_Space},
                                                                          {rig.dlg.get(), Qt::Key_Space}, {rig.dlg.get(), Qt::Key_M}, {rig.dlg.get(), Qt::Key_A}})
            QTest::keyClick(target, key);
        QVERIFY(rig.area()->analysis.linemarks.size() == 5 && rig.dlg->isVisible() && asked.isEmpty());
        // Cancelled, or a zone of symbols only, keeps nothing: the scan waits for "Salva".
        QVERIFY(rig.scan(20, QString()) && rig.ui()->scan->dirty);
        auto symbols = answerZone(QStringLiteral("-/-"));
        QTest::mouseClick(rig.ui()->btSave, Qt::LeftButton);
        QVERIFY(handled(symbols) && folderContents(rig.folder()).size() == 6);
        auto answer = answerZone(QStringLiteral("Petto sx"));
        QTest::mouseClick(rig.ui()->btSave, Qt::LeftButton);
        QVERIFY(handled(answer) && folderContents(rig.folder()).size() == 9 && !rig.ui()->scan->dirty && rig.listed().last() == QStringLiteral("Petto sx"));
        rig.dlg->refreshList();
        QCOMPARE(rig.listed(), QStringList({"Coscia dx", "Petto sx", "Vita"}));
        // Without a new scan "Salva" asks nothing and keeps nothing.
        rig.dlg->dirty = false;
        auto again = answerZone(QStringLiteral("Vita"));
        QTest::mouseClick(rig.ui()->btSave, Qt::LeftButton);
        QVERIFY(!handled(again) && folderContents(rig.folder()).size() == 9 && !rig.dlg->dirty);
        again.reset();
        question.reset();
        // A scan never named is kept as a draft when a listed scan is shown, or the dialog
        // left without sending; reopened, the exam lists the drafts.
        QVERIFY(rig.scan(20, QString()));
        QTest::mouseClick(rig.ui()->listWidget->viewport(), Qt::LeftButton, {}, rig.ui()->listWidget->visualItemRect(rig.ui()->listWidget->item(0)).center());
        QVERIFY(rig.listed().last() == QStringLiteral("Bozza") && rig.ui()->scan->commThread->lineCount >= 300 && !rig.ui()->scan->dirty);
        QVERIFY(rig.scan(25, QString()) && !rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible());
        rig.dlg->init(&rig.client);
        QCOMPARE(QDir(rig.folder()).entryList({QStringLiteral("Bozza-") + QDate::currentDate().toString("yyyyMMdd") + QStringLiteral("--*.d2d")}).size(), 2);
        QCOMPARE(rig.listed(), QStringList({"Bozza", "Bozza", "Coscia dx", "Petto sx", "Vita"}));
    }

    // The probe's button starts no scan while the zone question is open, nor after it
    // while still held: the finished scan is named as answered.
    void buttonWaitsForTheQuestion()
    {
        Rig rig(m_service, 405);
        QVERIFY(rig.ready());
        QSignalSpy started(rig.ui()->scan, &ScanWidget::onStartScan);
        QTimer refuse;  // what a scan that should never have started opens is closed at once
        connect(&refuse, &QTimer::timeout, this, [&] {
            if (QWidget *modal = QApplication::activeModalWidget(); started.count() > 1 && modal && modal != rig.dlg.get())
                modal->close();
        });
        refuse.start(10);
        const auto polledOn = [&rig] { return QTest::qWaitFor([&, served = rig.sim()->blocksServed()] { return rig.sim()->blocksServed() > served + 20; }, kWaitMs); };
        auto answer = onModal<ZoneChooserDialog>([&](ZoneChooserDialog *c) {
            rig.sim()->sweep(41);
            if (QTest::qWaitFor([&] { return !rig.sim()->isButtonPressed(); }, kWaitMs))
                rig.sim()->pressButton();
            if (!polledOn())
                return;
            c->findChild<QComboBox *>()->setCurrentText(QStringLiteral("Collo sx"));
            QTest::mouseClick(c->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        rig.sim()->sweep(31);
        QVERIFY(QTest::qWaitFor([&] { return handled(answer) && !rig.dlg->scans.isEmpty(); }, kWaitMs) && polledOn());
        rig.sim()->releaseButton();
        QVERIFY(rig.ready() && started.count() == 1 && rig.listed() == QStringList{"Collo sx"});
        QCOMPARE(rig.ui()->scan->commThread->lineCount, 30);
    }

    void listRenameDeleteAndCompare()
    {
        Rig rig(m_service, 406);
        // A zone typed as a number: its text also occurs in the date and the time.
        QVERIFY(rig.scan(200, QStringLiteral("2"), 1));
        const int firstLines = rig.ui()->scan->commThread->lineCount;
        QVERIFY(rig.scan(20, QStringLiteral("Petto dx")));
        QListWidget *list = rig.ui()->listWidget;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QVERIFY(rig.ui()->scan->commThread->lineCount == firstLines && rig.area()->analysis.linemarks == rig.marksOf(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QVERIFY(rig.ui()->scan->commThread->lineCount == 20 && rig.area()->analysis.linemarks.isEmpty());
        // A scan whose file was cut short says so beside the picture; a whole one gives the
        // scanner's state back.
        const QLabel *status = rig.ui()->scan->findChild<QLabel *>(QStringLiteral("lbStatus"));
        const QString idle = status->text();
        QVERIFY(QFile::resize(rig.dlg->scans.at(0).d2dFile, 12 + 7 * 946 + 500));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(status->text(), QStringLiteral("Scansione incompleta: mostrate solo le righe complete (7)."));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(status->text(), idle);
        // Another day lists its own scans, and the comparison opens on it and the scan
        // picked. A new scan goes back to today.
        const QDate today = QDate::currentDate(), earlier = today.addDays(-3);
        for (const ScanFile &scan : std::as_const(rig.dlg->scans))
            copyToDay(scan, earlier);
        rig.ui()->dtDay->setDate(earlier);
        QVERIFY(rig.listed() == QStringList({"2", "Petto dx"}) && rig.dlg->scans.at(1).dateTime.date() == earlier);
        QString shown;
        auto compare = onModal<CompareScansDlg>([&](CompareScansDlg *c) { shown = c->startDate.toString(Qt::ISODate) + ' ' + c->defaultName; c->reject(); });
        list->setCurrentRow(1);
        rig.dlg->compareAction->trigger();
        QCOMPARE(shown, earlier.toString(Qt::ISODate) + ' ' + rig.dlg->scans.at(1).baseName);
        rig.ui()->dtDay->setDate(earlier.addDays(-1));
        QVERIFY(rig.listed().isEmpty() && rig.dlg->scans.isEmpty());
        QVERIFY(rig.scan(20, QStringLiteral("Collo dx")));
        QVERIFY(rig.ui()->dtDay->date() == today && rig.listed() == QStringList({"2", "Petto dx", "Collo dx"}));
        // Renamed from the list's context menu: every file, date and contents kept.
        const ScanFile before = rig.dlg->scans.at(0);
        QMap<QString, QByteArray> renamed;
        for (const auto &[name, bytes] : folderContents(rig.folder()).asKeyValueRange())
            renamed.insert(name.startsWith(QStringLiteral("2-") + today.toString(QStringLiteral("yyyyMMdd"))) ? QStringLiteral("Vita") + name.mid(1) : name, bytes);
        rig.dlg->dirty = false;
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
        QVERIFY(parseVQFile(after.jpgFile).dateTime == before.dateTime && folderContents(rig.folder()) == renamed && rig.dlg->dirty);
        // A name another scan's file already has is refused, and nothing moves.
        QFile(rig.folder() + QStringLiteral("Fianco") + rig.dlg->scans.at(1).baseName.mid(8) + QStringLiteral(".d2d")).open(QIODevice::WriteOnly);
        list->setCurrentRow(1);
        QString warning;
        auto refused = answerBox(&warning, QMessageBox::Ok);
        answer = answerZone(QStringLiteral("Fianco"));
        rig.dlg->renameAction->trigger();
        QCOMPARE(warning, QStringLiteral("Impossibile rinominare la scansione 'Petto dx' in 'Fianco'."));
        QVERIFY(QFile::exists(rig.dlg->scans.at(1).jpgFile) && rig.listed().at(1) == QStringLiteral("Petto dx"));
        // Deleting asks: Cancel keeps the files, Yes removes them.
        QString question;
        auto cancel = answerBox(&question, QMessageBox::Cancel);
        list->setCurrentRow(0);
        rig.dlg->deleteAction->trigger();
        QVERIFY(question == QStringLiteral("Eliminare la scansione 'Vita'?") && folderContents(rig.folder()).size() == 16);
        auto yes = answerBox(&question, QMessageBox::Yes);
        rig.dlg->deleteAction->trigger();
        QVERIFY(!QFile::exists(after.jpgFile) && !QFile::exists(after.d2dFile) && !QFile::exists(after.jsonFile));
        QVERIFY(rig.listed() == QStringList({"Petto dx", "Collo dx"}) && rig.dlg->scans.size() == 2 && folderContents(rig.folder()).size() == 13);
    }

    // A new client and two scans (one with marks), sent: the client first, then the exam
    // with its six files and the body data; the other pages follow the client.
    void newClientExamSent()
    {
        Rig rig(m_service, 501);
        const QString oldFolder = rig.folder();
        rig.ui()->edWeight->setValue(71.5);
        rig.ui()->edHeight->setValue(168.0);
        rig.ui()->slActivityLevel->setValue(2);
        QVERIFY(rig.scan(30, QStringLiteral("Coscia dx")) && rig.scan(200, QStringLiteral("Vita"), 1));
        const QMap<QString, QByteArray> local = folderContents(oldFolder);
        QCOMPARE(local.size(), 6);
        QCOMPARE(rig.send(), sentText);
        QVERIFY(rig.ui()->progressBar->isHidden() && pending().isEmpty());
        QVERIFY(rig.client.web_id > 0 && !QFileInfo::exists(oldFolder) && folderContents(rig.folder()) == local);
        QCOMPARE(storeText(QStringLiteral("select weight || ' ' || height || ' ' || offline from clients")), QStringLiteral("71.5 168 0"));
        const QByteArray form = "idSender=501&action=getUserWorks&idUser=" + QByteArray::number(rig.client.web_id);
        const QJsonArray works = QJsonDocument::fromJson(m_service.request("POST", m_service.endpointUrl().path(), form, "application/x-www-form-urlencoded").body)["data"]["works"].toArray();
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6").arg(works.size()).arg(works[0]["date"].toString()).arg(works[0]["weight"].toDouble()).arg(works[0]["height"].toDouble())
                     .arg(works[0]["activityLevel"].toInt()).arg(works[0]["scanFilenames"].toArray().size()),
                 QStringLiteral("1 ") + QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 71.5 168 2 2"));
        if (!ReferenceService::onPostgres())  // there the files are in the database
            QCOMPARE(folderContents(m_service.dataDir() + QStringLiteral("/files/501/%1/%2").arg(rig.client.web_id).arg(works[0]["id"].toInt())), local);
        QTabBar *tabs = rig.ui()->tabWidget->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(rig.dlg->anamnesisTab->findChild<QLabel *>(QStringLiteral("lbNoAnamnesiMsg"))->isVisible());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        auto *exams = rig.dlg->archiveTab->findChild<QListWidget *>(QStringLiteral("lwWorks"));
        QVERIFY(QTest::qWaitFor([&] { return exams->count() == 1; }, kWaitMs) && exams->item(0)->text() == QDate::currentDate().toString("dd/MM/yyyy"));
        QVERIFY(rig.close(QStringLiteral("Annulla")).isEmpty() && !rig.dlg->isVisible());
    }

    // The service is down: the client cannot go, and the exam waits in the outbox with
    // the dialog's body data.
    void serviceDownQueuesTheExam()
    {
        m_service.stop();
        Rig rig(m_service, 502);
        QVERIFY(rig.scan(20, QStringLiteral("Fianco sx")));
        rig.ui()->edWeight->setValue(80.3);
        rig.ui()->slActivityLevel->setValue(4);
        QCOMPARE(rig.send(), failureText);
        QVERIFY(rig.dlg->dirty && rig.client.web_id == 0);
        QCOMPARE(pending(), QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 166.5 80.3 4"));
        QVERIFY(!rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible());
    }

    // Sent from the editor while the exam is open, the client is confirmed: the header
    // and the folder are the new ones, and it is not sent again with the exam. Its exams
    // are refused (storage full, a failing service) and wait in the outbox, one a day.
    void clientFromTheEditorAndExamRefused()
    {
        Rig rig(m_service, 504);
        const QString oldFolder = rig.folder();
        auto editor = onModal<ClientEditDlg>([](ClientEditDlg *e) {
            e->findChild<QLineEdit *>(QStringLiteral("edName"))->selectAll();
            QTest::keyClicks(e->findChild<QLineEdit *>(QStringLiteral("edName")), QStringLiteral("Marta"));
            QTest::mouseClick(e->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        rig.ui()->edWeight->setValue(59.0);
        QTest::mouseClick(rig.ui()->btEditClient, Qt::LeftButton);
        QVERIFY(handled(editor) && rig.ui()->lbName->text() == QStringLiteral("Marta Rossi") && rig.ui()->edWeight->value() == 58.2 && !rig.dlg->dirty);
        QVERIFY(QTest::qWaitFor([&] { return rig.client.web_id != 0 && !QFileInfo::exists(oldFolder); }, kWaitMs));
        QVERIFY(rig.scan(20, QStringLiteral("Spalla dx")) && rig.dlg->scans.at(0).jpgFile.startsWith(rig.folder()));
        QVERIFY(m_service.injectFault(QStringLiteral("code:405"), QStringLiteral("uploadExamZip")));
        QCOMPARE(rig.send(), QStringLiteral("Impossibile caricare i dati: lo spazio web riservato è esaurito."));
        // The same scans as if taken the day before, sent from that day: its own row.
        const QDate today = QDate::currentDate(), yesterday = today.addDays(-1);
        copyToDay(rig.dlg->scans.at(0), yesterday);
        rig.ui()->dtDay->setDate(yesterday);
        rig.ui()->edWeight->setValue(59.0);
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadExamZip"), 0));
        QCOMPARE(rig.send(), failureText);
        QCOMPARE(pending(), QStringLiteral("%1 166.5 59 0, %2 166.5 58.2 0").arg(yesterday.toString(Qt::ISODate), today.toString(Qt::ISODate)));
        QCOMPARE(storeText(QStringLiteral("select group_concat(parked) from (select parked from outbox where kind = 'exam' order by examDate)")), QStringLiteral("0,1"));
        int clientUploads = 0;
        for (const QJsonValue &request : m_service.receivedRequests())
            clientUploads += request["kind"].toString() == QStringLiteral("setUserData") ? 1 : 0;
        QCOMPARE(clientUploads, 1);
    }

    // "Invia Dati" in the closing question sends and keeps the dialog open while the
    // upload runs; an exam still on its way when the dialog is left goes on without it.
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
        rig.dlg->show();
        rig.ui()->edWeight->setValue(58.4);
        QVERIFY(m_service.injectFault(QStringLiteral("delay:2500"), QStringLiteral("uploadExamZip")));
        QTest::mouseClick(rig.ui()->btSend, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return rig.ui()->progressBar->isVisible(); }, kWaitMs));
        QCOMPARE(pending(), QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 166.5 58.4 0"));
        QVERIFY(!rig.close(QStringLiteral("Esci senza inviare")).isEmpty() && !rig.dlg->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return pending().isEmpty(); }, kWaitMs));
        const QByteArray form = "idSender=505&action=getUserWorks&idUser=" + QByteArray::number(rig.client.web_id);
        QVERIFY(m_service.request("POST", m_service.endpointUrl().path(), form, "application/x-www-form-urlencoded").body.contains("\"weight\":58.4"));
    }

private:
    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(ExamDlgTest)
#include "tst_examdlg.moc"
