#include "bmp_writer.h"

#include <climits>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include "bmp_palette.h"

namespace korvel {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

QImage Picture(int width, int height, std::initializer_list<QRgb> pixels) {
    QImage image(width, height, QImage::Format_RGB32);
    auto it = pixels.begin();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, *it++);
        }
    }
    return image;
}

QImage ReadBack(const std::vector<uint8_t>& file) {
    QByteArray data(reinterpret_cast<const char*>(file.data()),
                    static_cast<qsizetype>(file.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "bmp");
    return reader.read();
}

int SquaredDistance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

TEST(BmpDepth, DisplayDepthRoundsUpToAFileDepth) {
    const std::pair<int, int> cases[] = {
        {INT_MIN, 1}, {-1, 1}, {0, 1},   {1, 1},   {2, 4},   {4, 4},   {5, 8},
        {8, 8},       {9, 24}, {16, 24}, {24, 24}, {25, 32}, {32, 32}, {INT_MAX, 32},
    };
    for (auto [depth, bits] : cases) {
        EXPECT_EQ(BmpBitsForDisplayDepth(depth), bits) << "display depth " << depth;
    }
    EXPECT_EQ(BmpBitsForScreen(nullptr), 32);
}

TEST(BmpLayout, SizesAndOffsetsOfTheSavedWindow) {
    const auto full = BmpLayoutFor(1235, 710, 32);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->rowBytes, 4940u);
    EXPECT_EQ(full->tableBytes, 0u);
    EXPECT_EQ(full->pixelOffset, 54u);
    EXPECT_EQ(full->fileBytes, 3507454u);

    const auto palette = BmpLayoutFor(1235, 710, 8);
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->tableEntries, 256u);
    EXPECT_EQ(palette->pixelOffset, 1078u);
    EXPECT_EQ(palette->rowBytes, 1236u);
    EXPECT_EQ(palette->fileBytes, 1078u + 1236u * 710u);

    EXPECT_EQ(BmpLayoutFor(1235, 710, 4)->pixelOffset, 54u + 64u);
    EXPECT_EQ(BmpLayoutFor(1235, 710, 4)->rowBytes, 620u);
    EXPECT_EQ(BmpLayoutFor(1235, 710, 1)->pixelOffset, 54u + 8u);
    EXPECT_EQ(BmpLayoutFor(1235, 710, 1)->rowBytes, 156u);
    EXPECT_EQ(BmpLayoutFor(1235, 710, 24)->rowBytes, 3708u);
}

TEST(BmpLayout, RefusesMissingPicturesAndUnknownDepths) {
    EXPECT_FALSE(BmpLayoutFor(0, 10, 32));
    EXPECT_FALSE(BmpLayoutFor(10, 0, 32));
    EXPECT_FALSE(BmpLayoutFor(-5, 10, 32));
    EXPECT_FALSE(BmpLayoutFor(10, INT64_MIN, 32));
    for (int bits : {-1, 0, 2, 16, 33, INT_MAX}) {
        EXPECT_FALSE(BmpLayoutFor(10, 10, bits)) << bits;
    }
}

TEST(BmpLayout, RefusesFilesBeyondThe32BitSizeFields) {
    // 8 bits, width 4: rows of 4 bytes behind 1078 bytes of headers and table.
    const int64_t lastHeight = (int64_t{UINT32_MAX} - 1078) / 4;
    const auto last = BmpLayoutFor(4, lastHeight, 8);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->fileBytes, 1078u + 4u * static_cast<uint32_t>(lastHeight));
    EXPECT_FALSE(BmpLayoutFor(4, lastHeight + 1, 8));

    EXPECT_FALSE(BmpLayoutFor(INT32_MAX, INT32_MAX, 32));
    EXPECT_FALSE(BmpLayoutFor(int64_t{INT32_MAX} + 1, 1, 1));  // beyond the signed header field
    EXPECT_FALSE(BmpLayoutFor(INT64_MAX, INT64_MAX, 32));
    EXPECT_TRUE(BmpLayoutFor(INT32_MAX, 1, 1));  // a single row of 256 MiB still fits
}

TEST(BmpLayout, AcceptedLayoutsAreConsistentForExtremeSides) {
    const int64_t sides[] = {1,         2,         3,         31,      33,
                             1000,      65535,     65536,     1 << 20, (1 << 30) - 1,
                             1LL << 30, INT32_MAX, INT64_MAX, -1,      0};
    for (int bits : {1, 4, 8, 24, 32}) {
        for (int64_t w : sides) {
            for (int64_t h : sides) {
                const auto layout = BmpLayoutFor(w, h, bits);
                if (!layout) {
                    continue;
                }
                const uint64_t row = layout->rowBytes;
                EXPECT_EQ(row % 4, 0u);
                EXPECT_GE(row * 8, static_cast<uint64_t>(bits) * static_cast<uint64_t>(w));
                EXPECT_LT(row * 8, static_cast<uint64_t>(bits) * static_cast<uint64_t>(w) + 32);
                EXPECT_EQ(uint64_t{layout->imageBytes}, row * static_cast<uint64_t>(h));
                EXPECT_EQ(uint64_t{layout->fileBytes},
                          uint64_t{layout->pixelOffset} + layout->imageBytes);
            }
        }
    }
}

TEST(BmpEncode, ThirtyTwoBitFileHasHeadersAndBottomUpRows) {
    const QImage picture = Picture(3, 2,
                                   {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9),  // top row
                                    qRgb(10, 11, 12), qRgb(13, 14, 15), qRgb(16, 17, 18)});
    const std::vector<uint8_t> file = EncodeBmp(picture, 32);
    ASSERT_EQ(file.size(), 54u + 2 * 12u);
    EXPECT_EQ(U16(file, 0), 0x4D42);
    EXPECT_EQ(U32(file, 2), file.size());
    EXPECT_EQ(U32(file, 6), 0u);  // both reserved words
    EXPECT_EQ(U32(file, 10), 54u);
    EXPECT_EQ(U32(file, 14), 40u);
    EXPECT_EQ(U32(file, 18), 3u);
    EXPECT_EQ(U32(file, 22), 2u);
    EXPECT_EQ(U16(file, 26), 1u);
    EXPECT_EQ(U16(file, 28), 32u);
    EXPECT_EQ(U32(file, 30), 0u);                  // no compression
    EXPECT_EQ(U32(file, 34), 24u);                 // image bytes
    for (std::size_t at = 38; at < 54; at += 4) {  // resolutions, colours used/important
        EXPECT_EQ(U32(file, at), 0u) << at;
    }
    // The bottom row comes first, as blue, green, red, 0.
    const std::vector<uint8_t> firstRow(file.begin() + 54, file.begin() + 66);
    EXPECT_EQ(firstRow, (std::vector<uint8_t>{12, 11, 10, 0, 15, 14, 13, 0, 18, 17, 16, 0}));
    EXPECT_EQ(file[66], 3);
    EXPECT_EQ(file[67], 2);
    EXPECT_EQ(file[68], 1);
}

TEST(BmpEncode, TwentyFourBitRowsCarryZeroPadding) {
    const QImage picture = Picture(3, 1, {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)});
    const std::vector<uint8_t> file = EncodeBmp(picture, 24);
    ASSERT_EQ(file.size(), 54u + 12u);
    EXPECT_EQ(U16(file, 28), 24u);
    EXPECT_EQ(U32(file, 10), 54u);
    const std::vector<uint8_t> row(file.begin() + 54, file.end());
    EXPECT_EQ(row, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}));
}

TEST(BmpEncode, EightBitUsesTheFixedTableAndNearestEntries) {
    const QImage picture = Picture(2, 2,
                                   {qRgb(255, 0, 0), qRgb(128, 128, 128),  //
                                    qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const std::vector<uint8_t> file = EncodeBmp(picture, 8);
    ASSERT_EQ(file.size(), 1078u + 2 * 4u);
    EXPECT_EQ(U32(file, 10), 1078u);
    EXPECT_EQ(U16(file, 28), 8u);
    // Table entries are blue, green, red, 0; the cube's red corner is 180.
    EXPECT_EQ(U32(file, 54 + 4 * 180), 0x00FF0000u);
    EXPECT_EQ(U32(file, 54 + 4 * 215), 0x00FFFFFFu);
    const std::vector<uint8_t> pixels(file.begin() + 1078, file.end());
    // Bottom row (white, black) first; mid-grey is the ramp's 131 (entry 236),
    // nearer than the cube's 153.
    EXPECT_EQ(pixels, (std::vector<uint8_t>{215, 0, 0, 0, 180, 236, 0, 0}));
}

TEST(BmpEncode, FourBitPacksTwoVgaIndicesPerByte) {
    const QImage picture = Picture(3, 1, {qRgb(255, 0, 0), qRgb(100, 0, 0), qRgb(250, 250, 250)});
    const std::vector<uint8_t> file = EncodeBmp(picture, 4);
    ASSERT_EQ(file.size(), 54u + 64u + 4u);
    EXPECT_EQ(U32(file, 10), 118u);
    EXPECT_EQ(U32(file, 54 + 4 * 7), 0x00C0C0C0u);  // light grey
    EXPECT_EQ(U32(file, 54 + 4 * 9), 0x00FF0000u);  // red
    EXPECT_EQ(file[118], 0x91);                     // red, dark red
    EXPECT_EQ(file[119], 0xF0);                     // white, then padding
    EXPECT_EQ(file[120], 0);
    EXPECT_EQ(file[121], 0);
}

TEST(BmpEncode, OneBitSplitsAtHalfBrightnessMostSignificantBitFirst) {
    const QImage picture = Picture(10, 1,
                                   {qRgb(128, 128, 127), qRgb(127, 128, 127), qRgb(255, 255, 255),
                                    qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 0),
                                    qRgb(0, 0, 0), qRgb(255, 0, 255), qRgb(0, 255, 0)});
    const std::vector<uint8_t> file = EncodeBmp(picture, 1);
    ASSERT_EQ(file.size(), 62u + 4u);
    EXPECT_EQ(U32(file, 10), 62u);
    EXPECT_EQ(U32(file, 54), 0u);
    EXPECT_EQ(U32(file, 58), 0x00FFFFFFu);
    EXPECT_EQ(file[62], 0xA0);  // 1010 0000: first and third pixel white
    EXPECT_EQ(file[63], 0x80);  // magenta white, green black
    EXPECT_EQ(file[64], 0);
}

TEST(BmpEncode, NearestEntryMatchesAFullSearch) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int bits : {1, 4, 8}) {
        const auto table = BmpPalette(bits);
        ASSERT_EQ(table.size(), std::size_t{1} << bits);
        for (int i = 0; i < 3000; ++i) {
            const QRgb pixel = qRgb(channel(random), channel(random), channel(random));
            int best = INT_MAX;
            for (QRgb entry : table) {
                best = std::min(best, SquaredDistance(pixel, entry));
            }
            const uint8_t index = BmpNearestIndex(pixel, bits);
            ASSERT_LT(index, table.size());
            EXPECT_EQ(SquaredDistance(pixel, table[index]), best) << bits << " bits";
        }
    }
}

TEST(BmpEncode, AStandardReaderGetsThePictureBack) {
    QImage picture(37, 5, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            // Cube colours survive the 8-bit table unchanged.
            picture.setPixel(x, y, qRgb((x % 6) * 51, (y % 6) * 51, ((x + y) % 6) * 51));
        }
    }
    for (int depth : {8, 24, 32}) {
        const QImage back = ReadBack(EncodeBmp(picture, depth));
        ASSERT_FALSE(back.isNull()) << depth;
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture) << depth;
    }
}

TEST(BmpEncode, AcceptsAnyPixelFormatAndRefusesNoPicture) {
    EXPECT_TRUE(EncodeBmp(QImage(), 32).empty());
    QImage translucent(2, 1, QImage::Format_ARGB32);
    translucent.fill(qRgba(0, 0, 255, 255));
    EXPECT_EQ(EncodeBmp(translucent, 32),
              EncodeBmp(Picture(2, 1, {qRgb(0, 0, 255), qRgb(0, 0, 255)}), 32));
    QImage mono(9, 2, QImage::Format_Mono);
    mono.fill(1);
    EXPECT_EQ(EncodeBmp(mono, 24).size(), 54u + 2 * 28u);
}

class BmpFile : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QImage picture = Picture(2, 2, {qRgb(9, 8, 7), qRgb(1, 1, 1), qRgb(2, 2, 2), qRgb(3, 3, 3)});

    QByteArray Contents(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
};

TEST_F(BmpFile, WritesExactlyTheEncodedBytes) {
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Result.BMP");
    ASSERT_TRUE(WriteBmpFile(path, picture, 32));
    const std::vector<uint8_t> expected = EncodeBmp(picture, 32);
    EXPECT_EQ(Contents(path), QByteArray(reinterpret_cast<const char*>(expected.data()),
                                         static_cast<qsizetype>(expected.size())));
}

TEST_F(BmpFile, ReplacesALongerExistingFile) {
    const QString path = dir.filePath("old.bmp");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    ASSERT_TRUE(WriteBmpFile(path, picture, 8));
    EXPECT_EQ(QFileInfo(path).size(), static_cast<qint64>(EncodeBmp(picture, 8).size()));
    EXPECT_TRUE(Contents(path).startsWith("BM"));
}

TEST_F(BmpFile, AFileThatCannotBeCreatedLeavesNothingBehind) {
    const QString inMissingFolder = dir.filePath("missing/Result.BMP");
    EXPECT_FALSE(WriteBmpFile(inMissingFolder, picture, 32));
    EXPECT_FALSE(QFileInfo::exists(inMissingFolder));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(WriteBmpFile(dir.filePath("folder"), picture, 32));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST_F(BmpFile, NoPictureKeepsAnExistingFile) {
    const QString path = dir.filePath("keep.bmp");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("precious");
    }
    EXPECT_FALSE(WriteBmpFile(path, QImage(), 32));
    EXPECT_EQ(Contents(path), QByteArray("precious"));
}

}  // namespace
}  // namespace korvel
