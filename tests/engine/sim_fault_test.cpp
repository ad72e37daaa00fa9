#include <gtest/gtest.h>

#include "sim/sim_fault.h"

namespace korvel {
namespace {

// Which of `replies` replies the schedule hits (1-based).
std::vector<int> Hits(SimFaultSchedule& schedule, int replies) {
    std::vector<int> hits;
    for (int i = 1; i <= replies; ++i) {
        if (schedule.Next() != nullptr) {
            hits.push_back(i);
        }
    }
    return hits;
}

TEST(SimFaultScheduleTest, AfterEveryAndCountShapeTheHits) {
    SimFaultSchedule s;
    s.Arm(SimFault{SimFaultKind::NoReply, 0, 2, 3, 2});
    EXPECT_EQ(Hits(s, 12), (std::vector<int>{3, 5, 7}));
    EXPECT_TRUE(s.Empty());

    s.Arm(SimFault{SimFaultKind::NoReply, 0, 0, kFaultForever, 4});
    EXPECT_EQ(Hits(s, 9), (std::vector<int>{1, 5, 9}));
    EXPECT_FALSE(s.Empty());
    s.Clear();
    EXPECT_EQ(Hits(s, 3), std::vector<int>{});
}

TEST(SimFaultScheduleTest, FaultsDueTogetherAreCommittedOneAfterTheOther) {
    SimFaultSchedule s;
    s.Arm(SimFault{SimFaultKind::ReplyLength, 17, 0, 1, 1});
    s.Arm(SimFault{SimFaultKind::NoReply, 0, 0, 2, 1});
    std::vector<SimFaultKind> kinds;
    while (const SimFault* f = s.Next()) {
        kinds.push_back(f->kind);
    }
    // Every armed fault is committed as many times as it was armed for.
    EXPECT_EQ(kinds, (std::vector<SimFaultKind>{SimFaultKind::ReplyLength, SimFaultKind::NoReply,
                                                SimFaultKind::NoReply}));
    EXPECT_TRUE(s.Empty());
}

TEST(SimFaultScheduleTest, ZeroCountArmsNothing) {
    SimFaultSchedule s;
    s.Arm(SimFault{SimFaultKind::NoReply, 0, 0, 0, 1});
    EXPECT_TRUE(s.Empty());
}

TEST(SimFaultParseTest, ReadsKindValueAndSchedule) {
    SimFault f;
    std::string error;
    ASSERT_TRUE(ParseSimFault("length=2000", f, error)) << error;
    EXPECT_EQ(f.kind, SimFaultKind::ReplyLength);
    EXPECT_EQ(f.value, 2000);
    EXPECT_EQ(f.count, 1);
    ASSERT_TRUE(ParseSimFault("late=1500,after=3,count=forever,every=10", f, error)) << error;
    EXPECT_EQ(f.kind, SimFaultKind::LateReply);
    EXPECT_EQ(f.value, 1500);
    EXPECT_EQ(f.after, 3u);
    EXPECT_EQ(f.count, kFaultForever);
    EXPECT_EQ(f.every, 10u);
    ASSERT_TRUE(ParseSimFault("frame-65535", f, error));
    EXPECT_EQ(f.kind, SimFaultKind::HugeFrame);
    ASSERT_TRUE(ParseSimFault("garbage", f, error));
    EXPECT_EQ(f.value, 0);
}

TEST(SimFaultParseTest, RejectsBadTextWithAMessage) {
    for (const char* bad : {"", "bogus", "length", "length=-1", "length=70000", "late=x",
                            "timeout,after=", "timeout,count=0", "timeout,every=0",
                            "timeout,when=3", "zero-ref,after=-2"}) {
        SimFault f;
        std::string error;
        EXPECT_FALSE(ParseSimFault(bad, f, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace korvel
