// Real-time figures of the libusb device layer on an emulated bus (run it
// under umockdev-wrapper): the CPU the program takes while it waits for an
// instrument, the time from plugging one in to a working link, the CPU of a
// scan by thread, and the time from pulling the cable mid-scan to the
// link-error message.
//   umockdev-wrapper build/bench/usb_plug_bench [rounds]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <pthread.h>
#include <unistd.h>

#include "core/sweep_worker.h"
#include "emulated_usb_bus.h"
#include "sim/sim_fault.h"
#include "usb/usb_transport.h"

namespace {

using korvel::testing::EmulatedDevice;
using korvel::testing::EmulatedUsbBus;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A window that only notes when the last message came.
class StopwatchWindow final : public korvel::WorkerWindow {
  public:
    const korvel::SweepSettings& Settings() const override { return settings_; }
    void BeginScanPass() override {}
    void ScanProgress(int, int) override {}
    void EndScanPass() override {}
    void SmithPointChanged() override {}
    void PassFinished() override { passes_.fetch_add(1); }
    void ShowMessage(const std::string&) override {
        messages_.fetch_add(1);
        std::lock_guard<std::mutex> lock(mutex_);
        last_ = Clock::now();
    }
    int Messages() const { return messages_.load(); }
    int Passes() const { return passes_.load(); }
    Clock::time_point Last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }

  private:
    korvel::SweepSettings settings_;
    std::atomic<int> messages_{0};
    std::atomic<int> passes_{0};
    mutable std::mutex mutex_;
    Clock::time_point last_{};
};

// CPU seconds of each thread of this process, by thread name.
std::map<std::string, double> ThreadCpu() {
    std::map<std::string, double> cpu;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return cpu;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const auto open = text.find('(');
        const auto close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        const std::string name = text.substr(open + 1, close - open - 1);
        unsigned long utime = 0, stime = 0;
        // Fields after the name: state is the 3rd field; utime and stime the 14th, 15th.
        std::sscanf(text.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                    &utime, &stime);
        cpu[name] += (utime + stime) / tick;
    }
    closedir(tasks);
    return cpu;
}

void PrintCpu(const char* what, const std::map<std::string, double>& before, double seconds) {
    const std::map<std::string, double> after = ThreadCpu();
    double total = 0;
    std::printf("%s, %% of one core by thread:", what);
    for (const auto& [name, cpu] : after) {
        const auto was = before.find(name);
        const double used = cpu - (was == before.end() ? 0.0 : was->second);
        total += used;
        std::printf(" %s %.2f;", name.c_str(), 100 * used / seconds);
    }
    std::printf(" all %.2f\n", 100 * total / seconds);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds bound) {
    const auto end = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (!EmulatedUsbBus::Available()) {
        std::fprintf(stderr, "usb_plug_bench: run it under umockdev-wrapper\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    EmulatedUsbBus bus;
    // The emulation's threads keep the program's name; this one is told apart.
    pthread_setname_np(pthread_self(), "bench-main");
    korvel::usb::UsbTransport usb{korvel::usb::UsbSelector{}};
    korvel::MeasurementState state;
    state.scanRequest = 1;
    StopwatchWindow window;
    korvel::SteadyClock clock;
    korvel::SweepWorker worker(usb, state, window, clock);
    worker.Start();

    std::this_thread::sleep_for(std::chrono::seconds(1));
    auto before = ThreadCpu();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    PrintCpu("waiting, no instrument (5 s)", before, 5);

    std::vector<double> plugToLink, pullToMessage, restOfPass;
    for (int round = 0; round < rounds; ++round) {
        const auto plugged = Clock::now();
        const int id = bus.Plug(EmulatedDevice{});
        if (!WaitUntil([&] { return state.linkUp.load() == 1; }, std::chrono::seconds(10))) {
            std::fprintf(stderr, "usb_plug_bench: no link after plugging in\n");
            return 1;
        }
        plugToLink.push_back(Ms(Clock::now() - plugged));
        if (round == 0) {
            before = ThreadCpu();
            std::this_thread::sleep_for(std::chrono::seconds(5));
            PrintCpu("scanning (5 s)", before, 5);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(300 + 137 * round));
        }
        const int messages = window.Messages();
        const int passes = window.Passes();
        const auto pulled = Clock::now();
        bus.Unplug(id);
        if (!WaitUntil([&] { return window.Messages() > messages; }, std::chrono::seconds(10))) {
            std::fprintf(stderr, "usb_plug_bench: no message after the unplug\n");
            return 1;
        }
        pullToMessage.push_back(Ms(window.Last() - pulled));
        // The pass under way runs to its end with the link down; only then
        // does the worker look for an instrument again.
        WaitUntil([&] { return window.Passes() > passes; }, std::chrono::seconds(30));
        restOfPass.push_back(Ms(Clock::now() - window.Last()));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    // Stopping while the worker waits for a reply that never comes.
    const int id = bus.Plug(EmulatedDevice{});
    WaitUntil([&] { return state.linkUp.load() == 1; }, std::chrono::seconds(10));
    bus.Instrument(id).ArmFault({korvel::SimFaultKind::NoReply, 0, 0, korvel::kFaultForever});
    WaitUntil([&] { return bus.Traffic(id).waitingIn > 0; }, std::chrono::seconds(10));
    const auto stopping = Clock::now();
    worker.RequestStop();
    worker.Join();
    std::printf("stop while a reply is awaited, ms: %.1f\n", Ms(Clock::now() - stopping));
    std::printf("plug-in (worker waiting) to link up, ms: median %.1f, worst %.1f (%d rounds)\n",
                Median(plugToLink), *std::max_element(plugToLink.begin(), plugToLink.end()),
                rounds);
    std::printf("unplug mid-scan to the link-error message, ms: median %.1f, worst %.1f\n",
                Median(pullToMessage),
                *std::max_element(pullToMessage.begin(), pullToMessage.end()));
    std::printf("the message to the end of the pass under way, ms: median %.1f, worst %.1f\n",
                Median(restOfPass), *std::max_element(restOfPass.begin(), restOfPass.end()));
    return 0;
}
