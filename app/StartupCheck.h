#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class HttpService;
class QAbstractItemModel;
class QWidget;

// The application's self-check (calvestra --check FILE.png): once the main window is up,
// waits until the web service has answered and the client list shows clients, then
// writes a picture of the whole screen to FILE.png and reports success. When that does
// not happen within the time limit it reports what was missing instead.
class StartupCheck : public QObject
{
    Q_OBJECT

public:
    StartupCheck(QWidget *window, HttpService *service, QString picturePath, int timeoutMs,
                 QObject *parent = nullptr);

    void start();
    // Why the check failed; empty after a success.
    QString failure() const { return m_failure; }
    // Rows the client list showed when the picture was taken.
    int clientRows() const { return m_rows; }

signals:
    // 0 when the picture was written, 1 otherwise.
    void finished(int exitCode);

private:
    void connectionStatus(bool connected);
    void poll();
    int listedClients() const;
    void finish(const QString &failure);

    QPointer<QWidget> m_window;
    QPointer<HttpService> m_service;
    QString m_picturePath;
    int m_timeoutMs;
    QTimer m_poll;
    QElapsedTimer m_elapsed;
    bool m_serviceAnswered = false;
    bool m_done = false;
    int m_rows = 0;
    // The list is shown a moment before the picture, so that it has been painted.
    qint64 m_readySinceMs = -1;
    QString m_failure;
};
