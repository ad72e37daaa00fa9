#include "sim_fault.h"

#include <charconv>
#include <limits>

namespace korvel {

void SimFaultSchedule::Arm(const SimFault& fault) {
    Armed a;
    a.fault = fault;
    if (a.fault.every == 0) {
        a.fault.every = 1;
    }
    a.left = fault.count;
    if (a.left == 0) {
        return;  // nothing to commit
    }
    armed_.push_back(a);
}

void SimFaultSchedule::Clear() {
    armed_.clear();
}

const SimFault* SimFaultSchedule::Next() {
    const SimFault* hit = nullptr;
    for (Armed& a : armed_) {
        ++a.seen;
        const bool due =
            a.seen > a.fault.after && (a.seen - a.fault.after - 1) % a.fault.every == 0;
        if (due && (a.left == kFaultForever || a.owed < a.left)) {
            ++a.owed;
        }
        if (hit != nullptr || a.owed == 0) {
            continue;
        }
        current_ = a.fault;
        hit = &current_;
        --a.owed;
        if (a.left != kFaultForever) {
            --a.left;
        }
    }
    std::erase_if(armed_, [](const Armed& a) { return a.left == 0; });
    return hit;
}

namespace {

struct KindName {
    const char* name;
    SimFaultKind kind;
    bool needsValue;
};

constexpr KindName kKinds[] = {
    {"length", SimFaultKind::ReplyLength, true},
    {"timeout", SimFaultKind::NoReply, false},
    {"late", SimFaultKind::LateReply, true},
    {"zero-ref", SimFaultKind::ZeroReference, false},
    {"all-zero", SimFaultKind::AllWordsZero, false},
    {"all-ones", SimFaultKind::AllWordsOnes, false},
    {"garbage", SimFaultKind::Garbage, false},
    {"frame-65535", SimFaultKind::HugeFrame, false},
    {"truncated", SimFaultKind::TruncatedFrame, true},
};

template <typename T>
bool ParseNumber(const std::string& s, T max, T& out) {
    if (s.empty()) {
        return false;
    }
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && ptr == end && out >= T{} && out <= max;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = s.find(sep, start);
        parts.push_back(s.substr(start, pos - start));
        if (pos == std::string::npos) {
            return parts;
        }
        start = pos + 1;
    }
}

}  // namespace

bool ParseSimFault(const std::string& text, SimFault& fault, std::string& error) {
    const std::vector<std::string> parts = Split(text, ',');
    SimFault f;
    const std::string& head = parts[0];
    const std::size_t eq = head.find('=');
    const std::string name = head.substr(0, eq);
    const KindName* kind = nullptr;
    for (const KindName& k : kKinds) {
        if (name == k.name) {
            kind = &k;
        }
    }
    if (kind == nullptr) {
        error = "Unknown fault \"" + name +
                "\": use length=N, timeout, late=MS, zero-ref, all-zero, all-ones, garbage[=N], "
                "frame-65535 or truncated=N.";
        return false;
    }
    f.kind = kind->kind;
    if (eq != std::string::npos) {
        if (!ParseNumber(head.substr(eq + 1), 65535, f.value)) {
            error = "Fault \"" + text + "\": the value must be a whole number from 0 to 65535.";
            return false;
        }
    } else if (kind->needsValue) {
        error = "Fault \"" + name + "\" needs a value, e.g. " + name + "=17.";
        return false;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t peq = parts[i].find('=');
        const std::string key = parts[i].substr(0, peq);
        const std::string val = peq == std::string::npos ? "" : parts[i].substr(peq + 1);
        bool ok = false;
        if (key == "after") {
            ok = ParseNumber(val, std::numeric_limits<uint64_t>::max(), f.after);
        } else if (key == "every") {
            ok = ParseNumber(val, std::numeric_limits<uint64_t>::max(), f.every) && f.every > 0;
        } else if (key == "count") {
            if (val == "forever") {
                f.count = kFaultForever;
                ok = true;
            } else {
                ok = ParseNumber(val, std::numeric_limits<int>::max(), f.count) && f.count > 0;
            }
        } else {
            error = "Fault \"" + text + "\": unknown option \"" + key +
                    "\" (use after=N, count=N|forever, every=N).";
            return false;
        }
        if (!ok) {
            error = "Fault \"" + text + "\": bad value for " + key + ".";
            return false;
        }
    }
    fault = f;
    return true;
}

}  // namespace korvel
