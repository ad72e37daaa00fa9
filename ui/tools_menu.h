// The entries of the window's "Tools" submenu: Export Data, Hold Traces,
// Clear Held Traces, Show Resonance and Bandwidth and the Impedance window. The actions live as
// long as the window; each opening of the menu shows their present state.
#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace korvel {

class CKORVELDlg;

class ToolsMenu : public QObject {
  public:
    explicit ToolsMenu(CKORVELDlg& dialog);

    // Appends the entries to `menu`, Clear Held Traces enabled only while a
    // trace is held and its text naming traces dropped by a range change.
    void AddEntries(QMenu& menu);

    QAction* HoldTraces() const { return holdTraces_; }
    QAction* ClearHeldTraces() const { return clearHeldTraces_; }
    QAction* ShowResonance() const { return showResonance_; }
    QAction* Impedance() const { return impedance_; }

  private:
    CKORVELDlg& dialog_;
    QAction* exportData_;
    QAction* holdTraces_;
    QAction* clearHeldTraces_;
    QAction* showResonance_;
    QAction* impedance_;
};

}  // namespace korvel
