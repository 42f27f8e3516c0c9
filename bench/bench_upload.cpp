// Exam upload to the reference service on loopback: the time to build the archive,
// the whole upload, the client's peak memory, and the longest stall of the interface
// thread (a 5 ms timer that measures its own lateness). Run with 20 and with 60 scans:
// the archive is streamed from disk, so the peak memory must not follow its size.
// The baseline builds the same archive on the interface thread, as running a zip
// program there would, and shows how long the window would freeze.
#include "app/AppSettings.h"
#include "cloud/ExamArchiveBuilder.h"
#include "cloud/HttpService.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <random>

namespace {

constexpr int samplesPerLine = 946;  // 60 mm, the default depth
constexpr int linesPerScan = 600;
constexpr int pictureBytes = 260 * 1024;

// Measures how late a 5 ms timer fires: the longest time the thread could not run events.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double elapsed = m_clock.nsecsElapsed() / 1e6;
            m_worst = qMax(m_worst, elapsed - 5.0);
            m_clock.restart();
        });
    }
    void start()
    {
        m_worst = 0;
        m_clock.start();
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return qMax(0.0, m_worst);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_worst = 0;
};

// Peak resident memory since the last reset, in MB (Linux).
void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double peakRssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Scans as the scan widget writes them: an incompressible picture, echo data with the
// structure of tissue layers and noise, an analysis file for every other scan.
QList<ScanFile> writeScans(const QString &folder, int count, std::mt19937 &random)
{
    QDir().mkpath(folder);
    QList<ScanFile> scans;
    std::uniform_int_distribution<int> byte(0, 255);
    std::normal_distribution<double> noise(0.0, 18.0);
    const QDateTime start(QDate(2024, 1, 5), QTime(9, 0, 0));
    for (int i = 0; i < count; ++i) {
        const QString base = folder + QStringLiteral("/Zona %1-").arg(i) +
                             start.addSecs(i * 37).toString(QStringLiteral("yyyyMMdd--hh-mm-ss"));
        QByteArray picture(pictureBytes, Qt::Uninitialized);
        for (char &c : picture)
            c = char(byte(random));
        picture[0] = char(0xFF);
        picture[1] = char(0xD8);
        QFile jpg(base + QStringLiteral(".jpg"));
        if (!jpg.open(QIODevice::WriteOnly) || jpg.write(picture) != picture.size())
            qFatal("cannot write %s", qPrintable(jpg.fileName()));
        jpg.close();

        QByteArray samples(linesPerScan * samplesPerLine, Qt::Uninitialized);
        for (int line = 0; line < linesPerScan; ++line) {
            for (int s = 0; s < samplesPerLine; ++s) {
                const double layer = (s > 80 && s < 95) || (s > 300 + line / 20 && s < 320 + line / 20) ? 200 : 40;
                const double value = layer * (1.0 - s / 1400.0) + noise(random);
                samples[line * samplesPerLine + s] = char(qBound(0, int(value), 255));
            }
        }
        QFile d2d(base + QStringLiteral(".d2d"));
        if (!d2d.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(d2d.fileName()));
        QDataStream out(&d2d);
        out.setByteOrder(QDataStream::LittleEndian);
        out << qint32(samplesPerLine) << qint32(1) << samples;
        d2d.close();

        if (i % 2 == 0) {
            QFile json(base + QStringLiteral(".json"));
            if (json.open(QIODevice::WriteOnly))
                json.write(R"({"linemarks":[{"x":120,"y1":84,"y2":301,"mm":13.77},{"x":340,"y1":90,"y2":322,"mm":14.72}]})");
        }
        scans << ScanFile::createFromFilePath(base + QStringLiteral(".jpg"));
    }
    return scans;
}

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        total += info.size();
    return total;
}

QStringList filesOf(const QList<ScanFile> &scans)
{
    QStringList files;
    for (const ScanFile &s : scans) {
        files << s.jpgFile << s.d2dFile;
        if (!s.jsonFile.isEmpty())
            files << s.jsonFile;
    }
    return files;
}

class Service
{
public:
    bool start(const QString &dataDir)
    {
        const QString program = QStringLiteral(CALVESTRA_SERVICE_EXE);
        m_process.setProgram(program);
        m_process.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--data"),
                                dataDir, QStringLiteral("--quota-mb"), QStringLiteral("100000"),
                                QStringLiteral("--max-upload-mb"), QStringLiteral("2048")});
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        static const QRegularExpression listening(QStringLiteral("listening on (http://[^\\s]+:\\d+)"));
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000 && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(out));
            if (match.hasMatch()) {
                m_base = match.captured(1);
                return true;
            }
        }
        return false;
    }
    ~Service()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    QString base() const { return m_base; }

private:
    QProcess m_process;
    QString m_base;
};

struct Figures
{
    double archiveMs = 0;
    double baselineBlockMs = 0;
    double totalMs = 0;
    double firstProgressMs = 0;
    double peakRssMb = 0;
    double maxUiBlockMs = 0;
    qint64 sent = 0;
    bool ok = false;
};

Figures run(int scanCount, const QString &root, int webId, std::mt19937 &random)
{
    Figures f;
    const QString folder = root + QStringLiteral("/scans%1").arg(scanCount);
    const QList<ScanFile> scans = writeScans(folder, scanCount, random);
    std::printf("%d scans: %.1f MB of files\n", scanCount, folderBytes(folder) / 1048576.0);

    // Baseline: the archive built on the interface thread.
    {
        StallMeter meter;
        meter.start();
        bool built = false;
        QTimer::singleShot(0, [&] {
            QElapsedTimer clock;
            clock.start();
            const auto result = ExamArchiveBuilder::build(root + QStringLiteral("/baseline.zip"), filesOf(scans));
            f.archiveMs = clock.nsecsElapsed() / 1e6;
            built = true;
            if (!result.ok)
                std::printf("  baseline archive failed: %s\n", qPrintable(result.error));
        });
        // Until the build is over and the overdue timer has fired.
        QElapsedTimer wait;
        wait.start();
        qint64 builtAt = -1;
        while (wait.elapsed() < 60000 && (builtAt < 0 || wait.elapsed() - builtAt < 20)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (built && builtAt < 0)
                builtAt = wait.elapsed();
        }
        f.baselineBlockMs = meter.stop();
        std::printf("  archive built in %.0f ms (%.1f MB); built on the interface thread it blocks it %.0f ms\n",
                    f.archiveMs, QFileInfo(root + QStringLiteral("/baseline.zip")).size() / 1048576.0,
                    f.baselineBlockMs);
        QFile::remove(root + QStringLiteral("/baseline.zip"));
    }

    // The upload as the application does it.
    HttpService *http = HttpService::m_instance;
    Exam exam;
    exam.idUser = webId;
    exam.examDate = QDate(2024, 1, 5);
    exam.weight = 72.4;
    exam.height = 178;
    QList<ScanFile> list = scans;
    bool finished = false;
    QObject context;
    QElapsedTimer clock;
    QObject::connect(http, &HttpService::onUploadExamDone, &context, [&] { finished = f.ok = true; });
    QObject::connect(http, &HttpService::onUploadExamFail, &context, [&] { finished = true; });
    QObject::connect(http, &HttpService::onWebSpaceOver, &context, [&] { finished = true; });
    QObject::connect(http, &HttpService::onUploadProgress, &context, [&](qint64 sent, qint64) {
        if (f.firstProgressMs == 0)
            f.firstProgressMs = clock.nsecsElapsed() / 1e6;
        f.sent = qMax(f.sent, sent);
    });

    resetPeakRss();
    StallMeter meter;
    meter.start();
    clock.start();
    http->uploadExam(&exam, &list);
    while (!finished && clock.elapsed() < 50000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    f.totalMs = clock.nsecsElapsed() / 1e6;
    f.maxUiBlockMs = meter.stop();
    f.peakRssMb = peakRssMb();
    std::printf("  upload %s: %.0f ms in all, body started after %.0f ms, %.1f MB sent, peak memory %.1f MB,"
                " interface thread blocked at most %.1f ms\n",
                f.ok ? "accepted" : "FAILED", f.totalMs, f.firstProgressMs, f.sent / 1048576.0, f.peakRssMb,
                f.maxUiBlockMs);
    std::printf("  interface stall, baseline / streamed off-thread: %.1fx\n",
                f.baselineBlockMs / qMax(0.1, f.maxUiBlockMs));
    QDir(folder).removeRecursively();
    return f;
}

}  // namespace

int main(int argc, char *argv[])
{
    // A private profile: nothing of the user's own settings or data is touched.
    QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/bench-upload-XXXXXX"));
    if (!profile.isValid())
        return 1;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (const char *sub : {"config", "data", "home", "client"})
        QDir(profile.path()).mkpath(QString::fromLatin1(sub));
    qputenv("XDG_CONFIG_HOME", (profile.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (profile.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("HOME", (profile.path() + QStringLiteral("/home")).toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Calvestra"));
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("calvestra.*.debug=false"));

    Service service;
    if (!service.start(profile.path() + QStringLiteral("/service"))) {
        std::fprintf(stderr, "cannot start calvestra-service\n");
        return 1;
    }
    std::printf("reference service at %s\n", qPrintable(service.base()));

    DataModule *store = DataModule::resetInstanceForTests(profile.path() + QStringLiteral("/client"));
    store->m_appVersion = QStringLiteral("0.6.4");
    AppSettings::setIdTrainer(1);
    AppSettings::setEndpoint(service.base() + QStringLiteral("/Apps/Movelta/vq_webservice.php"));
    HttpService *http = HttpService::resetInstanceForTests(true);
    http->setWebServiceURL(false);

    // The exams' client on the service.
    Client client;
    client.surname = QStringLiteral("Benchmark");
    client.name = QStringLiteral("Upload");
    client.saveToDB(false, false);
    int webId = 0;
    QObject::connect(http, &HttpService::onUploadClientDone, http, [&](int id) {
        Client stored;
        stored.loadFromDB(id);
        webId = stored.web_id;
    });
    http->saveClient(&client);
    QElapsedTimer wait;
    wait.start();
    while (webId == 0 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    if (webId == 0) {
        std::fprintf(stderr, "the service did not take the client\n");
        return 1;
    }

    // What the machine alone does to a 5 ms timer: on a loaded machine the thread waits
    // for a processor now and then, upload or not.
    {
        StallMeter meter;
        meter.start();
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 1500)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        std::printf("idle interface thread, nothing running: late at most %.1f ms\n", meter.stop());
    }

    std::mt19937 random(20240105);
    const Figures small = run(20, profile.path(), webId, random);
    const Figures large = run(60, profile.path(), webId, random);
    std::printf("peak memory: %.1f MB with 20 scans, %.1f MB with 60 scans (ratio %.2f)\n", small.peakRssMb,
                large.peakRssMb, large.peakRssMb / qMax(0.1, small.peakRssMb));
    std::printf("60 scans: archive_ms=%.0f total_ms=%.0f peak_rss_mb=%.1f max_ui_block_ms=%.1f\n", large.archiveMs,
                large.totalMs, large.peakRssMb, large.maxUiBlockMs);

    HttpService::resetInstanceForTests(false);
    DataModule::resetInstanceForTests();
    const bool ok = small.ok && large.ok;
    std::printf("RESULT archive_ms=%.0f total_ms=%.0f peak_rss_mb=%.1f max_ui_block_ms=%.1f\n", small.archiveMs,
                small.totalMs, small.peakRssMb, small.maxUiBlockMs);
    return ok ? 0 : 1;
}
