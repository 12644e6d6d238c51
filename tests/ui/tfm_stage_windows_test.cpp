// The stage windows as a person drives them: pairing by hand with its refusals, manual
// cascade moves, the criteria dialog and the gain grid.
#include <gtest/gtest.h>

#include "model/number_text.h"
#include "stages/cascade.h"
#include "stages/pairing.h"
#include "stages/stage_test_support.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_cascade.h"
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
        EXPECT_EQ(dlg.messages(), std::vector<std::string>{std::string("error: ") + c.message});
        EXPECT_EQ(w.PairRows.size(), 0u);
        EXPECT_EQ(w.PoleRows.size(), 3u);
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
    EXPECT_EQ(w.Selected, 1);
    EXPECT_EQ((double)d.Stages[2].Qp, (double)firstQ);
    EXPECT_EQ(d.StepChanged, 1);
    // The cumulative peak is 1 behind every stage of the new order too.
    EXPECT_EQ(w.NextClick(), NextWindow::CircuitSelection);
    EXPECT_EQ(d.DesignLevel, LevelCascaded);
    EXPECT_EQ(w.BackClick(), TfmCascade::BackTo::Pairing);
    w.FormShow(); // coming back: the manual order stays
    EXPECT_EQ((double)d.Stages[2].Qp, (double)firstQ);
    EXPECT_EQ(d.Stages[1].Name, secondType);
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
    EXPECT_EQ(c.PriorityText(0, 4), "1");
    EXPECT_EQ(c.PriorityText(0, 1), "2");
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
    EXPECT_EQ(g.Rows[1].constraint, "0.50000");
    EXPECT_EQ(g.Rows[0].constraint, "");
    EXPECT_EQ(g.Rows[2].actual, "2.00000");
    EXPECT_NEAR((double)g.Rows[1].rangeBar, 0.5, 1e-12);
    EXPECT_EQ(g.SpecifiedDb, "0.00000");
    EXPECT_EQ(g.ActualVV, "1.00000");
}

} // namespace
} // namespace velmora
