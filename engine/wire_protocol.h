// The instrument's command set as it travels over any transport: every
// command starts with the lead byte and an opcode, and each has one fixed
// length, as has its reply. The device link, the simulated instrument and the
// bridge's filter all speak it from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandLead = 0x7A;
inline constexpr uint8_t kSetFrequencyCommand = 0xA1;
inline constexpr uint8_t kReadDetectorsCommand = 0xA2;
inline constexpr uint8_t kWriteCalPageCommand = 0xA4;

// Lead, opcode, tuning word (4 bytes), a closing 0x01.
inline constexpr int kSetFrequencyLength = 7;
// Lead, opcode, calibration index (2 bytes).
inline constexpr int kReadDetectorsLength = 4;
// Lead, opcode, block, page, four 8-byte records: the longest command.
inline constexpr int kCalPageDataLength = 32;
inline constexpr int kWriteCalPageLength = 4 + kCalPageDataLength;
inline constexpr std::size_t kLargestCommand = kWriteCalPageLength;

// The tune and page-write replies echo lead and opcode; the detector reply
// carries eight words after them.
inline constexpr int kAckReplyLength = 2;
inline constexpr int kDetectorReplyLength = 18;

inline constexpr double kTuningUnitsPerMHz = 35791352.0;

// Calibration memory: one record every 50 kHz from 1 MHz, 4 records a page,
// 32 pages a block. Two records hold no frequency's data.
inline constexpr int kRecordsPerPage = 4;
inline constexpr int kPagesPerBlock = 32;
inline constexpr int kRecordsPerBlock = kRecordsPerPage * kPagesPerBlock;
inline constexpr uint16_t kOpenPortRecord = 767;
inline constexpr uint16_t kInputPowerRecord = 768;

// Eight words of a detector reply: the live vectors, then the stored record
// of the index asked for.
struct DetectorReading {
    uint16_t liveAmp = 0;
    uint16_t liveRef = 0;
    uint16_t livePhase = 0;
    uint16_t livePower = 0;
    uint16_t calAmp = 0;
    uint16_t calRef = 0;
    uint16_t calPhase = 0;
    uint16_t calPower = 0;
};

// Eight bytes of calibration memory: four little-endian words.
struct CalRecord {
    uint16_t amp = 0;
    uint16_t ref = 0;
    uint16_t phase = 0;
    uint16_t power = 0;
};

// round((f - 1) * 20) cut to 16 bits: the truncation of (f - 1) * 20 + 0.5,
// wrapped to 16 bits like an integer cast (0.9 MHz gives 65535). Defined for
// every input: NaN and +-infinity give 0, huge values keep their low 16 bits.
uint16_t CalibrationIndex(double freqMHz);
// f * 35791352 rounded, low 32 bits, wrapped the same way. NaN and
// +-infinity give 0.
uint32_t TuningWord(double freqMHz);
double TunedFreqMHz(uint32_t tuningWord);

// Serialises a record into 8 bytes and back (little-endian words).
void PackCalRecord(const CalRecord& record, uint8_t out[8]);
CalRecord UnpackCalRecord(const uint8_t in[8]);

void EncodeSetFrequency(uint32_t tuningWord, uint8_t out[kSetFrequencyLength]);
void EncodeReadDetectors(uint16_t index, uint8_t out[kReadDetectorsLength]);
void EncodeWriteCalPage(uint8_t block, uint8_t page, const uint8_t data[kCalPageDataLength],
                        uint8_t out[kWriteCalPageLength]);
uint32_t DecodeTuningWord(const uint8_t command[kSetFrequencyLength]);
uint16_t DecodeCalibrationIndex(const uint8_t command[kReadDetectorsLength]);

// The reply's first two bytes carry nothing the program uses.
void EncodeDetectorReply(const DetectorReading& reading, uint8_t out[kDetectorReplyLength]);
DetectorReading DecodeDetectorReply(const uint8_t reply[kDetectorReplyLength]);

// True for exactly one whole command: an opcode the instrument knows, at its
// own length.
bool IsInstrumentCommand(const uint8_t* data, std::size_t length);

}  // namespace korvel
