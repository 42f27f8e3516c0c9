#include "app/QueryManagerDlg.h"

#include "app/ui_QueryManagerDlg.h"
#include "store/DataModule.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>

QueryManagerDlg::QueryManagerDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::QueryManagerDlg>())
    , m_store(DataModule::instance())
    , m_model(std::make_unique<QSqlQueryModel>())
{
    ui->setupUi(this);

    const QStringList tables = m_store->m_db.tables(QSql::Tables);
    for (const QString &table : tables) {
        if (table != QLatin1String("sqlite_sequence"))
            ui->lwTables->addItem(table);
    }
    connect(ui->lwTables, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        ui->edQuery->setPlainText(QStringLiteral("select * from ") + item->text());
    });
    connect(ui->btRun, &QPushButton::clicked, this, &QueryManagerDlg::runQuery);
    connect(ui->btClear, &QPushButton::clicked, this, &QueryManagerDlg::clearQuery);
    // Every statement run is kept in the History tab; a double click brings it back.
    connect(ui->lwHistory, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { ui->edQuery->setPlainText(item->text()); });
}

QueryManagerDlg::~QueryManagerDlg()
{
    // The view lets go of the model before the model goes.
    ui->tableView->setModel(nullptr);
}

void QueryManagerDlg::log(const QString &text)
{
    ui->txtLog->append(QDate::currentDate().toString(Qt::TextDate) + text);
}

void QueryManagerDlg::runQuery()
{
    const QString sql = ui->edQuery->toPlainText();
    log(QStringLiteral(" Executing Query..."));
    ui->lwHistory->addItem(sql);

    QSqlQuery query(QSqlDatabase::database());
    // SQLite reports most faults (unknown table, syntax) while preparing; keep that
    // text, the later execution would only say that nothing was prepared.
    const bool prepared = query.prepare(sql);
    const QSqlError prepareError = query.lastError();
    const auto errorText = [&] { return (prepared ? query.lastError() : prepareError).text(); };
    // Only a statement that starts with "select" shows rows; anything in front of it
    // (blanks, a comment) makes it an ordinary statement.
    if (sql.toLower().startsWith(QLatin1String("select"))) {
        if (query.exec()) {
            m_model->setQuery(std::move(query));
            ui->tableView->setModel(m_model.get());
            log(QStringLiteral(" Done."));
            ui->tabWidget->setCurrentWidget(ui->tabResult);
        } else {
            log(QStringLiteral(" ") + errorText());
            ui->tabWidget->setCurrentWidget(ui->tabLog);
        }
        return;
    }
    if (query.exec())
        log(QStringLiteral(" ") + QString::number(query.numRowsAffected()) + QStringLiteral(" affected rows"));
    else
        log(QStringLiteral(" ") + errorText());
    ui->tabWidget->setCurrentWidget(ui->tabLog);
}

void QueryManagerDlg::clearQuery()
{
    ui->edQuery->setPlainText(QString());
}
