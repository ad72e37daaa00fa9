// Books failed transfers and link-error messages per connection, to prove
// the rule "one message per failure episode": a connection that failed shows
// exactly one message, with the text its failed command calls for, and a
// connection that did not fail shows none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::testing {

class LinkMessageLedger {
  public:
    static bool IsLinkError(const std::string& text) {
        return text.rfind("USB Link Error", 0) == 0;
    }

    void OnFailure(int connection, uint8_t command);
    // Returns a complaint when the text is not the one the failure calls for.
    std::string OnLinkMessage(int connection, const std::string& text);
    // Complaints about connections whose message count is wrong.
    std::vector<std::string> Verify(int lastConnection) const;
    uint64_t FailedConnections() const;

  private:
    void Grow(int connection);

    std::vector<int> failures_;
    std::vector<int> messages_;
    std::vector<std::string> dueText_;
};

}  // namespace korvel::testing
