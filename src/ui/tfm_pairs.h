// TfmPairs: the pairing window, "Pair zeros and poles to create 1st and 2nd order
// stages". Three lists (free poles, free zeros, the stages made so far) and the
// buttons Add, Undo, Undo All, Auto Add All and Next.
#pragma once

#include <string>
#include <vector>

#include "model/design.h"
#include "stages/gains.h"
#include "ui/dialogs.h"

namespace velmora {

// Where the workflow goes after a step window closes.
enum class NextWindow { None, Pairing, Cascading, CircuitSelection };

class TfmPairs {
  public:
    TfmPairs(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Pair zeros and poles to create 1st and 2nd order stages";
    bool Visible = false;

    // List rows and the entries (pole and zero) or stage records (pairs) they show.
    std::vector<std::string> PoleRows, ZeroRows, PairRows;
    std::vector<int> PoleRowEntry, ZeroRowEntry, PairRowStage;
    // Selections: row indices (0-based) of the pole and zero lists; the pairs row or -1.
    std::vector<int> SelectedPoleRows, SelectedZeroRows;
    int SelectedPairRow = -1;

    // The circuits used when the automatic cascade distributes the gains.
    const StageGainRealiser* Circuits = nullptr;

    // Showing the window: rebuilt from the entries when the step inputs changed or
    // the design has not been paired yet.
    void FormShow();
    void AddClick();        // "Add"
    void UndoClick();       // "Undo"
    void UndoAllClick();    // "Undo All"
    void AutoAddAllClick(); // "Auto Add All"
    // "Next": refused while entries are free; otherwise the window closes, and with
    // automatic cascading the cascade is ordered and the gains are set at once.
    NextWindow NextClick();

    // Rebuilds the pole and zero lists from the free entries and the pairs list from
    // the stage records in use.
    void RebuildLists();

  private:
    TDesign& d_;
    Dialogs& dlg_;
    std::vector<int> pairStages_; // stage records listed, in the order they were made

    void Error(const std::string& text);
    int FreeStageRecord() const;
    std::string PoleRowText(int entry) const;
    std::string ZeroRowText(int entry) const;
    std::string PairRowText(int stage) const;
};

} // namespace velmora
