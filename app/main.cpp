#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/StartupCheck.h"
#include "cloud/AccountToken.h"
#include "cloud/HttpService.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    Startup::prepareProcess();
    QApplication app(argc, argv);
    Startup::applyWindowIcon();

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        QStringLiteral("Start, wait until the service answers and the client list shows clients, write a picture "
                       "of the screen to FILE and quit (exit status 0), or quit with status 1 and the reason."),
        QStringLiteral("FILE"));
    parser.addOption(checkOption);
    parser.process(app);

    LanguageInstaller languages;
    languages.install(AppSettings::lang());

    if (!Startup::openStore())
        return 1;
    // Briefly: a keyring that answers late hands the token over when it does.
    AccountToken::instance()->load(AccountToken::startWaitMs);

    int exitCode = 0;
    {
        MainWindow window;
        window.show();
        std::unique_ptr<StartupCheck> check;
        if (parser.isSet(checkOption)) {
            const int timeoutS = qEnvironmentVariableIntValue("CALVESTRA_CHECK_TIMEOUT_S");
            check = std::make_unique<StartupCheck>(&window, HttpService::instance(), parser.value(checkOption),
                                                   timeoutS > 0 ? timeoutS * 1000 : 90000);
            QObject::connect(check.get(), &StartupCheck::finished, &app, &QCoreApplication::exit);
            check->start();
        }
        exitCode = app.exec();
        if (check && !check->failure().isEmpty())
            std::fprintf(stderr, "calvestra: check failed: %s\n", qPrintable(check->failure()));
    }
    return exitCode;
}
