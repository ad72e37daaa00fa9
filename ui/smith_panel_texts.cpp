#include "smith_panel_texts.h"

#include <charconv>
#include <cmath>

namespace korvel {
namespace {

const QString kInfinity = QStringLiteral("+∞");

}  // namespace

QString SmithFixed(double value, int width, int precision) {
    // Large enough for the longest double in fixed notation (309 digits)
    // with a sign and the decimals.
    char buffer[400];
    const int digits = precision < 0 ? 6 : (precision > 30 ? 30 : precision);
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    QString text = result.ec == std::errc() ? QString::fromLatin1(buffer, result.ptr - buffer)
                                            : QStringLiteral("?");
    return text.rightJustified(width, u' ');
}

QString DevicePortText(double r, double x, double zMag) {
    if (zMag > kSmithInfiniteOhms) {
        return kInfinity;
    }
    if (x >= 0) {
        return SmithFixed(r, 2, 0) + u'+' + SmithFixed(x, 2, 0) + u'j';
    }
    return SmithFixed(r, 2, 0) + u'-' + SmithFixed(-x, 2, 0) + u'j';
}

QString CablePortText(double rc, double xc) {
    if (std::sqrt(rc * rc + xc * xc) > kSmithInfiniteOhms) {
        return kInfinity;
    }
    if (xc >= 0) {
        return SmithFixed(rc, 2, 0) + u'+' + SmithFixed(xc, 2, 0) + u'j';
    }
    return SmithFixed(rc, 2, 0) + SmithFixed(xc, 2, 0) + u'j';
}

QString SmithVswrLine(double vswr) {
    return QStringLiteral("VSWR=") + SmithFixed(vswr, 3, 1);
}

QString SmithGammaLine(double gammaShown) {
    return QStringLiteral("|Γ|=") + SmithFixed(gammaShown, 3, 1);
}

QString SmithZMagLine(double zMag) {
    if (zMag <= kSmithInfiniteOhms) {
        return QStringLiteral("|Z|=") + SmithFixed(zMag, 3, 1);
    }
    return QStringLiteral("|Z|=") + kInfinity;
}

}  // namespace korvel
