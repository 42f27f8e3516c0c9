// The archive viewers on the local archive and the reference service's (127.0.0.1), the
// comparison, and the exam archive page with its slide show, driven through the widgets.
#include "TestMain.h"

#include "LogCatcher.h"
#include "ReferenceService.h"
#include "ServiceSession.h"

#include "scan/ArchiveTabWidget.h"
#include "scan/CompareScansDlg.h"
#include "scan/DayScan.h"
#include "scan/DayScanItemDelegate.h"
#include "scan/DayScansModel.h"
#include "scan/ScanArea.h"
#include "scan/ScanViewerWidget.h"
#include "scan/ScanWidget.h"
#include "scan/SlideShowDlg.h"
#include "scan/SlideShowWidget.h"
#include "store/Exam.h"

#include <QComboBox>
#include <QDataStream>
#include <QJsonArray>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStandardItemModel>

namespace {

// A picture in a solid colour, scan data with its own number of lines: tells scans apart.
struct ScanRecipe
{
    QString zone;
    QDateTime when;
    int lines = 40;
    QColor colour = Qt::red;
    bool marks = false;
    QString baseName() const { return zone + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd--hh-mm-ss")); }
    QString jpgName() const { return baseName() + QStringLiteral(".jpg"); }
};

QList<ScanRecipe> dayOf(const QDate &date, int firstLines = 31)
{
    return {{QStringLiteral("Addome"), QDateTime(date, QTime(9, 10, 0)), firstLines, QColor(220, 30, 30)},
            {QStringLiteral("Coscia dx"), QDateTime(date, QTime(9, 30, 15)), firstLines + 1, QColor(30, 200, 40), true},
            {QStringLiteral("Vita"), QDateTime(date, QTime(9, 45, 5)), firstLines + 2, QColor(40, 60, 220)}};
}

// base.jpg, base.d2d and, with marks, base.json, as the scan widget writes them.
ScanFile writeScan(const Client &client, const ScanRecipe &recipe)
{
    const QString base = client.getDataPath(true) + recipe.baseName();
    QImage picture(500, 400, QImage::Format_RGB32);
    picture.fill(recipe.colour);
    picture.save(base + QStringLiteral(".jpg"), "JPG", 95);
    QFile d2d(base + QStringLiteral(".d2d"));
    QByteArray samples(recipe.lines * 946, 0);
    for (int i = 0; i < samples.size(); ++i)
        samples[i] = char((i % 946) * 255 / 946);
    if (d2d.open(QIODevice::WriteOnly)) {
        QDataStream out(&d2d);
        out.setByteOrder(QDataStream::LittleEndian);
        out << qint32(946) << qint32(1) << samples;
    }
    QFile json(base + QStringLiteral(".json"));
    if (recipe.marks && json.open(QIODevice::WriteOnly))
        json.write(QStringLiteral("{\"linemarks\":[%1,%2]}").arg(recipe.lines / 3).arg(recipe.lines / 2).toUtf8());
    return ScanFile::createFromFilePath(base + QStringLiteral(".jpg"));
}

bool near(QRgb a, const QColor &b) { return qAbs(qRed(a) - b.red()) + qAbs(qGreen(a) - b.green()) + qAbs(qBlue(a) - b.blue()) < 60; }

Client addClient(const QString &surname, int webId = 0)
{
    Client c;
    c.surname = surname;
    c.birthday = QDate(1980, 6, 1);
    c.web_id = webId;
    c.saveToDB(false, false);
    return c;
}

// Uploaded exams leave no files behind: what a test then shows came from the service.
Client uploadClient(HttpService *http, const QString &surname)
{
    Client client = addClient(surname);
    QSignalSpy done(http, &HttpService::onUploadClientDone);
    http->saveClient(&client);
    done.wait(20000);
    client.loadFromDB(client.id);
    return client;
}

bool uploadExam(HttpService *http, const Client &client, const QDate &date, const QList<ScanRecipe> &recipes)
{
    QList<ScanFile> files;
    for (const ScanRecipe &recipe : recipes)
        files << writeScan(client, recipe);
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = date;
    QSignalSpy done(http, &HttpService::onUploadExamDone);
    QSignalSpy failed(http, &HttpService::onUploadExamFail);
    http->uploadExam(&exam, &files);
    const bool ok = QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 30000) && !done.isEmpty();
    QDir(client.getDataPath(false)).removeRecursively();
    return ok;
}

template <typename T>
T *child(const QObject &parent, const char *name) { return parent.findChild<T *>(QLatin1String(name)); }

bool shows(const ScanViewerWidget &viewer, const ScanRecipe &recipe)
{
    return viewer.currentScan && viewer.currentScan->fileName == recipe.jpgName() && viewer.scanWidget->commThread->lineCount == recipe.lines
        && viewer.scanWidget->scanArea->image && !viewer.scanWidget->scanArea->loading;
}

bool allPictures(const DayScansModel &model)
{
    const QList<DayScan *> scans = model.scans();
    return !scans.isEmpty() && std::all_of(scans.begin(), scans.end(), [](DayScan *scan) { return scan->image != nullptr; });
}

bool isGrey(const QImage *image) { return *image == image->convertToFormat(QImage::Format_Grayscale8).convertToFormat(image->format()); }

void clickRow(QListView *view, int row) { QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center()); }

struct Recorder : QObject
{
    explicit Recorder(ScanViewerWidget &viewer)
    {
        VXCommThread *holder = viewer.scanWidget->commThread.get();
        connect(holder, &VXCommThread::onSetDeepness, this, [this, holder] { loads << holder->lineCount; });
        connect(child<QListView>(viewer, "lvScans")->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, &viewer](const QModelIndex &index) { picked << (viewer.model->scanAt(index.row()) ? viewer.model->scanAt(index.row())->fileName : QString()); });
    }
    QList<int> loads;
    QStringList picked;
};

}  // namespace

class TestScanViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (ReferenceService::executable().isEmpty())
            QSKIP("the reference service is not built");
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    }

    void init() { QVERIFY((m_service.isRunning() || m_service.restart()) && m_service.resetHooks()); }

    void localArchive()
    {
        ServiceSession session(m_service, 7100);
        // Two clients the service has never seen (both web id 0): each has its own folder.
        const Client other = addClient(QStringLiteral("Primo"));
        const Client client = addClient(QStringLiteral("Secondo"));
        const QDate d1(2024, 1, 3), d2(2024, 1, 5), noPicture(2024, 3, 2);
        for (const ScanRecipe &recipe : dayOf(d1) + dayOf(d2))
            writeScan(client, recipe);
        const ScanRecipe orphan{QStringLiteral("Vita"), QDateTime(noPicture, QTime(8, 0, 0)), 20};
        const QString missing = client.getDataPath(false) + dayOf(d2)[2].baseName() + QStringLiteral(".d2d");
        QVERIFY(QFile::remove(writeScan(client, orphan).jpgFile) && QFile::remove(missing) && QDir(other.getDataPath(true)).isEmpty());
        ScanViewerWidget viewer;
        Recorder recorder(viewer);
        viewer.show();
        viewer.setClient(client);
        viewer.localDates = client.getExamsDateList() << noPicture;  // a day with scan data, no picture
        viewer.defaultName = QStringLiteral("Vita-20230101--10-00-00");  // of another day: the first
        viewer.setMode(svmLocal, QDate(2030, 1, 1));
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QVERIFY(dates->count() == 3 && dates->itemText(0) == QStringLiteral("03/01/2024") && dates->currentIndex() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d1)[0]), 10000);
        for (DayScan *scan : viewer.model->scans())
            QVERIFY(scan->image && scan->client.id == client.id);
        QTest::keyClick(dates, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[0]) && viewer.model->scanAt(2)->fileName == dayOf(d2)[2].jpgName(), 10000);
        QListView *strip = child<QListView>(viewer, "lvScans");
        clickRow(strip, 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[1]), 10000);
        QVERIFY(viewer.scanWidget->scanArea->analysis.linemarks == QList<int>({dayOf(d2)[1].lines / 3, dayOf(d2)[1].lines / 2}));
        QVERIFY(child<QLabel>(viewer, "lbScanCaption")->text() == dayOf(d2)[1].baseName() && recorder.loads == QList<int>({31, 31, 32}));
        // A scan without its data shows nothing, and no display change brings another back.
        LogCatcher log("calvestra.scan");
        clickRow(strip, 2);
        QVERIFY(log.has(QStringLiteral("error d2dLoad : ") + missing) && child<QLabel>(viewer, "lbScanCaption")->text() == dayOf(d2)[2].baseName());
        viewer.scanWidget->doSwitchBN(true);
        viewer.scanWidget->performAutoAdjust(false);
        QVERIFY(!viewer.scanWidget->scanArea->image && !viewer.scanWidget->scanArea->loading);
        clickRow(strip, 0);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[0]) && viewer.scanWidget->scanArea->analysis.linemarks.isEmpty(), 10000);
        viewer.selectImage(3);
        QVERIFY(log.has(QStringLiteral("Index not found in dayScans (3)")) && child<QLabel>(viewer, "lbScanCaption")->text().isEmpty());
        // A day whose scan has no picture: nothing listed, nothing shown.
        QTest::keyClick(dates, Qt::Key_Down);
        QVERIFY(viewer.model->rowCount() == 0 && !viewer.currentScan && child<QLabel>(viewer, "lbScanCaption")->text() == QStringLiteral("- - -"));
        viewer.scanWidget->doSwitchBN(false);
        QVERIFY(!viewer.scanWidget->scanArea->image && viewer.scanWidget->commThread->lineCount == 0);
        // The cloud, without any exam listed: no dates, nothing shown; back to the local one.
        QTest::mouseClick(child<QRadioButton>(viewer, "rbRemote"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmRemote && viewer.model->remote && dates->count() == 0 && !viewer.scanWidget->scanArea->image);
        QTest::mouseClick(child<QRadioButton>(viewer, "rbLocal"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmLocal && !viewer.model->remote && dates->count() == 3);
    }

    // Scan data cut short shows its complete lines and says so; without one, nothing.
    void scanDataCutShort_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("lines");
        QTest::newRow("inside a line") << 12 + 20 * 946 + 500 << 20;
        QTest::newRow("at the end of a line") << 12 + 7 * 946 << 7;
        QTest::newRow("inside the first line") << 12 + 900 << 0;
    }
    void scanDataCutShort()
    {
        QFETCH(int, bytes);
        QFETCH(int, lines);
        ServiceSession session(m_service, 7107);
        const Client client = addClient(QStringLiteral("Tronchi"));
        const ScanRecipe recipe{QStringLiteral("Vita"), QDateTime(QDate(2024, 4, 2), QTime(10, 0, 0)), 31};
        QVERIFY(QFile::resize(writeScan(client, recipe).d2dFile, bytes));
        ScanViewerWidget viewer;
        viewer.show();
        viewer.setClient(client);
        viewer.localDates = {recipe.when.date()};
        viewer.setMode(svmLocal, recipe.when.date());
        QTRY_VERIFY_WITH_TIMEOUT(viewer.currentScan && !viewer.scanWidget->scanArea->loading, 10000);
        QVERIFY(viewer.scanWidget->commThread->lineCount == lines && (viewer.scanWidget->scanArea->image != nullptr) == (lines > 0));
        const QString notice = QStringLiteral("  Scansione incompleta: mostrate solo le righe complete (%1).").arg(lines);
        QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), recipe.baseName() + (lines ? notice : QString()));
    }

    // A picture that cannot be read is painted as such, not as one still loading.
    void unreadablePicture()
    {
        ServiceSession session(m_service, 7108);
        const Client client = addClient(QStringLiteral("Guasti"));
        const ScanRecipe recipe{QStringLiteral("Vita"), QDateTime(QDate(2024, 4, 3), QTime(10, 0, 0)), 31};
        QFile picture(writeScan(client, recipe).jpgFile);
        QVERIFY(picture.open(QIODevice::WriteOnly | QIODevice::Truncate) && picture.write("no picture") == 10);
        picture.close();
        ScanViewerWidget viewer;
        viewer.setClient(client);
        viewer.localDates = {recipe.when.date()};
        viewer.setMode(svmLocal, recipe.when.date());
        DayScan waiting(client, recipe.jpgName(), false);
        QStandardItemModel pending;
        pending.appendRow(new QStandardItem);
        pending.setData(pending.index(0, 0), QVariant::fromValue(&waiting));
        const auto paint = [&](const QModelIndex &index) {
            QImage cell(viewer.delegate->cellSize, QImage::Format_RGB32);
            QPainter painter(&cell);
            QStyleOptionViewItem option;
            option.rect = cell.rect();
            viewer.delegate->paint(&painter, option, index);
            return cell;
        };
        QVERIFY(viewer.model->rowCount() == 1 && !viewer.model->scanAt(0)->image);
        QVERIFY(paint(viewer.model->index(0)) != paint(pending.index(0, 0)));
    }

    void cloudDayShownFromTheService()
    {
        ServiceSession session(m_service, 7101);
        const Client client = uploadClient(session.http(), QStringLiteral("Ferri"));
        const QDate d1(2024, 1, 5), d2(2024, 2, 9);
        const QList<ScanRecipe> day = dayOf(d2, 40);
        QVERIFY(client.web_id > 0 && uploadExam(session.http(), client, d1, dayOf(d1, 30)) && uploadExam(session.http(), client, d2, day));
        QVERIFY(QDir(client.getDataPath(true)).entryList(QDir::Files).isEmpty() && m_service.resetHooks());
        ScanViewerWidget viewer;
        openCloud(viewer, session, client, d2);
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QVERIFY(child<QRadioButton>(viewer, "rbRemote")->isChecked() && dates->count() == 2 && dates->currentText() == QStringLiteral("09/02/2024"));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[0]) && allPictures(*viewer.model), 15000);
        for (int row = 0; row < 3; ++row)
            QVERIFY(near(viewer.model->scanAt(row)->image->pixel(250, 200), day[row].colour));
        // One picture request per scan; the scan data of the shown one only, by picture name.
        QStringList pictures = requestedFiles(QStringLiteral("jpg"));
        pictures.sort();
        QVERIFY(pictures == QStringList({day[0].jpgName(), day[1].jpgName(), day[2].jpgName()}) && requestedFiles(QStringLiteral("d2d")) == QStringList{day[0].jpgName()});
        clickRow(child<QListView>(viewer, "lvScans"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 15000);
        QVERIFY(child<QLabel>(viewer, "lbScanCaption")->text() == day[1].baseName() && requestedFiles(QStringLiteral("d2d")).size() == 2);
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
        // The scan data fails at the service: nothing shown; picked again, it comes.
        QVERIFY(m_service.injectFault(QStringLiteral("status500"), QStringLiteral("getUserFile"), 1));
        LogCatcher log("calvestra.scan");
        QSignalSpy loaded(viewer.model->scanAt(1), &DayScan::d2dLoaded);
        viewer.selectImage(1);
        QVERIFY(loaded.wait(15000) && loaded.at(0).at(1).toString().isEmpty() && log.countStartingWith(QStringLiteral("Network request failed: ")) == 1);
        QVERIFY(!viewer.scanWidget->scanArea->image && viewer.scanWidget->commThread->lineCount == 0 && !viewer.scanWidget->scanArea->loading);
        viewer.selectImage(1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 15000);
        // A reply that is no picture gives none.
        QVERIFY(m_service.injectFault(QStringLiteral("nonjson"), QStringLiteral("getUserFile"), 0));
        DayScan scan(client.web_id, day[1].jpgName(), true);
        QSignalSpy pictures(&scan, &DayScan::imageLoaded);
        scan.loadImage();
        QTRY_VERIFY_WITH_TIMEOUT(log.has(QString::number(client.web_id) + ' ' + day[1].jpgName() + " - image load FAILS"), 15000);
        QVERIFY(!scan.image && pictures.isEmpty());
    }

    void slowDownloadsAndQuickPicks()
    {
        ServiceSession session(m_service, 7105);
        const Client client = uploadClient(session.http(), QStringLiteral("Rinaldi"));
        const QDate d1(2024, 1, 5), d2(2024, 1, 12), d3(2024, 1, 19);
        for (const auto &[date, lines] : QList<QPair<QDate, int>>{{d1, 30}, {d2, 50}, {d3, 70}})
            QVERIFY(uploadExam(session.http(), client, date, dayOf(date, lines)));
        ScanViewerWidget viewer;
        Recorder recorder(viewer);
        QVERIFY(m_service.resetHooks() && m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
        openCloud(viewer, session, client, d1);
        // The third thumbnail is picked while it still shows "loading...": every picture
        // comes, the first one's too, and the pick stays.
        QVERIFY(QTest::qWaitForWindowExposed(&viewer) && !viewer.model->scanAt(2)->image);
        clickRow(child<QListView>(viewer, "lvScans"), 2);
        QVERIFY(viewer.currentScan == viewer.model->scanAt(2) && viewer.scanWidget->scanArea->loading);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d1, 30)[2]) && allPictures(*viewer.model), 15000);
        // The first scan's data is on its way when the operator moves on twice: it comes
        // late and changes nothing.
        const ScanRecipe first = dayOf(d1, 30)[0], last = dayOf(d3, 70)[0];
        clickRow(child<QListView>(viewer, "lvScans"), 0);
        QSignalSpy lateData(viewer.model->scanAt(0), &DayScan::d2dLoaded);
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QTest::keyClick(dates, Qt::Key_Down);
        QTest::keyClick(dates, Qt::Key_Down);
        QCOMPARE(dates->currentText(), QStringLiteral("19/01/2024"));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, last), 20000);
        QVERIFY((lateData.count() == 1 || lateData.wait(20000)) && shows(viewer, last) && recorder.loads == QList<int>({32, last.lines}));
        QCOMPARE(recorder.picked.filter(QStringLiteral(".jpg")), QStringList({dayOf(d1, 30)[2].jpgName(), first.jpgName(), last.jpgName()}));
        QCOMPARE(requestedFiles(QStringLiteral("d2d")), QStringList({dayOf(d1, 30)[2].jpgName(), first.jpgName(), last.jpgName()}));
    }

    void comparison()
    {
        ServiceSession session(m_service, 7201);
        const Client client = uploadClient(session.http(), QStringLiteral("Bruno"));
        const QDate d1(2024, 1, 5), d2(2024, 2, 9), local(2024, 3, 1);
        QVERIFY(uploadExam(session.http(), client, d1, dayOf(d1, 30)) && uploadExam(session.http(), client, d2, dayOf(d2, 40)));
        for (const ScanRecipe &recipe : dayOf(local, 60))
            writeScan(client, recipe);
        QVERIFY(m_service.resetHooks());
        CompareScansDlg dialog;
        Client record = client;
        // The scan to show first is a cloud one: the left side waits for the dates; the
        // right side stays on its local archive, on today, no date there, so its first.
        const ScanRecipe wanted = dayOf(d2, 40)[1];
        dialog.init(&record, d2, wanted.baseName(), svmRemote, svmLocal);
        dialog.show();
        ScanViewerWidget &left = *dialog.leftViewer();
        ScanViewerWidget &right = *dialog.rightViewer();
        QVERIFY(child<QRadioButton>(left, "rbRemote")->isChecked() && child<QComboBox>(left, "cbDates")->count() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.cloudDates, QList<QDate>({d1, d2}), 15000);
        QVERIFY(left.cloudDates == dialog.cloudDates && right.cloudDates == dialog.cloudDates);
        QCOMPARE(child<QComboBox>(left, "cbDates")->currentText(), QStringLiteral("09/02/2024"));
        QTRY_VERIFY_WITH_TIMEOUT(shows(left, wanted) && shows(right, dayOf(local, 60)[0]), 15000);
        QVERIFY(child<QRadioButton>(right, "rbLocal")->isChecked() && requestedFiles(QStringLiteral("d2d")) == QStringList{wanted.jpgName()});
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
        QTest::keyClick(depth, Qt::Key_Up);
        QVERIFY(depthsAre(60));
        depth->setValue(75);
        QVERIFY(depthsAre(80));
        // Black and white and the contrast act on both sides, and on a scan picked later.
        QPushButton *bw = child<QPushButton>(dialog, "btBN");
        QPushButton *automatic = child<QPushButton>(dialog, "btAutoAdjust");
        QVERIFY(!isGrey(left.scanWidget->scanArea->image) && !isGrey(right.scanWidget->scanArea->image));
        QTest::mouseClick(bw, Qt::LeftButton);
        QVERIFY(isGrey(left.scanWidget->scanArea->image) && isGrey(right.scanWidget->scanArea->image));
        const QImage before = left.scanWidget->scanArea->image->copy();
        QTest::mouseClick(automatic, Qt::LeftButton);
        QVERIFY(!left.scanWidget->commThread->autoAdjust && !right.scanWidget->commThread->autoAdjust);
        QVERIFY(left.scanWidget->scanArea->image->size() == before.size() && *left.scanWidget->scanArea->image != before);
        // The right side to the cloud too (today is no date there, so the first): its scan
        // comes at the shared depth, in black and white.
        QTest::mouseClick(child<QRadioButton>(right, "rbRemote"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d1, 30)[0]) && shows(left, wanted), 15000);
        QVERIFY(isGrey(right.scanWidget->scanArea->image) && right.scanWidget->scanArea->deepness == 80);
        QTest::mouseClick(bw, Qt::LeftButton);
        QTest::mouseClick(automatic, Qt::LeftButton);
        for (ScanViewerWidget *viewer : {&left, &right})
            QVERIFY(viewer->scanWidget->commThread->autoAdjust && !isGrey(viewer->scanWidget->scanArea->image));
    }

    void archivePageAndItsSlideShow()
    {
        ServiceSession session(m_service, 7301);
        const Client client = uploadClient(session.http(), QStringLiteral("Ferri"));
        const QDate d1(2024, 1, 5), d2(2024, 2, 9);
        QList<ScanRecipe> second;
        for (const char *zone : {"Addome", "Bicipite", "Coscia dx", "Dorso"})
            second << ScanRecipe{zone, QDateTime(d2, QTime(11, int(second.size()), 30)), 30 + int(second.size()), QColor::fromHsv(30 + 70 * int(second.size()), 230, 220)};
        QVERIFY(uploadExam(session.http(), client, d1, dayOf(d1)) && uploadExam(session.http(), client, d2, second));
        ArchiveTabWidget tab;
        tab.resize(1000, 600);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QListWidget *works = child<QListWidget>(tab, "lwWorks");
        QListView *pictures = child<QListView>(tab, "lvWorkScans");
        tab.setClient(client);
        tab.refreshWorks();
        QTRY_COMPARE_WITH_TIMEOUT(works->count(), 2, 15000);
        QVERIFY(works->item(0)->text() == QStringLiteral("05/01/2024") && works->item(1)->text() == QStringLiteral("09/02/2024") && works->currentRow() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 3 && allPictures(*tab.model), 15000);
        QVERIFY(m_service.resetHooks());
        QTest::mouseClick(works->viewport(), Qt::LeftButton, {}, works->visualItemRect(works->item(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 4 && allPictures(*tab.model), 15000);
        for (int row = 0; row < 4; ++row)
            QVERIFY(tab.model->scanAt(row)->fileName == second[row].jpgName() && near(tab.model->scanAt(row)->image->pixel(250, 200), second[row].colour));
        const QRect third = pictures->visualRect(tab.model->index(2));
        QVERIFY(near(pictures->viewport()->grab().toImage().pixel(tab.delegate->pictureRect(third, QSize(500, 400)).center()), second[2].colour));
        QCOMPARE(tab.delegate->captionText(second[2].jpgName()), QStringLiteral("Coscia dx [11:02.30]"));
        // The keyboard on the list goes back to the first exam; each picture asked once.
        QTest::keyClick(works, Qt::Key_Up);
        QTRY_VERIFY_WITH_TIMEOUT(works->currentRow() == 0 && tab.model->rowCount() == 3 && allPictures(*tab.model), 15000);
        QCOMPARE(requestedFiles(QStringLiteral("jpg")).size(), 4 + 3);
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
        seen.clear();
        watch.start(20);
        QTest::mouseDClick(pictures->viewport(), Qt::LeftButton, {}, pictures->viewport()->rect().bottomRight() - QPoint(3, 3));
        watch.stop();
        QVERIFY(seen.isEmpty() && !tab.findChild<SlideShowDlg *>());
        // Another window's request for another client's works leaves the page as it is.
        // A client without web id asks nothing; one without exams empties the list only.
        const Client bare = uploadClient(session.http(), QStringLiteral("Vuoto"));
        const QList<DayScan *> shown = tab.model->scans();
        QSignalSpy replies(session.http(), &HttpService::onGetUserWorks);
        session.http()->getUserWorks(bare.web_id);
        QVERIFY(replies.wait(15000) && works->count() == 2 && tab.model->scans() == shown && m_service.resetHooks());
        tab.setClient(addClient(QStringLiteral("Locale")));
        tab.refreshWorks();
        tab.setClient(bare);
        tab.refreshWorks();
        QVERIFY(replies.wait(15000) && works->count() == 0 && tab.remoteWorks.isEmpty() && tab.model->scans() == shown);
        QCOMPARE(m_service.receivedRequests().size(), 1);
    }

private:
    static void openCloud(ScanViewerWidget &viewer, ServiceSession &session, const Client &client, const QDate &date)
    {
        QSignalSpy works(session.http(), &HttpService::onGetUserWorks);
        session.http()->getUserWorks(client.web_id);
        QVERIFY(works.wait(15000));
        viewer.resize(640, 640);
        viewer.show();
        viewer.setClient(client);
        viewer.model->remoteExams = works.at(0).at(0).value<QList<Exam>>();
        for (const Exam &exam : std::as_const(viewer.model->remoteExams))
            viewer.cloudDates << exam.examDate;
        viewer.setMode(svmRemote, date);
    }

    // The files of one kind ("jpg", "d2d"; any when empty) the service has answered for.
    QStringList requestedFiles(const QString &kind = QString()) const
    {
        QStringList names;
        for (const QJsonValue &request : m_service.receivedRequests()) {
            QMap<QString, QString> fields;
            for (const QJsonValue &field : request[QStringLiteral("fields")].toArray())
                fields.insert(field[0].toString(), field[1].toString());
            if (request[QStringLiteral("kind")].toString() == QStringLiteral("getUserFile") && (kind.isEmpty() || fields.value(QStringLiteral("kind")) == kind))
                names << fields.value(QStringLiteral("filename"));
        }
        return names;
    }

    ReferenceService m_service;
};

CALVESTRA_TEST_MAIN(TestScanViewer)
#include "tst_scanviewer.moc"
