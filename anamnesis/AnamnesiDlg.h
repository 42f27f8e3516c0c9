#pragma once

#include <QDialog>

#include <memory>

class Anamnesi;
class AnamnesiWidget;
class Client;

namespace Ui {
class AnamnesiDlg;
}

// The modal dialog in which one anamnesis of a client is created or edited. Ok stores
// it locally and sends it to the service; Cancel leaves everything as it was.
class AnamnesiDlg : public QDialog
{
    Q_OBJECT

public:
    explicit AnamnesiDlg(QWidget *parent = nullptr);
    ~AnamnesiDlg() override;

    // Without a record the dialog starts a new one from the first model and the model
    // can be chosen; with one it edits a copy of it with the model fixed.
    void init(const Client *client, const Anamnesi *record);
    AnamnesiWidget *anamnesiWidget() const;

    std::unique_ptr<Ui::AnamnesiDlg> ui;

public slots:
    bool saveAnamnesi();

private:
    int m_idClient = 0;
};
