#include "TestMain.h"

#include "app/AppInfo.h"
#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "app/Startup.h"

#include <QFileInfo>
#include <QSettings>

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings().clear();
    }

    void identity()
    {
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Vantrel"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Calvestra"));
        QCOMPARE(AppInfo::version, QStringLiteral("0.6.4"));
        QCOMPARE(QGuiApplication::highDpiScaleFactorRoundingPolicy(),
                 Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    }

    void settingsLiveInTheTemporaryProfile()
    {
        QSettings settings;
        settings.setValue(QStringLiteral("probe"), 1);
        settings.sync();
        const QString expectedRoot = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!expectedRoot.isEmpty());
        QVERIFY2(settings.fileName().startsWith(expectedRoot), qPrintable(settings.fileName()));
        QVERIFY(!settings.fileName().startsWith(QDir::homePath() + QStringLiteral("/.config")));
    }

    void freshProfileDefaults()
    {
        QCOMPARE(AppSettings::lang(), QStringLiteral("it"));
        QCOMPARE(AppSettings::autoLoadUsers(), true);
        QCOMPARE(AppSettings::showUploadNotifyMessage(), true);
        QCOMPARE(AppSettings::betaMode(), false);
        QCOMPARE(AppSettings::devMode(), false);
        QCOMPARE(AppSettings::idTrainer(), 0);
        QCOMPARE(AppSettings::userName(), QString());
        const QUrl endpoint(AppSettings::endpoint());
        QCOMPARE(endpoint.scheme(), QStringLiteral("http"));
        QCOMPARE(endpoint.path(), QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    }

    void settingsAreWrittenAtOnce()
    {
        AppSettings::setLang(QStringLiteral("en"));
        AppSettings::setBetaMode(true);
        AppSettings::setIdTrainer(42);
        AppSettings::setUserName(QStringLiteral("Dott. Rossi"));
        // Another reader sees the values through the native store, not a cache.
        QSettings other;
        QCOMPARE(other.value(QStringLiteral("lang")).toString(), QStringLiteral("en"));
        QCOMPARE(other.value(QStringLiteral("betaMode")).toBool(), true);
        QCOMPARE(other.value(QStringLiteral("idTrainer")).toInt(), 42);
        QCOMPARE(AppSettings::userName(), QStringLiteral("Dott. Rossi"));
    }

    void italianLoadsNoCatalogue()
    {
        LanguageInstaller languages;
        QVERIFY(!languages.install(QStringLiteral("it")));
        QVERIFY(!languages.hasApplicationCatalogue());
        QCOMPARE(MainWindow::tr("Elimina Utente"), QStringLiteral("Elimina Utente"));
    }

    void catalogueForEachLanguage_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("deleteClient");
        // Portugal and Brazil say it differently, so the right catalogue is told apart.
        QTest::newRow("en") << "en" << "en" << "Delete Client";
        QTest::newRow("pt") << "pt" << "pt" << "Eliminar Cliente";
        QTest::newRow("pt-br") << "pt-br" << "pt_BR" << "Excluir Cliente";
    }
    void catalogueForEachLanguage()
    {
        QFETCH(QString, code);
        QFETCH(QString, language);
        QFETCH(QString, deleteClient);
        LanguageInstaller languages;
        QVERIFY(languages.install(code));
        QCOMPARE(languages.applicationTranslator().language(), language);
        QCOMPARE(MainWindow::tr("Elimina Utente"), deleteClient);
    }

    void upperCaseItalianIsNotItalian()
    {
        LanguageInstaller languages;
        QTest::ignoreMessage(QtDebugMsg, "translation file invalid IT");
        QVERIFY(!languages.install(QStringLiteral("IT")));
        QCOMPARE(MainWindow::tr("Elimina Utente"), QStringLiteral("Elimina Utente"));
    }

    void unknownLanguageStaysItalian()
    {
        LanguageInstaller languages;
        QTest::ignoreMessage(QtDebugMsg, "translation file invalid de");
        QVERIFY(!languages.install(QStringLiteral("de")));
        QCOMPARE(MainWindow::tr("Elimina Utente"), QStringLiteral("Elimina Utente"));
    }

    void catalogueIsRemovedWithItsOwner()
    {
        {
            LanguageInstaller languages;
            QVERIFY(languages.install(QStringLiteral("en")));
        }
        QCOMPARE(MainWindow::tr("Elimina Utente"), QStringLiteral("Elimina Utente"));
    }

    void mainWindowTitleFollowsUserName()
    {
        AppSettings::setUserName(QStringLiteral("Laura"));
        // Nothing to download, and the service client stays on a closed loopback port.
        AppSettings::setAutoLoadUsers(false);
        AppSettings::setEndpoint(QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"));
        MainWindow window;
        QVERIFY(window.windowTitle().endsWith(QStringLiteral(" - Laura")));
        QVERIFY(window.windowTitle().contains(QStringLiteral("0.6.4")));
    }

    void windowIconHasEverySize()
    {
        Startup::applyWindowIcon();
        const QIcon icon = QApplication::windowIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int edge : {16, 32, 48, 256})
            QVERIFY2(sizes.contains(QSize(edge, edge)), qPrintable(QString::number(edge)));
    }
};

CALVESTRA_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
