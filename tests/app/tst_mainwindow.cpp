#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/app/WindowTestSupport.h"

#include "app/ClientEditDlg.h"
#include "app/QueryManagerDlg.h"
#include "app/SettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QPointer>
#include <QSignalSpy>
#include <QToolTip>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace {

const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

QStringList list(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    out.sort();
    return out;
}

void typeFilter(MainWindow *window, const QString &text)
{
    auto *filter = child<QLineEdit>(window, "edFilter");
    filter->selectAll();
    QTest::keyClick(filter, Qt::Key_Delete);
    for (const QChar ch : text) {
        // keyClicks knows ASCII only; an accented letter arrives as the text of its key.
        if (ch.unicode() < 128)
            QTest::keyClick(filter, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, filter, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Picks an entry of the window's menu the way an operator does: the menu button,
// then a click on the entry in the popup.
void chooseMenuEntry(MainWindow *window, const QString &text)
{
    auto *timer = new QTimer(QCoreApplication::instance());
    const QDeadlineTimer deadline(5000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, text, deadline] {
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!popup) {
            if (deadline.hasExpired()) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        for (QAction *action : popup->actions()) {
            if (action->text() == text) {
                QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(action).center());
                return;
            }
        }
        popup->close();
    });
    timer->start(10);
    QTest::mouseClick(child<QToolButton>(window, "tbMenu"), Qt::LeftButton);
}

bool columnShown(MainWindow *window, int column)
{
    return !tableOf(window)->isColumnHidden(column);
}

}  // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/calvestra-test-bus");
        if (!m_service.start())
            QSKIP(qPrintable(QStringLiteral("reference service: ") + m_service.errorString()));
    }

    void init()
    {
        QVERIFY(m_service.resetHooks());
        ++m_account;
    }

    void freshProfileDefaults()
    {
        WindowSetup setup(m_service.endpointUrl(), m_account);
        // Only the service address and the account are configured: everything else is
        // what a new installation finds.
        QCOMPARE(QSettings().allKeys(), (QStringList{QStringLiteral("endpoint"), QStringLiteral("idTrainer")}));
        MainWindow *window = setup.open();

        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Calvestra 0.6.4"));
        QCOMPARE(window->font().family(), QStringLiteral("Verdana"));
        // Development mode is applied and written back; nothing else is written.
        QCOMPARE(QSettings().value(QStringLiteral("devMode")).toBool(), false);
        QCOMPARE(QSettings().allKeys().size(), 3);
        QCOMPARE(HttpService::m_instance->m_url, m_service.endpointUrl());
        QCOMPARE(DataModule::m_instance->m_appVersion, QStringLiteral("0.6.4"));

        // Beta mode off: the ids are hidden; the activity level and the offline mark always are.
        for (int column : {0, 1, 8, 15})
            QVERIFY2(!columnShown(window, column), qPrintable(QString::number(column)));
        for (int column : {2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14})
            QVERIFY2(columnShown(window, column), qPrintable(QString::number(column)));
        QHeaderView *header = tableOf(window)->horizontalHeader();
        QVERIFY(header->visualIndex(2) < header->visualIndex(3));
        QVERIFY(tableOf(window)->isSortingEnabled());
        QCOMPARE(modelOf(window)->editStrategy(), QSqlTableModel::OnManualSubmit);
        const QStringList headers{QStringLiteral("id"),        QStringLiteral("web_id"),    QStringLiteral("Cognome"),
                                  QStringLiteral("Nome"),      QStringLiteral("Sesso"),     QStringLiteral("Data Nascita"),
                                  QStringLiteral("Altezza"),   QStringLiteral("Peso"),      QStringLiteral("Livello Attività"),
                                  QStringLiteral("Indirizzo"), QStringLiteral("Località"),  QStringLiteral("Prov."),
                                  QStringLiteral("CAP"),       QStringLiteral("Telefono"),  QStringLiteral("Email"),
                                  QStringLiteral("offline")};
        for (int column = 0; column < headers.size(); ++column)
            QCOMPARE(modelOf(window)->headerData(column, Qt::Horizontal).toString(), headers.at(column));

        QVERIFY(child<QProgressBar>(window, "progressBar")->isHidden());
        QVERIFY(!child<QPushButton>(window, "btEditUser")->isEnabled());
        QVERIFY(!child<QPushButton>(window, "btDelUser")->isEnabled());
        QCOMPARE(child<QPushButton>(window, "btAddUser")->toolTip(), QStringLiteral("Aggiungi Utente"));
        QCOMPARE(child<QPushButton>(window, "btRefresh")->toolTip(), QStringLiteral("Aggiorna Lista Utenti"));
        QCOMPARE(child<QStatusBar>(window, "statusbar")->styleSheet(), QStringLiteral("background:transparent;"));
        QCOMPARE(window->manualUrl(),
                 AppSettings::webHost() + QStringLiteral("/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_IT.pdf"));

        auto *label = child<QLabel>(window, "networkStatusLabel");
        QCOMPARE(label->toolTip(), QStringLiteral("Disconnesso"));
        QVERIFY(label->maximumSize() == QSize(22, 16));

        // The client list is fetched at start: the service was asked for it.
        QVERIFY(QTest::qWaitFor([&] { return receivedActions(m_service, m_account).contains(QStringLiteral("getUsers")); },
                                10000));
        // And the service is reachable: the probe turns the picture to connected.
        QVERIFY(QTest::qWaitFor([&] { return label->toolTip() == QLatin1String("Connesso"); }, 10000));
        QCOMPARE(label->property("connected").toBool(), true);

        // 80 % of the available area, centred above a 30 pixel band at the bottom.
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize expected(qRound(available.width() * 0.8), qRound(available.height() * 0.8));
        QCOMPARE(window->size(), expected);
        QRect centred(QPoint(), expected);
        centred.moveCenter(available.adjusted(0, 0, 0, -30).center());
        QCOMPARE(window->pos(), centred.topLeft());
    }

    void freshInstallGetsTheQuestionnaireModels()
    {
        WindowSetup setup(m_service.endpointUrl(), m_account);
        setup.open();
        const QString folder = DataModule::m_instance->m_assetsPath + QStringLiteral("models/");
        // The service offers its models; the window asks for them once it can reach it.
        QVERIFY(QTest::qWaitFor([&] { return receivedActions(m_service, m_account).contains(QStringLiteral("getAnamnesiModels")); },
                                15000));
        QVERIFY(QTest::qWaitFor([&] { return !QDir(folder).entryList({QStringLiteral("*.anm")}, QDir::Files).isEmpty(); },
                                15000));
    }

    void autoLoadUsersDecidesTheDownload()
    {
        const int webId = addServiceClient(m_service, m_account, QStringLiteral("Remoto"), QStringLiteral("Paolo"));
        QVERIFY(webId > 0);
        {
            WindowSetup setup(m_service.endpointUrl(), m_account);
            AppSettings::setAutoLoadUsers(false);
            addLocalClient(QStringLiteral("Locale"), QStringLiteral("Lia"), 0, true);
            MainWindow *window = setup.open();
            window->show();
            QTest::qWait(1500);
            QCOMPARE(shownClients(window), list({"Locale Lia"}));
            QVERIFY(!receivedActions(m_service, m_account).contains(QStringLiteral("getUsers")));
        }
        {
            WindowSetup setup(m_service.endpointUrl(), m_account);
            addLocalClient(QStringLiteral("Locale"), QStringLiteral("Lia"), 0, true);
            MainWindow *window = setup.open();
            QVERIFY(QTest::qWaitFor([&] { return shownClients(window).size() == 2; }, 10000));
            QCOMPARE(shownClients(window), list({"Locale Lia", "Remoto Paolo"}));
            QVERIFY(child<QProgressBar>(window, "progressBar")->isHidden());
        }
    }

    void filter()
    {
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), 11, false);
        addLocalClient(QStringLiteral("Mancini"), QStringLiteral("Anna"), 12, false);
        addLocalClient(QStringLiteral("Amato"), QStringLiteral("Luca"), 13, false);
        addLocalClient(QStringLiteral("D'Amico"), QStringLiteral("Sara"), 14, false);
        addLocalClient(QStringLiteral("De Santis"), QStringLiteral("Giosuè"), 15, false);
        addLocalClient(QStringLiteral("Neri"), QStringLiteral("JOSÈ"), 16, false);
        MainWindow *window = setup.open();
        const QStringList everyone =
            list({"Rossi Mario", "Mancini Anna", "Amato Luca", "D'Amico Sara", "De Santis Giosuè", "Neri JOSÈ"});
        QCOMPARE(shownClients(window), everyone);

        typeFilter(window, QStringLiteral("ma"));
        QCOMPARE(shownClients(window), list({"Rossi Mario", "Mancini Anna"}));
        typeFilter(window, QStringLiteral("ROSSI MA"));
        QCOMPARE(shownClients(window), list({"Rossi Mario"}));
        // A word of a compound surname starts a word too.
        typeFilter(window, QStringLiteral("san"));
        QCOMPARE(shownClients(window), list({"De Santis Giosuè"}));
        typeFilter(window, QStringLiteral("mario rossi"));
        QCOMPARE(shownClients(window), QStringList());
        typeFilter(window, QString());
        QCOMPARE(shownClients(window), everyone);

        // A quote no longer breaks the list: it matches the quote in a name.
        typeFilter(window, QStringLiteral("'"));
        QCOMPARE(shownClients(window), list({"D'Amico Sara"}));
        typeFilter(window, QStringLiteral("d'am"));
        QCOMPARE(shownClients(window), list({"D'Amico Sara"}));
        typeFilter(window, QStringLiteral("'am"));
        QCOMPARE(shownClients(window), list({"D'Amico Sara"}));
        typeFilter(window, QStringLiteral("o'n"));
        QCOMPARE(shownClients(window), QStringList());
        // Text that would have closed the literal and widened the condition finds nothing.
        typeFilter(window, QStringLiteral("x' or 1=1 or '"));
        QCOMPARE(shownClients(window), QStringList());
        typeFilter(window, QStringLiteral("x%' or 1=1) --"));
        QCOMPARE(shownClients(window), QStringList());
        QCOMPARE(storeValue(QStringLiteral("select count(*) from clients")).toInt(), 6);
        // The LIKE wildcards keep their meaning.
        typeFilter(window, QStringLiteral("%"));
        QCOMPARE(shownClients(window), everyone);
        typeFilter(window, QStringLiteral("r_ss"));
        QCOMPARE(shownClients(window), list({"Rossi Mario"}));

        // SQLite upper-cases ASCII only: an accented letter matches only when stored in upper case.
        typeFilter(window, QStringLiteral("giosuè"));
        QCOMPARE(shownClients(window), QStringList());
        typeFilter(window, QStringLiteral("josè"));
        QCOMPARE(shownClients(window), list({"Neri JOSÈ"}));
    }

    void filterConditionIsQuoted()
    {
        QCOMPARE(MainWindow::filterCondition(QStringLiteral("ma")),
                 QStringLiteral("' ' || upper(surname) || ' ' || upper(name) like '% MA%'"));
        QCOMPARE(MainWindow::filterCondition(QString()),
                 QStringLiteral("' ' || upper(surname) || ' ' || upper(name) like '% %'"));
        QCOMPARE(MainWindow::filterCondition(QStringLiteral("d'a")),
                 QStringLiteral("' ' || upper(surname) || ' ' || upper(name) like '%D''A%'"));
        QCOMPARE(MainWindow::filterCondition(QStringLiteral("a") + QChar(0) + QStringLiteral("b")),
                 QStringLiteral("' ' || upper(surname) || ' ' || upper(name) like '% AB%'"));
    }

    void betaModeFromTheSettingsDialog()
    {
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        AppSettings::setUserName(QStringLiteral("Laura"));
        MainWindow *window = setup.open();
        window->show();
        QCOMPARE(window->windowTitle(), QStringLiteral("Calvestra 0.6.4 - Laura"));
        QVERIFY(!columnShown(window, 0));

        QStringList titles;
        QList<bool> idsShown;
        bool parentless = false;
        whenModal([&](QWidget *modal) {
            auto *dlg = qobject_cast<SettingsDlg *>(modal);
            QVERIFY(dlg);
            parentless = dlg->parentWidget() == nullptr;
            const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key, ctrlShift); };
            press(Qt::Key_B);  // debug tab still hidden: nothing
            titles << window->windowTitle();
            idsShown << (columnShown(window, 0) && columnShown(window, 1));
            press(Qt::Key_D);
            for (int i = 0; i < 3; ++i) {
                press(Qt::Key_B);
                titles << window->windowTitle();
                idsShown << (columnShown(window, 0) && columnShown(window, 1));
            }
            // The notifications setting takes effect when the dialog closes.
            auto *notify = child<QCheckBox>(dlg, "chkShowUploadNotifyMessage");
            QTest::mouseClick(notify, Qt::LeftButton, {}, QPoint(8, notify->height() / 2));
            dlg->close();
        });
        chooseMenuEntry(window, QStringLiteral("Opzioni"));
        QVERIFY(parentless);
        QCOMPARE(titles, (QStringList{QStringLiteral("Calvestra 0.6.4 - Laura"), QStringLiteral("Calvestra 0.6.4 [BETA] - Laura"),
                                      QStringLiteral("Calvestra 0.6.4 - Laura"), QStringLiteral("Calvestra 0.6.4 [BETA] - Laura")}));
        QCOMPARE(idsShown, (QList<bool>{false, true, false, true}));
        QCOMPARE(AppSettings::betaMode(), true);
        QCOMPARE(AppSettings::showUploadNotifyMessage(), false);
        QVERIFY(columnShown(window, 0) && columnShown(window, 1));
        QVERIFY(!columnShown(window, 8) && !columnShown(window, 15));

        // A window opened in beta mode starts with the ids shown and the mark in its title.
        setup.window.reset();
        MainWindow *again = setup.open();
        QCOMPARE(again->windowTitle(), QStringLiteral("Calvestra 0.6.4 [BETA] - Laura"));
        QVERIFY(columnShown(again, 0) && columnShown(again, 1));
    }

    void developmentMode()
    {
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        AppSettings::setDevMode(true);
        AppSettings::setBetaMode(true);
        MainWindow *window = setup.open();
        QCOMPARE(window->windowTitle(), QStringLiteral("Calvestra 0.6.4 DEV [BETA]"));
        QCOMPARE(HttpService::m_instance->m_url, m_service.endpointUrl(true));
        window->setDevMode(false);
        QCOMPARE(window->windowTitle(), QStringLiteral("Calvestra 0.6.4 [BETA]"));
        QCOMPARE(AppSettings::devMode(), false);
        QCOMPARE(HttpService::m_instance->m_url, m_service.endpointUrl(false));
    }

    void portugueseColumnOrderAndManual_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("swapped");
        QTest::addColumn<QString>("manual");
        QTest::newRow("pt-br") << "pt-br" << true << "Guide_PT-BR.pdf";
        QTest::newRow("pt") << "pt" << true << "Guide_PT.pdf";
        QTest::newRow("en") << "en" << false << "Guide_EN.pdf";
        QTest::newRow("it") << "it" << false << "Guide_IT.pdf";
    }
    void portugueseColumnOrderAndManual()
    {
        QFETCH(QString, lang);
        QFETCH(bool, swapped);
        QFETCH(QString, manual);
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        AppSettings::setLang(lang);
        MainWindow *window = setup.open();
        window->show();
        QHeaderView *header = tableOf(window)->horizontalHeader();
        QCOMPARE(header->visualIndex(3) < header->visualIndex(2), swapped);
        // The model keeps its columns; only the shown order changes.
        QCOMPARE(modelOf(window)->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Nome"));

        UrlCatcher catcher;
        chooseMenuEntry(window, QStringLiteral("Guida"));
        QVERIFY(QTest::qWaitFor([&] { return !catcher.urls.isEmpty(); }, 5000));
        QCOMPARE(catcher.urls.size(), 1);
        const QString opened = catcher.urls.first().toString(QUrl::FullyEncoded);
        QVERIFY2(opened.endsWith(QStringLiteral("/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_") + manual.mid(6)),
                 qPrintable(opened));
        QCOMPARE(opened, QUrl(window->manualUrl()).toString(QUrl::FullyEncoded));

        // The address stays for the window's life, whatever the setting becomes.
        AppSettings::setLang(QStringLiteral("it"));
        chooseMenuEntry(window, QStringLiteral("Guida"));
        QVERIFY(QTest::qWaitFor([&] { return catcher.urls.size() == 2; }, 5000));
        QCOMPARE(catcher.urls.at(1), catcher.urls.at(0));
    }

    void deleteConfirmedAndCancelled()
    {
        const int webId = addServiceClient(m_service, m_account, QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QVERIFY(webId > 0);
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        const int rossi = addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), webId, false);
        addLocalClient(QStringLiteral("Mancini"), QStringLiteral("Anna"), webId + 1000, false);
        MainWindow *window = setup.open();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *del = child<QPushButton>(window, "btDelUser");
        QVERIFY(!del->isEnabled());

        QVERIFY(clickClient(window, QStringLiteral("Rossi")));
        QVERIFY(del->isEnabled());
        QVERIFY(child<QPushButton>(window, "btEditUser")->isEnabled());
        {
            MessageBoxAnswerer answer(QMessageBox::No);
            QTest::mouseClick(del, Qt::LeftButton);
            QVERIFY(answer.seen());
            QCOMPARE(answer.text(), QStringLiteral("Eliminazione Utente"));
            QCOMPARE(answer.informativeText(), QStringLiteral("L'utente 'Rossi Mario'sta per essere eliminato.\nContinuare?"));
            QCOMPARE(answer.buttons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(answer.defaultButton(), QMessageBox::Yes);
        }
        QCOMPARE(shownClients(window), list({"Mancini Anna", "Rossi Mario"}));
        QTest::qWait(300);
        QVERIFY(!receivedActions(m_service, m_account).contains(QStringLiteral("deleteUser")));

        QVERIFY(clickClient(window, QStringLiteral("Rossi")));
        {
            MessageBoxAnswerer answer(QMessageBox::Yes);
            QTest::mouseClick(del, Qt::LeftButton);
            QVERIFY(answer.seen());
        }
        QCOMPARE(shownClients(window), list({"Mancini Anna"}));
        // Nothing is selected any more, so there is nothing to edit or delete.
        QVERIFY(!del->isEnabled());
        QVERIFY(!child<QPushButton>(window, "btEditUser")->isEnabled());
        QCOMPARE(storeValue(QStringLiteral("select count(*) from clients where id = %1").arg(rossi)).toInt(), 0);
        QCOMPARE(storeValue(QStringLiteral("select count(*) from clients")).toInt(), 1);
        // The service is told by the web id.
        QVERIFY(QTest::qWaitFor([&] { return receivedActions(m_service, m_account).contains(QStringLiteral("deleteUser")); },
                                10000));
        for (const QJsonObject &request : receivedFrom(m_service, m_account)) {
            if (requestField(request, QStringLiteral("action")) == QLatin1String("deleteUser"))
                QCOMPARE(requestField(request, QStringLiteral("idUser")), QString::number(webId));
        }
    }

    void addAndEditThroughTheEditor()
    {
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), 21, false);
        MainWindow *window = setup.open();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        // Cancel adds nothing.
        whenModal([](QWidget *modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("UserEditDlg"));
            QTest::keyClicks(child<QLineEdit>(modal, "edName"), QStringLiteral("Nessuno"));
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QTest::mouseClick(child<QPushButton>(window, "btAddUser"), Qt::LeftButton);
        QCOMPARE(shownClients(window), list({"Rossi Mario"}));

        bool parentIsWindow = false;
        whenModal([&](QWidget *modal) {
            parentIsWindow = modal->parentWidget() == window;
            QTest::keyClicks(child<QLineEdit>(modal, "edName"), QStringLiteral("Giulia"));
            QTest::keyClicks(child<QLineEdit>(modal, "edSurname"), QStringLiteral("Verdi"));
            QTest::mouseClick(child<QDialogButtonBox>(modal, "buttonBox")->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(window, "btAddUser"), Qt::LeftButton);
        QVERIFY(parentIsWindow);
        QCOMPARE(shownClients(window), list({"Rossi Mario", "Verdi Giulia"}));

        QVERIFY(clickClient(window, QStringLiteral("Rossi")));
        QString shownName;
        whenModal([&](QWidget *modal) {
            shownName = child<QLineEdit>(modal, "edName")->text();
            auto *city = child<QLineEdit>(modal, "edCity");
            QTest::keyClicks(city, QStringLiteral("Asti"));
            QTest::mouseClick(child<QDialogButtonBox>(modal, "buttonBox")->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(window, "btEditUser"), Qt::LeftButton);
        QCOMPARE(shownName, QStringLiteral("Mario"));
        QCOMPARE(storeValue(QStringLiteral("select city from clients where surname = 'Rossi'")).toString(),
                 QStringLiteral("Asti"));
        QSqlTableModel *model = modelOf(window);
        bool seen = false;
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 2).data().toString() == QLatin1String("Rossi")) {
                QCOMPARE(model->index(row, 10).data().toString(), QStringLiteral("Asti"));
                seen = true;
            }
        }
        QVERIFY(seen);
    }

    void doubleClickOpensTheExam()
    {
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), 31, false);
        MainWindow *window = setup.open();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *timer = child<QTimer>(window, "pendingTimer");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 3500);

        QString examName;
        bool timerRanDuringExam = true;
        bool modal = false;
        whenModal([&](QWidget *dlg) {
            examName = dlg->objectName() + QLatin1Char(':') + child<QLabel>(dlg, "lbName")->text();
            modal = dlg->isModal() && dlg->parentWidget() == window;
            timerRanDuringExam = timer->isActive();
            QTest::mouseClick(child<QDialogButtonBox>(dlg, "buttonBox")->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        doubleClick(tableOf(window)->viewport(), clientCell(window, QStringLiteral("Rossi")));
        QCOMPARE(examName, QStringLiteral("ExamDlg:Mario Rossi"));
        QVERIFY(modal);
        QVERIFY(!timerRanDuringExam);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);
    }

    void refreshShowsProgress()
    {
        for (int i = 1; i <= 7; ++i)
            QVERIFY(addServiceClient(m_service, m_account, QStringLiteral("Remoto%1").arg(i), QStringLiteral("N")) > 0);
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        MainWindow *window = setup.open();
        QSignalSpy progress(HttpService::m_instance, &HttpService::onGetClientsProgress);
        auto *bar = child<QProgressBar>(window, "progressBar");
        QCOMPARE(bar->format(), QStringLiteral("%v/%m"));
        QCOMPARE(shownClients(window).size(), 0);

        QTest::mouseClick(child<QPushButton>(window, "btRefresh"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return shownClients(window).size() == 7; }, 10000));
        QCOMPARE(progress.count(), 2);
        QCOMPARE(bar->maximum(), 7);
        QCOMPARE(bar->value(), 6);
        QVERIFY(bar->isHidden());

        // Between a report and the end of the download the bar shows the count.
        window->show();
        window->httpOnGetClientsProgress(3, 7);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), QStringLiteral("3/7"));
        window->httpOnGetClients({});
        QVERIFY(bar->isHidden());
    }

    void connectionPicture()
    {
        ReferenceService own;
        QVERIFY(own.start());
        WindowSetup setup(own.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        MainWindow *window = setup.open();
        auto *label = child<QLabel>(window, "networkStatusLabel");
        QVERIFY(QTest::qWaitFor([&] { return label->property("connected").toBool(); }, 10000));
        QCOMPARE(label->toolTip(), QStringLiteral("Connesso"));
        own.stop();
        QVERIFY(QTest::qWaitFor([&] { return !label->property("connected").toBool(); }, 15000));
        QCOMPARE(label->toolTip(), QStringLiteral("Disconnesso"));
        QVERIFY(own.restart());
        QVERIFY(QTest::qWaitFor([&] { return label->property("connected").toBool(); }, 15000));
    }

    // The status bar is see-through; the tool tips of its widgets (the list of what waits
    // to be sent, the connection state) must not be: dark text on their own background.
    void statusBarToolTipsAreReadable()
    {
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        MainWindow *window = setup.open();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (const char *name : {"networkStatusLabel", "cloudUploadButton"}) {
            auto *widget = child<QWidget>(window, name);
            widget->show();
            QToolTip::showText(widget->mapToGlobal(QPoint(4, 4)), widget->toolTip(), widget);
            // The tip label deletes itself once hidden.
            QPointer<QWidget> tip;
            QVERIFY(QTest::qWaitFor(
                [&] {
                    for (QWidget *top : QApplication::topLevelWidgets()) {
                        if (top->inherits("QTipLabel") && top->isVisible())
                            tip = top;
                    }
                    return tip != nullptr;
                },
                5000));
            // The tip as the screen shows it, over a black desktop.
            QImage shot(tip->size(), QImage::Format_ARGB32_Premultiplied);
            shot.fill(Qt::black);
            tip->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
            const QColor background = shot.pixelColor(2, shot.height() / 2);
            const QColor text = tip->palette().color(QPalette::WindowText);
            QVERIFY2(qAbs(background.lightness() - text.lightness()) > 100,
                     qPrintable(QStringLiteral("%1: background %2, text %3")
                                    .arg(QLatin1String(name), background.name(), text.name())));
            QToolTip::hideText();
            QVERIFY(QTest::qWaitFor([&] { return !tip || !tip->isVisible(); }, 5000));
        }
    }

    void sqlConsoleShortcut()
    {
        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        MainWindow *window = setup.open();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QString opened;
        whenModal([&](QWidget *dlg) {
            opened = dlg->objectName();
            dlg->close();
        });
        QTest::keyClick(tableOf(window), Qt::Key_Q, Qt::MetaModifier | Qt::ShiftModifier);
        QVERIFY(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
        QCOMPARE(opened, QStringLiteral("QueryManagerDlg"));
    }

    void updateQuestion_data()
    {
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("installer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("0.6.10 is newer") << "0.6.10" << "https://example.org/Calvestra-0.6.10.pkg" << true;
        QTest::newRow("0.7 is newer") << "0.7" << "http://example.org/setup.pkg" << true;
        QTest::newRow("0.6.4.1 is not") << "0.6.4.1" << "https://example.org/setup.pkg" << false;
        QTest::newRow("0.6.4 is not") << "0.6.4" << "https://example.org/setup.pkg" << false;
        QTest::newRow("0.6.3 is not") << "0.6.3" << "https://example.org/setup.pkg" << false;
        QTest::newRow("not a version") << "nuova" << "https://example.org/setup.pkg" << false;
        QTest::newRow("file address ignored") << "0.6.10" << "file:///tmp/setup.sh" << false;
        QTest::newRow("script address ignored") << "0.6.10" << "javascript:alert(1)" << false;
        QTest::newRow("no address") << "1.0.0" << "" << false;
    }
    void updateQuestion()
    {
        QFETCH(QString, latest);
        QFETCH(QString, installer);
        QFETCH(bool, asked);
        // The update file as the maker's site serves it.
        ReferenceService site;
        site.setExtraArguments({QStringLiteral("--latest-version"), latest, QStringLiteral("--installer-url"),
                                installer.isEmpty() ? QStringLiteral(" ") : installer});
        QVERIFY(site.start());
        const ReferenceService::Response file = site.request("GET", QStringLiteral("/Software/Calvestra20/updVersionMACOS.txt"));
        QCOMPARE(file.status, 200);
        const QString text = QString::fromUtf8(file.body);
        QVERIFY2(text.startsWith(latest + QLatin1Char('\n')), qPrintable(text));

        WindowSetup setup;
        AppSettings::setAutoLoadUsers(false);
        MainWindow *window = setup.open();
        window->show();
        UrlCatcher catcher;
        for (const QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
            MessageBoxAnswerer answer(button, 1500);
            emit HttpService::m_instance->onSwUpdateFile(text);
            QCOMPARE(answer.seen(), asked);
            if (asked) {
                QCOMPARE(answer.title(), QStringLiteral("Aggiornamento Software"));
                QCOMPARE(answer.text(),
                         QStringLiteral("E' online una nuova versione del software, si desidera scaricare il setup?"));
                QCOMPARE(answer.buttons(), QMessageBox::Yes | QMessageBox::No);
                QCOMPARE(answer.parentWidget(), window);
            }
            QTest::qWait(asked ? 0 : 300);
        }
        // Only Yes opens the installer's address, and only a web address.
        QCOMPARE(catcher.urls, asked ? QList<QUrl>{QUrl(installer)} : QList<QUrl>());
    }

private:
    ReferenceService m_service;
    int m_account = 500;
};

CALVESTRA_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
