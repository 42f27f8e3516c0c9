#pragma once

#include "device/VXCommThread.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <QtTest>

#include <algorithm>
#include <functional>

// Watches an acquisition thread the way the scan widget does: its signals arrive in the
// test's thread (queued when the worker emits them), and every "calvestra.device" log
// line is kept, from whichever thread wrote it. One probe at a time.
//
// Set CALVESTRA_TEST_VERBOSE=1 to also print the device log lines.
class ScannerProbe
{
public:
    struct ScanDone
    {
        bool hasImage = false;
        QSize size;
    };

    // Starts keeping log lines; watch() adds the signals of a thread.
    ScannerProbe()
    {
        Sink &sink = sinkState();
        {
            QMutexLocker lock(&sink.mutex);
            sink.lines = &m_log;
            sink.logMutex = &m_mutex;
            sink.verbose = qEnvironmentVariableIntValue("CALVESTRA_TEST_VERBOSE") != 0;
        }
        sink.previous = qInstallMessageHandler(&ScannerProbe::handleMessage);
    }

    explicit ScannerProbe(VXCommThread &thread)
        : ScannerProbe()
    {
        watch(thread);
    }

    void watch(VXCommThread &thread)
    {
        QObject::connect(&thread, &VXCommThread::statusChanged, &m_context,
                         [this](VXCommThread::VXStatus s) { m_statuses.append(int(s)); });
        QObject::connect(&thread, &VXCommThread::onReadData, &m_context,
                         [this](const QList<uchar> &line) { m_lines.append(line); });
        QObject::connect(&thread, &VXCommThread::onScanDone, &m_context, [this](QImage *image) {
            ScanDone done;
            done.hasImage = image != nullptr;
            if (image)
                done.size = image->size();
            m_scans.append(done);
        });
        QObject::connect(&thread, &VXCommThread::serialReaded, &m_context,
                         [this](const QString &serial) { m_serials.append(serial); });
        QObject::connect(&thread, &VXCommThread::offsetReaded, &m_context,
                         [this](double offset) { m_offsets.append(offset); });
        QObject::connect(&thread, &VXCommThread::onSetDeepness, &m_context,
                         [this](int deepness) { m_deepness.append(deepness); });
    }

    ~ScannerProbe()
    {
        Sink &sink = sinkState();
        qInstallMessageHandler(sink.previous);
        QMutexLocker lock(&sink.mutex);
        sink.lines = nullptr;
        sink.logMutex = nullptr;
    }

    ScannerProbe(const ScannerProbe &) = delete;
    ScannerProbe &operator=(const ScannerProbe &) = delete;

    // Signals, in the order they arrived.
    const QList<int> &statuses() const { return m_statuses; }
    int statusCount(int status) const { return int(m_statuses.count(status)); }
    const QList<QList<uchar>> &lines() const { return m_lines; }
    const QList<ScanDone> &scans() const { return m_scans; }
    const QStringList &serials() const { return m_serials; }
    const QList<double> &offsets() const { return m_offsets; }
    const QList<int> &deepnessChanges() const { return m_deepness; }

    // Log lines of calvestra.device.
    QStringList log() const
    {
        QMutexLocker lock(&m_mutex);
        return m_log;
    }
    int logCount(const QString &line) const { return int(log().count(line)); }
    bool hasLog(const QString &line) const { return logCount(line) > 0; }
    int logCountStartingWith(const QString &prefix) const
    {
        const QStringList all = log();
        return int(std::count_if(all.begin(), all.end(), [&](const QString &l) { return l.startsWith(prefix); }));
    }
    void clear()
    {
        m_statuses.clear(), m_lines.clear(), m_scans.clear(), m_serials.clear(), m_offsets.clear(), m_deepness.clear();
        QMutexLocker lock(&m_mutex);
        m_log.clear();
    }

    // Runs the test thread's events until `condition` holds or `timeoutMs` has passed.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }
    bool waitForStatus(int status, int times = 1, int timeoutMs = 10000)
    {
        return waitFor([&] { return statusCount(status) >= times; }, timeoutMs);
    }
    bool waitForLog(const QString &line, int times = 1, int timeoutMs = 10000)
    {
        return waitFor([&] { return logCount(line) >= times; }, timeoutMs);
    }
    bool waitForScans(int count, int timeoutMs = 10000)
    {
        return waitFor([&] { return m_scans.size() >= count; }, timeoutMs);
    }

private:
    struct Sink
    {
        QMutex mutex;
        QStringList *lines = nullptr;
        QMutex *logMutex = nullptr;
        QtMessageHandler previous = nullptr;
        bool verbose = false;
    };

    static Sink &sinkState()
    {
        static Sink sink;
        return sink;
    }

    static void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        Sink &sink = sinkState();
        const bool device = context.category && qstrcmp(context.category, "calvestra.device") == 0;
        bool forward = !device;
        {
            QMutexLocker lock(&sink.mutex);
            if (device && sink.lines) {
                QMutexLocker logLock(sink.logMutex);
                sink.lines->append(message);
            }
            forward = forward || sink.verbose || type != QtDebugMsg;
        }
        if (forward && sink.previous)
            sink.previous(type, context, message);
    }

    QObject m_context;
    QList<int> m_statuses;
    QList<QList<uchar>> m_lines;
    QList<ScanDone> m_scans;
    QStringList m_serials;
    QList<double> m_offsets;
    QList<int> m_deepness;
    mutable QMutex m_mutex;
    QStringList m_log;
};
