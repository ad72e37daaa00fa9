#include "modal_answers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>

namespace korvel::testing {

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        // Sleeps between rounds instead of spinning while nothing is pending.
        QThread::msleep(1);
    }
    return true;
}

QPointer<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, answer = std::move(answer)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
            // An answer that failed must not leave the test waiting on the dialog.
            if (QApplication::activeModalWidget() == modal) {
                ADD_FAILURE() << "a modal dialog was left open: "
                              << modal->metaObject()->className();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                }
            }
        }
    });
    poll->start();
    return poll;
}

QPointer<QTimer> PressOnNextBox(SeenBox& seen, QMessageBox::StandardButton button) {
    return AnswerNextModal([&seen, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.seen = true;
        box->button(button)->click();
    });
}

ModalAnswer::ModalAnswer() {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        ++boxes;
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    timer_.start();
}

}  // namespace korvel::testing
