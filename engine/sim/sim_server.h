// Serves a simulated instrument on a stream endpoint, one connection at a
// time, the way korvel-sim runs it: each command frame in gives the
// instrument's reply frame out, with the instrument's faults acted out on
// the wire (late, cut or missing frames) and an optional unplug.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "sim_instrument.h"
#include "stream/stream_endpoint.h"

namespace korvel {

struct SimServerOptions {
    // After this many replies the instrument is unplugged: the connection and
    // the listener close (0: never).
    uint64_t unplugAfterReplies = 0;
    // How long it stays unplugged before listening again, ms (< 0: for good).
    int replugAfterMs = 2000;
};

class SimServer {
  public:
    SimServer(std::shared_ptr<SimInstrument> instrument, SimServerOptions options = {});
    ~SimServer();

    // Binds the endpoint; false with a message in `error`.
    bool Listen(const StreamEndpoint& endpoint, std::string& error);
    // The endpoint as bound (a TCP port of 0 becomes the real port).
    const StreamEndpoint& BoundEndpoint() const;
    // Serves until Stop(); returns at once when not listening.
    void Serve();
    // From any thread (not from a signal handler). Stopping is for good.
    void Stop();

    uint64_t Replies() const { return replies_.load(std::memory_order_relaxed); }
    uint64_t Connections() const { return connections_.load(std::memory_order_relaxed); }

  private:
    // The sockets and timers, kept out of this header.
    struct Wire;

    void Accept();
    void Read();
    // Answers the frames received so far, then reads on.
    void AnswerFrames();
    void SendReply(const SimReply& reply, uint64_t replyNumber);
    void EndConnection();
    // The unplug: closes everything, waits, and listens again.
    void Unplug();

    std::shared_ptr<SimInstrument> instrument_;
    SimServerOptions options_;
    std::unique_ptr<Wire> wire_;
    bool unplugDue_ = false;
    std::atomic<uint64_t> replies_{0};
    std::atomic<uint64_t> connections_{0};
};

}  // namespace korvel
