// The ASCII data file in Hz, the unit of the desktop program's files (the command line
// writes rad/s, pinned whole by a golden file): line ends, the specification and the
// pole-zero blocks against hand-written text.
#include <gtest/gtest.h>

#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "model/ascii_export.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// The lines of a text whose every line ends with CR LF; a stray LF or CR fails.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t eol = text.find("\r\n", at);
        EXPECT_NE(eol, std::string::npos) << "text does not end with CR LF";
        if (eol == std::string::npos) break;
        const std::string line = text.substr(at, eol - at);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare line break in: " << line;
        lines.push_back(line);
        at = eol + 2;
    }
    return lines;
}

// A lowpass at 1 kHz (2 kHz stopband), 0.5 dB / 30 dB, Butterworth of order 5 selected.
TDesign LowpassDesign() {
    TDesign d;
    d.Spec.FilterType = Lowpass;
    d.Spec.Apb = 0.5L;
    d.Spec.Asb = 30.0L;
    d.Spec.wpb = kTwoPi * 1000.0L;
    d.Spec.wsb = kTwoPi * 2000.0L;
    d.SelectedApprox = d.SavedSelectedApprox = Butterworth;
    d.Approx[Butterworth].Result.Order = 5;
    return d;
}

TEST(AsciiExport, SpecificationAndPoleZeroBlocksInHertz) {
    using C = std::complex<long double>;
    AsciiOptions o;
    o.Specification = o.PolesZeros = true;
    AsciiExportData x;
    x.Hz = true;
    // In Hz every frequency, real and imaginary part is divided by 2 pi; Q is not.
    x.Poles = {C(-2.0L, 0.0L), C(-1.0L, 1.0L), C(-1.0L, -1.0L), C(-0.5L, 30.0L), C(-0.5L, -30.0L)};
    x.Zeros = {C(0.0L, 3.0L), C(0.0L, -3.0L), C(0.0L, 0.0L)};
    for (C& p : x.Poles)
        p *= kTwoPi;
    for (C& z : x.Zeros)
        z *= kTwoPi;
    const std::vector<std::string> lines = Lines(AsciiExportText(LowpassDesign(), o, x));
    const std::vector<std::string> expected = {
        "Maximum passband attenuation: 0.500 dB",
        "Passband edge frequency: 1 KHz",
        "Minimum stopband attenuation: 30.000 dB",
        "Stopband edge frequency: 2 KHz",
        "",
        "",
        "POLES:",
        " SNGL   - 2.0000000E+0   + j    0.0000000E+0",
        " PAIR   - 1.0000000E+0   \xB1 j    1.0000000E+0   fp:  1.4142136E+0 Hz   Q: 0.7071068",
        " PAIR   - 5.0000000E-1   \xB1 j    3.0000000E+1   fp:  3.0004166E+1 Hz   Q: 30.0041664",
        "",
        "ZEROS:",
        " PAIR   fz:  3.0000000E+0 Hz",
        " SNGL   fz:  0.0000000E+0 Hz",
        ""};
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "BUTTERWORTH LOWPASS FILTER  N=5");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), expected);
}

} // namespace
} // namespace velmora
