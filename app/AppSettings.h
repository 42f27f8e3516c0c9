#pragma once

#include <QString>

// The complete table of persistent settings: every key with its type and default.
// There is no cache: each call opens the native per-user store for one read or one
// write, so a value written anywhere is what the next reader sees.
class AppSettings
{
public:
    static inline const QString keyLang = QStringLiteral("lang");
    static inline const QString keyAutoLoadUsers = QStringLiteral("autoLoadUsers");
    static inline const QString keyShowUploadNotifyMessage = QStringLiteral("showUploadNotifyMessage");
    static inline const QString keyBetaMode = QStringLiteral("betaMode");
    static inline const QString keyDevMode = QStringLiteral("devMode");
    static inline const QString keyEndpoint = QStringLiteral("endpoint");
    static inline const QString keyIdTrainer = QStringLiteral("idTrainer");
    static inline const QString keyUserName = QStringLiteral("user_name");
    // The account's token, only where no keyring answers (see cloud/AccountToken).
    static inline const QString keyAccountToken = QStringLiteral("accountToken");
    // A PEM file of certificate authorities trusted besides the system's, for a
    // service with a certificate of its own.
    static inline const QString keyCaFile = QStringLiteral("caFile");

    static inline const QString defaultLang = QStringLiteral("it");
    static constexpr bool defaultAutoLoadUsers = true;
    static constexpr bool defaultShowUploadNotifyMessage = true;
    static constexpr bool defaultBetaMode = false;
    static constexpr bool defaultDevMode = false;
    static constexpr int defaultIdTrainer = 0;
    static QString defaultEndpoint();

    static QString lang();
    static void setLang(const QString &code);
    static bool autoLoadUsers();
    static void setAutoLoadUsers(bool on);
    static bool showUploadNotifyMessage();
    static void setShowUploadNotifyMessage(bool on);
    static bool betaMode();
    static void setBetaMode(bool on);
    static bool devMode();
    static void setDevMode(bool on);
    static QString endpoint();
    static void setEndpoint(const QString &url);
    static int idTrainer();
    static void setIdTrainer(int id);
    static QString userName();
    static void setUserName(const QString &name);
    static QString caFile();
    static void setCaFile(const QString &path);

    // The maker's web host (update file, manual, web application), fixed at build time;
    // CALVESTRA_WEB_HOST in the environment names another (the demo's own service).
    static QString webHost();
};
