// Writes a captured picture of the window as a device-independent bitmap
// file: 14-byte file header, 40-byte information header, colour table for
// the palette depths, then the pixel rows from the bottom row up, each row
// padded to a multiple of 4 bytes. The pixel depth follows the display's.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>

class QScreen;

namespace korvel {

// Bits per pixel of the file for a display of `depth` bits (colour planes
// times bits per pixel): 1, 4, 8, 24 or 32. Defined for every int.
int BmpBitsForDisplayDepth(int depth);

// The same for a screen; a missing screen counts as a 32-bit display.
int BmpBitsForScreen(const QScreen* screen);

// Sizes of a file for a picture of width × height at `bits` per pixel.
struct BmpLayout {
    uint32_t rowBytes = 0;      // one padded pixel row
    uint32_t tableEntries = 0;  // colour table entries (4 bytes each)
    uint32_t tableBytes = 0;
    uint32_t imageBytes = 0;   // all pixel rows
    uint32_t pixelOffset = 0;  // 54 + tableBytes
    uint32_t fileBytes = 0;    // pixelOffset + imageBytes
};

// The layout, or nothing when there is no picture (width or height not
// positive), `bits` is not one of 1, 4, 8, 24, 32, or the file would not fit
// the format's 32-bit size fields. Defined for every argument.
std::optional<BmpLayout> BmpLayoutFor(int64_t width, int64_t height, int bits);

// The whole file for `picture` on a display of `displayDepth` bits. Palette
// depths map each pixel to the nearest entry of a fixed palette (black and
// white; the 16 standard VGA colours; a 6×6×6 colour cube plus 40 greys).
// Empty when there is no picture or it is too large for the format.
std::vector<uint8_t> EncodeBmp(const QImage& picture, int displayDepth);

// Creates or replaces the file at `path`. Returns false, leaving no file and
// any existing file untouched, when there is no picture, the file cannot be
// created, or writing it fails. Shows no message.
bool WriteBmpFile(const QString& path, const QImage& picture, int displayDepth);

}  // namespace korvel
