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

// Signs (0: +size, 1: -size) of points [first, last) by the smoothest path.
std::vector<int> SmoothestSigns(const std::vector<std::array<Complex, 2>>& c, std::size_t first,
                                std::size_t last) {
    const std::size_t n = last - first;
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
                const double step =
                    StepCost(c[first + i - 2][s0], c[first + i - 1][s1], c[first + i][s2]);
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
double SignedArea(const std::vector<SettledPoint>& p, std::size_t first, std::size_t last) {
    double area = 0;
    for (std::size_t i = first + 1; i + 1 < last; ++i)
        area +=
            std::imag(std::conj(p[i].gamma - p[first].gamma) * (p[i + 1].gamma - p[first].gamma));
    return area;
}

void SettleStretch(const std::vector<std::array<Complex, 2>>& c, std::size_t first,
                   std::size_t last, SettledTrace& out) {
    std::vector<int> signs = SmoothestSigns(c, first, last);
    for (std::size_t i = first; i < last; ++i)
        out.points[i].gamma = c[i][signs[i - first]];
    // A passive load's reflection turns clockwise as the frequency rises.
    if (SignedArea(out.points, first, last) > 0) {
        for (std::size_t i = first; i < last; ++i)
            out.points[i].gamma = c[i][1 - signs[i - first]];
    }
    const bool tooShort = last - first < 3;
    int judged = 0, fast = 0;
    std::vector<bool> fastAt(last - first, false);
    for (std::size_t i = first; i + 1 < last; ++i) {
        const Complex a = out.points[i].gamma, b = out.points[i + 1].gamma;
        if (std::abs(a) < kTurnJudgedAbove || std::abs(b) < kTurnJudgedAbove)
            continue;
        ++judged;
        if (std::abs(std::arg(b * std::conj(a))) > kFastTurnRad) {
            ++fast;
            fastAt[i - first] = fastAt[i + 1 - first] = true;
        }
    }
    const bool aliased = judged > 0 && fast > kAliasedShare * judged;
    for (std::size_t i = first; i < last; ++i)
        out.points[i].settled = !tooShort && !aliased && !fastAt[i - first];
}

}  // namespace

Complex CandidateGamma(const PointReading& r, int sign) {
    return std::polar<double>(r.storedMag, r.storedPhase) -
           std::polar<double>(r.liveMag, sign * r.livePhase);
}

SettledTrace SettlePhaseSigns(std::span<const PointReading> readings) {
    SettledTrace out;
    out.points.resize(readings.size());
    std::vector<std::array<Complex, 2>> candidates(readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        out.points[i].measured = Measured(readings[i]);
        if (out.points[i].measured)
            candidates[i] = {CandidateGamma(readings[i], 1), CandidateGamma(readings[i], -1)};
    }
    // Each run of measured points is settled on its own: a gap breaks the path.
    for (std::size_t first = 0; first < readings.size();) {
        if (!out.points[first].measured) {
            ++first;
            continue;
        }
        std::size_t last = first;
        while (last < readings.size() && out.points[last].measured)
            ++last;
        SettleStretch(candidates, first, last, out);
        first = last;
    }
    for (const SettledPoint& p : out.points)
        out.unsettled += p.measured && !p.settled;
    return out;
}

}  // namespace korvel
