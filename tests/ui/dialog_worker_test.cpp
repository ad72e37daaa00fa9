// The window with a running worker: progress lines, Smith repaints, the
// worker's messages, and closing while the worker is busy or waiting.
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <thread>

#include "dialog_fixture.h"
#include "progress_overlay.h"
#include "recording_window.h"
#include "worker_window_bridge.h"

namespace korvel::testing {
namespace {

class RunningWorkerTest : public ::testing::Test {
  protected:
    void Open() {
        DialogOptions options;
        options.startRefreshTimer = false;
        // Counts the worker's progress lines on their way to the window.
        options.wrapWorkerWindow = [this](WorkerWindow& inner) {
            auto watch = std::make_unique<RecordingWindow>(inner);
            watched = watch.get();
            return watch;
        };
        dialog = std::make_unique<CKORVELDlg>(state, transport, clock, std::move(options));
        dialog->show();
    }
    // Closes the window and returns how long the close took, in ms.
    qint64 CloseTimed() {
        QElapsedTimer timer;
        timer.start();
        dialog->reject();
        return timer.elapsed();
    }

    MeasurementState state;
    ScriptedInstrument transport;
    QuickClock clock;
    std::unique_ptr<CKORVELDlg> dialog;
    RecordingWindow* watched = nullptr;  // owned by the dialog
};

TEST_F(RunningWorkerTest, ProgressLinesShowAboveTheChartsAndCloseIsPrompt) {
    Open();
    dialog->OnSubmitScan();
    ASSERT_TRUE(WaitUntil([this] { return watched->lineCount.load() > 40; }));
    ASSERT_TRUE(WaitUntil([&] {
        const QImage shot = dialog->grab().toImage();
        return shot.pixelColor(432, 24) == QColor(255, 0, 0);
    }));
    const QImage shot = dialog->grab().toImage();
    // Three pixels thick, centred on y = 24, the lower two rows over the chart's top edge.
    for (int y : {23, 24, 25}) {
        EXPECT_EQ(shot.pixelColor(431, y), QColor(255, 0, 0)) << y;
    }
    EXPECT_NE(shot.pixelColor(431, 27), QColor(255, 0, 0));
    EXPECT_NE(shot.pixelColor(429, 24), QColor(255, 0, 0));
    EXPECT_LT(CloseTimed(), 2000);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(RunningWorkerTest, LinkErrorMessageBlocksOnlyTheWorkerAndCloseReleasesIt) {
    transport.answer = false;
    Open();
    ASSERT_TRUE(WaitUntil([&] { return dialog->Bridge().OpenMessage() != nullptr; }));
    QMessageBox* box = dialog->Bridge().OpenMessage();
    EXPECT_EQ(box->text(), QString::fromUtf8("USB Link Error！"));
    EXPECT_EQ(box->windowTitle(), QString("korvel"));
    EXPECT_EQ(box->parentWidget(), dialog.get());
    // The window stays live: a refresh tick runs while the message is open.
    dialog->OnTimer();
    EXPECT_EQ(dialog->TickCount(), 1);
    EXPECT_LT(CloseTimed(), 2000);
}

TEST_F(RunningWorkerTest, AcknowledgedMessageLetsTheWorkerGoOn) {
    transport.answer = false;
    Open();
    ASSERT_TRUE(WaitUntil([&] { return dialog->Bridge().OpenMessage() != nullptr; }));
    QPointer<QMessageBox> first = dialog->Bridge().OpenMessage();
    first->button(QMessageBox::Ok)->click();
    transport.answer = true;
    // The worker reconnects; with answers flowing the link comes up.
    EXPECT_TRUE(WaitUntil([&] { return state.linkUp.load() == 1; }));
    EXPECT_LT(CloseTimed(), 2000);
}

// A window that records the areas it was asked to repaint.
class RecordingWidget final : public QWidget {
  public:
    QRegion painted;

  protected:
    void paintEvent(QPaintEvent* event) override { painted += event->region(); }
};

TEST(WorkerWindowBridge, SmithRepaintAndMessagesFromAnotherThread) {
    RecordingWidget window;
    window.resize(1235, 709);
    window.show();
    WaitUntil([] { return false; }, 50);
    window.painted = QRegion();
    SweepSettings settings;
    ProgressLines lines;
    auto* bridge = new WorkerWindowBridge(window, settings, lines);
    EXPECT_EQ(&bridge->Settings(), &settings);

    std::atomic<bool> returned{false};
    std::thread worker([&] {
        bridge->SmithPointChanged();
        bridge->ScanProgress(2, 47);  // x 600
        bridge->ShowMessage("Zo Calibration finished.");
        returned = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return bridge->OpenMessage() != nullptr; }));
    // The repaint was asked for first; the window may still be on its way to it.
    EXPECT_TRUE(WaitUntil([&] { return window.painted.contains(QRect(0, 0, 430, 440)); }));
    EXPECT_EQ(lines.End(1), 600);
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(bridge->OpenMessage()->text(), QString("Zo Calibration finished."));
    bridge->OpenMessage()->button(QMessageBox::Ok)->click();
    worker.join();
    EXPECT_TRUE(returned.load());

    // After shutdown a message returns at once and opens nothing.
    bridge->Shutdown();
    std::thread late([&] { bridge->ShowMessage("late"); });
    late.join();
    WaitUntil([] { return false; }, 20);
    EXPECT_EQ(bridge->OpenMessage(), nullptr);
}

// Counts the queued calls that reach an object.
class QueuedCalls final : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::MetaCall;
        return false;
    }
};

TEST(WorkerWindowBridge, StripsGrowOnTheTickAndTheWorkerNeverWakesTheWindowForThem) {
    RecordingWidget window;
    window.resize(1235, 709);
    window.show();
    SweepSettings settings;
    ProgressLines lines;
    auto* bridge = new WorkerWindowBridge(window, settings, lines);
    auto* strip = new ProgressOverlay(&window, lines, 1);
    strip->show();
    bridge->AddProgressOverlay(strip);
    QueuedCalls calls;
    bridge->installEventFilter(&calls);
    const auto settle = [] { WaitUntil([] { return false; }, 50); };
    const auto shown = [&](int point) {
        return window.painted.contains(QRect(ProgressLineEnd(point), 173, 1, 3));
    };
    const auto sweep = [&](int from, int to) {
        std::thread([&] {
            for (int point = from; point <= to; ++point) {
                bridge->ScanProgress(2, point);
            }
        }).join();
        settle();
    };

    settle();
    window.painted = QRegion();
    sweep(0, 29);
    EXPECT_FALSE(shown(0));
    bridge->RefreshStaleOverlays();
    settle();
    EXPECT_TRUE(shown(29));

    // Only the new part is repainted, and nothing when nothing changed.
    window.painted = QRegion();
    sweep(30, 35);
    bridge->RefreshStaleOverlays();
    settle();
    EXPECT_TRUE(shown(35) && !shown(29));
    window.painted = QRegion();
    bridge->RefreshStaleOverlays();
    settle();
    EXPECT_TRUE(window.painted.isEmpty());
    EXPECT_EQ(calls.count, 0);
}

}  // namespace
}  // namespace korvel::testing
