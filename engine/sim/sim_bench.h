// What is connected to the simulated instrument's ports.
#pragma once

namespace korvel {

enum class SimBench {
    // The three-band antenna on the Output Port, a band-pass filter around
    // 21 MHz from the Output Port into the Input Port.
    Antenna,
    // A 50 ohm cable from the Output Port to the Input Port.
    ThroughCable,
    // A 50 ohm load on the Output Port, nothing on the Input Port.
    DummyLoad,
    // Nothing on either port.
    OpenPort,
    // A 15 MHz signal of 0 dBm into the Input Port, Output Port open.
    Source0dBm,
    // A 15 MHz signal of -20 dBm into the Input Port, Output Port open.
    SourceMinus20dBm,
    // The circuit of a Touchstone file given to the instrument (nothing on
    // either port while it has none).
    TouchstoneFile,
};

}  // namespace korvel
