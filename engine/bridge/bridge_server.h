// Serves the instrument behind an InstrumentThread on a stream endpoint, to
// one client at a time: each command frame the client sends reaches the
// instrument as one write, each reply comes back as one frame, the same
// framing korvel-sim speaks. While there is no working instrument the bridge
// does not listen, so a client counts none, as with an unplugged instrument.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bridge/instrument_thread.h"
#include "stream/stream_endpoint.h"

namespace korvel::bridge {

struct BridgeOptions {
    // Forward calibration-page writes (refused, without a reply, otherwise).
    bool allowCalibrationWrites = false;
    // A client that sends no whole command for this long is closed.
    std::chrono::milliseconds idleTimeout{60000};
    // A client that leaves a frame unfinished for this long is closed.
    std::chrono::milliseconds frameTimeout{5000};
    // Refused clients after the first are logged as one count per period.
    std::chrono::milliseconds refusalLogPeriod{10000};
};

struct BridgeCounts {
    uint64_t clients = 0;         // sessions served
    uint64_t refusedClients = 0;  // arrived while another was served
    uint64_t replies = 0;         // replies passed to a client
    uint64_t refusedWrites = 0;   // calibration-page writes held back
    uint64_t refusedInputs = 0;   // connections closed for what they sent
    uint64_t idleClosed = 0;      // no whole command in time, or a frame left unfinished
};

class BridgeServer {
  public:
    using Log = std::function<void(const std::string& line)>;

    // `log` gets the lines for the operator (refusals, closes, the
    // instrument's comings and goings); `announce` gets "listening on
    // ENDPOINT" each time the bridge starts to listen. Both are called on the
    // thread inside Serve().
    BridgeServer(InstrumentThread& instrument, BridgeOptions options, Log log, Log announce);
    ~BridgeServer();
    BridgeServer(const BridgeServer&) = delete;
    BridgeServer& operator=(const BridgeServer&) = delete;

    // Binds the endpoint (a Unix socket owner-only); false with a message.
    bool Listen(const StreamEndpoint& endpoint, std::string& error);
    // The endpoint as bound (a TCP port of 0 becomes the real one).
    const StreamEndpoint& BoundEndpoint() const;
    // Serves until Stop(), then stops the instrument thread, closes the
    // client and the listener (removing a Unix socket file). False when it
    // ended because the endpoint could not be bound again.
    bool Serve();
    // From any thread (not a signal handler). For good.
    void Stop();

    BridgeCounts Counts() const;

  private:
    struct Wire;
    struct Session;
    using SessionPtr = std::shared_ptr<Session>;

    void Accept();
    void OnAccepted();
    void StartSession();
    void Read(const SessionPtr& s);
    void ArmIdle(const SessionPtr& s);
    // Starts the unfinished frame's clock unless it runs; stops it when no
    // frame is unfinished.
    void WatchFrame(const SessionPtr& s);
    void RefuseClient();
    // Logs the refused clients not logged yet, as one count.
    void LogRefusedCount();
    // Sends the client's next command to the instrument, unless one is out.
    void Dispatch(const SessionPtr& s);
    void OnExchanged(uint64_t sessionId, Exchange exchange);
    void EndSession();
    void InstrumentReady();
    void InstrumentMissing(const std::string& why);
    void OnInstrumentBack();

    InstrumentThread& instrument_;
    BridgeOptions options_;
    Log log_;
    Log announce_;
    std::unique_ptr<Wire> wire_;
    // The rest is used on the serving thread only.
    SessionPtr session_;
    uint64_t lastSessionId_ = 0;
    bool ready_ = false;
    bool relistenFailed_ = false;
    // Refusals since the last line about them; the period of quiet runs.
    uint64_t unloggedRefusals_ = 0;
    bool refusalPeriod_ = false;

    std::atomic<uint64_t> clients_{0};
    std::atomic<uint64_t> refusedClients_{0};
    std::atomic<uint64_t> replies_{0};
    std::atomic<uint64_t> refusedWrites_{0};
    std::atomic<uint64_t> refusedInputs_{0};
    std::atomic<uint64_t> idleClosed_{0};
};

}  // namespace korvel::bridge
