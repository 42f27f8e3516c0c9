#include "app/AppSettings.h"

#include "BuildConfig.h"

#include <QSettings>

namespace {

QVariant readValue(const QString &key, const QVariant &fallback)
{
    QSettings settings;
    return settings.value(key, fallback);
}

void writeValue(const QString &key, const QVariant &value)
{
    QSettings settings;
    settings.setValue(key, value);
}

}  // namespace

QString AppSettings::webHost()
{
    // The demo's reference service runs on a free port, so the host is only known at start.
    QString host = qEnvironmentVariable("CALVESTRA_WEB_HOST");
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host.isEmpty() ? QStringLiteral(CALVESTRA_WEB_HOST) : host;
}

QString AppSettings::defaultEndpoint()
{
    return webHost() + QStringLiteral("/Apps/Movelta/vq_webservice.php");
}

QString AppSettings::lang() { return readValue(keyLang, defaultLang).toString(); }
void AppSettings::setLang(const QString &code) { writeValue(keyLang, code); }

bool AppSettings::autoLoadUsers() { return readValue(keyAutoLoadUsers, defaultAutoLoadUsers).toBool(); }
void AppSettings::setAutoLoadUsers(bool on) { writeValue(keyAutoLoadUsers, on); }

bool AppSettings::showUploadNotifyMessage()
{
    return readValue(keyShowUploadNotifyMessage, defaultShowUploadNotifyMessage).toBool();
}
void AppSettings::setShowUploadNotifyMessage(bool on) { writeValue(keyShowUploadNotifyMessage, on); }

bool AppSettings::betaMode() { return readValue(keyBetaMode, defaultBetaMode).toBool(); }
void AppSettings::setBetaMode(bool on) { writeValue(keyBetaMode, on); }

bool AppSettings::devMode() { return readValue(keyDevMode, defaultDevMode).toBool(); }
void AppSettings::setDevMode(bool on) { writeValue(keyDevMode, on); }

QString AppSettings::endpoint() { return readValue(keyEndpoint, defaultEndpoint()).toString(); }
void AppSettings::setEndpoint(const QString &url) { writeValue(keyEndpoint, url); }

int AppSettings::idTrainer() { return readValue(keyIdTrainer, defaultIdTrainer).toInt(); }
void AppSettings::setIdTrainer(int id) { writeValue(keyIdTrainer, id); }

QString AppSettings::userName() { return readValue(keyUserName, QString()).toString(); }
void AppSettings::setUserName(const QString &name) { writeValue(keyUserName, name); }

QString AppSettings::caFile() { return readValue(keyCaFile, QString()).toString(); }
void AppSettings::setCaFile(const QString &path) { writeValue(keyCaFile, path); }
