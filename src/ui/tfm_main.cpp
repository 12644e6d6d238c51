#include "ui/tfm_main.h"

#include <filesystem>

#include "model/design_file.h"

namespace velmora {

TfmMain::TfmMain(TDesign& design, Dialogs& dialogs)
    : ParEnt(design, dialogs), Transfer(design), Ascii(design, dialogs), d_(design), dlg_(dialogs) {
    UpdateCaption();
}

void TfmMain::UpdateCaption() {
    Caption = d_.FileName.empty() ? "[Untitled]" : std::string(kProgramTitle) + ": " + d_.FileName;
}

void TfmMain::New(uint8_t filterType) {
    NewDesign(d_, filterType);
    ParEnt.Visible = false;
    UserFormVisible = false;
    GraphCommandsEnabled = false;
    AsciiFileName.clear();
    UpdateCaption();
}

void TfmMain::StartDesign(uint8_t filterType) {
    if (!SavePrompt()) return;
    New(filterType);
    if (filterType == UserDefined) {
        UserFormVisible = true;
    } else {
        ParEnt.SetUpNew();
    }
}

void TfmMain::CloseDesign1Click() {
    if (!SavePrompt()) return;
    New(d_.Spec.FilterType == UserDefined ? uint8_t{Lowpass} : d_.Spec.FilterType);
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
        dlg_.Message(MessageKind::Error, st.message);
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
    ParEnt.ConvertFrequencyUnits(hz);
}

} // namespace velmora
