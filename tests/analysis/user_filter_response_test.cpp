// A user-defined filter entered from the stages of a designed filter is that filter:
// its ideal response (gain and phase) equals the designed approximation's over the same
// frequencies, and the stage synthesis keeps its sections as entered with their gains.
#include <tuple>

#include <gtest/gtest.h>

#include "analysis/frequency_response.h"
#include "analysis/ideal_responses.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "stages/user_sections.h"
#include "support/response_reference.h"
#include "support/specifications.h"
#include "ui/tfm_user.h"

namespace velmora {
namespace {

using test::Spec;

// The section a user would enter for a designed stage: its type, wp and Qp (Q form) or
// its real pole, its zero, and its gain figure (the DC gain To wz^2/wp^2 for a lowpass
// notch, whose stage To is the high-frequency gain).
UserSection SectionOf(const TStageCoeffs& s) {
    UserSection u;
    u.To = s.To;
    if (isFirstOrder(s.StageType)) {
        u.Order = 1;
        u.Mode = UserEntryMode::Poles;
        u.Kind = s.StageType == stFHP ? UserSectionKind::Highpass : UserSectionKind::Lowpass;
        u.P = s.Sigma;
        return u;
    }
    u.Order = 2;
    u.Mode = UserEntryMode::QWpWz;
    u.Q = s.Qp;
    u.Wp = s.Wp;
    const int t = s.StageType;
    u.Kind = t == stSLP   ? UserSectionKind::Lowpass
             : t == stSHP ? UserSectionKind::Highpass
             : t == stSBP ? UserSectionKind::Bandpass
                          : UserSectionKind::Bandstop;
    if (isNotch(t)) u.Wz = s.Wz;
    const long double ratio = static_cast<long double>(s.Wz) / static_cast<long double>(s.Wp);
    if (t == stSLPN) u.To = s.To * ratio * ratio;
    return u;
}

// Lowpass designs of odd order: the cascade step scales its stages so that the peak of
// the cascade over its analysis grid is 1, and these filters have that peak at DC (a
// grid point), so the stages' product is the approximation itself, not a scaled copy.
const std::tuple<Spec, int> kCases[] = {
    {{"Butterworth 7", Lowpass, 0.5L, 30, 1000, 0, 0, 7}, Butterworth},
    {{"Chebyshev 5", Lowpass, 0.5L, 30, 1000, 0, 0, 5}, Chebyshev},
    {{"Chebyshev 9, 2 dB", Lowpass, 2, 30, 20000, 0, 0, 9}, Chebyshev},
    {{"Inverse Chebyshev 5", Lowpass, 0.5L, 50, 1000, 0, 0, 5}, InverseChebyshev},
    {{"Elliptic 5", Lowpass, 0.5L, 50, 1000, 0, 0, 5}, Elliptic},
    {{"Elliptic 7, 80 dB", Lowpass, 0.1L, 80, 3000, 0, 0, 7}, Elliptic},
    {{"Bessel 6", Lowpass, 0.5L, 30, 500, 0, 0, 6}, Bessel},
};

TEST(UserFilterResponse, SectionsOfADesignedFilterGiveItsIdealResponse) {
    for (const auto& [entry, approx] : kCases) {
        SCOPED_TRACE(entry.name);
        TDesign spec;
        test::FillSpecification(spec, entry);
        ASSERT_TRUE(test::CalculateApproximations(spec));
        ASSERT_TRUE(isUsable(spec.Approx[approx]));
        ChooseApproximation(spec, approx);
        ASSERT_EQ(SynthesiseStages(spec), SynthesisStatus::Ok);

        TDesign user;
        NewDesign(user, UserDefined);
        user.Opt = spec.Opt;
        for (int i = 1; i <= spec.StageCount; ++i) {
            TUserBlock texts;
            ASSERT_EQ(AddUserSection(user, SectionOf(spec.Stages[i]), texts), UserAddStatus::Ok) << i;
        }
        CompleteUserFilter(user);
        EXPECT_EQ(user.Approx[0].Result.Order, spec.Approx[approx].Result.Order);

        // Both over the designed filter's default axis.
        const FrequencyAxis axis = DefaultFrequencyAxis(spec);
        ComputeIdealFrequencyResponses(spec, axis);
        ComputeIdealFrequencyResponses(user, axis);
        int compared = 0;
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const IdealSample &a = spec.Approx[approx].Ideal[i], &b = user.Approx[0].Ideal[i];
            ASSERT_EQ((long double)user.FreqColumn[i].W, (long double)spec.FreqColumn[i].W);
            // Close to a transmission zero the dB value amplifies the last-bit differences
            // of the stored zero frequencies; those points say nothing about the filter.
            if (a.GainDb < -100) continue;
            // 1e-6 dB: the stage values are Real48 (~1e-12 relative), far inside it.
            EXPECT_NEAR((long double)b.GainDb, (long double)a.GainDb, 1e-6L) << "point " << i;
            EXPECT_NEAR(test::AngleDifference(b.Phase, a.Phase), 0.0L, 1e-6L) << "point " << i;
            ++compared;
        }
        EXPECT_GT(compared, kResponseIntervals / 2);
    }
}

TEST(UserFilterResponse, SynthesisKeepsTheSectionsAsEnteredWithTheirOwnGains) {
    TDesign d;
    NewDesign(d, UserDefined);
    UserSection lp{2, UserSectionKind::Lowpass, UserEntryMode::QWpWz, 0, 0.8L, 2000, 0, 0, 0, 2};
    UserSection bs{2, UserSectionKind::Bandstop, UserEntryMode::QWpWz, 0, 5, 1000, 0, 0, 3000, 1.5L};
    UserSection hp{1, UserSectionKind::Highpass, UserEntryMode::Poles, 50, 0, 0, 0, 0, 0, 0.5L};
    for (const UserSection& u : {lp, bs, hp})
        ASSERT_EQ(AddUserSection(d, u, TUserBlock{}), UserAddStatus::Ok);
    CompleteUserFilter(d);
    const auto stages = d.Stages;

    const int chosen = DefaultApproximation(d);
    ASSERT_EQ(chosen, 0);
    ChooseApproximation(d, chosen);
    ASSERT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
    EXPECT_EQ(d.DesignLevel, LevelCascaded);
    ASSERT_EQ(d.StageCount, 3);
    const uint8_t types[] = {stSLP, stSLPN, stFHP};
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(d.Stages[i].StageType, types[i - 1]);
        EXPECT_EQ((long double)d.Stages[i].Wp, (long double)stages[i].Wp);
        EXPECT_EQ((long double)d.Stages[i].To, (long double)stages[i].To);
        EXPECT_EQ((long double)d.Circuits[i].OptimalGain, (long double)d.Stages[i].To);
    }
    // The lowpass notch keeps its DC gain as entered: its stage To is 1.5 (1000/3000)^2.
    EXPECT_NEAR((long double)d.Stages[2].To, 1.5L / 9, 1e-12L);
    EXPECT_NEAR((long double)d.Spec.OverallGain, 2 * 1.5L * 0.5L, 1e-12L);
    EXPECT_NEAR((long double)d.ActualOverallGain, (long double)d.Spec.OverallGain, 1e-12L);
}

} // namespace
} // namespace velmora
