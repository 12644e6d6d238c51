#include "ui/tfm_cir_cal.h"

#include <cmath>

#include "analysis/tolerance.h"
#include "app/messages.h"
#include "circuits/catalogue.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/selection.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "circuits/tuning.h"
#include "model/number_text.h"
#include "stages/gains.h"
#include "stages/stage_types.h"
#include "ui/markup_text.h"
#include "ui/tfm_cir_sel.h"

namespace velmora {
namespace {

struct StepText {
    const char* name;
    const char* instruction;
};
const StepText kSteps[] = {
    {"Variations", "Select from design variation(s) that use the same circuit topology."},
    {"Freq. Response",
     "Click on the Next button to view the filter frequency responses. If the gain response is not as "
     "anticipated,  choose a different topology for the affected stage. "},
    {"Gain",
     "Check out overall filter gain and dynamic range summary. Change stage circuit topology as required."},
    {"Components", "Set component tolerances and op amp GBW(s)."},
    {"Compensation",
     "Help offset distortion due to op amp frequency response using either Predistortion or Active "
     "Compensation (some circuits only)."},
    {"Adjust Values", "Values adjusted for currently displayed stage ONLY."},
    {"Exact C Values",
     "Position cursor over capacitor (cursor design will change) and click . Value can be adjusted "
     "within +/- 12% range."},
    {"Standard R Values",
     "Substitute EIA standard resistor values for ALL stages. Locks in capacitor values while enabled!"},
    {"User-Assigned R", "Change the value of any resistor. Position cursor over resistor (cursor design will "
                        "change) and click ."},
    {"Final Response",
     "Click on the Next button to view the frequency responses and the effect of setting exact "
     "capacitor values and standard resistor values."},
};

// Values as the window shows them: four characters in the value's unit ("12.3K", "4.7nF";
// "  N/A" for an absent value), the last kept digit rounded half up.
std::string ShortDigits(long double x) {
    std::string s = FixedText(x, 4);
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s.size() <= 4) return s;
    const std::size_t keep = s[3] == '.' ? 3 : 4;
    const std::size_t next = s[keep] == '.' ? keep + 1 : keep;
    const bool up = next < s.size() && s[next] >= '5';
    s.resize(keep);
    if (!up) return s;
    for (std::size_t i = s.size(); i-- > 0;) {
        if (s[i] == '.') continue;
        if (s[i] < '9') {
            ++s[i];
            return s;
        }
        s[i] = '0';
    }
    return "1" + s;
}
std::string ResistanceShown(long double ohms) {
    if (!(ohms > 0.0L) || !std::isfinite(ohms)) return "  N/A";
    if (ohms >= 1.0e9L) return ShortDigits(ohms / 1.0e9L) + "G";
    if (ohms >= 1.0e6L) return ShortDigits(ohms / 1.0e6L) + "M";
    if (ohms >= 1.0e3L) return ShortDigits(ohms / 1.0e3L) + "K";
    return ShortDigits(ohms);
}
std::string CapacitanceShown(long double farads) {
    if (!(farads > 0.0L) || !std::isfinite(farads)) return "  N/A";
    if (farads < 9.9999e-10L) return ShortDigits(farads * 1.0e12L) + "pF";
    if (farads < 9.9999e-7L) return ShortDigits(farads * 1.0e9L) + "nF";
    if (farads < 0.00099999L) return ShortDigits(farads * 1.0e6L) + "uF";
    return ShortDigits(farads);
}

} // namespace

TfmCirCal::TfmCirCal(TDesign& design, Dialogs& dialogs)
    : CompSens(design), CapAdj(design, dialogs), ResAdj(design, dialogs), d_(design), dlg_(dialogs) {}

void TfmCirCal::FormShow() {
    Visible = true;
    Tabs.clear();
    for (int i = 1; i <= d_.StageCount; ++i)
        Tabs.push_back("Stage " + std::to_string(i));
    TabIndex = 0;
    PageIndex = CalcPage;
    RecalculateAll();
    BuildSteps();
    StepClick(0);
}

void TfmCirCal::StepClick(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= Steps.size()) return;
    StepIndex = index;
    const std::string step = CurrentStepName();
    StepInstruction = Steps[static_cast<std::size_t>(index)].Instruction;
    VariationsShown = step == "Variations";
    AdjustShown = step == "Adjust Values";
    StandardRShown = step == "Standard R Values";
    NextHighlighted = step == "Freq. Response" || step == "Final Response";
    CapacitorsClickable = step == "Exact C Values";
    ResistorsClickable = step == "User-Assigned R";
    // The values are what the person clicks: the calculation page comes to the front.
    if (CapacitorsClickable || ResistorsClickable) PageIndex = CalcPage;
    if (step == "Gain" && OnGain) OnGain();
    if (step == "Components" && OnComponents) OnComponents();
    if (step == "Compensation" && OnCompensate) OnCompensate();
}

void TfmCirCal::QuickChoiceClick(int choice) {
    static const std::array<const char*, 3> targets = {"Variations", "Freq. Response", "Gain"};
    if (choice < 0 || choice > 2) return;
    for (std::size_t i = 0; i < Steps.size(); ++i)
        if (Steps[i].Name == targets[static_cast<std::size_t>(choice)]) {
            StepClick(static_cast<int>(i));
            return;
        }
    StepClick(0); // no variations in this design: its first step
}

void TfmCirCal::PageChange(int page) {
    if (page < CalcPage || page > SensPage) return;
    PageIndex = page;
}

void TfmCirCal::SensitivitiesClick() {
    CompSens.FormShow();
    CompSens.TabChange(Stage());
}

std::map<std::string, std::string> TfmCirCal::SchematicValues() const {
    std::map<std::string, std::string> values;
    if (PageIndex != CalcPage) return values;
    for (const ComponentRow& r : Components)
        values[r.Name] = r.AssignedText.empty() ? r.Text : r.AssignedText;
    return values;
}

double TfmCirCal::PaintTuning(DrawingSurface& s) const {
    const double W = s.Width(), margin = 10;
    s.SetBrush(colors::White);
    s.FillRect(0, 0, W, s.Height());
    const auto t = StageTuning(d_, Stage());
    double y = margin;
    const auto heading = [&](const std::string& text, double size) {
        s.SetFont("Arial", size, FontBold);
        s.SetTextColor(colors::Text);
        s.TextOut(margin, y, text);
        y += s.TextHeight(text) + 4;
    };
    if (!t) {
        heading("No circuit calculated for this stage.", 10);
        return y;
    }
    heading("Tuning sequence", 10);
    s.SetFont("Arial", 9);
    std::string sequence;
    if (!t->recommended) {
        sequence = "Not recommended";
    } else {
        sequence = "(" + t->rating + ")  ";
        for (std::size_t i = 0; i < t->steps.size(); ++i) {
            const TuningStep& st = t->steps[i];
            sequence += st.component + " \xE2\x86\x92 " + st.parameter;
            if (i + 1 < t->steps.size())
                sequence += st.link == 1 ? "  \xE2\x87\x84  " : st.link == 2 ? "  +  " : ",  ";
        }
    }
    s.TextOut(margin + 12, y, sequence);
    y += s.TextHeight(sequence) + 8;
    heading("Stage Parameters", 10);
    s.SetFont("Arial", 9);
    std::string params;
    for (const std::string& p : t->parameters)
        params += (params.empty() ? "" : "     ") + p;
    s.TextOut(margin + 12, y, params);
    y += s.TextHeight(params) + 10;
    if (!t->recommended) return y;
    heading("Adjusting the stage parameters:", 10);
    MarkupLayout layout;
    layout.left = margin + 12;
    layout.right = W - margin;
    layout.indent = 0;
    layout.clipBottom = 1e9; // the page scrolls; nothing wraps back to the top
    const auto sections = [&](const char* title, const std::vector<TuningSection>& list) {
        heading(title, 9);
        for (const TuningSection& sec : list) {
            double x = 0;
            s.SetFont("Arial", 9);
            for (const std::string& line : sec.lines)
                DrawMarkupText(s, line, x, sec.values, layout, y);
            y += s.TextHeight("Ag") + 8;
        }
    };
    sections("By magnitude:", t->magnitude);
    sections("By phase (preferred method):", t->phase);
    return y;
}

void TfmCirCal::RecalculateAll() {
    // Each stage is calculated for its reference capacitors (a design may set some of them
    // itself), then the capacitors the user entered are entered again, and with standard
    // values on the new exact values are substituted: a changed GBW, predistortion or
    // compensation keeps the user's capacitors and standard values.
    const EnteredCapacitors entered = TakeEnteredCapacitors(d_);
    bool all = d_.StageCount > 0;
    for (int i = 1; i <= d_.StageCount; ++i)
        all = LoadAndCalculate(d_, i) && all;
    for (const std::string& note : app::ValueNoteTexts(RestoreEnteredValues(d_, entered, ProgramInventory)))
        dlg_.Message(MessageKind::Information, note);
    if (all && AllStagesSelected(d_)) d_.DesignLevel = std::max<uint8_t>(d_.DesignLevel, LevelComponents);
    OverallActualGain(d_);
    ShowStage();
}

std::string TfmCirCal::CurrentStepName() const {
    if (StepIndex < 0 || static_cast<std::size_t>(StepIndex) >= Steps.size()) return "";
    return Steps[static_cast<std::size_t>(StepIndex)].Name;
}

void TfmCirCal::ReportAdjustment(const RecalcResult& r) {
    if (!r.ok()) {
        dlg_.Message(MessageKind::Warning, app::RecalcMessage(r.status));
    } else if (r.gainChange != 0.0L) {
        dlg_.Message(MessageKind::Information, app::GainChangeReport(r.gainChange));
    }
    OverallActualGain(d_);
    ShowStage();
}

void TfmCirCal::AdjustGroupClick(int group) {
    if (group < AllCapacitors || group > GainPairRatio ||
        !AdjustChoiceVisible[static_cast<std::size_t>(group)]) {
        dlg_.Beep();
        return;
    }
    AdjustGroupIndex = group;
}

namespace {
RecalcResult StepGroup(TDesign& d, int stage, int group, int direction) {
    if (group == TfmCirCal::GainPairRatio) return StepGainPair(d, stage, direction);
    return StepCapacitors(d, stage, group == TfmCirCal::C2Only ? CapacitorGroup::C2Only : CapacitorGroup::All,
                          direction);
}
} // namespace

void TfmCirCal::UpArrowClick() {
    const RecalcResult r = StepGroup(d_, Stage(), AdjustGroupIndex, +1);
    ReportAdjustment(r);
}

void TfmCirCal::DownArrowClick() {
    const RecalcResult r = StepGroup(d_, Stage(), AdjustGroupIndex, -1);
    ReportAdjustment(r);
}

void TfmCirCal::ResetClick() {
    // Resetting moves the capacitors, which standard resistor values lock.
    if (d_.Components.StandardROn) {
        dlg_.Message(MessageKind::Warning, app::kCapacitorsLockedText);
        return;
    }
    ResetStage(d_, Stage());
    OverallActualGain(d_);
    ShowStage();
}

void TfmCirCal::ComponentClick(const std::string& name) {
    if (name.size() < 2 || (name[0] != 'C' && name[0] != 'R')) return;
    int n = 0;
    for (std::size_t k = 1; k < name.size(); ++k) {
        if (name[k] < '0' || name[k] > '9') return;
        n = n * 10 + (name[k] - '0');
    }
    const std::string step = CurrentStepName();
    if (name[0] == 'C' && step == "Exact C Values") {
        CapAdj.Open(Stage(), n);
        // Locked (standard values on) or tied capacitors: the form stays shut and says why.
        if (!CapAdj.Visible && !CapAdj.Report.empty()) dlg_.Message(MessageKind::Warning, CapAdj.Report);
    } else if (name[0] == 'R' && step == "User-Assigned R") {
        ResAdj.Open(Stage(), n);
    }
}

bool TfmCirCal::CapAdjOKClick() {
    if (!CapAdj.OKClick()) return false;
    ReportAdjustment(CapAdj.Result);
    if (OnValuesChanged) OnValuesChanged();
    return true;
}

bool TfmCirCal::ResAdjOKClick() {
    if (!ResAdj.OKClick()) return false;
    ShowStage();
    if (OnValuesChanged) OnValuesChanged();
    return true;
}

void TfmCirCal::ReportStandardR(const StandardRResult& r) {
    if (!r.ok) {
        if (r.noSeries) dlg_.Message(MessageKind::Warning, app::NoSeriesMessage());
    } else {
        if (!r.stagesWithoutExactCapacitors.empty())
            dlg_.Message(MessageKind::Information,
                         app::CapacitorsNotExactMessage(r.stagesWithoutExactCapacitors));
        for (const std::string& note : app::ValueNoteTexts(r.notes))
            dlg_.Message(MessageKind::Information, note);
    }
    OverallActualGain(d_);
    ShowStage();
}

void TfmCirCal::StandardRClick() {
    if (d_.Components.StandardROn) {
        SwitchStandardROff(d_);
        OverallActualGain(d_);
        ShowStage();
    } else {
        ReportStandardR(SwitchStandardROn(d_, ProgramInventory));
    }
    if (OnValuesChanged) OnValuesChanged();
}

void TfmCirCal::StrategyClick(int index) {
    if (index < 0 || index > 1) return;
    ReportStandardR(SetSubstitutionStrategy(d_, index + 1, ProgramInventory));
}

void TfmCirCal::BuildSteps() {
    bool variations = false;
    for (int i = 1; i <= d_.StageCount; ++i)
        variations |= d_.Circuits[i].C2Variable || d_.Circuits[i].UseC1EqC2;
    Steps.clear();
    int n = 0;
    for (const StepText& s : kSteps) {
        if (!variations && std::string(s.name) == "Variations") continue;
        ++n;
        Steps.push_back({"Step " + std::to_string(n) + ": " + s.name, s.name, s.instruction});
    }
}

void TfmCirCal::TabChange(int index) {
    if (index < 0 || index >= d_.StageCount) return;
    TabIndex = index;
    ShowStage();
}

void TfmCirCal::C2VariableClick() {
    TStageCircuit& c = d_.Circuits[Stage()];
    if (!c.C2Variable) return;
    // Another design of the stage: capacitors entered for the former one no longer apply.
    ForgetEnteredCapacitors(d_, Stage());
    c.UseC2Variable = c.UseC2Variable ? 0 : 1;
    d_.Modified = 1;
    RecalculateAll();
    // The design may have moved C2: it becomes the stage's stored set.
    for (int n = 1; n <= kCapacitorSlots; ++n) {
        d_.CapSets[Stage()].Value[static_cast<std::size_t>(n)] = C(c, n);
        d_.CapSetsWorking[Stage()].Value[static_cast<std::size_t>(n)] = C(c, n);
    }
}

void TfmCirCal::C1EqC2Click() {
    TStageCircuit& c = d_.Circuits[Stage()];
    if (!c.C2Variable) return;
    ForgetEnteredCapacitors(d_, Stage());
    c.UseC1EqC2 = c.UseC1EqC2 ? 0 : 1;
    d_.Modified = 1;
    RecalculateAll();
}

void TfmCirCal::NextClick() {
    for (int i = 1; i <= d_.StageCount; ++i)
        if (d_.Circuits[i].NotRealisable) {
            dlg_.Beep();
            return;
        }
    if (OnNext) OnNext();
}

void TfmCirCal::ShowStage() {
    Components.clear();
    UnableLines.clear();
    const int stage = Stage();
    if (stage < 1 || stage > d_.StageCount) return;
    const TStageCircuit& c = d_.Circuits[stage];
    StageParameters = StageParameterText(d_, stage);
    const CatalogueEntry* e = StageCircuitEntry(d_, stage);
    CircuitKey = e ? std::string(e->key) : "";
    CircuitName = e ? std::string(e->name) : "";
    Compensated = c.CompensationInUse != 0;
    C2VariableVisible = c.C2Variable != 0;
    C2VariableChecked = c.UseC2Variable != 0;
    // " C1=C2 : R1=R2" is the other design of the gain-pair Sallen-Key lowpass; hidden
    // while " C2 variable" is chosen.
    C1EqC2Visible =
        c.C2Variable && c.GainPair && c.ResistorCount >= 4 && !c.UseC2Variable && e && e->key == "SLP02";
    C1EqC2Checked = c.UseC1EqC2 != 0;
    StatusGbw = "GBW: " + GbwText(c.OpAmpGBW);
    StatusGain = "Gain: " + FixedText(c.ActualGain * GainPresentationFactor(d_.Stages[stage]), 4);
    StatusMode = c.CompensationInUse ? "Active Compensation" : c.Predistort ? "Predistort" : "";
    StatusStandard = d_.Components.StandardROn
                         ? "Stnd " + TrimmedText(d_.Components.ResistorTolerance, 2) + "% resistors"
                         : "";
    // The "Adjust Values" choices the stage's circuit offers; a group it does not offer
    // falls back to all capacitors.
    AdjustChoiceVisible = {true, c.C2Alone != 0, c.GainPair != 0 && c.ResistorCount >= 2};
    AdjustChoices[GainPairRatio] =
        c.GainPair && c.ResistorCount >= 2
            ? " R" + std::to_string(c.ResistorCount - 1) + "/R" + std::to_string(c.ResistorCount)
            : " Rx/Ry";
    if (!AdjustChoiceVisible[static_cast<std::size_t>(AdjustGroupIndex)]) AdjustGroupIndex = AllCapacitors;
    StandardRCaption = " Standard " + TrimmedText(d_.Components.ResistorTolerance, 2) + "%";
    StandardRReason = app::StandardValuesUnavailableReason(d_);
    StandardREnabled = StandardRReason.empty();
    StandardRChecked = d_.Components.StandardROn != 0;
    StrategyIndex = d_.Components.SubstitutionStrategy == 2 ? 1 : 0;
    GainSpreadEffect.clear();
    if (const auto f = AnalyseFilter(d_, PassbandEdge(d_.Spec))) {
        long double passive = 0.0L;
        for (const StageTolerance& s : f->Stages)
            passive += s.PassiveVariance;
        const StageTolerance& s = f->Stages[static_cast<std::size_t>(stage - 1)];
        const auto line = [](const char* who, long double with, long double without) {
            return std::string(who) + "±" + FixedText(with, 3) + " dB (±" + FixedText(without, 3) +
                   " dB without op amps)";
        };
        GainSpreadEffect = {"Gain spread effect:", line("Stage ", s.Spread, s.PassiveSpread),
                            line("Filter ", f->Spread, std::sqrt(passive))};
    }
    if (c.NotRealisable || !e) {
        UnableLines = {"Velmora has been unable to actualize this circuit.",
                       "Please select another circuit topology for Stage " + std::to_string(stage),
                       "in the previous Select Filter Circuits window."};
        return;
    }
    // The mark tells whether the value in effect can be bought as it stands: a resistor of
    // the series of the resistor tolerance, a capacitor of the 12-value series.
    const long double tol = d_.Components.ResistorTolerance;
    const std::string resistorMark = "Stnd " + TrimmedText(tol, 2) + "%";
    for (int n = 1; n <= c.ResistorCount && n <= kResistorSlots; ++n) {
        const long double assigned = c.Components[n].Adjusted;
        const long double inEffect = assigned > 0.0L ? assigned : R(c, n);
        Components.push_back({"R" + std::to_string(n), R(c, n), ResistanceShown(R(c, n)),
                              assigned > 0.0L ? ResistanceShown(assigned) : "",
                              FindStandardResistor(inEffect, tol) ? resistorMark : "Exact"});
    }
    for (int n = 1; n <= c.CapacitorCount && n <= kCapacitorSlots; ++n)
        Components.push_back({"C" + std::to_string(n), C(c, n), CapacitanceShown(C(c, n)), "",
                              FindStandardCapacitor(C(c, n)) ? "Stnd" : "Exact"});
}

// ---- TfmCompensate --------------------------------------------------------------------------

TfmCompensate::TfmCompensate(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

bool TfmCompensate::Offered(int stage, Mode mode) const {
    if (stage < 1 || stage > d_.StageCount) return false;
    if (mode == Neither) return true;
    if (isFirstOrder(d_.Stages[stage].StageType)) return false;
    if (mode == Predistortion) return true;
    const CatalogueEntry* e = StageCircuitEntry(d_, stage);
    return e && ActiveCompensationOffered(e->key);
}

void TfmCompensate::FormShow() {
    Visible = true;
    Tabs.clear();
    saved_.assign(static_cast<std::size_t>(d_.StageCount) + 1, {0, 0});
    for (int i = 1; i <= d_.StageCount; ++i) {
        Tabs.push_back("Stage " + std::to_string(i));
        saved_[static_cast<std::size_t>(i)] = {d_.Circuits[i].Predistort, d_.Circuits[i].CompensationInUse};
    }
    TabIndex = 0;
    ShowStage();
}

void TfmCompensate::TabChange(int index) {
    if (index < 0 || index >= d_.StageCount) return;
    TabIndex = index;
    ShowStage();
}

void TfmCompensate::ChoiceClick(int mode) {
    if (mode < 0 || mode > Neither || !Offered(Stage(), static_cast<Mode>(mode))) {
        dlg_.Beep();
        return;
    }
    TStageCircuit& c = d_.Circuits[Stage()];
    c.Predistort = mode == Predistortion ? 1 : 0;
    c.CompensationInUse = mode == ActiveCompensation ? 1 : 0;
    ItemIndex = mode;
}

void TfmCompensate::OKClick() {
    Visible = false;
    d_.Modified = 1;
    if (OnRecalculate) OnRecalculate();
}

void TfmCompensate::CancelClick() {
    for (int i = 1; i <= d_.StageCount && static_cast<std::size_t>(i) < saved_.size(); ++i) {
        d_.Circuits[i].Predistort = saved_[static_cast<std::size_t>(i)].first;
        d_.Circuits[i].CompensationInUse = saved_[static_cast<std::size_t>(i)].second;
    }
    Visible = false;
}

void TfmCompensate::ShowStage() {
    const int stage = Stage();
    if (stage < 1 || stage > d_.StageCount) return;
    for (int m = 0; m < 3; ++m)
        ChoiceEnabled[static_cast<std::size_t>(m)] = Offered(stage, static_cast<Mode>(m));
    const TStageCircuit& c = d_.Circuits[stage];
    ItemIndex = c.CompensationInUse ? ActiveCompensation : c.Predistort ? Predistortion : Neither;
}

} // namespace velmora
