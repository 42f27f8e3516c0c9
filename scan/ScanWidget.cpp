#include "scan/ScanWidget.h"

#include "scan/ui_ScanWidget.h"

#include "app/UiHelpers.h"
#include "device/SimulatedCalvimetro.h"
#include "scan/LayerReading.h"
#include "scan/ScanArea.h"
#include "scan/ScanLog.h"
#include "scan/ScannerSimulatorPanel.h"
#include "store/ScanFileNames.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QSignalBlocker>

#include <cmath>
#include <exception>

namespace {

constexpr int kJpgWidth = 500;
constexpr int kJpgHeight = 400;
const QString kScanDataFilter = QStringLiteral("VX Scan Data (*.d2d);;All Files (*)");

// The nearest multiple of 10, halves away from zero.
int roundToTen(int value)
{
    if (value % 10 == 0)
        return value;
    return static_cast<int>(std::lround(value / 10.0)) * 10;
}

}  // namespace

ScanWidget::ScanWidget(QWidget *parent, ScanWidgetMode mode)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ScanWidget>())
    , mode(mode)
{
    ui->setupUi(this);
    m_deviceStatus = ui->lbStatus->text();
    if (mode == swmViewer)
        detachToolbar();
    dirty = false;

    qRegisterMetaType<VXCommThread::VXStatus>("VXCommThread::VXStatus");
    qRegisterMetaType<QList<uchar>>("QList<uchar>");
    qRegisterMetaType<QImage *>("QImage*");

    scanArea = new ScanArea(this);
    scanArea->resize(600, 450);
    scanArea->setMinimumSize(400, 300);
    scanArea->setMaximumSize(960, 740);
    scanArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    delete ui->mainLayout->replaceWidget(ui->fakeWidget, scanArea);
    delete ui->fakeWidget;
    ui->fakeWidget = nullptr;
    // The picture takes the room; the toolbar keeps its natural width.
    ui->mainLayout->setStretchFactor(scanArea, 1);
    connect(ui->btLayers, &QPushButton::toggled, this, &ScanWidget::showLayers);
    connect(scanArea, &ScanArea::measurementChanged, this, &ScanWidget::keepReading);

    commThread = std::make_unique<VXCommThread>(mode != swmViewer);

    if (mode == swmAcquisition) {
        VXCommThread *thread = commThread.get();
        connect(thread, &VXCommThread::offsetReaded, this, &ScanWidget::VXOffsetReaded);
        connect(thread, &VXCommThread::serialReaded, this, &ScanWidget::VXSerialReaded);
        connect(thread, &QThread::finished, this, &ScanWidget::threadFinished);
        connect(thread, &VXCommThread::onReadData, this, &ScanWidget::VXOnReadData);
        connect(thread, &VXCommThread::onScanDone, this, &ScanWidget::VXOnScanDone);
        connect(thread, &VXCommThread::statusChanged, this, &ScanWidget::VXStatusChanged);
        connect(thread, &VXCommThread::onSetDeepness, this, &ScanWidget::doDeepnessChange);
        connect(thread, &VXCommThread::onSetMark, scanArea, &ScanArea::addMark);
        connect(ui->btAutoAdjust, &QPushButton::clicked, this, &ScanWidget::doAutoAdjust);
        connect(ui->slDeepness, &QSlider::valueChanged, this, &ScanWidget::doDeepnessChange);
        connect(ui->slIntensity, &QSlider::valueChanged, this, &ScanWidget::doIntensityChange);
        connect(ui->btBN, &QPushButton::clicked, this, &ScanWidget::switchBN);
        connect(ui->btLoad, &QPushButton::clicked, this, qOverload<>(&ScanWidget::loadFromFile));
        connect(ui->btSave, &QPushButton::clicked, this, &ScanWidget::saveToFile);

        if (SimulatedCalvimetro *simulator = thread->simulator())
            m_simulatorPanel = new ScannerSimulatorPanel(simulator, this);

        thread->start();
    }
}

ScanWidget::~ScanWidget()
{
    // The panel drives the simulated probe that the thread owns: it goes first.
    delete m_simulatorPanel;
    // Ends the worker before the scan area it feeds goes away.
    commThread.reset();
}

void ScanWidget::setMode(ScanWidgetMode newMode)
{
    if (newMode == mode || newMode != swmViewer)
        return;
    detachToolbar();
    if (m_simulatorPanel)
        m_simulatorPanel->hide();
    mode = newMode;
}

void ScanWidget::detachToolbar()
{
    setContainerLayoutVisibility(ui->toolbarLayout, false);
    ui->mainLayout->removeItem(ui->toolbarLayout);
    // Taken out of the main layout, the toolbar layout has no owner left; its widgets
    // stay children of this widget.
    if (!ui->toolbarLayout->parent())
        m_detachedToolbar.reset(ui->toolbarLayout);
}

bool ScanWidget::scanBusy() const
{
    return commThread->isScanBusy();
}

void ScanWidget::showPicture(QImage *picture)
{
    // No new picture (an empty scan, or the thread refused because a scan has just
    // begun): the one shown stays valid until the scan's status change clears it.
    if (!picture)
        return;
    scanArea->image = picture;
    scanArea->update();
}

void ScanWidget::setRebuildControlsEnabled(bool enabled)
{
    ui->btAutoAdjust->setEnabled(enabled);
    ui->btBN->setEnabled(enabled);
    ui->btLoad->setEnabled(enabled);
    ui->btSave->setEnabled(enabled);
}

void ScanWidget::VXOffsetReaded(double offset)
{
    qCDebug(lcScan).noquote() << "device offset : " << offset;
}

void ScanWidget::VXSerialReaded(QString serial)
{
    scanArea->serial = serial;
    ui->lbSN->setText(serial);
    scanArea->update();
}

void ScanWidget::VXOnReadData(QList<uchar> line)
{
    scanArea->image = nullptr;
    scanArea->addScanData(line);
    // Lines arriving together cost one paint.
    scanArea->update();
}

void ScanWidget::VXOnScanDone(QImage *image)
{
    if (!image) {
        // Nothing was read (the first transfer failed): there is no scan to keep.
        qCDebug(lcScan).noquote() << "scan without lines";
        return;
    }
    dirty = true;
    emit onDirty();
    scanArea->image = image;
    measureLayers();
    scanArea->repaint();
    emit onScanCompleted();
}

void ScanWidget::VXStatusChanged(VXCommThread::VXStatus status)
{
    switch (status) {
    case VXCommThread::vxsDisconnected:
        ui->imgStatus->setPixmap(QPixmap(QStringLiteral(":/icons/led_disconnect")));
        showDeviceStatus(tr("Non Connesso"));
        qCDebug(lcScan).noquote() << "calvimetro disconnesso";
        setRebuildControlsEnabled(true);
        break;
    case VXCommThread::vxsConnected:
        ui->imgStatus->setPixmap(QPixmap(QStringLiteral(":/icons/led_connect")));
        showDeviceStatus(tr("Pronto"));
        qCDebug(lcScan).noquote() << "calvimetro pronto";
        setRebuildControlsEnabled(true);
        break;
    case VXCommThread::vxsScanning:
        forgetSavedFiles();
        scanArea->clear();
        scanArea->repaint();
        ui->imgStatus->setPixmap(QPixmap(QStringLiteral(":/icons/led_scan")));
        showDeviceStatus(tr("Scanning..."));
        qCDebug(lcScan).noquote() << "calvimetro in scansione...";
        setRebuildControlsEnabled(false);
        emit onStartScan();
        break;
    case VXCommThread::vxsProcessing:
        ui->imgStatus->setPixmap(QPixmap(QStringLiteral(":/icons/led_disconnect")));
        showDeviceStatus(tr("Elaborazione..."));
        qCDebug(lcScan).noquote() << "elaborazione...";
        break;
    }
}

void ScanWidget::threadFinished()
{
    qCDebug(lcScan).noquote() << "thread finished";
}

void ScanWidget::doDeepnessChange(int value)
{
    const int mm = qBound(ui->slDeepness->minimum(), roundToTen(value), ui->slDeepness->maximum());
    {
        const QSignalBlocker blocker(ui->slDeepness);
        ui->slDeepness->setValue(mm);
    }
    scanArea->setDeepness(mm);
    commThread->setDeepness(mm);
    ui->lbDeepValue->setText(QString::number(mm));
}

void ScanWidget::doIntensityChange(int value)
{
    const int gain = qBound(ui->slIntensity->minimum(), roundToTen(value), ui->slIntensity->maximum());
    {
        const QSignalBlocker blocker(ui->slIntensity);
        ui->slIntensity->setValue(gain);
    }
    commThread->intensity = gain;
    ui->lbIntensityValue->setText(QString::number(gain));
}

void ScanWidget::doAutoAdjust()
{
    performAutoAdjust(!commThread->autoAdjust);
}

void ScanWidget::performAutoAdjust(bool on)
{
    if (scanBusy()) {
        qCDebug(lcScan).noquote() << "auto contrast ignored while scanning";
        ui->btAutoAdjust->setChecked(commThread->autoAdjust);
        return;
    }
    commThread->autoAdjust = on;
    ui->btAutoAdjust->setChecked(on);
    showPicture(commThread->getScanImage());
}

void ScanWidget::switchBN()
{
    doSwitchBN(ui->btBN->isChecked());
}

void ScanWidget::doSwitchBN(bool on)
{
    if (scanBusy()) {
        qCDebug(lcScan).noquote() << "black and white ignored while scanning";
        ui->btBN->setChecked(commThread->blackWhite);
        return;
    }
    commThread->blackWhite = on;
    scanArea->blackWhite = on;
    ui->btBN->setChecked(on);
    showPicture(commThread->getScanImage());
    scanArea->update();
}

void ScanWidget::clear()
{
    forgetSavedFiles();
    scanArea->image = nullptr;
    scanArea->clear();
    scanArea->update();
}

void ScanWidget::beginLoading()
{
    scanArea->loading = true;
    scanArea->repaint();
}

void ScanWidget::endLoading()
{
    scanArea->loading = false;
    scanArea->repaint();
}

void ScanWidget::loadFromFile()
{
    const QString name = QFileDialog::getOpenFileName(this, tr("Apri file Scan Data"), QString(), kScanDataFilter);
    if (!name.isEmpty())
        loadFromFile(name);
}

bool ScanWidget::loadFromFile(const QString &path)
{
    if (scanBusy()) {
        qCDebug(lcScan).noquote() << "load ignored while scanning:" << path;
        return false;
    }
    try {
        if (!commThread->loadFromFile(path))
            return false;
        forgetSavedFiles();
        scanArea->clear();
        scanArea->image = commThread->getScanImage();
        const QString analysisPath = changeFileExtension(path, QStringLiteral("json"));
        if (QFile::exists(analysisPath))
            scanArea->analysis.loadFromFile(analysisPath);
        // A scan saved with its reading brings the layers found in all its lines; only
        // one without them is measured again.
        const std::optional<LayerReading> &saved = scanArea->analysis.reading;
        if (saved && saved->trace.lineCount() == commThread->lineCount)
            scanArea->setLayers(saved->trace);
        else
            measureLayers();
        if (scanArea->image)
            scanArea->repaint();
        ui->lbStatus->setText(commThread->loadedIncomplete ? incompleteNotice() : m_deviceStatus);
        return true;
    } catch (const std::exception &e) {
        qCDebug(lcScan).noquote() << "Exception caught: " << e.what();
    } catch (const QString &message) {
        qCDebug(lcScan).noquote() << "Exception caught: " << message;
    } catch (const char *message) {
        qCDebug(lcScan).noquote() << "Exception caught: " << message;
    }
    return false;
}

QString ScanWidget::incompleteNotice() const
{
    if (!commThread || !commThread->loadedIncomplete)
        return QString();
    return tr("Scansione incompleta: mostrate solo le righe complete (%1).").arg(commThread->lineCount);
}

void ScanWidget::showDeviceStatus(const QString &text)
{
    m_deviceStatus = text;
    ui->lbStatus->setText(text);
}

void ScanWidget::saveToFile()
{
    const QString name = QFileDialog::getSaveFileName(this, tr("Salva file Scan Data"), QString(), kScanDataFilter);
    if (!name.isEmpty())
        commThread->saveToFile(name);
}

QString ScanWidget::saveUserFiles(const QString &folder, const QString &prefix)
{
    // Names go to the second: a second scan of the zone within the same second would
    // overwrite the first, so it takes the next free second instead.
    const QDateTime now = QDateTime::currentDateTime();
    QString base;
    for (int later = 0; later < 3600; ++later) {
        base = prefix + QStringLiteral("-") + now.addSecs(later).toString(QStringLiteral("yyyyMMdd--hh-mm-ss"));
        const QString taken = folder + base;
        if (!QFile::exists(taken + QStringLiteral(".d2d")) && !QFile::exists(taken + QStringLiteral(".jpg"))
            && !QFile::exists(taken + QStringLiteral(".json")))
            break;
    }
    qCDebug(lcScan).noquote() << "saveUserFiles::base_filename" << base;
    const QString stem = folder + base;
    const QString d2dPath = stem + QStringLiteral(".d2d");
    const QString jpgPath = stem + QStringLiteral(".jpg");
    const QString jsonPath = stem + QStringLiteral(".json");

    // A scan is its three files together: when one cannot be written, none is kept.
    // Each file is written aside and renamed into place, so none is ever left truncated.
    if (!commThread->saveToFile(d2dPath))
        return QString();
    if (!scanArea->saveJpg(jpgPath, kJpgWidth, kJpgHeight)) {
        QFile::remove(d2dPath);
        return QString();
    }
    scanArea->analysis.reading = scanArea->currentReading();
    if (!scanArea->analysis.isEmpty() && !scanArea->saveAnalysisJson(jsonPath)) {
        QFile::remove(d2dPath);
        QFile::remove(jpgPath);
        return QString();
    }
    m_savedAnalysisPath = scanArea->analysis.isEmpty() ? QString() : jsonPath;
    return jpgPath;
}

void ScanWidget::measureLayers()
{
    // None when a new scan has begun; its status change clears the area.
    if (const auto trace = measureScanLayers(*commThread))
        scanArea->setLayers(*trace);
}

void ScanWidget::showLayers(bool shown)
{
    ui->btLayers->setChecked(shown);
    scanArea->setLayersShown(shown);
}

void ScanWidget::forgetSavedFiles()
{
    m_savedAnalysisPath.clear();
}

void ScanWidget::keepReading()
{
    // Only into the file it was saved with: a scan renamed or deleted since has left
    // that path, and nothing is written there.
    if (m_savedAnalysisPath.isEmpty() || !QFile::exists(m_savedAnalysisPath))
        return;
    scanArea->analysis.reading = scanArea->currentReading();
    if (!scanArea->saveAnalysisJson(m_savedAnalysisPath)) {
        qCDebug(lcScan).noquote() << "can't keep the reading in" << m_savedAnalysisPath;
        return;
    }
    emit onReadingSaved();
}

void ScanWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_simulatorPanel && mode == swmAcquisition)
        m_simulatorPanel->show();
}

void ScanWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_simulatorPanel)
        m_simulatorPanel->hide();
}
