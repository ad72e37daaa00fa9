// The "Band Presets" submenus: one entry per amateur band, which fills a
// range's start and stop edits.
#pragma once

#include <QString>
#include <functional>

#include "analysis/band_presets.h"

class QMenu;

namespace korvel {

inline constexpr const char* kBandPresetsEntry = "&Band Presets";

// The text a range edit takes for a preset's limit (as the edit shows it).
QString BandPresetEditText(uint32_t kHz);

// Appends a "Band Presets" submenu to `menu`; choosing a band calls `choose`.
QMenu* AddBandPresetMenu(QMenu& menu, const QString& title,
                         const std::function<void(const BandPreset&)>& choose);

}  // namespace korvel
