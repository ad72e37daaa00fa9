#include "scripted_instrument.h"

#include <cstring>

#include "wire_words.h"

namespace korvel::testing {

ScriptedInstrument::ScriptedInstrument() {
    live = [](uint32_t) { return LiveWords{}; };
}

int ScriptedInstrument::CountDevices() {
    ++counts;
    return devices.load(std::memory_order_relaxed);
}

bool ScriptedInstrument::OpenDevice() {
    ++opens;
    if (opens <= openFailures)
        return false;
    open_ = true;
    return true;
}

void ScriptedInstrument::CloseDevice() {
    if (open_)
        ++closes;
    open_ = false;
}

int ScriptedInstrument::WriteBlock(const uint8_t* data, int length) {
    replyLength_ = 0;
    if (!open_ || interrupted_.load(std::memory_order_relaxed) || length < 2)
        return 0;
    LoggedCommand c;
    c.code = data[1];
    reply_.fill(0);
    if (c.code == 0xA1 && length == 7) {
        c.tuningWord = static_cast<uint32_t>(data[2] | (data[3] << 8) | (data[4] << 16) |
                                             (uint32_t{data[5]} << 24));
        tuningWord_ = c.tuningWord;
        replyLength_ = 2;
    } else if (c.code == 0xA2 && length == 4) {
        c.index = ReadWord(data + 2);
        const LiveWords w = live(tuningWord_);
        WriteWord(reply_.data() + 2, w.amp);
        WriteWord(reply_.data() + 4, w.ref);
        WriteWord(reply_.data() + 6, w.phase);
        WriteWord(reply_.data() + 8, w.power);
        const CalRecord r = c.index < kRecords ? memory[c.index] : CalRecord{};
        WriteWord(reply_.data() + 10, r.amp);
        WriteWord(reply_.data() + 12, r.ref);
        WriteWord(reply_.data() + 14, r.phase);
        WriteWord(reply_.data() + 16, r.power);
        replyLength_ = 18;
    } else if (c.code == 0xA4 && length == 36) {
        c.block = data[2];
        c.page = data[3];
        std::memcpy(c.data.data(), data + 4, 32);
        for (int slot = 0; slot < 4; ++slot) {
            const int n = c.block * 128 + c.page * 4 + slot;
            if (n < kRecords)
                memory[n] = UnpackCalRecord(data + 4 + 8 * slot);
        }
        replyLength_ = 2;
    }
    if (static_cast<int>(log.size()) == failCommand)
        replyLength_ = replyLengthOnFailure;
    log.push_back(c);
    return length;
}

int ScriptedInstrument::ReadBlock(uint8_t* buffer, int length) {
    if (!open_ || interrupted_.load(std::memory_order_relaxed))
        return 0;
    if (!answer.load(std::memory_order_relaxed)) {
        replyLength_ = 0;
        return 0;
    }
    const int n = replyLength_ < length ? replyLength_ : length;
    std::memcpy(buffer, reply_.data(), static_cast<std::size_t>(n));
    replyLength_ = 0;
    return n;
}

std::vector<LoggedCommand> ScriptedInstrument::Commands(uint8_t code) const {
    std::vector<LoggedCommand> out;
    for (const auto& c : log) {
        if (c.code == code)
            out.push_back(c);
    }
    return out;
}

}  // namespace korvel::testing
