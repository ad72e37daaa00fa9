#include "analysis/range_impedance.h"

#include <cmath>

#include "core/sweep_plan.h"
#include "wire_protocol.h"

namespace korvel {

RangeImpedance SettleRange(const ReflectionReadings& readings, int range, float startMHz,
                           float stopMHz) {
    RangeImpedance out;
    out.range = range;
    std::vector<PointReading> points(kReadingPoints);
    for (std::size_t i = 0; i < kReadingPoints; ++i) {
        out.freqMHz.push_back(SweepPointFreqMHz(startMHz, stopMHz, static_cast<int>(i)));
        points[i] = readings.Load(range, static_cast<int>(i));
        // Read against the open-port record, a point shows that record, not
        // the load: it takes no part.
        if (CalibrationIndex(out.freqMHz.back()) == kOpenPortRecord)
            points[i] = PointReading{NAN, NAN, NAN, NAN};
    }
    out.trace = SettlePhaseSigns(points);
    return out;
}

}  // namespace korvel
