// The scan archive viewer over the cloud archive: exams uploaded to the reference
// service on 127.0.0.1, their pictures and scan data downloaded again, slow and failing
// downloads, late replies for dates no longer shown and for scans already destroyed.
#include "TestMain.h"
#include "ViewerTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QRadioButton>

using namespace ViewerTest;

class TestScanViewerCloud : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cloudDayShownFromTheService();
    void defaultShownFirstWhenItsPictureArrivesLast();
    void pickedBeforeThePicturesArrive();
    void failedScanDataDownload();
    void failedPictureDownloads();
    void quickDateSwitchesNeverShowAnotherDate();
    void destroyedScanNeverTouchesItsLateReply();
    void viewerDestroyedWithDownloadsInFlight();

private:
    static QList<ScanRecipe> dayOf(const QDate &date, int firstLines);
    // A viewer on the client's cloud archive, listed from the service.
    static void openCloud(ScanViewerWidget &viewer, CloudStore &cloud, const Client &client, const QDate &date);

    ReferenceService m_service;
};

QList<ScanRecipe> TestScanViewerCloud::dayOf(const QDate &date, int firstLines)
{
    return {
        {QStringLiteral("Addome"), QDateTime(date, QTime(9, 10, 0)), firstLines, QColor(220, 30, 30), false},
        {QStringLiteral("Coscia dx"), QDateTime(date, QTime(9, 30, 15)), firstLines + 1, QColor(30, 200, 40), true},
        {QStringLiteral("Vita"), QDateTime(date, QTime(9, 45, 5)), firstLines + 2, QColor(40, 60, 220), false},
    };
}

void TestScanViewerCloud::openCloud(ScanViewerWidget &viewer, CloudStore &cloud, const Client &client,
                                    const QDate &date)
{
    QSignalSpy works(cloud.http(), &HttpService::onGetUserWorks);
    cloud.http()->getUserWorks(client.web_id);
    QVERIFY(works.wait(10000));
    const QList<Exam> exams = works.at(0).at(0).value<QList<Exam>>();
    viewer.setClient(client);
    viewer.cloudDates.clear();
    for (const Exam &exam : exams)
        viewer.cloudDates << exam.examDate;
    viewer.model->remoteExams = exams;
    viewer.setMode(svmRemote, date);
}

void TestScanViewerCloud::initTestCase()
{
    if (ReferenceService::executable().isEmpty())
        QSKIP("the reference service is not built");
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestScanViewerCloud::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

void TestScanViewerCloud::cloudDayShownFromTheService()
{
    CloudStore cloud(m_service, 7101);
    const Client client = cloud.uploadClient(QStringLiteral("Ferri"));
    QVERIFY(client.web_id > 0);
    const QDate d1(2024, 1, 5), d2(2024, 2, 9);
    QVERIFY(cloud.uploadExam(client, d1, dayOf(d1, 30)));
    QVERIFY(cloud.uploadExam(client, d2, dayOf(d2, 40)));
    QVERIFY(QDir(client.getDataPath(true)).entryList(QDir::Files).isEmpty());

    ScanViewerWidget viewer;
    viewer.resize(640, 640);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QVERIFY(m_service.resetHooks());
    openCloud(viewer, cloud, client, d2);

    QVERIFY(child<QRadioButton>(viewer, "rbRemote")->isChecked());
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->count(), 2);
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentText(), QStringLiteral("09/02/2024"));
    const QList<ScanRecipe> day = dayOf(d2, 40);
    QCOMPARE(viewer.model->rowCount(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
    // The pictures came over the wire: each thumbnail has its own colour.
    QTRY_VERIFY_WITH_TIMEOUT(viewer.model->scanAt(2)->image != nullptr, 10000);
    for (int row = 0; row < 3; ++row) {
        const QImage *picture = viewer.model->scanAt(row)->image.get();
        QVERIFY(picture);
        QVERIFY(near(picture->pixel(250, 200), day[row].colour));
    }
    // One picture request per scan, and the scan data of the first only, by picture name.
    QStringList pictures = requestedFiles(m_service, QStringLiteral("jpg"));
    pictures.sort();
    QCOMPARE(pictures, (QStringList{day[0].jpgName(), day[1].jpgName(), day[2].jpgName()}));
    QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{day[0].jpgName()});

    // A click downloads that scan's data; there are no marks from the cloud.
    QListView *strip = child<QListView>(viewer, "lvScans");
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->visualRect(viewer.model->index(1)).center());
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 10000);
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[1].baseName());
    QCOMPARE(viewer.scanWidget->scanArea->image->width(), day[1].lines);
    // The downloaded file is gone once shown.
    QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), (QStringList{day[0].jpgName(), day[1].jpgName()}));
}

void TestScanViewerCloud::defaultShownFirstWhenItsPictureArrivesLast()
{
    CloudStore cloud(m_service, 7102);
    const Client client = cloud.uploadClient(QStringLiteral("Galli"));
    const QDate d(2024, 4, 2);
    // Seven scans: the service lists them by name, the default last. The client runs
    // six downloads from one host at a time, and each is held back by the service, so
    // the seventh picture can only arrive after the others.
    const QStringList zones{QStringLiteral("Addome"), QStringLiteral("Bicipite"), QStringLiteral("Coscia dx"),
                            QStringLiteral("Dorso"), QStringLiteral("Fianco"), QStringLiteral("Gluteo"),
                            QStringLiteral("Vita")};
    QList<ScanRecipe> day;
    for (int k = 0; k < zones.size(); ++k)
        day << ScanRecipe{zones[k], QDateTime(d, QTime(10, k, 0)), 20 + k, QColor::fromHsv(k * 50, 220, 220)};
    QVERIFY(cloud.uploadExam(client, d, day));
    const ScanRecipe wanted = day.last();

    ScanViewerWidget viewer;
    viewer.show();
    QList<int> picked;
    connect(child<QListView>(viewer, "lvScans")->selectionModel(), &QItemSelectionModel::currentChanged, &viewer,
            [&](const QModelIndex &current) { picked << current.row(); });
    QStringList arrived;
    connect(viewer.model, &DayScansModel::dayItemLoaded, &viewer, [&](DayScan *scan) { arrived << scan->fileName; });
    LoadRecorder recorder(viewer);

    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:400"), QStringLiteral("getUserFile"), 0));
    viewer.defaultName = wanted.baseName();
    openCloud(viewer, cloud, client, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, wanted), 15000);

    // Its picture came after the first row's, yet nothing else was picked or loaded.
    QVERIFY2(arrived.indexOf(wanted.jpgName()) > arrived.indexOf(day[0].jpgName()), qPrintable(arrived.join(", ")));
    QCOMPARE(arrived.last(), wanted.jpgName());
    QCOMPARE(picked, QList<int>{6});
    QCOMPARE(recorder.loads, QList<int>{wanted.lines});
    QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{wanted.jpgName()});

    // Without a default, the first row as soon as its own picture is there.
    QVERIFY(m_service.resetHooks());
    picked.clear();
    recorder.loads.clear();
    viewer.setMode(svmRemote, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 15000);
    QCOMPARE(picked, QList<int>{0});
    QCOMPARE(recorder.loads, QList<int>{day[0].lines});
}

void TestScanViewerCloud::pickedBeforeThePicturesArrive()
{
    CloudStore cloud(m_service, 7108);
    const Client client = cloud.uploadClient(QStringLiteral("Moretti"));
    const QDate d(2024, 6, 1);
    const QList<ScanRecipe> day = dayOf(d, 30);
    QVERIFY(cloud.uploadExam(client, d, day));

    ScanViewerWidget viewer;
    viewer.resize(640, 640);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    LoadRecorder recorder(viewer);
    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
    openCloud(viewer, cloud, client, d);

    // The operator picks the third thumbnail while it still shows "loading...".
    QListView *strip = child<QListView>(viewer, "lvScans");
    QVERIFY(!viewer.model->scanAt(2)->image);
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->visualRect(viewer.model->index(2)).center());
    QCOMPARE(viewer.currentScan.data(), viewer.model->scanAt(2));
    QVERIFY(viewer.scanWidget->scanArea->loading);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]), 10000);
    // The first picture arriving later does not take the pick away.
    QTRY_VERIFY_WITH_TIMEOUT(viewer.model->scanAt(0)->image != nullptr, 10000);
    QTest::qWait(800);
    QVERIFY(shows(viewer, day[2]));
    QCOMPARE(recorder.loads, QList<int>{day[2].lines});
    QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{day[2].jpgName()});
}

void TestScanViewerCloud::failedScanDataDownload()
{
    CloudStore cloud(m_service, 7103);
    const Client client = cloud.uploadClient(QStringLiteral("Longo"));
    const QDate d(2024, 1, 5);
    const QList<ScanRecipe> day = dayOf(d, 30);
    QVERIFY(cloud.uploadExam(client, d, day));

    ScanViewerWidget viewer;
    viewer.show();
    openCloud(viewer, cloud, client, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.model->scanAt(1)->image != nullptr, 10000);

    // The next download fails at the service.
    QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUserFile"), 1));
    ScanLog log;
    QSignalSpy loaded(viewer.model->scanAt(1), &DayScan::d2dLoaded);
    viewer.selectImage(1);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(0).at(1).toString(), QString());
    QCOMPARE(log.countStartingWith(QStringLiteral("Network request failed: ")), 1);
    QVERIFY(log.has(QStringLiteral("error d2dLoad : ")));
    QCOMPARE(viewer.scanWidget->scanArea->image, nullptr);
    QCOMPARE(shownLines(viewer), 0);
    QVERIFY(!viewer.scanWidget->scanArea->loading);
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[1].baseName());

    // The service is fine again: picking it again shows it.
    viewer.selectImage(1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 10000);
}

void TestScanViewerCloud::failedPictureDownloads()
{
    CloudStore cloud(m_service, 7104);
    const Client client = cloud.uploadClient(QStringLiteral("Mancini"));
    const QDate d(2024, 1, 5);
    const QList<ScanRecipe> day = dayOf(d, 30);
    QVERIFY(cloud.uploadExam(client, d, day));

    // A transport failure, and a reply that is no picture.
    {
        ScanLog log;
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUserFile"), 0));
        DayScan scan(client, day[0].jpgName(), true);
        QSignalSpy loaded(&scan, &DayScan::imageLoaded);
        scan.loadImage();
        QTRY_VERIFY_WITH_TIMEOUT(log.countStartingWith(QStringLiteral("error reply: ")) == 1, 10000);
        QVERIFY(!scan.image);
        QCOMPARE(loaded.count(), 0);
    }
    QVERIFY(m_service.resetHooks());
    {
        ScanLog log;
        QVERIFY(m_service.injectFault(QStringLiteral("nonjson"), QStringLiteral("getUserFile"), 0));
        DayScan scan(client.web_id, day[1].jpgName(), true);
        QCOMPARE(scan.client.id, client.id);
        QSignalSpy loaded(&scan, &DayScan::imageLoaded);
        scan.loadImage();
        const QString failure = QString::number(client.web_id) + QLatin1Char(' ') + day[1].jpgName() + QStringLiteral(" - image load FAILS");
        QTRY_VERIFY_WITH_TIMEOUT(log.has(failure), 10000);
        QVERIFY(!scan.image);
        QCOMPARE(loaded.count(), 0);
    }
    QVERIFY(m_service.resetHooks());
    // A file the service does not have.
    {
        ScanLog log;
        DayScan scan(client, QStringLiteral("Vita-20200101--10-00-00.jpg"), true);
        scan.loadImage();
        QTRY_VERIFY_WITH_TIMEOUT(log.countStartingWith(QStringLiteral("error reply: ")) == 1, 10000);
        QVERIFY(!scan.image);
    }
}

void TestScanViewerCloud::quickDateSwitchesNeverShowAnotherDate()
{
    CloudStore cloud(m_service, 7105);
    const Client client = cloud.uploadClient(QStringLiteral("Rinaldi"));
    const QDate d1(2024, 1, 5), d2(2024, 1, 12), d3(2024, 1, 19);
    // Each scan has its own number of lines: 30.., 50.., 70...
    QVERIFY(cloud.uploadExam(client, d1, dayOf(d1, 30)));
    QVERIFY(cloud.uploadExam(client, d2, dayOf(d2, 50)));
    QVERIFY(cloud.uploadExam(client, d3, dayOf(d3, 70)));
    const QList<int> thirdDay{70, 71, 72};

    ScanViewerWidget viewer;
    viewer.show();
    LoadRecorder recorder(viewer);
    QStringList selectedNames;
    connect(child<QListView>(viewer, "lvScans")->selectionModel(), &QItemSelectionModel::currentChanged, &viewer,
            [&](const QModelIndex &current) {
                if (DayScan *scan = viewer.model->scanAt(current.row()))
                    selectedNames << scan->fileName;
            });

    // Every download is slow.
    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
    openCloud(viewer, cloud, client, d1);

    // The first day's first picture arrives and its scan data is asked for ...
    const ScanRecipe firstOfDay1 = dayOf(d1, 30)[0];
    QTRY_VERIFY_WITH_TIMEOUT(viewer.currentScan && viewer.currentScan->fileName == firstOfDay1.jpgName()
                                 && viewer.scanWidget->scanArea->loading,
                             10000);
    // ... and while it is on its way the operator goes on to the next two dates.
    QComboBox *dates = child<QComboBox>(viewer, "cbDates");
    dates->setFocus();
    QTest::keyClick(dates, Qt::Key_Down);
    QTest::qWait(150);
    QTest::keyClick(dates, Qt::Key_Down);
    QCOMPARE(dates->currentText(), QStringLiteral("19/01/2024"));

    // Watch until every late reply has come and gone.
    const QList<ScanRecipe> last = dayOf(d3, 70);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, last[0]), 15000);
    QTest::qWait(1500);
    QVERIFY(shows(viewer, last[0]));
    for (int lines : recorder.loads)
        QVERIFY2(thirdDay.contains(lines), qPrintable(QStringLiteral("loaded a scan of %1 lines").arg(lines)));
    QCOMPARE(selectedNames, (QStringList{firstOfDay1.jpgName(), last[0].jpgName()}));
    // Nothing of the second date was ever picked.
    const QStringList scanData = requestedFiles(m_service, QStringLiteral("d2d"));
    QCOMPARE(scanData, (QStringList{firstOfDay1.jpgName(), last[0].jpgName()}));
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), last[0].baseName());
}

void TestScanViewerCloud::destroyedScanNeverTouchesItsLateReply()
{
    CloudStore cloud(m_service, 7106);
    const Client client = cloud.uploadClient(QStringLiteral("Caruso"));
    const QDate d(2024, 1, 5);
    const QList<ScanRecipe> day = dayOf(d, 30);
    QVERIFY(cloud.uploadExam(client, d, day));

    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:1000"), QStringLiteral("getUserFile"), 0));
    ScanLog log;
    int late = 0;
    QObject watcher;
    auto *picture = new DayScan(client, day[0].jpgName(), true);
    auto *data = new DayScan(client, day[1].jpgName(), true);
    connect(picture, &DayScan::imageLoaded, &watcher, [&] { ++late; });
    connect(data, &DayScan::d2dLoaded, &watcher, [&] { ++late; });
    picture->loadImage();
    data->getD2DData();
    // Both requests reach the service, which holds them.
    QTest::qWait(300);
    QCOMPARE(fileRequests(m_service).size(), 0);
    delete picture;
    delete data;
    // The service answers them (it records a request as it replies) ...
    QTRY_VERIFY_WITH_TIMEOUT(fileRequests(m_service).size() == 2, 10000);
    // ... and nobody is there to hear it.
    QTest::qWait(500);
    QCOMPARE(late, 0);
    QCOMPARE(log.lines(), QStringList());

    // The same service answers a scan that lives.
    DayScan alive(client, day[0].jpgName(), true);
    QSignalSpy loaded(&alive, &DayScan::imageLoaded);
    alive.loadImage();
    QVERIFY(loaded.wait(10000));
    QVERIFY(alive.image && near(alive.image->pixel(10, 10), day[0].colour));
}

void TestScanViewerCloud::viewerDestroyedWithDownloadsInFlight()
{
    CloudStore cloud(m_service, 7107);
    const Client client = cloud.uploadClient(QStringLiteral("Ferrara"));
    const QDate d(2024, 1, 5);
    QVERIFY(cloud.uploadExam(client, d, dayOf(d, 30)));

    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:700"), QStringLiteral("getUserFile"), 0));
    ScanLog log;
    {
        ScanViewerWidget viewer;
        viewer.show();
        openCloud(viewer, cloud, client, d);
        QCOMPARE(viewer.model->rowCount(), 3);
        QTest::qWait(200);
        // Closed with three pictures on their way.
        for (DayScan *scan : viewer.model->scans())
            QVERIFY(!scan->image);
    }
    QTRY_VERIFY_WITH_TIMEOUT(fileRequests(m_service).size() == 3, 10000);
    QTest::qWait(500);
    QCOMPARE(log.lines(), QStringList());

    // And once more with the scan data on its way.
    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:300"), QStringLiteral("getUserFile"), 0));
    {
        ScanViewerWidget viewer;
        viewer.show();
        openCloud(viewer, cloud, client, d);
        // Closed as soon as the scan data is asked for.
        QTRY_VERIFY_WITH_TIMEOUT(viewer.currentScan && viewer.scanWidget->scanArea->loading, 10000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(requestedFiles(m_service, QStringLiteral("d2d")).size() == 1, 10000);
    QTest::qWait(500);
    QCOMPARE(log.countStartingWith(QStringLiteral("error")), 0);
}

CALVESTRA_TEST_MAIN(TestScanViewerCloud)
#include "tst_scanviewer_cloud.moc"
