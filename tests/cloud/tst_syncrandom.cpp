#include "TestMain.h"

#include "SyncScenario.h"

// Random work against the reference service under faults; afterwards the service and
// the local store must agree. CALVESTRA_SYNC_SEED and CALVESTRA_SYNC_OPS repeat a run.
class SyncRandomTest : public QObject
{
    Q_OBJECT

private slots:
    void convergesUnderFaults_data()
    {
        QTest::addColumn<quint32>("seed");
        const QByteArray fixed = qgetenv("CALVESTRA_SYNC_SEED");
        if (!fixed.isEmpty()) {
            QTest::newRow(fixed.constData()) << quint32(fixed.toUInt());
            return;
        }
        for (const quint32 seed : {20261207u, 4242u, 77u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void convergesUnderFaults()
    {
        QFETCH(quint32, seed);
        const int operations = qEnvironmentVariableIsSet("CALVESTRA_SYNC_OPS")
                                   ? qEnvironmentVariableIntValue("CALVESTRA_SYNC_OPS")
                                   : 120;
        ReferenceService service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        SyncScenario scenario(service, seed);
        const SyncScenario::Result result = scenario.run(operations);
        QVERIFY2(result.findings.isEmpty(), qPrintable(QStringLiteral("seed %1, %2 operations, %3 faults:\n%4")
                                                           .arg(seed)
                                                           .arg(result.operations)
                                                           .arg(result.faults)
                                                           .arg(result.findings.join(QLatin1Char('\n')))));
    }
};

CALVESTRA_TEST_MAIN(SyncRandomTest)
#include "tst_syncrandom.moc"
