// Walks the context menu that opens next by keyboard, as a user would: each
// entry of `path` (without '&' and the text after a tab) is made current and
// Return pressed, which opens its submenu or triggers it.
#pragma once

#include <QPoint>
#include <QStringList>

class QWidget;

namespace korvel::testing {

struct MenuWalk {
    QStringList seen;  // the entries of the last menu reached
    bool finished = false;
    bool failed = false;  // an entry was missing; the menus were closed
};

void WalkNextMenu(MenuWalk& walk, QStringList path);
// Opens `target`'s context menu at `at` and walks it to its end.
MenuWalk ChooseFromContextMenu(QWidget& target, QPoint at, const QStringList& path);

}  // namespace korvel::testing
