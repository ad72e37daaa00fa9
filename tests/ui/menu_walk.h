// Walks the context menu that opens next by keyboard, as a user would: at
// each level the entry is made current and Return pressed, which opens a
// submenu or triggers the entry. Works for menus that block in exec() and
// for those that pop up and return.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace korvel::testing {

struct MenuWalk {
    QStringList seen;  // the entries of the last menu reached (mnemonics removed)
    bool finished = false;
    bool failed = false;  // an entry was missing; the menus were closed
};

// `path` names the entries without '&' and without the text after a tab.
QPointer<QTimer> WalkNextMenu(MenuWalk& walk, QStringList path);

}  // namespace korvel::testing
