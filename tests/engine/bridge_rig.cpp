#include "bridge_rig.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "sim/sim_transport.h"
#include "socket_peer.h"

namespace korvel::testing {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

int MsLeft(SteadyTime deadline) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count());
}

}  // namespace

BridgeRig::BridgeRig(bridge::BridgeOptions options)
    : path_(TempSocketPath("bridge")),
      sim_(std::make_shared<SimInstrument>()),
      instrument_(std::make_unique<SimTransport>(sim_), clock_, Milliseconds(1)),
      server_(
          instrument_, options, [this](const std::string& line) { Note(line); },
          [this](const std::string& line) { Note(line); }) {}

BridgeRig::~BridgeRig() {
    server_.Stop();
    if (serving_.joinable()) {
        serving_.join();
    }
}

bool BridgeRig::Start() {
    StreamEndpoint endpoint;
    std::string error;
    if (!ParseStreamEndpoint(Device(), endpoint, error) || !server_.Listen(endpoint, error)) {
        return false;
    }
    serving_ = std::thread([this] { server_.Serve(); });
    return WaitForLog("listening on");
}

void BridgeRig::Note(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        log_ += line + "\n";
    }
    changed_.notify_all();
}

bool BridgeRig::WaitForLog(const std::string& text, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return log_.find(text) != std::string::npos; });
}

std::string BridgeRig::Log() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

uint64_t BridgeRig::InstrumentCommands() const {
    const SimCounters c = sim_->Counters();
    return c.tunes + c.reads + c.pageWrites + c.ignoredPageWrites + c.rejected;
}

std::unique_ptr<StreamTransport> BridgeRig::Client(int timeoutMs) const {
    StreamEndpoint endpoint;
    std::string error;
    ParseStreamEndpoint(Device(), endpoint, error);
    return std::make_unique<StreamTransport>(endpoint, timeoutMs);
}

RawClient::RawClient(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawClient::~RawClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawClient::Send(const std::vector<uint8_t>& bytes) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;  // the bridge closed first
        }
        sent += static_cast<std::size_t>(n);
    }
    return sent == bytes.size();
}

void RawClient::FinishSending() {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_WR);
    }
}

bool RawClient::ClosedWithin(int timeoutMs, std::vector<uint8_t>* received) {
    const SteadyTime deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t chunk[256];
    while (fd_ >= 0) {
        const int left = MsLeft(deadline);
        if (left <= 0) {
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) {
            continue;
        }
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return true;  // closed (or reset)
        }
        if (received != nullptr) {
            received->insert(received->end(), chunk, chunk + n);
        }
    }
    return false;
}

}  // namespace korvel::testing
