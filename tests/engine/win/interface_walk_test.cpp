// The enumeration walk against a scripted device-information set.
#include "win/interface_walk.h"

#include <gtest/gtest.h>

#include "fake_setup_api.h"
#include "win/win_transport.h"

namespace korvel::win {
namespace {

using testing::FakeSetupApi;

constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
constexpr DWORD kFixedDetailSize = sizeof(void*) == 8 ? 8 : 5;

TEST(InterfaceWalk, NoInstrumentCountsZeroAndOpensNothing) {
    FakeSetupApi fake;
    EXPECT_EQ(CountInterfaces(fake.Api(), kInstrumentInterfaceGuid), 0);
    EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fake.createFileCalls.empty());
    EXPECT_EQ(fake.setsCreated, 2);
    EXPECT_EQ(fake.setsDestroyed, 2);
    ASSERT_EQ(fake.classDevsFlags.size(), 2u);
    EXPECT_EQ(fake.classDevsFlags[0], 18u);
    EXPECT_EQ(kPresentInterfaces, 18u);
}

TEST(InterfaceWalk, OneInstrumentIsCountedAndOpenedForOverlappedReadWrite) {
    FakeSetupApi fake;
    fake.devicePaths = {"\\\\?\\usb#vid_0000&pid_0001#kdx7720c"};
    EXPECT_EQ(CountInterfaces(fake.Api(), kInstrumentInterfaceGuid), 1);
    EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), FakeSetupApi::kFakeDevice);

    ASSERT_EQ(fake.createFileCalls.size(), 1u);
    const auto& call = fake.createFileCalls[0];
    EXPECT_EQ(call.path, fake.devicePaths[0]);
    EXPECT_EQ(call.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(call.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(call.disposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(call.flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
    // The size member holds the fixed part of the structure for this build.
    for (DWORD cb : fake.detailCbSizes) {
        EXPECT_EQ(cb, kFixedDetailSize);
    }
    EXPECT_EQ(fake.setsDestroyed, fake.setsCreated);
}

TEST(InterfaceWalk, TwoInstrumentsCountTwoAndOnlyTheFirstIsOpened) {
    FakeSetupApi fake;
    fake.devicePaths = {"\\\\?\\first", "\\\\?\\second"};
    EXPECT_EQ(CountInterfaces(fake.Api(), kInstrumentInterfaceGuid), 2);
    EXPECT_EQ((std::vector<DWORD>{0, 1}), fake.detailsFetched);

    EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), FakeSetupApi::kFakeDevice);
    ASSERT_EQ(fake.createFileCalls.size(), 1u);
    EXPECT_EQ(fake.createFileCalls[0].path, "\\\\?\\first");
    EXPECT_EQ(fake.setsDestroyed, 2);
}

TEST(InterfaceWalk, FirstDetailUnavailableOpensNoOtherMember) {
    for (const bool failSizeQuery : {true, false}) {
        SCOPED_TRACE(failSizeQuery ? "size query fails" : "detail fetch fails");
        FakeSetupApi fake;
        fake.devicePaths = {"\\\\?\\first", "\\\\?\\second"};
        (failSizeQuery ? fake.sizeQueryFails : fake.detailFetchFails).insert(0);

        EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), INVALID_HANDLE_VALUE);
        EXPECT_TRUE(fake.createFileCalls.empty());
        EXPECT_EQ(fake.setsDestroyed, 1);
        // A member whose detail is missing still counts.
        EXPECT_EQ(CountInterfaces(fake.Api(), kInstrumentInterfaceGuid), 2);
        EXPECT_EQ(fake.setsDestroyed, 2);
    }
}

TEST(InterfaceWalk, ImplausibleDetailSizesAreNotFetched) {
    for (const DWORD reported : {DWORD{0}, DWORD{2}, kMaxInterfaceDetailSize + 1, DWORD{~0u}}) {
        SCOPED_TRACE(reported);
        FakeSetupApi fake;
        fake.devicePaths = {"\\\\?\\first"};
        fake.reportedSize = reported;
        EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), INVALID_HANDLE_VALUE);
        EXPECT_TRUE(fake.createFileCalls.empty());
        EXPECT_EQ(fake.setsDestroyed, 1);
    }
}

TEST(InterfaceWalk, FailuresToBuildOrOpenGiveDefinedResults) {
    FakeSetupApi fake;
    fake.devicePaths = {"\\\\?\\first"};
    fake.createFileFails = true;
    EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), INVALID_HANDLE_VALUE);
    EXPECT_EQ(fake.setsDestroyed, 1);

    fake.listFails = true;
    EXPECT_EQ(CountInterfaces(fake.Api(), kInstrumentInterfaceGuid), 0);
    EXPECT_EQ(OpenFirstInterface(fake.Api(), kInstrumentInterfaceGuid), INVALID_HANDLE_VALUE);
    EXPECT_EQ(fake.setsCreated, 1);
    EXPECT_EQ(fake.setsDestroyed, 1);
}

TEST(InterfaceWalk, ListThatNeverEndsIsCut) {
    FakeSetupApi fake;
    fake.endlessList = true;
    EXPECT_EQ(CountInterfaces(fake.Api(), kInstrumentInterfaceGuid),
              static_cast<int>(kMaxInterfaceMembers));
    EXPECT_EQ(fake.setsDestroyed, 1);
}

TEST(WinTransportDevices, OpenCloseAndReopenKeepOneHandle) {
    FakeSetupApi fake;
    fake.devicePaths = {"\\\\?\\first"};
    WinTransport transport(fake.Api());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(transport.CountDevices(), 1);
    ASSERT_TRUE(transport.OpenDevice());
    EXPECT_TRUE(transport.IsOpen());
    EXPECT_EQ(transport.Handle(), FakeSetupApi::kFakeDevice);
    ASSERT_TRUE(transport.OpenDevice());  // the first handle is closed, not leaked
    EXPECT_EQ(fake.fakeDevicesClosed, 1);
    transport.CloseDevice();
    EXPECT_FALSE(transport.IsOpen());
    transport.CloseDevice();
    EXPECT_EQ(fake.fakeDevicesClosed, 2);

    fake.createFileFails = true;
    EXPECT_FALSE(transport.OpenDevice());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(transport.WriteBlock(reinterpret_cast<const uint8_t*>("z"), 1), 0);
}

}  // namespace
}  // namespace korvel::win
