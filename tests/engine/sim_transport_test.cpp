#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim/sim_transport.h"
#include "sim_worker_math.h"

namespace korvel {
namespace {

using testing::SimBenchRig;
using Bytes = std::vector<uint8_t>;

// Virtual time: pauses return at once and only move the clock.
class StepClock final : public Clock {
  public:
    bool SleepFor(Milliseconds d, StopSignal& stop) override {
        now_.fetch_add(d.count(), std::memory_order_relaxed);
        return !stop.IsRaised();
    }
    Milliseconds Now() const override { return Milliseconds(now_.load(std::memory_order_relaxed)); }

  private:
    std::atomic<long long> now_{0};
};

const Bytes kRead767{0x7A, 0xA2, 0xFF, 0x02};
const Bytes kTune14{0x7A, 0xA1, 0x41, 0x50, 0x71, 0x1E, 0x01};  // 14.27 MHz

struct ClockedSim {
    ClockedSim() : instrument(std::make_shared<SimInstrument>()), transport(instrument, &clock) {
        transport.OpenDevice();
    }
    int Transfer(const Bytes& command, uint8_t* buffer, int size = 64) {
        transport.WriteBlock(command.data(), static_cast<int>(command.size()));
        return transport.ReadBlock(buffer, size);
    }
    StepClock clock;
    std::shared_ptr<SimInstrument> instrument;
    SimTransport transport;
};

TEST(SimTransportTest, AnswersEachCommandWithItsReplyLength) {
    ClockedSim s;
    uint8_t buffer[64];
    EXPECT_EQ(s.Transfer(kTune14, buffer), 2);
    EXPECT_NEAR(s.instrument->TunedMHz(), 14.27, 1e-7);
    EXPECT_EQ(s.Transfer(kRead767, buffer), 18);
    Bytes page{0x7A, 0xA4, 6, 1};
    page.resize(36, 0);
    EXPECT_EQ(s.Transfer(page, buffer), 2);
    EXPECT_EQ(s.clock.Now().count(), 0);
    const SimCounters c = s.instrument->Counters();
    EXPECT_EQ(c.tunes, 1u);
    EXPECT_EQ(c.reads, 1u);
    EXPECT_EQ(c.pageWrites, 1u);
}

TEST(SimTransportTest, MalformedCommandsGetNoReply) {
    ClockedSim s;
    uint8_t buffer[64];
    for (const Bytes& bad : {Bytes{0x7A}, Bytes{0x00, 0xA2, 0, 0}, Bytes{0x7A, 0xA2, 0},
                             Bytes{0x7A, 0xA3, 0, 0}, Bytes{0x7A, 0xA1, 1, 2, 3, 4}}) {
        EXPECT_EQ(s.Transfer(bad, buffer), 0);
    }
    EXPECT_EQ(s.instrument->Counters().rejected, 5u);
    EXPECT_EQ(s.clock.Now().count(), 5 * kTransferTimeoutMs);
}

TEST(SimTransportTest, WrongLengthRepliesFailTheLinkWithOneMessage) {
    SimBenchRig rig;
    for (const int length : {0, 1, 17, 19, 2000}) {
        SCOPED_TRACE(length);
        rig.state.linkUp.store(1);
        rig.window.messages.clear();
        rig.instrument->ArmFault(SimFault{SimFaultKind::ReplyLength, length});
        DetectorReading r;
        r.liveRef = 77;
        rig.link.ReadDetectors(5, r);
        rig.link.ReadDetectors(5, r);
        EXPECT_EQ(r.liveRef, 77);
        EXPECT_EQ(rig.window.messages.size(), 1u);
        EXPECT_EQ(rig.state.linkUp.load(), 0);
    }
    // The faults are spent: the link works again.
    rig.state.linkUp.store(1);
    DetectorReading r;
    rig.link.ReadDetectors(5, r);
    EXPECT_EQ(rig.state.linkUp.load(), 1);
    EXPECT_NE(r.liveRef, 0);
}

TEST(SimTransportTest, TimeOutReturnsAtOnceAndAdvancesTheClock) {
    ClockedSim s;
    s.instrument->ArmFault(SimFault{SimFaultKind::NoReply});
    uint8_t buffer[64];
    EXPECT_EQ(s.Transfer(kRead767, buffer), 0);
    EXPECT_EQ(s.clock.Now().count(), kTransferTimeoutMs);
    // A read without a command also times out.
    EXPECT_EQ(s.transport.ReadBlock(buffer, 64), 0);
    EXPECT_EQ(s.clock.Now().count(), 2 * kTransferTimeoutMs);
}

TEST(SimTransportTest, LateRepliesArriveInTimeOrNeverLandLater) {
    ClockedSim s;
    uint8_t buffer[64];
    s.instrument->ArmFault(SimFault{SimFaultKind::LateReply, 300});
    EXPECT_EQ(s.Transfer(kTune14, buffer), 2);
    EXPECT_EQ(s.clock.Now().count(), 300);

    s.instrument->ArmFault(SimFault{SimFaultKind::LateReply, 1500});
    EXPECT_EQ(s.Transfer(kTune14, buffer), 0);
    EXPECT_EQ(s.clock.Now().count(), 300 + kTransferTimeoutMs);
    // The next transfer gets its own reply, not the abandoned one.
    EXPECT_EQ(s.Transfer(kRead767, buffer), 18);
    EXPECT_EQ(buffer[1], 0xA2);
}

TEST(SimTransportTest, WordFaultsShapeTheDetectorReply) {
    SimBenchRig rig;
    DetectorReading r;
    rig.instrument->ArmFault(SimFault{SimFaultKind::ZeroReference});
    rig.link.ReadDetectors(265, r);
    EXPECT_EQ(r.liveRef, 0);
    EXPECT_NE(r.calRef, 0);
    rig.instrument->ArmFault(SimFault{SimFaultKind::AllWordsZero});
    rig.link.ReadDetectors(265, r);
    EXPECT_EQ(r.liveAmp | r.liveRef | r.livePhase | r.livePower | r.calAmp | r.calRef | r.calPhase |
                  r.calPower,
              0);
    rig.instrument->ArmFault(SimFault{SimFaultKind::AllWordsOnes});
    rig.link.ReadDetectors(265, r);
    EXPECT_EQ(r.liveAmp & r.liveRef & r.livePhase & r.livePower & r.calAmp & r.calRef & r.calPhase &
                  r.calPower,
              0xFFFF);
    // Well-formed replies with odd words are not link errors.
    EXPECT_TRUE(rig.window.messages.empty());
    EXPECT_EQ(rig.state.linkUp.load(), 1);
}

TEST(SimTransportTest, OversizedRepliesAreReportedButCopiedOnlyIntoTheBuffer) {
    ClockedSim s;
    uint8_t buffer[70];
    std::fill(buffer, buffer + 70, 0x00);
    s.instrument->ArmFault(SimFault{SimFaultKind::HugeFrame});
    EXPECT_EQ(s.Transfer(kRead767, buffer, 64), 65535);
    EXPECT_EQ(buffer[63], 0xA5);
    EXPECT_EQ(buffer[64], 0x00);
    s.instrument->ArmFault(SimFault{SimFaultKind::Garbage, 40});
    EXPECT_EQ(s.Transfer(kRead767, buffer), 40);
    // A frame cut short never completes in process.
    s.instrument->ArmFault(SimFault{SimFaultKind::TruncatedFrame, 5});
    EXPECT_EQ(s.Transfer(kRead767, buffer), 0);
}

TEST(SimTransportTest, UnplugKillsTheHandleUntilReplugAndReopen) {
    ClockedSim s;
    uint8_t buffer[64];
    EXPECT_EQ(s.transport.CountDevices(), 1);
    s.instrument->Unplug();
    EXPECT_EQ(s.transport.CountDevices(), 0);
    EXPECT_EQ(s.Transfer(kTune14, buffer), 0);
    EXPECT_FALSE(s.transport.OpenDevice());
    s.instrument->Replug();
    EXPECT_EQ(s.transport.CountDevices(), 1);
    EXPECT_EQ(s.Transfer(kTune14, buffer), 0);  // the old handle stays dead
    ASSERT_TRUE(s.transport.OpenDevice());
    EXPECT_EQ(s.Transfer(kTune14, buffer), 2);
}

TEST(SimTransportTest, TwoInstrumentsAndFailingOpens) {
    ClockedSim s;
    s.instrument->SetInstrumentCount(2);
    EXPECT_EQ(s.transport.CountDevices(), 2);
    s.instrument->FailNextOpens(2);
    EXPECT_FALSE(s.transport.OpenDevice());
    EXPECT_FALSE(s.transport.IsOpen());
    EXPECT_FALSE(s.transport.OpenDevice());
    EXPECT_TRUE(s.transport.OpenDevice());
    s.transport.CloseDevice();
    uint8_t buffer[64];
    EXPECT_EQ(s.Transfer(kTune14, buffer), 0);
}

TEST(SimTransportTest, InterruptEndsTimeOutsWithoutWaiting) {
    ClockedSim s;
    s.transport.Interrupt();
    s.instrument->ArmFault(SimFault{SimFaultKind::NoReply});
    uint8_t buffer[64];
    EXPECT_EQ(s.Transfer(kTune14, buffer), 0);
    EXPECT_EQ(s.clock.Now().count(), 0);
}

// A test thread arms faults and changes the bench while the worker thread
// transfers: every transfer ends in a whole reply or a clean failure.
TEST(SimTransportTest, FaultsCanBeArmedWhileTransfersRun) {
    auto instrument = std::make_shared<SimInstrument>();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        SimTransport transport(instrument);
        transport.OpenDevice();
        uint8_t buffer[64];
        for (int i = 0; i < 3000; ++i) {
            transport.WriteBlock(kRead767.data(), 4);
            const int n = transport.ReadBlock(buffer, 64);
            EXPECT_TRUE(n == 0 || n == 17 || n == 18 || n == 65535) << n;
        }
        done.store(true);
    });
    const SimBench benches[] = {SimBench::Antenna, SimBench::DummyLoad, SimBench::OpenPort};
    for (int i = 0; i < 2000 && !done.load(); ++i) {
        instrument->ArmFault(SimFault{i % 3 == 0   ? SimFaultKind::ReplyLength
                                      : i % 3 == 1 ? SimFaultKind::NoReply
                                                   : SimFaultKind::HugeFrame,
                                      17, 5});
        instrument->SetBench(benches[i % 3]);
        if (i % 50 == 0) {
            instrument->ClearFaults();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    worker.join();
}

}  // namespace
}  // namespace korvel
