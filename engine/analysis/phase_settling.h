// Settles the sign of the live phase at every point of one range. The detector
// reports only the size of each phase, so every point has two candidate
// reflections; the true one moves smoothly with frequency and, for a passive
// load, turns clockwise. A dynamic programme picks the smoothest path through
// the candidates (it decides at each touch of 0 or pi whether the trace
// crosses or turns back), and the trace's sense of rotation settles the one
// choice smoothness leaves open, the mirror image of the whole path.
//
// Where it cannot work: when the reflection turns by more than about 90
// degrees between two points (a long cable at the top of a wide range) the
// samples alias and the path cannot be told from its mirror; such points, and
// a whole stretch where they are common, are marked unsettled instead. The
// stored record's own phase sign is taken as positive, as a reflection bridge's
// leakage normally is; one sweep cannot settle it (it moves every point alike,
// by at most twice the leakage).
#pragma once

#include <complex>
#include <span>
#include <vector>

#include "reflection_readings.h"

namespace korvel {

using Complex = std::complex<double>;

// More than this between two points (radians) and the turn is not trusted.
inline constexpr double kFastTurnRad = 1.5707963267948966;
// Below this reflection magnitude a point's angle says nothing about turning.
inline constexpr double kTurnJudgedAbove = 0.1;

struct SettledPoint {
    Complex gamma{0.0, 0.0};  // the live vector's sign chosen; meaningful when measured
    bool measured = false;
    bool settled = false;  // measured, and its sign trusted
};

struct SettledTrace {
    std::vector<SettledPoint> points;
    int unsettled = 0;  // measured points whose sign is left open
};

// The two candidates of one reading: stored minus live, the live phase taken
// as +size (sign +1) or -size (sign -1).
Complex CandidateGamma(const PointReading& r, int sign);

// Points never measured stay out (measured false); the path runs across them.
SettledTrace SettlePhaseSigns(std::span<const PointReading> readings);

}  // namespace korvel
