#include "phase_settling.h"

#include <array>
#include <cmath>
#include <limits>

namespace korvel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// A stretch with more fast turns than this share of its steps is aliased as
// a whole: its sense of rotation, and so every sign in it, is a guess.
constexpr double kAliasedShare = 0.25;

bool Measured(const PointReading& r) {
    return std::isfinite(r.liveMag) && std::isfinite(r.livePhase) && std::isfinite(r.storedMag) &&
           std::isfinite(r.storedPhase);
}

// How far the third point lies from what the first two predict: the smaller
// miss of a straight line and of a constant rotation about the origin (a
// cable's turn).
double StepCost(Complex p0, Complex p1, Complex p2) {
    const double straight = std::norm(p2 - 2.0 * p1 + p0);
    if (std::abs(p0) < 1e-9)
        return straight;
    return std::min(straight, std::norm(p2 - p1 * p1 / p0));
}

// Signs (0: +size, 1: -size) of the candidates' smoothest path.
std::vector<int> SmoothestSigns(const std::vector<std::array<Complex, 2>>& c) {
    const std::size_t n = c.size();
    std::vector<int> signs(n, 0);
    if (n < 3)
        return signs;
    // State k = 2 * sign(i-1) + sign(i).
    std::array<double, 4> cost{0, 0, 0, 0};
    std::vector<std::array<int, 4>> from(n);
    for (std::size_t i = 2; i < n; ++i) {
        std::array<double, 4> next{kInf, kInf, kInf, kInf};
        for (int prev = 0; prev < 4; ++prev) {
            const int s0 = prev >> 1, s1 = prev & 1;
            for (int s2 = 0; s2 < 2; ++s2) {
                const double step = StepCost(c[i - 2][s0], c[i - 1][s1], c[i][s2]);
                const double total = cost[prev] + (std::isfinite(step) ? step : 1e6);
                const int state = 2 * s1 + s2;
                if (total < next[state]) {
                    next[state] = total;
                    from[i][state] = prev;
                }
            }
        }
        cost = next;
    }
    int state = 0;
    for (int k = 1; k < 4; ++k) {
        if (cost[k] < cost[state])
            state = k;
    }
    for (std::size_t i = n - 1; i >= 1; --i) {
        signs[i] = state & 1;
        signs[i - 1] = state >> 1;
        if (i >= 2)
            state = from[i][state];
    }
    return signs;
}

// Twice the signed area of the path closed by its chord: positive when it
// turns counter-clockwise.
double SignedArea(const std::vector<Complex>& p) {
    double area = 0;
    for (std::size_t i = 1; i + 1 < p.size(); ++i)
        area += std::imag(std::conj(p[i] - p[0]) * (p[i + 1] - p[0]));
    return area;
}

// Which points of the path turn too fast to be trusted; all of them when fast
// turns are common (the path is aliased as a whole).
std::vector<bool> TooFast(const std::vector<Complex>& p) {
    std::vector<bool> fastAt(p.size(), false);
    int judged = 0, fast = 0;
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        if (std::abs(p[i]) < kTurnJudgedAbove || std::abs(p[i + 1]) < kTurnJudgedAbove)
            continue;
        ++judged;
        if (std::abs(std::arg(p[i + 1] * std::conj(p[i]))) > kFastTurnRad) {
            ++fast;
            fastAt[i] = fastAt[i + 1] = true;
        }
    }
    if (judged > 0 && fast > kAliasedShare * judged)
        fastAt.assign(p.size(), true);
    return fastAt;
}

}  // namespace

Complex CandidateGamma(const PointReading& r, int sign) {
    return std::polar<double>(r.storedMag, r.storedPhase) -
           std::polar<double>(r.liveMag, sign * r.livePhase);
}

SettledTrace SettlePhaseSigns(std::span<const PointReading> readings) {
    SettledTrace out;
    out.points.resize(readings.size());
    // The path runs through the measured points; one missing between them
    // (a point never read) only widens a step.
    std::vector<std::size_t> at;
    std::vector<std::array<Complex, 2>> candidates;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (!Measured(readings[i]))
            continue;
        out.points[i].measured = true;
        at.push_back(i);
        candidates.push_back({CandidateGamma(readings[i], 1), CandidateGamma(readings[i], -1)});
    }
    std::vector<int> signs = SmoothestSigns(candidates);
    std::vector<Complex> path(at.size());
    for (std::size_t k = 0; k < at.size(); ++k)
        path[k] = candidates[k][signs[k]];
    // A passive load's reflection turns clockwise as the frequency rises.
    if (SignedArea(path) > 0) {
        for (std::size_t k = 0; k < at.size(); ++k)
            path[k] = candidates[k][1 - signs[k]];
    }
    const std::vector<bool> fast = TooFast(path);
    for (std::size_t k = 0; k < at.size(); ++k) {
        SettledPoint& p = out.points[at[k]];
        p.gamma = path[k];
        p.settled = at.size() >= 3 && !fast[k];
        out.unsettled += !p.settled;
    }
    return out;
}

}  // namespace korvel
