#include "TestMain.h"

#include "app/AppSettings.h"

#include <QProcess>
#include <QSettings>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs calvestra-account with the test profile's environment, so it writes the same
// settings file this process reads.
Run runTool(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(CALVESTRA_ACCOUNT_EXE), args);
    Run run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

}  // namespace

class AccountToolTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void writesTheIdentityTheApplicationReads()
    {
        const Run run = runTool({QStringLiteral("--id"), QStringLiteral("17"), QStringLiteral("--name"),
                                 QStringLiteral("Studio Rossi")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QStringLiteral("idTrainer=17")));
        QSettings settings;
        settings.sync();
        QCOMPARE(AppSettings::idTrainer(), 17);
        QCOMPARE(AppSettings::userName(), QStringLiteral("Studio Rossi"));
        QVERIFY(run.out.contains(settings.fileName()));
    }

    void changesOneKeyAndKeepsTheOther()
    {
        QCOMPARE(runTool({QStringLiteral("--id"), QStringLiteral("5"), QStringLiteral("--name"), QStringLiteral("A")})
                     .exitCode,
                 0);
        QCOMPARE(runTool({QStringLiteral("--name"), QStringLiteral("Laura Bianchi")}).exitCode, 0);
        QSettings().sync();
        QCOMPARE(AppSettings::idTrainer(), 5);
        QCOMPARE(AppSettings::userName(), QStringLiteral("Laura Bianchi"));
        const Run show = runTool({QStringLiteral("--show")});
        QCOMPARE(show.exitCode, 0);
        QVERIFY(show.out.contains(QStringLiteral("user_name=Laura Bianchi")));
    }

    void refusesBadIds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-3";
        QTest::newRow("text") << "abc";
        QTest::newRow("fraction") << "1.5";
    }
    void refusesBadIds()
    {
        QFETCH(QString, id);
        AppSettings::setIdTrainer(9);
        const Run run = runTool({QStringLiteral("--id"), id});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(!run.err.isEmpty());
        QSettings().sync();
        QCOMPARE(AppSettings::idTrainer(), 9);
    }

    void setsTheEndpoint()
    {
        const QString url = QStringLiteral("https://calvestra.example.org/Apps/Movelta/vq_webservice.php");
        QCOMPARE(runTool({QStringLiteral("--endpoint"), url}).exitCode, 0);
        QSettings().sync();
        QCOMPARE(AppSettings::endpoint(), url);
        for (const QString &bad : {QStringLiteral("ftp://host/x.php"), QStringLiteral("not a url"),
                                  QStringLiteral("file:///etc/passwd")}) {
            const Run run = runTool({QStringLiteral("--endpoint"), bad});
            QCOMPARE(run.exitCode, 2);
        }
        QSettings().sync();
        QCOMPARE(AppSettings::endpoint(), url);
    }

    void withoutOptionsPrintsUsage()
    {
        const Run run = runTool({});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("--id")));
    }
};

CALVESTRA_TEST_MAIN(AccountToolTest)
#include "tst_account_tool.moc"
