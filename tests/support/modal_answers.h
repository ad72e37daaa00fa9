// Answers to the modal dialogs a window test opens, and a bounded wait that
// keeps the event loop running. They poll from timers of the event loop that
// the dialog's own exec() runs, so a dialog never blocks the test.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

namespace korvel::testing {

// Waits (processing events) until `done` holds or `ms` have passed.
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);

// Runs `answer` on the next modal dialog to open (polled every few ms).
// Delete the returned timer to withdraw the answer.
QPointer<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer);

// Presses a message box's button, remembering the box's caption and text.
struct SeenBox {
    QString title;
    QString text;
    bool seen = false;
};
QPointer<QTimer> PressOnNextBox(SeenBox& seen, QMessageBox::StandardButton button);

// While it lives, presses OK on every message box that opens, counting them
// and remembering the last one's caption and text.
class ModalAnswer {
  public:
    ModalAnswer();

    int boxes = 0;
    QString title;
    QString text;

  private:
    QTimer timer_;
};

}  // namespace korvel::testing
