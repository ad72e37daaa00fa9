// A picture a control keeps between paints: a bitmap and the drawing surface
// on it, made for one size and dropped when the size or the configuration
// changes.
#pragma once

#include <QImage>
#include <QSize>
#include <memory>

#include "draw_context.h"

namespace korvel {

class BackBuffer {
  public:
    bool IsHeld() const { return m_surface != nullptr && !m_bitmap.isNull(); }
    // True while a picture of exactly `size` is held.
    bool Holds(QSize size) const { return IsHeld() && m_bitmap.size() == size; }
    // The surface of a picture of `size`: the held one, or a new blank bitmap
    // when none of that size is held.
    DrawContext& Surface(QSize size);
    void Drop();
    const QImage& Picture() const { return m_bitmap; }

  private:
    QImage m_bitmap;
    // Declared after the bitmap, so that its painter ends before the bitmap
    // goes.
    std::unique_ptr<DrawContext> m_surface;
};

}  // namespace korvel
