#include "my_mem_dc.h"

#include <QPaintDevice>

namespace korvel {

namespace {

bool DrawsStraightThrough(const QPainter* target) {
    const QPaintDevice* device = target->device();
    if (device == nullptr) {
        return true;
    }
    const int type = device->devType();
    return type == QInternal::Printer || type == QInternal::Picture;
}

GdiRect ClipBox(const QPainter* target) {
    QRect box;
    if (target->hasClipping()) {
        box = target->clipBoundingRect().toAlignedRect();
    } else if (const QPaintDevice* device = target->device()) {
        box = target->worldTransform().inverted().mapRect(
            QRect(0, 0, device->width(), device->height()));
    }
    return GdiRect{box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};
}

}  // namespace

CMyMemDC::CMyMemDC(QPainter* target, const GdiRect* area, QImage* reusableBitmap)
    : m_target(target) {
    if (m_target == nullptr || !m_target->isActive()) {
        return;  // nothing to paint on: every drawing call is a no-op
    }
    m_buffered = DrawsStraightThrough(m_target) ? 0 : 1;
    m_area = area != nullptr ? *area : ClipBox(m_target);
    const QColor background = m_target->background().color();

    if (m_buffered == 0) {
        Borrow(m_target);
    } else {
        // Keep the target's mapping: the same logical coordinates address the
        // same pixels on both surfaces.
        const QTransform mapping = m_target->worldTransform();
        m_deviceArea =
            mapping.mapRect(QRect(m_area.left, m_area.top, m_area.Width(), m_area.Height()));
        if (m_deviceArea.isEmpty()) {
            m_buffered = 0;
            return;
        }
        m_bufferBitmap = reusableBitmap != nullptr ? reusableBitmap : &m_ownBitmap;
        if (m_bufferBitmap->size() != m_deviceArea.size()) {
            *m_bufferBitmap = QImage(m_deviceArea.size(), QImage::Format_RGB32);
        }
        if (m_bufferBitmap->isNull() || !Begin(m_bufferBitmap)) {
            m_buffered = 0;
            return;
        }
        Painter()->setTransform(
            mapping * QTransform::fromTranslate(-m_deviceArea.left(), -m_deviceArea.top()));
    }
    if (Painter() != nullptr && m_area.Width() > 0 && m_area.Height() > 0) {
        Painter()->fillRect(FillArea(m_area), background);
    }
}

CMyMemDC::~CMyMemDC() {
    if (m_buffered != 0 && IsActive()) {
        End();
        m_target->save();
        m_target->resetTransform();
        m_target->setCompositionMode(QPainter::CompositionMode_Source);
        m_target->drawImage(m_deviceArea.topLeft(), *m_bufferBitmap);
        m_target->restore();
    } else {
        End();  // a borrowed painter is forgotten, not ended
    }
}

}  // namespace korvel
