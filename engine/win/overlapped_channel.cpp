#include "overlapped_channel.h"

#include <algorithm>
#include <cstring>

namespace korvel::win {

OverlappedChannel::OverlappedChannel(const Win32Api& api, TransferTimeouts timeouts)
    : api_(api), timeouts_(timeouts), slot_(std::make_unique<Slot>()) {
    // Manual reset and never reset again: an interrupt means the worker is
    // ending, and a transfer started after it must not wait either.
    interrupt_ = api_.CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

OverlappedChannel::~OverlappedChannel() {
    if (interrupt_ != nullptr) {
        api_.CloseHandle(interrupt_);
    }
}

void OverlappedChannel::Attach(HANDLE device) {
    device_ = device;
    staleReplyDue_ = false;
}

void OverlappedChannel::Interrupt() {
    if (interrupt_ != nullptr) {
        api_.SetEvent(interrupt_);
    }
}

bool OverlappedChannel::Interrupted() const {
    return interrupt_ != nullptr && api_.WaitForSingleObject(interrupt_, 0) == WAIT_OBJECT_0;
}

int OverlappedChannel::Write(const uint8_t* data, int length) {
    if (data == nullptr || length <= 0 || length > kMaxBlockLength ||
        device_ == INVALID_HANDLE_VALUE || Interrupted()) {
        return 0;
    }
    if (staleReplyDue_) {
        DiscardStaleReplies();
    }
    // The request works on a copy the channel owns, never on the caller's bytes.
    slot_->data.assign(data, data + length);
    const Outcome out = Run(Direction::kWrite, static_cast<DWORD>(length), timeouts_.transferMs);
    if (out.abandoned || !out.ok) {
        return 0;
    }
    return static_cast<int>(std::min<DWORD>(out.count, static_cast<DWORD>(length)));
}

int OverlappedChannel::Read(uint8_t* buffer, int length) {
    if (buffer == nullptr || length <= 0 || length > kMaxBlockLength ||
        device_ == INVALID_HANDLE_VALUE || Interrupted()) {
        return 0;
    }
    const int capacity = std::max(length, kMinReadCapacity - 1) + 1;
    slot_->data.assign(static_cast<size_t>(capacity), 0);
    const Outcome out = Run(Direction::kRead, static_cast<DWORD>(capacity), timeouts_.transferMs);
    if (out.abandoned) {
        // Unless the reply slipped in before the cancellation, it may still come.
        staleReplyDue_ = staleReplyDue_ || !out.ok;
        return 0;
    }
    const bool tooLong = !out.ok && out.error == ERROR_MORE_DATA;
    if (!out.ok && !tooLong) {
        return 0;
    }
    // Longer than the room: count it as more than asked for.
    const int count =
        tooLong ? capacity
                : static_cast<int>(std::min<DWORD>(out.count, static_cast<DWORD>(capacity)));
    std::memcpy(buffer, slot_->data.data(), static_cast<size_t>(std::min(count, length)));
    if (tooLong) {
        // The rest of it must not pass for the next reply.
        DiscardRestOfMessage();
    }
    return count;
}

OverlappedChannel::Outcome OverlappedChannel::Run(Direction direction, DWORD length, DWORD waitMs) {
    Slot& slot = *slot_;
    std::memset(&slot.record, 0, sizeof(slot.record));
    const HANDLE event = api_.CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return {};
    }
    slot.record.hEvent = event;
    api_.ResetEvent(event);

    const BOOL started =
        direction == Direction::kWrite
            ? api_.WriteFile(device_, slot.data.data(), length, nullptr, &slot.record)
            : api_.ReadFile(device_, slot.data.data(), length, nullptr, &slot.record);
    if (!started) {
        const DWORD error = api_.GetLastError();
        if (error != ERROR_IO_PENDING) {
            // Nothing was queued, so nothing can complete later.
            api_.CloseHandle(event);
            Outcome out;
            out.error = error;
            return out;
        }
    }

    const HANDLE waitOn[2] = {event, interrupt_};
    const DWORD waitCount = interrupt_ != nullptr ? 2 : 1;
    if (api_.WaitForMultipleObjects(waitCount, waitOn, FALSE, waitMs) != WAIT_OBJECT_0) {
        return Abandon(event);
    }
    Outcome out;
    out.completed = true;
    out.ok = api_.GetOverlappedResult(device_, &slot.record, &out.count, TRUE);
    out.error = out.ok ? 0 : api_.GetLastError();
    api_.CloseHandle(event);
    return out;
}

OverlappedChannel::Outcome OverlappedChannel::Abandon(HANDLE event) {
    Outcome out;
    out.abandoned = true;
    api_.CancelIoEx(device_, &slot_->record);
    // The request still owns the record and the buffer until it has finished.
    if (api_.WaitForSingleObject(event, timeouts_.cancelGraceMs) == WAIT_OBJECT_0) {
        out.completed = true;
        out.ok = api_.GetOverlappedResult(device_, &slot_->record, &out.count, TRUE);
        out.error = out.ok ? 0 : api_.GetLastError();
        api_.CloseHandle(event);
        return out;
    }
    // The driver ignores the cancellation. Its record, buffer and event are
    // left to it for good, and later transfers get fresh ones.
    (void)slot_.release();
    slot_ = std::make_unique<Slot>();
    ++stuckTransfers_;
    return out;
}

void OverlappedChannel::DiscardRestOfMessage() {
    for (int i = 0; i < kMaxStaleReplies; ++i) {
        slot_->data.assign(static_cast<size_t>(kMinReadCapacity), 0);
        const Outcome out = Run(Direction::kRead, kMinReadCapacity, timeouts_.transferMs);
        if (out.abandoned || out.ok || out.error != ERROR_MORE_DATA) {
            if (out.abandoned && !out.ok) {
                staleReplyDue_ = true;
            }
            return;
        }
    }
}

void OverlappedChannel::DiscardStaleReplies() {
    // Only replies already waiting are taken: a read that is not done at once
    // is cancelled.
    for (int i = 0; i < kMaxStaleReplies; ++i) {
        slot_->data.assign(static_cast<size_t>(kMinReadCapacity), 0);
        const Outcome out = Run(Direction::kRead, kMinReadCapacity, 0);
        if (!out.completed || (!out.ok && out.error != ERROR_MORE_DATA)) {
            return;
        }
        staleReplyDue_ = false;
    }
}

}  // namespace korvel::win
