// Real-time cost of saving the view and of one Smith panel paint, at the
// window's size (1235 × 710 captured pixels).
#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "bmp_writer.h"
#include "core/measurement_state.h"
#include "smith_panel.h"

namespace {

QImage WindowPicture() {
    QImage picture(1235, 710, QImage::Format_RGB32);
    picture.fill(qRgb(240, 240, 240));
    QPainter painter(&picture);
    korvel::MeasurementState state;
    state.smithGammaMag.store(0.5);
    korvel::PaintSmithPanel(painter, state, 14270, 5.0);
    painter.fillRect(430, 20, 700, 600, QColor(30, 60, 90));
    return picture;
}

void BM_EncodeBmp(benchmark::State& s) {
    const QImage picture = WindowPicture();
    const int depth = static_cast<int>(s.range(0));
    for (auto _ : s) {
        benchmark::DoNotOptimize(korvel::EncodeBmp(picture, depth));
    }
}
BENCHMARK(BM_EncodeBmp)->Arg(1)->Arg(4)->Arg(8)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

// The panel painted whole, or within `clip`.
void PaintSmithPanelLoop(benchmark::State& s, const QRect& clip = {}) {
    QImage surface(1235, 709, QImage::Format_RGB32);
    korvel::MeasurementState state;
    state.smithGammaMag.store(0.5);
    for (auto _ : s) {
        QPainter painter(&surface);
        if (!clip.isNull()) {
            painter.setClipRect(clip);
        }
        korvel::PaintSmithPanel(painter, state, 14270, 5.0);
    }
}

void BM_PaintSmithPanel(benchmark::State& s) {
    PaintSmithPanelLoop(s);
}
BENCHMARK(BM_PaintSmithPanel)->Unit(benchmark::kMillisecond);

// What a lamp flash costs: the panel painted under the lamp's 25 x 25 corner.
void BM_PaintSmithPanelUnderLamp(benchmark::State& s) {
    PaintSmithPanelLoop(s, QRect(30, 1, 25, 25));
}
BENCHMARK(BM_PaintSmithPanelUnderLamp)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
