// What must hold for the shared record at every moment, whatever the
// instrument sends: every value finite, sweep VSWR within 1..10 and the Smith
// VSWR within 1..20 (0 marks a sweep point never measured).
#pragma once

#include <string>

#include "core/measurement_state.h"

namespace korvel::testing {

// Empty when every value is sound, else the first offending field.
std::string CheckMeasurementState(const MeasurementState& state);

}  // namespace korvel::testing
