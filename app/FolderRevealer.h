#pragma once

#include <QString>

// Shows a folder in the desktop's file manager, selected in its parent folder. On
// freedesktop desktops it asks the file manager over D-Bus and, when no file manager
// answers, opens the folder itself with the default handler; on macOS Finder is told
// through osascript. Returns at once; failures are not reported.
class FolderRevealer
{
public:
    static void reveal(const QString &folder);

    // How long the file manager may take to answer before the folder is opened instead.
    static constexpr int dbusTimeoutMs = 5000;
};
