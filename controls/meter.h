// The analogue needle meter: a round dial with a shaded rim, a scale arc with
// optional coloured zones, major and minor ticks with labels, a shaded needle
// and hub, and a two-line read-out (units above the value).
//
// The static picture is drawn once into a cached dial bitmap and reused until
// a configuration operation or a resize drops it. The owner writes m_value
// directly and calls update(), or UpdateIfChanged() to skip the repaint of a
// picture that would not change; the configuration operations drop the
// picture and schedule a repaint themselves.
#pragma once

#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

#include "back_buffer.h"
#include "color_ref.h"
#include "draw_context.h"
#include "gdi_geometry.h"
#include "meter_scale.h"

namespace korvel {

class CMeter : public QWidget {
  public:
    explicit CMeter(QWidget* parent = nullptr);
    ~CMeter() override;

    void SetRange(double min, double max);
    void SetScaleDecimals(int count);
    void SetValueDecimals(int count);
    void SetUnits(const QString& text);
    void SetMajorTicks(int count);
    void SetMinorTicks(int count);
    void SetAngles(int start, int end);
    void SetNeedleColor(ColorRef color);
    void ShowColorZones();

    int32_t ValueDecimals() const { return m_valueDecimals; }
    bool ZonesShown() const { return m_zonesShown != 0; }

    // True while a dial picture is cached (tests check when it is rebuilt).
    bool HasDialPicture() const { return m_dial.IsHeld(); }
    // Tick positions of the cached picture (0 before the first paint).
    int BoundaryCount() const { return m_boundaryCount; }

    // Schedules a repaint only when the picture composed last would not show
    // m_value (or there is none); true when it did.
    bool UpdateIfChanged();

    // Current value, written by the owner before it calls update().
    double m_value = 50.0;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Reconfigured();
    // The picture in m_paintBuffer is of this size, dial and value.
    bool ComposedIsCurrent(int w, int h) const;
    void DropBackground();
    // Dial, needle, hub and read-out into m_paintBuffer, then onto `paint`.
    void ComposePicture(QPainter& paint, int w, int h);
    void DrawBackground(DrawContext& dc, const GdiRect& client);
    void DrawNeedle(DrawContext& dc);
    void DrawHub(DrawContext& dc);
    void DrawValueText(DrawContext& dc);
    // Makes m_font an "Arial" face of the given line height (kept while the
    // height stays the same).
    const QFont& FontOfHeight(int32_t cellHeight);

    int32_t m_zonesShown = 0;
    std::array<ColorRef, 5> m_zoneColors{};
    QString m_unitsText = QStringLiteral("RF Power");
    int32_t m_valueDecimals = 1;
    ColorRef m_needleColor = RGB(255, 0, 0);
    int32_t m_scaleDecimals = 0;
    double m_maxValue = 15.0;
    double m_minValue = -75.0;
    int32_t m_startAngle = 225;
    int32_t m_endAngle = 315;
    int32_t m_majorTicks = 10;
    int32_t m_minorTicks = 5;
    double m_startAngleRad = 0;
    double m_endAngleRad = 0;
    int32_t m_hubUnit = 0;
    GdiRect m_clientRect;
    GdiRect m_valueBox;
    QRegion m_boundaryRegion;
    BackBuffer m_dial;
    QPoint m_center;
    std::array<QPoint, kMaxTickPositions> m_boundary{};
    int m_boundaryCount = 0;
    QFont m_font;
    ColorRef m_colorWindow = RGB(255, 255, 255);
    ColorRef m_colorHighlight = RGB(255, 255, 255);
    ColorRef m_colorShadow = RGB(160, 160, 160);
    ColorRef m_colorFace = RGB(240, 240, 240);
    int32_t m_radius = 0;

    QImage m_paintBuffer;  // storage of the per-paint off-screen surface
    // m_paintBuffer holds the whole picture for this value on the current dial.
    bool m_composed = false;
    double m_composedValue = 0.0;
    int32_t m_fontCellHeight = -1;  // line height m_font was made for
};

}  // namespace korvel
