// The arguments of korvel-bridge, which serves an instrument on a socket.
#pragma once

#include <string>
#include <vector>

#include "device_choice.h"
#include "stream/stream_endpoint.h"

namespace korvel {
class ProgramOptions;
}  // namespace korvel

namespace korvel::bridge {

struct BridgeCommandLine {
    bool help = false;
    // Any device; text "" is the platform's own instrument layer.
    DeviceChoice device;
    StreamEndpoint listen;
    bool allowRemote = false;
    bool allowCalibrationWrites = false;
    std::string recordPath;  // "": no recording
};

// Declares every option of korvel-bridge, each storing into `out`.
void DeclareBridgeOptions(ProgramOptions& app, BridgeCommandLine& out);

// Parses the arguments after the program name; false with a message in
// `error`. --listen is required unless --help is given, and must be a place
// only this machine reaches unless --allow-remote is given.
bool ParseBridgeCommandLine(const std::vector<std::string>& args, BridgeCommandLine& out,
                            std::string& error);

std::string BridgeUsage();

}  // namespace korvel::bridge
