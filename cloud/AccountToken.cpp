#include "cloud/AccountToken.h"

#include "app/AppSettings.h"
#include "cloud/CloudLog.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTimer>

namespace {

const QString keyringService = QStringLiteral("Calvestra");

}  // namespace

AccountToken *AccountToken::instance()
{
    static AccountToken *shared = new AccountToken(nullptr);
    return shared;
}

AccountToken::AccountToken(QObject *parent)
    : QObject(parent)
{
}

bool AccountToken::keyringWanted()
{
    return qEnvironmentVariable("CALVESTRA_KEYRING") != QLatin1String("off");
}

QString AccountToken::keyringKey()
{
    return QStringLiteral("account token for %1").arg(QSettings().fileName());
}

void AccountToken::set(const QString &token, const QString &place)
{
    m_place = token.isEmpty() ? QString() : place;
    if (token == m_token)
        return;
    m_token = token;
    emit changed();
}

QString AccountToken::readFallback()
{
    QSettings settings;
    return settings.value(AppSettings::keyAccountToken).toString();
}

void AccountToken::writeFallback(const QString &token, const QString &why)
{
    QSettings settings;
    settings.setValue(AppSettings::keyAccountToken, token);
    settings.sync();
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qCInfo(lcCloud).noquote() << "no keyring (" + why + "): the account token is kept in" << settings.fileName()
                              << "readable by this user alone";
}

void AccountToken::removeFallback()
{
    QSettings settings;
    if (settings.contains(AppSettings::keyAccountToken))
        settings.remove(AppSettings::keyAccountToken);
}

void AccountToken::runJob(QKeychain::Job *job, int waitMs)
{
    QEventLoop loop;
    bool finished = false;
    if (waitMs > 0)
        connect(job, &QKeychain::Job::finished, &loop, [&finished, &loop] {
            finished = true;
            loop.quit();
        });
    job->start();
    if (waitMs <= 0 || finished)
        return;
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void AccountToken::load(int waitMs)
{
    const quint64 generation = ++m_generation;
    const QString fallback = readFallback();
    if (!keyringWanted()) {
        set(fallback, QStringLiteral("settings file"));
        return;
    }
    // Until the keyring answers, whatever the settings file holds is used.
    set(fallback, QStringLiteral("settings file"));
    auto *job = new QKeychain::ReadPasswordJob(keyringService, this);
    job->setKey(keyringKey());
    connect(job, &QKeychain::Job::finished, this, [this, job, generation, fallback] {
        if (generation != m_generation)
            return;
        if (job->error() == QKeychain::NoError) {
            set(job->textData(), QStringLiteral("keyring"));
        } else if (job->error() != QKeychain::EntryNotFound && !fallback.isEmpty()) {
            qCInfo(lcCloud).noquote() << "no keyring (" + job->errorString() + "): the account token is read from"
                                      << QSettings().fileName();
        }
    });
    runJob(job, waitMs);
}

void AccountToken::store(const QString &token, int waitMs)
{
    const quint64 generation = ++m_generation;
    if (!keyringWanted()) {
        if (token.isEmpty())
            removeFallback();
        else
            writeFallback(token, QStringLiteral("CALVESTRA_KEYRING=off"));
        set(token, QStringLiteral("settings file"));
        return;
    }
    set(token, m_place.isEmpty() ? QStringLiteral("keyring") : m_place);
    QKeychain::Job *job = nullptr;
    if (token.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(keyringService, this);
    } else {
        auto *write = new QKeychain::WritePasswordJob(keyringService, this);
        write->setTextData(token);
        job = write;
    }
    job->setKey(keyringKey());
    connect(job, &QKeychain::Job::finished, this, [this, job, generation, token] {
        if (generation != m_generation)
            return;
        if (job->error() == QKeychain::NoError || (token.isEmpty() && job->error() == QKeychain::EntryNotFound)) {
            // Never in both places: the settings file keeps no copy.
            removeFallback();
            m_place = token.isEmpty() ? QString() : QStringLiteral("keyring");
        } else if (token.isEmpty()) {
            removeFallback();
        } else {
            writeFallback(token, job->errorString());
            m_place = QStringLiteral("settings file");
        }
    });
    runJob(job, waitMs);
}
