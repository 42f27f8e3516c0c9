#pragma once

#include "store/Client.h"

#include <QDate>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class DayScan;
class DayScanItemDelegate;
class DayScansModel;
class ScanWidget;

namespace Ui {
class ScanViewerWidget;
}

enum ScanViewerMode {
    svmLocal = 0,   // the client's folder on this computer
    svmRemote = 1,  // the web service
};

// Browses the stored scans of one client day by day: a list of exam dates, the choice
// between the local and the cloud archive, a strip of that day's thumbnails and a
// scan widget (viewer mode) that shows the picked scan with its full depth data.
//
// Only the scans of the date shown count: a picture or a scan file that arrives late
// for a date (or an archive) no longer shown never selects or shows anything.
class ScanViewerWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ScanViewerWidget(QWidget *parent = nullptr);
    ~ScanViewerWidget() override;

    // Filled by the owner before setMode.
    void setClient(const Client &client);
    const Client &client() const { return m_client; }
    QList<QDate> localDates;
    QList<QDate> cloudDates;
    // Base name of a scan to pick first; empty to pick the first scan of the day. It is
    // dropped once used, or when the date shown has no such scan.
    QString defaultName;

    ScanViewerMode mode = svmLocal;
    DayScansModel *model = nullptr;
    DayScanItemDelegate *delegate = nullptr;
    ScanWidget *scanWidget = nullptr;
    // The scan shown (or being downloaded) in the scan widget.
    QPointer<DayScan> currentScan;
    std::unique_ptr<Ui::ScanViewerWidget> ui;

    void setMode(ScanViewerMode newMode, const QDate &date);
    void setDates(const QList<QDate> &dates, const QDate &current);
    void selectImage(int row);
    // The dates in the combo box, in its order.
    const QList<QDate> &shownDates() const { return m_shownDates; }

public slots:
    void dateChanged(int index);

private:
    void itemReady(DayScan *scan);
    void d2dReady(DayScan *scan, const QString &path);
    void dropShownScan();
    void clearScan();

    Client m_client;
    // Set while the viewer goes away: late signals are ignored.
    bool m_busy = false;
    // Set while the archive is being switched, until the new date is listed.
    bool m_switching = false;
    QList<QDate> m_shownDates;
};
