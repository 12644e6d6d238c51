// The main window's workflow: starting designs, the save question with its two texts
// and three answers, the caption, and the pairing and cascading options.
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
    // Cancel: the design and the form stay as they were.
    {
        Main m;
        m.calculated();
        m.dlg.answers = {Answer::Cancel};
        m.main.Bandstop1Click();
        EXPECT_EQ(m.d.Spec.FilterType, Lowpass);
        EXPECT_EQ(m.d.DesignLevel, LevelApproximations);
        EXPECT_EQ(m.d.Approx[Butterworth].Result.Order, 7);
        EXPECT_EQ(m.d.Modified, 1);
    }
    // Yes on an untitled design runs Save As; a cancelled file dialog cancels the command.
    {
        Main m;
        m.calculated();
        m.dlg.answers = {Answer::Yes};
        m.dlg.files = {std::nullopt};
        m.main.CloseDesign1Click();
        EXPECT_EQ(m.dlg.log, (std::vector<std::string>{"ask yes/no/cancel: Do you wish to save this design?",
                                                       "file save: *.fl3"}));
        EXPECT_EQ(m.d.DesignLevel, LevelApproximations);
        EXPECT_EQ(m.d.Modified, 1);
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

TEST(TfmMain, SaveAsNamesTheDesignAndAsksBeforeOverwriting) {
    Main m;
    m.calculated();
    fs::path dir = TempDir();
    const std::string file = (dir / "a.fl3").string();
    m.dlg.files = {file};
    ASSERT_TRUE(m.main.Savedesignas1Click());
    EXPECT_EQ(m.main.Caption, std::string("Velmora: ") + file);
    EXPECT_EQ(m.d.Modified, 0);
    const auto size = fs::file_size(file);
    EXPECT_EQ(size, 7743u); // a design without stages

    // A modified design with a file: the other question text; Cancel on the overwrite
    // question leaves the file and the name alone.
    m.d.Modified = 1;
    m.dlg.clear();
    m.dlg.answers = {Answer::Cancel};
    m.dlg.files = {file};
    EXPECT_FALSE(m.main.Savedesignas1Click());
    EXPECT_EQ(m.dlg.log.back(), "ask warning: File already exists. OK to overwrite?");
    m.dlg.clear();
    m.dlg.answers = {Answer::Cancel};
    m.main.Lowpass1Click();
    EXPECT_EQ(m.dlg.log, std::vector<std::string>{"ask yes/no/cancel: Do you wish to save the changes?"});
    // Save to the existing name needs no dialog.
    m.dlg.clear();
    EXPECT_TRUE(m.main.Savedesign1Click());
    EXPECT_TRUE(m.dlg.log.empty());
    EXPECT_EQ(m.d.Modified, 0);
    fs::remove_all(dir);
}

TEST(TfmMain, ExitAndOptions) {
    Main m;
    EXPECT_TRUE(m.main.Exit1Click()); // nothing to save
    m.calculated();
    m.dlg.answers = {Answer::Cancel};
    EXPECT_FALSE(m.main.Exit1Click());
    m.main.UI1Click();
    m.main.UI2Click();
    EXPECT_EQ(m.d.Opt.AutoPairing, 0);
    EXPECT_EQ(m.d.Opt.AutoCascading, 0);
    m.main.Auto1Click();
    m.main.Auto2Click();
    EXPECT_EQ(m.d.Opt.AutoPairing, 1);
    EXPECT_EQ(m.d.Opt.AutoCascading, 1);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(TfmMain, AutomaticPathFromSpecificationToCircuitSelection) {
    Main m;
    m.main.Lowpass1Click();
    m.main.ParEnt.CalcBtnClick();
    m.main.ParEnt.BitBtn1Click();
    EXPECT_TRUE(m.main.Graph.Visible);
    EXPECT_FALSE(m.main.ParEnt.Visible);
    m.main.Graph.RadioGroup2Click(Elliptic);
    m.main.Graph.BitBtn1Click();
    // Automatic pairing and cascading: paired, cascaded and gains set in one move.
    EXPECT_EQ(m.d.DesignLevel, LevelCascaded);
    EXPECT_EQ(m.d.SelectedApprox, Elliptic);
    EXPECT_EQ(m.d.StageCount, 2);
    EXPECT_EQ(m.main.LastHandOver, NextWindow::CircuitSelection);
    EXPECT_TRUE(m.main.CirSel.Visible);
    EXPECT_FALSE(m.main.Graph.Visible);
    EXPECT_TRUE(m.dlg.messages().empty());

    // With interactive pairing the pairing window opens instead.
    Main i;
    i.main.UI1Click();
    EXPECT_FALSE(i.main.Pairs.Visible); // nothing to pair yet
    i.main.Lowpass1Click();
    i.main.ParEnt.CalcBtnClick();
    i.main.ParEnt.BitBtn1Click();
    i.main.Graph.BitBtn1Click();
    EXPECT_EQ(i.main.LastHandOver, NextWindow::Pairing);
    EXPECT_TRUE(i.main.Pairs.Visible);
    EXPECT_EQ(i.d.DesignLevel, LevelApproxChosen);

    // A new design hides every step window.
    m.dlg.answers = {Answer::No};
    m.main.Highpass1Click();
    EXPECT_FALSE(m.main.CirSel.Visible);
    EXPECT_FALSE(m.main.Graph.Visible);
    EXPECT_TRUE(m.main.ParEnt.Visible);
}

} // namespace
} // namespace velmora

#include "analysis/final_response.h"
#include "analysis/ideal_responses.h"
#include "circuits/selection.h"
#include "circuits/standard_values.h"

namespace velmora {
namespace {

TEST(TfmMain, ComponentOptionsRecalculateTheCircuits) {
    Main m;
    m.main.Lowpass1Click();
    m.main.ParEnt.CalcBtnClick();
    m.main.ParEnt.BitBtn1Click();
    m.main.Graph.BitBtn1Click();
    ASSERT_TRUE(DesignStageCircuits(m.d).ok);
    ASSERT_EQ(m.d.DesignLevel, LevelComponents);

    // Every capacitor standard: the capacitors become 12-value series values and the
    // resistors are calculated again for them, so the realised filter is unchanged.
    m.dlg.clear();
    m.main.Allcapsstandardvalues1Click();
    // A stage whose circuit cannot take other capacitors keeps them and is named.
    std::string told;
    for (const std::string& l : m.dlg.log)
        told += l + "\n";
    for (int s = 1; s <= m.d.StageCount; ++s) {
        const TStageCircuit& c = m.d.Circuits[s];
        bool standard = true;
        for (int k = 1; k <= c.CapacitorCount; ++k)
            standard = standard && FindStandardCapacitor(C(c, k)).has_value();
        EXPECT_TRUE(standard || told.find(std::to_string(s)) != std::string::npos) << "stage " << s << "\n"
                                                                                   << told;
    }
    const std::vector<FinalFrequencySample> fin = FinalResponseSamples(m.d);
    const std::vector<IdealResponseTable> ideal =
        IdealResponseTables(m.d, DefaultIdealAxes(m.d), m.d.SelectedApprox);
    ASSERT_EQ(fin.size(), ideal.at(0).Samples.size());
    for (size_t i = 0; i < fin.size(); ++i) {
        if (ideal[0].Samples[i].GainDb <= -199) continue; // a marked notch point
        EXPECT_NEAR(fin[i].GainDb, ideal[0].Samples[i].GainDb, 0.02L) << i;
    }

    // Component characteristics: a changed tolerance is stored and the metrics re-run.
    m.main.Componentcharacteristics1Click();
    ASSERT_TRUE(m.main.Characteristics.Visible);
    m.main.Characteristics.ResistorToleranceIndex = 5; // "5"
    m.main.CharacteristicsOkClick();
    EXPECT_FALSE(m.main.Characteristics.Visible);
    EXPECT_EQ((long double)m.d.Components.ResistorTolerance, 5.0L);
    EXPECT_EQ(m.d.DesignLevel, LevelComponents);
}

} // namespace
} // namespace velmora
