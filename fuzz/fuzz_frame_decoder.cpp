// The stream framing reader against arbitrary bytes arriving in arbitrary
// pieces: it must hand out exactly the frames a straightforward reading of
// the whole stream finds, in order, hold back the unfinished rest, and never
// read outside what it was fed.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "stream/frame_codec.h"

using korvel::EncodeFrame;
using korvel::FrameDecoder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte chooses the piece sizes, the rest is the stream.
    const std::size_t pieceSeed = data[0];
    const uint8_t* stream = data + 1;
    const std::size_t streamSize = size - 1;

    // Reference: walk the whole stream at once.
    std::vector<std::vector<uint8_t>> expected;
    std::size_t at = 0;
    while (streamSize - at >= 2) {
        const std::size_t length = stream[at] | (stream[at + 1] << 8);
        if (streamSize - at - 2 < length) {
            break;
        }
        expected.emplace_back(stream + at + 2, stream + at + 2 + length);
        at += 2 + length;
    }
    const std::size_t leftover = streamSize - at;

    FrameDecoder decoder;
    std::vector<std::vector<uint8_t>> got;
    std::size_t fed = 0;
    std::size_t piece = 0;
    while (fed < streamSize) {
        // Pieces of 1 to 64 bytes, varying with the seed and the position.
        const std::size_t want = 1 + (pieceSeed * 31 + piece * 17) % 64;
        const std::size_t n = want < streamSize - fed ? want : streamSize - fed;
        decoder.Feed(stream + fed, n);
        fed += n;
        ++piece;
        while (decoder.HasFrame()) {
            got.push_back(decoder.PopFrame());
        }
        // Asking without a whole frame gives nothing and changes nothing.
        const std::size_t held = decoder.Buffered();
        FUZZ_CHECK(decoder.PopFrame().empty());
        FUZZ_CHECK(decoder.Buffered() == held);
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(decoder.Buffered() == leftover);

    // Every frame encodes back to the bytes it was read from.
    std::size_t offset = 0;
    for (const auto& payload : got) {
        const std::vector<uint8_t> frame = EncodeFrame(payload.data(), payload.size());
        FUZZ_CHECK(frame.size() == payload.size() + 2);
        FUZZ_CHECK(std::equal(frame.begin(), frame.end(), stream + offset));
        offset += frame.size();
    }
    decoder.Clear();
    FUZZ_CHECK(decoder.Buffered() == 0 && !decoder.HasFrame());
    return 0;
}
