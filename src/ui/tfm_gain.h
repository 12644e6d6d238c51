// TfmGain, "Filter Gain": the optimal, constrained and actual gain and the dynamic range
// of every stage, with the specified and the actual overall gain; and Tfmgainad,
// "Adjust stage gains", where the user overrides the gain of an unconstrained stage.
// Lowpass notch stages are shown and entered at their low-frequency gain.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/design.h"
#include "stages/gains.h"
#include "ui/dialogs.h"
#include "ui/drawing_surface.h"

namespace velmora {

class TfmGain {
  public:
    TfmGain(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Filter Gain";
    bool Visible = false;
    std::vector<std::array<std::string, 2>> Headers = {
        {"Stage", ""}, {"Optimal", "Gain"}, {"Gain", "Constraint"}, {"Actual", "Gain"}, {"Dynamic", "Range"}};
    struct Row {
        std::string stage, optimal, constraint, actual;
        bool optimalAdjusted = false; // drawn in another colour
        long double rangeBar = 0;     // 0..1, the bar's share of its full length
    };
    std::vector<Row> Rows;
    std::string SpecifiedDb, SpecifiedVV, ActualDb, ActualVV;

    // Showing the window: the overall gain is computed and the grid is filled.
    void FormShow();
    void Refresh();
    void CloseClick() { Visible = false; }
    // "Adjust stage gains": the main window opens Tfmgainad.
    std::function<void()> OnAdjust;
    void AdjustClick();

  private:
    TDesign& d_;
    Dialogs& dlg_;
};

// The gain grid: the two header rows, one row per stage with its numbers, the optimal
// gain in blue where the user set the stage's gain, and the dynamic-range bar.
void PaintGainGrid(DrawingSurface& s, const TfmGain& m);
// The picture height that holds the grid's rows.
double GainGridHeight(const TfmGain& m);

class Tfmgainad {
  public:
    Tfmgainad(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Adjust stage gains";
    bool Visible = false;
    std::vector<std::string> Tabs; // "Stage 1", ...
    std::vector<int> TabStage;
    int TabIndex = 0;
    std::string GainLabel = "Gain:";
    std::string GainText;

    const StageGainRealiser* Circuits = nullptr;
    // Called after OK so that the circuits refresh their component marks.
    std::function<void()> OnGainsChanged;

    void Show();
    void TabChange(int index);
    void AcceptClick(); // "Accept"
    void ResetClick();  // "Reset"
    void OKClick();     // "OK"

  private:
    TDesign& d_;
    Dialogs& dlg_;
    int Stage() const { return TabIndex >= 0 && TabIndex < (int)TabStage.size() ? TabStage[TabIndex] : 0; }
    void ShowGain();
};

} // namespace velmora
