#pragma once

#include "ReferenceService.h"

#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "cloud/HttpService.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

// Waits (bounded) for the next message box, records what it says and clicks one of its
// buttons. Runs from the event loop, so it also answers boxes of a modal exec().
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer, int timeoutMs = 20000)
        : m_answer(answer)
        , m_deadline(timeoutMs)
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
        m_timer.start(10);
    }
    bool seen() const { return m_seen; }
    QString title() const { return m_title; }
    QString text() const { return m_text; }
    QString informativeText() const { return m_informativeText; }
    QMessageBox::StandardButtons buttons() const { return m_buttons; }
    QWidget *parentWidget() const { return m_parent; }
    bool wait(int timeoutMs = 20000) { return QTest::qWaitFor([this] { return m_seen; }, timeoutMs); }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QAbstractButton *button = box && box->isVisible() ? box->button(m_answer) : nullptr;
        if (!button) {
            if (m_deadline.hasExpired())
                m_timer.stop();
            return;
        }
        m_timer.stop();
        m_seen = true;
        m_title = box->windowTitle();
        m_text = box->text();
        m_informativeText = box->informativeText();
        m_buttons = box->standardButtons();
        m_parent = box->parentWidget();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QMessageBox::StandardButton m_answer;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    bool m_seen = false;
    QString m_title, m_text, m_informativeText;
    QMessageBox::StandardButtons m_buttons;
    QPointer<QWidget> m_parent;
};

// Takes over the desktop's handler of some URL schemes while it lives and records every
// address the code asks to open, instead of starting a browser or a file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    explicit UrlCatcher(const QStringList &schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                                      QStringLiteral("file")})
        : m_schemes(schemes)
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlCatcher() override
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }

private:
    QStringList m_schemes;
};

// Runs a function once from the event loop, for driving exec(): as soon as a modal window
// is shown and active, so that keys and shortcuts sent to it (or to a named child of it,
// never to whatever has the focus) arrive. When it never becomes active the function
// still runs with it at the time limit; when none opens, nothing runs.
inline void whenModal(std::function<void(QWidget *)> action, int timeoutMs = 20000)
{
    auto *timer = new QTimer(QCoreApplication::instance());
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action, deadline] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        const bool shown = modal && modal->isVisible();
        if (!(shown && QApplication::activeWindow() == modal) && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (shown)
            action(modal);
    });
    timer->start(10);
}

// A real double click as the window system delivers it: press, release, double-click
// event, release (item views ignore a double-click event that no press came before).
inline void doubleClick(QWidget *widget, QPoint pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

template <class T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

// The profile of one main window: settings cleared, a store of its own in a temporary
// folder, the service client on the given endpoint (by default a closed loopback port,
// where every request fails at once) and account. The window owns store and client.
class WindowSetup
{
public:
    explicit WindowSetup(const QString &endpoint = QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"),
                         int account = 0)
    {
        QSettings().clear();
        AppSettings::setEndpoint(endpoint);
        AppSettings::setIdTrainer(account);
        AppSettings::setAutoLoadUsers(false);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests(m_dir.path());
    }
    ~WindowSetup()
    {
        window.reset();
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }
    MainWindow *open()
    {
        window = std::make_unique<MainWindow>();
        return window.get();
    }
    std::unique_ptr<MainWindow> window;

private:
    QTemporaryDir m_dir;
};

// A local client; returns its local id.
inline int addLocalClient(const QString &surname, const QString &name, int webId = 0, bool offline = true)
{
    Client c;
    c.surname = surname;
    c.name = name;
    c.web_id = webId;
    c.offline = offline;
    c.saveToDB(false, false);
    return c.id;
}

inline QVariant storeValue(const QString &sql)
{
    QSqlQuery query(DataModule::m_instance->m_db);
    return query.exec(sql) && query.first() ? query.value(0) : QVariant();
}

inline QTableView *tableOf(MainWindow *window) { return child<QTableView>(window, "tableView"); }

// "Surname Name" of every row the client table shows, sorted.
inline QStringList shownClients(MainWindow *window)
{
    QStringList names;
    for (int row = 0; row < tableOf(window)->model()->rowCount(); ++row) {
        const QModelIndex index = tableOf(window)->model()->index(row, 2);
        names << index.data().toString() + QLatin1Char(' ') + index.siblingAtColumn(3).data().toString();
    }
    names.sort();
    return names;
}

// The centre of the surname cell of a client in the table.
inline QPoint clientCell(MainWindow *window, const QString &surname)
{
    QAbstractItemModel *model = tableOf(window)->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 2).data().toString() == surname)
            return tableOf(window)->visualRect(model->index(row, 2)).center();
    }
    return QPoint(-1, -1);
}

// A client stored on the service for the account, as another installation sends it;
// returns its web id.
inline int addServiceClient(const ReferenceService &service, int account, const QString &surname, const QString &name)
{
    const QJsonObject client{{QStringLiteral("id"), 0},         {QStringLiteral("surname"), surname},
                             {QStringLiteral("name"), name},    {QStringLiteral("sex"), QStringLiteral("F")},
                             {QStringLiteral("height"), 170},   {QStringLiteral("weight"), 60},
                             {QStringLiteral("birthday"), QStringLiteral("1990-05-01")}};
    const QByteArray body = "idSender=" + QByteArray::number(account) + "&action=setUserData&data="
                            + QUrl::toPercentEncoding(QString::fromUtf8(QJsonDocument(client).toJson()));
    const ReferenceService::Response reply = service.request("POST", service.endpointUrl().path(), body,
                                                             "application/x-www-form-urlencoded");
    return QJsonDocument::fromJson(reply.body)[QStringLiteral("data")][QStringLiteral("id")].toInt();
}

// The actions the service received from the account, in order of arrival; with a field
// name, each as "action:value of that field".
inline QStringList receivedActions(const ReferenceService &service, int account, const QString &field = QString())
{
    QStringList actions;
    for (const QJsonValue &request : service.receivedRequests()) {
        QMap<QString, QString> fields;
        for (const QJsonValue &pair : request[QStringLiteral("fields")].toArray())
            fields.insert(pair[0].toString(), pair[1].toString());
        if (fields.value(QStringLiteral("idSender")) == QString::number(account) && fields.contains(QStringLiteral("action")))
            actions << fields.value(QStringLiteral("action")) + (field.isEmpty() ? QString() : QLatin1Char(':') + fields.value(field));
    }
    return actions;
}
