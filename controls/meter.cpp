#include "meter.h"

#include <cstring>

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPolygon>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "my_mem_dc.h"
#include "safe_convert.h"
#include "text_format.h"

namespace korvel {

namespace {

constexpr int kZonePoints = 251;
constexpr int kZones = 5;
constexpr int kPointsPerZone = 50;

}  // namespace

CMeter::CMeter(QWidget* parent) : QWidget(parent) {
    m_zoneColors = {RGB(255, 255, 0), RGB(0, 255, 0), RGB(255, 0, 0), RGB(255, 183, 34),
                    RGB(255, 92, 93)};
    // The pointer belongs to the owner.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CMeter::~CMeter() = default;

void CMeter::Reconfigured() {
    DropBackground();
    update();
}

void CMeter::SetRange(double min, double max) {
    m_minValue = min;
    m_maxValue = max;
    Reconfigured();
}

void CMeter::SetScaleDecimals(int count) {
    m_scaleDecimals = count;
    Reconfigured();
}

void CMeter::SetValueDecimals(int count) {
    m_valueDecimals = count;
    Reconfigured();
}

void CMeter::SetUnits(const QString& text) {
    m_unitsText = text;
    Reconfigured();
}

void CMeter::SetMajorTicks(int count) {
    m_majorTicks = count;
    Reconfigured();
}

void CMeter::SetMinorTicks(int count) {
    m_minorTicks = count;
    Reconfigured();
}

void CMeter::SetAngles(int start, int end) {
    m_startAngle = start;
    m_endAngle = end;
    Reconfigured();
}

void CMeter::SetNeedleColor(ColorRef color) {
    m_needleColor = color;
    Reconfigured();
}

void CMeter::ShowColorZones() {
    m_zonesShown = 1;
    Reconfigured();
}

void CMeter::DropBackground() {
    m_composed = false;
    m_dial.Drop();
}

void CMeter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    DropBackground();
    update();
}

const QFont& CMeter::FontOfHeight(int32_t cellHeight) {
    if (cellHeight != m_fontCellHeight) {
        m_font = FontWithCellHeight(QStringLiteral("Arial"), cellHeight);
        m_font.setWeight(QFont::Normal);
        m_fontCellHeight = cellHeight;
    }
    return m_font;
}

void CMeter::paintEvent(QPaintEvent*) {
    const int w = width();
    const int h = height();
    m_clientRect = GdiRect{0, 0, w, h};
    if (w <= 0 || h <= 0) {
        return;
    }
    QPainter paint(this);
    // The window repaints the meter ten times a second; an unchanged value on
    // an unchanged dial is the picture composed last time.
    if (ComposedIsCurrent(w, h)) {
        paint.setCompositionMode(QPainter::CompositionMode_Source);
        paint.drawImage(0, 0, m_paintBuffer);
        return;
    }
    m_composed = false;
    ComposePicture(paint, w, h);
    m_composed = m_paintBuffer.size() == QSize(w, h);
    m_composedValue = m_value;
}

bool CMeter::ComposedIsCurrent(int w, int h) const {
    // Compared by bits: a NaN value is current after it was composed.
    return m_composed && HasDialPicture() && m_paintBuffer.size() == QSize(w, h) &&
           std::memcmp(&m_composedValue, &m_value, sizeof m_value) == 0;
}

bool CMeter::UpdateIfChanged() {
    if (width() <= 0 || height() <= 0 || ComposedIsCurrent(width(), height())) {
        return false;
    }
    update();
    return true;
}

void CMeter::ComposePicture(QPainter& paint, int w, int h) {
    CMyMemDC memDC(&paint, &m_clientRect, &m_paintBuffer);
    const DialGeometry dial = DialFromClient(m_clientRect);
    m_radius = dial.radius;
    m_center = dial.center;
    const QSize size(w, h);
    if (!m_dial.Holds(size)) {
        DropBackground();
        DrawBackground(m_dial.Surface(size), m_clientRect);
    }
    memDC.BitBlt(0, 0, size, m_dial.Picture(), QPoint(0, 0));
    DrawNeedle(memDC);
    DrawHub(memDC);
    DrawValueText(memDC);
}

void CMeter::DrawBackground(DrawContext& dc, const GdiRect& client) {
    const int32_t r = m_radius;
    const DialRadii radii = RadiiFromRadius(r);
    const int cx = m_center.x();
    const int cy = m_center.y();
    const int32_t a0 = m_startAngle;
    const int32_t a1 = m_endAngle;
    const double span = static_cast<double>(ScaleSpan(a0, a1));
    m_startAngleRad = (a0 - 180.0) * std::numbers::pi / 180.0;
    m_endAngleRad = (a1 - 360.0) * std::numbers::pi / 180.0;
    m_hubUnit = r / 10;

    const QPalette colors = palette();
    m_colorWindow = FromQColor(colors.color(QPalette::Base));
    m_colorFace = FromQColor(colors.color(QPalette::Button));
    m_colorShadow = FromQColor(colors.color(QPalette::Dark));
    m_colorHighlight = FromQColor(colors.color(QPalette::Light));

    // Face, without a frame.
    dc.FillRect(client, m_colorFace);

    // Rim: narrower, lighter bands over wider, darker ones.
    const GdiRect dialBox{cx - r, cy - r, cx + r, cy + r};
    const QPoint rimStart = TruncatedPolar(m_center, r, a1);
    const QPoint rimEnd = TruncatedPolar(m_center, r, a0);
    for (int32_t k = radii.rim; k >= 1; --k) {
        const int c = TruncToInt(255.0 - 159.0 * k / radii.rim);
        dc.SelectPen(RGB(c, c, 255), 2 * k);
        dc.Arc(dialBox, rimStart.x(), rimStart.y(), rimEnd.x(), rimEnd.y());
    }

    // Scale line.
    const int32_t ri = radii.majorInner;
    const QPoint scaleStart = TruncatedPolar(m_center, ri, a1);
    const QPoint scaleEnd = TruncatedPolar(m_center, ri, a0);
    dc.SelectPen(RGB(255, 255, 0), 1);
    dc.Arc(GdiRect{cx - ri, cy - ri, cx + ri, cy + ri}, scaleStart.x(), scaleStart.y(),
           scaleEnd.x(), scaleEnd.y());

    // Zones.
    if (m_zonesShown != 0) {
        std::array<QPoint, kZonePoints> outer;
        std::array<QPoint, kZonePoints> inner;
        for (int i = 0; i < kZonePoints; ++i) {
            const double theta = a0 - i * span / 250.0;
            outer[i] = TruncatedPolar(m_center, radii.zoneOuter, theta);
            inner[i] = TruncatedPolar(m_center, 0.8 * r, theta);
        }
        std::array<QPoint, 2 * (kPointsPerZone + 1)> zone;
        for (int z = 0; z < kZones; ++z) {
            int n = 0;
            for (int i = kPointsPerZone * z; i <= kPointsPerZone * (z + 1); ++i) {
                zone[n++] = outer[i];
            }
            for (int i = kPointsPerZone * (z + 1); i >= kPointsPerZone * z; --i) {
                zone[n++] = inner[i];
            }
            dc.SelectBrush(m_zoneColors[z]);
            dc.SelectPen(m_zoneColors[z], 1);
            dc.Polygon(zone.data(), n);
        }
        dc.SelectNullBrush();
    }

    // Ticks, their outer ends making the needle's clip outline.
    const TickWalk walk = WalkTicks(m_center, radii, a0, a1, m_majorTicks, m_minorTicks);
    m_boundaryCount = walk.count;
    QPolygon outline(walk.count);
    for (int n = 0; n < walk.count; ++n) {
        m_boundary[n] = walk.ticks[n].outer;
        outline[n] = walk.ticks[n].outer;
    }
    m_boundaryRegion = QRegion(outline, Qt::OddEvenFill);
    m_valueBox = GdiRect{cx - r / 2, cy + r / 5, cx + r / 2, cy + r / 2};
    dc.SelectPen(RGB(0, 0, 0), 1);
    for (int n = 0; n < walk.count; ++n) {
        dc.MoveTo(walk.ticks[n].outer.x(), walk.ticks[n].outer.y());
        dc.LineTo(walk.ticks[n].inner.x(), walk.ticks[n].inner.y());
    }

    // Labels at the major divisions, each anchored at the inner end of its
    // tick; division counts below 1 count as 1, and a label whose tick lies
    // beyond the walk's last position is left out.
    const int32_t h = radii.labelHeight;
    if (h <= 0) {
        return;
    }
    const int64_t majors = std::max(1, m_majorTicks);
    const int64_t minors = std::max(1, m_minorTicks);
    dc.SelectFont(FontOfHeight(h));
    dc.SetBkTransparent(true);
    dc.SetTextColor(RGB(0, 0, 0));
    for (int64_t i = 0; i <= majors && minors * i < walk.count; ++i) {
        const double value = m_minValue + (m_maxValue - m_minValue) * static_cast<double>(i) /
                                              static_cast<double>(majors);
        const double phi =
            a0 - static_cast<double>(minors * i) * (span / static_cast<double>(majors * minors));
        const LabelPlacement place = PlaceLabel(phi, walk.ticks[minors * i].inner, h);
        dc.SetTextAlign(place.align);
        dc.TextOut(place.at.x(), place.at.y(), FormatDecimals(value, m_scaleDecimals));
    }
    dc.SetTextAlign(kTaLeft | kTaTop);
    dc.SelectFont(DefaultSurfaceFont());
}

void CMeter::DrawNeedle(DrawContext& dc) {
    const double theta = NeedleAngle(m_value, m_minValue, m_maxValue, m_startAngle, m_endAngle);
    const double radians = theta * std::numbers::pi / 180.0;
    const double s = std::sin(radians);
    const double c = std::cos(radians);
    const double length = 10.0 * m_hubUnit;
    const double r = m_radius;
    const int cx = m_center.x();
    const int cy = m_center.y();
    const QPoint baseLeft(cx - TruncToInt(length * s / 8), cy - TruncToInt(length * c / 8));
    const QPoint baseRight(cx + TruncToInt(length * s / 8), cy + TruncToInt(length * c / 8));
    const QPoint tip(RoundToInt(cx + 0.95 * r * c), RoundToInt(cy - 0.95 * r * s));
    const QPoint tail(RoundToInt(cx - r * c / 6), RoundToInt(cy + r * s / 6));

    // The fill stops at the tick boundary.
    const QPoint kite[] = {baseLeft, tip, baseRight, tail};
    dc.SetClipRegion(&m_boundaryRegion);
    dc.SelectBrush(m_needleColor);
    dc.SelectPen(m_needleColor, 1);
    dc.Polygon(kite, 4);
    dc.SetClipRegion(nullptr);
    dc.SelectNullBrush();

    // Bevel edges run unclipped to the tip; the shadow falls on the side away
    // from the light, which flips as the needle passes straight up.
    const QPoint& shadowSide = theta > 90 ? baseLeft : baseRight;
    const QPoint& lightSide = theta > 90 ? baseRight : baseLeft;
    dc.SelectPen(m_colorShadow, 2);
    dc.MoveTo(tip.x(), tip.y());
    dc.LineTo(shadowSide.x(), shadowSide.y());
    dc.LineTo(tail.x(), tail.y());
    dc.SelectPen(m_colorHighlight, 1);
    dc.MoveTo(tip.x(), tip.y());
    dc.LineTo(lightSide.x(), lightSide.y());
    dc.LineTo(tail.x(), tail.y());
}

void CMeter::DrawHub(DrawContext& dc) {
    const int cx = m_center.x();
    const int cy = m_center.y();
    for (int32_t k = (3 * m_hubUnit) / 4; k >= 0; --k) {
        const int grey = HubGrey(k, m_hubUnit);
        if (k == 0) {
            // The innermost circle has no size: it is the white centre point.
            dc.SetPixel(cx, cy, RGB(grey, grey, grey));
            continue;
        }
        dc.SelectPen(RGB(grey, grey, grey), 1);
        dc.Arc(GdiRect{cx - k, cy - k, cx + k, cy + k}, cx - k, cy, cx - k, cy);
    }
}

void CMeter::DrawValueText(DrawContext& dc) {
    const QString text = FormatDecimals(m_value, m_valueDecimals);
    dc.SelectFont(FontOfHeight(m_radius / 5));
    dc.SetBkColor(m_colorFace);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetTextAlign(kTaCenter | kTaTop);
    const int xc = (m_valueBox.left + m_valueBox.right) / 2;
    const int yc = (m_valueBox.top + m_valueBox.bottom) / 2;
    dc.TextOut(xc, yc, m_unitsText);
    dc.TextOut(xc, yc + m_radius / 5, text);
    dc.SelectFont(DefaultSurfaceFont());
    dc.SetBkColor(m_colorWindow);
}

}  // namespace korvel
