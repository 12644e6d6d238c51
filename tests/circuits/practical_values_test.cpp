// Practical component values: a chosen starting capacitor moves only a stage's impedance
// level, values outside the practical range are found exactly at its bounds, and the
// automatic start brings a low-frequency stage's values into the range.
#include <tuple>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "circuit_stage_support.h"
#include "circuits/practical_values.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::ForEachCalculatedStage;
using test::kTwoPi;

// Every circuit started from another C1 realises the same stage (pole, Q, gain and zero
// of its transfer function, a second computation from the components), with every
// capacitor scaled by the same factor.
TEST(PracticalValues, AChosenStartCapacitorKeepsTheStage) {
    int stages = 0;
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        SCOPED_TRACE(label);
        ++stages;
        const auto before = test::RealisedOf(d);
        ASSERT_TRUE(before);
        const long double c1 = d.Circuits[1].Components[kResistorSlots + 1].Value;
        for (const long double start : {4.7e-9L, 220e-12L, 1.5e-6L}) {
            TDesign t = d;
            ASSERT_TRUE(StartStageFrom(t, 1, start));
            const TStageCircuit& c = t.Circuits[1];
            EXPECT_NEAR(double(C(c, 1) / start), 1.0, 1e-12);
            EXPECT_NEAR(double(t.CapSets[1].Value[1] / start), 1.0, 1e-12);
            for (int n = 2; n <= c.CapacitorCount; ++n)
                EXPECT_NEAR(double(C(c, n) / C(d.Circuits[1], n) / (start / c1)), 1.0, 1e-9) << "C" << n;
            const auto after = test::RealisedOf(t);
            ASSERT_TRUE(after);
            test::ExpectSameParameters(*after, *before, 1e-9L); // Real48 values: ~1e-12 relative each
        }
    });
    EXPECT_GT(stages, 150);
}

// A value warns exactly when it is outside 100 Ohm .. 1 MOhm or 100 pF .. 10 uF.
TEST(PracticalValues, WarningsStartExactlyAtTheBounds) {
    const std::tuple<bool, long double, int, bool> cases[] = {
        {true, 99.99L, 1, false},  {true, 100.0L, 0, false},     {true, 1.0e6L, 0, false},
        {true, 1.001e6L, 1, true}, {false, 99.9e-12L, 1, false}, {false, 100e-12L, 0, false},
        {false, 10e-6L, 0, false}, {false, 10.1e-6L, 1, true},
    };
    TDesign base = CalculatedStage("SLP01", kTwoPi * 1000.0L, 0.7071L, 1.0L);
    ASSERT_TRUE(ImpracticalValues(base).empty());
    for (const auto& [resistor, value, warnings, above] : cases) {
        SCOPED_TRACE(double(value));
        TDesign d = base;
        if (resistor)
            R(d.Circuits[1], 2) = value;
        else
            C(d.Circuits[1], 2) = value;
        const auto v = ImpracticalValues(d);
        ASSERT_EQ(static_cast<int>(v.size()), warnings);
        if (v.empty()) continue;
        EXPECT_EQ(std::tuple(v[0].Stage, v[0].Resistor, v[0].Number, v[0].Above),
                  std::tuple(1, resistor, 2, above));
    }
    TDesign d = base;
    R(d.Circuits[1], 1) = 2.2e6L;
    EXPECT_EQ(app::ImpracticalValueText(ImpracticalValues(d)[0]), "Stage 1: R1 = 2.2M is above 1M");
}

// The automatic start keeps a practical stage as it is, moves a 2 Hz stage (megohms from
// 10 nF) to the nearest practical start, and takes the largest start for a stage no
// start makes practical.
TEST(PracticalValues, AutomaticStartMovesOnlyImpracticalStages) {
    for (const auto& [hz, moves, practical] :
         {std::tuple{1000.0L, false, true}, {2.0L, true, true}, {0.001L, true, false}}) {
        SCOPED_TRACE(double(hz));
        TDesign d = CalculatedStage("SLP01", kTwoPi * hz, 2.0L, 1.0L);
        const TDesign before = d;
        EXPECT_EQ(PreferPracticalStart(d, 1), moves);
        EXPECT_EQ(ImpracticalValues(d).empty(), practical);
        if (!moves) {
            EXPECT_EQ(C(d.Circuits[1], 1), C(before.Circuits[1], 1));
        }
        if (moves && practical) {
            // The nearest practical start: the next smaller start of the series would
            // leave a value out of range.
            const long double c1 = C(d.Circuits[1], 1);
            const auto p = LogNearestE12(c1);
            TDesign t = before;
            ASSERT_TRUE(p);
            ASSERT_TRUE(StartStageFrom(t, 1, SeriesValue(Series::E12, StepPosition(Series::E12, *p, -1))));
            EXPECT_FALSE(ImpracticalValues(t).empty());
        }
    }
}

} // namespace
} // namespace velmora
