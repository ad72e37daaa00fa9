#include "analysis/range_impedance.h"

#include "sweep_worker.h"

namespace korvel {

RangeImpedance SettleRange(const ReflectionReadings& readings, int range, float startMHz,
                           float stopMHz) {
    RangeImpedance out;
    out.range = range;
    std::vector<PointReading> points(kReadingPoints);
    for (std::size_t i = 0; i < kReadingPoints; ++i) {
        out.freqMHz.push_back(SweepPointFreqMHz(startMHz, stopMHz, static_cast<int>(i)));
        points[i] = readings.Load(range, static_cast<int>(i));
    }
    out.trace = SettlePhaseSigns(points);
    return out;
}

}  // namespace korvel
