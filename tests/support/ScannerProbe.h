#pragma once

#include "LogCatcher.h"

#include "device/VXCommThread.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QtTest>

#include <functional>

// Watches an acquisition thread the way the scan widget does: its signals arrive in the test's
// thread (queued when the worker emits them), and the "calvestra.device" log lines are kept.
class ScannerProbe
{
public:
    struct ScanDone
    {
        bool hasImage = false;
        QSize size;
    };

    ScannerProbe() = default;  // keeps log lines; watch() adds the signals of a thread
    explicit ScannerProbe(VXCommThread &thread) { watch(thread); }

    void watch(VXCommThread &thread)
    {
        QObject::connect(&thread, &VXCommThread::statusChanged, &m_context, [this](VXCommThread::VXStatus s) { m_statuses << int(s); });
        QObject::connect(&thread, &VXCommThread::onReadData, &m_context, [this](const QList<uchar> &line) { m_lines << line; });
        QObject::connect(&thread, &VXCommThread::onScanDone, &m_context,
                         [this](QImage *image) { m_scans << ScanDone{image != nullptr, image ? image->size() : QSize()}; });
        QObject::connect(&thread, &VXCommThread::serialReaded, &m_context, [this](const QString &serial) { m_serials << serial; });
        QObject::connect(&thread, &VXCommThread::offsetReaded, &m_context, [this](double offset) { m_offsets << offset; });
        QObject::connect(&thread, &VXCommThread::onSetDeepness, &m_context, [this](int deepness) { m_deepness << deepness; });
    }

    // Signals, in the order they arrived.
    const QList<int> &statuses() const { return m_statuses; }
    int statusCount(int status) const { return int(m_statuses.count(status)); }
    const QList<QList<uchar>> &lines() const { return m_lines; }
    const QList<ScanDone> &scans() const { return m_scans; }
    const QStringList &serials() const { return m_serials; }
    const QList<double> &offsets() const { return m_offsets; }
    const QList<int> &deepnessChanges() const { return m_deepness; }

    // Log lines of calvestra.device.
    QStringList log() const { return m_log.lines(); }
    int logCount(const QString &line) const { return int(log().count(line)); }
    bool hasLog(const QString &line) const { return logCount(line) > 0; }
    int logCountStartingWith(const QString &prefix) const { return m_log.countStartingWith(prefix); }

    void clear()
    {
        m_statuses.clear(), m_lines.clear(), m_scans.clear(), m_serials.clear(), m_offsets.clear(), m_deepness.clear();
        m_log.clear();
    }

    // Runs the test thread's events until `condition` holds or `timeoutMs` has passed.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000) { return QTest::qWaitFor(condition, timeoutMs); }
    bool waitForStatus(int status, int times = 1, int ms = 10000) { return waitFor([&] { return statusCount(status) >= times; }, ms); }
    bool waitForLog(const QString &line, int times = 1, int ms = 10000) { return waitFor([&] { return logCount(line) >= times; }, ms); }
    bool waitForScans(int count, int ms = 10000) { return waitFor([&] { return m_scans.size() >= count; }, ms); }

private:
    LogCatcher m_log{"calvestra.device"};
    QObject m_context;
    QList<int> m_statuses;
    QList<QList<uchar>> m_lines;
    QList<ScanDone> m_scans;
    QStringList m_serials;
    QList<double> m_offsets;
    QList<int> m_deepness;
};
