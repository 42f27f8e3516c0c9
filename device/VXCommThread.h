#pragma once

#include "device/CalvimetroProtocol.h"

#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QTimer;
class SimulatedCalvimetro;
class UsbTransport;

// The link to the calvimetro and the scan it took.
//
// The object lives in the user-interface thread, where a timer checks every 1500 ms
// whether the probe is plugged in. Its worker thread (run) owns the link: it opens the
// probe and reads its info string, or closes it, as the last check found it; waits for
// the probe's button, reads scan lines while it is held, and trims the scan and builds
// its picture when it is released. The same object holds the finished scan, saves and
// loads it as a .d2d file and renders it.
//
// Threads: the user-interface thread never waits for a transfer; the timer only
// enumerates the bus and hands the worker its finding. Only the worker changes `status`
// (atomic, compare-and-swap against the destructor) and uses the handle. While the
// worker writes the scan buffers (from the button press until its picture has been
// handed over) the operations that read them from another thread (getScanImage,
// saveToFile, loadFromFile) are refused with a log line.
class VXCommThread : public QThread
{
    Q_OBJECT

public:
    enum VXStatus : qint32 {
        vxsDisconnected = 0,
        vxsConnected = 1,
        vxsScanning = 2,
        vxsProcessing = 3,
    };
    Q_ENUM(VXStatus)

    static constexpr int scanRealMaxIndex = CalvimetroProtocol::scanRealMaxIndex;
    static constexpr int maxScanLines = CalvimetroProtocol::maxScanLines;
    static constexpr double mmPerSample = CalvimetroProtocol::mmPerSample;
    static constexpr int blockSize = CalvimetroProtocol::blockSize;

    // With `useDevice` the link is chosen by createUsbTransport(); without it the object
    // only holds, loads, saves and renders a scan (no USB, no timer, not to be started).
    explicit VXCommThread(bool useDevice);
    // A link over the given transport (a simulated calvimetro, for instance).
    explicit VXCommThread(std::unique_ptr<UsbTransport> transport);
    ~VXCommThread() override;

    // --- Device operations -----------------------------------------------------------
    bool initLibUsb();
    bool checkVXConnection();
    bool openVXHandle();
    void closeVXHandle();
    bool readInfoString();
    bool checkButtonPressed(const unsigned char *block) const;
    bool waitForButtonPressed();
    bool readScan();

    // --- Scan holder -----------------------------------------------------------------
    // Builds the picture of the scan (null for an empty scan). It stays owned by this
    // object and replaces the previous one. Null, with a log line, while a scan is
    // being acquired or processed.
    QImage *getScanImage();
    void setDeepness(int mm);
    void createPalette();
    // Both return false, with a log line, when the file cannot be used or a scan is
    // being acquired; a rejected load leaves the scan in memory as it was. A file that
    // ends inside a line, or before the length it announces, loads its complete lines
    // (loadedIncomplete); without one complete line it is rejected.
    bool loadFromFile(const QString &path);
    bool saveToFile(const QString &path);
    // Calls `use` with the scan's samples (`lines` lines of scanRealMaxIndex) under the
    // scan lock, so that the worker cannot start writing a new scan meanwhile. Returns
    // false without calling it while the worker is writing one. Unlike getScanImage it
    // may run while the finished scan is being handed over (from the scan-done slot).
    bool readScanSamples(const std::function<void(const uchar *samples, int lines)> &use) const;

    // --- Tuning and tests ------------------------------------------------------------
    // The simulated calvimetro behind the link, or null for a real one.
    SimulatedCalvimetro *simulator() const;
    void setCheckInterval(int ms);
    // The pause after a scan's picture has been handed over (2000 ms).
    void setProcessingPause(int ms);
    // True from the button press until the scan's picture has reached this object's
    // thread.
    bool isScanBusy() const;
    // True from a presence check until the worker has acted on it.
    bool isPresenceCheckPending() const;

    // Written by the worker, and by the destructor.
    std::atomic<VXStatus> status{vxsDisconnected};
    std::atomic<bool> stopRequested{false};
    bool deviceEnabled = false;
    // Written by the user interface, read by the worker.
    std::atomic<int> deepness{60};
    std::atomic<int> deepIndex{946};
    std::atomic<int> intensity{160};
    std::atomic<bool> autoAdjust{true};
    // While set (a finished scan is being named), the button starts no scan; a press seen
    // meanwhile has to be released first, as has a button still held when a scan ended.
    std::atomic<bool> holdScans{false};
    // Index of depth 0 inside a data block; always within 0..471.
    std::atomic<int> dpo{91};
    // The scan: written by the worker while a scan is busy, otherwise by the user
    // interface (loading). Read them only when no scan is busy.
    int lineCount = 0;
    QList<uchar> scanData;
    std::unique_ptr<quint32[]> imageBuffer;
    std::unique_ptr<QImage> scanImage;
    // The last file loaded lacked the end of its data: only its complete lines are held.
    bool loadedIncomplete = false;
    std::atomic<bool> blackWhite{false};
    // Written when the handle is opened; serialReaded carries it to other threads.
    QString serial;
    std::atomic<quint8> serialIndex{0};
    QVector<QRgb> palette;
    QTimer *connectionTimer = nullptr;

signals:
    void offsetReaded(double offset);
    void serialReaded(QString serial);
    void statusChanged(VXCommThread::VXStatus status);
    void onReadData(QList<uchar> scanData);
    void onScanDone(QImage *imageData);
    void onSetDeepness(int deepness);
    void onSetMark();

public slots:
    // The presence check of the timer; the worker opens or closes the link accordingly.
    void checkConnection();

protected:
    void run() override;

private:
    // Outcome of one request and its reply.
    struct Exchange
    {
        bool noHandle = false;
        int writeResult = 0;
        int written = 0;
        int readResult = 0;
        int received = 0;
        bool writeFailed() const { return writeResult < 0 || written < CalvimetroProtocol::requestLength; }
    };

    void setUp(bool useDevice);
    void workerLoop();
    Exchange exchange(unsigned char first, unsigned char second, unsigned char *reply, int replyLength,
                      bool readAfterWriteError);
    bool linkOpen() const;
    // The worker's side of a presence check.
    void takePresenceTick();
    void applyPresence(bool present);
    void connectedPass();
    void scanningPass();
    void processingPass();
    bool beginScan();
    void releaseScanBusy();
    void finishScan();
    QImage *buildScanImage();
    void retirePicture();
    // Run in the object's thread, queued behind the worker's signals.
    Q_INVOKABLE void endHandOver();
    Q_INVOKABLE void freeRetiredPictures();
    bool scanBusyLocked() const { return m_scanBusy > 0 || m_workerWriting; }
    void pause(int ms);
    void requestStop();

    // Used by the worker only, and by the destructor once the worker has ended.
    std::unique_ptr<UsbTransport> m_transport;
    std::atomic<bool> m_handleLost{false};
    std::atomic<int> m_processingPauseMs{2000};
    // The button must be seen up before it may start a scan.
    bool m_awaitRelease = false;
    // The last presence check not yet acted on by the worker; set under m_pauseMutex so
    // that it wakes a pause.
    enum PresenceTick { kNoTick = -1, kAbsent = 0, kPresent = 1 };
    std::atomic<int> m_presenceTick{kNoTick};
    // Guards the two below; held by user-interface operations on the scan.
    mutable std::mutex m_scanMutex;
    // Scans whose picture has not yet reached this object's thread.
    int m_scanBusy = 0;
    // The worker is writing the scan buffers.
    bool m_workerWriting = false;
    // Pictures the worker replaced, to be freed in the object's thread.
    struct RetiredPicture
    {
        std::unique_ptr<quint32[]> buffer;
        std::unique_ptr<QImage> image;  // declared after its pixels: destroyed before them
    };
    std::vector<RetiredPicture> m_retired;
    // Lets pauses of the worker end at once when it is asked to stop.
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseCondition;
    bool m_workerDone = false;  // guarded by m_pauseMutex
};
