// The line chart: up to ten curves of equally spaced samples plotted against
// frequency, with a value axis fitted to the data at every paint, a grid with
// division labels, a legend, an optional minimum marker and last-sample label
// per curve, and an optional cursor whose position and text the owner sets.
//
// The owner configures it by writing the public fields and then calling
// update(); writing a field draws nothing by itself. The sample arrays belong
// to the owner and may be written from another thread while the chart paints;
// they are read with relaxed loads, once per sample and paint.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "color_ref.h"
#include "draw_context.h"
#include "gdi_geometry.h"

namespace korvel {

class CDisLine : public QWidget {
  public:
    static constexpr int kCurves = 10;

    explicit CDisLine(QWidget* parent = nullptr);
    ~CDisLine() override;

    // Draws the whole chart into `dc` over m_clientRect.
    void DrawChart(DrawContext& dc);
    void GrowPointCount(uint32_t count);

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

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void DropBackBuffer();
    // Copies the shown curves' samples once, so that every use of a sample
    // within one drawing sees the same value.
    void TakeSamples();
    // Everything a drawing depends on: the fields, the size and the samples
    // last taken. Equal inputs draw equal pictures.
    size_t InputSignature() const;

    QImage m_backBitmap;
    std::unique_ptr<DrawContext> m_backDC;
    QImage m_paintBuffer;  // storage of the per-paint off-screen surface
    std::array<std::vector<double>, kCurves> m_samples;
    // Signature of the picture held in m_backBitmap (valid while it exists).
    size_t m_drawnSignature = 0;
};

}  // namespace korvel
