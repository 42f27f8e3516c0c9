#pragma once

#include <memory>

class UsbTransport;

// The USB link of the application: the simulated calvimetro when the environment variable
// CALVESTRA_SCANNER is "simulator" (paced at CALVESTRA_SIMULATOR_RATE blocks per second,
// default 300), the real device through libusb otherwise. Chosen once, at construction
// of the acquisition thread.
std::unique_ptr<UsbTransport> createUsbTransport();
