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

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QDate today(2026, 3, 1);

int count(const QString &sql)
{
    QSqlQuery query(DataModule::instance()->m_db);
    return query.exec(sql) && query.first() ? query.value(0).toInt() : -1;
}

}  // namespace

class DemoSeedTest : public QObject
{
    Q_OBJECT

    // Runs the seeder on this test's profile, or on another one with the given settings.
    int runSeeder(const QStringList &arguments, const QByteArray &otherSettings = QByteArray())
    {
        QProcess process;
        QTemporaryDir other;
        if (!otherSettings.isEmpty()) {
            QDir(other.path()).mkpath(u"config/Vantrel"_s);
            QDir(other.path()).mkpath(u"data"_s);
            QFile file(other.filePath(u"config/Vantrel/Calvestra.conf"_s));
            if (!file.open(QIODevice::WriteOnly) || file.write(otherSettings) < 0)
                return -2;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"XDG_CONFIG_HOME"_s, other.filePath(u"config"_s));
            environment.insert(u"XDG_DATA_HOME"_s, other.filePath(u"data"_s));
            process.setProcessEnvironment(environment);
        }
        process.start(QStringLiteral(CALVESTRA_DEMO_SEED_EXE), arguments);
        const bool ended = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
        m_output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        return ended ? process.exitCode() : -1;
    }
    QString m_output;
    ReferenceService m_service;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_service.start(), qPrintable(m_service.log()));
        AppSettings::setIdTrainer(1);
        AppSettings::setEndpoint(m_service.endpointUrl().toString());
        QSettings().sync();
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no account") << QByteArray("[General]\nendpoint=http://127.0.0.1:9/x.php\n") << QStringList() << 1
                                    << "no account is configured";
        QTest::newRow("no answer") << QByteArray("[General]\nidTrainer=3\nendpoint=http://127.0.0.1:9/Apps/Movelta/vq_webservice.php\n")
                                   << QStringList() << 1 << "does not answer";
        QTest::newRow("bad date") << QByteArray() << QStringList{u"--today"_s, u"1.3.2026"_s} << 2
                                  << "--today takes a date";
    }
    void refusals()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QCOMPARE(runSeeder(arguments, settings), exitCode);
        QVERIFY2(m_output.contains(message), qPrintable(m_output));
    }

    // An empty store and service account get the six sample clients, their scanned past
    // exams and questionnaires, locally and on the service; a second run adds nothing.
    void fillsAnEmptyProfileOnce()
    {
        QVERIFY2(runSeeder({u"--today"_s, today.toString(Qt::ISODate)}) == 0, qPrintable(m_output));
        QVERIFY2(m_output.contains(u"demo profile ready: 6 clients"_s), qPrintable(m_output));
        QCOMPARE(count(u"select count(*) from clients where web_id > 0"_s), 6);
        QCOMPARE(count(u"select count(*) from anamnesis where web_id > 0 and deleted = 0"_s), 5);
        QVERIFY(!DataModule::instance()->havePendingStuff());
        Client giulia;
        giulia.loadFromDB(count(u"select id from clients where surname = 'Rossi' and name = 'Giulia'"_s));
        QCOMPARE(giulia.weight, 65.2);
        QCOMPARE(giulia.getExamsDateList(), QList<QDate>({today.addDays(-84), today.addDays(-42), today.addDays(-7)}));

        // Three zones a day, as the scan widget writes them and named for that day.
        const QDir folder(giulia.getDataPath(false));
        QCOMPARE(folder.entryList({u"*.jpg"_s}).size(), 9);
        QCOMPARE(folder.entryList({u"*.d2d"_s}).size(), 9);
        QCOMPARE(folder.entryList({u"*.json"_s}).size(), 6);
        const QString abdomen = folder.filePath(u"Addome-"_s + today.addDays(-84).toString(u"yyyyMMdd"_s) + u"--09-06-35"_s);
        VXCommThread holder(false);
        QVERIFY(holder.loadFromFile(abdomen + u".d2d"_s));
        QCOMPARE(holder.lineCount, 340);
        QCOMPARE(QImage(abdomen + u".jpg"_s).size(), QSize(500, 400));
        AnalysisData marks;
        marks.loadFromFile(abdomen + u".json"_s);
        QCOMPARE(marks.linemarks, QList<int>({120, 230}));

        // The service holds the same.
        HttpService *http = HttpService::resetInstanceForTests(true);
        http->setWebServiceURL(false);
        QSignalSpy clients(http, &HttpService::onGetClients);
        QSignalSpy works(http, &HttpService::onGetUserWorks);
        QSignalSpy questionnaires(http, &HttpService::onGetAnamnesis);
        http->getClients();
        http->getUserWorks(giulia.web_id);
        http->getUserAnamnesis(giulia.web_id);
        QTRY_VERIFY_WITH_TIMEOUT(!clients.isEmpty() && !works.isEmpty() && !questionnaires.isEmpty(), 60000);
        QCOMPARE(clients.first().at(0).value<QList<Client>>().size(), 6);
        QList<double> weights;
        for (const Exam &exam : works.first().at(0).value<QList<Exam>>())
            weights << (exam.scanNames.size() == 3 ? exam.weight : -1);
        std::sort(weights.begin(), weights.end());
        QCOMPARE(weights, QList<double>({65.2, 66.9, 68.5}));
        QStringList records;
        for (const Anamnesi &record : questionnaires.first().at(0).value<QList<Anamnesi>>()) {
            QCOMPARE(record.date.date(), today.addDays(-84));
            if (record.hasDiagram)
                records << u"%1 marks, %2 line, %3"_s.arg(record.marks.size()).arg(record.lines.size()).arg(record.questions.first().answer);
        }
        QCOMPARE(questionnaires.first().at(0).value<QList<Anamnesi>>().size(), 2);
        QCOMPARE(records, QStringList{u"4 marks, 1 line, Riduzione massa grassa"_s});
        HttpService::resetInstanceForTests(false);

        const QStringList folders = QDir(DataModule::instance()->m_dataPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY2(runSeeder({u"--today"_s, today.toString(Qt::ISODate)}) == 0, qPrintable(m_output));
        QVERIFY(m_output.contains(u"nothing to add"_s));
        QCOMPARE(count(u"select count(*) from clients"_s), 6);
        QCOMPARE(count(u"select count(*) from anamnesis"_s), 5);
        QCOMPARE(QDir(DataModule::instance()->m_dataPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot), folders);
        DataModule::resetInstanceForTests();
    }
};

CALVESTRA_TEST_MAIN(DemoSeedTest)
#include "tst_demo_seed.moc"
