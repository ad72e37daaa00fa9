#include "worker_window_bridge.h"

#include <QMessageBox>
#include <QWidget>
#include <algorithm>

#include "app_title.h"
#include "smith_panel.h"

namespace korvel {

namespace {

// Least time between two refreshes of the progress strips that the worker
// asks for.
constexpr Milliseconds kOverlayGap{40};

}  // namespace

WorkerWindowBridge::WorkerWindowBridge(QWidget& window, const DialogSettings& settings,
                                       ProgressLines& lines, const Clock* clock)
    : QObject(&window),
      window_(window),
      settings_(settings),
      lines_(lines),
      clock_(clock ? *clock : steadyClock_) {}

void WorkerWindowBridge::AddProgressOverlay(ProgressOverlay* overlay) {
    overlays_.append(overlay);
}

void WorkerWindowBridge::BeginScanPass() {
    // Each pass starts its lines afresh, so a line shows how far this pass has come.
    lines_.ClearAll();
    RequestOverlayRepaint();
}

void WorkerWindowBridge::DrawProgressLine(int y, int xEnd) {
    if (lines_.Set(y, xEnd)) {
        RequestOverlayRepaint();
    }
}

void WorkerWindowBridge::RequestOverlayRepaint() {
    // A point takes the worker about 15 ms: strips grown at most every
    // kOverlayGap look the same and wake the window far less often. A line
    // set sooner waits for a later point or for the window's refresh tick.
    overlayStale_.store(true);
    const Milliseconds since =
        clock_.Now() - Milliseconds(overlaysRefreshedMs_.load(std::memory_order_relaxed));
    if (since >= Milliseconds(0) && since < kOverlayGap) {
        return;
    }
    // One queued refresh at a time: a fast sweep cannot flood the event queue.
    if (overlayRefreshPosted_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { RefreshOverlays(); }, Qt::QueuedConnection);
}

void WorkerWindowBridge::RefreshStaleOverlays() {
    if (overlayStale_.load()) {
        RefreshOverlays();
    }
}

void WorkerWindowBridge::RefreshOverlays() {
    // Cleared before the lines are read. The exchange takes in every line
    // set before the worker's flag it clears; a line set later leaves the
    // flag set for the next tick.
    overlayRefreshPosted_.store(false);
    overlayStale_.exchange(false);
    overlaysRefreshedMs_.store(clock_.Now().count(), std::memory_order_relaxed);
    for (const auto& overlay : overlays_) {
        if (overlay) {
            overlay->Refresh();
        }
    }
}

void WorkerWindowBridge::InvalidateSmithArea() {
    if (smithRepaintPending_.exchange(true, std::memory_order_relaxed)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            smithRepaintPending_.store(false, std::memory_order_relaxed);
            window_.update(kSmithPanelArea);
        },
        Qt::QueuedConnection);
}

void WorkerWindowBridge::ShowMessage(const std::string& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (closing_) {
        return;
    }
    const uint64_t ticket = ++lastPosted_;
    const QString qtext = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        this, [this, qtext, ticket] { OpenMessageBox(qtext, ticket); }, Qt::QueuedConnection);
    answered_.wait(lock, [this, ticket] { return closing_ || lastAnswered_ >= ticket; });
}

void WorkerWindowBridge::OpenMessageBox(const QString& text, uint64_t ticket) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_) {
            return;
        }
    }
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, &window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, [this, ticket] { Acknowledge(ticket); });
    openBox_ = box;
    box->open();  // modal for the window; the window's own loop keeps running
}

void WorkerWindowBridge::Acknowledge(uint64_t ticket) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastAnswered_ = std::max(lastAnswered_, ticket);
    }
    answered_.notify_all();
}

void WorkerWindowBridge::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    answered_.notify_all();
    if (openBox_) {
        openBox_->close();
    }
}

}  // namespace korvel
