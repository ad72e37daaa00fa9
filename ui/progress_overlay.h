// A thin strip laid over the window along one progress line. It sits above the
// charts, so the red line stays whole where it crosses a chart's top edge, and
// lets the pointer through to the window below.
#pragma once

#include <QWidget>

#include "progress_lines.h"

namespace korvel {

class ProgressOverlay final : public QWidget {
  public:
    ProgressOverlay(QWidget* parent, const ProgressLines& lines, int channel);

    // Asks for a repaint of only what changed since the last refresh: the new
    // segment while the line grows, the whole strip when a pass starts over.
    // A repaint here also repaints the chart under it, so keep it small.
    void Refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const ProgressLines& lines_;
    int channel_;
    int shownEnd_ = ProgressLines::kNone;
};

}  // namespace korvel
