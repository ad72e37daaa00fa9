// Shift+F10 opens the context menu of the widget it is installed on, as the
// menu key does. Windows does this itself; the X11 and Wayland platforms of
// Qt only know the menu key.
#pragma once

#include <QObject>

namespace korvel {

class ContextMenuKey : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    // Installs one filter, owned by `widget`, on `widget`.
    static void InstallOn(QWidget& widget);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace korvel
