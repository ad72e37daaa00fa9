// Round trip of one detector read through korvel-bridge's server against the
// same exchange straight to the in-process simulated instrument: the client
// is korvel's own stream transport, over loopback TCP and over a Unix socket.
// Each case reports the median and 99th percentile of single exchanges in µs;
// the bridge's overhead is the difference to the direct case.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_server.h"
#include "bridge/instrument_thread.h"
#include "clock.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"
#include "stream/stream_transport.h"

namespace korvel {
namespace {

constexpr uint8_t kRead[korvel::kReadDetectorsLength] = {korvel::kCommandLead,
                                                         korvel::kReadDetectorsCommand, 0x00, 0x03};
constexpr int kExchanges = 20000;

// One exchange, timed; false when the reply did not come.
bool TimedExchange(DeviceTransport& transport, std::vector<double>& micros) {
    uint8_t reply[64];
    const auto start = std::chrono::steady_clock::now();
    const bool ok = transport.WriteBlock(kRead, 4) == 4 && transport.ReadBlock(reply, 64) == 18;
    const auto end = std::chrono::steady_clock::now();
    micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    return ok;
}

void Report(benchmark::State& state, std::vector<double>& micros) {
    std::sort(micros.begin(), micros.end());
    if (micros.empty()) {
        return;
    }
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

void Direct(benchmark::State& state) {
    SimTransport transport(std::make_shared<SimInstrument>());
    transport.OpenDevice();
    std::vector<double> micros;
    micros.reserve(kExchanges);
    for (auto _ : state) {
        if (!TimedExchange(transport, micros)) {
            state.SkipWithError("no reply");
            return;
        }
    }
    Report(state, micros);
}

// The bridge served on its own thread before the simulated instrument.
class ServedBridge {
  public:
    explicit ServedBridge(const StreamEndpoint& endpoint)
        : instrument_(std::make_unique<SimTransport>(std::make_shared<SimInstrument>()), clock_,
                      Milliseconds(100)),
          server_(
              instrument_, {}, [](const std::string&) {}, [](const std::string&) {}) {
        std::string error;
        listening_ = server_.Listen(endpoint, error);
        if (listening_) {
            serving_ = std::thread([this] { server_.Serve(); });
        }
    }
    ~ServedBridge() {
        server_.Stop();
        if (serving_.joinable()) {
            serving_.join();
        }
    }
    bool Listening() const { return listening_; }
    const StreamEndpoint& Endpoint() const { return server_.BoundEndpoint(); }

  private:
    SteadyClock clock_;
    bridge::InstrumentThread instrument_;
    bridge::BridgeServer server_;
    bool listening_ = false;
    std::thread serving_;
};

void ThroughBridge(benchmark::State& state, const StreamEndpoint& endpoint) {
    ServedBridge bridge(endpoint);
    if (!bridge.Listening()) {
        state.SkipWithError("cannot listen");
        return;
    }
    StreamTransport client(bridge.Endpoint());
    // The bridge listens once it has found the instrument.
    for (int i = 0; i < 200 && !client.OpenDevice(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::vector<double> micros;
    micros.reserve(kExchanges);
    for (auto _ : state) {
        if (!TimedExchange(client, micros)) {
            state.SkipWithError("no reply");
            return;
        }
    }
    Report(state, micros);
}

void BridgeTcp(benchmark::State& state) {
    StreamEndpoint endpoint;
    endpoint.kind = StreamEndpoint::Kind::Tcp;
    endpoint.host = "127.0.0.1";
    endpoint.port = 0;  // any free port
    ThroughBridge(state, endpoint);
}

void BridgeUnix(benchmark::State& state) {
    StreamEndpoint endpoint;
    endpoint.kind = StreamEndpoint::Kind::Unix;
    endpoint.path = "/tmp/korvel-bridge-bench-" + std::to_string(::getpid()) + ".sock";
    ThroughBridge(state, endpoint);
}

BENCHMARK(Direct)->Iterations(kExchanges)->Unit(benchmark::kMicrosecond);
BENCHMARK(BridgeTcp)->Iterations(kExchanges)->Unit(benchmark::kMicrosecond);
BENCHMARK(BridgeUnix)->Iterations(kExchanges)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvel

BENCHMARK_MAIN();
