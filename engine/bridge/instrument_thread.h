// The bridge's instrument side: one thread that alone calls the instrument,
// so that its blocking transfers (up to the transfer time-out each) never
// hold up the sockets, the idle time-out or a stop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "clock.h"
#include "device_transport.h"

namespace korvel::bridge {

// What one command brought back from the instrument.
struct Exchange {
    // The reply, whole; empty when the transfer failed (nothing written, no
    // reply in time, or the instrument gone).
    std::vector<uint8_t> reply;
    // After a failure: the instrument was closed and opened again.
    bool ready = true;
};

class InstrumentThread {
  public:
    using Task = std::function<void()>;

    // `pollPause`: how long to wait between looks for a missing instrument,
    // on `clock`.
    InstrumentThread(std::unique_ptr<DeviceTransport> transport, Clock& clock,
                     Milliseconds pollPause);
    ~InstrumentThread();
    InstrumentThread(const InstrumentThread&) = delete;
    InstrumentThread& operator=(const InstrumentThread&) = delete;

    // Runs `task` on the instrument thread after the tasks before it.
    void Post(Task task);
    // From any thread: cuts a transfer or a pause short, drops the tasks not
    // started, ends the thread and closes the instrument. For good.
    void Stop();

    // On the instrument thread only (inside a task):
    // Opens the instrument unless it is open; false when it is not there.
    bool EnsureOpen();
    // Sends one command and reads its reply. A failure closes the instrument
    // and looks for it again at once.
    Exchange Transfer(const std::vector<uint8_t>& command);
    // Looks for the instrument until it opens (true) or Stop() (false).
    bool WaitUntilOpen();

  private:
    // The tasks' queue: an Asio context run by the thread alone.
    struct Queue;

    std::unique_ptr<DeviceTransport> transport_;
    Clock& clock_;
    Milliseconds pollPause_;
    StopSignal stop_;
    std::unique_ptr<Queue> queue_;
    std::thread thread_;
};

}  // namespace korvel::bridge
