#pragma once

#include "device/CalvimetroModel.h"

#include <memory>
#include <string>
#include <vector>

// A calvimetro on an emulated USB bus, for testing the libusb transport through the real
// libusb. A umockdev test bed holds the probe (and an unrelated device) in its sysfs
// tree, and answers the usbdevfs ioctls libusb sends to the probe's device node: URB
// submission, reaping and discarding, the kernel driver calls, claiming and releasing.
// Bulk transfers are answered by the same CalvimetroModel as the simulated calvimetro.
//
// The process must run with the umockdev preload library (umockdev-wrapper); create the
// emulator before libusb_init. The control calls are thread-safe (the ioctls are handled
// in a thread of umockdev's).
class CalvimetroUsbfsEmulator
{
public:
    static constexpr const char *deviceNode = "/dev/bus/usb/001/002";

    CalvimetroUsbfsEmulator();
    ~CalvimetroUsbfsEmulator();
    CalvimetroUsbfsEmulator(const CalvimetroUsbfsEmulator &) = delete;
    CalvimetroUsbfsEmulator &operator=(const CalvimetroUsbfsEmulator &) = delete;

    // False when the preload library is missing, so nothing is emulated.
    bool isEmulating() const;

    // The kernel driver bound to interface 0 ("" for none).
    void setKernelDriver(const std::string &name);
    std::string kernelDriver() const;
    void pressButton();
    void releaseButton();
    void sweep(int blocks);
    void setSerial(const std::string &serial);
    void setOffsetMm(double mm);
    // false: IN transfers get no reply until libusb gives up and discards them.
    void setAnswering(bool answering);
    // The probe leaves the bus: every ioctl on it fails with ENODEV, the device leaves
    // sysfs and udev reports its removal.
    void unplug();

    // What libusb asked for.
    std::vector<int> claimedInterfaces() const;
    std::vector<int> releasedInterfaces() const;
    int disconnectRequests() const;
    int discardedUrbs() const;
    int bulkOutUrbs() const;
    int bulkInUrbs() const;
    int controlUrbs() const;
    std::vector<unsigned long> unknownIoctls() const;
    CalvimetroModel model() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
