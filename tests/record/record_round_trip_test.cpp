// A recording made through the recording transport, played back by the
// replay transport, answers exactly as the instrument did, until the program
// does something else.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "fake_clock.h"
#include "record/recording_transport.h"
#include "record/replay_transport.h"
#include "record/traffic_reader.h"
#include "temp_file.h"

namespace korvel {
namespace {

using record::LoadRecording;
using record::Recording;
using record::TrafficOp;
using record::TransferResult;
using testing::FakeClock;
using testing::TempFile;
using Bytes = std::vector<uint8_t>;

// An instrument whose reads end as scripted: a reply, a time-out (which
// takes the whole transfer time-out on the shared virtual time) or a link
// error (at once, and the link is gone).
struct ScriptedRead {
    enum Kind { Reply, Timeout, Error } kind = Reply;
    Bytes reply;
};

class ScriptedInstrument final : public DeviceTransport {
  public:
    explicit ScriptedInstrument(Milliseconds& now) : now_(now) {}

    int CountDevices() override { return present; }
    bool OpenDevice() override { return open_ = present > 0; }
    bool IsOpen() const override { return open_; }
    void CloseDevice() override { open_ = false; }
    int WriteBlock(const uint8_t*, int length) override { return open_ ? length : 0; }
    int ReadBlock(uint8_t* buffer, int length) override {
        if (reads.empty() || !open_)
            return 0;
        const ScriptedRead next = reads.front();
        reads.pop_front();
        if (next.kind == ScriptedRead::Timeout) {
            now_ += Milliseconds(kTransferTimeoutMs);
            return 0;
        }
        if (next.kind == ScriptedRead::Error) {
            open_ = false;
            return 0;
        }
        for (std::size_t i = 0; i < next.reply.size() && static_cast<int>(i) < length; ++i)
            buffer[i] = next.reply[i];
        return static_cast<int>(next.reply.size());
    }

    int present = 1;
    std::deque<ScriptedRead> reads;

  private:
    Milliseconds& now_;
    bool open_ = false;
};

// What the program saw of one call.
struct Seen {
    int returned;
    bool openAfter;
    Bytes buffer;
    bool operator==(const Seen&) const = default;
};

const Bytes kAskVersion{0x7a, 0xa2, 0xff, 0x02};
const Bytes kAskDetectors{0x7a, 0xa2, 0x00, 0x03};
const Bytes kDetectorReply{0x7a, 0xa2, 0x92, 0x02, 0x86, 0x0b, 0x12, 0x00, 0xc1,
                           0x02, 0x4c, 0x02, 0x86, 0x0b, 0x20, 0x00, 0x7a, 0x09};

// The program's side of a short session: look, open, three exchanges (a
// reply, a time-out, a link error), close.
std::vector<Seen> Session(DeviceTransport& t) {
    std::vector<Seen> seen;
    const auto read = [&] {
        Bytes buffer(64, 0xEE);
        const int got = t.ReadBlock(buffer.data(), static_cast<int>(buffer.size()));
        seen.push_back({got, t.IsOpen(), buffer});
    };
    seen.push_back({t.CountDevices(), t.IsOpen(), {}});
    seen.push_back({t.OpenDevice() ? 1 : 0, t.IsOpen(), {}});
    for (const Bytes* command : {&kAskVersion, &kAskDetectors, &kAskDetectors}) {
        seen.push_back(
            {t.WriteBlock(command->data(), static_cast<int>(command->size())), t.IsOpen(), {}});
        read();
    }
    t.CloseDevice();
    seen.push_back({0, t.IsOpen(), {}});
    return seen;
}

// A recording transport on the scripted instrument, on virtual time.
struct RecordedBench {
    explicit RecordedBench(const std::string& path) {
        auto inner = std::make_unique<ScriptedInstrument>(now);
        instrument = inner.get();
        instrument->reads = {{ScriptedRead::Reply, kDetectorReply},
                             {ScriptedRead::Timeout, {}},
                             {ScriptedRead::Error, {}}};
        record::TrafficWriter writer;
        std::string error;
        EXPECT_TRUE(writer.Open(path, {"korvel-sweep", "9", "sim", "now"}, error)) << error;
        recorder = std::make_unique<RecordingTransport>(std::move(inner), std::move(writer), path,
                                                        [this] { return now; });
    }
    Milliseconds now{5000};
    ScriptedInstrument* instrument = nullptr;
    std::unique_ptr<RecordingTransport> recorder;
};

Recording Load(const std::string& path) {
    Recording recording;
    std::string error;
    EXPECT_TRUE(LoadRecording(path, recording, error)) << error;
    return recording;
}

TEST(RecordAndReplay, TheReplayAnswersAsTheInstrumentDid) {
    TempFile file("round-trip");
    RecordedBench bench(file.Path());
    const std::vector<Seen> live = Session(*bench.recorder);
    bench.recorder.reset();

    std::ostringstream diagnostics;
    ReplayTransport replay(Load(file.Path()), nullptr, diagnostics);
    EXPECT_EQ(Session(replay), live);
    EXPECT_FALSE(replay.Diverged());
    EXPECT_EQ(diagnostics.str(), "");
    // The reply really arrived live, and the failed reads left the buffer alone.
    EXPECT_EQ(live[3].returned, 18);
    EXPECT_EQ(Bytes(live[3].buffer.begin(), live[3].buffer.begin() + 18), kDetectorReply);
    EXPECT_EQ(live[5], (Seen{0, true, Bytes(64, 0xEE)}));
    EXPECT_EQ(live[7], (Seen{0, false, Bytes(64, 0xEE)}));
}

TEST(RecordAndReplay, TimeOutsAndErrorsAreRecordedAsSuchAndReplayedWithoutWaiting) {
    TempFile file("failures");
    RecordedBench bench(file.Path());
    Session(*bench.recorder);
    const Recording recording = Load(file.Path());
    ASSERT_EQ(recording.entries.size(), 9u);
    const auto& timeout = recording.entries[5];
    EXPECT_EQ(timeout.op, TrafficOp::Read);
    EXPECT_EQ(timeout.result, TransferResult::Timeout);
    EXPECT_EQ(timeout.tookMs, kTransferTimeoutMs);
    EXPECT_EQ(timeout.atMs, 0);
    EXPECT_TRUE(timeout.openAfter);
    const auto& error = recording.entries[7];
    EXPECT_EQ(error.result, TransferResult::Error);
    EXPECT_EQ(error.tookMs, 0);
    EXPECT_EQ(error.atMs, kTransferTimeoutMs);  // after the time-out's wait
    EXPECT_FALSE(error.openAfter);

    // The replay's only pause is the recorded time-out, on the given clock.
    FakeClock clock;
    std::ostringstream diagnostics;
    ReplayTransport replay(recording, &clock, diagnostics);
    Session(replay);
    EXPECT_EQ(clock.Pauses(), std::vector<Milliseconds>{Milliseconds(kTransferTimeoutMs)});
    EXPECT_FALSE(replay.Diverged());
}

TEST(RecordAndReplay, TheFirstDifferenceIsReportedOnceThenTheInstrumentIsGone) {
    TempFile file("diverge");
    RecordedBench bench(file.Path());
    Session(*bench.recorder);
    std::ostringstream diagnostics;
    ReplayTransport replay(Load(file.Path()), nullptr, diagnostics);

    ASSERT_EQ(replay.CountDevices(), 1);
    ASSERT_TRUE(replay.OpenDevice());
    EXPECT_EQ(replay.WriteBlock(kAskDetectors.data(), 4), 0);
    EXPECT_EQ(diagnostics.str(),
              "replay diverged at exchange 3: expected out 7aa2ff02, got out 7aa20003\n");
    EXPECT_TRUE(replay.Diverged());
    EXPECT_FALSE(replay.IsOpen());
    // Unplugged from here, even for the command the recording expected.
    uint8_t buffer[64];
    EXPECT_EQ(replay.WriteBlock(kAskVersion.data(), 4), 0);
    EXPECT_EQ(replay.ReadBlock(buffer, 64), 0);
    EXPECT_EQ(replay.CountDevices(), 0);
    EXPECT_FALSE(replay.OpenDevice());
    replay.CloseDevice();
    EXPECT_EQ(diagnostics.str(),
              "replay diverged at exchange 3: expected out 7aa2ff02, got out 7aa20003\n");
}

TEST(RecordAndReplay, ACallOfAnotherKindOrBeyondTheEndDiverges) {
    TempFile file("beyond");
    RecordedBench bench(file.Path());
    Session(*bench.recorder);
    const Recording recording = Load(file.Path());

    std::ostringstream kind;
    ReplayTransport early(recording, nullptr, kind);
    uint8_t buffer[64];
    EXPECT_EQ(early.ReadBlock(buffer, 64), 0);
    EXPECT_EQ(kind.str(), "replay diverged at exchange 1: expected count, got in\n");

    std::ostringstream end;
    ReplayTransport whole(recording, nullptr, end);
    Session(whole);
    EXPECT_EQ(whole.CountDevices(), 0);
    EXPECT_EQ(end.str(),
              "replay diverged at exchange 10: expected the end of the recording, "
              "got count\n");
}

TEST(RecordAndReplay, EveryLineIsInTheFileAsSoonAsTheCallReturns) {
    TempFile file("flush");
    RecordedBench bench(file.Path());
    DeviceTransport& t = *bench.recorder;
    const auto lines = [&] { return Load(file.Path()).entries.size(); };
    EXPECT_EQ(lines(), 0u);
    t.CountDevices();
    EXPECT_EQ(lines(), 1u);
    t.OpenDevice();
    t.WriteBlock(kAskVersion.data(), 4);
    EXPECT_EQ(lines(), 3u);
    uint8_t buffer[64];
    t.ReadBlock(buffer, 64);
    const Recording sofar = Load(file.Path());
    ASSERT_EQ(sofar.entries.size(), 4u);
    EXPECT_EQ(sofar.entries[3].bytes, kDetectorReply);
    EXPECT_EQ(sofar.header.program, "korvel-sweep");
}

TEST(RecordAndReplay, TheFactoryWritesTheHeaderAndRefusesAFileItCannotWrite) {
    TempFile file("factory");
    std::string error;
    Milliseconds unused{0};
    auto recorder = MakeRecordingTransport(std::make_unique<ScriptedInstrument>(unused),
                                           file.Path(), "korvel-bridge", "tcp:[::1]:7720", error);
    ASSERT_TRUE(recorder) << error;
    EXPECT_EQ(&Unrecorded(*recorder), &static_cast<RecordingTransport&>(*recorder).Inner());
    const Recording recording = Load(file.Path());
    EXPECT_EQ(recording.header.program, "korvel-bridge");
    EXPECT_EQ(recording.header.device, "tcp:[::1]:7720");
    EXPECT_FALSE(recording.header.programVersion.empty());
    // UTC, ISO 8601, to the millisecond: 2026-12-09T01:02:03.456Z
    ASSERT_EQ(recording.header.start.size(), 24u);
    EXPECT_EQ(recording.header.start[10], 'T');
    EXPECT_EQ(recording.header.start.back(), 'Z');

    // A directory cannot be the recording.
    const std::string directory = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(MakeRecordingTransport(std::make_unique<ScriptedInstrument>(unused), directory,
                                        "korvel", "sim", error));
    EXPECT_EQ(error.rfind("cannot write the recording \"" + directory + "\"", 0), 0u) << error;
    EXPECT_FALSE(MakeRecordingTransport(nullptr, file.Path(), "korvel", "sim", error));
}

}  // namespace
}  // namespace korvel
