#pragma once

#include <QString>

// The application's identity. It also decides where the per-user settings live.
namespace AppInfo {
inline const QString organizationName = QStringLiteral("Vantrel");
inline const QString organizationDomain = QStringLiteral("vantrel.it");
inline const QString applicationName = QStringLiteral("Calvestra");
inline const QString version = QStringLiteral("0.6.4");
inline const QString windowIcon = QStringLiteral(":/icons/appicon");
}  // namespace AppInfo
