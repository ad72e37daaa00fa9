// Faults the simulated instrument can be told to commit, for tests of the
// link's failure handling. A fault is armed with a schedule: it lets `after`
// replies pass, then hits one reply in every `every`, `count` times in all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

enum class SimFaultKind {
    // The reply has `value` bytes (0, 1, 17, 19, 2000 ...): the true reply
    // cut short or padded with zeros.
    ReplyLength,
    // No reply at all: the transfer times out.
    NoReply,
    // The reply comes `value` ms late (abandoned when that passes the time-out).
    LateReply,
    // A detector reply whose live reference word is 0.
    ZeroReference,
    // Every word of the reply 0.
    AllWordsZero,
    // Every word of the reply 0xFFFF.
    AllWordsOnes,
    // `value` random bytes instead of the reply (random length 1..64 when 0).
    Garbage,
    // A frame of 65535 bytes instead of the reply.
    HugeFrame,
    // A stream frame that announces the true length but carries only `value`
    // bytes and then stalls; in process, a reply that never completes.
    TruncatedFrame,
};

inline constexpr int kFaultForever = -1;

struct SimFault {
    SimFaultKind kind = SimFaultKind::NoReply;
    int value = 0;
    uint64_t after = 0;
    int count = 1;  // kFaultForever: no end
    uint64_t every = 1;
};

// The armed faults and their progress. Not thread-safe on its own: the
// instrument guards it with its lock.
class SimFaultSchedule {
  public:
    void Arm(const SimFault& fault);
    void Clear();
    bool Empty() const { return armed_.empty(); }
    // Called once per reply; returns the fault to commit, if any. Every armed
    // fault counts every reply; when two are due at once the first armed is
    // committed and the other's turn moves to the next reply.
    const SimFault* Next();

  private:
    struct Armed {
        SimFault fault;
        uint64_t seen = 0;
        int left = 0;
        // Turns that came while another fault was committed; served next.
        int owed = 0;
    };
    std::vector<Armed> armed_;
    SimFault current_;
};

// Parses "KIND[=VALUE][,after=N][,count=N|forever][,every=N]", e.g.
// "length=17", "timeout,after=3", "late=1500", "zero-ref,every=10,count=forever".
// Kinds: length, timeout, late, zero-ref, all-zero, all-ones, garbage,
// frame-65535, truncated. Returns false with a message in `error`.
bool ParseSimFault(const std::string& text, SimFault& fault, std::string& error);

}  // namespace korvel
