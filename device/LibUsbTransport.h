#pragma once

#include "device/UsbTransport.h"

struct libusb_context;
struct libusb_device_handle;

// The real USB link through libusb-1.0 (synchronous API). The only code of the
// application that talks to libusb.
class LibUsbTransport final : public UsbTransport
{
public:
    LibUsbTransport() = default;
    ~LibUsbTransport() override;

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
    // Synchronous libusb transfers cannot be cut short: a read gives up after its own
    // time-out (5 s at most in this protocol).
    void interrupt() override {}

private:
    libusb_context *m_context = nullptr;
    libusb_device_handle *m_handle = nullptr;
};
