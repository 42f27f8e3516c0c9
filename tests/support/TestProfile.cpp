#include "TestProfile.h"

#include "app/Startup.h"

#include <QDir>

TestProfile::TestProfile()
    : m_dir(QDir::tempPath() + QStringLiteral("/calvestra-test-XXXXXX"))
{
    if (!m_dir.isValid())
        qFatal("cannot create the temporary test profile");
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = m_dir.filePath(QString::fromLatin1(variable).remove(QStringLiteral("XDG_")).toLower());
        QDir().mkpath(folder);
        qputenv(variable, folder.toLocal8Bit());
    }
    QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime_dir")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application's identity decides the settings file; tests use the real one.
    Startup::prepareProcess();
}
