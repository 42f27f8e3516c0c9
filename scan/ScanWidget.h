#pragma once

#include "device/VXCommThread.h"

#include <QImage>
#include <QLayout>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class ScanArea;
class ScannerSimulatorPanel;

namespace Ui {
class ScanWidget;
}

enum ScanWidgetMode {
    swmAcquisition = 0,  // device link and toolbar
    swmViewer = 1,       // no device link, no toolbar: shows scans loaded from files
};

// The panel that shows one scan: the scan area on the left and, in acquisition mode, a
// toolbar with depth and intensity, contrast, black and white, load and save, and the
// link status. It owns the acquisition thread, follows its status, draws the live lines
// and shows the finished scan; it also writes the three files of a saved scan.
class ScanWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ScanWidget(QWidget *parent = nullptr, ScanWidgetMode mode = swmAcquisition);
    ~ScanWidget() override;

    // Only acquisition to viewer is supported: it hides the toolbar.
    void setMode(ScanWidgetMode newMode);

    // Replaces the scan with a .d2d file and the marks of the .json beside it; false when
    // the file could not be used (the scan shown stays).
    bool loadFromFile(const QString &path);
    // What to say of the scan shown when its file was cut short; empty when it was whole.
    QString incompleteNotice() const;
    // Writes folder + prefix-yyyyMMdd--hh-mm-ss (the next free second when a scan of the
    // same name is there) with .d2d, .jpg (500 x 400) and, when there are marks or a
    // thickness reading, .json; returns the .jpg path, or an empty text when a file could
    // not be written (then none of them is left behind). A rectangle dragged later is
    // written into that .json as long as the scan is shown and its files are in place.
    QString saveUserFiles(const QString &folder, const QString &prefix);
    void clear();
    void beginLoading();
    void endLoading();
    void performAutoAdjust(bool on);
    void doSwitchBN(bool on);

    // A finished scan not saved yet; the exam dialog clears it after saving.
    bool dirty = false;
    ScanArea *scanArea = nullptr;
    std::unique_ptr<Ui::ScanWidget> ui;
    std::unique_ptr<VXCommThread> commThread;
    ScanWidgetMode mode = swmAcquisition;

signals:
    void onDirty();
    void onScanCompleted();
    void onStartScan();
    // The reading of a scan already saved changed, and its .json was written again.
    void onReadingSaved();

public slots:
    void VXOffsetReaded(double offset);
    void VXSerialReaded(QString serial);
    void VXOnReadData(QList<uchar> line);
    void VXOnScanDone(QImage *image);
    void VXStatusChanged(VXCommThread::VXStatus status);
    // The worker thread has ended.
    void threadFinished();
    void doDeepnessChange(int value);
    void doIntensityChange(int value);
    void doAutoAdjust();
    void loadFromFile();
    void saveToFile();
    void switchBN();
    void showLayers(bool shown);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // True while the thread writes its scan: the picture must not be rebuilt.
    bool scanBusy() const;
    void detachToolbar();
    void showPicture(QImage *picture);
    void setRebuildControlsEnabled(bool enabled);
    // Finds the fat layer in the scan the thread holds and hands it to the scan area.
    void measureLayers();
    // A new scan is shown: the files saved for the previous one are no longer its.
    void forgetSavedFiles();
    void keepReading();
    void showDeviceStatus(const QString &text);

    QString m_deviceStatus;  // the scanner's state, shown again once a whole scan is loaded
    QPointer<ScannerSimulatorPanel> m_simulatorPanel;
    std::unique_ptr<QLayout> m_detachedToolbar;
    QString m_savedAnalysisPath;  // the .json of the scan shown, once it has been saved
};
