// What the layer learns about one USB device: which interface could carry
// the instrument's bulk pipes (from the configuration descriptor, no open
// needed), and, with the device opened, its strings and the interface GUIDs
// its Microsoft OS descriptors advertise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ms_os_descriptors.h"

struct libusb_device;
struct libusb_device_handle;

namespace korvel::usb {

struct BulkInterface {
    int number = -1;
    int configuration = 0;  // bConfigurationValue of the configuration it is in
    uint8_t outEndpoint = 0;
    uint8_t inEndpoint = 0;
    bool vendorSpecific = false;
};

// The first interface (alternate setting 0) with a bulk OUT and a bulk IN
// endpoint, a vendor-specific one before any other; `preferred` (when >= 0)
// before both. nullopt when the device has none or its configuration cannot
// be read.
std::optional<BulkInterface> FindBulkInterface(libusb_device* device, int preferred = -1);

// True when a kernel driver holds interface `number` of the device (Linux,
// read from sysfs without opening the device; false elsewhere). A USB serial
// adapter has a vendor-specific bulk interface too, but its driver is bound.
bool KernelDriverBound(libusb_device* device, const BulkInterface& pipes);

// What an opened device tells about itself.
struct DeviceFacts {
    std::string product;  // ASCII; empty where it has none or cannot say
    std::string serial;
    // The interface GUIDs its Microsoft OS 2.0 descriptors advertise, else
    // those of its Microsoft OS 1.0 descriptors for the interface asked about.
    std::vector<InterfaceGuids> functions;
    // A request timed out or failed (not a stall): worth asking again.
    bool transient = false;
};
DeviceFacts ReadDeviceFacts(libusb_device_handle* handle, int interfaceNumber);

// The first interface of the function that advertises `guid` (-1: the
// whole device); nullopt when none does.
std::optional<int> FunctionAdvertising(const std::vector<InterfaceGuids>& functions,
                                       const std::string& guid);

}  // namespace korvel::usb
