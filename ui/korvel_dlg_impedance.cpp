// The Tools submenu's Impedance window: made when first asked for, shown on
// the first enabled range, and brought to the front when asked again.
#include "impedance_window.h"
#include "korvel_dlg.h"

namespace korvel {

void CKORVELDlg::OnImpedance() {
    if (!impedanceWindow_) {
        impedanceWindow_ = new ImpedanceWindow(state_, m_sweep, this);
        RestoreImpedanceGeometry();
        const SweepSettings& s = m_sweep;
        const int first = s.m_enableVswr1.load(kRelaxed) == 1   ? 1
                          : s.m_enableVswr2.load(kRelaxed) == 1 ? 2
                          : s.m_enableVswr3.load(kRelaxed) == 1 ? 3
                                                                : 1;
        impedanceWindow_->ShowRange(first);
    }
    impedanceWindow_->show();
    impedanceWindow_->raise();
    impedanceWindow_->activateWindow();
}

}  // namespace korvel
