#include "device/UsbTransport.h"

UsbTransport::~UsbTransport() = default;
