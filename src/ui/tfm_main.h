// TfmMain: the main window's model. It owns the design's progress through the steps:
// starting a design, opening and saving design files, the recent files, the save
// question, the caption, the settings read at start and written at exit, the frequency
// unit, the pairing and cascading options and the ASCII export. The step forms are its
// members, and every move from one step window to the next is decided here: a view shows
// the models' state, forwards clicks, and redraws the parts of the design that Changes
// reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/design_session.h"
#include "circuits/components.h"
#include "model/design.h"
#include "model/inventory_file.h"
#include "model/settings.h"
#include "ui/dialogs.h"
#include "ui/tfm_ascii.h"
#include "ui/tfm_cascade.h"
#include "ui/tfm_characteristics.h"
#include "ui/tfm_cir_cal.h"
#include "ui/tfm_cir_sel.h"
#include "ui/tfm_comp_sens.h"
#include "ui/tfm_gain.h"
#include "ui/tfm_graph.h"
#include "ui/tfm_invent.h"
#include "ui/tfm_pairs.h"
#include "ui/tfm_par_ent.h"
#include "ui/tfm_spice.h"
#include "ui/tfm_tools.h"
#include "ui/tfm_transfer.h"
#include "ui/tfm_user.h"
#include "ui/tfm_view.h"

namespace velmora {

inline constexpr const char* kProgramTitle = "Velmora";

class TfmMain {
  public:
    TfmMain(TDesign& design, Dialogs& dialogs);

    TDesign& Design() { return d_; }
    // The step windows, in the order of the design steps.
    TfmParEnt ParEnt;
    TfmGraph Graph;
    TfmPairs Pairs;
    TfmCascade Cascade;
    TfmACrit ACrit;
    TfmGain Gain;
    Tfmgainad GainAd;
    TfmTransfer Transfer; // its unit (Hz or rad/s) is also the unit of the ASCII data file
    TfmUser User;
    TfmCirSel CirSel;
    TfmCirCal CirCal;
    TfmCompensate Compensate;
    TfmView View; // with its point calculator (View.PtCalc)
    TfmCharacteristics Characteristics;
    // The component inventory of the program (read at start, changed by the editor).
    Inventory ProgramInventory = FullInventory();
    TfmInvent Invent;
    TfmDbConvert DbConvert;
    TfmResValues ResValues;
    bool DbConvertVisible = false, ResValuesVisible = false;

    // Options > Component characteristics: the form; its OK, after which the steps that
    // depend on the characteristics are re-run when something changed.
    void Componentcharacteristics1Click() { Characteristics.FormShow(); }
    void CharacteristicsOkClick();
    // Options > All capacitors standard values; Inventory > Enable (capacitors, resistors):
    // toggles, with the components recalculated from level 7 on.
    void Allcapsstandardvalues1Click();
    void Usecapinventory1Click();
    void Useresinventory1Click();
    // Inventory editors.
    void Editcapinventory1Click() { Invent.Show(InventoryKind::Capacitors); }
    void N1percent1Click() { Invent.Show(InventoryKind::Resistors1); }
    void N5percent1Click() { Invent.Show(InventoryKind::Resistors5); }
    void N10percent1Click() { Invent.Show(InventoryKind::Resistors10); }
    // Tools.
    void dBVV1Click() { DbConvertVisible = true; }
    void Resistor1Click() { ResValuesVisible = true; }
    TfmAscii Ascii;
    // File > Save SPICE Netlist: the netlist form, its sweep over the frequency axis of the
    // final responses once they are shown, else of the ideal responses, else the design's
    // data axis (SpiceAxis).
    TfmSpice Spice;
    void CreateSPICEnetlist1Click();
    FrequencyAxis SpiceAxis() const;
    // The window the last step handed over to.
    NextWindow LastHandOver = NextWindow::None;

    // What changed in the design, part by part, for the views. Every command of this
    // model and every step transition announces here what it changed; a unit switch
    // announces every part, since every part's texts carry the unit.
    app::DesignChanges Changes;

    // The stage steps. The step windows' own "Next" and "Back" say where the design
    // stands; which window follows is decided here, and the windows that follow are
    // filled for the design as it now is.
    void PairsNextClick();   // the pairing window's "Next"
    void CascadeNextClick(); // the cascading window's "Next"
    void CascadeBackClick(); // the cascading window's "Back"
    void CirCalBackClick();  // the component calculation's "Back": the circuit selection again
    // "Filter Gain" (from the circuit steps): the gain window, computed afresh; its
    // "Adjust stage gains" opens the adjust dialog, whose OK redistributes the gains and
    // refreshes the gain window, the component values and the responses that show them.
    void FilterGainClick() { Gain.FormShow(); }
    void AdjustStageGainsClick() { GainAd.Show(); }
    // "Sensitivities" of the component-calculation window, for its current stage.
    void SensitivitiesClick();
    void CriteriaAccepted(); // OK of the cascade criteria: the cascade is ordered again

    // The enabled and checked states of the menu and tool-bar commands, from the design's
    // level and options. A command is enabled when what it works on exists.
    struct CommandStates {
        bool CopyEnabled = false, PrintEnabled = false; // a graph window has pictures
        bool AsciiEnabled = false;                      // the approximations are calculated
        bool SpiceEnabled = false;                      // the components are calculated
        bool TransferEnabled = false;                   // the stages have their gains
        bool HzChecked = false, RadsChecked = false;
        bool AutoPairingChecked = false, InteractivePairingChecked = false;
        bool AutoCascadingChecked = false, InteractiveCascadingChecked = false;
        bool AllCapsStandardChecked = false, CapInventoryChecked = false, ResInventoryChecked = false;
    };
    CommandStates Commands() const;

    std::string Caption;                  // "[Untitled]" or the program title, ": " and the file name
    std::vector<std::string> RecentFiles; // most recent first, at most four
    std::string AsciiFileName;            // the last ASCII data file of this design
    bool GraphCommandsEnabled = false;

    // Start Design commands: the save question, then a new design of the type.
    void Lowpass1Click() { StartDesign(Lowpass); }
    void Highpass1Click() { StartDesign(Highpass); }
    void Bandpass1Click() { StartDesign(Bandpass); }
    void Bandstop1Click() { StartDesign(Bandstop); }
    void userdefined1Click() { StartDesign(UserDefined); }
    // The Start Design command of a filter type (what the five handlers above run).
    void StartDesign(uint8_t filterType);
    void CloseDesign1Click();
    // The specification form's Close (and closing that window): the save question, then
    // a new, empty design of the same type with its forms hidden. False when the person
    // cancelled: the form stays open.
    bool ParEntClose();
    // Exit: the save question, then the settings file is written; false when the user
    // cancelled (nothing is written then).
    bool Exit1Click();

    // Window creation: reads the settings file and applies it. False, with the message
    // "Could Not Find Settings Directory", when no settings folder can be determined;
    // the program cannot run then. Until this has run the settings file is neither read
    // nor written.
    bool FormCreate();
    // The settings of the running program (recent files, component characteristics,
    // display unit, inventories, window values), and their application at start.
    Settings CurrentSettings() const;
    void ApplySettings(const Settings& s);
    // Writes the settings file (after FormCreate); a failure is shown.
    bool WriteSettings();
    std::string SettingsPath; // empty until FormCreate found the folder

    // Open Design: the save question for a modified design, the file dialog, then
    // OpenDesign. True when a design was opened.
    bool open1Click();
    // A recent-file entry (1..4): the save question, then OpenDesign of that file.
    bool RecentFileClick(int entry);
    // The captions of the recent-file entries: "&1 /path/name.fl3" ...
    std::vector<std::string> RecentFileCaptions() const;
    // Reads a design file and rebuilds the steps from it, without questions (the
    // command line's open). A file that cannot be read or is rejected is reported with
    // the reader's message and changes nothing: design, file name, recent files and
    // caption stay as they were. On success the name is the design's file name and
    // heads the recent files, and the caption shows it.
    bool OpenDesign(const std::string& path);

    // The save question before a command that discards the design: true to proceed.
    bool SavePrompt();
    // Save and Save As: true when the design was written.
    bool Savedesign1Click();
    bool Savedesignas1Click();
    // Save As without the dialog (the command line's --save): writes the design to
    // `path`, which becomes its file name and heads the recent files. A failure is shown
    // and changes nothing.
    bool SaveDesignAs(const std::string& path);

    // Save data to ASCII file: the save dialog, the overwrite question, the options
    // window (Dialogs::EditAsciiOptions) and the export in the coefficient window's unit.
    bool SavetoAsciiFile1Click();
    // Show transfer function: the coefficient window, in rad/s.
    void Showtransferfunction1Click() { Transfer.FormShow(); }
    // "Final Responses" on the stages table: every stage gets its automatically chosen
    // circuit, calculated, and the final responses show in place of the stages table
    // and the circuit selection. False, with the reason shown, when a stage has no
    // circuit that can be calculated.
    bool FinalResponsesClick();

    // Frequency unit.
    void Hz1Click() { SetFrequencyUnit(true); }
    void rads1Click() { SetFrequencyUnit(false); }
    void SpeedButton8Click() { SetFrequencyUnit(!d_.Opt.FreqUnitsHz); }

    // Pole-zero pairing and stage cascading options: choosing the interactive mode
    // opens that step's window for the current design.
    void Auto1Click() { d_.Opt.AutoPairing = 1; }
    void UI1Click();
    void Auto2Click() { d_.Opt.AutoCascading = 1; }
    void UI2Click();
    void StageCascadingcriteria1Click() { ACrit.Show(); }

    // Help > Contents: the user manual, handed to OpenHelp (the front end's viewer).
    // Without a manual the person is told where it was looked for.
    void Contents1Click();
    std::function<void(const std::string& path)> OpenHelp;

    // New design: clears the design and hides the step forms.
    void New(uint8_t filterType);

  private:
    TDesign& d_;
    Dialogs& dlg_;
    IdealResponseRecord idealResponses_; // shared by the graph window and the specification form
    CircuitGainRealiser circuits_;       // the gain step asks the stages' circuits what they can give

    Settings kept_; // the window values, written back as they were read

    // Every stage's components calculated again (from level 7), with the standard-value
    // and inventory options as they now are.
    void RecalculateComponents();
    void SetFrequencyUnit(bool hz);
    void UpdateCaption();
    // The window a stage step handed over to, filled and shown.
    void HandOver(NextWindow next);
    // The circuit-selection texts of the candidate shown, again from the design (after
    // a unit switch or recomputed metrics), without changing the candidate shown.
    void RefreshCircuitSelection();
    // After the stage gains changed: the gain window, the component values and the
    // windows that show them.
    void GainsChanged();
    // The steps of a design just read: the specification form with its comparison
    // table, the ideal responses, the analysis grid, the stage gains and, from the
    // component step on, the components.
    void RebuildSteps();
};

} // namespace velmora
