#include "impedance_data.h"

#include <cmath>

#include "analysis/impedance_figures.h"
#include "analysis/range_impedance.h"

namespace korvel {
namespace {

struct RangeSettings {
    const std::atomic<int32_t>& enable;
    const std::atomic<float>& start;
    const std::atomic<float>& stop;
};

RangeSettings SettingsOf(const SweepSettings& s, int range) {
    switch (range) {
        case 1:
            return {s.m_enableVswr1, s.m_vswr1StartMHz, s.m_vswr1StopMHz};
        case 2:
            return {s.m_enableVswr2, s.m_vswr2StartMHz, s.m_vswr2StopMHz};
        default:
            return {s.m_enableVswr3, s.m_vswr3StartMHz, s.m_vswr3StopMHz};
    }
}

QString Ohms(double v, bool sign = false) {
    if (!std::isfinite(v))
        return QStringLiteral("\u221e");
    return QString::asprintf(sign ? "%+.1f" : "%.1f", v);
}

// "1.23 uH" or "456 pF": the element whose reactance alone is X.
QString SeriesElement(const ImpedanceFigures& f) {
    if (f.seriesH > 0)
        return f.seriesH >= 1e-6 ? QString::asprintf("%.3g \u00b5H", f.seriesH * 1e6)
                                 : QString::asprintf("%.3g nH", f.seriesH * 1e9);
    if (f.seriesF > 0)
        return f.seriesF >= 1e-9 ? QString::asprintf("%.3g nF", f.seriesF * 1e9)
                                 : QString::asprintf("%.3g pF", f.seriesF * 1e12);
    return QStringLiteral("\u2013");
}

// The settled point nearest the Smith frequency, when it lies inside the
// range (within half a step of a point).
std::optional<std::size_t> PointAt(const ImpedanceSnapshot& s, double freqMHz) {
    if (s.freqMHz.size() < 2)
        return std::nullopt;
    const double step = s.freqMHz[1] - s.freqMHz[0];
    if (!(step > 0))
        return std::nullopt;
    const double k = std::round((freqMHz - s.freqMHz[0]) / step);
    if (k < 0 || k >= static_cast<double>(s.freqMHz.size()) ||
        std::abs(s.freqMHz[static_cast<std::size_t>(k)] - freqMHz) > step / 2)
        return std::nullopt;
    return static_cast<std::size_t>(k);
}

QString Disagreement(const ImpedanceSnapshot& s, const MeasurementState& state, uint32_t smithKHz) {
    const double freq = smithKHz / 1000.0;
    const auto i = PointAt(s, freq);
    if (!i || !s.Settled(*i))
        return {};
    const ImpedanceFigures f = FiguresFromGamma(s.points[*i].gamma, s.freqMHz[*i]);
    const double smithR = state.smithR.load(kRelaxed), smithX = state.smithX.load(kRelaxed);
    // Only a reactance well clear of zero has a sign worth comparing.
    if (std::abs(f.x) <= 0.1 * f.zMag || std::abs(smithX) <= 0.1 * std::hypot(smithR, smithX) ||
        (f.x > 0) == (smithX > 0))
        return {};
    return QStringLiteral(
               "At %1 MHz the sweep settles %2 %3j%4 \u03a9, but the main window's Smith point "
               "shows %5 %6j%7 \u03a9: its sign comes from one reading at 1.1\u00d7 the "
               "frequency. The sweep's sign, settled from the whole trace, is the one to trust.")
        .arg(QString::number(freq, 'f', 3), Ohms(f.r), f.x < 0 ? "\u2212" : "+",
             Ohms(std::abs(f.x)), Ohms(smithR), smithX < 0 ? "\u2212" : "+",
             Ohms(std::abs(smithX)));
}

}  // namespace

std::optional<std::complex<double>> ImpedanceSnapshot::CableGamma(std::size_t i) const {
    if (!Settled(i))
        return std::nullopt;
    return GammaAtCablePort(points[i].gamma, freqMHz[i], cableM);
}

ImpedanceInputs InputsOf(const MeasurementState& state, const SweepSettings& settings, int range) {
    const RangeSettings r = SettingsOf(settings, range);
    ImpedanceInputs in;
    in.range = range;
    in.generation = state.reflections.Generation(range);
    in.enabled = r.enable.load(kRelaxed);
    in.startMHz = r.start.load(kRelaxed);
    in.stopMHz = r.stop.load(kRelaxed);
    in.cableM = settings.m_cableLengthM.load(kRelaxed);
    in.smithKHz = settings.m_smithFreqKHz.load(kRelaxed);
    in.smithX = state.smithX.load(kRelaxed);
    in.smithR = state.smithR.load(kRelaxed);
    return in;
}

ImpedanceSnapshot TakeSnapshot(const MeasurementState& state, const SweepSettings& settings,
                               int range) {
    const ImpedanceInputs in = InputsOf(state, settings, range);
    ImpedanceSnapshot s;
    s.range = range;
    s.enabled = in.enabled == 1;
    s.startMHz = in.startMHz;
    s.stopMHz = in.stopMHz;
    s.cableM = in.cableM;
    const RangeImpedance settled = SettleRange(state.reflections, range, in.startMHz, in.stopMHz);
    s.freqMHz = settled.freqMHz;
    s.points = settled.trace.points;
    s.unsettled = settled.trace.unsettled;
    for (const SettledPoint& p : s.points)
        s.measured += p.measured;
    s.disagreement = Disagreement(s, state, in.smithKHz);
    return s;
}

QStringList MarkerColumnTitles() {
    return {QStringLiteral("Marker"),
            QStringLiteral("MHz"),
            QStringLiteral("VSWR"),
            QStringLiteral("R (\u03a9)"),
            QStringLiteral("X (\u03a9)"),
            QStringLiteral("|Z| (\u03a9)"),
            QStringLiteral("Return loss (dB)"),
            QStringLiteral("L or C")};
}

QStringList MarkerRowTexts(const ImpedanceSnapshot& s, int marker, std::size_t i) {
    QStringList row{QString::number(marker),
                    i < s.freqMHz.size() ? QString::number(s.freqMHz[i], 'f', 4) : QString()};
    if (!s.Settled(i)) {
        const QString why = i < s.points.size() && s.points[i].measured
                                ? QStringLiteral("unsettled")
                                : QStringLiteral("not measured");
        for (int k = 0; k < 6; ++k)
            row << why;
        return row;
    }
    const ImpedanceFigures f = FiguresFromGamma(s.points[i].gamma, s.freqMHz[i]);
    row << (std::isfinite(f.vswr) ? QString::asprintf("%.2f", f.vswr) : QStringLiteral("\u221e"))
        << Ohms(f.r) << Ohms(f.x, true) << Ohms(f.zMag)
        << (std::isfinite(f.returnLossDb) ? QString::asprintf("%.1f", f.returnLossDb)
                                          : QStringLiteral("\u221e"))
        << SeriesElement(f);
    return row;
}

QString UnsettledNote(const ImpedanceSnapshot& s) {
    if (!s.enabled)
        return QStringLiteral("Range %1 is not swept (enable it in the main window).").arg(s.range);
    if (s.measured == 0)
        return QStringLiteral("Range %1 has not been measured yet.").arg(s.range);
    if (s.unsettled == 0)
        return QStringLiteral("All %1 measured points settled.").arg(s.measured);
    return QStringLiteral(
               "%1 of %2 measured points unsettled: the reflection turns too fast between points "
               "there to tell the sign of X (narrow the range).")
        .arg(s.unsettled)
        .arg(s.measured);
}

}  // namespace korvel
