// Steady-state paint cost of the chart controls at the sizes the main window
// gives them (every paint after the first, when the back buffers exist). The
// window repaints all four charts and the meter every 100 ms.
//
// Run: paint_bench [--benchmark_repetitions=N]; read the median lines.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <array>
#include <atomic>
#include <cmath>

#include "dis_line.h"
#include "meter.h"
#include "power_meter.h"

namespace {

using korvel::CDisLine;
using korvel::CMeter;
using korvel::RGB;
using Samples = std::array<std::atomic<double>, 200>;

Samples g_vswr;
Samples g_s21;

void FillSamples() {
    for (int k = 0; k < 200; ++k) {
        const double x = (k - 120) / 60.0;
        g_vswr[k].store(1.1 + 2.5 * x * x, std::memory_order_relaxed);
        g_s21[k].store(-20.0 + 15.0 * std::sin(k / 25.0), std::memory_order_relaxed);
    }
}

void Configure(CDisLine& chart, const Samples& samples, QSize size) {
    chart.resize(size);
    chart.m_startFreqHz = 6100000;
    chart.m_stepHz = 9000;
    chart.m_curveData[0] = samples.data();
    chart.m_curveCount[0] = 200;
    chart.m_curveShown[0] = 1;
    chart.m_curveColor[0] = RGB(255, 255, 0);
    chart.m_curveMarkMin[0] = 1;
    chart.m_curveName[0] = "VSWR1";
}

void PaintLoop(benchmark::State& state, QWidget& widget) {
    QImage target(widget.size(), QImage::Format_RGB32);
    widget.render(&target);  // first paint builds the cached buffers
    for (auto _ : state) {
        widget.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_VswrChartPaint(benchmark::State& state) {
    CDisLine chart;
    Configure(chart, g_vswr, QSize(813, 128));
    PaintLoop(state, chart);
}

void BM_S21ChartPaint(benchmark::State& state) {
    CDisLine chart;
    Configure(chart, g_s21, QSize(813, 213));
    chart.m_curveName[0] = "S21";
    chart.m_curveMarkMin[0] = 0;
    chart.m_yUnit = "(dB)";
    chart.m_swrScale = 0;
    PaintLoop(state, chart);
}

void BM_MeterPaint(benchmark::State& state) {
    CMeter meter;
    meter.resize(324, 286);
    ConfigureAsPowerMeter(meter);
    meter.m_value = -23.4;
    PaintLoop(state, meter);
}

BENCHMARK(BM_VswrChartPaint)->Unit(benchmark::kMicrosecond)->Repetitions(9);
BENCHMARK(BM_S21ChartPaint)->Unit(benchmark::kMicrosecond)->Repetitions(9);
BENCHMARK(BM_MeterPaint)->Unit(benchmark::kMicrosecond)->Repetitions(9);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    FillSamples();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
