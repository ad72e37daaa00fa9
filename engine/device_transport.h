// The lower layer of the device link: the only code that reaches the
// instrument. Implementations: the simulated instrument (in process), a stream
// transport to an instrument process (unix:PATH, tcp:HOST:PORT), and the
// Windows device-interface layer.
#pragma once

#include <cstdint>

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
};

}  // namespace korvel
