#include "band_preset_menus.h"

#include <QMenu>

#include "field_rules.h"

namespace korvel {

QString BandPresetEditText(uint32_t kHz) {
    // At most five digits: the edit's own rendering of the float is exact.
    return QString::fromStdString(ShowRangeMHz(static_cast<float>(kHz / 1000.0)));
}

QMenu* AddBandPresetMenu(QMenu& menu, const QString& title,
                         const std::function<void(const BandPreset&)>& choose) {
    QMenu* bands = menu.addMenu(title);
    for (const BandPreset& preset : BandPresets()) {
        // The range to sweep in the shortcut column, in plain ASCII.
        const QString text =
            QStringLiteral("%1\t%2-%3 MHz")
                .arg(QString::fromUtf8(preset.name.data(),
                                       static_cast<qsizetype>(preset.name.size())),
                     BandPresetEditText(preset.startKHz), BandPresetEditText(preset.stopKHz));
        QAction* entry = bands->addAction(text);
        QObject::connect(entry, &QAction::triggered, bands, [choose, &preset] { choose(preset); });
    }
    return bands;
}

}  // namespace korvel
