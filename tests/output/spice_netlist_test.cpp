// The SPICE netlist line by line: hand-written expected files for hand-built stages, the
// op-amp models and their sharing, absent resistors, compensated variants, the sweep and
// the number texts a simulator reads, the refusals, and the form.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "circuits/standard_values.h"
#include "output/netlist_templates.h"
#include "output/output_test_support.h"
#include "output/spice_netlist.h"
#include "support/recording_dialogs.h"
#include "support/temp_files.h"
#include "ui/tfm_spice.h"

namespace velmora {
namespace {

SpiceOptions Sweep100HzTo100kHz() {
    SpiceOptions o;
    o.startHz = 100.0L;
    o.endHz = 100000.0L;
    return o;
}

std::vector<std::string> Build(const TDesign& d, const SpiceOptions& o) {
    const SpiceNetlist n = BuildSpiceNetlist(d, o);
    EXPECT_EQ(n.status, SpiceStatus::Ok) << SpiceStatusMessage(n.status, n.stage);
    return n.lines;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& head) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.starts_with(head)) out.push_back(l);
    return out;
}

TEST(SpiceNetlist, OneStageDefaultFileLineByLine) {
    const TDesign d = outtest::HandBuiltSlp01(1);
    const std::vector<std::string> expected = {
        "****  Velmora Spice File  ****",
        ".SUBCKT IDEALOP 2 1 5",
        "   EIO 5 0 2 1 1.0E+5",
        ".ENDS IDEALOP",
        ".SUBCKT SLP1 1 2",
        "R1 1 3 RMODEL 10.123K",
        "R2 3 4 RMODEL 470",
        "C1 4 0 CMODEL 15nF",
        "C2 2 3 CMODEL 2.2nF",
        "XA1 4 2 2 IDEALOP",
        ".ENDS SLP1",
        ".MODEL RMODEL RES(R=1 DEV=1%)",
        ".MODEL CMODEL CAP(C=1 DEV=1%)",
        "V1 1 0 AC 1",
        "X1 1 2 SLP1",
        ".AC DEC 200  1.00000E+2  1.00000E+5",
        ".PROBE V(2)",
        ".END",
    };
    EXPECT_EQ(Build(d, Sweep100HzTo100kHz()), expected);
}

TEST(SpiceNetlist, OutputRequestsMonteCarloAndTolerances) {
    const TDesign d = outtest::HandBuiltSlp01(2);
    SpiceOptions o = Sweep100HzTo100kHz();
    o.pointsPerDecade = "50";
    o.print = o.plot = o.monteCarlo = true;
    o.runs = "10";
    o.resistorTolerance = "5%";
    o.capacitorTolerance = "10%";
    const auto lines = Build(d, o);
    const std::vector<std::string> tail = {
        ".MODEL RMODEL RES(R=1 DEV=5%)",
        ".MODEL CMODEL CAP(C=1 DEV=10%)",
        "V1 1 0 AC 1",
        "X1 1 2 SLP1",
        "X2 2 3 SLP2",
        ".AC DEC 50  1.00000E+2  1.00000E+5",
        ".PROBE V(2)",
        ".PROBE V(3)",
        ".PRINT AC V(2) V(3)",
        ".PLOT AC V(2) V(3)",
        ".MC 10 AC V(3) YMAX LIST OUTPUT ALL",
        ".END",
    };
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(tail.size()), lines.end()), tail);
    o.probe = false;
    EXPECT_TRUE(LinesStartingWith(Build(d, o), ".PROBE").empty());
}

TEST(SpiceNetlist, SinglePoleModelsAreSharedOnlyByEqualBandwidthAndNoise) {
    // Two stages of 1 MHz and 12 nV/sqrt(Hz): Rn = 1000 (12/4)^2 = 9 kOhm, C = 1e5 /
    // (2 pi 9 kOhm 1 MHz) = 1.768 uF; one model for both.
    TDesign d = outtest::HandBuiltSlp01(2);
    SpiceOptions o = Sweep100HzTo100kHz();
    o.opamp = SpiceOpAmpModel::SinglePole;
    auto lines = Build(d, o);
    const std::vector<std::string> model = {
        ".SUBCKT GENOP1 2 1 6",
        "       R1 3 4 RMODEL 9K",
        "       C1 4 0 CMODEL 1.77uF",
        "       R2 5 6 RMODEL 100",
        "       EGEN1 3 0 2 1 1.0",
        "       EGEN2 5 0 4 0 1.0E+5",
        ".ENDS GENOP1",
    };
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 8), model);
    EXPECT_EQ(LinesStartingWith(lines, ".SUBCKT GENOP").size(), 1u);
    EXPECT_EQ(LinesStartingWith(lines, "XA1"),
              (std::vector<std::string>{"XA1 4 2 2 GENOP1", "XA1 4 2 2 GENOP1"}));

    struct Case {
        const char* name;
        std::array<long double, 3> gbw, noise;
        std::vector<std::string> models; // the .SUBCKT GENOP lines
        std::vector<std::string> opamps; // the op-amp lines of stages 1..3
    };
    const Case cases[] = {
        {"GBWs A, B, A",
         {1e6L, 3e6L, 1e6L},
         {12, 12, 12},
         {".SUBCKT GENOP1 2 1 6", ".SUBCKT GENOP2 2 1 6"},
         {"XA1 4 2 2 GENOP1", "XA1 4 2 2 GENOP2", "XA1 4 2 2 GENOP1"}},
        {"equal GBWs, noise differs in stage 2",
         {1e6L, 1e6L, 1e6L},
         {12, 20, 12},
         {".SUBCKT GENOP1 2 1 6", ".SUBCKT GENOP2 2 1 6"},
         {"XA1 4 2 2 GENOP1", "XA1 4 2 2 GENOP2", "XA1 4 2 2 GENOP1"}},
        {"all different",
         {1e6L, 2e6L, 3e6L},
         {12, 12, 12},
         {".SUBCKT GENOP1 2 1 6", ".SUBCKT GENOP2 2 1 6", ".SUBCKT GENOP3 2 1 6"},
         {"XA1 4 2 2 GENOP1", "XA1 4 2 2 GENOP2", "XA1 4 2 2 GENOP3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d = outtest::HandBuiltSlp01(3);
        for (int i = 1; i <= 3; ++i) {
            d.Circuits[i].OpAmpGBW = c.gbw[static_cast<std::size_t>(i - 1)];
            d.Circuits[i].OpAmpNoise = c.noise[static_cast<std::size_t>(i - 1)];
        }
        lines = Build(d, o);
        EXPECT_EQ(LinesStartingWith(lines, ".SUBCKT GENOP"), c.models);
        EXPECT_EQ(LinesStartingWith(lines, "XA1"), c.opamps);
        // Every model comes before the first stage subcircuit.
        const auto firstStage = std::find(lines.begin(), lines.end(), ".SUBCKT SLP1 1 2");
        const auto lastModel =
            std::find(lines.begin(), lines.end(), ".ENDS GENOP" + std::to_string(c.models.size()));
        EXPECT_LT(lastModel, firstStage);
    }
}

TEST(SpiceNetlist, NoiseResistorLimitsAndModelCapacitorScale) {
    // Rn = 1000 (en/4)^2 within 100 Ohm .. 1 MOhm; C = 1e5 / (2 pi Rn GBW).
    struct Case {
        long double noise, gbw;
        const char* r1;
        const char* c1;
    };
    const Case cases[] = {
        {12, 1e6L, "9K", "1.77uF"},    // 9 kOhm
        {1, 1e6L, "100", "159uF"},     // 62.5 Ohm, raised to 100 Ohm
        {0, 1e6L, "100", "159uF"},     // no noise given: the lower limit
        {200, 1e6L, "1MEG", "15.9nF"}, // 2.5 MOhm, held at 1 MOhm, written MEG, not M (milli)
        {12, 1e3L, "9K", "1.77m"},     // 1.77 mF at 1 kHz: in millifarads, not "0.00" farads
        {1, 1e3L, "100", "159m"},      // 159 mF
        {4, 1e3L, "1K", "15.9m"},      // 15.9 mF
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<double>(c.noise)) + " nV, " +
                     std::to_string(static_cast<double>(c.gbw)));
        TDesign d = outtest::HandBuiltSlp01(1);
        d.Circuits[1].OpAmpNoise = c.noise;
        d.Circuits[1].OpAmpGBW = c.gbw;
        SpiceOptions o = Sweep100HzTo100kHz();
        o.opamp = SpiceOpAmpModel::SinglePole;
        const auto lines = Build(d, o);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[2], std::string("       R1 3 4 RMODEL ") + c.r1);
        EXPECT_EQ(lines[3], std::string("       C1 4 0 CMODEL ") + c.c1);
    }
}

TEST(SpiceNetlist, AbsentResistorLeavesTheOtherLinesAlone) {
    TDesign d = outtest::HandBuiltSlp01(1);
    const auto full = Build(d, Sweep100HzTo100kHz());
    R(d.Circuits[1], 1) = 0.0L;
    const auto without = Build(d, Sweep100HzTo100kHz());
    std::vector<std::string> expected = full;
    expected.erase(std::find(expected.begin(), expected.end(), "R1 1 3 RMODEL 10.123K"));
    EXPECT_EQ(without, expected);
}

TEST(SpiceNetlist, CompensatedStageTakesTheVariantWithTwiceTheOpAmps) {
    // SLP01 compensated: A1(+4, -5, out 2), A2(+2, -5, out 5).
    TDesign d = outtest::HandBuiltSlp01(2);
    TStageCircuit& c = d.Circuits[2];
    c.CompensationInUse = 1;
    c.OpAmpCount = 2;
    const auto lines = Build(d, Sweep100HzTo100kHz());
    const auto at = std::find(lines.begin(), lines.end(), ".SUBCKT SLP2 1 2");
    ASSERT_NE(at, lines.end());
    const std::vector<std::string> stage2 = {
        ".SUBCKT SLP2 1 2",    "R1 1 3 RMODEL 10.123K", "R2 3 4 RMODEL 470", "C1 4 0 CMODEL 15nF",
        "C2 2 3 CMODEL 2.2nF", "XA1 4 5 2 IDEALOP",     "XA2 2 5 5 IDEALOP", ".ENDS SLP2",
    };
    EXPECT_EQ(std::vector<std::string>(at, at + static_cast<long>(stage2.size())), stage2);
    // Stage 1 keeps the plain netlist.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "XA1 4 2 2 IDEALOP"), lines.end());

    // A gain-pair circuit's variant adds R5, R6 (SLP02: R5 6-7, R6 7-0), found by name.
    const Topology* t = FindTopology("SLP02", true);
    ASSERT_NE(t, nullptr);
    const auto section = TakeSection(NetlistTemplateSet(true), "SLP02");
    ASSERT_TRUE(section);
    EXPECT_EQ(section->front(), ".SUBCKT SLP ");
    EXPECT_EQ(section->back(), ".ENDS SLP ");
    EXPECT_NE(std::find(section->begin(), section->end(), "R5 6 7 RMODEL"), section->end());
    EXPECT_NE(std::find(section->begin(), section->end(), "XA2 5 7 6"), section->end());
    EXPECT_FALSE(TakeSection(NetlistTemplateSet(false), "SLP05"));
    EXPECT_EQ(NetlistTemplateSet(false).back(), "[END]");
}

TEST(SpiceNetlist, NumberTexts) {
    struct R {
        long double ohms;
        int n;
        const char* text;
    };
    // (The texts of the standard-value tests are not repeated here.)
    for (const R& r : {R{999.99997e6L, 5, "1000.0MEG"}, R{2.2e9L, 5, "2.2G"}, R{4.7L, 5, "4.7"},
                       R{12349.96L, 4, "12.35K"}})
        EXPECT_EQ(NetlistResistanceText(r.ohms, r.n), r.text) << static_cast<double>(r.ohms);
    struct Cp {
        long double farads;
        int n;
        const char* text;
    };
    for (const Cp& c :
         {Cp{1.5e-8L, 5, "15nF"}, Cp{2.2e-9L, 5, "2.2nF"}, Cp{1.0e-9L, 5, "1nF"}, Cp{4.7e-10L, 5, "470pF"},
          Cp{1.0e-6L, 5, "1uF"}, Cp{1.5e-3L, 5, "1.5m"}, Cp{2.0L, 5, "2"}, Cp{0.159155L, 3, "159m"}})
        EXPECT_EQ(SpiceCapacitanceText(c.farads, c.n), c.text) << static_cast<double>(c.farads);
    struct F {
        long double hz;
        const char* text;
    };
    for (const F& f : {F{100, " 1.00000E+2"}, F{100000, " 1.00000E+5"}, F{0.5L, " 5.00000E-1"},
                       F{5, " 5.00000E+0"}, F{-100, "-1.00000E+2"}, F{999999.999999L, " 1.00000E+6"}})
        EXPECT_EQ(SweepFrequencyText(f.hz), f.text) << static_cast<double>(f.hz);
}

TEST(SpiceNetlist, RefusalsLeaveNoLines) {
    const TDesign good = outtest::HandBuiltSlp01(2);
    struct Case {
        const char* name;
        long double start, end;
        const char* points;
        bool mc;
        const char* runs;
        SpiceStatus status;
    };
    const Case cases[] = {
        {"zero start", 0, 1000, "200", false, "2", SpiceStatus::BadStart},
        {"negative start", -1, 1000, "200", false, "2", SpiceStatus::BadStart},
        {"end at the start", 1000, 1000, "200", false, "2", SpiceStatus::BadEnd},
        {"end below the start", 1000, 100, "200", false, "2", SpiceStatus::BadEnd},
        {"no points", 100, 1000, "0", false, "2", SpiceStatus::BadPoints},
        {"fractional points", 100, 1000, "2.5", false, "2", SpiceStatus::BadPoints},
        {"points not a number", 100, 1000, "abc", false, "2", SpiceStatus::BadPoints},
        {"no runs", 100, 1000, "200", true, "0", SpiceStatus::BadRuns},
        {"runs unused", 100, 1000, "200", false, "x", SpiceStatus::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpiceOptions o;
        o.startHz = c.start;
        o.endHz = c.end;
        o.pointsPerDecade = c.points;
        o.monteCarlo = c.mc;
        o.runs = c.runs;
        const SpiceNetlist n = BuildSpiceNetlist(good, o);
        EXPECT_EQ(n.status, c.status);
        EXPECT_EQ(n.lines.empty(), c.status != SpiceStatus::Ok);
    }
    // A stage without a calculated circuit.
    TDesign d = good;
    d.Circuits[2].CircuitChoice = 0;
    SpiceNetlist n = BuildSpiceNetlist(d, Sweep100HzTo100kHz());
    EXPECT_EQ(n.status, SpiceStatus::MissingCircuit);
    EXPECT_EQ(n.stage, 2);
    d = good;
    d.Circuits[1].NotRealisable = 1;
    EXPECT_EQ(BuildSpiceNetlist(d, Sweep100HzTo100kHz()).stage, 1);
    d = good;
    d.DesignLevel = LevelCircuitsSelected;
    EXPECT_EQ(BuildSpiceNetlist(d, Sweep100HzTo100kHz()).status, SpiceStatus::MissingCircuit);
}

class TempDir {
  public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("velmora-spice-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

using test::ReadText;

TEST(TfmSpiceForm, InitialStateAndSweepLimitsFromTheGraph) {
    TDesign d = outtest::HandBuiltSlp01(1);
    test::RecordingDialogs dlg;
    TfmSpice f(d, dlg);
    EXPECT_EQ(f.Edit3.Text, "200");
    EXPECT_TRUE(f.CheckBox1.Checked);
    EXPECT_FALSE(f.CheckBox2.Checked || f.CheckBox3.Checked || f.CBox1.Checked);
    EXPECT_EQ(f.Edit4.Text, "2");
    EXPECT_EQ(f.ComboBox3.Text(), "1%");
    EXPECT_EQ(f.ComboBox4.Text(), "1%");
    EXPECT_FALSE(f.Edit4.Enabled || f.ComboBox3.Enabled || f.ComboBox4.Enabled);
    EXPECT_TRUE(f.RadioButton1Checked);
    f.CBox1.Checked = true;
    f.CBox1Click();
    EXPECT_TRUE(f.Edit4.Enabled && f.ComboBox3.Enabled && f.ComboBox4.Enabled);
    f.CBox1.Checked = false;
    f.CBox1Click();
    EXPECT_FALSE(f.Edit4.Enabled || f.ComboBox3.Enabled || f.ComboBox4.Enabled);

    struct Case {
        FrequencyAxis axis;
        const char *start, *startUnit, *end, *endUnit;
        long double startHz, endHz;
    };
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    const Case cases[] = {
        {{100, 100000, true, true, 2}, "100.00", "Hz", "100.00", "kHz", 100, 100000},
        {{twoPi * 10, twoPi * 1000, true, false, 1}, "10.00", "Hz", " 1.00", "kHz", 10, 1000},
        {{999.999L, 12345.6L, true, true, 2}, "1000.00", "Hz", "12.35", "kHz", 999.999L, 12345.6L},
        // A lower limit that shows as "0.00" is still written as the limit it stands for.
        {{0.001L, 10, true, true, -3}, " 0.00", "Hz", "10.00", "Hz", 0.001L, 10},
    };
    for (const Case& c : cases) {
        f.FormShow(c.axis);
        EXPECT_EQ(f.Edit1.Text, c.start);
        EXPECT_EQ(f.ComboBox1.Text(), c.startUnit);
        EXPECT_EQ(f.Edit2.Text, c.end);
        EXPECT_EQ(f.ComboBox2.Text(), c.endUnit);
        SpiceOptions o;
        ASSERT_EQ(f.ReadOptions(o), SpiceStatus::Ok);
        EXPECT_NEAR(static_cast<double>(o.startHz), static_cast<double>(c.startHz),
                    1e-9 * static_cast<double>(c.startHz));
        EXPECT_NEAR(static_cast<double>(o.endHz), static_cast<double>(c.endHz),
                    1e-9 * static_cast<double>(c.endHz));
    }
    // Typed values count as typed, in the unit chosen.
    f.Edit1.Text = "2.5";
    f.ComboBox1.ItemIndex = 1;
    f.Edit2.Text = "50";
    f.ComboBox2.ItemIndex = 1;
    SpiceOptions o;
    ASSERT_EQ(f.ReadOptions(o), SpiceStatus::Ok);
    EXPECT_EQ(o.startHz, 2500.0L);
    EXPECT_EQ(o.endHz, 50000.0L);
    f.Edit1.Text = "0";
    EXPECT_EQ(f.ReadOptions(o), SpiceStatus::BadStart);
}

TEST(TfmSpiceForm, OkWritesTheFileOrSaysWhyNot) {
    TempDir dir;
    TDesign d = outtest::HandBuiltSlp01(1);
    test::RecordingDialogs dlg;
    TfmSpice f(d, dlg);
    f.FormShow({100, 100000, true, true, 2});

    // Cancelled: nothing written, the form closes.
    dlg.files.push_back(std::nullopt);
    EXPECT_FALSE(f.BitBtn1Click());
    EXPECT_FALSE(f.Visible);
    EXPECT_EQ(dlg.messages(), (std::vector<std::string>{"file save: "}));

    // Written, replacing what was there.
    const std::string path = dir.file("filter.cir");
    { std::ofstream(path) << "old"; }
    dlg.clear();
    dlg.files.push_back(path);
    f.FormShow({100, 100000, true, true, 2});
    EXPECT_TRUE(f.BitBtn1Click());
    EXPECT_EQ(ReadText(path), SpiceText(BuildSpiceNetlist(d, Sweep100HzTo100kHz()).lines));

    // ngspice: the data file is named after the netlist.
    f.FormShow({100, 100000, true, true, 2});
    f.ComboBox5.ItemIndex = 1;
    dlg.files.push_back(path);
    EXPECT_TRUE(f.BitBtn1Click());
    EXPECT_NE(ReadText(path).find("wrdata filter.ac.txt V(2)\n"), std::string::npos);

    // A bad entry: a beep and the reason; no file dialog, the form stays.
    dlg.clear();
    f.FormShow({100, 100000, true, true, 2});
    f.Edit3.Text = "2.5";
    EXPECT_FALSE(f.BitBtn1Click());
    EXPECT_TRUE(f.Visible);
    EXPECT_EQ(dlg.log,
              (std::vector<std::string>{"beep", "warning: The number of points per decade must be a whole "
                                                "number above 0."}));

    // A stage without components: the netlist is not offered.
    dlg.clear();
    d.Circuits[1].CircuitChoice = 0;
    f.Edit3.Text = "200";
    EXPECT_FALSE(f.BitBtn1Click());
    EXPECT_EQ(dlg.messages(),
              (std::vector<std::string>{"error: A SPICE netlist needs the calculated components of "
                                        "every stage; stage 1 has none."}));

    // A folder that cannot be written: the system's message.
    d.Circuits[1].CircuitChoice = 1;
    dlg.clear();
    dlg.files.push_back(dir.file("no-such-folder/filter.cir"));
    f.FormShow({100, 100000, true, true, 2});
    EXPECT_FALSE(f.BitBtn1Click());
    ASSERT_EQ(dlg.messages().size(), 2u);
    EXPECT_TRUE(dlg.messages()[1].starts_with("error: ")) << dlg.messages()[1];
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(SpiceNetlist, OptionsForTheGraphTakeItsLimitsInHz) {
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    SpiceOptions o = SpiceOptionsForGraph({20, 20000, true, true, 1});
    EXPECT_EQ(o.startHz, 20.0L);
    EXPECT_EQ(o.endHz, 20000.0L);
    o = SpiceOptionsForGraph({twoPi * 100, twoPi * 1000, true, false, 2});
    EXPECT_NEAR(static_cast<double>(o.startHz), 100.0, 1e-12);
    EXPECT_NEAR(static_cast<double>(o.endHz), 1000.0, 1e-11);
    EXPECT_EQ(o.pointsPerDecade, "200");
    EXPECT_TRUE(o.probe);
    EXPECT_FALSE(o.print || o.plot || o.monteCarlo);
    EXPECT_EQ(o.opamp, SpiceOpAmpModel::Vcvs);
    EXPECT_EQ(o.dialect, SpiceDialect::Default);
}

} // namespace
} // namespace velmora
