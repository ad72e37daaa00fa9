#include "sim_transport.h"

#include <algorithm>
#include <cstring>

namespace korvel {

SimTransport::SimTransport(std::shared_ptr<SimInstrument> instrument, Clock* clock)
    : instrument_(std::move(instrument)), clock_(clock) {
    if (!instrument_) {
        instrument_ = std::make_shared<SimInstrument>();
    }
}

int SimTransport::CountDevices() {
    return instrument_->PresentCount();
}

bool SimTransport::OpenDevice() {
    // Like the device layer: opening again replaces the previous handle.
    open_ = false;
    pending_.reset();
    if (instrument_->TakeOpenFailure()) {
        return false;
    }
    open_ = true;
    openedGeneration_ = instrument_->PlugGeneration();
    return true;
}

bool SimTransport::IsOpen() const {
    return open_;
}

void SimTransport::CloseDevice() {
    open_ = false;
    pending_.reset();
}

void SimTransport::Interrupt() {
    interrupted_.Raise();
}

std::string SimTransport::TakeNotice() {
    std::string notice;
    notice.swap(notice_);
    return notice;
}

bool SimTransport::Alive() const {
    const uint64_t generation = instrument_->PlugGeneration();
    return open_ && generation != SimInstrument::kUnplugged && generation == openedGeneration_;
}

void SimTransport::Pass(int ms) {
    if (clock_ != nullptr && ms > 0 && !interrupted_.IsRaised()) {
        clock_->SleepFor(Milliseconds(ms), interrupted_);
    }
}

int SimTransport::WriteBlock(const uint8_t* data, int length) {
    pending_.reset();
    if (!Alive() || data == nullptr || length <= 0) {
        return 0;
    }
    pending_ = instrument_->Transact(data, length);
    return length;
}

int SimTransport::ReadBlock(uint8_t* buffer, int length) {
    std::optional<SimReply> reply;
    reply.swap(pending_);
    const bool complete = Alive() && reply && reply->answered && reply->announcedLength < 0 &&
                          reply->delayMs < kTransferTimeoutMs && !interrupted_.IsRaised();
    if (!complete) {
        Pass(kTransferTimeoutMs);
        return 0;
    }
    Pass(reply->delayMs);
    const int size = static_cast<int>(reply->bytes.size());
    if (buffer != nullptr && length > 0 && size > 0) {
        std::memcpy(buffer, reply->bytes.data(), static_cast<std::size_t>(std::min(size, length)));
    }
    return size;
}

}  // namespace korvel
