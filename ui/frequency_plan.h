// A sweep range as the charts carry it: 200 points, start and step in whole
// hertz. Computed from the dialog's single-precision MHz members.
#pragma once

#include <cstdint>

#include "core/sweep_plan.h"

namespace korvel {

struct FrequencyPlan {
    uint32_t startHz = 0;
    uint32_t stepHz = 0;
};

// start = trunc(startMHz * 1e6 + 0.5), step = trunc((stop - start) * 1e6 / 200 + 0.5),
// in extended precision, each kept as the low 32 bits of the 64-bit result (a
// stop below its start gives the two's-complement pattern of a negative step).
// Defined for every input: NaN gives 0, values beyond 64 bits saturate.
FrequencyPlan ComputeFrequencyPlan(float startMHz, float stopMHz);

// The low 32 bits of trunc(x), defined for every x.
uint32_t TruncToLow32(long double x);

}  // namespace korvel
