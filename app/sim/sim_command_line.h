// The arguments of korvel-sim, the simulated instrument served on a socket.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_bench.h"
#include "sim/sim_fault.h"
#include "sim/sim_server.h"
#include "sim/touchstone.h"
#include "stream/stream_endpoint.h"

namespace korvel {
class ProgramOptions;
}  // namespace korvel

namespace korvel {

struct SimCommandLine {
    bool help = false;
    StreamEndpoint listen;
    uint32_t seed = 1;
    double noiseScale = 1.0;
    SimBench bench = SimBench::Antenna;
    // --bench PATH: the Touchstone file (bench is then TouchstoneFile) and
    // the notice to print once about its range (empty when none is needed).
    std::shared_ptr<const sim::TouchstoneData> touchstone;
    std::string touchstoneNotice;
    std::vector<SimFault> faults;
    SimServerOptions server;
};

// Bench names: antenna, through, load, open, source-0dbm, source-20dbm.
// (--bench also takes a Touchstone file, which is not a bench name.)
bool ParseSimBench(const std::string& name, SimBench& bench);

// Declares every option of korvel-sim, each storing into `out`.
void DeclareSimOptions(ProgramOptions& app, SimCommandLine& out);

// Parses the arguments after the program name; false with a message in
// `error`. --listen is required unless --help is given.
bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& out,
                         std::string& error);

// The parser's help text.
std::string SimUsage();

}  // namespace korvel
