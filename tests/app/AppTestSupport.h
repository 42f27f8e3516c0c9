#pragma once

#include "ReferenceService.h"

#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "store/DataModule.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

// Answers the next message box (one opened by a modal exec() too) and records what it said.
class MessageBoxAnswerer : public QObject
{
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer, int timeoutMs = 20000)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, answer, deadline = QDeadlineTimer(timeoutMs)] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QAbstractButton *button = box && box->isVisible() ? box->button(answer) : nullptr;
            if ((button && !m_repeat) || deadline.hasExpired())
                m_timer.stop();
            if (!button)
                return;
            std::tie(m_seen, m_title, m_text, m_informativeText) = std::tuple(true, box->windowTitle(), box->text(), box->informativeText());
            m_parent = box->parentWidget();
            QTest::mouseClick(button, Qt::LeftButton);
        });
        m_timer.start(10);
    }
    bool seen() const { return m_seen; }
    QString title() const { return m_title; }
    QString text() const { return m_text; }
    QString informativeText() const { return m_informativeText; }
    QWidget *parentWidget() const { return m_parent; }
    void setRepeat(bool on) { m_repeat = on; }  // answer every box until the time limit

private:
    QTimer m_timer;
    bool m_seen = false, m_repeat = false;
    QString m_title, m_text, m_informativeText;
    QPointer<QWidget> m_parent;
};

// Records the addresses the code asks the desktop to open, in place of a browser or file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    explicit UrlCatcher(const QStringList &schemes = {u"http"_s, u"https"_s, u"file"_s})
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

// Runs a function once from the event loop, for driving exec(), as soon as a modal window is
// shown and active: keys and shortcuts sent to it (or to a named child of it, never to whatever
// has the focus) arrive. At the time limit an inactive one is handed over all the same; when
// none opens, nothing runs. A check that fails in the function closes it: exec() returns.
inline void whenModal(std::function<void(QWidget *)> action, int timeoutMs = 20000)
{
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action, deadline = QDeadlineTimer(timeoutMs)] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!(modal && modal->isVisible() && QApplication::activeWindow() == modal) && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (modal && modal->isVisible())
            action(modal);
        if (modal && QTest::currentTestFailed())
            modal->close();
    });
    timer->start(10);
}

// A double click as the window system delivers it (item views want a press first).
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

// The profile of a window or dialog: settings cleared but for the endpoint (by default a
// closed loopback port: requests fail at once) and the account, no download at start; a
// store of its own in a temporary folder. A window takes store and service client over.
class WindowSetup
{
public:
    explicit WindowSetup(const QString &endpoint = u"http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"_s, int account = 0)
    {
        QSettings().clear();
        AppSettings::setEndpoint(endpoint);
        AppSettings::setIdTrainer(account);
        AppSettings::setAutoLoadUsers(false);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests(m_dir.path());
        // Quick retries: a test waits seconds, not minutes.
        OutboxSender::resetInstanceForTests(true)->setTimes(100, 100, 800);
        OutboxSender::m_instance->setGuardTimes(3000, 3000);
    }
    ~WindowSetup()
    {
        window.reset();
        OutboxSender::resetInstanceForTests(false);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }
    MainWindow *open() { return (window = std::make_unique<MainWindow>()).get(); }
    std::unique_ptr<MainWindow> window;

private:
    QTemporaryDir m_dir;
};

// A local client, queued for the service when it is marked as not yet sent; returns its local id.
inline int addLocalClient(const QString &surname, const QString &name, int webId = 0, bool offline = true)
{
    Client c;
    std::tie(c.surname, c.name, c.web_id, c.offline) = std::tuple(surname, name, webId, offline);
    c.saveToDB(offline, false);
    return c.id;
}

inline QVariant storeValue(const QString &sql)
{
    QSqlQuery query(DataModule::m_instance->m_db);
    return query.exec(sql) && query.first() ? query.value(0) : QVariant();
}

inline QTableView *tableOf(MainWindow *window) { return child<QTableView>(window, "tableView"); }

// "Surname Name" of every row the client table shows, sorted, joined by commas.
inline QString shownClients(MainWindow *window)
{
    QStringList names;
    for (int row = 0; row < tableOf(window)->model()->rowCount(); ++row) {
        const QModelIndex index = tableOf(window)->model()->index(row, 2);
        names << index.data().toString() + u' ' + index.siblingAtColumn(3).data().toString();
    }
    names.sort();
    return names.join(u", "_s);
}

// Clicks (or double-clicks) the row of a client, as an operator does.
inline void clickClient(MainWindow *window, const QString &surname, bool twice = false)
{
    const auto found = tableOf(window)->model()->match(tableOf(window)->model()->index(0, 2), Qt::DisplayRole, surname);
    const QPoint cell = found.isEmpty() ? QPoint(-1, -1) : tableOf(window)->visualRect(found.first()).center();
    if (twice)
        doubleClick(tableOf(window)->viewport(), cell);
    else
        QTest::mouseClick(tableOf(window)->viewport(), Qt::LeftButton, {}, cell);
}

// A client stored on the service for the account, as another installation sends it; its web id.
inline int addServiceClient(const ReferenceService &service, int account, const QString &surname, const QString &name)
{
    const QJsonObject client{{u"id"_s, 0}, {u"surname"_s, surname}, {u"name"_s, name}, {u"sex"_s, u"F"_s},
                             {u"height"_s, 170}, {u"weight"_s, 60}, {u"birthday"_s, u"1990-05-01"_s}};
    const QByteArray body = "idSender=" + QByteArray::number(account) + "&action=setUserData&data="
                            + QUrl::toPercentEncoding(QString::fromUtf8(QJsonDocument(client).toJson()));
    const auto reply = service.request("POST", service.endpointUrl().path(), body, "application/x-www-form-urlencoded");
    return QJsonDocument::fromJson(reply.body)[u"data"_s][u"id"_s].toInt();
}

// The actions the service received from the account in order; with a field, as "action:value".
inline QStringList receivedActions(const ReferenceService &service, int account, const QString &field = {})
{
    QStringList actions;
    for (const QJsonValue &request : service.receivedRequests()) {
        QMap<QString, QString> fields;
        for (const QJsonValue &pair : request[u"fields"_s].toArray())
            fields.insert(pair[0].toString(), pair[1].toString());
        if (fields.value(u"idSender"_s) == QString::number(account) && fields.contains(u"action"_s))
            actions << fields.value(u"action"_s) + (field.isEmpty() ? QString() : u':' + fields.value(field));
    }
    return actions;
}
