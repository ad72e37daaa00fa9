// Paint cost of the whole main window in steady state: the dialog with its
// four charts, the meter, the lamp and the Smith panel, on curves that look
// like a real sweep. Offscreen platform unless another one is chosen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <memory>

#include "core/measurement_state.h"
#include "korvel_dlg.h"
#include "no_instrument_transport.h"
#include "stop_bound_clocks.h"

namespace {

struct Window {
    korvel::MeasurementState state;
    // No instrument present; the worker waits at its first pause until
    // stopped, so only the window's own work is measured.
    korvel::NoInstrumentTransport instrument;
    korvel::testing::ParkedClock clock;
    std::unique_ptr<korvel::CKORVELDlg> dialog;

    Window() {
        for (std::size_t i = 0; i < korvel::kSweepPoints; ++i) {
            const double x = static_cast<double>(i) / korvel::kSweepPoints;
            state.vswr1Points[i] = 1.2 + 4.0 * std::pow(x - 0.4, 2.0) * 8.0;
            state.vswr2Points[i] = 1.1 + 3.0 * std::fabs(std::sin(6.0 * x));
            state.vswr3Points[i] = 1.5 + 2.0 * x;
            state.s21Points[i] = -30.0 + 25.0 * std::exp(-std::pow((x - 0.5) / 0.1, 2.0));
        }
        state.rfPowerDbm = -17.3;
        state.smithGammaMag = 0.5;
        state.smithR = 150.0;
        state.smithVswr = 3.0;
        state.smithGammaShown = 0.5;
        state.smithZMag = 150.0;
        state.linkUp = 1;
        korvel::DialogOptions options;
        options.startRefreshTimer = false;  // the benchmark drives the ticks
        dialog = std::make_unique<korvel::CKORVELDlg>(state, instrument, clock, options);
        dialog->show();
        QApplication::processEvents();  // first paint builds the cached pictures
        picture = QImage(dialog->size(), QImage::Format_RGB32);
    }

    QImage picture;
};

Window& TheWindow() {
    static Window window;
    return window;
}

// One refresh tick followed by a paint of the whole window (dialog, Smith
// panel and every control) into a picture of the client area.
void BM_WholeWindowPaintPerTick(benchmark::State& st) {
    Window& w = TheWindow();
    for (auto _ : st) {
        w.dialog->OnTimer();
        w.dialog->render(&w.picture);
    }
}
BENCHMARK(BM_WholeWindowPaintPerTick)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// One refresh tick with only what it invalidates repainted (charts, meter).
void BM_RefreshTick(benchmark::State& st) {
    Window& w = TheWindow();
    for (auto _ : st) {
        w.dialog->OnTimer();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_RefreshTick)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TheWindow().dialog.reset();
    benchmark::Shutdown();
    return 0;
}
