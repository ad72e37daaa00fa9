#include "progress_overlay.h"

#include <QPainter>

namespace korvel {

ProgressOverlay::ProgressOverlay(QWidget* parent, const ProgressLines& lines, int channel)
    : QWidget(parent), lines_(lines), channel_(channel) {
    const int y = kProgressY[channel] - kProgressThickness / 2;
    setGeometry(kProgressX0, y, kProgressSpan + 1, kProgressThickness);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void ProgressOverlay::Refresh() {
    const int end = lines_.End(channel_);
    if (end == shownEnd_) {
        return;
    }
    if (end == ProgressLines::kNone || shownEnd_ == ProgressLines::kNone || end < shownEnd_) {
        update();
    } else {
        // Columns shownEnd_ + 1 .. end, in the strip's own coordinates.
        update(QRect(shownEnd_ + 1 - kProgressX0, 0, end - shownEnd_, kProgressThickness));
    }
    shownEnd_ = end;
}

void ProgressOverlay::paintEvent(QPaintEvent*) {
    const int end = lines_.End(channel_);
    if (end == ProgressLines::kNone) {
        return;
    }
    QPainter painter(this);
    // Red, 3 pixels thick, from x = 430 up to and including the end point.
    painter.fillRect(QRect(0, 0, end - kProgressX0 + 1, kProgressThickness), QColor(255, 0, 0));
}

}  // namespace korvel
