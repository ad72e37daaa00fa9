// One real-time scan pass on the simulated instrument: three channels and the
// Smith point, 8.75 s of the instrument's nominal pauses. Reports wall time
// over that sum (target at most 1.01) and the worker thread's CPU time per
// pass (target under 1% of the wall time).
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "clock.h"
#include "core/measurement_state.h"
#include "core/sweep_worker.h"
#include "core/worker_window.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"

namespace korvel {
namespace {

// The pauses the worker takes between its commands over one pass.
constexpr double kNominalPassSeconds = 8.75;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Records, on the worker thread, when each pass ended and the CPU time the
// worker had used by then.
class PassClock final : public WorkerWindow {
  public:
    const SweepSettings& Settings() const override { return settings_; }
    void ScanProgress(int, int) override {}
    void SmithPointChanged() override {}
    void ShowMessage(const std::string&) override { ++messages_; }
    void PassFinished() override {
        const double cpu = ThreadCpuSeconds();
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        ++passes_;
        lastEnd_ = now;
        lastCpu_ = cpu;
        changed_.notify_all();
    }

    struct Mark {
        int passes;
        std::chrono::steady_clock::time_point end;
        double cpu;
    };
    Mark WaitForPass(int passes) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return passes_ >= passes; });
        return {passes_, lastEnd_, lastCpu_};
    }
    int Messages() const { return messages_.load(); }

  private:
    SweepSettings settings_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
    std::chrono::steady_clock::time_point lastEnd_;
    double lastCpu_ = 0.0;
    std::atomic<int> messages_{0};
};

void BM_ScanPassRealTime(benchmark::State& state) {
    auto sim = std::make_shared<SimInstrument>(1);
    SimTransport transport(sim);
    MeasurementState shared;
    shared.scanRequest = 1;
    PassClock window;
    SteadyClock clock;
    SweepWorker worker(transport, shared, window, clock);
    worker.Start();
    // The first pass includes connecting; time the passes after it.
    PassClock::Mark previous = window.WaitForPass(1);
    double worstRatio = 0.0;
    double totalWall = 0.0;
    double totalCpu = 0.0;
    for (auto _ : state) {
        const PassClock::Mark mark = window.WaitForPass(previous.passes + 1);
        const double wall = std::chrono::duration<double>(mark.end - previous.end).count();
        state.SetIterationTime(wall);
        worstRatio = std::max(worstRatio, wall / kNominalPassSeconds);
        totalWall += wall;
        totalCpu += mark.cpu - previous.cpu;
        previous = mark;
    }
    worker.RequestStop();
    worker.Join();
    const double passes = static_cast<double>(state.iterations());
    state.counters["wall_over_pauses"] = totalWall / passes / kNominalPassSeconds;
    state.counters["worst_wall_over_pauses"] = worstRatio;
    state.counters["worker_cpu_ms_per_pass"] = totalCpu / passes * 1000.0;
    state.counters["worker_cpu_percent"] = 100.0 * totalCpu / totalWall;
    state.counters["link_errors"] = window.Messages();
}

BENCHMARK(BM_ScanPassRealTime)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace korvel

BENCHMARK_MAIN();
