// TfmSpice, "Spice File Specifications": the AC sweep, the output requests, the Monte
// Carlo request, the op-amp model and the netlist dialect of the SPICE netlist, and the
// export itself (output/spice_netlist.h writes the lines).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/frequency_response.h"
#include "model/design.h"
#include "output/spice_netlist.h"
#include "ui/dialogs.h"

namespace velmora {

struct TSpiceEdit {
    TSpiceEdit(std::string caption, std::string text = "", bool enabled = true)
        : Caption(std::move(caption)), Text(std::move(text)), Enabled(enabled) {}
    std::string Caption;
    std::string Text;
    bool Enabled = true;
    // A sweep limit keeps the exact value (Hz) its text was built from, so a limit shown
    // rounded ("0.00" for 1 mHz) is written as it is, not as the rounded text.
    std::optional<long double> ExactHz;
    std::string ExactText;
};
struct TSpiceCombo {
    TSpiceCombo(std::string caption, std::vector<std::string> items, int index = 0, bool enabled = true)
        : Caption(std::move(caption)), Items(std::move(items)), ItemIndex(index), Enabled(enabled) {}
    std::string Caption;
    std::vector<std::string> Items;
    int ItemIndex = 0;
    bool Enabled = true;
    std::string Text() const {
        return ItemIndex >= 0 && ItemIndex < static_cast<int>(Items.size()) ? Items[ItemIndex] : "";
    }
};
struct TSpiceCheck {
    TSpiceCheck(std::string caption, bool checked) : Caption(std::move(caption)), Checked(checked) {}
    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
};

class TfmSpice {
  public:
    TfmSpice(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Spice File Specifications";
    bool Visible = false;

    // "AC Sweep"
    TSpiceEdit Edit1{"Start frequency:"};
    TSpiceCombo ComboBox1{"", {"Hz", "kHz"}};
    TSpiceEdit Edit2{"End frequency:"};
    TSpiceCombo ComboBox2{"", {"Hz", "kHz"}};
    TSpiceEdit Edit3{"Number of points: ", "200"}; // "per decade"
    // "AC Output"
    TSpiceCheck CheckBox1{" Generate PROBE.DAT file", true};
    TSpiceCheck CheckBox2{" Generate print table", false};
    TSpiceCheck CheckBox3{" Generate 'line printer' plot", false};
    // "Monte Carlo Analysis"; the four controls below it are enabled while it is checked.
    TSpiceCheck CBox1{" Perform analysis", false};
    TSpiceEdit Edit4{"Number of runs:", "2", false};
    TSpiceCombo ComboBox3{"Resistor tolerances:", {"1%", "2%", "5%", "10%"}, 0, false};
    TSpiceCombo ComboBox4{"Capacitor tolerances:", {"1%", "2%", "5%", "10%"}, 0, false};
    // "Op Amp Model": RadioButton1 " VCVS (freq. independent)", else " Single pole roll-off".
    bool RadioButton1Checked = true;
    // "Netlist dialect": the default statements, or ngspice's.
    TSpiceCombo ComboBox5{"Netlist dialect:", {"Default", "ngspice"}};

    // Fills the sweep limits from the response graph's frequency axis: in Hz (rad/s
    // divided by 2 pi), shown in kHz from 1000 on, with two decimals in five characters.
    void FormShow(const FrequencyAxis& graph);
    // Monte Carlo check box: enables or disables its controls.
    void CBox1Click();

    // The options the controls stand for (the sweep in Hz), or the status of the first
    // entry that is not valid.
    SpiceStatus ReadOptions(SpiceOptions& options) const;

    // OK: checks that every stage has calculated components and the entries, asks for
    // the file, builds and writes the netlist. The form closes in any case, except after
    // a refused entry (the person corrects it). True when a file was written.
    bool BitBtn1Click();
    // Cancel.
    void BitBtn2Click() { Visible = false; }

    // The netlist lines of the last BitBtn1Click (for the front ends' preview).
    std::vector<std::string> LastNetlist;

  private:
    TDesign& d_;
    Dialogs& dlg_;
    int shownUnit1_ = 0, shownUnit2_ = 0; // the units FormShow chose
};

} // namespace velmora
