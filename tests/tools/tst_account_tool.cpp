#include "TestMain.h"

#include "app/AppSettings.h"

#include <QProcess>
#include <QSettings>

using namespace Qt::StringLiterals;

class AccountToolTest : public QObject
{
    Q_OBJECT

    // Runs calvestra-account on this test's profile; its exit code, -1 when it did not end.
    int runTool(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(CALVESTRA_ACCOUNT_EXE), arguments);
        const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
        m_out = QString::fromUtf8(process.readAllStandardOutput());
        m_err = QString::fromUtf8(process.readAllStandardError());
        QSettings().sync();
        return ended ? process.exitCode() : -1;
    }
    QString m_out;
    QString m_err;
    const QString m_endpoint = u"https://calvestra.example.org/Apps/Movelta/vq_webservice.php"_s;

private slots:
    void writesWhatTheApplicationReads()
    {
        QSettings().clear();
        QCOMPARE(runTool({u"--id"_s, u"17"_s, u"--name"_s, u"Studio Rossi"_s}), 0);
        QVERIFY2(m_out.contains(u"idTrainer=17"_s) && m_out.contains(QSettings().fileName()), qPrintable(m_out));
        // One key at a time; the others stay.
        QCOMPARE(runTool({u"--name"_s, u" Laura Bianchi "_s}), 0);
        QCOMPARE(runTool({u"--endpoint"_s, m_endpoint}), 0);
        QCOMPARE(AppSettings::idTrainer(), 17);
        QCOMPARE(AppSettings::userName(), u"Laura Bianchi"_s);
        QCOMPARE(AppSettings::endpoint(), m_endpoint);
        QCOMPARE(runTool({u"--show"_s}), 0);
        QVERIFY2(m_out.contains(u"user_name=Laura Bianchi\n"_s), qPrintable(m_out));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no options") << QStringList();
        for (const char *id : {"0", "-3", "abc", "1.5"})
            QTest::newRow(id) << QStringList{u"--id"_s, QString::fromLatin1(id)};
        for (const char *url : {"ftp://host/x.php", "not a url", "file:///etc/passwd"})
            QTest::newRow(url) << QStringList{u"--endpoint"_s, QString::fromLatin1(url)};
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        AppSettings::setIdTrainer(9);
        AppSettings::setEndpoint(m_endpoint);
        QCOMPARE(runTool(arguments), 2);
        QVERIFY(!m_err.isEmpty());
        QCOMPARE(AppSettings::idTrainer(), 9);
        QCOMPARE(AppSettings::endpoint(), m_endpoint);
    }
};

CALVESTRA_TEST_MAIN(AccountToolTest)
#include "tst_account_tool.moc"
