// JSON text with every number written as "%.17g" (null when not finite):
// the library's shortest round-trip form would turn 2 into "2.0" and keep
// single-precision values' float digits, which the programs' outputs never
// did. Structure, key order and string escapes come from the library.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace korvel {

using OrderedJson = nlohmann::ordered_json;

// "%.17g": reads back as the same double.
std::string FormatNumber(double v);

void WriteJsonText(std::ostream& out, const OrderedJson& value);

}  // namespace korvel
