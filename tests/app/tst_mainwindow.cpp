#include "TestMain.h"

#include "tests/app/AppTestSupport.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QToolTip>

namespace {

const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

bool idsShown(MainWindow *window)
{
    return !tableOf(window)->isColumnHidden(0) && !tableOf(window)->isColumnHidden(1);
}

// Triggers an entry of the menu behind the window's menu button.
void chooseMenuEntry(MainWindow *window, const QString &text)
{
    for (QAction *action : child<QToolButton>(window, "tbMenu")->menu()->actions()) {
        if (action->text() == text)
            return action->trigger();
    }
    QFAIL(qPrintable(QStringLiteral("no menu entry ") + text));
}

QPushButton *okButton(QWidget *dlg)
{
    return child<QDialogButtonBox>(dlg, "buttonBox")->button(QDialogButtonBox::Ok);
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

    void init() { ++m_account; }

    void start_data()
    {
        QTest::addColumn<bool>("autoLoad");
        QTest::newRow("list downloaded at start") << true;
        QTest::newRow("list kept local") << false;
    }
    // On a reachable service: the connection picture turns to connected, the
    // questionnaire models are asked for, the client list is downloaded when the setting
    // says so; the window takes 80 % of the screen, centred clear of a bottom task bar.
    void start()
    {
        QFETCH(bool, autoLoad);
        QVERIFY(addServiceClient(m_service, m_account, QStringLiteral("Remoto"), QStringLiteral("Paolo")) > 0);
        WindowSetup setup(m_service.endpointUrl().toString(), m_account);
        AppSettings::setAutoLoadUsers(autoLoad);
        addLocalClient(QStringLiteral("Locale"), QStringLiteral("Lia"));
        MainWindow *window = setup.open();
        auto *label = child<QLabel>(window, "networkStatusLabel");
        QTRY_VERIFY_WITH_TIMEOUT(label->property("connected").toBool(), 20000);
        QCOMPARE(label->toolTip(), QStringLiteral("Connesso"));
        // Asked for only once the service answered, so after the list's download.
        QTRY_VERIFY_WITH_TIMEOUT(receivedActions(m_service, m_account).contains(QStringLiteral("getAnamnesiModels")), 20000);
        QStringList expected{QStringLiteral("Locale Lia")};
        if (autoLoad)
            expected << QStringLiteral("Remoto Paolo");
        QTRY_COMPARE_WITH_TIMEOUT(shownClients(window), expected, 20000);
        QCOMPARE(receivedActions(m_service, m_account).contains(QStringLiteral("getUsers")), autoLoad);
        QVERIFY(child<QProgressBar>(window, "progressBar")->isHidden());

        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QRect placed(QPoint(), QSize(qRound(available.width() * 0.8), qRound(available.height() * 0.8)));
        placed.moveCenter(available.adjusted(0, 0, 0, -30).center());
        QCOMPARE(window->geometry(), placed);
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
    // Title, columns (ids in beta mode only; Portuguese puts the name first), the service
    // script (the development one in development mode) and the manual's language.
    void appearance()
    {
        QFETCH(QString, lang);
        QFETCH(bool, dev);
        QFETCH(bool, beta);
        QFETCH(QString, title);
        WindowSetup setup;
        AppSettings::setUserName(QStringLiteral("Laura"));
        AppSettings::setLang(lang);
        AppSettings::setDevMode(dev);
        AppSettings::setBetaMode(beta);
        MainWindow *window = setup.open();
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(idsShown(window), beta);
        QVERIFY(tableOf(window)->isColumnHidden(8) && tableOf(window)->isColumnHidden(15));
        QHeaderView *header = tableOf(window)->horizontalHeader();
        QCOMPARE(header->visualIndex(3) < header->visualIndex(2), lang.startsWith(QLatin1String("pt")));
        QCOMPARE(HttpService::m_instance->m_url.path().endsWith(QLatin1String("_dev.php")), dev);
        window->setDevMode(false);
        QCOMPARE(window->windowTitle(), QString(title).remove(QStringLiteral(" DEV")));
        QCOMPARE(AppSettings::devMode(), false);
        QCOMPARE(HttpService::m_instance->m_url.toString(), AppSettings::endpoint());

        UrlCatcher catcher;
        chooseMenuEntry(window, QStringLiteral("Guida"));
        // The language of the start stays for the window's life.
        AppSettings::setLang(QStringLiteral("it"));
        chooseMenuEntry(window, QStringLiteral("Guida"));
        const QUrl manual(AppSettings::webHost() + QStringLiteral("/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_")
                          + lang.toUpper() + QStringLiteral(".pdf"));
        QCOMPARE(catcher.urls, (QList<QUrl>{manual, manual}));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        const QStringList everyone{QStringLiteral("Amato Luca"), QStringLiteral("D'Amico Sara"),
                                   QStringLiteral("De Santis Giosuè"), QStringLiteral("Mancini Anna"),
                                   QStringLiteral("Neri JOSÈ"), QStringLiteral("Rossi Mario")};
        const QStringList rossi{QStringLiteral("Rossi Mario")};
        const QStringList damico{QStringLiteral("D'Amico Sara")};
        QTest::newRow("start of a word") << "ma" << QStringList{QStringLiteral("Mancini Anna"), QStringLiteral("Rossi Mario")};
        QTest::newRow("surname then name") << "ROSSI MA" << rossi;
        QTest::newRow("word of a compound surname") << "san" << QStringList{QStringLiteral("De Santis Giosuè")};
        QTest::newRow("name then surname") << "mario rossi" << QStringList();
        QTest::newRow("empty") << "" << everyone;
        QTest::newRow("a quote") << "'" << damico;
        QTest::newRow("quote inside") << "d'am" << damico;
        QTest::newRow("quote first") << "'am" << damico;
        QTest::newRow("quote, no match") << "o'n" << QStringList();
        QTest::newRow("widening the condition") << "x' or 1=1 or '" << QStringList();
        QTest::newRow("closing the statement") << "x%' or 1=1) --" << QStringList();
        QTest::newRow("LIKE wildcard %") << "%" << everyone;
        QTest::newRow("LIKE wildcard _") << "r_ss" << rossi;
        QTest::newRow("NUL dropped") << QStringLiteral("ro") + QChar(0) + QStringLiteral("ss") << rossi;
        // SQLite upper-cases ASCII only: an accented letter matches only as stored in upper case.
        QTest::newRow("accent, lower case stored") << "giosuè" << QStringList();
        QTest::newRow("accent, upper case stored") << "josè" << QStringList{QStringLiteral("Neri JOSÈ")};
    }
    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        WindowSetup setup;
        for (const char *client : {"Rossi Mario", "Mancini Anna", "Amato Luca", "D'Amico Sara", "De Santis Giosuè", "Neri JOSÈ"}) {
            const QString full = QString::fromUtf8(client);
            addLocalClient(full.section(QLatin1Char(' '), 0, -2), full.section(QLatin1Char(' '), -1), 1, false);
        }
        MainWindow *window = setup.open();
        child<QLineEdit>(window, "edFilter")->setText(text);
        QCOMPARE(shownClients(window), shown);
        QCOMPARE(storeValue(QStringLiteral("select count(*) from clients")).toInt(), 6);
    }

    void deleteAsksFirst()
    {
        const int webId = addServiceClient(m_service, m_account, QStringLiteral("Rossi"), QStringLiteral("Mario"));
        WindowSetup setup(m_service.endpointUrl().toString(), m_account);
        addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), webId, false);
        addLocalClient(QStringLiteral("Mancini"), QStringLiteral("Anna"), webId + 1000, false);
        MainWindow *window = setup.open();
        window->show();
        auto *del = child<QPushButton>(window, "btDelUser");
        auto *edit = child<QPushButton>(window, "btEditUser");
        QVERIFY(!del->isEnabled() && !edit->isEnabled());
        for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            QTest::mouseClick(tableOf(window)->viewport(), Qt::LeftButton, {}, clientCell(window, QStringLiteral("Rossi")));
            QVERIFY(del->isEnabled() && edit->isEnabled());
            MessageBoxAnswerer box(answer);
            QTest::mouseClick(del, Qt::LeftButton);
            QVERIFY(box.seen());
            QCOMPARE(box.informativeText(), QStringLiteral("L'utente 'Rossi Mario'sta per essere eliminato.\nContinuare?"));
        }
        QCOMPARE(shownClients(window), QStringList{QStringLiteral("Mancini Anna")});
        QCOMPARE(storeValue(QStringLiteral("select count(*) from clients")).toInt(), 1);
        // Nothing is selected any more; the service is told once, by the web id.
        QVERIFY(!del->isEnabled() && !edit->isEnabled());
        const QString told = QStringLiteral("deleteUser:%1").arg(webId);
        QTRY_VERIFY_WITH_TIMEOUT(receivedActions(m_service, m_account, QStringLiteral("idUser")).contains(told), 20000);
        QCOMPARE(receivedActions(m_service, m_account).count(QStringLiteral("deleteUser")), 1);
    }

    void addAndEditThroughTheEditor()
    {
        WindowSetup setup;
        addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), 21, false);
        MainWindow *window = setup.open();
        window->show();
        whenModal([](QWidget *dlg) {
            QTest::keyClicks(child<QLineEdit>(dlg, "edName"), QStringLiteral("Nessuno"));
            QTest::keyClick(dlg, Qt::Key_Escape);
        });
        QTest::mouseClick(child<QPushButton>(window, "btAddUser"), Qt::LeftButton);
        QCOMPARE(shownClients(window), QStringList{QStringLiteral("Rossi Mario")});

        QWidget *parent = nullptr;
        whenModal([&](QWidget *dlg) {
            parent = dlg->parentWidget();
            QTest::keyClicks(child<QLineEdit>(dlg, "edName"), QStringLiteral("Giulia"));
            QTest::keyClicks(child<QLineEdit>(dlg, "edSurname"), QStringLiteral("Verdi"));
            QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(window, "btAddUser"), Qt::LeftButton);
        QCOMPARE(parent, window);
        QCOMPARE(shownClients(window), (QStringList{QStringLiteral("Rossi Mario"), QStringLiteral("Verdi Giulia")}));

        // The current row is the one edited; the list shows the change at once.
        QTest::mouseClick(tableOf(window)->viewport(), Qt::LeftButton, {}, clientCell(window, QStringLiteral("Rossi")));
        QString shownName;
        whenModal([&](QWidget *dlg) {
            shownName = child<QLineEdit>(dlg, "edName")->text();
            QTest::keyClicks(child<QLineEdit>(dlg, "edCity"), QStringLiteral("Asti"));
            QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(window, "btEditUser"), Qt::LeftButton);
        QCOMPARE(shownName, QStringLiteral("Mario"));
        QAbstractItemModel *model = tableOf(window)->model();
        QStringList cities;
        for (int row = 0; row < model->rowCount(); ++row)
            cities << model->index(row, 2).data().toString() + QLatin1Char(':') + model->index(row, 10).data().toString();
        cities.sort();
        QCOMPARE(cities, (QStringList{QStringLiteral("Rossi:Asti"), QStringLiteral("Verdi:")}));
    }

    // The exam is modal over the window; no background upload runs while it is open,
    // and afterwards the check runs every 5 s instead of 3.5 s.
    void doubleClickOpensTheExam()
    {
        WindowSetup setup;
        addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"), 31, false);
        MainWindow *window = setup.open();
        window->show();
        auto *timer = child<QTimer>(window, "pendingTimer");
        QCOMPARE(timer->interval(), 3500);
        QString exam;
        bool timerRan = true;
        whenModal([&](QWidget *dlg) {
            exam = dlg->objectName() + QLatin1Char(':') + child<QLabel>(dlg, "lbName")->text();
            exam += dlg->isModal() && dlg->parentWidget() == window ? QStringLiteral(" modal") : QString();
            timerRan = timer->isActive();
            QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        });
        doubleClick(tableOf(window)->viewport(), clientCell(window, QStringLiteral("Rossi")));
        QCOMPARE(exam, QStringLiteral("ExamDlg:Mario Rossi modal"));
        QVERIFY(!timerRan);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);
    }

    void refreshShowsProgress()
    {
        for (int i = 1; i <= 7; ++i)
            QVERIFY(addServiceClient(m_service, m_account, QStringLiteral("Remoto%1").arg(i), QStringLiteral("N")) > 0);
        WindowSetup setup(m_service.endpointUrl().toString(), m_account);
        MainWindow *window = setup.open();
        auto *bar = child<QProgressBar>(window, "progressBar");
        QCOMPARE(shownClients(window).size(), 0);
        QTest::mouseClick(child<QPushButton>(window, "btRefresh"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(shownClients(window).size(), 7, 20000);
        // The bar counted the download and is hidden at its end.
        QCOMPARE(bar->maximum(), 7);
        QCOMPARE(bar->text(), QStringLiteral("%1/7").arg(bar->value()));
        QVERIFY(bar->isHidden());
    }

    // Beta mode switched from the settings dialog (Control+Shift+D, then +B) reaches the
    // window at once: title and id columns.
    void betaModeFromTheSettings()
    {
        WindowSetup setup;
        AppSettings::setUserName(QStringLiteral("Laura"));
        MainWindow *window = setup.open();
        QStringList seen;
        whenModal([&](QWidget *dlg) {
            QTest::keyClick(dlg, Qt::Key_D, ctrlShift);
            for (int i = 0; i < 2; ++i) {
                QTest::keyClick(dlg, Qt::Key_B, ctrlShift);
                seen << window->windowTitle() + (idsShown(window) ? QStringLiteral(" ids") : QString());
            }
            dlg->close();
        });
        chooseMenuEntry(window, QStringLiteral("Opzioni"));
        QCOMPARE(seen, (QStringList{QStringLiteral("Calvestra 0.6.4 [BETA] - Laura ids"), QStringLiteral("Calvestra 0.6.4 - Laura")}));
    }

    // The status bar is see-through; the tool tips of its widgets must not be: their text
    // keeps a background of its own, whatever lies behind.
    void statusBarToolTipsAreReadable()
    {
        WindowSetup setup;
        MainWindow *window = setup.open();
        window->show();
        for (const char *name : {"networkStatusLabel", "cloudUploadButton"}) {
            auto *widget = child<QWidget>(window, name);
            widget->show();
            QToolTip::showText(widget->mapToGlobal(QPoint(4, 4)), widget->toolTip(), widget);
            QPointer<QWidget> tip;
            QTRY_VERIFY_WITH_TIMEOUT(tip = [] {
                for (QWidget *top : QApplication::topLevelWidgets())
                    if (top->inherits("QTipLabel") && top->isVisible())
                        return top;
                return static_cast<QWidget *>(nullptr);
            }(), 20000);
            // The tip as the screen shows it, over a black desktop.
            QImage shot(tip->size(), QImage::Format_ARGB32_Premultiplied);
            shot.fill(Qt::black);
            tip->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
            const int background = shot.pixelColor(2, shot.height() / 2).lightness();
            const int text = tip->palette().color(QPalette::WindowText).lightness();
            QVERIFY2(qAbs(background - text) > 100, qPrintable(QStringLiteral("%1: %2 on %3").arg(name).arg(text).arg(background)));
            QToolTip::hideText();
            QTRY_VERIFY_WITH_TIMEOUT(!tip || !tip->isVisible(), 20000);
        }
    }

    void sqlConsoleShortcut()
    {
        WindowSetup setup;
        MainWindow *window = setup.open();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window, 20000));
        QString opened;
        whenModal([&](QWidget *dlg) {
            opened = dlg->objectName();
            dlg->close();
        });
        QTest::keyClick(tableOf(window), Qt::Key_Q, Qt::MetaModifier | Qt::ShiftModifier);
        QTRY_COMPARE_WITH_TIMEOUT(opened, QStringLiteral("QueryManagerDlg"), 20000);
    }

    void updateQuestion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("installer");
        QTest::newRow("newer, https") << "0.6.10\nhttps://example.org/Calvestra-0.6.10.pkg\n" << "https://example.org/Calvestra-0.6.10.pkg";
        QTest::newRow("newer, http") << "0.7\nhttp://example.org/setup.pkg" << "http://example.org/setup.pkg";
        QTest::newRow("older") << "0.6.3\nhttps://example.org/setup.pkg" << "";
        QTest::newRow("file address") << "0.6.10\nfile:///tmp/setup.sh" << "";
        QTest::newRow("script address") << "0.6.10\njavascript:alert(1)" << "";
        QTest::newRow("no address") << "1.0.0\n" << "";
    }
    // The update file names a newer version: the question comes, and only Yes opens the
    // installer, and only a web address. (The box is modal: it is over when emit returns.)
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
            QCOMPARE(answer.seen(), !installer.isEmpty());
            if (answer.seen()) {
                QCOMPARE(answer.text(), QStringLiteral("E' online una nuova versione del software, si desidera scaricare il setup?"));
                QCOMPARE(answer.buttons(), QMessageBox::Yes | QMessageBox::No);
                QCOMPARE(answer.parentWidget(), window);
            }
        }
        QCOMPARE(catcher.urls, installer.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(installer)});
    }

private:
    ReferenceService m_service;
    int m_account = 500;
};

CALVESTRA_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
