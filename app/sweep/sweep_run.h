// korvel-sweep's engine run: the real sweep worker with the continuous scan
// requested, until N whole passes have ended or no instrument has been
// connected for the time-out.
#pragma once

#include <ostream>

#include "clock.h"
#include "device_transport.h"
#include "sweep_options.h"

namespace korvel::sweep {

// Prints the results to `out` (or writes them to the --output file) and
// returns kExitOk, or returns kExitNoInstrument (or kExitOutputFailed) with a
// message on `err`. The time-out is measured on
// `clock`, so a virtual clock makes it virtual too.
int RunSweep(const SweepOptions& options, DeviceTransport& transport, Clock& clock,
             std::ostream& out, std::ostream& err);

}  // namespace korvel::sweep
