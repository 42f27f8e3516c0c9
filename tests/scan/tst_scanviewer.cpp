// The archive viewer over the local archive, its thumbnails, the comparison of two
// viewers with their shared controls, and the slide show; real scan groups in the
// clients' folders of the test profile's store, driven through the widgets.
#include "TestMain.h"
#include "ViewerTestSupport.h"

#include "scan/CompareScansDlg.h"
#include "scan/DayScanItemDelegate.h"
#include "scan/SlideShowDlg.h"
#include "scan/SlideShowWidget.h"
#include "store/DataModule.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStandardItemModel>

using namespace ViewerTest;

namespace {

QStringList rowNames(const DayScansModel &model)
{
    QStringList names;
    for (DayScan *scan : model.scans())
        names << scan->fileName;
    return names;
}

QStringList jpgNames(const QList<ScanRecipe> &recipes)
{
    QStringList names;
    for (const ScanRecipe &recipe : recipes)
        names << recipe.jpgName();
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

QImage *shownImage(const ScanViewerWidget &viewer)
{
    return viewer.scanWidget->scanArea->image;
}

bool isGrey(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 3) {
            if (qRed(image.pixel(x, y)) != qBlue(image.pixel(x, y)) || qGreen(image.pixel(x, y)) != qBlue(image.pixel(x, y)))
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
        QCOMPARE(dates->count(), 3);
        QCOMPARE(dates->itemText(0) + dates->itemText(2), QStringLiteral("03/01/202410/02/2024"));
        QCOMPARE(dates->currentIndex(), 1);
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

    void defaultScanShownFirst()
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
        // The last row: the pictures of the other two come before its own.
        viewer.defaultName = day[2].baseName();
        openLocal(viewer, client, d);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]), 10000);
        QVERIFY(picked == QList<int>{2} && recorder.loads == QList<int>{day[2].lines} && viewer.defaultName.isEmpty());
        // A default that is no scan of the day: the first.
        viewer.defaultName = QStringLiteral("Vita-20230101--10-00-00");
        viewer.setMode(svmLocal, d);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
    }

    void clickLoadsTheScanWithItsMarks()
    {
        const Client client = addClient(QStringLiteral("Gialli"), 93);
        const QList<ScanRecipe> day = dayOf(QDate(2024, 1, 5));
        writeDay(client, QDate(2024, 1, 5));
        ScanViewerWidget viewer;
        openLocal(viewer, client, QDate(2024, 1, 5));
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
        QVERIFY(viewer.scanWidget->scanArea->analysis.linemarks.isEmpty());
        clickRow(viewer, 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 10000);
        QCOMPARE(viewer.scanWidget->scanArea->analysis.linemarks, QList<int>({day[1].lines / 3, day[1].lines / 2}));
        QCOMPARE(caption(viewer), day[1].baseName());
        clickRow(viewer, 2);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]), 10000);
        QVERIFY(viewer.scanWidget->scanArea->analysis.linemarks.isEmpty());
        QCOMPARE(shownImage(viewer)->width(), day[2].lines);
    }

    void missingFilesShowNothing()
    {
        const Client client = addClient(QStringLiteral("Russo"), 94);
        const QDate full(2024, 3, 1), noPicture(2024, 3, 2);
        const QList<ScanRecipe> day = dayOf(full);
        writeDay(client, full);
        const ScanRecipe orphan{QStringLiteral("Vita"), QDateTime(noPicture, QTime(8, 0, 0)), 20};
        writeScan(client.getDataPath(true), orphan);
        QVERIFY(QFile::remove(client.getDataPath(false) + orphan.jpgName()));
        const QString missing = client.getDataPath(false) + day[1].baseName() + QStringLiteral(".d2d");
        QVERIFY(QFile::remove(missing));
        ScanViewerWidget viewer;
        openLocal(viewer, client, full);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 10000);
        LogCatcher log("calvestra.scan");
        // Picked, the scan without data shows nothing, and a display change brings no
        // other scan back under its caption.
        clickRow(viewer, 1);
        QVERIFY(log.has(QStringLiteral("error d2dLoad : ") + missing));
        QVERIFY(!shownImage(viewer) && !viewer.scanWidget->scanArea->loading);
        QCOMPARE(caption(viewer), day[1].baseName());
        viewer.scanWidget->doSwitchBN(true);
        viewer.scanWidget->performAutoAdjust(false);
        QVERIFY(!shownImage(viewer));
        viewer.selectImage(3);
        QVERIFY(log.has(QStringLiteral("Index not found in dayScans (3)")) && caption(viewer).isEmpty());
        // A day whose scan has no picture: nothing listed, nothing shown.
        child<QComboBox>(viewer, "cbDates")->setCurrentIndex(1);
        QVERIFY(viewer.model->rowCount() == 0 && !viewer.currentScan && !shownImage(viewer));
        QCOMPARE(caption(viewer), QStringLiteral("- - -"));
        viewer.scanWidget->doSwitchBN(false);
        QVERIFY(!shownImage(viewer) && viewer.scanWidget->commThread->lineCount == 0);
    }

    void modeButtonsSwitchTheArchive()
    {
        const Client client = addClient(QStringLiteral("Costa"), 96);
        const QDate today = QDate::currentDate();
        writeDay(client, today);
        writeDay(client, QDate(2024, 1, 5));
        ScanViewerWidget viewer;
        openLocal(viewer, client, QDate(2024, 1, 5));
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(QDate(2024, 1, 5))[0]), 10000);
        // Cloud without any exam listed: no dates, nothing shown.
        QTest::mouseClick(child<QRadioButton>(viewer, "rbRemote"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmRemote && viewer.model->remote);
        QVERIFY(child<QComboBox>(viewer, "cbDates")->count() == 0 && viewer.model->rowCount() == 0 && !shownImage(viewer));
        // Back to the local archive, on today.
        QTest::mouseClick(child<QRadioButton>(viewer, "rbLocal"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmLocal && !viewer.model->remote);
        QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentText(), today.toString(QStringLiteral("dd/MM/yyyy")));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(today)[0]), 10000);
    }

    void modelRefills()
    {
        const Client client = addClient(QStringLiteral("Fabbri"), 97);
        const QDate d1(2024, 1, 5), d2(2024, 1, 6);
        writeDay(client, d1);
        writeDay(client, d2);
        DayScansModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy loaded(&model, &DayScansModel::dayItemLoaded);
        model.setFileData(client, client.getFileList(d1, QStringLiteral(".jpg")));
        QVERIFY(model.rowCount() == 3 && loaded.count() == 3);
        QPointer<DayScan> old = model.data(model.index(0)).value<DayScan *>();
        QCOMPARE(old->fileName, dayOf(d1)[0].jpgName());
        // Refilled, the old scans stay with the model (late replies may still reach them), unlisted.
        model.setFileData(client, client.getFileList(d2, QStringLiteral(".jpg")));
        QVERIFY(old && old->parent() == &model && model.rowOf(old) == -1);
        QCOMPARE(rowNames(model), jpgNames(dayOf(d2)));
        model.setFileData(client, {});
        QVERIFY(model.rowCount() == 0 && !model.scanAt(0));
    }

    void thumbnailCell()
    {
        const Client client = addClient(QStringLiteral("Greco"), 99);
        const ScanRecipe recipe{QStringLiteral("Coscia dx"), QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), 30, QColor(20, 180, 40)};
        writeScan(client.getDataPath(true), recipe);
        DayScansModel model(false);
        model.setFileData(client, {recipe.jpgName(), QStringLiteral("Vita-20240105--10-00-00.jpg")});
        DayScanItemDelegate delegate(QSize(130, 120), true);
        QCOMPARE(delegate.captionText(recipe.jpgName()), QStringLiteral("Coscia dx [09:30.15]"));
        delegate.showTime = false;
        QCOMPARE(delegate.captionText(recipe.jpgName()), recipe.jpgName());
        delegate.showTime = true;
        QStyleOptionViewItem option;
        option.palette = QPalette(Qt::white);
        option.palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
        option.rect = QRect(0, 0, 130, 120);
        const auto paintCell = [&](const QAbstractItemModel &from, int row, bool selected) {
            QImage cell(130, 120, QImage::Format_RGB32);
            cell.fill(Qt::magenta);
            option.state = selected ? QStyle::State_Selected : QStyle::State_None;
            QPainter p(&cell);
            option.font = p.font();
            delegate.paint(&p, option, from.index(row, 0));
            return cell;
        };
        // The picture keeps its 5:4 shape from (5, 4); the caption under it is the one above.
        const QImage shown = paintCell(model, 0, false);
        const QRect picture = delegate.pictureRect(shown.rect(), QSize(500, 400));
        QCOMPARE(picture, QRect(5, 4, 102, 82));
        QVERIFY(near(shown.pixel(picture.center()), recipe.colour) && near(shown.pixel(6, 5), recipe.colour));
        QVERIFY(shown.pixel(2, 2) == qRgb(255, 255, 255) && shown.pixel(picture.right() + 4, 40) == qRgb(255, 255, 255));
        QImage expected(130, 120, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawText(DayScanItemDelegate::captionRect(option.rect), Qt::AlignCenter | Qt::TextWordWrap,
                                     QStringLiteral("Coscia dx [09:30.15]"));
        const QRect band = DayScanItemDelegate::captionRect(option.rect);
        QCOMPARE(shown.copy(band), expected.copy(band));
        QCOMPARE(paintCell(model, 0, true).pixel(2, 2), qRgb(0, 0, 200));
        // Not arrived: a busy sign instead of the picture.
        const QImage waiting = paintCell(model, 1, false);
        QVERIFY(!near(waiting.pixel(picture.center()), recipe.colour));
        QVERIFY(countDark(waiting) > 20);
        // A row without a scan is left to the standard painting.
        QStandardItemModel plain;
        plain.appendRow(new QStandardItem(QStringLiteral("x")));
        LogCatcher log("calvestra.scan");
        paintCell(plain, 0, false);
        QVERIFY(log.has(QStringLiteral("no data, ::paint")));
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
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        ScanViewerWidget &left = *dialog.leftViewer();
        ScanViewerWidget &right = *dialog.rightViewer();
        QTRY_VERIFY_WITH_TIMEOUT(shows(left, current) && shows(right, dayOf(d1, 30)[0]), 10000);
        QCOMPARE(left.scanWidget->scanArea->analysis.linemarks, QList<int>({current.lines / 3, current.lines / 2}));
        child<QComboBox>(right, "cbDates")->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 50)[0]), 10000);
        QVERIFY(shows(left, current));
        // One depth for both sides, snapped to tens (halves away from zero), from the mouse or the keys.
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
        clickRow(right, 2);
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 50)[2]), 10000);
        QCOMPARE(right.scanWidget->scanArea->deepness, 80);
        // Black and white and the contrast act on both sides, and on a scan picked later.
        QPushButton *bw = child<QPushButton>(dialog, "btBN");
        QPushButton *automatic = child<QPushButton>(dialog, "btAutoAdjust");
        QVERIFY(!isGrey(*shownImage(left)) && !isGrey(*shownImage(right)));
        QTest::mouseClick(bw, Qt::LeftButton);
        QVERIFY(isGrey(*shownImage(left)) && isGrey(*shownImage(right)));
        clickRow(right, 0);
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d2, 50)[0]), 10000);
        QVERIFY(isGrey(*shownImage(right)));
        const QImage before = shownImage(left)->copy();
        QTest::mouseClick(automatic, Qt::LeftButton);
        QVERIFY(!left.scanWidget->commThread->autoAdjust && !right.scanWidget->commThread->autoAdjust);
        QVERIFY(shownImage(left)->size() == before.size() && *shownImage(left) != before);
        QTest::mouseClick(bw, Qt::LeftButton);
        QTest::mouseClick(automatic, Qt::LeftButton);
        for (ScanViewerWidget *viewer : {&left, &right})
            QVERIFY(viewer->scanWidget->commThread->autoAdjust && !isGrey(*viewer->scanWidget->scanArea->image));
    }

    // Clicks on previous and next with the title, the picture shown (its colour in the
    // middle) and the window fitting the picture; a picture not there shows black.
    void slideShow()
    {
        auto a = std::make_unique<QImage>(300, 240, QImage::Format_RGB32);
        auto b = std::make_unique<QImage>(250, 200, QImage::Format_RGB32);
        a->fill(qRgb(200, 40, 40));
        b->fill(qRgb(40, 200, 40));
        SlideShowDlg dialog;
        dialog.init({a.get(), b.get(), nullptr}, {QStringLiteral("A.jpg"), QStringLiteral("B.jpg"), QStringLiteral("C.jpg")}, 1);
        a.reset();  // the show keeps its own copies
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        SlideShowWidget *slides = dialog.slideShowWidget;
        const auto centre = [&] {
            const QImage shot = slides->grab().toImage();
            return shot.pixel(shot.width() / 2, shot.height() / 2);
        };
        QTRY_COMPARE(slides->size(), QSize(250, 200));
        QCOMPARE(slides->grab().toImage().pixel(1, 1), qRgb(40, 200, 40));
        const QList<std::tuple<const char *, QString, QRgb>> steps{
            {"btNext", "C.jpg", qRgb(0, 0, 0)}, {"btNext", "C.jpg", qRgb(0, 0, 0)}, {"btPrev", "B.jpg", qRgb(40, 200, 40)},
            {"btPrev", "A.jpg", qRgb(200, 40, 40)}, {"btPrev", "A.jpg", qRgb(200, 40, 40)}};
        for (const auto &[button, title, colour] : steps) {
            QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
            QCOMPARE(dialog.windowTitle(), title);
            QCOMPARE(centre(), colour);
        }
        QTRY_COMPARE(slides->size(), QSize(300, 240));
        // Made wider by hand, the picture keeps its shape, on black.
        dialog.resize(dialog.width() + 300, dialog.height());
        QTRY_COMPARE(slides->width(), 600);
        QCOMPARE(slides->pictureRect(), QRect(150, 0, 300, 240));
        QCOMPARE(slides->grab().toImage().pixel(2, 120), qRgb(0, 0, 0));
        // An empty show asked for a picture out of range.
        SlideShowDlg empty;
        empty.init({}, {}, 3);
        QTest::mouseClick(child<QPushButton>(empty, "btNext"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(empty, "btPrev"), Qt::LeftButton);
        QVERIFY(empty.slideShowWidget->index == 0 && empty.windowTitle().isEmpty());
    }

private:
    static int countDark(const QImage &img)
    {
        int ink = 0;
        for (int y = 30; y < 75; ++y)
            for (int x = 5; x < 125; ++x)
                ink += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
        return ink;
    }
};

CALVESTRA_TEST_MAIN(TestScanViewer)
#include "tst_scanviewer.moc"
