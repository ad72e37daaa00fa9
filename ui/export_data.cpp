#include "export_data.h"

#include <sstream>

namespace korvel {

ExportFormat ExportFormatFor(const QString& path, bool jsonFilterChosen) {
    if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) {
        return ExportFormat::Json;
    }
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        return ExportFormat::Csv;
    }
    return jsonFilterChosen ? ExportFormat::Json : ExportFormat::Csv;
}

std::string ExportText(const ResultTable& table, ExportFormat format) {
    std::ostringstream out;
    if (format == ExportFormat::Json) {
        WriteResultJson(out, table);
    } else {
        WriteResultCsv(out, table);
    }
    return out.str();
}

std::string ExportDeviceName(const std::string& device) {
    return device.empty() ? std::string("usb") : device;
}

}  // namespace korvel
