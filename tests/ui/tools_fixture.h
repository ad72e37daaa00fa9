// A fixture that opens the real window and picks entries of its context
// menu's Tools submenu the way a user does: a right click or Shift+F10,
// then the entries' mnemonics.
#pragma once

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialog_fixture.h"
#include "dialog_template.h"

namespace korvel::testing {

// Runs `act` on the next popup menu that opens other than `notThis`.
inline void OnNextPopup(std::function<void(QMenu*)> act, QWidget* notThis = nullptr) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, notThis, act = std::move(act)] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && menu != notThis && menu->isVisible()) {
            poll->stop();
            poll->deleteLater();
            act(menu);
        }
    });
    poll->start();
}

inline QStringList Entries(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

class ToolsTest : public DialogTest {
  protected:
    void Open() {
        DialogTest::Open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    // A point of the window's own background, where no control lies.
    QPoint Background() const {
        for (const QPoint p : {QPoint(4, 4), QPoint(600, 704), QPoint(1230, 700)}) {
            if (dialog->childAt(p) == nullptr) {
                return p;
            }
        }
        ADD_FAILURE() << "no free background point";
        return {};
    }

    void OpenContextMenu(bool keyboard) {
        if (keyboard) {
            dialog->Control(kIdSubmitScan)->setFocus();
            QTest::keyClick(dialog->windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
        } else {
            QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, Background());
        }
    }

    // Opens the context menu, then the Tools submenu by its mnemonic, and
    // presses `key` there; the entries seen on the way are kept.
    void ChooseTool(Qt::Key key, bool keyboard = true) {
        bool reached = false;
        OnNextPopup([&](QMenu* root) {
            rootEntries = Entries(*root);
            OnNextPopup(
                [this, root, key, &reached](QMenu* tools) {
                    toolsEntries = Entries(*tools);
                    reached = true;
                    QTest::keyClick(tools, key);
                    if (root->isVisible()) {
                        root->close();  // Escape closed the submenu only
                    }
                },
                root);
            QTest::keyClick(root, Qt::Key_T);
        });
        OpenContextMenu(keyboard);
        EXPECT_TRUE(WaitUntil([&] { return reached && !QApplication::activePopupWidget(); }));
    }

    QImage Grab(CDisLine& chart) {
        chart.update();
        return chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QStringList rootEntries;
    QStringList toolsEntries;
};

}  // namespace korvel::testing
