// The main window's document commands as a person drives them, with recorded dialogs:
// rejected files, the recent files, the save question and the ASCII export; and the
// component inventory file at start and in its editor.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "model/design_file.h"
#include "stages/stage_types.h"
#include "support/recording_dialogs.h"
#include "support/step_windows.h"
#include "support/temp_files.h"
#include "ui/tfm_invent.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using test::ReadBytes, test::ReadText, test::WriteBytes;

Bytes Image(const TDesign& d) {
    Bytes image;
    EXPECT_TRUE(EncodeDesign(d, image).ok());
    return image;
}

// The step windows with the file commands' dialogs scripted.
struct Main : test::StepWindows {
    bool saveAs(const fs::path& file) {
        dlg.files = {file.string()};
        return main.Savedesignas1Click();
    }
    bool open(const fs::path& file) {
        dlg.files = {file.string()};
        return main.open1Click();
    }
};

TEST(TfmMainFiles, ARejectedFileChangesNothing) {
    fs::path dir = test::MakeTempDir("velmora_files_");
    Main m;
    m.Cascade(Lowpass, Elliptic);
    const fs::path good = dir / "good.fl3";
    ASSERT_TRUE(m.saveAs(good));
    const Bytes goodImage = ReadBytes(good);

    Bytes wrongMagic = goodImage;
    wrongMagic[1] ^= 0xFF;
    Bytes tooManyStages = goodImage;
    tooManyStages[204] = 12; // StageCount beyond the eleven a design holds
    tooManyStages[205] = 0;
    const struct Case {
        const char* what;
        std::optional<Bytes> content; // nothing: the file does not exist
        std::string message;          // the start of the message shown
    } cases[] = {{"wrong magic", wrongMagic, "error: Invalid Velmora design file"},
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
    fs::path dir = test::MakeTempDir("velmora_files_");
    const fs::path f1 = dir / "one.fl3", f2 = dir / "two.fl3";
    {
        Main m;
        m.Specify();
        ASSERT_TRUE(m.saveAs(f1));
        m.Specify(Highpass);
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

    fs::remove_all(dir);
}

// A new design asks about a modified one: No drops it, Yes with a save that fails
// cancels the new design, Yes with a good file saves it first.
TEST(TfmMainFiles, SaveQuestionBeforeANewDesign) {
    fs::path dir = test::MakeTempDir("velmora_files_");
    std::ofstream(dir / "not_a_folder") << "x";
    struct Case {
        Answer answer;
        fs::path file;
        bool started;
    } cases[] = {{Answer::No, {}, true},
                 {Answer::Yes, dir / "not_a_folder" / "design.fl3", false},
                 {Answer::Yes, dir / "lp.fl3", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        Main m;
        m.Specify();
        m.dlg.answers = {c.answer};
        if (!c.file.empty()) m.dlg.files = {c.file.string()};
        m.main.Highpass1Click();
        EXPECT_EQ(m.dlg.log.front(), "ask yes/no/cancel: Do you wish to save this design?");
        EXPECT_EQ(m.dlg.log.size(), c.file.empty() ? 1u : c.started ? 2u : 3u);
        if (!c.started) {
            EXPECT_EQ(m.dlg.log.back().rfind("error: ", 0), 0u) << m.dlg.log.back();
        }
        EXPECT_EQ(m.d->Spec.FilterType, c.started ? Highpass : Lowpass);
        EXPECT_EQ(m.d->Modified, c.started ? 0 : 1);
        EXPECT_EQ(fs::exists(c.file), c.started && !c.file.empty());
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

TEST(TfmMainFiles, AsciiExportOfALevelFiveDesign) {
    fs::path dir = test::MakeTempDir("velmora_files_");
    Main m;
    m.Cascade(); // order 7: three pole pairs and a real pole
    const TDesign& d = *m.d;
    ASSERT_EQ(d.StageCount, 4);
    m.dlg.asciiOptions = [](TfmAscii& w) {
        EXPECT_EQ(std::tuple(w.CheckBox1.Enabled, w.CheckBox2.Enabled), std::tuple(true, true));
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
    EXPECT_EQ(lines[2], "BUTTERWORTH LOWPASS FILTER  N=7");
    EXPECT_EQ(lines[4], "Maximum passband attenuation: 0.500 dB");
    EXPECT_EQ(lines[5], "Passband edge frequency: 6.283 Krad/s"); // the coefficient window's rad/s

    const std::size_t stageHead =
        IndexOf(lines, "Stage ->    1              2              3              4");
    ASSERT_LT(stageHead + 10, lines.size());

    // Three pole pairs and the real pole, each on its line.
    const std::size_t poles = IndexOf(lines, "POLES:");
    ASSERT_LT(poles, lines.size());
    int pairs = 0, singles = 0;
    for (std::size_t i = poles + 1; i < lines.size() && !lines[i].empty(); ++i) {
        pairs += lines[i].starts_with(" PAIR") && lines[i].find("   wp: ") != std::string::npos;
        singles += !lines[i].starts_with(" PAIR");
    }
    EXPECT_EQ(pairs, 3);
    EXPECT_EQ(singles, 1);
    EXPECT_EQ(IndexOf(lines, "ZEROS:"), lines.size()); // an all-pole filter
    // The frequency table closes the file.
    const std::size_t table =
        IndexOf(lines, "        FREQUENCY                MAGNITUDE            PHASE        DELAY");
    EXPECT_EQ(lines.size() - table, 2u + 351u);

    // The coefficient window switched to Hz writes Hz; the display unit is untouched.
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
    fs::remove_all(dir);
}

// The inventory at start (a missing file created, a damaged one replaced only with
// consent) and the inventory editor (grid, ranges, marks, quick select, count line, OK),
// checked through the bytes of the file it writes.
using test::RecordingDialogs;

std::vector<uint8_t> FullImage() {
    std::vector<uint8_t> b(1012, 0);
    std::fill(b.begin(), b.begin() + 996, 1);
    b[998] = 7;
    b[1002] = 7;
    b[1006] = 7;
    b[1010] = 6;
    return b;
}

// A missing file is created with everything in stock, silently; a damaged one (a
// capacitor range beyond the six decades) is replaced only with consent.
TEST(InventoryAtStart, MissingFileIsCreatedAndADamagedOneReplacedOnlyWithConsent) {
    std::vector<uint8_t> damaged = FullImage();
    damaged[1010] = 9;
    for (const auto answer :
         {std::optional<Answer>{}, std::optional{Answer::Cancel}, std::optional{Answer::Ok}}) {
        const fs::path file = test::MakeTempDir("velmora_tfminvent_") / "velmora" / "RCInvent.dat";
        if (answer) {
            fs::create_directories(file.parent_path());
            test::WriteBytes(file, damaged);
        }
        RecordingDialogs dlg;
        if (answer) dlg.answers.push_back(*answer);
        EXPECT_EQ(LoadInventoryAtStart(file.string(), dlg), FullInventory());
        EXPECT_EQ(test::ReadBytes(file), answer == Answer::Cancel ? damaged : FullImage());
        if (!answer) {
            EXPECT_TRUE(dlg.log.empty());
            continue;
        }
        EXPECT_EQ(dlg.log,
                  (std::vector<std::string>{
                      "beep", "ask warning: The component inventory " + file.string() +
                                  " cannot be used (it is damaged: the capacitor range (0, 9) is outside "
                                  "0 to 6). Replace it with an inventory that has every value in stock?"}));
    }
}

TEST(TfmInvent, ResistorGridMarksRangesAndOkWritesTheWholeBlock) {
    const fs::path file = test::MakeTempDir("velmora_tfminvent_") / "RCInvent.dat";
    RecordingDialogs dlg;
    Inventory inv = LoadInventoryAtStart(file.string(), dlg);
    TfmInvent form(inv, file.string(), dlg);

    form.Show(InventoryKind::Resistors10);
    ASSERT_EQ(form.Columns.size(), 7u);
    ASSERT_EQ(form.Columns[0].size(), 12u);
    EXPECT_EQ(std::tuple(form.Columns[0][0].Text, form.Columns[3][8].Text, form.Columns[6][11].Text,
                         form.CountLine),
              std::tuple("1\u03A9*", "4.7K\u03A9*", "8.2M\u03A9*", "84 of 84 selected."));

    // 4.7K out of stock; the range narrowed to 100 ohm .. 100K (decades 2..4).
    form.CellClick(3, 8);
    EXPECT_EQ(form.Columns[3][8].Text, "4.7K\u03A9");
    EXPECT_EQ(form.CountLine, "83 of 84 selected.");
    form.MinChange(2);
    form.MaxChange(5);
    ASSERT_EQ(form.Columns.size(), 3u);
    EXPECT_EQ(form.Columns[0][0].Text, "100\u03A9*");
    EXPECT_EQ(form.CountLine, "35 of 36 selected.");
    // Unmark all shown, then mark the second column (1K .. 8.2K) again.
    form.QuickSelect(3);
    EXPECT_EQ(form.CountLine, "0 of 36 selected.");
    form.QuickSelect(1);
    EXPECT_EQ(form.CountLine, "12 of 36 selected.");
    EXPECT_TRUE(inv == FullInventory()) << "nothing changes before OK";

    ASSERT_TRUE(form.BitBtn1Click());
    EXPECT_FALSE(form.Visible);
    auto expected = FullImage();
    for (int d : {2, 4})
        for (int p = 0; p < 12; ++p)
            expected[static_cast<std::size_t>(840 + d * 12 + p)] = 0;
    expected[1004] = 2;
    expected[1006] = 5;
    EXPECT_EQ(test::ReadBytes(file), expected);
    EXPECT_TRUE(dlg.log.empty());
}

} // namespace
} // namespace velmora
