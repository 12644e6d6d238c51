// The " Op amp GBW" final response: it tends to the ideal final response as the op amps
// get faster, its delay is the slope of its phase, and predistortion takes back what a
// slow op amp does to a high-Q stage.
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

long double Db(long double vv) {
    return 20.0L * std::log10(vv);
}

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
            const long double w = kTwoPi * f;
            const auto g = FinalGbwResponseAt(d, 1, d.StageCount, w);
            const auto v = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w);
            ASSERT_TRUE(g && v);
            // A DC gain of 1e5 and a GBW a million times the frequency, with noise gains
            // up to about 10: relative errors of order 1e-4.
            EXPECT_NEAR(static_cast<double>(Db(g->GainVV)), static_cast<double>(Db(v->GainVV)), 5e-3)
                << (double)f;
            EXPECT_NEAR(static_cast<double>(g->PhaseLag), static_cast<double>(v->PhaseLag), 5e-2)
                << (double)f;
            EXPECT_NEAR(static_cast<double>(g->Delay), static_cast<double>(v->Delay),
                        1e-3 * static_cast<double>(v->Delay))
                << (double)f;
        }
        // The delay of a slow op amp is still the slope of the phase lag (central
        // difference over 0.1 %, radians per rad/s).
        for (int i = 1; i <= d.StageCount; ++i)
            d.Circuits[i].OpAmpGBW = 100.0e3L;
        for (long double f = 200; f <= 5000; f *= 1.5L) {
            const long double w = kTwoPi * f, h = 1e-3L;
            const auto lo = FinalGbwResponseAt(d, 1, d.StageCount, w * (1 - h));
            const auto hi = FinalGbwResponseAt(d, 1, d.StageCount, w * (1 + h));
            const auto mid = FinalGbwResponseAt(d, 1, d.StageCount, w);
            ASSERT_TRUE(lo && hi && mid);
            const long double slope =
                (hi->PhaseLag - lo->PhaseLag) * std::numbers::pi_v<long double> / 180.0L / (2 * h * w);
            EXPECT_NEAR(static_cast<double>(mid->Delay), static_cast<double>(slope),
                        1e-5 * static_cast<double>(slope))
                << (double)f;
        }
        const auto samples = FinalGbwResponseSamples(d);
        EXPECT_EQ(samples.size(), static_cast<std::size_t>(kResponseIntervals + 1));
    }
}

TEST(OpAmpGbwResponse, PredistortionBringsAHighQStageBackTowardsTheIdealResponse) {
    // One bandpass stage of Q = 10 at 10 kHz with op amps of 1 MHz (a hundred times the
    // stage frequency): the largest deviation from the ideal response over 7..14 kHz,
    // without and with predistortion.
    const stagetest::Spec spec{Bandpass, 0.5L, 40, 1000, 5000, 10000, 2};
    for (const char* key : {"SBP03", "SBP04", "SBP05", "SBP08"}) {
        SCOPED_TRACE(key);
        long double deviation[2] = {0, 0};
        for (const bool predistort : {false, true}) {
            TDesign target, d;
            ASSERT_TRUE(outtest::DesignWith(target, spec, Butterworth, key, false, false, 1.0e6L).ok);
            const auto designed = outtest::DesignWith(d, spec, Butterworth, key, false, predistort, 1.0e6L);
            ASSERT_TRUE(designed.ok) << designed.message;
            ASSERT_EQ(d.Circuits[1].Predistort, predistort ? 1 : 0);
            for (long double f = 7000; f <= 14000; f *= 1.01L) {
                const auto g = FinalGbwResponseAt(d, 1, 1, kTwoPi * f);
                const auto ideal = FinalResponseAt(target, StandardCExactR, 1, 1, kTwoPi * f);
                ASSERT_TRUE(g && ideal);
                deviation[predistort] =
                    std::max(deviation[predistort], std::fabs(Db(g->GainVV) - Db(ideal->GainVV)));
            }
        }
        RecordProperty(std::string(key) + "_plain_dB", std::to_string(static_cast<double>(deviation[0])));
        RecordProperty(std::string(key) + "_predistorted_dB",
                       std::to_string(static_cast<double>(deviation[1])));
        EXPECT_GT(deviation[0], 0.3L) << "the op amps visibly change the plain stage";
        EXPECT_LT(deviation[1], 0.5L * deviation[0])
            << "plain " << (double)deviation[0] << " dB, predistorted " << (double)deviation[1] << " dB";
    }
}

} // namespace
} // namespace velmora
