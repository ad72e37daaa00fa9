// Transfers on a real overlapped handle: a message pipe whose far end plays
// the instrument, opened through the interface walk like the instrument.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <memory>
#include <thread>

#include "fake_setup_api.h"
#include "pipe_instrument.h"
#include "win/win_transport.h"

namespace korvel::win {
namespace {

using testing::FakeSetupApi;
using testing::PipeInstrument;
using Bytes = std::vector<uint8_t>;

// Generous: transfers that should succeed never wait this long.
constexpr TransferTimeouts kPatient{10000, 10000};
// For transfers that are meant to run out of time.
constexpr TransferTimeouts kHasty{300, 10000};

const Bytes kTune = {0x7A, 0xA1, 0x41, 0x2C, 0x71, 0x1E, 0x01};
const Bytes kReadIndex265 = {0x7A, 0xA2, 0x09, 0x01};

Bytes Counting(int n, uint8_t first = 1) {
    Bytes b(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        b[static_cast<size_t>(i)] = static_cast<uint8_t>(first + i);
    }
    return b;
}

class PipeTransfer : public ::testing::Test {
  protected:
    void Connect(std::vector<PipeInstrument::Step> script, TransferTimeouts timeouts) {
        instrument_ = std::make_unique<PipeInstrument>(std::move(script));
        ASSERT_TRUE(instrument_->IsListening());
        fake_.devicePaths = {instrument_->Path()};
        fake_.forwardCreateFile = true;
        transport_ = std::make_unique<WinTransport>(fake_.Api(), timeouts);
        ASSERT_TRUE(transport_->OpenDevice());
    }

    // Sends a command and reads the reply into a buffer of `expected` bytes
    // followed by guard bytes; returns ReadBlock's count.
    int Exchange(const Bytes& command, int expected, Bytes* reply = nullptr) {
        EXPECT_EQ(transport_->WriteBlock(command.data(), static_cast<int>(command.size())),
                  static_cast<int>(command.size()));
        Bytes buffer(static_cast<size_t>(expected) + 8, 0xEE);
        const int count = transport_->ReadBlock(buffer.data(), expected);
        for (size_t i = static_cast<size_t>(expected); i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], 0xEE) << "ReadBlock wrote past its length at " << i;
        }
        buffer.resize(static_cast<size_t>(expected));
        if (reply != nullptr) {
            *reply = buffer;
        }
        return count;
    }

    void TearDown() override {
        transport_.reset();  // the client goes first, ending the server's read
        instrument_.reset();
    }

    FakeSetupApi fake_;
    std::unique_ptr<PipeInstrument> instrument_;
    std::unique_ptr<WinTransport> transport_;
};

TEST_F(PipeTransfer, FullRepliesOfTheThreeCommands) {
    const Bytes detectors = Counting(18);
    Connect({PipeInstrument::Reply({0xA1, 0x00}), PipeInstrument::Reply(detectors),
             PipeInstrument::Reply({0xA4, 0x00})},
            kPatient);
    Bytes page(36, 0x55);
    page[0] = 0x7A;
    page[1] = 0xA4;

    Bytes reply;
    EXPECT_EQ(Exchange(kTune, 2, &reply), 2);
    EXPECT_EQ(reply, (Bytes{0xA1, 0x00}));
    EXPECT_EQ(Exchange(kReadIndex265, 18, &reply), 18);
    EXPECT_EQ(reply, detectors);
    EXPECT_EQ(Exchange(page, 2, &reply), 2);
    EXPECT_EQ(reply, (Bytes{0xA4, 0x00}));

    EXPECT_EQ(instrument_->Commands(), (std::vector<Bytes>{kTune, kReadIndex265, page}));
}

TEST_F(PipeTransfer, ShortAndLongRepliesKeepTheirTrueLength) {
    Connect({PipeInstrument::Reply(Counting(17)), PipeInstrument::Reply(Counting(20)),
             PipeInstrument::Reply(Counting(200)), PipeInstrument::Reply(Counting(18, 100))},
            kPatient);
    Bytes reply;
    EXPECT_EQ(Exchange(kReadIndex265, 18, &reply), 17);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 17), Counting(17));

    // Longer than asked for: the count says so, the buffer gets its length only.
    EXPECT_EQ(Exchange(kReadIndex265, 18, &reply), 20);
    EXPECT_EQ(reply, Counting(18));

    // Longer than any read: reported as too long, and its tail is not taken
    // for the next reply.
    EXPECT_GT(Exchange(kReadIndex265, 18, &reply), 18);
    EXPECT_EQ(reply, Counting(18));
    EXPECT_EQ(Exchange(kReadIndex265, 18, &reply), 18);
    EXPECT_EQ(reply, Counting(18, 100));
}

TEST_F(PipeTransfer, ReplyAfterTheTimeOutNeverReachesALaterTransfer) {
    Connect({PipeInstrument::HoldReply(Counting(18)), PipeInstrument::Reply(Counting(18, 100))},
            kHasty);
    ASSERT_EQ(transport_->WriteBlock(kReadIndex265.data(), 4), 4);
    Bytes abandoned(18, 0xEE);
    EXPECT_EQ(transport_->ReadBlock(abandoned.data(), 18), 0);

    ASSERT_TRUE(instrument_->ReleaseHeldReply());
    EXPECT_EQ(abandoned, Bytes(18, 0xEE));  // the late reply did not land here

    Bytes reply;
    EXPECT_EQ(Exchange(kReadIndex265, 18, &reply), 18);
    EXPECT_EQ(reply, Counting(18, 100));
    EXPECT_EQ(transport_->Channel().StuckTransfers(), 0);
}

TEST_F(PipeTransfer, ReplyThatNeverComesDoesNotHoldUpLaterTransfers) {
    Connect({PipeInstrument::Silent(), PipeInstrument::Reply({0xA1, 0x00}),
             PipeInstrument::Reply(Counting(18))},
            kHasty);
    EXPECT_EQ(Exchange(kTune, 2), 0);
    Bytes reply;
    EXPECT_EQ(Exchange(kTune, 2, &reply), 2);
    EXPECT_EQ(reply, (Bytes{0xA1, 0x00}));
    EXPECT_EQ(Exchange(kReadIndex265, 18, &reply), 18);
    EXPECT_EQ(reply, Counting(18));
}

TEST_F(PipeTransfer, PeerClosingMidTransferEndsItAtOnce) {
    Connect({PipeInstrument::HangUp()}, kPatient);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(transport_->WriteBlock(kReadIndex265.data(), 4), 4);
    Bytes buffer(18, 0xEE);
    EXPECT_EQ(transport_->ReadBlock(buffer.data(), 18), 0);
    EXPECT_EQ(transport_->WriteBlock(kTune.data(), 7), 0);
    EXPECT_EQ(transport_->ReadBlock(buffer.data(), 2), 0);
    // Far below the 10 s the transfers were allowed: nobody waited for a reply.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(buffer, Bytes(18, 0xEE));
}

TEST_F(PipeTransfer, InterruptCutsAWaitingTransferShort) {
    Connect({PipeInstrument::Silent()}, kPatient);
    ASSERT_EQ(transport_->WriteBlock(kTune.data(), 7), 7);
    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        transport_->Interrupt();
    });
    Bytes buffer(2, 0xEE);
    EXPECT_EQ(transport_->ReadBlock(buffer.data(), 2), 0);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The worker is ending: nothing more goes out.
    EXPECT_EQ(transport_->WriteBlock(kTune.data(), 7), 0);
    EXPECT_EQ(instrument_->Commands().size(), 1u);
}

TEST_F(PipeTransfer, MeaninglessArgumentsTransferNothing) {
    Connect({}, kPatient);
    uint8_t byte = 0x5A;
    EXPECT_EQ(transport_->WriteBlock(nullptr, 4), 0);
    EXPECT_EQ(transport_->WriteBlock(&byte, 0), 0);
    EXPECT_EQ(transport_->WriteBlock(&byte, -3), 0);
    EXPECT_EQ(transport_->ReadBlock(nullptr, 2), 0);
    EXPECT_EQ(transport_->ReadBlock(&byte, -1), 0);
    EXPECT_EQ(transport_->ReadBlock(&byte, INT_MAX), 0);
    EXPECT_EQ(transport_->WriteBlock(&byte, kMaxBlockLength + 1), 0);
    EXPECT_EQ(byte, 0x5A);
    transport_->CloseDevice();
    EXPECT_EQ(transport_->WriteBlock(&byte, 1), 0);
    EXPECT_TRUE(instrument_->Commands().empty());
}

}  // namespace
}  // namespace korvel::win
