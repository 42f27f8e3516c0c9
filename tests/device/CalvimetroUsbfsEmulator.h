#pragma once

// GLib first: its headers name struct members "signals", which Qt turns into a keyword.
// Include this header before any Qt header.
#include <umockdev.h>

#include "device/CalvimetroModel.h"
#include "device/CalvimetroProtocol.h"

#include <linux/ioctl.h>  // before usbdevice_fs.h, which uses its macros
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

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
namespace CalvimetroUsbfs {
using namespace CalvimetroProtocol;

constexpr const char *kProbePath = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";

// Device, configuration, interface and endpoint descriptors, as sysfs holds them.
static_assert(CalvimetroModel::serialIndex == 3 && endpointOut == 0x01 && endpointIn == 0x81);
constexpr const char *kProbeDescriptors = "1201000200000040D804B7FB000101020301" "090220000101008032"
                                          "0904000002FF000000" "07050102400000" "07058102400000";
constexpr const char *kMouseDescriptors = "12010002000000086D0477C000010102000109021900010100A032"
                                          "090400000103010200" "0705810304000A";

inline std::string deviceRecord(const std::string &path, int devnum, const std::string &descriptors,
                                const std::string &vendor, const std::string &product)
{
    const std::string n = std::to_string(devnum);
    const std::string node = "bus/usb/001/00" + n;
    return "P: " + path + "\nN: " + node + "=" + descriptors + "\nE: DEVNAME=/dev/" + node
           + "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=00" + n + "\nA: idVendor=" + vendor
           + "\\n\nA: idProduct=" + product + "\\n\nA: busnum=1\\n\nA: devnum=" + n
           + "\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\nA: dev=189:" + std::to_string(devnum - 1)
           + "\\n\nH: descriptors=" + descriptors + "\n\n";
}

class Emulator
{
public:
    Emulator()
    {
        testbed = umockdev_testbed_new();
        handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(&Emulator::onIoctl), this);
        // The handler first, then the devices, then (by the caller) libusb_init.
        const std::string records = "P: /devices/pci0000:00/0000:00:14.0/usb1\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n"
                                    "E: BUSNUM=001\nE: DEVNUM=001\nA: busnum=1\\n\nA: devnum=1\\n\n\n"
                                    + deviceRecord(kProbePath, 2, kProbeDescriptors, "04d8", "fbb7")
                                    + deviceRecord("/devices/pci0000:00/0000:00:14.0/usb1/1-2", 3, kMouseDescriptors,
                                                   "046d", "c077");
        GError *error = nullptr;
        if (umockdev_testbed_attach_ioctl(testbed, "/dev/bus/usb/001/002", handler, &error)
            && umockdev_testbed_add_from_string(testbed, records.c_str(), &error))
            emulating = umockdev_in_mock_environment();
        if (error)
            g_printerr("cannot set up the emulated probe: %s\n", error->message);
        g_clear_error(&error);
    }
    ~Emulator()
    {
        umockdev_testbed_detach_ioctl(testbed, "/dev/bus/usb/001/002", nullptr);
        for (UMockdevIoctlData *urb : completed)
            g_object_unref(urb);
        for (UMockdevIoctlData *urb : pending)
            g_object_unref(urb);
        g_object_unref(handler);
        g_object_unref(testbed);
    }
    Emulator(const Emulator &) = delete;
    Emulator &operator=(const Emulator &) = delete;

    // False when the preload library is missing, so nothing is emulated.
    bool isEmulating() const { return emulating; }
    // The probe's controls and state, under the lock.
    template <typename F>
    auto withModel(F &&f)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return f(model);
    }
    // false: IN transfers get no reply until libusb gives up and discards them.
    void setAnswering(bool on)
    {
        std::lock_guard<std::mutex> lock(mutex);
        answering = on;
    }
    // The probe leaves the bus: every ioctl on it fails with ENODEV, the device leaves
    // sysfs and udev reports its removal.
    void unplug()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            gone = true;
            model.reset();
            for (UMockdevIoctlData *urb : pending)
                end(urb, -ESHUTDOWN);
            pending.clear();
        }
        const std::string sysfs = std::string("/sys") + kProbePath;
        umockdev_testbed_uevent(testbed, sysfs.c_str(), "remove");
        umockdev_testbed_remove_device(testbed, sysfs.c_str());
    }

private:
    UMockdevTestbed *testbed = nullptr;
    UMockdevIoctlBase *handler = nullptr;
    bool emulating = false;

    std::mutex mutex;
    CalvimetroModel model;
    bool driverBound = true;
    bool answering = true;
    bool gone = false;
    std::deque<UMockdevIoctlData *> completed;  // URBs ready to be reaped (one reference each)
    std::deque<UMockdevIoctlData *> pending;    // IN URBs waiting for a reply

    static gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        static_cast<Emulator *>(self)->handle(client);
        return TRUE;
    }

    // The ioctl's argument, `size` bytes of it reachable; null when it is not.
    static void *argument(UMockdevIoctlData *arg, size_t size)
    {
        UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
        return data ? data->data : nullptr;
    }

    static void finish(UMockdevIoctlClient *client, int error)
    {
        umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    }

    void handle(UMockdevIoctlClient *client)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        // Gone: as the kernel does, URBs still outstanding are reaped first (they were
        // ended with -ESHUTDOWN), then every call fails with ENODEV.
        if (gone && !(reap && !completed.empty()))
            return finish(client, ENODEV);
        if (reap) {
            if (completed.empty())
                return finish(client, EAGAIN);
            UMockdevIoctlData *urb = completed.front();
            completed.pop_front();
            // The reply names the URB: its address goes into the caller's pointer.
            UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
            finish(client, slot && umockdev_ioctl_data_set_ptr(slot, 0, urb) ? 0 : EFAULT);
            g_object_unref(urb);
            return;
        }
        switch (request) {
        case USBDEVFS_GETDRIVER: {
            auto *getdriver = static_cast<usbdevfs_getdriver *>(argument(arg, sizeof(usbdevfs_getdriver)));
            if (!getdriver || getdriver->interface != 0 || !driverBound)
                return finish(client, ENODATA);
            std::strcpy(getdriver->driver, "usbhid");
            return finish(client, 0);
        }
        case USBDEVFS_IOCTL: {  // only ever the driver's disconnection
            auto *command = static_cast<usbdevfs_ioctl *>(argument(arg, sizeof(usbdevfs_ioctl)));
            if (!command || command->ioctl_code != int(USBDEVFS_DISCONNECT) || command->ifno != 0 || !driverBound)
                return finish(client, ENODATA);
            driverBound = false;
            return finish(client, 0);
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            auto *number = static_cast<unsigned int *>(argument(arg, sizeof(unsigned int)));
            if (!number || *number != 0)
                return finish(client, ENOENT);
            return finish(client, request == USBDEVFS_CLAIMINTERFACE && driverBound ? EBUSY : 0);
        }
        case USBDEVFS_SUBMITURB:
            return submit(client, arg);
        case USBDEVFS_DISCARDURB: {
            const gulong address = *reinterpret_cast<const gulong *>(arg->data);
            const auto it = std::find_if(pending.begin(), pending.end(),
                                         [&](UMockdevIoctlData *urb) { return urb->client_addr == address; });
            if (it == pending.end())
                return finish(client, EINVAL);
            end(*it, -ENOENT);
            pending.erase(it);
            return finish(client, 0);
        }
        default:
            return finish(client, ENOTTY);
        }
    }

    void end(UMockdevIoctlData *urb, int status)
    {
        auto *u = reinterpret_cast<usbdevfs_urb *>(urb->data);
        u->status = status;
        u->actual_length = 0;
        completed.push_back(urb);
    }

    void submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
    {
        UMockdevIoctlData *urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto *urb = urbData ? reinterpret_cast<usbdevfs_urb *>(urbData->data) : nullptr;
        UMockdevIoctlData *buffer = urb ? umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                                      size_t(std::max(urb->buffer_length, 0)), nullptr)
                                        : nullptr;
        if (!buffer)
            return finish(client, EFAULT);
        g_object_ref(urbData);  // kept until reaped
        urb->status = 0;
        urb->actual_length = 0;
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            controlTransfer(urb, buffer->data);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == endpointOut) {
            model.receive(buffer->data, urb->buffer_length);
            urb->actual_length = urb->buffer_length;
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == endpointIn) {
            const int n = answering ? model.send(buffer->data, urb->buffer_length) : -1;
            if (n < 0) {
                pending.push_back(urbData);  // silent until libusb gives up on it
                return finish(client, 0);
            }
            urb->actual_length = n;
        } else {
            urb->status = -EPIPE;
        }
        completed.push_back(urbData);
        finish(client, 0);
    }

    // Standard requests on endpoint 0: only string descriptors are asked for; the data
    // stage follows the 8-byte setup packet.
    void controlTransfer(usbdevfs_urb *urb, uint8_t *buffer)
    {
        const int wanted = buffer[6] | (buffer[7] << 8);
        std::vector<uint8_t> descriptor;
        if (buffer[0] == 0x80 && buffer[1] == 6 && buffer[3] == 3 && buffer[2] == 0) {
            descriptor = {4, 3, 0x09, 0x04};  // English (United States)
        } else if (buffer[0] == 0x80 && buffer[1] == 6 && buffer[3] == 3 && buffer[2] == CalvimetroModel::serialIndex) {
            descriptor = {uint8_t(2 + 2 * model.serial().size()), 3};
            for (char c : model.serial())
                descriptor.insert(descriptor.end(), {uint8_t(c), 0});
        } else {
            urb->status = -EPIPE;
            return;
        }
        const int n = std::max(0, std::min({int(descriptor.size()), urb->buffer_length - 8, wanted}));
        std::memcpy(buffer + 8, descriptor.data(), size_t(n));
        urb->actual_length = n;
    }
};

}  // namespace CalvimetroUsbfs

using CalvimetroUsbfsEmulator = CalvimetroUsbfs::Emulator;
