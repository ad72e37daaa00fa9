#include "menu_walk.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

namespace korvel::testing {

namespace {

QString PlainText(const QAction* action) {
    QString text = action->text().section(QLatin1Char('\t'), 0, 0);
    return text.remove(QLatin1Char('&'));
}

}  // namespace

QPointer<QTimer> WalkNextMenu(MenuWalk& walk, QStringList path) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout,
                     [poll, &walk, path, step = 0, lastMenu = (QMenu*)nullptr]() mutable {
                         auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                         if (!menu || menu == lastMenu) {
                             return;  // not open yet, or the submenu is still opening
                         }
                         lastMenu = menu;
                         walk.seen.clear();
                         QAction* chosen = nullptr;
                         for (QAction* action : menu->actions()) {
                             if (action->isSeparator()) {
                                 continue;
                             }
                             walk.seen << PlainText(action);
                             if (PlainText(action) == path[step]) {
                                 chosen = action;
                             }
                         }
                         if (!chosen || !chosen->isEnabled()) {
                             walk.failed = true;
                             poll->stop();
                             poll->deleteLater();
                             while (QWidget* open = QApplication::activePopupWidget()) {
                                 open->close();
                             }
                             return;
                         }
                         menu->setActiveAction(chosen);
                         QTest::keyClick(menu, Qt::Key_Return);
                         if (++step == path.size()) {
                             walk.finished = true;
                             poll->stop();
                             poll->deleteLater();
                         }
                     });
    poll->start();
    return poll;
}

}  // namespace korvel::testing
