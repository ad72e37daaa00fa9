// The Windows device layer: the instrument as a device interface of its own
// class, found with the device setup services and driven with overlapped I/O.
#pragma once

#include <cstdint>

#include "device_transport.h"
#include "interface_walk.h"
#include "overlapped_channel.h"
#include "win32_api.h"

namespace korvel::win {

class WinTransport final : public DeviceTransport {
  public:
    explicit WinTransport(const Win32Api& api = RealWin32Api(), TransferTimeouts timeouts = {},
                          const GUID& interfaceClass = kInstrumentInterfaceGuid);
    ~WinTransport() override;
    WinTransport(const WinTransport&) = delete;
    WinTransport& operator=(const WinTransport&) = delete;

    int CountDevices() override;
    // Opens member 0 of the interface list (closing any handle still open).
    bool OpenDevice() override;
    bool IsOpen() const override;
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    void Interrupt() override;

    HANDLE Handle() const { return channel_.Device(); }
    const OverlappedChannel& Channel() const { return channel_; }

  private:
    const Win32Api& api_;
    const GUID interfaceClass_;
    OverlappedChannel channel_;
};

}  // namespace korvel::win
