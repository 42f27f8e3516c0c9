#include "TestMain.h"

#include "ReferenceService.h"
#include "tests/app/AppTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "app/AppSettings.h"
#include "app/SettingsDlg.h"
#include "cloud/HttpService.h"
#include "store/Client.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>

namespace {

template <class T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

QStringList storedKeys()
{
    return QSettings().allKeys();
}

void addClient(const QString &surname, const QString &name)
{
    Client c;
    c.surname = surname;
    c.name = name;
    c.saveToDB(false, false);
}

bool debugTabVisible(QWidget *dlg)
{
    auto *tabs = child<QTabWidget>(dlg, "tabWidget");
    return tabs->isTabVisible(tabs->count() - 1);
}

const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

}  // namespace

class SettingsDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No desktop here: the file manager is never reachable, the folder is opened
        // through the default handler, which the tests catch.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/calvestra-test-bus");
    }

    void init()
    {
        QSettings().clear();
        // Keeps the connectivity probe of the service client on the loopback.
        QSettings().setValue(QStringLiteral("endpoint"), QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"));
        m_store = std::make_unique<TempStore>();
        HttpService::resetInstanceForTests(false);
    }

    void cleanup()
    {
        m_store.reset();
        HttpService::resetInstanceForTests(false);
    }

    void form()
    {
        SettingsDlg dlg;
        QCOMPARE(dlg.objectName(), QStringLiteral("SettingsDlg"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Impostazioni"));
        QCOMPARE(dlg.minimumSize(), QSize(350, 200));
        QCOMPARE(dlg.maximumSize(), QSize(350, 200));
        QVERIFY(dlg.styleSheet().contains(QLatin1String(":/images/background")));

        auto *tabs = child<QTabWidget>(&dlg, "tabWidget");
        QCOMPARE(tabs->contextMenuPolicy(), Qt::PreventContextMenu);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Generale"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Database"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Debug"));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!debugTabVisible(&dlg));

        auto *langs = child<QComboBox>(&dlg, "cbLangs");
        QStringList names;
        QStringList codes;
        for (int i = 0; i < langs->count(); ++i) {
            names << langs->itemText(i);
            codes << langs->itemData(i).toString();
        }
        QCOMPARE(names, (QStringList{QStringLiteral("Italiano"), QStringLiteral("Inglese"), QStringLiteral("Portoghese"),
                                     QStringLiteral("Brasiliano")}));
        QCOMPARE(codes, (QStringList{QStringLiteral("it"), QStringLiteral("en"), QStringLiteral("pt"), QStringLiteral("pt-br")}));
        QCOMPARE(child<QLabel>(&dlg, "lbLang")->text(), QStringLiteral("Lingua :"));
        QCOMPARE(child<QWidget>(&dlg, "chkAutoLoadUsers")->geometry(), QRect(8, 72, 233, 20));
        QCOMPARE(child<QWidget>(&dlg, "chkShowUploadNotifyMessage")->geometry(), QRect(8, 96, 233, 20));
        QCOMPARE(child<QPushButton>(&dlg, "btOpenDbPath")->text(), QStringLiteral("Apri percorso database..."));
        QCOMPARE(child<QPushButton>(&dlg, "btResetDb")->text(), QStringLiteral("Ripristina Database"));
        QCOMPARE(child<QWidget>(&dlg, "txtEndpoint")->geometry(), QRect(8, 32, 313, 22));
    }

    void openingWritesNothing_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("autoLoad");
        QTest::addColumn<bool>("notify");
        QTest::addColumn<int>("index");
        QTest::newRow("fresh profile") << QString() << true << true << 0;
        QTest::newRow("pt, both off") << "pt" << false << false << 2;
        QTest::newRow("pt-br, notify off") << "pt-br" << true << false << 3;
        QTest::newRow("unknown code") << "de" << false << true << -1;
        QTest::newRow("upper-case it") << "IT" << true << true << -1;
    }
    void openingWritesNothing()
    {
        QFETCH(QString, lang);
        QFETCH(bool, autoLoad);
        QFETCH(bool, notify);
        QFETCH(int, index);
        QSettings().clear();
        if (!lang.isEmpty()) {
            AppSettings::setLang(lang);
            AppSettings::setAutoLoadUsers(autoLoad);
            AppSettings::setShowUploadNotifyMessage(notify);
        }
        const QStringList before = storedKeys();

        MessageBoxAnswerer noBox(QMessageBox::Ok, 1500);
        SettingsDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::qWait(100);
        dlg.close();

        QCOMPARE(storedKeys(), before);
        QVERIFY(!noBox.seen());
        QCOMPARE(child<QComboBox>(&dlg, "cbLangs")->currentIndex(), index);
        QCOMPARE(child<QCheckBox>(&dlg, "chkAutoLoadUsers")->isChecked(), autoLoad);
        QCOMPARE(child<QCheckBox>(&dlg, "chkShowUploadNotifyMessage")->isChecked(), notify);
        if (!lang.isEmpty())
            QCOMPARE(AppSettings::lang(), lang);
    }

    void choosingALanguageWritesItsCode()
    {
        AppSettings::setLang(QStringLiteral("en"));
        SettingsDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto *langs = child<QComboBox>(&dlg, "cbLangs");
        langs->setFocus();

        const struct
        {
            Qt::Key key;
            const char *code;
        } steps[] = {{Qt::Key_Up, "it"}, {Qt::Key_Down, "en"}, {Qt::Key_Down, "pt"}, {Qt::Key_Down, "pt-br"}};
        for (const auto &step : steps) {
            MessageBoxAnswerer answer(QMessageBox::Ok);
            QTest::keyClick(langs, step.key);
            QVERIFY2(answer.wait(), step.code);
            QCOMPARE(AppSettings::lang(), QLatin1String(step.code));
            QCOMPARE(answer.title(), QStringLiteral("Riavvio necessario"));
            QCOMPARE(answer.text(), QStringLiteral("E' necessario riavviare l'applicazione per attivare le modifiche."));
            QCOMPARE(answer.buttons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(answer.icon(), QMessageBox::Information);
            QCOMPARE(answer.parentWidget(), &dlg);
        }
        QCOMPARE(storedKeys(), (QStringList{QStringLiteral("endpoint"), QStringLiteral("lang")}));
    }

    void checkBoxesWriteAtOnce()
    {
        SettingsDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto *autoLoad = child<QCheckBox>(&dlg, "chkAutoLoadUsers");
        auto *notify = child<QCheckBox>(&dlg, "chkShowUploadNotifyMessage");

        QTest::mouseClick(autoLoad, Qt::LeftButton, {}, QPoint(8, autoLoad->height() / 2));
        QCOMPARE(QSettings().value(QStringLiteral("autoLoadUsers")).toBool(), false);
        QVERIFY(!QSettings().contains(QStringLiteral("showUploadNotifyMessage")));

        QTest::mouseClick(notify, Qt::LeftButton, {}, QPoint(8, notify->height() / 2));
        QCOMPARE(AppSettings::showUploadNotifyMessage(), false);
        QTest::mouseClick(notify, Qt::LeftButton, {}, QPoint(8, notify->height() / 2));
        QCOMPARE(QSettings().value(QStringLiteral("showUploadNotifyMessage")).toBool(), true);
        QCOMPARE(AppSettings::autoLoadUsers(), false);
    }

    void hiddenKeys()
    {
        SettingsDlg dlg;
        QSignalSpy beta(&dlg, &SettingsDlg::onSwitchBetaMode);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        // Sent where an operator's keys go: to the control that has the focus.
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };
        QVERIFY(QApplication::focusWidget());

        press(Qt::Key_B, ctrlShift);
        QCOMPARE(beta.count(), 0);
        QVERIFY(!QSettings().contains(QStringLiteral("betaMode")));

        press(Qt::Key_D, Qt::ControlModifier);
        press(Qt::Key_D, Qt::ShiftModifier);
        QVERIFY(!debugTabVisible(&dlg));

        press(Qt::Key_D, ctrlShift);
        QVERIFY(debugTabVisible(&dlg));
        press(Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(beta.count(), 0);

        press(Qt::Key_B, ctrlShift);
        QCOMPARE(beta.count(), 1);
        QCOMPARE(beta.at(0).at(0).toBool(), true);
        QCOMPARE(AppSettings::betaMode(), true);
        press(Qt::Key_B, ctrlShift);
        QCOMPARE(beta.count(), 2);
        QCOMPARE(beta.at(1).at(0).toBool(), false);
        QCOMPARE(AppSettings::betaMode(), false);

        press(Qt::Key_D, ctrlShift);
        QVERIFY(!debugTabVisible(&dlg));
        press(Qt::Key_B, ctrlShift);
        QCOMPARE(beta.count(), 2);
        QCOMPARE(AppSettings::betaMode(), false);

        // The same with the dialog itself holding the focus.
        dlg.setFocus();
        QTest::keyClick(&dlg, Qt::Key_D, ctrlShift);
        QVERIFY(debugTabVisible(&dlg));
        QTest::keyClick(&dlg, Qt::Key_B, ctrlShift);
        QCOMPARE(beta.count(), 3);
        QCOMPARE(AppSettings::betaMode(), true);
    }

    void escapeLeavesTheDialogOpen()
    {
        SettingsDlg dlg;
        bool openAfterEscape = false;
        whenModal([&](QWidget *modal) {
            QCOMPARE(modal, &dlg);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QTest::keyClick(&dlg, Qt::Key_Return);
            QTest::qWait(50);
            openAfterEscape = dlg.isVisible();
            dlg.close();
        });
        dlg.exec();
        QVERIFY(openAfterEscape);
        QVERIFY(!dlg.isVisible());
        QVERIFY(storedKeys() == QStringList{QStringLiteral("endpoint")});
    }

    void endpointIsWrittenAndApplied()
    {
        AppSettings::setDevMode(true);
        SettingsDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, ctrlShift);
        child<QTabWidget>(&dlg, "tabWidget")->setCurrentIndex(2);
        auto *edit = child<QLineEdit>(&dlg, "txtEndpoint");
        QCOMPARE(edit->text(), QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"));

        edit->setFocus();
        edit->selectAll();
        const QString typed = QStringLiteral("http://127.0.0.1:8/Apps/Movelta/vq_webservice.php");
        QTest::keyClicks(edit, typed);
        QCOMPARE(AppSettings::endpoint(), QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(AppSettings::endpoint(), typed);
        // Applied at once, in the production form whatever the development setting.
        QCOMPARE(HttpService::instance()->m_url, QUrl(typed));
    }

    void resetAsksFirst()
    {
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        addClient(QStringLiteral("Mancini"), QStringLiteral("Anna"));
        SettingsDlg dlg;
        QSignalSpy reset(&dlg, &SettingsDlg::onResetDB);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        child<QTabWidget>(&dlg, "tabWidget")->setCurrentIndex(1);
        auto *button = child<QPushButton>(&dlg, "btResetDb");

        {
            MessageBoxAnswerer answer(QMessageBox::No);
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(answer.seen());
            QCOMPARE(answer.title(), QStringLiteral("Ripristino Database"));
            QCOMPARE(answer.text(), QStringLiteral("Si sta per eliminare il database locale. I dati degli utenti sul "
                                                   "server non verranno eliminati e verranno riscaricati. Continuare?"));
            QCOMPARE(answer.buttons(), QMessageBox::Yes | QMessageBox::No);
        }
        QCOMPARE(reset.count(), 0);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from clients")).toInt(), 2);

        {
            MessageBoxAnswerer answer(QMessageBox::Yes);
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(answer.seen());
        }
        QCOMPARE(reset.count(), 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from clients")).toInt(), 0);
        // A usable database again, at the current schema.
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 0);
        addClient(QStringLiteral("Amato"), QStringLiteral("Luca"));
        QCOMPARE(m_store->scalar(QStringLiteral("select id from clients")).toInt(), 1);
    }

    void databaseFolderIsShown()
    {
        UrlCatcher catcher({QStringLiteral("file")});
        SettingsDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        child<QTabWidget>(&dlg, "tabWidget")->setCurrentIndex(1);
        QTest::mouseClick(child<QPushButton>(&dlg, "btOpenDbPath"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !catcher.urls.isEmpty(); }, 5000));
        const QString dataPath = m_store->store()->m_dataPath;
        QVERIFY(dataPath.endsWith(QLatin1String("/Vantrel/Calvestra/data/")));
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(QDir::cleanPath(dataPath))});
    }

private:
    std::unique_ptr<TempStore> m_store;
};

CALVESTRA_TEST_MAIN(SettingsDlgTest)
#include "tst_settingsdlg.moc"
