#include "result_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

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

void WriteCsvHeader(std::ostream& out, const ResultHeader& h, const ResultTable& t) {
    out << "# program=" << OneLine(h.program) << '\n' << "# version=" << OneLine(h.version) << '\n';
    if (h.time)
        out << "# time=" << OneLine(*h.time) << '\n';
    out << "# device=" << OneLine(h.device) << '\n';
    for (const RangeResult& r : t.ranges) {
        out << "# range" << r.range << "_mhz=" << FormatNumber(r.startMHz) << ':'
            << FormatNumber(r.stopMHz) << '\n';
    }
    out << "# cable_m=" << FormatNumber(h.cableM) << '\n'
        << "# smith.freq_khz=" << h.smithKHz << '\n'
        << "# smith.gamma_mag=" << FormatNumber(h.smithGammaMag) << '\n'
        << "# smith.gamma_angle=" << FormatNumber(h.smithGammaAngle) << '\n'
        << "# smith.r=" << FormatNumber(h.smithR) << '\n'
        << "# smith.x=" << FormatNumber(h.smithX) << '\n'
        << "# smith.z_mag=" << FormatNumber(h.smithZMag) << '\n'
        << "# smith.vswr=" << FormatNumber(h.smithVswr) << '\n'
        << "# smith.cable_r=" << FormatNumber(h.cableR) << '\n'
        << "# smith.cable_x=" << FormatNumber(h.cableX) << '\n'
        << "# rf_power_dbm=" << FormatNumber(h.rfPowerDbm) << '\n';
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
    OrderedJson j = {{"program", h.program}, {"version", h.version}};
    if (h.time)
        j["time"] = *h.time;
    j["device"] = h.device;
    j["cable_m"] = JsonValue(h.cableM);
    j["smith"] = {{"freq_khz", h.smithKHz},
                  {"gamma_mag", JsonValue(h.smithGammaMag)},
                  {"gamma_angle", JsonValue(h.smithGammaAngle)},
                  {"r", JsonValue(h.smithR)},
                  {"x", JsonValue(h.smithX)},
                  {"z_mag", JsonValue(h.smithZMag)},
                  {"vswr", JsonValue(h.smithVswr)},
                  {"cable_r", JsonValue(h.cableR)},
                  {"cable_x", JsonValue(h.cableX)}};
    j["rf_power_dbm"] = JsonValue(h.rfPowerDbm);
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
    const bool held = AnyHeld(table);
    out << "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db"
        << (held ? ",held_vswr,held_s21_db" : "") << '\n';
    for (const RangeResult& r : table.ranges) {
        for (std::size_t i = 0; i < PointCount(r); ++i) {
            const PointRow p = RowAt(r, i);
            out << r.range << ',' << FormatNumber(p.freqMHz) << ',' << CsvField(p.vswr) << ','
                << CsvField(p.returnLossDb) << ',' << CsvField(p.gammaMag) << ','
                << CsvField(p.mismatchLossDb) << ',' << CsvField(p.s21Db);
            if (held)
                out << ',' << CsvField(p.heldVswr) << ',' << CsvField(p.heldS21Db);
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
            OrderedJson point = {{"range", r.range},
                                 {"freq_mhz", JsonValue(p.freqMHz)},
                                 {"vswr", JsonValue(p.vswr)},
                                 {"return_loss_db", JsonValue(p.returnLossDb)},
                                 {"gamma_mag", JsonValue(p.gammaMag)},
                                 {"mismatch_loss_db", JsonValue(p.mismatchLossDb)}};
            if (r.range == 3)
                point["s21_db"] = JsonValue(p.s21Db);
            if (r.heldVswr)
                point["held_vswr"] = JsonValue(p.heldVswr);
            if (r.range == 3 && r.heldS21Db)
                point["held_s21_db"] = JsonValue(p.heldS21Db);
            points.push_back(std::move(point));
        }
        range["points"] = std::move(points);
        ranges.push_back(std::move(range));
    }
    WriteJsonText(out, OrderedJson{{"header", JsonHeader(table.header)}, {"ranges", ranges}});
    out << '\n';
}

}  // namespace korvel
