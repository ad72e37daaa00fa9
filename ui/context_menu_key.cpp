#include "context_menu_key.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace korvel {

void ContextMenuKey::InstallOn(QWidget& widget) {
#ifndef Q_OS_WIN
    widget.installEventFilter(new ContextMenuKey(&widget));
#endif
}

bool ContextMenuKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    // Where the menu key would open it: inside the widget, near its top left.
    const QPoint pos = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().bottomLeft();
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, pos, widget->mapToGlobal(pos),
                                key->modifiers());
    QCoreApplication::sendEvent(widget, &menuEvent);
    return true;
}

}  // namespace korvel
