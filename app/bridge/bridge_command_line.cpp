#include "bridge_command_line.h"

#include "bridge/listen_policy.h"
#include "device_choice.h"
#include "program_options.h"

namespace korvel::bridge {

namespace {

constexpr const char* kName = "korvel-bridge";
constexpr const char* kAbout =
    "Serves a local instrument on a socket, to one client at a time, for\n"
    "korvel --device unix:PATH or tcp:HOST:PORT.";

}  // namespace

void DeclareBridgeOptions(ProgramOptions& app, BridgeCommandLine& c) {
    AddValueOption(
        app, "--device", "DEVICE",
        std::string(kDeviceFormsHelp) + "\ndefault: the platform's own instrument layer (usb)",
        [&c](const std::string& v) {
            std::string error;
            return ParseDeviceChoice(v, c.device, error) ? std::string() : error;
        });
    AddValueOption(app, "--listen", "ENDPOINT",
                   "where to serve: unix:PATH (mode 0600) or tcp:HOST:PORT\n"
                   "on a loopback address (required)",
                   [&c](const std::string& v) {
                       std::string error;
                       return ParseStreamEndpoint(v, c.listen, error) ? "" : error;
                   });
    AddSwitch(app, "--allow-remote",
              "listen on any address (no authentication, no encryption:\n"
              "prefer an SSH tunnel)",
              c.allowRemote);
    AddSwitch(app, "--allow-calibration-writes",
              "forward calibration-page writes (refused by default)", c.allowCalibrationWrites);
    AddValueOption(app, "--record", "FILE",
                   "write every exchange with the instrument to FILE (JSON Lines);\n"
                   "--device replay:FILE plays it back",
                   [&c](const std::string& v) {
                       if (v.empty())
                           return "needs a file name";
                       c.recordPath = v;
                       return "";
                   });
    AddSwitch(app, "-h,--help", "show this text", c.help);
}

std::string BridgeUsage() {
    ProgramOptions app{kAbout, kName};
    BridgeCommandLine unused;
    DeclareBridgeOptions(app, unused);
    return app.Help();
}

bool ParseBridgeCommandLine(const std::vector<std::string>& args, BridgeCommandLine& out,
                            std::string& error) {
    ProgramOptions app{kAbout, kName};
    BridgeCommandLine c;
    DeclareBridgeOptions(app, c);
    error = ParseOptions(app, args);
    if (!error.empty()) {
        return false;
    }
    if (c.help) {
        out = c;
        return true;
    }
    if (!app.Given("--listen")) {
        error = "--listen unix:PATH or --listen tcp:HOST:PORT is required.";
        return false;
    }
    // Serving itself would only relay its own commands back to itself.
    if (c.device.kind == DeviceChoice::Kind::kStream &&
        ReachesListener(c.device.endpoint, c.listen)) {
        error = "--device and --listen name the same endpoint.";
        return false;
    }
    if (!c.allowRemote && !IsLocalOnly(c.listen, error)) {
        error = "--listen: " + error + ".";
        return false;
    }
    out = c;
    return true;
}

}  // namespace korvel::bridge
