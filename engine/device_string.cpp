#include "device_string.h"

#include <memory>
#include <string>

#include "platform_transport.h"
#include "record/replay_device.h"
#include "sim/sim_transport.h"
#include "sim/touchstone_bench.h"
#include "stream/stream_transport.h"
#include "usb/usb_device_string.h"
#if !defined(_WIN32)
#include "usb/usb_transport.h"
#endif

namespace korvel {

namespace {

std::string UnknownDevice(const std::string& device) {
    return "Unknown device \"" + device +
           "\": use sim, usb, usb:VVVV:PPPP[:SERIAL], unix:PATH or tcp:HOST:PORT.";
}

constexpr const char* kSimFilePrefix = "sim:";

bool IsSimFile(const std::string& device) {
    return device.rfind(kSimFilePrefix, 0) == 0;
}

std::string SimFilePath(const std::string& device) {
    return device.substr(std::char_traits<char>::length(kSimFilePrefix));
}

std::shared_ptr<sim::TouchstoneData> ReadSimFile(const std::string& device, std::string& error) {
    const std::string path = SimFilePath(device);
    if (path.empty()) {
        error = "\"sim:\" needs a Touchstone file: sim:PATH.s1p or sim:PATH.s2p.";
        return nullptr;
    }
    auto data = std::make_shared<sim::TouchstoneData>();
    if (!sim::ReadTouchstoneFile(path, *data, error)) {
        return nullptr;
    }
    return data;
}

// "usb" on Windows is the device-interface layer, which finds the instrument
// by the same GUID; it has no way to pick a device by its IDs.
bool CheckUsbString(const std::string& device, std::string& error) {
    usb::UsbSelector selector;
    if (!usb::ParseUsbDeviceString(device, selector, error)) {
        return false;
    }
#if defined(_WIN32)
    if (!selector.byGuid) {
        error = "\"" + device +
                "\": on Windows the instrument is found by its device interface; "
                "use usb (or no --device).";
        return false;
    }
#endif
    return true;
}

}  // namespace

bool CheckDeviceString(const std::string& device, std::string& error) {
    if (device.empty() || device == kSimDevice) {
        return true;
    }
    if (IsSimFile(device)) {
        return ReadSimFile(device, error) != nullptr;
    }
    if (LooksLikeStreamEndpoint(device)) {
        StreamEndpoint endpoint;
        return ParseStreamEndpoint(device, endpoint, error);
    }
    if (IsReplayDevice(device)) {
        return CheckReplayDevice(device, error);
    }
    if (usb::LooksLikeUsbDevice(device)) {
        return CheckUsbString(device, error);
    }
    error = UnknownDevice(device);
    return false;
}

std::unique_ptr<DeviceTransport> MakeTransport(const std::string& device, std::string& error,
                                               Clock* simClock) {
    if (device.empty()) {
        return MakePlatformTransport();
    }
    if (device == kSimDevice) {
        return std::make_unique<SimTransport>(std::make_shared<SimInstrument>(), simClock);
    }
    if (IsSimFile(device)) {
        const auto file = ReadSimFile(device, error);
        if (!file) {
            return nullptr;
        }
        auto instrument = std::make_shared<SimInstrument>();
        instrument->SetTouchstone(file);
        auto transport = std::make_unique<SimTransport>(instrument, simClock);
        transport->SetNotice(sim::TouchstoneRangeNotice(SimFilePath(device), *file));
        return transport;
    }
    if (LooksLikeStreamEndpoint(device)) {
        StreamEndpoint endpoint;
        if (!ParseStreamEndpoint(device, endpoint, error)) {
            return nullptr;
        }
        return std::make_unique<StreamTransport>(endpoint);
    }
    if (IsReplayDevice(device)) {
        return MakeReplayTransport(device, error, simClock);
    }
    if (usb::LooksLikeUsbDevice(device)) {
        if (!CheckUsbString(device, error)) {
            return nullptr;
        }
#if defined(_WIN32)
        return MakePlatformTransport();
#else
        usb::UsbSelector selector;
        usb::ParseUsbDeviceString(device, selector, error);
        return std::make_unique<usb::UsbTransport>(selector);
#endif
    }
    error = UnknownDevice(device);
    return nullptr;
}

}  // namespace korvel
