#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>

// Collects the debug lines of one logging category while it lives; from any thread.
// CALVESTRA_TEST_VERBOSE shows the caught lines as well.
class LogCatcher
{
public:
    explicit LogCatcher(const char *category)
        : m_category(category)
        , m_previous(qInstallMessageHandler(&LogCatcher::handler))
    {
        s_current = this;
    }
    ~LogCatcher()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogCatcher(const LogCatcher &) = delete;
    LogCatcher &operator=(const LogCatcher &) = delete;

    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    bool has(const QString &line) const { return lines().contains(line); }
    int countStartingWith(const QString &prefix) const
    {
        const QStringList all = lines();
        return int(std::count_if(all.begin(), all.end(), [&](const QString &l) { return l.startsWith(prefix); }));
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCatcher *self = s_current;
        if (self && context.category && qstrcmp(context.category, self->m_category) == 0) {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines << message;
            if (!qEnvironmentVariableIsSet("CALVESTRA_TEST_VERBOSE"))
                return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, message);
    }

    const char *m_category;
    QtMessageHandler m_previous;
    mutable QMutex m_mutex;
    QStringList m_lines;
    static inline LogCatcher *s_current = nullptr;
};
