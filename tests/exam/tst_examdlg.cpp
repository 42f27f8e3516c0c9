#include "TestMain.h"

#include "ExamTestSupport.h"

#include "anamnesis/AnamnesisTabWidget.h"
#include "app/ClientEditDlg.h"
#include "scan/ArchiveTabWidget.h"
#include "scan/CompareScansDlg.h"
#include "store/ScanFileNames.h"

#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>

using namespace ExamTest;

namespace {

// The exam subsystem's debug lines.
QStringList g_examLog;
QtMessageHandler g_previousHandler = nullptr;

void collectExamLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && QByteArray(context.category) == "calvestra.exam")
        g_examLog.append(message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QList<int> marksInFile(const QString &path)
{
    QList<int> marks;
    const QJsonArray array = QJsonDocument::fromJson(readFile(path)).object().value(QStringLiteral("linemarks")).toArray();
    for (const QJsonValue &v : array)
        marks << v.toInt(-1);
    return marks;
}

// Records every address the code asks the desktop to open, instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
    }
    ~UrlCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

QPushButton *okButton(ExamDlg *dlg)
{
    return dlg->ui->buttonBox->button(QDialogButtonBox::Ok);
}

// Right-clicks a row the way the window system does: the press makes it current, then
// the context-menu event follows.
void rightClickRow(QListWidget *list, int row)
{
    const QPoint pos = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list->viewport(), &event);
}

void clickRow(QListWidget *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
}

}  // namespace

class ExamDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useSimulatedScanner();
        g_previousHandler = qInstallMessageHandler(collectExamLog);
    }

    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }

    void init() { g_examLog.clear(); }

    void formAndHeader()
    {
        ExamRig rig;
        ExamDlg *dlg = rig.dlg.get();
        Ui::ExamDlg *ui = dlg->ui.get();
        QCOMPARE(dlg->objectName(), QStringLiteral("ExamDlg"));
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Esame"));
        QVERIFY(dlg->isModal());
        QVERIFY(dlg->isSizeGripEnabled());
        QVERIFY(dlg->windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(dlg->windowFlags() & Qt::WindowCloseButtonHint);
        // Bigger than the screen (less 50 pixels of height): maximised; else as designed.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const bool tooBig = 1054 > screen.width() || 697 > screen.height() - 50;
        QCOMPARE(bool(dlg->windowState() & Qt::WindowMaximized), tooBig);
        if (!tooBig)
            QCOMPARE(dlg->size(), QSize(1054, 697));

        // The client header sits in the tab bar's corner.
        QWidget *corner = ui->tabWidget->cornerWidget(Qt::TopRightCorner);
        QVERIFY(corner);
        for (QWidget *w : {static_cast<QWidget *>(ui->btEditClient), static_cast<QWidget *>(ui->lbName),
                           static_cast<QWidget *>(ui->lbSex), static_cast<QWidget *>(ui->lbAge)})
            QCOMPARE(w->parentWidget(), corner);
        QCOMPARE(corner->layout()->contentsMargins(), QMargins(0, 0, 4, 4));
        QVERIFY(ui->wgClientInfo->isHidden());
        QCOMPARE(ui->btEditClient->minimumSize(), QSize(28, 28));
        QCOMPARE(ui->btEditClient->maximumSize(), QSize(28, 28));
        QVERIFY(!ui->btEditClient->icon().isNull());
        QCOMPARE(ui->lbName->text(), QStringLiteral("Giulia Rossi"));
        QCOMPARE(ui->lbSex->text(), QStringLiteral("Donna"));
        QCOMPARE(ui->lbAge->text(), QStringLiteral("34 Anni"));

        QCOMPARE(ui->tabWidget->count(), 3);
        QCOMPARE(ui->tabWidget->tabText(0), QStringLiteral("&Nuovo Esame"));
        QCOMPARE(ui->tabWidget->tabText(1), QStringLiteral("&Anamnesi"));
        QCOMPARE(ui->tabWidget->tabText(2), QStringLiteral("Archivio &Esami"));
        QCOMPARE(ui->tabWidget->currentWidget(), ui->tabNewExam);
        QVERIFY(dlg->anamnesisTab && dlg->anamnesisTab->parentWidget() == ui->tabAnamnesi);
        QVERIFY(dlg->archiveTab && dlg->archiveTab->parentWidget() == ui->tabArchive);

        QCOMPARE(ui->edWeight->decimals(), 1);
        QCOMPARE(ui->edWeight->maximum(), 300.0);
        QCOMPARE(ui->edWeight->suffix(), QStringLiteral(" Kg"));
        QVERIFY(ui->edWeight->alignment() & Qt::AlignRight);
        QCOMPARE(ui->edWeight->maximumWidth(), 160);
        QCOMPARE(ui->edHeight->decimals(), 1);
        QCOMPARE(ui->edHeight->maximum(), 300.0);
        QCOMPARE(ui->edHeight->suffix(), QStringLiteral(" cm"));
        QCOMPARE(ui->edWeight->value(), 58.2);
        QCOMPARE(ui->edHeight->value(), 166.5);
        QCOMPARE(ui->slActivityLevel->minimum(), 0);
        QCOMPARE(ui->slActivityLevel->maximum(), 4);
        QCOMPARE(ui->slActivityLevel->pageStep(), 1);
        QCOMPARE(ui->slActivityLevel->orientation(), Qt::Horizontal);
        QCOMPARE(ui->slActivityLevel->tickPosition(), QSlider::TicksAbove);
        QCOMPARE(ui->slActivityLevel->value(), 0);
        QCOMPARE(ui->lbActivityLevel->text(), QStringLiteral("Nessuna Attività"));
        QVERIFY(ui->lbActivityLevel->alignment() & Qt::AlignHCenter);
        QCOMPARE(ui->btCompareScan->text(), QStringLiteral("Confronta scansioni..."));
        QCOMPARE(ui->btGoToWebApp->text(), QStringLiteral("Vai alla web app..."));

        QCOMPARE(ui->scan->mode, swmAcquisition);
        QCOMPARE(ui->scan->minimumSize(), QSize(480, 400));
        QCOMPARE(ui->wgDayScans->minimumWidth(), 180);
        QCOMPARE(ui->wgDayScans->maximumWidth(), 180);
        QCOMPARE(ui->dtDay->date(), QDate::currentDate());
        QVERIFY(ui->dtDay->calendarPopup());
        QCOMPARE(ui->dtDay->font().pointSize(), 10);
        QCOMPARE(ui->listWidget->viewMode(), QListView::IconMode);
        QCOMPARE(ui->listWidget->iconSize(), QSize(160, 120));
        QCOMPARE(ui->listWidget->resizeMode(), QListView::Adjust);
        QCOMPARE(ui->listWidget->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(ui->btSave->text(), QStringLiteral("Salva"));
        QCOMPARE(ui->btSend->text(), QStringLiteral("Invia Esame"));
        QVERIFY(ui->btSend->styleSheet().contains(QStringLiteral("#3f51b5")));

        QVERIFY(ui->progressBar->isHidden());
        QCOMPARE(ui->progressBar->maximumHeight(), 12);
        QCOMPARE(ui->progressBar->minimum(), 0);
        QCOMPARE(ui->progressBar->maximum(), 100);
        QCOMPARE(ui->buttonBox->standardButtons(), QDialogButtonBox::Ok);

        QStringList menu;
        for (QAction *a : dlg->scanMenu->actions())
            menu << a->text();
        QCOMPARE(menu, (QStringList{"Elimina", "Rinomina", "Compara"}));
        QVERIFY(dlg->zoneChooser && dlg->zoneChooser->parent() == dlg);
        QVERIFY(dlg->exam);
        QVERIFY(!dlg->dirty);
        QVERIFY(dlg->scans.isEmpty());
    }

    void headerSex_data()
    {
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("shown");
        QTest::newRow("F") << QStringLiteral("F") << QStringLiteral("Donna");
        QTest::newRow("M") << QStringLiteral("M") << QStringLiteral("Uomo");
        QTest::newRow("lower-case f") << QStringLiteral("f") << QStringLiteral("Uomo");
        QTest::newRow("empty") << QString() << QStringLiteral("Uomo");
    }
    void headerSex()
    {
        QFETCH(QString, sex);
        QFETCH(QString, shown);
        ExamRig rig(sex);
        QCOMPARE(rig.dlg->ui->lbSex->text(), shown);
    }

    void activityLevels()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        Ui::ExamDlg *ui = rig.dlg->ui.get();
        const QStringList texts = {"Nessuna Attività", "2 volte settimana", "3/4 volte settimana",
                                   "5 volte settimana", "6/7 volte settimana"};
        ui->slActivityLevel->setFocus();
        for (int level = 1; level <= 4; ++level) {
            QTest::keyClick(ui->slActivityLevel, Qt::Key_Right);
            QCOMPARE(ui->slActivityLevel->value(), level);
            QCOMPARE(ui->lbActivityLevel->text(), texts.at(level));
        }
        QTest::keyClick(ui->slActivityLevel, Qt::Key_Home);
        QCOMPARE(ui->lbActivityLevel->text(), texts.at(0));
        QVERIFY(rig.dlg->dirty);
        // The level is not taken from the client.
        QCOMPARE(rig.client().activityLevel, 0);
    }

    void bodyDataMakesDirty()
    {
        ExamRig rig;
        QVERIFY(!rig.dlg->dirty);
        rig.dlg->ui->edWeight->setValue(61.0);
        QVERIFY(rig.dlg->dirty);
        rig.dlg->init(&rig.client());
        QVERIFY(!rig.dlg->dirty);
        QCOMPARE(rig.dlg->ui->edWeight->value(), 58.2);
        rig.dlg->ui->edHeight->setValue(170.0);
        QVERIFY(rig.dlg->dirty);
    }

    void closingWithoutChangesClosesAtOnce()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        MessageSeen seen;
        auto answer = answerMessage(&seen, QStringLiteral("Annulla"));
        QTest::mouseClick(okButton(rig.dlg.get()), Qt::LeftButton);
        QVERIFY(!rig.dlg->isVisible());
        QCOMPARE(rig.dlg->result(), int(QDialog::Accepted));

        QVERIFY(rig.show());
        QTest::keyClick(rig.dlg.get(), Qt::Key_Escape);
        QVERIFY(!rig.dlg->isVisible());
        QCOMPARE(rig.dlg->result(), int(QDialog::Rejected));
        QTest::qWait(100);
        QVERIFY(!seen.seen);
    }

    void closingAfterChangesAsks()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDlg *dlg = rig.dlg.get();
        dlg->ui->slActivityLevel->setFocus();
        QTest::keyClick(dlg->ui->slActivityLevel, Qt::Key_Right);
        QVERIFY(dlg->dirty);

        // "Annulla" keeps the dialog open.
        MessageSeen seen;
        auto answer = answerMessage(&seen, QStringLiteral("Annulla"));
        QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Alcune modifiche non sono state inviate al server. Inviare i dati?"));
        QStringList buttons = seen.buttons;
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Annulla", "Esci senza inviare", "Invia Dati"}));
        QVERIFY(dlg->isVisible());

        // Escape on the dialog asks too, and Escape on the question is "Annulla".
        bool asked = false;
        auto escape = onModal<QMessageBox>([&asked](QMessageBox *box) {
            asked = true;
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::keyClick(dlg, Qt::Key_Escape);
        QVERIFY(asked);
        QVERIFY(dlg->isVisible());

        // The window's close button asks as well.
        MessageSeen closing;
        auto closeAnswer = answerMessage(&closing, QStringLiteral("Annulla"));
        dlg->close();
        QVERIFY(closing.seen);
        QVERIFY(dlg->isVisible());

        // "Esci senza inviare" closes with the result asked for.
        MessageSeen leaving;
        auto leave = answerMessage(&leaving, QStringLiteral("Esci senza inviare"));
        QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        QVERIFY(leaving.seen);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
    }

    void scanSavedUnderChosenZone()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scan(30, QStringLiteral("Vita")));
        const QString day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        QStringList files = filesIn(rig.folder());
        QCOMPARE(files.size(), 2);
        for (const QString &f : files)
            QVERIFY2(f.startsWith(QStringLiteral("Vita-") + day + QStringLiteral("--")), qPrintable(f));
        QVERIFY(files.filter(QStringLiteral(".jpg")).size() == 1 && files.filter(QStringLiteral(".d2d")).size() == 1);
        QCOMPARE(d.listTexts(), QStringList{"Vita"});
        QCOMPARE(rig.dlg->scans.size(), 1);
        QCOMPARE(rig.dlg->scans.at(0).zone, QStringLiteral("Vita"));
        QCOMPARE(rig.dlg->scans.at(0).jpgFile, rig.folder() + files.filter(QStringLiteral(".jpg")).first());
        QVERIFY(rig.dlg->scans.at(0).jsonFile.isEmpty());
        QVERIFY(rig.dlg->dirty);
        QVERIFY(!rig.dlg->ui->scan->dirty);
        QCOMPARE(rig.dlg->ui->listWidget->currentRow(), 0);
        // The picture file is a real picture of the scan.
        QImage picture(rig.dlg->scans.at(0).jpgFile);
        QCOMPARE(picture.size(), QSize(500, 400));

        // The chooser offers the zone chosen last.
        QString offered;
        QTest::qWait(1100);  // a new second, so that the two scans never share a name
        QVERIFY(d.scan(25, QStringLiteral("Coscia dx"), &offered));
        QCOMPARE(offered, QStringLiteral("Vita"));
        QCOMPARE(d.listTexts(), (QStringList{"Vita", "Coscia dx"}));
        QCOMPARE(rig.dlg->ui->listWidget->currentRow(), 1);
        QCOMPARE(filesIn(rig.folder()).size(), 4);
        // Rebuilt from the folder, the list is in name order.
        rig.dlg->refreshList();
        QCOMPARE(d.listTexts(), (QStringList{"Coscia dx", "Vita"}));
    }

    void cancelledZoneChooserWritesNothing()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scan(30, QString()));
        QVERIFY(filesIn(rig.folder()).isEmpty());
        QVERIFY(rig.dlg->scans.isEmpty());
        QCOMPARE(rig.dlg->ui->listWidget->count(), 0);
        // The finished scan counts as a change and stays there to be saved.
        QVERIFY(rig.dlg->dirty);
        QVERIFY(rig.dlg->ui->scan->dirty);

        // A typed zone made only of symbols is no choice either.
        auto symbols = answerZone(QStringLiteral("-/-"));
        QTest::mouseClick(rig.dlg->ui->btSave, Qt::LeftButton);
        QVERIFY(symbols->handled());
        QVERIFY(filesIn(rig.folder()).isEmpty());

        auto answer = answerZone(QStringLiteral("Petto sx"));
        QTest::mouseClick(rig.dlg->ui->btSave, Qt::LeftButton);
        QVERIFY(answer->handled());
        QCOMPARE(d.listTexts(), QStringList{"Petto sx"});
        QCOMPARE(filesIn(rig.folder()).size(), 2);
        QVERIFY(!rig.dlg->ui->scan->dirty);
    }

    void buttonPressClosesOpenChooser()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.waitReady());
        QList<int> results;
        connect(rig.dlg->zoneChooser, &QDialog::finished, this, [&results](int r) { results << r; });

        // The first question is left unanswered: the probe's button is pressed again, and
        // the whole second scan is over before the interface handles any of it.
        auto pressAgain = onModal<ZoneChooserDialog>([&d](ZoneChooserDialog *) {
            d.sim()->sweep(41);
            QTest::qSleep(400);
        });
        // The question for the second scan gets an answer.
        auto answer = std::make_unique<ModalHandler<ZoneChooserDialog>>(
            [](ZoneChooserDialog *c) {
                auto *combo = c->findChild<QComboBox *>(QStringLiteral("cbZones"));
                combo->setCurrentText(QStringLiteral("Collo sx"));
                QTest::mouseClick(c->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            },
            [&results](ZoneChooserDialog *) { return !results.isEmpty(); }, kWaitMs);
        d.sim()->sweep(31);
        QVERIFY(QTest::qWaitFor([&] { return answer->handled() && !rig.dlg->scans.isEmpty(); }, kWaitMs));
        QVERIFY(pressAgain->handled());
        QCOMPARE(results, (QList<int>{QDialog::Rejected, QDialog::Accepted}));
        QCOMPARE(d.listTexts(), QStringList{"Collo sx"});
        QCOMPARE(filesIn(rig.folder()).size(), 2);
        // What was saved is the second scan (40 lines), not the first (30).
        QVERIFY(QTest::qWaitFor([&] { return d.waitReady(); }, kWaitMs));
        QCOMPARE(rig.dlg->ui->scan->commThread->lineCount, 40);
    }

    void marksWithKeys()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scanWithMarks(2, QStringLiteral("Coscia dx")));
        QCOMPARE(g_examLog.count(QStringLiteral("ok sono qui Keypress!")), 2);
        const QStringList files = filesIn(rig.folder());
        QCOMPARE(files.size(), 3);
        const ScanFile saved = rig.dlg->scans.at(0);
        QVERIFY(!saved.jsonFile.isEmpty());
        const QList<int> marks = marksInFile(saved.jsonFile);
        QCOMPARE(marks.size(), 2);
        QVERIFY(marks.at(0) >= 20 && marks.at(1) >= marks.at(0) + 20);
        QVERIFY(marks.at(1) <= rig.dlg->ui->scan->commThread->lineCount + 1);

        // Space on the focused OK button marks the scan and the dialog stays open,
        // without the unsent-changes question.
        MessageSeen seen;
        auto answer = answerMessage(&seen, QStringLiteral("Annulla"));
        QPushButton *ok = okButton(rig.dlg.get());
        ok->setFocus();
        const int before = d.area()->analysis.linemarks.size();
        QTest::keyClick(ok, Qt::Key_Space);
        QTest::qWait(100);
        QCOMPARE(d.area()->analysis.linemarks.size(), before + 1);
        QVERIFY(rig.dlg->isVisible());
        QVERIFY(!seen.seen);
        // Space and M on the dialog itself mark as well; other keys do not.
        QTest::keyClick(rig.dlg.get(), Qt::Key_Space);
        QTest::keyClick(rig.dlg.get(), Qt::Key_M);
        QTest::keyClick(rig.dlg.get(), Qt::Key_A);
        QCOMPARE(d.area()->analysis.linemarks.size(), before + 3);
        QCOMPARE(g_examLog.count(QStringLiteral("ok sono qui Keypress!")), 5);
        QVERIFY(rig.dlg->isVisible());
    }

    void renameRenamesEveryFile()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scanWithMarks(1, QStringLiteral("Coscia dx")));
        const ScanFile before = rig.dlg->scans.at(0);
        const QByteArray jpgBytes = readFile(before.jpgFile);
        const QByteArray d2dBytes = readFile(before.d2dFile);
        const QByteArray jsonBytes = readFile(before.jsonFile);
        const QString tail = before.baseName.mid(QStringLiteral("Coscia dx").size());
        rig.dlg->dirty = false;

        rig.dlg->ui->listWidget->setCurrentRow(0);
        QString offered;
        auto answer = onModal<ZoneChooserDialog>([&offered](ZoneChooserDialog *c) {
            auto *combo = c->findChild<QComboBox *>(QStringLiteral("cbZones"));
            offered = combo->currentText();
            // The scan's zone is selected: typing replaces it.
            QTest::keyClicks(combo->lineEdit(), QStringLiteral("Vita"));
            QTest::mouseClick(c->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        rig.dlg->renameAction->trigger();
        QVERIFY(answer->handled());
        QCOMPARE(offered, QStringLiteral("Coscia dx"));

        const QStringList expected = {QStringLiteral("Vita") + tail + QStringLiteral(".d2d"),
                                      QStringLiteral("Vita") + tail + QStringLiteral(".jpg"),
                                      QStringLiteral("Vita") + tail + QStringLiteral(".json")};
        QCOMPARE(filesIn(rig.folder()), expected);
        const ScanFile after = rig.dlg->scans.at(0);
        QCOMPARE(after.zone, QStringLiteral("Vita"));
        QCOMPARE(after.baseName, QStringLiteral("Vita") + tail);
        QCOMPARE(after.jpgFile, rig.folder() + expected.at(1));
        QCOMPARE(after.d2dFile, rig.folder() + expected.at(0));
        QCOMPARE(after.jsonFile, rig.folder() + expected.at(2));
        QCOMPARE(after.dateTime, before.dateTime);
        QCOMPARE(readFile(after.jpgFile), jpgBytes);
        QCOMPARE(readFile(after.d2dFile), d2dBytes);
        QCOMPARE(readFile(after.jsonFile), jsonBytes);
        QCOMPARE(d.listTexts(), QStringList{"Vita"});
        QVERIFY(rig.dlg->dirty);
        // A fresh list from the folder agrees.
        rig.dlg->refreshList();
        QCOMPARE(d.listTexts(), QStringList{"Vita"});
        QCOMPARE(rig.dlg->scans.at(0).jsonFile, after.jsonFile);
    }

    void renameKeepsTheDateWhenTheZoneIsADigit()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        // A zone typed as a number: its text also occurs in the date and time.
        QVERIFY(d.scan(20, QStringLiteral("2")));
        const ScanFile before = rig.dlg->scans.at(0);
        QCOMPARE(before.zone, QStringLiteral("2"));
        rig.dlg->ui->listWidget->setCurrentRow(0);
        auto answer = answerZone(QStringLiteral("Vita"));
        rig.dlg->renameAction->trigger();
        QVERIFY(answer->handled());
        const ScanFile after = rig.dlg->scans.at(0);
        QCOMPARE(after.baseName, QStringLiteral("Vita") + before.baseName.mid(1));
        QVERIFY(QFile::exists(after.jpgFile));
        QVERIFY(QFile::exists(after.d2dFile));
        QVERIFY(!QFile::exists(before.jpgFile));
        QCOMPARE(parseVQFile(after.jpgFile).dateTime, before.dateTime);
        rig.dlg->refreshList();
        QCOMPARE(d.listTexts(), QStringList{"Vita"});
        QCOMPARE(rig.dlg->scans.at(0).dateTime, before.dateTime);
    }

    void renameRefusedWhenTheNameIsTaken()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scan(20, QStringLiteral("Coscia dx")));
        const ScanFile before = rig.dlg->scans.at(0);
        // Another scan's raw data already carries the new name.
        const QString taken = rig.folder() + QStringLiteral("Vita") + before.baseName.mid(9) + QStringLiteral(".d2d");
        {
            QFile f(taken);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("another scan");
        }
        rig.dlg->ui->listWidget->setCurrentRow(0);
        auto answer = answerZone(QStringLiteral("Vita"));
        MessageSeen seen;
        auto warning = answerMessage(&seen, QString(), QString(), QMessageBox::Ok);
        rig.dlg->renameAction->trigger();
        QVERIFY(answer->handled());
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Impossibile rinominare la scansione 'Coscia dx' in 'Vita'."));
        QVERIFY(QFile::exists(before.jpgFile));
        QVERIFY(QFile::exists(before.d2dFile));
        QCOMPARE(readFile(taken), QByteArray("another scan"));
        QCOMPARE(rig.dlg->scans.at(0).zone, QStringLiteral("Coscia dx"));
        QCOMPARE(rig.dlg->scans.at(0).jpgFile, before.jpgFile);
        QCOMPARE(d.listTexts(), QStringList{"Coscia dx"});
    }

    void renameCancelledChangesNothing()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scan(20, QStringLiteral("Petto dx")));
        const QStringList files = filesIn(rig.folder());
        rig.dlg->ui->listWidget->setCurrentRow(0);
        auto answer = answerZone(QString());
        rig.dlg->renameAction->trigger();
        QVERIFY(answer->handled());
        QCOMPARE(filesIn(rig.folder()), files);
        QCOMPARE(d.listTexts(), QStringList{"Petto dx"});
        // Without a current row there is nothing to rename.
        rig.dlg->ui->listWidget->setCurrentRow(-1);
        auto none = answerZone(QStringLiteral("Vita"));
        rig.dlg->renameAction->trigger();
        QTest::qWait(100);
        QVERIFY(!none->handled());
        QCOMPARE(filesIn(rig.folder()), files);
    }

    void deleteRemovesFiles()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scanWithMarks(1, QStringLiteral("Vita")));
        QTest::qWait(1100);
        QVERIFY(d.scan(20, QStringLiteral("Petto dx")));
        QCOMPARE(filesIn(rig.folder()).size(), 5);
        const ScanFile vita = rig.dlg->scans.at(0);
        rig.dlg->dirty = false;

        rig.dlg->ui->listWidget->setCurrentRow(0);
        MessageSeen cancelled;
        auto cancel = answerMessage(&cancelled, QString(), QString(), QMessageBox::Cancel);
        rig.dlg->deleteAction->trigger();
        QVERIFY(cancelled.seen);
        QCOMPARE(cancelled.title, QStringLiteral("Elimina Scansione"));
        QCOMPARE(cancelled.text, QStringLiteral("Eliminare la scansione 'Vita'?"));
        QCOMPARE(cancelled.buttons.size(), 2);
        QCOMPARE(filesIn(rig.folder()).size(), 5);
        QCOMPARE(d.listTexts(), (QStringList{"Vita", "Petto dx"}));
        QVERIFY(!rig.dlg->dirty);

        MessageSeen confirmed;
        auto yes = answerMessage(&confirmed, QString(), QString(), QMessageBox::Yes);
        rig.dlg->deleteAction->trigger();
        QVERIFY(confirmed.seen);
        QVERIFY(!QFile::exists(vita.jpgFile));
        QVERIFY(!QFile::exists(vita.d2dFile));
        QVERIFY(!QFile::exists(vita.jsonFile));
        QCOMPARE(filesIn(rig.folder()).size(), 2);
        QCOMPARE(d.listTexts(), QStringList{"Petto dx"});
        QCOMPARE(rig.dlg->scans.size(), 1);
        QCOMPARE(rig.dlg->scans.at(0).zone, QStringLiteral("Petto dx"));
        QVERIFY(rig.dlg->dirty);
        QVERIFY(g_examLog.contains(QStringLiteral("delete scan Vita ") + vita.jpgFile));

        // Without a current row nothing is asked.
        rig.dlg->ui->listWidget->setCurrentRow(-1);
        MessageSeen none;
        auto noQuestion = answerMessage(&none, QString(), QString(), QMessageBox::Yes);
        rig.dlg->deleteAction->trigger();
        QTest::qWait(100);
        QVERIFY(!none.seen);
        QCOMPARE(filesIn(rig.folder()).size(), 2);
    }

    void contextMenuActions()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scan(20, QStringLiteral("Coscia dx")));
        QListWidget *list = rig.dlg->ui->listWidget;
        list->setCurrentRow(-1);
        rightClickRow(list, 0);
        QVERIFY(QTest::qWaitFor([&] { return rig.dlg->scanMenu->isVisible(); }, kWaitMs));
        QCOMPARE(list->currentRow(), 0);
        auto answer = answerZone(QStringLiteral("Fianco dx"));
        QMenu *menu = rig.dlg->scanMenu;
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(rig.dlg->renameAction).center());
        QVERIFY(QTest::qWaitFor([&] { return answer->handled(); }, kWaitMs));
        QVERIFY(QTest::qWaitFor([&] { return d.listTexts() == QStringList{"Fianco dx"}; }, kWaitMs));
        QCOMPARE(filesIn(rig.folder()).filter(QStringLiteral("Fianco dx-")).size(), 2);
    }

    void dayChangeListsThatDaysScans()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QDateEdit *day = rig.dlg->ui->dtDay;
        QVERIFY(d.scan(20, QStringLiteral("Vita")));
        QTest::qWait(1100);
        QVERIFY(d.scan(20, QStringLiteral("Collo dx")));
        const QDate earlier = QDate::currentDate().addDays(-3);
        copyScanToDay(rig.dlg->scans.at(0), earlier);
        copyScanToDay(rig.dlg->scans.at(1), earlier);

        day->setDate(earlier);
        QCOMPARE(d.listTexts(), (QStringList{"Collo dx", "Vita"}));
        for (const ScanFile &s : std::as_const(rig.dlg->scans))
            QCOMPARE(s.dateTime.date(), earlier);
        day->setDate(earlier.addDays(-1));
        QVERIFY(d.listTexts().isEmpty());
        QVERIFY(rig.dlg->scans.isEmpty());

        // Saving a new scan goes back to today.
        day->setDate(earlier);
        QTest::qWait(1100);
        QVERIFY(d.scan(20, QStringLiteral("Spalla sx")));
        QCOMPARE(day->date(), QDate::currentDate());
        QCOMPARE(d.listTexts(), (QStringList{"Collo dx", "Vita", "Spalla sx"}));
        for (const ScanFile &s : std::as_const(rig.dlg->scans))
            QCOMPARE(s.dateTime.date(), QDate::currentDate());
    }

    void clickingAScanLoadsIt()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QVERIFY(d.scanWithMarks(1, QStringLiteral("Vita")));
        const QList<int> vitaMarks = marksInFile(rig.dlg->scans.at(0).jsonFile);
        const int vitaLines = rig.dlg->ui->scan->commThread->lineCount;
        QTest::qWait(1100);
        QVERIFY(d.scan(20, QStringLiteral("Collo dx")));
        QCOMPARE(rig.dlg->ui->scan->commThread->lineCount, 20);
        QListWidget *list = rig.dlg->ui->listWidget;

        clickRow(list, 0);
        QCOMPARE(rig.dlg->ui->scan->commThread->lineCount, vitaLines);
        QCOMPARE(d.area()->analysis.linemarks, vitaMarks);
        QVERIFY(d.area()->image);
        clickRow(list, 1);
        QCOMPARE(rig.dlg->ui->scan->commThread->lineCount, 20);
        QVERIFY(d.area()->analysis.linemarks.isEmpty());
    }

    void webAppButtonOpensHomePage()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        UrlCatcher catcher;
        QTest::mouseClick(rig.dlg->ui->btGoToWebApp, Qt::LeftButton);
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.first(), QUrl(AppSettings::webHost() + QStringLiteral("/Apps/Movelta/")));
    }

    void editClientReloadsTheHeader()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDlg *dlg = rig.dlg.get();
        dlg->ui->edWeight->setValue(99.0);
        QVERIFY(dlg->dirty);
        bool edited = false;
        auto editor = onModal<ClientEditDlg>([&edited](ClientEditDlg *e) {
            auto *name = e->findChild<QLineEdit *>(QStringLiteral("edName"));
            name->selectAll();
            QTest::keyClicks(name, QStringLiteral("Marta"));
            QTest::mouseClick(e->findChild<QRadioButton *>(QStringLiteral("rbMale")), Qt::LeftButton);
            edited = true;
            QTest::mouseClick(e->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(dlg->ui->btEditClient, Qt::LeftButton);
        QVERIFY(edited);
        QCOMPARE(dlg->ui->lbName->text(), QStringLiteral("Marta Rossi"));
        QCOMPARE(dlg->ui->lbSex->text(), QStringLiteral("Uomo"));
        // The fields are reloaded from the record and the changes count for nothing.
        QCOMPARE(dlg->ui->edWeight->value(), 58.2);
        QVERIFY(!dlg->dirty);
        QCOMPARE(storeValue(QStringLiteral("select name from clients where id = %1").arg(rig.client().id)).toString(),
                 QStringLiteral("Marta"));
    }

    void compareOpensTheComparison()
    {
        ExamRig rig;
        QVERIFY(rig.show());
        ExamDriver &d = *rig.driver;
        QDate shownDate;
        QString shownName;
        int runs = 0;
        auto compare = onModal<CompareScansDlg>([&](CompareScansDlg *c) {
            shownDate = c->startDate;
            shownName = c->defaultName;
            ++runs;
            c->reject();
        });
        compare->setRepeat(true);
        // Without scans: today and no scan name.
        QTest::mouseClick(rig.dlg->ui->btCompareScan, Qt::LeftButton);
        QCOMPARE(runs, 1);
        QCOMPARE(shownDate, QDate::currentDate());
        QVERIFY(shownName.isEmpty());

        QVERIFY(d.scan(20, QStringLiteral("Vita")));
        rig.dlg->ui->listWidget->setCurrentRow(0);
        rig.dlg->compareAction->trigger();
        QCOMPARE(runs, 2);
        QCOMPARE(shownDate, rig.dlg->ui->dtDay->date());
        QCOMPARE(shownName, rig.dlg->scans.at(0).baseName);
        QVERIFY(rig.dlg->findChildren<CompareScansDlg *>().isEmpty());
    }

    void uploadProgressBar()
    {
        ExamRig rig;
        QProgressBar *bar = rig.dlg->ui->progressBar;
        rig.dlg->uploadProgress(1, 3);
        QCOMPARE(bar->value(), 33);
        rig.dlg->uploadProgress(2, 3);
        QCOMPARE(bar->value(), 67);
        rig.dlg->uploadProgress(1, 8);
        QCOMPARE(bar->value(), 13);
        rig.dlg->uploadProgress(5, 0);
        QCOMPARE(bar->value(), 13);
        rig.dlg->uploadProgress(4096, 4096);
        QCOMPARE(bar->value(), 100);
    }

    void sendOutcomesReachTheDialogOnce()
    {
        ExamRig rig(QStringLiteral("F"), 4711);
        QVERIFY(rig.show());
        ExamDlg *dlg = rig.dlg.get();
        HttpService *service = dlg->service;
        dlg->ui->slActivityLevel->setValue(3);
        dlg->ui->edWeight->setValue(60.5);
        dlg->ui->dtDay->setDate(QDate::currentDate().addDays(-2));
        // Connected twice (two presses of the send button) the outcomes still arrive once.
        dlg->connectSendSignals(false);
        dlg->connectSendSignals(false);
        dlg->sendExam();
        QVERIFY(dlg->ui->progressBar->isVisible());

        MessageSeen seen;
        auto full = answerMessage(&seen, QString(), QString(), QMessageBox::Ok);
        full->setRepeat(true);
        service->m_connected = true;
        // The service refuses for lack of space before the request even ends.
        emit service->onWebSpaceOver();
        QCOMPARE(full->count(), 1);
        QCOMPARE(seen.title, QStringLiteral("upload"));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.text, QStringLiteral("Impossibile caricare i dati: lo spazio web riservato è esaurito."));
        QVERIFY(!service->m_connected);
        QVERIFY(!dlg->ui->progressBar->isVisible());
        const QString day = QDate::currentDate().addDays(-2).toString(Qt::ISODate);
        QCOMPARE(pendingExamRows(),
                 QStringList{QStringLiteral("%1|%2|166.5|60.5|3").arg(rig.client().id).arg(day)});
        // The weight sent was stored as the client's.
        QCOMPARE(storeValue(QStringLiteral("select weight from clients where id = %1").arg(rig.client().id)).toDouble(),
                 60.5);

        // The connections went with the outcome.
        emit service->onUploadExamFail();
        Exam confirmed;
        emit service->onUploadExamDone(&confirmed);
        QTest::qWait(200);
        QCOMPARE(full->count(), 1);
        QCOMPARE(pendingExamRows().size(), 1);
        QVERIFY(dlg->dirty);
    }
};

CALVESTRA_TEST_MAIN(ExamDlgTest)
#include "tst_examdlg.moc"
