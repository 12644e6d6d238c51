// The ASCII data file's layout, checked line by line against hand-written text on
// hand-built designs: line ends, the blocks and their order, the number forms, the
// plus-minus byte and the file's frequency unit.
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

std::string Pad(const std::string& s, std::size_t n) {
    return s + std::string(n > s.size() ? n - s.size() : 0, ' ');
}

TEST(AsciiExport, OnlyFrequencyData) {
    TDesign d = LowpassDesign();
    for (int i = 0; i <= kResponseIntervals; ++i) {
        d.FreqColumn[i].F = 100.0L * (i + 1);
        d.FreqColumn[i].W = kTwoPi * 100.0L * (i + 1);
        d.Approx[Butterworth].Ideal[i].GainVV = 0.5L;
        d.Approx[Butterworth].Ideal[i].GainDb = -6.0L;
        d.Approx[Butterworth].Ideal[i].Phase = 90.0L; // a lag: written as -90 degrees
        d.Approx[Butterworth].Ideal[i].Delay = 0.00125L;
    }
    d.Approx[Butterworth].Ideal[3].GainDb = 0.0L;
    AsciiOptions o;
    o.FrequencyData = true;
    AsciiExportData x;
    x.DateTime = "06/12/26 08:00:00";
    const std::vector<std::string> lines = Lines(AsciiExportText(d, o, x));
    ASSERT_EQ(lines.size(), 4u + 2u + 351u);
    EXPECT_EQ(lines[0], "06/12/26 08:00:00");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "BUTTERWORTH LOWPASS FILTER  N=5");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "        FREQUENCY                MAGNITUDE            PHASE        DELAY");
    EXPECT_EQ(lines[5], "    Hz          rad/s         V/V          dB        degrees        sec");
    EXPECT_EQ(
        lines[6],
        " 1.0000000E+2    6.2831853E+2    5.0000000E-1   -6.0000000E+0   -9.0000000E+1    1.2500000E-3");
    // A zero is written as zero (its exponent is 0), not looped over.
    EXPECT_EQ(
        lines[9],
        " 4.0000000E+2    2.5132741E+3    5.0000000E-1    0.0000000E+0   -9.0000000E+1    1.2500000E-3");
    EXPECT_EQ(lines.back().substr(0, 13), " 3.5100000E+4");
}

TEST(AsciiExport, DescriptionNames) {
    const char* expected[kApproxCount] = {"BUTTERWORTH", "CHEBYSHEV", "INVERSE CHEBYSHEV", "ELLIPTIC",
                                          "BESSEL (THOMPSON)"};
    const char* types[4] = {"LOWPASS", "HIGHPASS", "BANDPASS", "BANDSTOP"};
    for (int type = Lowpass; type <= Bandstop; ++type) {
        for (int a = 0; a < kApproxCount; ++a) {
            TDesign d = LowpassDesign();
            d.Spec.FilterType = static_cast<uint8_t>(type);
            d.SelectedApprox = static_cast<uint8_t>(a);
            d.Approx[a].Result.Order = static_cast<int16_t>(2 * a + 4);
            EXPECT_EQ(AsciiDescription(d), std::string(expected[a]) + " " + types[type] +
                                               " FILTER  N=" + std::to_string(2 * a + 4));
        }
    }
    TDesign u;
    u.Spec.FilterType = UserDefined;
    u.SelectedApprox = 3; // a user-defined filter's sections are approximation 0
    u.Approx[0].Result.Order = 3;
    EXPECT_EQ(AsciiDescription(u), "USER DEFINED FILTER  N=3");
}

TEST(AsciiExport, SpecificationBlock) {
    struct Case {
        const char* what;
        uint8_t type;
        bool forced, hz;
        std::vector<std::string> block;
    };
    const Case cases[] = {
        {"lowpass in Hz",
         Lowpass,
         false,
         true,
         {"Maximum passband attenuation: 0.500 dB", "Passband edge frequency: 1 KHz",
          "Minimum stopband attenuation: 30.000 dB", "Stopband edge frequency: 2 KHz", "", ""}},
        {"lowpass in rad/s",
         Lowpass,
         false,
         false,
         {"Maximum passband attenuation: 0.500 dB", "Passband edge frequency: 6.283 Krad/s",
          "Minimum stopband attenuation: 30.000 dB", "Stopband edge frequency: 12.566 Krad/s", "", ""}},
        {"forced order",
         Highpass,
         true,
         true,
         {"Maximum passband attenuation: 0.500 dB", "Passband edge frequency: 1 KHz", "", ""}},
        {"bandpass",
         Bandpass,
         false,
         true,
         {"Maximum passband attenuation: 0.500 dB", "Passband bandwidth: 250 Hz",
          "Minimum stopband attenuation: 30.000 dB", "Stopband bandwidth: 1.5 KHz",
          "Center frequency: 10 KHz", "", ""}},
        {"bandstop forced",
         Bandstop,
         true,
         true,
         {"Maximum passband attenuation: 0.500 dB", "Passband bandwidth: 250 Hz", "Center frequency: 10 KHz",
          "", ""}},
    };
    for (const Case& c : cases) {
        TDesign d = LowpassDesign();
        d.Spec.FilterType = c.type;
        d.Spec.ForceOrder = c.forced;
        d.Spec.Bpb = kTwoPi * 250.0L;
        d.Spec.Bsb = kTwoPi * 1500.0L;
        d.Spec.w0 = kTwoPi * 10000.0L;
        AsciiOptions o;
        o.Specification = true;
        AsciiExportData x;
        x.Hz = c.hz;
        std::vector<std::string> lines = Lines(AsciiExportText(d, o, x));
        lines.erase(lines.begin(), lines.begin() + 4);
        EXPECT_EQ(lines, c.block) << c.what;
    }
    // A user-defined filter has no specification to write, whatever the options say.
    TDesign u = LowpassDesign();
    u.Spec.FilterType = UserDefined;
    AsciiOptions o;
    o.Specification = true;
    EXPECT_EQ(Lines(AsciiExportText(u, o, AsciiExportData{})).size(), 4u);
}

TEST(AsciiExport, CoefficientBlockLayout) {
    const AsciiStageCells first = {" 2.0000000E+0", " 0",    " 0",    " 6.2831853E+3", " 0", " 1.0",
                                   " 6.2831853E+3", " ----", " ----", " ----"};
    const AsciiStageCells second = {" 1.0000000E+0",
                                    " 0",
                                    " 0",
                                    " 3.9478418E+7",
                                    " 1.0",
                                    " 4.4428829E+3",
                                    " 3.9478418E+7",
                                    " 6.2831853E+3",
                                    " 1.4142136E+0",
                                    " ----"};
    AsciiOptions o;
    o.Coefficients = true;
    for (std::size_t n : {1u, 3u}) {
        AsciiExportData x;
        x.Stages.push_back(first);
        for (std::size_t i = 1; i < n; ++i)
            x.Stages.push_back(second);
        std::vector<std::string> lines = Lines(AsciiExportText(LowpassDesign(), o, x));
        ASSERT_EQ(lines.size(), 4u + 4u + 1u + 10u + 2u);
        EXPECT_EQ(lines[4], "BIQUADRATIC TRANSFER FUNCTION(S)");
        EXPECT_EQ(lines[5], "");
        EXPECT_EQ(lines[6], "      T(s) = To * (As^2 + Bs + C)/(Ds^2 + Es + F)");
        EXPECT_EQ(lines[7], "");
        EXPECT_EQ(lines[8], n == 1 ? "Stage ->    1" : "Stage ->    1              2              3");
        const char* labels[10] = {"To", "A", "B", "C", "D", "E", "F", "wp", "Qp", "wz"};
        for (int row = 0; row < 10; ++row) {
            std::string expected = Pad(labels[row], 6) + Pad(first[row], 15);
            for (std::size_t i = 1; i < n; ++i)
                expected += Pad(second[row], 15);
            EXPECT_EQ(lines[9 + row], expected) << labels[row];
        }
        EXPECT_EQ(lines[19], "");
        EXPECT_EQ(lines[20], "");
    }
    // The first-order stage's column reads " ----" in the wp, Qp and wz rows.
    AsciiExportData x;
    x.Stages.push_back(first);
    const std::vector<std::string> lines = Lines(AsciiExportText(LowpassDesign(), o, x));
    EXPECT_EQ(lines[16], "wp     ----          ");
    EXPECT_EQ(lines[17], "Qp     ----          ");
    EXPECT_EQ(lines[18], "wz     ----          ");
}

TEST(AsciiExport, PoleZeroBlockInBothUnits) {
    using C = std::complex<long double>;
    AsciiOptions o;
    o.PolesZeros = true;
    AsciiExportData x;
    x.Poles = {C(-2.0L, 0.0L), C(-1.0L, 1.0L), C(-1.0L, -1.0L)};
    x.Zeros = {C(0.0L, 3.0L), C(0.0L, -3.0L), C(0.0L, 0.0L)};
    std::vector<std::string> lines = Lines(AsciiExportText(LowpassDesign(), o, x));
    const std::vector<std::string> rad = {
        "POLES:",
        " SNGL   - 2.0000000E+0   + j    0.0000000E+0",
        " PAIR   - 1.0000000E+0   \xB1 j    1.0000000E+0   wp:  1.4142136E+0 rad/s   Q: 0.7071068",
        "",
        "ZEROS:",
        " PAIR   wz:  3.0000000E+0 rad/s",
        " SNGL   wz:  0.0000000E+0 rad/s",
        ""};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), rad);

    // In Hz every frequency, real and imaginary part is divided by 2 pi; Q is not.
    for (C& p : x.Poles)
        p *= kTwoPi;
    for (C& z : x.Zeros)
        z *= kTwoPi;
    x.Poles.push_back(C(-0.5L * kTwoPi, 30.0L * kTwoPi)); // Q = 30.004166 in 8 characters
    x.Poles.push_back(C(-0.5L * kTwoPi, -30.0L * kTwoPi));
    x.Hz = true;
    lines = Lines(AsciiExportText(LowpassDesign(), o, x));
    const std::vector<std::string> hz = {
        "POLES:",
        " SNGL   - 2.0000000E+0   + j    0.0000000E+0",
        " PAIR   - 1.0000000E+0   \xB1 j    1.0000000E+0   fp:  1.4142136E+0 Hz   Q: 0.7071068",
        " PAIR   - 5.0000000E-1   \xB1 j    3.0000000E+1   fp:  3.0004166E+1 Hz   Q: 30.0041664",
        "",
        "ZEROS:",
        " PAIR   fz:  3.0000000E+0 Hz",
        " SNGL   fz:  0.0000000E+0 Hz",
        ""};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), hz);

    // Without zeros the block ends after the poles.
    x.Zeros.clear();
    lines = Lines(AsciiExportText(LowpassDesign(), o, x));
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(lines[lines.size() - 2].substr(0, 5), " PAIR");
}

TEST(AsciiExport, NumberForms) {
    EXPECT_EQ(AsciiScientific(1000.0L), " 1.0000000E+3");
    EXPECT_EQ(AsciiScientific(0.0L), " 0.0000000E+0");
    EXPECT_EQ(AsciiScientific(-0.00012345678L), "-1.2345678E-4");
    EXPECT_EQ(AsciiScientific(9.99999999L), " 1.0000000E+1");
    EXPECT_EQ(AsciiAttenuation(0.5L), "0.500");
    EXPECT_EQ(AsciiAttenuation(0.1234L), "0.123");
    EXPECT_EQ(AsciiAttenuation(60.0L), "60.000");
    EXPECT_EQ(AsciiQ(0.5L), "0.5000000");
    EXPECT_EQ(AsciiQ(12.25L), "12.2500000");
    EXPECT_FALSE(CurrentDateTimeText().empty());
}

} // namespace
} // namespace velmora
