// The main window's document commands as a person drives them, with recorded dialogs:
// save and open round trips, rejected files, the recent files, the settings read at
// start and written at exit, and the ASCII export of real designs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "circuits/selection.h"
#include "model/design_file.h"
#include "model/number_text.h"
#include "stages/pairing.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "support/temp_files.h"
#include "ui/tfm_main.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::RecordingDialogs;
using Bytes = std::vector<uint8_t>;

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
// Position 21 of the flag string (the modified flag) in the file: the flag string's
// characters start after the magic (4), the tag (9) and the string's length byte.
constexpr std::size_t kModifiedFlagByte = 4 + 9 + 1 + 20;

using test::ScopedEnv;

fs::path TempDir() {
    return test::MakeTempDir("velmora_files_");
}

using test::ReadBytes;
using test::ReadText;
using test::WriteBytes;

// Two saves of one design, the first while it was modified and the second once it was
// opened again: the same bytes but the modified flag.
void ExpectSameButTheModifiedFlag(const fs::path& first, const fs::path& second) {
    const Bytes one = ReadBytes(first), two = ReadBytes(second);
    ASSERT_EQ(two.size(), one.size());
    EXPECT_EQ(one[kModifiedFlagByte], '1');
    EXPECT_EQ(two[kModifiedFlagByte], '0');
    for (std::size_t i = 0; i < one.size(); ++i)
        if (i != kModifiedFlagByte) {
            ASSERT_EQ(two[i], one[i]) << "byte " << i;
        }
}

Bytes Image(const TDesign& d) {
    Bytes image;
    EXPECT_TRUE(EncodeDesign(d, image).ok());
    return image;
}

// A main window with its own design and recorded dialogs.
struct Main {
    std::unique_ptr<TDesign> d = std::make_unique<TDesign>();
    RecordingDialogs dlg;
    TfmMain main{*d, dlg};

    // Start Design for the type, the default specification calculated, the
    // approximation chosen and, with `stages`, paired, cascaded and given gains; with
    // `circuits` too, circuits selected and their components calculated.
    void design(uint8_t type, int approx, bool stages, bool circuits = false) {
        switch (type) {
        case Highpass:
            main.Highpass1Click();
            break;
        case Bandpass:
            main.Bandpass1Click();
            break;
        case Bandstop:
            main.Bandstop1Click();
            break;
        default:
            main.Lowpass1Click();
        }
        main.ParEnt.CalcBtnClick();
        main.ParEnt.BitBtn1Click();
        ChooseApproximation(*d, approx);
        if (stages) {
            ASSERT_EQ(SynthesiseStages(*d), SynthesisStatus::Ok);
            ASSERT_EQ(d->DesignLevel, LevelCascaded);
        }
        if (circuits) {
            const CircuitsOutcome o = DesignStageCircuits(*d);
            ASSERT_TRUE(o.ok) << o.message;
            ASSERT_EQ(d->DesignLevel, LevelComponents);
        }
        dlg.clear();
    }
    bool saveAs(const fs::path& file) {
        dlg.files = {file.string()};
        return main.Savedesignas1Click();
    }
    bool open(const fs::path& file) {
        dlg.files = {file.string()};
        return main.open1Click();
    }
};

// What the windows and reports show of a design, to compare a reopened design with
// the one that was saved.
void ExpectSameReport(Main& a, Main& b, const std::string& what) {
    SCOPED_TRACE(what);
    const TDesign& x = *a.d;
    const TDesign& y = *b.d;
    EXPECT_EQ(y.DesignLevel, x.DesignLevel);
    EXPECT_EQ(y.SelectedApprox, x.SelectedApprox);
    const std::pair<const TEditControl*, const TEditControl*> edits[] = {
        {&a.main.ParEnt.NumEdit1, &b.main.ParEnt.NumEdit1},
        {&a.main.ParEnt.NumEdit2, &b.main.ParEnt.NumEdit2},
        {&a.main.ParEnt.NumEdit3, &b.main.ParEnt.NumEdit3},
        {&a.main.ParEnt.NumEdit4, &b.main.ParEnt.NumEdit4},
        {&a.main.ParEnt.NumEdit5, &b.main.ParEnt.NumEdit5}};
    for (const auto& [p, q] : edits)
        EXPECT_EQ(q->Text, p->Text) << p->Name;
    EXPECT_EQ(b.main.ParEnt.CB1.ItemIndex, a.main.ParEnt.CB1.ItemIndex);
    EXPECT_EQ(b.main.ParEnt.CB2.ItemIndex, a.main.ParEnt.CB2.ItemIndex);
    EXPECT_EQ(b.main.ParEnt.CB3.ItemIndex, a.main.ParEnt.CB3.ItemIndex);
    EXPECT_EQ(b.main.ParEnt.BitBtn1Enabled, a.main.ParEnt.BitBtn1Enabled);
    const ComparisonTable& ta = a.main.ParEnt.Table;
    const ComparisonTable& tb = b.main.ParEnt.Table;
    EXPECT_EQ(tb.rowTitles, ta.rowTitles);
    ASSERT_EQ(tb.cells.size(), ta.cells.size());
    for (std::size_t r = 0; r < ta.cells.size(); ++r) {
        ASSERT_EQ(tb.cells[r].size(), ta.cells[r].size());
        for (std::size_t c = 0; c < ta.cells[r].size(); ++c) {
            EXPECT_EQ(tb.cells[r][c].text, ta.cells[r][c].text) << ta.rowTitles[r];
            EXPECT_EQ(tb.cells[r][c].red, ta.cells[r][c].red) << ta.rowTitles[r];
        }
    }
    for (int i = 0; i <= kResponseIntervals; ++i) {
        ASSERT_EQ(y.FreqColumn[i].W.value(), x.FreqColumn[i].W.value()) << i;
        ASSERT_EQ(y.Approx[x.SelectedApprox].Ideal[i].GainDb.value(),
                  x.Approx[x.SelectedApprox].Ideal[i].GainDb.value());
        ASSERT_EQ(y.Approx[x.SelectedApprox].Ideal[i].Phase.value(),
                  x.Approx[x.SelectedApprox].Ideal[i].Phase.value());
    }
    ASSERT_EQ(y.StageCount, x.StageCount);
    for (int s = 1; s <= x.StageCount; ++s) {
        EXPECT_EQ(CoefficientRow(y, s, false), CoefficientRow(x, s, false)) << "stage " << s;
        EXPECT_EQ(y.Circuits[s].OptimalGain.value(), x.Circuits[s].OptimalGain.value());
        EXPECT_EQ(y.Circuits[s].DynamicRange.value(), x.Circuits[s].DynamicRange.value());
        EXPECT_EQ(y.Circuits[s].ActualGain.value(), x.Circuits[s].ActualGain.value());
        // The resistors are not in the file: they come back from the stored circuit and
        // capacitors.
        if (x.DesignLevel >= LevelComponents) {
            EXPECT_GT(y.Circuits[s].Components[1].Value.value(), 0.0L);
        }
        for (int k = 1; k <= kComponentSlots; ++k)
            EXPECT_EQ(y.Circuits[s].Components[k].Value.value(), x.Circuits[s].Components[k].Value.value())
                << "stage " << s << " component " << k;
    }
    EXPECT_EQ(y.ActualOverallGain.value(), x.ActualOverallGain.value());
    if (x.DesignLevel >= LevelPaired) {
        for (int i = 0; i <= kResponseIntervals; ++i)
            ASSERT_EQ(y.Grid.W[i].value(), x.Grid.W[i].value());
    }
}

TEST(TfmMainFiles, SaveOpenSaveIsByteIdenticalAndShowsTheSameDesign) {
    struct Case {
        const char* what;
        uint8_t type;
        int approx;
        bool stages;
        bool circuits = false;
    };
    // Levels the command line does not save; the saved designs of every approximation
    // and filter type at the circuit levels are the design file tests' round trips.
    const Case cases[] = {{"inverse Chebyshev bandstop, level 5", Bandstop, InverseChebyshev, true},
                          {"Chebyshev highpass, level 3", Highpass, Chebyshev, false}};
    fs::path dir = TempDir();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Main a;
        a.design(c.type, c.approx, c.stages, c.circuits);
        const fs::path first = dir / (std::string(c.what) + " first.fl3");
        const fs::path second = dir / (std::string(c.what) + " second.fl3");
        ASSERT_TRUE(a.saveAs(first));

        Main b;
        ASSERT_TRUE(b.open(first)) << b.dlg.log.back();
        EXPECT_EQ(b.dlg.log, std::vector<std::string>{"file open: "});
        EXPECT_EQ(b.main.Caption, "Velmora: " + first.string());
        EXPECT_EQ(b.main.RecentFiles, std::vector<std::string>{first.string()});
        EXPECT_EQ(b.d->FileName, first.string());
        EXPECT_EQ(b.d->Modified, 0);
        EXPECT_EQ(b.d->StepChanged, 0);
        EXPECT_EQ(b.d->Loading, 0);
        EXPECT_TRUE(b.main.ParEnt.Visible);
        EXPECT_TRUE(b.main.GraphCommandsEnabled);
        ExpectSameReport(a, b, c.what);

        ASSERT_TRUE(b.saveAs(second));
        ExpectSameButTheModifiedFlag(first, second);
        EXPECT_EQ(b.main.RecentFiles, (std::vector<std::string>{second.string(), first.string()}));
    }
    fs::remove_all(dir);
}

TEST(TfmMainFiles, ARejectedFileChangesNothing) {
    fs::path dir = TempDir();
    Main m;
    m.design(Lowpass, Elliptic, true);
    const fs::path good = dir / "good.fl3";
    ASSERT_TRUE(m.saveAs(good));
    const Bytes goodImage = ReadBytes(good);

    Bytes wrongMagic = goodImage;
    wrongMagic[1] ^= 0xFF;
    const Bytes truncated(goodImage.begin(), goodImage.begin() + 5000);
    Bytes tooManyStages = goodImage;
    tooManyStages[204] = 12; // StageCount beyond the eleven a design holds
    tooManyStages[205] = 0;
    struct Case {
        const char* what;
        std::optional<Bytes> content; // nothing: the file does not exist
        std::string message;          // the start of the message shown
    };
    const Case cases[] = {{"wrong magic", wrongMagic, "error: Invalid Velmora design file"},
                          {"truncated", truncated, "error: "},
                          {"too many stages", tooManyStages, "error: "},
                          {"missing", std::nullopt, "error: "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path bad = dir / (std::string(c.what) + ".fl3");
        if (c.content) WriteBytes(bad, *c.content);
        const Bytes before = Image(*m.d);
        const std::vector<std::string> recent = m.main.RecentFiles;
        const std::string caption = m.main.Caption;
        m.dlg.clear();
        EXPECT_FALSE(m.open(bad));
        ASSERT_EQ(m.dlg.log.size(), 2u);
        EXPECT_EQ(m.dlg.log[1].substr(0, c.message.size()), c.message) << m.dlg.log[1];
        EXPECT_EQ(Image(*m.d), before);
        EXPECT_EQ(m.d->FileName, good.string());
        EXPECT_EQ(m.main.RecentFiles, recent);
        EXPECT_EQ(m.main.Caption, caption);
        EXPECT_EQ(m.d->Loading, 0);
        EXPECT_EQ(m.d->DesignLevel, LevelCascaded);
    }
    fs::remove_all(dir);
}

TEST(TfmMainFiles, RecentFilesAndTheSaveQuestion) {
    fs::path dir = TempDir();
    const fs::path f1 = dir / "one.fl3", f2 = dir / "two.fl3";
    {
        Main m;
        m.design(Lowpass, Butterworth, false);
        ASSERT_TRUE(m.saveAs(f1));
        m.design(Highpass, Butterworth, false);
        // Start Design asked nothing: the first design had been saved.
        ASSERT_TRUE(m.saveAs(f2));
    }
    Main m;
    ASSERT_TRUE(m.open(f1));
    ASSERT_TRUE(m.open(f1)); // the same file twice: one entry, at the head
    EXPECT_EQ(m.main.RecentFiles, std::vector<std::string>{f1.string()});
    ASSERT_TRUE(m.open(f2));
    EXPECT_EQ(m.main.RecentFiles, (std::vector<std::string>{f2.string(), f1.string()}));
    EXPECT_EQ(m.main.RecentFileCaptions(),
              (std::vector<std::string>{"&1 " + f2.string(), "&2 " + f1.string()}));
    EXPECT_EQ(m.d->Spec.FilterType, Highpass);

    // A modified design is asked about first; Cancel abandons before the file dialog.
    m.d->Modified = 1;
    m.dlg.clear();
    m.dlg.answers = {Answer::Cancel};
    EXPECT_FALSE(m.main.RecentFileClick(2));
    EXPECT_EQ(m.dlg.log, std::vector<std::string>{"ask yes/no/cancel: Do you wish to save the changes?"});
    EXPECT_EQ(m.d->Spec.FilterType, Highpass);
    // No: the entry is opened and moves to the head.
    m.dlg.clear();
    m.dlg.answers = {Answer::No};
    EXPECT_TRUE(m.main.RecentFileClick(2));
    EXPECT_EQ(m.d->Spec.FilterType, Lowpass);
    EXPECT_EQ(m.main.RecentFiles, (std::vector<std::string>{f1.string(), f2.string()}));
    EXPECT_EQ(m.main.Caption, "Velmora: " + f1.string());
    EXPECT_FALSE(m.main.RecentFileClick(3)); // no such entry

    // An untitled modified design is asked about too.
    Main u;
    u.design(Lowpass, Butterworth, false);
    u.dlg.answers = {Answer::Cancel};
    EXPECT_FALSE(u.main.open1Click());
    EXPECT_EQ(u.dlg.log, std::vector<std::string>{"ask yes/no/cancel: Do you wish to save this design?"});
    EXPECT_TRUE(u.d->FileName.empty());
    EXPECT_EQ(u.d->DesignLevel, LevelApproxChosen);
    fs::remove_all(dir);
}

TEST(TfmMainFiles, SettingsAtStartAndExit) {
    fs::path dir = TempDir();
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.string());
    const fs::path file = dir / "velmora" / kSettingsFileName;
    {
        // No file: the defaults, and nothing written until the program ends.
        Main m;
        ASSERT_TRUE(m.main.FormCreate());
        EXPECT_EQ(m.main.SettingsPath, file.string());
        EXPECT_EQ(m.d->Components.OpAmpTolerance.value(), 30.0L);
        EXPECT_TRUE(m.main.RecentFiles.empty());
        EXPECT_FALSE(fs::exists(file));

        m.design(Lowpass, Butterworth, false);
        ASSERT_TRUE(m.saveAs(dir / "a.fl3"));
        m.main.rads1Click();
        m.d->Components.CapacitorTolerance = 0.25L;
        m.d->Components.OpAmpTolerance = 5.0L;
        // Cancel at the save question keeps the program running and writes nothing.
        m.d->Modified = 1;
        m.dlg.answers = {Answer::Cancel};
        EXPECT_FALSE(m.main.Exit1Click());
        EXPECT_FALSE(fs::exists(file));
        m.dlg.answers = {Answer::No};
        EXPECT_TRUE(m.main.Exit1Click());
        ASSERT_TRUE(fs::exists(file));
    }
    const std::string text = ReadText(file);
    for (const char* line :
         {"Frequency units=rad/s\n", "CTolerance=0.25\n", "OpTolerance= 5\n", "Noise= 1.2E+1\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    EXPECT_NE(text.find("File1=" + (dir / "a.fl3").string() + "\n"), std::string::npos);
    EXPECT_EQ(text.find("File2"), std::string::npos);
    {
        // The next start reads them back, through the same actions as the menus.
        Main m;
        ASSERT_TRUE(m.main.FormCreate());
        EXPECT_EQ(m.d->Opt.FreqUnitsHz, 0);
        EXPECT_EQ(m.main.ParEnt.CB1.Items, (std::vector<std::string>{"rad/s", "krad/s"}));
        EXPECT_EQ(m.d->Components.CapacitorTolerance.value(), Real48(0.25L).value());
        EXPECT_EQ(m.d->Components.OpAmpTolerance.value(), 5.0L);
        EXPECT_EQ(m.main.RecentFiles, std::vector<std::string>{(dir / "a.fl3").string()});
        // A new design keeps them.
        m.main.Lowpass1Click();
        EXPECT_EQ(m.d->Components.OpAmpTolerance.value(), 5.0L);
    }
    {
        // Without any folder for the settings the program cannot start.
        ScopedEnv noXdg("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv noHome("HOME", std::nullopt);
        Main m;
        EXPECT_FALSE(m.main.FormCreate());
        EXPECT_EQ(m.dlg.log, std::vector<std::string>{"error: Could Not Find Settings Directory"});
        EXPECT_TRUE(m.main.Exit1Click()); // nothing to write, nothing written
    }
    fs::remove_all(dir);
}

// ---- ASCII export ----------------------------------------------------------------------------

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t eol = text.find("\r\n", at);
        if (eol == std::string::npos) {
            ADD_FAILURE() << "text does not end with CR LF";
            break;
        }
        lines.push_back(text.substr(at, eol - at));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos);
        at = eol + 2;
    }
    return lines;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return lines.size();
}

// The To row of the stage table: a gain of each stage, in columns of 15 characters.
std::string ToRow(const TDesign& d, Real48 TStageCircuit::*gain) {
    std::string row = "To    ";
    for (int s = 1; s <= d.StageCount; ++s) {
        const std::string cell = ScientificText(d.Circuits[s].*gain, 7);
        row += cell + std::string(15 - cell.size(), ' ');
    }
    return row;
}

TEST(TfmMainFiles, AsciiExportOfALevelFiveDesign) {
    fs::path dir = TempDir();
    Main m;
    m.design(Lowpass, Butterworth, true); // order 7: three pole pairs and a real pole
    const TDesign& d = *m.d;
    ASSERT_EQ(d.StageCount, 4);
    m.dlg.asciiOptions = [](TfmAscii& w) {
        EXPECT_TRUE(w.CheckBox1.Enabled);
        EXPECT_TRUE(w.CheckBox2.Enabled);
        for (TCheckBox* b : {&w.CheckBox1, &w.CheckBox2, &w.CheckBox3, &w.CheckBox4})
            b->Checked = true;
        return true;
    };
    const fs::path file = dir / "lp.dat";
    m.dlg.files = {file.string()};
    ASSERT_TRUE(m.main.SavetoAsciiFile1Click());
    EXPECT_EQ(m.dlg.log, std::vector<std::string>{"file save: *.dat"});
    EXPECT_EQ(m.main.AsciiFileName, file.string());
    const std::vector<std::string> lines = CrLfLines(ReadText(file));
    ASSERT_GT(lines.size(), 10u);
    EXPECT_FALSE(lines[0].empty());
    EXPECT_EQ(lines[2], "BUTTERWORTH LOWPASS FILTER  N=7");
    EXPECT_EQ(lines[4], "Maximum passband attenuation: 0.500 dB");
    EXPECT_EQ(lines[5], "Passband edge frequency: 6.283 Krad/s"); // the coefficient window's rad/s

    const std::size_t stageHead =
        IndexOf(lines, "Stage ->    1              2              3              4");
    ASSERT_LT(stageHead + 10, lines.size());
    // The To row holds the gains the distribution asks of the stages (no circuits yet).
    EXPECT_EQ(lines[stageHead + 1], ToRow(d, &TStageCircuit::OptimalGain));
    // The first-order stage's column has no wp, Qp or wz.
    for (int s = 1; s <= 4; ++s) {
        const bool first = isFirstOrder(d.Stages[s].StageType);
        for (int row : {8, 9, 10}) {
            const std::string cell = lines[stageHead + row].substr(6 + 15 * (s - 1), 15);
            EXPECT_EQ(cell == " ----          ", first || row == 10) << "stage " << s << " row " << row;
        }
    }

    // The poles written are those the pairing works with, read back from the text.
    const std::size_t poles = IndexOf(lines, "POLES:");
    ASSERT_LT(poles, lines.size());
    int pairs = 0, singles = 0;
    for (std::size_t i = poles + 1; i < lines.size() && !lines[i].empty(); ++i) {
        const long double sigma = std::strtold(lines[i].c_str() + 9, nullptr);
        const long double imag = std::strtold(lines[i].c_str() + 30, nullptr);
        bool found = false;
        for (int k = 1; k <= d.PoleCount; ++k)
            found = found || (std::fabs(sigma - d.Poles[k].Sigma) <= 1e-7L * d.Poles[k].Sigma &&
                              std::fabs(imag - d.Poles[k].Imag) <= 1e-7L * (d.Poles[k].Imag + 1.0L));
        EXPECT_TRUE(found) << lines[i];
        if (lines[i].substr(0, 5) == " PAIR") {
            ++pairs;
            EXPECT_EQ(lines[i].substr(25, 3), "\xB1 j");
            EXPECT_NE(lines[i].find("   wp: "), std::string::npos);
            EXPECT_EQ(lines[i].find(" Hz"), std::string::npos);
        } else {
            ++singles;
        }
    }
    EXPECT_EQ(pairs, 3);
    EXPECT_EQ(singles, 1);
    EXPECT_EQ(IndexOf(lines, "ZEROS:"), lines.size()); // an all-pole filter
    // The frequency table closes the file.
    const std::size_t table =
        IndexOf(lines, "        FREQUENCY                MAGNITUDE            PHASE        DELAY");
    EXPECT_EQ(lines.size() - table, 2u + 351u);
    EXPECT_EQ(d.SelectedApprox, d.SavedSelectedApprox);
    EXPECT_EQ(d.CurrentApprox, d.SavedApprox);

    // The coefficient window switched to Hz: the pole lines read fp and Hz, the
    // coefficient rows keep their labels; the display unit of the design is untouched.
    m.main.Showtransferfunction1Click();
    m.main.Transfer.UnitClick(true);
    m.main.rads1Click();
    m.dlg.clear();
    m.dlg.files = {file.string()};
    m.dlg.answers = {Answer::Ok};
    ASSERT_TRUE(m.main.SavetoAsciiFile1Click());
    EXPECT_EQ(m.dlg.log, (std::vector<std::string>{"file save: " + file.string(),
                                                   "ask warning: File already exists. OK to overwrite?"}));
    EXPECT_EQ(d.Opt.FreqUnitsHz, 0);
    const std::vector<std::string> hz = CrLfLines(ReadText(file));
    EXPECT_EQ(hz[5], "Passband edge frequency: 1 KHz");
    const std::size_t hzPoles = IndexOf(hz, "POLES:");
    ASSERT_LT(hzPoles + 1, hz.size());
    for (std::size_t i = hzPoles + 1; i < hz.size() && !hz[i].empty(); ++i)
        if (hz[i].substr(0, 5) == " PAIR") {
            EXPECT_NE(hz[i].find("   fp: "), std::string::npos) << hz[i];
            EXPECT_NE(hz[i].find(" Hz   Q: "), std::string::npos) << hz[i];
        }
    const std::size_t hzStages = IndexOf(hz, "Stage ->    1              2              3              4");
    EXPECT_EQ(hz[hzStages + 8].substr(0, 6), "wp    ");
    EXPECT_EQ(hz[hzStages + 10].substr(0, 6), "wz    ");
    // Showing the coefficient window again returns it, and the file, to rad/s.
    m.main.Showtransferfunction1Click();
    EXPECT_FALSE(m.main.Transfer.Hz);
    fs::remove_all(dir);
}

TEST(TfmMainFiles, AsciiExportOptionsAndRefusals) {
    fs::path dir = TempDir();
    Main m;
    m.design(Lowpass, Butterworth, false); // level 3: no stages yet
    const fs::path file = dir / "x.dat";
    m.main.Ascii.CheckBox2.Checked = true; // left from an earlier design
    bool shown = false;
    m.dlg.asciiOptions = [&](TfmAscii& w) {
        shown = true;
        EXPECT_FALSE(w.CheckBox2.Enabled);
        EXPECT_FALSE(w.CheckBox2.Checked);
        return false; // Cancel
    };
    m.dlg.files = {file.string()};
    EXPECT_FALSE(m.main.SavetoAsciiFile1Click());
    EXPECT_TRUE(shown);
    EXPECT_FALSE(fs::exists(file));

    // Cancel at the overwrite question leaves the file as it was.
    WriteBytes(file, Bytes{'k', 'e', 'e', 'p'});
    m.dlg.files = {file.string()};
    m.dlg.answers = {Answer::Cancel};
    shown = false;
    EXPECT_FALSE(m.main.SavetoAsciiFile1Click());
    EXPECT_FALSE(shown);
    EXPECT_EQ(ReadText(file), "keep");

    // A file that cannot be written is reported with the system's message.
    m.dlg.asciiOptions = [](TfmAscii&) { return true; };
    const fs::path nowhere = dir / "missing" / "y.dat";
    m.dlg.clear();
    m.dlg.files = {nowhere.string()};
    EXPECT_FALSE(m.main.SavetoAsciiFile1Click());
    ASSERT_EQ(m.dlg.log.size(), 2u);
    EXPECT_EQ(m.dlg.log[1], "error: " + nowhere.string() + ": No such file or directory");
    EXPECT_EQ(m.dlg.busyDepth, 0);

    // Nothing to write before the specification is calculated.
    Main empty;
    EXPECT_FALSE(empty.main.SavetoAsciiFile1Click());
    EXPECT_TRUE(empty.dlg.log.empty());
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora
