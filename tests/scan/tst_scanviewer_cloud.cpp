// The archives of the reference service on 127.0.0.1: the viewer in cloud mode, the
// comparison listing the cloud dates, the exam archive page with its slide show; slow
// and failing downloads, and late replies for dates no longer shown.
#include "TestMain.h"
#include "ServiceSession.h"
#include "ViewerTestSupport.h"

#include "scan/ArchiveTabWidget.h"
#include "scan/CompareScansDlg.h"
#include "scan/DayScanItemDelegate.h"
#include "scan/SlideShowDlg.h"
#include "scan/SlideShowWidget.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace ViewerTest;

class TestScanViewerCloud : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (ReferenceService::executable().isEmpty())
            QSKIP("the reference service is not built");
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    }

    void init()
    {
        if (!m_service.isRunning())
            QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(m_service.resetHooks());
    }

    void cloudDayShownFromTheService()
    {
        ServiceSession session(m_service, 7101);
        const Client client = uploadClient(session.http(), QStringLiteral("Ferri"));
        const QDate d1(2024, 1, 5), d2(2024, 2, 9);
        QVERIFY(client.web_id > 0 && uploadExam(session.http(), client, d1, dayOf(d1, 30)));
        QVERIFY(uploadExam(session.http(), client, d2, dayOf(d2, 40)));
        QVERIFY(QDir(client.getDataPath(true)).entryList(QDir::Files).isEmpty());
        QVERIFY(m_service.resetHooks());
        ScanViewerWidget viewer;
        openCloud(viewer, session, client, d2);
        QVERIFY(child<QRadioButton>(viewer, "rbRemote")->isChecked());
        QCOMPARE(child<QComboBox>(viewer, "cbDates")->count(), 2);
        QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentText(), QStringLiteral("09/02/2024"));
        const QList<ScanRecipe> day = dayOf(d2, 40);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]) && allPictures(*viewer.model), 15000);
        for (int row = 0; row < 3; ++row)
            QVERIFY(near(viewer.model->scanAt(row)->image->pixel(250, 200), day[row].colour));
        // One picture request per scan, the scan data of the shown one only, by picture name.
        QStringList pictures = requestedFiles(m_service, QStringLiteral("jpg"));
        pictures.sort();
        QCOMPARE(pictures, QStringList({day[0].jpgName(), day[1].jpgName(), day[2].jpgName()}));
        QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{day[0].jpgName()});
        // A click downloads that scan's data.
        QListView *strip = child<QListView>(viewer, "lvScans");
        QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->visualRect(viewer.model->index(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 15000);
        QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[1].baseName());
        QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList({day[0].jpgName(), day[1].jpgName()}));
    }

    void pickedBeforeThePicturesArrive()
    {
        ServiceSession session(m_service, 7108);
        const Client client = uploadClient(session.http(), QStringLiteral("Moretti"));
        const QDate d(2024, 6, 1);
        const QList<ScanRecipe> day = dayOf(d, 30);
        QVERIFY(uploadExam(session.http(), client, d, day));
        ScanViewerWidget viewer;
        LoadRecorder recorder(viewer);
        QVERIFY(m_service.resetHooks() && m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
        openCloud(viewer, session, client, d);
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        // The third thumbnail is picked while it still shows "loading...".
        QListView *strip = child<QListView>(viewer, "lvScans");
        QVERIFY(!viewer.model->scanAt(2)->image);
        QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->visualRect(viewer.model->index(2)).center());
        QVERIFY(viewer.currentScan == viewer.model->scanAt(2) && viewer.scanWidget->scanArea->loading);
        // Every picture comes, the first one's too, and the pick stays.
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]) && allPictures(*viewer.model), 15000);
        QCOMPARE(recorder.loads, QList<int>{day[2].lines});
        QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{day[2].jpgName()});
    }

    void failedDownloads()
    {
        ServiceSession session(m_service, 7103);
        const Client client = uploadClient(session.http(), QStringLiteral("Longo"));
        const QDate d(2024, 1, 5);
        const QList<ScanRecipe> day = dayOf(d, 30);
        QVERIFY(uploadExam(session.http(), client, d, day));
        ScanViewerWidget viewer;
        openCloud(viewer, session, client, d);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]) && allPictures(*viewer.model), 15000);
        // The scan data fails at the service: nothing shown, and picked again it comes.
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUserFile"), 1));
        LogCatcher log("calvestra.scan");
        QSignalSpy loaded(viewer.model->scanAt(1), &DayScan::d2dLoaded);
        viewer.selectImage(1);
        QVERIFY(loaded.wait(15000) && loaded.at(0).at(1).toString().isEmpty());
        QCOMPARE(log.countStartingWith(QStringLiteral("Network request failed: ")), 1);
        QVERIFY(!viewer.scanWidget->scanArea->image && viewer.scanWidget->commThread->lineCount == 0);
        QVERIFY(!viewer.scanWidget->scanArea->loading);
        viewer.selectImage(1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 15000);
        // Pictures: a failing service, a reply that is no picture, a file the service lacks.
        const QList<std::tuple<QString, QString, QString>> cases{
            {QStringLiteral("status500"), day[0].jpgName(), QStringLiteral("error reply: ")},
            {QStringLiteral("nonjson"), day[1].jpgName(), QString::number(client.web_id) + QLatin1Char(' ') + day[1].jpgName() + QStringLiteral(" - image load FAILS")},
            {QString(), QStringLiteral("Vita-20200101--10-00-00.jpg"), QStringLiteral("error reply: ")}};
        for (const auto &[fault, name, line] : cases) {
            QVERIFY(m_service.resetHooks() && (fault.isEmpty() || m_service.injectFault(fault, QStringLiteral("getUserFile"), 0)));
            log.clear();
            DayScan scan(client.web_id, name, true);
            QSignalSpy pictures(&scan, &DayScan::imageLoaded);
            scan.loadImage();
            QTRY_VERIFY2_WITH_TIMEOUT(log.countStartingWith(line) == 1, qPrintable(name), 15000);
            QVERIFY(!scan.image && pictures.isEmpty());
        }
    }

    void quickDateSwitchesNeverShowAnotherDate()
    {
        ServiceSession session(m_service, 7105);
        const Client client = uploadClient(session.http(), QStringLiteral("Rinaldi"));
        const QDate d1(2024, 1, 5), d2(2024, 1, 12), d3(2024, 1, 19);
        // Each date's scans have their own numbers of lines: 30.., 50.., 70...
        for (const auto &[date, lines] : QList<QPair<QDate, int>>{{d1, 30}, {d2, 50}, {d3, 70}})
            QVERIFY(uploadExam(session.http(), client, date, dayOf(date, lines)));
        ScanViewerWidget viewer;
        LoadRecorder recorder(viewer);
        QStringList selected;
        connect(child<QListView>(viewer, "lvScans")->selectionModel(), &QItemSelectionModel::currentChanged, &viewer,
                [&](const QModelIndex &current) {
                    if (DayScan *scan = viewer.model->scanAt(current.row()))
                        selected << scan->fileName;
                });
        QVERIFY(m_service.resetHooks() && m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
        openCloud(viewer, session, client, d1);
        // The first date's first scan data is on its way when the operator moves on twice.
        const ScanRecipe first = dayOf(d1, 30)[0];
        QTRY_VERIFY_WITH_TIMEOUT(viewer.currentScan && viewer.scanWidget->scanArea->loading, 15000);
        QPointer<DayScan> late = viewer.currentScan.data();
        QSignalSpy lateData(late.data(), &DayScan::d2dLoaded);
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QTest::keyClick(dates, Qt::Key_Down);
        QTest::keyClick(dates, Qt::Key_Down);
        QCOMPARE(dates->currentText(), QStringLiteral("19/01/2024"));
        const ScanRecipe last = dayOf(d3, 70)[0];
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, last), 20000);
        // The late scan data of the first date comes, and changes nothing.
        QVERIFY(lateData.count() == 1 || lateData.wait(20000));
        QVERIFY(shows(viewer, last));
        QCOMPARE(recorder.loads, QList<int>{last.lines});
        QCOMPARE(selected, QStringList({first.jpgName(), last.jpgName()}));
        QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList({first.jpgName(), last.jpgName()}));
    }

    void comparisonListsTheCloudDates()
    {
        ServiceSession session(m_service, 7201);
        const Client client = uploadClient(session.http(), QStringLiteral("Ferri"));
        const QDate d1(2024, 1, 5), d2(2024, 2, 9), local(2024, 3, 1);
        QVERIFY(uploadExam(session.http(), client, d1, dayOf(d1, 30)) && uploadExam(session.http(), client, d2, dayOf(d2, 40)));
        writeDay(client, local, 60);
        QVERIFY(m_service.resetHooks());
        CompareScansDlg dialog;
        Client record = client;
        // The scan to show first is a cloud one: the left side waits for the dates.
        const ScanRecipe wanted = dayOf(d2, 40)[1];
        dialog.init(&record, d2, wanted.baseName(), svmRemote, svmLocal);
        dialog.show();
        ScanViewerWidget &left = *dialog.leftViewer();
        ScanViewerWidget &right = *dialog.rightViewer();
        QVERIFY(child<QRadioButton>(left, "rbRemote")->isChecked() && child<QComboBox>(left, "cbDates")->count() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.cloudDates, QList<QDate>({d1, d2}), 15000);
        QVERIFY(left.cloudDates == dialog.cloudDates && right.cloudDates == dialog.cloudDates);
        QCOMPARE(child<QComboBox>(left, "cbDates")->currentText(), QStringLiteral("09/02/2024"));
        QTRY_VERIFY_WITH_TIMEOUT(shows(left, wanted), 15000);
        QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{wanted.jpgName()});
        QVERIFY(child<QRadioButton>(right, "rbLocal")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(local, 60)[0]), 15000);
        // The right side to the cloud too: today is no date there, so the first.
        QTest::mouseClick(child<QRadioButton>(right, "rbRemote"), Qt::LeftButton);
        QCOMPARE(child<QComboBox>(right, "cbDates")->currentText(), QStringLiteral("05/01/2024"));
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d1, 30)[0]), 15000);
        QVERIFY(shows(left, wanted));
    }

    void archivePageAndItsSlideShow()
    {
        ServiceSession session(m_service, 7301);
        const Client client = uploadClient(session.http(), QStringLiteral("Ferri"));
        const QDate d1(2024, 1, 5), d2(2024, 2, 9);
        QList<ScanRecipe> second;
        for (const char *zone : {"Addome", "Bicipite", "Coscia dx", "Dorso"})
            second << ScanRecipe{QString::fromLatin1(zone), QDateTime(d2, QTime(11, int(second.size()), 30)),
                                 30 + int(second.size()), QColor::fromHsv(30 + 70 * int(second.size()), 230, 220)};
        QVERIFY(uploadExam(session.http(), client, d1, dayOf(d1)) && uploadExam(session.http(), client, d2, second));
        ArchiveTabWidget tab;
        tab.resize(1000, 600);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QListWidget *works = child<QListWidget>(tab, "lwWorks");
        QListView *pictures = child<QListView>(tab, "lvWorkScans");
        tab.setClient(client);
        tab.refreshWorks();
        // The exams by date, the first current with its pictures.
        QTRY_COMPARE_WITH_TIMEOUT(works->count(), 2, 15000);
        QCOMPARE(works->item(0)->text() + works->item(1)->text(), QStringLiteral("05/01/202409/02/2024"));
        QCOMPARE(works->currentRow(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 3 && allPictures(*tab.model), 15000);
        // A click on the second exam: its four pictures, on screen in their cells.
        QVERIFY(m_service.resetHooks());
        QTest::mouseClick(works->viewport(), Qt::LeftButton, {}, works->visualItemRect(works->item(1)).center());
        QCOMPARE(works->currentRow(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 4 && allPictures(*tab.model), 15000);
        for (int row = 0; row < 4; ++row)
            QVERIFY(tab.model->scanAt(row)->fileName == second[row].jpgName() && near(tab.model->scanAt(row)->image->pixel(250, 200), second[row].colour));
        const QRect third = pictures->visualRect(tab.model->index(2));
        const QRect thumb = tab.delegate->pictureRect(third, QSize(500, 400));
        QVERIFY(near(pictures->viewport()->grab().toImage().pixel(thumb.center()), second[2].colour));
        // The keyboard on the list goes back: the first exam again, its pictures asked once each.
        QTest::keyClick(works, Qt::Key_Up);
        QCOMPARE(works->currentRow(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 3 && allPictures(*tab.model), 15000);
        QCOMPARE(requestedFiles(m_service, QStringLiteral("jpg")).size(), 4 + 3);
        QTest::mouseClick(works->viewport(), Qt::LeftButton, {}, works->visualItemRect(works->item(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 4 && allPictures(*tab.model), 15000);
        // A double click on the third picture starts the slide show there: one picture at
        // a time, in a window its size, stopping at both ends.
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, &tab, [&] {
            auto *show = tab.findChild<SlideShowDlg *>();
            if (!show || !show->isVisible())
                return;
            watch.stop();
            for (const char *button : {"", "btNext", "btNext", "btPrev", "btPrev", "btPrev", "btPrev"}) {
                if (*button)
                    QTest::mouseClick(child<QPushButton>(*show, button), Qt::LeftButton);
                const QImage shot = show->slideShowWidget->grab().toImage();
                seen << show->windowTitle().left(4) + (near(shot.pixel(250, 200), second[show->slideShowWidget->index].colour) ? "" : " ?")
                            + (shot.size() == QSize(500, 400) ? "" : " size");
            }
            show->reject();
        });
        watch.start(20);
        QTest::mouseClick(pictures->viewport(), Qt::LeftButton, {}, third.center());
        QTest::mouseDClick(pictures->viewport(), Qt::LeftButton, {}, third.center());
        QCOMPARE(seen, QStringList({"Cosc", "Dors", "Dors", "Cosc", "Bici", "Addo", "Addo"}));
        QVERIFY(!tab.findChild<SlideShowDlg *>());
        // Beside the pictures a double click opens nothing.
        seen.clear();
        watch.start(20);
        QTest::mouseDClick(pictures->viewport(), Qt::LeftButton, {}, pictures->viewport()->rect().bottomRight() - QPoint(3, 3));
        watch.stop();
        QVERIFY(seen.isEmpty());
    }

    void archivePageTakesOnlyItsOwnAnswers()
    {
        ServiceSession session(m_service, 7303);
        const Client client = uploadClient(session.http(), QStringLiteral("Longo"));
        const Client bare = uploadClient(session.http(), QStringLiteral("Vuoto"));
        const Client other = uploadClient(session.http(), QStringLiteral("Altro"));
        const QDate d(2024, 1, 5);
        QVERIFY(uploadExam(session.http(), client, d, dayOf(d)) && uploadExam(session.http(), other, d.addDays(1), dayOf(d.addDays(1))));
        ArchiveTabWidget tab;
        tab.show();
        QListWidget *works = child<QListWidget>(tab, "lwWorks");
        tab.setClient(client);
        tab.refreshWorks();
        QTRY_VERIFY_WITH_TIMEOUT(works->count() == 1 && allPictures(*tab.model), 15000);
        const QList<DayScan *> shown = tab.model->scans();
        // Another window asks for another client's works on the shared service client.
        QSignalSpy replies(session.http(), &HttpService::onGetUserWorks);
        session.http()->getUserWorks(other.web_id);
        QVERIFY(replies.wait(15000));
        QVERIFY(works->count() == 1 && works->item(0)->text() == QStringLiteral("05/01/2024") && tab.model->scans() == shown);
        // A client without web id asks nothing; one without exams empties the list only.
        QVERIFY(m_service.resetHooks());
        tab.setClient(addClient(QStringLiteral("Locale")));
        tab.refreshWorks();
        tab.setClient(bare);
        tab.refreshWorks();
        QVERIFY(replies.wait(15000));
        QVERIFY(replies.last().at(0).value<QList<Exam>>().isEmpty() && works->count() == 0 && tab.remoteWorks.isEmpty());
        QCOMPARE(tab.model->scans(), shown);
        QCOMPARE(m_service.receivedRequests().size(), 1);
    }

private:
    // A viewer on the client's cloud archive, listed from the service.
    static void openCloud(ScanViewerWidget &viewer, ServiceSession &session, const Client &client, const QDate &date)
    {
        QSignalSpy works(session.http(), &HttpService::onGetUserWorks);
        session.http()->getUserWorks(client.web_id);
        QVERIFY(works.wait(15000));
        viewer.resize(640, 640);
        viewer.show();
        viewer.setClient(client);
        viewer.model->remoteExams = works.at(0).at(0).value<QList<Exam>>();
        viewer.cloudDates.clear();
        for (const Exam &exam : std::as_const(viewer.model->remoteExams))
            viewer.cloudDates << exam.examDate;
        viewer.setMode(svmRemote, date);
    }

    static bool allPictures(const DayScansModel &model)
    {
        for (DayScan *scan : model.scans()) {
            if (!scan->image)
                return false;
        }
        return model.rowCount() > 0;
    }

    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(TestScanViewerCloud)
#include "tst_scanviewer_cloud.moc"
