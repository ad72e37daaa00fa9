#include "png_writer.h"

#include <QSaveFile>

namespace korvel {

bool WritePngFile(const QString& path, const QImage& picture) {
    if (picture.isNull()) {
        return false;
    }
    // Replaces the old file only once the new one is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (!picture.save(&file, "PNG")) {
        return false;  // the unfinished temporary file is discarded
    }
    return file.commit();
}

bool HasPngSuffix(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

}  // namespace korvel
