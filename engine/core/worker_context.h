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

    // Pauses for d; false when the worker is stopping. A pause is never
    // shortened: it is the instrument's settling time after a tuning.
    bool Sleep(Milliseconds d);
    bool Stopping() const { return stop.IsRaised(); }
    bool LinkUp() const { return state.linkUp.load(kRelaxed) == 1; }
};

}  // namespace korvel
