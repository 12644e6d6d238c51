// The final responses reached with standard values on after the circuits were chosen by
// hand: the automatic circuits are calculated afresh, and the exact variant must be the
// new circuits' exact values, not the ones saved for the circuits chosen before.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "analysis/final_response.h"
#include "analysis/ideal_filter.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "support/step_windows.h"

namespace velmora {
namespace {

long double IdealMagnitude(const PoleZeroSet& pz, long double w) {
    Complex h = pz.K;
    const Complex s(0.0L, w);
    for (const Complex& z : pz.Zeros)
        h *= s - z;
    for (const Complex& p : pz.Poles)
        h /= s - p;
    return std::abs(h);
}

TEST(FinalResponsesClick, RecalculatedCircuitsTakeFreshExactAndStandardValues) {
    test::StepWindows w;
    w.Calculate({{"SLP01", 0, false, false}}); // not the circuit the automatic choice takes
    TDesign& d = *w.d;
    ASSERT_TRUE(SwitchStandardROn(d, &w.main.ProgramInventory).ok);
    ASSERT_TRUE(w.main.FinalResponsesClick());
    ASSERT_EQ(d.Components.StandardROn, 1);

    // The exact variant has the ideal filter's shape: gains relative to 100 Hz agree with
    // the poles and zeros of the approximation to 1e-9 (a stale exact value is off by dB).
    const PoleZeroSet pz = PolesAndZeros(IdealFilterOf(d, d.CurrentApprox));
    const long double w0 = 2 * M_PIl * 100;
    const auto ref = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w0);
    ASSERT_TRUE(ref);
    for (long double f : {300.0L, 700.0L, 1000.0L, 1500.0L, 3000.0L}) {
        const long double wf = 2 * M_PIl * f;
        const auto p = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, wf);
        ASSERT_TRUE(p);
        EXPECT_NEAR(static_cast<double>(p->GainVV / ref->GainVV),
                    static_cast<double>(IdealMagnitude(pz, wf) / IdealMagnitude(pz, w0)), 1e-9)
            << f << " Hz";
    }
    // And the values in effect are standard ones, standing in for the new exact values
    // (within the few per cent a whole-filter choice may move them).
    for (int i = 1; i <= d.StageCount; ++i)
        for (int n = 1; n <= d.Circuits[i].ResistorCount; ++n) {
            SCOPED_TRACE("stage " + std::to_string(i) + " R" + std::to_string(n));
            const TComponentItem& r = d.Circuits[i].Components[n];
            EXPECT_TRUE(FindInSeries(r.Value, Series::E96).has_value());
            EXPECT_NEAR(static_cast<double>(r.Value / ExactResistor(d.Circuits[i], n)), 1.0, 0.1);
        }
}

} // namespace
} // namespace velmora
