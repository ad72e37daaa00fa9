// The line chart: up to ten curves of equally spaced samples plotted against
// frequency, with a value axis fitted to the data whenever it is drawn, a grid
// with division labels, a legend, an optional minimum marker and last-sample
// label per curve, and an optional cursor whose position and text the owner
// sets.
//
// The owner configures it by writing the public fields and then calling
// update(); writing a field draws nothing by itself. A paint shows the picture
// held from the last drawing while the size, the fields and the samples are
// the same as then, and draws it anew otherwise. The sample arrays belong to
// the owner and may be written from another thread while the chart paints;
// they are read with relaxed loads and copied, so that one drawing sees one
// value of each sample.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "back_buffer.h"
#include "chart_inputs.h"
#include "chart_overlay.h"
#include "color_ref.h"
#include "draw_context.h"
#include "gdi_geometry.h"

namespace korvel {

class CDisLine : public QWidget {
  public:
    static constexpr int kCurves = kChartCurves;

    explicit CDisLine(QWidget* parent = nullptr);
    ~CDisLine() override;

    // Draws the whole chart into `dc` over m_clientRect.
    void DrawChart(DrawContext& dc);
    void GrowPointCount(uint32_t count);
    // For a periodic refresh: schedules a repaint only when the chart would
    // not show the picture it holds (new samples or fields, a new size, no
    // picture yet); true when it did.
    bool UpdateIfChanged();
    // For a look that depends on more than the fields and samples: the held
    // picture no longer counts as current, and a repaint is scheduled.
    void MarkChanged();

    GdiRect m_plotRect;
    uint32_t m_xPointCount = 1;
    uint32_t m_startFreqHz = 0;
    ColorRef m_backColor = RGB(0, 50, 0);
    std::array<ColorRef, kCurves> m_curveColor{};
    ColorRef m_gridColor = RGB(0, 153, 0);
    std::array<const std::atomic<double>*, kCurves> m_curveData{};
    std::array<uint32_t, kCurves> m_curveCount{};
    uint32_t m_stepHz = 1;
    std::array<uint8_t, kCurves> m_curveShown{};
    std::array<int32_t, kCurves> m_curveMarkMin{};
    std::array<QString, kCurves> m_curveName;
    QString m_xUnit = QStringLiteral("(Hz)");
    QString m_yUnit = QStringLiteral("(SWR)");
    std::array<uint8_t, kCurves> m_curveLabelLast{};
    std::array<int32_t, kCurves> m_curveDecimals{};
    QString m_cursorText;
    int32_t m_cursorIndex = 0;
    int32_t m_swrScale = 1;
    GdiRect m_clientRect;

    // A held reference copy of the first curve, drawn under it in the dimmed
    // curve colour and counted in the value axis. Empty: none, and the chart
    // looks as without it.
    std::vector<double> m_heldSamples;
    // While 1 and m_overlayFor is set, the marks it returns for the first
    // curve are drawn too. 0: the chart looks as without them.
    uint8_t m_overlayShown = 0;
    ChartOverlayFunction m_overlayFor;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Copies the fields and the shown curves' samples into m_inputs, the
    // point count first grown to the longest shown curve, so that every use
    // of a sample within one drawing sees the same value.
    void TakeInputs();
    void DrawHeldCurve(DrawContext& dc, double lo, double yScale, double xScale);
    void DrawOverlay(DrawContext& dc, double xScale);
    // Where the overlay's right-aligned text ends.
    int OverlayTextRight(DrawContext& dc, const QString& text, double xScale);

    BackBuffer m_backBuffer;
    QImage m_paintBuffer;       // storage of the per-paint off-screen surface
    ChartInputs m_inputs;       // taken by the latest paint or drawing
    ChartInputs m_drawnInputs;  // of the picture in m_backBuffer (while held)
    // MarkChanged() calls so far, and their count when the held picture was
    // drawn.
    uint64_t m_revision = 0;
    uint64_t m_drawnRevision = 0;
};

}  // namespace korvel
