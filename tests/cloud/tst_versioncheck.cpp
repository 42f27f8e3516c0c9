// The comparison of dotted version numbers behind the update check.
#include "TestMain.h"

#include "cloud/VersionCheck.h"

class TestVersionCheck : public QObject
{
    Q_OBJECT

private slots:
    void comparesNumerically_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<bool>("newer");
        QTest::newRow("third part numeric, not textual") << "0.6.4" << "0.6.10" << true;
        QTest::newRow("decided at the second part") << "0.6.4" << "0.7" << true;
        QTest::newRow("decided at the first part") << "0.6.4" << "1.0.0" << true;
        QTest::newRow("first part numeric") << "9.9.9" << "10.0.0" << true;
        QTest::newRow("first part numeric, reversed") << "10.0.0" << "9.9.9" << false;
        QTest::newRow("same version") << "0.6.4" << "0.6.4" << false;
        QTest::newRow("fourth part ignored") << "0.6.4" << "0.6.4.1" << false;
        QTest::newRow("older third part") << "0.6.4" << "0.6.3" << false;
        QTest::newRow("older, larger later parts") << "0.6.4" << "0.5.99" << false;
        QTest::newRow("missing part reads as 0") << "0.6.4" << "0.6" << false;
        QTest::newRow("missing part on the running side") << "0.6" << "0.6.1" << true;
        QTest::newRow("equal once missing parts are 0") << "0.6" << "0.6.0" << false;
        QTest::newRow("empty first line") << "0.6.4" << "" << false;
        QTest::newRow("not numbers read as 0.0.0") << "0.6.4" << "a.b.c" << false;
        QTest::newRow("against 0.0.0 anything is newer") << "a.b.c" << "0.0.1" << true;
        QTest::newRow("too large for 32 bits reads as 0") << "0.6.4" << "0.6.99999999999" << false;
        QTest::newRow("line with a carriage return") << "0.6.4" << "0.6.5\r" << true;
        QTest::newRow("empty parts kept") << "0.6.4" << "0..5" << false;
    }
    void comparesNumerically()
    {
        QFETCH(QString, running);
        QFETCH(QString, latest);
        QFETCH(bool, newer);
        QCOMPARE(isVersionGreater(running, latest), newer);
    }
};

CALVESTRA_TEST_CORE_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
