// The chart entries of the Tools submenu: held reference traces and the
// resonance marks of the VSWR charts.
#include "korvel_dlg.h"
#include "resonance_overlay.h"

namespace korvel {

void CKORVELDlg::OnHoldTraces() {
    heldTraces_.Hold(Charts());
}

void CKORVELDlg::OnClearHeldTraces() {
    heldTraces_.Clear(Charts());
}

void CKORVELDlg::OnShowResonance(bool shown) {
    for (CDisLine* chart : {&m_chartVswr1, &m_chartVswr2, &m_chartVswr3}) {
        chart->m_overlayFor = ResonanceOverlay;
        chart->m_overlayShown = shown ? 1 : 0;
        chart->update();
    }
}

}  // namespace korvel
