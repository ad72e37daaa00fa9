// The impedance views' costs: settling the phase signs of one 200-point range,
// and the Impedance window's work on a refresh tick while a sweep moves (a new
// point, a new snapshot, the window's paints) or stands still (nothing to do).
// Offscreen platform unless another one is chosen.
//
// Run: impedance_bench [--benchmark_repetitions=N]; read the median lines.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <complex>
#include <vector>

#include "analysis/phase_settling.h"
#include "core/measurement_state.h"
#include "core/sweep_plan.h"
#include "core/sweep_settings.h"
#include "impedance_window.h"

namespace {

using Cx = std::complex<double>;

// A series-RLC antenna (36 ohm, 14.2 MHz) seen by a bridge leaking 0.006.
korvel::PointReading ReadingAt(double fMHz) {
    const double w = 2 * M_PI * fMHz * 1e6, l = 1.6e-6;
    const double c = 1 / (std::pow(2 * M_PI * 14.2e6, 2) * l);
    const Cx z(36, w * l - 1 / (w * c));
    const Cx gamma = (z - 50.0) / (z + 50.0);
    const Cx leak = std::polar(0.006, 0.7 + 2 * M_PI * fMHz * 0.004);
    const Cx live = leak - gamma;
    return {static_cast<float>(std::abs(live)), static_cast<float>(std::abs(std::arg(live))),
            static_cast<float>(std::abs(leak)), static_cast<float>(std::abs(std::arg(leak)))};
}

void Fill(korvel::MeasurementState& state, int range, float start, float stop) {
    for (int i = 0; i < 200; ++i)
        state.reflections.Store(range, i, ReadingAt(korvel::SweepPointFreqMHz(start, stop, i)));
}

void BM_SettleRange(benchmark::State& s) {
    std::vector<korvel::PointReading> readings;
    for (int i = 0; i < 200; ++i)
        readings.push_back(ReadingAt(korvel::SweepPointFreqMHz(11.0f, 17.5f, i)));
    for (auto _ : s)
        benchmark::DoNotOptimize(korvel::SettlePhaseSigns(readings));
}
BENCHMARK(BM_SettleRange)->Unit(benchmark::kMicrosecond);

struct OpenWindow {
    korvel::MeasurementState state;
    korvel::SweepSettings settings;
    korvel::ImpedanceWindow window{state, settings, nullptr};
    QImage picture;

    OpenWindow() {
        settings.m_cableLengthM = 4.0;
        Fill(state, 2, settings.m_vswr2StartMHz, settings.m_vswr2StopMHz);
        window.ShowRange(2);
        window.show();
        QApplication::processEvents();
        picture = QImage(window.size(), QImage::Format_RGB32);
    }
};

// A tick while the sweep moves: a point arrives, the window takes a new
// snapshot and its two plots repaint (what the tick invalidates; the table
// and notes repaint only when their texts change).
void BM_TickWhileSweeping(benchmark::State& s) {
    OpenWindow w;
    QWidget* chart = w.window.findChild<QWidget*>("impedanceChart");
    QWidget* smith = w.window.findChild<QWidget*>("impedanceSmith");
    QImage chartPicture(chart->size(), QImage::Format_RGB32);
    QImage smithPicture(smith->size(), QImage::Format_RGB32);
    int i = 0;
    for (auto _ : s) {
        w.state.reflections.Store(2, i, ReadingAt(korvel::SweepPointFreqMHz(13.1f, 14.9f, i)));
        i = (i + 1) % 200;
        w.window.Refresh();
        chart->render(&chartPicture);
        smith->render(&smithPicture);
        benchmark::DoNotOptimize(chartPicture.constBits());
    }
}
BENCHMARK(BM_TickWhileSweeping)->Unit(benchmark::kMillisecond);

// The same with the whole window rendered, table and notes included.
void BM_TickWholeWindow(benchmark::State& s) {
    OpenWindow w;
    int i = 0;
    for (auto _ : s) {
        w.state.reflections.Store(2, i, ReadingAt(korvel::SweepPointFreqMHz(13.1f, 14.9f, i)));
        i = (i + 1) % 200;
        w.window.Refresh();
        w.window.render(&w.picture);
        benchmark::DoNotOptimize(w.picture.constBits());
    }
}
BENCHMARK(BM_TickWholeWindow)->Unit(benchmark::kMillisecond);

// A tick with nothing new: no snapshot, no paint.
void BM_TickIdle(benchmark::State& s) {
    OpenWindow w;
    const int before = w.window.Snapshots();
    for (auto _ : s)
        w.window.Refresh();
    s.counters["snapshots"] = w.window.Snapshots() - before;
}
BENCHMARK(BM_TickIdle)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
