#include "emulated_sysfs_entry.h"

#include <cstdio>

namespace korvel::testing {
namespace {

constexpr int kUsbDeviceMajor = 189;

std::string Format(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

SysfsEntry UsbSysfsEntry(const EmulatedDevice& device, int bus, int address) {
    SysfsEntry entry;
    // Port numbers are not reused after an unplug: names stay unique.
    entry.name = std::to_string(bus) + "-" + std::to_string(address - 1);
    entry.node = "/dev/bus/usb/" + Format("%03d", bus) + "/" + Format("%03d", address);
    const std::string vid = Format("%04x", device.vendorId);
    const std::string pid = Format("%04x", device.productId);
    const std::string minor = std::to_string((bus - 1) * 128 + address - 1);

    entry.attributes = {
        {"busnum", std::to_string(bus)},
        {"devnum", std::to_string(address)},
        {"speed", "12"},
        {"bConfigurationValue", "1"},
        {"bNumConfigurations", "1"},
        {"idVendor", vid},
        {"idProduct", pid},
        {"dev", std::to_string(kUsbDeviceMajor) + ":" + minor},
    };
    for (const auto& [key, value] :
         {std::pair{"manufacturer", &device.manufacturer}, std::pair{"product", &device.product},
          std::pair{"serial", &device.serial}}) {
        if (!value->empty()) {
            entry.attributes.emplace_back(key, *value);
        }
    }
    for (auto& attribute : entry.attributes) {
        attribute.second += '\n';
    }

    entry.properties = {
        {"DEVNAME", entry.node},
        {"DEVTYPE", "usb_device"},
        {"DRIVER", "usb"},
        {"PRODUCT", Format("%x", device.vendorId) + "/" + Format("%x", device.productId) + "/100"},
        {"TYPE", "0/0/0"},
        {"BUSNUM", Format("%03d", bus)},
        {"DEVNUM", Format("%03d", address)},
        {"MAJOR", std::to_string(kUsbDeviceMajor)},
        {"MINOR", minor},
        {"ID_VENDOR_ID", vid},
        {"ID_MODEL_ID", pid},
    };
    if (!device.serial.empty()) {
        entry.properties.emplace_back("ID_SERIAL_SHORT", device.serial);
    }
    return entry;
}

}  // namespace korvel::testing
