#include "emulated_urb_queue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "emulated_descriptors.h"

namespace korvel::testing {
namespace {

constexpr int kSetupLength = 8;

}  // namespace

EmulatedUrbQueue::EmulatedUrbQueue(EmulatedDevice device, std::shared_ptr<SimInstrument> instrument)
    : device_(std::move(device)), instrument_(std::move(instrument)) {}

int EmulatedUrbQueue::Submit(EmulatedUrb urb) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!present_) {
        return ENODEV;
    }
    if (urb.header == nullptr || urb.header->buffer_length < 0 ||
        (urb.header->buffer_length > 0 && urb.buffer == nullptr)) {
        return EINVAL;
    }
    const uint8_t type = urb.header->type;
    const uint8_t endpoint = urb.header->endpoint;
    if (type == USBDEVFS_URB_TYPE_CONTROL && (endpoint & 0x7F) == 0) {
        Control(urb);
        return 0;
    }
    if (endpoint != kEmulatedBulkOut && endpoint != kEmulatedBulkIn) {
        return ENOENT;  // no such endpoint
    }
    if (type != USBDEVFS_URB_TYPE_BULK) {
        return EINVAL;
    }
    if (endpoint == kEmulatedBulkOut) {
        BulkOut(urb);
        return 0;
    }
    if (haltIn_) {
        Complete(std::move(urb), -EPIPE, 0);
        return 0;
    }
    waitingIn_.push_back(std::move(urb));
    Deliver();
    return 0;
}

void EmulatedUrbQueue::Control(EmulatedUrb& urb) {
    ++traffic_.controlRequests;
    if (urb.header->buffer_length < kSetupLength) {
        Complete(std::move(urb), -EINVAL, 0);
        return;
    }
    const SetupPacket setup = ReadSetupPacket(urb.buffer);
    const int room = urb.header->buffer_length - kSetupLength;
    const std::optional<std::vector<uint8_t>> answer =
        (setup.requestType & 0x80) != 0 ? AnswerControl(device_, setup) : std::nullopt;
    if (!answer) {
        Complete(std::move(urb), -EPIPE, 0);
        return;
    }
    const int size = std::min(room, static_cast<int>(answer->size()));
    std::memcpy(urb.buffer + kSetupLength, answer->data(), static_cast<std::size_t>(size));
    Complete(std::move(urb), 0, size);
}

void EmulatedUrbQueue::BulkOut(EmulatedUrb& urb) {
    const int length = urb.header->buffer_length;
    const SimReply reply = instrument_->Transact(urb.buffer, length);
    ++traffic_.bulkOut;
    Complete(std::move(urb), 0, length);
    // A cut stream frame has no USB counterpart: like no reply at all.
    if (!reply.answered || reply.announcedLength >= 0) {
        return;
    }
    const Clock::time_point due =
        Clock::now() + std::chrono::milliseconds(std::max(0, reply.delayMs));
    std::size_t at = 0;
    do {
        // A reply longer than a packet comes as several; an empty one as a
        // zero-length packet.
        const std::size_t size =
            std::min<std::size_t>(kEmulatedPacketSize, reply.bytes.size() - at);
        packets_.push_back(Packet{
            std::vector<uint8_t>(reply.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                 reply.bytes.begin() + static_cast<std::ptrdiff_t>(at + size)),
            due});
        at += size;
    } while (at < reply.bytes.size());
}

void EmulatedUrbQueue::Deliver() {
    const Clock::time_point now = Clock::now();
    while (!waitingIn_.empty() && !packets_.empty() && packets_.front().due <= now) {
        EmulatedUrb urb = std::move(waitingIn_.front());
        waitingIn_.pop_front();
        const std::vector<uint8_t> bytes = std::move(packets_.front().bytes);
        packets_.pop_front();
        const int room = urb.header->buffer_length;
        const int size = std::min(room, static_cast<int>(bytes.size()));
        if (size > 0) {
            std::memcpy(urb.buffer, bytes.data(), static_cast<std::size_t>(size));
        }
        ++traffic_.bulkIn;
        // A packet larger than the buffer is babble, as on a real bus.
        Complete(std::move(urb), size < static_cast<int>(bytes.size()) ? -EOVERFLOW : 0, size);
    }
}

void EmulatedUrbQueue::Complete(EmulatedUrb urb, int status, int actualLength) {
    urb.header->status = status;
    urb.header->actual_length = actualLength;
    done_.push_back(std::move(urb));
}

std::optional<EmulatedUrb> EmulatedUrbQueue::Reap(int& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Replies become due as time passes; the program's polling reaps them.
    if (present_) {
        Deliver();
    }
    if (done_.empty()) {
        error = present_ ? EAGAIN : ENODEV;
        return std::nullopt;
    }
    EmulatedUrb urb = std::move(done_.front());
    done_.pop_front();
    error = 0;
    return urb;
}

int EmulatedUrbQueue::Discard(uintptr_t address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!present_) {
        return ENODEV;
    }
    const auto found = std::find_if(waitingIn_.begin(), waitingIn_.end(),
                                    [&](const EmulatedUrb& urb) { return urb.address == address; });
    if (found == waitingIn_.end()) {
        return EINVAL;
    }
    EmulatedUrb urb = std::move(*found);
    waitingIn_.erase(found);
    ++traffic_.discarded;
    Complete(std::move(urb), -ENOENT, 0);
    return 0;
}

void EmulatedUrbQueue::Unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!present_) {
        return;
    }
    present_ = false;
    // A pulled cable: nothing the device held arrives any more.
    packets_.clear();
    while (!waitingIn_.empty()) {
        EmulatedUrb urb = std::move(waitingIn_.front());
        waitingIn_.pop_front();
        Complete(std::move(urb), -ESHUTDOWN, 0);
    }
}

bool EmulatedUrbQueue::Present() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return present_;
}

void EmulatedUrbQueue::HaltIn() {
    std::lock_guard<std::mutex> lock(mutex_);
    haltIn_ = true;
}
void EmulatedUrbQueue::ClearHalt(unsigned endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endpoint == kEmulatedBulkIn)
        haltIn_ = false;
}
void EmulatedUrbQueue::CountClaim() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++traffic_.claims;
}

void EmulatedUrbQueue::CountRelease() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++traffic_.releases;
}

EmulatedTraffic EmulatedUrbQueue::Traffic() const {
    std::lock_guard<std::mutex> lock(mutex_);
    EmulatedTraffic traffic = traffic_;
    traffic.waitingIn = static_cast<int>(waitingIn_.size());
    return traffic;
}

}  // namespace korvel::testing
