#pragma once

#include <QDialog>

class DataModule;
class OutboxSender;
class QLabel;
class QPushButton;
class QTreeWidget;

// What waits to reach the service, item by item with its state: waiting, being sent,
// retrying (when and why), or refused by the service with its reason. A refused item can
// be tried again or discarded; "Invia ora" makes everything waiting go at once.
class OutboxDlg : public QDialog
{
    Q_OBJECT

public:
    OutboxDlg(DataModule *store, OutboxSender *sender, QWidget *parent = nullptr);

    void refresh();

private:
    qint64 selectedItem() const;
    bool selectedIsParked() const;
    void updateButtons();
    void retrySelected();
    void discardSelected();

    DataModule *m_store;
    OutboxSender *m_sender;
    QTreeWidget *m_list;
    QLabel *m_summary;
    QPushButton *m_retry;
    QPushButton *m_discard;
    QPushButton *m_sendNow;
};
