// The frequency transformations, the pole/zero/gain view of a result, and the gain
// texts, against closed forms of the transformations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "approx/frequency_transform.h"
#include "approx_test_support.h"
#include "model/number_text.h"

namespace velmora::test {
namespace {

// Matches every pole of `got` to a distinct pole of `want` within a relative tolerance.
void ExpectSameRoots(std::vector<Complex> got, std::vector<Complex> want, long double relTol) {
    ASSERT_EQ(got.size(), want.size());
    for (const Complex& w : want) {
        auto best = std::min_element(got.begin(), got.end(), [&](const Complex& a, const Complex& b) {
            return std::abs(a - w) < std::abs(b - w);
        });
        EXPECT_LT(std::abs(*best - w), relTol * std::abs(w)) << w.real() << " + j" << w.imag();
        got.erase(best);
    }
}

// Prototype poles of a Butterworth result, from its normalised fields.
std::vector<Complex> PrototypePoles(const Approximation& a, int N) {
    std::vector<Complex> p;
    if (N % 2 == 1) p.emplace_back(-a.Result.RealPoleNorm, 0.0L);
    for (int k = 1; k <= N / 2; ++k) {
        p.emplace_back(-a.PoleList[k].ReNorm, a.PoleList[k].ImNorm);
        p.emplace_back(-a.PoleList[k].ReNorm, -a.PoleList[k].ImNorm);
    }
    return p;
}

// Bandpass image of a prototype pole p: the roots of s^2 - p Bpb s + w0^2.
std::vector<Complex> BandpassImage(const std::vector<Complex>& proto, long double Bpb, long double w0) {
    std::vector<Complex> out;
    for (const Complex& p : proto) {
        const Complex b = p * Bpb, root = std::sqrt(b * b - 4.0L * w0 * w0);
        out.push_back((b + root) / 2.0L);
        out.push_back((b - root) / 2.0L);
    }
    return out;
}

TEST(Transformation, BandpassOfPrototypeOrderThree) {
    // Forced order 6: every approximation has a third-order prototype.
    TDesign d = Designed({"bp", Bandpass, 0.5L, 30.0L, 1e3L, 0.0L, 2e3L, 6});
    // The poles are the closed-form images of the Butterworth prototype's poles (the
    // other approximations' transformed responses are the verification's).
    const Specification& s = d.Spec;
    const Approximation& bw = d.Approx[Butterworth];
    ExpectSameRoots(ApproxPoles(d, Butterworth), BandpassImage(PrototypePoles(bw, 3), s.Bpb, s.w0), 1e-11L);
    // A third-order all-pole bandpass has three zeros at the origin.
    EXPECT_EQ(ApproxZeros(d, Butterworth), std::vector<Complex>(3, Complex(0.0L, 0.0L)));
}

TEST(Transformation, WideBandpassRealPoleSectionHasTwoRealPoles) {
    // 300 Hz to 3.4 kHz: w0 = 2 pi sqrt(300 * 3400), Bpb = 2 pi 3100. The real prototype
    // pole sigma becomes s^2 + sigma Bpb s + w0^2 with Qp = w0/(sigma Bpb) < 0.5.
    TDesign d = Designed({"voice", Bandpass, 3.0L, 20.0L, 3100.0L, 0.0L, std::sqrt(300.0L * 3400.0L), 6});
    const Specification& s = d.Spec;
    const Approximation& a = d.Approx[Butterworth];
    const PoleTableEntry& e = a.PoleTable[3];
    const long double eps = std::sqrt(std::pow(10.0L, 0.3L) - 1.0L);
    const long double sigma = 1.0L / std::cbrt(eps); // third-order Butterworth real pole
    EXPECT_NEAR(e.Qp, std::sqrt(300.0L * 3400.0L) / (3100.0L * sigma), 1e-11L); // 0.326
    ASSERT_LT(e.Qp, 0.5L);
    EXPECT_TRUE(SectionHasRealPoles(e.B, e.C));
    // The stored table is kept as it is (im' = sqrt|C - (B/2)^2|) ...
    EXPECT_NEAR(a.PoleList[3].Im, std::sqrt(std::fabs(e.C - e.B * e.B / 4)), 1e-9L * s.w0);
    // ... while the poles are the two real roots of s^2 + sigma Bpb s + w0^2.
    const std::array<Complex, 2> p = SectionPoles(e.B, e.C);
    EXPECT_EQ(std::tuple(p[0].imag(), p[1].imag()), std::tuple(0.0L, 0.0L));
    const Complex root = std::sqrt(Complex(sigma * s.Bpb * sigma * s.Bpb - 4.0L * s.w0 * s.w0));
    // B and C are Real48 values (2^-40 relative); the roots of a low-Q section carry
    // that error amplified by about 1/sqrt(1 - 4 Qp^2).
    ExpectSameRoots({p[0], p[1]}, {(-sigma * s.Bpb + root) / 2.0L, (-sigma * s.Bpb - root) / 2.0L}, 1e-11L);
    // Every pole of the filter is listed once: six, the two real ones among them.
    const std::vector<Complex> all = ApproxPoles(d, Butterworth);
    EXPECT_EQ(all.size(), 6u);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const Complex& z) { return z.imag() == 0.0L; }), 2);
}

TEST(Transformation, BandstopGainConstants) {
    for (int N : {2, 4, 6}) { // filter orders: prototypes 1, 2, 3
        TDesign d = Designed({"bs", Bandstop, 1.0L, 30.0L, 2e3L, 0.0L, 2e3L, N});
        for (int index = 0; index < kApproxCount; ++index) {
            const bool ripple = (index == Chebyshev || index == Elliptic) && (N / 2) % 2 == 0;
            // The gain far from the notch: the top or the bottom of the ripple.
            EXPECT_NEAR(std::abs(ResponseOf(d, index).at(0.0L)), ripple ? std::pow(10.0L, -0.05L) : 1.0L,
                        1e-9L);
        }
    }
}

TEST(Transformation, FirstOrderEllipticRepeatsInverseChebyshev) {
    for (FilterType type : {Lowpass, Highpass, Bandpass, Bandstop}) {
        const bool band = type == Bandpass || type == Bandstop;
        SpecEntry e{"first", type, 0.5L, 30.0L, 1e3L, 0.0L, 5e3L, band ? 2 : 1};
        TDesign d = Designed(e);
        const Approximation& ell = d.Approx[Elliptic];
        const Approximation& ic = d.Approx[InverseChebyshev];
        SCOPED_TRACE(static_cast<int>(type));
        if (band) {
            EXPECT_EQ(
                std::tuple(ell.PoleTable[1].B, ell.PoleTable[1].C, ell.PoleTable[1].Qp, ell.ZeroTable[1].Wz2),
                std::tuple(ic.PoleTable[1].B, ic.PoleTable[1].C, ic.PoleTable[1].Qp, ic.ZeroTable[1].Wz2));
        } else {
            EXPECT_EQ(ell.Result.RealPole, ic.Result.RealPole);
        }
        EXPECT_EQ(ell.Result.GainConstant, ic.Result.GainConstant);
        EXPECT_EQ(ApproxZeros(d, Elliptic), ApproxZeros(d, InverseChebyshev));
    }
}

TEST(GainText, AllPoleDecimalPieces) {
    // (2000 pi)^2 = 3.9478e7.
    const std::tuple<long double, int, long double, const char*> cases[] = {
        {Real48(2000.0L * std::numbers::pi_v<long double>), 2, 1.0L, "3.94784 E+7"},
        {1.0L, 3, 1.0L, "1.00000 E+0"},
        {1.0L, 2, 0.5L, "5.00000 E-1"},
        {0.5L, 3, 1.0L, "1.25000 E-1"},
        {10.0L, 4, 2.5L, "2.50000 E+4"},
    };
    for (const auto& [x, N, K, text] : cases)
        EXPECT_EQ(AllPoleGainText(x, N, K).text, text);
    // Order 20 at 100 MHz: 6.2832e8^20 = 9.196e175, far beyond a Real48.
    const AllPoleGain g = AllPoleGainText(6.2832e8L, 20, 1.0L);
    EXPECT_EQ(g.exponent, 175);
    EXPECT_NEAR(g.mantissa, std::pow(10.0L, 20.0L * std::log10(6.2832e8L) - 175.0L), 1e-12L);
}

TEST(GainText, ResultsCarryTheTrueNumeratorConstant) {
    // An order-20 Butterworth at 50 MHz: its constant K wpb^20 only exists as text and as
    // the long double the response uses; the two agree.
    TDesign d = Designed({"big", Lowpass, 0.5L, 30.0L, 50e6L, 0.0L, 0.0L, 20});
    const ApproxResult& r = d.Approx[Butterworth].Result;
    const long double gain = ApproxNumeratorGain(d, Butterworth);
    ASSERT_TRUE(std::isfinite(gain));
    const int e = std::stoi(r.GainConstantText.substr(r.GainConstantText.find('E') + 1));
    EXPECT_EQ(e, static_cast<int>(std::floor(std::log10(gain))));
    EXPECT_NEAR(r.GainConstantNorm * std::pow(10.0L, e), gain, 1e-11L * gain);
    EXPECT_NEAR(std::abs(ResponseOf(d, Butterworth).at(0.0L)), 1.0L, 1e-10L);

    // Finite-zero results carry the constant as a scientific number.
    const ApproxResult& ic = d.Approx[InverseChebyshev].Result;
    EXPECT_EQ(std::tuple(ic.GainConstantText, ScientificText(3.9478417604L, 5), ScientificText(-0.000123L, 5),
                         ScientificText(9.999999L, 5), ScientificText(1e-38L, 5)),
              std::tuple(ScientificText(ic.GainConstant, 5), " 3.94784E+0", "-1.23000E-4", " 1.00000E+1",
                         " 0.00000E+0"));
}

} // namespace
} // namespace velmora::test
