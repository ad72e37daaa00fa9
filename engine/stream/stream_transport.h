// The lower layer over a socket to an instrument in another process
// (unix:PATH or tcp:HOST:PORT). One frame per command block goes out; the
// peer answers each with one frame holding the reply. A transfer that does
// not complete in time drops the connection, so a late frame can never land
// in a later transfer.
#pragma once

#include <memory>

#include "device_transport.h"
#include "stream_endpoint.h"

namespace korvel {

class StreamTransport final : public DeviceTransport {
  public:
    // `timeoutMs` is the transfer time-out (tests shorten it).
    explicit StreamTransport(StreamEndpoint endpoint, int timeoutMs = kTransferTimeoutMs);
    ~StreamTransport() override;

    // 1 when the endpoint accepts a connection (closed at once, sending
    // nothing), else 0.
    int CountDevices() override;
    bool OpenDevice() override;
    bool IsOpen() const override;
    int WriteBlock(const uint8_t* data, int length) override;
    // The payload length of the next whole frame (copying at most `length`
    // bytes), or 0 when none arrived in time or the connection closed.
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    // Ends any wait at once, and every later one: the worker is stopping.
    void Interrupt() override;

    const StreamEndpoint& Endpoint() const { return endpoint_; }

  private:
    // The socket side, kept out of this header.
    struct Connection;

    void Drop();
    // True when bytes arrived that no command asked for (or the peer left).
    bool HasStaleInput();

    StreamEndpoint endpoint_;
    int timeoutMs_;
    std::unique_ptr<Connection> connection_;
};

}  // namespace korvel
