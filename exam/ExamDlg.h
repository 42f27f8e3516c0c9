#pragma once

#include <QDialog>

class Client;
class QLabel;

// Stand-in for the exam dialog until the exam workflow is built: it names the client
// and closes with OK. It already has the construction and init() of the real dialog,
// so the main window opens it the same way.
class ExamDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ExamDlg(QWidget *parent = nullptr);

    // Binds the dialog to a client, owned by the caller.
    void init(Client *client);

private:
    Client *m_client = nullptr;
    QLabel *m_clientName = nullptr;
};
