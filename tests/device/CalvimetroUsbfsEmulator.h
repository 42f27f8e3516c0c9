#pragma once

#include "device/CalvimetroModel.h"

#include <memory>
#include <string>

// A calvimetro on an emulated USB bus, for testing the libusb transport through the real
// libusb. A umockdev test bed holds the probe (and a mouse) in its sysfs tree and answers
// the usbdevfs ioctls libusb sends to the probe's node: URB submission, reaping and
// discarding, the kernel driver, claiming and releasing. Bulk transfers are answered by
// the same CalvimetroModel as the simulated calvimetro; a kernel driver holds the
// interface until libusb detaches it.
//
// The process must run with the umockdev preload library (umockdev-wrapper); create the
// emulator before libusb_init. The controls are thread-safe (umockdev handles the ioctls
// in a thread of its own).
class CalvimetroUsbfsEmulator
{
public:
    CalvimetroUsbfsEmulator();
    ~CalvimetroUsbfsEmulator();
    CalvimetroUsbfsEmulator(const CalvimetroUsbfsEmulator &) = delete;
    CalvimetroUsbfsEmulator &operator=(const CalvimetroUsbfsEmulator &) = delete;

    // False when the preload library is missing, so nothing is emulated.
    bool isEmulating() const;
    void sweep(int blocks);
    void setSerial(const std::string &serial);
    void setOffsetMm(double mm);
    // false: IN transfers get no reply until libusb gives up and discards them.
    void setAnswering(bool answering);
    // The probe leaves the bus: every ioctl on it fails with ENODEV, the device leaves
    // sysfs and udev reports its removal.
    void unplug();
    CalvimetroModel model() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
