#include "device/VXCommThread.h"

#include "device/DeviceLog.h"
#include "device/SimulatedCalvimetro.h"
#include "device/UsbTransport.h"
#include "device/UsbTransportFactory.h"
#include "scan/Contrast.h"
#include "scan/ScanColorTable.h"

#include <QDataStream>
#include <QFile>
#include <QMetaObject>
#include <QSaveFile>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>

using namespace CalvimetroProtocol;

namespace {

constexpr int kCheckIntervalMs = 1500;
// The worker makes no device calls while disconnected; it only looks at the status (a
// presence tick wakes it at once).
constexpr int kDisconnectedPollMs = 10;
// A button wait that failed (device gone, a request not taken) is retried after this.
constexpr int kCancelledWaitRetryMs = 20;
// A scan whose transfers keep failing is over: the probe is not answering any more.
constexpr int kMaxFailedTransfersInScan = 10;

constexpr int kFileHeaderSize = 12;
// QDataStream writes a null byte array as this length and no bytes.
constexpr quint32 kNullByteArrayLength = 0xFFFFFFFFu;

}  // namespace

VXCommThread::VXCommThread(bool useDevice)
{
    if (useDevice)
        m_transport = createUsbTransport();
    setUp(useDevice);
}

VXCommThread::VXCommThread(std::unique_ptr<UsbTransport> transport)
    : m_transport(std::move(transport))
{
    setUp(m_transport != nullptr);
}

void VXCommThread::setUp(bool useDevice)
{
    qRegisterMetaType<VXCommThread::VXStatus>("VXCommThread::VXStatus");
    qRegisterMetaType<QList<uchar>>("QList<uchar>");
    qRegisterMetaType<QList<uchar>>("QVector<unsigned char>");
    qRegisterMetaType<QImage *>("QImage*");

    connectionTimer = new QTimer(this);
    createPalette();
    if (useDevice) {
        if (!initLibUsb())
            qCCritical(lcDevice).noquote() << "Unable to init libusb";
        connect(connectionTimer, &QTimer::timeout, this, &VXCommThread::checkConnection);
        connectionTimer->start(kCheckIntervalMs);
        deviceEnabled = true;
    }
    qCDebug(lcDevice).noquote() << "--VXCommThread-- scan real max index " + QString::number(scanRealMaxIndex);
}

VXCommThread::~VXCommThread()
{
    qCDebug(lcDevice).noquote() << "~VXCommThread";
    if (connectionTimer) {
        connectionTimer->stop();
        delete connectionTimer;
        connectionTimer = nullptr;
    }
    status = vxsDisconnected;
    requestStop();
    // The worker ends within one transfer: the transport cuts it short, or the transfer
    // gives up at its time-out (5 s at most). Only then are the handle and the library
    // closed, so that the worker never uses them after they are gone.
    wait();
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        Q_ASSERT(m_workerDone || !isFinished());
    }
    closeVXHandle();
    if (m_transport && m_transport->isInitialized()) {
        m_transport->exit();
        qCDebug(lcDevice).noquote() << "libusb_exit";
    }
}

// --- Device operations ---------------------------------------------------------------

bool VXCommThread::initLibUsb()
{
    if (!m_transport || !m_transport->init()) {
        qCDebug(lcDevice).noquote() << "error init libusb";
        return false;
    }
    qCDebug(lcDevice).noquote() << "libusb initialized";
    return true;
}

bool VXCommThread::checkVXConnection()
{
    QVector<UsbDeviceEntry> devices;
    const int count = m_transport ? m_transport->listDevices(devices) : 0;
    if (count < 1) {
        qCDebug(lcDevice).noquote() << "no devicies found";
        return false;
    }
    bool found = false;
    for (const UsbDeviceEntry &device : devices) {
        if (!device.descriptorRead) {
            qCDebug(lcDevice).noquote() << "failed to get device descriptor";
            break;
        }
        if (device.vendorId == vendorId && device.productId == productId) {
            serialIndex = device.serialIndex;
            found = true;
        }
    }
    return found;
}

bool VXCommThread::linkOpen() const
{
    return m_transport && m_transport->isOpen();
}

bool VXCommThread::openVXHandle()
{
    qCDebug(lcDevice).noquote() << "open VX Handle";
    if (!m_transport || !m_transport->open(vendorId, productId)) {
        qCDebug(lcDevice).noquote() << "Cannot open device";
        return false;
    }
    qCDebug(lcDevice).noquote() << "Device Opened";

    std::array<unsigned char, 256> buffer{};
    const int length = m_transport->readStringAscii(serialIndex, buffer.data(), int(buffer.size()));
    if (length < 0) {
        qCDebug(lcDevice).noquote() << "error reading serial no";
    } else {
        const size_t limit = std::min(size_t(length), buffer.size() - 1);
        const size_t n = strnlen(reinterpret_cast<const char *>(buffer.data()), limit);
        serial = QString::fromLatin1(reinterpret_cast<const char *>(buffer.data()), qsizetype(n));
        emit serialReaded(serial);
    }

    if (m_transport->kernelDriverActive(interfaceNumber) == 1) {
        qCDebug(lcDevice).noquote() << "Kernel Driver Active";
        if (m_transport->detachKernelDriver(interfaceNumber) == 0)
            qCDebug(lcDevice).noquote() << "Kernel Driver Detached!";
    }

    if (m_transport->claimInterface(interfaceNumber) < 0) {
        qCDebug(lcDevice).noquote() << "Cannot Claim Interface";
        if (m_transport->releaseInterface(interfaceNumber) != 0)
            qCDebug(lcDevice).noquote() << "Cannot Release Interface";
        else
            qCDebug(lcDevice).noquote() << "Released Interface";
        m_transport->close();
        return false;
    }
    qCDebug(lcDevice).noquote() << "Claimed Interface";
    m_handleLost = false;
    return true;
}

void VXCommThread::closeVXHandle()
{
    if (!deviceEnabled)
        return;
    qCDebug(lcDevice).noquote() << "closeVXHandle" << reinterpret_cast<void *>(m_transport->handleId());
    if (m_transport->isOpen()) {
        if (m_transport->releaseInterface(interfaceNumber) != 0)
            qCDebug(lcDevice).noquote() << "Cannot Release Interface";
        else
            qCDebug(lcDevice).noquote() << "Released Interface";
        m_transport->close();
    }
}

VXCommThread::Exchange VXCommThread::exchange(unsigned char first, unsigned char second, unsigned char *reply,
                                              int replyLength, bool readAfterWriteError)
{
    Exchange result;
    if (!m_transport || !m_transport->isOpen()) {
        result.noHandle = true;
        result.writeResult = UsbTransport::ErrorNoDevice;
        result.readResult = UsbTransport::ErrorNoDevice;
        return result;
    }
    std::array<unsigned char, requestLength> request{first, second};
    result.writeResult = m_transport->bulkTransfer(endpointOut, request.data(), requestLength, &result.written,
                                                   writeTimeoutMs);
    // A request the probe never took has no reply coming: the read would only wait out
    // its own time-out.
    const bool notTaken = result.writeResult == UsbTransport::ErrorTimeout && result.written == 0;
    if (!result.writeFailed() || (readAfterWriteError && !notTaken))
        result.readResult = m_transport->bulkTransfer(endpointIn, reply, replyLength, &result.received, readTimeoutMs);
    else if (notTaken)
        result.readResult = UsbTransport::ErrorTimeout;
    if (result.writeResult == UsbTransport::ErrorNoDevice || result.readResult == UsbTransport::ErrorNoDevice)
        m_handleLost = true;
    return result;
}

bool VXCommThread::readInfoString()
{
    std::array<unsigned char, infoReplyLength> reply{};
    const Exchange result = exchange(infoCommand0, infoCommand1, reply.data(), infoReplyLength, true);
    if (result.writeFailed())
        qCDebug(lcDevice).noquote() << "read info string - Write Error";
    if (result.readResult < 0) {
        qCDebug(lcDevice).noquote() << "read info srting - read error";
        return false;
    }
    const int received = std::clamp(result.received, 0, infoReplyLength);
    if (received == 0)
        return false;

    // One character in the low byte of each 16-bit unit, up to the first zero unit.
    QString text;
    for (int i = 0; i < received; i += 2) {
        const unsigned char low = reply[size_t(i)];
        const unsigned char high = i + 1 < received ? reply[size_t(i) + 1] : 0;
        if (low == 0 && high == 0)
            break;
        text.append(QChar(low));
    }
    qCDebug(lcDevice).noquote() << "infostring : " + text;

    const qsizetype open = text.indexOf(QLatin1Char('('));
    const qsizetype close = text.indexOf(QLatin1Char(')'));
    if (open < 0 || close <= open)
        return false;
    bool ok = false;
    double offset = text.mid(open + 1, close - open - 1).toDouble(&ok);
    if (!ok)
        offset = 0.0;

    // Depth 0 must leave room for a whole line inside the block; any other offset would
    // make every line read past the block, so it is refused and dpo keeps its value.
    const double samples = std::trunc(offset / mmPerSample);
    if (!(samples >= 0.0 && samples <= maxDeviceOffset)) {
        qCDebug(lcDevice).noquote() << "device offset out of range: " + QString::number(offset, 'g', 6)
                                           + " dpo kept:" + QString::number(dpo.load());
        return false;
    }
    const int newDpo = static_cast<int>(samples);
    dpo = newDpo;
    qCDebug(lcDevice).noquote() << "device offset: " + QString::number(offset, 'g', 6) + " dpo:"
                                       + QString::number(newDpo);
    emit offsetReaded(offset);
    return true;
}

bool VXCommThread::checkButtonPressed(const unsigned char *block) const
{
    for (int i = 0; i < idlePatternLength; ++i) {
        if (block[i] != idleByte)
            return true;
    }
    return false;
}

bool VXCommThread::waitForButtonPressed()
{
    if (!checkVXConnection())
        return false;
    std::array<unsigned char, blockSize> block;
    for (;;) {
        takePresenceTick();  // between two requests, the link may be closed or opened again
        if (status == vxsDisconnected)
            return false;
        const Exchange result = exchange(waitGain, blockCommand, block.data(), blockSize, false);
        if (result.noHandle)
            return false;
        if (result.writeFailed()) {
            qCDebug(lcDevice).noquote() << "wait button - Write Error";
            return false;
        }
        if (result.readResult < 0) {
            qCDebug(lcDevice).noquote() << "wait button- read error";
            return false;
        }
        // A short block counts as a button that is not pressed, but only a whole one
        // shows it released.
        const bool whole = result.received == blockSize;
        const bool pressed = whole && checkButtonPressed(block.data());
        if (whole && !pressed) {
            m_awaitRelease = false;
        } else if (pressed && holdScans) {
            if (!m_awaitRelease)
                qCDebug(lcDevice).noquote() << "button pressed while scans are held";
            m_awaitRelease = true;
        } else if (pressed && !m_awaitRelease) {
            return true;
        }
        if (stopRequested)
            return false;
    }
}

bool VXCommThread::readScan()
{
    scanData.clear();
    scanData.reserve(qsizetype(maxScanLines) * scanRealMaxIndex);
    lineCount = 0;
    bool lastBlockWasLine = false;
    int failedInARow = 0;
    std::array<unsigned char, blockSize> block;
    for (;;) {
        // dpo only ever holds values that keep the line inside the block.
        const int offset = std::clamp(dpo.load(), 0, maxDeviceOffset);
        const auto gain = static_cast<unsigned char>(intensity.load() & 0xFF);
        const Exchange result = exchange(gain, blockCommand, block.data(), blockSize, true);
        if (result.writeFailed())
            qCDebug(lcDevice).noquote() << "read scan - Write Error";

        bool failed = true;
        if (result.readResult < 0) {
            qCDebug(lcDevice).noquote() << "read scan error";
        } else if (result.received < blockSize) {
            qCDebug(lcDevice).noquote() << "read error" << result.received;
        } else if (!checkButtonPressed(block.data())) {
            m_awaitRelease = false;
            return false;  // button released
        } else {
            failed = false;
            failedInARow = 0;
            lastBlockWasLine = true;
            ++lineCount;
            const qsizetype at = scanData.size();
            scanData.resize(at + scanRealMaxIndex);
            std::memcpy(scanData.data() + at, block.data() + offset, scanRealMaxIndex);
            QList<uchar> line(CalvimetroProtocol::liveLineSamples);
            uchar *live = line.data();
            for (int i = 0; i < CalvimetroProtocol::liveLineSamples; ++i)
                live[i] = block[size_t(offset + 2 * i)];
            emit onReadData(line);
        }

        if (failed) {
            // Asking again cannot help once the probe is gone, or after it stopped
            // answering altogether.
            const bool gone = result.noHandle || result.writeResult == UsbTransport::ErrorNoDevice
                              || result.readResult == UsbTransport::ErrorNoDevice;
            if (gone) {
                qCDebug(lcDevice).noquote() << "read scan - device lost";
                return false;
            }
            if (++failedInARow >= kMaxFailedTransfersInScan && lastBlockWasLine) {
                qCDebug(lcDevice).noquote() << "read scan - too many failed transfers";
                return false;
            }
        }
        if (!lastBlockWasLine)
            return false;  // the first transfer failed
        if (stopRequested || lineCount >= maxScanLines)
            return true;
    }
}

// --- Worker ------------------------------------------------------------------------------

void VXCommThread::run()
{
    workerLoop();
    // The destructor takes this lock after wait(): every use of the object by this thread
    // is then ordered before its destruction through a lock that every tool can see.
    std::lock_guard<std::mutex> lock(m_pauseMutex);
    m_workerDone = true;
}

void VXCommThread::workerLoop()
{
    // The first look, without waiting for the timer.
    applyPresence(checkVXConnection());
    if (stopRequested)
        return;
    while (!stopRequested) {
        switch (status.load()) {
        case vxsConnected:
            connectedPass();
            break;
        case vxsDisconnected:
        case vxsScanning:
        case vxsProcessing:
            // Scanning and processing are entered and left by this thread within one
            // pass; disconnected waits for a tick to find the probe.
            pause(kDisconnectedPollMs);
            break;
        }
    }
}

void VXCommThread::connectedPass()
{
    qCDebug(lcDevice).noquote() << "vxsConnected";
    if (!waitForButtonPressed()) {
        qCDebug(lcDevice).noquote() << "vxsConnected operation cancelled";
        pause(kCancelledWaitRetryMs);
        return;
    }
    qCDebug(lcDevice).noquote() << "Button Pressed";
    if (!beginScan())
        return;  // the object is being destroyed
    emit statusChanged(vxsScanning);
    scanningPass();
}

void VXCommThread::scanningPass()
{
    qCDebug(lcDevice).noquote() << "vxsScanning";
    // Cleared by readScan when the release ends the scan.
    m_awaitRelease = true;
    if (readScan())
        qCDebug(lcDevice).noquote() << "Scan finished - button pressed";
    else
        qCDebug(lcDevice).noquote() << "Scan finished - button unpressed";
    // A button still held at the end (the longest scan, failed transfers) would start a
    // new scan at once and replace this one before anybody could keep it; a scan the
    // release ended has seen the button up already.
    m_awaitRelease = m_awaitRelease && lineCount > 0;
    // Stopping means the object is being destroyed: the scan goes with it, and no picture
    // is handed out that would not outlive the signal carrying it.
    if (stopRequested)
        return;
    // Only the worker leaves scanning, unless the object is being destroyed meanwhile.
    VXStatus expected = vxsScanning;
    if (status.compare_exchange_strong(expected, vxsProcessing))
        emit statusChanged(vxsProcessing);
    // Straight on, without going back to the loop: the scan is processed whatever a
    // tick in the pause below does to the status.
    processingPass();
}

void VXCommThread::processingPass()
{
    qsizetype lines = scanData.size() / scanRealMaxIndex;
    qCDebug(lcDevice).noquote() << "processing: scan data size" << scanData.size() << "lines" << lines;
    // Lines at the end with no echo at all (the probe was lifted) are dropped, but one
    // line always stays.
    while (lines >= 2) {
        const uchar *last = scanData.constData() + (lines - 1) * scanRealMaxIndex;
        if (!std::all_of(last, last + scanRealMaxIndex, [](uchar v) { return v == 0; }))
            break;
        --lines;
    }
    scanData.resize(lines * scanRealMaxIndex);
    lineCount = int(scanData.size() / scanRealMaxIndex);

    QImage *image = buildScanImage();
    {
        // Done with the buffers; taking the scan lock publishes the writes to whoever
        // takes it next.
        std::lock_guard<std::mutex> lock(m_scanMutex);
        m_workerWriting = false;
    }
    emit onScanDone(image);
    releaseScanBusy();
    pause(m_processingPauseMs.load());
    finishScan();
}

bool VXCommThread::beginScan()
{
    // Under the scan lock: a user-interface operation on the scan finishes first, and
    // the ones after it see the scan busy.
    std::lock_guard<std::mutex> lock(m_scanMutex);
    VXStatus expected = vxsConnected;
    if (!status.compare_exchange_strong(expected, vxsScanning))
        return false;
    // Ticks leave a scan alone; one taken before it is stale by its end.
    m_presenceTick = kNoTick;
    ++m_scanBusy;
    m_workerWriting = true;
    return true;
}

void VXCommThread::releaseScanBusy()
{
    // Queued behind onScanDone: once endHandOver has run in the object's thread, the
    // picture has reached the receivers there, and rebuilding it cannot leave them a
    // stale one.
    QMetaObject::invokeMethod(this, "endHandOver", Qt::QueuedConnection);
}

void VXCommThread::endHandOver()
{
    std::lock_guard<std::mutex> lock(m_scanMutex);
    --m_scanBusy;
}

void VXCommThread::finishScan()
{
    // Back to connected, unless a tick in the pause found the probe gone or the object
    // is being destroyed.
    if (stopRequested)
        return;
    VXStatus current = status.load();
    while (current != vxsDisconnected) {
        if (status.compare_exchange_weak(current, vxsConnected)) {
            emit statusChanged(vxsConnected);
            return;
        }
    }
}

void VXCommThread::pause(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_pauseMutex);
            const bool woken = m_pauseCondition.wait_until(
                lock, until, [this] { return stopRequested.load() || m_presenceTick.load() != kNoTick; });
            if (!woken || stopRequested)
                return;
        }
        takePresenceTick();
    }
}

void VXCommThread::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        stopRequested = true;
    }
    m_pauseCondition.notify_all();
    if (m_transport)
        m_transport->interrupt();
}

// --- Timer -----------------------------------------------------------------------------

void VXCommThread::checkConnection()
{
    // The object's thread only enumerates the bus, which never waits for a transfer; the
    // worker acts on what it found between two of its own transfers.
    if (status.load() == vxsScanning)
        return;  // ticks leave a scan alone
    const bool present = checkVXConnection();
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        m_presenceTick = present ? kPresent : kAbsent;
    }
    m_pauseCondition.notify_all();
}

bool VXCommThread::isPresenceCheckPending() const
{
    return m_presenceTick.load() != kNoTick;
}

void VXCommThread::takePresenceTick()
{
    int tick = m_presenceTick.load();
    if (tick == kNoTick)
        return;
    applyPresence(tick == kPresent);
    // A newer tick that came meanwhile stays for the next look.
    m_presenceTick.compare_exchange_strong(tick, kNoTick);
}

void VXCommThread::applyPresence(bool present)
{
    VXStatus old = status.load();
    if (old == vxsScanning)
        return;
    // A transfer found the probe gone: that handle stays dead even if the probe is back.
    if (m_handleLost.exchange(false))
        closeVXHandle();

    const VXStatus next = present ? vxsConnected : vxsDisconnected;
    const bool reopen = next == vxsConnected && old == vxsConnected && !linkOpen();
    if (!status.compare_exchange_strong(old, next))
        return;  // the object is being destroyed
    if (next == old && !reopen)
        return;
    qCDebug(lcDevice).noquote() << "Status changed" << int(old) << "->" << int(next);

    if (next == vxsConnected) {
        if (!linkOpen()) {
            VXStatus expected = vxsConnected;
            if (!openVXHandle()) {
                status.compare_exchange_strong(expected, vxsDisconnected);
                qCDebug(lcDevice).noquote() << "Error opening VX Handle";
            } else if (!readInfoString()) {
                status.compare_exchange_strong(expected, vxsDisconnected);
                qCDebug(lcDevice).noquote() << "Error reading info string";
            }
        }
    } else {
        closeVXHandle();
    }
    const VXStatus now = status.load();
    qCDebug(lcDevice).noquote() << "emit change status (old -> new)" << int(old) << int(now);
    emit statusChanged(now);
}

// --- Scan holder -------------------------------------------------------------------------

QImage *VXCommThread::getScanImage()
{
    if (QThread::currentThread() == this)
        return buildScanImage();  // the worker, which owns the scan while it is busy
    std::lock_guard<std::mutex> lock(m_scanMutex);
    if (scanBusyLocked()) {
        qCDebug(lcDevice).noquote() << "getScanImage refused: a scan is in progress";
        return nullptr;
    }
    return buildScanImage();
}

QImage *VXCommThread::buildScanImage()
{
    const qsizetype n = scanData.size();
    if (n == 0)
        return nullptr;
    if (lineCount <= 0 || lineCount > n) {
        qCDebug(lcDevice).noquote() << "getScanImage: no picture for" << lineCount << "lines in" << n << "samples";
        return nullptr;
    }
    const int width = lineCount;
    const qsizetype height = n / lineCount;

    const QPair<double, double> contrast = analyzeHistogram(scanData, lineCount, deepIndex.load(), autoAdjust.load());
    const ScanColorTable table(palette, contrast.first, contrast.second, blackWhite.load());
    const QRgb *colors = table.colors();

    // One look-up per pixel, rows written in memory order; a row gathers one sample
    // from each line.
    std::unique_ptr<quint32[]> buffer(new quint32[size_t(width) * size_t(height)]);
    const uchar *samples = scanData.constData();
    for (qsizetype row = 0; row < height; ++row) {
        const uchar *sample = samples + row;
        quint32 *pixel = buffer.get() + row * width;
        for (int column = 0; column < width; ++column, sample += height)
            pixel[column] = colors[*sample];
    }
    auto image = std::make_unique<QImage>(reinterpret_cast<uchar *>(buffer.get()), width, int(height),
                                          qsizetype(width) * 4, QImage::Format_RGB32);
    retirePicture();
    imageBuffer = std::move(buffer);
    scanImage = std::move(image);
    return scanImage.get();
}

void VXCommThread::retirePicture()
{
    if (!scanImage && !imageBuffer)
        return;
    if (QThread::currentThread() == thread()) {
        scanImage.reset();
        imageBuffer.reset();
        return;
    }
    // Built by the worker: the user interface may still paint the old picture until it
    // has seen the status change that drops it, which is already on its way. Freeing
    // it in the object's thread, after those signals, keeps it valid until then.
    {
        std::lock_guard<std::mutex> lock(m_scanMutex);
        m_retired.push_back(RetiredPicture{std::move(imageBuffer), std::move(scanImage)});
    }
    QMetaObject::invokeMethod(this, "freeRetiredPictures", Qt::QueuedConnection);
}

void VXCommThread::freeRetiredPictures()
{
    std::vector<RetiredPicture> retired;
    {
        std::lock_guard<std::mutex> lock(m_scanMutex);
        retired.swap(m_retired);
    }
}

void VXCommThread::setDeepness(int mm)
{
    deepness = mm;
    // A line holds 1577 samples, and a file needs at least one per line.
    const double samples = std::trunc(mm / mmPerSample);
    deepIndex = static_cast<int>(std::clamp(samples, 1.0, double(scanRealMaxIndex)));
}

void VXCommThread::createPalette()
{
    palette = scanPalette();
}

bool VXCommThread::saveToFile(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_scanMutex);
    if (scanBusyLocked()) {
        qCDebug(lcDevice).noquote() << "saveToFile refused: a scan is in progress";
        return false;
    }
    // Written aside and renamed into place: a failed save never destroys the old file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcDevice).noquote() << "can't open outFile";
        return false;
    }
    const int samplesPerLine = std::clamp(deepIndex.load(), 1, scanRealMaxIndex);
    const qsizetype lines = std::min(qsizetype(std::max(lineCount, 0)), scanData.size() / scanRealMaxIndex);
    QByteArray bytes;
    bytes.reserve(lines * samplesPerLine);
    for (qsizetype line = 0; line < lines; ++line)
        bytes.append(reinterpret_cast<const char *>(scanData.constData() + line * scanRealMaxIndex), samplesPerLine);
    qCDebug(lcDevice).noquote() << "save file (scanMaxIndex - scanSpeed - datalen)" << samplesPerLine << 1
                                << bytes.size();

    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    // The byte array as QDataStream serialises it, length first; written by hand so
    // that an empty scan gets length 0 rather than the null-array marker.
    out << qint32(samplesPerLine) << qint32(1) << quint32(bytes.size());
    out.writeRawData(bytes.constData(), int(bytes.size()));
    if (out.status() != QDataStream::Ok || !file.commit()) {
        qCDebug(lcDevice).noquote() << "save file failed:" << file.errorString();
        return false;
    }
    return true;
}

bool VXCommThread::loadFromFile(const QString &path)
{
    int loadedDeepness = 0;
    {
        std::lock_guard<std::mutex> lock(m_scanMutex);
        if (scanBusyLocked()) {
            qCDebug(lcDevice).noquote() << "loadFromFile refused: a scan is in progress";
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            qCDebug(lcDevice).noquote() << file.errorString();
            return false;
        }
        // The largest file a scan can give: 903 whole lines and part of one more. Reading
        // stops there whatever the file is (a device, a huge file).
        const qint64 largest = kFileHeaderSize + qint64(maxScanLines + 1) * scanRealMaxIndex - 1;
        const QByteArray content = file.read(largest + 1);
        if (content.size() > largest) {
            qCDebug(lcDevice).noquote() << "load file: too large for a scan:" << path;
            return false;
        }
        if (content.size() < kFileHeaderSize) {
            qCDebug(lcDevice).noquote() << "load file: truncated header," << content.size() << "bytes";
            return false;
        }
        const auto *head = reinterpret_cast<const uchar *>(content.constData());
        const qint32 scanMaxIndex = qFromLittleEndian<qint32>(head);
        const qint32 scanSpeed = qFromLittleEndian<qint32>(head + 4);
        const quint32 datalen = qFromLittleEndian<quint32>(head + 8);
        if (scanMaxIndex < 1 || scanMaxIndex > scanRealMaxIndex) {
            qCDebug(lcDevice).noquote() << "load file: samples per line out of range:" << scanMaxIndex;
            return false;
        }
        const qsizetype available = content.size() - kFileHeaderSize;
        const qsizetype stored = datalen == kNullByteArrayLength ? 0 : qsizetype(datalen);
        // A file cut short (a copy or a download that stopped) still holds whole lines;
        // only more bytes than announced, or bytes after a null array, mean another format.
        const bool cut = available < stored;
        if ((stored != available && !cut) || (datalen == kNullByteArrayLength && available != 0)) {
            qCDebug(lcDevice).noquote() << "load file: data length" << datalen << "disagrees with the" << available
                                        << "bytes in the file";
            return false;
        }
        if (stored / scanMaxIndex > maxScanLines) {
            qCDebug(lcDevice).noquote() << "load file:" << stored / scanMaxIndex << "lines, more than a scan can hold";
            return false;
        }
        const qsizetype kept = cut ? available : stored;
        const qsizetype lines = kept / scanMaxIndex;  // a partial last line is dropped
        const bool incomplete = cut || kept % scanMaxIndex != 0;
        if (incomplete && lines == 0) {
            qCDebug(lcDevice).noquote() << "load file: not one complete line in" << kept << "bytes";
            return false;
        }
        if (incomplete)
            qCDebug(lcDevice).noquote() << "load file: incomplete," << lines << "complete lines of" << scanMaxIndex;

        // Every line is 1577 samples again, zero below the stored depth.
        QList<uchar> loaded(lines * scanRealMaxIndex, uchar(0));
        const uchar *samples = head + kFileHeaderSize;
        for (qsizetype line = 0; line < lines; ++line)
            std::memcpy(loaded.data() + line * scanRealMaxIndex, samples + line * scanMaxIndex, size_t(scanMaxIndex));
        qCDebug(lcDevice).noquote() << "load file (scanMaxIndex - scanSpeed - datalen)" << scanMaxIndex << scanSpeed
                                    << datalen;

        scanData.swap(loaded);
        lineCount = int(lines);
        loadedIncomplete = incomplete;
        deepIndex = scanMaxIndex;
        loadedDeepness = static_cast<int>(scanMaxIndex * mmPerSample);
        deepness = loadedDeepness;
    }
    emit onSetDeepness(loadedDeepness);
    return true;
}

bool VXCommThread::readScanSamples(const std::function<void(const uchar *, int)> &use) const
{
    std::lock_guard<std::mutex> lock(m_scanMutex);
    if (m_workerWriting) {
        qCDebug(lcDevice).noquote() << "readScanSamples refused: a scan is being written";
        return false;
    }
    const int lines = int(std::min(qsizetype(std::max(lineCount, 0)), scanData.size() / scanRealMaxIndex));
    use(scanData.constData(), lines);
    return true;
}

// --- Tuning ------------------------------------------------------------------------------

SimulatedCalvimetro *VXCommThread::simulator() const
{
    return dynamic_cast<SimulatedCalvimetro *>(m_transport.get());
}

void VXCommThread::setCheckInterval(int ms)
{
    if (connectionTimer)
        connectionTimer->setInterval(ms);
}

void VXCommThread::setProcessingPause(int ms)
{
    m_processingPauseMs = std::max(ms, 0);
}

bool VXCommThread::isScanBusy() const
{
    std::lock_guard<std::mutex> lock(m_scanMutex);
    return scanBusyLocked();
}
