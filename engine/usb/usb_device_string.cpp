#include "usb_device_string.h"

#include <cstdio>
#include <optional>
#include <string_view>

namespace korvel::usb {

namespace {

constexpr std::string_view kPrefix = "usb:";

bool Printable(char c) {
    return c >= 0x20 && c <= 0x7E;
}

// The string as typed, with bytes a terminal would act on shown as \xNN.
std::string Shown(const std::string& device) {
    std::string shown;
    for (const char c : device) {
        if (Printable(c)) {
            shown.push_back(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            shown += escaped;
        }
    }
    return shown;
}

std::optional<uint16_t> HexId(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

bool LooksLikeUsbDevice(const std::string& device) {
    return device == kUsbDevice || device.rfind(kPrefix, 0) == 0;
}

bool ParseUsbDeviceString(const std::string& device, UsbSelector& selector, std::string& error) {
    if (device == kUsbDevice) {
        selector = UsbSelector{};
        return true;
    }
    std::optional<uint16_t> vendor;
    std::optional<uint16_t> product;
    std::string serial;
    bool serialOk = true;
    if (device.rfind(kPrefix, 0) == 0) {
        const std::string_view rest = std::string_view(device).substr(kPrefix.size());
        const std::size_t first = rest.find(':');
        if (first != std::string_view::npos) {
            vendor = HexId(rest.substr(0, first));
            const std::string_view afterVendor = rest.substr(first + 1);
            const std::size_t second = afterVendor.find(':');
            product = HexId(afterVendor.substr(0, second));
            if (second != std::string_view::npos) {
                serial = afterVendor.substr(second + 1);
                serialOk = !serial.empty();
                for (const char c : serial) {
                    serialOk = serialOk && Printable(c);
                }
            }
        }
    }
    if (!vendor || !product || !serialOk) {
        error = "Unknown USB device \"" + Shown(device) +
                "\": use usb, usb:VVVV:PPPP or usb:VVVV:PPPP:SERIAL (IDs in hexadecimal).";
        return false;
    }
    selector.byGuid = false;
    selector.vendorId = *vendor;
    selector.productId = *product;
    selector.serial = serial;
    return true;
}

std::string FormatUsbDeviceString(const UsbSelector& selector) {
    if (selector.byGuid) {
        return kUsbDevice;
    }
    char ids[16];
    std::snprintf(ids, sizeof ids, "usb:%04x:%04x", selector.vendorId, selector.productId);
    return selector.serial.empty() ? std::string(ids) : ids + (":" + selector.serial);
}

}  // namespace korvel::usb
