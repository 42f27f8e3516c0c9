#include "DemoScanner.h"

#include "WaitUntil.h"

#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int waitMs = 20000;

}  // namespace

DemoScanner::DemoScanner()
{
    // The widget's link is chosen from the environment, which the caller has set to the
    // simulated calvimetro answering at once.
    m_widget = std::make_unique<ScanWidget>(nullptr, swmAcquisition);
    m_widget->resize(1000, 560);
    VXCommThread *thread = m_widget->commThread.get();
    thread->setCheckInterval(40);
    thread->setProcessingPause(30);
}

DemoScanner::~DemoScanner() = default;

bool DemoScanner::waitReady(int timeoutMs) const
{
    const VXCommThread *thread = m_widget->commThread.get();
    return waitUntil([thread] { return thread->status == VXCommThread::vxsConnected && !thread->isScanBusy(); },
                     timeoutMs);
}

QString DemoScanner::scan(const QString &folder, const QString &zone, const QDateTime &when, double fatMm, int lines,
                          const QList<int> &marks, int seed, QString *error)
{
    SimulatedCalvimetro *probe = m_widget->commThread->simulator();
    if (!probe) {
        *error = QStringLiteral("the scan widget is not on the simulated calvimetro");
        return QString();
    }
    if (!waitReady(waitMs)) {
        *error = QStringLiteral("the simulated calvimetro did not become ready");
        return QString();
    }
    CalvimetroProfile profile = probe->profile();
    profile.fatMm = fatMm;
    profile.seed = 0x5ca1ab1eULL + quint64(seed);
    probe->setProfile(profile);

    bool completed = false;
    const auto connection = QObject::connect(m_widget.get(), &ScanWidget::onScanCompleted, m_widget.get(),
                                             [&completed] { completed = true; });
    // The acquisition sees the press on the first block: one block more than lines.
    probe->sweep(lines + 1);
    // The picture is the widget's once the thread has handed it over; saving before that
    // is refused.
    const bool done = waitUntil([&] { return completed && !m_widget->commThread->isScanBusy(); }, waitMs);
    QObject::disconnect(connection);
    if (!done) {
        *error = QStringLiteral("the sweep did not end in a scan");
        return QString();
    }
    m_widget->scanArea->analysis.linemarks = marks;

    // Saved as the exam dialog saves a scan, then given the name of the exam's day.
    const QString saved = m_widget->saveUserFiles(folder, zone);
    m_widget->dirty = false;
    if (saved.isEmpty()) {
        *error = QStringLiteral("the scan files could not be written in %1").arg(folder);
        return QString();
    }
    const QString savedBase = QFileInfo(saved).completeBaseName();
    const QString base = zone + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd--hh-mm-ss"));
    QDir dir(folder);
    for (const char *suffix : {".d2d", ".jpg", ".json"}) {
        const QString from = dir.filePath(savedBase + QLatin1String(suffix));
        const QString to = dir.filePath(base + QLatin1String(suffix));
        if (!QFile::exists(from))
            continue;
        QFile::remove(to);
        if (!QFile::rename(from, to)) {
            *error = QStringLiteral("cannot rename %1 to %2").arg(from, to);
            return QString();
        }
    }
    return dir.filePath(base + QStringLiteral(".jpg"));
}
