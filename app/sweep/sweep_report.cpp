#include "sweep_report.h"

#include <cmath>
#include <cstdio>

#include "cable_transform.h"
#include "sweep_worker.h"

namespace korvel::sweep {
namespace {

std::string JsonNumber(double v) {
    return std::isfinite(v) ? FormatNumber(v) : "null";
}

void WriteJsonArray(std::ostream& out, const std::array<double, kSweepPoints>& a) {
    out << '[';
    for (std::size_t i = 0; i < a.size(); ++i)
        out << (i ? "," : "") << JsonNumber(a[i]);
    out << ']';
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
    out << "{\"smith\":{\"freq_khz\":" << r.smithKHz << ",\"gamma_mag\":" << JsonNumber(r.gammaMag)
        << ",\"gamma_angle\":" << JsonNumber(r.gammaAngle) << ",\"r\":" << JsonNumber(r.r)
        << ",\"x\":" << JsonNumber(r.x) << ",\"z_mag\":" << JsonNumber(r.zMag)
        << ",\"vswr\":" << JsonNumber(r.vswr) << ",\"cable_r\":" << JsonNumber(r.cableR)
        << ",\"cable_x\":" << JsonNumber(r.cableX)
        << "},\"rf_power_dbm\":" << JsonNumber(r.rfPowerDbm) << ",\"channels\":[";
    for (std::size_t c = 0; c < r.channels.size(); ++c) {
        const ChannelReport& ch = r.channels[c];
        out << (c ? "," : "") << "{\"name\":\"" << ch.name << "\",\"freq_mhz\":";
        WriteJsonArray(out, ch.freqMHz);
        out << ",\"values\":";
        WriteJsonArray(out, ch.values);
        out << '}';
    }
    out << "]}\n";
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
