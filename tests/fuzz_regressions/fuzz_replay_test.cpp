// Replays the kept fuzz inputs through the fuzz targets' checks: the seeds
// and every input that once broke a target (kept as crash-*, see the
// README's Developer section). A broken property aborts with its message,
// which fails the test.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" int ReplayDeviceLink(const uint8_t* data, std::size_t size);
extern "C" int ReplayFrameDecoder(const uint8_t* data, std::size_t size);
extern "C" int ReplayRecordingReader(const uint8_t* data, std::size_t size);
extern "C" int ReplayBridgeFrames(const uint8_t* data, std::size_t size);
extern "C" int ReplayTouchstone(const uint8_t* data, std::size_t size);
#ifdef KORVEL_REPLAY_USB
extern "C" int ReplayMsOsDescriptors(const uint8_t* data, std::size_t size);
#endif
#ifdef KORVEL_REPLAY_UI
extern "C" int ReplayTextRules(const uint8_t* data, std::size_t size);
extern "C" int ReplayTextRulesInit(int* argc, char*** argv);
extern "C" int ReplayBmpWriter(const uint8_t* data, std::size_t size);
#endif

namespace {

using Target = int (*)(const uint8_t*, std::size_t);

// Runs every file of fuzz/corpus/<name>; returns how many there were.
int ReplayCorpus(const std::string& name, Target target) {
    const std::filesystem::path dir = std::filesystem::path(KORVEL_FUZZ_CORPUS) / name;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        target(bytes.data(), bytes.size());
        ++count;
    }
    return count;
}

TEST(FuzzReplay, DeviceLinkReplies) {
    EXPECT_GT(ReplayCorpus("device_link", ReplayDeviceLink), 0);
}

TEST(FuzzReplay, StreamFrameReader) {
    EXPECT_GT(ReplayCorpus("frame_decoder", ReplayFrameDecoder), 0);
}

TEST(FuzzReplay, RecordingReader) {
    EXPECT_GT(ReplayCorpus("recording_reader", ReplayRecordingReader), 0);
}

TEST(FuzzReplay, BridgeClientInput) {
    EXPECT_GT(ReplayCorpus("bridge_frames", ReplayBridgeFrames), 0);
}

TEST(FuzzReplay, TouchstoneReader) {
    EXPECT_GT(ReplayCorpus("touchstone", ReplayTouchstone), 0);
}

#ifdef KORVEL_REPLAY_USB
TEST(FuzzReplay, MsOsDescriptors) {
    EXPECT_GT(ReplayCorpus("ms_os_descriptors", ReplayMsOsDescriptors), 0);
}
#endif

#ifdef KORVEL_REPLAY_UI
TEST(FuzzReplay, EditTextRules) {
    ReplayTextRulesInit(nullptr, nullptr);
    EXPECT_GT(ReplayCorpus("text_rules", ReplayTextRules), 0);
}

TEST(FuzzReplay, BmpSizesAndEncoding) {
    EXPECT_GT(ReplayCorpus("bmp_writer", ReplayBmpWriter), 0);
}
#endif

}  // namespace
