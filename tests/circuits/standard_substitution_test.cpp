// Standard resistor substitution: both strategies over every circuit, the worked
// neighbour choices, the inventory's effect and the design-wide step.
#include <cmath>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "circuit_stage_support.h"
#include "circuits/inventory_lookup.h"
#include "circuits/standard_substitution.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::ForEachCalculatedStage;
using test::kTwoPi;

// The two series values around x by a plain scan over the decades of the table, a second
// way of finding the neighbours.
std::pair<long double, long double> ScanNeighbours(long double x, Series s) {
    long double below = 0.0L, above = 0.0L;
    for (int e = -3; e <= 9; ++e)
        for (const int m : SeriesMantissas(s)) {
            const long double v = m * std::pow(10.0L, static_cast<long double>(e));
            if (v <= x * (1.0L + 1e-9L) && v > below) below = v;
            if (v >= x * (1.0L - 1e-9L) && (above == 0.0L || v < above)) above = v;
        }
    return {below, above};
}

TEST(StandardSubstitution, StrategyOneNeverWorseAndEveryResistorInTheSeries) {
    int stages = 0, improved = 0;
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        SCOPED_TRACE(label);
        ++stages;
        const TStageCircuit& c = d.Circuits[1];
        const ComponentValues<long double> exact = StageComponentValues(c);
        const CircuitRoutines* routines = StageCircuitRoutines(d, 1);
        const std::vector<long double> w = DecisiveFrequencies(d, 1);
        for (const Series series : {Series::E96, Series::E24, Series::E12}) {
            const auto nearest = SubstituteStandardResistors(
                d, 1, exact, {.series = series, .strategy = SubstitutionStrategy::Nearest});
            const auto optimised = SubstituteStandardResistors(
                d, 1, exact, {.series = series, .strategy = SubstitutionStrategy::Optimised});
            ASSERT_TRUE(nearest && optimised);
            // The figures recomputed from the values each strategy returned.
            const auto deviation = [&](const auto& s) {
                return DeviationDb(routines->realise(s->values), routines->realise(exact), w);
            };
            const long double devNearest = deviation(nearest), devOptimised = deviation(optimised);
            EXPECT_LE(devOptimised, devNearest);
            if (devOptimised < devNearest) ++improved;
            for (int n = 1; n <= c.ResistorCount; ++n) {
                const long double x = exact.R[static_cast<std::size_t>(n)];
                const auto [below, above] = ScanNeighbours(x, series);
                for (const auto* s : {&*nearest, &*optimised}) {
                    const long double v = s->values.R[static_cast<std::size_t>(n)];
                    EXPECT_TRUE(std::fabs(v - below) <= 1e-9L * v || std::fabs(v - above) <= 1e-9L * v)
                        << "R" << n << " is no neighbour of " << double(x);
                }
                // Strategy 2: the nearer neighbour, the lower on a tie.
                const long double v = nearest->values.R[static_cast<std::size_t>(n)];
                const long double want = (above - x) < (x - below) ? above : below;
                EXPECT_NEAR(double(v / want), 1.0, 1e-12) << "R" << n;
            }
        }
    });
    EXPECT_GT(stages, 150);
    // The joint choice must find something better somewhere, or it is not searching.
    EXPECT_GT(improved, stages / 10);
}

TEST(StandardSubstitution, InventoryRestrictsTheCandidates) {
    TDesign d = CalculatedStage("FLP02", kTwoPi * 1000.0L, 0.0L, 2.0L);
    ComponentValues<long double> exact = StageComponentValues(d.Circuits[1]);
    exact.R[1] = 9800.0L; // E96 neighbours 9.76K (nearer) and 10.0K
    Inventory inv = FullInventory();
    const SubstitutionOptions o{Series::E96, SubstitutionStrategy::Nearest, &inv};
    auto s = SubstituteStandardResistors(d, 1, exact, o);
    ASSERT_TRUE(s);
    EXPECT_NEAR(double(s->values.R[1]), 9760.0, 1e-9);

    // 9.76K out of stock: the upper neighbour (the search itself is the inventory lookup's).
    const auto p976 = FindInSeries(9760.0L, Series::E96);
    inv[InventoryKind::Resistors1].SetMark(InventoryDecade(InventoryKind::Resistors1, *p976), p976->index,
                                           false);
    s = SubstituteStandardResistors(d, 1, exact, o);
    EXPECT_NEAR(double(s->values.R[1]), 10000.0, 1e-9);

    // Nothing in stock: every resistor keeps its exact value and is named.
    for (int dec = 0; dec < kResistorDecades; ++dec)
        for (int i = 0; i < 96; ++i)
            inv[InventoryKind::Resistors1].SetMark(dec, i, false);
    s = SubstituteStandardResistors(d, 1, exact, o);
    EXPECT_EQ(s->values.R[1], 9800.0L);
    EXPECT_EQ(s->keptExact.size(), static_cast<std::size_t>(d.Circuits[1].ResistorCount));
}

TEST(StandardSubstitution, ParsesAdjustLists) {
    EXPECT_EQ(ParseAdjustList("02,01,02"), (std::vector<int>{1, 2}));
    EXPECT_EQ(ParseAdjustList("04,01,02,03,04"), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(ParseAdjustList("").empty());
    EXPECT_TRUE(ParseAdjustList("03,01,02").empty()); // count does not match
    EXPECT_TRUE(ParseAdjustList("01,11").empty());    // no such resistor
}

TEST(StandardRStep, MessagesAndTolerances) {
    EXPECT_EQ(app::CapacitorsNotExactMessage({2}),
              "There are capacitor(s) in stage 2 not set to exact values.");
    EXPECT_EQ(app::CapacitorsNotExactMessage({1, 3}),
              "There are capacitor(s) in stages 1,3 not set to exact values.");
    EXPECT_EQ(app::CapacitorsNotExactMessage({}), "");

    TDesign d = CalculatedStage("SLP03", kTwoPi * 1000.0L, 1.3L, 2.0L);
    for (const long double tol : {2.0L, 20.0L}) {
        d.Components.ResistorTolerance = tol;
        const TDesign before = d;
        const StandardRResult r = SwitchStandardROn(d, nullptr);
        EXPECT_EQ(std::tuple(r.ok, r.noSeries), std::tuple(false, true));
        EXPECT_EQ(d.Components.StandardROn, 0);
        test::ExpectSameValues(d.Circuits[1], before.Circuits[1]);
    }
}

TEST(StandardRStep, OnSavesExactValuesOffRestoresThem) {
    TDesign d = CalculatedStage("SLP03", kTwoPi * 1000.0L, 1.3L, 2.0L);
    d.StageCount = 2;
    d.Stages[2] = d.Stages[1];
    d.Circuits[2] = d.Circuits[1];
    d.CapSets[2] = d.CapSets[1];
    d.Circuits[2].CapsExact = 1;
    d.Components.ResistorTolerance = 5.0L;
    d.Circuits[1].Components[2].Adjusted = 4700.0L; // a user value of R2 stays as it is
    const TDesign before = d;

    const StandardRResult r = SwitchStandardROn(d, nullptr);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.stagesWithoutExactCapacitors, std::vector<int>{1});
    EXPECT_EQ(d.Components.StandardROn, 1);
    for (int i = 1; i <= 2; ++i)
        for (int n = 1; n <= d.Circuits[i].ResistorCount; ++n) {
            const TComponentItem& item = d.Circuits[i].Components[n];
            EXPECT_TRUE(FindInSeries(item.Value, Series::E24)) << "stage " << i << " R" << n;
            EXPECT_EQ(item.Exact.value(), before.Circuits[i].Components[n].Value.value());
        }
    EXPECT_EQ(d.Circuits[1].Components[2].Adjusted.value(), 4700.0L);
    EXPECT_EQ(d.Circuits[1].Components[1].Adjusted.value(), 0.0L);
    // The actual gain is what the standard resistors realise: R2/R1 for this circuit.
    EXPECT_NEAR(double(d.Circuits[1].ActualGain),
                double(d.Circuits[1].Components[2].Value / d.Circuits[1].Components[1].Value), 1e-12);

    // Changing the strategy redoes the substitution; switching off restores every value.
    EXPECT_TRUE(SetSubstitutionStrategy(d, 2, nullptr).ok);
    EXPECT_EQ(d.Components.StandardROn, 1);
    SwitchStandardROff(d);
    EXPECT_EQ(d.Components.StandardROn, 0);
    for (int i = 1; i <= 2; ++i)
        for (int n = 1; n <= d.Circuits[i].ResistorCount; ++n) {
            EXPECT_EQ(d.Circuits[i].Components[n].Value.value(),
                      before.Circuits[i].Components[n].Value.value());
            EXPECT_EQ(d.Circuits[i].Components[n].Exact.value(), 0.0L);
        }
    EXPECT_NEAR(double(d.Circuits[1].ActualGain), double(before.Circuits[1].ActualGain), 1e-9);
}

} // namespace
} // namespace velmora
