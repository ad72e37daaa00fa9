// printf-style formatting into a QString, for the fixed formats the controls
// print their numbers with.
#pragma once

#include <QString>

namespace korvel {

// Formats with the C library's printf rules. The format must come from this
// program, never from user input.
QString CFormat(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// "%.*lf": value with a given count of decimals. A negative count falls back
// to printf's default of six, as the C library defines it; counts above 30
// are limited to 30.
QString FormatDecimals(double value, int decimals);

}  // namespace korvel
