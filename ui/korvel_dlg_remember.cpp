// "Remember Settings": the edits' texts, the enables, the colours, the held
// traces and the resonance marks' switch kept from one run to the next. Off,
// nothing is read or written; on, the values are written when the window
// closes and restored at the next start, each through the rule of its edit, a
// refused one being left at its default on its own.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>

#include "app_title.h"
#include "dialog_template.h"
#include "field_rules.h"
#include "impedance_window.h"
#include "korvel_dlg.h"
#include "remembered_settings.h"
#include "tools_menu.h"

namespace korvel {

namespace {

constexpr const char* kRememberEntry = "Re&member Settings";

constexpr const char* kSmithFreqKey = "Edits/SmithFrequencyKHz";
constexpr const char* kCableLengthKey = "Edits/CableLengthM";
constexpr const char* kImpedanceGeometryKey = "Impedance/Geometry";

struct RangeEntry {
    const char* key;
    int editId;
    std::atomic<float> SweepSettings::*member;
};

constexpr RangeEntry kRangeEntries[] = {
    {"Edits/Range1StartMHz", kIdVswr1Start, &SweepSettings::m_vswr1StartMHz},
    {"Edits/Range1StopMHz", kIdVswr1Stop, &SweepSettings::m_vswr1StopMHz},
    {"Edits/Range2StartMHz", kIdVswr2Start, &SweepSettings::m_vswr2StartMHz},
    {"Edits/Range2StopMHz", kIdVswr2Stop, &SweepSettings::m_vswr2StopMHz},
    {"Edits/Range3StartMHz", kIdVswr3Start, &SweepSettings::m_vswr3StartMHz},
    {"Edits/Range3StopMHz", kIdVswr3Stop, &SweepSettings::m_vswr3StopMHz},
};

struct EnableEntry {
    const char* key;
    int boxId;
    std::atomic<int32_t> SweepSettings::*member;
};

constexpr EnableEntry kEnableEntries[] = {
    {"Enables/VSWR1", kIdEnableVswr1, &SweepSettings::m_enableVswr1},
    {"Enables/VSWR2", kIdEnableVswr2, &SweepSettings::m_enableVswr2},
    {"Enables/VSWR3", kIdEnableVswr3, &SweepSettings::m_enableVswr3},
};

constexpr const char* kCurveColourKeys[] = {"Colours/VSWR1", "Colours/VSWR2", "Colours/VSWR3",
                                            "Colours/S21"};
constexpr const char* kBackgroundColourKey = "Colours/Background";
constexpr const char* kCoordinateColourKey = "Colours/Coordinate";
constexpr const char* kHeldTraceKeys[] = {"HeldTraces/VSWR1", "HeldTraces/VSWR2",
                                          "HeldTraces/VSWR3", "HeldTraces/S21"};
constexpr const char* kShowResonanceKey = "View/ShowResonanceAndBandwidth";

QString Key(const char* key) {
    return QString::fromLatin1(key);
}

// Stores the value only when the edit's rule accepts the saved text.
template <typename T, typename Rule>
void RestoreEditValue(const QSettings& settings, const char* key, Rule rule,
                      std::atomic<T>& member) {
    const auto text = ReadEditSetting(settings.value(Key(key)));
    if (!text) {
        return;
    }
    const auto field = rule(*text);
    if (field.Accepted()) {
        member.store(field.value, kRelaxed);
    }
}

}  // namespace

void CKORVELDlg::RestoreRememberedSettings() {
    rememberAction_ = new QAction(QString::fromUtf8(kRememberEntry), this);
    rememberAction_->setCheckable(true);
    connect(rememberAction_, &QAction::triggered, this, &CKORVELDlg::OnRememberSettings);
    if (!RememberingSettings()) {
        return;
    }
    rememberAction_->setChecked(true);

    const auto settings = OpenRememberedSettings();
    SweepSettings& members = m_sweep;
    RestoreEditValue(*settings, kSmithFreqKey, ReadSmithFreqKHz, m_sweep.m_smithFreqKHz);
    for (const RangeEntry& e : kRangeEntries) {
        RestoreEditValue(*settings, e.key, ReadRangeMHz, members.*e.member);
    }
    RestoreEditValue(*settings, kCableLengthKey, ReadCableLengthM, m_sweep.m_cableLengthM);
    for (const EnableEntry& e : kEnableEntries) {
        if (const auto on = ReadSwitchSetting(settings->value(Key(e.key)))) {
            (members.*e.member).store(*on ? 1 : 0, kRelaxed);
        }
    }
    RestoreViewChoices(*settings);
    // The edits and boxes show the values, and the charts' axes follow them,
    // as if the window had started with them.
    UpdateData(false);
    ApplyFrequencyPlans();
    RestoreHeldTraces(*settings);
}

void CKORVELDlg::RestoreViewChoices(const QSettings& settings) {
    const auto charts = Charts();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        if (const auto colour = ReadColourSetting(settings.value(Key(kCurveColourKeys[i])))) {
            charts[i]->m_curveColor[0] = *colour;
        }
    }
    if (const auto colour = ReadColourSetting(settings.value(Key(kBackgroundColourKey)))) {
        for (CDisLine* chart : charts) {
            chart->m_backColor = *colour;
        }
    }
    if (const auto colour = ReadColourSetting(settings.value(Key(kCoordinateColourKey)))) {
        for (CDisLine* chart : charts) {
            chart->m_gridColor = *colour;
        }
    }
    if (const auto on = ReadSwitchSetting(settings.value(Key(kShowResonanceKey)))) {
        Tools().ShowResonance()->setChecked(*on);
    }
}

void CKORVELDlg::RestoreHeldTraces(const QSettings& settings) {
    // After the plans are applied: a held curve comes back only onto a chart
    // that still sweeps the range it was held on.
    const auto charts = Charts();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        if (auto trace = ReadTraceSetting(settings.value(Key(kHeldTraceKeys[i])))) {
            heldTraces_.Restore(charts, i, std::move(*trace));
        }
    }
}

void CKORVELDlg::SaveRememberedSettings() {
    if (!rememberAction_ || !rememberAction_->isChecked()) {
        return;
    }
    const auto settings = OpenRememberedSettings();
    MarkRemembering(*settings);
    const auto saveText = [&settings, this](const char* key, int editId) {
        settings->setValue(Key(key), Edit(editId)->text());
    };
    saveText(kSmithFreqKey, kIdSmithFreq);
    for (const RangeEntry& e : kRangeEntries) {
        saveText(e.key, e.editId);
    }
    saveText(kCableLengthKey, kIdCableLength);
    for (const EnableEntry& e : kEnableEntries) {
        settings->setValue(
            Key(e.key), ShowSwitchSetting(static_cast<QCheckBox*>(Control(e.boxId))->isChecked()));
    }
    SaveViewChoices(*settings);
    QString problem;
    if (!FinishWriting(*settings, problem)) {
        QMessageBox::warning(this, ApplicationTitle(), problem);
    }
}

void CKORVELDlg::SaveViewChoices(QSettings& settings) {
    const auto charts = Charts();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        settings.setValue(Key(kCurveColourKeys[i]), ShowColourSetting(charts[i]->m_curveColor[0]));
    }
    settings.setValue(Key(kBackgroundColourKey), ShowColourSetting(m_chartVswr1.m_backColor));
    settings.setValue(Key(kCoordinateColourKey), ShowColourSetting(m_chartVswr1.m_gridColor));
    settings.setValue(Key(kShowResonanceKey),
                      ShowSwitchSetting(Tools().ShowResonance()->isChecked()));
    if (impedanceWindow_) {
        settings.setValue(Key(kImpedanceGeometryKey), impedanceWindow_->saveGeometry());
    }
    const auto& traces = heldTraces_.Traces();
    for (std::size_t i = 0; i < traces.size(); ++i) {
        if (traces[i]) {
            settings.setValue(Key(kHeldTraceKeys[i]), ShowTraceSetting(*traces[i]));
        } else {
            settings.remove(Key(kHeldTraceKeys[i]));
        }
    }
}

void CKORVELDlg::RestoreImpedanceGeometry() {
    if (!impedanceWindow_ || !RememberingSettings()) {
        return;
    }
    // A damaged value is refused by restoreGeometry: the window keeps its size.
    impedanceWindow_->restoreGeometry(
        OpenRememberedSettings()->value(Key(kImpedanceGeometryKey)).toByteArray());
}

void CKORVELDlg::OnRememberSettings(bool on) {
    QString problem;
    if (on ? StartRememberingSettings(problem) : ForgetRememberedSettings(problem)) {
        return;
    }
    // The entry shows what the file now says.
    {
        const QSignalBlocker blocker(rememberAction_);
        rememberAction_->setChecked(RememberingSettings());
    }
    QMessageBox::warning(this, ApplicationTitle(), problem);
}

}  // namespace korvel
