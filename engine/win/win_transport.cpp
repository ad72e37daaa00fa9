#include "win_transport.h"

#include "make_win_transport.h"

namespace korvel::win {

WinTransport::WinTransport(const Win32Api& api, TransferTimeouts timeouts,
                           const GUID& interfaceClass)
    : api_(api), interfaceClass_(interfaceClass), channel_(api, timeouts) {}

WinTransport::~WinTransport() {
    CloseDevice();
}

int WinTransport::CountDevices() {
    return CountInterfaces(api_, interfaceClass_);
}

bool WinTransport::OpenDevice() {
    CloseDevice();
    const HANDLE device = OpenFirstInterface(api_, interfaceClass_);
    if (device == INVALID_HANDLE_VALUE) {
        return false;
    }
    channel_.Attach(device);
    return true;
}

bool WinTransport::IsOpen() const {
    return channel_.Device() != INVALID_HANDLE_VALUE;
}

int WinTransport::WriteBlock(const uint8_t* data, int length) {
    return channel_.Write(data, length);
}

int WinTransport::ReadBlock(uint8_t* buffer, int length) {
    return channel_.Read(buffer, length);
}

void WinTransport::CloseDevice() {
    const HANDLE device = channel_.Device();
    if (device == INVALID_HANDLE_VALUE) {
        return;
    }
    channel_.Attach(INVALID_HANDLE_VALUE);
    api_.CloseHandle(device);
}

void WinTransport::Interrupt() {
    channel_.Interrupt();
}

}  // namespace korvel::win

namespace korvel {

std::unique_ptr<DeviceTransport> MakeWinTransport() {
    return std::make_unique<win::WinTransport>();
}

}  // namespace korvel
