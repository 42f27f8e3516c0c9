// calvestra-demo-seed: fills an empty demo profile with sample clients.
//
// Run with the profile's settings (endpoint, idTrainer) already written and its service
// running; the demo start script does both. Each client is stored and sent to the
// service, its questionnaires are filled from the service's models, and its past exams
// are scanned on the simulated calvimetro and uploaded, as the application does. A
// profile whose store or service already has clients is left as it is.
//
//   calvestra-demo-seed              add the sample clients when the profile is empty
//   calvestra-demo-seed --today 2026-03-01   date the exams as if today were that day

#include "demo/DemoSeeder.h"

#include "app/AppSettings.h"
#include "app/Startup.h"
#include "cloud/AccountToken.h"
#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QLoggingCategory>
#include <QTextStream>

#include <stdexcept>

int main(int argc, char *argv[])
{
    // Never a window on screen, and never the real scanner: the scans come from the
    // simulated calvimetro, answering as fast as it is read.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CALVESTRA_SCANNER", "simulator");
    qputenv("CALVESTRA_SIMULATOR_RATE", "0");
    Startup::prepareProcess();
    QApplication app(argc, argv);
    // The application's own debug lines only when asked for.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("calvestra.*.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Adds the sample clients of the Calvestra demo to an empty profile."));
    parser.addHelpOption();
    const QCommandLineOption todayOption(QStringLiteral("today"),
                                         QStringLiteral("Date the exams as if today were this day (yyyy-MM-dd)."),
                                         QStringLiteral("date"));
    parser.addOption(todayOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    QDate today = QDate::currentDate();
    if (parser.isSet(todayOption)) {
        today = QDate::fromString(parser.value(todayOption), Qt::ISODate);
        if (!today.isValid()) {
            err << "calvestra-demo-seed: --today takes a date as yyyy-MM-dd\n";
            return 2;
        }
    }
    if (AppSettings::idTrainer() <= 0) {
        err << "calvestra-demo-seed: no account is configured (calvestra-account --id N)\n";
        return 1;
    }

    DataModule *store = nullptr;
    try {
        store = DataModule::instance();
    } catch (const std::exception &e) {
        err << "calvestra-demo-seed: " << e.what() << '\n';
        return 1;
    }
    AccountToken::instance()->load(AccountToken::startWaitMs);
    HttpService *service = HttpService::instance();
    service->setWebServiceURL(AppSettings::devMode());

    int status = 0;
    {
        DemoSeeder seeder(store, service, out);
        if (!seeder.run(today)) {
            out.flush();
            err << "calvestra-demo-seed: " << seeder.error() << '\n';
            status = 1;
        }
    }
    // The service first: its replies still in flight refer to the store.
    delete service;
    delete store;
    return status;
}
