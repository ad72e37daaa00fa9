// Block transfers on a handle opened with FILE_FLAG_OVERLAPPED: one overlapped
// record and one manual-reset event per transfer, a bounded wait, and a
// transfer that runs out of time is cancelled and waited for, so its late
// completion never reaches the memory of a later transfer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device_transport.h"
#include "win32_api.h"

namespace korvel::win {

struct TransferTimeouts {
    // How long a transfer may take before it is abandoned.
    DWORD transferMs = kTransferTimeoutMs;
    // How long an abandoned transfer may take to acknowledge its cancellation.
    DWORD cancelGraceMs = 1000;
};

// Reads use at least this much room, so a reply longer than asked for is seen.
inline constexpr int kMinReadCapacity = 64;
// Blocks are a few dozen bytes; a longer one is refused rather than attempted.
inline constexpr int kMaxBlockLength = 64 * 1024;
// At most this many left-over replies are discarded before a new command.
inline constexpr int kMaxStaleReplies = 8;

class OverlappedChannel {
  public:
    OverlappedChannel(const Win32Api& api, TransferTimeouts timeouts);
    ~OverlappedChannel();
    OverlappedChannel(const OverlappedChannel&) = delete;
    OverlappedChannel& operator=(const OverlappedChannel&) = delete;

    // Transfers go to `device` from now on (INVALID_HANDLE_VALUE: none). The
    // channel does not own the handle.
    void Attach(HANDLE device);
    HANDLE Device() const { return device_; }

    // Bytes written; 0 when the write failed or did not complete in time, or
    // for a length outside 1 to kMaxBlockLength (then nothing is sent).
    int Write(const uint8_t* data, int length);
    // Size of the reply, of which at most `length` bytes are copied to
    // `buffer`; a reply longer than `length` gives a count above `length`.
    // 0 when nothing arrived in time or the read failed.
    int Read(uint8_t* buffer, int length);

    // Any thread: ends the transfer under way and every later one at once.
    void Interrupt();

    // Transfers whose cancellation the device never acknowledged; their
    // records are left to them for good.
    int StuckTransfers() const { return stuckTransfers_; }

  private:
    struct Slot {
        OVERLAPPED record{};
        std::vector<uint8_t> data;
    };
    struct Outcome {
        bool completed = false;  // the request finished (in time or not)
        bool abandoned = false;  // it did not finish within the wait
        BOOL ok = FALSE;         // GetOverlappedResult's verdict
        DWORD count = 0;
        DWORD error = 0;
    };
    enum class Direction { kWrite, kRead };

    Outcome Run(Direction direction, DWORD length, DWORD waitMs);
    Outcome Abandon(HANDLE event);
    bool Interrupted() const;
    void DiscardRestOfMessage();
    void DiscardStaleReplies();

    const Win32Api& api_;
    const TransferTimeouts timeouts_;
    HANDLE device_ = INVALID_HANDLE_VALUE;
    HANDLE interrupt_ = nullptr;
    std::unique_ptr<Slot> slot_;
    // An abandoned read may still be answered; that reply belongs to no one.
    bool staleReplyDue_ = false;
    int stuckTransfers_ = 0;
};

}  // namespace korvel::win
