#pragma once

#include "LogCatcher.h"
#include "ReferenceService.h"
#include "ServiceSession.h"

#include "anamnesis/Anamnesi.h"
#include "cloud/HttpService.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace Qt::StringLiterals;

// One installation of the application: its own store, the client pointed at the service
// under one account, and the records it makes.
class CloudCase : public ServiceSession
{
public:
    using ServiceSession::ServiceSession;

    HttpService *operator->() const { return http(); }

    // A client stored here, not yet sent.
    Client addClient(const QString &surname, const QString &name = u"Test"_s) const
    {
        Client c;
        c.surname = surname;
        c.name = name;
        c.birthday = QDate(1984, 3, 9);
        c.height = 172.5;
        c.weight = 68.25;
        c.activityLevel = 3;
        c.phone = u"+39 011 555 1234"_s;
        c.saveToDB(false, false);
        return c;
    }
    // Sent, and read back with the web id the service gave.
    Client uploaded(Client client) const
    {
        QSignalSpy done(http(), &HttpService::onUploadClientDone);
        http()->saveClient(&client);
        if (!done.wait(20000))
            qWarning("client upload not confirmed");
        client.loadFromDB(client.id);
        return client;
    }
    Anamnesi addAnamnesi(const Client &client, const QString &name, const QDate &day) const
    {
        Anamnesi a;
        a.name = name;
        a.date = QDateTime(day, QTime(9, 0));
        a.idClient = client.id;
        a.SaveToDB(false, false);
        return a;
    }
    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query(store()->m_db);
        return query.exec(sql) && query.first() ? query.value(0) : QVariant();
    }
    bool exec(const QString &sql) const { return QSqlQuery(store()->m_db).exec(sql); }
    // The local rows and files, to see that nothing changed.
    QString snapshot() const
    {
        QString text;
        for (const QString &table : {u"clients"_s, u"anamnesis"_s, u"pendingExams"_s}) {
            QSqlQuery query(store()->m_db);
            query.exec(u"select * from "_s + table);
            while (query.next()) {
                for (int i = 0; i < query.record().count(); ++i)
                    text += query.value(i).toString() + u'|';
                text += u'\n';
            }
        }
        QDirIterator files(store()->m_dataPath, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            text += files.next() + u'=' + QString::number(files.fileInfo().size()) + u'\n';
        return text;
    }
};

// A scan as the scan widget writes it: picture, raw data and, when asked, the analysis.
inline ScanFile writeScan(const QString &folder, const QString &zone, const QDateTime &when, bool analysed,
                          int lines = 40, const QByteArray &picture = {})
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(zone + u'-' + when.toString(u"yyyyMMdd--hh-mm-ss"_s));
    const auto write = [](const QString &name, const QByteArray &bytes) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qWarning("cannot write %s", qPrintable(name));
    };
    write(path + u".jpg"_s, picture.isEmpty() ? "\xFF\xD8\xFF\xE0 " + path.toUtf8() + QByteArray(2000, 'Z') + "\xFF\xD9" : picture);
    QByteArray samples(lines * 946, 0);
    for (int i = 0; i < samples.size(); ++i)
        samples[i] = char((i * 7 + i / 946) & 0xFF);
    write(path + u".d2d"_s, samples);
    if (analysed)
        write(path + u".json"_s, R"({"linemarks":[{"y1":10,"y2":40}]})");
    return ScanFile::createFromFilePath(path + u".jpg"_s);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The requests the service received of one kind (action, "probe", "modelFile", ...).
inline QList<QJsonObject> requestsOfKind(const ReferenceService &service, const QString &kind)
{
    QList<QJsonObject> list;
    for (const QJsonValue &value : service.receivedRequests())
        if (value[u"kind"_s].toString() == kind)
            list << value.toObject();
    return list;
}

// Waits until the service has recorded `count` requests of that kind; the last of them.
inline QJsonObject waitForRequest(const ReferenceService &service, const QString &kind, int count = 1)
{
    QJsonObject last;
    (void)QTest::qWaitFor([&] {
        const QList<QJsonObject> list = requestsOfKind(service, kind);
        last = list.size() >= count ? list.last() : QJsonObject();
        return !last.isEmpty();
    }, 20000);
    return last;
}

// The fields of a recorded request as "name=value", in arrival order.
inline QStringList recordedFields(const QJsonObject &request)
{
    QStringList fields;
    for (const QJsonValue &field : request[u"fields"_s].toArray())
        fields << field[0].toString() + u'=' + field[1].toString();
    return fields;
}

inline QString fieldValue(const QJsonObject &request, const QString &name)
{
    QString value;
    for (const QString &field : recordedFields(request))
        if (field.startsWith(name + u'='))
            value = field.mid(name.size() + 1);
    return value;
}

// One getUserFile over the wire: its error, with the body.
inline QNetworkReply::NetworkError fetch(HttpService *http, int idUser, const QString &kind, const QString &name,
                                         QByteArray *body = nullptr)
{
    QNetworkReply *reply = http->getUserFile(idUser, kind, name);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        qWarning("getUserFile did not finish");
    const QNetworkReply::NetworkError error = reply->error();
    if (body)
        *body = reply->readAll();
    delete reply;
    return error;
}
