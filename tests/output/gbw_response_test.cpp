// The " Op amp GBW" final response: it tends to the ideal final response as the op amps
// get faster and its delay is the slope of its phase. (Its gain against a simulator and
// what predistortion takes back are the simulator cross-check's and the circuit
// properties'.)
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/final_response.h"
#include "analysis/final_response_gbw.h"
#include "circuits/components.h"
#include "output/output_test_support.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

const auto Db = [](long double vv) -> long double { return 20.0L * std::log10(vv); };

TEST(OpAmpGbwResponse, FastOpAmpsGiveTheIdealResponseAndTheDelayIsThePhaseSlope) {
    // A Butterworth lowpass of order 5 (first-order and Sallen-Key stages, one of them
    // inverting through an MFB stage) with op amps of 1 GHz.
    for (const char* key : {"SLP01", "SLP03", "SLP08"}) {
        SCOPED_TRACE(key);
        TDesign d;
        const auto designed = outtest::DesignWith(d, {Lowpass, 0.5L, 40, 1000, 2000, 0, 5}, Butterworth, key);
        ASSERT_TRUE(designed.ok) << designed.message;
        for (int i = 1; i <= d.StageCount; ++i)
            d.Circuits[i].OpAmpGBW = 1.0e9L;
        for (long double f = 100; f <= 10000; f *= 1.2589L) {
            SCOPED_TRACE((double)f);
            const long double w = kTwoPi * f;
            const auto g = FinalGbwResponseAt(d, 1, d.StageCount, w);
            const auto v = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w);
            ASSERT_TRUE(g && v);
            // A DC gain of 1e5 and a GBW a million times the frequency, with noise gains
            // up to about 10: relative errors of order 1e-4.
            EXPECT_NEAR((double)Db(g->GainVV), (double)Db(v->GainVV), 5e-3);
            EXPECT_NEAR((double)g->PhaseLag, (double)v->PhaseLag, 5e-2);
            EXPECT_NEAR((double)g->Delay, (double)v->Delay, 1e-3 * (double)v->Delay);
        }
        // The delay of a slow op amp is still the slope of the phase lag (central
        // difference over 0.1 %, radians per rad/s).
        for (int i = 1; i <= d.StageCount; ++i)
            d.Circuits[i].OpAmpGBW = 100.0e3L;
        for (long double f = 200; f <= 5000; f *= 1.5L) {
            SCOPED_TRACE((double)f);
            const long double w = kTwoPi * f, h = 1e-3L;
            const auto lo = FinalGbwResponseAt(d, 1, d.StageCount, w * (1 - h));
            const auto hi = FinalGbwResponseAt(d, 1, d.StageCount, w * (1 + h));
            const auto mid = FinalGbwResponseAt(d, 1, d.StageCount, w);
            ASSERT_TRUE(lo && hi && mid);
            const long double slope =
                (hi->PhaseLag - lo->PhaseLag) * std::numbers::pi_v<long double> / 180.0L / (2 * h * w);
            EXPECT_NEAR((double)mid->Delay, (double)slope, 1e-5 * (double)slope);
        }
        const auto samples = FinalGbwResponseSamples(d);
        EXPECT_EQ(samples.size(), static_cast<std::size_t>(kResponseIntervals + 1));
    }
}

} // namespace
} // namespace velmora
