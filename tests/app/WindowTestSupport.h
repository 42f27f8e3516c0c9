#pragma once

#include "ReferenceService.h"

#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "cloud/HttpService.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSettings>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

// An endpoint on the loopback where nothing listens: the service client fails at once
// and never reaches anything outside the machine.
inline QUrl closedEndpoint()
{
    return QUrl(QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"));
}

// The profile of one main window: settings cleared, a store of its own in a temporary
// folder, the service client pointed at the given endpoint and account. The window
// takes the store and the service client over and destroys them with itself.
class WindowSetup
{
public:
    explicit WindowSetup(const QUrl &endpoint = closedEndpoint(), int account = 0, bool keepSettings = false)
    {
        if (!m_dir.isValid())
            qFatal("cannot create a temporary folder");
        if (!keepSettings)
            QSettings().clear();
        AppSettings::setEndpoint(endpoint.toString());
        AppSettings::setIdTrainer(account);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests(m_dir.path());
    }
    ~WindowSetup()
    {
        window.reset();
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }
    WindowSetup(const WindowSetup &) = delete;
    WindowSetup &operator=(const WindowSetup &) = delete;

    MainWindow *open()
    {
        window = std::make_unique<MainWindow>();
        return window.get();
    }
    // Closes the window (which drops the store) and opens the store again on the same
    // files, for a look at what was written.
    DataModule *closeAndReopenStore()
    {
        window.reset();
        HttpService::resetInstanceForTests(false);
        return DataModule::resetInstanceForTests(m_dir.path());
    }
    QString location() const { return m_dir.path(); }

    std::unique_ptr<MainWindow> window;

private:
    QTemporaryDir m_dir;
};

template <class T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

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
    if (!query.exec(sql) || !query.first())
        return QVariant();
    return query.value(0);
}

inline QTableView *tableOf(MainWindow *window)
{
    return child<QTableView>(window, "tableView");
}

inline QSqlTableModel *modelOf(MainWindow *window)
{
    return qobject_cast<QSqlTableModel *>(tableOf(window)->model());
}

// "Surname Name" of every row the table shows, sorted.
inline QStringList shownClients(MainWindow *window)
{
    QSqlTableModel *model = modelOf(window);
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 2).data().toString() + QLatin1Char(' ') + model->index(row, 3).data().toString();
    names.sort();
    return names;
}

// Clicks the row of the given surname, as an operator selects a client.
inline bool clickClient(MainWindow *window, const QString &surname)
{
    QSqlTableModel *model = modelOf(window);
    QTableView *view = tableOf(window);
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 2).data().toString() == surname) {
            const QModelIndex index = model->index(row, 2);
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            return true;
        }
    }
    return false;
}

inline QPoint clientCell(MainWindow *window, const QString &surname)
{
    QSqlTableModel *model = modelOf(window);
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 2).data().toString() == surname)
            return tableOf(window)->visualRect(model->index(row, 2)).center();
    }
    return QPoint(-1, -1);
}

// One form-encoded POST to the reference service's script, as an installation sends it.
inline QJsonObject postToService(const ReferenceService &service, int account, const QString &action,
                                 const QList<QPair<QString, QString>> &items)
{
    QByteArray body = "idSender=" + QByteArray::number(account) + "&action=" + QUrl::toPercentEncoding(action);
    for (const auto &item : items)
        body += '&' + QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second);
    const ReferenceService::Response response =
        service.request("POST", service.endpointUrl().path(), body, "application/x-www-form-urlencoded");
    return QJsonDocument::fromJson(response.body).object();
}

// A client stored on the service for the account; returns its web id.
inline int addServiceClient(const ReferenceService &service, int account, const QString &surname, const QString &name)
{
    QJsonObject client{{QStringLiteral("id"), 0},          {QStringLiteral("surname"), surname},
                       {QStringLiteral("name"), name},     {QStringLiteral("sex"), QStringLiteral("F")},
                       {QStringLiteral("birthday"), QStringLiteral("1990-05-01")},
                       {QStringLiteral("address"), QString()}, {QStringLiteral("city"), QStringLiteral("Torino")},
                       {QStringLiteral("province"), QStringLiteral("TO")},
                       {QStringLiteral("zipcode"), QString()}, {QStringLiteral("phone"), QString()},
                       {QStringLiteral("email"), QString()},   {QStringLiteral("height"), 170},
                       {QStringLiteral("weight"), 60}};
    const QJsonObject reply =
        postToService(service, account, QStringLiteral("setUserData"),
                      {{QStringLiteral("data"), QString::fromUtf8(QJsonDocument(client).toJson())}});
    return reply.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toInt();
}

// The last value of a form field of a recorded request.
inline QString requestField(const QJsonObject &request, const QString &name)
{
    QString value;
    for (const QJsonValue &field : request.value(QStringLiteral("fields")).toArray()) {
        const QJsonArray pair = field.toArray();
        if (pair.size() == 2 && pair.at(0).toString() == name)
            value = pair.at(1).toString();
    }
    return value;
}

// The script requests the service received from the account, in order of arrival.
inline QList<QJsonObject> receivedFrom(const ReferenceService &service, int account)
{
    QList<QJsonObject> requests;
    for (const QJsonValue &value : service.receivedRequests()) {
        const QJsonObject request = value.toObject();
        if (requestField(request, QStringLiteral("idSender")) == QString::number(account)
            && !requestField(request, QStringLiteral("action")).isEmpty())
            requests << request;
    }
    return requests;
}

// Their actions (the last action field of each).
inline QStringList receivedActions(const ReferenceService &service, int account)
{
    QStringList actions;
    for (const QJsonObject &request : receivedFrom(service, account))
        actions << requestField(request, QStringLiteral("action"));
    return actions;
}

// The same without the questionnaire-model request the main window makes on its own
// once the service answers, for tests that follow the background upload's order.
inline QStringList receivedUploadActions(const ReferenceService &service, int account)
{
    QStringList actions = receivedActions(service, account);
    actions.removeAll(QStringLiteral("getAnamnesiModels"));
    return actions;
}
