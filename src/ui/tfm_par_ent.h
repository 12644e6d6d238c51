// TfmParEnt: the specification form. It holds the entry texts and unit boxes of a
// lowpass, highpass, bandpass or bandstop specification, reads and validates them,
// runs the approximation calculation and shows the comparison table.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/ideal_responses.h"
#include "app/design_session.h"
#include "app/entry_form.h"
#include "app/parameters.h"
#include "approx/approximation.h"
#include "model/design.h"
#include "ui/dialogs.h"
#include "ui/entry_keys.h"

namespace velmora {

struct TEditControl {
    std::string Name;  // control name, used for the focus
    std::string Label; // caption beside the field
    std::string Text;
    int MaxLength = 0;
    bool Enabled = true;
    bool Visible = true;
    bool LabelGreyed = false;
    // A frequency field keeps the exact rad/s value its text was built from, so that a
    // text rounded to fit the field does not change the design when read back.
    std::optional<long double> ExactRad;
    std::string ExactText;
};

struct TComboControl {
    std::string Name;
    std::vector<std::string> Items;
    int ItemIndex = 0;
    bool Enabled = true;
    bool Visible = true;
    std::string Text() const {
        return ItemIndex >= 0 && ItemIndex < (int)Items.size() ? Items[ItemIndex] : "";
    }
};

using app::HalfPowerGain;

class TfmParEnt {
  public:
    TfmParEnt(TDesign& design, Dialogs& dialogs);

    // Controls
    TEditControl NumEdit1, NumEdit2, NumEdit3, NumEdit4, NumEdit5, NumEdit6, IntEdit1;
    TComboControl CB1, CB2, CB3, CB4;
    std::string CheckBox1Caption = "Force Filter Order:";
    bool CheckBox1Checked = false;
    std::string NumEdit6Label = "Overall Filter Gain:";
    bool BitBtn1Enabled = false; // "Next"
    std::string Caption;
    std::vector<std::string> Tabs;
    int TabIndex = 0;
    std::string Focus; // name of the focused control
    bool Visible = false;
    bool EntryError = false;
    ComparisonTable Table;

    // Called by "Next" once the design moves on to the ideal responses.
    std::function<void()> OnNext;
    // Called after "Calculate" replaced the approximations (whatever their verdict).
    std::function<void()> OnCalculated;
    // Set by the main window's model: the record of the ideal responses it shares with
    // the graph window, which then need not compute them again over the same axes.
    IdealResponseRecord* Responses = nullptr;

    // Sets the form up for a new specification of the design's filter type, with the defaults.
    void SetUpNew();
    // Rebuilds the entries from the design record (after the unit switch or a file read).
    void ShowSpecification();
    // Relabels the fields and unit boxes for the design's frequency unit.
    void RelabelUnits();
    // The frequency-unit switch: rebuilds the three frequency entries in the new unit.
    void ConvertFrequencyUnits(bool toHz);
    // The user parameter an entry field sets, for the design's filter type and the gain's
    // unit (its help, range and unit for the field's tool tip and validator); null for a
    // control that is not one of the entries.
    const app::Parameter* ParameterOf(const TEditControl& edit) const;

    // Handlers
    void CheckBox1Click();
    void EntryChange(TEditControl& edit); // a typed change of an entry or the order
    void UnitChange(TComboControl& box);  // a change of a unit box
    void CB4Change();                     // gain unit: V/V <-> dB
    // A character key typed into an entry field (`selected` characters are replaced by
    // it): a refused key beeps, Enter moves the focus to the next field in the form's
    // order. The front end inserts a taken character and then reports the change.
    EntryKey KeyPress(TEditControl& edit, char key, int selected = 0);
    void CalcBtnClick();
    void BitBtn1Click(); // "Next"

  private:
    TDesign& d_;
    Dialogs& dlg_;

    // The entries as the form holds them, and an issue with them told to the person.
    app::SpecificationEntry Entries() const;
    void Report(const app::EntryIssue& issue);
    void Warn(TEditControl* focus, const std::string& text);
    void SetBusy(bool busy);
    bool busy_ = false;
    long double UnitFactor(const TComboControl& box) const;
    void SetFrequencyText(TEditControl& edit, TComboControl& unit, long double rad);
    void ApplyForceOrderState();
    std::vector<std::string> UnitItems() const;
};

} // namespace velmora
