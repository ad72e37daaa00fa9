// Device strings for the USB layer:
//   "usb"                    every device that advertises the instrument's GUID
//   "usb:VVVV:PPPP"          by vendor and product ID (hexadecimal)
//   "usb:VVVV:PPPP:SERIAL"   the same, only the device with that serial number
#pragma once

#include <cstdint>
#include <string>

namespace korvel::usb {

inline constexpr const char* kUsbDevice = "usb";

struct UsbSelector {
    bool byGuid = true;  // "usb": the IDs and serial are unused
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // empty: any
};

// True for "usb" and "usb:..." (whether well formed or not).
bool LooksLikeUsbDevice(const std::string& device);

// False with a message that shows the accepted forms for a malformed string.
bool ParseUsbDeviceString(const std::string& device, UsbSelector& selector, std::string& error);

// "usb", "usb:1209:7720" or "usb:1209:7720:SN1": the canonical string of a
// selector (IDs as four lower-case hex digits).
std::string FormatUsbDeviceString(const UsbSelector& selector);

}  // namespace korvel::usb
