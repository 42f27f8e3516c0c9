#include "device/SimulatedCalvimetro.h"

#include "device/CalvimetroProtocol.h"

#include <algorithm>
#include <cstring>

using namespace CalvimetroProtocol;

SimulatedCalvimetro::SimulatedCalvimetro(double blocksPerSecond)
    : m_blockRate(std::max(blocksPerSecond, 0.0))
{
    UsbDeviceEntry hub;
    hub.descriptorRead = true;
    hub.vendorId = 0x1D6B;  // Linux Foundation root hub
    hub.productId = 0x0002;
    m_otherDevices.append(hub);
}

SimulatedCalvimetro::~SimulatedCalvimetro() = default;

bool SimulatedCalvimetro::init()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initialized = !m_initFails;
    return m_initialized;
}

bool SimulatedCalvimetro::isInitialized() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_initialized;
}

void SimulatedCalvimetro::exit()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_claimed = false;
    m_initialized = false;
}

int SimulatedCalvimetro::listDevices(QVector<UsbDeviceEntry> &devices)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    devices.clear();
    if (!m_initialized)
        return 0;
    devices = m_otherDevices;
    if (m_plugged) {
        UsbDeviceEntry probe;
        probe.descriptorRead = true;
        probe.vendorId = vendorId;
        probe.productId = productId;
        probe.serialIndex = CalvimetroModel::serialIndex;
        devices.append(probe);
    }
    return devices.size();
}

bool SimulatedCalvimetro::open(quint16 vendor, quint16 product)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_claimed = false;
    if (!m_initialized || !m_plugged || m_openFails || vendor != vendorId || product != productId)
        return false;
    m_open = true;
    m_openSession = m_session;
    ++m_openCount;
    return true;
}

bool SimulatedCalvimetro::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

quintptr SimulatedCalvimetro::handleId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Looks like a handle in the log lines and differs for every opening.
    return m_open ? quintptr(0x5100000) + quintptr(m_openCount) * 0x40 : 0;
}

bool SimulatedCalvimetro::handleAliveLocked() const
{
    return m_open && m_plugged && m_openSession == m_session;
}

int SimulatedCalvimetro::readStringAscii(quint8 index, unsigned char *buffer, int length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!handleAliveLocked())
        return ErrorNoDevice;
    if (index == 0 || length <= 0)
        return ErrorInvalidParam;
    if (index != CalvimetroModel::serialIndex)
        return ErrorPipe;  // the device stalls on a string it does not have
    const std::string &serial = m_model.serial();
    const int n = std::min(static_cast<int>(serial.size()), length - 1);
    std::memcpy(buffer, serial.data(), static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

int SimulatedCalvimetro::kernelDriverActive(int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!handleAliveLocked())
        return ErrorNoDevice;
    if (interfaceNumber != CalvimetroProtocol::interfaceNumber)
        return ErrorNotFound;
    return m_kernelDriver ? 1 : 0;
}

int SimulatedCalvimetro::detachKernelDriver(int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!handleAliveLocked())
        return ErrorNoDevice;
    if (interfaceNumber != CalvimetroProtocol::interfaceNumber || !m_kernelDriver)
        return ErrorNotFound;
    m_kernelDriver = false;
    return 0;
}

int SimulatedCalvimetro::claimInterface(int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!handleAliveLocked())
        return ErrorNoDevice;
    if (interfaceNumber != CalvimetroProtocol::interfaceNumber)
        return ErrorNotFound;
    if (m_claimFails || m_kernelDriver)
        return ErrorBusy;
    m_claimed = true;
    return 0;
}

int SimulatedCalvimetro::releaseInterface(int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!handleAliveLocked())
        return ErrorNoDevice;
    if (interfaceNumber != CalvimetroProtocol::interfaceNumber || !m_claimed)
        return ErrorNotFound;
    m_claimed = false;
    return 0;
}

void SimulatedCalvimetro::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_claimed = false;
}

SimulatedCalvimetro::Clock::duration SimulatedCalvimetro::scaled(std::chrono::milliseconds duration) const
{
    return std::chrono::duration_cast<Clock::duration>(duration * m_timeoutScale);
}

int SimulatedCalvimetro::waitLocked(std::unique_lock<std::mutex> &lock, Clock::time_point until, unsigned session)
{
    const auto ended = [&] { return m_interrupted || !m_plugged || m_session != session; };
    // An unlimited wait must not go through wait_until(max()), which overflows.
    if (until == Clock::time_point::max())
        m_wake.wait(lock, ended);
    else
        m_wake.wait_until(lock, until, ended);
    if (m_interrupted)
        return ErrorInterrupted;
    if (!m_plugged || m_session != session)
        return ErrorNoDevice;
    return 0;
}

int SimulatedCalvimetro::bulkTransfer(unsigned char endpoint, unsigned char *data, int length, int *transferred,
                                      unsigned int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    *transferred = 0;
    if (!handleAliveLocked())
        return ErrorNoDevice;
    if (endpoint == endpointOut) {
        if (m_writeErrorCount > 0) {
            --m_writeErrorCount;
            return m_writeError;
        }
        if (!m_takingRequests) {
            const Clock::time_point until
                = timeoutMs ? Clock::now() + scaled(std::chrono::milliseconds(timeoutMs)) : Clock::time_point::max();
            const int r = waitLocked(lock, until, m_session);
            return r != 0 ? r : int(ErrorTimeout);
        }
        m_model.receive(data, length);
        *transferred = length;
        return 0;
    }
    if (endpoint != endpointIn)
        return ErrorPipe;
    return readLocked(lock, data, length, transferred, timeoutMs);
}

int SimulatedCalvimetro::readLocked(std::unique_lock<std::mutex> &lock, unsigned char *data, int length,
                                    int *transferred, unsigned int timeoutMs)
{
    using std::chrono::milliseconds;
    const unsigned session = m_session;
    const Clock::time_point start = Clock::now();
    const bool limited = timeoutMs != 0;
    const Clock::time_point deadline = limited ? start + scaled(milliseconds(timeoutMs)) : Clock::time_point::max();

    // A fault aimed at this read, if any.
    ReadFault fault;
    bool faulty = false;
    if (!m_readFaults.empty()) {
        const ReadFault &next = m_readFaults.front();
        const bool atBlock = next.atSweepBlock >= 0 && m_model.nextReplyIsScanBlock()
                             && m_model.sweepBlock() == next.atSweepBlock;
        if (next.atSweepBlock < 0 || atBlock) {
            fault = next;
            faulty = true;
            m_readFaults.pop_front();
        }
    }
    if (faulty && fault.kind == ReadFault::Error) {
        m_model.dropPendingRequest();
        return fault.value;
    }

    // Nothing asked: the device stays silent until the host gives up.
    if (!m_model.hasPendingRequest()) {
        const int r = waitLocked(lock, deadline, session);
        return r != 0 ? r : int(ErrorTimeout);
    }

    // When the reply is due.
    Clock::time_point due = start;
    const bool isBlock = m_model.nextReplyIsScanBlock() || length >= blockSize;
    if (isBlock) {
        if (m_blockRate > 0.0) {
            const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / m_blockRate));
            due = std::max(m_nextSlot, start);
            m_nextSlot = due + period;
        } else if (!m_model.buttonPressed()) {
            due = start + std::chrono::microseconds(m_idlePollDelayUs);
        }
    }
    if (faulty && fault.kind == ReadFault::Late)
        due = std::max(due, start + scaled(milliseconds(fault.value)));
    if (due > deadline) {
        const int r = waitLocked(lock, deadline, session);
        m_model.dropPendingRequest();
        return r != 0 ? r : int(ErrorTimeout);
    }
    if (due > Clock::now()) {
        const int r = waitLocked(lock, due, session);
        if (r != 0)
            return r;
    }
    if (!handleAliveLocked())
        return ErrorNoDevice;

    const int n = m_model.send(data, length);
    if (n < 0)
        return ErrorTimeout;  // the request was dropped while waiting (power cycle)
    ++m_blocksServed;
    *transferred = (faulty && fault.kind == ReadFault::Short) ? std::clamp(fault.value, 0, n) : n;
    return 0;
}

void SimulatedCalvimetro::interrupt()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_interrupted = true;
    }
    m_wake.notify_all();
}

void SimulatedCalvimetro::plug()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_plugged)
            return;
        m_plugged = true;
        ++m_session;
        m_model.reset();
    }
    m_wake.notify_all();
}

void SimulatedCalvimetro::unplug()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged)
            return;
        m_plugged = false;
        ++m_session;
        m_model.reset();
        m_claimed = false;
    }
    m_wake.notify_all();
}

bool SimulatedCalvimetro::isPlugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged;
}

void SimulatedCalvimetro::pressButton()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.setButtonPressed(true);
}

void SimulatedCalvimetro::releaseButton()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.setButtonPressed(false);
}

bool SimulatedCalvimetro::isButtonPressed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.buttonPressed();
}

void SimulatedCalvimetro::sweep(int blocks)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.startSweep(blocks);
}

void SimulatedCalvimetro::setBlockRate(double blocksPerSecond)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blockRate = std::max(blocksPerSecond, 0.0);
    m_nextSlot = Clock::time_point{};
}

double SimulatedCalvimetro::blockRate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blockRate;
}

void SimulatedCalvimetro::setIdlePollDelay(int microseconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idlePollDelayUs = std::max(microseconds, 0);
}

void SimulatedCalvimetro::setTimeoutScale(double scale)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeoutScale = std::max(scale, 0.0);
}

void SimulatedCalvimetro::setProfile(const CalvimetroProfile &profile)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.setProfile(profile);
}

CalvimetroProfile SimulatedCalvimetro::profile() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.profile();
}

void SimulatedCalvimetro::setOffsetMm(double mm)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.setOffsetMm(mm);
}

void SimulatedCalvimetro::setInfoText(const QByteArray &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (text.isEmpty())
        m_model.useDefaultInfoText();
    else
        m_model.setInfoText(text.toStdString());
}

void SimulatedCalvimetro::setSerial(const QByteArray &serial)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.setSerial(serial.toStdString());
}

void SimulatedCalvimetro::setInitFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initFails = fails;
}

void SimulatedCalvimetro::setOpenFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFails = fails;
}

void SimulatedCalvimetro::setClaimFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_claimFails = fails;
}

void SimulatedCalvimetro::setKernelDriverAttached(bool attached)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_kernelDriver = attached;
}

void SimulatedCalvimetro::setOtherDevices(const QVector<UsbDeviceEntry> &devices)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_otherDevices = devices;
}

void SimulatedCalvimetro::injectWriteError(int error, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeError = error;
    m_writeErrorCount = std::max(count, 0);
}

void SimulatedCalvimetro::setTakingRequests(bool taking)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_takingRequests = taking;
}

void SimulatedCalvimetro::injectReadFault(const ReadFault &fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readFaults.push_back(fault);
}

void SimulatedCalvimetro::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readFaults.clear();
    m_writeErrorCount = 0;
}

int SimulatedCalvimetro::lastGain() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.lastGain();
}

int SimulatedCalvimetro::lastScanGain() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.lastScanGain();
}

int SimulatedCalvimetro::sweepBlock() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.sweepBlock();
}

bool SimulatedCalvimetro::isClaimed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_claimed;
}

bool SimulatedCalvimetro::kernelDriverAttached() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_kernelDriver;
}

int SimulatedCalvimetro::openCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openCount;
}

qint64 SimulatedCalvimetro::blocksServed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocksServed;
}

double SimulatedCalvimetro::expectedFatMm(int line) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Scan block 0 only shows that the button is down; line i is block i + 1.
    return m_model.fatThicknessMm(line + 1);
}

CalvimetroModel SimulatedCalvimetro::modelSnapshot() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model;
}
