// The emulated bus seen through raw libusb: what the device layer will rely on.
#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "emulated_usb_bus.h"
#include "sim/sim_fault.h"

namespace korvel::testing {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kOut = 0x01;
constexpr uint8_t kIn = 0x81;
const Bytes kReadDetectors{0x7A, 0xA2, 0x05, 0x00};

class EmulatedUsbBusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EmulatedUsbBus::Available()) {
            GTEST_SKIP() << "run under umockdev-wrapper";
        }
        bus_ = std::make_unique<EmulatedUsbBus>();
        ASSERT_EQ(libusb_init(&context_), 0);
    }
    void TearDown() override {
        for (libusb_device_handle* handle : handles_) {
            libusb_close(handle);
        }
        for (libusb_device* device : devices_) {
            libusb_unref_device(device);
        }
        if (context_ != nullptr) {
            libusb_exit(context_);
        }
        bus_.reset();
    }

    std::vector<libusb_device*> Devices() {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        std::vector<libusb_device*> out;
        for (ssize_t i = 0; i < count; ++i) {
            out.push_back(libusb_ref_device(list[i]));
            devices_.push_back(list[i]);
        }
        libusb_free_device_list(list, 1);
        return out;
    }

    libusb_device_handle* OpenOnly() {
        const std::vector<libusb_device*> devices = Devices();
        EXPECT_EQ(devices.size(), 1u);
        libusb_device_handle* handle = nullptr;
        if (devices.size() == 1 && libusb_open(devices[0], &handle) == 0) {
            handles_.push_back(handle);
            return handle;
        }
        return nullptr;
    }

    libusb_device_handle* OpenAndClaim() {
        libusb_device_handle* handle = OpenOnly();
        EXPECT_NE(handle, nullptr);
        if (handle != nullptr) {
            // As the device layer does: a bound kernel driver would be set aside.
            EXPECT_EQ(libusb_set_auto_detach_kernel_driver(handle, 1), 0);
            EXPECT_EQ(libusb_claim_interface(handle, 0), 0);
        }
        return handle;
    }

    // A control IN request; the bytes, or empty with `result` the error.
    static Bytes ControlIn(libusb_device_handle* handle, uint8_t type, uint8_t request,
                           uint16_t value, uint16_t index, uint16_t length, int& result) {
        Bytes data(length);
        result =
            libusb_control_transfer(handle, type, request, value, index, data.data(), length, 1000);
        data.resize(static_cast<std::size_t>(std::max(result, 0)));
        return data;
    }

    static int Send(libusb_device_handle* handle, Bytes command) {
        int sent = 0;
        const int result = libusb_bulk_transfer(handle, kOut, command.data(),
                                                static_cast<int>(command.size()), &sent, 1000);
        return result == 0 ? sent : result;
    }

    static int Receive(libusb_device_handle* handle, Bytes& reply, unsigned timeoutMs) {
        reply.assign(64, 0);
        int received = 0;
        const int result =
            libusb_bulk_transfer(handle, kIn, reply.data(), 64, &received, timeoutMs);
        reply.resize(static_cast<std::size_t>(received));
        return result;
    }

    std::unique_ptr<EmulatedUsbBus> bus_;
    libusb_context* context_ = nullptr;
    std::vector<libusb_device_handle*> handles_;
    std::vector<libusb_device*> devices_;  // references Devices() took
};

bool Contains(const Bytes& haystack, const std::string& ascii) {
    Bytes utf16;
    for (char c : ascii) {
        utf16.insert(utf16.end(), {static_cast<uint8_t>(c), 0});
    }
    return std::search(haystack.begin(), haystack.end(), utf16.begin(), utf16.end()) !=
           haystack.end();
}

int Word(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

// Sleeps in small steps until `done` or about five seconds have passed.
template <typename Done>
bool Eventually(Done done) {
    for (int i = 0; i < 2500 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// --- enumeration and descriptors ---

TEST_F(EmulatedUsbBusTest, EnumerationShowsTheDeviceWithItsDescriptorsAndStrings) {
    EmulatedDevice device;
    device.serial = "SN-17";
    const int id = bus_->Plug(device);
    ASSERT_EQ(bus_->Address(id), 2);

    const std::vector<libusb_device*> devices = Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(libusb_get_bus_number(devices[0]), 1);
    EXPECT_EQ(libusb_get_device_address(devices[0]), 2);
    libusb_device_descriptor descriptor{};
    ASSERT_EQ(libusb_get_device_descriptor(devices[0], &descriptor), 0);
    EXPECT_EQ(descriptor.idVendor, 0x1209);
    EXPECT_EQ(descriptor.idProduct, 0x7720);
    EXPECT_EQ(descriptor.bcdUSB, 0x0210);
    libusb_config_descriptor* config = nullptr;
    ASSERT_EQ(libusb_get_active_config_descriptor(devices[0], &config), 0);
    ASSERT_EQ(config->bNumInterfaces, 1);
    const libusb_interface_descriptor& interface = config->interface[0].altsetting[0];
    EXPECT_EQ(interface.bInterfaceClass, 0xFF);
    ASSERT_EQ(interface.bNumEndpoints, 2);
    EXPECT_EQ(interface.endpoint[0].bEndpointAddress, kOut);
    EXPECT_EQ(interface.endpoint[1].bEndpointAddress, kIn);
    EXPECT_EQ(interface.endpoint[1].bmAttributes & 3, LIBUSB_TRANSFER_TYPE_BULK);
    EXPECT_EQ(interface.endpoint[1].wMaxPacketSize, 64);
    libusb_free_config_descriptor(config);

    libusb_device_handle* handle = OpenOnly();
    ASSERT_NE(handle, nullptr);
    unsigned char text[128] = {};
    ASSERT_GT(libusb_get_string_descriptor_ascii(handle, descriptor.iProduct, text, sizeof text),
              0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "KDX7720C");
    ASSERT_GT(
        libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text, sizeof text), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "SN-17");
}

TEST_F(EmulatedUsbBusTest, MsOs20DescriptorSetComesThroughBosAndItsVendorCode) {
    bus_->Plug(EmulatedDevice{});
    libusb_device_handle* handle = OpenOnly();
    ASSERT_NE(handle, nullptr);
    int result = 0;
    const Bytes head = ControlIn(handle, 0x80, 6, 0x0F00, 0, 5, result);
    ASSERT_EQ(result, 5);
    const Bytes bos = ControlIn(handle, 0x80, 6, 0x0F00, 0, Word(head, 2), result);
    ASSERT_EQ(static_cast<int>(bos.size()), Word(head, 2));

    const Bytes uuid{0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,
                     0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};
    const auto at = std::search(bos.begin(), bos.end(), uuid.begin(), uuid.end());
    ASSERT_NE(at, bos.end());
    const std::size_t entry = static_cast<std::size_t>(at - bos.begin()) + 16;
    ASSERT_LE(entry + 8, bos.size());
    const int setLength = Word(bos, entry + 4);
    const uint8_t vendorCode = bos[entry + 6];

    const Bytes set =
        ControlIn(handle, 0xC0, vendorCode, 0, 7, static_cast<uint16_t>(setLength), result);
    ASSERT_EQ(static_cast<int>(set.size()), setLength);
    EXPECT_EQ(Word(set, 8), setLength);  // the set header's own total
    EXPECT_TRUE(Contains(set, "DeviceInterfaceGUIDs"));
    EXPECT_TRUE(Contains(set, "{4B6C73B2-015B-4855-8BB1-A7A6C03AFA87}"));

    // A wrong vendor code, and the 1.0 string on a 2.0 device: stalls.
    ControlIn(handle, 0xC0, static_cast<uint8_t>(vendorCode + 1), 0, 7, 64, result);
    EXPECT_EQ(result, LIBUSB_ERROR_PIPE);
    ControlIn(handle, 0x80, 6, 0x03EE, 0, 255, result);
    EXPECT_EQ(result, LIBUSB_ERROR_PIPE);
}

TEST_F(EmulatedUsbBusTest, MsOs10StringLeadsToTheExtendedPropertiesWithTheGuid) {
    EmulatedDevice device;
    device.advert = EmulatedDevice::Advert::kMsOs10;
    device.interfaceGuid = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
    bus_->Plug(device);
    libusb_device_handle* handle = OpenOnly();
    ASSERT_NE(handle, nullptr);
    int result = 0;
    const Bytes os = ControlIn(handle, 0x80, 6, 0x03EE, 0, 255, result);
    ASSERT_EQ(os.size(), 18u);
    EXPECT_TRUE(Contains(os, "MSFT100"));
    const uint8_t vendorCode = os[16];

    // Header first, as hosts do, then the whole descriptor.
    const Bytes header = ControlIn(handle, 0xC1, vendorCode, 0x0000, 5, 10, result);
    ASSERT_EQ(header.size(), 10u);
    const int total = Word(header, 0);
    EXPECT_EQ(Word(header, 8), 1);  // one section
    const Bytes whole =
        ControlIn(handle, 0xC1, vendorCode, 0x0000, 5, static_cast<uint16_t>(total), result);
    ASSERT_EQ(static_cast<int>(whole.size()), total);
    EXPECT_TRUE(Contains(whole, "DeviceInterfaceGUID"));
    EXPECT_TRUE(Contains(whole, device.interfaceGuid));

    // No BOS on a USB 2.00 device; another interface is not known.
    ControlIn(handle, 0x80, 6, 0x0F00, 0, 5, result);
    EXPECT_EQ(result, LIBUSB_ERROR_PIPE);
    ControlIn(handle, 0xC1, vendorCode, 0x0100, 5, 10, result);
    EXPECT_EQ(result, LIBUSB_ERROR_PIPE);
}

TEST_F(EmulatedUsbBusTest, StalledDescriptorRequestsLeaveTheStandardOnesWorking) {
    EmulatedDevice device;
    device.stallDescriptorRequests = true;
    bus_->Plug(device);
    libusb_device_handle* handle = OpenOnly();
    ASSERT_NE(handle, nullptr);
    int result = 0;
    ControlIn(handle, 0x80, 6, 0x0F00, 0, 5, result);
    EXPECT_EQ(result, LIBUSB_ERROR_PIPE);
    ControlIn(handle, 0xC0, 0x20, 0, 7, 64, result);
    EXPECT_EQ(result, LIBUSB_ERROR_PIPE);
    EXPECT_EQ(ControlIn(handle, 0x80, 6, 0x0100, 0, 18, result).size(), 18u);
}

// --- bulk transfers ---

TEST_F(EmulatedUsbBusTest, ReadDetectorsIsAnsweredByTheSimulatedInstrument) {
    const int id = bus_->Plug(EmulatedDevice{});
    libusb_device_handle* handle = OpenAndClaim();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Send(handle, kReadDetectors), 4);
    Bytes reply;
    ASSERT_EQ(Receive(handle, reply, 1000), 0);
    ASSERT_EQ(reply.size(), 18u);
    EXPECT_EQ(reply[0], 0x7A);
    EXPECT_EQ(reply[1], 0xA2);
    EXPECT_EQ(bus_->Instrument(id).Counters().reads, 1u);
    EXPECT_EQ(libusb_release_interface(handle, 0), 0);
    const EmulatedTraffic traffic = bus_->Traffic(id);
    EXPECT_EQ(traffic.bulkOut, 1);
    EXPECT_EQ(traffic.bulkIn, 1);
    EXPECT_EQ(traffic.claims, 1);
    EXPECT_EQ(traffic.releases, 1);
}

TEST_F(EmulatedUsbBusTest, AnInThatNeverCompletesTimesOutAndIsDiscarded) {
    const int id = bus_->Plug(EmulatedDevice{});
    bus_->Instrument(id).ArmFault(SimFault{SimFaultKind::NoReply});
    libusb_device_handle* handle = OpenAndClaim();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Send(handle, kReadDetectors), 4);
    Bytes reply;
    EXPECT_EQ(Receive(handle, reply, 50), LIBUSB_ERROR_TIMEOUT);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(bus_->Traffic(id).discarded, 1);
    EXPECT_EQ(bus_->Traffic(id).waitingIn, 0);
}

TEST_F(EmulatedUsbBusTest, ALateReplyWaitsInTheDeviceForTheNextIn) {
    const int id = bus_->Plug(EmulatedDevice{});
    // Late enough that a slow machine still times out the first IN.
    bus_->Instrument(id).ArmFault(SimFault{SimFaultKind::LateReply, 300});
    libusb_device_handle* handle = OpenAndClaim();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Send(handle, kReadDetectors), 4);
    Bytes reply;
    ASSERT_EQ(Receive(handle, reply, 20), LIBUSB_ERROR_TIMEOUT);
    // No new command: what arrives now is the abandoned reply.
    ASSERT_EQ(Receive(handle, reply, 2000), 0);
    EXPECT_EQ(reply.size(), 18u);
    EXPECT_EQ(bus_->Instrument(id).Counters().reads, 1u);
}

TEST_F(EmulatedUsbBusTest, ALongReplyComesAsPacketsOfSixtyFourBytes) {
    const int id = bus_->Plug(EmulatedDevice{});
    bus_->Instrument(id).ArmFault(SimFault{SimFaultKind::ReplyLength, 100});
    libusb_device_handle* handle = OpenAndClaim();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Send(handle, kReadDetectors), 4);
    Bytes first;
    Bytes rest;
    ASSERT_EQ(Receive(handle, first, 1000), 0);
    ASSERT_EQ(Receive(handle, rest, 1000), 0);
    EXPECT_EQ(first.size(), 64u);
    EXPECT_EQ(rest.size(), 36u);
}

// --- unplug, hot-plug, access ---

TEST_F(EmulatedUsbBusTest, UnplugEndsABlockedInWithNoDevice) {
    const int id = bus_->Plug(EmulatedDevice{});
    bus_->Instrument(id).ArmFault(SimFault{SimFaultKind::NoReply});
    libusb_device_handle* handle = OpenAndClaim();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Send(handle, kReadDetectors), 4);
    std::atomic<int> result{1};
    std::thread reader([&] {
        Bytes reply;
        result = Receive(handle, reply, 10000);
    });
    const bool waiting = Eventually([&] { return bus_->Traffic(id).waitingIn == 1; });
    bus_->Unplug(id);
    reader.join();
    EXPECT_TRUE(waiting);
    EXPECT_EQ(result.load(), LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(Send(handle, kReadDetectors), LIBUSB_ERROR_NO_DEVICE);
    EXPECT_TRUE(Devices().empty());

    // Replugged: a new address.
    EXPECT_EQ(bus_->Address(bus_->Plug(EmulatedDevice{})), 3);
}

TEST_F(EmulatedUsbBusTest, HotPlugCallbacksSeeArrivalAndDeparture) {
    ASSERT_TRUE(libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG));
    struct Seen {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<libusb_hotplug_event> events;
    } seen;
    auto callback = [](libusb_context*, libusb_device*, libusb_hotplug_event event,
                       void* user) -> int {
        auto* s = static_cast<Seen*>(user);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->events.push_back(event);
        s->changed.notify_all();
        return 0;
    };
    libusb_hotplug_callback_handle registration = 0;
    ASSERT_EQ(libusb_hotplug_register_callback(
                  context_,
                  static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                    LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                  LIBUSB_HOTPLUG_NO_FLAGS, 0x1209, 0x7720, LIBUSB_HOTPLUG_MATCH_ANY, callback,
                  &seen, &registration),
              0);
    std::atomic<bool> stop{false};
    std::thread events([&] {
        while (!stop) {
            timeval tv{0, 200000};
            libusb_handle_events_timeout_completed(context_, &tv, nullptr);
        }
    });
    auto waitFor = [&](std::size_t count) {
        std::unique_lock<std::mutex> lock(seen.mutex);
        return seen.changed.wait_for(lock, std::chrono::seconds(5),
                                     [&] { return seen.events.size() >= count; });
    };
    const int id = bus_->Plug(EmulatedDevice{});
    EXPECT_TRUE(waitFor(1));
    bus_->Unplug(id);
    EXPECT_TRUE(waitFor(2));
    stop = true;
    libusb_interrupt_event_handler(context_);
    events.join();
    libusb_hotplug_deregister_callback(context_, registration);
    std::lock_guard<std::mutex> lock(seen.mutex);
    EXPECT_EQ(seen.events, (std::vector<libusb_hotplug_event>{LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED,
                                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT}));
}

TEST_F(EmulatedUsbBusTest, AnInaccessibleNodeRefusesEvenRootFromAnyLaterThread) {
    const int id = bus_->Plug(EmulatedDevice{});
    bus_->SetAccessible(id, false);
    const std::vector<libusb_device*> devices = Devices();
    ASSERT_EQ(devices.size(), 1u);
    libusb_device_handle* handle = nullptr;
    EXPECT_EQ(libusb_open(devices[0], &handle), LIBUSB_ERROR_ACCESS);
    int fromThread = 0;
    std::thread([&] { fromThread = libusb_open(devices[0], &handle); }).join();
    EXPECT_EQ(fromThread, LIBUSB_ERROR_ACCESS);

    bus_->SetAccessible(id, true);
    ASSERT_EQ(libusb_open(devices[0], &handle), 0);
    handles_.push_back(handle);
}

TEST_F(EmulatedUsbBusTest, AChildProcessTalksToTheDeviceInThisProcess) {
    const int id = bus_->Plug(EmulatedDevice{});
    const ChildResult served =
        RunChild(KORVEL_USB_PROBE_PATH, {"1209", "7720"}, 20000, bus_->ChildEnvironment());
    EXPECT_EQ(served.exitCode, 0) << served.out << served.err;
    EXPECT_EQ(bus_->Traffic(id).bulkOut, 1);
    EXPECT_EQ(bus_->Instrument(id).Counters().reads, 1u);

    bus_->SetAccessible(id, false);
    const ChildResult refused =
        RunChild(KORVEL_USB_PROBE_PATH, {"1209", "7720"}, 20000, bus_->ChildEnvironment());
    EXPECT_EQ(refused.exitCode, 3) << refused.out << refused.err;
}

}  // namespace
}  // namespace korvel::testing
