// The Windows device layer for callers that should not see <windows.h>.
#pragma once

#include <memory>

#include "device_transport.h"

namespace korvel {

// The instrument through its device interface (Windows builds only).
std::unique_ptr<DeviceTransport> MakeWinTransport();

}  // namespace korvel
