#include "back_buffer.h"

namespace korvel {

DrawContext& BackBuffer::Surface(QSize size) {
    if (!Holds(size)) {
        Drop();
        m_bitmap = QImage(size, QImage::Format_RGB32);
        m_surface = std::make_unique<DrawContext>(&m_bitmap);
    }
    return *m_surface;
}

void BackBuffer::Drop() {
    m_surface.reset();  // ends its painter before the bitmap goes
    m_bitmap = QImage();
}

}  // namespace korvel
