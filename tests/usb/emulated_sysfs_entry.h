// How a USB device appears in sysfs and to udev, as the kernel and udev
// describe a real one: what libusb's enumeration and hot-plug read.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "emulated_usb_bus.h"

namespace korvel::testing {

struct SysfsEntry {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    std::string name;  // "1-1": unique in the testbed
    std::string node;  // "/dev/bus/usb/001/002"
    Pairs attributes;  // text attributes, each ending in a newline
    Pairs properties;  // udev properties
};

SysfsEntry UsbSysfsEntry(const EmulatedDevice& device, int bus, int address);

}  // namespace korvel::testing
