#include "app/StartupCheck.h"

#include "app/AppLog.h"
#include "cloud/HttpService.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QWidget>

#include <utility>

namespace {

constexpr int pollIntervalMs = 100;
// Long enough for the first paint of the list after its rows arrive.
constexpr qint64 settleMs = 700;

}  // namespace

StartupCheck::StartupCheck(QWidget *window, HttpService *service, QString picturePath, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_service(service)
    , m_picturePath(std::move(picturePath))
    , m_timeoutMs(timeoutMs)
{
    m_poll.setInterval(pollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &StartupCheck::poll);
    if (service) {
        connect(service, &HttpService::onConnectionStatus, this, &StartupCheck::connectionStatus);
        m_serviceAnswered = service->m_connected;
    }
}

void StartupCheck::start()
{
    m_elapsed.start();
    m_poll.start();
    qCInfo(lcApp).noquote() << "check: waiting for the service and the client list";
}

void StartupCheck::connectionStatus(bool connected)
{
    if (connected && !m_serviceAnswered)
        qCInfo(lcApp).noquote() << "check: the service answered";
    m_serviceAnswered = m_serviceAnswered || connected;
}

int StartupCheck::listedClients() const
{
    const auto *table = m_window ? m_window->findChild<QTableView *>(QStringLiteral("tableView")) : nullptr;
    if (!table || !table->isVisible() || !table->model())
        return 0;
    return table->model()->rowCount();
}

void StartupCheck::poll()
{
    if (m_done)
        return;
    m_rows = listedClients();
    const bool ready = m_serviceAnswered && m_rows > 0 && m_window && m_window->isVisible();
    if (!ready) {
        m_readySinceMs = -1;
    } else if (m_readySinceMs < 0) {
        m_readySinceMs = m_elapsed.elapsed();
    } else if (m_elapsed.elapsed() - m_readySinceMs >= settleMs) {
        QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
        // Window 0 is the whole screen: what a person in front of it would see.
        const QPixmap picture = screen ? screen->grabWindow(0) : QPixmap();
        const QString folder = QFileInfo(m_picturePath).absolutePath();
        if (picture.isNull())
            finish(QStringLiteral("the screen could not be captured"));
        else if (!QDir().mkpath(folder) || !picture.save(m_picturePath, "PNG"))
            finish(QStringLiteral("cannot write %1").arg(m_picturePath));
        else
            finish(QString());
        return;
    }

    if (m_elapsed.elapsed() >= m_timeoutMs) {
        QStringList missing;
        if (!m_window || !m_window->isVisible())
            missing << QStringLiteral("the main window is not shown");
        if (!m_serviceAnswered)
            missing << QStringLiteral("the web service did not answer");
        if (m_rows == 0)
            missing << QStringLiteral("the client list stayed empty");
        finish(QStringLiteral("after %1 s: %2").arg(m_timeoutMs / 1000).arg(missing.join(QStringLiteral("; "))));
    }
}

void StartupCheck::finish(const QString &failure)
{
    m_done = true;
    m_poll.stop();
    m_failure = failure;
    if (failure.isEmpty())
        qCInfo(lcApp).noquote() << QStringLiteral("check passed: %1 clients listed, the service answers, picture in %2")
                                       .arg(m_rows)
                                       .arg(m_picturePath);
    else
        qCWarning(lcApp).noquote() << "check failed:" << failure;
    emit finished(failure.isEmpty() ? 0 : 1);
}
