// The automatic cascade ordering checked against plain evaluations written out here:
// the flatness of every candidate at every position from the products of the stage
// magnitudes over the grid, and the stored stage figures against the general
// evaluation of the cascade in the order found.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "stage_test_support.h"
#include "stages/cascade.h"
#include "stages/pairing.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

using stagetest::Calculate;
using stagetest::Spec;

struct OrderCase {
    Spec spec;
    int approx;
    int firstPreference = 0; // option of the first-stage criteria to enable (0: none)
    int lastPreference = 0;
};

// Real designs of every filter type, from 2 to 10 stages, with and without the end
// preferences that fix the first or the last stage.
std::vector<OrderCase> OrderCases() {
    return {
        {{Lowpass, 1.0L, 40, 1000, 2000, 0, 9}, Chebyshev},
        {{Lowpass, 0.5L, 30, 1000, 2000, 0, 20}, Bessel},
        {{Lowpass, 0.5L, 40, 1000, 2000, 0, 7}, Butterworth, 1},
        {{Highpass, 0.5L, 40, 2000, 1000, 0, 8}, Elliptic},
        {{Highpass, 0.5L, 40, 2000, 1000, 0, 5}, Butterworth, 0, 1},
        {{Bandpass, 0.5L, 40, 2000, 4000, 10000, 8}, Chebyshev},
        {{Bandpass, 0.5L, 40, 2000, 4000, 10000, 20}, Chebyshev},
        {{Bandstop, 0.5L, 60, 1000, 200, 2000, 20}, Elliptic},
        {{Bandstop, 0.5L, 40, 2000, 500, 5000, 6}, InverseChebyshev},
    };
}

TDesign Synthesised(const OrderCase& c, bool byQp = false) {
    TDesign d;
    EXPECT_TRUE(Calculate(d, c.spec));
    ChooseApproximation(d, c.approx);
    d.Opt.OrderByQp = byQp;
    if (c.firstPreference) d.Criteria[0].Options[c.firstPreference] = {1, 1};
    if (c.lastPreference) d.Criteria[1].Options[c.lastPreference] = {1, 1};
    EXPECT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
    return d;
}

bool InPassband(const AnalysisGrid& g, long double w) {
    return (w >= g.PassLow && w <= g.PassHigh) || (g.TwoBands && w >= g.PassLow2 && w <= g.PassHigh2);
}

// Peak over the grid over the passband minimum of the cascade of `stages`, each stage's
// magnitude without its gain (the gains scale the cascade and cancel in the ratio);
// infinity when the passband minimum is 0.
long double PlainFlatness(const TDesign& d, const std::vector<int>& stages) {
    long double peak = 0.0L, low = std::numeric_limits<long double>::infinity();
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const long double w = d.Grid.W[i];
        long double m = 1.0L;
        for (int s : stages)
            m *= StageMagnitude(d.Stages[s], w);
        peak = std::max(peak, m);
        if (InPassband(d.Grid, w)) low = std::min(low, m);
    }
    return low > 0.0L ? peak / low : std::numeric_limits<long double>::infinity();
}

TEST(CascadeOrder, EveryPositionHoldsAFlattestFreeStage) {
    // At every free position the stage placed has the smallest flatness among the stages
    // still free, or is within the near-tie margin of it (near-ties are decided by
    // looking ahead). The products here are taken in another order than the ordering
    // takes them; their rounding (1e-18 relative) is far inside the 1e-3 margin, so a
    // further 1e-9 covers it.
    for (const OrderCase& c : OrderCases()) {
        SCOPED_TRACE(stagetest::Describe(c.spec));
        const TDesign d = Synthesised(c);
        const int N = d.StageCount;
        ASSERT_GE(N, 2);
        const int first = c.firstPreference ? 2 : 1, last = c.lastPreference ? N - 1 : N;
        std::vector<int> prefix;
        for (int k = 1; k < first; ++k)
            prefix.push_back(k);
        for (int k = first; k <= last; ++k) {
            long double best = std::numeric_limits<long double>::infinity();
            for (int cand = k; cand <= last; ++cand) {
                std::vector<int> trial = prefix;
                trial.push_back(cand);
                best = std::min(best, PlainFlatness(d, trial));
            }
            prefix.push_back(k);
            const long double chosen = PlainFlatness(d, prefix);
            EXPECT_LE((double)chosen, (double)(best + kFlatnessTie + 1e-9L)) << "position " << k;
            // The stored flatness is the one of the cascade up to this stage (stored to
            // 6-byte precision, 1e-12 relative).
            if (std::isfinite(chosen)) {
                EXPECT_NEAR((double)d.Stages[k].Flatness, (double)chosen, 1e-11 * (double)chosen)
                    << "position " << k;
            }
        }
    }
}

TEST(CascadeOrder, StoredFiguresEqualTheGeneralEvaluationOfTheOrder) {
    // The ordering keeps its own copies of the stage magnitudes and evaluates the final
    // order with them; the general evaluation (a fresh work, the grid computed again)
    // must give the same Flatness, K and To to the last bit, for both ordering rules.
    for (const OrderCase& c : OrderCases()) {
        for (const bool byQp : {false, true}) {
            SCOPED_TRACE(stagetest::Describe(c.spec) + (byQp ? " by Qp" : " by flatness"));
            const TDesign d = Synthesised(c, byQp);
            TDesign plain = d;
            for (int k = 1; k <= plain.StageCount; ++k)
                plain.Stages[k].Flatness = plain.Stages[k].K = plain.Stages[k].To = 0.0L;
            EvaluateCascade(plain);
            for (int k = 1; k <= d.StageCount; ++k)
                for (Real48 TStageCoeffs::*m : {&TStageCoeffs::Flatness, &TStageCoeffs::K, &TStageCoeffs::To})
                    EXPECT_EQ((d.Stages[k].*m).value(), (plain.Stages[k].*m).value()) << "stage " << k;
        }
    }
}

// The ordering's screening of trials in double precision. The flatness it forms from the
// products of two magnitude arrays is compared with the long double flatness of the same
// products, taken here point by point; its comparisons are checked on pairs of flatness
// values placed around the decision thresholds.
TEST(CascadeOrder, ScreenedTrialFlatnessIsWithinItsBound) {
    // Own magnitudes of every stage of real designs, alone and behind each other stage
    // scaled to a unit peak (as a cumulative magnitude is).
    using Mags = std::array<long double, kResponsePoints>;
    int screened = 0;
    for (const OrderCase& c : OrderCases()) {
        SCOPED_TRACE(stagetest::Describe(c.spec));
        TDesign d = Synthesised(c);
        ComputeAnalysisGrid(d);
        const int N = d.StageCount;
        std::vector<Mags> own(N + 1);
        for (int s = 1; s <= N; ++s)
            for (int i = 0; i <= kResponseIntervals; ++i)
                own[s][i] = StageMagnitude(d.Stages[s], d.Grid.W[i]);
        for (int p = 0; p <= N; ++p) {
            Mags prev{};
            if (p) {
                const long double peak = *std::max_element(own[p].begin(), own[p].end());
                for (int i = 0; i <= kResponseIntervals; ++i)
                    prev[i] = own[p][i] / peak;
            }
            for (int s = 1; s <= N; ++s) {
                if (s == p) continue;
                long double peak = 0.0L, low = std::numeric_limits<long double>::infinity();
                for (int i = 0; i <= kResponseIntervals; ++i) {
                    const long double m = p ? prev[i] * own[s][i] : own[s][i];
                    peak = std::max(peak, m);
                    if (InPassband(d.Grid, d.Grid.W[i])) low = std::min(low, m);
                }
                const bool valid = peak > 0.0L && low > 0.0L && std::isfinite(low);
                const ScreenedTrial t = ScreenTrial(d.Grid, p ? &prev : nullptr, own[s]);
                ASSERT_EQ(t.valid, valid) << "stage " << s << " behind " << p;
                if (!valid) continue;
                const long double exact = peak / low;
                if (t.flatness.exact) {
                    EXPECT_EQ(t.flatness.value, exact);
                    continue;
                }
                ++screened;
                // The long double value lies within the bounds of the screened one.
                EXPECT_LE(t.flatness.Low(), exact) << "stage " << s;
                EXPECT_GE(t.flatness.High(), exact) << "stage " << s;
            }
        }
    }
    EXPECT_GT(screened, 100); // the designs are inside the screened range
}

TEST(CascadeOrder, ScreenedComparisonsAreCertainOnlyWhereTheyHold) {
    // Exact pairs (a, b) at and around the near-tie distance and around equality, offsets
    // from far below the double resolution to far above it. Each value is also given as a
    // screening could give it: moved by up to 7 double units and rounded to double, about
    // the largest error the screening's products, peaks and quotient can carry. A certain
    // outcome must be the one the long double values give; an outcome is allowed to be
    // uncertain only within 1e-12 relative of a threshold.
    const long double bases[] = {1.0L, 1.37L, 12.5L, 840.0L};
    const long double offsets[] = {0.0L, 1e-19L, 1e-17L, 3e-16L, 2e-15L, 1e-14L, 1e-12L, 1e-9L, 1e-5L, 0.01L};
    constexpr long double u = 0x1p-53L;
    const auto screened = [&](long double x, int units) {
        return BoundedFlatness{static_cast<long double>(double(x * (1.0L + units * u))), false};
    };
    int certain = 0, cases = 0;
    for (const long double a : bases) {
        for (const long double off : offsets) {
            for (const long double sign : {-1.0L, 1.0L}) {
                for (const long double gap : {0.0L, kFlatnessTie}) {
                    const long double b = a - gap + sign * off;
                    const bool tie = std::fabs(a - b) < kFlatnessTie, below = a < b;
                    const long double distTie = std::fabs(std::fabs(a - b) - kFlatnessTie);
                    const long double distBelow = std::fabs(a - b);
                    // Both values screened by up to 7 units either way, or one of them exact.
                    for (int k = 0; k < 27; ++k) {
                        const int ua = 7 * (k % 3 - 1), ub = 7 * (k / 3 % 3 - 1), mode = k / 9;
                        const BoundedFlatness A = mode == 1 ? BoundedFlatness{a, true} : screened(a, ua);
                        const BoundedFlatness B = mode == 2 ? BoundedFlatness{b, true} : screened(b, ub);
                        const ScreenOutcome t = ScreenedNearTie(A, B), l = ScreenedBelow(A, B);
                        SCOPED_TRACE(std::to_string((double)a) + " " + std::to_string((double)b));
                        ++cases;
                        certain += t != ScreenOutcome::Unknown;
                        // A certain outcome is right; an uncertain one only next to the threshold.
                        if (t != ScreenOutcome::Unknown)
                            EXPECT_EQ(t == ScreenOutcome::Yes, tie);
                        else
                            EXPECT_LT(distTie, 1e-12L * a);
                        if (l != ScreenOutcome::Unknown)
                            EXPECT_EQ(l == ScreenOutcome::Yes, below);
                        else
                            EXPECT_LT(distBelow, 1e-12L * a);
                    }
                }
            }
        }
    }
    EXPECT_GT(certain, cases / 2);
}

} // namespace
} // namespace velmora
