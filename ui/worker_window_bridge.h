// Carries the sweep worker's events to the window's thread. Progress waits
// for the window's refresh tick; the Smith-area repaint is posted (coalesced,
// never waited for); a message is shown as a modal box owned by the window and
// blocks only the worker until it is acknowledged, or until the window shuts
// the bridge down.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/worker_window.h"
#include "progress_lines.h"
#include "progress_overlay.h"

class QWidget;

namespace korvel {

class WorkerWindowBridge final : public QObject, public WorkerWindow {
    Q_OBJECT

  public:
    // `window` receives the Smith-area repaints and owns the message boxes;
    // the overlays are repainted on the tick after a progress line changes.
    // All live on the window thread, which also creates the bridge.
    WorkerWindowBridge(QWidget& window, const SweepSettings& settings, ProgressLines& lines);

    void AddProgressOverlay(ProgressOverlay* overlay);

    // Worker thread.
    const SweepSettings& Settings() const override { return settings_; }
    void BeginScanPass() override;
    void ScanProgress(int channel, int point) override;
    void SmithPointChanged() override;
    void ShowMessage(const std::string& text) override;

    // Window thread, on its refresh tick: the strips show the lines as they
    // are now, if the worker changed any.
    void RefreshStaleOverlays();

    // Window thread: releases a waiting worker, closes an open message and
    // makes every later ShowMessage return at once.
    void Shutdown();

    // Window thread: the worker's message box now open, if any.
    QMessageBox* OpenMessage() const { return openBox_; }

  private:
    void OpenMessageBox(const QString& text, uint64_t ticket);
    void Acknowledge(uint64_t ticket);

    QWidget& window_;
    const SweepSettings& settings_;
    ProgressLines& lines_;
    QList<QPointer<ProgressOverlay>> overlays_;

    // A line changed since the strips last read them.
    std::atomic<bool> overlayStale_{false};
    std::atomic<bool> smithRepaintPending_{false};

    std::mutex mutex_;
    std::condition_variable answered_;
    bool closing_ = false;           // guarded by mutex_
    uint64_t lastPosted_ = 0;        // guarded by mutex_
    uint64_t lastAnswered_ = 0;      // guarded by mutex_
    QPointer<QMessageBox> openBox_;  // window thread only
};

}  // namespace korvel
