// Export Data: asks for a file and writes the results of every enabled range
// there, held traces included, replacing the file only when complete.
#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>

#include "app_title.h"
#include "export/atomic_file.h"
#include "export_data.h"
#include "korvel_dlg.h"

namespace korvel {

void CKORVELDlg::OnExportData() {
    const QString csvFilter = QStringLiteral("CSV (*.csv)");
    const QString jsonFilter = QStringLiteral("JSON (*.json)");
    QFileDialog dialog(this, QStringLiteral("Export Data"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({csvFilter, jsonFilter});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("Result.csv"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, jsonFilter](const QString& filter) {
                dialog.setDefaultSuffix(filter == jsonFilter ? QStringLiteral("json")
                                                             : QStringLiteral("csv"));
            });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    const ExportFormat format = ExportFormatFor(path, dialog.selectedNameFilter() == jsonFilter);

    ResultHeader header;
    header.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    header.device = ExportDeviceName(options_.device);
    const ResultTable table =
        SnapshotResults(state_, m_sweep, std::move(header), heldTraces_.Samples());
    const std::string error = WriteFileAtomically(path.toStdString(), ExportText(table, format));
    if (!error.empty()) {
        QMessageBox::warning(this, ApplicationTitle(), QString::fromStdString(error));
    }
}

}  // namespace korvel
