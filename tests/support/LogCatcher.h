#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>

#include <atomic>

// Collects the lines of one logging category while it lives, from whichever thread wrote
// them. Catchers nest (the innermost goes first); debug lines they catch are not printed
// unless CALVESTRA_TEST_VERBOSE is set.
class LogCatcher
{
public:
    explicit LogCatcher(const char *category)
        : m_category(category)
        , m_outer(s_current.load())
    {
        const QtMessageHandler previous = qInstallMessageHandler(&LogCatcher::handler);
        if (!m_outer)
            s_base = previous;
        s_current = this;
    }
    ~LogCatcher()
    {
        s_current = m_outer;
        if (!m_outer)
            qInstallMessageHandler(s_base);
    }

    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    bool has(const QString &line) const { return lines().contains(line); }
    int countStartingWith(const QString &prefix) const
    {
        return int(lines().filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix))).size());
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        bool caught = false;
        for (LogCatcher *c = s_current.load(); c; c = c->m_outer) {
            if (context.category && qstrcmp(context.category, c->m_category) == 0) {
                QMutexLocker lock(&c->m_mutex);
                c->m_lines << message;
                caught = true;
            }
        }
        if ((!caught || type != QtDebugMsg || qEnvironmentVariableIsSet("CALVESTRA_TEST_VERBOSE")) && s_base)
            s_base(type, context, message);
    }

    const char *m_category;
    LogCatcher *const m_outer;
    mutable QMutex m_mutex;
    QStringList m_lines;
    static inline std::atomic<LogCatcher *> s_current{nullptr};
    static inline QtMessageHandler s_base = nullptr;
};
