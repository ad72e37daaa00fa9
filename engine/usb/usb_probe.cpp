#include "usb_probe.h"

#include <libusb.h>

#include <algorithm>
#include <array>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "ms_os_descriptors.h"
#include "transfer_completion.h"

namespace korvel::usb {

namespace {

// Descriptor requests answer at once; a device that sits on one is not the
// instrument, and the search must not stall on it for long.
constexpr unsigned kDescriptorTimeoutMs = 500;
// Longer descriptors than this are not read (the instrument's are tiny).
constexpr uint16_t kMaxDescriptorLength = 4096;
constexpr uint16_t kMinBosUsbVersion = 0x0201;

constexpr uint8_t kDeviceToHostStandard = 0x80;
constexpr uint8_t kDeviceToHostVendorDevice = 0xC0;
constexpr uint8_t kDeviceToHostVendorInterface = 0xC1;
constexpr uint8_t kDescriptorTypeString = 0x03;
constexpr uint8_t kDescriptorTypeBos = 0x0F;

// Bytes the device sent for a control read, empty on any failure. Run
// asynchronously on the session's event thread, like every transfer here.
std::vector<uint8_t> ControlRead(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                                 uint16_t value, uint16_t index, uint16_t length) {
    std::vector<uint8_t> buffer(LIBUSB_CONTROL_SETUP_SIZE + length);
    libusb_fill_control_setup(buffer.data(), requestType, request, value, index, length);
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (transfer == nullptr) {
        return {};
    }
    TransferCompletion completion;
    libusb_fill_control_transfer(transfer, handle, buffer.data(), &TransferCompletion::OnDone,
                                 &completion, kDescriptorTimeoutMs);
    if (libusb_submit_transfer(transfer) != LIBUSB_SUCCESS) {
        libusb_free_transfer(transfer);
        return {};
    }
    completion.Wait(transfer, kDescriptorTimeoutMs);
    const bool ok = transfer->status == LIBUSB_TRANSFER_COMPLETED;
    const int got = std::clamp(transfer->actual_length, 0, static_cast<int>(length));
    libusb_free_transfer(transfer);
    if (!ok || got == 0) {
        return {};
    }
    return std::vector<uint8_t>(buffer.begin() + LIBUSB_CONTROL_SETUP_SIZE,
                                buffer.begin() + LIBUSB_CONTROL_SETUP_SIZE + got);
}

std::vector<uint8_t> GetDescriptor(libusb_device_handle* handle, uint8_t type, uint8_t index,
                                   uint16_t length) {
    return ControlRead(handle, kDeviceToHostStandard, LIBUSB_REQUEST_GET_DESCRIPTOR,
                       static_cast<uint16_t>(type << 8 | index), 0, length);
}

uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

AdvertisedGuids ReadMsOs20(libusb_device_handle* handle) {
    libusb_device_descriptor device{};
    if (libusb_get_device_descriptor(libusb_get_device(handle), &device) != LIBUSB_SUCCESS ||
        device.bcdUSB < kMinBosUsbVersion) {
        return {};
    }
    const std::vector<uint8_t> header = GetDescriptor(handle, kDescriptorTypeBos, 0, 5);
    if (header.size() < 5) {
        return {};
    }
    const uint16_t total = Word(header, 2);
    if (total < 5 || total > kMaxDescriptorLength) {
        return {};
    }
    const std::vector<uint8_t> bos = GetDescriptor(handle, kDescriptorTypeBos, 0, total);
    const std::optional<MsOs20Location> location = FindMsOs20Platform(bos.data(), bos.size());
    if (!location || location->totalLength > kMaxDescriptorLength) {
        return {};
    }
    const std::vector<uint8_t> set =
        ControlRead(handle, kDeviceToHostVendorDevice, location->vendorCode, 0,
                    kMsOs20DescriptorIndex, location->totalLength);
    AdvertisedGuids found;
    for (InterfaceGuids& entry : ParseMsOs20DescriptorSet(set.data(), set.size())) {
        if (entry.guids.empty()) {
            continue;
        }
        if (found.guids.empty()) {
            found.firstInterface = entry.firstInterface;
        }
        found.guids.insert(found.guids.end(), entry.guids.begin(), entry.guids.end());
    }
    return found;
}

AdvertisedGuids ReadMsOs10(libusb_device_handle* handle, int interfaceNumber) {
    const std::vector<uint8_t> osString =
        GetDescriptor(handle, kDescriptorTypeString, kMsOs10StringIndex, 0x12);
    const std::optional<uint8_t> vendorCode = MsOs10VendorCode(osString.data(), osString.size());
    if (!vendorCode || interfaceNumber < 0) {
        return {};
    }
    const auto value = static_cast<uint16_t>((interfaceNumber & 0xFF) << 8);
    const std::vector<uint8_t> header =
        ControlRead(handle, kDeviceToHostVendorInterface, *vendorCode, value,
                    kMsOs10ExtendedPropertiesIndex, 10);
    const std::optional<uint32_t> total =
        MsOs10ExtendedPropertiesLength(header.data(), header.size());
    if (!total || *total > kMaxDescriptorLength) {
        return {};
    }
    const std::vector<uint8_t> properties =
        ControlRead(handle, kDeviceToHostVendorInterface, *vendorCode, value,
                    kMsOs10ExtendedPropertiesIndex, static_cast<uint16_t>(*total));
    AdvertisedGuids found;
    found.guids = ParseMsOs10ExtendedProperties(properties.data(), properties.size());
    found.firstInterface = interfaceNumber;
    return found;
}

// A string descriptor in the device's first language, as ASCII ('?' for
// anything else); empty where it has none or cannot say.
std::string AsciiString(libusb_device_handle* handle, uint8_t index) {
    if (index == 0) {
        return {};
    }
    const std::vector<uint8_t> languages = GetDescriptor(handle, kDescriptorTypeString, 0, 255);
    if (languages.size() < 4) {
        return {};
    }
    const std::vector<uint8_t> text = ControlRead(
        handle, kDeviceToHostStandard, LIBUSB_REQUEST_GET_DESCRIPTOR,
        static_cast<uint16_t>(kDescriptorTypeString << 8 | index), Word(languages, 2), 255);
    if (text.size() < 2 || text[1] != kDescriptorTypeString) {
        return {};
    }
    const size_t end = std::min<size_t>(text.size(), text[0]);
    std::string ascii;
    for (size_t at = 2; at + 1 < end; at += 2) {
        const uint16_t unit = Word(text, at);
        ascii += unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?';
    }
    return ascii;
}

}  // namespace

std::optional<BulkInterface> FindBulkInterface(libusb_device* device, int preferred) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
        libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
        return std::nullopt;
    }
    std::optional<BulkInterface> best;
    auto rank = [preferred](const BulkInterface& i) {
        return i.number == preferred ? 2 : (i.vendorSpecific ? 1 : 0);
    };
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& entry = config->interface[i];
        if (entry.num_altsetting < 1) {
            continue;
        }
        const libusb_interface_descriptor& setting = entry.altsetting[0];
        BulkInterface found;
        found.number = setting.bInterfaceNumber;
        found.configuration = config->bConfigurationValue;
        found.vendorSpecific = setting.bInterfaceClass == LIBUSB_CLASS_VENDOR_SPEC;
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
            if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
                continue;
            }
            uint8_t& slot = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0
                                ? found.inEndpoint
                                : found.outEndpoint;
            if (slot == 0) {
                slot = endpoint.bEndpointAddress;
            }
        }
        const bool pair = found.inEndpoint != 0 && found.outEndpoint != 0;
        if (pair && (!best || rank(found) > rank(*best))) {
            best = found;
        }
    }
    libusb_free_config_descriptor(config);
    return best;
}

bool KernelDriverBound(libusb_device* device, const BulkInterface& pipes) {
#if defined(__linux__)
    // /sys/bus/usb/devices/BUS-PORT.PORT...:CONFIG.INTERFACE/driver
    std::array<uint8_t, 8> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
    if (depth <= 0 || pipes.number < 0) {
        return false;
    }
    std::string path =
        "/sys/bus/usb/devices/" + std::to_string(libusb_get_bus_number(device)) + "-";
    for (int i = 0; i < depth; ++i) {
        path += (i > 0 ? "." : "") + std::to_string(ports[static_cast<size_t>(i)]);
    }
    path +=
        ":" + std::to_string(pipes.configuration) + "." + std::to_string(pipes.number) + "/driver";
    return access(path.c_str(), F_OK) == 0;
#else
    (void)device;
    (void)pipes;
    return false;
#endif
}

DeviceStrings ReadDeviceStrings(libusb_device_handle* handle) {
    libusb_device_descriptor device{};
    if (libusb_get_device_descriptor(libusb_get_device(handle), &device) != LIBUSB_SUCCESS) {
        return {};
    }
    return DeviceStrings{AsciiString(handle, device.iProduct),
                         AsciiString(handle, device.iSerialNumber)};
}

AdvertisedGuids ReadAdvertisedGuids(libusb_device_handle* handle, int interfaceNumber) {
    AdvertisedGuids found = ReadMsOs20(handle);
    if (!found.guids.empty()) {
        return found;
    }
    return ReadMsOs10(handle, interfaceNumber);
}

bool Advertises(const AdvertisedGuids& advertised, const std::string& guid) {
    for (const std::string& candidate : advertised.guids) {
        if (SameGuid(candidate, guid)) {
            return true;
        }
    }
    return false;
}

}  // namespace korvel::usb
