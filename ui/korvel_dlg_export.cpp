// Export Data: asks for a file and writes the results of every enabled range
// there, held traces included (or one range's reflections as a Touchstone
// file), replacing the file only when complete.
#include <QDateTime>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "app_title.h"
#include "export/atomic_file.h"
#include "export_data.h"
#include "korvel_dlg.h"

namespace korvel {

namespace {

struct ExportFilter {
    const char* text;
    ExportFormat format;
    const char* suffix;
};

const ExportFilter kExportFilters[] = {
    {"CSV (*.csv)", ExportFormat::Csv, "csv"},
    {"JSON (*.json)", ExportFormat::Json, "json"},
    {"Touchstone (*.s1p)", ExportFormat::S1p, "s1p"},
};

const ExportFilter& FilterNamed(const QString& text) {
    for (const ExportFilter& f : kExportFilters) {
        if (text == QLatin1String(f.text)) {
            return f;
        }
    }
    return kExportFilters[0];
}

}  // namespace

void CKORVELDlg::OnExportData() {
    QFileDialog dialog(this, QStringLiteral("Export Data"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const ExportFilter& f : kExportFilters) {
        filters << QLatin1String(f.text);
    }
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("Result.csv"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(QLatin1String(FilterNamed(filter).suffix));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    const ExportFormat format =
        ExportFormatFor(path, FilterNamed(dialog.selectedNameFilter()).format);

    ResultHeader header;
    header.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    header.device = ExportDeviceName(options_.device);
    const ResultTable table =
        SnapshotResults(state_, m_sweep, std::move(header), heldTraces_.Samples());
    int range = 0;
    if (format == ExportFormat::S1p) {
        // A Touchstone file holds one range: asked for when several are swept.
        QStringList names;
        for (const RangeResult& r : table.ranges) {
            names << QStringLiteral("Range %1 (%2\u2013%3 MHz)")
                         .arg(r.range)
                         .arg(r.startMHz, 0, 'g', 6)
                         .arg(r.stopMHz, 0, 'g', 6);
        }
        if (names.isEmpty()) {
            QMessageBox::warning(
                this, ApplicationTitle(),
                QStringLiteral("No range is enabled: there is nothing to export."));
            return;
        }
        int chosen = 0;
        if (names.size() > 1) {
            bool ok = false;
            const QString name =
                QInputDialog::getItem(this, QStringLiteral("Export Data"),
                                      QStringLiteral("Which range?"), names, 0, false, &ok);
            if (!ok) {
                return;
            }
            chosen = static_cast<int>(names.indexOf(name));
        }
        range = table.ranges[static_cast<std::size_t>(std::max(chosen, 0))].range;
    }
    const std::string error =
        WriteFileAtomically(path.toStdString(), ExportText(table, format, range));
    if (!error.empty()) {
        QMessageBox::warning(this, ApplicationTitle(), QString::fromStdString(error));
    }
}

}  // namespace korvel
