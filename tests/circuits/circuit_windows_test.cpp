// The circuit step windows as a person uses them: selecting circuits stage by stage,
// the component calculation window, compensation choices with Cancel, and the final
// response view.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "analysis/ideal_responses.h"
#include "circuits/components.h"
#include "circuits/selection.h"
#include "stages/stage_test_support.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_cir_cal.h"
#include "ui/tfm_cir_sel.h"
#include "ui/tfm_pt_calc.h"
#include "ui/tfm_view.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

// Fourth-order Butterworth lowpass at 1 kHz: two SLP stages at level 5.
TDesign CascadedLowpass() {
    TDesign d;
    EXPECT_TRUE(stagetest::Calculate(d, {Lowpass, 3.0L, 30.0L, 1000.0L, 2000.0L, 0.0L, 4, 1.0L}));
    ChooseApproximation(d, Butterworth);
    EXPECT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
    ComputeIdealResponses(d);
    return d;
}

TEST(TfmCirSel, StageByStageToTheComponents) {
    TDesign d = CascadedLowpass();
    RecordingDialogs dlg;
    TfmCirSel sel(d, dlg);
    bool next = false;
    sel.OnNext = [&] { next = true; };
    sel.FormShow();
    ASSERT_EQ(sel.Tabs, (std::vector<std::string>{"Stage 1 of 2", "Stage 2 of 2"}));
    EXPECT_EQ(sel.Shown, 1);
    EXPECT_EQ(sel.CircuitKey, "SLP01");
    EXPECT_EQ(sel.Offered(), 6);
    EXPECT_TRUE(sel.StageParameters.starts_with("Q=")) << sel.StageParameters;
    EXPECT_NE(sel.StageParameters.find("    fp="), std::string::npos);
    EXPECT_FALSE(sel.NextEnabled);
    sel.NextClick();
    EXPECT_FALSE(next);
    EXPECT_EQ(dlg.log.back(), "beep");

    sel.LastClick();
    EXPECT_EQ(sel.CircuitKey, "SLP13");
    EXPECT_FALSE(sel.NextCircuitEnabled);
    sel.PriorClick();
    EXPECT_EQ(sel.CircuitKey, "SLP08");
    sel.FirstClick();
    EXPECT_FALSE(sel.PriorEnabled);
    sel.NextCircuitClick();
    sel.NextCircuitClick();
    EXPECT_EQ(sel.CircuitKey, "SLP03");
    ASSERT_TRUE(sel.SelectEnabled);
    sel.SelectClick();
    EXPECT_EQ(d.Circuits[1].CircuitNumber, 13);
    EXPECT_EQ(sel.SelectedCaption, "Selected: SLP03");
    EXPECT_EQ(d.Circuits[1].NotRealisable, 0);
    EXPECT_EQ(d.Circuits[1].Initialise, 0) << "the load after selecting stored the starting values";
    EXPECT_EQ(d.DesignLevel, LevelCascaded);

    sel.TabChange(1);
    EXPECT_EQ(sel.Shown, 1);
    sel.SelectClick();
    EXPECT_TRUE(sel.NextEnabled);
    EXPECT_EQ(d.DesignLevel, LevelCircuitsSelected);
    sel.NextClick();
    EXPECT_TRUE(next);

    // Shown again with nothing changed: the choices stay.
    sel.FormShow();
    sel.TabChange(0);
    EXPECT_EQ(d.Circuits[1].CircuitChoice, 3);
    EXPECT_EQ(sel.CircuitKey, "SLP03");
    // A candidate that cannot be built is not selected.
    sel.Sets[1].Candidates[2].NotRealisable = 1;
    sel.Shown = 2;
    d.Circuits[1].CircuitChoice = 3;
    const std::size_t beeps = dlg.log.size();
    TCandidateSet& set = sel.Sets[1];
    EXPECT_EQ(SelectCircuit(d, 1, 2, set), SelectStatus::NotRealisable);
    EXPECT_EQ(dlg.log.size(), beeps);
}

TEST(TfmCirCal, ComponentsStepsAndTheUnrealisableStage) {
    TDesign d = CascadedLowpass();
    ASSERT_TRUE(DesignStageCircuits(d, {{"SLP01"}, {"SLP01"}}).ok);
    RecordingDialogs dlg;
    TfmCirCal cal(d, dlg);
    cal.FormShow();
    EXPECT_EQ(d.DesignLevel, LevelComponents);
    ASSERT_EQ(cal.Tabs.size(), 2u);
    const TStageCircuit& c = d.Circuits[1];
    ASSERT_EQ(cal.Components.size(), static_cast<std::size_t>(c.ResistorCount + c.CapacitorCount));
    EXPECT_EQ(cal.Components[0].Name, "R1");
    EXPECT_EQ(static_cast<long double>(cal.Components[0].Value), static_cast<long double>(R(c, 1)));
    // The text has four significant characters and the unit: the value read back agrees to 0.5 %.
    const std::string& t = cal.Components[0].Text;
    const long double scale = t.back() == 'K' ? 1e3L : t.back() == 'M' ? 1e6L : 1.0L;
    EXPECT_NEAR(static_cast<double>(std::stold(t) * scale / R(c, 1)), 1.0, 5e-3) << t;
    EXPECT_EQ(cal.Components[c.ResistorCount].Name, "C1");
    EXPECT_TRUE(cal.Components[c.ResistorCount].Text.ends_with("nF")) << cal.Components[c.ResistorCount].Text;
    EXPECT_TRUE(cal.UnableLines.empty());
    // SLP01 offers " C2 variable": the list starts with Variations.
    ASSERT_EQ(EntryByNumber(c.CircuitNumber)->key, "SLP01");
    ASSERT_EQ(cal.Steps.size(), 10u);
    EXPECT_EQ(cal.Steps[0].Caption, "Step 1: Variations");
    EXPECT_EQ(cal.Steps[9].Caption, "Step 10: Final Response");
    EXPECT_EQ(cal.Steps[4].Instruction,
              "Help offset distortion due to op amp frequency response using either Predistortion or Active "
              "Compensation (some circuits only).");
    EXPECT_TRUE(cal.C2VariableVisible);
    EXPECT_FALSE(cal.C1EqC2Visible);
    cal.C2VariableClick();
    EXPECT_EQ(d.Circuits[1].UseC2Variable, 1);
    EXPECT_GE(d.Circuits[1].CapRatio, 10.0L); // r = 4 Qp^2 raised to the next power of ten

    // A circuit without the option: nine steps.
    TDesign m = CascadedLowpass();
    ASSERT_TRUE(DesignStageCircuits(m, {{"SLP03"}, {"SLP13"}}).ok);
    TfmCirCal cal2(m, dlg);
    cal2.FormShow();
    ASSERT_EQ(cal2.Steps.size(), 9u);
    EXPECT_EQ(cal2.Steps[0].Caption, "Step 1: Freq. Response");

    // A stage its circuit cannot build shows three lines instead of the schematic.
    m.Stages[2].Qp = 0.0L;
    cal2.RecalculateAll();
    cal2.TabChange(1);
    EXPECT_EQ(cal2.UnableLines,
              (std::vector<std::string>{"Velmora has been unable to actualize this circuit.",
                                        "Please select another circuit topology for Stage 2",
                                        "in the previous Select Filter Circuits window."}));
    EXPECT_TRUE(cal2.Components.empty());
}

TEST(TfmCompensate, ChoicesPerCircuitAndCancelRestores) {
    TDesign d;
    ASSERT_TRUE(stagetest::Calculate(d, {Lowpass, 3.0L, 30.0L, 1000.0L, 2000.0L, 0.0L, 3, 1.0L}));
    ChooseApproximation(d, Butterworth);
    ASSERT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
    ASSERT_EQ(d.StageCount, 2);
    const int first = isFirstOrder(d.Stages[1].StageType) ? 1 : 2, second = 3 - first;
    std::vector<StageCircuitRequest> asked(2);
    asked[static_cast<std::size_t>(second - 1)].key = "SLP08";
    ASSERT_TRUE(DesignStageCircuits(d, asked).ok);
    RecordingDialogs dlg;
    TfmCompensate comp(d, dlg);
    int recalculated = 0;
    comp.OnRecalculate = [&] { ++recalculated; };
    comp.FormShow();
    comp.TabChange(first - 1);
    EXPECT_EQ(comp.ChoiceEnabled, (std::array<bool, 3>{false, false, true})); // first order: " Neither" only
    comp.TabChange(second - 1);
    EXPECT_EQ(comp.ChoiceEnabled,
              (std::array<bool, 3>{true, false, true})); // SLP08 has no compensated variant
    comp.ChoiceClick(TfmCompensate::ActiveCompensation);
    EXPECT_EQ(dlg.log.back(), "beep");
    comp.ChoiceClick(TfmCompensate::Predistortion);
    EXPECT_EQ(d.Circuits[second].Predistort, 1);
    comp.CancelClick();
    EXPECT_EQ(d.Circuits[second].Predistort, 0);
    EXPECT_EQ(recalculated, 0);
    comp.FormShow();
    comp.TabChange(second - 1);
    comp.ChoiceClick(TfmCompensate::Predistortion);
    comp.OKClick();
    EXPECT_EQ(recalculated, 1);
    EXPECT_EQ(d.Circuits[second].Predistort, 1);
}

TEST(TfmView, FinalCurvesNoteAndPointCalculator) {
    TDesign d = CascadedLowpass();
    ASSERT_TRUE(DesignStageCircuits(d, {{"SLP03"}, {"SLP01"}}).ok);
    RecordingDialogs dlg;
    TfmView view(d, dlg);
    view.FormShow();
    EXPECT_EQ(d.DesignLevel, LevelFinalResponse);
    ASSERT_EQ(view.Samples[StandardCExactR].size(), static_cast<std::size_t>(kResponsePoints));
    EXPECT_TRUE(view.Samples[ExactCSubstitution].empty());
    EXPECT_FALSE(view.VariantEnabled[ExactCSubstitution]);
    EXPECT_EQ(view.XCaption, "Frequency  (Hz)");
    view.TabChange(TfmView::PhaseTab);
    EXPECT_EQ(view.Note, (std::vector<std::string>{"Note:  There is an additional 180 degrees phase shift",
                                                   "due to the inverting output of stage 1."}));
    view.StagesChange(false, 2, 2);
    EXPECT_TRUE(view.Note.empty());
    view.StagesChange(true, 1, 2);
    view.TabChange(TfmView::GainTab);

    TfmFPtCalc calc(d, dlg, view);
    calc.FormShow();
    EXPECT_EQ(calc.EntryCaption, "Frequency (Hz):");
    calc.EntryChange("1000");
    calc.CalcBtnClick();
    ASSERT_EQ(calc.Lines.size(), 1u);
    const auto p =
        FinalResponseAt(d, StandardCExactR, 1, 2, 2.0L * std::numbers::pi_v<long double> * 1000.0L);
    ASSERT_TRUE(p);
    EXPECT_EQ(calc.Lines[0], " Standard C, exact R: " + ReadoutText(GainToDb(p->GainVV)) + "  dB");
    EXPECT_NEAR(static_cast<double>(GainToDb(p->GainVV)), -3.0, 0.01); // the passband edge at Apb = 3 dB
    calc.EntryChange("abc");
    calc.CalcBtnClick();
    EXPECT_EQ(dlg.messages().back(), "warning: Invalid Number.");
}

} // namespace
} // namespace velmora
