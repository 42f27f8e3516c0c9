// GLib first: its headers name struct members "signals", which Qt turns into a keyword.
#include <umockdev.h>

#include "CalvimetroUsbfsEmulator.h"

#include "device/CalvimetroProtocol.h"

#include <linux/ioctl.h>  // before usbdevice_fs.h, which uses its macros
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

using namespace CalvimetroProtocol;

namespace {

// Device, configuration, interface and the two bulk endpoints, as sysfs "descriptors".
std::vector<uint8_t> probeDescriptors()
{
    return {
        18,   1,    0x00, 0x02, 0x00, 0x00, 0x00, 64, 0xD8, 0x04, 0xB7, 0xFB, 0x00, 0x01, 1, 2, CalvimetroModel::serialIndex, 1,
        9,    2,    32,   0,    1,    1,    0,    0x80, 50,  // configuration
        9,    4,    0,    0,    2,    0xFF, 0,    0,    0,   // interface 0, vendor class
        7,    5,    endpointOut, 2, 64, 0, 0,                // bulk OUT 0x01
        7,    5,    endpointIn, 2, 64, 0, 0,                 // bulk IN 0x81
    };
}

// A mouse on the same bus: enumeration must pass over it.
std::vector<uint8_t> mouseDescriptors()
{
    return {
        18, 1, 0x00, 0x02, 0x00, 0x00, 0x00, 8, 0x6D, 0x04, 0x77, 0xC0, 0x00, 0x01, 1, 2, 0, 1,
        9,  2, 25,   0,    1,    1,    0,    0xA0, 50,
        9,  4, 0,    0,    1,    3,    1,    2,    0,
        7,  5, 0x81, 3,    4,    0,    10,
    };
}

std::string hex(const std::vector<uint8_t> &bytes)
{
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

std::string deviceRecord(const std::string &path, int devnum, const std::vector<uint8_t> &descriptors,
                         const std::string &vendor, const std::string &product)
{
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/001/%03d", devnum);
    const std::string d = std::to_string(devnum);
    return "P: " + path + "\n"
           "N: " + std::string(node) + "=" + hex(descriptors) + "\n"
           "E: DEVNAME=/dev/" + std::string(node) + "\n"
           "E: DEVTYPE=usb_device\n"
           "E: SUBSYSTEM=usb\n"
           "E: BUSNUM=001\n"
           "E: DEVNUM=" + std::string(node + 12) + "\n"
           "A: idVendor=" + vendor + "\\n\n"
           "A: idProduct=" + product + "\\n\n"
           "A: busnum=1\\n\n"
           "A: devnum=" + d + "\\n\n"
           "A: speed=12\\n\n"
           "A: bConfigurationValue=1\\n\n"
           "A: dev=189:" + std::to_string(devnum - 1) + "\\n\n"
           "H: descriptors=" + hex(descriptors) + "\n\n";
}

constexpr const char *kProbePath = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr const char *kMousePath = "/devices/pci0000:00/0000:00:14.0/usb1/1-2";

}  // namespace

struct CalvimetroUsbfsEmulator::Private
{
    UMockdevTestbed *testbed = nullptr;
    UMockdevIoctlBase *handler = nullptr;
    bool emulating = false;

    mutable std::mutex mutex;
    CalvimetroModel model;
    std::string driver = "usbhid";
    bool answering = true;
    bool gone = false;
    std::deque<UMockdevIoctlData *> completed;  // URBs ready to be reaped (one reference each)
    std::deque<UMockdevIoctlData *> pending;    // IN URBs waiting for a reply
    std::vector<int> claimed;
    std::vector<int> released;
    int disconnects = 0;
    int discards = 0;
    int bulkOut = 0;
    int bulkIn = 0;
    int control = 0;
    std::vector<unsigned long> unknown;

    static gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        static_cast<Private *>(self)->handle(client);
        return TRUE;
    }

    void complete(UMockdevIoctlClient *client, long result, int error)
    {
        umockdev_ioctl_client_complete(client, result, error);
    }

    void handle(UMockdevIoctlClient *client)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        // Gone: as the kernel does, URBs still outstanding are reaped first (they were
        // ended with -ESHUTDOWN), then every call fails with ENODEV.
        const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        if (gone && !(reap && !completed.empty())) {
            complete(client, -1, ENODEV);
            return;
        }
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData *caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            if (!caps)
                return complete(client, -1, EFAULT);
            *reinterpret_cast<guint32 *>(caps->data) = 0;
            return complete(client, 0, 0);
        }
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
            if (!data)
                return complete(client, -1, EFAULT);
            auto *getdriver = reinterpret_cast<usbdevfs_getdriver *>(data->data);
            if (getdriver->interface != 0 || driver.empty())
                return complete(client, -1, ENODATA);
            std::memset(getdriver->driver, 0, sizeof getdriver->driver);
            std::memcpy(getdriver->driver, driver.data(), std::min(driver.size(), sizeof getdriver->driver - 1));
            return complete(client, 0, 0);
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
            if (!data)
                return complete(client, -1, EFAULT);
            const auto *command = reinterpret_cast<usbdevfs_ioctl *>(data->data);
            if (command->ioctl_code != int(USBDEVFS_DISCONNECT)) {
                unknown.push_back(request);
                return complete(client, -1, ENOTTY);
            }
            if (command->ifno != 0 || driver.empty())
                return complete(client, -1, ENODATA);
            ++disconnects;
            driver.clear();
            return complete(client, 0, 0);
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
            if (!data)
                return complete(client, -1, EFAULT);
            const int number = int(*reinterpret_cast<unsigned int *>(data->data));
            if (number != 0)
                return complete(client, -1, ENOENT);
            if (request == USBDEVFS_CLAIMINTERFACE) {
                if (!driver.empty())
                    return complete(client, -1, EBUSY);
                claimed.push_back(number);
            } else {
                released.push_back(number);
            }
            return complete(client, 0, 0);
        }
        case USBDEVFS_SUBMITURB:
            return submit(client, arg);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (completed.empty())
                return complete(client, -1, EAGAIN);
            UMockdevIoctlData *urb = completed.front();
            completed.pop_front();
            // The reply names the URB: its address goes into the caller's pointer.
            UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
            if (!slot || !umockdev_ioctl_data_set_ptr(slot, 0, urb)) {
                g_object_unref(urb);
                return complete(client, -1, EFAULT);
            }
            complete(client, 0, 0);
            g_object_unref(urb);
            return;
        }
        case USBDEVFS_DISCARDURB: {
            const gulong address = *reinterpret_cast<const gulong *>(arg->data);
            const auto it = std::find_if(pending.begin(), pending.end(),
                                         [&](UMockdevIoctlData *urb) { return urb->client_addr == address; });
            if (it == pending.end())
                return complete(client, -1, EINVAL);
            UMockdevIoctlData *urb = *it;
            pending.erase(it);
            auto *u = reinterpret_cast<usbdevfs_urb *>(urb->data);
            u->status = -ENOENT;
            u->actual_length = 0;
            completed.push_back(urb);
            ++discards;
            return complete(client, 0, 0);
        }
        default:
            unknown.push_back(request);
            return complete(client, -1, ENOTTY);
        }
    }

    void submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
    {
        UMockdevIoctlData *urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        if (!urbData)
            return complete(client, -1, EFAULT);
        auto *urb = reinterpret_cast<usbdevfs_urb *>(urbData->data);
        UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                                size_t(std::max(urb->buffer_length, 0)), nullptr);
        if (!buffer)
            return complete(client, -1, EFAULT);
        g_object_ref(urbData);  // kept until reaped
        urb->status = 0;
        urb->actual_length = 0;

        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            ++control;
            controlTransfer(urb, buffer->data);
            completed.push_back(urbData);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == endpointOut) {
            ++bulkOut;
            model.receive(buffer->data, urb->buffer_length);
            urb->actual_length = urb->buffer_length;
            completed.push_back(urbData);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == endpointIn) {
            ++bulkIn;
            const int n = answering ? model.send(buffer->data, urb->buffer_length) : -1;
            if (n < 0) {
                pending.push_back(urbData);  // silent until libusb gives up on it
            } else {
                urb->actual_length = n;
                completed.push_back(urbData);
            }
        } else {
            urb->status = -EPIPE;
            completed.push_back(urbData);
        }
        complete(client, 0, 0);
    }

    // Standard requests on endpoint 0: only the string descriptors are asked for; the
    // data stage follows the 8-byte setup packet.
    void controlTransfer(usbdevfs_urb *urb, uint8_t *buffer)
    {
        const int capacity = urb->buffer_length - 8;
        const uint8_t requestType = buffer[0];
        const uint8_t request = buffer[1];
        const uint8_t index = buffer[2];
        const uint8_t type = buffer[3];
        const int wanted = buffer[6] | (buffer[7] << 8);
        if (requestType != 0x80 || request != 6 || type != 3 || capacity < 2) {
            urb->status = -EPIPE;
            return;
        }
        std::vector<uint8_t> descriptor;
        if (index == 0) {
            descriptor = {4, 3, 0x09, 0x04};  // English (United States)
        } else if (index == CalvimetroModel::serialIndex) {
            const std::string &serial = model.serial();
            descriptor.push_back(uint8_t(2 + 2 * serial.size()));
            descriptor.push_back(3);
            for (char c : serial) {
                descriptor.push_back(uint8_t(c));
                descriptor.push_back(0);
            }
        } else {
            urb->status = -EPIPE;
            return;
        }
        const int n = std::min({int(descriptor.size()), capacity, wanted});
        std::memcpy(buffer + 8, descriptor.data(), size_t(n));
        urb->actual_length = n;
    }

    void dropUrbs()
    {
        for (UMockdevIoctlData *urb : completed)
            g_object_unref(urb);
        for (UMockdevIoctlData *urb : pending)
            g_object_unref(urb);
        completed.clear();
        pending.clear();
    }
};

CalvimetroUsbfsEmulator::CalvimetroUsbfsEmulator()
    : d(std::make_unique<Private>())
{
    d->testbed = umockdev_testbed_new();
    d->handler = umockdev_ioctl_base_new();
    g_signal_connect(d->handler, "handle-ioctl", G_CALLBACK(&Private::onIoctl), d.get());
    // The handler first, then the devices, then (by the caller) libusb_init.
    GError *error = nullptr;
    if (!umockdev_testbed_attach_ioctl(d->testbed, deviceNode, d->handler, &error)) {
        std::fprintf(stderr, "cannot attach the usbdevfs handler: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return;
    }
    const std::string records = "P: /devices/pci0000:00/0000:00:14.0/usb1\n"
                                "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=001\n"
                                "A: busnum=1\\n\nA: devnum=1\\n\n\n"
                                + deviceRecord(kProbePath, 2, probeDescriptors(), "04d8", "fbb7")
                                + deviceRecord(kMousePath, 3, mouseDescriptors(), "046d", "c077");
    if (!umockdev_testbed_add_from_string(d->testbed, records.c_str(), &error)) {
        std::fprintf(stderr, "cannot add the devices: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return;
    }
    d->emulating = umockdev_in_mock_environment();
}

CalvimetroUsbfsEmulator::~CalvimetroUsbfsEmulator()
{
    if (d->testbed)
        umockdev_testbed_detach_ioctl(d->testbed, deviceNode, nullptr);
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->dropUrbs();
    }
    if (d->handler)
        g_object_unref(d->handler);
    if (d->testbed)
        g_object_unref(d->testbed);
}

bool CalvimetroUsbfsEmulator::isEmulating() const
{
    return d->emulating;
}

void CalvimetroUsbfsEmulator::setKernelDriver(const std::string &name)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->driver = name;
}

std::string CalvimetroUsbfsEmulator::kernelDriver() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->driver;
}

void CalvimetroUsbfsEmulator::pressButton()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setButtonPressed(true);
}

void CalvimetroUsbfsEmulator::releaseButton()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setButtonPressed(false);
}

void CalvimetroUsbfsEmulator::sweep(int blocks)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.startSweep(blocks);
}

void CalvimetroUsbfsEmulator::setSerial(const std::string &serial)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setSerial(serial);
}

void CalvimetroUsbfsEmulator::setOffsetMm(double mm)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setOffsetMm(mm);
}

void CalvimetroUsbfsEmulator::setAnswering(bool answering)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->answering = answering;
}

void CalvimetroUsbfsEmulator::unplug()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->gone = true;
        d->model.reset();
        for (UMockdevIoctlData *urb : d->pending) {
            auto *u = reinterpret_cast<usbdevfs_urb *>(urb->data);
            u->status = -ESHUTDOWN;
            u->actual_length = 0;
            d->completed.push_back(urb);
        }
        d->pending.clear();
    }
    const std::string sysfs = std::string("/sys") + kProbePath;
    umockdev_testbed_uevent(d->testbed, sysfs.c_str(), "remove");
    umockdev_testbed_remove_device(d->testbed, sysfs.c_str());
}

std::vector<int> CalvimetroUsbfsEmulator::claimedInterfaces() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->claimed;
}

std::vector<int> CalvimetroUsbfsEmulator::releasedInterfaces() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->released;
}

int CalvimetroUsbfsEmulator::disconnectRequests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->disconnects;
}

int CalvimetroUsbfsEmulator::discardedUrbs() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->discards;
}

int CalvimetroUsbfsEmulator::bulkOutUrbs() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->bulkOut;
}

int CalvimetroUsbfsEmulator::bulkInUrbs() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->bulkIn;
}

int CalvimetroUsbfsEmulator::controlUrbs() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->control;
}

std::vector<unsigned long> CalvimetroUsbfsEmulator::unknownIoctls() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->unknown;
}

CalvimetroModel CalvimetroUsbfsEmulator::model() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->model;
}
