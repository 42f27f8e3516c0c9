// The scan comparison dialog: two archive viewers on real scan groups, the shared depth,
// black-and-white and contrast controls acting on both scans, and the cloud dates
// listed by the reference service (or not, when it cannot be reached).
#include "TestMain.h"
#include "ViewerTestSupport.h"

#include "scan/CompareScansDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTcpServer>

using namespace ViewerTest;

class TestCompareScans : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstScanOfEachSideWithoutDefault();
    void defaultScanOnTheLeft();
    void sharedDepth();
    void sharedBlackWhiteAndContrast();
    void cloudDatesFromTheService();
    void cloudUnreachableLeavesNoDates();
    void closedWithDownloadsInFlight();

private:
    static QList<ScanRecipe> dayOf(const QDate &date, int firstLines);
    static void writeDays(const Client &client, const QList<QPair<QDate, int>> &days);
    static bool isGrey(const QImage &image);

    ReferenceService m_service;
    bool m_haveService = false;
};

QList<ScanRecipe> TestCompareScans::dayOf(const QDate &date, int firstLines)
{
    return {
        {QStringLiteral("Addome"), QDateTime(date, QTime(9, 10, 0)), firstLines, QColor(220, 30, 30), false},
        {QStringLiteral("Coscia dx"), QDateTime(date, QTime(9, 30, 15)), firstLines + 1, QColor(30, 200, 40), true},
        {QStringLiteral("Vita"), QDateTime(date, QTime(9, 45, 5)), firstLines + 2, QColor(40, 60, 220), false},
    };
}

void TestCompareScans::writeDays(const Client &client, const QList<QPair<QDate, int>> &days)
{
    for (const auto &day : days) {
        for (const ScanRecipe &recipe : dayOf(day.first, day.second))
            writeScan(client.getDataPath(true), recipe);
    }
}

bool TestCompareScans::isGrey(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 3) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c))
                return false;
        }
    }
    return true;
}

void TestCompareScans::initTestCase()
{
    m_haveService = !ReferenceService::executable().isEmpty();
    if (m_haveService)
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestCompareScans::init()
{
    if (m_haveService) {
        if (!m_service.isRunning())
            QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
        QVERIFY(m_service.resetHooks());
    }
}

void TestCompareScans::firstScanOfEachSideWithoutDefault()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Rossi"));
    const QDate d1(2024, 1, 5), d2(2024, 3, 8);
    writeDays(client, {{d1, 30}, {d2, 50}});

    CompareScansDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Confronto Scansioni"));
    Client record = client;
    dialog.init(&record, d2, QString(), svmLocal, svmLocal);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    ScanViewerWidget &left = *dialog.leftViewer();
    ScanViewerWidget &right = *dialog.rightViewer();
    QCOMPARE(left.localDates, (QList<QDate>{d1, d2}));
    QCOMPARE(right.localDates, (QList<QDate>{d1, d2}));
    // The left on the date asked for, the right on today (not a date of the client: the first).
    QCOMPARE(child<QComboBox>(left, "cbDates")->currentText(), QStringLiteral("08/03/2024"));
    QCOMPARE(child<QComboBox>(right, "cbDates")->currentText(), QStringLiteral("05/01/2024"));
    QTRY_VERIFY_WITH_TIMEOUT(shows(left, dayOf(d2, 50)[0]), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d1, 30)[0]), 5000);

    // Each side goes its own way.
    child<QComboBox>(right, "cbDates")->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 50)[0]), 5000);
    QVERIFY(shows(left, dayOf(d2, 50)[0]));
}

void TestCompareScans::defaultScanOnTheLeft()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Bruno"), 321);
    const QDate d1(2024, 1, 5), today = QDate::currentDate();
    writeDays(client, {{d1, 30}, {today, 60}});

    CompareScansDlg dialog;
    Client record = client;
    // The exam dialog's current scan: the second of today.
    const ScanRecipe current = dayOf(today, 60)[1];
    dialog.init(&record, today, current.baseName(), svmLocal, svmLocal);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(shows(*dialog.leftViewer(), current), 5000);
    QCOMPARE(child<QLabel>(*dialog.leftViewer(), "lbScanCaption")->text(), current.baseName());
    // Its marks come with it.
    QCOMPARE(dialog.leftViewer()->scanWidget->scanArea->analysis.linemarks,
             (QList<int>{current.lines / 3, current.lines / 2}));
    // The right side is not bound by it.
    QTRY_VERIFY_WITH_TIMEOUT(shows(*dialog.rightViewer(), dayOf(today, 60)[0]), 5000);
}

void TestCompareScans::sharedDepth()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Greco"));
    const QDate d(2024, 1, 5);
    writeDays(client, {{d, 30}});

    CompareScansDlg dialog;
    Client record = client;
    dialog.init(&record, d, QString(), svmLocal, svmLocal);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSlider *depth = child<QSlider>(dialog, "slDeepness");
    QLabel *value = child<QLabel>(dialog, "txtDeepness");
    QCOMPARE(child<QLabel>(dialog, "label")->text(), QStringLiteral("Profondità"));
    QCOMPARE(depth->minimum(), 20);
    QCOMPARE(depth->maximum(), 100);
    QCOMPARE(depth->singleStep(), 10);
    QCOMPARE(depth->value(), 60);
    QCOMPARE(value->text(), QStringLiteral("60 mm"));
    QTRY_VERIFY_WITH_TIMEOUT(shows(*dialog.leftViewer(), dayOf(d, 30)[0]), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(shows(*dialog.rightViewer(), dayOf(d, 30)[0]), 5000);

    const auto sideDepths = [&] {
        QList<int> depths;
        for (ScanViewerWidget *viewer : {dialog.leftViewer(), dialog.rightViewer()}) {
            depths << viewer->scanWidget->scanArea->deepness
                   << viewer->scanWidget->commThread->deepness.load()
                   << child<QSlider>(*viewer->scanWidget, "slDeepness")->value();
        }
        return depths;
    };

    // Dragged to 45: both sides at 50, the slider and its label too.
    depth->setSliderDown(true);
    depth->setSliderPosition(45);
    depth->setSliderDown(false);
    QCOMPARE(depth->value(), 50);
    QCOMPARE(value->text(), QStringLiteral("50"));
    QCOMPARE(sideDepths(), QList<int>(6, 50));

    // 64 gives 60 and 65 gives 70, halves away from zero.
    depth->setValue(64);
    QCOMPARE(depth->value(), 60);
    QCOMPARE(sideDepths(), QList<int>(6, 60));
    depth->setValue(65);
    QCOMPARE(value->text(), QStringLiteral("70"));
    QCOMPARE(sideDepths(), QList<int>(6, 70));

    // The keyboard steps by ten.
    depth->setFocus();
    QTest::keyClick(depth, Qt::Key_Up);
    QCOMPARE(depth->value(), 80);
    QCOMPARE(value->text(), QStringLiteral("80"));
    QCOMPARE(sideDepths(), QList<int>(6, 80));

    // A scan picked afterwards keeps the shared depth.
    QListView *strip = child<QListView>(*dialog.rightViewer(), "lvScans");
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {},
                      strip->visualRect(dialog.rightViewer()->model->index(2)).center());
    QTRY_VERIFY_WITH_TIMEOUT(shows(*dialog.rightViewer(), dayOf(d, 30)[2]), 5000);
    QCOMPARE(dialog.rightViewer()->scanWidget->scanArea->deepness, 80);
}

void TestCompareScans::sharedBlackWhiteAndContrast()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Conti"));
    const QDate d1(2024, 1, 5), d2(2024, 2, 5);
    writeDays(client, {{d1, 30}, {d2, 40}});

    CompareScansDlg dialog;
    Client record = client;
    dialog.init(&record, d2, QString(), svmLocal, svmLocal);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    ScanViewerWidget &left = *dialog.leftViewer();
    ScanViewerWidget &right = *dialog.rightViewer();
    QTRY_VERIFY_WITH_TIMEOUT(shows(left, dayOf(d2, 40)[0]), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d1, 30)[0]), 5000);

    QPushButton *bw = child<QPushButton>(dialog, "btBN");
    QPushButton *automatic = child<QPushButton>(dialog, "btAutoAdjust");
    QCOMPARE(bw->text(), QStringLiteral("Bianco e Nero"));
    QVERIFY(bw->isCheckable() && !bw->isChecked());
    QCOMPARE(automatic->text(), QStringLiteral("Auto"));
    QCOMPARE(automatic->toolTip(), QStringLiteral("Auto Enfatizza Contrasto"));
    QVERIFY(automatic->isCheckable() && automatic->isChecked());
    QVERIFY(!isGrey(*left.scanWidget->scanArea->image));
    QVERIFY(!isGrey(*right.scanWidget->scanArea->image));

    QTest::mouseClick(bw, Qt::LeftButton);
    QVERIFY(bw->isChecked());
    for (ScanViewerWidget *viewer : {&left, &right}) {
        QVERIFY(viewer->scanWidget->commThread->blackWhite);
        QVERIFY(viewer->scanWidget->scanArea->blackWhite);
        QVERIFY(isGrey(*viewer->scanWidget->scanArea->image));
    }
    // A scan picked now comes in black and white too.
    child<QComboBox>(right, "cbDates")->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 40)[0]), 5000);
    QVERIFY(isGrey(*right.scanWidget->scanArea->image));

    const QImage before = left.scanWidget->scanArea->image->copy();
    QTest::mouseClick(automatic, Qt::LeftButton);
    QVERIFY(!automatic->isChecked());
    for (ScanViewerWidget *viewer : {&left, &right})
        QVERIFY(!viewer->scanWidget->commThread->autoAdjust);
    // The plain contrast gives another picture of the same size.
    QCOMPARE(left.scanWidget->scanArea->image->size(), before.size());
    QVERIFY(*left.scanWidget->scanArea->image != before);

    QTest::mouseClick(bw, Qt::LeftButton);
    QTest::mouseClick(automatic, Qt::LeftButton);
    for (ScanViewerWidget *viewer : {&left, &right}) {
        QVERIFY(!viewer->scanWidget->commThread->blackWhite);
        QVERIFY(viewer->scanWidget->commThread->autoAdjust);
        QVERIFY(!isGrey(*viewer->scanWidget->scanArea->image));
    }
}

void TestCompareScans::cloudDatesFromTheService()
{
    if (!m_haveService)
        QSKIP("the reference service is not built");
    CloudStore cloud(m_service, 7201);
    const Client client = cloud.uploadClient(QStringLiteral("Ferri"));
    const QDate d1(2024, 1, 5), d2(2024, 2, 9), local(2024, 3, 1);
    QVERIFY(cloud.uploadExam(client, d1, dayOf(d1, 30)));
    QVERIFY(cloud.uploadExam(client, d2, dayOf(d2, 40)));
    writeDays(client, {{local, 60}});
    QVERIFY(m_service.resetHooks());

    CompareScansDlg dialog;
    Client record = client;
    // The scan to show first is a cloud one: it waits for the dates.
    const ScanRecipe wanted = dayOf(d2, 40)[1];
    dialog.init(&record, d2, wanted.baseName(), svmRemote, svmLocal);
    dialog.show();
    ScanViewerWidget &left = *dialog.leftViewer();
    ScanViewerWidget &right = *dialog.rightViewer();
    // The client's works were asked for by its web id.
    QVERIFY(child<QRadioButton>(left, "rbRemote")->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(dialog.cloudDates, (QList<QDate>{d1, d2}), 10000);
    QCOMPARE(left.cloudDates, (QList<QDate>{d1, d2}));
    QCOMPARE(right.cloudDates, (QList<QDate>{d1, d2}));
    QCOMPARE(right.model->remoteExams.size(), 2);
    QCOMPARE(child<QComboBox>(left, "cbDates")->count(), 2);
    QCOMPARE(child<QComboBox>(left, "cbDates")->currentText(), QStringLiteral("09/02/2024"));
    QTRY_VERIFY_WITH_TIMEOUT(shows(left, wanted), 10000);
    QCOMPARE(requestedFiles(m_service, QStringLiteral("d2d")), QStringList{wanted.jpgName()});
    // The right side stays on its local archive.
    QVERIFY(child<QRadioButton>(right, "rbLocal")->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(local, 60)[0]), 5000);

    // The right side to the cloud too: today is no remote date, so the first.
    QTest::mouseClick(child<QRadioButton>(right, "rbRemote"), Qt::LeftButton);
    QCOMPARE(child<QComboBox>(right, "cbDates")->currentText(), QStringLiteral("05/01/2024"));
    QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d1, 30)[0]), 10000);
    QVERIFY(shows(left, wanted));
}

void TestCompareScans::cloudUnreachableLeavesNoDates()
{
    // A loopback port where nothing listens.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    CloudStore cloud(QUrl(QStringLiteral("http://127.0.0.1:%1/Apps/Movelta/vq_webservice.php").arg(port)));
    const Client client = cloud.addClient(QStringLiteral("Lontano"), 4455);
    const QDate d(2024, 1, 5);
    writeDays(client, {{d, 30}});

    QSignalSpy works(cloud.http(), &HttpService::onGetUserWorks);
    CompareScansDlg dialog;
    Client record = client;
    dialog.init(&record, d, QString(), svmLocal, svmRemote);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(shows(*dialog.leftViewer(), dayOf(d, 30)[0]), 5000);
    QTest::qWait(1000);
    QCOMPARE(works.count(), 0);
    ScanViewerWidget &right = *dialog.rightViewer();
    QVERIFY(child<QRadioButton>(right, "rbRemote")->isChecked());
    QCOMPARE(child<QComboBox>(right, "cbDates")->count(), 0);
    QCOMPARE(right.model->rowCount(), 0);
    QCOMPARE(right.scanWidget->scanArea->image, nullptr);
    QVERIFY(dialog.cloudDates.isEmpty());
}

void TestCompareScans::closedWithDownloadsInFlight()
{
    if (!m_haveService)
        QSKIP("the reference service is not built");
    CloudStore cloud(m_service, 7202);
    const Client client = cloud.uploadClient(QStringLiteral("Gatti"));
    const QDate d(2024, 1, 5);
    QVERIFY(cloud.uploadExam(client, d, dayOf(d, 30)));
    QVERIFY(m_service.resetHooks());
    QVERIFY(m_service.injectFault(QStringLiteral("delay:700"), QStringLiteral("getUserFile"), 0));

    ScanLog log;
    {
        CompareScansDlg dialog;
        Client record = client;
        dialog.init(&record, d, QString(), svmRemote, svmRemote);
        dialog.show();
        // The works arrive and both sides ask for their pictures; then the dialog closes.
        QTRY_COMPARE_WITH_TIMEOUT(dialog.leftViewer()->model->rowCount(), 3, 10000);
        QCOMPARE(dialog.rightViewer()->model->rowCount(), 3);
        QTest::qWait(200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(fileRequests(m_service).size() == 6, 10000);
    QTest::qWait(500);
    QCOMPARE(log.lines(), QStringList());
    // A works reply arriving after the dialog has gone reaches nobody.
    QSignalSpy works(cloud.http(), &HttpService::onGetUserWorks);
    cloud.http()->getUserWorks(client.web_id);
    QVERIFY(works.wait(10000));
    QCOMPARE(works.at(0).at(0).value<QList<Exam>>().size(), 1);
}

CALVESTRA_TEST_MAIN(TestCompareScans)
#include "tst_comparescans.moc"
