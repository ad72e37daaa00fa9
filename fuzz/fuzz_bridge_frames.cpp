// The bridge's check of client input against arbitrary bytes in arbitrary
// pieces: what comes out must be exactly the whole, valid commands a
// straightforward reading of the stream finds before its first fault, and
// nothing once a fault (long frame, empty frame, no command, too many ahead)
// is seen; it must never read outside what it was fed.
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/command_filter.h"
#include "fuzz_check.h"

using korvel::IsInstrumentCommand;
using korvel::kLargestCommand;
using korvel::bridge::CommandFilter;
using korvel::bridge::kMaxCommandsAhead;

namespace {

// Reference: the commands before the first fault, and whether there was one.
// `taken` commands are handed out as soon as they come in; the rest wait.
struct Reading {
    std::vector<std::vector<uint8_t>> commands;
    bool fault = false;
};

Reading ReadWhole(const uint8_t* stream, std::size_t size) {
    Reading r;
    std::size_t at = 0;
    while (size - at >= 2) {
        const std::size_t length = stream[at] | (stream[at + 1] << 8);
        if (length == 0 || length > kLargestCommand) {
            r.fault = true;
            break;
        }
        if (size - at - 2 < length) {
            break;
        }
        if (!IsInstrumentCommand(stream + at + 2, length)) {
            r.fault = true;
            break;
        }
        r.commands.emplace_back(stream + at + 2, stream + at + 2 + length);
        at += 2 + length;
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte chooses the piece sizes, the rest is the stream.
    const std::size_t pieceSeed = data[0];
    const uint8_t* stream = data + 1;
    const std::size_t streamSize = size - 1;
    const Reading expected = ReadWhole(stream, streamSize);

    // Takes every command as soon as it is whole, as a quick instrument
    // would let the bridge do: the limit on commands ahead is never reached.
    CommandFilter filter;
    std::vector<std::vector<uint8_t>> got;
    std::vector<uint8_t> command;
    std::string why;
    std::size_t fed = 0;
    std::size_t piece = 0;
    bool refused = false;
    while (fed < streamSize) {
        const std::size_t want = 1 + (pieceSeed * 31 + piece * 17) % 48;
        const std::size_t n = want < streamSize - fed ? want : streamSize - fed;
        filter.Feed(stream + fed, n);
        fed += n;
        ++piece;
        CommandFilter::Verdict v;
        while ((v = filter.Next(command, why)) == CommandFilter::Verdict::Command) {
            FUZZ_CHECK(!command.empty() && command.size() <= kLargestCommand);
            FUZZ_CHECK(IsInstrumentCommand(command.data(), command.size()));
            got.push_back(command);
        }
        if (v == CommandFilter::Verdict::Refused) {
            FUZZ_CHECK(!why.empty());
            refused = true;
            break;
        }
    }
    FUZZ_CHECK(refused == expected.fault);
    // Commands of the piece that held the fault may be withheld; none other.
    FUZZ_CHECK(got.size() <= expected.commands.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        FUZZ_CHECK(got[i] == expected.commands[i]);
    }
    if (!refused) {
        FUZZ_CHECK(got.size() == expected.commands.size());
    }

    // Fed whole without taking anything: more than the limit ahead is refused.
    CommandFilter hoarding;
    hoarding.Feed(stream, streamSize);
    std::size_t held = 0;
    while (hoarding.Next(command, why) == CommandFilter::Verdict::Command) {
        ++held;
    }
    FUZZ_CHECK(held <= kMaxCommandsAhead);
    if (!expected.fault && expected.commands.size() <= kMaxCommandsAhead) {
        FUZZ_CHECK(held == expected.commands.size() && !hoarding.Refused());
    }
    if (expected.commands.size() > kMaxCommandsAhead) {
        FUZZ_CHECK(hoarding.Refused() && held == 0);
    }
    return 0;
}
