// The automatic cascade ordering checked against plain evaluations written out here:
// the flatness of every candidate at every position from the products of the stage
// magnitudes over the grid, and the stored stage figures against the general
// evaluation of the cascade in the order found.
#include <gtest/gtest.h>

#include <algorithm>
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

TDesign Synthesised(const OrderCase& c) {
    TDesign d;
    EXPECT_TRUE(Calculate(d, c.spec)) << stagetest::Describe(c.spec);
    ChooseApproximation(d, c.approx);
    if (c.firstPreference) d.Criteria[0].Options[c.firstPreference] = {1, 1};
    if (c.lastPreference) d.Criteria[1].Options[c.lastPreference] = {1, 1};
    EXPECT_EQ(SynthesiseStages(d), SynthesisStatus::Ok) << stagetest::Describe(c.spec);
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
        const TDesign d = Synthesised(c);
        const int N = d.StageCount;
        ASSERT_GE(N, 2) << stagetest::Describe(c.spec);
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
            EXPECT_LE((double)chosen, (double)(best + kFlatnessTie + 1e-9L))
                << stagetest::Describe(c.spec) << " position " << k;
            // The stored flatness is the one of the cascade up to this stage (stored to
            // 6-byte precision, 1e-12 relative).
            if (std::isfinite(chosen)) {
                EXPECT_NEAR((double)d.Stages[k].Flatness, (double)chosen, 1e-11 * (double)chosen)
                    << stagetest::Describe(c.spec) << " position " << k;
            }
        }
    }
}

TEST(CascadeOrder, SmallCascadesAgreeWithEveryPermutation) {
    // For a few stages every order can be tried: the order found must be the greedy one
    // (position by position the flattest continuation, near-ties aside), and no other
    // order may reach a strictly flatter first partial cascade where the first positions
    // agree. Checked over all permutations of the free stages.
    for (const OrderCase& c : OrderCases()) {
        const TDesign d = Synthesised(c);
        const int N = d.StageCount;
        if (N > 6) continue; // 720 orders at most
        std::vector<int> perm;
        for (int k = 1; k <= N; ++k)
            perm.push_back(k);
        const int first = c.firstPreference ? 2 : 1, last = c.lastPreference ? N - 1 : N;
        do {
            if (c.firstPreference && perm.front() != 1) continue;
            if (c.lastPreference && perm.back() != N) continue;
            // The first position where the permutation departs from the order found.
            int k = first;
            while (k <= last && perm[k - 1] == k)
                ++k;
            if (k > last) continue;
            const std::vector<int> theirs(perm.begin(), perm.begin() + k);
            std::vector<int> ours(theirs.begin(), theirs.end() - 1);
            ours.push_back(k);
            EXPECT_GE((double)(PlainFlatness(d, theirs) + kFlatnessTie + 1e-9L),
                      (double)PlainFlatness(d, ours))
                << stagetest::Describe(c.spec) << " departing at position " << k;
        } while (std::next_permutation(perm.begin(), perm.end()));
    }
}

TEST(CascadeOrder, StoredFiguresEqualTheGeneralEvaluationOfTheOrder) {
    // The ordering keeps its own copies of the stage magnitudes and evaluates the final
    // order with them; the general evaluation (a fresh work, the grid computed again)
    // must give the same Flatness, K and To to the last bit, for both ordering rules.
    for (const OrderCase& c : OrderCases()) {
        for (const uint8_t byQp : {0, 1}) {
            TDesign d;
            ASSERT_TRUE(Calculate(d, c.spec));
            ChooseApproximation(d, c.approx);
            d.Opt.OrderByQp = byQp;
            if (c.firstPreference) d.Criteria[0].Options[c.firstPreference] = {1, 1};
            ASSERT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
            TDesign plain = d;
            for (int k = 1; k <= plain.StageCount; ++k)
                plain.Stages[k].Flatness = plain.Stages[k].K = plain.Stages[k].To = 0.0L;
            EvaluateCascade(plain);
            for (int k = 1; k <= d.StageCount; ++k) {
                EXPECT_EQ(d.Stages[k].Flatness.value(), plain.Stages[k].Flatness.value())
                    << stagetest::Describe(c.spec) << " stage " << k << " byQp " << int(byQp);
                EXPECT_EQ(d.Stages[k].K.value(), plain.Stages[k].K.value()) << stagetest::Describe(c.spec);
                EXPECT_EQ(d.Stages[k].To.value(), plain.Stages[k].To.value()) << stagetest::Describe(c.spec);
            }
        }
    }
}

} // namespace
} // namespace velmora
