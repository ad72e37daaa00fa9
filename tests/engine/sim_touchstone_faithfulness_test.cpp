// The simulator measuring Touchstone files of known circuits: the real sweep
// worker, noise off, virtual time. What the program shows (sweep VSWR, S21
// chart, Smith point) must agree with the circuit the file was written from.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/impedance_figures.h"
#include "analysis/range_impedance.h"
#include "core/calibration.h"
#include "core/measurement_state.h"
#include "core/sweep_worker.h"
#include "device_from_string.h"
#include "fake_clock.h"
#include "recording_window.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"
#include "sim/touchstone.h"
#include "sweep_options.h"
#include "sweep_run.h"
#include "touchstone_circuits.h"

namespace korvel::testing {
namespace {

// A circuit in the 50 ohm system, and the file written from it.
struct Case {
    std::string name;
    std::string path;
    std::function<Cx(double)> s11;
    // Two-ports only.
    std::function<Cx(double)> s21;
};

// The largest disagreement seen on one file.
struct Agreement {
    double reflection = 0;  // |(VSWR-1)/(VSWR+1) - |S11||
    double s21Db = 0;       // dB
    double smithR = 0;      // |R - R file| / |Z file|
    double smithX = 0;      // ||X| - |X file|| / |Z file|
    int vswrPoints = 0;
    int s21Points = 0;
    int smithPoints = 0;
    std::vector<double> wrongSignMHz;
};

class FileBench {
  public:
    explicit FileBench(const std::string& path, double noise = 0, uint32_t seed = 1)
        : sim_(std::make_shared<SimInstrument>(seed)) {
        auto file = std::make_shared<sim::TouchstoneData>();
        std::string error;
        EXPECT_TRUE(sim::ReadTouchstoneFile(path, *file, error)) << error;
        sim_->SetTouchstone(file);
        sim_->SetNoiseScale(noise);
    }

    // One scan pass over the three ranges; channel 3 also draws S21.
    void Scan(float a, float b, float c, float d, float e, float f) {
        window_.settings.m_vswr1StartMHz = a;
        window_.settings.m_vswr1StopMHz = b;
        window_.settings.m_vswr2StartMHz = c;
        window_.settings.m_vswr2StopMHz = d;
        window_.settings.m_vswr3StartMHz = e;
        window_.settings.m_vswr3StopMHz = f;
        state_.smithRequest = 0;
        state_.scanRequest = 1;
        SimTransport transport(sim_, &clock_);
        SweepWorker worker(transport, state_, window_, clock_);
        window_.onPassFinished = [&] { worker.RequestStop(); };
        worker.Run();
        window_.onPassFinished = nullptr;
        state_.scanRequest = 0;
    }

    struct SmithPoint {
        double freqMHz, r, x;
    };

    // The Smith point at each frequency in turn, in one run of the worker.
    std::vector<SmithPoint> Smith(const std::vector<uint32_t>& kHz) {
        std::vector<SmithPoint> out;
        if (kHz.empty())
            return out;
        std::size_t next = 0;
        window_.settings.m_smithFreqKHz = kHz[0];
        state_.smithRequest = 1;
        SimTransport transport(sim_, &clock_);
        SweepWorker worker(transport, state_, window_, clock_);
        window_.onSmithChanged = [&] {
            out.push_back({kHz[next] / 1000.0, state_.smithR.load(), state_.smithX.load()});
            if (++next == kHz.size())
                worker.RequestStop();
            else
                window_.settings.m_smithFreqKHz = kHz[next];
        };
        worker.Run();
        window_.onSmithChanged = nullptr;
        state_.smithRequest = 0;
        return out;
    }

    const MeasurementState& State() const { return state_; }
    const std::vector<std::string>& Messages() const { return window_.messages; }

  private:
    std::shared_ptr<SimInstrument> sim_;
    FakeClock clock_;
    MeasurementState state_;
    RecordingWindow window_{&state_};
};

double ReflectionOfVswr(double vswr) {
    return (vswr - 1) / (vswr + 1);
}

double Db(Cx v) {
    return 20 * std::log10(std::abs(v));
}

Agreement Measure(const Case& c) {
    Agreement a;
    FileBench bench(c.path);
    const float ranges[3][2] = {{1.0f, 30.0f}, {30.0f, 60.0f}, {1.0f, 60.0f}};
    bench.Scan(ranges[0][0], ranges[0][1], ranges[1][0], ranges[1][1], ranges[2][0], ranges[2][1]);
    const MeasurementState& s = bench.State();
    const PointArray* charts[3] = {&s.vswr1Points, &s.vswr2Points, &s.vswr3Points};
    for (int ch = 0; ch < 3; ++ch) {
        for (int i = 0; i < static_cast<int>(kSweepPoints); ++i) {
            const double f = SweepPointFreqMHz(ranges[ch][0], ranges[ch][1], i);
            const double want = std::abs(c.s11(f));
            // The point read against the open-port record shows that record,
            // not the load: the program's own doing, on any instrument.
            if (want > 0.5 || CalibrationIndex(f) == kOpenPortRecord)
                continue;
            const double got = ReflectionOfVswr((*charts[ch])[i].load());
            a.reflection = std::max(a.reflection, std::abs(got - want));
            ++a.vswrPoints;
        }
    }
    if (c.s21) {
        // The chart shows the mean of the last four points of the pass.
        for (int i = 0; i < static_cast<int>(kSweepPoints); ++i) {
            double sum = 0;
            bool visible = true;
            const int first = std::max(0, i - 3);
            for (int k = first; k <= i; ++k) {
                const double db = Db(c.s21(SweepPointFreqMHz(ranges[2][0], ranges[2][1], k)));
                visible = visible && db > -40;
                sum += db;
            }
            if (!visible)
                continue;
            const double want = sum / (i - first + 1);
            a.s21Db = std::max(a.s21Db, std::abs(s.s21Points[i].load() - want));
            ++a.s21Points;
        }
    }
    std::vector<uint32_t> kHz;
    for (uint32_t k = 1000; k <= 50000; k += 250)
        kHz.push_back(k);
    for (const auto& p : bench.Smith(kHz)) {
        const Cx z = ImpedanceOf(c.s11(p.freqMHz));
        const double zMag = std::abs(z);
        if (!(zMag <= 500) || CalibrationIndex(p.freqMHz) == kOpenPortRecord ||
            CalibrationIndex(p.freqMHz * 1.1) == kOpenPortRecord)
            continue;
        a.smithR = std::max(a.smithR, std::abs(p.r - z.real()) / zMag);
        a.smithX = std::max(a.smithX, std::abs(std::abs(p.x) - std::abs(z.imag())) / zMag);
        ++a.smithPoints;
        // A sign only counts where the reactance is more than the tolerance.
        if (std::abs(z.imag()) > 0.03 * zMag && (p.x > 0) != (z.imag() > 0))
            a.wrongSignMHz.push_back(p.freqMHz);
    }
    return a;
}

// "7.25-9.5, 12" from the frequencies where the sign came out wrong.
std::string Spans(const std::vector<double>& mhz, double step) {
    std::ostringstream out;
    for (std::size_t k = 0; k < mhz.size();) {
        std::size_t end = k;
        while (end + 1 < mhz.size() && mhz[end + 1] - mhz[end] < step * 1.5)
            ++end;
        out << (k ? ", " : "") << mhz[k];
        if (end > k)
            out << "-" << mhz[end];
        k = end + 1;
    }
    return mhz.empty() ? "none" : out.str();
}

void ExpectFaithful(const Case& c) {
    const Agreement a = Measure(c);
    std::cout << "[ agreement ] " << c.name << ": reflection " << a.reflection << " ("
              << a.vswrPoints << " points), S21 " << a.s21Db << " dB (" << a.s21Points
              << "), Smith R " << 100 * a.smithR << " % and |X| " << 100 * a.smithX << " % of |Z| ("
              << a.smithPoints << "); X sign wrong at MHz: " << Spans(a.wrongSignMHz, 0.25) << "\n";
    ::testing::Test::RecordProperty("largest_reflection_error", std::to_string(a.reflection));
    ::testing::Test::RecordProperty("largest_s21_error_db", std::to_string(a.s21Db));
    ::testing::Test::RecordProperty("largest_smith_r_error", std::to_string(a.smithR));
    ::testing::Test::RecordProperty("largest_smith_x_error", std::to_string(a.smithX));
    ::testing::Test::RecordProperty("x_sign_wrong_mhz", Spans(a.wrongSignMHz, 0.25));
    EXPECT_GT(a.vswrPoints, 0);
    EXPECT_LE(a.reflection, 0.02);
    if (c.s21) {
        EXPECT_GT(a.s21Points, 0);
        EXPECT_LE(a.s21Db, 0.3);
    }
    EXPECT_GT(a.smithPoints, 0);
    // The Smith procedure settles the stored record's sign by its own rule as
    // well, so it may take the bridge's leakage (0.006-0.007) mirrored: up to
    // 0.014 more in the reflection, several % of |Z| where |X| is small.
    EXPECT_LE(a.smithR, 0.04);
    EXPECT_LE(a.smithX, 0.07);
}

// A short vertical: 36 ohm, resonant at 14.2 MHz, Q about 4.
Cx Antenna(double f) {
    const double l = 1.6e-6;
    const double c = 1 / (std::pow(kTwoPi * 14.2e6, 2) * l);
    return SeriesRlc(f, 36, l, c);
}

TEST(SimTouchstoneFaithfulness, SeriesRlcAntenna) {
    Case c;
    c.name = "series RLC antenna (MHz MA R 50)";
    c.s11 = [](double f) { return ReflectionOf(Antenna(f), 50); };
    c.path = WriteTouchstone("rlc_antenna.s1p", "# MHz S MA R 50", 1.0, TsFormat::MA,
                             FrequencyGrid(0.5, 61, 0.01),
                             [&](double f) { return std::vector<Cx>{c.s11(f)}; });
    ExpectFaithful(c);
}

TEST(SimTouchstoneFaithfulness, HundredOhmResistor) {
    Case c;
    c.name = "100 ohm (kHz DB R 50, three points)";
    c.s11 = [](double) { return ReflectionOf(100.0, 50); };
    c.path = WriteTouchstone("r100.s1p", "# kHz S DB R 50", 1e-3, TsFormat::DB, {0.9, 30, 60.5},
                             [&](double f) { return std::vector<Cx>{c.s11(f)}; });
    ExpectFaithful(c);
}

TEST(SimTouchstoneFaithfulness, TwentyFiveOhmResistorIn75OhmReference) {
    Case c;
    c.name = "25 ohm (Hz RI R 75)";
    c.s11 = [](double) { return ReflectionOf(25.0, 50); };
    c.path = WriteTouchstone("r25.s1p", "# Hz S RI R 75", 1e-6, TsFormat::RI, {0.5, 10, 61},
                             [](double) { return std::vector<Cx>{ReflectionOf(25.0, 75)}; });
    ExpectFaithful(c);
}

// 12 m of 93 ohm coax, written in a 75 ohm reference: the reader must
// renormalise the whole two-port to see the 50 ohm system's S11 and S21.
TEST(SimTouchstoneFaithfulness, LossyLineTwoPortIn75OhmReference) {
    const Line line{93, 12, 0.84, 0.08};
    Case c;
    c.name = "lossy 93 ohm line (MHz DB R 75 two-port)";
    c.s11 = [line](double f) { return LineS(f, line, 50).s11; };
    c.s21 = [line](double f) { return LineS(f, line, 50).s21; };
    c.path = WriteTouchstone("line93.s2p", "# MHz S DB R 75", 1.0, TsFormat::DB,
                             FrequencyGrid(0.5, 61, 0.01), [line](double f) {
                                 const TwoPortS s = LineS(f, line, 75);
                                 return std::vector<Cx>{s.s11, s.s21, s.s12, s.s22};
                             });
    ExpectFaithful(c);
}

// R and X from every sweep point, the phase signs settled across the sweep,
// against circuits worked out here; beside each, the share the instrument's
// own 1.1x rule gets right at a sample of the same frequencies.
struct SettleCase {
    const char* name;
    std::function<Cx(double)> s11;
    float ranges[3][2];
    bool aliased;  // turns too fast between points: reported unsettled, not wrong
};

Cx ThroughLine(double f, const Line& line, double loadOhms) {
    const TwoPortS s = LineS(f, line, 50);
    const Cx load = ReflectionOf(loadOhms, 50);
    return s.s11 + s.s21 * s.s12 * load / (1.0 - s.s22 * load);
}

Cx Trap(double f) {
    const double w = kTwoPi * f * 1e6, l = 1e-6, c = 1 / (std::pow(kTwoPi * 7.1e6, 2) * l);
    return 40.0 + 1.0 / (1 / 3000.0 + 1.0 / Cx(0, w * l) + Cx(0, w * c));
}

const SettleCase kSettleCases[] = {
    {"series RLC antenna",
     [](double f) { return ReflectionOf(Antenna(f), 50); },
     {{11.0f, 17.5f}, {1.0f, 30.0f}, {13.9f, 14.5f}},
     false},
    {"100 ohm",
     [](double) { return ReflectionOf(100.0, 50); },
     {{1.0f, 30.0f}, {30.0f, 60.0f}, {6.1f, 7.9f}},
     false},
    {"25 ohm",
     [](double) { return ReflectionOf(25.0, 50); },
     {{1.0f, 30.0f}, {30.0f, 60.0f}, {6.1f, 7.9f}},
     false},
    {"75 ohm through 30 m of lossy line",
     [](double f) {
         return ThroughLine(f, Line{50, 30, 0.66, 0.05}, 75);
     },
     {{1.0f, 30.0f}, {1.0f, 60.0f}, {20.0f, 21.0f}},
     false},
    {"parallel LC trap",
     [](double f) { return ReflectionOf(Trap(f), 50); },
     {{1.0f, 30.0f}, {6.0f, 8.5f}, {5.0f, 10.0f}},
     false},
    {"75 ohm through 400 m of line",
     [](double f) {
         return ThroughLine(f, Line{50, 400, 0.66, 0.002}, 75);
     },
     {{1.0f, 30.0f}, {10.0f, 30.0f}, {20.0f, 30.0f}},
     true},
};

struct SettleScore {
    int points = 0, withinRx = 0;       // measured, |gamma| <= 0.8; R and X within 3 % of |Z|
    int signPoints = 0, signRight = 0;  // |X| > 10 % of |Z|; settled and right
    int signWrong = 0, unsettled = 0;   // settled and wrong; left unsettled
    int ruleSignPoints = 0, ruleSignRight = 0;
};

double Share(int part, int whole) {
    return whole ? 100.0 * part / whole : 100.0;
}

class SettledImpedance : public ::testing::TestWithParam<std::tuple<int, double>> {};

TEST_P(SettledImpedance, AgreesWithTheCircuit) {
    const SettleCase& c = kSettleCases[std::get<0>(GetParam())];
    const double noise = std::get<1>(GetParam());
    const std::string path =
        // A file of its own: ctest runs several of these (and other worktrees'
        // runs) at once in the same temporary folder.
        WriteTouchstone(
            "settle_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                ".s1p",
            "# MHz S RI R 50", 1.0, TsFormat::RI, FrequencyGrid(0.5, 61, 0.01),
            [&](double f) { return std::vector<Cx>{c.s11(f)}; });
    FileBench bench(path, noise, 7);
    const auto& r = c.ranges;
    bench.Scan(r[0][0], r[0][1], r[1][0], r[1][1], r[2][0], r[2][1]);
    SettleScore s;
    std::vector<uint32_t> sampleKHz;
    for (int ch = 1; ch <= 3; ++ch) {
        const RangeImpedance range =
            SettleRange(bench.State().reflections, ch, r[ch - 1][0], r[ch - 1][1]);
        for (std::size_t i = 0; i < range.freqMHz.size(); ++i) {
            const SettledPoint& p = range.trace.points[i];
            if (!p.measured)
                continue;
            const Cx want = ImpedanceOf(c.s11(range.freqMHz[i]));
            const ImpedanceFigures got = FiguresFromGamma(p.gamma, range.freqMHz[i]);
            const double zMag = std::abs(want);
            // Near |gamma| = 1 a magnitude error of a few thousandths is
            // already more than 3 % of |Z|: an accuracy limit, not a sign one.
            s.points += std::abs(c.s11(range.freqMHz[i])) <= 0.8;
            s.withinRx += std::abs(c.s11(range.freqMHz[i])) <= 0.8 && p.settled &&
                          std::abs(got.r - want.real()) <= 0.03 * zMag &&
                          std::abs(got.x - want.imag()) <= 0.03 * zMag;
            if (std::abs(want.imag()) > 0.1 * zMag) {
                ++s.signPoints;
                s.unsettled += !p.settled;
                s.signRight += p.settled && (got.x > 0) == (want.imag() > 0);
                s.signWrong += p.settled && (got.x > 0) != (want.imag() > 0);
            }
            if (i % 10 == 5)
                sampleKHz.push_back(static_cast<uint32_t>(std::lround(range.freqMHz[i] * 1000)));
        }
    }
    for (const auto& p : bench.Smith(sampleKHz)) {
        const Cx want = ImpedanceOf(c.s11(p.freqMHz));
        if (std::abs(want.imag()) > 0.1 * std::abs(want)) {
            ++s.ruleSignPoints;
            s.ruleSignRight += (p.x > 0) == (want.imag() > 0);
        }
    }
    std::cout << "[ settled ] " << c.name << ", noise " << noise << ": R and X within 3 % of |Z| "
              << Share(s.withinRx, s.points) << " % of " << s.points << "; sign of X right "
              << Share(s.signRight, s.signPoints) << " % of " << s.signPoints << " (wrong "
              << s.signWrong << ", unsettled " << s.unsettled << "); the 1.1x rule "
              << Share(s.ruleSignRight, s.ruleSignPoints) << " % of " << s.ruleSignPoints << "\n";
    if (c.aliased) {
        EXPECT_GT(s.unsettled, s.signPoints / 2);
        EXPECT_LE(s.signWrong, s.signPoints / 100);
        return;
    }
    EXPECT_GE(Share(s.signRight, s.signPoints), noise == 0 ? 99 : 95);
    if (noise == 0) {
        EXPECT_GE(Share(s.withinRx, s.points), 98);
        EXPECT_EQ(s.signWrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Circuits, SettledImpedance,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Values(0.0, 1.0)));

// korvel-sweep with sim:PATH: a bad file is a usage error naming the file and
// line; a file that covers part of the range is swept, and the open port
// outside it is announced once, however many passes.
TEST(SimTouchstoneSweep, BadFilesAreUsageErrorsAndTheRangeIsSaidOnce) {
    const std::string bad = WriteTouchstone("bad_sweep.s1p", "# MHz S XY", 1.0, TsFormat::RI, {7.0},
                                            [](double) { return std::vector<Cx>{0.1}; });
    const sweep::ParseResult refused = sweep::ParseSweepOptions({"--device", "sim:" + bad});
    EXPECT_FALSE(refused.options);
    EXPECT_EQ(refused.error, "--device: " + bad + " line 2: unknown option \"XY\".");

    const std::string part =
        WriteTouchstone("part.s1p", "# MHz S RI", 1.0, TsFormat::RI, {6.0, 8.0},
                        [](double) { return std::vector<Cx>{ReflectionOf(100.0, 50)}; });
    const sweep::ParseResult parsed =
        sweep::ParseSweepOptions({"--device", "sim:" + part, "--passes", "2", "--format", "json"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    std::string error;
    FakeClock clock;
    const auto transport = MakeTransport(parsed.options->device, error, &clock);
    ASSERT_NE(transport, nullptr) << error;
    std::ostringstream out, err;
    EXPECT_EQ(sweep::RunSweep(*parsed.options, *transport, clock, out, err), sweep::kExitOk);
    EXPECT_EQ(err.str(), "korvel-sweep: " + part +
                             " covers 6 MHz to 8 MHz; outside that range the simulated load is an "
                             "open circuit.\n");
    // Inside the file (the first range, 6.1-7.9 MHz) the 100 ohm load's VSWR
    // of 2; outside it (13.1-14.9 MHz) the open port's ceiling.
    const auto json = nlohmann::json::parse(out.str());
    ASSERT_EQ(json["ranges"][0]["points"].size(), kSweepPoints);
    for (const auto& point : json["ranges"][0]["points"])
        EXPECT_NEAR(point["vswr"].get<double>(), 2.0, 0.05);
    ASSERT_EQ(json["ranges"][1]["points"].size(), kSweepPoints);
    for (const auto& point : json["ranges"][1]["points"])
        EXPECT_EQ(point["vswr"].get<double>(), 10.0);
}

}  // namespace
}  // namespace korvel::testing
