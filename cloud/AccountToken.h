#pragma once

#include <QObject>
#include <QString>

namespace QKeychain {
class Job;
}

// The token of the installation's account on the service. It lives in the desktop's
// keyring (QtKeychain), under a name tied to this settings file, so a demo or test
// profile never touches the user's own entry. Where no keyring answers (a headless
// machine, or CALVESTRA_KEYRING=off) it is kept in the settings file instead, which is
// then made readable by the user alone, and that is logged. The token itself is never
// logged.
//
// The value is held here once read: requests take it without waiting. Keyring jobs
// are asynchronous; load() and store() wait for them at most the time given, and
// what comes later is announced by changed().
class AccountToken : public QObject
{
    Q_OBJECT

public:
    static AccountToken *instance();

    QString token() const { return m_token; }
    // Where the token was last read from or written to: "keyring", "settings file"
    // or empty (nothing stored).
    QString place() const { return m_place; }

    // Reads the stored token.
    void load(int waitMs);
    // Keeps the token (empty: forgets it). The value changes here at once.
    void store(const QString &token, int waitMs = 0);

    static constexpr int startWaitMs = 5000;

signals:
    void changed();

private:
    explicit AccountToken(QObject *parent = nullptr);
    static bool keyringWanted();
    static QString keyringKey();
    void set(const QString &token, const QString &place);
    QString readFallback();
    // In the settings file, readable by the user alone.
    void writeFallback(const QString &token, const QString &why);
    void removeFallback();
    // Runs the job, waiting up to waitMs for it to finish.
    static void runJob(QKeychain::Job *job, int waitMs);

    QString m_token;
    QString m_place;
    quint64 m_generation = 0;  // a late keyring answer never overrides a newer value
};
