#include "korvel_dlg.h"
namespace korvel {
void CKORVELDlg::OnExportData() {}
}  // namespace korvel
