// TfmMain: the main window's model. It owns the design's progress through the steps:
// starting a design, the save question, the caption, the frequency unit and the
// pairing and cascading options. The step forms are its members.
#pragma once

#include <string>

#include "model/design.h"
#include "ui/dialogs.h"
#include "ui/tfm_par_ent.h"

namespace velmora {

inline constexpr const char* kProgramTitle = "Velmora";

class TfmMain {
  public:
    TfmMain(TDesign& design, Dialogs& dialogs);

    TDesign& Design() { return d_; }
    TfmParEnt ParEnt;

    std::string Caption;          // "[Untitled]" or the program title, ": " and the file name
    bool UserFormVisible = false; // the user-defined filter form
    bool GraphCommandsEnabled = false;

    // Start Design commands: the save question, then a new design of the type.
    void Lowpass1Click() { StartDesign(Lowpass); }
    void Highpass1Click() { StartDesign(Highpass); }
    void Bandpass1Click() { StartDesign(Bandpass); }
    void Bandstop1Click() { StartDesign(Bandstop); }
    void userdefined1Click() { StartDesign(UserDefined); }
    void CloseDesign1Click();
    // Exit: the save question; false when the user cancelled.
    bool Exit1Click();

    // The save question before a command that discards the design: true to proceed.
    bool SavePrompt();
    // Save and Save As: true when the design was written.
    bool Savedesign1Click();
    bool Savedesignas1Click();

    // Frequency unit.
    void Hz1Click() { SetFrequencyUnit(true); }
    void rads1Click() { SetFrequencyUnit(false); }
    void SpeedButton8Click() { SetFrequencyUnit(!d_.Opt.FreqUnitsHz); }

    // Pole-zero pairing and stage cascading options.
    void Auto1Click() { d_.Opt.AutoPairing = 1; }
    void UI1Click() { d_.Opt.AutoPairing = 0; }
    void Auto2Click() { d_.Opt.AutoCascading = 1; }
    void UI2Click() { d_.Opt.AutoCascading = 0; }

    // New design: clears the design and hides the step forms.
    void New(uint8_t filterType);

  private:
    TDesign& d_;
    Dialogs& dlg_;

    void StartDesign(uint8_t filterType);
    void SetFrequencyUnit(bool hz);
    void UpdateCaption();
};

} // namespace velmora
