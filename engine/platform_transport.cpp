#include "platform_transport.h"

#if defined(_WIN32)
#include "win/make_win_transport.h"
#endif

namespace korvel {

#if defined(_WIN32)

std::unique_ptr<DeviceTransport> MakePlatformTransport() {
    return MakeWinTransport();
}

#else

namespace {

// No instrument driver on this system: nothing is ever present.
class NoInstrumentTransport final : public DeviceTransport {
  public:
    int CountDevices() override { return 0; }
    bool OpenDevice() override { return false; }
    bool IsOpen() const override { return false; }
    int WriteBlock(const uint8_t*, int) override { return 0; }
    int ReadBlock(uint8_t*, int) override { return 0; }
    void CloseDevice() override {}
};

}  // namespace

std::unique_ptr<DeviceTransport> MakePlatformTransport() {
    return std::make_unique<NoInstrumentTransport>();
}

#endif

}  // namespace korvel
