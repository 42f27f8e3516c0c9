#pragma once

#include "store/Client.h"
#include "store/Exam.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>

class DayScanItemDelegate;
class DayScansModel;
class HttpService;
class QModelIndex;

namespace Ui {
class ArchiveTabWidget;
}

// The exam archive page of the exam dialog: the client's exams stored on the web
// service by date, the scans of the chosen one as pictures, and a slide show of them
// on double click. The exam dialog embeds it, hands it the client and calls
// refreshWorks() whenever the page is shown.
class ArchiveTabWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ArchiveTabWidget(QWidget *parent = nullptr);
    ~ArchiveTabWidget() override;

    // Keeps a copy of the client.
    void setClient(const Client &client);
    const Client &client() const { return m_client; }

    // Asks the service for the client's exams; the list is rebuilt when they arrive.
    // A client without a web id has none there.
    void refreshWorks();

    // The exams last received from the service, in list order.
    QList<Exam> remoteWorks;
    DayScansModel *model = nullptr;
    DayScanItemDelegate *delegate = nullptr;
    std::unique_ptr<Ui::ArchiveTabWidget> ui;

public slots:
    void httpGetUserWorks(QList<Exam> works);
    // Shows the scans of the exam of the current row of the list.
    void selectUserWork();
    void showSlideShow(const QModelIndex &index);

private:
    Client m_client;
    QPointer<HttpService> m_service;
    // Works replies are handled only after a request of this page: the service client
    // is shared, and other windows ask for works too.
    bool m_awaitingWorks = false;
};
