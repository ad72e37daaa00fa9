// Export Data: the window's results written as a CSV or JSON file.
#pragma once

#include <QString>
#include <string>

#include "export/result_table.h"

namespace korvel {

enum class ExportFormat { Csv, Json };

// The file name's suffix decides (any letter case); without a known one, the
// filter the user chose.
ExportFormat ExportFormatFor(const QString& path, bool jsonFilterChosen);

// The whole file for `table`.
std::string ExportText(const ResultTable& table, ExportFormat format);

// The device string as the header names it: "" is the platform's own layer.
std::string ExportDeviceName(const std::string& device);

}  // namespace korvel
