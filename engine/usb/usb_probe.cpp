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

// Control reads on one opened device. A request the device stalls is a
// definite "no"; one that times out or fails otherwise marks the reading as
// transient, worth repeating later.
class DeviceReader {
  public:
    explicit DeviceReader(libusb_device_handle* handle) : handle_(handle) {}
    bool Transient() const { return transient_; }

    // Bytes the device sent, empty when it sent none. Run asynchronously on
    // the session's event thread, like every transfer here.
    std::vector<uint8_t> Control(uint8_t requestType, uint8_t request, uint16_t value,
                                 uint16_t index, uint16_t length) {
        std::vector<uint8_t> buffer(LIBUSB_CONTROL_SETUP_SIZE + length);
        libusb_fill_control_setup(buffer.data(), requestType, request, value, index, length);
        libusb_transfer* transfer = libusb_alloc_transfer(0);
        if (transfer == nullptr) {
            transient_ = true;
            return {};
        }
        TransferCompletion completion;
        libusb_fill_control_transfer(transfer, handle_, buffer.data(), &TransferCompletion::OnDone,
                                     &completion, kDescriptorTimeoutMs);
        if (libusb_submit_transfer(transfer) != LIBUSB_SUCCESS) {
            libusb_free_transfer(transfer);
            transient_ = true;
            return {};
        }
        completion.Wait(transfer, kDescriptorTimeoutMs);
        const int status = transfer->status;
        const int got = std::clamp(transfer->actual_length, 0, static_cast<int>(length));
        libusb_free_transfer(transfer);
        if (status != LIBUSB_TRANSFER_COMPLETED) {
            transient_ = transient_ || status != LIBUSB_TRANSFER_STALL;
            return {};
        }
        return std::vector<uint8_t>(buffer.begin() + LIBUSB_CONTROL_SETUP_SIZE,
                                    buffer.begin() + LIBUSB_CONTROL_SETUP_SIZE + got);
    }

    std::vector<uint8_t> Descriptor(uint8_t type, uint8_t index, uint16_t length,
                                    uint16_t language = 0) {
        return Control(kDeviceToHostStandard, LIBUSB_REQUEST_GET_DESCRIPTOR,
                       static_cast<uint16_t>(type << 8 | index), language, length);
    }

  private:
    libusb_device_handle* handle_;
    bool transient_ = false;
};

uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::vector<InterfaceGuids> ReadMsOs20(DeviceReader& reader, uint16_t usbVersion) {
    if (usbVersion < kMinBosUsbVersion) {
        return {};
    }
    const std::vector<uint8_t> header = reader.Descriptor(kDescriptorTypeBos, 0, 5);
    if (header.size() < 5) {
        return {};
    }
    const uint16_t total = Word(header, 2);
    if (total < 5 || total > kMaxDescriptorLength) {
        return {};
    }
    const std::vector<uint8_t> bos = reader.Descriptor(kDescriptorTypeBos, 0, total);
    const std::optional<MsOs20Location> location = FindMsOs20Platform(bos.data(), bos.size());
    if (!location || location->totalLength > kMaxDescriptorLength) {
        return {};
    }
    const std::vector<uint8_t> set =
        reader.Control(kDeviceToHostVendorDevice, location->vendorCode, 0, kMsOs20DescriptorIndex,
                       location->totalLength);
    return ParseMsOs20DescriptorSet(set.data(), set.size());
}

std::vector<InterfaceGuids> ReadMsOs10(DeviceReader& reader, int interfaceNumber) {
    const std::vector<uint8_t> osString =
        reader.Descriptor(kDescriptorTypeString, kMsOs10StringIndex, 0x12);
    const std::optional<uint8_t> vendorCode = MsOs10VendorCode(osString.data(), osString.size());
    if (!vendorCode || interfaceNumber < 0) {
        return {};
    }
    const auto value = static_cast<uint16_t>((interfaceNumber & 0xFF) << 8);
    const std::vector<uint8_t> header = reader.Control(kDeviceToHostVendorInterface, *vendorCode,
                                                       value, kMsOs10ExtendedPropertiesIndex, 10);
    const std::optional<uint32_t> total =
        MsOs10ExtendedPropertiesLength(header.data(), header.size());
    if (!total || *total > kMaxDescriptorLength) {
        return {};
    }
    const std::vector<uint8_t> properties =
        reader.Control(kDeviceToHostVendorInterface, *vendorCode, value,
                       kMsOs10ExtendedPropertiesIndex, static_cast<uint16_t>(*total));
    InterfaceGuids function;
    function.firstInterface = interfaceNumber;
    function.guids = ParseMsOs10ExtendedProperties(properties.data(), properties.size());
    if (function.guids.empty()) {
        return {};
    }
    return {function};
}

// A string descriptor in the device's first language, as ASCII ('?' for
// anything else); empty where it has none or cannot say.
std::string AsciiString(DeviceReader& reader, uint8_t index) {
    if (index == 0) {
        return {};
    }
    const std::vector<uint8_t> languages = reader.Descriptor(kDescriptorTypeString, 0, 255);
    if (languages.size() < 4) {
        return {};
    }
    const std::vector<uint8_t> text =
        reader.Descriptor(kDescriptorTypeString, index, 255, Word(languages, 2));
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
    // A program that claimed the interface through libusb shows as "usbfs":
    // that is no kernel driver holding the device.
    std::array<char, 512> target{};
    const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
    if (length < 0) {
        return access(path.c_str(), F_OK) == 0;
    }
    const std::string driver(target.data(), static_cast<size_t>(length));
    const std::string usbfs = "/usbfs";
    return driver.size() < usbfs.size() ||
           driver.compare(driver.size() - usbfs.size(), usbfs.size(), usbfs) != 0;
#else
    (void)device;
    (void)pipes;
    return false;
#endif
}

DeviceFacts ReadDeviceFacts(libusb_device_handle* handle, int interfaceNumber) {
    DeviceFacts facts;
    libusb_device_descriptor device{};
    if (libusb_get_device_descriptor(libusb_get_device(handle), &device) != LIBUSB_SUCCESS) {
        facts.transient = true;
        return facts;
    }
    DeviceReader reader(handle);
    facts.product = AsciiString(reader, device.iProduct);
    facts.serial = AsciiString(reader, device.iSerialNumber);
    facts.functions = ReadMsOs20(reader, device.bcdUSB);
    if (facts.functions.empty()) {
        facts.functions = ReadMsOs10(reader, interfaceNumber);
    }
    facts.transient = reader.Transient();
    return facts;
}

std::optional<int> FunctionAdvertising(const std::vector<InterfaceGuids>& functions,
                                       const std::string& guid) {
    for (const InterfaceGuids& function : functions) {
        for (const std::string& candidate : function.guids) {
            if (SameGuid(candidate, guid)) {
                return function.firstInterface;
            }
        }
    }
    return std::nullopt;
}

}  // namespace korvel::usb
