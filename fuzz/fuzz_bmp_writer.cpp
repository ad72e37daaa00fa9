// Save View's BMP sizes and encoder against arbitrary dimensions and display
// depths: the layout must match exact (128-bit) arithmetic or be refused when
// the file would not fit the format's 32-bit fields, and an encoded file must
// have exactly that layout, its headers and its pixels.
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include <QImage>

#include "bmp_palette.h"
#include "bmp_writer.h"
#include "fuzz_check.h"

namespace {

using korvel::BmpLayout;
using korvel::BmpLayoutFor;

int64_t Int64At(const uint8_t* p) {
    int64_t value = 0;
    std::memcpy(&value, p, sizeof value);
    return value;
}

uint32_t U32At(const std::vector<uint8_t>& file, std::size_t at) {
    return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) |
           (static_cast<uint32_t>(file[at + 3]) << 24);
}

void CheckLayout(int64_t width, int64_t height, int bits) {
    const std::optional<BmpLayout> layout = BmpLayoutFor(width, height, bits);
    const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
    if (!knownDepth || width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) {
        FUZZ_CHECK(!layout);
        return;
    }
    using u128 = unsigned __int128;
    const u128 row = (static_cast<u128>(bits) * static_cast<u128>(width) + 31) / 32 * 4;
    const u128 table = bits <= 8 ? (u128{4} << bits) : 0;
    const u128 file = 54 + table + row * static_cast<u128>(height);
    if (file > UINT32_MAX) {
        FUZZ_CHECK(!layout);
        return;
    }
    FUZZ_CHECK(layout.has_value());
    FUZZ_CHECK(layout->rowBytes == row && layout->rowBytes % 4 == 0);
    FUZZ_CHECK(layout->tableBytes == table && layout->tableEntries * 4 == layout->tableBytes);
    FUZZ_CHECK(layout->imageBytes == row * static_cast<u128>(height));
    FUZZ_CHECK(layout->pixelOffset == 54 + table && layout->fileBytes == file);
}

// A small picture from the fuzzer's bytes, encoded at a fuzzed display depth.
void CheckEncoding(int width, int height, int displayDepth, const uint8_t* pixels,
                   std::size_t count) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            line[x] = count == 0 ? 0xFF000000u
                                 : qRgb(pixels[i % count], pixels[(i + 1) % count],
                                        pixels[(i + 2) % count]);
        }
    }
    const std::vector<uint8_t> file = korvel::EncodeBmp(picture, displayDepth);
    const int bits = korvel::BmpBitsForDisplayDepth(displayDepth);
    const std::optional<BmpLayout> layout = BmpLayoutFor(width, height, bits);
    FUZZ_CHECK(layout.has_value());
    FUZZ_CHECK(file.size() == layout->fileBytes);
    FUZZ_CHECK(file[0] == 'B' && file[1] == 'M');
    FUZZ_CHECK(U32At(file, 2) == layout->fileBytes && U32At(file, 10) == layout->pixelOffset);
    FUZZ_CHECK(U32At(file, 14) == 40 && U32At(file, 18) == static_cast<uint32_t>(width));
    FUZZ_CHECK(U32At(file, 22) == static_cast<uint32_t>(height));
    FUZZ_CHECK(file[28] == bits && file[29] == 0);
    const std::size_t usedBytes = (static_cast<std::size_t>(bits) * width + 7) / 8;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = file.data() + layout->pixelOffset + std::size_t(y) * layout->rowBytes;
        // Padding behind the pixels stays zero.
        for (std::size_t b = usedBytes; b < layout->rowBytes; ++b) {
            FUZZ_CHECK(row[b] == 0);
        }
        if (bits >= 24) {
            // Direct colour: the picture's bottom row comes first.
            const QRgb first = picture.pixel(0, height - 1 - y);
            FUZZ_CHECK(row[0] == qBlue(first) && row[1] == qGreen(first) && row[2] == qRed(first));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 20) {
        return 0;
    }
    const int64_t width = Int64At(data);
    const int64_t height = Int64At(data + 8);
    int32_t depth = 0;
    std::memcpy(&depth, data + 16, sizeof depth);
    CheckLayout(width, height, depth);
    CheckLayout(width, height, korvel::BmpBitsForDisplayDepth(depth));
    // Near the 32-bit limits, where the arithmetic is tightest.
    CheckLayout(width & 0xFFFFFFFF, height & 0xFFFF, korvel::BmpBitsForDisplayDepth(depth));

    // Encoding: keep pictures small so that each run stays fast.
    const int w = 1 + static_cast<int>(static_cast<uint64_t>(width) % 40);
    const int h = 1 + static_cast<int>(static_cast<uint64_t>(height) % 24);
    CheckEncoding(w, h, depth, data + 20, size - 20);
    return 0;
}
