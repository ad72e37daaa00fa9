#include "result_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "analysis/impedance_figures.h"
#include "analysis/range_impedance.h"
#include "analysis/resonance.h"
#include "analysis/vswr_figures.h"
#include "core/cable_transform.h"
#include "core/sweep_worker.h"
#include "json_text.h"

namespace korvel {
namespace {

// One point of a range, each figure present only when it is a measurement.
struct PointRow {
    double freqMHz = 0;
    std::optional<double> vswr, returnLossDb, gammaMag, mismatchLossDb, s21Db;
    std::optional<double> heldVswr, heldS21Db;
    std::optional<double> rOhm, xOhm, zMagOhm, gammaRe, gammaIm;
};

std::optional<double> ValueAt(const std::vector<double>& values, std::size_t i) {
    return i < values.size() ? std::optional<double>(values[i]) : std::nullopt;
}

std::optional<double> MeasuredVswr(std::optional<double> v) {
    return v && IsMeasuredVswr(*v) ? v : std::nullopt;
}

// The state's S21 array starts at 0 dB, a value a measurement can have too;
// a 0 beside a range-3 VSWR never measured is the initial one.
std::optional<double> MeasuredS21(std::optional<double> s21, std::optional<double> vswr) {
    if (!s21 || !std::isfinite(*s21) || (*s21 == 0.0 && !MeasuredVswr(vswr)))
        return std::nullopt;
    return s21;
}

PointRow RowAt(const RangeResult& r, std::size_t i) {
    PointRow row;
    row.freqMHz = i < r.freqMHz.size() ? r.freqMHz[i] : std::nan("");
    row.vswr = MeasuredVswr(ValueAt(r.vswr, i));
    if (row.vswr) {
        const MismatchFigures f = *FiguresFromVswr(*row.vswr);
        row.gammaMag = f.gammaMag;
        if (std::isfinite(f.returnLossDb))
            row.returnLossDb = f.returnLossDb;
        row.mismatchLossDb = f.mismatchLossDb;
    }
    if (r.range == 3)
        row.s21Db = MeasuredS21(ValueAt(r.s21Db, i), ValueAt(r.vswr, i));
    if (r.heldVswr)
        row.heldVswr = MeasuredVswr(ValueAt(*r.heldVswr, i));
    if (r.range == 3 && r.heldS21Db) {
        const std::optional<double> heldVswr =
            r.heldVswr ? ValueAt(*r.heldVswr, i) : std::optional<double>();
        row.heldS21Db = MeasuredS21(ValueAt(*r.heldS21Db, i), heldVswr);
    }
    if (i < r.gamma.size() && r.gamma[i]) {
        const std::complex<double> g = *r.gamma[i];
        const ImpedanceFigures z = FiguresFromGamma(g, row.freqMHz);
        const auto finite = [](double v) {
            return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
        };
        row.rOhm = finite(z.r);
        row.xOhm = finite(z.x);
        row.zMagOhm = finite(z.zMag);
        row.gammaRe = g.real();
        row.gammaIm = g.imag();
    }
    return row;
}

std::size_t PointCount(const RangeResult& r) {
    return r.freqMHz.size();
}

bool AnyHeld(const ResultTable& t) {
    return std::any_of(t.ranges.begin(), t.ranges.end(),
                       [](const RangeResult& r) { return r.heldVswr || r.heldS21Db; });
}

ResonanceSummary SummaryOf(const RangeResult& r) {
    return FindResonance(r.freqMHz, r.vswr);
}

// A header value on one comment line: line breaks and other control
// characters would end the comment, so they become spaces.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    return text;
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string CsvField(const std::optional<double>& v) {
    return v ? FormatNumber(*v) : "";
}

OrderedJson JsonValue(const std::optional<double>& v) {
    return v ? OrderedJson(*v) : OrderedJson(nullptr);
}

OrderedJson JsonValue(double v) {
    return std::isfinite(v) ? OrderedJson(v) : OrderedJson(nullptr);
}

// The header's fields, in the order both forms write them. CSV writes each as
// "# name=value" ("smith.r" inside the Smith point's group), JSON as a key, the
// Smith point's under "smith"; the ranges' limits go to CSV after "device".
struct HeaderText {
    const char* name;
    std::optional<std::string> (*value)(const ResultHeader&);
};

const HeaderText kHeaderTexts[] = {
    {"program", [](const ResultHeader& h) { return std::optional<std::string>(h.program); }},
    {"version", [](const ResultHeader& h) { return std::optional<std::string>(h.version); }},
    {"time", [](const ResultHeader& h) { return h.time; }},
    {"device", [](const ResultHeader& h) { return std::optional<std::string>(h.device); }},
};

struct HeaderFigure {
    const char* group;  // "" at the top level
    const char* name;
    double (*value)(const ResultHeader&);
};

// The Smith frequency is a whole number of kHz: "%.17g" writes it as one.
const HeaderFigure kHeaderFigures[] = {
    {"", "cable_m", [](const ResultHeader& h) { return h.cableM; }},
    {"smith", "freq_khz", [](const ResultHeader& h) { return static_cast<double>(h.smithKHz); }},
    {"smith", "gamma_mag", [](const ResultHeader& h) { return h.smithGammaMag; }},
    {"smith", "gamma_angle", [](const ResultHeader& h) { return h.smithGammaAngle; }},
    {"smith", "r", [](const ResultHeader& h) { return h.smithR; }},
    {"smith", "x", [](const ResultHeader& h) { return h.smithX; }},
    {"smith", "z_mag", [](const ResultHeader& h) { return h.smithZMag; }},
    {"smith", "vswr", [](const ResultHeader& h) { return h.smithVswr; }},
    {"smith", "cable_r", [](const ResultHeader& h) { return h.cableR; }},
    {"smith", "cable_x", [](const ResultHeader& h) { return h.cableX; }},
    {"", "rf_power_dbm", [](const ResultHeader& h) { return h.rfPowerDbm; }},
};

// Which points carry a column: CSV writes a column on every row when any range
// has it, JSON writes the key only on the ranges that have it.
enum class Carried { kAlways, kRange3, kHeld, kHeldRange3 };

struct PointColumn {
    const char* name;
    Carried carried;
    std::optional<double> PointRow::*value;
};

// After "range" and "freq_mhz"; new columns are only ever appended.
const PointColumn kPointColumns[] = {
    {"vswr", Carried::kAlways, &PointRow::vswr},
    {"return_loss_db", Carried::kAlways, &PointRow::returnLossDb},
    {"gamma_mag", Carried::kAlways, &PointRow::gammaMag},
    {"mismatch_loss_db", Carried::kAlways, &PointRow::mismatchLossDb},
    {"s21_db", Carried::kRange3, &PointRow::s21Db},
    {"held_vswr", Carried::kHeld, &PointRow::heldVswr},
    {"held_s21_db", Carried::kHeldRange3, &PointRow::heldS21Db},
    {"r_ohm", Carried::kAlways, &PointRow::rOhm},
    {"x_ohm", Carried::kAlways, &PointRow::xOhm},
    {"z_mag_ohm", Carried::kAlways, &PointRow::zMagOhm},
    {"gamma_re", Carried::kAlways, &PointRow::gammaRe},
    {"gamma_im", Carried::kAlways, &PointRow::gammaIm},
};

bool InCsv(const PointColumn& c, const ResultTable& t) {
    return c.carried == Carried::kAlways || c.carried == Carried::kRange3 || AnyHeld(t);
}

bool InJson(const PointColumn& c, const RangeResult& r) {
    switch (c.carried) {
        case Carried::kAlways:
            return true;
        case Carried::kRange3:
            return r.range == 3;
        case Carried::kHeld:
            return r.heldVswr.has_value();
        case Carried::kHeldRange3:
            return r.range == 3 && r.heldS21Db.has_value();
    }
    return false;
}

void WriteCsvHeader(std::ostream& out, const ResultHeader& h, const ResultTable& t) {
    for (const HeaderText& field : kHeaderTexts) {
        if (const std::optional<std::string> v = field.value(h))
            out << "# " << field.name << '=' << OneLine(*v) << '\n';
    }
    for (const RangeResult& r : t.ranges) {
        out << "# range" << r.range << "_mhz=" << FormatNumber(r.startMHz) << ':'
            << FormatNumber(r.stopMHz) << '\n';
    }
    for (const HeaderFigure& field : kHeaderFigures) {
        const std::string group = field.group;
        out << "# " << (group.empty() ? "" : group + ".") << field.name << '='
            << FormatNumber(field.value(h)) << '\n';
    }
    if (h.cablePort)
        out << "# impedance_port=cable\n";
}

void WriteCsvSummary(std::ostream& out, const RangeResult& r) {
    const ResonanceSummary s = SummaryOf(r);
    out << "# summary range " << r.range << ": ";
    if (!s.measured) {
        out << "nothing measured\n";
        return;
    }
    out << "min_vswr " << Fixed(s.minVswr, 3) << " at " << Fixed(s.minFreqMHz, 3) << " MHz, "
        << BandwidthText(s, r.startMHz, r.stopMHz) << '\n';
}

OrderedJson JsonSummary(const RangeResult& r) {
    const ResonanceSummary s = SummaryOf(r);
    const auto measured = [&](double v) {
        return s.measured ? JsonValue(v) : OrderedJson(nullptr);
    };
    return {{"min_vswr", measured(s.minVswr)},
            {"min_freq_mhz", measured(s.minFreqMHz)},
            {"bw2_low_mhz", JsonValue(s.lowMHz)},
            {"bw2_high_mhz", JsonValue(s.highMHz)}};
}

OrderedJson JsonHeader(const ResultHeader& h) {
    OrderedJson j = OrderedJson::object();
    for (const HeaderText& field : kHeaderTexts) {
        if (const std::optional<std::string> v = field.value(h))
            j[field.name] = *v;
    }
    for (const HeaderFigure& field : kHeaderFigures) {
        OrderedJson& place = *field.group == '\0' ? j : j[field.group];
        place[field.name] = JsonValue(field.value(h));
    }
    if (h.cablePort)
        j["impedance_port"] = "cable";
    return j;
}

}  // namespace

ResultTable SnapshotResults(const MeasurementState& state, const SweepSettings& settings,
                            ResultHeader header,
                            const std::array<std::optional<std::vector<double>>, 4>& held) {
    ResultTable table;
#if defined(KORVEL_VERSION)
    if (header.version.empty())
        header.version = KORVEL_VERSION;
#endif
    header.cableM = settings.m_cableLengthM.load(kRelaxed);
    header.smithKHz = settings.m_smithFreqKHz.load(kRelaxed);
    header.smithGammaMag = state.smithGammaMag.load(kRelaxed);
    header.smithGammaAngle = state.smithGammaAngle.load(kRelaxed);
    header.smithR = state.smithR.load(kRelaxed);
    header.smithX = state.smithX.load(kRelaxed);
    header.smithZMag = state.smithZMag.load(kRelaxed);
    header.smithVswr = state.smithVswr.load(kRelaxed);
    const CablePortResult cable = CablePortImpedance(header.smithGammaMag, header.smithGammaAngle,
                                                     header.smithKHz, header.cableM);
    header.cableR = cable.r;
    header.cableX = cable.x;
    header.rfPowerDbm = state.rfPowerDbm.load(kRelaxed);
    table.header = std::move(header);

    struct Source {
        const std::atomic<int32_t>& enable;
        const std::atomic<float>& start;
        const std::atomic<float>& stop;
        const PointArray& vswr;
    };
    const Source sources[3] = {{settings.m_enableVswr1, settings.m_vswr1StartMHz,
                                settings.m_vswr1StopMHz, state.vswr1Points},
                               {settings.m_enableVswr2, settings.m_vswr2StartMHz,
                                settings.m_vswr2StopMHz, state.vswr2Points},
                               {settings.m_enableVswr3, settings.m_vswr3StartMHz,
                                settings.m_vswr3StopMHz, state.vswr3Points}};
    for (int n = 0; n < 3; ++n) {
        const Source& src = sources[n];
        // The worker sweeps a range only while its enable is exactly 1.
        if (src.enable.load(kRelaxed) != 1)
            continue;
        RangeResult r;
        r.range = n + 1;
        const float start = src.start.load(kRelaxed);
        const float stop = src.stop.load(kRelaxed);
        r.startMHz = start;
        r.stopMHz = stop;
        for (std::size_t i = 0; i < kSweepPoints; ++i) {
            r.freqMHz.push_back(SweepPointFreqMHz(start, stop, static_cast<int>(i)));
            r.vswr.push_back(src.vswr[i].load(kRelaxed));
            if (n == 2)
                r.s21Db.push_back(state.s21Points[i].load(kRelaxed));  // S21 shares range 3
        }
        const RangeImpedance settled = SettleRange(state.reflections, n + 1, start, stop);
        for (std::size_t i = 0; i < kSweepPoints; ++i) {
            const SettledPoint& p = settled.trace.points[i];
            std::optional<std::complex<double>> g;
            if (p.settled) {
                g = table.header.cablePort
                        ? GammaAtCablePort(p.gamma, r.freqMHz[i], table.header.cableM)
                        : p.gamma;
            }
            r.gamma.push_back(g);
        }
        r.unsettled = settled.trace.unsettled;
        r.heldVswr = held[n];
        if (n == 2)
            r.heldS21Db = held[3];
        table.ranges.push_back(std::move(r));
    }
    return table;
}

void WriteResultCsv(std::ostream& out, const ResultTable& table) {
    WriteCsvHeader(out, table.header, table);
    if (table.summary) {
        for (const RangeResult& r : table.ranges)
            WriteCsvSummary(out, r);
    }
    out << "range,freq_mhz";
    for (const PointColumn& c : kPointColumns) {
        if (InCsv(c, table))
            out << ',' << c.name;
    }
    out << '\n';
    for (const RangeResult& r : table.ranges) {
        for (std::size_t i = 0; i < PointCount(r); ++i) {
            const PointRow p = RowAt(r, i);
            out << r.range << ',' << FormatNumber(p.freqMHz);
            for (const PointColumn& c : kPointColumns) {
                if (InCsv(c, table))
                    out << ',' << CsvField(p.*c.value);
            }
            out << '\n';
        }
    }
}

void WriteResultJson(std::ostream& out, const ResultTable& table) {
    OrderedJson ranges = OrderedJson::array();
    for (const RangeResult& r : table.ranges) {
        OrderedJson range = {{"range", r.range},
                             {"start_mhz", JsonValue(r.startMHz)},
                             {"stop_mhz", JsonValue(r.stopMHz)}};
        if (table.summary)
            range["summary"] = JsonSummary(r);
        OrderedJson points = OrderedJson::array();
        for (std::size_t i = 0; i < PointCount(r); ++i) {
            const PointRow p = RowAt(r, i);
            OrderedJson point = {{"range", r.range}, {"freq_mhz", JsonValue(p.freqMHz)}};
            for (const PointColumn& c : kPointColumns) {
                if (InJson(c, r))
                    point[c.name] = JsonValue(p.*c.value);
            }
            points.push_back(std::move(point));
        }
        range["points"] = std::move(points);
        range["unsettled_points"] = r.unsettled;
        ranges.push_back(std::move(range));
    }
    // The document's own name and shape version come last: fields are only
    // ever appended.
    WriteJsonText(out, OrderedJson{{"header", JsonHeader(table.header)},
                                   {"ranges", ranges},
                                   {"format", "korvel-sweep"},
                                   {"version", 2}});
    out << '\n';
}

}  // namespace korvel
