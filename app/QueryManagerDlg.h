#pragma once

#include <QDialog>

#include <memory>

class DataModule;
class QSqlQueryModel;

namespace Ui {
class QueryManagerDlg;
}

// A console that runs any SQL statement on the local database: rows of a select go to
// the Result tab, everything else reports to the Log tab. Each statement run is listed
// in the History tab.
class QueryManagerDlg : public QDialog
{
    Q_OBJECT

public:
    explicit QueryManagerDlg(QWidget *parent = nullptr);
    ~QueryManagerDlg() override;

public slots:
    void runQuery();
    void clearQuery();

private:
    void log(const QString &text);

    std::unique_ptr<Ui::QueryManagerDlg> ui;
    DataModule *m_store = nullptr;
    std::unique_ptr<QSqlQueryModel> m_model;
};
