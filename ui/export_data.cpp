#include "export_data.h"

#include <sstream>

#include "export/touchstone_writer.h"

namespace korvel {

ExportFormat ExportFormatFor(const QString& path, ExportFormat filterChosen) {
    if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) {
        return ExportFormat::Json;
    }
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        return ExportFormat::Csv;
    }
    if (path.endsWith(QStringLiteral(".s1p"), Qt::CaseInsensitive)) {
        return ExportFormat::S1p;
    }
    return filterChosen;
}

std::string ExportText(const ResultTable& table, ExportFormat format, int range) {
    std::ostringstream out;
    if (format == ExportFormat::S1p) {
        WriteTouchstoneS1p(out, table, range);
    } else if (format == ExportFormat::Json) {
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
