#include "emulated_descriptors.h"

#include <algorithm>
#include <string>

namespace korvel::testing {
namespace {

constexpr uint8_t kGetStatus = 0x00;
constexpr uint8_t kGetDescriptor = 0x06;
constexpr uint8_t kGetConfiguration = 0x08;

constexpr uint8_t kTypeDevice = 0x01;
constexpr uint8_t kTypeConfiguration = 0x02;
constexpr uint8_t kTypeString = 0x03;
constexpr uint8_t kTypeBos = 0x0F;

constexpr uint8_t kStandardIn = 0x80;  // device-to-host, standard, device
constexpr uint8_t kVendorDeviceIn = 0xC0;
constexpr uint8_t kVendorInterfaceIn = 0xC1;

constexpr uint16_t kMsOs10ExtendedProperties = 5;
constexpr uint16_t kMsOs20DescriptorSet = 7;
constexpr uint8_t kMsOs10String = 0xEE;
constexpr uint32_t kWindows81 = 0x06030000;
constexpr uint16_t kRegSz = 1;
constexpr uint16_t kRegMultiSz = 7;

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

void Set16(std::vector<uint8_t>& out, std::size_t at, std::size_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// UTF-16LE of an ASCII string, each NUL given counted as one more code unit.
std::vector<uint8_t> Utf16(const std::string& text, int nuls) {
    std::vector<uint8_t> out;
    for (char c : text) {
        Put16(out, static_cast<uint8_t>(c));
    }
    for (int i = 0; i < nuls; ++i) {
        Put16(out, 0);
    }
    return out;
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

bool Advertises20(const EmulatedDevice& device) {
    return device.advert == EmulatedDevice::Advert::kMsOs20;
}

uint16_t BcdUsb(const EmulatedDevice& device) {
    // A BOS descriptor needs USB 2.01 or later.
    return Advertises20(device) ? 0x0210 : 0x0200;
}

uint8_t StringIndex(const std::string& text, uint8_t index) {
    return text.empty() ? 0 : index;
}

std::vector<uint8_t> DeviceDescriptor(const EmulatedDevice& device) {
    std::vector<uint8_t> d{18, kTypeDevice};
    Put16(d, BcdUsb(device));
    d.insert(d.end(), {0x00, 0x00, 0x00, kEmulatedPacketSize});
    Put16(d, device.vendorId);
    Put16(d, device.productId);
    Put16(d, 0x0100);  // bcdDevice
    d.push_back(StringIndex(device.manufacturer, 1));
    d.push_back(StringIndex(device.product, 2));
    d.push_back(StringIndex(device.serial, 3));
    d.push_back(1);  // bNumConfigurations
    return d;
}

std::vector<uint8_t> ConfigurationDescriptor(const EmulatedDevice& device) {
    std::vector<uint8_t> c{9, kTypeConfiguration, 0, 0, 1, 1, 0, 0x80, 50};
    c.insert(c.end(), {9, 0x04, 0, 0, 2, device.interfaceClass, 0, 0, 0});
    for (uint8_t endpoint : {kEmulatedBulkOut, kEmulatedBulkIn}) {
        c.insert(c.end(), {7, 0x05, endpoint, 0x02});
        Put16(c, kEmulatedPacketSize);
        c.push_back(0);
    }
    Set16(c, 2, c.size());
    return c;
}

std::vector<uint8_t> StringDescriptor(const std::string& text) {
    // bLength is one byte: at most 126 code units.
    std::vector<uint8_t> s{0, kTypeString};
    Append(s, Utf16(text.substr(0, 126), 0));
    s[0] = static_cast<uint8_t>(s.size());
    return s;
}

std::vector<uint8_t> MsOs10StringDescriptor() {
    std::vector<uint8_t> s{0x12, kTypeString};
    Append(s, Utf16("MSFT100", 0));
    s.push_back(kEmulatedMsOs10VendorCode);
    s.push_back(0);
    return s;
}

// DeviceInterfaceGUIDs (REG_MULTI_SZ) inside a configuration subset and a
// function subset for interface 0, as a composite device lays it out.
std::vector<uint8_t> MsOs20DescriptorSet(const EmulatedDevice& device) {
    std::vector<uint8_t> property;
    const std::vector<uint8_t> name = Utf16("DeviceInterfaceGUIDs", 1);
    const std::vector<uint8_t> data = Utf16(device.interfaceGuid, 2);
    Put16(property, 0);
    Put16(property, 4);  // registry property
    Put16(property, kRegMultiSz);
    Put16(property, static_cast<uint16_t>(name.size()));
    Append(property, name);
    Put16(property, static_cast<uint16_t>(data.size()));
    Append(property, data);
    Set16(property, 0, property.size());

    std::vector<uint8_t> function;
    Put16(function, 8);
    Put16(function, 2);     // function subset header
    function.push_back(0);  // bFirstInterface
    function.push_back(0);
    Put16(function, 0);
    Put16(function, 20);
    Put16(function, 3);  // compatible ID
    Append(function, {'W', 'I', 'N', 'U', 'S', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Append(function, property);
    Set16(function, 6, function.size());

    std::vector<uint8_t> configuration;
    Put16(configuration, 8);
    Put16(configuration, 1);  // configuration subset header
    configuration.push_back(0);
    configuration.push_back(0);
    Put16(configuration, 0);
    Append(configuration, function);
    Set16(configuration, 6, configuration.size());

    std::vector<uint8_t> set;
    Put16(set, 10);
    Put16(set, 0);  // set header
    Put32(set, kWindows81);
    Put16(set, 0);
    Append(set, configuration);
    Set16(set, 8, set.size());
    return set;
}

std::vector<uint8_t> BosDescriptor(const EmulatedDevice& device) {
    std::vector<uint8_t> bos{5, kTypeBos, 0, 0, 1};
    // USB 2.0 extension, as every USB 2.01 device has.
    bos.insert(bos.end(), {7, 0x10, 0x02, 0, 0, 0, 0});
    if (Advertises20(device)) {
        bos[4] = 2;
        bos.insert(bos.end(), {28, 0x10, 0x05, 0});
        // D8DD60DF-4589-4CC7-9CD2-659D9E648A9F in its little-endian form.
        bos.insert(bos.end(), {0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C, 0x9C, 0xD2, 0x65,
                               0x9D, 0x9E, 0x64, 0x8A, 0x9F});
        Put32(bos, kWindows81);
        Put16(bos, static_cast<uint16_t>(MsOs20DescriptorSet(device).size()));
        bos.push_back(kEmulatedMsOs20VendorCode);
        bos.push_back(0);  // bAltEnumCode
    }
    Set16(bos, 2, bos.size());
    return bos;
}

// One "DeviceInterfaceGUID" (REG_SZ) section.
std::vector<uint8_t> MsOs10ExtendedProperties(const EmulatedDevice& device) {
    const std::vector<uint8_t> name = Utf16("DeviceInterfaceGUID", 1);
    const std::vector<uint8_t> data = Utf16(device.interfaceGuid, 1);
    std::vector<uint8_t> section;
    Put32(section, static_cast<uint32_t>(14 + name.size() + data.size()));
    Put32(section, kRegSz);
    Put16(section, static_cast<uint16_t>(name.size()));
    Append(section, name);
    Put32(section, static_cast<uint32_t>(data.size()));
    Append(section, data);

    std::vector<uint8_t> out;
    Put32(out, static_cast<uint32_t>(10 + section.size()));
    Put16(out, 0x0100);
    Put16(out, kMsOs10ExtendedProperties);
    Put16(out, 1);
    Append(out, section);
    return out;
}

std::optional<std::vector<uint8_t>> StandardAnswer(const EmulatedDevice& device,
                                                   const SetupPacket& setup) {
    const uint8_t type = static_cast<uint8_t>(setup.value >> 8);
    const uint8_t index = static_cast<uint8_t>(setup.value & 0xFF);
    if (setup.request == kGetStatus) {
        return std::vector<uint8_t>{0, 0};
    }
    if (setup.request == kGetConfiguration) {
        return std::vector<uint8_t>{1};
    }
    if (setup.request != kGetDescriptor) {
        return std::nullopt;
    }
    if (type == kTypeDevice && index == 0) {
        return DeviceDescriptor(device);
    }
    if (type == kTypeConfiguration && index == 0) {
        return ConfigurationDescriptor(device);
    }
    if (type == kTypeBos && index == 0 && BcdUsb(device) >= 0x0201 &&
        !device.stallDescriptorRequests) {
        return BosDescriptor(device);
    }
    if (type != kTypeString) {
        return std::nullopt;
    }
    switch (index) {
        case 0:
            return std::vector<uint8_t>{4, kTypeString, 0x09, 0x04};
        case 1:
        case 2:
        case 3: {
            const std::string& text = index == 1   ? device.manufacturer
                                      : index == 2 ? device.product
                                                   : device.serial;
            if (text.empty()) {
                return std::nullopt;
            }
            return StringDescriptor(text);
        }
        case kMsOs10String:
            if (device.advert == EmulatedDevice::Advert::kMsOs10 &&
                !device.stallDescriptorRequests) {
                return MsOs10StringDescriptor();
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> VendorAnswer(const EmulatedDevice& device,
                                                 const SetupPacket& setup) {
    if (device.stallDescriptorRequests) {
        return std::nullopt;
    }
    if (Advertises20(device) && setup.requestType == kVendorDeviceIn &&
        setup.request == kEmulatedMsOs20VendorCode && setup.index == kMsOs20DescriptorSet) {
        return MsOs20DescriptorSet(device);
    }
    // wValue: interface in the high byte, page in the low byte; the device
    // has interface 0 and one page.
    if (device.advert == EmulatedDevice::Advert::kMsOs10 &&
        (setup.requestType == kVendorInterfaceIn || setup.requestType == kVendorDeviceIn) &&
        setup.request == kEmulatedMsOs10VendorCode && setup.index == kMsOs10ExtendedProperties &&
        setup.value == 0) {
        return MsOs10ExtendedProperties(device);
    }
    return std::nullopt;
}

}  // namespace

SetupPacket ReadSetupPacket(const uint8_t* bytes) {
    SetupPacket setup;
    setup.requestType = bytes[0];
    setup.request = bytes[1];
    setup.value = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
    setup.index = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
    setup.length = static_cast<uint16_t>(bytes[6] | (bytes[7] << 8));
    return setup;
}

std::vector<uint8_t> SysfsDescriptors(const EmulatedDevice& device) {
    std::vector<uint8_t> out = DeviceDescriptor(device);
    Append(out, ConfigurationDescriptor(device));
    return out;
}

std::optional<std::vector<uint8_t>> AnswerControl(const EmulatedDevice& device,
                                                  const SetupPacket& setup) {
    std::optional<std::vector<uint8_t>> answer;
    if (setup.requestType == kStandardIn) {
        answer = StandardAnswer(device, setup);
    } else if (setup.requestType == kVendorDeviceIn || setup.requestType == kVendorInterfaceIn) {
        answer = VendorAnswer(device, setup);
    }
    if (answer && answer->size() > setup.length) {
        answer->resize(setup.length);
    }
    return answer;
}

}  // namespace korvel::testing
