#include "TestProfile.h"

#include "app/Startup.h"

#include <QDir>

#include <cstdlib>

namespace {

void setEnv(const char *name, const QString &value)
{
    qputenv(name, value.toLocal8Bit());
}

}  // namespace

TestProfile::TestProfile()
    : m_dir(QDir::tempPath() + QStringLiteral("/calvestra-test-XXXXXX"))
{
    if (!m_dir.isValid())
        qFatal("cannot create the temporary test profile");
    for (const char *sub : {"config", "data", "cache", "home", "runtime"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
    setEnv("XDG_CONFIG_HOME", configHome());
    setEnv("XDG_DATA_HOME", dataHome());
    setEnv("XDG_CACHE_HOME", m_dir.path() + QStringLiteral("/cache"));
    setEnv("HOME", m_dir.path() + QStringLiteral("/home"));
    QFile::setPermissions(m_dir.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setEnv("XDG_RUNTIME_DIR", m_dir.path() + QStringLiteral("/runtime"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application's identity decides the settings file; tests use the real one.
    Startup::prepareProcess();
}

TestProfile::~TestProfile() = default;

QString TestProfile::configHome() const
{
    return m_dir.path() + QStringLiteral("/config");
}

QString TestProfile::dataHome() const
{
    return m_dir.path() + QStringLiteral("/data");
}
