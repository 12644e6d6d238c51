// The stage windows as a person drives them: pairing by hand with its refusals, manual
// cascade moves, the criteria dialog, the gain grid and the component characteristics.
#include <gtest/gtest.h>

#include <string>

#include "model/number_text.h"
#include "stages/cascade.h"
#include "stages/pairing.h"
#include "stages/stage_test_support.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "support/designs.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_cascade.h"
#include "ui/tfm_characteristics.h"
#include "ui/tfm_gain.h"
#include "ui/tfm_pairs.h"
#include "ui/tfm_transfer.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

// A design at level 3 with the chosen approximation, interactive pairing and cascading.
TDesign Chosen(const stagetest::Spec& spec, int approx) {
    TDesign d;
    EXPECT_TRUE(stagetest::Calculate(d, spec));
    ChooseApproximation(d, approx);
    d.Opt.AutoPairing = 0;
    d.Opt.AutoCascading = 0;
    return d;
}

TEST(TfmPairsWindow, RefusalsComeInOrderAndChangeNothing) {
    // Inverse Chebyshev lowpass of order 5: two pole pairs, a real pole, two zero pairs.
    TDesign d = Chosen({Lowpass, 0.5L, 40, 1000, 2000, 0, 5}, InverseChebyshev);
    RecordingDialogs dlg;
    TfmPairs w(d, dlg);
    w.FormShow();
    ASSERT_EQ(w.PoleRows.size(), 3u);
    ASSERT_EQ(w.ZeroRows.size(), 2u);

    struct Case {
        std::vector<int> poles, zeros;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, {0}, "Pole or pole pair not selected"},
        {{0, 2}, {}, "Too many poles selected."},  // two poles, one a pair
        {{0}, {0, 1}, "Too many zeros selected."}, // a pair with two zero pairs
        {{2}, {0}, "Too many zeros selected"},     // a single pole with a zero pair
    };
    for (const Case& c : cases) {
        dlg.clear();
        w.SelectedPoleRows = c.poles;
        w.SelectedZeroRows = c.zeros;
        w.AddClick();
        EXPECT_EQ(std::tuple(dlg.messages(), w.PairRows.size(), w.PoleRows.size()),
                  std::tuple(std::vector<std::string>{std::string("error: ") + c.message}, 0u, 3u));
        EXPECT_EQ(d.StepChanged, 1); // Add marks the step changed even when refused
    }
}

TEST(TfmCascadeWindow, ManualMovesSurviveLeavingAndComingBack) {
    TDesign d = Chosen({Lowpass, 0.5L, 40, 1000, 2000, 0, 7}, Chebyshev);
    RecordingDialogs dlg;
    TfmPairs pairs(d, dlg);
    pairs.FormShow();
    pairs.AutoAddAllClick();
    TfmCascade w(d, dlg);
    w.FormShow(); // the pairing changed: ordered automatically
    ASSERT_EQ(w.Rows.size(), 4u);
    const std::string secondType = d.Stages[2].Name;
    const long double firstQ = d.Stages[1].Qp;

    w.Selected = 0;
    w.DownClick();
    EXPECT_EQ(std::tuple(w.Selected, (double)d.Stages[2].Qp, d.StepChanged),
              std::tuple(1, (double)firstQ, 1));
    // The cumulative peak is 1 behind every stage of the new order too.
    EXPECT_EQ(w.NextClick(), NextWindow::CircuitSelection);
    EXPECT_EQ(d.DesignLevel, LevelCascaded);
    EXPECT_EQ(w.BackClick(), TfmCascade::BackTo::Pairing);
    w.FormShow(); // coming back: the manual order stays
    EXPECT_EQ(std::tuple((double)d.Stages[2].Qp, d.Stages[1].Name), std::tuple((double)firstQ, secondType));
    // "Cascade" orders afresh.
    w.CascadeClick();
    EXPECT_EQ((double)d.Stages[1].Qp, (double)firstQ);
}

TEST(TfmACritDialog, PrioritiesUniquenessAndCancel) {
    TDesign d;
    NewDesign(d, Lowpass);
    RecordingDialogs dlg;
    TfmACrit c(d, dlg);
    c.Show();
    c.CheckClick(0, 2);
    c.CheckClick(0, 4);
    c.CheckClick(0, 1);
    c.CheckClick(0, 2); // unchecking lowers the priorities above it
    EXPECT_EQ(std::tuple(c.PriorityText(0, 4), c.PriorityText(0, 1)), std::tuple("1", "2"));
    c.PriorityClick(0, 4); // 1 -> 2: a duplicate
    EXPECT_EQ(c.PriorityText(0, 4), "2");
    c.CheckClick(1, 3);
    c.CheckClick(1, 1);
    c.PriorityClick(1, 1); // 2 -> 1: a duplicate in the last-stage list too
    EXPECT_FALSE(c.OKClick());
    EXPECT_EQ(dlg.messages(), std::vector<std::string>{"error: First stage priorities must be unique."});
    c.PriorityClick(0, 4); // 2 -> 1
    dlg.clear();
    EXPECT_FALSE(c.OKClick());
    EXPECT_EQ(dlg.messages(), std::vector<std::string>{"error: Last stage priorities must be unique."});
    c.PriorityClick(1, 1); // 1 -> 2
    c.OrderClick(true);
    EXPECT_TRUE(c.OKClick());
    EXPECT_EQ(d.Opt.OrderByQp, 1);
}

// Circuits that reach at most half the gain of one stage.
class HalfGainStage : public StageGainRealiser {
  public:
    int stage = 0;
    long double limit = 0;
    long double Realise(TDesign&, int s, long double gain) const override {
        return s == stage && gain > limit ? limit : gain;
    }
};

TEST(TfmGainWindow, GridWithConstraintsAndTheLowpassNotchAtLowFrequency) {
    TDesign d;
    NewDesign(d, Lowpass);
    d.Spec.OverallGain = 1.0L;
    d.StageCount = 3;
    d.Stages[1] = {stSLPN, "SLPN", 0, 0, 0, 0, 1000.0L, 2.0L, 2000.0L, 250.0L, 0, 0, 1.0L};
    d.Stages[2] = {stSLP, "SLP ", 0, 0, 0, 0, 800.0L, 0.7L, 0, 570.0L, 0, 0, 1.0L};
    d.Stages[3] = {stFLP, "FLP ", 0, 0, 0, 0, 0, 0, 0, 400.0L, 0, 0, 1.0L};
    HalfGainStage circuits;
    circuits.stage = 2;
    circuits.limit = 0.5L;
    DistributeGains(d, circuits);
    RecordingDialogs dlg;
    TfmGain g(d, dlg);
    g.FormShow();
    ASSERT_EQ(g.Rows.size(), 3u);
    EXPECT_EQ(g.Rows[0].optimal, "4.00000"); // To = 1, wz = 2 wp: low-frequency gain 4
    EXPECT_EQ(std::tuple(g.Rows[1].constraint, g.Rows[0].constraint, g.Rows[2].actual),
              std::tuple("0.50000", "", "2.00000"));
    EXPECT_NEAR((double)g.Rows[1].rangeBar, 0.5, 1e-12);
    EXPECT_EQ(std::tuple(g.SpecifiedDb, g.ActualVV), std::tuple("0.00000", "1.00000"));
}

// The component characteristics form: what OK stores, when it marks a change, and a
// refused entry.
TEST(TfmCharacteristics, OkStoresTheValuesAndSetsTheChangedFlagsOnlyOnAChange) {
    TDesign d; // a third-order lowpass (a first-order and a second-order stage) with its circuits
    ASSERT_TRUE(
        test::DesignFilter(d, {Lowpass, 0.5L, 15.0L, 1000.0L, 3000.0L, 0.0L, 3, 1.0L}, Butterworth).ok);
    RecordingDialogs dlg;
    TfmCharacteristics f(d, dlg);
    f.FormShow();
    ASSERT_EQ(f.Stages.size(), static_cast<std::size_t>(d.StageCount));
    d.Modified = 0;
    f.BitBtn2Click();
    EXPECT_FALSE(f.Changed);
    EXPECT_EQ(d.Modified, 0);

    // An invalid entry is refused with the design unchanged, on its stage's tab.
    f.FormShow();
    f.ResistorToleranceIndex = 6;
    f.Stages[1].GbwText = "fast";
    f.BitBtn2Click();
    EXPECT_EQ(dlg.messages(), std::vector<std::string>{"error: Invalid Number."});
    EXPECT_EQ(f.TabIndex, 1);
    EXPECT_TRUE(f.Visible);
    EXPECT_EQ(std::tuple((long double)d.Components.ResistorTolerance, d.Modified), std::tuple(1.0L, 0));
    dlg.clear();

    // Every value as typed, in the record's units.
    f.FormShow();
    f.ResistorToleranceIndex = 0;  // 0.1 %
    f.CapacitorToleranceIndex = 6; // 10 %
    f.ResistorTempCoText = "50";
    f.CapacitorTempCoText = "-120";
    f.TempRiseIndex = 2;
    f.Stages[1].GbwText = "4.5";
    f.Stages[1].GbwToleranceIndex = 1;
    f.Stages[1].GbwTempCoIndex = 3;
    f.Stages[1].NoiseText = "7.5";
    f.BitBtn2Click();
    EXPECT_TRUE(f.Changed);
    const TStageCircuit& c = d.Circuits[2];
    EXPECT_EQ(std::tuple(d.Modified, (long double)d.Components.ResistorTolerance,
                         (long double)d.Components.CapacitorTolerance, (long double)d.Components.TempRise,
                         (long double)c.OpAmpGBW, (long double)c.GbwTolerance, (long double)c.OpAmpNoise,
                         c.GbwChangedByUser, d.Circuits[1].GbwChangedByUser),
              std::tuple(1, Real48(0.1L), 10.0L, 30.0L, 4.5e6L, 10.0L, 7.5L, 1, 0));
    EXPECT_NEAR((double)d.Components.ResistorTempCo, 50e-6, 1e-15); // Real48: 2e-12 relative
    EXPECT_NEAR((double)d.Components.CapacitorTempCo, -120e-6, 1e-15);
    EXPECT_NEAR((double)c.GbwTempCo, 4000e-6, 1e-14); // Real48: 2e-12 relative

    EXPECT_TRUE(dlg.messages().empty());
}

} // namespace
} // namespace velmora
