#pragma once

#include <QDialog>

#include <memory>

class Client;

namespace Ui {
class UserEditDlg;
}

// The small fixed form in which the operator enters or changes a client's personal
// data. OK writes the form into the caller's record, saves it locally and queues it for
// the web service; when the local write fails the operator is told and the form stays
// open with what was typed. Cancel changes nothing.
class ClientEditDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ClientEditDlg(QWidget *parent = nullptr);
    ~ClientEditDlg() override;

    // Remembers the record (owned by the caller, it must outlive the dialog) and
    // fills the form from it.
    void init(Client *client);

public slots:
    // True when the record was written.
    bool SaveUser();

private:
    Client *m_client = nullptr;
    std::unique_ptr<Ui::UserEditDlg> ui;
};
