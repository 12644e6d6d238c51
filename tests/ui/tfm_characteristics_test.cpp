// The component characteristics form, the re-run of the steps that depend on it, and the
// gain-spread bars of the circuit selection.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "analysis/ideal_responses.h"
#include "circuits/selection.h"
#include "stages/stage_test_support.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_characteristics.h"
#include "ui/tfm_cir_sel.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

// A third-order lowpass (a first-order and a second-order stage) with its circuits.
TDesign Designed() {
    TDesign d;
    EXPECT_TRUE(stagetest::Calculate(d, {Lowpass, 0.5L, 15.0L, 1000.0L, 3000.0L, 0.0L, 3, 1.0L}));
    ChooseApproximation(d, Butterworth);
    EXPECT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
    ComputeIdealResponses(d);
    EXPECT_TRUE(DesignStageCircuits(d).ok);
    return d;
}

int SecondOrderStage(const TDesign& d) {
    for (int i = 1; i <= d.StageCount; ++i)
        if (d.Stages[i].Qp > 0.0L) return i;
    return 0;
}

TEST(TfmCharacteristics, OkStoresTheValuesAndSetsTheChangedFlagsOnlyOnAChange) {
    TDesign d = Designed();
    RecordingDialogs dlg;
    TfmCharacteristics f(d, dlg);
    f.FormShow();
    ASSERT_EQ(f.Stages.size(), static_cast<std::size_t>(d.StageCount));
    EXPECT_EQ(f.Tabs[0], "Stage 1");
    d.Modified = 0;
    f.BitBtn2Click();
    EXPECT_FALSE(f.Changed);
    EXPECT_EQ(d.Modified, 0);
    EXPECT_EQ(d.Circuits[1].GbwChangedByUser, 0);

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
    EXPECT_EQ(d.Modified, 1);
    EXPECT_EQ((long double)d.Components.ResistorTolerance, Real48(0.1L));
    EXPECT_EQ((long double)d.Components.CapacitorTolerance, 10.0L);
    EXPECT_NEAR((double)d.Components.ResistorTempCo, 50e-6, 1e-15); // Real48: 2e-12 relative
    EXPECT_NEAR((double)d.Components.CapacitorTempCo, -120e-6, 1e-15);
    EXPECT_EQ((long double)d.Components.TempRise, 30.0L);
    EXPECT_EQ((long double)d.Circuits[2].OpAmpGBW, 4.5e6L);
    EXPECT_EQ((long double)d.Circuits[2].GbwTolerance, 10.0L);
    EXPECT_NEAR((double)d.Circuits[2].GbwTempCo, 4000e-6, 1e-14); // Real48: 2e-12 relative
    EXPECT_EQ((long double)d.Circuits[2].OpAmpNoise, 7.5L);
    EXPECT_EQ(d.Circuits[2].GbwChangedByUser, 1);
    EXPECT_EQ(d.Circuits[1].GbwChangedByUser, 0);

    // The GBW set by the person survives a new selection of the stage's circuit.
    TCandidateSet set;
    EvaluateCandidates(d, 2, set);
    ASSERT_EQ(SelectCircuit(d, 2, 1, set), SelectStatus::Selected);
    EXPECT_EQ((long double)d.Circuits[2].OpAmpGBW, 4.5e6L);
    EXPECT_TRUE(dlg.messages().empty());
}

TEST(TfmCharacteristics, ResistorInventoryStaysOnlyForItsSeries) {
    const struct {
        int index;
        bool inventoryKept;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}, {4, false}, {5, true}, {6, true}};
    for (const auto& k : cases) {
        TDesign d = Designed();
        RecordingDialogs dlg;
        d.Components.UseResInventory = 1;
        TfmCharacteristics f(d, dlg);
        f.FormShow();
        f.ResistorToleranceIndex = k.index;
        f.BitBtn2Click();
        EXPECT_EQ(d.Components.UseResInventory != 0, k.inventoryKept) << f.ToleranceItems[k.index];
    }
}

TEST(TfmCharacteristics, AnInvalidEntryIsRefusedWithTheDesignUnchanged) {
    TDesign d = Designed();
    RecordingDialogs dlg;
    TfmCharacteristics f(d, dlg);
    f.FormShow();
    f.ResistorToleranceIndex = 6;
    f.Stages[1].GbwText = "fast";
    f.BitBtn2Click();
    EXPECT_EQ(dlg.messages(), std::vector<std::string>{"error: Invalid Number."});
    EXPECT_EQ(f.TabIndex, 1);
    EXPECT_TRUE(f.Visible);
    EXPECT_EQ((long double)d.Components.ResistorTolerance, 1.0L);
}

// Re-running after a change: nothing before the stages exist; the candidates' spreads
// follow the new tolerances (a doubled tolerance doubles them) from the stages level on.
TEST(TfmCharacteristics, RerunFollowsTheDesignLevel) {
    TDesign d = Designed();
    std::array<TCandidateSet, kMaxStages + 1> sets{};
    TDesign early = d;
    early.DesignLevel = LevelPaired;
    const CharacteristicsRerun none = RerunAfterCharacteristicsChange(early, sets);
    EXPECT_FALSE(none.MetricsRecomputed || none.ComponentsRecalculated);
    EXPECT_EQ(sets[2].Valid, 0);

    for (int i = 1; i <= d.StageCount; ++i)
        d.Circuits[i].GbwTolerance = 0.0L;
    d.DesignLevel = LevelComponents;
    const CharacteristicsRerun first = RerunAfterCharacteristicsChange(d, sets);
    EXPECT_TRUE(first.MetricsRecomputed && first.ComponentsRecalculated);
    const int so = SecondOrderStage(d);
    ASSERT_GT(so, 0);
    const TCandidateSet before = sets[static_cast<std::size_t>(so)];
    d.Components.ResistorTolerance = 2.0L;
    d.Components.CapacitorTolerance = 2.0L;
    RerunAfterCharacteristicsChange(d, sets);
    for (int k = 1; k <= 6; ++k) {
        const TCircuitCandidate &a = before.Candidates[k],
                                &b = sets[static_cast<std::size_t>(so)].Candidates[k];
        if (a.NotRealisable) continue;
        EXPECT_GT(a.PassiveGainSpread, 0.0L);
        EXPECT_NEAR((double)b.PassiveGainSpread, 2.0 * (double)a.PassiveGainSpread, 1e-9);
        EXPECT_EQ(b.ActiveGainSpread, 0.0L);
    }
}

TEST(TfmCirSel, GainSpreadBarsExclusionAndToggles) {
    TDesign d = Designed();
    RecordingDialogs dlg;
    TfmCirSel w(d, dlg);
    w.FormShow();
    const int so = SecondOrderStage(d);
    ASSERT_GT(so, 0);
    w.TabChange(so - 1);
    ASSERT_EQ(w.SpreadBars.size(), 6u);
    long double largest = 0.0L;
    for (const auto& b : w.SpreadBars)
        largest = std::max(largest, b.Passive + b.Active);
    EXPECT_NEAR((double)largest, 0.99, 1e-12);
    EXPECT_TRUE(w.ActiveZeroNote.empty());

    w.ExcludeClick(1);
    EXPECT_EQ(w.SpreadBars[0].Label, "Excluded");
    EXPECT_EQ(w.SpreadBars[0].Hint, "Include circuit");
    EXPECT_EQ(w.SpreadBars[0].Passive + w.SpreadBars[0].Active, 0.0L);
    w.ExcludeClick(1);
    EXPECT_EQ(w.SpreadBars[0].Label, "");
    EXPECT_EQ(w.SpreadBars[0].Hint, "Exclude circuit");

    w.PassiveClick();
    EXPECT_FALSE(w.ShowPassive);
    EXPECT_EQ(w.PassiveHint, "Show Passive");
    for (const auto& b : w.SpreadBars)
        EXPECT_EQ(b.Passive, 0.0L);
    w.ActiveClick(); // hiding the active part as well shows the passive part again
    EXPECT_TRUE(w.ShowPassive);
    EXPECT_FALSE(w.ShowActive);
    EXPECT_EQ(w.ActiveHint, "Show Active");
    for (const auto& b : w.SpreadBars)
        EXPECT_EQ(b.Active, 0.0L);

    // A first-order stage has no active spread.
    w.TabChange(so == 1 ? 1 : 0);
    EXPECT_EQ(w.ActiveZeroNote, "At this frequency the active gain spread is zero for all circuits.");
}

} // namespace
} // namespace velmora
