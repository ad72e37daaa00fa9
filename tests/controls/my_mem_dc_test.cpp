#include "my_mem_dc.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPicture>

namespace korvel {
namespace {

constexpr QRgb kTargetFill = 0xFF102030u;

QImage Target() {
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(kTargetFill);
    return image;
}

TEST(MyMemDcTest, PictureReachesTheTargetOnlyWhenTheSurfaceEnds) {
    QImage target = Target();
    QPainter painter(&target);
    painter.setBackground(QColor(0, 0, 255));
    const GdiRect area{10, 5, 30, 25};
    {
        CMyMemDC dc(&painter, &area);
        EXPECT_TRUE(dc.IsBuffered());
        dc.FillRect(GdiRect{12, 6, 14, 8}, RGB(255, 0, 0));
        EXPECT_EQ(target.pixel(12, 6), kTargetFill) << "nothing shown before the end";
    }
    painter.end();
    EXPECT_EQ(target.pixel(12, 6), 0xFFFF0000u);
    // The rest of the area keeps the target's background colour.
    EXPECT_EQ(target.pixel(10, 5), 0xFF0000FFu);
    EXPECT_EQ(target.pixel(29, 24), 0xFF0000FFu);
    // Outside the area the target is untouched.
    EXPECT_EQ(target.pixel(9, 5), kTargetFill);
    EXPECT_EQ(target.pixel(30, 24), kTargetFill);
    EXPECT_EQ(target.pixel(10, 25), kTargetFill);
}

TEST(MyMemDcTest, SameLogicalCoordinatesOnBothSurfaces) {
    QImage target = Target();
    QPainter painter(&target);
    painter.translate(7, 3);
    const GdiRect area{0, 0, 20, 20};
    {
        CMyMemDC dc(&painter, &area);
        dc.FillRect(GdiRect{5, 5, 6, 6}, RGB(0, 255, 0));
    }
    painter.end();
    EXPECT_EQ(target.pixel(12, 8), 0xFF00FF00u);
    EXPECT_EQ(target.pixel(5, 5), kTargetFill);
}

TEST(MyMemDcTest, WithoutAreaTheClipBoxIsBuffered) {
    QImage target = Target();
    QPainter painter(&target);
    painter.setBackground(QColor(255, 255, 255));
    painter.setClipRect(QRect(20, 10, 10, 10));
    {
        CMyMemDC dc(&painter);
        EXPECT_EQ(dc.Area(), (GdiRect{20, 10, 30, 20}));
    }
    painter.end();
    EXPECT_EQ(target.pixel(20, 10), 0xFFFFFFFFu);
    EXPECT_EQ(target.pixel(19, 10), kTargetFill);
}

TEST(MyMemDcTest, ReusedBitmapIsNotReallocated) {
    QImage target = Target();
    QImage storage;
    const GdiRect area{0, 0, 60, 40};
    const uchar* bits = nullptr;
    for (int paint = 0; paint < 3; ++paint) {
        QPainter painter(&target);
        {
            CMyMemDC dc(&painter, &area, &storage);
            dc.FillRect(GdiRect{1, 1, 2, 2}, RGB(paint, 0, 0));
        }
        if (bits == nullptr) {
            bits = storage.constBits();
        }
        EXPECT_EQ(storage.constBits(), bits) << paint;
    }
}

TEST(MyMemDcTest, RecordingTargetIsDrawnStraightThroughAndStaysUsable) {
    QPicture picture;
    QPainter painter(&picture);
    const GdiRect area{0, 0, 20, 20};
    {
        CMyMemDC dc(&painter, &area);
        EXPECT_FALSE(dc.IsBuffered());
        dc.FillRect(GdiRect{2, 2, 4, 4}, RGB(255, 0, 0));
    }
    EXPECT_TRUE(painter.isActive());
    painter.fillRect(QRect(5, 5, 2, 2), Qt::green);
    painter.end();

    QImage replay(20, 20, QImage::Format_RGB32);
    replay.fill(Qt::black);
    QPainter player(&replay);
    picture.play(&player);
    player.end();
    EXPECT_EQ(replay.pixel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(replay.pixel(5, 5), 0xFF00FF00u);
}

TEST(MyMemDcTest, InactiveTargetGivesAnInertSurface) {
    QPainter idle;
    CMyMemDC dc(&idle);
    EXPECT_FALSE(dc.IsActive());
    dc.FillRect(GdiRect{0, 0, 5, 5}, RGB(1, 2, 3));
    CMyMemDC none(nullptr);
    EXPECT_FALSE(none.IsActive());
}

}  // namespace
}  // namespace korvel
