// Reading the Microsoft OS descriptors a device offers so that Windows binds
// WinUSB to it: the device-interface GUIDs they carry say which program the
// device belongs to. Pure functions over the raw bytes a device sent; every
// input, however short or inconsistent, gives a defined result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::usb {

// The instrument's device-interface GUID, as the Windows layer uses it.
inline constexpr const char* kInstrumentInterfaceGuid = "{4B6C73B2-015B-4855-8BB1-A7A6C03AFA87}";

// "4b6c73b2-015b-4855-8bb1-a7a6c03afa87" with or without braces (any case)
// becomes "4B6C73B2-015B-4855-8BB1-A7A6C03AFA87"; anything else "" .
std::string NormalizeGuid(std::string_view text);
// Case-insensitive, braces optional; false when either is not a GUID.
bool SameGuid(std::string_view a, std::string_view b);

// --- Microsoft OS 2.0: BOS platform capability -> vendor request -> set ---

// wIndex of the vendor request that returns the descriptor set.
inline constexpr uint16_t kMsOs20DescriptorIndex = 7;

struct MsOs20Location {
    uint8_t vendorCode = 0;
    uint16_t totalLength = 0;  // wLength for the vendor request
};

// Looks through a whole BOS descriptor (header and device capabilities, as
// GET_DESCRIPTOR(BOS) returns it) for the Microsoft OS 2.0 platform
// capability (UUID D8DD60DF-4589-4CC7-9CD2-659D9E648A9F). With several
// descriptor-set entries, the one for the newest Windows version wins.
std::optional<MsOs20Location> FindMsOs20Platform(const uint8_t* bos, std::size_t length);

// GUIDs of one function of the device (or of the whole device).
struct InterfaceGuids {
    int firstInterface = -1;         // -1: the set applies to the whole device
    std::vector<std::string> guids;  // normalised (NormalizeGuid), malformed ones left out
};

// Walks a Microsoft OS 2.0 descriptor set and collects the
// "DeviceInterfaceGUIDs" (REG_MULTI_SZ) and "DeviceInterfaceGUID" (REG_SZ)
// registry properties, with the function subset they sit in.
std::vector<InterfaceGuids> ParseMsOs20DescriptorSet(const uint8_t* set, std::size_t length);

// --- Microsoft OS 1.0: string 0xEE "MSFT100" -> extended properties ---

inline constexpr uint8_t kMsOs10StringIndex = 0xEE;
inline constexpr uint16_t kMsOs10ExtendedPropertiesIndex = 5;

// The vendor code of an OS string descriptor (string descriptor 0xEE as the
// device sent it: bLength, 3, "MSFT100" in UTF-16LE, vendor code, pad).
std::optional<uint8_t> MsOs10VendorCode(const uint8_t* descriptor, std::size_t length);

// The length the header of an extended properties descriptor announces
// (dwLength), read from its first 10 bytes; nullopt when it is no such header.
std::optional<uint32_t> MsOs10ExtendedPropertiesLength(const uint8_t* header, std::size_t length);

// GUIDs from the "DeviceInterfaceGUID"/"DeviceInterfaceGUIDs" properties of a
// whole extended properties descriptor; normalised, malformed ones left out.
std::vector<std::string> ParseMsOs10ExtendedProperties(const uint8_t* descriptor,
                                                       std::size_t length);

}  // namespace korvel::usb
