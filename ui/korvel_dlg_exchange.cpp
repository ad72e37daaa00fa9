// Data exchange between the window's edits and boxes and its settings members.
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>

#include "app_title.h"
#include "dialog_template.h"
#include "field_rules.h"
#include "korvel_dlg.h"

namespace korvel {

namespace {

struct RangeField {
    int editId;
    std::atomic<float> SweepSettings::*member;
};

constexpr RangeField kRangeFields[] = {
    {kIdVswr1Start, &SweepSettings::m_vswr1StartMHz},
    {kIdVswr1Stop, &SweepSettings::m_vswr1StopMHz},
    {kIdVswr2Start, &SweepSettings::m_vswr2StartMHz},
    {kIdVswr2Stop, &SweepSettings::m_vswr2StopMHz},
    {kIdVswr3Start, &SweepSettings::m_vswr3StartMHz},
    {kIdVswr3Stop, &SweepSettings::m_vswr3StopMHz},
};

struct EnableField {
    int boxId;
    std::atomic<int32_t> SweepSettings::*member;
};

constexpr EnableField kEnableFields[] = {
    {kIdEnableVswr1, &SweepSettings::m_enableVswr1},
    {kIdEnableVswr2, &SweepSettings::m_enableVswr2},
    {kIdEnableVswr3, &SweepSettings::m_enableVswr3},
};

std::string TextOf(const QLineEdit* edit) {
    return edit->text().toStdString();
}

}  // namespace

bool CKORVELDlg::UpdateData(bool saveAndValidate) {
    SweepSettings& settings = m_sweep;
    const auto box = [this](int id) { return static_cast<QCheckBox*>(Control(id)); };

    if (!saveAndValidate) {
        Edit(kIdSmithFreq)
            ->setText(
                QString::fromStdString(ShowSmithFreqKHz(m_sweep.m_smithFreqKHz.load(kRelaxed))));
        for (const RangeField& f : kRangeFields) {
            Edit(f.editId)->setText(
                QString::fromStdString(ShowRangeMHz((settings.*f.member).load(kRelaxed))));
        }
        for (const EnableField& f : kEnableFields) {
            box(f.boxId)->setChecked((settings.*f.member).load(kRelaxed) != 0);
        }
        Edit(kIdCableLength)
            ->setText(
                QString::fromStdString(ShowCableLengthM(m_sweep.m_cableLengthM.load(kRelaxed))));
        return true;
    }

    // Each value is checked right after it is read; the first refusal ends the
    // exchange, leaving the members after it as they were.
    const auto smith = ReadSmithFreqKHz(TextOf(Edit(kIdSmithFreq)));
    if (smith.Stores()) {
        m_sweep.m_smithFreqKHz.store(smith.value, kRelaxed);
    }
    if (!smith.Accepted()) {
        return Refuse(kIdSmithFreq, smith.message);
    }
    for (const RangeField& f : kRangeFields) {
        const auto range = ReadRangeMHz(TextOf(Edit(f.editId)));
        if (range.Stores()) {
            (settings.*f.member).store(range.value, kRelaxed);
        }
        if (!range.Accepted()) {
            return Refuse(f.editId, range.message);
        }
    }
    for (const EnableField& f : kEnableFields) {
        (settings.*f.member).store(box(f.boxId)->isChecked() ? 1 : 0, kRelaxed);
    }
    const auto cable = ReadCableLengthM(TextOf(Edit(kIdCableLength)));
    if (cable.Stores()) {
        m_sweep.m_cableLengthM.store(cable.value, kRelaxed);
    }
    if (!cable.Accepted()) {
        return Refuse(kIdCableLength, cable.message);
    }
    return true;
}

bool CKORVELDlg::Refuse(int editId, const std::string& message) {
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), QString::fromStdString(message),
                    QMessageBox::Ok, this);
    box.exec();
    QLineEdit* edit = Edit(editId);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return false;
}

}  // namespace korvel
