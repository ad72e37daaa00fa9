#include "link_message_ledger.h"

#include <algorithm>

namespace korvel::testing {

void LinkMessageLedger::Grow(int connection) {
    const std::size_t size = static_cast<std::size_t>(std::max(connection, 0)) + 1;
    if (failures_.size() < size) {
        failures_.resize(size, 0);
        messages_.resize(size, 0);
        dueText_.resize(size);
    }
}

void LinkMessageLedger::OnFailure(int connection, uint8_t command) {
    Grow(connection);
    if (failures_[connection]++ == 0) {
        // The page write's message has no exclamation mark.
        dueText_[connection] = command == 0xA4 ? "USB Link Error" : "USB Link Error！";
    }
}

std::string LinkMessageLedger::OnLinkMessage(int connection, const std::string& text) {
    Grow(connection);
    ++messages_[connection];
    if (!dueText_[connection].empty() && text != dueText_[connection]) {
        return "message \"" + text + "\" where \"" + dueText_[connection] + "\" was due";
    }
    return {};
}

std::vector<std::string> LinkMessageLedger::Verify(int lastConnection) const {
    std::vector<std::string> out;
    const std::size_t count =
        std::max(failures_.size(), static_cast<std::size_t>(std::max(lastConnection, 0)) + 1);
    for (std::size_t c = 0; c < count; ++c) {
        const int failures = c < failures_.size() ? failures_[c] : 0;
        const int messages = c < messages_.size() ? messages_[c] : 0;
        if (messages != (failures > 0 ? 1 : 0)) {
            out.push_back("connection " + std::to_string(c) + " had " + std::to_string(failures) +
                          " failed transfers and " + std::to_string(messages) +
                          " link-error messages");
        }
    }
    return out;
}

uint64_t LinkMessageLedger::FailedConnections() const {
    return static_cast<uint64_t>(
        std::count_if(failures_.begin(), failures_.end(), [](int f) { return f > 0; }));
}

}  // namespace korvel::testing
