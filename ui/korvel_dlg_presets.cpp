// Band presets: in each range edit's context menu and in the window's menu;
// a chosen band fills that range's two edits, to be submitted as typed values.
#include <QLineEdit>
#include <QMenu>

#include "band_preset_menus.h"
#include "dialog_template.h"
#include "korvel_dlg.h"

namespace korvel {

namespace {

struct RangeEdits {
    int startId;
    int stopId;
};

constexpr RangeEdits kRangeEdits[] = {
    {kIdVswr1Start, kIdVswr1Stop},
    {kIdVswr2Start, kIdVswr2Stop},
    {kIdVswr3Start, kIdVswr3Stop},
};

}  // namespace

void CKORVELDlg::InstallBandPresetMenus() {
    for (int range = 0; range < static_cast<int>(std::size(kRangeEdits)); ++range) {
        for (const int id : {kRangeEdits[range].startId, kRangeEdits[range].stopId}) {
            QLineEdit* edit = Edit(id);
            edit->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(edit, &QWidget::customContextMenuRequested, this,
                    [this, edit, range](const QPoint& pos) {
                        ShowRangeEditMenu(*edit, range, edit->mapToGlobal(pos));
                    });
        }
    }
}

void CKORVELDlg::ShowRangeEditMenu(QLineEdit& edit, int range, const QPoint& globalPos) {
    // The edit's standard menu, opened as the edit itself opens it.
    QMenu* menu = edit.createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    AddBandPresetMenu(*menu, QString::fromUtf8(kBandPresetsEntry),
                      [this, range](const BandPreset& preset) { FillRange(range, preset); });
    menu->popup(globalPos);
}

void CKORVELDlg::FillRange(int range, const BandPreset& preset) {
    const RangeEdits& edits = kRangeEdits[range];
    Edit(edits.startId)->setText(BandPresetEditText(preset.startKHz));
    Edit(edits.stopId)->setText(BandPresetEditText(preset.stopKHz));
}

void CKORVELDlg::AddSettingsEntries(QMenu& menu) {
    menu.addSeparator();
    QMenu* presets = menu.addMenu(QString::fromUtf8(kBandPresetsEntry));
    for (int range = 0; range < static_cast<int>(std::size(kRangeEdits)); ++range) {
        AddBandPresetMenu(*presets, QStringLiteral("Range &%1").arg(range + 1),
                          [this, range](const BandPreset& preset) { FillRange(range, preset); });
    }
    if (rememberAction_) {
        menu.addAction(rememberAction_);
    }
}

}  // namespace korvel
