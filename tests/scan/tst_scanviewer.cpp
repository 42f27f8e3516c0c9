// The archive viewer on the local archive and on the reference service's (127.0.0.1),
// its thumbnails, the comparison of two viewers with their shared controls, and the
// exam archive page with its slide show: real scan groups, slow and failing downloads,
// late replies for dates no longer shown, driven through the widgets.
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

namespace {

// A picture in a solid colour and scan data with its own number of lines, so that a
// test can tell which scan is shown.
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

// Three scans of a day in name order, the second with marks.
QList<ScanRecipe> dayOf(const QDate &date, int firstLines = 31)
{
    return {{QStringLiteral("Addome"), QDateTime(date, QTime(9, 10, 0)), firstLines, QColor(220, 30, 30)},
            {QStringLiteral("Coscia dx"), QDateTime(date, QTime(9, 30, 15)), firstLines + 1, QColor(30, 200, 40), true},
            {QStringLiteral("Vita"), QDateTime(date, QTime(9, 45, 5)), firstLines + 2, QColor(40, 60, 220)}};
}

QStringList jpgNames(const QList<ScanRecipe> &recipes)
{
    QStringList names;
    for (const ScanRecipe &recipe : recipes)
        names << recipe.jpgName();
    return names;
}

// base.jpg, base.d2d and, with marks, base.json (marks at a third and half the lines),
// written as the scan widget writes them.
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

// Colour closeness after JPEG compression.
bool near(QRgb a, const QColor &b) { return qAbs(qRed(a) - b.red()) + qAbs(qGreen(a) - b.green()) + qAbs(qBlue(a) - b.blue()) < 60; }

// A client stored locally only; with a web id it lives in the folder named after it.
Client addClient(const QString &surname, int webId = 0)
{
    Client c;
    c.surname = surname;
    c.birthday = QDate(1980, 6, 1);
    c.web_id = webId;
    c.saveToDB(false, false);
    return c;
}

// A client sent to the service, and exams of it uploaded from files written and then
// removed again, so that whatever a test shows of them can only come from the service.
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
    for (const ScanFile &file : files) {
        for (const QString &path : {file.jpgFile, file.d2dFile, file.jsonFile})
            QFile::remove(path);
    }
    return ok;
}

// A child widget by its object name; a missing one ends the run at once.
template <typename T>
T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// The viewer shows that scan loaded: its lines and a picture.
bool shows(const ScanViewerWidget &viewer, const ScanRecipe &recipe)
{
    return viewer.currentScan && viewer.currentScan->fileName == recipe.jpgName() && viewer.scanWidget->commThread->lineCount == recipe.lines
        && viewer.scanWidget->scanArea->image && !viewer.scanWidget->scanArea->loading;
}

bool allPictures(const DayScansModel &model)
{
    for (DayScan *scan : model.scans()) {
        if (!scan->image)
            return false;
    }
    return model.rowCount() > 0;
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

void clickRow(QListView *view, int row)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
}

// Every scan the viewer's scan widget loads, by its number of lines; the rows it picks.
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
        const QDate d1(2024, 1, 3), d2(2024, 1, 5), d3(2024, 2, 10), noPicture(2024, 3, 2);
        for (const QDate &d : {d1, d2, d3}) {
            for (const ScanRecipe &recipe : dayOf(d))
                writeScan(client, recipe);
        }
        const ScanRecipe orphan{QStringLiteral("Vita"), QDateTime(noPicture, QTime(8, 0, 0)), 20};
        const QString missing = client.getDataPath(false) + dayOf(d3)[2].baseName() + QStringLiteral(".d2d");
        QVERIFY(QFile::remove(writeScan(client, orphan).jpgFile) && QFile::remove(missing) && QDir(other.getDataPath(true)).isEmpty());
        ScanViewerWidget viewer;
        Recorder recorder(viewer);
        viewer.show();
        viewer.setClient(client);
        viewer.localDates = client.getExamsDateList() << noPicture;  // a day with scan data, no picture
        // The default is the last row: the other pictures come before its own.
        viewer.defaultName = dayOf(d2)[2].baseName();
        viewer.setMode(svmLocal, d2);
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QVERIFY(dates->count() == 4 && dates->itemText(0) == QStringLiteral("03/01/2024") && dates->currentIndex() == 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[2]), 10000);
        QVERIFY(recorder.picked == QStringList{dayOf(d2)[2].jpgName()} && recorder.loads == QList<int>{dayOf(d2)[2].lines});
        for (DayScan *scan : viewer.model->scans())
            QVERIFY(scan->image && scan->client.id == client.id);
        // A click loads that scan, with its marks or without any.
        QListView *strip = child<QListView>(viewer, "lvScans");
        clickRow(strip, 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[1]), 10000);
        QVERIFY(viewer.scanWidget->scanArea->analysis.linemarks == QList<int>({dayOf(d2)[1].lines / 3, dayOf(d2)[1].lines / 2}));
        QCOMPARE(child<QLabel>(viewer, "lbScanCaption")->text(), dayOf(d2)[1].baseName());
        clickRow(strip, 0);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d2)[0]) && viewer.scanWidget->scanArea->analysis.linemarks.isEmpty(), 10000);
        // Another date from the keyboard: its own scans, its first shown.
        QTest::keyClick(dates, Qt::Key_Down);
        QCOMPARE(rowNamesOf(*viewer.model), jpgNames(dayOf(d3)));
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, dayOf(d3)[0]), 10000);
        // A scan without its data shows nothing, and no display change brings another back.
        LogCatcher log("calvestra.scan");
        clickRow(strip, 2);
        QVERIFY(log.has(QStringLiteral("error d2dLoad : ") + missing) && child<QLabel>(viewer, "lbScanCaption")->text() == dayOf(d3)[2].baseName());
        viewer.scanWidget->doSwitchBN(true);
        viewer.scanWidget->performAutoAdjust(false);
        QVERIFY(!viewer.scanWidget->scanArea->image && !viewer.scanWidget->scanArea->loading);
        viewer.selectImage(3);
        QVERIFY(log.has(QStringLiteral("Index not found in dayScans (3)")) && child<QLabel>(viewer, "lbScanCaption")->text().isEmpty());
        // A day whose scan has no picture: nothing listed, nothing shown.
        QTest::keyClick(dates, Qt::Key_Down);
        QVERIFY(viewer.model->rowCount() == 0 && !viewer.currentScan && child<QLabel>(viewer, "lbScanCaption")->text() == QStringLiteral("- - -"));
        viewer.scanWidget->doSwitchBN(false);
        QVERIFY(!viewer.scanWidget->scanArea->image && viewer.scanWidget->commThread->lineCount == 0);
        // A date not listed, or a default of another day: the first.
        viewer.defaultName = QStringLiteral("Vita-20230101--10-00-00");
        viewer.setDates(viewer.localDates, QDate(2030, 1, 1));
        QTRY_VERIFY_WITH_TIMEOUT(dates->currentIndex() == 0 && shows(viewer, dayOf(d1)[0]), 10000);
        // The cloud, without any exam listed: no dates, nothing shown; back to the local one.
        QTest::mouseClick(child<QRadioButton>(viewer, "rbRemote"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmRemote && viewer.model->remote && dates->count() == 0 && !viewer.scanWidget->scanArea->image);
        QTest::mouseClick(child<QRadioButton>(viewer, "rbLocal"), Qt::LeftButton);
        QVERIFY(viewer.mode == svmLocal && !viewer.model->remote && dates->count() == 4);
    }

    void thumbnailCell()
    {
        ServiceSession session(m_service, 7109);
        const Client client = addClient(QStringLiteral("Greco"), 99);
        const ScanRecipe recipe = dayOf(QDate(2024, 1, 5))[1];
        writeScan(client, recipe);
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
        const auto ink = [](const QImage &img, const QRect &area) {
            int n = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    n += qGray(img.pixel(x, y)) < 128;
            return n;
        };
        // The picture keeps its 5:4 shape from (5, 4) on white, the caption under it; a
        // picture not there yet is a busy sign.
        const QImage shown = paintCell(0, false);
        const QRect picture = delegate.pictureRect(shown.rect(), QSize(500, 400));
        QVERIFY(picture == QRect(5, 4, 102, 82) && near(shown.pixel(picture.center()), recipe.colour) && near(shown.pixel(6, 5), recipe.colour));
        QVERIFY(shown.pixel(2, 2) == qRgb(255, 255, 255) && shown.pixel(picture.right() + 4, 40) == qRgb(255, 255, 255));
        QVERIFY(ink(shown, DayScanItemDelegate::captionRect(option.rect)) > 30 && paintCell(0, true).pixel(2, 2) == qRgb(0, 0, 200));
        const QImage waiting = paintCell(1, false);
        QVERIFY(!near(waiting.pixel(picture.center()), recipe.colour) && ink(waiting, QRect(5, 30, 120, 45)) > 20);
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
        QVERIFY(pictures == jpgNames(day) && requestedFiles(QStringLiteral("d2d")) == QStringList{day[0].jpgName()});
        clickRow(child<QListView>(viewer, "lvScans"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[1]), 15000);
        QVERIFY(child<QLabel>(viewer, "lbScanCaption")->text() == day[1].baseName() && requestedFiles(QStringLiteral("d2d")).size() == 2);
    }

    void pickedBeforeThePicturesArrive()
    {
        ServiceSession session(m_service, 7108);
        const Client client = uploadClient(session.http(), QStringLiteral("Moretti"));
        const QDate d(2024, 6, 1);
        const QList<ScanRecipe> day = dayOf(d, 30);
        QVERIFY(uploadExam(session.http(), client, d, day));
        ScanViewerWidget viewer;
        Recorder recorder(viewer);
        QVERIFY(m_service.resetHooks() && m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
        openCloud(viewer, session, client, d);
        QVERIFY(QTest::qWaitForWindowExposed(&viewer) && !viewer.model->scanAt(2)->image);
        // The third thumbnail is picked while it still shows "loading..."; every picture
        // comes, the first one's too, and the pick stays.
        clickRow(child<QListView>(viewer, "lvScans"), 2);
        QVERIFY(viewer.currentScan == viewer.model->scanAt(2) && viewer.scanWidget->scanArea->loading);
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, day[2]) && allPictures(*viewer.model), 15000);
        QVERIFY(recorder.loads == QList<int>{day[2].lines} && requestedFiles(QStringLiteral("d2d")) == QStringList{day[2].jpgName()});
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
        // Pictures: a failing service, a reply that is no picture, a file the service lacks.
        const QList<std::tuple<QString, QString, QString>> cases{
            {QStringLiteral("status500"), day[0].jpgName(), QStringLiteral("error reply: ")},
            {QStringLiteral("nonjson"), day[1].jpgName(), QString::number(client.web_id) + ' ' + day[1].jpgName() + QStringLiteral(" - image load FAILS")},
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
        Recorder recorder(viewer);
        QVERIFY(m_service.resetHooks() && m_service.injectFault(QStringLiteral("delay:500"), QStringLiteral("getUserFile"), 0));
        openCloud(viewer, session, client, d1);
        // The first date's first scan data is on its way when the operator moves on twice.
        QTRY_VERIFY_WITH_TIMEOUT(viewer.currentScan && viewer.scanWidget->scanArea->loading, 15000);
        QSignalSpy lateData(viewer.currentScan.data(), &DayScan::d2dLoaded);
        QComboBox *dates = child<QComboBox>(viewer, "cbDates");
        QTest::keyClick(dates, Qt::Key_Down);
        QTest::keyClick(dates, Qt::Key_Down);
        QCOMPARE(dates->currentText(), QStringLiteral("19/01/2024"));
        const ScanRecipe first = dayOf(d1, 30)[0], last = dayOf(d3, 70)[0];
        QTRY_VERIFY_WITH_TIMEOUT(shows(viewer, last), 20000);
        // The late scan data of the first date comes, and changes nothing.
        QVERIFY((lateData.count() == 1 || lateData.wait(20000)) && shows(viewer, last) && recorder.loads == QList<int>{last.lines});
        QCOMPARE(recorder.picked.filter(QStringLiteral(".jpg")), QStringList({first.jpgName(), last.jpgName()}));
        QCOMPARE(requestedFiles(QStringLiteral("d2d")), QStringList({first.jpgName(), last.jpgName()}));
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
        const QImage before = left.scanWidget->scanArea->image->copy();
        QTest::mouseClick(automatic, Qt::LeftButton);
        QVERIFY(!left.scanWidget->commThread->autoAdjust && !right.scanWidget->commThread->autoAdjust);
        QVERIFY(left.scanWidget->scanArea->image->size() == before.size() && *left.scanWidget->scanArea->image != before);
        // The right side to the cloud too: today is no date there, so the first.
        QTest::mouseClick(child<QRadioButton>(right, "rbRemote"), Qt::LeftButton);
        QCOMPARE(child<QComboBox>(right, "cbDates")->currentText(), QStringLiteral("05/01/2024"));
        QTRY_VERIFY_WITH_TIMEOUT(shows(right, dayOf(d1, 30)[0]), 15000);
        QVERIFY(isGrey(right.scanWidget->scanArea->image) && right.scanWidget->scanArea->deepness == 80 && shows(left, wanted));
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
        // The exams by date, the first current with its pictures.
        QTRY_COMPARE_WITH_TIMEOUT(works->count(), 2, 15000);
        QVERIFY(works->item(0)->text() == QStringLiteral("05/01/2024") && works->item(1)->text() == QStringLiteral("09/02/2024") && works->currentRow() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 3 && allPictures(*tab.model), 15000);
        // A click on the second exam: its four pictures, on screen in their cells.
        QVERIFY(m_service.resetHooks());
        QTest::mouseClick(works->viewport(), Qt::LeftButton, {}, works->visualItemRect(works->item(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(tab.model->rowCount() == 4 && allPictures(*tab.model), 15000);
        for (int row = 0; row < 4; ++row)
            QVERIFY(tab.model->scanAt(row)->fileName == second[row].jpgName() && near(tab.model->scanAt(row)->image->pixel(250, 200), second[row].colour));
        const QRect third = pictures->visualRect(tab.model->index(2));
        QVERIFY(near(pictures->viewport()->grab().toImage().pixel(tab.delegate->pictureRect(third, QSize(500, 400)).center()), second[2].colour));
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
        // Beside the pictures a double click opens nothing.
        seen.clear();
        watch.start(20);
        QTest::mouseDClick(pictures->viewport(), Qt::LeftButton, {}, pictures->viewport()->rect().bottomRight() - QPoint(3, 3));
        watch.stop();
        QVERIFY(seen.isEmpty() && !tab.findChild<SlideShowDlg *>());
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
        QVERIFY(replies.wait(15000) && replies.last().at(0).value<QList<Exam>>().isEmpty() && works->count() == 0);
        QVERIFY(tab.remoteWorks.isEmpty() && tab.model->scans() == shown && m_service.receivedRequests().size() == 1);
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

    static QStringList rowNamesOf(const DayScansModel &model)
    {
        QStringList names;
        for (DayScan *scan : model.scans())
            names << scan->fileName;
        return names;
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
