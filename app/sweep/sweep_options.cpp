#include "sweep_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace korvel::sweep {
namespace {

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

std::string SweepUsage() {
    return "usage: korvel-sweep [--device sim|unix:PATH|tcp:HOST:PORT] [--smith KHZ] [--cable M]\n"
           "                    [--range1 START:STOP] [--range2 START:STOP] "
           "[--range3 START:STOP]\n"
           "                    [--disable 1|2|3]... [--passes N] [--format csv|json] "
           "[--timeout S]\n"
           "Runs N whole scan passes with the Smith point and prints the results.\n"
           "  --device   instrument: sim (built-in simulator), unix:PATH, tcp:HOST:PORT;\n"
           "             default: the platform's own instrument layer\n"
           "  --smith    Smith frequency, 1000 to 50000 kHz (default 14270)\n"
           "  --cable    50 ohm cable length, 0 to 1000 m (default 0)\n"
           "  --rangeN   sweep range N in MHz, each limit 1 to 60 (defaults 6.1:7.9, "
           "13.1:14.9, 20.1:21.9)\n"
           "  --disable  leave range N out of the scan (range 3 also carries S21)\n"
           "  --passes   whole scan passes to wait for (default 1)\n"
           "  --format   csv (default) or json\n"
           "  --timeout  seconds without a working instrument link (connecting included)\n"
           "             before giving up (default 10)\n"
           "Exit status: 0 done, 2 no instrument, 64 invalid arguments, 74 results not written.\n";
}

ParseResult ParseSweepOptions(const std::vector<std::string>& args) {
    SweepOptions o;
    ParseResult result;
    auto fail = [&result](const std::string& option, const std::string& why) {
        result.error = option + ": " + why;
        return result;
    };
    for (std::size_t k = 0; k < args.size(); ++k) {
        std::string name = args[k];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        if (name == "-h" || name == "--help") {
            o.help = true;
            continue;
        }
        static const char* const kWithValue[] = {"--device", "--smith",  "--cable",   "--range1",
                                                 "--range2", "--range3", "--disable", "--passes",
                                                 "--format", "--timeout"};
        bool known = false;
        for (const char* n : kWithValue)
            known = known || name == n;
        if (!known)
            return fail(name, "unknown option");
        if (!hasValue) {
            if (k + 1 >= args.size())
                return fail(name, "missing value");
            value = args[++k];
        }

        std::string why;
        if (name == "--device") {
            o.device = value;
        } else if (name == "--smith") {
            uint32_t v = 0;
            if (!ParseUnsigned(value, v))
                return fail(name, "Enter a positive integer.");
            if (v < 1000 || v > 50000)
                return fail(name, Between("1000", "50000", true));
            o.smithKHz = v;
        } else if (name == "--cable") {
            double v = 0;
            if (!ParseNumber(value, v))
                return fail(name, "Enter a number.");
            if (!(v >= 0.0 && v <= 1000.0))
                return fail(name, Between("0", "1000", false));
            o.cableM = v;
        } else if (name.rfind("--range", 0) == 0) {
            const int n = name.back() - '1';
            if (!ParseRange(value, o.ranges[n], why))
                return fail(name, why);
        } else if (name == "--disable") {
            if (value != "1" && value != "2" && value != "3")
                return fail(name, "expected 1, 2 or 3");
            o.enabled[value[0] - '1'] = false;
        } else if (name == "--passes") {
            uint32_t v = 0;
            if (!ParseUnsigned(value, v) || v < 1 || v > kMaxPasses) {
                return fail(name, "expected a whole number from 1 to 1000000");
            }
            o.passes = static_cast<int>(v);
        } else if (name == "--format") {
            if (value == "csv") {
                o.format = OutputFormat::Csv;
            } else if (value == "json") {
                o.format = OutputFormat::Json;
            } else {
                return fail(name, "expected csv or json");
            }
        } else if (name == "--timeout") {
            double v = 0;
            if (!ParseNumber(value, v) || !(v > 0.0 && v <= kMaxTimeoutS)) {
                return fail(name, "expected seconds, more than 0 and at most 86400");
            }
            o.timeoutS = v;
        }
    }
    result.options = o;
    return result;
}

}  // namespace korvel::sweep
