// Stage types, pairing and cascading on real approximations and hand-made entries:
// the cases that catch wrong classes, lost zeros and orders that break the rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

#include "stage_test_support.h"
#include "stages/cascade.h"
#include "stages/pairing.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

using stagetest::Calculate;
using stagetest::Spec;

TEST(StageTypes, ClassificationOfPoleAndZeroEntries) {
    TDesign d;
    NewDesign(d, Lowpass);
    // Pole entries: 1 a pair at wp = 1000, 2 and 3 single poles at 1 and 4 rad/s.
    d.PoleCount = 3;
    d.Poles[1] = {1, 1, 0.8L, 1000.0L, 625.0L, 780.0L, {}};
    d.Poles[2] = {1, 0, 0, 0, 1.0L, 0, {}};
    d.Poles[3] = {1, 0, 0, 0, 4.0L, 0, {}};
    // One bit of the stored 40-bit mantissa above 1000.
    const Real48 oneBitAbove = 1000.0L * (1.0L + std::ldexp(1.0L, -39));
    // Zero entries: 1 pair at 0, 2 pair at wp, 3 pair one bit above wp, 4 pair below,
    // 5 single zero, 6 single zero.
    d.ZeroCount = 6;
    d.Zeros[1] = {1, 1, 0, 0.0L};
    d.Zeros[2] = {1, 1, 0, 1000.0L};
    d.Zeros[3] = {1, 1, 0, oneBitAbove};
    d.Zeros[4] = {1, 1, 0, 500.0L};
    d.Zeros[5] = {1, 0, 0, 0.0L};
    d.Zeros[6] = {1, 0, 0, 0.0L};
    const std::tuple<int, int, int, int, TStageType> cases[] = {
        {1, 0, 0, 0, stSLP},  {1, 0, 1, 0, stSHP}, {1, 0, 2, 0, stSN},  {1, 0, 3, 0, stSLPN},
        {1, 0, 4, 0, stSHPN}, {1, 0, 5, 0, stSBP}, {1, 0, 5, 6, stSHP}, {2, 0, 0, 0, stFLP},
        {2, 0, 5, 0, stFHP},  {2, 0, 2, 0, stFHP}, {2, 3, 2, 0, stSN},  {2, 3, 0, 0, stSLP},
        {2, 3, 5, 0, stSBP},
    };
    for (const auto& [p1, p2, z1, z2, type] : cases)
        EXPECT_EQ(ClassifyStage(d, p1, p2, z1, z2), type) << p1 << " " << p2 << " " << z1 << " " << z2;
    EXPECT_GT((long double)d.Zeros[3].Wz, 1000.0L);

    // Two single real poles 1 and 4 rad/s: (s + 1)(s + 4) = s^2 + 5 s + 4.
    BuildStage(d, 1, 2, 3, 0, 0);
    EXPECT_DOUBLE_EQ((double)d.Stages[1].Wp, 2.0);
    EXPECT_NEAR((double)d.Stages[1].Qp, 0.4, 1e-12);
    EXPECT_EQ(d.Stages[1].Name, "SLP ");
}

TEST(StageTypes, GainConstantsAndCoefficientRows) {
    // Each normalised form has its To at the frequency the type names: DC, high
    // frequencies or wp. Evaluated from the coefficient rows.
    // w: where |T/To| must be 1.
    const std::tuple<TStageType, long double> cases[] = {{stFLP, 0.0L},   {stFHP, 1e12L},  {stSLP, 0.0L},
                                                         {stSHP, 1e12L},  {stSBP, 700.0L}, {stSLPN, 1e12L},
                                                         {stSHPN, 1e12L}, {stSN, 1e12L}};
    for (const auto& [type, w] : cases) {
        const long double wz = type == stSLPN ? 900.0L : (type == stSHPN ? 400.0L : 700.0L);
        const TStageCoeffs t = {
            static_cast<uint8_t>(type), "", 0, 0, 0, 0, 700.0L, 2.0L, wz, 300.0L, 0, 0, 0};
        const BiquadCoefficients b = StageBiquad(t, false);
        EXPECT_NEAR((double)std::abs(BiquadResponse(b, w)), 1.0, 1e-9) << StageShortName(type);
        // The magnitude used while cascading is the same function up to NumeratorScale.
        for (long double w : {10.0L, 650.0L, 2300.0L})
            EXPECT_NEAR((double)(StageMagnitude(t, w) * NumeratorScale(t)),
                        (double)std::abs(BiquadResponse(b, w)),
                        1e-12 * (double)std::abs(BiquadResponse(b, w)) + 1e-18)
                << StageShortName(type);
        EXPECT_EQ(std::tuple(b.secondOrder, b.notch), std::tuple(!isFirstOrder(type), isNotch(type)));
    }
}

TEST(Pairing, ApproximationsBecomeTheExpectedStages) {
    // expected: the short names in stage-number order, before cascading.
    const std::vector<std::tuple<const char*, Spec, int, std::string>> cases = {
        // Pairs in decreasing Q, the real pole last as FLP.
        {"lowpass Butterworth 5", {Lowpass, 0.5L, 40, 1000, 2000, 0, 5}, Butterworth, "SLP SLP FLP "},
        // Two zero frequencies at the origin and one single zero: SHP, SHP, FHP.
        {"highpass Chebyshev 5", {Highpass, 0.5L, 40, 2000, 1000, 0, 5}, Chebyshev, "SHP SHP FHP "},
        // A highpass near 50 MHz has poles beyond 1e9 rad/s: its zeros at the origin
        // must still be found.
        {"highpass 50 MHz", {Highpass, 0.5L, 40, 50e6L, 25e6L, 0, 6}, Butterworth, "SHP SHP SHP "},
        // All-pole bandpass: twice as many single zeros at the origin as zero
        // frequencies; every section takes one.
        {"bandpass Butterworth 6", {Bandpass, 0.5L, 40, 2000, 4000, 10000, 6}, Butterworth, "SBP SBP SBP "},
        // The wide bandpass's real-pole section has two real poles, joined again.
        {"wide bandpass 6", {Bandpass, 0.5L, 40, 3100, 6200, 1000, 6}, Butterworth, "SBP SBP SBP "},
        // Odd inverse Chebyshev lowpass: the real pole takes no zero pair.
        {"lowpass inverse Chebyshev 5",
         {Lowpass, 0.5L, 40, 1000, 2000, 0, 5},
         InverseChebyshev,
         "SLPNSLPNFLP "},
        // Odd wide bandstop: the pairs at w1 > w0 and w2 < w0 notch at w0; the two real
        // poles and the last zero (at w0 = sqrt(s1 s2)) form notch stage PoleCount - 1.
        {"wide bandstop 6", {Bandstop, 0.5L, 40, 3000, 1500, 1000, 6}, Butterworth, "SLPNSHPNSN  "},
    };
    for (const auto& [name, spec, approx, expected] : cases) {
        SCOPED_TRACE(name);
        TDesign d;
        ASSERT_TRUE(Calculate(d, spec));
        ChooseApproximation(d, approx);
        InitPairingLists(d);
        // The pole list shows the real poles of a section that splits (Q below 0.5)
        // next to each other, the one nearer the origin first.
        for (int k = 1; k < d.PoleCount; ++k)
            if (d.Poles[k].Kind == 0 && d.Poles[k + 1].Kind == 0) {
                EXPECT_LT(d.Poles[k].Sigma, d.Poles[k + 1].Sigma);
            }
        ASSERT_EQ(AutoPair(d), AutoPairStatus::Ok);
        std::string types;
        for (int k = 1; k <= d.StageCount; ++k)
            types += d.Stages[k].Name;
        EXPECT_EQ(types, expected);
        EXPECT_TRUE(PairingComplete(d));
    }
}

TEST(Pairing, NearestZeroTiesGoToTheLowerEntryAndLeftoversAreRefused) {
    TDesign d;
    NewDesign(d, Lowpass);
    d.Approx[0].Result.PolePairs = 0; // the entries below are laid out by hand
    d.PoleCount = 1;
    d.Poles[1] = {1, 1, 2.0L, 1000.0L, 250.0L, 968.0L, {}};
    d.ZeroCount = 2;
    d.Zeros[1] = {1, 1, 0, 1500.0L};
    d.Zeros[2] = {1, 1, 0, 500.0L};                       // equally near
    EXPECT_EQ(AutoPair(d), AutoPairStatus::ZeroLeftOver); // one zero cannot be placed
    EXPECT_EQ(d.StageCount, 0);

    d.PoleCount = 2;
    d.Poles[1] = {1, 1, 2.0L, 1000.0L, 250.0L, 968.0L, {}};
    d.Poles[2] = {1, 1, 1.0L, 3000.0L, 1500.0L, 2598.0L, {}};
    d.ZeroCount = 2;
    d.Zeros[1] = {1, 1, 0, 1500.0L};
    d.Zeros[2] = {1, 1, 0, 500.0L};
    d.Approx[0].Result.ProtoZeroPairs = 2;
    ASSERT_EQ(AutoPair(d), AutoPairStatus::Ok);
    EXPECT_EQ(d.Stages[1].Zero1, 1); // 500 away either way: the lower entry index
    EXPECT_EQ(d.Stages[2].Zero1, 2);
}

TEST(Cascade, PreferencesPlaceTheNamedStagesAtTheEnds) {
    // 1st order lowpass first; 2nd order lowpass first (the lowest Qp); 1st order highpass last.
    // end: the criteria of the first stage (0) or of the last (1); option: the one enabled.
    const std::tuple<Spec, int, int, TStageType> cases[] = {
        {{Lowpass, 0.5L, 40, 1000, 2000, 0, 7}, 0, 1, stFLP},
        {{Lowpass, 0.5L, 40, 1000, 2000, 0, 7}, 0, 2, stSLP},
        {{Highpass, 0.5L, 40, 2000, 1000, 0, 5}, 1, 1, stFHP}};
    for (const auto& [spec, end, option, type] : cases) {
        TDesign d;
        ASSERT_TRUE(Calculate(d, spec));
        ChooseApproximation(d, Butterworth);
        d.Criteria[end].Options[option] = {1, 1};
        ASSERT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
        const int at = end == 0 ? 1 : d.StageCount;
        EXPECT_EQ(d.Stages[at].StageType, type) << end << " " << option;
        for (int k = 1; k <= d.StageCount; ++k)
            if (k != at && d.Stages[k].StageType == stSLP && type == stSLP) {
                EXPECT_LT((double)d.Stages[at].Qp, (double)d.Stages[k].Qp);
            }
    }
}

// Hand-made lowpass stages at a 1 kHz passband edge.
TDesign HandStages(const std::vector<TStageCoeffs>& stages) {
    TDesign d;
    NewDesign(d, Lowpass);
    d.Spec.wpb = 2000.0L * std::numbers::pi_v<long double>;
    d.StageCount = static_cast<int16_t>(stages.size());
    for (int k = 1; k <= d.StageCount; ++k)
        d.Stages[k] = stages[k - 1];
    return d;
}

TEST(Cascade, TiesAndExtremeQualityFactorsStillPlaceEveryStage) {
    const TStageCoeffs slp = {stSLP, "SLP ", 1, 0, 0, 0, 6000.0L, 0.9L, 0, 3333.0L, 0, 0, 0};
    const TStageCoeffs flp = {stFLP, "FLP ", 2, 0, 0, 0, 0, 0, 0, 5000.0L, 0, 0, 0};
    const TStageCoeffs sharp = {stSLP, "SLP ", 3, 0, 0, 0, 6283.0L, 2500.0L, 0, 1.2566L, 0, 0, 0};
    const std::vector<std::tuple<const char*, std::vector<TStageCoeffs>, bool>> cases = {
        // Identical stages tie with each other all the way to the end.
        {"identical stages, flatness", {slp, flp, slp, flp, slp, flp}, false},
        {"identical stages, Qp", {slp, flp, slp, flp, slp, flp}, true},
        // A Qp of 1000 and more, possible for entered sections, is still placed.
        {"Qp 2500, Qp order", {sharp, slp, sharp}, true},
        {"Qp 2500, flatness", {sharp, slp, flp}, false},
    };
    for (const auto& [name, stages, byQp] : cases) {
        TDesign d = HandStages(stages);
        d.Opt.OrderByQp = byQp;
        ASSERT_TRUE(AutoCascade(d)) << name;
        // A permutation: every Pole1 label appears as often as before.
        std::vector<int> before, after;
        for (const auto& s : stages)
            before.push_back(s.Pole1);
        for (int k = 1; k <= d.StageCount; ++k)
            after.push_back(d.Stages[k].Pole1);
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after) << name;
        for (int k = 1; k <= d.StageCount; ++k) {
            EXPECT_TRUE(std::isfinite((double)d.Stages[k].To)) << name;
            EXPECT_GT((double)d.Stages[k].To, 0.0) << name;
        }
        if (byQp) {
            for (int k = 2; k <= d.StageCount; ++k)
                EXPECT_LE((double)d.Stages[k - 1].Qp, (double)d.Stages[k].Qp);
        }
    }
}

TEST(Cascade, PreferenceAmongEqualQpTakesTheLowestStageNumber) {
    const TStageCoeffs flp = {stFLP, "FLP ", 1, 0, 0, 0, 0, 0, 0, 5000.0L, 0, 0, 0};
    const TStageCoeffs early = {stSLP, "SLP ", 2, 0, 0, 0, 6000.0L, 0.9L, 0, 3333.0L, 0, 0, 0};
    const TStageCoeffs late = {stSLP, "SLP ", 3, 0, 0, 0, 7000.0L, 0.9L, 0, 3888.0L, 0, 0, 0};
    TDesign d = HandStages({flp, early, late});
    d.Criteria[0].Options[2] = {1, 1}; // 2nd order lowpass first
    ASSERT_TRUE(AutoCascade(d));
    EXPECT_EQ(d.Stages[1].Pole1, early.Pole1);
}

} // namespace
} // namespace velmora
