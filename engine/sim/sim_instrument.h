// The simulated KDX7720C: firmware that answers the three commands from a
// physical model of the bridge and detectors, a calibration memory pre-filled
// with a factory calibration, seeded ADC noise, and fault injection. Every
// member is thread-safe: a test thread may change the bench or arm faults
// while the worker thread transfers.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

#include "sim_bench.h"
#include "sim_fault.h"
#include "sim_physics.h"
#include "touchstone.h"
#include "wire_protocol.h"

namespace korvel {

// What the instrument sends back for one command block.
struct SimReply {
    std::vector<uint8_t> bytes;
    // False when no reply ever comes (a rejected command or a time-out fault).
    bool answered = true;
    // How late the reply comes, ms.
    int delayMs = 0;
    // For a cut frame: the length its header announces; -1 when whole.
    int announcedLength = -1;
};

struct SimCounters {
    uint64_t tunes = 0;
    uint64_t reads = 0;
    uint64_t pageWrites = 0;
    // Page writes acknowledged but outside the memory (block above the last).
    uint64_t ignoredPageWrites = 0;
    // Blocks that were not a well-formed command; they get no reply.
    uint64_t rejected = 0;
};

struct SimPageWrite {
    uint8_t block = 0;
    uint8_t page = 0;
};

class SimInstrument {
  public:
    // 10 blocks of 128 records: 1.00 to 64.95 MHz, past the 60 MHz top.
    static constexpr int kRecordCount = 1280;
    static constexpr std::size_t kPageWriteLogLimit = 65536;

    explicit SimInstrument(uint32_t noiseSeed = 1);

    // The firmware: one command block in, the reply out.
    SimReply Transact(const uint8_t* command, int length);

    void SetBench(SimBench bench);
    SimBench Bench() const;
    // Makes a Touchstone file's circuit the device under test and connects it
    // (SimBench::TouchstoneFile).
    void SetTouchstone(std::shared_ptr<const sim::TouchstoneData> file);
    // What goes back on the ports after a calibration: the file's circuit when
    // one was given, otherwise the antenna.
    SimBench DeviceUnderTest() const;
    // Scales the ADC noise (1 = normal, 0 = none).
    void SetNoiseScale(double scale);

    // Calibration memory. Records outside the memory read as erased (0xFFFF).
    CalRecord Record(int n) const;
    void SetRecord(int n, const CalRecord& record);
    // Refills the memory as it left the factory.
    void LoadFactoryCalibration();
    // The frequency the generator was last tuned to, MHz.
    double TunedMHz() const;

    SimCounters Counters() const;
    // Page writes in order (the first kPageWriteLogLimit of them).
    std::vector<SimPageWrite> PageWrites() const;

    void ArmFault(const SimFault& fault);
    void ClearFaults();

    // The USB bus around the instrument.
    int PresentCount() const;
    // How many identical instruments are plugged in (1 or 2 ...; at least 1).
    void SetInstrumentCount(int count);
    void Unplug();
    void Replug();
    // Changes at every unplug: a handle opened before it is dead. While
    // unplugged it is kUnplugged.
    static constexpr uint64_t kUnplugged = ~uint64_t{0};
    uint64_t PlugGeneration() const;
    // The next `count` opens fail as if the device could not be opened.
    void FailNextOpens(int count);
    // True when an open attempt must fail (consumes one forced failure).
    bool TakeOpenFailure();

  private:
    SimReply Answer(const uint8_t* command, int length);
    void ApplyFault(const SimFault& fault, uint8_t command, SimReply& reply);
    uint16_t NoisyWord(double value, double sigma, double max);
    sim::AnalogWords LiveOutputs() const;
    CalRecord FactoryRecord(int n) const;

    mutable std::mutex mutex_;
    std::mt19937 rng_;
    std::normal_distribution<double> gauss_{0.0, 1.0};
    double noiseScale_ = 1.0;
    SimBench bench_ = SimBench::Antenna;
    std::shared_ptr<const sim::TouchstoneData> touchstone_;
    double tunedMHz_ = 10.0;
    std::vector<CalRecord> memory_;
    SimCounters counters_;
    std::vector<SimPageWrite> pageWrites_;
    SimFaultSchedule faults_;
    int instrumentCount_ = 1;
    bool plugged_ = true;
    uint64_t plugGeneration_ = 0;
    int failOpens_ = 0;
};

}  // namespace korvel
