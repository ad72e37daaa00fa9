#include "led.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimerEvent>
#include <cstdint>
#include <limits>

namespace korvel {
namespace {

constexpr QRgb kParentFill = 0xFF3C5A78u;  // a colour the strip does not use
constexpr QRgb kMagenta = 0xFFFF00FFu;

QImage RenderOver(CLed& led, QRgb fill = kParentFill) {
    QImage image(led.size(), QImage::Format_RGB32);
    image.fill(fill);
    led.render(&image);
    return image;
}

bool HasMagenta(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == kMagenta) {
                return true;
            }
        }
    }
    return false;
}

void SendTimer(CLed& led, int id) {
    QTimerEvent event(id);
    QCoreApplication::sendEvent(&led, &event);
}

TEST(LedTest, StripHasTheCellLayoutAndColours) {
    CLed led;
    ASSERT_TRUE(led.HasImages());
    const QImage& strip = led.m_images;
    EXPECT_EQ(strip.size(), QSize(48, 128));
    const QRgb lit[] = {0xFFFF0000u, 0xFF00FF00u, 0xFFFFFF00u, 0xFF0000FFu};
    const QRgb unlit[] = {0xFF800000u, 0xFF008000u, 0xFF808000u, 0xFF000080u};
    for (int shape : {CLed::kRound, CLed::kSquare}) {
        for (int colour = 0; colour < 4; ++colour) {
            const int y = shape + 16 * colour + 8;
            EXPECT_EQ(strip.pixel(8, y), lit[colour]) << shape << " " << colour;
            EXPECT_EQ(strip.pixel(16 + 8, y), unlit[colour]) << shape << " " << colour;
            EXPECT_EQ(strip.pixel(32 + 8, y), 0xFF808080u) << shape << " " << colour;
            // Cell corners are transparent.
            EXPECT_EQ(strip.pixel(0, shape + 16 * colour), kMagenta);
            EXPECT_EQ(strip.pixel(47, shape + 16 * colour + 15), kMagenta);
        }
    }
    // The red round lamp fills the cell's width; the others are smaller.
    EXPECT_NE(strip.pixel(0, 8), kMagenta);
    EXPECT_EQ(strip.pixel(0, 16 + 8), kMagenta);
    // Square lamps have a white top-left and grey bottom-right bevel.
    EXPECT_EQ(strip.pixel(2, 64 + 8), 0xFFFFFFFFu);
    EXPECT_EQ(strip.pixel(14, 64 + 8), 0xFF808080u);
}

TEST(LedTest, LitAndUnlitCellsOverTheParentsPicture) {
    CLed led;
    led.resize(25, 25);
    EXPECT_EQ(led.m_state, CLed::kUnlit);
    QImage image = RenderOver(led);
    // The 16 x 16 cell stands at (4, 4) in a 25 x 25 lamp.
    EXPECT_EQ(image.pixel(4 + 8, 4 + 8), 0xFF800000u);
    EXPECT_EQ(image.pixel(0, 0), kParentFill);
    EXPECT_FALSE(HasMagenta(image));

    led.Flash();
    EXPECT_EQ(led.m_state, CLed::kLit);
    EXPECT_EQ(led.m_flashing, 1);
    image = RenderOver(led);
    EXPECT_EQ(image.pixel(4 + 8, 4 + 8), 0xFFFF0000u);
    EXPECT_FALSE(HasMagenta(image));
    EXPECT_EQ(image.pixel(24, 24), kParentFill);

    // A square green lamp: its cell corners show the parent.
    led.m_shape = CLed::kSquare;
    led.m_color = CLed::kGreen;
    image = RenderOver(led);
    EXPECT_EQ(image.pixel(4 + 8, 4 + 8), 0xFF00FF00u);
    EXPECT_EQ(image.pixel(4, 4), kParentFill);
    EXPECT_EQ(image.pixel(4 + 2, 4 + 2), 0xFFFFFFFFu);
    EXPECT_FALSE(HasMagenta(image));
}

TEST(LedTest, MagentaNeverReachesAWhiteOrBlackBackground) {
    CLed led;
    led.resize(25, 25);
    for (QRgb fill : {0xFFFFFFFFu, 0xFF000000u, kMagenta}) {
        const QImage image = RenderOver(led, fill);
        EXPECT_EQ(image.pixel(1, 1), fill);
        EXPECT_EQ(image.pixel(4 + 8, 4 + 8), 0xFF800000u);
    }
}

TEST(LedTest, ParentsPaintingShowsRoundTheLamp) {
    class Face : public QWidget {
      protected:
        void paintEvent(QPaintEvent*) override {
            QPainter(this).fillRect(rect(), QColor::fromRgb(kParentFill));
        }
    };
    Face parent;
    parent.resize(100, 40);
    CLed led(&parent);
    led.setGeometry(30, 1, 25, 25);
    QImage image(parent.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    parent.render(&image);
    EXPECT_EQ(image.pixel(30 + 4 + 8, 1 + 4 + 8), 0xFF800000u);
    EXPECT_EQ(image.pixel(30 + 4, 1 + 4), kParentFill);
    EXPECT_FALSE(HasMagenta(image));
}

TEST(LedTest, FlashShowsOnScreenAtOnce) {
    class Face : public QWidget {
      protected:
        void paintEvent(QPaintEvent*) override {
            QPainter(this).fillRect(rect(), QColor::fromRgb(kParentFill));
        }
    };
    Face parent;
    parent.resize(100, 40);
    CLed led(&parent);
    led.setGeometry(30, 1, 25, 25);
    parent.show();
    QCoreApplication::processEvents();
    auto screenShot = [&parent] { return parent.screen()->grabWindow(parent.winId()).toImage(); };
    EXPECT_EQ(screenShot().pixel(30 + 12, 1 + 12), 0xFF800000u);

    led.Flash();  // no event processing: the window shows it already
    const QImage lit = screenShot();
    EXPECT_EQ(lit.pixel(30 + 12, 1 + 12), 0xFFFF0000u);
    EXPECT_EQ(lit.pixel(30 + 4, 1 + 4), kParentFill);
    EXPECT_FALSE(HasMagenta(lit));
}

TEST(LedTest, SmallWindowDrawsTheLampAtItsCorner) {
    CLed led;
    led.resize(10, 30);
    const QImage image = RenderOver(led);
    EXPECT_EQ(image.pixel(8, 8), 0xFF800000u);
    EXPECT_EQ(image.pixel(5, 25), kParentFill);
}

TEST(LedTest, CellsOutsideTheStripDrawNothing) {
    CLed led;
    led.resize(25, 25);
    led.m_state = 3;
    EXPECT_EQ(RenderOver(led).pixel(12, 12), kParentFill);
    led.m_state = 0;
    led.m_color = 120;  // rows 120 to 135: past the strip's end
    EXPECT_EQ(RenderOver(led).pixel(12, 12), kParentFill);
    led.m_color = -16;
    EXPECT_EQ(RenderOver(led).pixel(12, 12), kParentFill);
    led.m_color = 0;
    led.m_state = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(RenderOver(led).pixel(12, 12), kParentFill);
    led.m_state = 0;
    led.m_color = std::numeric_limits<int32_t>::max();
    led.m_shape = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(RenderOver(led).pixel(12, 12), kParentFill);
}

TEST(LedTest, FlashRestartsTheTimerAndTheTimerPutsTheLampOut) {
    CLed led;
    led.resize(25, 25);
    EXPECT_EQ(led.FlashTimerId(), 0);
    led.Flash();
    const int firstId = led.FlashTimerId();
    EXPECT_NE(firstId, 0);

    led.Flash();  // while lit: the put-out timer starts again
    const int secondId = led.FlashTimerId();
    EXPECT_NE(secondId, 0);
    EXPECT_EQ(led.m_state, CLed::kLit);
    if (firstId != secondId) {
        SendTimer(led, firstId);  // the stopped timer no longer counts
        EXPECT_EQ(led.m_state, CLed::kLit);
    }

    // Any other timer leaves the lamp as it is.
    SendTimer(led, secondId + 1000);
    EXPECT_EQ(led.m_state, CLed::kLit);
    EXPECT_EQ(led.m_flashing, 1);

    SendTimer(led, secondId);
    EXPECT_EQ(led.m_state, CLed::kUnlit);
    EXPECT_EQ(led.m_flashing, 0);
    EXPECT_EQ(led.FlashTimerId(), 0);
    EXPECT_EQ(RenderOver(led).pixel(12, 12), 0xFF800000u);

    // A late tick of the old timer changes nothing.
    SendTimer(led, secondId);
    EXPECT_EQ(led.m_state, CLed::kUnlit);
    led.Flash();
    EXPECT_EQ(led.m_state, CLed::kLit);
}

}  // namespace
}  // namespace korvel
