// The instrument's two bulk pipes on an opened device: one command block is
// one OUT transfer, one reply one IN transfer into a 64-byte buffer. A
// transfer runs asynchronously on the session's event thread so that another
// thread can cut it short; a reply that was not taken in time (or a rest of
// an over-long one) is read off and dropped before the next command, so it
// never passes for that command's reply.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

struct libusb_device_handle;
struct libusb_transfer;

namespace korvel::usb {

// One reply is read into this much room; a reply that fills it may have more.
inline constexpr int kReplyCapacity = 64;
// Command blocks are a few dozen bytes; a longer one is refused.
inline constexpr int kMaxCommandLength = 64;
// At most this many left-over packets are dropped before a command (4 KB:
// far more than any reply the instrument sends, long or garbled).
inline constexpr int kMaxStalePackets = 64;
// How long a left-over reply may take to show up while draining.
inline constexpr unsigned kDrainWaitMs = 10;
// After a read that got no reply, how long the reply may still come: the
// first drain (on this pipe or the next connection's) waits that long.
inline constexpr std::chrono::milliseconds kLateReplyWindow{1000};

class BulkPipe {
  public:
    BulkPipe(libusb_device_handle* handle, uint8_t outEndpoint, uint8_t inEndpoint,
             unsigned timeoutMs);
    BulkPipe(const BulkPipe&) = delete;
    BulkPipe& operator=(const BulkPipe&) = delete;

    // Bytes written; 0 when the transfer failed or did not finish in time.
    int Write(const uint8_t* data, int length);
    // Size of the reply (at most `length` bytes copied), above kReplyCapacity
    // when the device sent more than the room; 0 when nothing came in time.
    int Read(uint8_t* buffer, int length);

    // Any thread: ends the transfer under way and every later one at once.
    void Interrupt();

    using TimePoint = std::chrono::steady_clock::time_point;
    // Until when a reply to a read that got none may still arrive (the
    // epoch when none is outstanding); handed from one connection's pipe to
    // the next, since a device keeps such a reply across a reconnection.
    TimePoint LateReplyDeadline() const { return lateReplyDeadline_; }
    void AwaitLateReplyUntil(TimePoint deadline) { lateReplyDeadline_ = deadline; }

  private:
    struct Outcome {
        int status = -1;  // libusb_transfer_status, or -1 when never submitted
        int count = 0;
    };

    Outcome Transfer(uint8_t endpoint, uint8_t* data, int length, unsigned timeoutMs);
    void DropStaleReplies();

    libusb_device_handle* handle_;
    const uint8_t out_;
    const uint8_t in_;
    const unsigned timeoutMs_;
    bool staleReplyDue_ = true;  // a new connection may find a reply left over
    TimePoint lateReplyDeadline_{};
    bool gone_ = false;
    uint8_t room_[kReplyCapacity] = {};

    std::mutex mutex_;
    bool interrupted_ = false;            // guarded by mutex_
    libusb_transfer* current_ = nullptr;  // guarded by mutex_
};

}  // namespace korvel::usb
