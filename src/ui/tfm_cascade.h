// TfmCascade: the cascading window, "Order (cascade) stages to optimize response":
// the stages in cascade order with their flatness, moved by hand ("Up", "Down") or
// ordered by the criteria ("Cascade"); and TfmACrit, the criteria dialog.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "model/design.h"
#include "stages/gains.h"
#include "ui/dialogs.h"
#include "ui/tfm_pairs.h"

namespace velmora {

class TfmCascade {
  public:
    TfmCascade(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Order (cascade) stages to optimize response";
    bool Visible = false;
    struct Row {
        std::string stage, type, flatness; // "1", "SLP ", "  1.23"
    };
    std::vector<Row> Rows;
    int Selected = -1; // row index, -1 = none
    // "Up" and "Down" move the selected row; each is enabled only where it can.
    bool UpEnabled = false, DownEnabled = false;
    void RowClick(int row);
    const StageGainRealiser* Circuits = nullptr;

    // Showing the window: the stages are ordered afresh only when the pairing changed
    // since they were last ordered, so that manual moves survive leaving and returning.
    void FormShow();
    void UpClick();
    void DownClick();
    void CascadeClick();
    // "Criteria": the main window opens TfmACrit; its OK orders the stages again.
    std::function<void()> OnCriteria;
    void CriteriaClick();
    // "Next": level 5 with the gains distributed; the circuit selection follows.
    NextWindow NextClick();
    // "Back": to the pairing window, or to the ideal responses with automatic pairing.
    enum class BackTo { Pairing, IdealResponse };
    BackTo BackClick();

    void RebuildRows();

  private:
    TDesign& d_;
    Dialogs& dlg_;
    void Move(int from, int to);
};

// The criteria dialog, "Criteria; Automatic mode".
class TfmACrit {
  public:
    TfmACrit(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Criteria; Automatic mode";
    bool Visible = false;
    static constexpr std::array<const char*, 2> ListTitles = {"First stage:", "Last stage:"};
    static constexpr std::array<const char*, 2> ListHints = {"Select 1st stage preference(s)",
                                                             "Select last stage preference(s)"};
    // Option texts in list order: [list][option 1..4].
    static const std::array<std::array<std::string, 5>, 2> OptionTexts;
    std::string OrderTitle = "Order remaining stages with:";
    std::array<std::string, 2> OrderChoices = {" increasing Qp", " maximum flatness"};

    // Opens the dialog: remembers the criteria and the ordering for Cancel.
    void Show();
    // The check box of option `opt` (1..4) of list `list` (0 first, 1 last).
    void CheckClick(int list, int opt);
    // The priority of a checked option cycles 1 .. number of checked options.
    void PriorityClick(int list, int opt);
    // The radio choice: true for increasing Qp.
    void OrderClick(bool byQp);
    // OK: refused with a message while priorities repeat; true when the dialog closed.
    bool OKClick();
    void CancelClick();

    bool Checked(int list, int opt) const;
    // The priority text of an option: its number when checked, else empty.
    std::string PriorityText(int list, int opt) const;
    bool OrderByQp() const { return d_.Opt.OrderByQp != 0; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
    std::array<TCascadeCriteria, 2> savedCriteria_{};
    uint8_t savedOrderByQp_ = 0;
    int CheckedCount(int list) const;
};

} // namespace velmora
