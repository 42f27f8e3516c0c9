// The exam archive page: the client's exams listed by the reference service on
// 127.0.0.1, the pictures of the chosen exam, and the slide show opened by a double
// click on a picture; driven with mouse and keyboard events.
#include "TestMain.h"
#include "ViewerTestSupport.h"

#include "scan/ArchiveTabWidget.h"
#include "scan/DayScanItemDelegate.h"
#include "scan/SlideShowDlg.h"
#include "scan/SlideShowWidget.h"

#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace ViewerTest;

class TestArchiveTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void twoExamsAndTheSlideShowOfTheThirdPicture();
    void keyboardPicksAnotherExam();
    void noWorksLeavesThePicturesAlone();
    void onlyItsOwnRequestsRebuildTheList();
    void clientWithoutWebIdAsksNothing();

private:
    static QList<ScanRecipe> examOf(const QDate &date, int count, int hueStart);
    static bool picturesArrived(const ArchiveTabWidget &tab);

    ReferenceService m_service;
};

QList<ScanRecipe> TestArchiveTab::examOf(const QDate &date, int count, int hueStart)
{
    const QStringList zones{QStringLiteral("Addome"), QStringLiteral("Bicipite"), QStringLiteral("Coscia dx"),
                            QStringLiteral("Dorso"), QStringLiteral("Vita")};
    QList<ScanRecipe> recipes;
    for (int k = 0; k < count; ++k)
        recipes << ScanRecipe{zones[k], QDateTime(date, QTime(11, k, 30)), 30 + k,
                          QColor::fromHsv((hueStart + 70 * k) % 360, 230, 220)};
    return recipes;
}

bool TestArchiveTab::picturesArrived(const ArchiveTabWidget &tab)
{
    for (DayScan *scan : tab.model->scans()) {
        if (!scan->image)
            return false;
    }
    return tab.model->rowCount() > 0;
}

void TestArchiveTab::initTestCase()
{
    if (ReferenceService::executable().isEmpty())
        QSKIP("the reference service is not built");
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestArchiveTab::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

void TestArchiveTab::twoExamsAndTheSlideShowOfTheThirdPicture()
{
    CloudStore cloud(m_service, 7301);
    const Client client = cloud.uploadClient(QStringLiteral("Ferri"));
    const QDate d1(2024, 1, 5), d2(2024, 2, 9);
    const QList<ScanRecipe> first = examOf(d1, 2, 0);
    const QList<ScanRecipe> second = examOf(d2, 4, 30);
    QVERIFY(cloud.uploadExam(client, d1, first));
    QVERIFY(cloud.uploadExam(client, d2, second));

    ArchiveTabWidget tab;
    tab.resize(1000, 600);
    tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tab));
    QListWidget *works = child<QListWidget>(tab, "lwWorks");
    QListView *pictures = child<QListView>(tab, "lvWorkScans");
    QCOMPARE(pictures->viewMode(), QListView::IconMode);
    QCOMPARE(pictures->gridSize(), QSize(240, 200));
    QCOMPARE(tab.delegate->cellSize, QSize(240, 200));
    QVERIFY(tab.model->remote);

    tab.setClient(client);
    tab.refreshWorks();
    // The two exams by date, the first current with its pictures.
    QTRY_COMPARE_WITH_TIMEOUT(works->count(), 2, 10000);
    QCOMPARE(works->item(0)->text(), QStringLiteral("05/01/2024"));
    QCOMPARE(works->item(1)->text(), QStringLiteral("09/02/2024"));
    QCOMPARE(works->currentRow(), 0);
    QCOMPARE(tab.remoteWorks.size(), 2);
    QCOMPARE(tab.model->rowCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(picturesArrived(tab), 10000);

    // A click on the second exam: its four pictures, downloaded.
    QTest::mouseClick(works->viewport(), Qt::LeftButton, {}, works->visualItemRect(works->item(1)).center());
    QCOMPARE(works->currentRow(), 1);
    QCOMPARE(tab.model->rowCount(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(picturesArrived(tab), 10000);
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(tab.model->scanAt(row)->fileName, second[row].jpgName());
        QVERIFY(near(tab.model->scanAt(row)->image->pixel(250, 200), second[row].colour));
    }
    // On screen too: the third thumbnail shows the third picture.
    const QRect third = pictures->visualRect(tab.model->index(2));
    const QImage strip = pictures->viewport()->grab().toImage();
    const QRect thumb = tab.delegate->pictureRect(third, QSize(500, 400));
    QVERIFY(near(strip.pixel(thumb.center()), second[2].colour));

    // A double click on the third picture: the slide show starts there.
    struct Seen
    {
        bool opened = false;
        int index = -1;
        QString title;
        QRgb centre = 0;
        QString afterNext;
        QString afterPrevTwice;
    } seen;
    QTimer watch;
    int ticks = 0;
    connect(&watch, &QTimer::timeout, &tab, [&] {
        ++ticks;
        auto *dialog = qobject_cast<SlideShowDlg *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (ticks > 250)  // five seconds: give up, whatever is open
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
            return;
        }
        if (!dialog->isVisible() || !QTest::qWaitForWindowExposed(dialog))
            return;
        watch.stop();
        seen.opened = true;
        seen.index = dialog->slideShowWidget->index;
        seen.title = dialog->windowTitle();
        const QImage shot = dialog->slideShowWidget->grab().toImage();
        seen.centre = shot.pixel(shot.width() / 2, shot.height() / 2);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btNext")), Qt::LeftButton);
        seen.afterNext = dialog->windowTitle();
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btPrev")), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btPrev")), Qt::LeftButton);
        seen.afterPrevTwice = dialog->windowTitle();
        dialog->reject();
    });
    watch.start(20);
    QTest::mouseClick(pictures->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(pictures->viewport(), Qt::LeftButton, {}, third.center());
    watch.stop();

    QVERIFY(seen.opened);
    QCOMPARE(seen.index, 2);
    QCOMPARE(seen.title, second[2].jpgName());
    QVERIFY(near(seen.centre, second[2].colour));
    QCOMPARE(seen.afterNext, second[3].jpgName());
    QCOMPARE(seen.afterPrevTwice, second[1].jpgName());
    // The show is gone once closed.
    QVERIFY(!tab.findChild<SlideShowDlg *>());

    // A double click beside the pictures opens nothing.
    QTest::mouseDClick(pictures->viewport(), Qt::LeftButton, {}, QPoint(pictures->viewport()->width() - 3,
                                                                         pictures->viewport()->height() - 3));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestArchiveTab::keyboardPicksAnotherExam()
{
    CloudStore cloud(m_service, 7302);
    const Client client = cloud.uploadClient(QStringLiteral("Galli"));
    const QDate d1(2024, 1, 5), d2(2024, 2, 9);
    QVERIFY(cloud.uploadExam(client, d1, examOf(d1, 2, 0)));
    QVERIFY(cloud.uploadExam(client, d2, examOf(d2, 3, 30)));

    ArchiveTabWidget tab;
    tab.show();
    tab.setClient(client);
    tab.refreshWorks();
    QListWidget *works = child<QListWidget>(tab, "lwWorks");
    QTRY_COMPARE_WITH_TIMEOUT(works->count(), 2, 10000);
    QVERIFY(m_service.resetHooks());
    works->setFocus();
    QTest::keyClick(works, Qt::Key_Down);
    QCOMPARE(works->currentRow(), 1);
    QCOMPARE(tab.model->rowCount(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(picturesArrived(tab), 10000);
    // One listing per change: three pictures asked for, once each.
    QCOMPARE(requestedFiles(m_service, QStringLiteral("jpg")).size(), 3);
}

void TestArchiveTab::noWorksLeavesThePicturesAlone()
{
    CloudStore cloud(m_service, 7303);
    const Client client = cloud.uploadClient(QStringLiteral("Longo"));
    const Client bare = cloud.uploadClient(QStringLiteral("Vuoto"));
    const QDate d(2024, 1, 5);
    QVERIFY(cloud.uploadExam(client, d, examOf(d, 3, 0)));

    ArchiveTabWidget tab;
    tab.show();
    tab.setClient(client);
    tab.refreshWorks();
    QListWidget *works = child<QListWidget>(tab, "lwWorks");
    QTRY_COMPARE_WITH_TIMEOUT(works->count(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(picturesArrived(tab), 10000);
    const QList<DayScan *> shown = tab.model->scans();

    // A client the service has no exams for: an empty list, the pictures untouched.
    QSignalSpy replies(cloud.http(), &HttpService::onGetUserWorks);
    tab.setClient(bare);
    tab.refreshWorks();
    QVERIFY(replies.wait(10000));
    QCOMPARE(replies.at(0).at(0).value<QList<Exam>>().size(), 0);
    QCOMPARE(works->count(), 0);
    QVERIFY(tab.remoteWorks.isEmpty());
    QCOMPARE(tab.model->scans(), shown);
}

void TestArchiveTab::onlyItsOwnRequestsRebuildTheList()
{
    CloudStore cloud(m_service, 7304);
    const Client client = cloud.uploadClient(QStringLiteral("Costa"));
    const Client other = cloud.uploadClient(QStringLiteral("Altro"));
    const QDate d1(2024, 1, 5), d2(2024, 2, 9);
    QVERIFY(cloud.uploadExam(client, d1, examOf(d1, 2, 0)));
    QVERIFY(cloud.uploadExam(other, d2, examOf(d2, 2, 0)));

    ArchiveTabWidget tab;
    tab.show();
    tab.setClient(client);
    tab.refreshWorks();
    QListWidget *works = child<QListWidget>(tab, "lwWorks");
    QTRY_COMPARE_WITH_TIMEOUT(works->count(), 1, 10000);
    QCOMPARE(works->item(0)->text(), QStringLiteral("05/01/2024"));

    // Another window asks for another client's works on the shared service client.
    QSignalSpy replies(cloud.http(), &HttpService::onGetUserWorks);
    cloud.http()->getUserWorks(other.web_id);
    QVERIFY(replies.wait(10000));
    QCOMPARE(works->count(), 1);
    QCOMPARE(works->item(0)->text(), QStringLiteral("05/01/2024"));
    QCOMPARE(tab.model->scanAt(0)->fileName, examOf(d1, 2, 0)[0].jpgName());
}

void TestArchiveTab::clientWithoutWebIdAsksNothing()
{
    CloudStore cloud(m_service, 7305);
    const Client local = cloud.addClient(QStringLiteral("Locale"));
    ArchiveTabWidget tab;
    tab.setClient(local);
    QVERIFY(m_service.resetHooks());
    tab.refreshWorks();
    QTest::qWait(300);
    bool asked = false;
    for (const QJsonValue &request : m_service.receivedRequests())
        asked = asked || request.toObject().value(QStringLiteral("kind")).toString() == QStringLiteral("getUserWorks");
    QVERIFY(!asked);
    QCOMPARE(child<QListWidget>(tab, "lwWorks")->count(), 0);
}

CALVESTRA_TEST_MAIN(TestArchiveTab)
#include "tst_archivetab.moc"
