// The input-power meter as the main window shows it; the tests and the paint
// benchmark set up the same meter.
#pragma once

#include "meter.h"

namespace korvel {

// -75 to 15 dBm with nine major divisions of ten minor ones over the arc from
// 210 to 330 degrees, coloured zones, a grey needle, whole-number scale labels
// and a read-out of "dBm" and one decimal, showing 0.
void ConfigureAsPowerMeter(CMeter& meter);

}  // namespace korvel
