#include "sweep_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "device_choice.h"
#include "program_options.h"
#include "usb/usb_device_string.h"

namespace korvel::sweep {
namespace {

constexpr const char* kName = "korvel-sweep";
constexpr const char* kAbout =
    "Runs N whole scan passes with the Smith point and prints the results:\n"
    "a header, then every point of each enabled range with its VSWR, return\n"
    "loss, reflection magnitude, mismatch loss (and S21 for range 3).";
constexpr int kMaxPasses = 1000000;
constexpr double kMaxTimeoutS = 86400.0;

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// A whole decimal number (no "inf" or "nan" words, nothing after it).
bool ParseNumber(const std::string& text, double& out) {
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    for (char c : t) {
        if (std::string("0123456789+-.eE").find(c) == std::string::npos)
            return false;
    }
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

// An unsigned decimal integer that fits 32 bits; no sign allowed.
bool ParseUnsigned(const std::string& text, uint32_t& out) {
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

std::string Between(const char* lo, const char* hi, bool integer) {
    return std::string(integer ? "Enter an integer between " : "Enter a number between ") + lo +
           " and " + hi + ".";
}

bool ParseMHz(const std::string& text, float& out, std::string& error) {
    double v = 0;
    if (!ParseNumber(text, v)) {
        error = "Enter a number.";
        return false;
    }
    // The dialog keeps the value in single precision and checks that.
    const float f = static_cast<float>(v);
    if (!(f >= 1.0f && f <= 60.0f)) {
        error = Between("1", "60", false);
        return false;
    }
    out = f;
    return true;
}

bool ParseRange(const std::string& text, SweepRange& out, std::string& error) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
        error = "expected START:STOP in MHz";
        return false;
    }
    return ParseMHz(text.substr(0, colon), out.startMHz, error) &&
           ParseMHz(text.substr(colon + 1), out.stopMHz, error);
}

}  // namespace

void DeclareSweepOptions(ProgramOptions& app, SweepOptions& o) {
    AddValueOption(
        app, "--device", "DEVICE",
        std::string(kDeviceFormsHelp) + "\ndefault: the platform's own instrument layer (usb)",
        [&o](const std::string& v) {
            std::string error;
            return ParseDeviceChoice(v, o.device, error) ? std::string() : error;
        });
    AddValueOption(app, "--record", "FILE",
                   "write every exchange with the instrument to FILE (JSON Lines);\n"
                   "--device replay:FILE plays it back",
                   [&o](const std::string& v) {
                       if (v.empty())
                           return "needs a file name";
                       o.recordPath = v;
                       return "";
                   });
    AddValueOption(app, "--smith", "KHZ", "Smith frequency, 1000 to 50000 kHz (default 14270)",
                   [&o](const std::string& v) {
                       uint32_t khz = 0;
                       if (!ParseUnsigned(v, khz))
                           return std::string("Enter a positive integer.");
                       if (khz < 1000 || khz > 50000)
                           return Between("1000", "50000", true);
                       o.smithKHz = khz;
                       return std::string();
                   });
    AddValueOption(app, "--cable", "M", "50 ohm cable length, 0 to 1000 m (default 0)",
                   [&o](const std::string& v) {
                       double m = 0;
                       if (!ParseNumber(v, m))
                           return std::string("Enter a number.");
                       if (!(m >= 0.0 && m <= 1000.0))
                           return Between("0", "1000", false);
                       o.cableM = m;
                       return std::string();
                   });
    for (int n = 0; n < 3; ++n) {
        char text[80];
        std::snprintf(text, sizeof text,
                      "sweep range %d in MHz, each limit 1 to 60 (default %g:%g)", n + 1,
                      o.ranges[n].startMHz, o.ranges[n].stopMHz);
        AddValueOption(app, "--range" + std::to_string(n + 1), "START:STOP", text,
                       [&o, n](const std::string& v) {
                           std::string why;
                           ParseRange(v, o.ranges[n], why);
                           return why;
                       });
    }
    AddValueOption(app, "--disable", "1|2|3",
                   "leave range N out of the scan (range 3 also carries S21); repeatable",
                   [&o](const std::string& v) {
                       if (v != "1" && v != "2" && v != "3")
                           return "expected 1, 2 or 3";
                       o.enabled[v[0] - '1'] = false;
                       return "";
                   });
    AddValueOption(app, "--passes", "N", "whole scan passes to wait for (default 1)",
                   [&o](const std::string& v) {
                       uint32_t passes = 0;
                       if (!ParseUnsigned(v, passes) || passes < 1 || passes > kMaxPasses)
                           return "expected a whole number from 1 to 1000000";
                       o.passes = static_cast<int>(passes);
                       return "";
                   });
    AddValueOption(app, "--format", "csv|json|s1p",
                   "csv (default; header lines start with #), json, or s1p (a\n"
                   "Touchstone file of one range's reflections, with --range); a point\n"
                   "never measured is an empty field or null",
                   [&o](const std::string& v) {
                       if (v == "csv") {
                           o.format = OutputFormat::Csv;
                       } else if (v == "json") {
                           o.format = OutputFormat::Json;
                       } else if (v == "s1p") {
                           o.format = OutputFormat::S1p;
                       } else {
                           return "expected csv, json or s1p";
                       }
                       return "";
                   });
    AddValueOption(app, "--range", "1|2|3", "write only this range (an enabled one)",
                   [&o](const std::string& v) {
                       if (v != "1" && v != "2" && v != "3")
                           return "expected 1, 2 or 3";
                       o.onlyRange = v[0] - '0';
                       return "";
                   });
    AddSwitch(app, "--cable-port",
              "give R, X and the reflection at the far end of the --cable length\n"
              "instead of at the instrument",
              o.cablePort);
    AddValueOption(app, "--output", "FILE",
                   "write the results to FILE instead of standard output; the file\n"
                   "is replaced whole or, on failure, left as it was",
                   [&o](const std::string& v) {
                       if (v.empty())
                           return "needs a file name";
                       o.outputPath = v;
                       return "";
                   });
    AddSwitch(app, "--summary",
              "add each range's lowest VSWR and its frequency, and where the VSWR\n"
              "crosses 2 on either side of it (the 2:1 bandwidth)",
              o.summary);
    AddValueOption(app, "--timeout", "S",
                   "seconds without a working instrument link (connecting included)\n"
                   "before giving up (default 10)",
                   [&o](const std::string& v) {
                       double seconds = 0;
                       if (!ParseNumber(v, seconds) || !(seconds > 0.0 && seconds <= kMaxTimeoutS))
                           return "expected seconds, more than 0 and at most 86400";
                       o.timeoutS = seconds;
                       return "";
                   });
#if !defined(_WIN32)
    AddSwitch(app, "--list-devices", "list the USB devices that could be the instrument",
              o.listDevices);
    AddOptionalValueOption(app, "--udev-rule", "usb:VVVV:PPPP",
                           "print a udev rule that lets the logged-in user open the\n"
                           "instruments plugged in (or the device with these IDs)",
                           [&o](const std::string& v) {
                               usb::UsbSelector ids;
                               std::string error;
                               if (!v.empty() && !usb::ParseUsbDeviceString(v, ids, error))
                                   return error;
                               o.udevRule = true;
                               o.udevRuleIds = v;
                               return std::string();
                           });
#endif
    AddSwitch(app, "-h,--help", "show this text", o.help);
    app.Footer(
        "Exit status: 0 done, 2 no instrument, 64 invalid arguments, 74 results not written.");
}

std::string SweepUsage() {
    ProgramOptions app{kAbout, kName};
    SweepOptions unused;
    DeclareSweepOptions(app, unused);
    return app.Help();
}

ParseResult ParseSweepOptions(const std::vector<std::string>& args) {
    ProgramOptions app{kAbout, kName};
    SweepOptions o;
    DeclareSweepOptions(app, o);
    ParseResult result;
    result.error = ParseOptions(app, args);
    if (result.error.empty() && o.format == OutputFormat::S1p && o.onlyRange == 0 && !o.help)
        result.error = "--format s1p: needs --range 1, 2 or 3 (one range per file)";
    if (result.error.empty() && o.onlyRange != 0 && !o.enabled[o.onlyRange - 1])
        result.error = "--range " + std::to_string(o.onlyRange) + ": that range is disabled";
    if (result.error.empty()) {
        result.options = o;
    }
    return result;
}

}  // namespace korvel::sweep
