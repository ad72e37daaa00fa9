// What an emulated device answers on its control endpoint: the standard
// descriptors (device, one configuration with one interface and two bulk
// endpoints, strings), the BOS descriptor and the Microsoft OS 2.0 / 1.0
// descriptors that carry the device-interface GUID.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "emulated_usb_bus.h"

namespace korvel::testing {

inline constexpr uint8_t kEmulatedMsOs20VendorCode = 0x20;
// Distinct from the 2.0 code so that a reader mixing the two is caught.
inline constexpr uint8_t kEmulatedMsOs10VendorCode = 0x21;
inline constexpr int kEmulatedPacketSize = 64;
inline constexpr uint8_t kEmulatedBulkOut = 0x01;
inline constexpr uint8_t kEmulatedBulkIn = 0x81;

struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

// The setup packet at the start of a control URB's buffer (8 bytes).
SetupPacket ReadSetupPacket(const uint8_t* bytes);

// Device descriptor followed by the whole configuration, as the sysfs
// `descriptors` attribute holds them.
std::vector<uint8_t> SysfsDescriptors(const EmulatedDevice& device);

// The data stage of a device-to-host control request, cut to wLength;
// nullopt when the device stalls it (unknown or refused requests, every
// host-to-device request).
std::optional<std::vector<uint8_t>> AnswerControl(const EmulatedDevice& device,
                                                  const SetupPacket& setup);

}  // namespace korvel::testing
