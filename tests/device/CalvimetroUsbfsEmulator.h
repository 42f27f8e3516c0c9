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
#include <utility>
#include <vector>

// A calvimetro (and a mouse) on a umockdev test bed, so that the real libusb enumerates it and
// sends it URBs; the usbdevfs ioctls on its node are answered with the same CalvimetroModel as
// the simulated calvimetro, and a kernel driver holds the interface until libusb detaches it.
// Needs umockdev's preload library (umockdev-wrapper); create it before libusb_init.
class CalvimetroUsbfsEmulator
{
public:
    CalvimetroUsbfsEmulator()
    {
        const std::string bus = "/devices/pci0000:00/0000:00:14.0/usb1";
        const std::string records = "P: " + bus + "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=001\n"
                                    "A: busnum=1\\n\nA: devnum=1\\n\n\n"
                                    + record(kProbe, 2, "04d8", "fbb7", "1201000200000040D804B7FB000101020301" "090220000101008032"
                                             "0904000002FF000000" "07050102400000" "07058102400000")
                                    + record(bus + "/1-2", 3, "046d", "c077", "12010002000000086D0477C000010102000109021900010100A032"
                                             "090400000103010200" "0705810304000A");
        static_assert(CalvimetroModel::serialIndex == 3 && CalvimetroProtocol::endpointOut == 0x01
                      && CalvimetroProtocol::endpointIn == 0x81);
        g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&CalvimetroUsbfsEmulator::onIoctl), this);
        GError *error = nullptr;  // the handler first, then the devices, then (by the caller) libusb_init
        if (umockdev_testbed_attach_ioctl(m_testbed, kNode, m_handler, &error)
            && umockdev_testbed_add_from_string(m_testbed, records.c_str(), &error))
            m_emulating = umockdev_in_mock_environment();
        if (error)
            g_printerr("cannot set up the emulated probe: %s\n", error->message);
        g_clear_error(&error);
    }
    ~CalvimetroUsbfsEmulator()
    {
        umockdev_testbed_detach_ioctl(m_testbed, kNode, nullptr);
        for (auto *urbs : {&m_completed, &m_pending})
            for (UMockdevIoctlData *urb : *urbs)
                g_object_unref(urb);
        g_object_unref(m_handler);
        g_object_unref(m_testbed);
    }

    bool isEmulating() const { return m_emulating; }  // false without the preload library
    // Runs `f` on the probe's model (controls, state) under the lock.
    template <typename F>
    auto withModel(F &&f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_model);
    }
    // The probe leaves the bus: every later ioctl fails with ENODEV, and udev reports it.
    void unplug()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_gone = true;
            m_model.reset();
        }
        umockdev_testbed_uevent(m_testbed, ("/sys" + kProbe).c_str(), "remove");
        umockdev_testbed_remove_device(m_testbed, ("/sys" + kProbe).c_str());
    }
    // A hung probe: its replies are withheld, or its requests not even taken; libusb discards
    // the waiting URBs at its time-out. Back to normal, the ones still waiting are answered.
    enum Hang { NotHung, Replies, Requests };
    void hang(Hang hang)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hang = hang;
        for (UMockdevIoctlData *urb : std::exchange(m_pending, {}))
            hang == NotHung ? answer(urb) : m_pending.push_back(urb);
    }

private:
    static constexpr const char *kNode = "/dev/bus/usb/001/002";
    inline static const std::string kProbe = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";

    // A device's sysfs record; `descriptors` as the kernel exposes them, in hex.
    static std::string record(const std::string &path, int devnum, const char *vendor, const char *product,
                              const char *descriptors)
    {
        const std::string n = std::to_string(devnum);
        const std::string node = "bus/usb/001/00" + n;
        return "P: " + path + "\nN: " + node + "=" + descriptors + "\nE: DEVNAME=/dev/" + node
               + "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=00" + n + "\nA: idVendor=" + vendor
               + "\\n\nA: idProduct=" + product + "\\n\nA: busnum=1\\n\nA: devnum=" + n
               + "\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\nA: dev=189:" + std::to_string(devnum - 1)
               + "\\n\nH: descriptors=" + descriptors + "\n\n";
    }

    static gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        static_cast<CalvimetroUsbfsEmulator *>(self)->handle(client);
        return TRUE;
    }
    static void finish(UMockdevIoctlClient *client, int error)
    {
        umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    }
    void handle(UMockdevIoctlClient *client)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        const auto argument = [&](size_t size) -> void * {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
            return data ? data->data : nullptr;
        };
        const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        // Gone: as the kernel does, URBs still outstanding are reaped first, then ENODEV.
        if (reap && m_completed.empty())
            return finish(client, m_gone ? ENODEV : EAGAIN);
        if (reap) {
            UMockdevIoctlData *urb = m_completed.front();
            m_completed.pop_front();
            // The reply names the URB: its address goes into the caller's pointer.
            UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
            finish(client, slot && umockdev_ioctl_data_set_ptr(slot, 0, urb) ? 0 : EFAULT);
            return g_object_unref(urb);
        }
        if (m_gone)
            return finish(client, ENODEV);
        switch (request) {
        case USBDEVFS_GETDRIVER: {
            auto *getdriver = static_cast<usbdevfs_getdriver *>(argument(sizeof(usbdevfs_getdriver)));
            if (!getdriver || getdriver->interface != 0 || !m_driverBound)
                return finish(client, ENODATA);
            std::strcpy(getdriver->driver, "usbhid");
            return finish(client, 0);
        }
        case USBDEVFS_IOCTL: {  // only ever the driver's disconnection
            auto *command = static_cast<usbdevfs_ioctl *>(argument(sizeof(usbdevfs_ioctl)));
            if (!command || command->ioctl_code != int(USBDEVFS_DISCONNECT) || command->ifno != 0 || !m_driverBound)
                return finish(client, ENODATA);
            m_driverBound = false;
            return finish(client, 0);
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            auto *number = static_cast<unsigned int *>(argument(sizeof(unsigned int)));
            if (!number || *number != 0)
                return finish(client, ENOENT);
            return finish(client, request == USBDEVFS_CLAIMINTERFACE && m_driverBound ? EBUSY : 0);
        }
        case USBDEVFS_SUBMITURB:
            return submit(client, arg);
        case USBDEVFS_DISCARDURB: {
            const gulong address = *reinterpret_cast<const gulong *>(arg->data);
            const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                         [&](UMockdevIoctlData *urb) { return urb->client_addr == address; });
            if (it == m_pending.end())
                return finish(client, EINVAL);
            reinterpret_cast<usbdevfs_urb *>((*it)->data)->status = -ENOENT;
            m_completed.push_back(*it);
            m_pending.erase(it);
            return finish(client, 0);
        }
        default:
            return finish(client, ENOTTY);
        }
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
        const bool out = urb->endpoint == CalvimetroProtocol::endpointOut;
        if (urb->type == USBDEVFS_URB_TYPE_BULK && m_hang > (out ? Replies : NotHung))
            m_pending.push_back(urbData);
        else
            answer(urbData);
        finish(client, 0);
    }
    void answer(UMockdevIoctlData *urbData)
    {
        auto *urb = reinterpret_cast<usbdevfs_urb *>(urbData->data);
        uint8_t *buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), 0, nullptr)->data;
        const bool bulk = urb->type == USBDEVFS_URB_TYPE_BULK;
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            controlTransfer(urb, buffer);
        } else if (bulk && urb->endpoint == CalvimetroProtocol::endpointOut) {
            m_model.receive(buffer, urb->buffer_length);
            urb->actual_length = urb->buffer_length;
        } else if (bulk && urb->endpoint == CalvimetroProtocol::endpointIn) {
            const int n = m_model.send(buffer, urb->buffer_length);
            if (n < 0)  // nothing asked: silent until libusb gives up and discards the URB
                return m_pending.push_back(urbData);
            urb->actual_length = n;
        } else {
            urb->status = -EPIPE;
        }
        m_completed.push_back(urbData);
    }

    // Only string descriptors are asked for; the data stage follows the 8-byte setup packet.
    void controlTransfer(usbdevfs_urb *urb, uint8_t *buffer)
    {
        std::vector<uint8_t> descriptor;
        const bool stringRequest = buffer[0] == 0x80 && buffer[1] == 6 && buffer[3] == 3;
        if (stringRequest && buffer[2] == 0) {
            descriptor = {4, 3, 0x09, 0x04};  // English (United States)
        } else if (stringRequest && buffer[2] == CalvimetroModel::serialIndex) {
            descriptor = {uint8_t(2 + 2 * m_model.serial().size()), 3};
            for (char c : m_model.serial())
                descriptor.insert(descriptor.end(), {uint8_t(c), 0});
        } else {
            urb->status = -EPIPE;
            return;
        }
        const int n = std::max(0, std::min({int(descriptor.size()), urb->buffer_length - 8, buffer[6] | (buffer[7] << 8)}));
        std::memcpy(buffer + 8, descriptor.data(), size_t(n));
        urb->actual_length = n;
    }

    UMockdevTestbed *m_testbed = umockdev_testbed_new();
    UMockdevIoctlBase *m_handler = umockdev_ioctl_base_new();
    bool m_emulating = false;
    std::mutex m_mutex;
    CalvimetroModel m_model;
    bool m_driverBound = true;
    bool m_gone = false;
    Hang m_hang = NotHung;
    std::deque<UMockdevIoctlData *> m_completed;  // URBs ready to be reaped (one reference each)
    std::deque<UMockdevIoctlData *> m_pending;    // IN URBs waiting for a request to answer, any while hung
};
