#include "menu_walk.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace korvel::testing {

void WalkNextMenu(MenuWalk& walk, QStringList path) {
    walk = MenuWalk{};
    auto* poll = new QTimer;
    poll->setInterval(5);
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
                             if (walk.seen.last() == path[step]) {
                                 chosen = action;
                             }
                         }
                         const bool done = !chosen || ++step == path.size();
                         if (done) {
                             walk.failed = !chosen;
                             walk.finished = !!chosen;
                             poll->deleteLater();
                             poll->stop();
                         }
                         if (!chosen) {
                             while (QWidget* open = QApplication::activePopupWidget()) {
                                 open->close();
                             }
                             return;
                         }
                         menu->setActiveAction(chosen);
                         QTest::keyClick(menu, Qt::Key_Return);
                     });
    poll->start();
}

}  // namespace korvel::testing
