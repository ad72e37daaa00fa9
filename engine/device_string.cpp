#include "device_string.h"

#include "platform_transport.h"
#include "sim/sim_transport.h"
#include "stream/stream_transport.h"

namespace korvel {

namespace {

std::string UnknownDevice(const std::string& device) {
    return "Unknown device \"" + device + "\": use sim, unix:PATH or tcp:HOST:PORT.";
}

}  // namespace

bool CheckDeviceString(const std::string& device, std::string& error) {
    if (device.empty() || device == kSimDevice) {
        return true;
    }
    if (LooksLikeStreamEndpoint(device)) {
        StreamEndpoint endpoint;
        return ParseStreamEndpoint(device, endpoint, error);
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
    if (LooksLikeStreamEndpoint(device)) {
        StreamEndpoint endpoint;
        if (!ParseStreamEndpoint(device, endpoint, error)) {
            return nullptr;
        }
        return std::make_unique<StreamTransport>(endpoint);
    }
    error = UnknownDevice(device);
    return nullptr;
}

}  // namespace korvel
