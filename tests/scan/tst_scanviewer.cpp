// The archive viewer over the local archive, its thumbnails, and the comparison of two
// viewers with their shared controls: real scan groups in the clients' folders of the
// test profile's store, driven through the widgets.
#include "TestMain.h"
#include "ViewerTestSupport.h"

#include "scan/CompareScansDlg.h"
#include "scan/DayScanItemDelegate.h"
#include "store/DataModule.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

using namespace ViewerTest;

namespace {

QStringList rowNames(const DayScansModel &model)
{
    QStringList names;
    for (DayScan *scan : model.scans())
        names << scan->fileName;
    return names;
}

void clickRow(ScanViewerWidget &viewer, int row)
{
    QListView *view = child<QListView>(viewer, "lvScans");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(viewer.model->index(row)).center());
}

void openLocal(ScanViewerWidget &viewer, const Client &client, const QDate &date)
{
    viewer.resize(640, 640);
    viewer.show();
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, date);
}

QString caption(const ScanViewerWidget &viewer)
{
    return child<QLabel>(viewer, "lbScanCaption")->text();
}

bool isGrey(const QImage *image)
{
    for (int y = 0; y < image->height(); y += 7) {
        for (int x = 0; x < image->width(); x += 3) {
            if (qRed(image->pixel(x, y)) != qBlue(image->pixel(x, y)) || qGreen(image->pixel(x, y)) != qBlue(image->pixel(x, y)))
                return false;
        }
    }
    return true;
}

}  // namespace

class TestScanViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { DataModule::instance(); }

    void datesAndTheScanShownFirst()
    {
        // Two clients the service has never seen (both web id 0): each has its own folder.
        const Client other = addClient(QStringLiteral("Primo"));
        const Client client = addClient(QStringLiteral("Secondo"));
        const QDate d1(2024, 1, 3), d2(2024, 1, 5), d3(2024, 2, 10);
        for (const QDate &d : {d1, d2, d3})
            writeDay(client, d);
        QVERIFY(QDir(other.getDataPath(true)).isEmpty());
        ScanViewerWidget viewer;
        LoadRecorder recorder(viewer);
        openLocal(viewer, client, d2);
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QVERIFY(dates->count() == 3 && dates->itemText(0) == QStringLiteral("03/01/2024") && dates->currentIndex() == 1);
        QCOMPARE(rowNames(*viewer.model), jpgNames(dayOf(d2)));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[0]), 10000);
        QCOMPARE(caption(viewer), dayOf(d2)[0].baseName());
        QCOMPARE(child<QListView>(viewer, "lvScans")->selectionModel()->selectedIndexes(), {viewer.model->index(0)});
        for (DayScan *scan : viewer.model->scans())
            QVERIFY(scan->image && scan->client.id == client.id);
        // Another date from the keyboard: its own scans, its first shown, nothing else loaded.
        QTest::keyClick(dates, Qt::Key_Down);
        QCOMPARE(rowNames(*viewer.model), jpgNames(dayOf(d3)));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d3)[0]), 10000);
        QCOMPARE(recorder.loads, QList<int>({dayOf(d2)[0].lines, dayOf(d3)[0].lines}));
        // A date not listed: the first one.
        viewer.setDates(viewer.localDates, QDate(2030, 1, 1));
        QTRY_VERIFY_WITH_TIMEOUT(dates->currentIndex() == 0 && shows(viewer, dayOf(d1)[0]), 10000);
    }

    void defaultScanAndPicks()
    {
        const Client client = addClient(QStringLiteral("Verdi"), 91);
        const QDate d(2024, 1, 5);
        const QList<ScanRecipe> day = dayOf(d);
        writeDay(client, d);
        ScanViewerWidget viewer;
        QList<int> picked;
        connect(child<QListView>(viewer, "lvScans")->selectionModel(), &QItemSelectionModel::currentChanged, &viewer,
                [&](const QModelIndex &current) { picked << current.row(); });
        LoadRecorder recorder(viewer);
        // The default is the last row: the other pictures come before its own.
        viewer.defaultName = day[2].baseName();
        openLocal(viewer, client, d);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]), 10000);
        QVERIFY(picked == QList<int>{2} && recorder.loads == QList<int>{day[2].lines} && viewer.defaultName.isEmpty());
        // A click loads that scan with its marks, or without any.
        clickRow(viewer, 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 10000);
        QVERIFY(viewer.scanWidget->scanArea->analysis.linemarks == QList<int>({day[1].lines / 3, day[1].lines / 2}) && caption(viewer) == day[1].baseName());
        clickRow(viewer, 0);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
        QVERIFY(viewer.scanWidget->scanArea->analysis.linemarks.isEmpty() && viewer.scanWidget->scanArea->image->width() == day[0].lines);
        // A default that is no scan of the day: the first.
        viewer.defaultName = QStringLiteral("Vita-20230101--10-00-00");
        viewer.setMode(svmLocal, d);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
    }

    void missingFilesShowNothing()
    {
        const Client client = addClient(QStringLiteral("Russo"), 94);
        const QDate full(2024, 3, 1), noPicture(2024, 3, 2);
        const QList<ScanRecipe> day = dayOf(full);
        writeDay(client, full);
        const ScanRecipe orphan{QStringLiteral("Vita"), QDateTime(noPicture, QTime(8, 0, 0)), 20};
        writeScan(client.getDataPath(true), orphan);
        const QString missing = client.getDataPath(false) + day[1].baseName() + QStringLiteral(".d2d");
        QVERIFY(QFile::remove(client.getDataPath(false) + orphan.jpgName()) && QFile::remove(missing));
        ScanViewerWidget viewer;
        openLocal(viewer, client, full);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
        LogCatcher log("calvestra.scan");
        // Picked, the scan without data shows nothing, and no display change brings
        // another scan back under its caption.
        clickRow(viewer, 1);
        QVERIFY(log.has(QStringLiteral("error d2dLoad : ") + missing) && caption(viewer) == day[1].baseName());
        viewer.scanWidget->doSwitchBN(true);
        viewer.scanWidget->performAutoAdjust(false);
        QVERIFY(!viewer.scanWidget->scanArea->image && !viewer.scanWidget->scanArea->loading);
        viewer.selectImage(3);
        QVERIFY(log.has(QStringLiteral("Index not found in dayScans (3)")) && caption(viewer).isEmpty());
        // A day whose scan has no picture: nothing listed, nothing shown.
        child<QComboBox>(viewer, "cbDates")->setCurrentIndex(1);
        QVERIFY(viewer.model->rowCount() == 0 && !viewer.currentScan && caption(viewer) == QStringLiteral("- - -"));
        viewer.scanWidget->doSwitchBN(false);
        QVERIFY(!viewer.scanWidget->scanArea->image && viewer.scanWidget->commThread->lineCount == 0);
    }

    void modeButtonsSwitchTheArchive()
    {
        const Client client = addClient(QStringLiteral("Costa"), 96);
        const QDate today = QDate::currentDate(), other(2024, 1, 5);
        writeDay(client, today);
        writeDay(client, other);
        ScanViewerWidget viewer;
        openLocal(viewer, client, other);
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(other)[0]), 10000);
        // The cloud without any exam listed: no dates, nothing shown.
        QTest::mouseClick(child<QRadioButton>(viewer, "rbRemote"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmRemote && viewer.model->remote && child<QComboBox>(viewer, "cbDates")->count() == 0);
        QVERIFY(viewer.model->rowCount() == 0 && !viewer.scanWidget->scanArea->image);
        // Back to the local archive, on today.
        QTest::mouseClick(child<QRadioButton>(viewer, "rbLocal"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmLocal && !viewer.model->remote);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(today)[0]), 10000);
    }

    void thumbnailCell()
    {
        const Client client = addClient(QStringLiteral("Greco"), 99);
        const ScanRecipe recipe = dayOf(QDate(2024, 1, 5))[1];
        writeScan(client.getDataPath(true), recipe);
        DayScansModel model(false);
        model.setFileData(client, {recipe.jpgName(), QStringLiteral("Vita-20240105--10-00-00.jpg")});
        DayScanItemDelegate delegate(QSize(130, 120), true);
        QCOMPARE(delegate.captionText(recipe.jpgName()), QStringLiteral("Coscia dx [09:30.15]"));
        QStyleOptionViewItem option;
        option.palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
        option.rect = QRect(0, 0, 130, 120);
        const auto paintCell = [&](int row, bool selected) {
            QImage cell(130, 120, QImage::Format_RGB32);
            cell.fill(Qt::magenta);
            option.state = selected ? QStyle::State_Selected : QStyle::State_None;
            QPainter p(&cell);
            delegate.paint(&p, option, model.index(row));
            return cell;
        };
        // The picture keeps its 5:4 shape from (5, 4) on white; the caption under it.
        const QImage shown = paintCell(0, false);
        const QRect picture = delegate.pictureRect(shown.rect(), QSize(500, 400));
        QCOMPARE(picture, QRect(5, 4, 102, 82));
        QVERIFY(near(shown.pixel(picture.center()), recipe.colour) && near(shown.pixel(6, 5), recipe.colour));
        QVERIFY(shown.pixel(2, 2) == qRgb(255, 255, 255) && shown.pixel(picture.right() + 4, 40) == qRgb(255, 255, 255));
        QVERIFY(inkIn(shown, DayScanItemDelegate::captionRect(option.rect)) > 30 && paintCell(0, true).pixel(2, 2) == qRgb(0, 0, 200));
        // Not arrived: a busy sign instead of the picture.
        const QImage waiting = paintCell(1, false);
        QVERIFY(!near(waiting.pixel(picture.center()), recipe.colour) && inkIn(waiting, QRect(5, 30, 120, 45)) > 20);
    }

    void comparisonSidesAndSharedControls()
    {
        const Client client = addClient(QStringLiteral("Bruno"));
        const QDate d1(2024, 1, 5), d2(2024, 3, 8);
        writeDay(client, d1, 30);
        writeDay(client, d2, 50);
        CompareScansDlg dialog;
        Client record = client;
        // From the exam: the second scan of d2 on the left; the right on today, which is
        // no date of the client, so on its first.
        const ScanRecipe current = dayOf(d2, 50)[1];
        dialog.init(&record, d2, current.baseName(), svmLocal, svmLocal);
        dialog.show();
        ScanViewerWidget &left = *dialog.leftViewer();
        ScanViewerWidget &right = *dialog.rightViewer();
        QTRY_VERIFY_WITH_TIMEOUT(shows(left, current) && shows(right, dayOf(d1, 30)[0]), 10000);
        QCOMPARE(left.scanWidget->scanArea->analysis.linemarks, QList<int>({current.lines / 3, current.lines / 2}));
        child<QComboBox>(right, "cbDates")->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 50)[0]), 10000);
        QVERIFY(shows(left, current));
        // One depth for both sides, snapped to tens, from the mouse or the keys.
        QSlider *depth = child<QSlider>(dialog, "slDeepness");
        const auto depthsAre = [&](int mm) {
            for (ScanViewerWidget *viewer : {&left, &right}) {
                if (viewer->scanWidget->scanArea->deepness != mm || viewer->scanWidget->commThread->deepness != mm
                    || child<QSlider>(*viewer->scanWidget, "slDeepness")->value() != mm)
                    return false;
            }
            return depth->value() == mm && child<QLabel>(dialog, "txtDeepness")->text() == QString::number(mm);
        };
        depth->setSliderDown(true);
        depth->setSliderPosition(45);
        depth->setSliderDown(false);
        QVERIFY(depthsAre(50));
        depth->setValue(64);
        QVERIFY(depthsAre(60));
        depth->setValue(65);
        QVERIFY(depthsAre(70));
        QTest::keyClick(depth, Qt::Key_Up);
        QVERIFY(depthsAre(80));
        // Black and white and the contrast act on both sides, and on a scan picked later.
        QPushButton *bw = child<QPushButton>(dialog, "btBN");
        QPushButton *automatic = child<QPushButton>(dialog, "btAutoAdjust");
        QVERIFY(!isGrey(left.scanWidget->scanArea->image) && !isGrey(right.scanWidget->scanArea->image));
        QTest::mouseClick(bw, Qt::LeftButton);
        QVERIFY(isGrey(left.scanWidget->scanArea->image) && isGrey(right.scanWidget->scanArea->image));
        clickRow(right, 2);
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 50)[2]), 10000);
        QVERIFY(isGrey(right.scanWidget->scanArea->image) && right.scanWidget->scanArea->deepness == 80);
        const QImage before = left.scanWidget->scanArea->image->copy();
        QTest::mouseClick(automatic, Qt::LeftButton);
        QVERIFY(!left.scanWidget->commThread->autoAdjust && !right.scanWidget->commThread->autoAdjust);
        QVERIFY(left.scanWidget->scanArea->image->size() == before.size() && *left.scanWidget->scanArea->image != before);
        QTest::mouseClick(bw, Qt::LeftButton);
        QTest::mouseClick(automatic, Qt::LeftButton);
        for (ScanViewerWidget *viewer : {&left, &right})
            QVERIFY(viewer->scanWidget->commThread->autoAdjust && !isGrey(viewer->scanWidget->scanArea->image));
    }

private:
    // Dark pixels (text, the busy sign) in a part of a cell.
    static int inkIn(const QImage &img, const QRect &area)
    {
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ink += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
        return ink;
    }
};

CALVESTRA_TEST_MAIN(TestScanViewer)
#include "tst_scanviewer.moc"
