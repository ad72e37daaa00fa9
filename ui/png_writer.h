// Save View's lossless alternative to the bitmap file.
#pragma once

#include <QImage>
#include <QString>

namespace korvel {

// Creates or replaces the PNG file at `path`. Returns false, leaving no file
// and any existing file untouched, when there is no picture or the file cannot
// be written whole. Shows no message.
bool WritePngFile(const QString& path, const QImage& picture);

// True when `path` names a PNG file by its suffix (any letter case).
bool HasPngSuffix(const QString& path);

}  // namespace korvel
