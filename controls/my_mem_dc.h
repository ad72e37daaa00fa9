// An off-screen stand-in for a target surface during one paint: drawing goes
// to a bitmap, and the finished picture is copied to the target in one step
// when the object ends, so the window never shows a half-drawn state. On a
// printer (or a recording) target the drawing goes straight to the target.
#pragma once

#include <QImage>
#include <QPainter>

#include "draw_context.h"
#include "gdi_geometry.h"

namespace korvel {

class CMyMemDC : public DrawContext {
  public:
    // `area` is in the target's logical coordinates; without one the target's
    // clip box (or, unclipped, its whole device) is used. `reusableBitmap`,
    // when given, is the storage of the off-screen bitmap and is only
    // reallocated when its size changes, so that an owner that paints often
    // allocates nothing in the steady state.
    explicit CMyMemDC(QPainter* target, const GdiRect* area = nullptr,
                      QImage* reusableBitmap = nullptr);
    ~CMyMemDC() override;

    bool IsBuffered() const { return m_buffered != 0; }
    const GdiRect& Area() const { return m_area; }

  private:
    QImage m_ownBitmap;
    QImage* m_bufferBitmap = nullptr;
    QPainter* m_target = nullptr;
    GdiRect m_area;
    int32_t m_buffered = 0;
    QRect m_deviceArea;  // m_area in the target's device pixels
};

}  // namespace korvel
