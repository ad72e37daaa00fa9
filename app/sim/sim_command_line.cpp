#include "sim_command_line.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "program_options.h"
#include "sim/touchstone_bench.h"

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

constexpr const char* kName = "korvel-sim";
constexpr const char* kAbout = "The simulated KDX7720C instrument, served on a socket.";

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

// A bench name, or else a path: a name that looks like neither gets the list
// of names rather than a complaint about a missing file.
std::string ParseBenchOption(const std::string& v, SimCommandLine& c) {
    if (ParseSimBench(v, c.bench)) {
        c.touchstone.reset();
        c.touchstoneNotice.clear();
        return {};
    }
    if (sim::TouchstonePortsOfName(v) == 0 && v.find('/') == std::string::npos &&
        v.find('\\') == std::string::npos) {
        return "Unknown bench \"" + v +
               "\": use antenna, through, load, open, source-0dbm, source-20dbm or a "
               "Touchstone file (.s1p, .s2p).";
    }
    auto file = std::make_shared<sim::TouchstoneData>();
    std::string error;
    if (!sim::ReadTouchstoneFile(v, *file, error)) {
        return error;
    }
    c.bench = SimBench::TouchstoneFile;
    c.touchstoneNotice = sim::TouchstoneRangeNotice(v, *file);
    c.touchstone = std::move(file);
    return {};
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

void DeclareSimOptions(ProgramOptions& app, SimCommandLine& c) {
    AddValueOption(app, "--listen", "ENDPOINT",
                   "where to serve: unix:PATH or tcp:HOST:PORT (required)",
                   [&c](const std::string& v) {
                       std::string error;
                       return ParseStreamEndpoint(v, c.listen, error) ? "" : error;
                   });
    AddValueOption(app, "--seed", "N", "noise seed (default 1)", [&c](const std::string& v) {
        return ParseWhole<uint32_t>(v, 0, std::numeric_limits<uint32_t>::max(), c.seed)
                   ? ""
                   : "needs a whole number from 0 to 4294967295.";
    });
    AddValueOption(app, "--noise", "X", "noise scale, 0 for none (default 1)",
                   [&c](const std::string& v) {
                       char* end = nullptr;
                       const double x = std::strtod(v.c_str(), &end);
                       if (v.empty() || *end != '\0' || !std::isfinite(x) || x < 0 || x > 1000) {
                           return "needs a number from 0 to 1000.";
                       }
                       c.noiseScale = x;
                       return "";
                   });
    AddValueOption(app, "--bench", "NAME|FILE",
                   "antenna, through, load, open, source-0dbm, source-20dbm (default\n"
                   "antenna), or a Touchstone file (.s1p load, .s2p two-port)",
                   [&c](const std::string& v) { return ParseBenchOption(v, c); });
    AddValueOption(app, "--fault", "FAULT",
                   "KIND[=VALUE][,after=N][,count=N|forever][,every=N]; kinds:\n"
                   "length=N, timeout, late=MS, zero-ref, all-zero, all-ones,\n"
                   "garbage[=N], frame-65535, truncated=N (repeatable)",
                   [&c](const std::string& v) {
                       SimFault f;
                       std::string error;
                       if (!ParseSimFault(v, f, error)) {
                           return error;
                       }
                       c.faults.push_back(f);
                       return std::string();
                   });
    AddValueOption(app, "--unplug-after", "N", "unplug after N replies",
                   [&c](const std::string& v) {
                       return ParseWhole<uint64_t>(v, 1, std::numeric_limits<uint64_t>::max(),
                                                   c.server.unplugAfterReplies)
                                  ? ""
                                  : "needs a whole number of replies, at least 1.";
                   });
    AddValueOption(app, "--replug-after", "MS", "stay unplugged MS ms, -1 for good (default 2000)",
                   [&c](const std::string& v) {
                       return ParseWhole<int>(v, -1, 24 * 3600 * 1000, c.server.replugAfterMs)
                                  ? ""
                                  : "needs milliseconds from -1 to 86400000.";
                   });
    AddSwitch(app, "-h,--help", "show this text", c.help);
}

std::string SimUsage() {
    ProgramOptions app{kAbout, kName};
    SimCommandLine unused;
    DeclareSimOptions(app, unused);
    return app.Help();
}

bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& out,
                         std::string& error) {
    ProgramOptions app{kAbout, kName};
    SimCommandLine c;
    DeclareSimOptions(app, c);
    error = ParseOptions(app, args);
    if (!error.empty()) {
        return false;
    }
    if (!app.Given("--listen") && !c.help) {
        error = "--listen unix:PATH or --listen tcp:HOST:PORT is required.";
        return false;
    }
    out = c;
    return true;
}

}  // namespace korvel
