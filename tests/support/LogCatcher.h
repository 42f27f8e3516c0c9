#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

// Collects the lines of one logging category while it lives, from any thread, under one lock (a
// catcher never goes away with a line half written). Catchers nest; debug lines they catch are
// printed only with CALVESTRA_TEST_VERBOSE set.
class LogCatcher
{
public:
    explicit LogCatcher(const char *category)
        : m_category(category)
    {
        const std::lock_guard<std::mutex> lock(s_mutex);
        m_outer = s_current;
        const QtMessageHandler previous = qInstallMessageHandler(&LogCatcher::handler);
        if (!m_outer)
            s_base = previous;
        s_current = this;
    }
    ~LogCatcher()
    {
        const std::lock_guard<std::mutex> lock(s_mutex);
        s_current = m_outer;
        if (!m_outer)
            qInstallMessageHandler(s_base);
    }

    QStringList lines() const
    {
        const std::lock_guard<std::mutex> lock(s_mutex);
        QStringList copy = m_lines;
        copy.detach();  // the list a writing thread appends to is never shared outside the lock
        return copy;
    }
    bool has(const QString &line) const { return lines().contains(line); }
    int countStartingWith(const QString &prefix) const
    {
        return int(lines().filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix))).size());
    }
    void clear()
    {
        const std::lock_guard<std::mutex> lock(s_mutex);
        m_lines.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        bool caught = false;
        QtMessageHandler base;
        {
            const std::lock_guard<std::mutex> lock(s_mutex);
            for (LogCatcher *c = s_current; c; c = c->m_outer) {
                if (context.category && qstrcmp(context.category, c->m_category) == 0) {
                    c->m_lines << message;
                    caught = true;
                }
            }
            base = s_base;
        }
        if ((!caught || type != QtDebugMsg || qEnvironmentVariableIsSet("CALVESTRA_TEST_VERBOSE")) && base)
            base(type, context, message);
    }

    const char *m_category;
    LogCatcher *m_outer = nullptr;
    QStringList m_lines;
    static inline std::mutex s_mutex;
    static inline LogCatcher *s_current = nullptr;
    static inline QtMessageHandler s_base = nullptr;
};
