// The bridge served in process on a real Unix socket, in front of the
// simulated instrument, with its log kept for the test; and a raw client that
// sends whatever bytes a test gives it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_server.h"
#include "bridge/instrument_thread.h"
#include "sim/sim_instrument.h"
#include "stop_bound_clocks.h"
#include "stream/stream_transport.h"

namespace korvel::testing {

class BridgeRig {
  public:
    explicit BridgeRig(bridge::BridgeOptions options = {});
    ~BridgeRig();

    // Listens and serves; false when it did not announce itself in time.
    bool Start();
    std::string Path() const { return path_; }
    std::string Device() const { return "unix:" + path_; }
    SimInstrument& Instrument() { return *sim_; }
    bridge::BridgeServer& Server() { return server_; }
    // Every block that reached the instrument, well-formed or not.
    uint64_t InstrumentCommands() const;
    // Waits (bounded) for a log line containing `text`.
    bool WaitForLog(const std::string& text, int timeoutMs = 5000);
    std::string Log();
    // A client of the bridge as korvel has it.
    std::unique_ptr<StreamTransport> Client(int timeoutMs = 1000) const;

  private:
    void Note(const std::string& line);

    std::string path_;
    std::shared_ptr<SimInstrument> sim_;
    QuickClock clock_;
    bridge::InstrumentThread instrument_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string log_;  // guarded by mutex_
    bridge::BridgeServer server_;
    std::thread serving_;
};

// A client socket on a Unix path that sends raw bytes (POSIX calls).
class RawClient {
  public:
    explicit RawClient(const std::string& path);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Send(const std::vector<uint8_t>& bytes);
    // Tells the bridge nothing more will come.
    void FinishSending();
    // True when the bridge closed the connection within timeoutMs; what it
    // sent before goes to `received`.
    bool ClosedWithin(int timeoutMs, std::vector<uint8_t>* received = nullptr);

  private:
    int fd_ = -1;
};

}  // namespace korvel::testing
