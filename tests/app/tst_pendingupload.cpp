#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Exam.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

// The main window's background upload against the reference service, as an operator's
// day leaves the queue: nothing goes while the service is out of reach; then every item in
// order, one at a time, each announced; an item that never reports back frees the queue.
class PendingUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void queueGoesOutInOrder()
    {
        ReferenceService service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const int webB = addServiceClient(service, 700, u"Bianchi"_s, u"Anna"_s);
        service.stop();
        WindowSetup setup(service.endpointUrl().toString(), 700);
        const int idA = addLocalClient(u"Rossi"_s, u"Mario"_s);
        Client bianchi;
        bianchi.loadFromDB(addLocalClient(u"Bianchi"_s, u"Anna"_s, webB, false));
        // A day's scan and its exam, and a questionnaire of that day.
        for (const QString &suffix : {u".jpg"_s, u".d2d"_s}) {
            QFile file(bianchi.getDataPath(true) + u"Vita-20240105--09-30-15"_s + suffix);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("scan bytes") > 0);
        }
        Exam exam;
        exam.examDate = QDate(2024, 1, 5);
        QVERIFY(DataModule::m_instance->insertPendingExam(bianchi.id, &exam));
        Anamnesi anamnesi;
        anamnesi.idClient = bianchi.id;
        anamnesi.name = u"Generale"_s;
        anamnesi.date = QDateTime(exam.examDate, QTime(10, 0));
        anamnesi.SaveToDB(false, false);
        const QString waiting = u"Alcuni dati sono in attesa di essere caricati in cloud"_s + DataModule::m_instance->getPendingDescription();

        LogCatcher log("calvestra.app");
        const auto steps = [&log] { return log.lines().filter(QRegularExpression(u"^(autoupload|upload |background)"_s)); };
        QStringList announced;
        QTimer watcher;  // a notification stays three seconds
        connect(&watcher, &QTimer::timeout, this, [&announced] {
            for (QWidget *box : QApplication::topLevelWidgets()) {
                if (box->objectName() == u"notificationBox" && !announced.contains(box->findChild<QLabel *>()->text()))
                    announced << box->findChild<QLabel *>()->text();
            }
        });
        watcher.start(20);
        MainWindow *window = setup.open();
        window->show();
        window->setUploadGuardTimes(5000, 5000);
        auto *button = child<QPushButton>(window, "cloudUploadButton");
        auto *connection = child<QLabel>(window, "networkStatusLabel");
        const auto buttonShown = [&] { return button->isVisible() && button->parentWidget() == window->statusBar(); };

        // Out of reach: passes run and send nothing; the button lists what waits, and runs a pass.
        QTRY_VERIFY_WITH_TIMEOUT(log.countStartingWith(u"uploadPendings"_s) >= 2, 20000);
        QVERIFY(buttonShown() && waiting.contains(u"Mario Rossi"_s));
        QCOMPARE(button->toolTip(), waiting);
        const int passes = log.countStartingWith(u"uploadPendings"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(log.countStartingWith(u"uploadPendings"_s), passes + 1);
        QCOMPARE(steps(), QStringList());
        QCOMPARE(connection->toolTip(), u"Disconnesso"_s);

        // Back in reach, with the exam's first sending refused: it is sent again.
        QVERIFY(service.restart());
        QVERIFY(service.injectFault(u"status500"_s, u"uploadExamZip"_s, 1));
        QTRY_VERIFY_WITH_TIMEOUT(!DataModule::m_instance->havePendingStuff(), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(!buttonShown(), 20000);
        QCOMPARE(connection->toolTip(), u"Connesso"_s);
        QStringList sent = receivedActions(service, 700);
        sent.removeAll(u"getAnamnesiModels"_s);
        QCOMPARE(sent, (QStringList{u"setUserData"_s, u"uploadAnamnesi"_s, u"uploadExamZip"_s, u"uploadExamZip"_s}));
        const QString examSent = u"autoupload exam %1 2024-01-05"_s.arg(webB);
        QCOMPARE(steps(), (QStringList{u"autoupload client Mario Rossi"_s, u"upload client done %1"_s.arg(idA),
                                       u"autoupload anamnesi Generale 2024-01-05 10:00:00"_s, u"upload anamnesi done %1"_s.arg(anamnesi.id),
                                       examSent, u"upload exam fail"_s, examSent, u"upload exam done %1 2024-01-05"_s.arg(webB)}));
        QVERIFY(storeValue(u"select web_id from clients where id = %1"_s.arg(idA)).toInt() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(announced.size(), 3, 20000);
        QCOMPARE(announced, (QStringList{u"Anagrafica dell'utente Mario Rossi inviata al server."_s,
                                         u"Anamnesi 'Generale' dell'utente Anna Bianchi inviata al server."_s,
                                         u"Esame del 05/01/2024 dell'utente Anna Bianchi inviato al server."_s}));

        // Announcements switched off in the settings, which take effect when the dialog closes.
        whenModal([](QWidget *dlg) {
            auto *notify = child<QCheckBox>(dlg, "chkShowUploadNotifyMessage");
            QTest::mouseClick(notify, Qt::LeftButton, {}, QPoint(8, notify->height() / 2));
            dlg->close();
        });
        window->openSettings();
        QCOMPARE(AppSettings::showUploadNotifyMessage(), false);

        // The questionnaire is deleted, and its deletion never answered: a client added
        // meanwhile still goes out, and the deletion is sent again.
        QVERIFY(service.injectFault(u"hang"_s, u"deleteAnamnesi"_s, 1));
        QVERIFY(DataModule::m_instance->deleteAnamnesi(anamnesi.id, false));
        const QString deletion = u"upload delete anamnesi cmd Generale 2024-01-05 10:00:00"_s;
        QTRY_VERIFY_WITH_TIMEOUT(steps().contains(deletion), 20000);
        const int later = addLocalClient(u"Moretti"_s, u"Ugo"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!DataModule::m_instance->havePendingStuff(), 60000);
        QCOMPARE(steps().mid(8), (QStringList{deletion, u"background upload without outcome, going on"_s, u"autoupload client Ugo Moretti"_s,
                                              u"upload client done %1"_s.arg(later), deletion}));
        QCOMPARE(storeValue(u"select count(*) from anamnesis"_s).toInt(), 0);
        QCOMPARE(announced.size(), 3);

        // And the picture follows the service going away again.
        service.stop();
        QTRY_COMPARE_WITH_TIMEOUT(connection->toolTip(), u"Disconnesso"_s, 20000);
    }
};

CALVESTRA_TEST_MAIN(PendingUploadTest)
#include "tst_pendingupload.moc"
