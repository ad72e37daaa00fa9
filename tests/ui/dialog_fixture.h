// Shared pieces of the window tests: a scripted instrument, clocks for the
// worker, a helper that answers the next modal dialog, and a fixture that
// opens the real main window.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "clock.h"
#include "device_transport.h"
#include "korvel_dlg.h"
#include "measurement_state.h"

namespace korvel::test {

// An instrument that answers every command with a reply of the right length,
// or, once `answer` is cleared, with nothing (a transfer that timed out).
class ScriptedTransport final : public DeviceTransport {
  public:
    std::atomic<int> devices{1};
    std::atomic<bool> answer{true};

    int CountDevices() override { return devices.load(); }
    bool OpenDevice() override {
        open_ = true;
        return true;
    }
    bool IsOpen() const override { return open_.load(); }
    int WriteBlock(const uint8_t* data, int length) override {
        lastCommand_ = length > 1 ? data[1] : 0;
        return length;
    }
    int ReadBlock(uint8_t* buffer, int length) override {
        if (!answer.load()) {
            return 0;
        }
        const int reply = lastCommand_ == 0xA2 ? 18 : 2;
        // Words: live amp, ref, phase, power, then the stored record.
        const uint16_t words[9] = {0, 900, 2000, 1200, 2400, 1000, 2000, 1300, 2400};
        uint8_t bytes[18] = {};
        std::memcpy(bytes, words, sizeof bytes);
        std::memcpy(buffer, bytes, static_cast<std::size_t>(std::min(length, reply)));
        return reply;
    }
    void CloseDevice() override { open_ = false; }

  private:
    std::atomic<bool> open_{false};
    uint8_t lastCommand_ = 0;  // worker thread only
};

// Every pause lasts until the worker is stopped: the worker parks at its
// first pause and leaves the shared record to the test.
class ParkedClock final : public Clock {
  public:
    bool SleepFor(Milliseconds, StopSignal& stop) override {
        return !stop.WaitFor(std::chrono::hours(24));
    }
    Milliseconds Now() const override { return Milliseconds(0); }
};

// Every pause lasts 1 ms of real time: a pass runs in well under a second
// without the worker spinning.
class QuickClock final : public Clock {
  public:
    bool SleepFor(Milliseconds, StopSignal& stop) override {
        return !stop.WaitFor(Milliseconds(1));
    }
    Milliseconds Now() const override { return Milliseconds(0); }
};

// Waits (processing events) until `done` holds or `ms` have passed.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs `answer` on the next modal dialog to open (polled every few ms).
// Delete the returned timer to withdraw the answer.
inline QPointer<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer) {
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

// Presses a message box's button, remembering the box's caption and text.
struct SeenBox {
    QString title;
    QString text;
    bool seen = false;
};
inline QPointer<QTimer> PressOnNextBox(SeenBox& seen, QMessageBox::StandardButton button) {
    return AnswerNextModal([&seen, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.seen = true;
        box->button(button)->click();
    });
}

// Opens the real main window on a scripted instrument whose worker is parked.
class DialogTest : public ::testing::Test {
  protected:
    void Open(DialogOptions options = {}) {
        options.startRefreshTimer = false;
        dialog = std::make_unique<CKORVELDlg>(state, transport, clock, std::move(options));
        dialog->show();
    }
    void TearDown() override { dialog.reset(); }

    QLineEdit* Edit(int id) { return dialog->Edit(id); }

    MeasurementState state;
    ScriptedTransport transport;
    ParkedClock clock;
    std::unique_ptr<CKORVELDlg> dialog;
};

}  // namespace korvel::test
