#include "scan/CompareScansDlg.h"

#include "scan/ui_CompareScansDlg.h"

#include "cloud/HttpService.h"
#include "scan/DayScansModel.h"
#include "scan/ScanLog.h"
#include "scan/ScanWidget.h"

#include <QSignalBlocker>

#include <cmath>

namespace {

// The nearest multiple of 10, halves away from zero, as the scan widget snaps its depth.
int roundToTen(int value)
{
    if (value % 10 == 0)
        return value;
    return static_cast<int>(std::lround(value / 10.0)) * 10;
}

}  // namespace

CompareScansDlg::CompareScansDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CompareScansDlg>())
{
    ui->setupUi(this);
}

CompareScansDlg::~CompareScansDlg() = default;

ScanViewerWidget *CompareScansDlg::leftViewer() const
{
    return ui->scanView1;
}

ScanViewerWidget *CompareScansDlg::rightViewer() const
{
    return ui->scanView2;
}

void CompareScansDlg::init(Client *clientRecord, const QDate &date, const QString &name, ScanViewerMode left,
                           ScanViewerMode right)
{
    if (clientRecord)
        client = *clientRecord;
    startDate = date;
    defaultName = name;
    leftMode = left;
    rightMode = right;
    ui->scanView1->defaultName = defaultName;

    // A client the service has never seen has no works there.
    if (client.web_id != 0) {
        httpService = HttpService::instance();
        connect(httpService.data(), &HttpService::onGetUserWorks, this, &CompareScansDlg::httpGetUserWorks,
                Qt::UniqueConnection);
        httpService->getUserWorks(client.web_id);
    } else {
        qCDebug(lcScan).noquote() << "no cloud archive for a client without web id";
    }

    localDates = client.getExamsDateList();
    for (ScanViewerWidget *viewer : {ui->scanView1, ui->scanView2}) {
        viewer->setClient(client);
        viewer->localDates = localDates;
    }
    // A cloud side shows its archive, empty until the service answers.
    ui->scanView1->setMode(leftMode, startDate);
    ui->scanView2->setMode(rightMode, QDate::currentDate());

    connect(ui->slDeepness, &QSlider::valueChanged, ui->scanView1->scanWidget, &ScanWidget::doDeepnessChange);
    connect(ui->slDeepness, &QSlider::valueChanged, ui->scanView2->scanWidget, &ScanWidget::doDeepnessChange);
    connect(ui->slDeepness, &QSlider::valueChanged, this, &CompareScansDlg::deepnessChanged);
    connect(ui->btBN, &QPushButton::clicked, this, &CompareScansDlg::switchBN);
    connect(ui->btAutoAdjust, &QPushButton::clicked, this, &CompareScansDlg::autoAdjust);
}

void CompareScansDlg::httpGetUserWorks(QList<Exam> works)
{
    cloudDates.clear();
    for (const Exam &work : works)
        cloudDates << work.examDate;
    for (ScanViewerWidget *viewer : {ui->scanView1, ui->scanView2}) {
        viewer->cloudDates = cloudDates;
        viewer->model->remoteExams = works;
    }
    if (ui->scanView1->mode == svmRemote)
        ui->scanView1->setMode(svmRemote, startDate);
    if (ui->scanView2->mode == svmRemote)
        ui->scanView2->setMode(svmRemote, QDate::currentDate());
}

void CompareScansDlg::deepnessChanged(int value)
{
    const int mm = roundToTen(value);
    {
        const QSignalBlocker blocker(ui->slDeepness);
        ui->slDeepness->setValue(mm);
    }
    ui->txtDeepness->setText(QString::number(ui->slDeepness->value()));
}

void CompareScansDlg::switchBN()
{
    const bool on = ui->btBN->isChecked();
    ui->scanView1->scanWidget->doSwitchBN(on);
    ui->scanView2->scanWidget->doSwitchBN(on);
}

void CompareScansDlg::autoAdjust()
{
    const bool on = ui->btAutoAdjust->isChecked();
    ui->scanView1->scanWidget->performAutoAdjust(on);
    ui->scanView2->scanWidget->performAutoAdjust(on);
}
