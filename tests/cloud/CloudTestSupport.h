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

// One installation of the application: its own store, the client pointed at the service, its records.
class CloudCase : public ServiceSession
{
public:
    using ServiceSession::ServiceSession;

    HttpService *operator->() const { return http(); }

    // A client stored here, not yet sent.
    Client addClient(const QString &surname) const
    {
        Client c;
        std::tie(c.surname, c.name, c.birthday, c.height, c.weight, c.activityLevel, c.phone) =
            std::tuple(surname, u"Test"_s, QDate(1984, 3, 9), 172.5, 68.25, 3, u"+39 011 555 1234"_s);
        c.saveToDB(false, false);
        return c;
    }
    // Sent, and read back with the web id the service gave.
    Client uploaded(Client client) const
    {
        QSignalSpy done(http(), &HttpService::onUploadClientDone);
        http()->saveClient(&client);
        (void)done.wait(20000);  // a test that needs the web id checks it
        client.loadFromDB(client.id);
        return client;
    }
    Anamnesi addAnamnesi(const Client &client, const QString &name, const QDate &day) const
    {
        Anamnesi a;
        std::tie(a.name, a.date, a.idClient) = std::tuple(name, QDateTime(day, QTime(9, 0)), client.id);
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
        for (const QString &table : {u"clients"_s, u"anamnesis"_s, u"outbox"_s}) {
            QSqlQuery query(store()->m_db);
            for (query.exec(u"select * from "_s + table); query.next(); text += u'\n')
                for (int i = 0; i < query.record().count(); ++i)
                    text += query.value(i).toString() + u'|';
        }
        for (QDirIterator files(store()->m_dataPath, QDir::Files, QDirIterator::Subdirectories); files.hasNext();)
            text += files.next() + u'=' + QString::number(files.fileInfo().size()) + u'\n';
        return text;
    }
};

// A scan as the scan widget writes it: picture, raw data and, when asked, the analysis.
inline ScanFile writeScan(const QString &folder, const QString &zone, const QDateTime &when, bool analysed,
                          int lines = 40, const QByteArray &picture = {})
{
    const QString path = QDir(folder).filePath(zone + u'-' + when.toString(u"yyyyMMdd--hh-mm-ss"_s));
    QByteArray samples(lines * 946, 0);
    for (int i = 0; i < samples.size(); ++i)
        samples[i] = char((i * 7 + i / 946) & 0xFF);
    const QByteArray jpg = picture.isEmpty() ? "\xFF\xD8 " + path.toUtf8() + QByteArray(2000, 'Z') : picture;
    for (const auto &[extension, bytes] : {std::pair{u".jpg"_s, jpg}, {u".d2d"_s, samples},
                                           {u".json"_s, QByteArray(R"({"linemarks":[{"y1":10,"y2":40}]})")}}) {
        QFile file(path + extension);
        if ((analysed || extension != u".json"_s) && (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(bytes) < 0))
            qWarning("cannot write %s", qPrintable(file.fileName()));
    }
    return ScanFile::createFromFilePath(path + u".jpg"_s);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
