#include "replay_device.h"

#include <cstring>

#include "replay_transport.h"
#include "traffic_reader.h"

namespace korvel {
namespace {

bool Load(const std::string& device, record::Recording& recording, std::string& error) {
    const std::string path = device.substr(std::strlen(kReplayPrefix));
    if (path.empty()) {
        error = "\"" + device + "\": replay needs a file: replay:FILE";
        return false;
    }
    return record::LoadRecording(path, recording, error);
}

}  // namespace

bool IsReplayDevice(const std::string& device) {
    return device.rfind(kReplayPrefix, 0) == 0;
}

bool CheckReplayDevice(const std::string& device, std::string& error) {
    record::Recording recording;
    return Load(device, recording, error);
}

std::unique_ptr<DeviceTransport> MakeReplayTransport(const std::string& device, std::string& error,
                                                     Clock* clock) {
    record::Recording recording;
    if (!Load(device, recording, error))
        return nullptr;
    return std::make_unique<ReplayTransport>(std::move(recording), clock);
}

}  // namespace korvel
