// Export Data: the window's results written as a CSV, JSON or Touchstone file.
#pragma once

#include <QString>
#include <string>

#include "export/result_table.h"

namespace korvel {

enum class ExportFormat { Csv, Json, S1p };

// The file name's suffix decides (any letter case); without a known one, the
// filter the user chose.
ExportFormat ExportFormatFor(const QString& path, ExportFormat filterChosen);

// The whole file for `table`; a Touchstone file holds `range` alone.
std::string ExportText(const ResultTable& table, ExportFormat format, int range = 0);

// The device string as the header names it: "" is the platform's own layer.
std::string ExportDeviceName(const std::string& device);

}  // namespace korvel
