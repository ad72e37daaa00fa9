#include "json_text.h"

#include <cmath>
#include <cstdio>

namespace korvel {

std::string FormatNumber(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

void WriteJsonText(std::ostream& out, const OrderedJson& value) {
    if (value.is_object()) {
        out << '{';
        const char* separator = "";
        for (const auto& [key, item] : value.items()) {
            out << separator << OrderedJson(key).dump() << ':';
            WriteJsonText(out, item);
            separator = ",";
        }
        out << '}';
    } else if (value.is_array()) {
        out << '[';
        const char* separator = "";
        for (const OrderedJson& item : value) {
            out << separator;
            WriteJsonText(out, item);
            separator = ",";
        }
        out << ']';
    } else if (value.is_number_float()) {
        const double v = value.get<double>();
        out << (std::isfinite(v) ? FormatNumber(v) : "null");
    } else {
        // Strings, integers, booleans, null. Invalid UTF-8 in a string (a
        // device path) is replaced rather than thrown.
        out << value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
}

}  // namespace korvel
