#include "emulated_usb_bus.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include "emulated_descriptors.h"
#include "emulated_urb_queue.h"
#include "root_file_access.h"
#include "usbfs_ioctl_handler.h"

namespace korvel::testing {
namespace {

constexpr int kBus = 1;
constexpr int kFirstAddress = 2;
constexpr const char* kPreload = "libumockdev-preload.so.0";

std::string Format(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string TakeString(gchar* text) {
    std::string out = text != nullptr ? text : "";
    g_free(text);
    return out;
}

// The node libusb opens for bus 1, `address`.
std::string NodePath(int address) {
    return "/dev/bus/usb/" + Format("%03d", kBus) + "/" + Format("%03d", address);
}

struct Plugged {
    int address = 0;
    std::string node;
    std::string sysPath;  // empty once unplugged
    std::shared_ptr<SimInstrument> instrument;
    std::shared_ptr<EmulatedUrbQueue> queue;
};

}  // namespace

struct EmulatedUsbBus::Impl {
    UMockdevTestbed* testbed = nullptr;
    std::string root;
    mutable std::mutex mutex;
    int nextAddress = kFirstAddress;
    std::map<int, Plugged> devices;

    const Plugged& Find(int id) const {
        const auto found = devices.find(id);
        if (found == devices.end()) {
            throw std::out_of_range("no emulated USB device " + std::to_string(id));
        }
        return found->second;
    }

    void Unplug(Plugged& device) {
        if (device.sysPath.empty()) {
            return;
        }
        device.queue->Unplug();
        // The event first, while udev can still read what it was.
        umockdev_testbed_uevent(testbed, device.sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(testbed, device.sysPath.c_str());
        device.sysPath.clear();
    }
};

bool EmulatedUsbBus::Available() {
    void* preload = dlopen(kPreload, RTLD_NOW | RTLD_NOLOAD);
    if (preload == nullptr) {
        return false;
    }
    dlclose(preload);
    return true;
}

EmulatedUsbBus::EmulatedUsbBus() : impl_(std::make_unique<Impl>()) {
    // Before any thread that opens a device exists (see the header).
    GiveUpRootFileAccess();
    impl_->testbed = umockdev_testbed_new();
    impl_->root = TakeString(umockdev_testbed_get_root_dir(impl_->testbed));
}

EmulatedUsbBus::~EmulatedUsbBus() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (auto& [id, device] : impl_->devices) {
        impl_->Unplug(device);
    }
    for (auto& [id, device] : impl_->devices) {
        umockdev_testbed_detach_ioctl(impl_->testbed, device.node.c_str(), nullptr);
    }
    g_object_unref(impl_->testbed);
}

int EmulatedUsbBus::Plug(const EmulatedDevice& device) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    Plugged plugged;
    const int id = impl_->nextAddress++;
    plugged.address = id;
    plugged.node = NodePath(plugged.address);
    plugged.instrument = device.instrument ? device.instrument : std::make_shared<SimInstrument>(1);
    plugged.queue = std::make_shared<EmulatedUrbQueue>(device, plugged.instrument);

    // The handler must be in place before the node appears, or a program
    // could open it first and talk to nobody.
    UMockdevIoctlBase* handler = NewUsbfsIoctlHandler(plugged.queue);
    GError* error = nullptr;
    const bool attached =
        umockdev_testbed_attach_ioctl(impl_->testbed, plugged.node.c_str(), handler, &error);
    g_object_unref(handler);
    if (!attached) {
        const std::string message = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: cannot attach to " + plugged.node + ": " + message);
    }

    // Port numbers are not reused; names must be unique in the testbed.
    const std::string name = Format("%d-", kBus) + std::to_string(plugged.address - 1);
    const std::string busText = Format("%03d", kBus);
    const std::string addressText = Format("%03d", plugged.address);
    const std::string vid = Format("%04x", device.vendorId);
    const std::string pid = Format("%04x", device.productId);
    const int minor = (kBus - 1) * 128 + plugged.address - 1;
    std::vector<std::string> attributes{"busnum",
                                        std::to_string(kBus),
                                        "devnum",
                                        std::to_string(plugged.address),
                                        "speed",
                                        "12",
                                        "bConfigurationValue",
                                        "1",
                                        "bNumConfigurations",
                                        "1",
                                        "idVendor",
                                        vid,
                                        "idProduct",
                                        pid,
                                        "dev",
                                        "189:" + std::to_string(minor)};
    for (const auto& [key, value] :
         {std::pair{"manufacturer", &device.manufacturer}, std::pair{"product", &device.product},
          std::pair{"serial", &device.serial}}) {
        if (!value->empty()) {
            attributes.insert(attributes.end(), {key, *value});
        }
    }
    std::vector<std::string> properties{
        "DEVNAME",
        plugged.node,
        "DEVTYPE",
        "usb_device",
        "DRIVER",
        "usb",
        "PRODUCT",
        Format("%x", device.vendorId) + "/" + Format("%x", device.productId) + "/100",
        "TYPE",
        "0/0/0",
        "BUSNUM",
        busText,
        "DEVNUM",
        addressText,
        "MAJOR",
        "189",
        "MINOR",
        std::to_string(minor),
        "ID_VENDOR_ID",
        vid,
        "ID_MODEL_ID",
        pid};
    if (!device.serial.empty()) {
        properties.insert(properties.end(), {"ID_SERIAL_SHORT", device.serial});
    }

    // libusb reads the descriptors when the "add" event arrives: the binary
    // attribute must exist before the device is announced.
    const std::string sysDir = TakeString(umockdev_testbed_get_sys_dir(impl_->testbed));
    const std::string deviceDir = sysDir + "/devices/" + name;
    g_mkdir_with_parents(deviceDir.c_str(), 0755);
    const std::vector<uint8_t> descriptors = SysfsDescriptors(device);
    std::ofstream(deviceDir + "/descriptors", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptors.data()),
               static_cast<std::streamsize>(descriptors.size()));

    // The node itself: a plain file that umockdev's preload opens for the
    // program; its mode is what SetAccessible changes.
    const std::string nodeFile = impl_->root + plugged.node;
    g_mkdir_with_parents(nodeFile.substr(0, nodeFile.rfind('/')).c_str(), 0755);
    std::ofstream{nodeFile};
    chmod(nodeFile.c_str(), 0666);

    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<gchar*> out;
        for (std::string& s : strings) {
            out.push_back(s.data());
        }
        out.push_back(nullptr);
        return out;
    };
    for (std::size_t i = 1; i < attributes.size(); i += 2) {
        attributes[i] += '\n';  // as the kernel writes them
    }
    std::vector<gchar*> attributePointers = pointers(attributes);
    std::vector<gchar*> propertyPointers = pointers(properties);
    plugged.sysPath =
        TakeString(umockdev_testbed_add_devicev(impl_->testbed, "usb", name.c_str(), nullptr,
                                                attributePointers.data(), propertyPointers.data()));
    impl_->devices.emplace(id, std::move(plugged));
    return id;
}

void EmulatedUsbBus::Unplug(int id) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->Find(id);
    impl_->Unplug(impl_->devices.at(id));
}

int EmulatedUsbBus::BusNumber(int id) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->Find(id);
    return kBus;
}

int EmulatedUsbBus::Address(int id) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->Find(id).address;
}

SimInstrument& EmulatedUsbBus::Instrument(int id) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return *impl_->Find(id).instrument;
}

EmulatedTraffic EmulatedUsbBus::Traffic(int id) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->Find(id).queue->Traffic();
}

void EmulatedUsbBus::SetAccessible(int id, bool accessible) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const std::string path = impl_->root + impl_->Find(id).node;
    if (chmod(path.c_str(), accessible ? 0666 : 0000) != 0) {
        std::perror(("chmod " + path).c_str());
    }
}

std::vector<std::string> EmulatedUsbBus::ChildEnvironment() const {
    std::vector<std::string> env{"UMOCKDEV_DIR=" + impl_->root};
    const char* preload = std::getenv("LD_PRELOAD");
    std::string preloads = preload != nullptr ? preload : "";
    if (preloads.find(kPreload) == std::string::npos) {
        preloads = std::string(kPreload) + (preloads.empty() ? "" : ":") + preloads;
    }
    env.push_back("LD_PRELOAD=" + preloads);
#if defined(__SANITIZE_ADDRESS__)
    // A child with AddressSanitizer's shared runtime refuses to start when
    // the preload library comes first.
    const char* options = std::getenv("ASAN_OPTIONS");
    env.push_back("ASAN_OPTIONS=" + std::string(options != nullptr ? options : "") +
                  (options != nullptr && *options != '\0' ? ":" : "") + "verify_asan_link_order=0");
#endif
    return env;
}

}  // namespace korvel::testing
