// A peer on the instrument's socket that never answers properly: random raw
// bytes, a frame header announcing 65535 bytes that never come, a whole
// 65535-byte frame, or frames nobody asked for. One connection at a time, on
// its own thread, until it is destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace korvel::soak {

enum class HostileMode { RawGarbage, LengthWithoutData, HugeFrame, Unsolicited };

const char* HostileModeName(HostileMode mode);

class HostilePeer {
  public:
    HostilePeer(const std::string& socketPath, HostileMode mode, uint32_t seed);
    ~HostilePeer();
    HostilePeer(const HostilePeer&) = delete;
    HostilePeer& operator=(const HostilePeer&) = delete;

    bool Listening() const { return listener_ >= 0; }
    int Connections() const { return connections_.load(std::memory_order_relaxed); }

  private:
    void Run();
    void Serve(int fd);
    void Answer(int fd);

    std::string path_;
    HostileMode mode_;
    uint32_t seed_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace korvel::soak
