#include "touchstone.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "input_file.h"

namespace korvel::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSystemOhms = 50.0;
// Far beyond any real measurement file; keeps a wrong path (a disk image)
// from being read into memory whole.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
// No line of a version 1 file has more (a two-port data line has 9, the
// option line 6): the tokens of one line stay few whatever the file holds.
constexpr std::size_t kMaxTokensPerLine = 16;
// Far beyond any measurement, and the frequencies' memory stays near the
// file's own size.
constexpr std::size_t kMaxPoints = 1000000;
// |S| above this in a one-port file is a load giving back more than it gets.
constexpr double kPassiveLimit = 1.0 + 1e-9;

enum class Format { MagnitudeAngle, DecibelAngle, RealImaginary };

struct Options {
    double unitMHz = 1000.0;  // GHz
    Format format = Format::MagnitudeAngle;
    double referenceOhms = 50.0;
};

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// A token as it can be shown in a message: printable, not too long.
std::string Shown(std::string_view token) {
    std::string out;
    for (const char c : token.substr(0, 24)) {
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return token.size() > 24 ? out + "..." : out;
}

// At most `limit` + 1 tokens: one more than a line may have shows it has too many.
std::vector<std::string_view> Tokens(std::string_view line, std::size_t limit) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() <= limit) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            ++i;
        }
        if (i > start) {
            out.push_back(line.substr(start, i - start));
        }
    }
    return out;
}

// A finite decimal number; a leading '+' is allowed as in C's own reading.
bool ParseNumber(std::string_view token, double& out) {
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
            return false;
        }
    }
    double v = 0;
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, v);
    if (token.empty() || ec != std::errc() || ptr != end || !std::isfinite(v)) {
        return false;
    }
    out = v;
    return true;
}

class Reader {
  public:
    Reader(int ports, const std::string& name, TouchstoneData& out, std::string& error)
        : ports_(ports), name_(name), out_(out), error_(error) {}

    bool Line(std::string_view line, int number) {
        line_ = number;
        line = line.substr(0, line.find('!'));
        const std::vector<std::string_view> tokens = Tokens(line, kMaxTokensPerLine);
        if (tokens.empty()) {
            return true;
        }
        if (tokens.size() > kMaxTokensPerLine) {
            return Fail("more than " + std::to_string(kMaxTokensPerLine) +
                        " fields on one line, more than any Touchstone line has");
        }
        if (tokens.front().front() == '[') {
            return Fail("the Touchstone 2 keyword " + Shown(tokens.front()) + " is not read");
        }
        if (tokens.front().front() == '#') {
            return OptionLine(tokens);
        }
        return DataLine(tokens);
    }

    bool Finish() {
        if (out_.points.empty()) {
            error_ = name_ + ": no data";
            return false;
        }
        return true;
    }

  private:
    bool Fail(const std::string& what) {
        error_ = name_ + " line " + std::to_string(line_) + ": " + what + ".";
        return false;
    }

    bool OptionLine(const std::vector<std::string_view>& tokens) {
        if (!out_.points.empty() || inNoise_) {
            return Fail("the option line must come before the data");
        }
        if (seenOptions_) {
            return true;  // the format's rule: only the first one counts
        }
        seenOptions_ = true;
        // "#" may stand alone or lead the first word ("#MHz").
        std::vector<std::string> words;
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            std::string_view t = tokens[k];
            if (k == 0) {
                t.remove_prefix(1);
            }
            if (!t.empty()) {
                words.push_back(Upper(t));
            }
        }
        for (std::size_t k = 0; k < words.size(); ++k) {
            const std::string& w = words[k];
            if (w == "HZ" || w == "KHZ" || w == "MHZ" || w == "GHZ") {
                options_.unitMHz = w == "HZ" ? 1e-6 : w == "KHZ" ? 1e-3 : w == "MHZ" ? 1.0 : 1e3;
            } else if (w == "S") {
            } else if (w == "Y" || w == "Z" || w == "H" || w == "G") {
                return Fail("only S parameters are read, not " + w);
            } else if (w == "MA" || w == "DB" || w == "RI") {
                options_.format = w == "MA"   ? Format::MagnitudeAngle
                                  : w == "DB" ? Format::DecibelAngle
                                              : Format::RealImaginary;
            } else if (w == "R") {
                double r = 0;
                if (k + 1 >= words.size() || !ParseNumber(words[k + 1], r) || !(r > 0)) {
                    return Fail("R needs a reference resistance above 0 ohm");
                }
                options_.referenceOhms = r;
                ++k;
            } else {
                return Fail("unknown option \"" + Shown(w) + "\"");
            }
        }
        return true;
    }

    Complex Value(double a, double b) const {
        switch (options_.format) {
            case Format::RealImaginary:
                return {a, b};
            case Format::DecibelAngle:
                return std::polar(std::pow(10.0, a / 20), b * kPi / 180);
            case Format::MagnitudeAngle:
                break;
        }
        return std::polar(a, b * kPi / 180);
    }

    bool DataLine(const std::vector<std::string_view>& tokens) {
        std::vector<double> v(tokens.size());
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            if (!ParseNumber(tokens[k], v[k])) {
                return Fail("\"" + Shown(tokens[k]) + "\" is not a number");
            }
        }
        const double f = v[0] * options_.unitMHz;
        // Two-port files may end with noise parameters (five columns), which
        // start where the frequency goes back; the simulator has no use for them.
        const bool noiseStarts =
            ports_ == 2 && v.size() == 5 && !out_.freqMHz.empty() && f <= out_.freqMHz.back();
        if (inNoise_ || noiseStarts) {
            inNoise_ = true;
            return v.size() == 5 ? true : Fail("a noise parameter line needs 5 columns");
        }
        const std::size_t columns = ports_ == 1 ? 3 : 9;
        if (v.size() != columns) {
            return Fail(std::to_string(v.size()) + " columns where a " + std::to_string(ports_) +
                        "-port file has " + std::to_string(columns));
        }
        if (!std::isfinite(f) || f < 0) {
            return Fail("the frequency must be 0 or more");
        }
        if (!out_.freqMHz.empty() && !(f > out_.freqMHz.back())) {
            return Fail("the frequencies must increase from line to line");
        }
        if (out_.freqMHz.size() == kMaxPoints) {
            return Fail("more than " + std::to_string(kMaxPoints) + " frequencies");
        }
        if (options_.format == Format::MagnitudeAngle) {
            for (std::size_t k = 1; k < v.size(); k += 2) {
                if (v[k] < 0) {
                    return Fail("the magnitude " + Shown(tokens[k]) +
                                " is negative (a magnitude is 0 or more)");
                }
            }
        }
        SParameters s;
        s.s11 = Value(v[1], v[2]);
        if (ports_ == 1 && out_.activeLine == 0 && std::abs(s.s11) > kPassiveLimit) {
            out_.activeLine = line_;
            out_.activeMagnitude = std::abs(s.s11);
        }
        if (ports_ == 2) {
            // Version 1 order: S11 S21 S12 S22.
            s.s21 = Value(v[3], v[4]);
            s.s12 = Value(v[5], v[6]);
            s.s22 = Value(v[7], v[8]);
        }
        s = ToSystemReference(s);
        for (const Complex& c : {s.s11, s.s21, s.s12, s.s22}) {
            if (!std::isfinite(c.real()) || !std::isfinite(c.imag())) {
                return Fail("the values cannot be referred to 50 ohm");
            }
        }
        out_.freqMHz.push_back(f);
        out_.points.push_back(s);
        return true;
    }

    // With the same reference resistance R at every port, S referred to
    // 50 ohm is (S - rho I)(I - rho S)^-1, rho = (50 - R) / (50 + R); the two
    // factors commute, so either order gives the same matrix.
    SParameters ToSystemReference(const SParameters& s) const {
        const double r = options_.referenceOhms;
        if (r == kSystemOhms) {
            return s;
        }
        const double rho = (kSystemOhms - r) / (kSystemOhms + r);
        if (ports_ == 1) {
            return {(s.s11 - rho) / (1.0 - rho * s.s11), {}, {}, {}};
        }
        // N = S - rho I, M = I - rho S, result N M^-1.
        const Complex n11 = s.s11 - rho, n12 = s.s12, n21 = s.s21, n22 = s.s22 - rho;
        const Complex m11 = 1.0 - rho * s.s11, m12 = -rho * s.s12;
        const Complex m21 = -rho * s.s21, m22 = 1.0 - rho * s.s22;
        const Complex det = m11 * m22 - m12 * m21;
        const Complex i11 = m22 / det, i12 = -m12 / det, i21 = -m21 / det, i22 = m11 / det;
        SParameters out;
        out.s11 = n11 * i11 + n12 * i21;
        out.s12 = n11 * i12 + n12 * i22;
        out.s21 = n21 * i11 + n22 * i21;
        out.s22 = n21 * i12 + n22 * i22;
        return out;
    }

    const int ports_;
    const std::string& name_;
    TouchstoneData& out_;
    std::string& error_;
    Options options_;
    bool seenOptions_ = false;
    bool inNoise_ = false;
    int line_ = 0;
};

Complex Between(Complex a, Complex b, double t) {
    return {a.real() + (b.real() - a.real()) * t, a.imag() + (b.imag() - a.imag()) * t};
}

}  // namespace

std::optional<SParameters> TouchstoneData::At(double f) const {
    if (freqMHz.empty() || freqMHz.size() != points.size() || !(f >= freqMHz.front()) ||
        !(f <= freqMHz.back())) {
        return std::nullopt;  // NaN lands here too
    }
    const auto upper = std::lower_bound(freqMHz.begin(), freqMHz.end(), f);
    const std::size_t k = static_cast<std::size_t>(upper - freqMHz.begin());
    if (freqMHz[k] == f) {
        return points[k];
    }
    const double t = (f - freqMHz[k - 1]) / (freqMHz[k] - freqMHz[k - 1]);
    const SParameters& a = points[k - 1];
    const SParameters& b = points[k];
    return SParameters{Between(a.s11, b.s11, t), Between(a.s21, b.s21, t), Between(a.s12, b.s12, t),
                       Between(a.s22, b.s22, t)};
}

int TouchstonePortsOfName(std::string_view path) {
    if (path.size() < 4) {
        return 0;
    }
    const std::string ext = Upper(path.substr(path.size() - 4));
    return ext == ".S1P" ? 1 : ext == ".S2P" ? 2 : 0;
}

bool ParseTouchstone(std::string_view text, int ports, const std::string& name, TouchstoneData& out,
                     std::string& error) {
    if (ports != 1 && ports != 2) {
        error = name + ": only .s1p and .s2p files are read";
        return false;
    }
    TouchstoneData data;
    data.ports = ports;
    Reader reader(ports, name, data, error);
    int number = 0;
    while (!text.empty()) {
        // Lines end in LF, CR LF, or a CR alone (as old Mac files have them).
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        if (!reader.Line(line, ++number)) {
            return false;
        }
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end != std::string_view::npos && text[end] == '\r' && next < text.size() &&
            text[next] == '\n') {
            ++next;
        }
        text.remove_prefix(next);
    }
    if (!reader.Finish()) {
        return false;
    }
    out = std::move(data);
    return true;
}

bool ReadTouchstoneFile(const std::string& path, TouchstoneData& out, std::string& error) {
    const int ports = TouchstonePortsOfName(path);
    if (ports == 0) {
        error = path + ": a Touchstone file's name ends in .s1p or .s2p";
        return false;
    }
    std::string text;
    std::string why;
    switch (ReadInputFile(path, kMaxFileBytes, text, why)) {
        case InputFile::Read:
            break;
        case InputFile::CannotOpen:
            error = path + ": cannot be opened";
            return false;
        case InputFile::Refused:
            error = path + ": " + why;
            return false;
    }
    return ParseTouchstone(text, ports, path, out, error);
}

}  // namespace korvel::sim
