// calvestra-account: writes the account identity into the user's settings.
//
// Calvestra reads "idTrainer", its token and "user_name" as configuration that is
// present (the settings dialog sets the first two as well). Run this once per user
// account, with the number and token that "calvestra-service account add" printed:
//
//   calvestra-account --id 184467 --token - --name "Studio Rossi"   (token on standard input)
//   calvestra-account --endpoint https://calvestra.example.org/Apps/Movelta/vq_webservice.php
//   calvestra-account --ca-file /etc/calvestra/clinic-ca.pem
//   calvestra-account --show

#include "app/AppSettings.h"
#include "app/Startup.h"
#include "cloud/AccountToken.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
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
        "Writes the Calvestra account identity (account number, token, user name) into this user's settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption idOption(QStringList{QStringLiteral("i"), QStringLiteral("id")},
                                      QStringLiteral("Account number on the web service (a positive number)."),
                                      QStringLiteral("id"));
    const QCommandLineOption tokenOption(
        QStringList{QStringLiteral("t"), QStringLiteral("token")},
        QStringLiteral("The account's token; \"-\" reads it from standard input (keeps it out of the process "
                       "list), an empty value forgets it. Kept in the keyring, or in the settings file "
                       "(readable by this user alone) where no keyring answers."),
        QStringLiteral("token"));
    const QCommandLineOption nameOption(QStringList{QStringLiteral("n"), QStringLiteral("name")},
                                        QStringLiteral("User name shown in the window title."),
                                        QStringLiteral("name"));
    const QCommandLineOption endpointOption(QStringList{QStringLiteral("e"), QStringLiteral("endpoint")},
                                            QStringLiteral("Address of the web service script (http or https)."),
                                            QStringLiteral("url"));
    const QCommandLineOption caOption(
        QStringLiteral("ca-file"),
        QStringLiteral("PEM file of certificate authorities trusted besides the system's (a service with a "
                       "certificate of its own); empty for none."),
        QStringLiteral("file"));
    const QCommandLineOption showOption(QStringList{QStringLiteral("s"), QStringLiteral("show")},
                                        QStringLiteral("Print the identity currently configured."));
    parser.addOptions({idOption, tokenOption, nameOption, endpointOption, caOption, showOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);

    if (!parser.isSet(idOption) && !parser.isSet(nameOption) && !parser.isSet(endpointOption)
        && !parser.isSet(showOption) && !parser.isSet(tokenOption) && !parser.isSet(caOption)) {
        err << parser.helpText();
        return 2;
    }

    // Every value is checked before any is written: a refused command leaves the settings
    // as they were.
    int id = 0;
    if (parser.isSet(idOption)) {
        bool ok = false;
        id = parser.value(idOption).toInt(&ok);
        if (!ok || id <= 0) {
            err << "calvestra-account: the id must be a positive whole number\n";
            return 2;
        }
    }
    QUrl endpoint;
    if (parser.isSet(endpointOption)) {
        endpoint = QUrl(parser.value(endpointOption), QUrl::StrictMode);
        if (!endpoint.isValid() || endpoint.host().isEmpty()
            || (endpoint.scheme() != QLatin1String("http") && endpoint.scheme() != QLatin1String("https"))) {
            err << "calvestra-account: the endpoint must be an http or https address\n";
            return 2;
        }
    }
    const QString caPath = parser.value(caOption);
    if (parser.isSet(caOption) && !caPath.isEmpty() && !QFileInfo(caPath).isReadable()) {
        err << "calvestra-account: cannot read " << caPath << "\n";
        return 2;
    }

    if (parser.isSet(idOption))
        AppSettings::setIdTrainer(id);
    if (parser.isSet(endpointOption))
        AppSettings::setEndpoint(endpoint.toString());
    if (parser.isSet(caOption))
        AppSettings::setCaFile(caPath.isEmpty() ? QString() : QFileInfo(caPath).absoluteFilePath());
    if (parser.isSet(nameOption))
        AppSettings::setUserName(parser.value(nameOption).trimmed());

    AccountToken *token = AccountToken::instance();
    if (parser.isSet(tokenOption)) {
        QString value = parser.value(tokenOption);
        if (value == QLatin1String("-"))
            value = QTextStream(stdin).readLine();
        // Waits for the keyring: the process ends right after.
        token->store(value.trimmed(), 30000);
    } else {
        token->load(AccountToken::startWaitMs);
    }

    QSettings settings;
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        err << "calvestra-account: cannot write " << settings.fileName() << "\n";
        return 1;
    }

    out << "idTrainer=" << AppSettings::idTrainer() << "\n"
        << "token=" << (token->token().isEmpty() ? QStringLiteral("not set") : "set (" + token->place() + ")")
        << "\n"
        << "user_name=" << AppSettings::userName() << "\n"
        << "endpoint=" << AppSettings::endpoint() << "\n"
        << "ca_file=" << AppSettings::caFile() << "\n"
        << "settings=" << settings.fileName() << "\n";
    return 0;
}
