#include "led.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QTimerEvent>

namespace korvel {

namespace {

constexpr int kCell = 16;
constexpr QRgb kMagenta = 0xFFFF00FF;

}  // namespace

CLed::CLed(QWidget* parent) : QWidget(parent) {
    m_images = QImage(QStringLiteral(":/lamp_strip.bmp")).convertToFormat(QImage::Format_RGB32);
    if (!m_images.isNull()) {
        m_mask = QImage(m_images.size(), QImage::Format_RGB32);
        m_keyed = QImage(m_images.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < m_images.height(); ++y) {
            for (int x = 0; x < m_images.width(); ++x) {
                const QRgb pixel = m_images.pixel(x, y);
                const bool transparent = pixel == kMagenta;
                m_mask.setPixel(x, y, transparent ? 0xFFFFFFFF : 0xFF000000);
                m_keyed.setPixel(x, y, transparent ? 0x00000000 : pixel);
            }
        }
    }
    // The parent's picture stays under the lamp: no erase of our own.
    setAttribute(Qt::WA_NoSystemBackground);
}

CLed::~CLed() = default;

void CLed::Flash() {
    if (m_flashing == 1 && m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    m_flashing = 1;
    m_state = kLit;
    DrawNow();
    m_timerId = startTimer(kFlashMs, Qt::PreciseTimer);
}

void CLed::timerEvent(QTimerEvent* event) {
    if (m_timerId != 0 && event->timerId() == m_timerId) {
        m_state = kUnlit;
        DrawNow();
        killTimer(m_timerId);
        m_timerId = 0;
        m_flashing = 0;
    }
    QWidget::timerEvent(event);
}

void CLed::DrawNow() {
    // A state change shows at once instead of waiting for the paint queue.
    repaint();
}

void CLed::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawLamp(painter, m_state, m_color, m_shape);
}

void CLed::DrawLamp(QPainter& target, int32_t state, int32_t color, int32_t shape) {
    // Any field values are accepted; only cells inside the strip are drawn.
    const int64_t cellX = int64_t{kCell} * state;
    const int64_t cellY = int64_t{color} + shape;
    if (m_images.isNull() || cellX < 0 || cellY < 0 || cellX + kCell > m_images.width() ||
        cellY + kCell > m_images.height()) {
        return;
    }
    const QRect cell(static_cast<int>(cellX), static_cast<int>(cellY), kCell, kCell);
    const int w = width();
    const int h = height();
    QPoint at(0, 0);
    if (w >= kCell && h >= kCell) {
        at = QPoint((w - kCell) / 2, (h - kCell) / 2);
    }
    target.save();
    const QPaintEngine* engine = target.paintEngine();
    if (engine != nullptr && engine->hasFeature(QPaintEngine::RasterOpModes)) {
        // dst ^ cell, then AND the mask (white keeps, black clears), then ^ cell
        // again: the target where the cell is magenta, the cell elsewhere.
        target.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        target.drawImage(at, m_images, cell);
        target.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        target.drawImage(at, m_mask, cell);
        target.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        target.drawImage(at, m_images, cell);
    } else {
        // Engines without raster operations (printers, recordings) get the
        // same picture through a transparent colour key.
        target.setCompositionMode(QPainter::CompositionMode_SourceOver);
        target.drawImage(at, m_keyed, cell);
    }
    target.restore();
}

}  // namespace korvel
