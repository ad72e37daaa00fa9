#include "menu_walk.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "modal_answers.h"

namespace korvel::testing {

void WalkNextMenu(MenuWalk& walk, QStringList path) {
    walk = MenuWalk{};
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout,
                     [poll, &walk, path, step = 0, last = static_cast<QMenu*>(nullptr)]() mutable {
                         auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                         if (!menu || menu == last) {
                             return;  // not open yet
                         }
                         last = menu;
                         walk.seen.clear();
                         QAction* chosen = nullptr;
                         for (QAction* action : menu->actions()) {
                             walk.seen << action->text().section('\t', 0, 0).remove('&');
                             chosen = walk.seen.last() == path[step] ? action : chosen;
                         }
                         walk.failed = !chosen;
                         walk.finished = chosen && ++step == path.size();
                         if (walk.failed || walk.finished) {
                             poll->deleteLater();
                             poll->stop();
                         }
                         if (chosen) {
                             menu->setActiveAction(chosen);
                             QTest::keyClick(menu, Qt::Key_Return);
                         }
                         while (walk.failed && QApplication::activePopupWidget()) {
                             QApplication::activePopupWidget()->close();
                         }
                     });
    poll->start(5);
}

MenuWalk ChooseFromContextMenu(QWidget& target, QPoint at, const QStringList& path) {
    MenuWalk walk;
    WalkNextMenu(walk, path);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target.mapToGlobal(at));
    QCoreApplication::sendEvent(&target, &event);
    if (!WaitUntil([&] { return walk.finished || walk.failed; })) {
        walk.failed = true;
    }
    return walk;
}

}  // namespace korvel::testing
