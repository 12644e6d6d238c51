// Gain distribution with circuits that cannot give every gain: a test double caps the
// gain of chosen stages, and the make-up, the dynamic ranges and the overall gain are
// checked against the worked-out values.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "stage_test_support.h"
#include "stages/gains.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

// Circuits whose gain cannot exceed a cap (a fixed V/V value per stage).
class CappedCircuits : public StageGainRealiser {
  public:
    std::map<int, long double> cap;
    mutable int calls = 0;
    long double Realise(TDesign&, int stage, long double gain) const override {
        ++calls;
        auto it = cap.find(stage);
        return it != cap.end() && gain > it->second ? it->second : gain;
    }
};

// N second-order lowpass stages with the given To values.
TDesign Stages(std::vector<long double> to, long double G) {
    TDesign d;
    NewDesign(d, Lowpass);
    d.Spec.OverallGain = G;
    d.StageCount = static_cast<int16_t>(to.size());
    for (int i = 1; i <= d.StageCount; ++i) {
        d.Stages[i].StageType = stSLP;
        d.Stages[i].Wp = 1000.0L * i;
        d.Stages[i].Qp = 0.7L;
        d.Stages[i].To = to[i - 1];
    }
    return d;
}

// The gains distributed over such stages with the circuits capped at `caps` (none: every
// gain realised), and the overall gain they reach.
TDesign Distributed(std::vector<long double> to, long double G, std::map<int, long double> caps = {}) {
    TDesign d = Stages(std::move(to), G);
    CappedCircuits circuits;
    circuits.cap = std::move(caps);
    DistributeGains(d, circuits);
    OverallActualGain(d);
    return d;
}

// Gains are stored rounded to ~1e-12 relative.
constexpr double kTol = 1e-10;

TEST(Gains, UnconstrainedStagesSplitTheGainEquallyInDecibels) {
    // share: each stage's optimal gain over its To.
    const std::vector<std::tuple<long double, std::vector<long double>, long double>> cases = {
        {1.0L, {0.5L, 2.0L, 1.25L}, 1.0L},
        {100.0L, {1.0L, 3.0L, 0.2L, 7.0L}, std::sqrt(10.0L)},
        {0.01L, {2.0L, 4.0L}, 0.1L},
    };
    for (const auto& [G, to, share] : cases) {
        TDesign d = Stages(to, G);
        DistributeGains(d); // the default realiser: every gain as asked
        OverallActualGain(d);
        for (int i = 1; i <= d.StageCount; ++i) {
            EXPECT_NEAR((double)d.Circuits[i].OptimalGain, (double)(to[i - 1] * share),
                        kTol * (double)(to[i - 1] * share));
            EXPECT_EQ((double)d.Circuits[i].ActualGain, (double)d.Circuits[i].OptimalGain);
            EXPECT_NEAR((double)d.Circuits[i].DynamicRange, 100.0, 1e-9);
            EXPECT_EQ(d.Circuits[i].GainConstrained, 0);
        }
        EXPECT_NEAR((double)d.ActualOverallGain, (double)G, kTol * (double)G);
        EXPECT_EQ(d.ConstrainedCount, 0);
    }
}

TEST(Gains, AConstrainedInnerStageIsMadeUpByTheNextStage) {
    // Stage i reaches half its optimal gain: stage i+1 doubles, stage i loses 6 dB of
    // dynamic range and every other stage keeps all of it.
    for (int i = 1; i <= 3; ++i) {
        const long double opt = OptimalStageGain(Stages({1.5L, 0.8L, 2.0L, 1.1L}, 4.0L), i);
        const TDesign d = Distributed({1.5L, 0.8L, 2.0L, 1.1L}, 4.0L, {{i, opt / 2}});
        for (int k = 1; k <= 4; ++k) {
            const TStageCircuit& c = d.Circuits[k];
            const long double expected = k == i ? 0.5L : (k == i + 1 ? 2.0L : 1.0L);
            EXPECT_NEAR((double)(c.ActualGain / c.OptimalGain), (double)expected, kTol) << "stage " << k;
            EXPECT_NEAR((double)c.DynamicRange, k == i ? 50.0 : 100.0, 1e-8) << "stage " << k;
            EXPECT_EQ(c.GainConstrained, k == i ? 1 : 0);
        }
        EXPECT_NEAR((double)d.ActualOverallGain, 4.0, 4.0 * kTol);
        EXPECT_EQ(d.ConstrainedCount, 1);
    }
}

TEST(Gains, AConstrainedLastStageIsSpreadOverTheStagesBeforeIt) {
    const TDesign d = Distributed({1.0L, 2.0L, 0.5L}, 8.0L,
                                  {{3, OptimalStageGain(Stages({1.0L, 2.0L, 0.5L}, 8.0L), 3) / 2}});
    const long double r2 = std::sqrt(2.0L);
    const long double ratio[] = {0, r2, r2, 0.5L};
    const double range[] = {0, 100.0 / std::sqrt(2.0), 100.0, 50.0};
    for (int k = 1; k <= 3; ++k) {
        const TStageCircuit& c = d.Circuits[k];
        EXPECT_NEAR((double)(c.ActualGain / c.OptimalGain), (double)ratio[k], kTol) << k;
        EXPECT_NEAR((double)c.DynamicRange, range[k], 1e-8) << k;
    }
    EXPECT_NEAR((double)d.ActualOverallGain, 8.0, 8.0 * kTol);
}

TEST(Gains, AStageDrivenIntoItsLimitByTheMakeUpStaysConstrained) {
    // Stage 3 reaches half; stage 2 cannot take the sqrt(2) it is then asked for and
    // reaches 1.2 times its optimal gain: the redistribution puts the rest on stage 1.
    const TDesign d = Distributed({1.0L, 1.0L, 1.0L}, 1.0L, {{3, 0.5L}, {2, 1.2L}});
    EXPECT_EQ(std::tuple(d.Circuits[2].GainConstrained, d.Circuits[3].GainConstrained), std::tuple(1, 1));
    EXPECT_NEAR((double)d.Circuits[1].ActualGain, 1.0 / (1.2 * 0.5), kTol);
    EXPECT_NEAR((double)d.Circuits[2].ActualGain, 1.2, kTol);
    EXPECT_NEAR((double)d.ActualOverallGain, 1.0, kTol);
    EXPECT_EQ(d.ConstrainedCount, 2);
}

TEST(Gains, EveryStageConstrainedMissesTheSpecifiedGain) {
    const TDesign d = Distributed({1.0L, 1.0L}, 10.0L, {{1, 1.0L}, {2, 1.0L}});
    EXPECT_NEAR((double)d.ActualOverallGain, 1.0, kTol);
    EXPECT_EQ(d.ConstrainedCount, 2);
    // The first stage is the most heavily driven (P1 = P2 is not larger).
    EXPECT_NEAR((double)d.Circuits[1].DynamicRange, 100.0, 1e-8);
    EXPECT_NEAR((double)d.Circuits[2].DynamicRange, 100.0 / std::sqrt(10.0), 1e-8);
}

TEST(Gains, AZeroGainShowsNoDynamicRangeInsteadOfNaN) {
    const TDesign d = Distributed({1.0L, 1.0L}, 1.0L, {{1, 0.0L}}); // a stage whose circuit gives nothing
    for (int k = 1; k <= 2; ++k)
        EXPECT_TRUE(std::isfinite((double)d.Circuits[k].DynamicRange));
    EXPECT_EQ((double)d.Circuits[1].DynamicRange, 0.0);
}

TEST(Gains, LowpassNotchGainsAreShownAtLowFrequencies) {
    TStageCoeffs s = {stSLPN, "", 0, 0, 0, 0, 1000.0L, 0, 2000.0L, 0, 0, 0, 0};
    EXPECT_DOUBLE_EQ((double)GainPresentationFactor(s), 4.0);
    s.StageType = stSHPN;
    EXPECT_DOUBLE_EQ((double)GainPresentationFactor(s), 1.0);
}

} // namespace
} // namespace velmora
