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
#include "emulated_sysfs_entry.h"
#include "emulated_urb_queue.h"
#include "root_file_access.h"
#include "usbfs_ioctl_handler.h"

namespace korvel::testing {
namespace {

constexpr int kBus = 1;
constexpr int kFirstAddress = 2;  // 1 is the root hub
constexpr const char* kPreload = "libumockdev-preload.so.0";

std::string TakeString(gchar* text) {
    std::string out = text != nullptr ? text : "";
    g_free(text);
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    g_mkdir_with_parents(path.substr(0, path.rfind('/')).c_str(), 0755);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    chmod(path.c_str(), 0666);
}

std::vector<std::string> Flatten(const SysfsEntry::Pairs& pairs) {
    std::vector<std::string> out;
    for (const auto& [key, value] : pairs) {
        out.push_back(key);
        out.push_back(value);
    }
    return out;
}

// The NULL-terminated list umockdev takes.
std::vector<gchar*> Pointers(std::vector<std::string>& strings) {
    std::vector<gchar*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
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
    plugged.address = impl_->nextAddress++;
    const SysfsEntry entry = UsbSysfsEntry(device, kBus, plugged.address);
    plugged.node = entry.node;
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

    // libusb reads the descriptors when the "add" event arrives: the binary
    // attribute must exist before the device is announced.
    const std::string sysDir = TakeString(umockdev_testbed_get_sys_dir(impl_->testbed));
    WriteFile(sysDir + "/devices/" + entry.name + "/descriptors", SysfsDescriptors(device));
    // The node: a plain file that the preload library opens for the program;
    // its mode is what SetAccessible changes.
    WriteFile(impl_->root + plugged.node, {});

    std::vector<std::string> attributes = Flatten(entry.attributes);
    std::vector<std::string> properties = Flatten(entry.properties);
    std::vector<gchar*> attributePointers = Pointers(attributes);
    std::vector<gchar*> propertyPointers = Pointers(properties);
    plugged.sysPath =
        TakeString(umockdev_testbed_add_devicev(impl_->testbed, "usb", entry.name.c_str(), nullptr,
                                                attributePointers.data(), propertyPointers.data()));
    if (device.driverBound) {
        g_mkdir_with_parents((sysDir + "/bus/usb/devices/" + entry.name + ":1.0/driver").c_str(),
                             0755);
    }
    const int id = plugged.address;
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

void EmulatedUsbBus::HaltIn(int id) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->Find(id).queue->HaltIn();
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
