// The usbfs ioctls of one emulated device node (/dev/bus/usb/BBB/DDD),
// answered in this process through umockdev: the calls libusb makes to open,
// claim, submit, reap and discard. Runs on umockdev's worker thread and
// never blocks it.
#pragma once

#include <umockdev.h>

#include <memory>

#include "emulated_urb_queue.h"

namespace korvel::testing {

// A new handler (one reference, for the caller) serving `queue`.
UMockdevIoctlBase* NewUsbfsIoctlHandler(std::shared_ptr<EmulatedUrbQueue> queue);

}  // namespace korvel::testing
