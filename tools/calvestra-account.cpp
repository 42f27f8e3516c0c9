// calvestra-account: writes the trainer account identity into the user's settings.
//
// Calvestra reads "idTrainer" and "user_name" as configuration that is present; no
// window of the application writes them. Run this once per user account:
//
//   calvestra-account --id 17 --name "Studio Rossi"
//   calvestra-account --endpoint https://calvestra.example.org/Apps/Movelta/vq_webservice.php
//   calvestra-account --show

#include "app/AppSettings.h"
#include "app/Startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>
#include <QUrl>

int main(int argc, char *argv[])
{
    Startup::prepareProcess();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("0.6.4"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the Calvestra account identity (trainer id and user name) into this user's settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption idOption(QStringList{QStringLiteral("i"), QStringLiteral("id")},
                                      QStringLiteral("Trainer account id on the web service (a positive number)."),
                                      QStringLiteral("id"));
    const QCommandLineOption nameOption(QStringList{QStringLiteral("n"), QStringLiteral("name")},
                                        QStringLiteral("User name shown in the window title."),
                                        QStringLiteral("name"));
    const QCommandLineOption endpointOption(QStringList{QStringLiteral("e"), QStringLiteral("endpoint")},
                                            QStringLiteral("Address of the web service script (http or https)."),
                                            QStringLiteral("url"));
    const QCommandLineOption showOption(QStringList{QStringLiteral("s"), QStringLiteral("show")},
                                        QStringLiteral("Print the identity currently configured."));
    parser.addOption(idOption);
    parser.addOption(nameOption);
    parser.addOption(endpointOption);
    parser.addOption(showOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);

    if (!parser.isSet(idOption) && !parser.isSet(nameOption) && !parser.isSet(endpointOption)
        && !parser.isSet(showOption)) {
        err << parser.helpText();
        return 2;
    }

    if (parser.isSet(idOption)) {
        bool ok = false;
        const int id = parser.value(idOption).toInt(&ok);
        if (!ok || id <= 0) {
            err << "calvestra-account: the id must be a positive whole number\n";
            return 2;
        }
        AppSettings::setIdTrainer(id);
    }
    if (parser.isSet(endpointOption)) {
        const QUrl url(parser.value(endpointOption), QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()
            || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
            err << "calvestra-account: the endpoint must be an http or https address\n";
            return 2;
        }
        AppSettings::setEndpoint(url.toString());
    }
    if (parser.isSet(nameOption))
        AppSettings::setUserName(parser.value(nameOption).trimmed());

    QSettings settings;
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        err << "calvestra-account: cannot write " << settings.fileName() << "\n";
        return 1;
    }

    out << "idTrainer=" << AppSettings::idTrainer() << "\n"
        << "user_name=" << AppSettings::userName() << "\n"
        << "endpoint=" << AppSettings::endpoint() << "\n"
        << "settings=" << settings.fileName() << "\n";
    return 0;
}
