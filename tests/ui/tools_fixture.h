// The real window with its context menu driven as a user drives it: a right
// click or Shift+F10, then the Tools submenu's mnemonics.
#pragma once

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "dialog_fixture.h"
#include "dialog_template.h"

namespace korvel::testing {

// Runs `act` on the next popup menu to open other than `notThis`.
inline void OnNextPopup(std::function<void(QMenu*)> act, QWidget* notThis = nullptr) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, notThis, act = std::move(act)] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && menu != notThis) {
            poll->deleteLater();
            poll->stop();
            act(menu);
        }
    });
    poll->start();
}

class ToolsTest : public DialogTest {
  protected:
    // Presses `key` in the Tools submenu, keeping the texts of both menus.
    void ChooseTool(Qt::Key key, bool rightClick = false) {
        bool reached = false;
        OnNextPopup([&](QMenu* root) {
            OnNextPopup(
                [&, root](QMenu* tools) {
                    menuTexts.clear();
                    for (const QMenu* m : {root, tools}) {
                        for (const QAction* action : m->actions()) {
                            menuTexts << (action->isSeparator() ? QString("-") : action->text());
                        }
                    }
                    reached = true;
                    QTest::keyClick(tools, key);
                    root->close();  // after Escape, which closes the submenu only
                },
                root);
            QTest::keyClick(root, Qt::Key_T);
        });
        if (rightClick) {  // on the background below the buttons
            ASSERT_EQ(dialog->childAt(600, 704), nullptr);
            QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, QPoint(600, 704));
        } else {
            dialog->Control(kIdSubmitScan)->setFocus();
            QTest::keyClick(dialog->windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
        }
        EXPECT_TRUE(WaitUntil([&] { return reached && !QApplication::activePopupWidget(); }));
    }

    static QImage Grab(QWidget& widget) {
        widget.update();
        return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QStringList menuTexts;
};

}  // namespace korvel::testing
