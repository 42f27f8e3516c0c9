#pragma once

#include <QVector>
#include <QtGlobal>

// One USB device as an enumeration saw it. `descriptorRead` is false when its device
// descriptor could not be read (the other fields are then meaningless).
struct UsbDeviceEntry
{
    bool descriptorRead = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint8 serialIndex = 0;
};

// The USB operations the acquisition needs, so that it runs unchanged on the real
// libusb link or on a stand-in for the calvimetro. Results follow libusb: 0 (or a count)
// on success, a negative Error otherwise.
//
// A transport holds at most one open device handle. Its user serialises the handle
// operations (open, the descriptor and interface calls, transfers, close); listDevices()
// and interrupt() may be called from any thread at any time.
class UsbTransport
{
public:
    // Same values as libusb's error codes, so the libusb transport passes them through.
    enum Error : int {
        ErrorIo = -1,
        ErrorInvalidParam = -2,
        ErrorAccess = -3,
        ErrorNoDevice = -4,
        ErrorNotFound = -5,
        ErrorBusy = -6,
        ErrorTimeout = -7,
        ErrorOverflow = -8,
        ErrorPipe = -9,
        ErrorInterrupted = -10,
        ErrorNoMem = -11,
        ErrorNotSupported = -12,
        ErrorOther = -99,
    };

    UsbTransport() = default;
    virtual ~UsbTransport();
    UsbTransport(const UsbTransport &) = delete;
    UsbTransport &operator=(const UsbTransport &) = delete;

    // Starts the USB library; false when it cannot be used.
    virtual bool init() = 0;
    virtual bool isInitialized() const = 0;
    // Closes a handle still open and shuts the USB library down.
    virtual void exit() = 0;

    // Fills `devices` with every device on the bus; returns their number (0 when the
    // library is not initialised) or a negative Error.
    virtual int listDevices(QVector<UsbDeviceEntry> &devices) = 0;

    virtual bool open(quint16 vendorId, quint16 productId) = 0;
    virtual bool isOpen() const = 0;
    // An identifier of the open handle for log lines; 0 when none is open.
    virtual quintptr handleId() const = 0;
    // Reads string descriptor `index` as ASCII into `buffer` (zero-terminated); returns
    // its length.
    virtual int readStringAscii(quint8 index, unsigned char *buffer, int length) = 0;
    // 1 when a kernel driver holds the interface, 0 when none does.
    virtual int kernelDriverActive(int interfaceNumber) = 0;
    virtual int detachKernelDriver(int interfaceNumber) = 0;
    virtual int claimInterface(int interfaceNumber) = 0;
    virtual int releaseInterface(int interfaceNumber) = 0;
    virtual void close() = 0;

    // One bulk transfer; the direction is the endpoint's. `timeoutMs` 0 means no limit.
    virtual int bulkTransfer(unsigned char endpoint, unsigned char *data, int length, int *transferred,
                             unsigned int timeoutMs) = 0;

    // Asks a transfer that is waiting to give up as soon as it can (used when the
    // acquisition stops). A transport that cannot cut a transfer short relies on the
    // transfer's own time-out.
    virtual void interrupt() = 0;
};
