// The texts of the Smith panel. Numbers are formatted like printf's "%W.Pf"
// but independently of the process locale, so the decimal point stays a point.
#pragma once

#include <QString>

namespace korvel {

inline constexpr char kDevicePortCaption[] = "Device Port Impedance:";
inline constexpr char kCablePortCaption[] = "Cable Port Impedance:";
inline constexpr char kZoCalibrationNotice[] = "50 ohm Calebration is doing....";

// Impedances above this many ohms are shown as "+∞".
inline constexpr double kSmithInfiniteOhms = 1000.0;

// `value` with `precision` decimals, right-aligned in at least `width`
// characters; "nan", "inf" and "-inf" for the non-finite values.
QString SmithFixed(double value, int width, int precision);

// Device-port impedance (T1): "+∞" above 1000 ohm of |Z|, otherwise R and X
// as "150+ 0j" or, for negative X, "50-20j".
QString DevicePortText(double r, double x, double zMag);

// Cable-port impedance (T2): "+∞" when |Rc + jXc| is above 1000 ohm,
// otherwise "25+ 3j", or for negative Xc the number with its own minus sign:
// "25-32j".
QString CablePortText(double rc, double xc);

QString SmithVswrLine(double vswr);         // "VSWR=1.0"
QString SmithGammaLine(double gammaShown);  // "|Γ|=0.0"
QString SmithZMagLine(double zMag);         // "|Z|=50.0", or "|Z|=+∞" above 1000

}  // namespace korvel
