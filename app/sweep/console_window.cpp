#include "console_window.h"

namespace korvel::sweep {

void ConsoleWindow::ShowMessage(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    err_ << "korvel-sweep: " << text << std::endl;
}

void ConsoleWindow::PassFinished() {
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        count = passes_ + 1;
    }
    // The hook may stop the worker; it runs before the waiting thread wakes.
    if (passHook_)
        passHook_(count);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        passes_ = count;
    }
    changed_.notify_all();
}

int ConsoleWindow::WaitForPasses(int passes, std::chrono::milliseconds slice) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, slice, [&] { return passes_ >= passes; });
    return passes_;
}

}  // namespace korvel::sweep
