// The lower layer of the device link: the only code that reaches the
// instrument. Implementations: the simulated instrument (in process), a stream
// transport to an instrument process (unix:PATH, tcp:HOST:PORT), the Windows
// device-interface layer and the libusb layer of the other systems.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace korvel {

// How long one transfer may take before it counts as failed: always for the
// simulated instrument; the stream and Windows transports take a time-out of
// their own and default to this one.
inline constexpr int kTransferTimeoutMs = 1000;

class DeviceTransport {
  public:
    virtual ~DeviceTransport() = default;

    // Number of instruments present; 0 when none (or the list cannot be built).
    virtual int CountDevices() = 0;
    // Opens the first instrument; false when it cannot be opened.
    virtual bool OpenDevice() = 0;
    virtual bool IsOpen() const = 0;
    // Bytes written; 0 when the transfer did not complete within the
    // transport's time-out (by default kTransferTimeoutMs, 1000 ms).
    virtual int WriteBlock(const uint8_t* data, int length) = 0;
    // Bytes of the reply (copying at most `length` into `buffer`); 0 when no
    // reply completed within the transport's time-out (by default 1000 ms).
    virtual int ReadBlock(uint8_t* buffer, int length) = 0;
    virtual void CloseDevice() = 0;
    // From another thread: cut a waiting transfer short because the worker is
    // stopping. The transfer then returns 0.
    virtual void Interrupt() {}

    // Where the system announces devices as they are plugged in: calls
    // `onArrival` (from a thread of the transport's) at every arrival until it
    // is replaced; an empty function stops the calls, and once that returns
    // none is under way. False when the transport has no such announcements.
    virtual bool WatchArrivals(std::function<void()> onArrival) {
        (void)onArrival;
        return false;
    }
    // Something the user must act on, such as a device found but refused,
    // once per occurrence; empty when there is nothing new.
    virtual std::string TakeNotice() { return {}; }
};

}  // namespace korvel
