// The SPICE netlist where the simulator cross-check cannot judge it: the number texts a
// simulator reads (MEG, not M), the single-pole model's noise resistor and its limits, the
// refusals, and the form that writes the file. What the netlists compute is checked by
// running them in ngspice (ngspice_crosscheck_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/messages.h"
#include "circuits/standard_values.h"
#include "output/output_test_support.h"
#include "output/spice_netlist.h"
#include "support/recording_dialogs.h"
#include "support/temp_files.h"
#include "ui/tfm_spice.h"

namespace velmora {
namespace {

const auto Sweep100HzTo100kHz = []() -> SpiceOptions { return {.startHz = 100.0L, .endHz = 100000.0L}; };

std::vector<std::string> Build(const TDesign& d, const SpiceOptions& o) {
    const SpiceNetlist n = BuildSpiceNetlist(d, o);
    EXPECT_EQ(n.status, SpiceStatus::Ok) << app::SpiceStatusMessage(n.status, n.stage);
    return n.lines;
}

TEST(SpiceNetlist, NoiseResistorLimitsAndModelCapacitorScale) {
    // Rn = 1000 (en/4)^2 within 100 Ohm .. 1 MOhm; C = 1e5 / (2 pi Rn GBW).
    const std::tuple<long double, long double, const char*, const char*> cases[] = {
        {12, 1e6L, "9K", "1.77uF"},    // 9 kOhm
        {1, 1e6L, "100", "159uF"},     // 62.5 Ohm, raised to 100 Ohm
        {0, 1e6L, "100", "159uF"},     // no noise given: the lower limit
        {200, 1e6L, "1MEG", "15.9nF"}, // 2.5 MOhm, held at 1 MOhm, written MEG, not M (milli)
        {12, 1e3L, "9K", "1.77m"},     // 1.77 mF at 1 kHz: in millifarads, not "0.00" farads
        {1, 1e3L, "100", "159m"},      // 159 mF
        {4, 1e3L, "1K", "15.9m"},      // 15.9 mF
    };
    for (const auto& [noise, gbw, r1, c1] : cases) {
        SCOPED_TRACE(testing::Message() << double(noise) << " nV, " << double(gbw));
        TDesign d = outtest::HandBuiltSlp01(1);
        d.Circuits[1].OpAmpNoise = noise;
        d.Circuits[1].OpAmpGBW = gbw;
        const auto lines =
            Build(d, {.opamp = SpiceOpAmpModel::SinglePole, .startHz = 100.0L, .endHz = 100000.0L});
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[2], std::string("       R1 3 4 RMODEL ") + r1);
        EXPECT_EQ(lines[3], std::string("       C1 4 0 CMODEL ") + c1);
    }
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
    const std::tuple<const char*, long double, long double, const char*, bool, const char*, SpiceStatus>
        cases[] = {
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
    for (const auto& [name, start, end, points, mc, runs, status] : cases) {
        SCOPED_TRACE(name);
        const SpiceOptions o{
            .startHz = start, .endHz = end, .pointsPerDecade = points, .monteCarlo = mc, .runs = runs};
        const SpiceNetlist n = BuildSpiceNetlist(good, o);
        EXPECT_EQ(std::tuple(n.status, n.lines.empty()), std::tuple(status, status != SpiceStatus::Ok));
    }
    // A stage without a calculated circuit.
    TDesign d = good;
    d.Circuits[2].CircuitChoice = 0;
    SpiceNetlist n = BuildSpiceNetlist(d, Sweep100HzTo100kHz());
    EXPECT_EQ(std::tuple(n.status, n.stage), std::tuple(SpiceStatus::MissingCircuit, 2));
    d = good;
    d.Circuits[1].NotRealisable = 1;
    EXPECT_EQ(BuildSpiceNetlist(d, Sweep100HzTo100kHz()).stage, 1);
    d = good;
    d.DesignLevel = LevelCircuitsSelected;
    EXPECT_EQ(BuildSpiceNetlist(d, Sweep100HzTo100kHz()).status, SpiceStatus::MissingCircuit);
}

using test::ReadText;

TEST(TfmSpiceForm, OkWritesTheFileOrSaysWhyNot) {
    const std::filesystem::path dir = test::MakeTempDir("velmora-spice-");
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
    const std::string path = (dir / "filter.cir").string();
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
    dlg.files.push_back((dir / "no-such-folder/filter.cir").string());
    f.FormShow({100, 100000, true, true, 2});
    EXPECT_FALSE(f.BitBtn1Click());
    ASSERT_EQ(dlg.messages().size(), 2u);
    EXPECT_TRUE(dlg.messages()[1].starts_with("error: ")) << dlg.messages()[1];
}

} // namespace
} // namespace velmora
