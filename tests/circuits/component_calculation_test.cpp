// Loading a catalogue row, the default op-amp GBW and the component calculation of a
// stage: starting capacitors, the user's capacitors kept, the exact-value mark, failures.
#include <tuple>

#include <gtest/gtest.h>

#include "circuit_stage_support.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/standard_values.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

using test::kTwoPi;
using test::OneStage;

TEST(LoadCatalogueRow, StartingCapacitorsByStageFrequencyAndRatio) {
    // 10 nF up to 31000 rad/s, 1 nF above; C2 one decade up (SLP02) or two (SLP03) with the
    // same list value; first order by wc.
    const std::tuple<const char*, long double, long double, long double> cases[] = {
        {"SLP01", 31000.0L, 10.0e-9L, 10.0e-9L}, {"SLP01", 31001.0L, 1.0e-9L, 1.0e-9L},
        {"SLP02", 31001.0L, 1.0e-9L, 10.0e-9L},  {"SLP03", 31001.0L, 1.0e-9L, 100.0e-9L},
        {"SLP03", 1000.0L, 10.0e-9L, 1.0e-6L},   {"FLP01", 31000.0L, 10.0e-9L, 0.0L},
        {"FLP01", 31001.0L, 1.0e-9L, 0.0L},
    };
    for (const auto& [key, w, c1, c2] : cases) {
        TDesign d = OneStage(key, w);
        ASSERT_TRUE(LoadCatalogueRow(d, 1));
        const TStageCircuit& c = d.Circuits[1];
        SCOPED_TRACE(std::string(key) + " at " + std::to_string(double(w)));
        EXPECT_NEAR(double(C(c, 1) / c1), 1.0, 1e-11);
        if (c2 > 0) {
            EXPECT_NEAR(double(C(c, 2) / c2), 1.0, 1e-11);
            EXPECT_NEAR(double(c.CapRatio), double(c2 / c1), 1e-9);
        }
        // The starting set is stored and the flag has done its work.
        EXPECT_EQ(c.Initialise, 0);
        EXPECT_EQ(d.CapSets[1].Value[1].value(), C(c, 1));
        EXPECT_EQ(d.CapSetsWorking[1].Value[2].value(), C(c, 2));
    }
}

TEST(LoadCatalogueRow, LaterLoadsKeepTheUsersCapacitors) {
    TDesign d = OneStage("SLP01", 1.0e4L);
    ASSERT_TRUE(LoadCatalogueRow(d, 1));
    d.CapSets[1].Value[1] = 3.3e-9L; // the user's capacitor
    d.Circuits[1].UseC1EqC2 = 1;     // an option the user set (not offered for SLP01)
    ASSERT_TRUE(LoadCatalogueRow(d, 1));
    EXPECT_EQ(C(d.Circuits[1], 1).value(), Real48(3.3e-9L).value());
    EXPECT_EQ(d.Circuits[1].UseC1EqC2, 1);
    // Re-initialising stores the starting values again.
    d.Circuits[1].Initialise = 1;
    ASSERT_TRUE(LoadCatalogueRow(d, 1));
    EXPECT_NEAR(double(C(d.Circuits[1], 1)), 10.0e-9, 1e-20);
    EXPECT_EQ(d.Circuits[1].UseC1EqC2, 0);
}

TEST(DefaultOpAmpGbw, TwentyTimesTheStageFrequencyRoundedDownAtLeastOneMegahertz) {
    const std::tuple<long double, long double, bool> cases[] = {
        {1.0e3L, 1.0e6L, false},   // 20 kHz, raised to the floor
        {170.0e3L, 3.0e6L, false}, // 3.4 MHz rounded down
        {5.0e6L, 100.0e6L, false}, // 99 999 999.99997 after storing: still 100 MHz
        {1.0e5L, 2.0e6L, true},    // first order: by wc
        {0.0L, 1.0e6L, false},
    };
    for (const auto& [fHz, gbw, firstOrder] : cases) {
        TStageCoeffs s;
        s.StageType = firstOrder ? stFLP : stSLP;
        s.Wp = firstOrder ? 0.0L : kTwoPi * fHz;
        s.Sigma = firstOrder ? kTwoPi * fHz : 0.0L;
        EXPECT_EQ(DefaultOpAmpGbw(s), gbw) << double(fHz);
    }
}

TEST(CalculateComponents, FirstOrderGainPairAndTheExactValueMark) {
    // FLP02 at gain 2: R2 = R3 = 10 kOhm, both standard, so both leave the calculation at
    // 10 kOhm x 1.0002. At gain 1.0 the circuit gives its least gain 1.1 and says so.
    TDesign d = OneStage("FLP02", 1.0e4L, 0.0L, 2.0L);
    ASSERT_TRUE(LoadAndCalculate(d, 1));
    const TStageCircuit& c = d.Circuits[1];
    EXPECT_NEAR(double(R(c, 3)), 10002.0, 1e-6);
    EXPECT_NEAR(double(R(c, 2)), 10002.0, 1e-6);
    EXPECT_NEAR(double(c.ActualGain), 2.0, 1e-12);

    TDesign one = OneStage("FLP02", 1.0e4L, 0.0L, 1.0L);
    ASSERT_TRUE(LoadAndCalculate(one, 1));
    EXPECT_NEAR(double(one.Circuits[1].ActualGain), 1.1, 1e-12);
    EXPECT_EQ(one.Circuits[1].GainFixed, 1);
    // The circuits' gain realiser reports what the circuit reaches.
    EXPECT_NEAR(double(CircuitGainRealiser().Realise(one, 1, 1.0L)), 1.1, 1e-12);
    EXPECT_NEAR(double(CircuitGainRealiser().Realise(one, 1, 3.0L)), 3.0, 1e-12);
}

TEST(CalculateComponents, FailureLeavesTheRecordAndMarksItNotRealisable) {
    // A bandpass asked for a gain above what the MFB bandpass can give beyond its clamp is
    // still realisable; a stage with no pole is not.
    TDesign d = OneStage("SLP01", 0.0L, 0.0L);
    ASSERT_TRUE(LoadCatalogueRow(d, 1));
    const TStageCircuit before = d.Circuits[1];
    EXPECT_FALSE(CalculateComponents(d, 1));
    EXPECT_EQ(d.Circuits[1].NotRealisable, 1);
    test::ExpectSameValues(d.Circuits[1], before);
    TDesign none;
    none.StageCount = 1;
    EXPECT_FALSE(CalculateComponents(none, 1));
    EXPECT_FALSE(LoadCatalogueRow(none, 1));
}

} // namespace
} // namespace velmora
