// Carries the sweep worker's calls to the window's thread. Progress lines and
// the Smith-area repaint are posted (coalesced, never waited for); a message
// is shown as a modal box owned by the window and blocks only the worker until
// it is acknowledged, or until the window shuts the bridge down.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "clock.h"
#include "progress_lines.h"
#include "progress_overlay.h"
#include "worker_window.h"

class QWidget;

namespace korvel {

class WorkerWindowBridge final : public QObject, public WorkerWindow {
    Q_OBJECT

  public:
    // `window` receives the Smith-area repaints and owns the message boxes;
    // `overlays` are repainted when a progress line changes. All live on the
    // window thread, which also creates the bridge. `clock` (real time when
    // null) spaces the strips' refreshes.
    WorkerWindowBridge(QWidget& window, const DialogSettings& settings, ProgressLines& lines,
                       const Clock* clock = nullptr);

    void AddProgressOverlay(ProgressOverlay* overlay);

    // Worker thread.
    const DialogSettings& Settings() const override { return settings_; }
    void BeginScanPass() override;
    void DrawProgressLine(int y, int xEnd) override;
    void InvalidateSmithArea() override;
    void ShowMessage(const std::string& text) override;

    // Window thread, on its refresh tick: the strips catch up with lines the
    // worker set too soon after the last refresh to ask for one.
    void RefreshStaleOverlays();

    // Window thread: releases a waiting worker, closes an open message and
    // makes every later ShowMessage return at once.
    void Shutdown();

    // Window thread: the worker's message box now open, if any.
    QMessageBox* OpenMessage() const { return openBox_; }

  private:
    void RequestOverlayRepaint();
    // Window thread: the strips show the lines as they are now.
    void RefreshOverlays();
    void OpenMessageBox(const QString& text, uint64_t ticket);
    void Acknowledge(uint64_t ticket);

    QWidget& window_;
    const DialogSettings& settings_;
    ProgressLines& lines_;
    QList<QPointer<ProgressOverlay>> overlays_;

    // A line changed since the strips last read them.
    std::atomic<bool> overlayStale_{false};
    // A refresh is queued: the worker posts nothing more meanwhile.
    std::atomic<bool> overlayRefreshPosted_{false};
    SteadyClock steadyClock_;
    const Clock& clock_;
    // When the strips last read the lines, on clock_ (ms); far back at first.
    std::atomic<int64_t> overlaysRefreshedMs_{INT64_MIN / 2};
    std::atomic<bool> smithRepaintPending_{false};

    std::mutex mutex_;
    std::condition_variable answered_;
    bool closing_ = false;           // guarded by mutex_
    uint64_t lastPosted_ = 0;        // guarded by mutex_
    uint64_t lastAnswered_ = 0;      // guarded by mutex_
    QPointer<QMessageBox> openBox_;  // window thread only
};

}  // namespace korvel
