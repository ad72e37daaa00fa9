#include "command_line.h"

#include <memory>

#include "program_options.h"

namespace korvel {

namespace {

constexpr const char* kName = "korvel";
constexpr const char* kAbout = "Front-end for the KDX7720C HF antenna analyzer.";

}  // namespace

void DeclareCommandLine(ProgramOptions& app, CommandLine& out) {
    // --simulate and --device may both be given only if they agree.
    auto deviceGiven = std::make_shared<bool>(false);
    const auto setDevice = [&out, deviceGiven](const std::string& device) {
        if (*deviceGiven && out.device.text != device) {
            return std::string("conflicting instrument choices");
        }
        if (device.empty()) {
            return std::string("needs ") + kDeviceForms;
        }
        std::string error;
        if (!ParseDeviceChoice(device, out.device, error, ReplayFile::kLater)) {
            return error;
        }
        *deviceGiven = true;
        return std::string();
    };
    AddSwitch(app, "--simulate", "use the built-in simulated instrument (same as --device sim)",
              [setDevice] { return setDevice(kSimDevice); });
    AddValueOption(app, "--device", "DEVICE", kDeviceFormsHelp, setDevice);
    AddValueOption(app, "--record", "FILE",
                   "write every exchange with the instrument to FILE (JSON Lines)",
                   [&out](const std::string& path) {
                       if (path.empty()) {
                           return std::string("needs a file name");
                       }
                       out.recordPath = path;
                       return std::string();
                   });
    AddSwitch(app, "--enable-calibration",
              "enable \"Zo Calebration\" and \"Pin Calebration\" (only with\n"
              "a 50 ohm reference load and a calibrated signal source)",
              out.enableCalibration);
    AddSwitch(app, "-h,--help", "show this text", out.help);
    app.Footer("Without --device the platform's own instrument layer (usb) is used.");
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ProgramOptions app{kAbout, kName};
    CommandLine result;
    DeclareCommandLine(app, result);
    result.error = ParseOptions(app, args);
    return result;
}

std::string UsageText() {
    ProgramOptions app{kAbout, kName};
    CommandLine unused;
    DeclareCommandLine(app, unused);
    return app.Help();
}

}  // namespace korvel
