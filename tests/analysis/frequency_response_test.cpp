#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "analysis/frequency_response.h"
#include "analysis/ideal_responses.h"
#include "support/hand_built_filters.h"
#include "support/response_reference.h"

namespace velmora {
namespace {

using test::HandFilter;
using test::kTwoPi;

// ---- Default axis and frequency column ------------------------------------------------

TEST(DefaultFrequencyAxis, RangesOfTheSpecification) {
    const std::tuple<const char*, uint8_t, bool, long double, long double, long double, long double, int>
        cases[] = {
            // 0.1 and 10 times 2 kHz; 200 Hz is already one digit.
            {"lowpass 2 kHz in Hz", Lowpass, true, kTwoPi * 2000, 0, 200, 20000, 2},
            // Half the 3 kHz centre is 1.5 kHz: rounded down to 1 kHz so the band stays on the axis.
            {"bandpass at 3 kHz in Hz", Bandpass, true, 0, kTwoPi * 3000, 1000, 6000, 3},
            {"bandstop at 3 kHz in Hz", Bandstop, true, 0, kTwoPi * 3000, 1000, 6000, 3},
            // 1000 rad/s: 100 .. 10000 rad/s.
            {"highpass 1000 rad/s", Highpass, false, 1000, 0, 100, 10000, 2},
            // 0.1 * 6283.19 = 628.3 rad/s -> 600.
            {"lowpass 1 kHz in rad/s", Lowpass, false, kTwoPi * 1000, 0, 600, kTwoPi * 10000, 2},
            // 0.1 * 1 Hz = 0.1 Hz: one digit below 1.
            {"lowpass 1 Hz", Lowpass, true, kTwoPi, 0, 0.1L, 10, -1},
            // 0.5 * 37 Hz = 18.5 Hz -> 10 Hz.
            {"bandpass 37 Hz", Bandpass, true, 0, kTwoPi * 37, 10, 74, 1},
        };
    for (const auto& [what, type, hz, wpb, w0, min, max, decade] : cases) {
        static TDesign d; // large: kept off the stack
        NewDesign(d, type);
        d.Opt.FreqUnitsHz = hz;
        d.Spec.wpb = wpb;
        d.Spec.w0 = w0;
        const FrequencyAxis a = DefaultFrequencyAxis(d);
        EXPECT_NEAR(a.Min, min, 1e-9 * min) << what;
        EXPECT_NEAR(a.Max, max, 1e-9 * max) << what;
        EXPECT_EQ(a.Decade, decade) << what;
        EXPECT_EQ(a.Hz, hz) << what;
    }
}

TEST(FrequencyColumn, LogarithmicAndLinearPoints) {
    static TDesign d; // large: kept off the stack
    NewDesign(d, Lowpass);
    // Four decades over 350 intervals: point 175 is two decades above 10 Hz.
    BuildFrequencyColumn(d, FrequencyAxis{10, 100000, true, true});
    EXPECT_NEAR(d.FreqColumn[175].F, 1000.0L, 1e-9L);
    EXPECT_NEAR(d.FreqColumn[0].F, 10.0L, 1e-12L);
    EXPECT_NEAR(d.FreqColumn[350].F, 100000.0L, 1e-6L);
    EXPECT_NEAR(d.FreqColumn[175].W, kTwoPi * 1000, 1e-8L);
    for (int i = 1; i <= kResponseIntervals; ++i) // equal ratios of 10^(4/350)
        EXPECT_NEAR(d.FreqColumn[i].F / d.FreqColumn[i - 1].F, std::pow(10.0L, 4.0L / 350), 1e-11L);

    BuildFrequencyColumn(d, FrequencyAxis{0, 700, false, false});
    for (int i = 0; i <= kResponseIntervals; ++i) {
        EXPECT_NEAR(d.FreqColumn[i].W, 2.0L * i, 1e-9L);
        EXPECT_NEAR(d.FreqColumn[i].F, 2.0L * i / kTwoPi, 1e-9L);
    }

    // A logarithmic axis never starts at 0: five decades below the upper limit instead.
    BuildFrequencyColumn(d, FrequencyAxis{0, 1000, true, true});
    EXPECT_NEAR(d.FreqColumn[0].F, 0.01L, 1e-12L);
    EXPECT_GT(d.FreqColumn[0].W, 0);
}

// ---- The worked examples ------------------------------------------------------------------

TEST(IdealFrequencyResponse, NotchIsMarkedAtTheNearestPointWhichKeepsItsTrueGain) {
    const HandFilter f = test::HandBuiltFilters()[4]; // elliptic-like lowpass notch at 2.5 wp
    ASSERT_EQ(f.name, "elliptic-like lowpass notch");
    static TDesign d; // large: kept off the stack
    test::Install(d, f);
    const test::TransferFunction H = [&](std::complex<long double> s) { return f.H(s); };
    const auto marked = [&] {
        std::vector<int> m;
        for (int i = 0; i <= kResponseIntervals; ++i)
            if (d.Approx[Elliptic].NotchMark[static_cast<std::size_t>(i)]) m.push_back(i);
        return m;
    };
    // Log axis 100 Hz .. 10 kHz: the notch at 2.5 kHz is log10(25)/2 * 350 = 244.6 -> 245,
    // and the sample there is the response at that point, not a drawing depth.
    ComputeIdealFrequencyResponses(d, FrequencyAxis{100, 10000, true, true});
    EXPECT_EQ(marked(), std::vector<int>{245});
    EXPECT_NEAR(d.Approx[Elliptic].Ideal[245].GainDb, test::ReferenceGainDb(H, d.FreqColumn[245].W), 1e-6);
    EXPECT_GT(d.Approx[Elliptic].Ideal[245].GainDb, -100.0L);
    // Linear axis 0 .. 7 kHz: 2.5/7 * 350 = 125 exactly.
    ComputeIdealFrequencyResponses(d, FrequencyAxis{0, 7000, false, true});
    EXPECT_EQ(marked(), std::vector<int>{125});
    // A notch beyond the axis marks nothing, and a new column clears the old marks.
    ComputeIdealFrequencyResponses(d, FrequencyAxis{100, 2000, true, true});
    EXPECT_TRUE(marked().empty());
}

TEST(IdealFrequencyResponse, GainFloorIsMinus400Db) {
    EXPECT_EQ(std::tuple(GainToDb(0), GainToDb(1e-20L), GainToDb(-1)),
              std::tuple(kGainFloorDb, kGainFloorDb, kGainFloorDb));
    EXPECT_NEAR(GainToDb(1.0000001e-20L), -399.99999913L, 1e-6L);
    EXPECT_NEAR(GainToDb(1), 0, 1e-18L);

    // A highpass at 0 Hz has no gain at all; its point 0 on a linear axis shows -400 dB.
    const HandFilter f = test::HandBuiltFilters()[6];
    ASSERT_EQ(f.name, "second-order Butterworth highpass");
    static TDesign d; // large: kept off the stack
    test::Install(d, f);
    ComputeIdealFrequencyResponses(d, FrequencyAxis{0, 10000, false, true});
    EXPECT_EQ(static_cast<long double>(d.Approx[Butterworth].Ideal[0].GainDb), kGainFloorDb);
    // Five decades below the corner a second-order highpass is down 200 dB (1e-10),
    // still above the floor; seven decades below, |T| = 1e-14 -> -280 dB.
    ComputeIdealFrequencyResponses(d, FrequencyAxis{1e-4L, 1e-2L, true, true});
    EXPECT_NEAR(d.Approx[Butterworth].Ideal[0].GainDb, -280.0L, 1e-6L);
}

TEST(IdealFrequencyResponse, PhaseOfAllPoleLowpassTendsToMinus90PerOrderWithoutWrapping) {
    for (const HandFilter& f : test::HandBuiltFilters()) {
        if (f.type != Lowpass || !f.zeroW2.empty()) continue;
        static TDesign d; // large: kept off the stack
        test::Install(d, f);
        const int order = 2 * static_cast<int>(f.sections.size()) + static_cast<int>(f.realPoles.size());
        // Up to 10^5 times the passband edge: each pole lags by at most 90 degrees and
        // within 1e-3 degree of it there.
        ComputeIdealFrequencyResponses(d, FrequencyAxis{1, 1e8L, true, true});
        const auto& ideal = d.Approx[f.approx].Ideal;
        EXPECT_NEAR(-ideal[350].Phase, -90.0L * order, 0.01L) << f.name;
        for (int i = 1; i <= kResponseIntervals; ++i) {
            EXPECT_GE(ideal[i].Phase, ideal[i - 1].Phase) << f.name; // a lag that only grows
            EXPECT_LT(ideal[i].Phase - ideal[i - 1].Phase, 90.0L) << f.name;
        }
    }
}

} // namespace
} // namespace velmora
