#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "app/ClientEditDlg.h"
#include "app/QueryManagerDlg.h"
#include "app/SettingsDlg.h"
#include "app/Startup.h"
#include "app/StartupCheck.h"
#include "store/Exam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

namespace {

bool idsShown(MainWindow *window) { return !tableOf(window)->isColumnHidden(0) && !tableOf(window)->isColumnHidden(1); }

void click(QWidget *parent, const char *name) { QTest::mouseClick(child<QWidget>(parent, name), Qt::LeftButton, {}, QPoint(8, 8)); }

void clickBox(QWidget *dlg, QDialogButtonBox::StandardButton which) { QTest::mouseClick(child<QDialogButtonBox>(dlg, "buttonBox")->button(which), Qt::LeftButton); }

// Triggers an entry of the menu behind the window's menu button.
void chooseMenuEntry(MainWindow *window, const QString &text)
{
    for (QAction *action : child<QToolButton>(window, "tbMenu")->menu()->actions()) {
        if (action->text() == text)
            return action->trigger();
    }
    QFAIL(qPrintable(u"no menu entry "_s + text));
}

}  // namespace

class AppTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/calvestra-test-bus");  // folders open by the default handler
    }

    // The catalogue of the language (Portugal and Brazil say it differently; the code is
    // case-sensitive), for as long as its owner lives; and the window icon.
    void languages()
    {
        for (const auto &[code, deleteClient] : {std::pair(u"en"_s, u"Delete Client"_s), {u"pt"_s, u"Eliminar Cliente"_s},
                                                 {u"pt-br"_s, u"Excluir Cliente"_s}, {u"IT"_s, u"Elimina Utente"_s}}) {
            auto languages = std::make_unique<LanguageInstaller>();
            QCOMPARE(languages->install(code), deleteClient != u"Elimina Utente");
            QCOMPARE(MainWindow::tr("Elimina Utente"), deleteClient);
            languages.reset();
            QCOMPARE(MainWindow::tr("Elimina Utente"), u"Elimina Utente"_s);
        }
        Startup::applyWindowIcon();
        for (int edge : {16, 32, 48, 256})
            QVERIFY(QApplication::windowIcon().availableSizes().contains(QSize(edge, edge)));
    }

    void startupCheck_data()
    {
        QTest::addColumn<QString>("endpoint");  // empty: no service client at all
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("failure");  // empty: the picture is written
        QTest::newRow("nothing") << "" << false << 0 << "the main window is not shown; the web service did not answer; the client list stayed empty";
        QTest::newRow("empty list") << "service" << true << 0 << "the client list stayed empty";
        QTest::newRow("no answer") << "http://127.0.0.1:9/x.php" << true << 2 << "the web service did not answer";
        QTest::newRow("ready") << "service" << true << 3 << "";
    }
    // calvestra --check: a picture of the screen once the service answered and the client
    // table shows rows (which may come after the start), or what was missing at the limit.
    void startupCheck()
    {
        QFETCH(QString, endpoint);
        QFETCH(bool, shown);
        QFETCH(int, rows);
        QFETCH(QString, failure);
        WindowSetup profile(endpoint == u"service" ? m_service.endpointUrl().toString() : endpoint, 1);
        HttpService *http = endpoint.isEmpty() ? nullptr : HttpService::instance();
        QTRY_VERIFY_WITH_TIMEOUT(!http || http->m_connected == (endpoint == u"service"), 20000);
        QWidget window;  // what the check looks at is the window's client table
        QStandardItemModel model;
        (new QTableView(&window))->setModel(&model);
        window.findChild<QTableView *>()->setObjectName(u"tableView"_s);
        window.setVisible(shown);
        QTemporaryDir out;
        StartupCheck check(&window, http, out.filePath(u"sub/shot.png"_s), failure.isEmpty() ? 60000 : 1000);
        QSignalSpy finished(&check, &StartupCheck::finished);
        check.start();
        QTimer::singleShot(300, &model, [&] { model.setRowCount(rows); });
        QVERIFY(finished.wait(80000));
        QCOMPARE(finished.first().at(0).toInt(), failure.isEmpty() ? 0 : 1);
        QVERIFY2(failure.isEmpty() ? check.failure().isEmpty() : check.failure().endsWith(u" s: "_s + failure), qPrintable(check.failure()));
        QCOMPARE(QImage(out.filePath(u"sub/shot.png"_s)).isNull(), !failure.isEmpty());
    }

    void onTheService_data()
    {
        QTest::addColumn<bool>("autoLoad");
        QTest::newRow("list downloaded at start") << true;
        QTest::newRow("list downloaded on request") << false;
    }
    // On a reachable service the connection picture turns to connected, the questionnaire
    // models are asked for, and the client list is downloaded at start when the setting says
    // so (or by the refresh button), counted by the progress bar. A client is deleted only
    // when confirmed, locally and on the service (by its web id).
    void onTheService()
    {
        QFETCH(bool, autoLoad);
        const int account = autoLoad ? 501 : 502;
        QList<int> webIds;
        for (const QString &surname : {u"Alfa"_s, u"Beta"_s, u"Gamma"_s})
            webIds << addServiceClient(m_service, account, surname, u"Remoto"_s);
        WindowSetup setup(m_service.endpointUrl().toString(), account);
        AppSettings::setAutoLoadUsers(autoLoad);
        addLocalClient(u"Locale"_s, u"Lia"_s, 0, false);  // not queued: the lists stay the service's three
        MainWindow *window = setup.open();
        window->show();
        auto *label = child<QLabel>(window, "networkStatusLabel");
        QTRY_VERIFY_WITH_TIMEOUT(label->property("connected").toBool() && label->toolTip() == u"Connesso", 20000);
        // Asked for once the service answered, so after the list.
        QTRY_VERIFY_WITH_TIMEOUT(receivedActions(m_service, account).contains(u"getAnamnesiModels"_s), 20000);
        QCOMPARE(receivedActions(m_service, account).contains(u"getUsers"_s), autoLoad);
        if (!autoLoad) {
            QCOMPARE(shownClients(window), u"Locale Lia"_s);
            click(window, "btRefresh");
        }
        QTRY_COMPARE_WITH_TIMEOUT(shownClients(window), u"Alfa Remoto, Beta Remoto, Gamma Remoto, Locale Lia"_s, 20000);
        QVERIFY(child<QProgressBar>(window, "progressBar")->isHidden() && child<QProgressBar>(window, "progressBar")->maximum() == 3);

        const auto editable = [&] { return child<QWidget>(window, "btDelUser")->isEnabled() && child<QWidget>(window, "btEditUser")->isEnabled(); };
        QVERIFY(!editable());
        for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            clickClient(window, u"Alfa"_s);
            QVERIFY(editable());
            MessageBoxAnswerer box(answer);
            click(window, "btDelUser");
            QCOMPARE(box.informativeText(), u"L'utente 'Alfa Remoto'sta per essere eliminato.\nContinuare?"_s);
        }
        QCOMPARE(shownClients(window), u"Beta Remoto, Gamma Remoto, Locale Lia"_s);
        QVERIFY(!editable());
        QTRY_VERIFY_WITH_TIMEOUT(receivedActions(m_service, account, u"idUser"_s).contains(u"deleteUser:%1"_s.arg(webIds[0])), 20000);
        QCOMPARE(receivedActions(m_service, account).count(u"deleteUser"_s), 1);
    }

    void appearance_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("dev");
        QTest::addColumn<bool>("beta");
        QTest::addColumn<QString>("title");
        QTest::newRow("it") << "it" << false << false << "Calvestra 0.6.4 - Laura";
        QTest::newRow("en, development") << "en" << true << false << "Calvestra 0.6.4 DEV - Laura";
        QTest::newRow("pt, beta") << "pt" << false << true << "Calvestra 0.6.4 [BETA] - Laura";
        QTest::newRow("pt-br, both") << "pt-br" << true << true << "Calvestra 0.6.4 DEV [BETA] - Laura";
    }
    // Title; columns (the ids in beta mode only, Portuguese puts the name first); the
    // development script in development mode; the manual in the language of the start.
    void appearance()
    {
        QFETCH(QString, lang);
        QFETCH(bool, dev);
        QFETCH(bool, beta);
        QFETCH(QString, title);
        WindowSetup setup;
        AppSettings::setUserName(u"Laura"_s);
        AppSettings::setLang(lang);
        AppSettings::setDevMode(dev);
        AppSettings::setBetaMode(beta);
        MainWindow *window = setup.open();
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(idsShown(window), beta);
        QVERIFY(tableOf(window)->isColumnHidden(8) && tableOf(window)->isColumnHidden(15));
        QCOMPARE(tableOf(window)->horizontalHeader()->visualIndex(3) < tableOf(window)->horizontalHeader()->visualIndex(2), lang.startsWith(u"pt"));
        QCOMPARE(HttpService::m_instance->m_url.path().endsWith(u"_dev.php"), dev);
        UrlCatcher catcher;
        AppSettings::setLang(u"it"_s);  // takes effect at the next start
        chooseMenuEntry(window, u"Guida"_s);
        QCOMPARE(catcher.urls, QList<QUrl>{AppSettings::webHost() + u"/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_"_s + lang.toUpper() + u".pdf"_s});
    }

    void filter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("start of a word") << "ma" << "Mancini Anna, Rossi Mario";
        QTest::newRow("surname then name") << "ROSSI MA" << "Rossi Mario";
        QTest::newRow("name then surname") << "mario rossi" << "";
        QTest::newRow("word of a compound surname") << "san" << "De Santis Giosuè";
        QTest::newRow("empty") << "" << "D'Amico Sara, De Santis Giosuè, Mancini Anna, Rossi Mario";
        QTest::newRow("a quote") << "'" << "D'Amico Sara";
        QTest::newRow("quote inside a word") << "d'am" << "D'Amico Sara";
        QTest::newRow("quote, no match") << "o'n" << "";
        QTest::newRow("widening the condition") << "x' or 1=1 or '" << "";
        QTest::newRow("LIKE wildcard") << "r_ss" << "Rossi Mario";
        QTest::newRow("NUL dropped") << u"ro"_s + QChar(0) + u"ss"_s << "Rossi Mario";
    }
    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        WindowSetup setup;
        for (const QString &client : {u"Rossi Mario"_s, u"Mancini Anna"_s, u"D'Amico Sara"_s, u"De Santis Giosuè"_s})
            addLocalClient(client.section(u' ', 0, -2), client.section(u' ', -1), 1, false);
        MainWindow *window = setup.open();
        child<QLineEdit>(window, "edFilter")->setText(text);
        QCOMPARE(shownClients(window), shown);
    }

    // From the window: the client editor over it, for a new client or the current one.
    // Every field holds a different text, so one read or written in the wrong place shows;
    // Cancel saves nothing; OK saves what the form holds (any sex but "F" as "M"), keeps
    // the rest, marks the client unsent, and the list shows it at once. The exam, modal on
    // a double click: no background upload runs while it is open, and afterwards the check
    // runs every 5 s instead of 3.5 s. The SQL console on Meta+Shift+Q: only a statement
    // that starts with "select" shows rows; errors are logged as SQLite reports them while
    // preparing; Clear; a double click on a table or in the history fills the editor.
    void dialogsFromTheWindow()
    {
        WindowSetup setup;
        Client c;
        const QStringList v = u"Anna|Bianchi|Via Po 3|Torino|10123|TO|anna@example.org|011 555"_s.split(u'|');
        std::tie(c.name, c.surname, c.address, c.city, c.zipcode, c.province, c.email, c.phone) = std::tie(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        std::tie(c.sex, c.birthday, c.height, c.weight, c.web_id, c.offline) = std::tuple(u"f"_s, QDate(1985, 3, 21), 165, 58.5, 77, false);
        c.saveToDB(false, false);
        MainWindow *window = setup.open();
        window->show();
        QStringList forms;
        const auto editor = [&](const char *button, const QStringList &typed, QDialogButtonBox::StandardButton answer) {
            whenModal([&, typed, answer](QWidget *dlg) {
                QStringList form{dlg->parentWidget() == window ? u"over the window"_s : u"elsewhere"_s};
                int i = 0;
                for (const char *name : {"edName", "edSurname", "edAddress", "edCity", "edZipCode", "edProv", "edEMail", "edPhone"}) {
                    form << child<QLineEdit>(dlg, name)->text();
                    if (!typed.value(i++).isEmpty()) {
                        child<QLineEdit>(dlg, name)->selectAll();
                        QTest::keyClicks(child<QLineEdit>(dlg, name), typed[i - 1]);
                    }
                }
                forms << (form << child<QDateEdit>(dlg, "dpBirthday")->date().toString(Qt::ISODate) << (child<QRadioButton>(dlg, "rbFemale")->isChecked() ? u"F"_s : u"M"_s)).join(u'|');
                if (typed.size() > 8)
                    click(dlg, "rbFemale");
                clickBox(dlg, answer);
            });
            click(window, button);
        };
        const QStringList typed = u"Maria |D'Amico|Corso Francia 10|Asti|10138|AT|m@example.org|+39 333|F"_s.split(u'|');
        editor("btAddUser", typed, QDialogButtonBox::Cancel);
        editor("btAddUser", typed, QDialogButtonBox::Ok);
        for (const QString &surname : {u"Bianchi"_s, u"D'Amico"_s}) {
            clickClient(window, surname);
            editor("btEditUser", {surname.left(2) + u"ra"_s}, QDialogButtonBox::Ok);
        }
        QCOMPARE(forms, (QStringList{u"over the window|||||||||2000-01-01|M"_s, u"over the window|||||||||2000-01-01|M"_s,
                                     u"over the window|Anna|Bianchi|Via Po 3|Torino|10123|TO|anna@example.org|011 555|1985-03-21|M"_s,
                                     u"over the window|Maria |D'Amico|Corso Francia 10|Asti|10138|AT|m@example.org|+39 333|2000-01-01|F"_s}));
        QCOMPARE(shownClients(window), u"Bianchi Bira, D'Amico D'ra"_s);
        const QString row = u"select printf('%d|%s|%s|%s|%s|%g|%g|%s|%s|%s|%s|%s|%s|%d', web_id, name, surname, sex, birthday, height, weight, "
                            "address, city, province, zipcode, phone, email, offline) from clients order by id"_s;
        QCOMPARE(storeValue(row).toString(), u"77|Bira|Bianchi|M|1985-03-21|165|58.5|Via Po 3|Torino|TO|10123|011 555|anna@example.org|1"_s);
        QCOMPARE(storeValue(row + u" desc"_s).toString(), u"0|D'ra|D'Amico|F|2000-01-01|0|0|Corso Francia 10|Asti|AT|10138|+39 333|m@example.org|1"_s);

        // With no account nothing is sent: the status bar says so and leads to the settings.
        QVERIFY(child<QLabel>(window, "haltLabel")->isVisible() && child<QPushButton>(window, "haltSettingsButton")->isVisible());
        QVERIFY(child<QLabel>(window, "haltLabel")->text().startsWith(u"Nessun account configurato"_s));
        QCOMPARE(storeValue(u"select count(*) from outbox where attempts > 0"_s).toInt(), 0);
        QString seen;
        whenModal([&](QWidget *dlg) {
            seen = dlg->objectName() + u':' + child<QLabel>(dlg, "lbName")->text() + (dlg->isModal() && dlg->parentWidget() == window ? u" modal"_s : u""_s);
            clickBox(dlg, QDialogButtonBox::Ok);
        });
        clickClient(window, u"Bianchi"_s, true);
        QCOMPARE(seen, u"ExamDlg:Bira Bianchi modal"_s);

        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window, 20000));
        whenModal([&](QWidget *dlg) {
            const std::tuple<const char *, const char *, const char *, int> steps[] = {
                {"  select * from clients", "tabLog", " affected rows", -1},  // rows: -1 for no result table yet
                {"select * from nowhere", "tabLog", "no such table", -1},
                {"update nowhere set x = 1", "tabLog", "no such table", -1},
                {"SELECT name FROM clients", "tabResult", " Done.", 2},
                {"delete from clients where surname = 'Bianchi'", "tabLog", " 1 affected rows", 2},
                {"select * from clients where id < 0", "tabResult", " Done.", 0}};
            const QString today = QDate::currentDate().toString(Qt::TextDate) + u' ';
            auto *editor = child<QPlainTextEdit>(dlg, "edQuery");
            for (const auto &[sql, tab, outcome, rows] : steps) {
                QTest::keyClicks(editor, QString::fromLatin1(sql));
                click(dlg, "btRun");
                click(dlg, "btClear");
                QCOMPARE(child<QTabWidget>(dlg, "tabWidget")->currentWidget()->objectName(), QLatin1String(tab));
                const QStringList log = child<QTextEdit>(dlg, "txtLog")->toPlainText().split(u'\n').last(2);
                QVERIFY2(log[0] == today + u"Executing Query..."_s && log[1].startsWith(today) && log[1].contains(QLatin1String(outcome)), sql);
                QCOMPARE(child<QTableView>(dlg, "tableView")->model() ? child<QTableView>(dlg, "tableView")->model()->rowCount() : -1, rows);
            }
            seen.clear();
            child<QTabWidget>(dlg, "tabWidget")->setCurrentIndex(2);
            for (auto *list : {child<QListWidget>(dlg, "lwTables"), child<QListWidget>(dlg, "lwHistory")}) {
                QVERIFY(list->findItems(u"sqlite_sequence"_s, Qt::MatchExactly).isEmpty());  // SQLite's own
                doubleClick(list->viewport(), list->visualItemRect(list->findItems(u"clients"_s, Qt::MatchEndsWith).value(0)).center());
                seen += editor->toPlainText() + u'|';
            }
            dlg->close();
        });
        QTest::keyClick(tableOf(window), Qt::Key_Q, Qt::MetaModifier | Qt::ShiftModifier);
        QTRY_COMPARE_WITH_TIMEOUT(seen, u"select * from clients|  select * from clients|"_s, 20000);
    }

    void updateQuestion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("installer");
        QTest::newRow("newer, https") << "0.6.10\nhttps://example.org/Calvestra-0.6.10.pkg\n" << "https://example.org/Calvestra-0.6.10.pkg";
        QTest::newRow("newer, http") << "0.7\nhttp://example.org/setup.pkg" << "http://example.org/setup.pkg";
        QTest::newRow("older") << "0.6.3\nhttps://example.org/setup.pkg" << "";
        QTest::newRow("file address") << "0.6.10\nfile://example.org/setup.sh" << "";
        QTest::newRow("script address") << "0.6.10\njavascript:alert(1)" << "";
        QTest::newRow("no address") << "1.0.0\n" << "";
    }
    // A newer version in the update file brings the question; only Yes opens the installer,
    // and only a web address. (The box is modal: it is over when emit returns.)
    void updateQuestion()
    {
        QFETCH(QString, file);
        QFETCH(QString, installer);
        WindowSetup setup;
        MainWindow *window = setup.open();
        UrlCatcher catcher;
        for (const QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
            MessageBoxAnswerer answer(button);
            emit HttpService::m_instance->onSwUpdateFile(file);
            QCOMPARE(answer.text(), installer.isEmpty() ? QString() : u"E' online una nuova versione del software, si desidera scaricare il setup?"_s);
            QCOMPARE(answer.parentWidget(), installer.isEmpty() ? nullptr : window);
        }
        QCOMPARE(catcher.urls, installer.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(installer)});
    }

    void settings_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("autoLoad");
        QTest::addColumn<bool>("notify");
        QTest::addColumn<int>("index");
        QTest::newRow("fresh profile") << "" << true << true << 0;
        QTest::newRow("en, notify off") << "en" << true << false << 1;
        QTest::newRow("pt, client list off") << "pt" << false << true << 2;
        QTest::newRow("pt-br, the last") << "pt-br" << false << false << 3;
        QTest::newRow("IT is unknown") << "IT" << true << true << -1;
    }
    // The controls show the settings, and filling them writes nothing. Every control then
    // writes its setting as soon as it changes; a new language asks for a restart.
    void settings()
    {
        QFETCH(QString, lang);
        QFETCH(bool, autoLoad);
        QFETCH(bool, notify);
        QFETCH(int, index);
        WindowSetup profile;
        QSettings().remove(AppSettings::keyAutoLoadUsers);
        if (!lang.isEmpty()) {
            AppSettings::setLang(lang);
            AppSettings::setAutoLoadUsers(autoLoad);
            AppSettings::setShowUploadNotifyMessage(notify);
        }
        const QStringList before = QSettings().allKeys();
        auto noBox = std::make_unique<MessageBoxAnswerer>(QMessageBox::Ok);
        SettingsDlg dlg;
        QVERIFY(QSettings().allKeys() == before && !noBox->seen());
        noBox.reset();
        QCOMPARE(child<QComboBox>(&dlg, "cbLangs")->currentIndex(), index);
        QCOMPARE(child<QCheckBox>(&dlg, "chkAutoLoadUsers")->isChecked(), autoLoad);
        QCOMPARE(child<QCheckBox>(&dlg, "chkShowUploadNotifyMessage")->isChecked(), notify);
        click(&dlg, "chkAutoLoadUsers");
        QVERIFY(AppSettings::autoLoadUsers() != autoLoad && AppSettings::showUploadNotifyMessage() == notify);
        click(&dlg, "chkShowUploadNotifyMessage");
        QVERIFY(AppSettings::showUploadNotifyMessage() != notify);
        {
            MessageBoxAnswerer restart(QMessageBox::Ok);
            QTest::keyClick(child<QComboBox>(&dlg, "cbLangs"), Qt::Key_Down);
            QCOMPARE(AppSettings::lang(), QStringList({u"it"_s, u"en"_s, u"pt"_s, u"pt-br"_s}).value(index + 1, lang));
            QCOMPARE(restart.parentWidget(), index < 3 ? &dlg : nullptr);
            QCOMPARE(restart.title(), index < 3 ? u"Riavvio necessario"_s : QString());
        }

        // The database: reset only when confirmed, into a usable empty one, the question counting what
        // was not sent; the old scan folders move aside, so a new client 1 never finds client 1's scans.
        Client rossi;
        rossi.loadFromDB(addLocalClient(u"Rossi"_s, u"Mario"_s));
        QFile scan(rossi.getDataPath(true) + u"Vita-20240105--09-30-15.jpg"_s);
        QVERIFY(scan.open(QIODevice::WriteOnly) && scan.write("scan") > 0);
        scan.close();
        QSignalSpy reset(&dlg, &SettingsDlg::onResetDB);
        for (const QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
            MessageBoxAnswerer answer(button), done(QMessageBox::Ok);
            click(&dlg, "btResetDb");
            QVERIFY(answer.seen() && reset.count() == int(button == QMessageBox::Yes) && done.seen() == (button == QMessageBox::Yes));
            QVERIFY2(answer.text().contains(u"Dati non ancora inviati al server, che andranno persi: 1."_s), qPrintable(answer.text()));
            QCOMPARE(storeValue(u"select count(*) from clients"_s).toInt(), int(button == QMessageBox::No));
        }
        QCOMPARE(addLocalClient(u"Amato"_s, u"Luca"_s), 1);
        QVERIFY(!QFile::exists(scan.fileName()) && QFile::exists(DataModule::m_instance->setAsidePath() + u"/data/_1/Vita-20240105--09-30-15.jpg"_s));
        UrlCatcher catcher;
        click(&dlg, "btOpenDbPath");
        QTRY_COMPARE_WITH_TIMEOUT(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(QDir::cleanPath(DataModule::m_instance->m_dataPath))}, 20000);
    }

    // Control+Shift+D shows the debug tab whichever control has the focus (a combo box
    // would take the letter for its search), and only then Control+Shift+B switches beta
    // mode, which reaches the main window at once. Escape and Return leave the dialog open:
    // it closes by its window button only. The endpoint is written once edited, and applied
    // in development mode to the development script, never to production.
    void settingsHiddenKeys()
    {
        WindowSetup setup;
        AppSettings::setDevMode(true);
        AppSettings::setUserName(u"Laura"_s);
        MainWindow *window = setup.open();
        whenModal([&](QWidget *dlg) {
            auto *langs = child<QComboBox>(dlg, "cbLangs");
            langs->setFocus();
            const auto both = Qt::ControlModifier | Qt::ShiftModifier;
            MessageBoxAnswerer languageChanged(QMessageBox::Ok);  // were a letter taken for the combo box's search
            const std::tuple<QWidget *, Qt::Key, Qt::KeyboardModifiers, bool, const char *> steps[] = {
                {langs, Qt::Key_B, both, false, ""},   {langs, Qt::Key_D, Qt::ControlModifier, false, ""},
                {langs, Qt::Key_D, both, true, ""},    {langs, Qt::Key_B, Qt::ShiftModifier, true, ""},
                {langs, Qt::Key_B, both, true, " [BETA]"}, {dlg, Qt::Key_B, both, true, ""},
                {dlg, Qt::Key_D, both, false, ""},     {dlg, Qt::Key_B, both, false, ""},
                {langs, Qt::Key_Escape, {}, false, ""}, {dlg, Qt::Key_Return, {}, false, ""}};
            auto *tabs = child<QTabWidget>(dlg, "tabWidget");
            for (const auto &[target, key, modifiers, tabShown, beta] : steps) {
                QTest::keyClick(target, key, modifiers);
                QCOMPARE(tabs->isTabVisible(tabs->count() - 1), tabShown);
                QCOMPARE(window->windowTitle(), u"Calvestra 0.6.4 DEV%1 - Laura"_s.arg(QLatin1String(beta)));
                QCOMPARE(idsShown(window), *beta != 0);
            }
            QVERIFY(dlg->isVisible() && !AppSettings::betaMode());
            auto *endpoint = child<QLineEdit>(dlg, "txtEndpoint");
            QCOMPARE(endpoint->text(), AppSettings::endpoint());
            endpoint->selectAll();
            QTest::keyClicks(endpoint, u"http://127.0.0.1:8/Apps/Movelta/vq_webservice.php"_s);
            QCOMPARE(AppSettings::endpoint(), u"http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"_s);
            QTest::keyClick(endpoint, Qt::Key_Return);
            dlg->close();
        });
        chooseMenuEntry(window, u"Opzioni"_s);
        QCOMPARE(AppSettings::endpoint(), u"http://127.0.0.1:8/Apps/Movelta/vq_webservice.php"_s);
        QCOMPARE(HttpService::m_instance->m_url.toString(), u"http://127.0.0.1:8/Apps/Movelta/vq_webservice_dev.php"_s);
    }

    // The background upload against the reference service, as an operator's day leaves the
    // outbox: what waits while the service is out of reach, with its state; then every item in
    // order, one at a time, each announced (unless switched off in the settings). An item that
    // keeps failing waits its turn without holding up the others; one the service refuses is
    // parked for the operator, who sends it again from the list.
    void pendingUpload()
    {
        ReferenceService service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const int webB = addServiceClient(service, 700, u"Bianchi"_s, u"Anna"_s);
        service.stop();
        WindowSetup setup(service.endpointUrl().toString(), 700);
        DataModule *store = DataModule::m_instance;
        addLocalClient(u"Rossi"_s, u"Mario"_s);
        Client bianchi;
        bianchi.loadFromDB(addLocalClient(u"Bianchi"_s, u"Anna"_s, webB, false));
        for (const QString &suffix : {u".jpg"_s, u".d2d"_s}) {
            QFile file(bianchi.getDataPath(true) + u"Vita-20240105--09-30-15"_s + suffix);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("scan bytes") > 0);
        }
        Anamnesi anamnesi;
        std::tie(anamnesi.idClient, anamnesi.name, anamnesi.date) = std::tuple(bianchi.id, u"Generale"_s, QDateTime(QDate(2024, 1, 5), QTime(10, 0)));
        QVERIFY(anamnesi.SaveToDB(true, false));
        Exam exam;
        exam.examDate = QDate(2024, 1, 5);
        QVERIFY(store->queueExam(bianchi.id, exam));

        // Each notification as it is shown: at the bottom right (120 px in, 60 px up), its text
        // whole. Several can be up at once, and the top-level widgets come in no set order.
        QStringList announced;
        int shownNotifications = 0;
        struct ShowSpy : QObject
        {
            std::function<void(QWidget *)> shown;
            bool eventFilter(QObject *object, QEvent *event) override
            {
                if (event->type() == QEvent::Show && object->objectName() == u"notificationBox"_s)
                    shown(static_cast<QWidget *>(object));
                return false;
            }
        } spy;
        spy.shown = [&, screen = QGuiApplication::primaryScreen()->availableGeometry()](QWidget *box) {
            if (auto *label = box->findChild<QLabel *>())
                announced << label->text() + (box->geometry().bottomRight() == QPoint(screen.width() - 121, screen.height() - 61)
                                              && label->width() >= label->sizeHint().width() ? u""_s : u" (misplaced)"_s);
        };
        qApp->installEventFilter(&spy);
        QTimer watcher;  // how many are up: each goes by itself after three seconds
        connect(&watcher, &QTimer::timeout, this, [&] {
            shownNotifications = 0;
            for (QWidget *box : QApplication::topLevelWidgets())
                shownNotifications += box->objectName() == u"notificationBox"_s;
        });
        watcher.start(20);
        MainWindow *window = setup.open();
        window->show();
        auto *button = child<QPushButton>(window, "cloudUploadButton");
        auto *connection = child<QLabel>(window, "networkStatusLabel");
        const auto buttonShown = [&] { return button->isVisible() && button->parentWidget() == window->statusBar(); };
        const auto tip = [&] {
            QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(button, &help);
            return button->toolTip();
        };

        // Out of reach: each item is tried and waits for its next attempt; the list says when and why.
        QTRY_VERIFY_WITH_TIMEOUT(storeValue(u"select min(failures) from outbox where kind = 'client'"_s).toInt() >= 1, 20000);
        QVERIFY(buttonShown() && connection->toolTip() == u"Disconnesso"_s);
        const QString waiting = tip();
        QVERIFY2(waiting.startsWith(u"Alcuni dati sono in attesa di essere caricati in cloud\nClienti:\nMario Rossi - "_s)
                     && waiting.contains(u"\nEsami:\n2024.01.05 Anna Bianchi - "_s) && waiting.contains(u"server non raggiungibile"_s),
                 qPrintable(waiting));
        // The status bar is see-through; the tool tips of its widgets must not be: their
        // text keeps a background of its own, whatever lies behind.
        for (QWidget *widget : {static_cast<QWidget *>(connection), static_cast<QWidget *>(button)}) {
            QToolTip::showText(widget->mapToGlobal(QPoint(4, 4)), widget->toolTip(), widget);
            QPointer<QWidget> tipLabel;
            const auto shownTip = [&tipLabel] {
                for (QWidget *top : QApplication::topLevelWidgets())
                    tipLabel = top->inherits("QTipLabel") && top->isVisible() ? top : tipLabel.data();
                return tipLabel != nullptr;
            };
            QTRY_VERIFY_WITH_TIMEOUT(shownTip(), 20000);
            QImage shot(tipLabel->size(), QImage::Format_ARGB32_Premultiplied);
            shot.fill(Qt::black);  // the desktop behind
            tipLabel->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
            const int background = shot.pixelColor(2, shot.height() / 2).lightness();
            QVERIFY2(qAbs(background - tipLabel->palette().color(QPalette::WindowText).lightness()) > 100, qPrintable(widget->objectName()));
            QToolTip::hideText();
            QTRY_VERIFY_WITH_TIMEOUT(!tipLabel || !tipLabel->isVisible(), 20000);
        }

        // Back in reach, with the exam's first sending failing: it is sent again.
        QVERIFY(service.restart());
        QVERIFY(service.injectFault(u"status500"_s, u"uploadExamZip"_s, 1));
        QTRY_VERIFY_WITH_TIMEOUT(!store->havePendingStuff(), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(!buttonShown() && connection->toolTip() == u"Connesso", 20000);
        QStringList sent = receivedActions(service, 700);
        sent.removeAll(u"getAnamnesiModels"_s);
        QCOMPARE(sent, (QStringList{u"setUserData"_s, u"uploadAnamnesi"_s, u"uploadExamZip"_s, u"uploadExamZip"_s}));
        QVERIFY(storeValue(u"select min(web_id) from clients"_s).toInt() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(announced.size(), 3, 20000);
        QCOMPARE(announced, (QStringList{u"Anagrafica dell'utente Mario Rossi inviata al server."_s,
                                         u"Anamnesi 'Generale' dell'utente Anna Bianchi inviata al server."_s,
                                         u"Esame del 05/01/2024 dell'utente Anna Bianchi inviato al server."_s}));

        // Announcements switched off in the settings, which take effect when the dialog closes.
        whenModal([](QWidget *dlg) {
            click(dlg, "chkShowUploadNotifyMessage");
            dlg->close();
        });
        window->openSettings();
        QCOMPARE(AppSettings::showUploadNotifyMessage(), false);

        // The questionnaire's deletion keeps failing: a client added meanwhile still goes out.
        QVERIFY(service.resetHooks() && service.injectFault(u"code:500"_s, u"deleteAnamnesi"_s, 0));
        QVERIFY(store->deleteAnamnesi(anamnesi.id));
        QTRY_VERIFY_WITH_TIMEOUT(receivedActions(service, 700).count(u"deleteAnamnesi"_s) >= 2, 20000);
        addLocalClient(u"Moretti"_s, u"Ugo"_s);
        QTRY_COMPARE_WITH_TIMEOUT(storeValue(u"select count(*) from outbox"_s).toInt(), 1, 20000);
        QVERIFY(storeValue(u"select web_id from clients where surname = 'Moretti'"_s).toInt() > 0);
        // Refused for good (storage full): parked and told once; sent again from the list.
        QVERIFY(service.resetHooks() && service.injectFault(u"code:405"_s, u"uploadExamZip"_s, 1));
        QTRY_VERIFY_WITH_TIMEOUT(!store->havePendingStuff(), 20000);  // the deletion, at its next attempt
        QVERIFY(store->queueExam(bianchi.id, exam));
        QTRY_VERIFY_WITH_TIMEOUT(storeValue(u"select parked from outbox"_s).toBool(), 20000);
        QVERIFY(window->statusBar()->currentMessage().contains(u"lo spazio web riservato è esaurito"_s));
        QString state;
        whenModal([&](QWidget *dlg) {
            auto *list = child<QTreeWidget>(dlg, "twOutbox");
            state = list->topLevelItem(0)->text(2);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(0)).center());
            click(dlg, "btRetry");
            QTRY_VERIFY_WITH_TIMEOUT(list->topLevelItemCount() == 0, 20000);
            dlg->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(state, u"rifiutato: lo spazio web riservato è esaurito"_s);
        QCOMPARE(receivedActions(service, 700).count(u"uploadExamZip"_s), 2);  // refused, then sent (the log restarts with the faults)
        // Nothing more announced; every notification gone by itself.
        QTRY_VERIFY_WITH_TIMEOUT(announced.size() == 3 && shownNotifications == 0, 20000);

        // And the picture follows the service going away again.
        service.stop();
        QTRY_COMPARE_WITH_TIMEOUT(connection->toolTip(), u"Disconnesso"_s, 20000);
    }

private:
    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(AppTest)
#include "tst_app.moc"
