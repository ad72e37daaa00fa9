// korvel with a stopwatch: the program's own start-up (application object,
// main dialog, worker) plus an application-wide event filter that reports
// what bench/report.sh cannot see from outside the process. Nothing in the
// product changes for it.
//
//   korvel_probe [--probe-scan] [--probe-ticks N] [--probe-seconds S] [korvel arguments]
//
// Lines printed on stdout, one figure each:
//   first_paint_ms T   launch (KORVEL_PROBE_T0_NS, CLOCK_REALTIME ns, set by
//                      the launcher just before exec) to the end of the
//                      main dialog's first paint
//   tick_paint_ms P50 P95 MAX   the paints one 100 ms refresh causes (the
//                      charts and the meter whose picture changed, repainted
//                      and flushed), N ticks
//   tick_paints W      paint events per timed tick: the charts and the meter
//                      that changed, and whatever shows through or lies
//                      beneath them
//   ready              from here on the process only runs as korvel does;
//                      it closes its window S seconds later
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "command_line.h"
#include "device_choice.h"
#include "korvel_app.h"
#include "korvel_dlg.h"

namespace {

struct ProbeOptions {
    bool scan = false;
    int ticks = 300;
    int seconds = 15;
};

int64_t RealtimeNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int ClampedInt(const std::string& text, int lo, int hi) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, lo, hi));
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

class Probe : public QObject {
  public:
    Probe(ProbeOptions options, int64_t launchNs) : options_(options), launchNs_(launchNs) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (timing_ && event->type() == QEvent::Paint) {
            ++tickPaints_;
        }
        if (dialog_ == nullptr && event->type() == QEvent::Paint) {
            if (auto* dlg = qobject_cast<korvel::CKORVELDlg*>(watched)) {
                dialog_ = dlg;
                // Measured once the paint has run: post behind it.
                QTimer::singleShot(0, this, [this] { OnFirstPaint(); });
            }
        }
        return false;
    }

  private:
    void OnFirstPaint() {
        if (launchNs_ > 0) {
            std::printf("first_paint_ms %.1f\n",
                        static_cast<double>(RealtimeNs() - launchNs_) / 1e6);
            std::fflush(stdout);
        }
        if (options_.scan) {
            for (auto* button : dialog_->findChildren<QPushButton*>()) {
                if (button->text() == "Submit and Start Continuous Scan") {
                    button->click();
                }
            }
        }
        // Let the first measurements arrive before timing the steady state.
        QTimer::singleShot(1500, this, [this] { TimeTick(); });
    }

    // One refresh exactly as the timer does it, then its paints at once.
    void TimeTick() {
        QElapsedTimer timer;
        timer.start();
        timing_ = true;
        dialog_->OnTimer();
        QCoreApplication::sendPostedEvents(dialog_, QEvent::UpdateRequest);
        timing_ = false;
        tickMs_.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (static_cast<int>(tickMs_.size()) < options_.ticks) {
            QTimer::singleShot(5, this, [this] { TimeTick(); });
            return;
        }
        std::printf("tick_paint_ms %.3f %.3f %.3f\n", Percentile(tickMs_, 0.5),
                    Percentile(tickMs_, 0.95), Percentile(tickMs_, 1.0));
        // Paint events per tick: while scanning, at least the chart being
        // swept repaints on each tick.
        std::printf("tick_paints %.2f\n", static_cast<double>(tickPaints_) / tickMs_.size());
        std::printf("ready\n");
        std::fflush(stdout);
        QTimer::singleShot(options_.seconds * 1000, dialog_, [this] { dialog_->reject(); });
    }

    ProbeOptions options_;
    int64_t launchNs_;
    korvel::CKORVELDlg* dialog_ = nullptr;
    std::vector<double> tickMs_;
    bool timing_ = false;
    long tickPaints_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    ProbeOptions probe;
    std::vector<std::string> ours;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--probe-scan") {
            probe.scan = true;
        } else if (arg == "--probe-ticks" && hasValue) {
            probe.ticks = ClampedInt(argv[++i], 1, 100000);
        } else if (arg == "--probe-seconds" && hasValue) {
            probe.seconds = ClampedInt(argv[++i], 0, 3600);
        } else if (arg == "-platform" || arg == "-display") {
            ++i;  // the application object reads these
        } else {
            ours.push_back(arg);
        }
    }
    const korvel::CommandLine options = korvel::ParseCommandLine(ours);
    if (!options.error.empty()) {
        std::fprintf(stderr, "korvel_probe: %s\n", options.error.c_str());
        return korvel::kExitUsage;
    }
    std::string error;
    const auto transport = korvel::MakeTransport(options.device, error);
    if (!transport) {
        std::fprintf(stderr, "korvel_probe: %s\n", error.c_str());
        return korvel::kExitUsage;
    }
    const char* t0 = std::getenv("KORVEL_PROBE_T0_NS");
    const int64_t launchNs = t0 != nullptr ? std::strtoll(t0, nullptr, 10) : 0;

    korvel::CKORVELApp app(argc, argv);
    Probe filter(probe, launchNs);
    app.installEventFilter(&filter);
    return app.InitInstance(options, *transport);
}
