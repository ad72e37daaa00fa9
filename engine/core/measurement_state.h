// The record shared by the sweep worker and the window. Every field is a
// std::atomic read and written with relaxed order: each value travels whole,
// and no lock, event or message joins the two threads.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "analysis/reflection_readings.h"
#include "sweep_plan.h"

namespace korvel {
inline constexpr std::size_t kPowerCurvePoints = 8;

using PointArray = std::array<std::atomic<double>, kSweepPoints>;

struct MeasurementState {
    // Link and requests.
    std::atomic<int32_t> linkUp{0};
    std::atomic<int32_t> smithRequest{1};
    std::atomic<int32_t> scanRequest{0};
    std::atomic<int32_t> zoCalRequest{0};
    std::atomic<int32_t> pinCalRequest{0};

    // Instrument state and calibration values loaded at each connection.
    std::atomic<double> currentFreqMHz{10.0};
    std::atomic<double> gammaScale{0.0};
    std::atomic<float> pinReading0dBm{0.0f};
    std::atomic<float> pinReadingMinus20dBm{0.0f};
    std::atomic<float> pinSlope{0.0f};
    // Eight (reading, dBm) pairs: powerCurveReading[k], powerCurveDbm[k].
    std::array<std::atomic<float>, kPowerCurvePoints> powerCurveReading{};
    std::array<std::atomic<float>, kPowerCurvePoints> powerCurveDbm{};

    // Latest results.
    std::atomic<double> rfPowerDbm{0.0};
    std::atomic<double> s21Db{0.0};
    std::atomic<double> smithGammaMag{0.0};
    std::atomic<double> smithGammaAngle{0.0};
    std::atomic<double> smithR{50.0};
    std::atomic<double> smithX{0.0};
    std::atomic<double> smithVswr{1.0};
    std::atomic<double> smithGammaShown{0.0};
    std::atomic<double> smithZMag{50.0};

    PointArray vswr1Points{};
    PointArray vswr2Points{};
    PointArray vswr3Points{};
    PointArray s21Points{};
    // The detector readings behind the VSWR points, for the impedance views.
    ReflectionReadings reflections;
};

inline constexpr auto kRelaxed = std::memory_order_relaxed;

}  // namespace korvel
