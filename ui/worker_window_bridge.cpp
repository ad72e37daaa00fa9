#include "worker_window_bridge.h"

#include <QMessageBox>
#include <QWidget>
#include <algorithm>

#include "app_title.h"
#include "smith_panel.h"

namespace korvel {

WorkerWindowBridge::WorkerWindowBridge(QWidget& window, const SweepSettings& settings,
                                       ProgressLines& lines)
    : QObject(&window), window_(window), settings_(settings), lines_(lines) {}

void WorkerWindowBridge::AddProgressOverlay(ProgressOverlay* overlay) {
    overlays_.append(overlay);
}

void WorkerWindowBridge::BeginScanPass() {
    // Each pass starts its lines afresh, so a line shows how far this pass has come.
    lines_.ClearAll();
    overlayStale_.store(true);
}

void WorkerWindowBridge::ScanProgress(int channel, int point) {
    // Nothing is posted: the window's refresh tick shows the strips together
    // with the charts under them, grown by the same points, and the worker's
    // 60-odd points a second never wake the window on their own.
    if (lines_.Set(channel - 1, ProgressLineEnd(point))) {
        overlayStale_.store(true);
    }
}

void WorkerWindowBridge::RefreshStaleOverlays() {
    // The exchange takes in every line set before the flag it clears; a line
    // set later leaves the flag set for the next tick.
    if (!overlayStale_.exchange(false)) {
        return;
    }
    for (const auto& overlay : overlays_) {
        if (overlay) {
            overlay->Refresh();
        }
    }
}

void WorkerWindowBridge::SmithPointChanged() {
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
