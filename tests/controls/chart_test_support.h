// Helpers for the chart tests: sample arrays of the kind the worker fills,
// and a chart configured the way the main window configures it.
#pragma once

#include <QImage>
#include <array>
#include <atomic>
#include <vector>

#include "dis_line.h"

namespace korvel::testing {

using Samples = std::array<std::atomic<double>, 200>;

inline void Fill(Samples& samples, const std::vector<double>& head, double rest) {
    for (size_t k = 0; k < samples.size(); ++k) {
        samples[k].store(k < head.size() ? head[k] : rest, std::memory_order_relaxed);
    }
}

// A VSWR chart as the main window sets it up (VSWR1 plan: 6.1 MHz, 9 kHz).
inline void ConfigureVswr(CDisLine& chart, const Samples& samples) {
    chart.resize(813, 128);
    chart.m_startFreqHz = 6100000;
    chart.m_stepHz = 9000;
    chart.m_curveData[0] = samples.data();
    chart.m_curveCount[0] = 200;
    chart.m_curveShown[0] = 1;
    chart.m_curveColor[0] = RGB(255, 255, 0);
    chart.m_curveName[0] = "VSWR1";
    chart.m_curveMarkMin[0] = 1;
}

inline QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

inline bool Is(const QImage& image, int x, int y, ColorRef color) {
    return image.valid(x, y) &&
           (image.pixel(x, y) & 0xFFFFFF) == (ToQColor(color).rgb() & 0xFFFFFF);
}

// Columns in [from, to) of row y that have exactly `color`.
inline int CountInRow(const QImage& image, int y, int from, int to, ColorRef color) {
    int count = 0;
    for (int x = from; x < to; ++x) {
        count += Is(image, x, y, color) ? 1 : 0;
    }
    return count;
}

}  // namespace korvel::testing
