#include "app/Startup.h"

#include "app/AppInfo.h"
#include "app/AppLog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>

void Startup::prepareProcess()
{
    // Fractional scale factors are used as they are. The scaling attribute itself is
    // always on in Qt 6; it is still requested so the intent stays visible.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QT_WARNING_POP
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    QCoreApplication::setOrganizationName(AppInfo::organizationName);
    QCoreApplication::setOrganizationDomain(AppInfo::organizationDomain);
    QCoreApplication::setApplicationName(AppInfo::applicationName);
    QCoreApplication::setApplicationVersion(AppInfo::version);
}

void Startup::applyWindowIcon()
{
    QApplication::setWindowIcon(QIcon(AppInfo::windowIcon));
}

LanguageInstaller::~LanguageInstaller()
{
    removeInstalled();
}

void LanguageInstaller::removeInstalled()
{
    if (m_qtInstalled)
        QCoreApplication::removeTranslator(&m_qtTranslator);
    if (m_appInstalled)
        QCoreApplication::removeTranslator(&m_appTranslator);
    m_qtInstalled = m_appInstalled = false;
}

bool LanguageInstaller::install(const QString &languageCode)
{
    removeInstalled();

    // The toolkit's catalogue follows the system locale, not the "lang" setting.
    if (m_qtTranslator.load(QStringLiteral("qtbase_") + QLocale::system().name(),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        m_qtInstalled = QCoreApplication::installTranslator(&m_qtTranslator);

    // Italian is the source language: nothing to load. The comparison is case-sensitive.
    if (languageCode == QLatin1String("it"))
        return false;

    if (m_appTranslator.load(QStringLiteral(":/i18n/") + languageCode)) {
        m_appInstalled = QCoreApplication::installTranslator(&m_appTranslator);
    } else {
        qCDebug(lcApp).noquote() << QStringLiteral("translation file invalid ") + languageCode;
    }
    return m_appInstalled;
}
