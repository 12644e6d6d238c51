// TfmView, "Final frequency responses": the gain, phase and delay of the designed circuit
// from its real component values, for the stage range and the component variants chosen;
// and TfmFPtCalc, its point calculator.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/final_response.h"
#include "model/design.h"
#include "ui/dialogs.h"

namespace velmora {

class TfmView {
  public:
    TfmView(TDesign& design, Dialogs& dialogs);

    enum Tab { GainTab = 0, PhaseTab = 1, DelayTab = 2 };
    std::string Caption = "Final frequency responses";
    bool Visible = false;
    std::vector<std::string> Tabs = {"Gain", "Phase", "Delay"};
    int TabIndex = GainTab;

    // "Show Stages": " All", or " From stage" .. "To Stage".
    bool AllStages = true;
    int FromStage = 1, ToStage = 1;
    // "Show Response:" one check box per variant; only the available ones can be checked.
    std::array<std::string, kFinalVariantCount> VariantNames{};
    std::array<bool, kFinalVariantCount> VariantEnabled{}, VariantChecked{};

    // The curves: per checked variant its samples over the frequency column.
    std::array<std::vector<FinalFrequencySample>, kFinalVariantCount> Samples;
    std::vector<std::string> Note; // the inverting-output note, on the phase tab
    std::string XCaption, YCaption;

    // Showing the window: the curves over the ideal response's frequency column; the
    // design reaches the final-response level.
    void FormShow();
    void TabChange(int index);
    void VariantClick(int variant);
    void StagesChange(bool all, int from, int to);
    void Refresh();

    int First() const { return AllStages ? 1 : FromStage; }
    int Last() const { return AllStages ? d_.StageCount : ToStage; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
};

class TfmFPtCalc {
  public:
    static constexpr int kEntryMaxLength = 7;
    TfmFPtCalc(TDesign& design, Dialogs& dialogs, const TfmView& view);

    std::string EntryCaption; // "Frequency (Hz):" or "Frequency (rad/s):"
    std::string EntryText;
    std::vector<std::string> Lines; // per checked variant: its name, the value and the unit

    void FormShow();
    void EntryChange(const std::string& text);
    void CalcBtnClick();

  private:
    TDesign& d_;
    Dialogs& dlg_;
    const TfmView& view_;
};

} // namespace velmora
