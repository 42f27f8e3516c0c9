#pragma once

#include "device/CalvimetroModel.h"
#include "device/UsbTransport.h"

#include <QByteArray>
#include <QVector>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

// A calvimetro without hardware: a UsbTransport that answers every exchange of the real
// probe byte for byte from a CalvimetroModel. It paces its blocks from a monotonic clock
// like a probe on a full-speed link, or answers at once (rate 0) for tests and benchmarks.
//
// The control calls (plugging, the button, faults) are for tests and for a demo control
// panel; they are thread-safe and may be called while a transfer is waiting.
class SimulatedCalvimetro final : public UsbTransport
{
public:
    // A probe line takes a few milliseconds; this is the pace the application gets.
    static constexpr double defaultBlockRate = 300.0;

    // One fault on an upcoming read of the IN endpoint.
    struct ReadFault
    {
        enum Kind {
            Error,  // the read fails with error `value` (an UsbTransport::Error)
            Short,  // the reply is cut to `value` bytes
            Late,   // the reply comes `value` ms late (a time-out when that is too late)
        };
        Kind kind = Error;
        int value = ErrorIo;
        // -1: the next read. Otherwise the read that would carry scan block `atSweepBlock`
        // of the current press (block 0 is the one that shows the button is down).
        int atSweepBlock = -1;
    };

    explicit SimulatedCalvimetro(double blocksPerSecond = 0.0);
    ~SimulatedCalvimetro() override;

    bool init() override;
    bool isInitialized() const override;
    void exit() override;
    int listDevices(QVector<UsbDeviceEntry> &devices) override;
    bool open(quint16 vendorId, quint16 productId) override;
    bool isOpen() const override;
    quintptr handleId() const override;
    int readStringAscii(quint8 index, unsigned char *buffer, int length) override;
    int kernelDriverActive(int interfaceNumber) override;
    int detachKernelDriver(int interfaceNumber) override;
    int claimInterface(int interfaceNumber) override;
    int releaseInterface(int interfaceNumber) override;
    void close() override;
    int bulkTransfer(unsigned char endpoint, unsigned char *data, int length, int *transferred,
                     unsigned int timeoutMs) override;
    // Ends every wait at once; the transport is being shut down.
    void interrupt() override;

    // --- Control -------------------------------------------------------------------
    // Unplugging is a power loss: the button goes up, a handle opened before stays dead
    // even after the probe is plugged in again, and waiting transfers fail at once.
    void plug();
    void unplug();
    bool isPlugged() const;

    void pressButton();
    void releaseButton();
    bool isButtonPressed() const;
    // Presses the button for `blocks` scan blocks. The acquisition uses the first one to
    // see the press, so a sweep of n blocks gives a scan of n - 1 lines.
    void sweep(int blocks);

    // Blocks per second (0: at once). While the button is up and the rate is 0, idle
    // blocks still come after `idlePollDelayUs` so that a waiting host does not spin.
    void setBlockRate(double blocksPerSecond);
    double blockRate() const;
    void setIdlePollDelay(int microseconds);
    // Time-outs and late replies are waited for `scale` times their length (1 in the
    // application; tests shorten them).
    void setTimeoutScale(double scale);

    void setProfile(const CalvimetroProfile &profile);
    CalvimetroProfile profile() const;
    void setOffsetMm(double mm);
    // Replaces the info text verbatim (malformed texts); an empty text restores the default.
    void setInfoText(const QByteArray &text);
    void setSerial(const QByteArray &serial);

    void setInitFails(bool fails);
    void setOpenFails(bool fails);
    void setClaimFails(bool fails);
    void setKernelDriverAttached(bool attached);
    // Devices listed before the calvimetro (by default one root hub).
    void setOtherDevices(const QVector<UsbDeviceEntry> &devices);

    void injectWriteError(int error, int count = 1);
    // A hung probe that takes no request: OUT transfers wait for their time-out (without
    // one, until the probe is unplugged or the transport interrupted).
    void setTakingRequests(bool taking);
    void injectReadFault(const ReadFault &fault);
    void clearFaults();

    // --- What happened -------------------------------------------------------------
    // Gain byte of the last block request, and of the last one answered with a scan line.
    int lastGain() const;
    int lastScanGain() const;
    int sweepBlock() const;
    bool isClaimed() const;
    bool kernelDriverAttached() const;
    int openCount() const;
    qint64 blocksServed() const;
    // The fat thickness drawn under scan line `line` of a scan taken by the acquisition.
    double expectedFatMm(int line) const;
    // A copy of the device model, e.g. to render the block a line came from.
    CalvimetroModel modelSnapshot() const;

private:
    using Clock = std::chrono::steady_clock;

    bool handleAliveLocked() const;
    // Waits until `until`; ErrorInterrupted or ErrorNoDevice when that ends the wait.
    int waitLocked(std::unique_lock<std::mutex> &lock, Clock::time_point until, unsigned session);
    Clock::duration scaled(std::chrono::milliseconds duration) const;
    int readLocked(std::unique_lock<std::mutex> &lock, unsigned char *data, int length, int *transferred,
                   unsigned int timeoutMs);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    CalvimetroModel m_model;
    QVector<UsbDeviceEntry> m_otherDevices;
    std::deque<ReadFault> m_readFaults;
    int m_writeError = 0;
    int m_writeErrorCount = 0;
    bool m_takingRequests = true;

    double m_blockRate = 0.0;
    int m_idlePollDelayUs = 200;
    double m_timeoutScale = 1.0;
    Clock::time_point m_nextSlot{};

    bool m_initialized = false;
    bool m_interrupted = false;
    bool m_plugged = true;
    unsigned m_session = 1;
    bool m_open = false;
    unsigned m_openSession = 0;
    int m_openCount = 0;
    bool m_claimed = false;
    bool m_kernelDriver = false;
    bool m_initFails = false;
    bool m_openFails = false;
    bool m_claimFails = false;
    qint64 m_blocksServed = 0;
};
