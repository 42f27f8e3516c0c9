#include "app/Startup.h"

#include "app/AppInfo.h"
#include "app/AppLog.h"
#include "store/DataModule.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
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

bool Startup::openStore()
{
    DataModule *store = nullptr;
    try {
        store = DataModule::instance();
    } catch (const std::exception &e) {
        qCWarning(lcApp).noquote() << "the local store cannot be opened";
        QMessageBox::critical(nullptr, QCoreApplication::translate("Startup", "Calvestra"),
                              QString::fromStdString(e.what()));
        return false;
    }
    if (!store->isDamaged())
        return true;
    qCWarning(lcApp).noquote() << "the local database cannot be read";
    const auto answer = QMessageBox::question(
        nullptr, QCoreApplication::translate("Startup", "Database danneggiato"),
        QCoreApplication::translate("Startup",
                                    "Il database locale %1 non può essere letto (%2).\n"
                                    "Verrà spostato da parte senza modificarlo, insieme alle scansioni, e ne "
                                    "verrà creato uno nuovo; i clienti salvati sul server verranno riscaricati.\n"
                                    "Continuare? Scegliendo No l'applicazione si chiude e il file resta com'è.")
            .arg(QDir::toNativeSeparators(store->m_dbFile), store->damageText()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    if (!store->startAfresh()) {
        QMessageBox::critical(nullptr, QCoreApplication::translate("Startup", "Database danneggiato"),
                              QCoreApplication::translate("Startup", "Impossibile creare un nuovo database."));
        return false;
    }
    QMessageBox::information(nullptr, QCoreApplication::translate("Startup", "Database danneggiato"),
                             QCoreApplication::translate("Startup", "Il database danneggiato è stato spostato in %1.")
                                 .arg(QDir::toNativeSeparators(store->setAsidePath())));
    return true;
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
