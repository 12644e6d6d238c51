// Component adjustment: the LU solver against known systems, the recalculation of every
// adjustable circuit against its own targets, refusals that keep the previous values, the
// gain report and the resistor entry.
#include <tuple>

#include <gtest/gtest.h>

#include "circuit_stage_support.h"
#include "circuits/component_adjustment.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::ForEachCalculatedStage;
using test::kTwoPi;

TEST(LuDecompose, SolvesKnownSystemsAndRefusesSingularOnes) {
    // Systems with a known solution, including ones that need row interchanges (a zero
    // on the first diagonal element) and badly scaled rows.
    const std::vector<std::pair<Matrix, std::vector<long double>>> systems = {
        {{{2, 1, -1}, {-3, -1, 2}, {-2, 1, 2}}, {2, 3, -1}},
        {{{0, 1, 2}, {1, 0, 3}, {4, -3, 8}}, {1, -2, 0.5L}},
        {{{1e-12L, 1e-12L}, {1, -1}}, {3, 7}},
        {{{4}}, {0.25L}},
    };
    for (const auto& [a, x] : systems) {
        std::vector<long double> b(a.size(), 0.0L);
        for (std::size_t i = 0; i < a.size(); ++i)
            for (std::size_t j = 0; j < a.size(); ++j)
                b[i] += a[i][j] * x[j];
        const auto f = LuDecompose(a);
        ASSERT_TRUE(f);
        const auto solved = LuSolve(*f, b);
        for (std::size_t i = 0; i < x.size(); ++i)
            EXPECT_NEAR(double(solved[i]), double(x[i]), 1e-12);
    }
    EXPECT_FALSE(LuDecompose({{1, 2}, {0, 0}}));                  // a row of zeros
    EXPECT_FALSE(LuDecompose({{1, 2}, {2, 4}}));                  // a zero pivot, no zero row
    EXPECT_FALSE(LuDecompose({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}})); // dependent rows
}

// The parameters a plan keeps, from the realised function of the stage.
StageParameters<long double> Realised(const TDesign& d) {
    const auto p = test::RealisedOf(d);
    EXPECT_TRUE(p);
    return p.value_or(StageParameters<long double>{});
}

TEST(CapacitorAdjustment, RecalculatedStageRealisesItsTargets) {
    int adjusted = 0;
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        SCOPED_TRACE(label);
        const auto* e = StageCircuitEntry(d, 1);
        const auto plan = CapacitorAdjustmentPlan(e->key);
        if (!plan) {
            const TDesign before = d;
            const RecalcResult r = SetCapacitor(d, 1, 1, C(d.Circuits[1], 1) * 0.95L);
            EXPECT_EQ(r.status, RecalcStatus::NotAmenable);
            test::ExpectSameValues(d.Circuits[1], before.Circuits[1]);
            return;
        }
        const StageParameters<long double> target = Realised(d);
        // C1 down and C2 up by 5 %: inside the entry range, and on the realisable side of
        // the unity-gain Sallen-Key lowpass.
        std::array<long double, kCapacitorSlots + 1> f{};
        f[1] = C(d.Circuits[1], 1) * 0.95L;
        if (d.Circuits[1].CapacitorCount >= 2) f[2] = C(d.Circuits[1], 2) * 1.05L;
        const RecalcResult r = SetCapacitors(d, 1, f);
        ASSERT_TRUE(r.ok());
        ++adjusted;
        EXPECT_EQ(static_cast<long double>(C(d.Circuits[1], 1)), static_cast<long double>(Real48(f[1])));
        EXPECT_EQ(d.Circuits[1].CapsExact, 1);
        const StageParameters<long double> now = Realised(d);
        // 1e-9: the resistors are stored as Real48 (about 1e-12 relative each).
        EXPECT_NEAR(double(now.wp / target.wp), 1.0, 1e-9);
        if (!isFirstOrder(d.Stages[1].StageType)) {
            EXPECT_NEAR(double(now.qp / target.qp), 1.0, 1e-9);
        }
        if (plan->gain) {
            EXPECT_NEAR(double(now.gain / target.gain), 1.0, 1e-9);
        }
        if (plan->wz) {
            EXPECT_NEAR(double(now.wz / target.wz), 1.0, 1e-9);
        }
        // The reference values are the calculated ones, and the offset is measured from them.
        const TComponentItem& c1 = d.Circuits[1].Components[kResistorSlots + 1];
        EXPECT_NEAR(double(c1.Offset / c1.Alternative), -0.05, 1e-9);
    });
    EXPECT_GT(adjusted, 100);
}

TEST(CapacitorAdjustment, UnrealisableValuesKeepThePreviousOnes) {
    // Unity-gain Sallen-Key lowpass at Qp = 1/sqrt(2): R1 = R2, and a C2/C1 ratio below
    // 4 Qp^2 = 2 cannot give that Q with any resistors.
    TDesign d = CalculatedStage("SLP01", kTwoPi * 1000.0L, 0.7071067811865476L, 1.0L);
    const TDesign before = d;
    const RecalcResult r = SetCapacitor(d, 1, 1, C(d.Circuits[1], 1) * 1.1L);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.status == RecalcStatus::Failed || r.status == RecalcStatus::Invalid);
    test::ExpectSameValues(d.Circuits[1], before.Circuits[1]);
    EXPECT_EQ(d.Circuits[1].CapsExact, 0);

    // While standard values are on, capacitors are locked.
    d.Components.StandardROn = 1;
    EXPECT_EQ(SetCapacitor(d, 1, 1, C(d.Circuits[1], 1) * 0.95L).status, RecalcStatus::Locked);
}

TEST(CapacitorAdjustment, GainReportFollowsTheCapacitorRatio) {
    // FHP03's gain is C1/C2: C2 up 5 % lowers it by 1 - 1/1.05 = 4.76 %.
    TDesign d = CalculatedStage("FHP03", kTwoPi * 1000.0L, 0.0L, 2.0L);
    const RecalcResult r = SetCapacitor(d, 1, 2, C(d.Circuits[1], 2) * 1.05L);
    ASSERT_TRUE(r.ok());
    EXPECT_NEAR(static_cast<double>(r.gainChange), 1.0 / 1.05 - 1.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(GainChange(2.0L, 2.1L)), 0.05, 1e-15);
    EXPECT_EQ(GainChange(2.0L, 2.0L), 0.0L);

    // An inverting multiple-feedback lowpass keeps its gain: no report.
    TDesign m = CalculatedStage("SLP03", kTwoPi * 1000.0L, 1.3L, 2.0L);
    const RecalcResult k = SetCapacitor(m, 1, 2, C(m.Circuits[1], 2) * 1.05L);
    ASSERT_TRUE(k.ok());
    EXPECT_EQ(k.gainChange, 0.0L);
}

TEST(CapacitorAdjustment, StepsAndResetReturnToTheCalculatedValues) {
    // Every capacitor of the state-variable lowpass one step up: its Q does not depend on
    // the capacitor ratio, so any pair can be met.
    const auto up = [](long double c) {
        return static_cast<long double>(Real48(*StepCapacitor(CapStep::Up, c)));
    };
    const auto cap = [](const TDesign& x, int n) { return static_cast<long double>(C(x.Circuits[1], n)); };
    TDesign d = CalculatedStage("SLP13", kTwoPi * 1000.0L, 1.3L, 2.0L);
    const long double c1 = cap(d, 1), c2 = cap(d, 2);
    ASSERT_TRUE(StepCapacitors(d, 1, CapacitorGroup::All, +1).ok());
    EXPECT_EQ(std::tuple(cap(d, 1), cap(d, 2)), std::tuple(up(c1), up(c2)));

    // C2 of the multiple-feedback lowpass one step up (a larger C2/C1 allows the Q).
    TDesign m = CalculatedStage("SLP03", kTwoPi * 1000.0L, 1.3L, 2.0L);
    const TDesign calculated = m;
    const long double m1 = cap(m, 1), m2 = cap(m, 2);
    ASSERT_TRUE(StepCapacitors(m, 1, CapacitorGroup::C2Only, +1).ok());
    EXPECT_EQ(std::tuple(cap(m, 1), cap(m, 2)), std::tuple(m1, up(m2)));
    // The exact-C variant's reference is the calculated stage.
    const ComponentValues<long double> ref = ReferenceComponentValues(m, 1);
    for (int n = 1; n <= 3; ++n)
        EXPECT_NEAR(double(ref.R[static_cast<std::size_t>(n)] / R(calculated.Circuits[1], n)), 1.0, 1e-12);
    ResetStage(m, 1);
    EXPECT_EQ(m.Circuits[1].CapsExact, 0);
    for (int n = 1; n <= kComponentSlots; ++n)
        EXPECT_NEAR(double(m.Circuits[1].Components[n].Value),
                    double(calculated.Circuits[1].Components[n].Value),
                    1e-12 * double(calculated.Circuits[1].Components[n].Value));
}

TEST(CapacitorAdjustment, GainPairStepKeepsThePoles) {
    TDesign d = CalculatedStage("SLP02", kTwoPi * 1000.0L, 0.9L, 1.0L);
    const StageParameters<long double> before = Realised(d);
    const long double r4 = R(d.Circuits[1], 4);
    const RecalcResult r = StepGainPair(d, 1, +1);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(FindInSeries(R(d.Circuits[1], 4), Series::E24));
    EXPECT_GT(static_cast<long double>(R(d.Circuits[1], 4)), r4);
    const StageParameters<long double> after = Realised(d);
    EXPECT_NEAR(double(after.wp / before.wp), 1.0, 1e-9);
    EXPECT_NEAR(double(after.qp / before.qp), 1.0, 1e-9);
    EXPECT_NE(r.gainChange, 0.0L);
}

TEST(ResistorEntry, MultipliersAndRefusals) {
    const std::tuple<const char*, std::optional<long double>> cases[] = {
        {"4.7K", 4700.0L},     {"4.7k", 4700.0L},       {"1.5M", 1.5e6L},   {"2G", 2.0e9L},
        {" 330 ", 330.0L},     {"0.005", 0.005L},       {"", std::nullopt}, {"K", std::nullopt},
        {"abc", std::nullopt}, {"4.7KK", std::nullopt}, {"1e3", 1000.0L}};
    for (const auto& [text, ohms] : cases) {
        const auto v = ParseResistance(text);
        ASSERT_EQ(v.has_value(), ohms.has_value()) << text;
        if (v) {
            EXPECT_NEAR(double(*v / *ohms), 1.0, 1e-15) << text;
        }
    }
    TDesign d = CalculatedStage("SLP03", kTwoPi * 1000.0L, 1.3L, 2.0L);
    d.Components.ResistorTolerance = 5.0L;
    AssignResistor(d, 1, 2, 4700.0L);
    EXPECT_EQ(static_cast<long double>(d.Circuits[1].Components[2].Adjusted), 4700.0L);
    EXPECT_EQ(d.Circuits[1].Components[2].AdjustedMark, 1);
    AssignResistor(d, 1, 2, 4800.0L);
    EXPECT_EQ(d.Circuits[1].Components[2].AdjustedMark, 0);
}

} // namespace
} // namespace velmora
