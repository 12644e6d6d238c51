// The save question a new design asks of a modified one: No, Yes with a save that fails,
// Yes with a good file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/recording_dialogs.h"
#include "support/temp_files.h"
#include "ui/tfm_main.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::RecordingDialogs;

struct Main {
    TDesign d;
    RecordingDialogs dlg;
    TfmMain main{d, dlg};

    // A calculated lowpass: modified, at level 2.
    void calculated() {
        main.Lowpass1Click();
        main.ParEnt.CalcBtnClick();
        main.ParEnt.BitBtn1Click();
        dlg.clear();
    }
};

fs::path TempDir() {
    return test::MakeTempDir("velmora_main_");
}

TEST(TfmMain, SaveQuestionAnswers) {
    // No: the new design replaces the old one.
    {
        Main m;
        m.calculated();
        m.dlg.answers = {Answer::No};
        m.main.Highpass1Click();
        EXPECT_EQ(m.dlg.log, std::vector<std::string>{"ask yes/no/cancel: Do you wish to save this design?"});
        EXPECT_EQ(m.d.Spec.FilterType, Highpass);
        EXPECT_EQ(m.d.DesignLevel, 0);
        EXPECT_EQ(m.d.Modified, 0);
    }
    // Yes, and a save that fails: the message is shown and the command is cancelled.
    {
        Main m;
        m.calculated();
        fs::path dir = TempDir();
        fs::path blocker = dir / "not_a_folder";
        std::ofstream(blocker) << "x";
        m.dlg.answers = {Answer::Yes};
        m.dlg.files = {(blocker / "design.fl3").string()};
        m.main.Lowpass1Click();
        ASSERT_EQ(m.dlg.log.size(), 3u);
        EXPECT_EQ(m.dlg.log[2].rfind("error: ", 0), 0u) << m.dlg.log[2];
        EXPECT_EQ(m.d.DesignLevel, LevelApproximations);
        EXPECT_EQ(m.d.Modified, 1);
        EXPECT_TRUE(m.d.FileName.empty());
        fs::remove_all(dir);
    }
    // Yes with a good file: saved, named, then the new design starts.
    {
        Main m;
        m.calculated();
        fs::path dir = TempDir();
        const std::string file = (dir / "lp.fl3").string();
        m.dlg.answers = {Answer::Yes};
        m.dlg.files = {file};
        m.main.Highpass1Click();
        EXPECT_TRUE(fs::exists(file));
        EXPECT_EQ(m.d.Spec.FilterType, Highpass);
        EXPECT_TRUE(m.d.FileName.empty());
        fs::remove_all(dir);
    }
}

} // namespace
} // namespace velmora
