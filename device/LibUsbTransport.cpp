#include "device/LibUsbTransport.h"

#include <libusb.h>

static_assert(int(UsbTransport::ErrorIo) == int(LIBUSB_ERROR_IO));
static_assert(int(UsbTransport::ErrorInvalidParam) == int(LIBUSB_ERROR_INVALID_PARAM));
static_assert(int(UsbTransport::ErrorAccess) == int(LIBUSB_ERROR_ACCESS));
static_assert(int(UsbTransport::ErrorNoDevice) == int(LIBUSB_ERROR_NO_DEVICE));
static_assert(int(UsbTransport::ErrorNotFound) == int(LIBUSB_ERROR_NOT_FOUND));
static_assert(int(UsbTransport::ErrorBusy) == int(LIBUSB_ERROR_BUSY));
static_assert(int(UsbTransport::ErrorTimeout) == int(LIBUSB_ERROR_TIMEOUT));
static_assert(int(UsbTransport::ErrorOverflow) == int(LIBUSB_ERROR_OVERFLOW));
static_assert(int(UsbTransport::ErrorPipe) == int(LIBUSB_ERROR_PIPE));
static_assert(int(UsbTransport::ErrorInterrupted) == int(LIBUSB_ERROR_INTERRUPTED));
static_assert(int(UsbTransport::ErrorNoMem) == int(LIBUSB_ERROR_NO_MEM));
static_assert(int(UsbTransport::ErrorNotSupported) == int(LIBUSB_ERROR_NOT_SUPPORTED));
static_assert(int(UsbTransport::ErrorOther) == int(LIBUSB_ERROR_OTHER));

LibUsbTransport::~LibUsbTransport()
{
    exit();
}

bool LibUsbTransport::init()
{
    if (m_context)
        return true;
    if (libusb_init(&m_context) < 0) {
        m_context = nullptr;
        return false;
    }
    // Level 3 (informational), as the acquisition has always asked for; the replacement
    // call, libusb_set_option, does the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    libusb_set_debug(m_context, 3);
#pragma GCC diagnostic pop
    return true;
}

bool LibUsbTransport::isInitialized() const
{
    return m_context != nullptr;
}

void LibUsbTransport::exit()
{
    close();
    if (m_context) {
        libusb_exit(m_context);
        m_context = nullptr;
    }
}

int LibUsbTransport::listDevices(QVector<UsbDeviceEntry> &devices)
{
    devices.clear();
    // Without a context libusb would quietly create a default one: a failed start-up
    // must keep finding nothing.
    if (!m_context)
        return 0;
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    if (count < 0)
        return static_cast<int>(count);
    devices.reserve(static_cast<int>(count));
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        UsbDeviceEntry entry;
        entry.descriptorRead = libusb_get_device_descriptor(list[i], &descriptor) == 0;
        if (entry.descriptorRead) {
            entry.vendorId = descriptor.idVendor;
            entry.productId = descriptor.idProduct;
            entry.serialIndex = descriptor.iSerialNumber;
        }
        devices.append(entry);
    }
    libusb_free_device_list(list, 1);
    return static_cast<int>(count);
}

bool LibUsbTransport::open(quint16 vendorId, quint16 productId)
{
    close();
    if (!m_context)
        return false;
    m_handle = libusb_open_device_with_vid_pid(m_context, vendorId, productId);
    return m_handle != nullptr;
}

bool LibUsbTransport::isOpen() const
{
    return m_handle != nullptr;
}

quintptr LibUsbTransport::handleId() const
{
    return reinterpret_cast<quintptr>(m_handle);
}

int LibUsbTransport::readStringAscii(quint8 index, unsigned char *buffer, int length)
{
    if (!m_handle)
        return ErrorNoDevice;
    return libusb_get_string_descriptor_ascii(m_handle, index, buffer, length);
}

int LibUsbTransport::kernelDriverActive(int interfaceNumber)
{
    if (!m_handle)
        return ErrorNoDevice;
    return libusb_kernel_driver_active(m_handle, interfaceNumber);
}

int LibUsbTransport::detachKernelDriver(int interfaceNumber)
{
    if (!m_handle)
        return ErrorNoDevice;
    return libusb_detach_kernel_driver(m_handle, interfaceNumber);
}

int LibUsbTransport::claimInterface(int interfaceNumber)
{
    if (!m_handle)
        return ErrorNoDevice;
    return libusb_claim_interface(m_handle, interfaceNumber);
}

int LibUsbTransport::releaseInterface(int interfaceNumber)
{
    if (!m_handle)
        return ErrorNoDevice;
    return libusb_release_interface(m_handle, interfaceNumber);
}

void LibUsbTransport::close()
{
    if (m_handle) {
        libusb_close(m_handle);
        m_handle = nullptr;
    }
}

int LibUsbTransport::bulkTransfer(unsigned char endpoint, unsigned char *data, int length, int *transferred,
                                  unsigned int timeoutMs)
{
    *transferred = 0;
    if (!m_handle)
        return ErrorNoDevice;
    return libusb_bulk_transfer(m_handle, endpoint, data, length, transferred, timeoutMs);
}
