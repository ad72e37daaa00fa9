// The platform's own instrument layer: the real USB device interface.
#pragma once

#include <memory>

#include "device_transport.h"

namespace korvel {

// On Windows the device-interface layer; on other systems there is no driver
// for the instrument, so this transport finds none (count 0, open fails).
std::unique_ptr<DeviceTransport> MakePlatformTransport();

}  // namespace korvel
