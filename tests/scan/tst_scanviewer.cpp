// The scan archive viewer over the local archive: real scan groups in a client's folder
// of a temporary store, the date list, the thumbnails and their captions, the scan
// picked first and the full scan with its marks, driven through the widget.
#include "TestMain.h"
#include "ViewerTestSupport.h"

#include "scan/DayScanItemDelegate.h"
#include "scan/ScanArea.h"

#include <QAbstractItemModelTester>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>

using namespace ViewerTest;

class TestScanViewer : public QObject
{
    Q_OBJECT

private slots:
    void datesAndTheScanShownFirst();
    void emptyDayClearsStripAndScan();
    void defaultScanPickedEvenWhenItsPictureComesLast();
    void defaultNotOfTheDayFallsBackToTheFirst();
    void clickLoadsTheFullScanWithItsMarks();
    void missingScanDataLeavesTheScanEmpty();
    void rowOutOfRange();
    void clientWithoutWebIdUsesItsOwnFolder();
    void modeButtonsSwitchTheArchive();
    void modelRowsAndRefill();
    void captionOfAScanFile();
    void thumbnailPainting();

private:
    static QList<ScanRecipe> dayOf(const QDate &date);
    static QStringList rowNames(const DayScansModel &model);
    static void clickRow(ScanViewerWidget &viewer, int row);
};

QList<ScanRecipe> TestScanViewer::dayOf(const QDate &date)
{
    return {
        {QStringLiteral("Addome"), QDateTime(date, QTime(9, 10, 0)), 31, QColor(220, 30, 30), false},
        {QStringLiteral("Coscia dx"), QDateTime(date, QTime(9, 30, 15)), 47, QColor(30, 200, 40), true},
        {QStringLiteral("Vita"), QDateTime(date, QTime(9, 45, 5)), 63, QColor(40, 60, 220), false},
    };
}

QStringList TestScanViewer::rowNames(const DayScansModel &model)
{
    QStringList names;
    for (DayScan *scan : model.scans())
        names << scan->fileName;
    return names;
}

void TestScanViewer::clickRow(ScanViewerWidget &viewer, int row)
{
    QListView *view = child<QListView>(viewer, "lvScans");
    const QRect rect = view->visualRect(viewer.model->index(row));
    QVERIFY(rect.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestScanViewer::datesAndTheScanShownFirst()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Rossi"), 1532);
    const QDate d1(2024, 1, 3), d2(2024, 1, 5), d3(2024, 2, 10);
    for (const QDate &d : {d1, d2, d3}) {
        for (const ScanRecipe &recipe : dayOf(d))
            writeScan(client.getDataPath(true), recipe);
    }

    ScanViewerWidget viewer;
    viewer.resize(640, 640);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), QStringLiteral("- - -"));
    QCOMPARE(child<QRadioButton>(viewer, "rbLocal")->text(), QStringLiteral("Archivio Locale"));
    QCOMPARE(child<QRadioButton>(viewer, "rbRemote")->text(), QStringLiteral("Cloud"));
    // The scan widget sits between the date row and the strip, without a toolbar.
    QCOMPARE(qobject_cast<QBoxLayout *>(viewer.layout())->indexOf(viewer.scanWidget), 1);
    QCOMPARE(viewer.scanWidget->mode, swmViewer);
    QCOMPARE(child<QListView>(viewer, "lvScans")->gridSize(), QSize(130, 120));

    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, d2);

    // The dates as "dd/MM/yyyy", the asked one current.
    QStringList texts;
    for (int i = 0; i < child<QComboBox>(viewer, "cbDates")->count(); ++i)
        texts << child<QComboBox>(viewer, "cbDates")->itemText(i);
    QCOMPARE(texts, (QStringList{QStringLiteral("03/01/2024"), QStringLiteral("05/01/2024"), QStringLiteral("10/02/2024")}));
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentIndex(), 1);
    QVERIFY(child<QRadioButton>(viewer, "rbLocal")->isChecked());

    // The day's pictures in name order; the first scan shown with its full data.
    const QList<ScanRecipe> day = dayOf(d2);
    QCOMPARE(rowNames(*viewer.model), (QStringList{day[0].jpgName(), day[1].jpgName(), day[2].jpgName()}));
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 5000);
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[0].baseName());
    QCOMPARE(child<QListView>(viewer, "lvScans")->selectionModel()->selectedIndexes(), QModelIndexList{viewer.model->index(0)});
    for (DayScan *scan : viewer.model->scans())
        QVERIFY(scan->image && !scan->image->isNull());

    // Another date through the combo box: its own scans, its first shown.
    LoadRecorder recorder(viewer);
    child<QComboBox>(viewer, "cbDates")->setFocus();
    QTest::keyClick(child<QComboBox>(viewer, "cbDates"), Qt::Key_Down);
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentIndex(), 2);
    const QList<ScanRecipe> later = dayOf(d3);
    QCOMPARE(rowNames(*viewer.model), (QStringList{later[0].jpgName(), later[1].jpgName(), later[2].jpgName()}));
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, later[0]), 5000);
    QCOMPARE(recorder.loads, QList<int>{later[0].lines});

    // A date not listed: the first one.
    viewer.setDates(viewer.localDates, QDate(2030, 1, 1));
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentIndex(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d1)[0]), 5000);
}

void TestScanViewer::emptyDayClearsStripAndScan()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Bianchi"), 77);
    const QDate full(2024, 3, 1), empty(2024, 3, 2);
    for (const ScanRecipe &recipe : dayOf(full))
        writeScan(client.getDataPath(true), recipe);
    // The empty day has scan data but no picture.
    ScanRecipe orphan{QStringLiteral("Vita"), QDateTime(empty, QTime(8, 0, 0)), 20};
    writeScan(client.getDataPath(true), orphan);
    QVERIFY(QFile::remove(client.getDataPath(false) + orphan.jpgName()));

    ScanViewerWidget viewer;
    viewer.show();
    viewer.setClient(client);
    viewer.localDates = {full, empty};
    viewer.setMode(svmLocal, full);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(full)[0]), 5000);

    ScanLog log;
    child<QComboBox>(viewer, "cbDates")->setCurrentIndex(1);
    QCOMPARE(viewer.model->rowCount(), 0);
    QVERIFY(!viewer.currentScan);
    QCOMPARE(viewer.scanWidget->scanArea->image, nullptr);
    QCOMPARE(shownLines(viewer), 0);
    QVERIFY(!viewer.scanWidget->scanArea->loading);
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), QStringLiteral("- - -"));
    // Nothing stays behind to be brought back by a display change.
    viewer.scanWidget->doSwitchBN(true);
    QCOMPARE(viewer.scanWidget->scanArea->image, nullptr);
    QTest::qWait(50);
    QCOMPARE(log.countStartingWith(QStringLiteral("Index not found")), 0);
    QCOMPARE(log.countStartingWith(QStringLiteral("error d2dLoad")), 0);
}

void TestScanViewer::defaultScanPickedEvenWhenItsPictureComesLast()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Verdi"), 91);
    const QDate d(2024, 1, 5);
    const QList<ScanRecipe> day = dayOf(d);
    for (const ScanRecipe &recipe : day)
        writeScan(client.getDataPath(true), recipe);

    ScanViewerWidget viewer;
    viewer.show();
    QList<int> picked;
    connect(child<QListView>(viewer, "lvScans")->selectionModel(), &QItemSelectionModel::currentChanged, &viewer,
            [&](const QModelIndex &current) { picked << current.row(); });
    QList<QString> arrived;
    connect(viewer.model, &DayScansModel::dayItemLoaded, &viewer,
            [&](DayScan *scan) { arrived << scan->fileName; });
    LoadRecorder recorder(viewer);
    ScanLog log;

    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    // The last row: the pictures of the other two arrive before it.
    viewer.defaultName = day[2].baseName();
    viewer.setMode(svmLocal, d);

    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]), 5000);
    QCOMPARE(arrived, (QList<QString>{day[0].jpgName(), day[1].jpgName(), day[2].jpgName()}));
    QCOMPARE(picked, QList<int>{2});
    QCOMPARE(recorder.loads, QList<int>{day[2].lines});
    QVERIFY(viewer.defaultName.isEmpty());
    QVERIFY(log.has(QStringLiteral("find def name ") + day[0].baseName() + QLatin1Char(' ') + day[2].baseName()));
    QVERIFY(log.has(QStringLiteral("found ") + day[2].baseName()));
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[2].baseName());
}

void TestScanViewer::defaultNotOfTheDayFallsBackToTheFirst()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Neri"), 92);
    const QDate d(2024, 1, 5);
    for (const ScanRecipe &recipe : dayOf(d))
        writeScan(client.getDataPath(true), recipe);

    ScanViewerWidget viewer;
    viewer.show();
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.defaultName = QStringLiteral("Vita-20230101--10-00-00");
    viewer.setMode(svmLocal, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d)[0]), 5000);
}

void TestScanViewer::clickLoadsTheFullScanWithItsMarks()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Gialli"), 93);
    const QDate d(2024, 1, 5);
    const QList<ScanRecipe> day = dayOf(d);
    for (const ScanRecipe &recipe : day)
        writeScan(client.getDataPath(true), recipe);

    ScanViewerWidget viewer;
    viewer.resize(640, 640);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 5000);
    QCOMPARE(viewer.scanWidget->scanArea->analysis.linemarks.size(), 0);

    // The scan with an analysis file: its marks come with it.
    clickRow(viewer, 1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 5000);
    QCOMPARE(viewer.scanWidget->scanArea->analysis.linemarks, (QList<int>{day[1].lines / 3, day[1].lines / 2}));
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[1].baseName());
    QCOMPARE(child<QListView>(viewer, "lvScans")->selectionModel()->selectedIndexes(), QModelIndexList{viewer.model->index(1)});

    // And without one, none.
    clickRow(viewer, 2);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]), 5000);
    QCOMPARE(viewer.scanWidget->scanArea->analysis.linemarks.size(), 0);
    // The picture shown is the scan's own, built from its data.
    QCOMPARE(viewer.scanWidget->scanArea->image->width(), day[2].lines);
}

void TestScanViewer::missingScanDataLeavesTheScanEmpty()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Russo"), 94);
    const QDate d(2024, 1, 5);
    const QList<ScanRecipe> day = dayOf(d);
    for (const ScanRecipe &recipe : day)
        writeScan(client.getDataPath(true), recipe);
    const QString missing = client.getDataPath(false) + day[1].baseName() + QStringLiteral(".d2d");
    QVERIFY(QFile::remove(missing));

    ScanViewerWidget viewer;
    viewer.show();
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 5000);

    ScanLog log;
    clickRow(viewer, 1);
    QVERIFY(log.has(QStringLiteral("error d2dLoad : ") + missing));
    QCOMPARE(viewer.scanWidget->scanArea->image, nullptr);
    QVERIFY(!viewer.scanWidget->scanArea->loading);
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), day[1].baseName());
    // The scan shown before cannot come back under this caption.
    viewer.scanWidget->doSwitchBN(true);
    viewer.scanWidget->performAutoAdjust(false);
    QCOMPARE(viewer.scanWidget->scanArea->image, nullptr);
}

void TestScanViewer::rowOutOfRange()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Conti"), 95);
    const QDate d(2024, 1, 5);
    for (const ScanRecipe &recipe : dayOf(d))
        writeScan(client.getDataPath(true), recipe);
    ScanViewerWidget viewer;
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, d);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d)[0]), 5000);

    ScanLog log;
    viewer.selectImage(3);
    viewer.selectImage(-1);
    QVERIFY(log.has(QStringLiteral("Index not found in dayScans (3)")));
    QVERIFY(log.has(QStringLiteral("Index not found in dayScans (-1)")));
    QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), QString());
}

void TestScanViewer::clientWithoutWebIdUsesItsOwnFolder()
{
    TempStore store;
    // Two clients the service has never seen: both have web id 0.
    const Client other = store.addClient(QStringLiteral("Primo"));
    const Client client = store.addClient(QStringLiteral("Secondo"));
    QVERIFY(client.getDataPath(false).endsWith(QStringLiteral("/_") + QString::number(client.id) + QLatin1Char('/')));
    const QDate d(2024, 5, 6);
    const QList<ScanRecipe> day = dayOf(d);
    for (const ScanRecipe &recipe : day)
        writeScan(client.getDataPath(true), recipe);
    QVERIFY(QDir(other.getDataPath(true)).isEmpty());

    ScanViewerWidget viewer;
    viewer.show();
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, d);
    QCOMPARE(viewer.model->rowCount(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]), 5000);
    for (DayScan *scan : viewer.model->scans())
        QCOMPARE(scan->client.id, client.id);
}

void TestScanViewer::modeButtonsSwitchTheArchive()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Costa"), 96);
    const QDate today = QDate::currentDate();
    const QDate other(2024, 1, 5);
    const QList<ScanRecipe> todays = dayOf(today);
    for (const ScanRecipe &recipe : todays + dayOf(other))
        writeScan(client.getDataPath(true), recipe);

    ScanViewerWidget viewer;
    viewer.resize(640, 640);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.setClient(client);
    viewer.localDates = client.getExamsDateList();
    viewer.setMode(svmLocal, other);
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(other)[0]), 5000);

    // Cloud without any remote exam: no dates, nothing shown.
    QTest::mouseClick(child<QRadioButton>(viewer, "rbRemote"), Qt::LeftButton);
    QCOMPARE(viewer.mode, svmRemote);
    QVERIFY(viewer.model->remote);
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->count(), 0);
    QCOMPARE(viewer.model->rowCount(), 0);
    QCOMPARE(viewer.scanWidget->scanArea->image, nullptr);

    // Back to the local archive, on today's date.
    QTest::mouseClick(child<QRadioButton>(viewer, "rbLocal"), Qt::LeftButton);
    QCOMPARE(viewer.mode, svmLocal);
    QVERIFY(!viewer.model->remote);
    QCOMPARE(child<QComboBox>(viewer, "cbDates")->currentText(), today.toString(QStringLiteral("dd/MM/yyyy")));
    QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, todays[0]), 5000);
}

void TestScanViewer::modelRowsAndRefill()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Fabbri"), 97);
    const QDate d1(2024, 1, 5), d2(2024, 1, 6);
    for (const ScanRecipe &recipe : dayOf(d1) + dayOf(d2))
        writeScan(client.getDataPath(true), recipe);

    DayScansModel model(false);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy loaded(&model, &DayScansModel::dayItemLoaded);
    model.setFileData(client, client.getFileList(d1, QStringLiteral(".jpg")));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.rowCount(model.index(0)), 0);
    QCOMPARE(loaded.count(), 3);
    QCOMPARE(changed.count(), 3);
    DayScan *first = model.data(model.index(0)).value<DayScan *>();
    QCOMPARE(first, model.scanAt(0));
    QCOMPARE(first->fileName, dayOf(d1)[0].jpgName());
    QVERIFY(!model.data(model.index(0), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(0), Qt::UserRole).isValid());

    // A refill replaces the rows; the old scans stay with the model, no longer listed.
    QPointer<DayScan> old = first;
    model.setFileData(client, client.getFileList(d2, QStringLiteral(".jpg")));
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(old);
    QCOMPARE(old->parent(), &model);
    QCOMPARE(model.rowOf(old), -1);
    QCOMPARE(model.scanAt(0)->fileName, dayOf(d2)[0].jpgName());
    model.setFileData(client, {});
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.scanAt(0));
}

void TestScanViewer::captionOfAScanFile()
{
    DayScanItemDelegate delegate(QSize(130, 120), true);
    QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), QModelIndex()), QSize(130, 120));
    QCOMPARE(delegate.captionText(QStringLiteral("Coscia dx-20240105--09-30-15.jpg")), QStringLiteral("Coscia dx [09:30.15]"));
    QCOMPARE(delegate.captionText(QStringLiteral("Vita-20241231--23-05-09.jpg")), QStringLiteral("Vita [23:05.09]"));
    delegate.showTime = false;
    QCOMPARE(delegate.captionText(QStringLiteral("Coscia dx-20240105--09-30-15.jpg")),
             QStringLiteral("Coscia dx-20240105--09-30-15.jpg"));

    // What the strip paints under the thumbnail is that caption.
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Marino"), 98);
    ScanRecipe recipe{QStringLiteral("Coscia dx"), QDateTime(QDate(2024, 1, 5), QTime(9, 30, 15)), 30, QColor(200, 30, 30)};
    writeScan(client.getDataPath(true), recipe);
    DayScansModel model(false);
    model.setFileData(client, {recipe.jpgName()});
    QVERIFY(model.scanAt(0)->image);

    DayScanItemDelegate painter(QSize(130, 120), true);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 130, 120);
    option.palette = QPalette(Qt::white);
    QImage cell(130, 120, QImage::Format_RGB32);
    cell.fill(Qt::gray);
    {
        QPainter p(&cell);
        option.font = p.font();
        painter.paint(&p, option, model.index(0));
    }
    QImage expected(130, 120, QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter p(&expected);
        p.setFont(option.font);
        p.setPen(Qt::black);
        p.drawText(DayScanItemDelegate::captionRect(option.rect), Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Coscia dx [09:30.15]"));
    }
    const QRect band = DayScanItemDelegate::captionRect(option.rect);
    QCOMPARE(cell.copy(band), expected.copy(band));
    // And not some other text.
    QImage wrong(130, 120, QImage::Format_RGB32);
    wrong.fill(Qt::white);
    {
        QPainter p(&wrong);
        p.setFont(option.font);
        p.drawText(band, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Coscia dx [09:30:15]"));
    }
    QVERIFY(cell.copy(band) != wrong.copy(band));
}

void TestScanViewer::thumbnailPainting()
{
    TempStore store;
    const Client client = store.addClient(QStringLiteral("Greco"), 99);
    ScanRecipe recipe{QStringLiteral("Addome"), QDateTime(QDate(2024, 1, 5), QTime(9, 0, 0)), 30, QColor(20, 180, 40)};
    writeScan(client.getDataPath(true), recipe);

    DayScansModel model(false);
    model.setFileData(client, {recipe.jpgName(), QStringLiteral("Vita-20240105--10-00-00.jpg")});
    QVERIFY(model.scanAt(0)->image);
    QVERIFY(!model.scanAt(1)->image);  // no such file: it keeps loading

    DayScanItemDelegate delegate(QSize(130, 120), true);
    QStyleOptionViewItem option;
    option.palette = QPalette(Qt::white);
    option.palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
    const auto paintCell = [&](int row, bool selected) {
        QImage cell(130, 120, QImage::Format_RGB32);
        cell.fill(Qt::magenta);
        option.rect = cell.rect();
        option.state = selected ? QStyle::State_Selected : QStyle::State_None;
        QPainter p(&cell);
        option.font = p.font();
        delegate.paint(&p, option, model.index(row));
        return cell;
    };

    // The picture fills (120 x 82) keeping its 5:4 shape, from (5, 4).
    const QImage shown = paintCell(0, false);
    const QRect picture = delegate.pictureRect(shown.rect(), QSize(500, 400));
    QCOMPARE(picture, QRect(5, 4, 102, 82));
    QVERIFY(near(shown.pixel(picture.center()), recipe.colour));
    QVERIFY(near(shown.pixel(picture.topLeft() + QPoint(1, 1)), recipe.colour));
    QCOMPARE(shown.pixel(2, 2), qRgb(255, 255, 255));
    QCOMPARE(shown.pixel(picture.right() + 4, picture.center().y()), qRgb(255, 255, 255));
    // Selected: the highlight behind it.
    QCOMPARE(paintCell(0, true).pixel(2, 2), qRgb(0, 0, 200));

    // Not arrived: no picture, a busy sign in the middle.
    const QImage waiting = paintCell(1, false);
    QVERIFY(!near(waiting.pixel(picture.center()), recipe.colour));
    int ink = 0;
    for (int y = 30; y < 75; ++y)
        for (int x = 5; x < 125; ++x)
            ink += qGray(waiting.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY2(ink > 20, qPrintable(QString::number(ink)));

    // A row without a scan is left to the standard painting, with a log line.
    QStandardItemModel plain;
    plain.appendRow(new QStandardItem(QStringLiteral("x")));
    ScanLog log;
    QImage cell(130, 120, QImage::Format_RGB32);
    QPainter p(&cell);
    option.rect = cell.rect();
    delegate.paint(&p, option, plain.index(0, 0));
    QVERIFY(log.has(QStringLiteral("no data, ::paint")));
}

CALVESTRA_TEST_MAIN(TestScanViewer)
#include "tst_scanviewer.moc"
