// The device link's reply handling against arbitrary replies: a transport
// hands out the fuzzer's bytes as the instrument's answers to a command
// sequence that the same bytes choose. Whatever comes back, the link must
// send only well-formed blocks, take words only from a reply of the exact
// length, show one message per failure and keep quiet while the link is
// down. The words it hands out then go through the measurement arithmetic,
// which must stay defined for every word.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/device_link.h"
#include "core/measurement_math.h"
#include "core/measurement_state.h"
#include "device_transport.h"
#include "fuzz_check.h"
#include "recording_window.h"

namespace {

using namespace korvel;

// Reads the fuzzer's bytes front to back; runs dry as zeros.
class ByteSource {
  public:
    ByteSource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<uint64_t>(Byte()) << (8 * i);
        }
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    float Float() {
        const uint32_t bits = Word() | (static_cast<uint32_t>(Word()) << 16);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Each reply is one length byte (0-255, so over-long replies happen too)
// followed by that many bytes; the length byte 0 is a time-out.
class FuzzTransport final : public DeviceTransport {
  public:
    explicit FuzzTransport(ByteSource& source) : source_(source) {}
    int CountDevices() override { return 1; }
    bool OpenDevice() override { return open_ = true; }
    bool IsOpen() const override { return open_; }
    void CloseDevice() override { open_ = false; }
    int WriteBlock(const uint8_t* data, int length) override {
        FUZZ_CHECK(length > 0 && length <= 64);
        lastWrite.assign(data, data + length);
        ++writes;
        return length;
    }
    int ReadBlock(uint8_t* buffer, int length) override {
        const int replyLength = source_.Byte();
        lastReply.clear();
        for (int i = 0; i < replyLength; ++i) {
            const uint8_t b = source_.Byte();
            lastReply.push_back(b);
            if (i < length) {
                buffer[i] = b;
            }
        }
        return replyLength;
    }

    std::vector<uint8_t> lastWrite;
    std::vector<uint8_t> lastReply;
    int writes = 0;

  private:
    ByteSource& source_;
    bool open_ = false;
};

uint16_t ReplyWord(const std::vector<uint8_t>& reply, int at) {
    return static_cast<uint16_t>(reply[at] | (reply[at + 1] << 8));
}

bool SameReading(const DetectorReading& a, const DetectorReading& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The arithmetic the worker applies to a reading: defined for every word.
void CheckArithmetic(const DetectorReading& r, ByteSource& source) {
    const double gamma = DetectorRatio(r.liveAmp, r.liveRef);
    const double phase = DetectorPhase(r.livePhase, r.liveRef);
    const double calGamma = DetectorRatio(r.calAmp, r.calRef);
    const double calPhase = DetectorPhase(r.calPhase, r.calRef);
    const double difference = DifferenceMagnitude(gamma, phase, calGamma, calPhase);
    const double sweep = VswrFromGammaSweep(difference);
    FUZZ_CHECK(sweep >= 1.0 && sweep <= kSweepVswrCeiling);
    const double smith = VswrFromGammaSmith(difference);
    FUZZ_CHECK(smith >= 1.0 && smith <= kSmithVswrCeiling);
    (void)SignTest(gamma, phase);
    (void)ReflectionAngle(gamma * std::cos(phase), gamma * std::sin(phase));
    (void)ImpedanceFromGamma(gamma, phase);
    (void)ImpedanceFromGamma(source.Double(), source.Double());

    const PowerCurve curve = BuildPowerCurve(r.calRef, r.calPower, static_cast<float>(r.calPhase));
    (void)ReadingToDbm(r.livePower, curve);
    (void)ReadingToDbm(source.Float(), curve);
    const PowerCurve anyCurve = BuildPowerCurve(source.Float(), source.Float(), source.Float());
    (void)ReadingToDbm(source.Float(), anyCurve);

    const double freq = source.Double();
    (void)CalibrationIndex(freq);
    (void)TuningWord(freq);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ByteSource source(data, size);
    FuzzTransport transport(source);
    MeasurementState state;
    korvel::testing::RecordingWindow window;
    DeviceLink link(transport, state, window);
    link.OpenDevice();
    state.linkUp.store(1, kRelaxed);

    for (int step = 0; step < 64 && !source.Empty(); ++step) {
        const uint8_t op = source.Byte();
        const bool up = state.linkUp.load(kRelaxed) == 1;
        const int writesBefore = transport.writes;
        const std::size_t messagesBefore = window.messages.size();
        int expectedLength = kAckReplyLength;
        std::string failureText = "USB Link Error！";
        DetectorReading reading;
        const DetectorReading before = reading;

        switch (op % 4) {
            case 0: {
                const uint32_t word = source.Word() | (static_cast<uint32_t>(source.Word()) << 16);
                link.SetFrequency(word);
                if (up) {
                    FUZZ_CHECK(transport.lastWrite.size() == kSetFrequencyLength);
                    FUZZ_CHECK(transport.lastWrite[1] == kSetFrequencyCommand &&
                               transport.lastWrite[6] == 0x01);
                    uint32_t sent = 0;
                    std::memcpy(&sent, transport.lastWrite.data() + 2, 4);
                    FUZZ_CHECK(sent == word);
                }
                break;
            }
            case 1: {
                const uint16_t index = source.Word();
                link.ReadDetectors(index, reading);
                expectedLength = kDetectorReplyLength;
                if (up) {
                    FUZZ_CHECK(transport.lastWrite.size() == kReadDetectorsLength &&
                               transport.lastWrite[1] == kReadDetectorsCommand);
                    FUZZ_CHECK(ReplyWord(transport.lastWrite, 2) == index);
                }
                break;
            }
            case 2: {
                uint8_t page[kCalPageDataLength];
                for (uint8_t& b : page) {
                    b = source.Byte();
                }
                const uint8_t block = source.Byte();
                const uint8_t pageIndex = source.Byte();
                link.WriteCalPage(block, pageIndex, page);
                failureText = "USB Link Error";
                if (up) {
                    FUZZ_CHECK(transport.lastWrite.size() == kWriteCalPageLength &&
                               transport.lastWrite[1] == kWriteCalPageCommand);
                    FUZZ_CHECK(transport.lastWrite[2] == block &&
                               transport.lastWrite[3] == pageIndex);
                    FUZZ_CHECK(
                        std::memcmp(transport.lastWrite.data() + 4, page, kCalPageDataLength) == 0);
                }
                break;
            }
            default:
                // The worker reconnects.
                state.linkUp.store(1, kRelaxed);
                continue;
        }

        if (!up) {
            // Down: nothing sent, nothing shown, outputs untouched.
            FUZZ_CHECK(transport.writes == writesBefore);
            FUZZ_CHECK(window.messages.size() == messagesBefore);
            FUZZ_CHECK(SameReading(reading, before));
            continue;
        }
        FUZZ_CHECK(transport.writes == writesBefore + 1 && transport.lastWrite[0] == kCommandLead);
        const bool good = static_cast<int>(transport.lastReply.size()) == expectedLength;
        if (good) {
            FUZZ_CHECK(state.linkUp.load(kRelaxed) == 1);
            FUZZ_CHECK(window.messages.size() == messagesBefore);
            if (op % 4 == 1) {
                const auto& r = transport.lastReply;
                FUZZ_CHECK(reading.liveAmp == ReplyWord(r, 2) &&
                           reading.liveRef == ReplyWord(r, 4));
                FUZZ_CHECK(reading.livePhase == ReplyWord(r, 6));
                FUZZ_CHECK(reading.livePower == ReplyWord(r, 8));
                FUZZ_CHECK(reading.calAmp == ReplyWord(r, 10) &&
                           reading.calRef == ReplyWord(r, 12));
                FUZZ_CHECK(reading.calPhase == ReplyWord(r, 14));
                FUZZ_CHECK(reading.calPower == ReplyWord(r, 16));
                CheckArithmetic(reading, source);
            }
        } else {
            FUZZ_CHECK(state.linkUp.load(kRelaxed) == 0);
            FUZZ_CHECK(window.messages.size() == messagesBefore + 1);
            FUZZ_CHECK(window.messages.back() == failureText);
            FUZZ_CHECK(SameReading(reading, before));
        }
    }
    return 0;
}
