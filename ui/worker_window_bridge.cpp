#include "worker_window_bridge.h"

#include <QMessageBox>
#include <QWidget>
#include <algorithm>

#include "app_title.h"
#include "smith_panel.h"

namespace korvel {

namespace {

// Least time between two refreshes of the progress strips.
constexpr qint64 kOverlayGapMs = 40;

}  // namespace

WorkerWindowBridge::WorkerWindowBridge(QWidget& window, const DialogSettings& settings,
                                       ProgressLines& lines)
    : QObject(&window), window_(window), settings_(settings), lines_(lines) {
    overlayDelay_.setSingleShot(true);
    connect(&overlayDelay_, &QTimer::timeout, this, &WorkerWindowBridge::RefreshOverlays);
}

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
    // One queued repaint at a time: a fast sweep cannot flood the event queue.
    // Sequentially consistent with the clear before the lines are read: a
    // line set just then is either read or posts a request of its own.
    if (overlayRepaintPending_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            // A point takes the worker about 15 ms: a strip grown at most
            // every kOverlayGapMs looks the same and wakes the window (and
            // the display) far less often.
            const qint64 since =
                overlaysRefreshed_.isValid() ? overlaysRefreshed_.elapsed() : kOverlayGapMs;
            if (since >= 0 && since < kOverlayGapMs) {
                overlayDelay_.start(static_cast<int>(kOverlayGapMs - since));
                return;
            }
            RefreshOverlays();
        },
        Qt::QueuedConnection);
}

void WorkerWindowBridge::RefreshOverlays() {
    // Cleared before the lines are read: a line set after this point posts
    // a request of its own.
    overlayRepaintPending_.store(false);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    overlaysRefreshed_.start();
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
