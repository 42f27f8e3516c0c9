#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkReply;

// Keeps one network reply from hanging or flooding memory: it aborts the reply when
// no byte has moved in either direction for the idle time, or when the body grows
// beyond the size limit. The watchdog is a child of its reply and ends with it; the
// reply's own finished handler then sees an error and reports it like any other
// transport failure, with failureText() in place of the generic abort text.
class ReplyWatchdog : public QObject
{
    Q_OBJECT

public:
    // idleMs <= 0 disables the time-out; maxBytes <= 0 disables the size limit.
    static ReplyWatchdog *watch(QNetworkReply *reply, int idleMs, qint64 maxBytes);
    // The watchdog of a reply, or null.
    static ReplyWatchdog *of(const QNetworkReply *reply);

    bool timedOut() const { return m_timedOut; }
    bool tooLarge() const { return m_tooLarge; }
    // True when the reply ended with a transport error or was cut by its watchdog.
    static bool failed(const QNetworkReply *reply);
    // Why the reply failed: the watchdog's reason when it aborted, else the reply's error text.
    static QString failureText(const QNetworkReply *reply);

private:
    ReplyWatchdog(QNetworkReply *reply, int idleMs, qint64 maxBytes);

    void activity();
    void received(qint64 bytesReceived);
    void checkDeclaredLength();
    void refuseOversized();
    void expire();

    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    int m_idleMs;
    qint64 m_maxBytes;
    bool m_timedOut = false;
    bool m_tooLarge = false;
};
