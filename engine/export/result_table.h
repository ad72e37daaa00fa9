// The results of a sweep as a table of points with the figures derived from
// each VSWR, and its CSV and JSON forms (korvel-sweep's output, the window's
// data export).
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/measurement_state.h"
#include "core/sweep_settings.h"

namespace korvel {

struct RangeResult {
    int range = 1;  // 1, 2 or 3
    double startMHz = 0, stopMHz = 0;
    std::vector<double> freqMHz;                   // one per point
    std::vector<double> vswr;                      // raw state values (0 = never measured)
    std::vector<double> s21Db;                     // range 3 only, else empty
    std::optional<std::vector<double>> heldVswr;   // held reference traces, when held
    std::optional<std::vector<double>> heldS21Db;  // range 3 only
    // The settled reflection at each point (at the cable port when the header
    // says so); empty where unmeasured or unsettled.
    std::vector<std::optional<std::complex<double>>> gamma;
    int unsettled = 0;  // measured points whose phase sign was left open
};

struct ResultHeader {
    std::string program = "KORVEL";
    std::string version;              // e.g. "1.0.0.1"
    std::optional<std::string> time;  // ISO 8601 UTC; korvel-sweep leaves it empty (reproducible)
    std::string device;               // the device string in use
    double cableM = 0;
    uint32_t smithKHz = 0;
    double smithGammaMag = 0, smithGammaAngle = 0;
    double smithR = 0, smithX = 0, smithZMag = 0, smithVswr = 0, cableR = 0, cableX = 0;
    double rfPowerDbm = 0;
    // The impedance columns are carried to the cable's far end (cable_m).
    bool cablePort = false;
};

struct ResultTable {
    ResultHeader header;
    std::vector<RangeResult> ranges;  // enabled ranges only, in order
    // Adds each range's lowest VSWR and 2:1 band (korvel-sweep --summary).
    bool summary = false;
};

// Points of each enabled range with their frequencies, read from the shared
// state; held traces are passed in by the caller (index 0..3 = VSWR1, VSWR2,
// VSWR3, S21; an empty optional = none). The header's program, time and
// device are the caller's, and so is its version unless empty (then this
// build's); its cable length, Smith point and input power are read here from
// the settings and the state.
ResultTable SnapshotResults(const MeasurementState& state, const SweepSettings& settings,
                            ResultHeader header,
                            const std::array<std::optional<std::vector<double>>, 4>& held = {});

// Numbers are written with 17 significant digits, so they read back as the
// same doubles. A point never measured is an empty field (CSV) or null (JSON),
// its derived figures too; so is the return loss of a perfect match (VSWR 1,
// an infinite return loss). S21 counts as never measured while it and its
// range-3 VSWR both still hold the state's initial 0.
void WriteResultCsv(std::ostream& out, const ResultTable& table);
void WriteResultJson(std::ostream& out, const ResultTable& table);

}  // namespace korvel
