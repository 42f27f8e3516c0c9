#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "app/QueryManagerDlg.h"
#include "store/Client.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQueryModel>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>

namespace {

template <class T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

void addClient(const QString &surname, const QString &name)
{
    Client c;
    c.surname = surname;
    c.name = name;
    c.saveToDB(false, false);
}

QStringList logLines(QWidget *dlg)
{
    return child<QTextEdit>(dlg, "txtLog")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString today()
{
    return QDate::currentDate().toString(Qt::TextDate);
}

void typeStatement(QWidget *dlg, const QString &sql)
{
    auto *editor = child<QPlainTextEdit>(dlg, "edQuery");
    editor->clear();
    QTest::keyClicks(editor, sql);
}

void run(QWidget *dlg)
{
    QTest::mouseClick(child<QPushButton>(dlg, "btRun"), Qt::LeftButton);
}

QWidget *currentTab(QWidget *dlg)
{
    return child<QTabWidget>(dlg, "tabWidget")->currentWidget();
}

void doubleClickItem(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(text));
    const QRect rect = list->visualItemRect(found.first());
    doubleClick(list->viewport(), rect.center());
}

}  // namespace

class QueryManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        TempStore store;
        QueryManagerDlg dlg;
        QCOMPARE(dlg.objectName(), QStringLiteral("QueryManagerDlg"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(dlg.size(), QSize(752, 542));
        auto *tabs = child<QTabWidget>(&dlg, "tabWidget");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Log"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Result"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("History"));
        QCOMPARE(child<QPushButton>(&dlg, "btRun")->text(), QStringLiteral("Run"));
        QCOMPARE(child<QPushButton>(&dlg, "btClear")->text(), QStringLiteral("Clear"));
        auto *tables = child<QListWidget>(&dlg, "lwTables");
        QCOMPARE(tables->minimumWidth(), 40);
        QCOMPARE(tables->maximumWidth(), 200);
    }

    void tableListLeavesOutTheSequenceTable()
    {
        TempStore store;
        // An AUTOINCREMENT insert makes SQLite create its sequence table.
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QVERIFY(store->m_db.tables(QSql::Tables).contains(QStringLiteral("sqlite_sequence")));

        QueryManagerDlg dlg;
        auto *list = child<QListWidget>(&dlg, "lwTables");
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        QStringList expected = store->m_db.tables(QSql::Tables);
        expected.removeAll(QStringLiteral("sqlite_sequence"));
        QCOMPARE(shown, expected);
        for (const char *table : {"db_info", "clients", "pendingExams", "anamnesis"})
            QVERIFY2(shown.contains(QLatin1String(table)), table);
    }

    void doubleClickOnATableThenRun()
    {
        TempStore store;
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        addClient(QStringLiteral("Mancini"), QStringLiteral("Anna"));
        addClient(QStringLiteral("Amato"), QStringLiteral("Luca"));
        QueryManagerDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));

        doubleClickItem(child<QListWidget>(&dlg, "lwTables"), QStringLiteral("clients"));
        QCOMPARE(child<QPlainTextEdit>(&dlg, "edQuery")->toPlainText(), QStringLiteral("select * from clients"));

        run(&dlg);
        QCOMPARE(currentTab(&dlg), child<QWidget>(&dlg, "tabResult"));
        auto *view = child<QTableView>(&dlg, "tableView");
        QVERIFY(view->model());
        QCOMPARE(view->model()->rowCount(), 3);
        QCOMPARE(view->model()->columnCount(), 16);
        QCOMPARE(view->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("surname"));
        QStringList surnames;
        for (int row = 0; row < 3; ++row)
            surnames << view->model()->index(row, 2).data().toString();
        QCOMPARE(surnames, (QStringList{QStringLiteral("Rossi"), QStringLiteral("Mancini"), QStringLiteral("Amato")}));
        QCOMPARE(logLines(&dlg),
                 (QStringList{today() + QStringLiteral(" Executing Query..."), today() + QStringLiteral(" Done.")}));
    }

    void upperCaseSelectShowsRowsToo()
    {
        TempStore store;
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QueryManagerDlg dlg;
        typeStatement(&dlg, QStringLiteral("SELECT name, surname FROM clients"));
        run(&dlg);
        QCOMPARE(currentTab(&dlg), child<QWidget>(&dlg, "tabResult"));
        QCOMPARE(child<QTableView>(&dlg, "tableView")->model()->index(0, 0).data().toString(), QStringLiteral("Mario"));
    }

    void deleteLogsTheAffectedRows()
    {
        TempStore store;
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        addClient(QStringLiteral("Rossi"), QStringLiteral("Giulia"));
        addClient(QStringLiteral("Amato"), QStringLiteral("Luca"));
        QueryManagerDlg dlg;
        typeStatement(&dlg, QStringLiteral("delete from clients where surname = 'Rossi'"));
        run(&dlg);
        QCOMPARE(currentTab(&dlg), child<QWidget>(&dlg, "tabLog"));
        QCOMPARE(logLines(&dlg), (QStringList{today() + QStringLiteral(" Executing Query..."),
                                               today() + QStringLiteral(" 2 affected rows")}));
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 1);
        QVERIFY(!child<QTableView>(&dlg, "tableView")->model());

        // A second run of the same statement finds nothing left to delete.
        run(&dlg);
        QCOMPARE(logLines(&dlg).last(), today() + QStringLiteral(" 0 affected rows"));
    }

    void errorsGoToTheLog()
    {
        TempStore store;
        QueryManagerDlg dlg;
        typeStatement(&dlg, QStringLiteral("select * from nowhere"));
        run(&dlg);
        QCOMPARE(currentTab(&dlg), child<QWidget>(&dlg, "tabLog"));
        QStringList lines = logLines(&dlg);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.last().startsWith(today() + QLatin1Char(' ')), qPrintable(lines.last()));
        QVERIFY2(lines.last().contains(QLatin1String("no such table")), qPrintable(lines.last()));

        typeStatement(&dlg, QStringLiteral("update nowhere set x = 1"));
        run(&dlg);
        lines = logLines(&dlg);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(2), today() + QStringLiteral(" Executing Query..."));
        QVERIFY2(lines.at(3).contains(QLatin1String("no such table")), qPrintable(lines.at(3)));
        QVERIFY(!lines.at(3).contains(QLatin1String("affected rows")));
    }

    void selectAfterBlanksIsNotShown()
    {
        TempStore store;
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QueryManagerDlg dlg;
        typeStatement(&dlg, QStringLiteral("  select * from clients"));
        run(&dlg);
        QCOMPARE(currentTab(&dlg), child<QWidget>(&dlg, "tabLog"));
        QVERIFY(!child<QTableView>(&dlg, "tableView")->model());
        QVERIFY(logLines(&dlg).last().endsWith(QLatin1String(" affected rows")));
    }

    void resultTabFollowsTheLastSelect()
    {
        TempStore store;
        addClient(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QueryManagerDlg dlg;
        typeStatement(&dlg, QStringLiteral("select * from clients"));
        run(&dlg);
        QCOMPARE(child<QTableView>(&dlg, "tableView")->model()->rowCount(), 1);
        typeStatement(&dlg, QStringLiteral("select * from clients where id < 0"));
        run(&dlg);
        QCOMPARE(child<QTableView>(&dlg, "tableView")->model()->rowCount(), 0);
    }

    void clearAndHistory()
    {
        TempStore store;
        QueryManagerDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto *editor = child<QPlainTextEdit>(&dlg, "edQuery");
        typeStatement(&dlg, QStringLiteral("select 1"));
        run(&dlg);
        typeStatement(&dlg, QStringLiteral("select 2"));
        run(&dlg);

        dlg.clearQuery();
        QCOMPARE(editor->toPlainText(), QString());
        typeStatement(&dlg, QStringLiteral("select 3"));
        QTest::mouseClick(child<QPushButton>(&dlg, "btClear"), Qt::LeftButton);
        QCOMPARE(editor->toPlainText(), QString());

        auto *history = child<QListWidget>(&dlg, "lwHistory");
        QCOMPARE(history->count(), 2);
        QCOMPARE(history->item(0)->text(), QStringLiteral("select 1"));
        QCOMPARE(history->item(1)->text(), QStringLiteral("select 2"));
        child<QTabWidget>(&dlg, "tabWidget")->setCurrentWidget(child<QWidget>(&dlg, "tabHistory"));
        doubleClickItem(history, QStringLiteral("select 1"));
        QCOMPARE(editor->toPlainText(), QStringLiteral("select 1"));
    }
};

CALVESTRA_TEST_MAIN(QueryManagerTest)
#include "tst_querymanager.moc"
