// A reader for Touchstone version 1 files of one port (.s1p) and two ports
// (.s2p): the option line "# [Hz|kHz|MHz|GHz] [S] [MA|DB|RI] [R n]" with the
// format's defaults (GHz, S, MA, R 50), "!" comments, any reference
// resistance. The data are kept referred to 50 ohm, the instrument's own
// reference. Bad files give a message naming the file and line; nothing
// throws.
#pragma once

#include <complex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::sim {

using Complex = std::complex<double>;

// Scattering parameters at one frequency, 50 ohm reference. A one-port file
// sets s11 alone.
struct SParameters {
    Complex s11;
    Complex s21;
    Complex s12;
    Complex s22;
};

struct TouchstoneData {
    int ports = 1;
    // Strictly increasing, MHz.
    std::vector<double> freqMHz;
    std::vector<SParameters> points;
    // The first line of a one-port file whose |S11| is above 1 (0: none),
    // and that magnitude: a passive load cannot reflect more than it gets.
    int activeLine = 0;
    double activeMagnitude = 0;

    // Linear in the real and imaginary parts between the file's frequencies;
    // nothing outside them.
    std::optional<SParameters> At(double freqMHz) const;
};

// 1 for a name ending in .s1p, 2 for .s2p (any case), 0 otherwise.
int TouchstonePortsOfName(std::string_view path);

// Reads `text` as a file of `ports` ports; `name` goes into the messages.
bool ParseTouchstone(std::string_view text, int ports, const std::string& name, TouchstoneData& out,
                     std::string& error);

// Reads the file at `path` (a regular file of at most 64 MiB); the port count
// comes from its name.
bool ReadTouchstoneFile(const std::string& path, TouchstoneData& out, std::string& error);

}  // namespace korvel::sim
