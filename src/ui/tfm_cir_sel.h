// TfmCirSel, "Select circuit schematic for each stage": one tab per stage, the offered
// circuits of the stage's type shown one at a time with their metrics, "Select" for the
// circuit shown, and "Next" to the component calculation once every stage has one.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "circuits/selection.h"
#include "model/design.h"
#include "ui/dialogs.h"
#include "ui/drawing_surface.h"

namespace velmora {

class TfmCirSel {
  public:
    TfmCirSel(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Select circuit schematic for each stage";
    bool Visible = false;
    std::vector<std::string> Tabs; // "Stage 1 of 3", ...
    int TabIndex = 0;
    int Shown = 1;               // the choice shown on the current tab
    std::string StageParameters; // "Q=0.7071    fp=1 KHz"
    std::string CircuitKey;      // the schematic shown: "SLP01"
    std::string CircuitName;     // "Sallen-Key (SK) Second Order Lowpass I"
    std::string SelectedCaption; // "Selected: SLP01" or empty
    CandidateTexts Metrics;
    std::string GainSpreadCaption; // "Gain Spread" "for GBW=" the stage's GBW
    // One bar per offered candidate: the passive and active parts as fractions of the bar
    // area (the largest shown total fills 0.99), or the label "Excluded".
    struct SpreadBar {
        long double Passive = 0, Active = 0; // 0..0.99
        bool Excluded = false;
        std::string Label; // "Excluded" or empty
        std::string Hint;  // "Exclude circuit" / "Include circuit"
    };
    std::vector<SpreadBar> SpreadBars; // choice 1 first
    bool ShowPassive = true, ShowActive = true;
    std::string PassiveHint = "Hide Passive", ActiveHint = "Hide Active";
    // "At this frequency the active gain spread is zero for all circuits." or empty.
    std::string ActiveZeroNote;
    bool SelectEnabled = false;
    bool NextEnabled = false;
    bool FirstEnabled = false, PriorEnabled = false, NextCircuitEnabled = false, LastEnabled = false;

    // The candidate sets of every stage (valid after an evaluation).
    std::array<TCandidateSet, kMaxStages + 1> Sets{};

    // "Next": the main window opens the component calculation.
    std::function<void()> OnNext;
    // "Components": the main window opens the component characteristics; once they are
    // accepted it calls Refresh, as the candidates' gain spreads depend on them.
    std::function<void()> OnComponents;
    // "Back": the window closes and the main window returns to the step before.
    std::function<void()> OnBack;

    // Showing the window: the previous state when the design already has its circuits and
    // no earlier step changed; otherwise every stage starts afresh at choice 1.
    void FormShow();
    void TabChange(int index);
    void FirstClick();
    void PriorClick();
    void NextCircuitClick();
    void LastClick();
    // "Select": the circuit shown becomes the stage's circuit (a beep when it cannot be built).
    void SelectClick();
    // Clicking a candidate's box in the gain-spread panel excludes or includes it.
    void ExcludeClick(int choice);
    // " Passive" / " Active": hide or show that part of the bars; hiding one part while
    // the other is hidden shows the other again.
    void PassiveClick();
    void ActiveClick();
    void NextClick();
    void CloseClick() { Visible = false; }
    void ComponentsClick();
    void BackClick();
    // "Strategy": how to weigh the metrics when choosing a circuit, as a message.
    void StrategyClick();
    // The stage shown evaluated again (after the component characteristics changed).
    void Refresh();

    int Stage() const { return TabIndex + 1; }
    int Offered() const;

  private:
    TDesign& d_;
    Dialogs& dlg_;
    void Evaluate();
    void ShowCandidate();
    void ShowSpreadBars();
};

// The gain-spread panel: one box per offered candidate, side by side, each with its
// choice number under it and the passive part (blue) stacked under the active part (red)
// from the box's foot; an excluded candidate's box holds the word "Excluded". The
// candidate shown has a thicker frame.
void PaintSpreadBars(DrawingSurface& s, const TfmCirSel& m);
// The candidate (1-based choice) whose box holds the point, or 0.
int SpreadBarAt(const TfmCirSel& m, double width, double height, double x, double y);

// The stage's targets as the windows head them: "Q=" Qp "    fp=" f (or "    wp=" in
// rad/s), with "    fz=" for notch stages; "fc=" / "wc=" for first-order stages.
std::string StageParameterText(const TDesign& d, int stage);

} // namespace velmora
