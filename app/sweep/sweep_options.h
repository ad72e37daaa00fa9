// Command line of korvel-sweep. The settings are validated like the main
// dialog's edits and start from the dialog's construction values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device_choice.h"

namespace korvel {
class ProgramOptions;
}  // namespace korvel

namespace korvel::sweep {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoInstrument = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitOutputFailed = 74;

enum class OutputFormat { Csv, Json, S1p };

struct SweepRange {
    float startMHz;
    float stopMHz;
};

struct SweepOptions {
    DeviceChoice device;     // text "" = the platform's own instrument layer
    std::string recordPath;  // not empty: record the instrument's traffic there
    uint32_t smithKHz = 14270;
    double cableM = 0.0;
    SweepRange ranges[3] = {{6.1f, 7.9f}, {13.1f, 14.9f}, {20.1f, 21.9f}};
    bool enabled[3] = {true, true, true};
    int passes = 1;
    OutputFormat format = OutputFormat::Csv;
    std::string outputPath;  // not empty: write the results there (atomically), not to stdout
    bool summary = false;    // add each range's lowest VSWR and 2:1 band
    int onlyRange = 0;       // 1..3: write only this range (s1p needs one); 0: all enabled
    bool cablePort = false;  // impedance columns carried to the cable's far end
    double timeoutS = 10.0;
    bool help = false;
    // Instead of measuring: list the USB devices that could be the
    // instrument, or print the udev rule for them (for `udevRuleIds`, a USB
    // device string, when given).
    bool listDevices = false;
    bool udevRule = false;
    std::string udevRuleIds;
};

struct ParseResult {
    std::optional<SweepOptions> options;  // empty on error
    std::string error;                    // what was wrong, for the user
};

// Declares every option of korvel-sweep, each storing into `out`.
void DeclareSweepOptions(ProgramOptions& app, SweepOptions& out);

ParseResult ParseSweepOptions(const std::vector<std::string>& args);

// The parser's help text.
std::string SweepUsage();

}  // namespace korvel::sweep
