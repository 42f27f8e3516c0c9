#pragma once

#include <QTranslator>

class QCoreApplication;

// The steps of start-up that come before the main window exists.
class Startup
{
public:
    // High-DPI policy and application identity; must run before the application object exists.
    static void prepareProcess();
    // The window icon; needs the application object.
    static void applyWindowIcon();
    // Opens the local store before the main window needs it. A store that cannot be
    // created is explained to the operator; a damaged database is kept aside and a new
    // one started only when the operator agrees. False when the application must end.
    static bool openStore();
};

// Owns the two translators for as long as the event loop runs: the toolkit's own
// catalogue for the system locale, and the application's for the "lang" setting.
class LanguageInstaller
{
public:
    LanguageInstaller() = default;
    LanguageInstaller(const LanguageInstaller &) = delete;
    LanguageInstaller &operator=(const LanguageInstaller &) = delete;
    ~LanguageInstaller();

    // Installs the catalogues for the given language code ("it" loads none of the
    // application's). Returns true when the application catalogue is in use.
    bool install(const QString &languageCode);
    bool hasApplicationCatalogue() const { return m_appInstalled; }
    const QTranslator &applicationTranslator() const { return m_appTranslator; }

private:
    void removeInstalled();

    QTranslator m_qtTranslator;
    QTranslator m_appTranslator;
    bool m_qtInstalled = false;
    bool m_appInstalled = false;
};
