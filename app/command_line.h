// The korvel executable's arguments.
#pragma once

#include <string>
#include <vector>

namespace korvel {
class ProgramOptions;
}  // namespace korvel

namespace korvel {

struct CommandLine {
    // Instrument: "" for the platform's own instrument layer, "sim" for the
    // built-in simulated instrument, "unix:PATH", "tcp:HOST:PORT" or
    // "replay:FILE" (the file is read when the window starts: a bad one is
    // shown there, not refused here).
    std::string device;
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
