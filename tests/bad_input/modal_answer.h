// Answers the next modal message box of a test: remembers its caption and
// text and presses OK. It polls from a timer of the event loop that the box's
// own exec() runs, so the box never blocks the test.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace korvel::test {

class ModalAnswer {
  public:
    ModalAnswer() {
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

    int boxes = 0;
    QString title;
    QString text;

  private:
    QTimer timer_;
};

}  // namespace korvel::test
