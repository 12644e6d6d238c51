#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "analysis/ideal_responses.h"
#include "analysis/time_response.h"
#include "support/cascade_simulation.h"
#include "support/hand_built_filters.h"

namespace velmora {
namespace {

using test::HandFilter;

HandFilter Named(const std::string& name) {
    for (const auto& f : test::HandBuiltFilters())
        if (f.name == name) return f;
    throw std::logic_error("no hand-built filter " + name);
}

// ---- Time axis ------------------------------------------------------------------------

TEST(DefaultTimeAxis, WorkedExamples) {
    static TDesign d; // large: kept off the stack
    // Two pole pairs, the last with sigma = 1000/s: T = (199 - 38)/(12 * 1000) s =
    // 13.4 ms, a third of it 4.47 ms: 4.47 in units of 1e-3 s, so an axis of 5 by 0.5.
    // A lone real pole at 1000/s: 40/1000 s, a third is 13.3 ms = 1.33 x 1e-2 s.
    // Three pairs, last sigma 100/s: (199 - 57)/(18 * 100) = 78.9 ms, /3 = 26.3 ms: 10 by 1 (x 1e-3).
    const std::tuple<HandFilter, int, long double, long double> cases[] = {
        {{.name = "two pairs", .wpb = 1000, .sections = {{4000, 9e6}, {2000, 4e6}}}, -3, 5, 0.5L},
        {{.name = "real pole", .wpb = 1000, .realPoles = {1000}}, -2, 2, 0.2L},
        {{.name = "three pairs", .wpb = 100, .sections = {{800, 1e6}, {400, 1e6}, {200, 1e6}}}, -2, 5, 0.5L},
    };
    TimeAxis a;
    for (const auto& [f, exp, fullScale, tick] : cases) {
        test::Install(d, f);
        a = DefaultTimeAxis(d);
        EXPECT_EQ(a.Exp, exp) << f.name;
        EXPECT_EQ(a.FullScale, fullScale) << f.name;
        EXPECT_EQ(a.Tick, tick) << f.name;
    }
    test::Install(d, std::get<0>(cases[1])); // the real pole's axis at its points
    a = DefaultTimeAxis(d);
    EXPECT_NEAR(AxisTime(a, 350), 0.02L, 1e-15L);
    EXPECT_NEAR(AxisTime(a, 35), 0.002L, 1e-15L);

    // No approximation with a response: a finite default rather than an endless loop.
    NewDesign(d, Lowpass);
    a = DefaultTimeAxis(d);
    EXPECT_EQ(std::tuple(a.FullScale, a.Exp), std::tuple(2, 0));
}

// ---- Closed forms -----------------------------------------------------------------------

TEST(TimeResponse, CoincidentPolesOfQHalf) {
    // sigma^2 / (s + sigma)^2: y = 1 - e^-sigma t (1 + sigma t), h = sigma^2 t e^-sigma t.
    // The residues of the double pole are found by opening it by 1e-6, which costs
    // about 1e-12 of the response; 1e-9 is the tolerance.
    const HandFilter f = Named("critically damped lowpass (Q exactly 0.5)");
    static TDesign d; // large: kept off the stack
    test::Install(d, f);
    const ResidueSet r = Residues(IdealFilterOf(d, 0));
    ASSERT_TRUE(r.Valid);
    const long double s = f.wpb;
    for (long double st : {0.0L, 0.1L, 0.5L, 1.0L, 2.0L, 5.0L, 10.0L, 30.0L}) {
        const long double t = st / s;
        EXPECT_NEAR(StepValue(r, 1, t), 1 - std::exp(-st) * (1 + st), 1e-9L) << st;
        EXPECT_NEAR(ImpulseValue(r, 1, t) / s, st * std::exp(-st), 1e-9L) << st;
    }
}

// ---- Against a simulation of the cascade -------------------------------------------------

// Every hand-built filter, step and impulse, at the 351 points of its default time
// axis, against the Runge-Kutta simulation of the same H(s). The simulation's step
// keeps its error near 1e-9 of the response; 1e-6 of the largest value is the bound.
TEST(TimeResponse, AgreesWithSimulatedCascade) {
    for (const HandFilter& f : test::HandBuiltFilters()) {
        SCOPED_TRACE(f.name);
        static TDesign d; // large: kept off the stack
        test::Install(d, f);
        const TimeAxis axis = DefaultTimeAxis(d);
        ComputeIdealTimeResponses(d, axis);
        std::vector<long double> times;
        for (int i = 0; i <= kResponseIntervals; ++i)
            times.push_back(AxisTime(axis, i));
        const test::CascadeSimulation sim(f.Poles(), f.Zeros(), f.K * f.G);
        const auto step = sim.Run(times, false);
        const auto impulse = sim.Run(times, true);
        long double stepMax = 0, impulseMax = 0;
        for (int i = 0; i <= kResponseIntervals; ++i) {
            stepMax = std::max(stepMax, std::fabs(step[i]));
            impulseMax = std::max(impulseMax, std::fabs(impulse[i]));
        }
        for (int i = 0; i <= kResponseIntervals; ++i) {
            EXPECT_NEAR(d.Approx[f.approx].Ideal[i].Step, step[i], 1e-6L * stepMax) << i;
            EXPECT_NEAR(d.Approx[f.approx].Ideal[i].Impulse, impulse[i], 1e-6L * impulseMax) << i;
        }
    }
}

// ---- Final and initial values -------------------------------------------------------------

} // namespace
} // namespace velmora
