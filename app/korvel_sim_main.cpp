// korvel-sim: the simulated instrument served on a socket, so the program
// (or a test) can reach it through the stream transport.
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_command_line.h"
#include "sim/sim_instrument.h"
#include "sim/sim_server.h"

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
    // Taken before the socket appears: a SIGINT or SIGTERM right after it
    // must not end the program without its cleanup.
    // SIGINT and SIGTERM stop the server (which removes its socket file) and
    // end the program normally. Asio takes the signal in its own handler and
    // calls ours on the signal thread, where stopping the server is safe.
    asio::io_context signalIo;
    asio::signal_set stopSignals(signalIo, SIGINT, SIGTERM);
    stopSignals.async_wait([&server](const std::error_code& e, int) {
        if (!e) {
            server.Stop();
        }
    });
    std::thread signalThread([&signalIo] { signalIo.run(); });
    if (!server.Listen(options.listen, error)) {
        std::fprintf(stderr, "korvel-sim: cannot listen on %s: %s\n",
                     options.listen.ToString().c_str(), error.c_str());
        signalIo.stop();
        signalThread.join();
        return 1;
    }
    std::printf("korvel-sim: listening on %s\n", server.BoundEndpoint().ToString().c_str());
    std::fflush(stdout);
    server.Serve();
    signalIo.stop();
    signalThread.join();
    return 0;
}
