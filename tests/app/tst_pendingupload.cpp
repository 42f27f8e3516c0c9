#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Exam.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStatusBar>

namespace {

const QString waitingText = QStringLiteral("Alcuni dati sono in attesa di essere caricati in cloud");

// Records the text of every notification box that shows up while it lives (each
// stays three seconds, so a poll every 20 ms sees them all).
class NotificationWatcher : public QObject
{
public:
    NotificationWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() != QLatin1String("notificationBox") || !w->isVisible())
                    continue;
                for (QLabel *label : w->findChildren<QLabel *>()) {
                    if (!texts.contains(label->text()))
                        texts << label->text();
                }
            }
        });
        m_timer.start(20);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("scan bytes of " + path.toUtf8());
}

// The client's scans of one day and the pending row of that day's exam.
void addPendingExam(int idClient, const QDate &day)
{
    Client client;
    client.loadFromDB(idClient);
    const QString folder = client.getDataPath(true);
    const QString base = folder + QStringLiteral("Vita-") + day.toString(QStringLiteral("yyyyMMdd"))
                         + QStringLiteral("--09-30-15");
    touch(base + QStringLiteral(".jpg"));
    touch(base + QStringLiteral(".d2d"));
    Exam exam;
    exam.examDate = day;
    exam.height = 170;
    exam.weight = 60.5;
    exam.activityLevel = 2;
    QVERIFY(DataModule::m_instance->insertPendingExam(idClient, &exam));
}

int addPendingAnamnesi(int idClient, const QString &name, const QDateTime &date)
{
    Anamnesi a;
    a.idClient = idClient;
    a.name = name;
    a.date = date;
    a.SaveToDB(false, false);
    return a.id;
}

bool pending()
{
    return DataModule::m_instance->havePendingStuff();
}

QStringList withPrefixes(const QStringList &lines, const QStringList &prefixes)
{
    QStringList out;
    for (const QString &line : lines) {
        for (const QString &prefix : prefixes) {
            if (line.startsWith(prefix)) {
                out << line;
                break;
            }
        }
    }
    return out;
}

QPushButton *cloudButton(MainWindow *window)
{
    return child<QPushButton>(window, "cloudUploadButton");
}

bool cloudButtonShown(MainWindow *window)
{
    QPushButton *button = cloudButton(window);
    return button->isVisible() && button->parentWidget() == window->statusBar();
}

}  // namespace

class PendingUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!m_service.start())
            QSKIP(qPrintable(QStringLiteral("reference service: ") + m_service.errorString()));
    }

    void init()
    {
        QVERIFY(m_service.resetHooks());
        ++m_account;
    }

    void cleanup()
    {
        // Notifications close themselves after three seconds; none outlives its case.
        QVERIFY(QTest::qWaitFor(
            [] {
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (w->objectName() == QLatin1String("notificationBox"))
                        return false;
                return true;
            },
            6000));
    }

    void oneItemAtATimeClientFirst()
    {
        const int webB = addServiceClient(m_service, m_account, QStringLiteral("Bianchi"), QStringLiteral("Anna"));
        QVERIFY(webB > 0);
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        const int idA = addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        const int idB = addLocalClient(QStringLiteral("Bianchi"), QStringLiteral("Anna"), webB, false);
        const QDate day(2024, 1, 5);
        addPendingExam(idB, day);
        const int idAnamnesi = addPendingAnamnesi(idB, QStringLiteral("Generale"), QDateTime(day, QTime(10, 0)));
        const QString description = DataModule::m_instance->getPendingDescription();
        QVERIFY(description.contains(QLatin1String("Mario Rossi")));

        LogCatcher log("calvestra.app");
        NotificationWatcher notifications;
        const qsizetype before = receivedUploadActions(m_service, m_account).size();
        MainWindow *window = setup.open();
        window->show();
        // The first check runs at once: the button is up with what waits.
        QVERIFY(cloudButtonShown(window));
        QCOMPARE(cloudButton(window)->toolTip(), waitingText + description);
        QCOMPARE(cloudButton(window)->maximumSize(), QSize(16, 16));

        QVERIFY(QTest::qWaitFor([] { return !pending(); }, 60000));
        QVERIFY(QTest::qWaitFor([&] { return !cloudButtonShown(window); }, 10000));

        // Each item went out once, in order, the next only after the previous one's outcome.
        const QStringList sent = receivedUploadActions(m_service, m_account).mid(before);
        QCOMPARE(sent, (QStringList{QStringLiteral("setUserData"), QStringLiteral("uploadAnamnesi"),
                                    QStringLiteral("uploadExamZip")}));
        const QStringList steps =
            withPrefixes(log.lines(), {QStringLiteral("autoupload"), QStringLiteral("upload ")});
        QCOMPARE(steps, (QStringList{QStringLiteral("autoupload client Mario Rossi"),
                                     QStringLiteral("upload client done %1").arg(idA),
                                     QStringLiteral("autoupload anamnesi Generale 2024-01-05 10:00:00"),
                                     QStringLiteral("upload anamnesi done %1").arg(idAnamnesi),
                                     QStringLiteral("autoupload exam %1 2024-01-05").arg(webB),
                                     QStringLiteral("upload exam done %1 2024-01-05").arg(webB)}));

        QVERIFY(QTest::qWaitFor([&] { return notifications.texts.size() == 3; }, 5000));
        QCOMPARE(notifications.texts,
                 (QStringList{QStringLiteral("Anagrafica dell'utente Mario Rossi inviata al server."),
                              QStringLiteral("Anamnesi 'Generale' dell'utente Anna Bianchi inviata al server."),
                              QStringLiteral("Esame del 05/01/2024 dell'utente Anna Bianchi inviato al server.")}));

        // What the service holds now: the client got its web id, the exam is stored.
        QVERIFY(storeValue(QStringLiteral("select web_id from clients where id = %1").arg(idA)).toInt() > 0);
        QCOMPARE(storeValue(QStringLiteral("select count(*) from pendingExams")).toInt(), 0);
        const QJsonObject works = postToService(m_service, m_account, QStringLiteral("getUserWorks"),
                                                {{QStringLiteral("idUser"), QString::number(webB)}});
        const QJsonArray list = works.value(QStringLiteral("data")).toObject().value(QStringLiteral("works")).toArray();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.at(0).toObject().value(QStringLiteral("date")).toString(), QStringLiteral("2024-01-05"));
        QVERIFY(!window->isUploadBusy());
    }

    void notificationsOff()
    {
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        AppSettings::setShowUploadNotifyMessage(false);
        const int id = addLocalClient(QStringLiteral("Verdi"), QStringLiteral("Giulia"));
        NotificationWatcher notifications;
        LogCatcher log("calvestra.app");
        MainWindow *window = setup.open();
        QVERIFY(QTest::qWaitFor([] { return !pending(); }, 30000));
        QVERIFY(log.lines().contains(QStringLiteral("upload client done %1").arg(id)));
        QVERIFY(QTest::qWaitFor([&] { return !cloudButtonShown(window); }, 10000));
        QTest::qWait(200);
        QCOMPARE(notifications.texts, QStringList());
    }

    void disconnectedKeepsEverythingPending()
    {
        ReferenceService own;
        QVERIFY(own.start());
        const QUrl endpoint = own.endpointUrl();
        own.stop();
        WindowSetup setup(endpoint, m_account);
        AppSettings::setAutoLoadUsers(false);
        const int id = addLocalClient(QStringLiteral("Neri"), QStringLiteral("Luca"));
        LogCatcher log("calvestra.app");
        MainWindow *window = setup.open();
        window->show();

        // Several passes while the service is out of reach: nothing is sent.
        QVERIFY(QTest::qWaitFor([&] { return log.countStartingWith(QStringLiteral("uploadPendings")) >= 3; }, 20000));
        QCOMPARE(log.countStartingWith(QStringLiteral("autoupload")), 0);
        QVERIFY(pending());
        QCOMPARE(storeValue(QStringLiteral("select web_id from clients where id = %1").arg(id)).toInt(), 0);
        QVERIFY(cloudButtonShown(window));
        QCOMPARE(cloudButton(window)->toolTip(), waitingText + QStringLiteral("\nClienti:\nLuca Neri\n"));
        QCOMPARE(child<QLabel>(window, "networkStatusLabel")->toolTip(), QStringLiteral("Disconnesso"));

        // The button runs a pass at once.
        const int passes = log.countStartingWith(QStringLiteral("uploadPendings"));
        QTest::mouseClick(cloudButton(window), Qt::LeftButton);
        QCOMPARE(log.countStartingWith(QStringLiteral("uploadPendings")), passes + 1);

        // Back online: the next probe says so and the next pass sends.
        QVERIFY(own.restart());
        QVERIFY(QTest::qWaitFor([] { return !pending(); }, 30000));
        QVERIFY(storeValue(QStringLiteral("select web_id from clients where id = %1").arg(id)).toInt() > 0);
        QCOMPARE(receivedUploadActions(own, m_account), QStringList{QStringLiteral("setUserData")});
        QCOMPARE(child<QLabel>(window, "networkStatusLabel")->toolTip(), QStringLiteral("Connesso"));
        QVERIFY(QTest::qWaitFor([&] { return !cloudButtonShown(window); }, 10000));
    }

    void failedUploadIsSentAgain()
    {
        const int web = addServiceClient(m_service, m_account, QStringLiteral("Gallo"), QStringLiteral("Rita"));
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        const int id = addLocalClient(QStringLiteral("Gallo"), QStringLiteral("Rita"), web, false);
        addPendingExam(id, QDate(2024, 3, 1));
        // Full storage first, then a broken reply: both leave the exam waiting.
        QVERIFY(m_service.injectFault(QStringLiteral("code:405"), QStringLiteral("uploadExamZip"), 1));
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadExamZip"), 1));
        LogCatcher log("calvestra.app");
        const qsizetype before = receivedUploadActions(m_service, m_account).size();
        setup.open();
        QVERIFY(QTest::qWaitFor([] { return !pending(); }, 60000));
        QCOMPARE(log.countStartingWith(QStringLiteral("upload exam fail")), 2);
        QCOMPARE(log.countStartingWith(QStringLiteral("upload exam done")), 1);
        QCOMPARE(receivedUploadActions(m_service, m_account).mid(before),
                 (QStringList{QStringLiteral("uploadExamZip"), QStringLiteral("uploadExamZip"),
                              QStringLiteral("uploadExamZip")}));
    }

    void deletionFailureDoesNotStopTheUploads_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("recovery");
        // The service refuses: the failure report frees the next pass.
        QTest::newRow("refused") << "status500" << "upload delete anamnesi fail";
        // No answer at all: the request's time-out ends it.
        QTest::newRow("unanswered, request time-out") << "hang" << "upload delete anamnesi fail";
        // No outcome ever reported: the window's own limit frees the next pass.
        QTest::newRow("unanswered, no outcome") << "hang" << "background upload without outcome";
    }
    void deletionFailureDoesNotStopTheUploads()
    {
        QFETCH(QString, fault);
        QFETCH(QString, recovery);
        const bool requestTimeout = QTest::currentDataTag() == QLatin1String("unanswered, request time-out");
        const int web = addServiceClient(m_service, m_account, QStringLiteral("Costa"), QStringLiteral("Elena"));
        WindowSetup setup(m_service.endpointUrl(), m_account);
        AppSettings::setAutoLoadUsers(false);
        const int idClient = addLocalClient(QStringLiteral("Costa"), QStringLiteral("Elena"), web, false);
        const int idAnamnesi =
            addPendingAnamnesi(idClient, QStringLiteral("Sportiva"), QDateTime(QDate(2024, 2, 2), QTime(8, 15)));
        LogCatcher log("calvestra.app");
        MainWindow *window = setup.open();
        if (requestTimeout)
            HttpService::m_instance->setTimeouts(1500, 1500, HttpService::defaultProbeTimeoutMs);
        else
            window->setUploadGuardTimes(1500, 1500);

        // First the record reaches the service...
        QVERIFY(QTest::qWaitFor([] { return !pending(); }, 30000));
        const int webAnamnesi =
            storeValue(QStringLiteral("select web_id from anamnesis where id = %1").arg(idAnamnesi)).toInt();
        QVERIFY(webAnamnesi > 0);

        // ...then it is deleted locally, and the deletion's first sending goes wrong.
        QVERIFY(m_service.injectFault(fault, QStringLiteral("deleteAnamnesi"), 1));
        QVERIFY(DataModule::m_instance->deleteAnamnesi(idAnamnesi, false));
        QCOMPARE(storeValue(QStringLiteral("select deleted from anamnesis where id = %1").arg(idAnamnesi)).toInt(), 1);
        // A later item must not wait behind it forever.
        const int later = addLocalClient(QStringLiteral("Moretti"), QStringLiteral("Ugo"));

        QVERIFY(QTest::qWaitFor([] { return !pending(); }, 60000));
        QVERIFY2(log.countStartingWith(recovery) >= 1, qPrintable(log.lines().join(QLatin1Char('\n'))));
        QCOMPARE(storeValue(QStringLiteral("select count(*) from anamnesis")).toInt(), 0);
        QVERIFY(storeValue(QStringLiteral("select web_id from clients where id = %1").arg(later)).toInt() > 0);
        // A request still hanging is recorded by the service only once it ends.
        const int deletions = int(receivedUploadActions(m_service, m_account).count(QStringLiteral("deleteAnamnesi")));
        QVERIFY(fault == QLatin1String("hang") ? deletions >= 1 : deletions == 2);
        QCOMPARE(log.countStartingWith(QStringLiteral("upload delete anamnesi cmd Sportiva 2024-02-02 08:15:00")), 2);
        QVERIFY(!window->isUploadBusy());
    }

private:
    ReferenceService m_service;
    int m_account = 700;
};

CALVESTRA_TEST_MAIN(PendingUploadTest)
#include "tst_pendingupload.moc"
