#include "scan/ScanViewerWidget.h"

#include "scan/ui_ScanViewerWidget.h"

#include "scan/DayScan.h"
#include "scan/DayScanItemDelegate.h"
#include "scan/DayScansModel.h"
#include "scan/ScanLog.h"
#include "scan/ScanWidget.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QSignalBlocker>

#include <exception>

namespace {

const QString kDateFormat = QStringLiteral("dd/MM/yyyy");
const QString kNoCaption = QStringLiteral("- - -");

}  // namespace

ScanViewerWidget::ScanViewerWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ScanViewerWidget>())
{
    ui->setupUi(this);
    connect(ui->cbDates, &QComboBox::currentIndexChanged, this, &ScanViewerWidget::dateChanged);

    model = new DayScansModel(false, this);
    delegate = new DayScanItemDelegate(QSize(130, 120), true, this);
    ui->lvScans->setModel(model);
    ui->lvScans->setItemDelegate(delegate);
    ui->lvScans->setGridSize(delegate->cellSize);

    scanWidget = new ScanWidget(this, swmViewer);
    scanWidget->resize(width(), 400);
    scanWidget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->mainLayout->insertWidget(1, scanWidget, 1);

    connect(ui->lvScans, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            selectImage(index.row());
    });
    connect(ui->rbLocal, &QRadioButton::clicked, this, [this] { setMode(svmLocal, QDate::currentDate()); });
    connect(ui->rbRemote, &QRadioButton::clicked, this, [this] { setMode(svmRemote, QDate::currentDate()); });
    connect(model, &DayScansModel::dayItemLoaded, this, &ScanViewerWidget::itemReady);
}

ScanViewerWidget::~ScanViewerWidget()
{
    // The model and its scans go after this body; nothing they say matters any more.
    m_busy = true;
}

void ScanViewerWidget::setClient(const Client &client)
{
    m_client = client;
}

void ScanViewerWidget::dropShownScan()
{
    // The scan widget's holder keeps the last scan loaded; drop it, so that a contrast
    // or black-and-white change cannot bring back a scan that is no longer picked.
    scanWidget->commThread->scanData.clear();
    scanWidget->commThread->lineCount = 0;
    scanWidget->clear();
}

void ScanViewerWidget::clearScan()
{
    currentScan = nullptr;
    dropShownScan();
    scanWidget->endLoading();
    ui->lbScanCaption->setText(kNoCaption);
}

void ScanViewerWidget::setMode(ScanViewerMode newMode, const QDate &date)
{
    mode = newMode;
    m_switching = true;
    model->setFileData(m_client, {});
    ui->lvScans->reset();
    clearScan();
    const QSignalBlocker blocker(ui->cbDates);
    (mode == svmRemote ? ui->rbRemote : ui->rbLocal)->setChecked(true);
    model->remote = mode == svmRemote;
    setDates(mode == svmRemote ? cloudDates : localDates, date);
}

void ScanViewerWidget::setDates(const QList<QDate> &dates, const QDate &current)
{
    {
        // One listing for the date finally chosen, not one per item added.
        const QSignalBlocker blocker(ui->cbDates);
        m_shownDates.clear();
        ui->cbDates->clear();
        const QString wanted = current.toString(kDateFormat);
        int selected = -1;
        for (int k = 0; k < dates.size(); ++k) {
            // A null date comes only from a malformed file name: nothing to list for it.
            if (!dates.at(k).isValid())
                continue;
            const QString text = dates.at(k).toString(kDateFormat);
            if (selected < 0 && text == wanted)
                selected = ui->cbDates->count();
            ui->cbDates->addItem(text, k);
            m_shownDates << dates.at(k);
        }
        if (selected < 0 && ui->cbDates->count() > 0)
            selected = 0;
        ui->cbDates->setCurrentIndex(selected);
    }
    dateChanged(ui->cbDates->currentIndex());
}

void ScanViewerWidget::dateChanged(int index)
{
    m_switching = false;
    clearScan();
    QList<QString> names;
    const int source = index >= 0 && index < ui->cbDates->count() ? ui->cbDates->itemData(index).toInt() : -1;
    if (mode == svmRemote) {
        if (source >= 0 && source < model->remoteExams.size())
            names = model->remoteExams.at(source).scanNames;
    } else if (index >= 0 && index < m_shownDates.size()) {
        names = m_client.getFileList(m_shownDates.at(index), QStringLiteral(".jpg"));
    }
    if (!defaultName.isEmpty()) {
        bool listed = false;
        for (const QString &name : names)
            listed = listed || QFileInfo(name).completeBaseName() == defaultName;
        // Not a scan of this day: the first one is shown instead. (No scans at all, as
        // in a cloud archive whose dates have not come yet, keeps it for later.)
        if (!listed && !names.isEmpty())
            defaultName.clear();
    }
    if (mode == svmRemote) {
        // The service knows the client by its web id; the exams it lists carry none.
        model->setFileData(m_client.web_id, names);
    } else {
        model->setFileData(m_client, names);
    }
}

void ScanViewerWidget::itemReady(DayScan *scan)
{
    if (m_busy)
        return;
    const int row = model->rowOf(scan);
    // A late picture of a date or an archive no longer listed.
    if (row < 0)
        return;
    connect(scan, &DayScan::d2dLoaded, this, &ScanViewerWidget::d2dReady,
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    if (defaultName.isEmpty()) {
        // The operator may have picked another scan before the first picture came.
        if (row == 0 && !currentScan)
            selectImage(0);
        return;
    }
    qCDebug(lcScan).noquote() << "find def name" << scan->baseName() << defaultName;
    if (scan->baseName() == defaultName) {
        qCDebug(lcScan).noquote() << "found" << defaultName;
        defaultName.clear();
        selectImage(row);
    }
}

void ScanViewerWidget::selectImage(int row)
{
    DayScan *scan = model->scanAt(row);
    if (!scan) {
        ui->lbScanCaption->clear();
        qCWarning(lcScan).noquote() << QStringLiteral("Index not found in dayScans (%1)").arg(row);
        return;
    }
    // Asked for by a click, the picked scan wins over a default still to come.
    defaultName.clear();
    dropShownScan();
    scanWidget->beginLoading();
    currentScan = scan;
    connect(scan, &DayScan::d2dLoaded, this, &ScanViewerWidget::d2dReady,
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    ui->lvScans->selectionModel()->setCurrentIndex(model->index(row), QItemSelectionModel::ClearAndSelect);
    ui->lbScanCaption->setText(scan->baseName());
    scan->getD2DData();
}

void ScanViewerWidget::d2dReady(DayScan *scan, const QString &path)
{
    if (m_busy || m_switching)
        return;
    // Only the scan picked last: an earlier pick, or a scan of another date, that
    // answers late must not replace it.
    if (!scan || scan != currentScan)
        return;
    try {
        if (!path.isEmpty() && QFile::exists(path)) {
            // A file cut short shows the lines it holds, and says that it is not whole.
            const QString notice = scanWidget->loadFromFile(path) ? scanWidget->incompleteNotice() : QString();
            if (!notice.isEmpty())
                ui->lbScanCaption->setText(scan->baseName() + QStringLiteral("  ") + notice);
        } else {
            qCDebug(lcScan).noquote() << "error d2dLoad :" << path;
        }
    } catch (const std::exception &e) {
        qCDebug(lcScan).noquote() << "Exception caught: " << e.what();
    }
    scanWidget->endLoading();
}
