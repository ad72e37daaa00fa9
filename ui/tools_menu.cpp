#include "tools_menu.h"

#include <QAction>
#include <QMenu>

#include "korvel_dlg.h"

namespace korvel {

ToolsMenu::ToolsMenu(CKORVELDlg& dialog)
    : QObject(&dialog),
      dialog_(dialog),
      exportData_(new QAction(QString::fromUtf8("&Export Data\u2026"), this)),
      holdTraces_(new QAction(QStringLiteral("&Hold Traces"), this)),
      clearHeldTraces_(new QAction(QStringLiteral("&Clear Held Traces"), this)),
      showResonance_(new QAction(QStringLiteral("Show &Resonance and Bandwidth"), this)),
      impedance_(new QAction(QString::fromUtf8("&Impedance\u2026"), this)) {
    showResonance_->setCheckable(true);
    connect(exportData_, &QAction::triggered, &dialog, &CKORVELDlg::OnExportData);
    connect(holdTraces_, &QAction::triggered, &dialog, &CKORVELDlg::OnHoldTraces);
    connect(clearHeldTraces_, &QAction::triggered, &dialog, &CKORVELDlg::OnClearHeldTraces);
    connect(showResonance_, &QAction::toggled, &dialog, &CKORVELDlg::OnShowResonance);
    connect(impedance_, &QAction::triggered, &dialog, &CKORVELDlg::OnImpedance);
}

void ToolsMenu::AddEntries(QMenu& menu) {
    clearHeldTraces_->setEnabled(dialog_.HeldTraceSet().Any());
    clearHeldTraces_->setText(dialog_.HeldTraceSet().ClearEntryText());
    menu.addAction(exportData_);
    menu.addSeparator();
    menu.addAction(holdTraces_);
    menu.addAction(clearHeldTraces_);
    menu.addAction(showResonance_);
    menu.addAction(impedance_);
}

}  // namespace korvel
