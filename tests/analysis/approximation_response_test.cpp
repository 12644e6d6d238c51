// The ideal responses of real approximations, computed by the approximation step from
// varied specifications, against H(s) built from the approximation's own pole, zero
// and numerator-constant view (complex products; delay by numeric differentiation).
// The time responses are checked against a simulation in time_response_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/ideal_responses.h"
#include "approx/approximation.h"
#include "approx/poles_zeros.h"
#include "support/hand_built_filters.h"
#include "support/response_reference.h"
#include "support/specifications.h"

namespace velmora {
namespace {

using test::Spec;

const Spec kSpecs[] = {
    {"default lowpass", Lowpass, 0.5L, 30, 1000, 2000, 0, 0},
    {"steep lowpass", Lowpass, 1, 60, 1000, 1500, 0, 0},
    {"lowpass 100 Hz, 40 dB", Lowpass, 0.1L, 40, 100, 300, 0, 0},
    {"lowpass 1 Hz", Lowpass, 3, 20, 1, 3, 0, 0},
    {"lowpass forced 1", Lowpass, 0.5L, 30, 1000, 0, 0, 1},
    {"lowpass forced 20", Lowpass, 0.5L, 30, 10000, 0, 0, 20},
    {"lowpass 50 MHz", Lowpass, 0.5L, 50, 50e6L, 100e6L, 0, 0},
    {"lowpass forced 7 at 100 MHz", Lowpass, 0.25L, 30, 100e6L, 0, 0, 7},
    {"lowpass 80 dB, tight", Lowpass, 0.01L, 80, 1000, 1200, 0, 0},
    {"default highpass", Highpass, 0.5L, 30, 2000, 1000, 0, 0},
    {"highpass 45 dB", Highpass, 1, 45, 10000, 4000, 0, 0},
    {"highpass forced 5 at 50 Hz", Highpass, 0.5L, 30, 50, 0, 0, 5},
    {"highpass 1 MHz", Highpass, 0.2L, 60, 1e6L, 300e3L, 0, 0},
    {"highpass forced 20", Highpass, 1, 30, 1000, 0, 0, 20},
    {"default bandpass", Bandpass, 0.5L, 30, 1000, 2000, 2000, 0},
    {"wide bandpass 300 Hz..3.4 kHz", Bandpass, 0.5L, 30, 3100, 9000, 1010, 0},
    {"narrow bandpass at 10 kHz", Bandpass, 0.5L, 40, 100, 400, 10000, 0},
    {"bandpass forced 6 at 1 MHz", Bandpass, 0.5L, 30, 100e3L, 0, 1e6L, 6},
    {"bandpass forced 20", Bandpass, 1, 30, 1000, 0, 5000, 20},
    {"default bandstop", Bandstop, 0.5L, 30, 2000, 1000, 2000, 0},
    {"bandstop 40 dB at 5 kHz", Bandstop, 1, 40, 1000, 200, 5000, 0},
    {"bandstop forced 4 at 60 Hz", Bandstop, 0.5L, 30, 20, 0, 60, 4},
    {"wide bandstop", Bandstop, 0.5L, 30, 3000, 1000, 1000, 0},
    {"lowpass 2 dB / 100 dB at 20 kHz", Lowpass, 2, 100, 20000, 40000, 0, 0},
};

test::TransferFunction ReferenceOf(const TDesign& d, int a) {
    const long double K = ApproxNumeratorGain(d, a) * d.Spec.OverallGain;
    const std::vector<Complex> poles = ApproxPoles(d, a), zeros = ApproxZeros(d, a);
    return [=](std::complex<long double> s) {
        std::complex<long double> h(K, 0);
        // Interleaved so that partial products stay within range at high orders.
        for (size_t i = 0; i < std::max(poles.size(), zeros.size()); ++i) {
            if (i < zeros.size()) h *= s - zeros[i];
            if (i < poles.size()) h /= s - poles[i];
        }
        return h;
    };
}

// The column of approximation `a` over the axis against H: gain within 1e-6 dB (and in
// V/V within 1e-7 relative), phase angle within 1e-6 degree modulo 360, delay within 1e-6
// relative (Real48 storage keeps about 12 digits, so this fails any wrong factor, sign or
// missing term). A notch point is marked for the graph and keeps its true gain; on the
// notch itself (|H| below 1e-10) the gain is the rounding noise of a cancellation, and
// within 2h of a zero the phase derivative straddles its jump of 180 degrees.
void ExpectColumnIs(TDesign& d, int a, bool log, const test::TransferFunction& H,
                    const std::vector<long double>& zeroW, const std::string& name) {
    const auto notches = MarkNotches(d, a, log);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        SCOPED_TRACE(name + ", " + kApproxNames[a] + ", point " + std::to_string(i));
        const long double w = d.FreqColumn[i].W;
        const IdealSample& s = d.Approx[a].Ideal[i];
        const long double mag = std::abs(H({0, w}));
        const bool notch = std::find(notches.begin(), notches.end(), i) != notches.end();
        EXPECT_EQ(d.Approx[a].NotchMark[static_cast<std::size_t>(i)], notch ? 1 : 0);
        if (notch && mag < 1e-10L) {
            EXPECT_LT(s.GainDb, -190.0L);
        } else if (mag > 1.0001e-20L) {
            EXPECT_NEAR(s.GainDb, 20 * std::log10(mag), 1e-6L);
            EXPECT_NEAR(s.GainVV, mag, 1e-7L * mag);
        } else if (mag < 0.9999e-20L) {
            EXPECT_EQ(s.GainDb, kGainFloorDb);
        }
        const bool atZero = std::any_of(zeroW.begin(), zeroW.end(),
                                        [&](long double z) { return std::fabs(w - z) <= 1e-4L * w; });
        if (atZero || w <= 0) continue;
        EXPECT_NEAR(test::AngleDifference(-s.Phase, test::ReferencePhaseDeg(H, w)), 0.0L, 1e-6L);
        const long double tau = test::ReferenceDelay(H, w, 1e-5L * w);
        EXPECT_NEAR(s.Delay, tau, 1e-6L * std::fabs(tau));
    }
}

// Every usable approximation of every specification, on the default column and on one
// two decades wider; and the hand-built tables with every kind of factor, on a wide
// logarithmic and a linear column.
TEST(ApproximationResponses, AgreeWithPolesZerosAndGain) {
    int checked = 0, realPoleSections = 0;
    for (const Spec& e : kSpecs) {
        static TDesign d; // large: kept off the stack
        test::FillSpecification(d, e);
        ASSERT_TRUE(test::CalculateApproximations(d)) << e.name;
        d.Spec.OverallGain = e.forced ? 2.0L : 1.0L; // the overall gain scales every curve
        const FrequencyAxis base = DefaultFrequencyAxis(d);
        for (const FrequencyAxis& axis : {base, FrequencyAxis{base.Min / 10, base.Max * 10, true, true}}) {
            ComputeIdealFrequencyResponses(d, axis);
            for (int a : ResponseApproximations(d)) {
                ++checked;
                for (const auto& section : IdealFilterOf(d, a).Sections)
                    realPoleSections += section.RealPoles;
                std::vector<long double> zeroW;
                for (const Complex& z : ApproxZeros(d, a))
                    if (z.imag() != 0) zeroW.push_back(std::fabs(z.imag()));
                ExpectColumnIs(d, a, axis.Log, ReferenceOf(d, a), zeroW, e.name);
            }
        }
    }
    EXPECT_GE(checked, 2 * 60);     // at least 60 usable approximations over the 24 specifications
    EXPECT_GT(realPoleSections, 0); // the wide bands make sections of Q below 0.5
    for (const test::HandFilter& f : test::HandBuiltFilters()) {
        static TDesign d; // large: kept off the stack
        test::Install(d, f);
        const FrequencyAxis base = DefaultFrequencyAxis(d);
        std::vector<long double> zeroW;
        for (const long double w2 : f.zeroW2)
            zeroW.push_back(std::sqrt(w2));
        for (const FrequencyAxis& axis : {FrequencyAxis{base.Min / 10, base.Max * 10, true, true},
                                          FrequencyAxis{0, 3 * base.Max, false, true}}) {
            ComputeIdealFrequencyResponses(d, axis);
            ExpectColumnIs(
                d, f.approx, axis.Log, [&](std::complex<long double> s) { return f.H(s); }, zeroW, f.name);
        }
    }
}

} // namespace
} // namespace velmora
