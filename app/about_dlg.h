// The About box: the application icon, the name and version, a notice, OK.
#pragma once

#include <QDialog>

namespace korvel {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace korvel
