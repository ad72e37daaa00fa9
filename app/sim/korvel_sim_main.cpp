// korvel-sim: the simulated instrument served on a socket, so the program
// (or a test) can reach it through the stream transport.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../stop_on_signal.h"

#include "sim/sim_instrument.h"
#include "sim/sim_server.h"
#include "sim_command_line.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    korvel::SimCommandLine options;
    std::string error;
    if (!korvel::ParseSimCommandLine(args, options, error)) {
        std::fprintf(stderr, "korvel-sim: %s\n%s", error.c_str(), korvel::SimUsage().c_str());
        return 64;
    }
    if (options.help) {
        std::fputs(korvel::SimUsage().c_str(), stdout);
        return 0;
    }
    auto instrument = std::make_shared<korvel::SimInstrument>(options.seed);
    instrument->SetBench(options.bench);
    if (options.touchstone) {
        instrument->SetTouchstone(options.touchstone);
    }
    if (!options.touchstoneNotice.empty()) {
        std::fprintf(stderr, "korvel-sim: %s\n", options.touchstoneNotice.c_str());
    }
    instrument->SetNoiseScale(options.noiseScale);
    for (const korvel::SimFault& fault : options.faults) {
        instrument->ArmFault(fault);
    }
    korvel::SimServer server(instrument, options.server);
    const korvel::StopOnSignal stopOnSignal([&server] { server.Stop(); });
    if (!server.Listen(options.listen, error)) {
        std::fprintf(stderr, "korvel-sim: cannot listen on %s: %s\n",
                     options.listen.ToString().c_str(), error.c_str());
        return 1;
    }
    std::printf("korvel-sim: listening on %s\n", server.BoundEndpoint().ToString().c_str());
    std::fflush(stdout);
    server.Serve();
    return 0;
}
