#include "TestMain.h"

#include "ReferenceService.h"

#include "app/AppSettings.h"
#include "app/StartupCheck.h"
#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

// Stands in for the main window: what the check looks at is its client table.
struct FakeWindow
{
    QWidget window;
    QTableView *table = nullptr;
    QStandardItemModel model;

    FakeWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        table = new QTableView(&window);
        table->setObjectName(QStringLiteral("tableView"));
        table->setModel(&model);
        layout->addWidget(table);
        window.resize(400, 300);
    }
    void addClients(int rows)
    {
        for (int i = 0; i < rows; ++i)
            model.appendRow(new QStandardItem(QStringLiteral("Rossi %1").arg(i)));
    }
};

}  // namespace

class StartupCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_service.start(), qPrintable(m_service.log())); }

    void init()
    {
        QVERIFY(m_data.isValid());
        DataModule::resetInstanceForTests(m_data.path());
    }
    void cleanup()
    {
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }

    void reportsEverythingThatWasMissing()
    {
        FakeWindow fake;
        QTemporaryDir out;
        const QString picture = out.filePath(QStringLiteral("shot.png"));
        StartupCheck check(&fake.window, nullptr, picture, 600);
        QSignalSpy finished(&check, &StartupCheck::finished);
        check.start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.first().at(0).toInt(), 1);
        QVERIFY2(check.failure().contains(QStringLiteral("the main window is not shown")), qPrintable(check.failure()));
        QVERIFY(check.failure().contains(QStringLiteral("the web service did not answer")));
        QVERIFY(check.failure().contains(QStringLiteral("the client list stayed empty")));
        QVERIFY(!QFile::exists(picture));
    }

    void anEmptyListIsNotEnough()
    {
        HttpService *http = pointedAtService();
        FakeWindow fake;
        fake.window.show();
        QTemporaryDir out;
        StartupCheck check(&fake.window, http, out.filePath(QStringLiteral("shot.png")), 3000);
        QSignalSpy finished(&check, &StartupCheck::finished);
        check.start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(0).toInt(), 1);
        QVERIFY2(check.failure().contains(QStringLiteral("the client list stayed empty")), qPrintable(check.failure()));
        QVERIFY(!check.failure().contains(QStringLiteral("did not answer")));
    }

    void clientsAndAnAnsweringServiceGiveAPicture()
    {
        HttpService *http = pointedAtService();
        FakeWindow fake;
        fake.window.show();
        QTemporaryDir out;
        const QString picture = out.filePath(QStringLiteral("sub/shot.png"));
        StartupCheck check(&fake.window, http, picture, 15000);
        QSignalSpy finished(&check, &StartupCheck::finished);
        check.start();
        // The rows come after the start, as they do when the list is downloaded.
        QTest::qWait(200);
        fake.addClients(3);
        QVERIFY(finished.wait(15000));
        QCOMPARE(finished.first().at(0).toInt(), 0);
        QVERIFY(check.failure().isEmpty());
        QCOMPARE(check.clientRows(), 3);
        const QImage shot(picture);
        QVERIFY(!shot.isNull());
        QVERIFY(shot.width() >= 400 && shot.height() >= 300);
    }

    void aStoppedServiceFailsTheCheck()
    {
        // Last: the service goes away for good.
        m_service.stop();
        HttpService *http = pointedAtService();
        FakeWindow fake;
        fake.addClients(2);
        fake.window.show();
        QTemporaryDir out;
        StartupCheck check(&fake.window, http, out.filePath(QStringLiteral("shot.png")), 2500);
        QSignalSpy finished(&check, &StartupCheck::finished);
        check.start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(0).toInt(), 1);
        QVERIFY2(check.failure().contains(QStringLiteral("the web service did not answer")),
                 qPrintable(check.failure()));
        QVERIFY(!check.failure().contains(QStringLiteral("client list")));
    }

private:
    HttpService *pointedAtService()
    {
        AppSettings::setIdTrainer(1);
        AppSettings::setEndpoint(m_service.endpointUrl().toString());
        HttpService *http = HttpService::resetInstanceForTests(true);
        http->setWebServiceURL(false);
        http->checkConnection();
        return http;
    }

    QTemporaryDir m_data;
    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(StartupCheckTest)
#include "tst_startupcheck.moc"
