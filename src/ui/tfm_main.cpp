#include "ui/tfm_main.h"

#include <cstdlib>
#include <filesystem>

#include "app/messages.h"
#include "circuits/component_adjustment.h"
#include "circuits/selection.h"
#include "circuits/standard_substitution.h"
#include "model/design_file.h"
#include "model/paths.h"
#include "stages/gains.h"
#include "ui/stage_flow.h"

namespace velmora {

TfmMain::TfmMain(TDesign& design, Dialogs& dialogs)
    : ParEnt(design, dialogs), Graph(design, dialogs), Pairs(design, dialogs), Cascade(design, dialogs),
      ACrit(design, dialogs), Gain(design, dialogs), GainAd(design, dialogs), Transfer(design),
      User(design, dialogs), CirSel(design, dialogs), CirCal(design, dialogs), Compensate(design, dialogs),
      View(design, dialogs), Characteristics(design, dialogs),
      Invent(ProgramInventory, InventoryFilePath(), dialogs), DbConvert(dialogs), Ascii(design, dialogs),
      Spice(design, dialogs), d_(design), dlg_(dialogs) {
    // A Monte Carlo envelope describes the design it was computed from; any change of the
    // design (not the analyses drawn from it) drops it, and stops one still running.
    Changes.Subscribe([this](app::DesignPart part) {
        if (part != app::DesignPart::Analyses) View.DesignChanged();
    });
    // The specification hands over to the ideal responses, where the approximation is
    // chosen; leaving them pairs, cascades and distributes the gains (in one move when
    // both are automatic) or opens the interactive window of the step.
    ParEnt.OnCalculated = [this] { Changes.ChangedFrom(app::DesignPart::Approximations); };
    ParEnt.OnNext = [this] {
        GraphCommandsEnabled = true;
        Graph.FormShow();
        Changes.ChangedFrom(app::DesignPart::Approximations);
    };
    User.OnSectionsChanged = [this] { Changes.ChangedFrom(app::DesignPart::Approximations); };
    User.OnNext = [this] {
        GraphCommandsEnabled = true;
        Graph.FormShow();
        Changes.ChangedFrom(app::DesignPart::Approximations);
    };
    Graph.OnApproximationChosen = [this](int) { Changes.ChangedFrom(app::DesignPart::Stages); };
    Graph.OnNext = [this] { HandOver(LeaveIdealResponse(d_, dlg_, Pairs, Cascade, circuits_)); };
    ParEnt.Responses = Graph.Responses = &idealResponses_;
    Pairs.Circuits = Cascade.Circuits = GainAd.Circuits = &circuits_;
    GainAd.OnGainsChanged = [this] { GainsChanged(); };
    // Which windows show as the design moves on. The windows of the steps form a chain:
    // specification (or the user-defined sections), ideal responses, pairing, cascading,
    // circuit selection, component calculation. A step's window hides when the next step's
    // window opens and shows again when the person goes back to it, so the one step in
    // front is the one being worked on, and no window is left showing choices that a later
    // step has since built upon. The final response opens beside the component
    // calculation: it is the result of the values adjusted there and follows every
    // adjustment, so the two are used together. Windows opened from a step (the filter
    // gain and its adjustment, the component characteristics, the cascade criteria, the
    // compensation, the sensitivities, the transfer function, the tools) stay open until
    // closed; they work on the design whatever step is in front.
    CirSel.OnNext = [this] {
        CirSel.Visible = false;
        CirCal.FormShow();
        Changes.ChangedFrom(app::DesignPart::Circuits);
    };
    CirCal.OnCompensate = [this] { Compensate.FormShow(); };
    CirCal.OnValuesChanged = [this] {
        if (View.Visible) View.Refresh();
        Changes.ChangedFrom(app::DesignPart::Components);
    };
    CirCal.OnGain = [this] { Gain.FormShow(); };
    CirCal.OnComponents = [this] { Characteristics.FormShow(); };
    CirSel.OnComponents = [this] { Characteristics.FormShow(); };
    // "Back" from the circuit selection returns to the last step the person took part in.
    CirSel.OnBack = [this] {
        if (!d_.Opt.AutoCascading)
            Cascade.FormShow();
        else if (!d_.Opt.AutoPairing)
            Pairs.FormShow();
        else
            Graph.FormShow();
        Changes.ChangedFrom(app::DesignPart::Stages);
    };
    Cascade.OnCriteria = [this] { ACrit.Show(); };
    Gain.OnAdjust = [this] { GainAd.Show(); };
    CirCal.OnNext = [this] {
        View.FormShow();
        Changes.Changed({app::DesignPart::Analyses});
    };
    CirCal.ProgramInventory = &ProgramInventory;
    Compensate.OnRecalculate = [this] {
        CirCal.RecalculateAll();
        if (View.Visible) View.Refresh();
        Changes.ChangedFrom(app::DesignPart::Circuits);
    };
    UpdateCaption();
}

void TfmMain::HandOver(NextWindow next) {
    LastHandOver = next;
    if (next == NextWindow::None) return; // refused: the ideal responses stay
    Graph.Visible = false;
    Graph.PtCalc.Visible = false;
    switch (next) {
    case NextWindow::Pairing:
        if (!Pairs.Visible) Pairs.FormShow();
        break;
    case NextWindow::Cascading:
        if (!Cascade.Visible) Cascade.FormShow();
        break;
    case NextWindow::CircuitSelection:
        CirSel.FormShow();
        break;
    case NextWindow::None:
        break;
    }
    Changes.ChangedFrom(app::DesignPart::Stages);
}

void TfmMain::CirCalBackClick() {
    if (!CirCal.Visible) return;
    // Back to the circuit choice: the calculation and its final response are the steps
    // after it and hide with it; the selection shows the stages as they are chosen.
    CirCal.Visible = false;
    View.Visible = false;
    CirSel.FormShow();
    Changes.ChangedFrom(app::DesignPart::Circuits);
}

void TfmMain::PairsNextClick() {
    const NextWindow next = Pairs.NextClick();
    // A refused "Next" (pairing not complete) keeps the pairing window.
    if (next != NextWindow::None) HandOver(next);
}

void TfmMain::CascadeNextClick() {
    HandOver(Cascade.NextClick());
}

void TfmMain::CascadeBackClick() {
    if (Cascade.BackClick() == TfmCascade::BackTo::Pairing) {
        Pairs.FormShow();
        LastHandOver = NextWindow::Pairing;
    } else {
        Graph.FormShow();
        LastHandOver = NextWindow::None;
    }
}

void TfmMain::SensitivitiesClick() {
    if (d_.DesignLevel < LevelComponents) return;
    // The sensitivities belong to the calculation window, which shows its stage's tab.
    CirCal.SensitivitiesClick();
}

void TfmMain::CriteriaAccepted() {
    if (!Cascade.Visible) return;
    Cascade.CascadeClick();
    Changes.ChangedFrom(app::DesignPart::Stages);
}

void TfmMain::GainsChanged() {
    if (Gain.Visible) Gain.Refresh();
    // The gain resistors follow the stage gains: once components exist they are
    // calculated again for the new gains.
    if (d_.DesignLevel >= LevelComponents) CirCal.RecalculateAll();
    if (View.Visible) View.Refresh();
    if (Transfer.Visible) Transfer.Refresh();
    d_.Modified = 1;
    Changes.ChangedFrom(app::DesignPart::Stages);
}

void TfmMain::RefreshCircuitSelection() {
    if (CirSel.Tabs.empty() || d_.DesignLevel < LevelCascaded) return;
    // "Prior" from one beyond the candidate shown shows that candidate again, with
    // every text built anew from the design.
    const int shown = CirSel.Shown;
    CirSel.Shown = shown + 1;
    CirSel.PriorClick();
}

TfmMain::CommandStates TfmMain::Commands() const {
    CommandStates c;
    const TDesign& d = d_;
    c.CopyEnabled = c.PrintEnabled = GraphCommandsEnabled;
    c.AsciiEnabled = d.DesignLevel >= LevelApproximations;
    c.SpiceEnabled = d.DesignLevel >= LevelComponents;
    c.TransferEnabled = d.DesignLevel >= LevelCascaded;
    c.HzChecked = d.Opt.FreqUnitsHz != 0;
    c.RadsChecked = !c.HzChecked;
    c.AutoPairingChecked = d.Opt.AutoPairing != 0;
    c.InteractivePairingChecked = !c.AutoPairingChecked;
    c.AutoCascadingChecked = d.Opt.AutoCascading != 0;
    c.InteractiveCascadingChecked = !c.AutoCascadingChecked;
    c.AllCapsStandardChecked = d.Components.AllCapsStandard != 0;
    c.CapInventoryChecked = d.Components.UseCapInventory != 0;
    c.ResInventoryChecked = d.Components.UseResInventory != 0;
    return c;
}

namespace {

// After the stages were recalculated with standard values on: the new exact values are
// substituted (in the series of the resistor tolerance now set). With a tolerance that has
// no series the exact values stay, and the person is told why.
void ResubstituteAll(TDesign& d, Dialogs& dlg, const Inventory* inv) {
    if (!d.Components.StandardROn) return;
    const std::string refusal = app::StandardValuesUnavailableReason(d);
    if (!refusal.empty()) {
        dlg.Message(MessageKind::Warning, refusal);
        for (int s = 1; s <= d.StageCount; ++s)
            for (int n = 1; n <= kResistorSlots; ++n)
                d.Circuits[s].Components[n].Exact = 0.0L;
        return;
    }
    for (const std::string& note : app::ValueNoteTexts(ResubstituteAll(d, inv)))
        dlg.Message(MessageKind::Information, note);
}

} // namespace

void TfmMain::CharacteristicsOkClick() {
    Characteristics.BitBtn2Click();
    if (Characteristics.Visible || !Characteristics.Changed) return; // refused, or nothing changed
    const CharacteristicsRerun rerun = RerunAfterCharacteristicsChange(d_, CirSel.Sets);
    if (rerun.MetricsRecomputed) RefreshCircuitSelection();
    if (rerun.ComponentsRecalculated) {
        ResubstituteAll(d_, dlg_, &ProgramInventory);
        if (CirCal.Visible) CirCal.TabChange(CirCal.TabIndex);
        if (View.Visible) View.FormShow();
    }
    Changes.ChangedFrom(rerun.MetricsRecomputed ? app::DesignPart::Circuits : app::DesignPart::Components);
}

void TfmMain::RecalculateComponents() {
    if (d_.DesignLevel < LevelComponents) return;
    const Inventory* inv = &ProgramInventory;
    // Exact values first (each stage for its reference capacitors, then for the capacitors
    // the user entered); then the capacitors made standard (their resistors solved for
    // them), then the standard resistors, in the order the steps build on each other.
    // Capacitors are locked only against the person while standard values are on.
    const uint8_t standardROn = d_.Components.StandardROn;
    d_.Components.StandardROn = 0;
    const EnteredCapacitors entered = TakeEnteredCapacitors(d_);
    for (int s = 1; s <= d_.StageCount; ++s)
        LoadAndCalculate(d_, s);
    for (const std::string& note : app::ValueNoteTexts(RestoreEnteredValues(d_, entered, inv)))
        dlg_.Message(MessageKind::Information, note);
    if (d_.Components.AllCapsStandard)
        for (const std::string& note :
             app::ValueNoteTexts(MakeCapacitorsStandard(d_, d_.Components.UseCapInventory ? inv : nullptr)))
            dlg_.Message(MessageKind::Information, note);
    d_.Components.StandardROn = standardROn;
    // The recalculation gave new exact resistor values: the substitution starts from them
    // (the values saved when standard values were switched on are out of date).
    ResubstituteAll(d_, dlg_, inv);
    OverallActualGain(d_);
    d_.Modified = 1;
    if (CirCal.Visible) CirCal.TabChange(CirCal.TabIndex);
    if (View.Visible) View.FormShow();
    Changes.ChangedFrom(app::DesignPart::Circuits);
}

// "All capacitors standard values" replaces the calculated capacitors of every stage, so
// switching it (either way) and changing the capacitor inventory while it is on start
// from the calculated capacitors; the resistor inventory leaves the capacitors as they are.
void TfmMain::Allcapsstandardvalues1Click() {
    d_.Components.AllCapsStandard = d_.Components.AllCapsStandard ? 0 : 1;
    for (int s = 1; s <= d_.StageCount; ++s)
        ForgetEnteredCapacitors(d_, s);
    RecalculateComponents();
    Changes.Changed({app::DesignPart::Components});
}

void TfmMain::Usecapinventory1Click() {
    d_.Components.UseCapInventory = d_.Components.UseCapInventory ? 0 : 1;
    if (d_.Components.AllCapsStandard)
        for (int s = 1; s <= d_.StageCount; ++s)
            ForgetEnteredCapacitors(d_, s);
    RecalculateComponents();
    Changes.Changed({app::DesignPart::Components});
}

void TfmMain::Useresinventory1Click() {
    d_.Components.UseResInventory = d_.Components.UseResInventory ? 0 : 1;
    RecalculateComponents();
    Changes.Changed({app::DesignPart::Components});
}

void TfmMain::UI1Click() {
    d_.Opt.AutoPairing = 0;
    if (d_.DesignLevel >= LevelApproxChosen) Pairs.FormShow();
    Changes.Changed({app::DesignPart::Stages});
}

void TfmMain::UI2Click() {
    d_.Opt.AutoCascading = 0;
    if (d_.DesignLevel >= LevelPaired) Cascade.FormShow();
    Changes.Changed({app::DesignPart::Stages});
}

namespace {

// The manual ships in the source tree's docs/ and is installed beside the program data.
std::string ManualPath() {
    namespace fs = std::filesystem;
    std::vector<fs::path> candidates;
    if (const char* dir = std::getenv("VELMORA_DOC_DIR")) candidates.push_back(fs::path(dir) / "manual.md");
    candidates.push_back(fs::path(ProgramDataDir()) / "manual.md");
    candidates.push_back(fs::path(ProgramDataDir()) / ".." / "docs" / "manual.md");
    std::error_code ec;
    for (const fs::path& p : candidates)
        if (fs::is_regular_file(p, ec)) return fs::weakly_canonical(p, ec).string();
    return {};
}

} // namespace

void TfmMain::Contents1Click() {
    const std::string path = ManualPath();
    if (path.empty()) {
        dlg_.Message(MessageKind::Error, "The user manual (manual.md) was not found.");
        return;
    }
    if (OpenHelp) OpenHelp(path);
}

void TfmMain::UpdateCaption() {
    Caption = d_.FileName.empty() ? "[Untitled]" : std::string(kProgramTitle) + ": " + d_.FileName;
}

void TfmMain::New(uint8_t filterType) {
    NewDesign(d_, filterType);
    ParEnt.Visible = false;
    Graph.Visible = false;
    Pairs.Visible = false;
    Cascade.Visible = false;
    User.Visible = false;
    CirSel.Visible = false;
    CirCal.Visible = false;
    Compensate.Visible = false;
    Gain.Visible = false;
    GainAd.Visible = false;
    View.Visible = false;
    User.Response.clear();       // the magnitude graph shows an empty "Magnitude response" frame
    Graph.Axes = ResponseAxes{}; // no graphs until the new design has some
    GraphCommandsEnabled = false;
    AsciiFileName.clear();
    UpdateCaption();
    Changes.ChangedFrom(app::DesignPart::Specification);
}

void TfmMain::StartDesign(uint8_t filterType) {
    if (!SavePrompt()) return;
    New(filterType);
    if (filterType == UserDefined) {
        User.FormShow();
    } else {
        ParEnt.SetUpNew();
    }
}

void TfmMain::CloseDesign1Click() {
    if (!SavePrompt()) return;
    New(d_.Spec.FilterType == UserDefined ? uint8_t{Lowpass} : d_.Spec.FilterType);
}

bool TfmMain::ParEntClose() {
    if (!SavePrompt()) return false;
    New(d_.Spec.FilterType == UserDefined ? uint8_t{Lowpass} : d_.Spec.FilterType);
    return true;
}

bool TfmMain::Exit1Click() {
    if (!SavePrompt()) return false;
    WriteSettings();
    return true;
}

bool TfmMain::SavePrompt() {
    if (!d_.Modified || d_.DesignLevel == LevelEmpty) return true;
    const char* question =
        d_.FileName.empty() ? "Do you wish to save this design?" : "Do you wish to save the changes?";
    switch (dlg_.AskYesNoCancel(question)) {
    case Answer::Yes:
        // The command goes on only when the design was really written; a cancelled,
        // refused or failed save keeps it (and the command is abandoned).
        return Savedesign1Click();
    case Answer::No:
        return true;
    default:
        return false;
    }
}

bool TfmMain::Savedesign1Click() {
    if (d_.FileName.empty()) return Savedesignas1Click();
    DesignFileResult st = WriteDesignFile(d_, d_.FileName);
    if (!st.ok()) {
        dlg_.Message(MessageKind::Error, app::DesignFileMessage(st));
        return false;
    }
    d_.Modified = 0;
    d_.StepChanged = 0;
    return true;
}

bool TfmMain::Savedesignas1Click() {
    FileChoice req;
    req.save = true;
    req.defaultExtension = "fl3";
    req.filter = "design file |*.fl3";
    req.initialFolder = "Designs";
    req.fileName = d_.FileName.empty() ? "*.fl3" : d_.FileName;
    std::optional<std::string> name = dlg_.ChooseFile(req);
    if (!name || name->empty()) return false;
    std::error_code ec;
    if (std::filesystem::exists(*name, ec) &&
        dlg_.AskOkCancel(MessageKind::Warning, "File already exists. OK to overwrite?") != Answer::Ok)
        return false;
    return SaveDesignAs(*name);
}

void TfmMain::SetFrequencyUnit(bool hz) {
    if (static_cast<bool>(d_.Opt.FreqUnitsHz) == hz) return;
    // Every text that shows a frequency in the display unit follows it: the
    // specification entries, the user-defined sections, the graphs' frequency axes, the
    // pairing rows and the stage parameters of the circuit steps. The coefficient table
    // keeps the unit of its own buttons, which is also the unit of the ASCII data file.
    ParEnt.ConvertFrequencyUnits(hz);
    User.FrequencyUnitChanged();
    if (Graph.Visible) Graph.FrequencyUnitChanged();
    if (Pairs.Visible || !Pairs.PairRows.empty()) Pairs.RebuildLists();
    RefreshCircuitSelection();
    if (!CirCal.Tabs.empty() && d_.DesignLevel >= LevelCircuitsSelected) CirCal.TabChange(CirCal.TabIndex);
    View.FrequencyUnitChanged();
    Changes.ChangedFrom(app::DesignPart::Specification);
}

bool TfmMain::FinalResponsesClick() {
    if (d_.StageCount < 1) {
        dlg_.Beep();
        return false;
    }
    const CircuitsOutcome o = DesignStageCircuits(d_);
    if (!o.ok) {
        dlg_.Message(MessageKind::Warning, app::CircuitsMessage(o));
        return false;
    }
    // The circuits were calculated afresh: with standard values on, they stand in for the
    // new exact values, as after any recalculation.
    ResubstituteAll(d_, dlg_, &ProgramInventory);
    OverallActualGain(d_);
    d_.Modified = 1;
    Transfer.Visible = false;
    CirSel.Visible = false;
    View.FormShow();
    Changes.ChangedFrom(app::DesignPart::Circuits);
    return true;
}

} // namespace velmora
