#include "app/FolderRevealer.h"

#include "app/AppLog.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#ifdef Q_OS_MACOS
#include <QProcess>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace {

void openFolder(const QString &folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace

void FolderRevealer::reveal(const QString &folder)
{
#ifdef Q_OS_MACOS
    QProcess::execute(QStringLiteral("/usr/bin/osascript"),
                      {QStringLiteral("-e"),
                       QStringLiteral("tell application \"Finder\" to reveal POSIX file \"") + folder
                           + QStringLiteral("\"")});
    QProcess::execute(QStringLiteral("/usr/bin/osascript"),
                      {QStringLiteral("-e"), QStringLiteral("tell application \"Finder\" to activate")});
#else
    // Without the trailing slash the file manager selects the folder in its parent
    // rather than opening it.
    const QString cleaned = QDir::cleanPath(folder);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcApp).noquote() << "no session bus, opening" << cleaned;
        openFolder(cleaned);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(cleaned).toString()} << QString();
    // Asynchronous: a slow file manager must not freeze the dialog. The watcher
    // deletes itself once the answer (or the time-out) has arrived.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, dbusTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [cleaned](QDBusPendingCallWatcher *self) {
                         const QDBusPendingReply<> reply = *self;
                         if (reply.isError()) {
                             qCDebug(lcApp).noquote() << "file manager not reachable:" << reply.error().message()
                                                      << "- opening" << cleaned;
                             openFolder(cleaned);
                         }
                         self->deleteLater();
                     });
#endif
}
