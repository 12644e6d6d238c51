// Worked designs whose values follow from the design equations by hand: the choices a
// circuit makes that its realised function does not show (capacitor ratios, fixed gains,
// the " C2 variable" stepping).
#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "support/circuit_cases.h"

namespace velmora {
namespace {

using namespace test;

const long double kWp = 2 * kPiL * 1e3L;

TEST(CircuitExamples, FollowerGainWhateverIsAsked) {
    auto d = LoadedStage("FHP01", {kWp, 0, 3.0L});
    ASSERT_TRUE(RoutinesOf("FHP01").design(*d, 1));
    EXPECT_EQ(std::tuple(d->Circuits[1].ActualGain.value(), d->Circuits[1].GainFixed), std::tuple(1.0L, 1));
}

TEST(CircuitExamples, SallenKeyCapacitorRatios) {
    // The last column is C2/C1.
    // SLP01: C2 = 4 Qp^2 C1 with equal resistors, so 2 at Qp = 1/sqrt 2; " C2 variable"
    // raises r = 1 to 10 at Qp = 0.5 and moves on to 100 where 4 Qp^2 reaches 10. SLP02:
    // C2 = 2 Qp C1, or C1 = C2. SLP03: C2 = 4 Qp^2 (K + 1) C1.
    const std::tuple<const char*, long double, long double, bool, bool, long double> cases[] = {
        {"SLP01", 1 / std::sqrt(2.0L), 1, false, false, 2},
        {"SLP01", 0.5L, 1, true, false, 10},
        {"SLP01", std::sqrt(10.0L) / 2, 1, true, false, 100},
        {"SLP01", 3, 1, true, false, 100},
        {"SLP02", 2, 1, false, false, 4},
        {"SLP02", 2, 1, false, true, 1},
        {"SLP03", 1.5L, 2, false, false, 27},
    };
    for (const auto& [key, qp, k, c2Variable, c1EqC2, ratio] : cases) {
        auto d = LoadedStage(key, {kWp, qp, k, 0, c2Variable, c1EqC2});
        ASSERT_TRUE(RoutinesOf(key).design(*d, 1)) << key;
        const TStageCircuit& c = d->Circuits[1];
        EXPECT_NEAR(double(C(c, 2) / C(c, 1)), double(ratio), 1e-9) << key << " Qp=" << double(qp);
        if (c2Variable) {
            EXPECT_EQ(c.CapRatio.value(), ratio);
        }
    }
}

TEST(CircuitExamples, SallenKeyC2VariableStepsC2DownUntilTheGainExceedsOne) {
    // The gain of the " C2 variable" Sallen-Key lowpass falls as C2/C1 grows; at low Q the
    // starting ratio 10 gives K <= 1 and C2 steps down the 12-value series until K > 1.
    for (long double qp : {0.5L, 0.6L, 0.8L, 1.0L, 1.15L, 1.5L, 4.0L, 30.0L}) {
        auto d = LoadedStage("SLP02", {kWp, qp, 1.0L, 0, true});
        const long double c2Start = C(d->Circuits[1], 2);
        ASSERT_TRUE(RoutinesOf("SLP02").design(*d, 1)) << double(qp);
        const TStageCircuit& c = d->Circuits[1];
        EXPECT_GT(c.ActualGain, 1.0L);
        EXPECT_EQ(c.C2Alone, 1);
        EXPECT_NEAR(double(c.CapRatio), double(C(c, 2) / C(c, 1)), 1e-11);
        if (qp >= 1.5L) { // no step needed
            EXPECT_EQ(C(c, 2), c2Start);
        }
        if (qp <= 1.0L) {
            EXPECT_LT(C(c, 2), c2Start);
        }
    }
}

} // namespace
} // namespace velmora
