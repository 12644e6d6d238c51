// A filter of forced order has no stopband requirement: the order is not estimated from
// the stopband, and the stopband values left in the requirements (the defaults, or the
// attenuation another approximation reaches at that order) are not a promise to check.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/monte_carlo.h"
#include "approx/attenuation_mask.h"

namespace velmora {
namespace {

TEST(ForcedOrderMask, OnlyThePassbandIsJudged) {
    // A second-order Butterworth lowpass at 1000 rad/s: 3.01 dB at the passband edge, and
    // only 12 dB at twice that, far short of the 60 dB a stopband entry would ask.
    const auto gain = [](long double w) -> std::optional<long double> {
        const long double x = w / 1000.0L;
        return 1.0L / std::sqrt(1.0L + x * x * x * x);
    };
    Specification s;
    s.FilterType = Lowpass;
    s.Apb = 3.0103L;
    s.Asb = 60.0L;
    s.wpb = 1000.0L;
    s.wsb = 2000.0L;
    s.OverallGain = 1.0L;
    for (const bool forced : {false, true}) {
        SCOPED_TRACE(forced ? "forced order" : "estimated order");
        s.ForceOrder = forced;
        s.ForcedOrder = 2;
        EXPECT_EQ(BandsOf(s).Stop.empty(), forced);
        const auto m = CheckMask(s, 1.0L, gain);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->HasStop, !forced);
        EXPECT_NEAR((double)m->PassMarginDb, 0.0, 1e-3);
        if (!forced) {
            EXPECT_NEAR((double)m->StopMarginDb, 10 * std::log10(1.0 + 16.0) - 60.0, 1e-6);
        }
        EXPECT_EQ(m->Meets(), forced);
        EXPECT_EQ(*MaskHolds(s, 1.0L, gain), forced);
        EXPECT_NEAR((double)m->WorstMarginDb(), forced ? 0.0 : (double)m->StopMarginDb, 1e-3);
        // The Monte Carlo yield's point test agrees: 12 dB at 2000 rad/s.
        EXPECT_EQ(MeetsMask(s, 2000.0L, 12.3L), forced);
        EXPECT_FALSE(MeetsMask(s, 500.0L, 3.5L)) << "the passband still counts";
    }
}

} // namespace
} // namespace velmora
