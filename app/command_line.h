// The korvel executable's arguments.
#pragma once

#include <string>
#include <vector>

#include "device_choice.h"

namespace korvel {
class ProgramOptions;
}  // namespace korvel

namespace korvel {

struct CommandLine {
    // Instrument: text "" for the platform's own instrument layer. A
    // recording to replay is read when the window starts: a bad one is shown
    // there, not refused here.
    DeviceChoice device;
    std::string recordPath;  // not empty: record the instrument's traffic there
    bool enableCalibration = false;
    bool help = false;
    std::string error;  // not empty: the arguments were refused
};

inline constexpr int kExitUsage = 64;  // bad arguments

// Declares every option of korvel, each storing into `out`.
void DeclareCommandLine(ProgramOptions& app, CommandLine& out);

// args excludes the program name. Options the window system reads (such as
// -platform or -display) are left to it and not seen here.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The parser's help text.
std::string UsageText();

}  // namespace korvel
