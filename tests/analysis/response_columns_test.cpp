// The response columns of high-order filters against per-point evaluations built
// independently: the phase lag against the plain sum of every pole's arctangent (the
// columns take the argument of the product of the pole factors and count its quarter
// turns, where a miscounted turn would show as a whole 360 degrees), and the step and
// impulse columns against the closed form evaluated point by point (the columns carry
// each term from point to point by the factor e^(p dt)).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/frequency_response.h"
#include "analysis/ideal_responses.h"
#include "analysis/time_response.h"
#include "support/specifications.h"

namespace velmora {
namespace {

// Filters of up to ten sections (order 20), where the phase runs through many turns.
const test::Spec kSpecs[] = {
    {"lowpass order 20", Lowpass, 0.5L, 40, 1000, 0, 0, 20},
    {"highpass order 19", Highpass, 1.0L, 40, 1000, 0, 0, 19},
    {"bandpass order 20", Bandpass, 0.5L, 40, 1000, 0, 5000, 20},
    {"bandstop order 20", Bandstop, 0.5L, 60, 1000, 0, 2000, 20},
    {"lowpass estimated", Lowpass, 0.5L, 60, 1000, 1500, 0, 0},
};

// -arg H(jw) in degrees as the sum of the factors' arctangents, from the poles of the
// filter (zeros on the imaginary axis: a half turn back past each one).
long double PhaseBySum(const IdealFilter& f, long double w) {
    const long double pi = std::numbers::pi_v<long double>;
    long double phi = 0;
    for (const PoleSection& s : f.Sections) {
        if (s.RealPoles)
            phi += std::atan2(w, s.Sigma1) + std::atan2(w, s.Sigma2);
        else
            phi += std::atan2(w - s.Omega, s.Sigma) + std::atan2(w + s.Omega, s.Sigma);
    }
    for (const RealPoleFactor& p : f.RealPoles)
        phi += std::atan2(w, p.Sigma);
    for (const ZeroPairFactor& z : f.ZeroPairs)
        if (z.Wz < w) phi -= pi;
    if (f.OriginZero) phi -= pi / 2;
    return phi * 180 / pi;
}

// The phase lag against the sum of the pole angles; the step and impulse columns
// against the closed form at every point.
TEST(ResponseColumns, PhaseStepAndImpulseAgreeWithPointByPointEvaluations) {
    for (const test::Spec& e : kSpecs) {
        SCOPED_TRACE(e.name);
        static TDesign d; // large: kept off the stack
        test::FillSpecification(d, e);
        ASSERT_TRUE(test::CalculateApproximations(d));
        // Five decades around the filter's frequencies: every section turns from 0 to
        // 180 degrees, and on the logarithmic column the points straddle the quadrant
        // boundaries of the product.
        const long double w0 = e.type == Lowpass || e.type == Highpass ? d.Spec.wpb : d.Spec.w0;
        ComputeIdealFrequencyResponses(d, FrequencyAxis{w0 * 1e-2L, w0 * 1e3L, true, false});
        int checked = 0;
        for (int a : ResponseApproximations(d)) {
            const IdealFilter f = IdealFilterOf(d, a);
            for (int i = 0; i <= kResponseIntervals; ++i) {
                const long double w = d.FreqColumn[i].W;
                // Stored as Real48 (about 1e-12 relative) over lags up to 3600 degrees.
                EXPECT_NEAR(d.Approx[a].Ideal[i].Phase, PhaseBySum(f, w), 1e-8L)
                    << "approximation " << a << " point " << i;
            }
            ++checked;
        }
        EXPECT_GT(checked, 0);
        const TimeAxis axis = DefaultTimeAxis(d);
        ComputeIdealTimeResponses(d, axis);
        for (int a : ResponseApproximations(d)) {
            const ResidueSet r = Residues(IdealFilterOf(d, a));
            ASSERT_TRUE(r.Valid);
            const long double G = d.Spec.OverallGain;
            long double stepPeak = 0, impulsePeak = 0;
            for (int i = 0; i <= kResponseIntervals; ++i) {
                stepPeak = std::max(stepPeak, std::fabs(StepValue(r, G, AxisTime(axis, i))));
                impulsePeak = std::max(impulsePeak, std::fabs(ImpulseValue(r, G, AxisTime(axis, i))));
            }
            for (int i = 0; i <= kResponseIntervals; ++i) {
                const long double t = AxisTime(axis, i);
                // The terms of a 20th-order expansion are up to about 1e3 times the
                // response and cancel; both evaluations round each term to about 1e-18 of
                // itself, so they agree to well within 1e-11 of the response's peak.
                EXPECT_NEAR(d.Approx[a].Ideal[i].Step, StepValue(r, G, t), 1e-11L * stepPeak)
                    << a << " " << i;
                EXPECT_NEAR(d.Approx[a].Ideal[i].Impulse, ImpulseValue(r, G, t), 1e-11L * impulsePeak)
                    << a << " " << i;
            }
        }
    }
}

} // namespace
} // namespace velmora
