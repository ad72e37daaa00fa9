#include "state_invariants.h"

#include <cmath>

namespace korvel::testing {

namespace {

template <typename T>
bool Finite(const std::atomic<T>& v) {
    return std::isfinite(v.load(kRelaxed));
}

std::string CheckArray(const PointArray& points, const char* name, double lo, double hi) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double v = points[i].load(kRelaxed);
        // 0 is the value of a point that no pass has reached yet.
        const bool inRange = std::isfinite(v) && (v == 0.0 || (v >= lo && v <= hi));
        if (!inRange) {
            return std::string(name) + "[" + std::to_string(i) + "] = " + std::to_string(v);
        }
    }
    return {};
}

}  // namespace

std::string CheckMeasurementState(const MeasurementState& s) {
    struct Scalar {
        const char* name;
        bool finite;
    };
    const Scalar scalars[] = {
        {"currentFreqMHz", Finite(s.currentFreqMHz)},
        {"gammaScale", Finite(s.gammaScale)},
        {"pinReading0dBm", Finite(s.pinReading0dBm)},
        {"pinReadingMinus20dBm", Finite(s.pinReadingMinus20dBm)},
        {"pinSlope", Finite(s.pinSlope)},
        {"rfPowerDbm", Finite(s.rfPowerDbm)},
        {"s21Db", Finite(s.s21Db)},
        {"smithGammaMag", Finite(s.smithGammaMag)},
        {"smithGammaAngle", Finite(s.smithGammaAngle)},
        {"smithR", Finite(s.smithR)},
        {"smithX", Finite(s.smithX)},
        {"smithVswr", Finite(s.smithVswr)},
        {"smithGammaShown", Finite(s.smithGammaShown)},
        {"smithZMag", Finite(s.smithZMag)},
    };
    for (const Scalar& scalar : scalars) {
        if (!scalar.finite) {
            return std::string(scalar.name) + " is not finite";
        }
    }
    for (std::size_t k = 0; k < kPowerCurvePoints; ++k) {
        if (!Finite(s.powerCurveReading[k]) || !Finite(s.powerCurveDbm[k])) {
            return "power curve point " + std::to_string(k) + " is not finite";
        }
    }
    const double smithVswr = s.smithVswr.load(kRelaxed);
    if (smithVswr < 1.0 || smithVswr > 20.0) {
        return "smithVswr = " + std::to_string(smithVswr);
    }
    if (s.smithGammaMag.load(kRelaxed) < 0.0) {
        return "smithGammaMag is negative";
    }
    for (const std::string& bad : {CheckArray(s.vswr1Points, "vswr1Points", 1.0, 10.0),
                                   CheckArray(s.vswr2Points, "vswr2Points", 1.0, 10.0),
                                   CheckArray(s.vswr3Points, "vswr3Points", 1.0, 10.0)}) {
        if (!bad.empty()) {
            return bad;
        }
    }
    for (std::size_t i = 0; i < kSweepPoints; ++i) {
        if (!std::isfinite(s.s21Points[i].load(kRelaxed))) {
            return "s21Points[" + std::to_string(i) + "] is not finite";
        }
    }
    return {};
}

}  // namespace korvel::testing
