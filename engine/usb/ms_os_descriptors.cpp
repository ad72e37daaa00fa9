#include "ms_os_descriptors.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "wire_words.h"

namespace korvel::usb {

namespace {

constexpr uint8_t kBosDescriptorType = 0x0F;
constexpr uint8_t kDeviceCapabilityType = 0x10;
constexpr uint8_t kPlatformCapability = 0x05;
constexpr std::size_t kBosHeaderLength = 5;
// bLength, bDescriptorType, bDevCapabilityType, bReserved, UUID.
constexpr std::size_t kPlatformHeaderLength = 20;
constexpr std::size_t kPlatformEntryLength = 8;
// D8DD60DF-4589-4CC7-9CD2-659D9E648A9F as it travels (GUID byte order).
constexpr std::array<uint8_t, 16> kMsOs20PlatformUuid = {
    0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C, 0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};

enum MsOs20Type : uint16_t {
    kSetHeader = 0,
    kConfigurationSubset = 1,
    kFunctionSubset = 2,
    kRegistryProperty = 4,
};
constexpr std::size_t kMsOs20DescriptorHeader = 4;  // wLength, wDescriptorType
constexpr std::size_t kFunctionSubsetLength = 8;
constexpr std::size_t kRegistryPropertyFixed = 10;  // the four words and wPropertyDataLength

constexpr uint16_t kRegSz = 1;
constexpr uint16_t kRegMultiSz = 7;

constexpr std::size_t kMsOs10StringLength = 0x12;
constexpr uint8_t kStringDescriptorType = 3;
constexpr std::size_t kExtendedHeaderLength = 10;
constexpr uint16_t kExtendedPropertiesVersion = 0x0100;
constexpr std::size_t kExtendedSectionFixed = 14;  // dwSize, type, name length, data length

uint32_t ReadDword(const uint8_t* p) {
    return static_cast<uint32_t>(ReadWord(p)) | (static_cast<uint32_t>(ReadWord(p + 2)) << 16);
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// UTF-16LE code units up to (not including) the first NUL, or the end. Only
// ASCII matters here: any other code unit makes the text unusable (nullopt).
// `used` receives the bytes consumed, the NUL included.
std::optional<std::string> AsciiFromUtf16(const uint8_t* data, std::size_t length,
                                          std::size_t& used) {
    std::string text;
    bool ascii = true;
    used = 0;
    while (used + 2 <= length) {
        const uint16_t unit = ReadWord(data + used);
        used += 2;
        if (unit == 0) {
            break;
        }
        if (unit > 0x7F) {
            ascii = false;
        } else {
            text.push_back(static_cast<char>(unit));
        }
    }
    if (used < length && used + 2 > length) {
        used = length;  // an odd trailing byte
    }
    if (!ascii) {
        return std::nullopt;
    }
    return text;
}

// Registry value names are case-insensitive on Windows, which reads these.
bool SameName(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

// Adds the GUIDs of one registry property when it is the interface GUID
// property with its proper type; anything else is ignored. REG_SZ holds one
// string, REG_MULTI_SZ a list that ends at the first empty string.
void AppendInterfaceGuids(const uint8_t* name, std::size_t nameLength, uint32_t dataType,
                          const uint8_t* data, std::size_t dataLength,
                          std::vector<std::string>& guids) {
    std::size_t used = 0;
    const auto propertyName = AsciiFromUtf16(name, nameLength, used);
    if (!propertyName) {
        return;
    }
    const bool multi = SameName(*propertyName, "DeviceInterfaceGUIDs") && dataType == kRegMultiSz;
    const bool single = SameName(*propertyName, "DeviceInterfaceGUID") && dataType == kRegSz;
    if (!multi && !single) {
        return;
    }
    std::size_t at = 0;
    while (at < dataLength) {
        const auto text = AsciiFromUtf16(data + at, dataLength - at, used);
        at += used;
        if (text && text->empty()) {
            break;
        }
        if (text) {
            std::string guid = NormalizeGuid(*text);
            if (!guid.empty()) {
                guids.push_back(std::move(guid));
            }
        }
        if (single) {
            break;
        }
    }
}

void AddToFunction(std::vector<InterfaceGuids>& result, int firstInterface,
                   std::vector<std::string>&& guids) {
    if (guids.empty()) {
        return;
    }
    for (InterfaceGuids& entry : result) {
        if (entry.firstInterface == firstInterface) {
            entry.guids.insert(entry.guids.end(), guids.begin(), guids.end());
            return;
        }
    }
    result.push_back({firstInterface, std::move(guids)});
}

}  // namespace

std::string NormalizeGuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36) {
        return "";
    }
    std::string guid;
    guid.reserve(36);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !IsHex(c)) {
            return "";
        }
        guid.push_back(Upper(c));
    }
    return guid;
}

bool SameGuid(std::string_view a, std::string_view b) {
    const std::string left = NormalizeGuid(a);
    return !left.empty() && left == NormalizeGuid(b);
}

std::optional<MsOs20Location> FindMsOs20Platform(const uint8_t* bos, std::size_t length) {
    if (bos == nullptr || length < kBosHeaderLength || bos[0] < kBosHeaderLength ||
        bos[1] != kBosDescriptorType) {
        return std::nullopt;
    }
    const std::size_t end = std::min<std::size_t>(length, ReadWord(bos + 2));
    std::optional<MsOs20Location> best;
    uint32_t bestVersion = 0;
    std::size_t at = bos[0];
    while (at + 3 <= end) {
        const uint8_t* cap = bos + at;
        const std::size_t capLength = cap[0];
        if (capLength < 3 || capLength > end - at) {
            break;
        }
        at += capLength;
        if (cap[1] != kDeviceCapabilityType || cap[2] != kPlatformCapability ||
            capLength < kPlatformHeaderLength ||
            std::memcmp(cap + 4, kMsOs20PlatformUuid.data(), kMsOs20PlatformUuid.size()) != 0) {
            continue;
        }
        for (std::size_t e = kPlatformHeaderLength; e + kPlatformEntryLength <= capLength;
             e += kPlatformEntryLength) {
            const uint32_t version = ReadDword(cap + e);
            const uint16_t total = ReadWord(cap + e + 4);
            if (total == 0 || (best && version <= bestVersion)) {
                continue;
            }
            best = MsOs20Location{cap[e + 6], total};
            bestVersion = version;
        }
    }
    return best;
}

std::vector<InterfaceGuids> ParseMsOs20DescriptorSet(const uint8_t* set, std::size_t length) {
    std::vector<InterfaceGuids> result;
    if (set == nullptr) {
        return result;
    }
    int function = -1;
    std::size_t functionEnd = 0;
    std::size_t at = 0;
    while (at + kMsOs20DescriptorHeader <= length) {
        const uint8_t* d = set + at;
        const std::size_t size = ReadWord(d);
        if (size < kMsOs20DescriptorHeader || size > length - at) {
            break;
        }
        if (function >= 0 && at >= functionEnd) {
            function = -1;  // the function subset is used up
        }
        switch (ReadWord(d + 2)) {
            case kConfigurationSubset:
                function = -1;
                break;
            case kFunctionSubset:
                if (size >= kFunctionSubsetLength) {
                    function = d[4];
                    functionEnd = at + ReadWord(d + 6);
                }
                break;
            case kRegistryProperty: {
                if (size < kRegistryPropertyFixed) {
                    break;
                }
                const std::size_t nameLength = ReadWord(d + 6);
                if (8 + nameLength + 2 > size) {
                    break;
                }
                const std::size_t dataLength = ReadWord(d + 8 + nameLength);
                if (8 + nameLength + 2 + dataLength > size) {
                    break;
                }
                std::vector<std::string> guids;
                AppendInterfaceGuids(d + 8, nameLength, ReadWord(d + 4), d + 10 + nameLength,
                                     dataLength, guids);
                AddToFunction(result, function, std::move(guids));
                break;
            }
            default:  // set header, compatible ID, and types this reader has no use for
                break;
        }
        at += size;
    }
    return result;
}

std::optional<uint8_t> MsOs10VendorCode(const uint8_t* descriptor, std::size_t length) {
    static constexpr uint8_t kSignature[14] = {'M', 0,   'S', 0,   'F', 0,   'T',
                                               0,   '1', 0,   '0', 0,   '0', 0};
    if (descriptor == nullptr || length < kMsOs10StringLength ||
        descriptor[0] != kMsOs10StringLength || descriptor[1] != kStringDescriptorType ||
        std::memcmp(descriptor + 2, kSignature, sizeof kSignature) != 0) {
        return std::nullopt;
    }
    return descriptor[16];
}

std::optional<uint32_t> MsOs10ExtendedPropertiesLength(const uint8_t* header, std::size_t length) {
    if (header == nullptr || length < kExtendedHeaderLength ||
        ReadWord(header + 4) != kExtendedPropertiesVersion ||
        ReadWord(header + 6) != kMsOs10ExtendedPropertiesIndex) {
        return std::nullopt;
    }
    const uint32_t total = ReadDword(header);
    if (total < kExtendedHeaderLength) {
        return std::nullopt;
    }
    return total;
}

std::vector<std::string> ParseMsOs10ExtendedProperties(const uint8_t* descriptor,
                                                       std::size_t length) {
    std::vector<std::string> guids;
    const auto total = MsOs10ExtendedPropertiesLength(descriptor, length);
    if (!total) {
        return guids;
    }
    const std::size_t end = std::min<std::size_t>(length, *total);
    const unsigned count = ReadWord(descriptor + 8);
    std::size_t at = kExtendedHeaderLength;
    for (unsigned section = 0; section < count && at + 4 <= end; ++section) {
        const uint8_t* s = descriptor + at;
        const std::size_t size = ReadDword(s);
        if (size < kExtendedSectionFixed || size > end - at) {
            break;
        }
        at += size;
        const std::size_t nameLength = ReadWord(s + 8);
        if (10 + nameLength + 4 > size) {
            continue;
        }
        const std::size_t dataLength = ReadDword(s + 10 + nameLength);
        if (dataLength > size - kExtendedSectionFixed - nameLength) {
            continue;
        }
        AppendInterfaceGuids(s + 10, nameLength, ReadDword(s + 4), s + 14 + nameLength, dataLength,
                             guids);
    }
    return guids;
}

}  // namespace korvel::usb
