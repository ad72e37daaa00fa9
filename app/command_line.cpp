#include "command_line.h"

namespace korvel {

namespace {

bool ValidDevice(const std::string& device) {
    if (device == "sim") {
        return true;
    }
    if (device.rfind("unix:", 0) == 0) {
        return device.size() > 5;
    }
    if (device.rfind("tcp:", 0) == 0) {
        const std::string rest = device.substr(4);
        const auto colon = rest.rfind(':');
        return colon != std::string::npos && colon > 0 && colon + 1 < rest.size();
    }
    return false;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    bool deviceGiven = false;
    const auto setDevice = [&](const std::string& device, const std::string& option) {
        if (deviceGiven && result.device != device) {
            result.error = "conflicting instrument choices (" + option + ")";
            return;
        }
        if (!ValidDevice(device)) {
            result.error = "unknown device '" + device + "' (use sim, unix:PATH or tcp:HOST:PORT)";
            return;
        }
        deviceGiven = true;
        result.device = device;
    };
    for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.help = true;
        } else if (arg == "--simulate") {
            setDevice("sim", arg);
        } else if (arg == "--enable-calibration") {
            result.enableCalibration = true;
        } else if (arg == "--device") {
            if (i + 1 >= args.size()) {
                result.error = "--device needs a value (sim, unix:PATH or tcp:HOST:PORT)";
            } else {
                setDevice(args[++i], arg);
            }
        } else if (arg.rfind("--device=", 0) == 0) {
            setDevice(arg.substr(9), "--device");
        } else {
            result.error = "unknown argument '" + arg + "'";
        }
    }
    return result;
}

std::string UsageText() {
    return "Usage: korvel [options]\n"
           "Front-end for the KDX7720C HF antenna analyzer.\n"
           "\n"
           "Options:\n"
           "  --simulate              use the built-in simulated instrument (same as --device "
           "sim)\n"
           "  --device sim            the built-in simulated instrument\n"
           "  --device unix:PATH      an instrument process on the Unix socket PATH\n"
           "  --device tcp:HOST:PORT  an instrument process at HOST:PORT\n"
           "  --enable-calibration    enable \"Zo Calebration\" and \"Pin Calebration\" (only "
           "with\n"
           "                          a 50 ohm reference load and a calibrated signal source)\n"
           "  -h, --help              show this text\n"
           "\n"
           "Without --device the platform's own instrument layer is used.\n";
}

}  // namespace korvel
