// TfmCirCal, "Calculate component values": the components of every stage's circuit, the
// design steps that lead from here to the final response, the design options of the
// stage shown, and the op-amp compensation form TfmCompensate it opens.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/design.h"
#include "model/inventory_file.h"
#include "ui/dialogs.h"
#include "ui/drawing_surface.h"
#include "ui/tfm_comp_adj.h"
#include "ui/tfm_comp_sens.h"

namespace velmora {

struct StandardRResult;

class TfmCirCal {
  public:
    TfmCirCal(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Calculate component values";
    bool Visible = false;
    std::vector<std::string> Tabs; // "Stage 1", ...
    int TabIndex = 0;

    // The step list: "Step 1:" .. with the name, and the instruction of each step. The
    // "Variations" step is there only when some stage offers " C2 variable" or uses
    // " C1=C2 : R1=R2".
    struct Step {
        std::string Caption;     // "Step 1: Variations"
        std::string Name;        // "Variations"
        std::string Instruction; // shown under the list
    };
    std::vector<Step> Steps;
    int StepIndex = 0;
    std::vector<std::string> QuickChoices = {"[1] variations", "[2] freq. response",
                                             "[3] gain, dynamic range"};
    std::string StepInstruction; // the instruction of the step chosen

    // Choosing a step shows that step's controls and nothing else of the steps; the
    // steps that are windows of their own open them ("Gain" the gain summary,
    // "Components" the component characteristics, "Compensation" TfmCompensate), and the
    // two response steps point at "Next".
    void StepClick(int index);
    // A quick choice (0-based): the variations step (the first step where no stage has
    // variations), the frequency response step, the gain step.
    void QuickChoiceClick(int choice);
    bool VariationsShown = false; // " C2 variable", " C1=C2 : R1=R2"
    bool AdjustShown = false;     // the "Adjust Values" group, arrows and "Reset"
    bool StandardRShown = false;  // the standard-values check box and the strategies
    bool NextHighlighted = false; // the response steps: "Next" is what to press
    bool CapacitorsClickable = false, ResistorsClickable = false;
    std::function<void()> OnGain;       // "Gain": the main window shows TfmGain
    std::function<void()> OnComponents; // "Components": the component characteristics

    // The pages over the schematic: "Calc" the schematic with the values, "Tune" the
    // tuning instructions of the stage, "Sens" the button that opens the sensitivities.
    enum Page { CalcPage = 0, TunePage = 1, SensPage = 2 };
    std::array<std::string, 3> Pages = {"Calc", "Tune", "Sens"};
    int PageIndex = CalcPage;
    void PageChange(int page);
    // The component values written at the schematic (the calculation page only): the
    // values in effect, "R1" -> "12.3K".
    std::map<std::string, std::string> SchematicValues() const;
    // "Sensitivities" on the "Sens" page: the table of the stage shown.
    TfmCompSens CompSens;
    void SensitivitiesClick();
    // The "Tune" page of the stage shown: the tuning sequence with its rating and the
    // stage parameters, then "Adjusting the stage parameters:" with both methods, each
    // section drawn with the markup renderer. Returns the height used.
    double PaintTuning(DrawingSurface& s) const;

    // The stage shown.
    std::string StageParameters;
    std::string CircuitKey, CircuitName;
    bool Compensated = false;             // the schematic is the compensated variant
    std::vector<std::string> UnableLines; // instead of the schematic when not realisable
    struct ComponentRow {
        std::string Name;  // "R1", "C2"
        long double Value; // ohms or farads
        std::string Text;  // "12.3K", "4.7nF"
        // Resistors: the user-assigned value ("User-Assigned R"), empty while none.
        std::string AssignedText;
        // "Exact", or "Stnd" with the series' tolerance for a resistor ("Stnd 1%") when the
        // value in effect is a standard value; capacitors: "Stnd" for a 12-value series value.
        std::string Mark;
    };
    std::vector<ComponentRow> Components;
    bool C2VariableVisible = false, C2VariableChecked = false;
    bool C1EqC2Visible = false, C1EqC2Checked = false;
    // Status panel: "GBW: 3.0 MHz", "Gain: 1.0000", "Active Compensation" / "Predistort".
    std::string StatusGbw, StatusGain, StatusMode;
    std::string StatusStandard; // "Stnd 1% resistors" while standard values are on
    // "Gain spread effect:" at the passband edge, for the "Stage " shown and the "Filter":
    // the gain spread with the op amps' GBW tolerance and, in brackets, without it, so the
    // share of the op amps (which predistortion and compensation do not remove) shows.
    // Empty while a stage cannot be analysed.
    std::vector<std::string> GainSpreadEffect;

    // ---- "Adjust Values": the group the two arrow buttons step, for the stage shown only.
    // " All Capacitors" one 12-value step each; " C2 only" (circuits whose C2 may move on
    // its own); the gain pair's ratio (circuits with a gain pair, captioned with its
    // resistors, " R3/R4"). Each step recalculates the stage's resistors; a failure keeps
    // the previous values and is shown as a warning, a moved stage gain as information.
    enum AdjustGroup { AllCapacitors = 0, C2Only = 1, GainPairRatio = 2 };
    std::array<std::string, 3> AdjustChoices = {" All Capacitors", " C2 only", " Rx/Ry"};
    std::array<bool, 3> AdjustChoiceVisible{};
    int AdjustGroupIndex = AllCapacitors;
    void AdjustGroupClick(int group);
    void UpArrowClick();
    void DownArrowClick();
    // "Reset": the stage's calculated values again (its capacitor entries forgotten).
    void ResetClick();

    // ---- "Exact C Values" and "User-Assigned R": a click on a component of the schematic
    // opens TfmCapAdj for a capacitor in the first step and TfmResAdj for a resistor in
    // the second; elsewhere a click does nothing. The forms' OK goes through the window,
    // which reports the outcome and shows the stage again.
    TfmCapAdj CapAdj;
    TfmResAdj ResAdj;
    void ComponentClick(const std::string& name); // "C2", "R3"
    bool CapAdjOKClick();
    bool ResAdjOKClick();

    // ---- "Standard R Values": the check box captioned with the resistor tolerance, and
    // the strategy. Disabled, with the reason, for a tolerance without a series.
    std::string StandardRCaption; // " Standard 1%"
    bool StandardREnabled = false, StandardRChecked = false;
    std::string StandardRReason;
    std::array<std::string, 2> StrategyChoices = {" Strategy 1", " Strategy 2"};
    int StrategyIndex = 0;
    void StandardRClick();
    void StrategyClick(int index);
    // The program's component inventory, used when the design's inventory flags say so.
    const Inventory* ProgramInventory = nullptr;

    std::function<void()> OnCompensate;    // "Compensate": the main window opens TfmCompensate
    std::function<void()> OnNext;          // "Next": the final response
    std::function<void()> OnValuesChanged; // a value adjusted, or standard values switched

    // Showing the window: every stage recalculated; the design reaches level 7 when every
    // stage is realisable.
    void FormShow();
    void TabChange(int index);
    // " C2 variable" and " C1=C2 : R1=R2" of the stage shown: all stages recalculated and
    // the stage's capacitor set stored; capacitors entered for the stage's former design
    // are forgotten.
    void C2VariableClick();
    void C1EqC2Click();
    // Recalculates every stage (after a change of GBW, predistortion or compensation),
    // keeping the capacitors the user entered (the resistors solved for them again);
    // while standard resistor values are on, each stage's new exact values are
    // substituted again.
    void RecalculateAll();
    void NextClick();

    int Stage() const { return TabIndex + 1; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
    void BuildSteps();
    void ShowStage();
    std::string CurrentStepName() const;
    void ReportAdjustment(const RecalcResult& r);
    void ReportStandardR(const StandardRResult& r);
};

// TfmCompensate, "Op amp Frequency Compensation": per stage " Apply Predistortion",
// " Active Compensation" (only for circuits with a compensated variant that reduces the
// error) or " Neither" (the only choice of a first-order stage); Cancel restores every
// stage's flags as they were when the form opened, OK recalculates all stages.
class TfmCompensate {
  public:
    TfmCompensate(TDesign& design, Dialogs& dialogs);

    enum Mode { Predistortion = 0, ActiveCompensation = 1, Neither = 2 };
    std::string Caption = "Op amp Frequency Compensation";
    bool Visible = false;
    std::vector<std::string> Tabs; // "Stage 1", ...
    int TabIndex = 0;
    std::vector<std::string> Choices = {" Apply Predistortion", " Active Compensation", " Neither"};
    std::array<bool, 3> ChoiceEnabled{};
    int ItemIndex = Neither;

    std::function<void()> OnRecalculate; // after OK: all stages recalculated

    bool Offered(int stage, Mode mode) const;
    void FormShow();
    void TabChange(int index);
    void ChoiceClick(int mode);
    void OKClick();
    void CancelClick();

    int Stage() const { return TabIndex + 1; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
    std::vector<std::pair<uint8_t, uint8_t>> saved_; // predistortion, compensation per stage
    void ShowStage();
};

} // namespace velmora
