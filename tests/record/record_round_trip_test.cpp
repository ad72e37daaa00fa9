// A recording made through the recording transport, played back by the
// replay transport, answers exactly as the instrument did, until the program
// does something else.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "fake_clock.h"
#include "record/recording_transport.h"
#include "record/replay_transport.h"
#include "temp_file.h"

namespace korvel {
namespace {

using record::TrafficOp;
using record::TransferResult;
using testing::TempFile;
using Bytes = std::vector<uint8_t>;

// An instrument whose reads answer in turn: a reply, a time-out (which takes
// the whole transfer time-out of virtual time) and a link error (at once,
// and the link is gone).
class ScriptedInstrument final : public DeviceTransport {
  public:
    explicit ScriptedInstrument(Milliseconds& now) : now_(now) {}
    int CountDevices() override { return 1; }
    bool OpenDevice() override { return open_ = true; }
    bool IsOpen() const override { return open_; }
    void CloseDevice() override { open_ = false; }
    int WriteBlock(const uint8_t*, int length) override { return length; }
    int ReadBlock(uint8_t* buffer, int length) override {
        switch (reads_++) {
            case 0:
                std::copy_n(kReply.begin(), std::min<int>(length, kReply.size()), buffer);
                return static_cast<int>(kReply.size());
            case 1:
                now_ += Milliseconds(kTransferTimeoutMs);
                return 0;
            default:
                open_ = false;
                return 0;
        }
    }
    static inline const Bytes kReply{0x7a, 0xa2, 0x92, 0x02, 0x86, 0x0b, 0x12, 0x00, 0xc1,
                                     0x02, 0x4c, 0x02, 0x86, 0x0b, 0x20, 0x00, 0x7a, 0x09};

  private:
    Milliseconds& now_;
    bool open_ = false;
    int reads_ = 0;
};

const Bytes kAskVersion{0x7a, 0xa2, 0xff, 0x02};
const Bytes kAskDetectors{0x7a, 0xa2, 0x00, 0x03};

// What the program saw of one call: its return, the link, the read buffer.
using Seen = std::tuple<int, bool, Bytes>;

// Look, open, three exchanges (a reply, a time-out, a link error), close.
std::vector<Seen> Session(DeviceTransport& t) {
    std::vector<Seen> seen{{t.CountDevices(), t.IsOpen(), {}}, {t.OpenDevice(), t.IsOpen(), {}}};
    for (const Bytes* command : {&kAskVersion, &kAskDetectors, &kAskDetectors}) {
        seen.emplace_back(t.WriteBlock(command->data(), 4), t.IsOpen(), Bytes{});
        Bytes buffer(64, 0xEE);
        const int got = t.ReadBlock(buffer.data(), 64);
        seen.emplace_back(got, t.IsOpen(), buffer);
    }
    t.CloseDevice();
    seen.emplace_back(0, t.IsOpen(), Bytes{});
    return seen;
}

// A session recorded on virtual time into `path`.
std::vector<Seen> RecordSession(const std::string& path) {
    static Milliseconds now{5000};
    record::TrafficWriter writer;
    std::string error;
    EXPECT_TRUE(writer.Open(path, {"korvel-sweep", "9", "sim", "now"}, error)) << error;
    RecordingTransport recorder(std::make_unique<ScriptedInstrument>(now), std::move(writer), path,
                                [] { return now; });
    return Session(recorder);
}

record::Recording Load(const std::string& path) {
    record::Recording recording;
    std::string error;
    EXPECT_TRUE(record::LoadRecording(path, recording, error)) << error;
    return recording;
}

TEST(RecordAndReplay, RepliesTimeOutsAndErrorsAreReplayedAsTheyHappenedWithoutWaiting) {
    TempFile file("round-trip");
    const std::vector<Seen> live = RecordSession(file.Path());
    EXPECT_EQ(std::get<0>(live[3]), 18);
    EXPECT_EQ(live[5], Seen(0, true, Bytes(64, 0xEE)));
    EXPECT_EQ(live[7], Seen(0, false, Bytes(64, 0xEE)));

    const record::Recording recording = Load(file.Path());
    ASSERT_EQ(recording.entries.size(), 9u);
    const auto& timeout = recording.entries[5];
    EXPECT_EQ(timeout.result, TransferResult::Timeout);
    EXPECT_EQ(timeout.tookMs, kTransferTimeoutMs);
    const auto& error = recording.entries[7];
    EXPECT_EQ(error.result, TransferResult::Error);
    EXPECT_EQ(error.atMs, kTransferTimeoutMs);  // after the time-out's wait
    EXPECT_FALSE(error.openAfter);

    // The replay's only pause is the recorded time-out, on the given clock.
    testing::FakeClock clock;
    std::ostringstream diagnostics;
    ReplayTransport replay(recording, &clock, diagnostics);
    EXPECT_EQ(Session(replay), live);
    EXPECT_EQ(clock.Pauses(), std::vector<Milliseconds>{Milliseconds(kTransferTimeoutMs)});
    EXPECT_EQ(diagnostics.str(), "");
    EXPECT_FALSE(replay.Diverged());
}

TEST(RecordAndReplay, TheFirstDifferenceIsReportedOnceThenTheInstrumentIsGone) {
    TempFile file("diverge");
    RecordSession(file.Path());
    std::ostringstream diagnostics;
    ReplayTransport replay(Load(file.Path()), nullptr, diagnostics);
    ASSERT_EQ(replay.CountDevices(), 1);
    ASSERT_TRUE(replay.OpenDevice());
    EXPECT_EQ(replay.WriteBlock(kAskDetectors.data(), 4), 0);
    const std::string once =
        "replay diverged at exchange 3: expected out 7aa2ff02, got out 7aa20003\n";
    EXPECT_EQ(diagnostics.str(), once);
    EXPECT_FALSE(replay.IsOpen());
    // Unplugged from here, even for the command the recording expected.
    uint8_t buffer[64];
    EXPECT_EQ(replay.WriteBlock(kAskVersion.data(), 4), 0);
    EXPECT_EQ(replay.ReadBlock(buffer, 64), 0);
    EXPECT_EQ(replay.CountDevices(), 0);
    EXPECT_FALSE(replay.OpenDevice());
    EXPECT_EQ(diagnostics.str(), once);

    std::ostringstream kind;
    EXPECT_EQ(ReplayTransport(Load(file.Path()), nullptr, kind).ReadBlock(buffer, 64), 0);
    EXPECT_EQ(kind.str(), "replay diverged at exchange 1: expected count, got in\n");
    std::ostringstream end;
    ReplayTransport whole(Load(file.Path()), nullptr, end);
    Session(whole);
    EXPECT_EQ(whole.CountDevices(), 0);
    EXPECT_EQ(end.str(),
              "replay diverged at exchange 10: expected the end of the recording, "
              "got count\n");
}

TEST(RecordAndReplay, EveryLineIsInTheFileAsSoonAsTheCallReturns) {
    TempFile file("flush");
    std::string error;
    Milliseconds now{0};
    auto recorder = MakeRecordingTransport(std::make_unique<ScriptedInstrument>(now), file.Path(),
                                           "korvel-bridge", "tcp:[::1]:7720", error);
    ASSERT_TRUE(recorder) << error;
    EXPECT_EQ(Load(file.Path()).entries.size(), 0u);
    recorder->CountDevices();
    recorder->OpenDevice();
    recorder->WriteBlock(kAskVersion.data(), 4);
    EXPECT_EQ(Load(file.Path()).entries.size(), 3u);
    uint8_t buffer[64];
    recorder->ReadBlock(buffer, 64);
    const record::Recording sofar = Load(file.Path());
    ASSERT_EQ(sofar.entries.size(), 4u);
    EXPECT_EQ(sofar.entries[3].bytes, ScriptedInstrument::kReply);
    EXPECT_EQ(sofar.header.program, "korvel-bridge");
    EXPECT_EQ(sofar.header.device, "tcp:[::1]:7720");
    EXPECT_FALSE(sofar.header.programVersion.empty());
    EXPECT_EQ(sofar.header.start.size(), 24u);  // 2026-12-09T01:02:03.456Z
    EXPECT_EQ(&Unrecorded(*recorder), &static_cast<RecordingTransport&>(*recorder).Inner());

    const std::string directory = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(MakeRecordingTransport(std::make_unique<ScriptedInstrument>(now), directory,
                                        "korvel", "sim", error));
    EXPECT_EQ(error.rfind("cannot write the recording \"" + directory + "\"", 0), 0u) << error;
}

}  // namespace
}  // namespace korvel
