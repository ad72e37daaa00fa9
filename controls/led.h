// The indicator lamp: a 16 x 16 cell of an image strip, drawn with magenta as
// the transparent colour so that whatever the parent painted shows round it.
// Flash() lights it at once and a one-shot timer puts it out 100 ms later.
#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdint>

namespace korvel {

class CLed : public QWidget {
  public:
    // Cell columns and rows of the image strip.
    static constexpr int32_t kLit = 0;
    static constexpr int32_t kUnlit = 1;
    static constexpr int32_t kDisabled = 2;
    static constexpr int32_t kRed = 0;
    static constexpr int32_t kGreen = 16;
    static constexpr int32_t kYellow = 32;
    static constexpr int32_t kBlue = 48;
    static constexpr int32_t kRound = 0;
    static constexpr int32_t kSquare = 64;
    static constexpr int kFlashMs = 100;

    explicit CLed(QWidget* parent = nullptr);
    ~CLed() override;

    // Lights the lamp at once and puts it out kFlashMs after the latest call.
    void Flash();
    // Draws cell (state, colour, shape) through `target`, centred in this
    // lamp's client area (top-left when it is smaller than a cell), keeping the target's pixels
    // where the cell is magenta. A cell outside the strip draws nothing.
    void DrawLamp(QPainter& target, int32_t state, int32_t color, int32_t shape);

    // Id of the running put-out timer, 0 when none runs.
    int FlashTimerId() const { return m_timerId; }
    // False when the image strip could not be loaded (the lamp then draws
    // nothing).
    bool HasImages() const { return !m_images.isNull(); }

    int32_t m_color = kRed;
    int32_t m_state = kUnlit;
    int32_t m_shape = kRound;
    int32_t m_flashing = 0;
    QImage m_images;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void DrawNow();

    QImage m_mask;   // white where the strip is magenta, black elsewhere
    QImage m_keyed;  // the strip with magenta made transparent
    int m_timerId = 0;
};

}  // namespace korvel
