// TfmPtCalc: the point calculator of the ideal response window. "Calc" evaluates the
// quantity of the graph's current tab at the frequency (or, on the step and impulse
// tabs, the time) typed in the entry and lists it for every approximation with a
// response; a click on the graph fills the entry with the clicked abscissa.
#pragma once

#include <string>
#include <vector>

#include "analysis/graph_axes.h"
#include "model/design.h"
#include "ui/dialogs.h"
#include "ui/graph_painter.h"

namespace velmora {

class TfmPtCalc {
  public:
    static constexpr int kEntryMaxLength = 7;

    TfmPtCalc(TDesign& design, Dialogs& dialogs);

    bool Visible = false;
    std::string EntryCaption;       // "Frequency (Hz):", "Frequency (rad/s):" or "Time (X1e-3 s)"
    std::string EntryText;          // at most 7 characters
    std::vector<std::string> Lines; // one per approximation: name, value and unit

    // The graph the calculator reads: its tab and axes (units, kinds, time exponent).
    void SetView(GraphTab tab, const ResponseAxes& axes);

    // A typed change of the entry; characters beyond the seventh are not taken.
    void EntryChange(const std::string& text);
    // "Calc": evaluates the entry; a text that is not a number is refused.
    void CalcBtnClick();
    // Puts the abscissa x (display frequency unit, or time in units of 10^Exp s) into
    // the entry and evaluates it.
    void EvaluateAt(long double x);

  private:
    TDesign& d_;
    Dialogs& dlg_;
    GraphTab tab_ = GraphTab::Gain;
    ResponseAxes axes_;

    void Evaluate(long double x);
};

// A value for a read-out: five significant digits, plain between 1e-3 and 1e6,
// scientific beyond.
std::string ReadoutText(long double v);

} // namespace velmora
