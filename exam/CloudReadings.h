#pragma once

#include "exam/ScanReading.h"
#include "store/Exam.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class HttpService;
class QNetworkReply;

// The readings of a client's exams on the web service: the client's works, then the
// analysis file of each of their scans. Scans already read (or kept on this computer) are
// not asked for again; a failed download is tried at the next fetch.
class CloudReadings : public QObject
{
    Q_OBJECT

public:
    explicit CloudReadings(QObject *parent = nullptr);
    ~CloudReadings() override;

    // skip: base names of scans whose reading is known here already.
    void fetch(int webIdUser, const QSet<QString> &skip);
    QList<ScanReading> readings() const;
    bool busy() const { return m_awaitingWorks || !m_replies.isEmpty(); }

signals:
    // Every download of a fetch has ended; readings() holds what came.
    void fetched();

private:
    HttpService *service();
    void worksReceived(const QList<Exam> &works);
    void fileReceived(QNetworkReply *reply, const QString &baseName);
    void finishIfDone();

    QPointer<HttpService> m_service;
    int m_webId = 0;
    bool m_awaitingWorks = false;
    QSet<QString> m_skip;
    // Base names asked for, answered or in flight; those with a reading.
    QSet<QString> m_asked;
    QMap<QString, ScanReading> m_readings;
    QList<QPointer<QNetworkReply>> m_replies;
};
