// The platform's own instrument layer: the real USB device interface.
#pragma once

#include <memory>

#include "device_transport.h"

namespace korvel {

// On Windows the device-interface layer; elsewhere the libusb layer, looking
// for the device that advertises the instrument's interface GUID.
std::unique_ptr<DeviceTransport> MakePlatformTransport();

}  // namespace korvel
