// The command line, run in-process: exit statuses, messages on stderr, the report
// and the JSON document.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <numbers>
#include <sstream>
#include <unistd.h>

#include "cli.h"
#include "support/cli_run.h"
#include "support/temp_files.h"

namespace velmora::cli {
namespace {

using velmora::test::Result;
using velmora::test::Velmora;

// Every refusal prints one line on stderr: the entry form's own message where the form
// refuses the entry, the named option otherwise. Usage errors exit 2 and report nothing;
// a design that cannot be done exits 1.
TEST(Cli, Refusals) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message; // the whole line after "velmora: ", or empty: any
    } cases[] = {
        {{"design", "--fpb", "101M", "--fsb", "200M"},
         2,
         "All edge and center frequencies are limited to a maximum of 100MHz (628Mrad/s)."},
        {{"design", "--order", "0"}, 2, "--order: An integer number must be entered."},
        {{"design", "--order", "21"}, 2, "Maximum order is 20."},
        {{"design", "--type", "bandstop", "--order", "5"}, 2, "Order must be an even number."},
        {{"design", "--apb", "0"}, 2, "--apb: Invalid Number."},
        {{"design", "--fpb", "0"}, 2, "--fpb: Invalid Number."},
        {{"design", "--apb", "40"}, 2, "Stopband attenuation must exceed passband attenuation."},
        {{"design", "--gain-db", "60.1"}, 2, "Maximum allowable overall gain is 60dB (1000V/V)."},
        {{"design", "--gain", "0.05"}, 2, "Minimum allowable overall gain is 0.1V/V."},
        {{"design", "--circuit", "1:FLP01"}, 2, "circuit FLP01 cannot realise stage 1, a SLPN stage"},
        {{"design", "--asb", "400", "--apb", "0.01"}, 1, ""}, // no approximation meets it
        {{"design", "--approx", "bessel"},
         1,
         "the Bessel (Thompson) approximation cannot be used for this specification (its order would exceed "
         "20 or its largest pole Q 300)"},
        {{"design", "--fpb", "-5"}, 2, ""},
        {{"design", "--fpb", "abc"}, 2, ""},
        {{"design", "--fsb", "1kk"}, 2, ""},
        {{"design", "--apb", "-0.5"}, 2, ""},
        {{"design", "--asb", "nan"}, 2, ""},
        {{"design", "--gain", "-1"}, 2, ""},
        {{"design", "--order", "-3"}, 2, ""},
        {{"design", "--order", "2.5"}, 2, ""},
        {{"design", "--type", "allpass"}, 2, ""},
        {{"design", "--type", "bandpass", "--fpb", "1k"}, 2, ""},
        {{"design", "--f0", "1k"}, 2, ""},
        {{"design", "--gain", "2", "--gain-db", "6"}, 2, ""},
        {{"design", "--no-such-option"}, 2, ""},
        {{"design", "--first-stage", "slp,xyz"}, 2, ""},
        {{"design", "--circuit", "XYZ01"}, 2, ""},
        {{"design", "--circuit", "SBP03"}, 2, ""}, // no bandpass stage
        {{"design", "--circuit", "9:SLP01"}, 2, ""},
        {{"design", "--circuit", "2:SLPN01"}, 2, ""}, // stage 2 is first order
        {{"design", "--gbw", "-1M"}, 2, ""},
        {{"design", "--predistort", "1", "--compensate", "1"}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Result r = Velmora(c.args);
        EXPECT_EQ(r.status, c.status);
        if (c.status == 2) {
            EXPECT_TRUE(r.out.empty()) << "a usage error reports nothing";
        }
        if (c.message.empty()) {
            EXPECT_TRUE(r.err.rfind("velmora: ", 0) == 0 && r.err.find('\n') == r.err.size() - 1) << r.err;
        } else {
            EXPECT_EQ(r.err, "velmora: " + c.message + "\n");
        }
    }
    EXPECT_EQ(Velmora({"design", "--fpb", "50M", "--fsb", "100M"}).status, 0) << "the limit itself is taken";
}

TEST(Cli, JsonSpecificationInRadPerSecond) {
    // rad/s entries; gain in dB.
    Result r = Velmora({"design", "--rad", "--fpb", "1000", "--fsb", "3000", "--gain-db", "20", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    const double twoPi = 2 * std::numbers::pi;
    EXPECT_NEAR(j["specification"]["wpb"].get<double>(), 1000.0, 1e-8);
    EXPECT_NEAR(j["specification"]["wsb"].get<double>(), 3000.0, 1e-8);
    EXPECT_NEAR(j["specification"]["OverallGain"].get<double>(), 10.0, 1e-10);

    // A frequency that needs more than the field's six characters keeps its value.
    r = Velmora({"design", "--fpb", "1234.5678", "--fsb", "5k", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_NEAR(j["specification"]["wpb"].get<double>(), 1234.5678 * twoPi, 1e-8);
}

TEST(Cli, HelpAndVersion) {
    Result r = Velmora({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("velmora ", 0), 0u);
    r = Velmora({"design", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--fpb"), std::string::npos);
    EXPECT_NE(r.out.find("Examples"), std::string::npos);
    r = Velmora({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("design"), std::string::npos);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

TEST(Cli, PlotsAreWrittenPerTab) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "velmora_cli_plots";
    fs::remove_all(dir);
    Result r = Velmora({"design", "--approx", "chebyshev", "--plots", dir.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name :
         {"gain.svg", "phase.svg", "delay.svg", "step.svg", "impulse.svg", "pole_zero.svg"}) {
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        std::ifstream in(dir / name);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find("<svg"), std::string::npos);
        EXPECT_NE(text.find("Chebyshev"), std::string::npos) << name;
        EXPECT_EQ(text.find("Butterworth"), std::string::npos) << name; // only the chosen one
    }
    fs::remove_all(dir);
}

// One schematic per stage, carrying the values the report prints, for the plain and the
// compensated circuits alike.
TEST(Cli, SchematicsPerStage) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("velmora_cli_schematics_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    Result r = Velmora({"design", "--approx", "chebyshev", "--circuit", "SLP01", "--compensate", "all",
                        "--schematics", dir.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path first = dir / "stage1_SLP01.svg";
    ASSERT_TRUE(fs::exists(first)) << r.out;
    std::ifstream in(first);
    const std::string svg((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(svg.find("(compensated)"), std::string::npos);
    // The report's values of stage 1, "R1=2.62K R2=...", each appear as a text.
    const std::size_t at = r.out.find("Stage 1: SLP01");
    ASSERT_NE(at, std::string::npos);
    std::istringstream values(r.out.substr(r.out.find('\n', at) + 1));
    std::string line, item;
    for (int k = 0; k < 2 && std::getline(values, line); ++k) {
        std::istringstream items(line);
        while (items >> item)
            EXPECT_NE(svg.find(">" + item.substr(item.find('=') + 1) + "<"), std::string::npos) << item;
    }
    fs::remove_all(dir);

    r = Velmora({"design", "--type", "bandstop", "--f0", "10k", "--bpb", "3k", "--bsb", "1k", "--approx",
                 "inverse-chebyshev", "--circuit", "SN02", "--schematics", dir.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("no schematic"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir / "stage1_SN02.svg"));
    EXPECT_TRUE(fs::exists(dir / "stage2_SHPN01.svg"));
    fs::remove_all(dir);
}

TEST(Cli, ApproximationChoiceAndStages) {
    Result r = Velmora({"design", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    // The default lowpass (its report is a golden file) as JSON: every usable
    // approximation's ideal response.
    EXPECT_EQ(j["ideal_response"].size(), 4u); // every usable approximation
    EXPECT_EQ(j["ideal_response"][0]["samples"].size(), 351u);
    EXPECT_EQ(j["ideal_response"][0]["time"].size(), 351u);
    // An odd-order elliptic lowpass peaks at DC, so the stages' DC gains To C / F
    // multiply to the overall gain.
    double product = 1;
    for (const auto& c : j["coefficients"])
        product *= c["To"].get<double>() * c["C"].get<double>() / c["F"].get<double>();
    EXPECT_NEAR(product, 1.0, 1e-9);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

TEST(Cli, CircuitsEndToEndMatchTheIdealResponse) {
    // Every filter type, automatic circuits: every stage realisable with positive
    // components, and the realised filter's response equals the chosen approximation's
    // ideal response (the overall gain included) within 0.01 dB at every point for the
    // default design. Exact resistors that happen to be standard values are marked by
    // raising them 0.02 %, which moves a narrow bandpass by up to about 0.011 dB, so the
    // other designs are held to 0.02 dB.
    const std::vector<std::vector<std::string>> designs = {
        {"design", "--json"},
        {"design", "--json", "--type", "highpass", "--gain", "4"},
        {"design", "--json", "--type", "bandpass", "--f0", "10k", "--bpb", "2k", "--bsb", "6k"},
        {"design", "--json", "--type", "bandstop", "--approx", "chebyshev"},
        {"design", "--json", "--approx", "butterworth", "--circuit", "SLP01,FLP03"},
        {"design", "--json", "--approx", "butterworth", "--circuit", "SLP08"},
    };
    for (const auto& args : designs) {
        SCOPED_TRACE(args.size() > 2 ? args[2] + " " + args.back() : "default");
        Result r = Velmora(args);
        ASSERT_EQ(r.status, 0) << r.err;
        auto j = nlohmann::json::parse(r.out);
        ASSERT_EQ(j["circuits"].size(), j["stages"].size());
        for (const auto& c : j["circuits"]) {
            EXPECT_EQ(c["not_realisable"], false);
            EXPECT_FALSE(c["components"].empty());
            for (auto& [name, value] : c["components"].items())
                EXPECT_GT(value.get<double>(), 0) << name;
        }
        const int chosen = j["chosen_approximation"];
        const nlohmann::json* ideal = nullptr;
        for (const auto& a : j["ideal_response"])
            if (a["index"] == chosen) ideal = &a;
        ASSERT_NE(ideal, nullptr);
        const auto& fin = j["final_response"]["samples"];
        ASSERT_EQ(fin.size(), 351u);
        for (size_t i = 0; i < 351; ++i) {
            const double id = (*ideal)["samples"][i]["gain_db"], fd = fin[i]["gain_db"];
            EXPECT_NEAR(fin[i]["f_hz"].get<double>(), (*ideal)["samples"][i]["f_hz"].get<double>(),
                        1e-9 * fin[i]["f_hz"].get<double>());
            if (id <= -199) continue; // a marked notch point or the -400 dB floor
            EXPECT_NEAR(fd, id, args.size() == 2 ? 0.01 : 0.02) << "point " << i;
        }
    }
    // The keys asked for are the circuits used.
    Result r = Velmora({"design", "--json", "--approx", "butterworth", "--circuit", "1:SLP13,SLP03,FLP03"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["circuits"][0]["key"], "SLP13");
    for (size_t i = 1; i < j["circuits"].size(); ++i)
        EXPECT_TRUE(j["circuits"][i]["key"] == "SLP03" || j["circuits"][i]["key"] == "FLP03");
}

TEST(Cli, CompensateAndPredistortAll) {
    // "all" compensates every stage whose circuit offers it and predistorts the others:
    // this notch's highpass-notch circuit has a compensated variant, its lowpass-notch
    // circuit none.
    Result all = Velmora({"design", "--type", "bandstop", "--f0", "50", "--bpb", "20", "--bsb", "2", "--asb",
                          "40", "--compensate", "all", "--predistort", "all", "--json"});
    ASSERT_EQ(all.status, 0) << all.err;
    const auto circuits = nlohmann::json::parse(all.out)["circuits"];
    ASSERT_EQ(circuits.size(), 2u);
    EXPECT_EQ(circuits[0]["key"], "SHPN01");
    EXPECT_TRUE(circuits[0]["compensated"]);
    EXPECT_FALSE(circuits[0]["predistort"]);
    EXPECT_EQ(circuits[1]["key"], "SLPN10");
    EXPECT_FALSE(circuits[1]["compensated"]);
    EXPECT_TRUE(circuits[1]["predistort"]);
    Result r = Velmora({"design", "--gbw", "10M", "--predistort", "all", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    for (const auto& c : j["circuits"])
        EXPECT_EQ(c["OpAmpGBW"].get<double>(), 1e7);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

namespace fs = std::filesystem;

using test::ReadText;

TEST(Cli, UserDefinedSections) {
    Result r = Velmora({"user", "--section", "lp2:q=0.707,fp=1k", "--section", "hp1:p=100", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["specification"]["FilterType"], 4);
    ASSERT_EQ(j["stages"].size(), 2u);
    EXPECT_EQ(j["stages"][0]["type"], "SLP ");
    EXPECT_EQ(j["stages"][1]["type"], "FHP ");
    EXPECT_NEAR(j["stages"][0]["wp"].get<double>(), 2000 * std::numbers::pi, 1e-8);
    EXPECT_EQ(j["circuits"].size(), 2u);
    // The form's rules refuse a section; malformed options are usage errors.
    r = Velmora({"user", "--section", "lp2:q=0.5,fp=1k"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "velmora: section 1: Q must be >0.5.\n");
    EXPECT_EQ(Velmora({"user", "--section", "lp3:q=1,fp=1k"}).status, 2);
    EXPECT_EQ(Velmora({"user", "--section", "lp2:q=1"}).status, 2);
    EXPECT_EQ(Velmora({"user", "--section", "lp1:p=1k,q=2"}).status, 2);
    EXPECT_EQ(Velmora({"user"}).status, 2);
}

TEST(Cli, AsciiAndSpiceFiles) {
    const fs::path dir = test::MakeTempDir("velmora_cli_files_");
    const fs::path dat = dir / "lp.dat", cir = dir / "lp.cir";
    Result r = Velmora({"design", "--ascii", dat.string(), "--ascii-include", "spec,frequency", "--spice",
                        cir.string(), "--spice-dialect", "ngspice"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string ascii = ReadText(dat);
    EXPECT_NE(ascii.find("ELLIPTIC LOWPASS FILTER  N=3\r\n"), std::string::npos);
    EXPECT_NE(ascii.find("Maximum passband attenuation: "), std::string::npos);
    EXPECT_EQ(ascii.find("BIQUADRATIC"), std::string::npos);
    const std::string netlist = ReadText(cir);
    EXPECT_NE(netlist.find(".control"), std::string::npos);
    EXPECT_NE(netlist.find(".END"), std::string::npos);
    // The netlist's own settings: no .PROBE lines, and an op-amp noise of 40 nV/sqrt(Hz)
    // gives the single-pole model's noise resistor 1000 (40 / 4)^2 = 100 kOhm.
    r = Velmora({"design", "--spice", cir.string(), "--spice-opamp", "single-pole", "--opamp-noise", "40",
                 "--no-spice-probe"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string own = ReadText(cir);
    EXPECT_EQ(own.find(".PROBE"), std::string::npos);
    EXPECT_NE(own.find("R1 3 4 RMODEL 100K\n"), std::string::npos) << own;
    EXPECT_EQ(Velmora({"design", "--opamp-noise", "-1"}).status, 2);
    EXPECT_EQ(Velmora({"design", "--opamp-noise", "1001"}).status, 2);
    // A refused request leaves no netlist and says why.
    fs::remove(cir);
    r = Velmora({"design", "--spice", cir.string(), "--spice-monte-carlo", "5,3%,1%"});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(fs::exists(cir));
    EXPECT_EQ(Velmora({"design", "--ascii", dat.string(), "--ascii-include", "all"}).status, 2);
    EXPECT_EQ(Velmora({"design", "--spice-dialect", "hspice"}).status, 2);
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

TEST(Cli, RequestFiles) {
    const fs::path dir = test::MakeTempDir("velmora_cli_request_");
    const fs::path req = dir / "bp.json";
    std::ofstream(req) << R"({"schema_version": 1, "type": "bandpass", "f0": "10k", "bpb": 1000, "bsb": "3k",
                              "apb": 0.25, "approx": "chebyshev", "json": true})";
    Result r = Velmora({"design", req.string(), "--apb", "0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["specification"]["FilterType"], 2);
    EXPECT_NEAR(j["specification"]["Bsb"].get<double>(), 3000 * 2 * std::numbers::pi, 1e-6);
    EXPECT_NEAR(j["specification"]["Apb"].get<double>(), 0.5, 1e-12); // the command line wins
    EXPECT_EQ(j["chosen_approximation"], 1);

    const fs::path user = dir / "user.json";
    std::ofstream(user) << R"({"sections": ["lp2:q=0.707,fp=1k", "lp1:p=2k"], "json": true})";
    r = Velmora({"user", user.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["stages"].size(), 2u);

    const std::pair<const char*, const char*> bad[] = {
        {"unknown.json", R"({"bogus": 1})"},
        {"notjson.json", "type = lowpass"},
        {"version.json", R"({"schema_version": 2})"},
        {"array.json", "[1, 2]"},
    };
    for (const auto& [name, text] : bad) {
        std::ofstream(dir / name) << text;
        r = Velmora({"design", (dir / name).string()});
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << name;
    }
    EXPECT_EQ(Velmora({"design", (dir / "missing.json").string()}).status, 2);
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

TEST(Cli, StandardValuesToleranceAndMonteCarlo) {
    Result r =
        Velmora({"design", "--json", "--standard-r", "5", "--tolerance", "1,1", "--monte-carlo", "50"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    // Every substituted resistor is a value of the 24-value series (within rounding),
    // and the exact values stay beside them.
    const double e24[] = {1.0, 1.1, 1.2, 1.3, 1.5, 1.6, 1.8, 2.0, 2.2, 2.4, 2.7, 3.0,
                          3.3, 3.6, 3.9, 4.3, 4.7, 5.1, 5.6, 6.2, 6.8, 7.5, 8.2, 9.1};
    for (const auto& c : j["circuits"]) {
        ASSERT_TRUE(c.contains("standard_components"));
        for (auto& [name, value] : c["standard_components"].items()) {
            if (name[0] != 'R') continue;
            double m = value.get<double>();
            while (m >= 10)
                m /= 10;
            while (m < 1)
                m *= 10;
            bool member = false;
            for (double v : e24)
                member = member || std::fabs(m - v) < 1e-6 * v;
            EXPECT_TRUE(member) << name << " = " << value;
            EXPECT_GT(c["components"][name].get<double>(), 0);
        }
        EXPECT_FALSE(c["sensitivities"].empty());
        EXPECT_FALSE(c["tuning"].get<std::string>().empty());
    }
    ASSERT_TRUE(j.contains("final_response_standard"));
    EXPECT_EQ(j["final_response_standard"]["samples"].size(), 351u);
    ASSERT_TRUE(j["tolerance"].is_object());
    EXPECT_NEAR(j["tolerance"]["frequency_hz"].get<double>(), 1000.0, 1e-6);
    EXPECT_EQ(j["tolerance"]["stages"].size(), j["stages"].size());
    // The filter spread is the root sum of squares of the stage spreads.
    double sum = 0;
    for (const auto& s : j["tolerance"]["stages"])
        sum += std::pow(s["total_db"].get<double>(), 2);
    EXPECT_NEAR(j["tolerance"]["filter_spread_db"].get<double>(), std::sqrt(sum), 1e-9);
    ASSERT_TRUE(j["monte_carlo"].is_object());
    EXPECT_EQ(j["monte_carlo"]["runs"], 50);
    EXPECT_EQ(j["monte_carlo"]["band"].size(), 351u);
    const double yield = j["monte_carlo"]["yield"].get<double>();
    EXPECT_GE(yield, 0.0);
    EXPECT_LE(yield, 1.0);
    // The same seed gives the same band.
    Result again =
        Velmora({"design", "--json", "--standard-r", "5", "--tolerance", "1,1", "--monte-carlo", "50"});
    EXPECT_EQ(nlohmann::json::parse(again.out)["monte_carlo"], j["monte_carlo"]);

    EXPECT_EQ(Velmora({"design", "--standard-r", "2"}).status, 2);
    EXPECT_EQ(Velmora({"design", "--strategy", "3"}).status, 2);
    EXPECT_EQ(Velmora({"design", "--tolerance", "1"}).status, 2);
    EXPECT_EQ(Velmora({"design", "--monte-carlo", "0"}).status, 2);
    Result missing = Velmora({"design", "--standard-r", "1", "--inventory", "/nonexistent/RCInvent.dat"});
    EXPECT_EQ(missing.status, 1);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

// Request values of every wrong kind are usage errors that name their key; nothing
// escapes as an exception or a crash.
TEST(Cli, RequestFileValuesOfTheWrongKind) {
    const fs::path dir = test::MakeTempDir("velmora_cli_request_kinds_");
    const struct {
        const char* command;
        std::string json;
        std::string message; // a part of the message
    } cases[] = {
        {"design", R"({"type":"foo"})", "'type'"},
        {"design", R"({"approx":"foo"})", "'approx'"},
        {"design", R"({"order_by":"foo"})", "'order_by'"},
        {"design", R"({"spice_dialect":"foo"})", "'spice_dialect'"},
        {"design", R"({"spice_opamp":"foo"})", "'spice_opamp'"},
        {"design", R"({"apb":[1,2]})", "'apb'"},
        {"design", R"({"type":[]})", "'type'"},
        {"design", R"({"save":[]})", "'save'"},
        {"design", R"({"apb":null})", "'apb'"},
        {"design", R"({"apb":{"x":1}})", "'apb'"},
        {"design", R"({"apb":""})", "'apb'"},
        {"design", R"({"json":"maybe"})", "'json'"},
        {"design", R"({"json":1})", "'json'"},
        {"user", R"({"sections":[]})", "'sections'"},
        {"user", R"({"sections":[1]})", "'sections'"},
        {"user", R"({"sections":{"a":"lp1:p=1k"}})", "'sections'"},
        {"design", R"({"save":"a\u0000b.fl3"})", "NUL"},
        {"design", R"({"apb":"1\u00002"})", "NUL"},
        {"design", R"({"help":true})", "unknown key 'help'"},
        {"design", R"({"request":"x.json"})", "unknown key 'request'"},
        {"design", R"({"apb":1e400})", "not valid JSON"},
        {"design", R"({")" + std::string(100000, 'k') + R"(":1})", "unknown key 'kkkk"},
        {"design", R"({"fpb":")" + std::string(100000, '9') + R"("})", "--fpb"},
    };
    // A flag takes true or false, nothing else (an empty array once crashed).
    for (const char* flag :
         {"json", "rad", "spice_print", "spice_plot", "use_inventory", "all_caps_standard"})
        for (const char* value : {"[]", "[true]", "null", "\"yes\"", "{}", "1"}) {
            const std::string json = std::string(R"({")") + flag + R"(":)" + value + "}";
            std::ofstream(dir / "f.json", std::ios::trunc) << json;
            Result r = Velmora({"design", (dir / "f.json").string()});
            EXPECT_EQ(r.status, 2) << json;
            EXPECT_NE(r.err.find(std::string("'") + flag + "'"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("true or false"), std::string::npos) << r.err;
        }
    for (const auto& c : cases) {
        std::ofstream(dir / "r.json", std::ios::trunc) << c.json;
        Result r = Velmora({c.command, (dir / "r.json").string()});
        SCOPED_TRACE(c.json.substr(0, 60));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_LT(r.err.size(), 500u) << "a long key or value is cut in the message";
    }
    EXPECT_FALSE(fs::exists("a")); // the part of a path before a NUL
    // Integers beyond 64 bits keep their value: an attenuation of 1.8e19 dB is refused
    // for what it is, not read as -1.
    std::ofstream(dir / "big.json") << R"({"apb":18446744073709551615})";
    Result r = Velmora({"design", (dir / "big.json").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "velmora: Stopband attenuation must exceed passband attenuation.\n");
    std::ofstream(dir / "ok.json") << R"({"apb":0.25,"json":false,"rad":false,"order":3})";
    EXPECT_EQ(Velmora({"design", (dir / "ok.json").string()}).status, 0);
    fs::remove_all(dir);
}

// Folders where files are expected, files where folders are expected, missing files:
// a message with the system's reason, never an abort.
TEST(Cli, PathsThatAreNotFiles) {
    const fs::path dir = test::MakeTempDir("velmora_cli_paths_");
    const std::string d = dir.string(), file = (dir / "f").string();
    std::ofstream(file) << "x";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"design", d}, 2, "Is a directory"},
        {{"user", d}, 2, "Is a directory"},
        {{"open", d}, 1, "Is a directory"},
        {{"design", "--inventory", d}, 1, "Is a directory"},
        {{"design", "--inventory", (dir / "none.dat").string()}, 1, "No such file or directory"},
        {{"design", "--save", d}, 1, "Is a directory"},
        {{"design", "--ascii", d}, 1, "Is a directory"},
        {{"design", "--spice", d}, 1, "Is a directory"},
        {{"design", "--save", (dir / "no" / "x.fl3").string()}, 1, "No such file or directory"},
        {{"design", "--plots", file}, 1, "Not a directory"},
        {{"design", "--plots", file + "/sub"}, 1, "Not a directory"},
        {{"design", ""}, 2, "empty"},
        {{"design", "--save", ""}, 2, "--save"},
    };
    for (const auto& c : cases) {
        Result r = Velmora(c.args);
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << "found before anything is computed";
    }
    fs::remove_all(dir);
}

// A run that fails, whatever the reason and whenever it is found, writes none of its
// files: an existing design file stays byte for byte, no other file appears.
TEST(Cli, FailedRunsWriteNothing) {
    const fs::path dir = test::MakeTempDir("velmora_cli_nothing_");
    const fs::path fl3 = dir / "b.fl3", dat = dir / "b.dat", cir = dir / "b.cir", plots = dir / "plots";
    ASSERT_EQ(Velmora({"design", "--save", fl3.string()}).status, 0);
    const std::string before = ReadText(fl3);
    const std::vector<std::string> outputs = {"--save",  fl3.string(), "--ascii", dat.string(),
                                              "--spice", cir.string(), "--plots", plots.string()};
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"design", "--asb", "1000"}, 1},
        {{"design", "--approx", "bessel"}, 1},
        {{"design", "--compensate", "2"}, 1},
        {{"design", "--predistort", "2"}, 1},
        {{"design", "--fpb", "1e-40", "--fsb", "1e-30"}, 2},
        {{"design", "--ascii-include", "bogus", "--json"}, 2},
        {{"design", "--spice-monte-carlo", "1,2"}, 2},
        {{"design", "--spice-monte-carlo", "5,3%,1%"}, 2},
        {{"design", "--standard-r", "1", "--inventory", (dir / "missing.dat").string()}, 1},
        {{"design", "--gbw", "1e-300"}, 2},
        {{"design", "--fmin", "0"}, 2},
        {{"design", "--fmax", "-1k"}, 2},
        {{"design", "--fmin", "2k", "--fmax", "1k"}, 2},
        {{"design", "--points", "10"}, 2},
        {{"design", "--points", "2002"}, 2},
        {{"design", "--points", "101.5"}, 2},
        // Found once the design's own range is known, still before anything is written.
        {{"design", "--fmin", "1M"}, 2},
        {{"design", "--fmax", "10"}, 2},
        {{"user", "--section", "lp2:q=0.5,fp=1k"}, 1},
        {{"open", (dir / "missing.fl3").string()}, 1},
        // The last file cannot be written: the ones written before it are put back.
        {{"design", "--spice", "/dev/full"}, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), outputs.begin(), outputs.end());
        if (args[1] == "--spice") args.erase(args.end() - 4, args.end() - 2); // only /dev/full
        Result r = Velmora(args);
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
        EXPECT_TRUE(ReadText(fl3) == before);
        EXPECT_FALSE(fs::exists(dat));
        EXPECT_FALSE(fs::exists(cir));
        EXPECT_FALSE(fs::exists(plots));
    }
    // The same outputs of a run that succeeds are all written.
    std::vector<std::string> args = {"design", "--approx", "butterworth"};
    args.insert(args.end(), outputs.begin(), outputs.end());
    Result r = Velmora(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(ReadText(fl3) == before);
    EXPECT_TRUE(fs::exists(dat) && fs::exists(cir) && fs::exists(plots / "gain.svg"));
    fs::remove_all(dir);
}

// Every analysis value has a range: its edges are taken, a value beyond is a usage
// error naming the option and its range, checked even when its output is not asked for.
TEST(Cli, AnalysisValueRanges) {
    const struct {
        std::string option, inside, beyond, range;
    } cases[] = {
        {"--gbw", "1k", "999", "1 kHz to 10 GHz"},
        {"--gbw", "10000M", "10001M", "1 kHz to 10 GHz"},
        {"--gbw", "2M", "1e-300", "1 kHz to 10 GHz"},
        {"--tolerance", "50,0", "50.01,1", "0 to 50 %"},
        {"--tolerance", "0,50", "1e30,1", "0 to 50 %"},
        {"--opamp-tolerance", "50", "1e400", "0 to 50 %"},
        {"--tempco", "-10000,10000", "10001,0", "-10000 to 10000 ppm/degC"},
        {"--tempco", "0,0", "1e400,1e400", "-10000 to 10000 ppm/degC"},
        {"--temp-rise", "200", "200.5", "0 to 200 degC"},
        {"--spice-points", "10000", "10001", "1 to 10000"},
        {"--spice-points", "1", "abc", "1 to 10000"},
        {"--spice-monte-carlo", "10000,1%,10%", "99999999999,1%,1%", "1 to 10000"},
        {"--monte-carlo", "1", "10000000", "1 to 9999999"},
        {"--fpb", "0.001", "1e-300", "0.001 to 1e12"},
        {"--fsb", "2k", "1e400", "0.001 to 1e12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option + " " + c.beyond);
        std::vector<std::string> inside = {"design", c.option, c.inside};
        if (c.option == "--fpb") inside.insert(inside.end(), {"--fsb", "0.002"});
        Result in = Velmora(inside);
        EXPECT_EQ(in.status, 0) << in.err;
        Result out = Velmora({"design", c.option, c.beyond});
        EXPECT_EQ(out.status, 2);
        EXPECT_NE(out.err.find(c.option), std::string::npos) << out.err;
        EXPECT_NE(out.err.find(c.range), std::string::npos) << out.err;
    }
}

// The band edges of a specification in Hz, worked out here from the geometric symmetry
// of a band filter: lo hi = f0^2 and hi - lo = B.
std::vector<double> EdgesHz(const std::vector<std::string>& args) {
    auto value = [&](const std::string& option) -> std::optional<double> {
        for (size_t k = 0; k + 1 < args.size(); ++k)
            if (args[k] == option) {
                std::string t = args[k + 1];
                double scale = 1;
                if (t.back() == 'k') scale = 1e3, t.pop_back();
                return std::stod(t) * scale;
            }
        return std::nullopt;
    };
    if (auto f0 = value("--f0")) {
        std::vector<double> edges;
        for (const char* b : {"--bpb", "--bsb"}) {
            const double half = *value(b) / 2, lo = std::sqrt(*f0 * *f0 + half * half) - half;
            edges.push_back(lo);
            edges.push_back(lo + 2 * half);
        }
        return edges;
    }
    return {value("--fpb").value_or(1000), value("--fsb").value_or(2000)};
}

// The command line's data axis holds every specified edge with a fifth of room on each
// side for every filter type, including those the graph window's default axis cuts or
// puts on its frame (a telephone bandpass, a lowpass with a distant stopband edge, a
// highpass whose stopband edge is a tenth of its passband edge); the window's own
// ranges stay as they were, and every response's samples span the axis.
TEST(Cli, DataAxisHoldsEverySpecifiedEdge) {
    const struct {
        std::vector<std::string> args;
        bool windowCutsAnEdge;
    } cases[] = {
        {{"design"}, false},
        {{"design", "--fpb", "1k", "--fsb", "20k", "--asb", "20"}, true},
        {{"design", "--type", "highpass", "--fpb", "1k", "--fsb", "100", "--asb", "40"}, true},
        {{"design", "--type", "highpass", "--fpb", "3k", "--fsb", "1k"}, false},
        {{"design", "--type", "bandpass", "--f0", "1010", "--bpb", "3100", "--bsb", "6000"}, true},
        {{"design", "--type", "bandpass", "--f0", "10k", "--bpb", "1k", "--bsb", "3k"}, false},
        {{"design", "--type", "bandstop", "--f0", "1k", "--bpb", "1.8k", "--bsb", "300", "--asb", "20"},
         true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = Velmora(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        const double lo = j["response_axis"]["f_min_hz"], hi = j["response_axis"]["f_max_hz"];
        const std::vector<double> edges = EdgesHz(c.args);
        const auto [first, last] = std::minmax_element(edges.begin(), edges.end());
        EXPECT_LE(lo * 1.2, *first * (1 + 1e-9));
        EXPECT_GE(hi, *last * 1.2 * (1 - 1e-9));
        // The window's default range (the graph ranges) is left as it was.
        const double windowLo = j["graph_ranges"]["GraphFreqMin"],
                     windowHi = j["graph_ranges"]["GraphFreqMax"];
        EXPECT_EQ(windowLo * 1.2 > *first * (1 + 1e-9) || windowHi < *last * 1.2 * (1 - 1e-9),
                  c.windowCutsAnEdge);
        if (!c.windowCutsAnEdge) {
            EXPECT_DOUBLE_EQ(lo, windowLo);
            EXPECT_NEAR(hi, windowHi, 1e-9 * hi);
        }
        for (const char* key : {"final_response", "final_response_gbw"}) {
            const auto& samples = j[key]["samples"];
            ASSERT_EQ(samples.size(), 351u) << key;
            EXPECT_NEAR(samples.front()["f_hz"].get<double>(), lo, 1e-9 * lo) << key;
            EXPECT_NEAR(samples.back()["f_hz"].get<double>(), hi, 1e-9 * hi) << key;
        }
        const auto& ideal = j["ideal_response"][0]["samples"];
        EXPECT_NEAR(ideal.front()["f_hz"].get<double>(), lo, 1e-9 * lo);
        EXPECT_NEAR(ideal.back()["f_hz"].get<double>(), hi, 1e-9 * hi);
    }
}

// --fmin, --fmax and --points set the frequencies of every response in the JSON, of the
// SPICE sweep and of the realised-response plots; responses evaluated point by point
// agree with the column's samples at the same frequencies; the gain plot reaches 20 dB
// below the stopband's limit and names every variant present.
TEST(Cli, RangeOptionsSetEveryOutputsFrequencies) {
    const fs::path dir = test::MakeTempDir("velmora_cli_range_");
    const fs::path cir = dir / "f.cir", plots = dir / "plots";
    const std::vector<std::string> spec = {"design", "--apb",  "0.5",   "--asb",  "60",
                                           "--fpb",  "20k",    "--fsb", "40k",    "--standard-r",
                                           "1",      "--fmin", "1k",    "--fmax", "100k"};
    std::vector<std::string> args = spec;
    args.insert(args.end(),
                {"--points", "101", "--json", "--spice", cir.string(), "--plots", plots.string()});
    Result r = Velmora(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["response_axis"]["points"], 101);
    std::vector<const nlohmann::json*> responses = {&j["final_response"], &j["final_response_gbw"],
                                                    &j["final_response_standard"]};
    for (const auto& a : j["ideal_response"])
        responses.push_back(&a);
    for (const nlohmann::json* response : responses) {
        const auto& samples = (*response)["samples"];
        ASSERT_EQ(samples.size(), 101u);
        // Log spacing from 1 kHz to 100 kHz: 50 points a decade.
        for (size_t i = 0; i < samples.size(); ++i)
            EXPECT_NEAR(samples[i]["f_hz"].get<double>(), 1000 * std::pow(10.0, i / 50.0), 1e-9 * 1e5);
    }
    std::ifstream in(cir);
    const std::string netlist((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(netlist.find(".AC DEC 50  1.00000E+3  1.00000E+5"), std::string::npos) << netlist;

    std::ifstream svg(plots / "final_gain.svg");
    const std::string gain((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
    EXPECT_NE(gain.find(">-80</text>"), std::string::npos) << "Asb + 20 dB below the passband";
    for (const char* legend :
         {">Exact values<", ">Exact values, op amps<", ">Standard values<", ">Standard values, op amps<"})
        EXPECT_NE(gain.find(legend), std::string::npos) << legend;
    for (const char* file : {"final_phase.svg", "final_delay.svg", "gain.svg"})
        EXPECT_TRUE(fs::exists(plots / file)) << file;

    // 351 points over the data axis, once from the column and once point by point.
    std::vector<std::string> column = {"design", "--approx", "elliptic", "--json"};
    std::vector<std::string> pointwise = column;
    pointwise.insert(pointwise.end(), {"--points", "351"});
    const auto a = nlohmann::json::parse(Velmora(column).out),
               b = nlohmann::json::parse(Velmora(pointwise).out);
    for (const char* key : {"final_response", "final_response_gbw"}) {
        const auto &sa = a[key]["samples"], &sb = b[key]["samples"];
        ASSERT_EQ(sa.size(), sb.size());
        for (size_t i = 0; i < sa.size(); ++i) {
            EXPECT_NEAR(sa[i]["f_hz"].get<double>(), sb[i]["f_hz"].get<double>(),
                        1e-9 * sa[i]["f_hz"].get<double>());
            // The column's values are rounded to the 6-byte real (about 1e-12 relative);
            // near a notch the dB value moves more with the frequency's own rounding.
            EXPECT_NEAR(sa[i]["gain_db"].get<double>(), sb[i]["gain_db"].get<double>(), 1e-6)
                << key << " " << i;
        }
    }
    const auto &ia = a["ideal_response"][0]["samples"], &ib = b["ideal_response"][0]["samples"];
    for (size_t i = 0; i < ia.size(); ++i)
        EXPECT_NEAR(ia[i]["gain_db"].get<double>(), ib[i]["gain_db"].get<double>(), 1e-6) << i;
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

// The values of a kind ('R' or 'C') of every stage in the JSON document's circuits.
std::vector<double> ComponentValues(const nlohmann::json& j, char kind) {
    std::vector<double> v;
    for (const auto& c : j["circuits"])
        for (const auto& [name, value] : c["components"].items())
            if (name[0] == kind) v.push_back(value.get<double>());
    return v;
}

// --capacitor sets the starting C1 of every stage or of the stages named, and moves only
// the impedance level (the final response stays); the automatic start gives the issue's
// 50 Hz notch practical values; a warning appears exactly for the values out of range.
TEST(Cli, StartingCapacitorAndPracticalValues) {
    const std::vector<std::string> notch = {"design", "--type", "bandstop", "--f0",  "50", "--bpb",
                                            "40",     "--bsb",  "6",        "--asb", "30", "--json"};
    struct Case {
        std::vector<std::string> extra;
        std::vector<double> c1; // per stage; empty: not checked
        bool practical;
    };
    const Case cases[] = {
        {{}, {}, true},
        {{"--capacitor", "10n"}, {10e-9, 10e-9}, false}, // the old start: megohms
        {{"--capacitor", "2:4.7nF"}, {}, false},
        {{"--capacitor", "1:22n,2:33n"}, {22e-9, 33e-9}, true},
    };
    std::optional<nlohmann::json> reference;
    for (const Case& k : cases) {
        std::vector<std::string> args = notch;
        args.insert(args.end(), k.extra.begin(), k.extra.end());
        SCOPED_TRACE(k.extra.empty() ? "automatic" : k.extra[1]);
        Result r = Velmora(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        for (std::size_t s = 0; s < k.c1.size(); ++s)
            EXPECT_NEAR(j["circuits"][s]["components"]["C1"].get<double>() / k.c1[s], 1.0, 1e-9);
        // The warnings list exactly the values outside 100 Ohm..1 MOhm, 100 pF..10 uF.
        std::size_t outside = 0;
        for (const double x : ComponentValues(j, 'R'))
            outside += x < 100.0 || x > 1e6;
        for (const double x : ComponentValues(j, 'C'))
            outside += x < 100e-12 || x > 10e-6;
        EXPECT_EQ(outside == 0, k.practical);
        EXPECT_EQ(j.contains("component_warnings") ? j["component_warnings"].size() : 0u, outside);
        // Another impedance level, the same filter.
        if (!reference) reference = j;
        const auto &a = (*reference)["final_response"]["samples"], &b = j["final_response"]["samples"];
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); i += 5) {
            const double g = a[i]["gain_db"].get<double>();
            // Deep in the notch the gain is what is left of a cancellation.
            if (g > -80.0) {
                EXPECT_NEAR(g, b[i]["gain_db"].get<double>(), 1e-6) << a[i]["f_hz"];
            }
        }
    }
    // The text report names the values.
    Result text = Velmora({"design", "--type", "bandstop", "--f0", "50", "--bpb", "40", "--bsb", "6", "--asb",
                           "30", "--capacitor", "10n"});
    EXPECT_NE(text.out.find("Warning: impractical component values"), std::string::npos);
    EXPECT_NE(text.out.find("Stage 1: R7 = 1.55M is above 1M"), std::string::npos);
    // Ordinary designs keep the 1 nF / 10 nF start and warn of nothing.
    Result plain = Velmora({"design"});
    EXPECT_EQ(plain.out.find("Warning: impractical"), std::string::npos);
    for (const char* bad : {"10x", "0", "100", "9:10n", "a:10n", "-1n", "1:"}) {
        SCOPED_TRACE(bad);
        Result r = Velmora({"design", "--capacitor", bad});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
    }
}

} // namespace
} // namespace velmora::cli

namespace velmora::cli {
namespace {

// The point nearest a notch is drawn as a deep dip, but data hold the response there:
// every ideal sample's gain in the JSON document and the ASCII file is the transfer
// function's own (the elliptic lowpass has its first zero near 65 kHz, where the
// response is about -100 dB, not the graph's -200 dB).
TEST(Cli, DataAtNotchesHoldTheTrueResponse) {
    const fs::path dir = test::MakeTempDir("velmora_cli_notch_");
    const std::string ascii = (dir / "lp.dat").string();
    Result r = Velmora({"design", "--apb", "0.5", "--asb", "60", "--fpb", "20k", "--fsb", "40k", "--approx",
                        "elliptic", "--json", "--ascii", ascii});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    int deep = 0;
    for (const auto& a : j["ideal_response"])
        for (const auto& s : a["samples"]) {
            EXPECT_NE(s["gain_db"].get<double>(), -200.0) << s["f_hz"].get<double>() << " Hz";
            if (s["gain_db"].get<double>() < -90) ++deep;
        }
    EXPECT_GT(deep, 0) << "the samples next to the notches are deep, as the response is";
    EXPECT_EQ(ReadText(ascii).find("-2.0000000E+2"), std::string::npos);
}

} // namespace
} // namespace velmora::cli
