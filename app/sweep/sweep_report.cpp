#include "sweep_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cable_transform.h"
#include "sweep_worker.h"

namespace korvel::sweep {
namespace {

// The document keeps its fields in the order written.
using Json = nlohmann::ordered_json;

std::string JsonNumber(double v) {
    return std::isfinite(v) ? FormatNumber(v) : "null";
}

// The library would write the shortest text that reads back as the same
// double ("2.0", "6.099999904632568"); the report has always written every
// number as FormatNumber does, so numbers are written here and structure,
// field order and string escapes come from the library.
void WriteJsonValue(std::ostream& out, const Json& value) {
    if (value.is_object()) {
        out << '{';
        const char* separator = "";
        for (const auto& [key, item] : value.items()) {
            out << separator << Json(key).dump() << ':';
            WriteJsonValue(out, item);
            separator = ",";
        }
        out << '}';
    } else if (value.is_array()) {
        out << '[';
        const char* separator = "";
        for (const Json& item : value) {
            out << separator;
            WriteJsonValue(out, item);
            separator = ",";
        }
        out << ']';
    } else if (value.is_number_float()) {
        out << JsonNumber(value.get<double>());
    } else {
        out << value.dump();
    }
}

Json JsonDocument(const SweepReport& r) {
    Json channels = Json::array();
    for (const ChannelReport& ch : r.channels) {
        channels.push_back({{"name", ch.name}, {"freq_mhz", ch.freqMHz}, {"values", ch.values}});
    }
    return {{"smith",
             {{"freq_khz", r.smithKHz},
              {"gamma_mag", r.gammaMag},
              {"gamma_angle", r.gammaAngle},
              {"r", r.r},
              {"x", r.x},
              {"z_mag", r.zMag},
              {"vswr", r.vswr},
              {"cable_r", r.cableR},
              {"cable_x", r.cableX}}},
            {"rf_power_dbm", r.rfPowerDbm},
            {"channels", channels}};
}

}  // namespace

std::string FormatNumber(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

SweepReport BuildReport(const MeasurementState& state, const DialogSettings& settings) {
    SweepReport r;
    r.smithKHz = settings.m_smithFreqKHz.load(kRelaxed);
    r.gammaMag = state.smithGammaMag.load(kRelaxed);
    r.gammaAngle = state.smithGammaAngle.load(kRelaxed);
    r.r = state.smithR.load(kRelaxed);
    r.x = state.smithX.load(kRelaxed);
    r.zMag = state.smithZMag.load(kRelaxed);
    r.vswr = state.smithVswr.load(kRelaxed);
    const CablePortResult cable = CablePortImpedance(r.gammaMag, r.gammaAngle, r.smithKHz,
                                                     settings.m_cableLengthM.load(kRelaxed));
    r.cableR = cable.r;
    r.cableX = cable.x;
    r.rfPowerDbm = state.rfPowerDbm.load(kRelaxed);

    const std::atomic<float>* limits[3][2] = {
        {&settings.m_vswr1StartMHz, &settings.m_vswr1StopMHz},
        {&settings.m_vswr2StartMHz, &settings.m_vswr2StopMHz},
        {&settings.m_vswr3StartMHz, &settings.m_vswr3StopMHz}};
    const PointArray* arrays[4] = {&state.vswr1Points, &state.vswr2Points, &state.vswr3Points,
                                   &state.s21Points};
    const char* names[4] = {"VSWR1", "VSWR2", "VSWR3", "S21"};
    for (int c = 0; c < 4; ++c) {
        ChannelReport& ch = r.channels[c];
        ch.name = names[c];
        const int plan = c < 3 ? c : 2;
        const float start = limits[plan][0]->load(kRelaxed);
        const float stop = limits[plan][1]->load(kRelaxed);
        for (std::size_t i = 0; i < kSweepPoints; ++i) {
            ch.freqMHz[i] = SweepPointFreqMHz(start, stop, static_cast<int>(i));
            ch.values[i] = (*arrays[c])[i].load(kRelaxed);
        }
    }
    return r;
}

void WriteJson(std::ostream& out, const SweepReport& r) {
    WriteJsonValue(out, JsonDocument(r));
    out << '\n';
}

void WriteCsv(std::ostream& out, const SweepReport& r) {
    out << "# smith.freq_khz=" << r.smithKHz << '\n'
        << "# smith.gamma_mag=" << FormatNumber(r.gammaMag) << '\n'
        << "# smith.gamma_angle=" << FormatNumber(r.gammaAngle) << '\n'
        << "# smith.r=" << FormatNumber(r.r) << '\n'
        << "# smith.x=" << FormatNumber(r.x) << '\n'
        << "# smith.z_mag=" << FormatNumber(r.zMag) << '\n'
        << "# smith.vswr=" << FormatNumber(r.vswr) << '\n'
        << "# smith.cable_r=" << FormatNumber(r.cableR) << '\n'
        << "# smith.cable_x=" << FormatNumber(r.cableX) << '\n'
        << "# rf_power_dbm=" << FormatNumber(r.rfPowerDbm) << '\n'
        << "channel,index,freq_mhz,value\n";
    for (const ChannelReport& ch : r.channels) {
        for (std::size_t i = 0; i < kSweepPoints; ++i) {
            out << ch.name << ',' << i << ',' << FormatNumber(ch.freqMHz[i]) << ','
                << FormatNumber(ch.values[i]) << '\n';
        }
    }
}

}  // namespace korvel::sweep
