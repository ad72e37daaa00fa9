#include "bmp_writer.h"

#include <limits>
#include <new>

#include <QSaveFile>
#include <QScreen>

#include "bmp_palette.h"

namespace korvel {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

void PutU16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void WriteHeaders(uint8_t* out, const BmpLayout& layout, int width, int height, int bits) {
    // File header.
    out[0] = 'B';
    out[1] = 'M';
    PutU32(out + 2, layout.fileBytes);
    PutU16(out + 6, 0);
    PutU16(out + 8, 0);
    PutU32(out + 10, layout.pixelOffset);
    // Information header: rows bottom-up (positive height), no compression,
    // no resolution, the whole colour table in use. The image size is filled
    // in as the display's read-out does; readers accept it either way.
    uint8_t* info = out + kFileHeaderBytes;
    PutU32(info + 0, kInfoHeaderBytes);
    PutU32(info + 4, static_cast<uint32_t>(width));
    PutU32(info + 8, static_cast<uint32_t>(height));
    PutU16(info + 12, 1);
    PutU16(info + 14, static_cast<uint32_t>(bits));
    PutU32(info + 16, 0);
    PutU32(info + 20, layout.imageBytes);
    // Resolutions, colours used and colours important stay 0.
}

void WriteColourTable(uint8_t* out, int bits) {
    for (QRgb entry : BmpPalette(bits)) {
        out[0] = static_cast<uint8_t>(qBlue(entry));
        out[1] = static_cast<uint8_t>(qGreen(entry));
        out[2] = static_cast<uint8_t>(qRed(entry));
        out[3] = 0;
        out += 4;
    }
}

// One row of the picture (RGB32) into its file row; padding stays zero.
void EncodeRow(const QRgb* pixels, int width, int bits, uint8_t* row) {
    switch (bits) {
        case 32:
            for (int x = 0; x < width; ++x, row += 4) {
                row[0] = static_cast<uint8_t>(qBlue(pixels[x]));
                row[1] = static_cast<uint8_t>(qGreen(pixels[x]));
                row[2] = static_cast<uint8_t>(qRed(pixels[x]));
                row[3] = 0;
            }
            return;
        case 24:
            for (int x = 0; x < width; ++x, row += 3) {
                row[0] = static_cast<uint8_t>(qBlue(pixels[x]));
                row[1] = static_cast<uint8_t>(qGreen(pixels[x]));
                row[2] = static_cast<uint8_t>(qRed(pixels[x]));
            }
            return;
        default: {
            // Palette depths pack pixels from the high bits of each byte down.
            // Screens repeat colours, so the last look-up is kept.
            QRgb lastPixel = 0;
            uint8_t lastIndex = BmpNearestIndex(lastPixel, bits);
            const int perByte = 8 / bits;
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = pixels[x] | 0xFF000000u;
                if (pixel != lastPixel) {
                    lastPixel = pixel;
                    lastIndex = BmpNearestIndex(pixel, bits);
                }
                const int shift = 8 - bits * (x % perByte + 1);
                row[x / perByte] = static_cast<uint8_t>(row[x / perByte] | (lastIndex << shift));
            }
            return;
        }
    }
}

}  // namespace

int BmpBitsForDisplayDepth(int depth) {
    if (depth <= 1) {
        return 1;
    }
    if (depth <= 4) {
        return 4;
    }
    if (depth <= 8) {
        return 8;
    }
    if (depth <= 24) {
        return 24;
    }
    return 32;
}

int BmpBitsForScreen(const QScreen* screen) {
    return BmpBitsForDisplayDepth(screen != nullptr ? screen->depth() : 32);
}

std::optional<BmpLayout> BmpLayoutFor(int64_t width, int64_t height, int bits) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        return std::nullopt;
    }
    // The header holds width and height as signed 32-bit values.
    constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return std::nullopt;
    }
    // With both sides below 2^31 and at most 32 bits a pixel, every product
    // below stays under 2^63 before it is compared with the 32-bit limit.
    const uint64_t rowBytes =
        (static_cast<uint64_t>(bits) * static_cast<uint64_t>(width) + 31) / 32 * 4;
    const uint64_t tableEntries = bits <= 8 ? (uint64_t{1} << bits) : 0;
    const uint64_t tableBytes = tableEntries * 4;
    const uint64_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes + tableBytes;
    constexpr uint64_t kMaxFile = std::numeric_limits<uint32_t>::max();
    if (rowBytes > kMaxFile) {
        return std::nullopt;
    }
    const uint64_t imageBytes = rowBytes * static_cast<uint64_t>(height);
    if (imageBytes > kMaxFile - pixelOffset) {
        return std::nullopt;
    }
    BmpLayout layout;
    layout.rowBytes = static_cast<uint32_t>(rowBytes);
    layout.tableEntries = static_cast<uint32_t>(tableEntries);
    layout.tableBytes = static_cast<uint32_t>(tableBytes);
    layout.imageBytes = static_cast<uint32_t>(imageBytes);
    layout.pixelOffset = static_cast<uint32_t>(pixelOffset);
    layout.fileBytes = static_cast<uint32_t>(pixelOffset + imageBytes);
    return layout;
}

std::vector<uint8_t> EncodeBmp(const QImage& picture, int displayDepth) {
    const int bits = BmpBitsForDisplayDepth(displayDepth);
    if (picture.isNull()) {
        return {};
    }
    const std::optional<BmpLayout> layout = BmpLayoutFor(picture.width(), picture.height(), bits);
    if (!layout) {
        return {};
    }
    const QImage source = picture.format() == QImage::Format_RGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) {  // conversion ran out of memory
        return {};
    }
    std::vector<uint8_t> file(layout->fileBytes, 0);
    WriteHeaders(file.data(), *layout, source.width(), source.height(), bits);
    WriteColourTable(file.data() + kFileHeaderBytes + kInfoHeaderBytes, bits);
    uint8_t* rows = file.data() + layout->pixelOffset;
    const int height = source.height();
    for (int y = 0; y < height; ++y) {
        // The file's first row is the picture's bottom row.
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(height - 1 - y));
        EncodeRow(line, source.width(), bits,
                  rows + static_cast<std::size_t>(y) * layout->rowBytes);
    }
    return file;
}

bool WriteBmpFile(const QString& path, const QImage& picture, int displayDepth) {
    std::vector<uint8_t> bytes;
    try {
        bytes = EncodeBmp(picture, displayDepth);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (bytes.empty()) {
        return false;
    }
    // The new file replaces the old one only once it is completely written,
    // so a failed write never leaves a truncated picture behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    qint64 done = 0;
    const auto total = static_cast<qint64>(bytes.size());
    while (done < total) {
        const qint64 written = file.write(data + done, total - done);
        if (written <= 0) {
            return false;  // the unfinished temporary file is discarded
        }
        done += written;
    }
    return file.commit();
}

}  // namespace korvel
