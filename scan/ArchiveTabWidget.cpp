#include "scan/ArchiveTabWidget.h"

#include "scan/ui_ArchiveTabWidget.h"

#include "cloud/HttpService.h"
#include "scan/DayScan.h"
#include "scan/DayScanItemDelegate.h"
#include "scan/DayScansModel.h"
#include "scan/ScanLog.h"
#include "scan/SlideShowDlg.h"

#include <QSignalBlocker>

ArchiveTabWidget::ArchiveTabWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ArchiveTabWidget>())
{
    ui->setupUi(this);
    model = new DayScansModel(true, this);
    delegate = new DayScanItemDelegate(QSize(240, 200), true, this);
    ui->lvWorkScans->setModel(model);
    ui->lvWorkScans->setItemDelegate(delegate);
    ui->lvWorkScans->setGridSize(delegate->cellSize);

    // The current row, changed by a click or the keyboard, picks the exam shown.
    connect(ui->lwWorks, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            selectUserWork();
    });
    connect(ui->lvWorkScans, &QListView::doubleClicked, this, &ArchiveTabWidget::showSlideShow);
}

ArchiveTabWidget::~ArchiveTabWidget() = default;

void ArchiveTabWidget::setClient(const Client &client)
{
    m_client = client;
}

void ArchiveTabWidget::refreshWorks()
{
    if (m_client.web_id == 0) {
        qCDebug(lcScan).noquote() << "no cloud archive for a client without web id";
        return;
    }
    // Tests may replace the shared client; always use the current one.
    if (!m_service || m_service != HttpService::m_instance) {
        m_service = HttpService::instance();
        connect(m_service.data(), &HttpService::onGetUserWorks, this, &ArchiveTabWidget::httpGetUserWorks,
                Qt::UniqueConnection);
    }
    m_awaitingWorks = true;
    m_service->getUserWorks(m_client.web_id);
}

void ArchiveTabWidget::httpGetUserWorks(QList<Exam> works)
{
    if (!m_awaitingWorks)
        return;
    m_awaitingWorks = false;
    remoteWorks = works;
    {
        // One selection, made below, for the rebuilt list.
        const QSignalBlocker blocker(ui->lwWorks);
        ui->lwWorks->clear();
        for (const Exam &work : works)
            ui->lwWorks->addItem(work.examDate.toString(QStringLiteral("dd/MM/yyyy")));
        if (!works.isEmpty())
            ui->lwWorks->setCurrentRow(0);
    }
    if (!works.isEmpty())
        selectUserWork();
}

void ArchiveTabWidget::selectUserWork()
{
    const int row = ui->lwWorks->currentRow();
    if (row < 0 || row >= remoteWorks.size())
        return;
    model->setFileData(m_client.web_id, remoteWorks.at(row).scanNames);
}

void ArchiveTabWidget::showSlideShow(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    QList<QImage *> pictures;
    QList<QString> names;
    for (DayScan *scan : model->scans()) {
        pictures << scan->image.get();
        names << scan->fileName;
    }
    SlideShowDlg dialog(this);
    dialog.init(pictures, names, index.row());
    dialog.exec();
}
