// What the Impedance window shows of one range: the settled reflection of
// every point at the instrument and at the cable's far end, the texts of a
// marker's read-out row and the window's notes (unsettled points, a Smith
// point whose sign disagrees with the sweep). Built from the shared state on
// the window's thread.
#pragma once

#include <QString>
#include <QStringList>
#include <complex>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/phase_settling.h"
#include "core/measurement_state.h"
#include "core/sweep_settings.h"

namespace korvel {

struct ImpedanceSnapshot {
    int range = 1;
    bool enabled = false;
    double startMHz = 0, stopMHz = 0;
    std::vector<double> freqMHz;
    std::vector<SettledPoint> points;  // at the instrument
    double cableM = 0;                 // > 0: the cable port is shown as well
    int unsettled = 0;
    int measured = 0;
    QString disagreement;  // empty unless the Smith point's sign differs

    // The reflection at the cable's far end of point i (settled points only).
    std::optional<std::complex<double>> CableGamma(std::size_t i) const;
    bool Settled(std::size_t i) const { return i < points.size() && points[i].settled; }
};

// What decides whether the window has anything new to show.
struct ImpedanceInputs {
    int range = 0;
    uint32_t generation = 0;
    int32_t enabled = 0;
    float startMHz = 0, stopMHz = 0;
    double cableM = 0;
    uint32_t smithKHz = 0;
    double smithX = 0, smithR = 0;
    bool operator==(const ImpedanceInputs&) const = default;
};

ImpedanceInputs InputsOf(const MeasurementState& state, const SweepSettings& settings, int range);
ImpedanceSnapshot TakeSnapshot(const MeasurementState& state, const SweepSettings& settings,
                               int range);

// "Marker", "MHz", "VSWR", "R (ohm)", ... in the read-out rows' order.
QStringList MarkerColumnTitles();
// The read-out row of point i: number, frequency, VSWR, R, X, |Z|, return
// loss, the series L or C; the figures are "unsettled" where the sign is open.
QStringList MarkerRowTexts(const ImpedanceSnapshot& s, int marker, std::size_t i);
// "3 of 200 points unsettled: ..." or "All 200 points settled."
QString UnsettledNote(const ImpedanceSnapshot& s);

}  // namespace korvel
