#include "dis_line.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "chart_scale.h"
#include "my_mem_dc.h"
#include "safe_convert.h"
#include "text_format.h"

namespace korvel {

namespace {

// Beyond this many divisions the grid lines would merge; rows are drawn
// instead (the same pixels, without a loop over every division).
constexpr int64_t kMaxGridLoop = 4096;

// The legend: the first shown curve's name at this x, each next one a slot on.
constexpr int kLegendX0 = 55;
constexpr int kLegendSlot = 110;
// The minimum marker's frequency text starts this far left of the marker.
constexpr int kMarkerFreqLeft = 30;

QString MarkerFreqText(uint32_t freqHz) {
    return CFormat("%5.3f(MHz)", freqHz / 1000000.0);
}

}  // namespace

CDisLine::CDisLine(QWidget* parent) : QWidget(parent) {
    m_curveColor = {RGB(255, 0, 0),     RGB(0, 255, 0),    RGB(0, 0, 255),   RGB(255, 0, 255),
                    RGB(0, 255, 255),   RGB(255, 255, 0),  RGB(255, 128, 0), RGB(128, 0, 255),
                    RGB(255, 255, 255), RGB(128, 128, 128)};
    for (int i = 0; i < kCurves; ++i) {
        m_curveName[i] = CFormat("Cur%d", i);
        m_curveLabelLast[i] = 1;
        m_curveDecimals[i] = 1;
    }
    // The pointer belongs to the owner, which works out the cursor.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CDisLine::~CDisLine() = default;

void CDisLine::GrowPointCount(uint32_t count) {
    if (count > m_xPointCount) {
        m_xPointCount = count;
    }
}

bool CDisLine::UpdateIfChanged() {
    const QSize size(width(), height());
    if (size.isEmpty()) {
        return false;  // a paint would draw nothing
    }
    if (m_backBuffer.Holds(size) && m_drawnRevision == m_revision) {
        TakeInputs();
        if (m_inputs == m_drawnInputs) {
            return false;
        }
    }
    update();
    return true;
}

void CDisLine::MarkChanged() {
    ++m_revision;
    update();
}

void CDisLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_backBuffer.Drop();
    update();
}

void CDisLine::paintEvent(QPaintEvent* event) {
    const int w = width();
    const int h = height();
    m_clientRect = GdiRect{0, 0, w, h};
    if (w <= 0 || h <= 0) {
        return;
    }
    QPainter paint(this);
    const QSize size(w, h);
    if (m_backBuffer.Holds(size)) {
        // The window repaints every chart ten times a second: when nothing it
        // shows has changed, the back buffer already holds the picture. A
        // repaint of only part of the chart (the progress strip above it, a
        // covering window gone) shows the picture the rest of it shows.
        // Parts of the chart that siblings cover (the S21 chart laps over the
        // foot of the VSWR3 chart) never reach a paint: only a region short of
        // the visible one is partial.
        const bool partial = !(visibleRegion() - event->region()).isEmpty();
        if (!partial) {
            TakeInputs();
        }
        if (partial || (m_inputs == m_drawnInputs && m_drawnRevision == m_revision)) {
            paint.setCompositionMode(QPainter::CompositionMode_Source);
            paint.drawImage(event->rect().topLeft(), m_backBuffer.Picture(), event->rect());
            return;
        }
    }
    CMyMemDC memDC(&paint, &m_clientRect, &m_paintBuffer);
    DrawChart(m_backBuffer.Surface(size));
    m_drawnInputs = m_inputs;
    m_drawnRevision = m_revision;
    memDC.BitBlt(0, 0, size, m_backBuffer.Picture(), QPoint(0, 0));
}

void CDisLine::TakeInputs() {
    for (int i = 0; i < kCurves; ++i) {
        std::vector<double>& samples = m_inputs.samples[i];
        if (m_curveShown[i] != 1 || m_curveData[i] == nullptr) {
            samples.clear();
            continue;
        }
        samples.resize(m_curveCount[i]);
        for (uint32_t k = 0; k < m_curveCount[i]; ++k) {
            samples[k] = m_curveData[i][k].load(std::memory_order_relaxed);
        }
        if (!samples.empty()) {
            GrowPointCount(m_curveCount[i]);
        }
    }
    if (m_curveShown[0] == 1) {
        m_inputs.held = m_heldSamples;
    } else {
        m_inputs.held.clear();
    }
    ChartFields& f = m_inputs.fields;
    f.width = width();
    f.height = height();
    f.xPointCount = m_xPointCount;
    f.startFreqHz = m_startFreqHz;
    f.stepHz = m_stepHz;
    f.backColor = m_backColor;
    f.gridColor = m_gridColor;
    f.xUnit = m_xUnit;
    f.yUnit = m_yUnit;
    f.cursorText = m_cursorText;
    f.cursorIndex = m_cursorIndex;
    f.swrScale = m_swrScale;
    f.curveColor = m_curveColor;
    f.curveCount = m_curveCount;
    f.curveShown = m_curveShown;
    f.curveMarkMin = m_curveMarkMin;
    f.curveName = m_curveName;
    f.curveLabelLast = m_curveLabelLast;
    f.curveDecimals = m_curveDecimals;
    f.overlayShown = m_overlayFor ? m_overlayShown : 0;
}

void CDisLine::DrawChart(DrawContext& dc) {
    const GdiRect client = m_clientRect;
    dc.FillRect(client, m_backColor);
    dc.SetBkTransparent(true);
    dc.SetTextColor(m_gridColor);

    TakeInputs();
    double lo = kNoRangeLo;
    double hi = kNoRangeHi;
    for (const std::vector<double>& samples : m_inputs.samples) {
        if (!samples.empty()) {
            AutoRange(lo, hi, samples, m_swrScale);
        }
    }
    if (!m_inputs.held.empty()) {
        AutoRange(lo, hi, m_inputs.held, m_swrScale);
    }
    const NiceScaleResult scale = NiceScale(lo, hi);
    lo = scale.lo;
    hi = scale.hi;

    m_plotRect = GdiRect{client.left + 20, client.top + 20, client.right - 70, client.bottom - 20};
    const int left = m_plotRect.left;
    const int top = m_plotRect.top;
    const int right = m_plotRect.right;
    const int bottom = m_plotRect.bottom;

    dc.SelectPen(m_gridColor, 1);
    dc.TextOut((left + right) / 2 + 30, bottom,
               ValueDivisionLabel(scale.divisionSize, scale.exponent, m_yUnit));

    // Horizontal grid with the bottom and top value labels.
    const int64_t n = scale.divisions;
    const int64_t plotHeight = bottom - top;
    if (n <= kMaxGridLoop || n <= std::abs(plotHeight)) {
        for (int64_t i = 0; i <= n; ++i) {
            const int y = static_cast<int>(bottom - plotHeight * i / n);
            dc.MoveTo(left, y);
            dc.LineTo(right, y);
        }
    } else {
        for (int y = std::min(top, bottom); y <= std::max(top, bottom); ++y) {
            dc.MoveTo(left, y);
            dc.LineTo(right, y);
        }
    }
    dc.TextOut(left, bottom - 15, ValueLabel(lo, scale.exponent));
    dc.TextOut(left, top,
               ValueLabel(lo + static_cast<double>(n) * scale.divisionSize, scale.exponent));

    // Frequency grid. A zero span has no sensible line positions: none drawn.
    const uint32_t span = m_stepHz * m_xPointCount;
    const uint32_t interval = FrequencyInterval(span);
    if (span != 0) {
        const double width = right - left;
        auto vertical = [&](uint64_t f) {
            const int x = PixelFromDouble(left + static_cast<double>(f) * width / span);
            dc.MoveTo(x, top);
            dc.LineTo(x, bottom);
        };
        uint64_t f = 0;
        for (; f <= span; f += interval) {
            vertical(f);
        }
        if (f - interval != span) {
            vertical(span);
        }
    }
    dc.TextOut((left + right) / 2 - 80, bottom, FrequencyDivisionLabel(interval, m_xUnit));
    dc.TextOut(left, bottom, StartFrequencyLabel(m_startFreqHz));
    if (m_cursorIndex != 0) {
        dc.TextOut(right - 150, bottom, m_cursorText);
    }

    const double yScale = (bottom - top) / (hi - lo);
    const double xScale = static_cast<double>(right - left) / m_xPointCount;
    auto yOf = [&](double v) { return PixelFromDouble(bottom - (v - lo) * yScale); };
    auto xOf = [&](uint32_t k) { return PixelFromDouble(left + k * xScale); };

    DrawHeldCurve(dc, lo, yScale, xScale);
    DrawOverlay(dc, xScale);

    int x0 = kLegendX0;
    for (int i = 0; i < kCurves; ++i) {
        if (m_curveShown[i] != 1) {
            continue;
        }
        const std::vector<double>& samples = m_inputs.samples[i];
        const uint32_t minIndex = MinimumIndex(samples);
        const ColorRef color = m_curveColor[i];
        dc.SelectPen(color, 1);

        dc.FillRect(GdiRect{x0 - 19, client.top + 8, x0 - 19 + 14, client.top + 8 + 6}, color);
        dc.TextOut(x0, client.top + 3, m_curveName[i]);
        x0 += kLegendSlot;

        const uint32_t count = static_cast<uint32_t>(samples.size());
        if (count == 0) {
            continue;
        }

        // The owner keeps the cursor below every count; an index outside this
        // curve simply has no lines on it.
        if (m_cursorIndex > 0 && static_cast<uint32_t>(m_cursorIndex) < count) {
            const uint32_t c = static_cast<uint32_t>(m_cursorIndex);
            dc.SelectPen(m_gridColor, 1);
            dc.MoveTo(xOf(c), bottom);
            dc.LineTo(xOf(c), top);
            if (std::isfinite(samples[c])) {
                dc.MoveTo(left, yOf(samples[c]));
                dc.LineTo(right, yOf(samples[c]));
            }
            dc.SelectPen(color, 1);
        }

        // A sample without a value leaves a gap in the curve.
        bool penDown = std::isfinite(samples[0]);
        if (penDown) {
            dc.MoveTo(left, yOf(samples[0]));
        }
        for (uint32_t k = 1; k < count; ++k) {
            const double v = samples[k];
            if (!std::isfinite(v)) {
                penDown = false;
                continue;
            }
            const int x = xOf(k);
            const int y = yOf(v);
            if (penDown) {
                dc.LineTo(x, y);
            } else {
                dc.MoveTo(x, y);
            }
            penDown = true;
            if (k == minIndex && m_curveMarkMin[i] == 1) {
                dc.MoveTo(x, bottom);
                dc.LineTo(x, top + 20);
                dc.SetTextColor(color);
                dc.TextOut(x - 20, top + 3, CFormat("%3.1f(SWR)", v));
                const uint32_t freqHz = m_stepHz * k + m_startFreqHz;
                dc.TextOut(x - kMarkerFreqLeft, top - 10, MarkerFreqText(freqHz));
                dc.MoveTo(x, y);
            }
            if (k == count - 1 && m_curveLabelLast[i] == 1) {
                dc.SetTextColor(color);
                dc.TextOut(x, y, LastSampleLabel(v, m_curveDecimals[i], m_yUnit));
                dc.SetTextColor(m_gridColor);
            }
        }
    }
}

void CDisLine::DrawHeldCurve(DrawContext& dc, double lo, double yScale, double xScale) {
    const std::vector<double>& held = m_inputs.held;
    if (held.empty()) {
        return;
    }
    const int left = m_plotRect.left;
    const int bottom = m_plotRect.bottom;
    dc.SelectPen(DimmedColor(m_curveColor[0], m_backColor), 1);
    bool penDown = false;
    const std::size_t count = std::min<std::size_t>(held.size(), m_xPointCount);
    for (uint32_t k = 0; k < count; ++k) {
        const double v = held[k];
        if (!std::isfinite(v)) {
            penDown = false;
            continue;
        }
        const int x = PixelFromDouble(left + k * xScale);
        const int y = PixelFromDouble(bottom - (v - lo) * yScale);
        if (penDown) {
            dc.LineTo(x, y);
        } else {
            dc.MoveTo(x, y);
        }
        penDown = true;
    }
}

int CDisLine::OverlayTextRight(DrawContext& dc, const QString& text, double xScale) {
    // At the plot's right edge, unless the minimum marker's frequency text
    // (on the same rows) is in the way: then just left of that, if the
    // legend leaves room.
    constexpr int kGap = 10;
    const int right = m_plotRect.right;
    const std::vector<double>& samples = m_inputs.samples[0];
    const uint32_t minIndex = MinimumIndex(samples);
    if (m_curveShown[0] != 1 || m_curveMarkMin[0] != 1 || minIndex == 0) {
        return right;  // no marker drawn
    }
    const int markerX = PixelFromDouble(m_plotRect.left + minIndex * xScale);
    const uint32_t freqHz = m_stepHz * minIndex + m_startFreqHz;
    const int markerLeft = markerX - kMarkerFreqLeft;
    const int markerRight = markerLeft + dc.TextWidth(MarkerFreqText(freqHz));
    const int width = dc.TextWidth(text);
    if (right - width >= markerRight + kGap || right <= markerLeft - kGap) {
        return right;
    }
    int legendRight = 0;
    for (int i = 0, x0 = kLegendX0; i < kCurves; ++i) {
        if (m_curveShown[i] == 1) {
            legendRight = x0 + dc.TextWidth(m_curveName[i]);
            x0 += kLegendSlot;
        }
    }
    const int beside = markerLeft - kGap;
    return beside - width >= legendRight + kGap ? beside : right;
}

void CDisLine::DrawOverlay(DrawContext& dc, double xScale) {
    const std::vector<double>& samples = m_inputs.samples[0];
    if (m_inputs.fields.overlayShown != 1 || samples.empty()) {
        return;
    }
    const ChartOverlay overlay = m_overlayFor(samples, m_startFreqHz, m_stepHz);
    const ColorRef color = m_curveColor[0];
    const int left = m_plotRect.left;
    const int right = m_plotRect.right;
    const int bottom = m_plotRect.bottom;
    const int top = m_plotRect.top + 20;  // as high as the minimum marker reaches
    constexpr int kDash = 4;
    constexpr int kGap = 3;
    dc.SelectPen(color, 1);
    if (m_stepHz != 0) {
        for (const double hz : overlay.linesAtHz) {
            const int x = PixelFromDouble(left + (hz - m_startFreqHz) / m_stepHz * xScale);
            if (x < left || x > right) {
                continue;
            }
            for (int y = bottom; y > top; y -= kDash + kGap) {
                dc.MoveTo(x, y);
                dc.LineTo(x, std::max(y - kDash, top));
            }
        }
    }
    if (!overlay.text.isEmpty()) {
        dc.SetTextColor(color);
        dc.SetTextAlign(kTaRight | kTaTop);
        dc.TextOut(OverlayTextRight(dc, overlay.text, xScale), m_clientRect.top + 3, overlay.text);
        dc.SetTextAlign(kTaLeft | kTaTop);
        dc.SetTextColor(m_gridColor);
    }
}

}  // namespace korvel
