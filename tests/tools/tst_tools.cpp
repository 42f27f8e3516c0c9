#include "TestMain.h"

#include "ReferenceService.h"

#include "anamnesis/Anamnesi.h"
#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "device/VXCommThread.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

class ToolsTest : public QObject
{
    Q_OBJECT

    // Runs a tool on this test's profile: its exit code (-1 when it did not end); its output in m_output.
    int run(const QString &tool, const QStringList &arguments)
    {
        QProcess process;
        process.start(tool, arguments);
        const bool ended = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
        m_output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        QSettings().sync();
        return ended ? process.exitCode() : -1;
    }
    int count(const QString &sql)
    {
        QSqlQuery query(DataModule::instance()->m_db);
        return query.exec(sql) && query.first() ? query.value(0).toInt() : -1;
    }
    const QString m_account = QStringLiteral(CALVESTRA_ACCOUNT_EXE);
    const QString m_seeder = QStringLiteral(CALVESTRA_DEMO_SEED_EXE);
    const QString m_endpoint = u"https://calvestra.example.org/Apps/Movelta/vq_webservice.php"_s;
    QString m_output;
    ReferenceService m_service;

private slots:
    void accountToolRefuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no options") << QStringList();
        for (const char *id : {"0", "-3", "abc", "1.5"})
            QTest::newRow(id) << QStringList{u"--id"_s, QString::fromLatin1(id)};
        for (const char *url : {"ftp://host/x.php", "not a url", "file:///etc/passwd"})
            QTest::newRow(url) << QStringList{u"--endpoint"_s, QString::fromLatin1(url)};
        QTest::newRow("good id, bad endpoint") << QStringList{u"--id"_s, u"5"_s, u"--endpoint"_s, u"ftp://x"_s};
    }
    void accountToolRefuses()
    {
        QFETCH(QStringList, arguments);
        AppSettings::setIdTrainer(9);
        AppSettings::setEndpoint(m_endpoint);
        QCOMPARE(run(m_account, arguments), 2);
        QVERIFY(!m_output.isEmpty() && AppSettings::idTrainer() == 9 && AppSettings::endpoint() == m_endpoint);
    }

    // The account tool writes what the application reads, one key at a time. Without an
    // account, or without an answering service, the seeder stops. An empty store and
    // service account get the six sample clients, their questionnaires and their past exams
    // scanned on the simulated calvimetro, locally and on the service; a second run adds
    // nothing.
    void seeder()
    {
        QSettings().clear();
        QCOMPARE(run(m_seeder, {}), 1);
        QVERIFY2(m_output.contains(u"no account is configured"_s), qPrintable(m_output));
        QCOMPARE(run(m_account, {u"--id"_s, u"17"_s, u"--name"_s, u" Studio Rossi "_s, u"--endpoint"_s, u"http://127.0.0.1:9/x.php"_s}), 0);
        QVERIFY2(m_output.contains(u"idTrainer=17\n"_s) && m_output.contains(QSettings().fileName()), qPrintable(m_output));
        QCOMPARE(run(m_seeder, {}), 1);
        QVERIFY2(m_output.contains(u"does not answer"_s), qPrintable(m_output));
        QCOMPARE(run(m_seeder, {u"--today"_s, u"1.3.2026"_s}), 2);

        QVERIFY2(m_service.start(), qPrintable(m_service.log()));
        QCOMPARE(run(m_account, {u"--endpoint"_s, m_service.endpointUrl().toString()}), 0);
        QVERIFY(AppSettings::idTrainer() == 17 && AppSettings::userName() == u"Studio Rossi" && AppSettings::endpoint() == m_service.endpointUrl().toString());
        QCOMPARE(run(m_account, {u"--show"_s}), 0);
        QVERIFY2(m_output.contains(u"user_name=Studio Rossi\n"_s), qPrintable(m_output));
        const QDate today(2026, 3, 1);
        QVERIFY2(run(m_seeder, {u"--today"_s, today.toString(Qt::ISODate)}) == 0, qPrintable(m_output));
        QVERIFY2(m_output.contains(u"demo profile ready: 6 clients"_s), qPrintable(m_output));
        QCOMPARE(count(u"select count(*) from clients where web_id > 0"_s), 6);
        QCOMPARE(count(u"select count(*) from anamnesis where web_id > 0 and deleted = 0"_s), 5);
        QVERIFY(!DataModule::instance()->havePendingStuff());
        Client giulia;
        giulia.loadFromDB(count(u"select id from clients where surname = 'Rossi' and name = 'Giulia'"_s));
        QCOMPARE(giulia.weight, 65.2);
        QCOMPARE(giulia.getExamsDateList(), QList<QDate>({today.addDays(-84), today.addDays(-42), today.addDays(-7)}));
        // Three zones a day, as the scan widget writes them, named for that day.
        const QDir folder(giulia.getDataPath(false));
        QCOMPARE(QList<qsizetype>({folder.entryList({u"*.jpg"_s}).size(), folder.entryList({u"*.d2d"_s}).size(), folder.entryList({u"*.json"_s}).size()}),
                 QList<qsizetype>({9, 9, 9}));
        const QString abdomen = folder.filePath(u"Addome-"_s + today.addDays(-84).toString(u"yyyyMMdd"_s) + u"--09-06-35"_s);
        VXCommThread holder(false);
        QVERIFY(holder.loadFromFile(abdomen + u".d2d"_s) && holder.lineCount == 340);
        QCOMPARE(QImage(abdomen + u".jpg"_s).size(), QSize(500, 400));

        // The service has her exams, each with its body data and three scans.
        HttpService *http = HttpService::resetInstanceForTests(true);
        http->setWebServiceURL(false);
        QSignalSpy works(http, &HttpService::onGetUserWorks);
        http->getUserWorks(giulia.web_id);
        QVERIFY(works.wait(60000));
        QList<double> weights;
        for (const Exam &exam : works.first().at(0).value<QList<Exam>>())
            weights << (exam.scanNames.size() == 3 ? exam.weight : -1);
        std::sort(weights.begin(), weights.end());
        QCOMPARE(weights, QList<double>({65.2, 66.9, 68.5}));
        HttpService::resetInstanceForTests(false);

        const QStringList folders = QDir(DataModule::instance()->m_dataPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY2(run(m_seeder, {u"--today"_s, today.toString(Qt::ISODate)}) == 0 && m_output.contains(u"nothing to add"_s), qPrintable(m_output));
        QCOMPARE(count(u"select count(*) from clients"_s) + count(u"select count(*) from anamnesis"_s), 11);
        QCOMPARE(QDir(DataModule::instance()->m_dataPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot), folders);
        DataModule::resetInstanceForTests();
    }
};

CALVESTRA_TEST_MAIN(ToolsTest)
#include "tst_tools.moc"
