// usb_emulation_probe VVVV PPPP: opens the first device with those IDs,
// sends one ReadDetectors command and reads the reply. Exit 0 when 18 bytes
// came back, 2 when no such device, 3 when opening is refused, 1 otherwise.
#include <libusb.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: usb_emulation_probe VVVV PPPP\n");
        return 64;
    }
    const auto vid = static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 16));
    const auto pid = static_cast<uint16_t>(std::strtoul(argv[2], nullptr, 16));
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        return 1;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    int result = 2;
    for (ssize_t i = 0; i < count && result == 2; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0 || descriptor.idVendor != vid ||
            descriptor.idProduct != pid) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        const int opened = libusb_open(list[i], &handle);
        if (opened != 0) {
            result = opened == LIBUSB_ERROR_ACCESS ? 3 : 1;
            break;
        }
        unsigned char command[4] = {0x7A, 0xA2, 0, 0};
        unsigned char reply[64] = {};
        int sent = 0;
        int received = 0;
        result = 1;
        if (libusb_claim_interface(handle, 0) == 0 &&
            libusb_bulk_transfer(handle, 0x01, command, 4, &sent, 1000) == 0 &&
            libusb_bulk_transfer(handle, 0x81, reply, 64, &received, 1000) == 0 && received == 18) {
            result = 0;
        }
        libusb_release_interface(handle, 0);
        libusb_close(handle);
    }
    libusb_free_device_list(list, 1);
    libusb_exit(context);
    std::printf("probe result %d\n", result);
    return result;
}
