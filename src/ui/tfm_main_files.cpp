// The main window's document commands: the settings read at start and written at
// exit, Save As without the dialog, Open Design and the recent files with the rebuilding
// of the steps, and the ASCII export.
#include <filesystem>
#include <memory>

#include "analysis/ideal_responses.h"
#include "app/messages.h"
#include "approx/approximation.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/selection.h"
#include "model/design_file.h"
#include "stages/cascade.h"
#include "stages/gains.h"
#include "ui/tfm_main.h"

#include "stages/user_sections.h"

namespace velmora {

// ---- Settings ----------------------------------------------------------------------------

bool TfmMain::FormCreate() {
    const std::optional<std::string> folder = SettingsFolder();
    if (!folder) {
        dlg_.Message(MessageKind::Error, kNoSettingsFolder);
        return false;
    }
    SettingsPath = *folder + "/" + kSettingsFileName;
    // An unreadable file is treated like a missing one: the program starts with the
    // defaults, as it would on a new installation.
    Settings s;
    ReadSettingsFile(SettingsPath, s);
    ApplySettings(s);
    // The component inventory: read, or created with everything in stock; a damaged
    // file is replaced only with the person's consent.
    ProgramInventory = LoadInventoryAtStart(InventoryFilePath(), dlg_);
    return true;
}

Settings TfmMain::CurrentSettings() const {
    Settings s = kept_;
    const ComponentCharacteristics& c = d_.Components;
    s.UseCapInventory = c.UseCapInventory;
    s.UseResInventory = c.UseResInventory;
    s.FreqUnitsHz = d_.Opt.FreqUnitsHz;
    s.ResistorTolerance = c.ResistorTolerance;
    s.CapacitorTolerance = c.CapacitorTolerance;
    s.AllCapsStandard = c.AllCapsStandard;
    s.OpAmpTolerance = c.OpAmpTolerance;
    s.OpAmpNoise = c.OpAmpNoise;
    s.RecentFiles = RecentFiles;
    return s;
}

void TfmMain::ApplySettings(const Settings& s) {
    kept_ = s;
    ComponentCharacteristics& c = d_.Components;
    c.UseCapInventory = s.UseCapInventory;
    c.UseResInventory = s.UseResInventory;
    c.AllCapsStandard = s.AllCapsStandard;
    // The defaults of every new stage's components and op amp.
    c.ResistorTolerance = s.ResistorTolerance;
    c.CapacitorTolerance = s.CapacitorTolerance;
    c.OpAmpTolerance = s.OpAmpTolerance;
    c.OpAmpNoise = s.OpAmpNoise;
    if (s.FreqUnitsHz)
        Hz1Click();
    else
        rads1Click();
    RecentFiles.clear();
    for (auto it = s.RecentFiles.rbegin(); it != s.RecentFiles.rend(); ++it)
        AddRecentFile(RecentFiles, *it);
}

bool TfmMain::WriteSettings() {
    if (SettingsPath.empty()) return true;
    FileIoResult r = WriteSettingsFile(SettingsPath, CurrentSettings());
    if (!r.ok) dlg_.Message(MessageKind::Error, r.message);
    return r.ok;
}

// ---- Saving ------------------------------------------------------------------------------

bool TfmMain::SaveDesignAs(const std::string& path) {
    if (path.size() > 255) {
        dlg_.Message(MessageKind::Error, "The file name is longer than 255 characters.");
        return false;
    }
    DesignFileResult st = WriteDesignFile(d_, path);
    if (!st.ok()) {
        dlg_.Message(MessageKind::Error, app::DesignFileMessage(st));
        return false;
    }
    d_.FileName = path;
    d_.Modified = 0;
    d_.StepChanged = 0;
    AddRecentFile(RecentFiles, path);
    UpdateCaption();
    return true;
}

// ---- Opening -----------------------------------------------------------------------------

bool TfmMain::open1Click() {
    // Unsaved work would be lost without the question, whether the design has a name or not.
    if (!SavePrompt()) return false;
    FileChoice req;
    req.save = false;
    req.defaultExtension = "fl3";
    req.filter = "design file (*.fl2,*.fl3)|*.fl3;*.fl2|All files (*.*)|*.*";
    req.initialFolder = "Designs";
    std::optional<std::string> name = dlg_.ChooseFile(req);
    if (!name || name->empty()) return false;
    return OpenDesign(*name);
}

bool TfmMain::RecentFileClick(int entry) {
    if (entry < 1 || entry > static_cast<int>(RecentFiles.size())) return false;
    const std::string name = RecentFiles[entry - 1];
    if (!SavePrompt()) return false;
    return OpenDesign(name);
}

std::vector<std::string> TfmMain::RecentFileCaptions() const {
    std::vector<std::string> captions;
    for (std::size_t i = 0; i < RecentFiles.size(); ++i) {
        std::string caption = "&";
        caption += std::to_string(i + 1);
        caption += ' ';
        caption += RecentFiles[i];
        captions.push_back(std::move(caption));
    }
    return captions;
}

bool TfmMain::OpenDesign(const std::string& path) {
    // The file is read into a new design that keeps the program's options and component
    // characteristics; the working data of the current design (circuit records, gains,
    // responses) must not leak into the one read. The current design is replaced only
    // when the whole file has been accepted.
    auto fresh = std::make_unique<TDesign>(d_);
    NewDesign(*fresh, Lowpass);
    fresh->Loading = 1;
    const DesignFileResult r = app::ReadDesign(path, *fresh);
    if (!r.ok()) {
        d_.Loading = 0;
        dlg_.Message(MessageKind::Error, app::DesignFileMessage(r));
        return false;
    }
    d_ = std::move(*fresh);
    d_.FileName = path;
    AsciiFileName.clear();
    AddRecentFile(RecentFiles, path);
    UpdateCaption();
    RebuildSteps();
    d_.SelectedApprox = d_.SavedSelectedApprox;
    d_.CurrentApprox = d_.SavedApprox;
    d_.StepChanged = 0;
    d_.Loading = 0;
    Changes.ChangedFrom(app::DesignPart::Specification);
    return true;
}

void TfmMain::RebuildSteps() {
    const bool user = d_.Spec.FilterType == UserDefined;
    ParEnt.Table = ComparisonTable{};
    ParEnt.Tabs = {"Template"};
    ParEnt.TabIndex = 0;
    ParEnt.BitBtn1Enabled = false;
    ParEnt.EntryError = false;
    if (user) {
        ParEnt.Visible = false;
        User.FormShow();
    } else {
        User.Visible = false;
        ParEnt.ShowSpecification();
    }

    for (const std::string& note : app::RestoreDesign(d_, &ProgramInventory))
        dlg_.Message(MessageKind::Information, note);
    if (d_.DesignLevel >= LevelApproximations && !user) {
        ParEnt.Table = BuildComparisonTable(d_);
        ParEnt.Tabs.push_back("Calculation results");
        ParEnt.TabIndex = 1;
        bool anyUsable = false;
        for (int i = 0; i <= d_.Spec.LastApproxIndex; ++i)
            anyUsable = anyUsable || isUsable(d_.Approx[i]);
        ParEnt.BitBtn1Enabled = anyUsable;
    }
    GraphCommandsEnabled = d_.DesignLevel >= LevelApproxChosen;
}

// ---- ASCII export ------------------------------------------------------------------------

bool TfmMain::SavetoAsciiFile1Click() {
    // Before the specification is calculated there is nothing to write.
    if (d_.DesignLevel < LevelApproximations) return false;
    FileChoice req;
    req.save = true;
    req.defaultExtension = "dat";
    req.filter = "ASCII data file|*.dat";
    req.initialFolder = "ASCII";
    req.fileName = AsciiFileName.empty() ? "*.dat" : AsciiFileName;
    std::optional<std::string> name = dlg_.ChooseFile(req);
    if (!name || name->empty()) return false;
    std::error_code ec;
    if (std::filesystem::exists(*name, ec) &&
        dlg_.AskOkCancel(MessageKind::Warning, "File already exists. OK to overwrite?") != Answer::Ok)
        return false;
    AsciiFileName = *name;
    Ascii.FormShow();
    if (!dlg_.EditAsciiOptions(Ascii)) {
        Ascii.BitBtn2Click();
        return false;
    }
    return Ascii.BitBtn1Click(*name, Transfer.Hz);
}

} // namespace velmora
