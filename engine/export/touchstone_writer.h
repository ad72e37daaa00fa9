// One range's settled reflections as a Touchstone version 1 file
// ("# MHz S RI R 50"), which circuit simulators and scikit-rf read. Points
// without a settled reflection are left out: the format has no empty value.
#pragma once

#include <ostream>

#include "export/result_table.h"

namespace korvel {

// Writes `range` (1..3) of the table; false, writing nothing, when the table
// does not hold that range.
bool WriteTouchstoneS1p(std::ostream& out, const ResultTable& table, int range);

}  // namespace korvel
