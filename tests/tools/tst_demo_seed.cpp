#include "TestMain.h"

#include "ReferenceService.h"

#include "anamnesis/Anamnesi.h"
#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "device/VXCommThread.h"
#include "scan/AnalysisData.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the seeding tool with this test's profile, or with the environment given.
Run runSeeder(const QStringList &args,
              const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CALVESTRA_DEMO_SEED_EXE), args);
    Run run;
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A profile of its own, with the given settings file contents.
QProcessEnvironment otherProfile(const QTemporaryDir &dir, const QByteArray &settings)
{
    for (const char *sub : {"config/Vantrel", "data", "runtime"})
        QDir(dir.path()).mkpath(QString::fromLatin1(sub));
    QFile file(dir.path() + QStringLiteral("/config/Vantrel/Calvestra.conf"));
    if (file.open(QIODevice::WriteOnly))
        file.write(settings);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path() + QStringLiteral("/runtime"));
    return environment;
}

const QDate today(2026, 3, 1);

QString scanName(const QString &zone, int daysAgo, int hour, int minute, int second)
{
    return zone + QLatin1Char('-') +
           QDateTime(today.addDays(-daysAgo), QTime(hour, minute, second))
               .toString(QStringLiteral("yyyyMMdd--hh-mm-ss"));
}

int count(const QString &sql)
{
    QSqlQuery query(DataModule::instance()->m_db);
    if (!query.exec(sql) || !query.first())
        return -1;
    return query.value(0).toInt();
}

}  // namespace

class DemoSeedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_service.start(), qPrintable(m_service.log()));
        AppSettings::setIdTrainer(1);
        AppSettings::setEndpoint(m_service.endpointUrl().toString());
        QSettings().sync();
    }

    void cleanup()
    {
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }

    void withoutAnAccountNothingIsTouched()
    {
        QTemporaryDir dir;
        const Run run = runSeeder({}, otherProfile(dir, "[General]\nendpoint=http://127.0.0.1:9/x.php\n"));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("no account is configured")), qPrintable(run.err));
        QVERIFY(!QDir(dir.path() + QStringLiteral("/data/Vantrel")).exists());
    }

    void aServiceThatDoesNotAnswerIsReported()
    {
        QTemporaryDir dir;
        const Run run = runSeeder({}, otherProfile(dir,
                                                   "[General]\nidTrainer=3\n"
                                                   "endpoint=http://127.0.0.1:9/Apps/Movelta/vq_webservice.php\n"));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("does not answer")), qPrintable(run.err));
    }

    void aBadDateIsRefused()
    {
        const Run run = runSeeder({QStringLiteral("--today"), QStringLiteral("1.3.2026")});
        QCOMPARE(run.exitCode, 2);
    }

    // The whole profile from an empty store and an empty service account.
    void fillsAnEmptyProfile()
    {
        const Run run = runSeeder({QStringLiteral("--today"), today.toString(Qt::ISODate)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        QVERIFY2(run.out.contains(QStringLiteral("demo profile ready: 6 clients")), qPrintable(run.out));

        // Local store: every client stored and known to the service.
        QCOMPARE(count(QStringLiteral("select count(*) from clients")), 6);
        QCOMPARE(count(QStringLiteral("select count(*) from clients where web_id > 0")), 6);
        QCOMPARE(count(QStringLiteral("select count(*) from anamnesis where web_id > 0 and deleted = 0")), 5);
        QCOMPARE(DataModule::instance()->havePendingStuff(), false);

        Client giulia;
        QSqlQuery query(DataModule::instance()->m_db);
        QVERIFY(query.exec(QStringLiteral("select id from clients where surname = 'Rossi' and name = 'Giulia'")));
        QVERIFY(query.first());
        giulia.loadFromDB(query.value(0).toInt());
        QCOMPARE(giulia.weight, 65.2);
        QCOMPARE(giulia.getExamsDateList(), QList<QDate>({today.addDays(-84), today.addDays(-42), today.addDays(-7)}));

        // Her first exam: three zones, as the scan widget writes them, named for that day.
        const QDir folder(giulia.getDataPath(false));
        QCOMPARE(folder.entryList({QStringLiteral("*.jpg")}).size(), 9);
        QCOMPARE(folder.entryList({QStringLiteral("*.d2d")}).size(), 9);
        QCOMPARE(folder.entryList({QStringLiteral("*.json")}).size(), 6);
        const QString abdomen = folder.filePath(scanName(QStringLiteral("Addome"), 84, 9, 6, 35));
        VXCommThread holder(false);
        QVERIFY(holder.loadFromFile(abdomen + QStringLiteral(".d2d")));
        QCOMPARE(holder.lineCount, 340);
        QImage picture(abdomen + QStringLiteral(".jpg"));
        QCOMPARE(picture.size(), QSize(500, 400));
        AnalysisData marks;
        marks.loadFromFile(abdomen + QStringLiteral(".json"));
        QCOMPARE(marks.linemarks, QList<int>({120, 230}));
        QVERIFY(folder.exists(scanName(QStringLiteral("Fianco dx"), 84, 9, 8, 10) + QStringLiteral(".d2d")));
        QVERIFY(!folder.exists(scanName(QStringLiteral("Fianco dx"), 84, 9, 8, 10) + QStringLiteral(".json")));

        // The service has the same: clients with the latest body data, exams, questionnaires.
        HttpService *http = HttpService::resetInstanceForTests(true);
        http->setWebServiceURL(false);
        QSignalSpy clients(http, &HttpService::onGetClients);
        http->getClients();
        QVERIFY(clients.wait(20000));
        const auto remote = clients.takeFirst().at(0).value<QList<Client>>();
        QCOMPARE(remote.size(), 6);
        for (const Client &client : remote) {
            if (client.web_id == giulia.web_id)
                QCOMPARE(client.weight, 65.2);
        }

        QSignalSpy works(http, &HttpService::onGetUserWorks);
        http->getUserWorks(giulia.web_id);
        QVERIFY(works.wait(20000));
        const auto exams = works.takeFirst().at(0).value<QList<Exam>>();
        QCOMPARE(exams.size(), 3);
        QList<double> weights;
        for (const Exam &exam : exams) {
            weights << exam.weight;
            QCOMPARE(exam.scanNames.size(), 3);
        }
        std::sort(weights.begin(), weights.end());
        QCOMPARE(weights, QList<double>({65.2, 66.9, 68.5}));

        QSignalSpy questionnaires(http, &HttpService::onGetAnamnesis);
        http->getUserAnamnesis(giulia.web_id);
        QVERIFY(questionnaires.wait(20000));
        const auto records = questionnaires.takeFirst().at(0).value<QList<Anamnesi>>();
        QCOMPARE(records.size(), 2);
        bool sawDiagram = false;
        for (const Anamnesi &record : records) {
            QCOMPARE(record.date.date(), today.addDays(-84));
            if (!record.hasDiagram)
                continue;
            sawDiagram = true;
            QCOMPARE(record.marks.size(), 4);
            QCOMPARE(record.lines.size(), 1);
            QCOMPARE(record.questions.first().answer, QStringLiteral("Riduzione massa grassa"));
        }
        QVERIFY(sawDiagram);
    }

    // Runs after the one above: a profile with clients is left as it is.
    void aSecondRunAddsNothing()
    {
        const QStringList before =
            QDir(DataModule::instance()->m_dataPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        const Run run = runSeeder({QStringLiteral("--today"), today.toString(Qt::ISODate)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        QVERIFY(run.out.contains(QStringLiteral("nothing to add")));
        QCOMPARE(count(QStringLiteral("select count(*) from clients")), 6);
        QCOMPARE(count(QStringLiteral("select count(*) from anamnesis")), 5);
        QCOMPARE(QDir(DataModule::instance()->m_dataPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot), before);
    }

private:
    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(DemoSeedTest)
#include "tst_demo_seed.moc"
