// What the worker's procedures share while they run on the worker thread: the
// device link, the shared record, the window, the clock for every pause and
// the stop signal that cuts the pauses short.
#pragma once

#include "clock.h"
#include "device_link.h"
#include "measurement_state.h"
#include "worker_window.h"

namespace korvel {

struct WorkerContext {
    DeviceLink& link;
    MeasurementState& state;
    WorkerWindow& window;
    Clock& clock;
    StopSignal& stop;

    // Time the clock overslept in earlier pauses (the system's wake-up
    // latency), paid back from the next ones.
    Milliseconds lag{0};
    static constexpr Milliseconds kMaxLag{100};

    // Pauses for d; false when the worker is stopping. Oversleeping is carried
    // into later pauses, each shortened by at most a tenth, so a pass keeps
    // the sum of its pauses on a busy system; on a virtual clock every pause
    // is exactly d.
    bool Sleep(Milliseconds d);
    bool Stopping() const { return stop.IsRaised(); }
    bool LinkUp() const { return state.linkUp.load(kRelaxed) == 1; }
};

}  // namespace korvel
