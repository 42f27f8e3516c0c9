#pragma once

#include "scan/ScanViewerWidget.h"
#include "store/Client.h"
#include "store/Exam.h"

#include <QDate>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class HttpService;

namespace Ui {
class CompareScansDlg;
}

// Two scan archive viewers side by side, each with its own date and archive (local or
// cloud), and one set of display controls (depth, black and white, automatic contrast)
// acting on both scans at once. The cloud dates come from the client's works on the
// web service.
class CompareScansDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CompareScansDlg(QWidget *parent = nullptr);
    ~CompareScansDlg() override;

    // The left viewer opens on `date` with the scan named `defaultName` (base name;
    // empty for the first of the day), the right one on today. A cloud side is filled
    // when the service has listed the client's works.
    void init(Client *client, const QDate &date, const QString &defaultName, ScanViewerMode leftMode,
              ScanViewerMode rightMode);

    ScanViewerWidget *leftViewer() const;
    ScanViewerWidget *rightViewer() const;

    QPointer<HttpService> httpService;
    Client client;
    QList<QDate> localDates;
    QList<QDate> cloudDates;
    std::unique_ptr<Ui::CompareScansDlg> ui;
    ScanViewerMode leftMode = svmLocal;
    ScanViewerMode rightMode = svmLocal;
    QDate startDate;
    QString defaultName;

public slots:
    // The service's list of the client's exams.
    void httpGetUserWorks(QList<Exam> works);

private:
    void deepnessChanged(int value);
    void switchBN();
    void autoAdjust();
};
