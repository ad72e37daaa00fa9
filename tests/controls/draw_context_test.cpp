#include "draw_context.h"

#include <gtest/gtest.h>

#include <QImage>

#include "gdi_geometry.h"
#include "text_recorder.h"

namespace korvel {
namespace {

constexpr ColorRef kInk = RGB(255, 255, 255);

QImage Blank(int w = 100, int h = 100) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

bool Inked(const QImage& image, int x, int y) {
    return image.pixel(x, y) == 0xFFFFFFFFu;
}

int InkCount(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += Inked(image, x, y) ? 1 : 0;
        }
    }
    return n;
}

// The extent of all non-background pixels.
QRect InkBounds(const QImage& image, QRgb background) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

TEST(DrawContextTest, LineToLeavesOutTheEndPoint) {
    QImage image = Blank();
    {
        DrawContext dc(&image);
        dc.SelectPen(kInk, 1);
        dc.MoveTo(10, 10);
        dc.LineTo(50, 10);
        dc.MoveTo(10, 20);
        dc.LineTo(40, 50);
        EXPECT_EQ(dc.Position(), QPoint(40, 50));
    }
    EXPECT_TRUE(Inked(image, 10, 10));
    EXPECT_TRUE(Inked(image, 49, 10));
    EXPECT_FALSE(Inked(image, 50, 10));
    EXPECT_TRUE(Inked(image, 10, 20));
    EXPECT_FALSE(Inked(image, 40, 50));
    EXPECT_EQ(InkCount(image), 40 + 30);
}

TEST(DrawContextTest, RectangleAndFillRectCoverRightMinusLeftPixels) {
    QImage image = Blank();
    {
        DrawContext dc(&image);
        dc.SelectPen(kInk, 1);
        dc.SelectNullBrush();
        dc.Rectangle(GdiRect{10, 10, 20, 15});
    }
    EXPECT_EQ(InkBounds(image, 0xFF000000u), QRect(10, 10, 10, 5));
    EXPECT_FALSE(Inked(image, 15, 12)) << "outline only";

    QImage filled = Blank();
    {
        DrawContext dc(&filled);
        dc.FillRect(GdiRect{30, 40, 44, 46}, kInk);
        dc.FillRect(GdiRect{5, 5, 5, 9}, kInk);  // empty: nothing
    }
    EXPECT_EQ(InkBounds(filled, 0xFF000000u), QRect(30, 40, 14, 6));
    EXPECT_EQ(InkCount(filled), 14 * 6);
}

TEST(DrawContextTest, ArcAnglesRunCounterClockwiseFromStartToEnd) {
    const GdiRect box{0, 0, 100, 100};
    // From 3 o'clock to 12 o'clock: a quarter.
    ArcAngles a = ArcAnglesFromPoints(box, 100, 50, 50, 0);
    EXPECT_TRUE(a.valid);
    EXPECT_EQ(a.start16, 0);
    EXPECT_EQ(a.span16, 90 * 16);
    // From 12 o'clock back to 3 o'clock: the other three quarters.
    a = ArcAnglesFromPoints(box, 50, 0, 100, 50);
    EXPECT_EQ(a.start16, 90 * 16);
    EXPECT_EQ(a.span16, 270 * 16);
    // Equal start and end: a full ellipse.
    a = ArcAnglesFromPoints(box, 0, 50, 0, 50);
    EXPECT_EQ(a.span16, 360 * 16);
    // A meter scale from 330 degrees round to 210 degrees spans 240.
    a = ArcAnglesFromPoints(GdiRect{-10, -10, 10, 10}, 866, 500, -866, 500);
    EXPECT_EQ(a.start16, -30 * 16);
    EXPECT_EQ(a.span16, 240 * 16);
    // Points are directions: any point on the ray gives the same angle.
    EXPECT_EQ(ArcAnglesFromPoints(box, 51, 49, 50, 50).start16, 45 * 16);
    // An empty box has nothing to draw.
    EXPECT_FALSE(ArcAnglesFromPoints(GdiRect{5, 5, 5, 20}, 0, 0, 1, 1).valid);
}

TEST(DrawContextTest, ArcDrawsOnlyItsSpan) {
    QImage image = Blank();
    {
        DrawContext dc(&image);
        dc.SelectPen(kInk, 1);
        // Upper half of a circle of radius ~40 round (50, 50).
        dc.Arc(GdiRect{10, 10, 90, 90}, 90, 50, 10, 50);
    }
    EXPECT_GT(InkCount(image), 100);
    const QRect bounds = InkBounds(image, 0xFF000000u);
    EXPECT_LE(bounds.bottom(), 51);
    EXPECT_LE(std::abs(bounds.top() - 10), 1);
    EXPECT_LE(std::abs(bounds.left() - 10), 1);
    EXPECT_LE(std::abs(bounds.right() - 89), 1);
}

TEST(DrawContextTest, TextAlignmentPlacesTheTextAroundItsPoint) {
    struct Case {
        int align;
        bool leftOfX, rightOfX, aboveY, belowY;
    };
    const Case cases[] = {
        {kTaLeft | kTaTop, false, true, false, true},
        {kTaRight | kTaBottom, true, false, true, false},
        {kTaCenter | kTaTop, true, true, false, true},
        {kTaLeft | kTaBaseline, false, true, true, false},
    };
    for (const Case& c : cases) {
        QImage image = Blank(200, 100);
        TextRecorder texts;
        {
            DrawContext dc(&image);
            dc.SetBkTransparent(true);
            dc.SetTextColor(kInk);
            dc.SetTextAlign(c.align);
            dc.TextOut(100, 50, "Mg-75");
        }
        ASSERT_EQ(texts.Draws().size(), 1u);
        EXPECT_EQ(texts.Draws()[0].at, QPoint(100, 50));
        EXPECT_EQ(texts.Draws()[0].align, c.align);
        EXPECT_EQ(texts.Draws()[0].color, kInk);
        const QRect ink = InkBounds(image, 0xFF000000u);
        ASSERT_FALSE(ink.isEmpty()) << c.align;
        EXPECT_EQ(ink.left() < 100, c.leftOfX) << c.align;
        EXPECT_EQ(ink.right() > 100, c.rightOfX) << c.align;
        // Descenders of "g" reach below a baseline.
        if (c.align != (kTaLeft | kTaBaseline)) {
            EXPECT_EQ(ink.top() < 50, c.aboveY) << c.align;
        }
        EXPECT_EQ(ink.bottom() > 50, c.belowY || c.align == (kTaLeft | kTaBaseline)) << c.align;
    }
}

TEST(DrawContextTest, OpaqueTextFillsItsCellWithTheBackgroundColour) {
    QImage image = Blank(200, 60);
    {
        DrawContext dc(&image);
        dc.SetBkColor(RGB(0, 0, 255));
        dc.SetTextColor(RGB(0, 0, 0));
        dc.TextOut(10, 10, "abc");
    }
    EXPECT_EQ(image.pixel(10, 10), 0xFF0000FFu);
    EXPECT_EQ(image.pixel(9, 10), 0xFF000000u);
    EXPECT_EQ(image.pixel(10, 9), 0xFF000000u);
}

TEST(DrawContextTest, DefaultFaceHasSixteenPixelLines) {
    const QFontInfo info(DefaultSurfaceFont());
    EXPECT_FALSE(info.family().isEmpty());
    const QFont arial23 = FontWithCellHeight("Arial", 23);
    const QFontMetrics metrics(arial23);
    EXPECT_NEAR(metrics.height(), 23, 1);
}

TEST(DrawContextTest, InactiveContextIgnoresDrawing) {
    DrawContext dc;
    EXPECT_FALSE(dc.IsActive());
    dc.LineTo(10, 10);
    dc.Rectangle(GdiRect{0, 0, 5, 5});
    dc.TextOut(0, 0, "x");
    EXPECT_EQ(dc.Position(), QPoint(10, 10));
}

}  // namespace
}  // namespace korvel
