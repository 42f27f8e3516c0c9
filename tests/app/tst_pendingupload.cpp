#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Exam.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

// The main window's background upload against the reference service, as one operator's
// day leaves the queue: what waits while the service is out of reach, then every item in
// order, one at a time, each announced; an item that never reports back frees the queue.
class PendingUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void queueGoesOutInOrder()
    {
        ReferenceService service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const int account = 700;
        const int webB = addServiceClient(service, account, QStringLiteral("Bianchi"), QStringLiteral("Anna"));
        QVERIFY(webB > 0);
        service.stop();

        WindowSetup setup(service.endpointUrl().toString(), account);
        const int idA = addLocalClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        const int idB = addLocalClient(QStringLiteral("Bianchi"), QStringLiteral("Anna"), webB, false);
        // A day's scans and its exam, then a questionnaire of that day.
        Client bianchi;
        bianchi.loadFromDB(idB);
        const QString scan = bianchi.getDataPath(true) + QStringLiteral("Vita-20240105--09-30-15");
        for (const QString &suffix : {QStringLiteral(".jpg"), QStringLiteral(".d2d")}) {
            QFile file(scan + suffix);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("scan bytes") > 0);
        }
        Exam exam;
        exam.examDate = QDate(2024, 1, 5);
        exam.height = 170;
        exam.weight = 60.5;
        QVERIFY(DataModule::m_instance->insertPendingExam(idB, &exam));
        Anamnesi anamnesi;
        anamnesi.idClient = idB;
        anamnesi.name = QStringLiteral("Generale");
        anamnesi.date = QDateTime(exam.examDate, QTime(10, 0));
        anamnesi.SaveToDB(false, false);
        const QString waiting = QStringLiteral("Alcuni dati sono in attesa di essere caricati in cloud")
                                + DataModule::m_instance->getPendingDescription();
        QVERIFY(waiting.contains(QLatin1String("Mario Rossi")));

        LogCatcher log("calvestra.app");
        QStringList announced;
        QTimer watcher;  // each notification stays three seconds
        connect(&watcher, &QTimer::timeout, this, [&announced] {
            for (QWidget *box : QApplication::topLevelWidgets()) {
                const auto *label = box->objectName() == QLatin1String("notificationBox") ? box->findChild<QLabel *>() : nullptr;
                if (label && !announced.contains(label->text()))
                    announced << label->text();
            }
        });
        watcher.start(20);
        MainWindow *window = setup.open();
        window->show();
        window->setUploadGuardTimes(5000, 5000);
        auto *button = child<QPushButton>(window, "cloudUploadButton");
        auto *connection = child<QLabel>(window, "networkStatusLabel");
        const auto buttonShown = [&] { return button->isVisible() && button->parentWidget() == window->statusBar(); };

        // Out of reach: passes run and send nothing; the button lists what waits and runs a pass.
        QTRY_VERIFY_WITH_TIMEOUT(log.countStartingWith(QStringLiteral("uploadPendings")) >= 2, 20000);
        QVERIFY(buttonShown());
        QCOMPARE(button->toolTip(), waiting);
        const int passes = log.countStartingWith(QStringLiteral("uploadPendings"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(log.countStartingWith(QStringLiteral("uploadPendings")), passes + 1);
        QCOMPARE(log.countStartingWith(QStringLiteral("autoupload")), 0);
        QCOMPARE(connection->toolTip(), QStringLiteral("Disconnesso"));

        // Back in reach, with the exam's first sending refused.
        QVERIFY(service.restart());
        QVERIFY(service.injectFault(QStringLiteral("status500"), QStringLiteral("uploadExamZip"), 1));
        QTRY_VERIFY_WITH_TIMEOUT(!DataModule::m_instance->havePendingStuff(), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(!buttonShown(), 20000);
        QCOMPARE(connection->toolTip(), QStringLiteral("Connesso"));
        QStringList uploads = receivedActions(service, account);
        uploads.removeAll(QStringLiteral("getAnamnesiModels"));
        QCOMPARE(uploads, (QStringList{QStringLiteral("setUserData"), QStringLiteral("uploadAnamnesi"),
                                       QStringLiteral("uploadExamZip"), QStringLiteral("uploadExamZip")}));
        // Each sent only after the previous one's outcome; the refused exam is sent again.
        QStringList steps = log.lines().filter(QRegularExpression(QStringLiteral("^(autoupload|upload |background)")));
        QCOMPARE(steps, (QStringList{QStringLiteral("autoupload client Mario Rossi"),
                                     QStringLiteral("upload client done %1").arg(idA),
                                     QStringLiteral("autoupload anamnesi Generale 2024-01-05 10:00:00"),
                                     QStringLiteral("upload anamnesi done %1").arg(anamnesi.id),
                                     QStringLiteral("autoupload exam %1 2024-01-05").arg(webB),
                                     QStringLiteral("upload exam fail"),
                                     QStringLiteral("autoupload exam %1 2024-01-05").arg(webB),
                                     QStringLiteral("upload exam done %1 2024-01-05").arg(webB)}));
        QVERIFY(storeValue(QStringLiteral("select web_id from clients where id = %1").arg(idA)).toInt() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(announced.size(), 3, 20000);
        QCOMPARE(announced, (QStringList{QStringLiteral("Anagrafica dell'utente Mario Rossi inviata al server."),
                                         QStringLiteral("Anamnesi 'Generale' dell'utente Anna Bianchi inviata al server."),
                                         QStringLiteral("Esame del 05/01/2024 dell'utente Anna Bianchi inviato al server.")}));

        // Announcements switched off in the settings take effect when the dialog closes.
        whenModal([](QWidget *dlg) {
            auto *notify = child<QCheckBox>(dlg, "chkShowUploadNotifyMessage");
            QTest::mouseClick(notify, Qt::LeftButton, {}, QPoint(8, notify->height() / 2));
            dlg->close();
        });
        window->openSettings();
        QCOMPARE(AppSettings::showUploadNotifyMessage(), false);

        // The questionnaire is deleted and its deletion never answered: a client added
        // meanwhile still goes out, and the deletion is sent again.
        QVERIFY(service.injectFault(QStringLiteral("hang"), QStringLiteral("deleteAnamnesi"), 1));
        QVERIFY(DataModule::m_instance->deleteAnamnesi(anamnesi.id, false));
        QTRY_VERIFY_WITH_TIMEOUT(log.countStartingWith(QStringLiteral("upload delete anamnesi cmd")) == 1, 20000);
        const int later = addLocalClient(QStringLiteral("Moretti"), QStringLiteral("Ugo"));
        QTRY_VERIFY_WITH_TIMEOUT(!DataModule::m_instance->havePendingStuff(), 60000);
        steps = log.lines().filter(QRegularExpression(QStringLiteral("^(autoupload|upload |background)"))).mid(steps.size());
        QCOMPARE(steps, (QStringList{QStringLiteral("upload delete anamnesi cmd Generale 2024-01-05 10:00:00"),
                                     QStringLiteral("background upload without outcome, going on"),
                                     QStringLiteral("autoupload client Ugo Moretti"),
                                     QStringLiteral("upload client done %1").arg(later),
                                     QStringLiteral("upload delete anamnesi cmd Generale 2024-01-05 10:00:00")}));
        QCOMPARE(storeValue(QStringLiteral("select count(*) from anamnesis")).toInt(), 0);
        QCOMPARE(announced.size(), 3);

        // And the picture follows the service going away again.
        service.stop();
        QTRY_COMPARE_WITH_TIMEOUT(connection->toolTip(), QStringLiteral("Disconnesso"), 20000);
    }
};

CALVESTRA_TEST_MAIN(PendingUploadTest)
#include "tst_pendingupload.moc"
