#include "platform_transport.h"

#if defined(_WIN32)
#include "win/make_win_transport.h"
#else
#include "usb/usb_transport.h"
#endif

namespace korvel {

#if defined(_WIN32)

std::unique_ptr<DeviceTransport> MakePlatformTransport() {
    return MakeWinTransport();
}

#else

std::unique_ptr<DeviceTransport> MakePlatformTransport() {
    return std::make_unique<usb::UsbTransport>(usb::UsbSelector{});
}

#endif

}  // namespace korvel
