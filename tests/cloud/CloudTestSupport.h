#pragma once

#include "LogCatcher.h"

#include "ReferenceService.h"
#include "ServiceSession.h"

#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/ScanFile.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>

#include <zip.h>

// The service session of the cloud tests, with the records they send.
class CloudCase : public ServiceSession
{
public:
    CloudCase(const ReferenceService &service, int account, bool development = false)
        : ServiceSession(service, account, development)
    {
    }

    HttpService *operator->() const { return http(); }

    // A client stored locally (pending, no web id).
    Client addClient(const QString &surname, const QString &name) const
    {
        Client c;
        c.surname = surname;
        c.name = name;
        c.birthday = QDate(1984, 3, 9);
        c.height = 172.5;
        c.weight = 68.25;
        c.activityLevel = 3;
        c.phone = QStringLiteral("+39 011 555 1234");
        c.saveToDB(false, false);
        return c;
    }

    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query(store()->m_db);
        if (!query.exec(sql) || !query.first())
            return QVariant();
        return query.value(0);
    }
    bool exec(const QString &sql) const
    {
        QSqlQuery query(store()->m_db);
        return query.exec(sql);
    }
    // Every row of a table as text, to see that nothing local changed.
    QString dump(const QString &table) const
    {
        QString text;
        QSqlQuery query(store()->m_db);
        if (!query.exec(QStringLiteral("select * from ") + table + QStringLiteral(" order by id")))
            return QStringLiteral("<failed>");
        while (query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                text += query.value(i).toString() + QLatin1Char('|');
            text += QLatin1Char('\n');
        }
        return text;
    }

};

// A scan as the scan widget writes it: picture, raw data and, when asked, the analysis.
inline ScanFile writeScan(const QString &folder, const QString &zone, const QDateTime &when, bool analysed,
                          int lines = 40, int samplesPerLine = 946)
{
    QDir().mkpath(folder);
    const QString base = zone + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd--hh-mm-ss"));
    const QString path = folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + base;

    QFile jpg(path + QStringLiteral(".jpg"));
    if (jpg.open(QIODevice::WriteOnly)) {
        QByteArray bytes("\xFF\xD8\xFF\xE0 picture of ");
        bytes += base.toUtf8();
        bytes += QByteArray(2000 + lines, char(0x5A));
        bytes += "\xFF\xD9";
        jpg.write(bytes);
    }
    QFile d2d(path + QStringLiteral(".d2d"));
    if (d2d.open(QIODevice::WriteOnly)) {
        QDataStream out(&d2d);
        out.setByteOrder(QDataStream::LittleEndian);
        QByteArray samples(lines * samplesPerLine, 0);
        for (int i = 0; i < samples.size(); ++i)
            samples[i] = char((i * 7 + i / samplesPerLine) & 0xFF);
        out << qint32(samplesPerLine) << qint32(1) << samples;
    }
    if (analysed) {
        QFile json(path + QStringLiteral(".json"));
        if (json.open(QIODevice::WriteOnly))
            json.write(R"({"linemarks":[{"y1":10,"y2":40}]})");
    }
    return ScanFile::createFromFilePath(path + QStringLiteral(".jpg"));
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The entries of a zip file, read back with libzip (empty and ok false when it is not one).
struct ZipListing
{
    bool ok = false;
    QStringList names;
    QList<QByteArray> contents;
};

inline ZipListing listZip(const QString &path)
{
    ZipListing listing;
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive)
        return listing;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        listing.names << QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS));
        QByteArray content;
        if (zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0)) {
            char buffer[8192];
            zip_int64_t n = 0;
            while ((n = zip_fread(file, buffer, sizeof buffer)) > 0)
                content.append(buffer, int(n));
            zip_fclose(file);
        }
        listing.contents << content;
    }
    zip_discard(archive);
    listing.ok = true;
    return listing;
}

// The requests the service received for one kind (action, "probe", "modelFile", ...).
inline QList<QJsonObject> requestsOfKind(const ReferenceService &service, const QString &kind)
{
    QList<QJsonObject> list;
    const QJsonArray all = service.receivedRequests();
    for (const QJsonValue &value : all) {
        const QJsonObject request = value.toObject();
        if (request.value(QStringLiteral("kind")).toString() == kind)
            list << request;
    }
    return list;
}

// The fields of a recorded request as (name, value) pairs in arrival order.
inline QList<QPair<QString, QString>> recordedFields(const QJsonObject &request)
{
    QList<QPair<QString, QString>> fields;
    for (const QJsonValue &field : request.value(QStringLiteral("fields")).toArray())
        fields << qMakePair(field.toArray().at(0).toString(), field.toArray().at(1).toString());
    return fields;
}

inline QStringList fieldNames(const QJsonObject &request)
{
    QStringList names;
    for (const auto &field : recordedFields(request))
        names << field.first;
    return names;
}

inline QString fieldValue(const QJsonObject &request, const QString &name)
{
    QString value;
    for (const auto &field : recordedFields(request)) {
        if (field.first == name)
            value = field.second;
    }
    return value;
}

// Collects the debug lines of "calvestra.cloud" while it lives.
class CloudLogCatcher : public LogCatcher
{
public:
    CloudLogCatcher()
        : LogCatcher("calvestra.cloud")
    {
    }
};

// Waits (bounded) until the service has recorded count requests of that kind; returns the last.
inline QJsonObject waitForRequest(const ReferenceService &service, const QString &kind, int count = 1,
                                  int timeoutMs = 10000)
{
    QJsonObject last;
    const bool seen = QTest::qWaitFor(
        [&] {
            const QList<QJsonObject> list = requestsOfKind(service, kind);
            if (list.size() < count)
                return false;
            last = list.last();
            return true;
        },
        timeoutMs);
    return seen ? last : QJsonObject();
}
