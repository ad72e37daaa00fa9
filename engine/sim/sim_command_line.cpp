#include "sim_command_line.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace korvel {

namespace {

struct BenchName {
    const char* name;
    SimBench bench;
};

constexpr BenchName kBenches[] = {
    {"antenna", SimBench::Antenna},        {"through", SimBench::ThroughCable},
    {"load", SimBench::DummyLoad},         {"open", SimBench::OpenPort},
    {"source-0dbm", SimBench::Source0dBm}, {"source-20dbm", SimBench::SourceMinus20dBm},
};

template <typename T>
bool ParseWhole(const std::string& s, T min, T max, T& out) {
    T v{};
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, v);
    if (s.empty() || ec != std::errc() || ptr != end || v < min || v > max) {
        return false;
    }
    out = v;
    return true;
}

}  // namespace

bool ParseSimBench(const std::string& name, SimBench& bench) {
    for (const BenchName& b : kBenches) {
        if (name == b.name) {
            bench = b.bench;
            return true;
        }
    }
    return false;
}

std::string SimUsage() {
    return "usage: korvel-sim --listen unix:PATH|tcp:HOST:PORT [options]\n"
           "  --seed N              noise seed (default 1)\n"
           "  --noise X             noise scale, 0 for none (default 1)\n"
           "  --bench NAME          antenna, through, load, open, source-0dbm, source-20dbm\n"
           "  --fault FAULT         KIND[=VALUE][,after=N][,count=N|forever][,every=N]; kinds:\n"
           "                        length=N, timeout, late=MS, zero-ref, all-zero, all-ones,\n"
           "                        garbage[=N], frame-65535, truncated=N (repeatable)\n"
           "  --unplug-after N      unplug after N replies\n"
           "  --replug-after MS     stay unplugged MS ms, -1 for good (default 2000)\n"
           "  --help\n";
}

bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& out,
                         std::string& error) {
    SimCommandLine c;
    bool haveListen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            c.help = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a.rfind("--", 0) == 0 ? "Option " + a + " needs a value."
                                          : "Unexpected argument \"" + a + "\".";
            return false;
        }
        const std::string& v = args[++i];
        if (a == "--listen") {
            if (!ParseStreamEndpoint(v, c.listen, error)) {
                return false;
            }
            haveListen = true;
        } else if (a == "--seed") {
            if (!ParseWhole<uint32_t>(v, 0, std::numeric_limits<uint32_t>::max(), c.seed)) {
                error = "--seed needs a whole number from 0 to 4294967295.";
                return false;
            }
        } else if (a == "--noise") {
            char* end = nullptr;
            const double x = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(x) || x < 0 || x > 1000) {
                error = "--noise needs a number from 0 to 1000.";
                return false;
            }
            c.noiseScale = x;
        } else if (a == "--bench") {
            if (!ParseSimBench(v, c.bench)) {
                error = "Unknown bench \"" + v +
                        "\": use antenna, through, load, open, source-0dbm or source-20dbm.";
                return false;
            }
        } else if (a == "--fault") {
            SimFault f;
            if (!ParseSimFault(v, f, error)) {
                return false;
            }
            c.faults.push_back(f);
        } else if (a == "--unplug-after") {
            if (!ParseWhole<uint64_t>(v, 1, std::numeric_limits<uint64_t>::max(),
                                      c.server.unplugAfterReplies)) {
                error = "--unplug-after needs a whole number of replies, at least 1.";
                return false;
            }
        } else if (a == "--replug-after") {
            if (!ParseWhole<int>(v, -1, 24 * 3600 * 1000, c.server.replugAfterMs)) {
                error = "--replug-after needs milliseconds from -1 to 86400000.";
                return false;
            }
        } else {
            error = "Unknown option \"" + a + "\".";
            return false;
        }
    }
    if (!haveListen && !c.help) {
        error = "--listen unix:PATH or --listen tcp:HOST:PORT is required.";
        return false;
    }
    out = c;
    return true;
}

}  // namespace korvel
