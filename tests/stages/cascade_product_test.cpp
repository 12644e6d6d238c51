// The independent check of stage synthesis: after pairing, cascading and gain
// distribution, the stages multiplied together must be the chosen approximation,
// evaluated directly from its poles, zeros and numerator constant (so that the filter
// has the approximation's level at its reference frequency, wherever that lies with
// respect to the analysis grid); and the partial cascade behind every stage but the
// last must peak at exactly 1 over the grid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "stage_test_support.h"
#include "stages/cascade.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

using namespace stagetest;

// The cascade criteria the check runs with: ordering, and first/last preferences.
struct Criteria {
    const char* name;
    bool byQp;
    std::vector<std::pair<int, int>> first; // option, priority
    std::vector<std::pair<int, int>> last;
};

const std::vector<Criteria> kCriteria = {
    {"flatness", false, {}, {}},
    {"increasing Qp", true, {}, {}},
    {"flatness, FLP/SLP first, FHP/SHP last", false, {{1, 1}, {2, 2}}, {{1, 1}, {2, 2}}},
    {"Qp, bandpass both ends, notch preferences", true, {{4, 1}, {3, 2}}, {{4, 1}, {3, 2}}},
    {"flatness, every option", false, {{1, 4}, {2, 3}, {3, 2}, {4, 1}}, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
};

void Apply(TDesign& d, const Criteria& c) {
    d.Opt.OrderByQp = c.byQp;
    d.Criteria = {};
    for (auto [opt, prio] : c.first)
        d.Criteria[0].Options[opt] = {1, static_cast<int16_t>(prio)};
    for (auto [opt, prio] : c.last)
        d.Criteria[1].Options[opt] = {1, static_cast<int16_t>(prio)};
}

// The analysis grid as the cascade defines it, computed here from the filter specification.
std::vector<long double> ExpectedGrid(const Specification& s) {
    std::vector<long double> w(kResponsePoints);
    long double start = 0, step = 0;
    if (s.FilterType == Lowpass || s.FilterType == Highpass) {
        step = 2 * s.wpb / 350.0L;
    } else {
        const long double bp = s.Bpb, w0 = s.w0, wL = std::sqrt(w0 * w0 + bp * bp / 4) - bp / 2;
        start = wL - bp / 2;
        step = 2 * bp / 350.0L;
    }
    for (int i = 0; i < kResponsePoints; ++i)
        w[i] = start + i * step;
    return w;
}

struct Outcome {
    int runs = 0, stagesChecked = 0;
};

// Checks one synthesised design against the approximation's own poles and zeros.
void CheckDesign(const TDesign& d, const std::string& what, Outcome& out) {
    const int index = d.SelectedApprox;
    const std::vector<Cx> poles = ApproxPoles(d, index), zeros = ApproxZeros(d, index);
    const int N = d.StageCount;

    // Every pole and every zero of the approximation ends in exactly one stage: the
    // stages' orders add up to the filter's.
    int order = 0;
    for (int k = 1; k <= N; ++k)
        order += isFirstOrder(d.Stages[k].StageType) ? 1 : 2;
    ASSERT_EQ(order, (int)poles.size()) << what;

    const std::vector<long double> grid = ExpectedGrid(d.Spec);
    const test::Response h{ApproxNumeratorGain(d, index), poles, zeros};
    long double peak = 0;
    for (int i = 0; i < kResponsePoints; ++i) {
        // The stored grid is the formula rounded to the stored precision.
        ASSERT_NEAR((long double)d.Grid.W[i], grid[i], 2e-12L * std::fabs(grid[i]) + 1e-12L * grid[350])
            << what;
        peak = std::max(peak, std::abs(h.at(d.Grid.W[i])));
    }
    ASSERT_GT(peak, 0) << what;

    std::vector<BiquadCoefficients> bq(N + 1);
    for (int k = 1; k <= N; ++k)
        bq[k] = StageBiquad(d.Stages[k], false);

    const long double G = d.Spec.OverallGain;
    std::vector<long double> cumPeak(N + 1, 0.0L);
    for (int i = 0; i < kResponsePoints; ++i) {
        const long double w = d.Grid.W[i];
        const Cx expected = h.at(w);
        Cx product(1, 0), actual(1, 0);
        for (int k = 1; k <= N; ++k) {
            const Cx t = BiquadResponse(bq[k], w);
            product *= (long double)d.Stages[k].To * t;
            actual *= (long double)d.Circuits[k].ActualGain * t;
            cumPeak[k] = std::max(cumPeak[k], std::abs(product));
        }
        // 1e-9 relative: the stored poles and zeros are rounded to ~1e-12 relative and
        // a pole of Q up to 300 magnifies that near its peak; near a transmission zero
        // the comparison is absolute against the unit peak.
        const long double tol = 1e-9L * std::abs(expected) + 1e-10L;
        ASSERT_LE(std::abs(product - expected), tol) << what << " at w = " << (double)w;
        ASSERT_LE(std::abs(actual - G * expected), G * tol) << what << " (actual gains) at w = " << (double)w;
    }
    for (int k = 1; k <= N; ++k) {
        // 1e-12: the stage gain is stored once, rounded to ~9e-13 relative, and the
        // next stage's K corrects what the previous rounding left. The whole filter
        // peaks where the approximation does, within the 1e-9 of the product above.
        if (k < N)
            EXPECT_NEAR((double)cumPeak[k], 1.0, 1e-12) << what << " stage " << k;
        else
            EXPECT_NEAR((double)cumPeak[k], (double)peak, 1e-9) << what << " stage " << k;
    }
    ++out.runs;
    out.stagesChecked += N;
}

void RunSpecification(const Spec& spec, Outcome& out) {
    TDesign d;
    ASSERT_TRUE(Calculate(d, spec)) << Describe(spec);
    for (int index = 0; index < kApproxCount; ++index) {
        if (!isUsable(d.Approx[index])) continue;
        for (const Criteria& c : kCriteria) {
            TDesign t = d;
            ChooseApproximation(t, index);
            Apply(t, c);
            const std::string what = Describe(spec) + ", " + kApproxNames[index] + ", " + c.name;
            ASSERT_EQ(SynthesiseStages(t), SynthesisStatus::Ok) << what;
            ASSERT_EQ(t.DesignLevel, LevelCascaded) << what;
            CheckDesign(t, what, out);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(CascadeProduct, EveryFilterTypeAndOrderReproducesTheApproximation) {
    Outcome out;
    for (int n = 1; n <= 20; ++n) {
        const long double gain = n % 3 == 0 ? 10.0L : (n % 3 == 1 ? 1.0L : 0.25L);
        RunSpecification({Lowpass, 0.5L, 40.0L, 1000.0L, 2000.0L, 0.0L, n, gain}, out);
        RunSpecification({Highpass, 1.0L, 40.0L, 2000.0L, 1000.0L, 0.0L, n, gain}, out);
        if (HasFatalFailure()) return;
    }
    for (int n = 2; n <= 20; n += 2) {
        const long double gain = n % 4 == 0 ? 3.0L : 1.0L;
        RunSpecification({Bandpass, 0.5L, 40.0L, 2000.0L, 4000.0L, 10000.0L, n, gain}, out);
        // Wide band: the real prototype pole makes a section with Qp < 0.5.
        RunSpecification({Bandpass, 0.5L, 40.0L, 3100.0L, 6200.0L, 1000.0L, n, gain}, out);
        RunSpecification({Bandstop, 0.5L, 40.0L, 4000.0L, 1000.0L, 5000.0L, n, gain}, out);
        // Wide bandstop: odd prototypes give two real poles, joined with the last notch zero.
        RunSpecification({Bandstop, 0.5L, 40.0L, 3000.0L, 1500.0L, 1000.0L, n, gain}, out);
        if (HasFatalFailure()) return;
    }
    // Estimated orders, and a highpass whose poles lie beyond 1e9 rad/s.
    RunSpecification({Lowpass, 0.1L, 60.0L, 1000.0L, 1300.0L, 0.0L, 0, 1.0L}, out);
    RunSpecification({Highpass, 0.5L, 50.0L, 50.0e6L, 25.0e6L, 0.0L, 0, 2.0L}, out);
    RunSpecification({Bandpass, 1.0L, 30.0L, 300.0L, 900.0L, 1000.0L, 0, 1.0L}, out);
    RunSpecification({Bandstop, 1.0L, 30.0L, 2000.0L, 400.0L, 3000.0L, 0, 1.0L}, out);
    EXPECT_GT(out.runs, 1000);
    EXPECT_GT(out.stagesChecked, 5000);
}

} // namespace
} // namespace velmora
