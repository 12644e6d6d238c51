// The command line, run in-process: exit statuses and messages of refused runs, runs
// that fail writing nothing, and what the golden files do not pin: the files written
// beside the report, the realised filter against the ideal response, request files,
// the frequency ranges of every output and the component values' checks; and the design
// files it reads: stored texts in the JSON document, files whose fields contradict one another.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <numbers>
#include <sstream>

#include "cli.h"
#include "model/real48.h"
#include "support/cli_run.h"
#include "support/temp_files.h"

namespace velmora::cli {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using velmora::test::Result;
using velmora::test::Velmora;

// Every refusal prints one line on stderr and nothing on stdout: the entry form's own
// message where the form refuses the entry, the named option and its range otherwise.
// Usage errors exit 2, a design or file that cannot be done exits 1.
TEST(Cli, Refusals) {
    const fs::path dir = test::MakeTempDir("velmora_cli_refusals_");
    const std::string d = dir.string(), file = (dir / "f").string();
    std::ofstream(file) << "x";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message; // a part of the line after "velmora: "
    };
    std::vector<Case> cases = {
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
        {{"design", "--gbw", "999"}, 2, "1 kHz to 10 GHz"},
        {{"design", "--gbw", "10001M"}, 2, "1 kHz to 10 GHz"},
        {{"design", "--tolerance", "50.01,1"}, 2, "0 to 50 %"},
        {{"design", "--opamp-tolerance", "1e400"}, 2, "0 to 50 %"},
        {{"design", "--tempco", "10001,0"}, 2, "-10000 to 10000 ppm/degC"},
        {{"design", "--temp-rise", "200.5"}, 2, "0 to 200 degC"},
        {{"design", "--spice-points", "10001"}, 2, "1 to 10000"},
        {{"design", "--spice-monte-carlo", "99999999999,1%,1%"}, 2, "1 to 10000"},
        // A design that cannot be done: a range accepted by mistake fails fast, not after
        // ten million runs.
        {{"design", "--monte-carlo", "10000000", "--asb", "400", "--apb", "0.01"}, 2, "1 to 9999999"},
        {{"design", "--fpb", "1e-300"}, 2, "0.001 to 1e12"},
        {{"design", "--fsb", "1e400"}, 2, "0.001 to 1e12"},
        {{"design", "--strategy", "3"}, 2, "--strategy"},
        {{"design", "--points", "2002"}, 2, "--points"},
        {{"design", "--standard-r", "2"}, 2, "--standard-r: takes 1, 5 or 10, not '2'"},
        {{"user", "--section", "lp2:q=0.5,fp=1k"}, 1, "section 1: Q must be >0.5."},
        {{"user", "--section", "lp2:q=0.7,fp=1k,to=1e30"},
         1,
         "section 1: Section gain must lie between 0.1V/V and 1000V/V (60dB)."},
        {{"user", "--section", "lp2:re=1,im=600"}, 1, "section 1: Q must not exceed 300."},
        {{"user", "--section", "bs2:q=2,fp=1M,fz=101M"},
         1,
         "section 1: All pole and zero frequencies are limited to a maximum of 100MHz (628Mrad/s)."},
        {{"user", "--section", "lp2:q=1,fp=1k,to=40", "--section", "hp1:p=10,to=30"},
         1,
         "section 2: Unable to add section as the overall filter gain would leave 0.1V/V to 1000V/V (60dB)."},
        {{"design", d}, 2, "Is a directory"},
        {{"user", d}, 2, "Is a directory"},
        {{"open", d}, 1, "Is a directory"},
        {{"design", "--inventory", d}, 1, "Is a directory"},
        {{"design", "--standard-r", "1", "--inventory", (dir / "none.dat").string()},
         1,
         "No such file or directory"},
        {{"design", "--save", d}, 1, "Is a directory"},
        {{"design", "--ascii", d}, 1, "Is a directory"},
        {{"design", "--spice", d}, 1, "Is a directory"},
        {{"design", "--save", (dir / "no" / "x.fl3").string()}, 1, "No such file or directory"},
        {{"design", "--plots", file + "/sub"}, 1, "Not a directory"},
        {{"design", (dir / "missing.json").string()}, 2, ""},
        {{"design", ""}, 2, "empty"},
        {{"design", "--save", ""}, 2, "--save"},
    };
    // Request files whose values are of the wrong kind: usage errors naming the key.
    const std::pair<std::string, std::string> requests[] = {
        {R"({"bogus": 1})", "unknown key 'bogus'"},
        {"type = lowpass", "not valid JSON"},
        {"[1, 2]", "one JSON object"},
        {R"({"schema_version": 2})", "schema_version"},
        {R"({"type":"foo"})", "'type'"},
        {R"({"apb":[1,2]})", "'apb'"},
        {R"({"save":[]})", "'save'"},
        {R"({"apb":null})", "'apb'"},
        {R"({"json":"maybe"})", "'json'"},
        {R"({"rad":[]})", "true or false"},
        {R"({"save":"a\u0000b.fl3"})", "NUL"},
        {R"({"request":"x.json"})", "unknown key 'request'"},
        {R"({"apb":1e400})", "not valid JSON"},
        {R"({")" + std::string(100000, 'k') + R"(":1})", "unknown key 'kkkk"},
        // Integers beyond 64 bits keep their value: 1.8e19 dB is refused for what it is.
        {R"({"apb":18446744073709551615})", "Stopband attenuation must exceed passband"},
    };
    for (std::size_t k = 0; k < std::size(requests); ++k) {
        const fs::path file = dir / ("r" + std::to_string(k) + ".json");
        std::ofstream(file) << requests[k].first;
        cases.push_back({{"design", file.string()}, 2, requests[k].second});
    }
    // Values that no option takes, options that do not exist, contradictory options.
    std::istringstream malformed(
        "--fpb=-5 --fpb=abc --fsb=1kk --apb=-0.5 --asb=nan --gain=-1 --order=-3 --order=2.5 --type=allpass "
        "--f0=1k --first-stage=slp,xyz --circuit=XYZ01 --circuit=SBP03 --circuit=9:SLP01 --circuit=2:SLPN01 "
        "--gbw=-1M --no-such-option --opamp-noise=1001 --tolerance=1 --monte-carlo=0 --ascii-include=all "
        "--spice-dialect=hspice --capacitor=10x --capacitor=100 --capacitor=9:10n --capacitor=-1n");
    for (std::string bad; malformed >> bad;)
        cases.push_back({{"design", bad}, 2, ""});
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"design", "--type", "bandpass", "--fpb", "1k"},
                                               {"design", "--gain", "2", "--gain-db", "6"},
                                               {"design", "--predistort", "1", "--compensate", "1"},
                                               {"user", "--section", "lp3:q=1,fp=1k"},
                                               {"user", "--section", "lp1:p=1k,q=2"},
                                               {"user"}})
        cases.push_back({bad, 2, ""});
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Result r = Velmora(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.out.empty()) << "found before anything is reported";
        EXPECT_TRUE(r.err.rfind("velmora: ", 0) == 0 && r.err.find('\n') == r.err.size() - 1) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_LT(r.err.size(), 500u) << "a long key or value is cut in the message";
    }
    EXPECT_FALSE(fs::exists("a")); // the part of a path before a NUL
    for (std::vector<std::string> edge : std::vector<std::vector<std::string>>{
             {"design", "--fpb", "50M", "--fsb", "100M"},
             {"design", "--gbw", "10000M", "--tempco", "-10000,10000", "--temp-rise", "200"},
             {"user", "--section", "lp2:q=300,fp=100M,to=1000"}})
        EXPECT_EQ(Velmora(edge).status, 0)
            << testing::PrintToString(edge) << ": the limits themselves are taken";
    // Designs that cannot be done.
    EXPECT_EQ(Velmora({"design", "--asb", "400", "--apb", "0.01"}).status, 1);
    EXPECT_EQ(Velmora({"design", "--approx", "bessel"}).err,
              "velmora: the Bessel (Thompson) approximation cannot be used for this specification (its order "
              "would exceed 20 or its largest pole Q 300)\n");
    fs::remove_all(dir);
}

TEST(Cli, Version) { // the help of every command is the parameter tests'
    Result r = Velmora({"--version"});
    EXPECT_EQ(std::tuple(r.status, r.out.rfind("velmora ", 0)), std::tuple(0, 0u));
}

// Plots per tab of the chosen approximation only; one schematic per stage carrying the
// values the report prints, for a compensated circuit.
TEST(Cli, PlotsAndSchematics) {
    const fs::path dir = test::MakeTempDir("velmora_cli_pictures_");
    Result r = Velmora({"design", "--approx", "chebyshev", "--circuit", "SLP01", "--compensate", "all",
                        "--plots", (dir / "plots").string(), "--schematics", (dir / "s").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name :
         {"gain.svg", "phase.svg", "delay.svg", "step.svg", "impulse.svg", "pole_zero.svg"}) {
        const std::string text = ReadText(dir / "plots" / name);
        EXPECT_NE(text.find("Chebyshev"), std::string::npos) << name;
        EXPECT_EQ(text.find("Butterworth"), std::string::npos) << name;
    }
    const std::string svg = ReadText(dir / "s" / "stage1_SLP01.svg");
    EXPECT_NE(svg.find("(compensated)"), std::string::npos);
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
}

// Every filter type, automatic and chosen circuits: every stage realisable with positive
// components, and the realised filter's response equals the chosen approximation's ideal
// response (the overall gain included) within 0.02 dB at every point (exact resistors
// that happen to be standard values are raised 0.02 %, which moves a narrow bandpass by
// up to about 0.011 dB).
TEST(Cli, CircuitsEndToEndMatchTheIdealResponse) {
    const std::vector<std::vector<std::string>> designs = {
        {"design", "--type", "highpass", "--gain", "4"},
        {"design", "--type", "bandpass", "--f0", "10k", "--bpb", "2k", "--bsb", "6k"},
        {"design", "--type", "bandstop", "--approx", "chebyshev"},
        {"design", "--approx", "butterworth", "--circuit", "1:SLP13,SLP08,FLP03"},
    };
    for (const auto& args : designs) {
        SCOPED_TRACE(testing::PrintToString(args));
        const auto j = test::VelmoraJson(args);
        ASSERT_EQ(j["circuits"].size(), j["stages"].size());
        for (const auto& c : j["circuits"]) {
            EXPECT_EQ(c["not_realisable"], false);
            EXPECT_FALSE(c["components"].empty());
            for (auto& [name, value] : c["components"].items())
                EXPECT_GT(value.get<double>(), 0) << name;
        }
        const nlohmann::json* ideal = nullptr;
        for (const auto& a : j["ideal_response"])
            if (a["index"] == j["chosen_approximation"]) ideal = &a;
        ASSERT_NE(ideal, nullptr);
        const auto& fin = j["final_response"]["samples"];
        ASSERT_EQ(fin.size(), 351u);
        for (size_t i = 0; i < 351; ++i) {
            const double id = (*ideal)["samples"][i]["gain_db"];
            if (id <= -199) continue; // a marked notch point or the -400 dB floor
            EXPECT_NEAR(fin[i]["gain_db"].get<double>(), id, 0.02) << "point " << i;
        }
    }
    const auto j = test::VelmoraJson(designs.back());
    EXPECT_EQ(j["circuits"][0]["key"], "SLP13");
    for (size_t i = 1; i < j["circuits"].size(); ++i)
        EXPECT_TRUE(j["circuits"][i]["key"] == "SLP08" || j["circuits"][i]["key"] == "FLP03");
}

// A request file gives the options by name, the command line wins.
TEST(Cli, RequestFiles) {
    const fs::path dir = test::MakeTempDir("velmora_cli_request_");
    const fs::path req = dir / "bp.json", user = dir / "user.json";
    std::ofstream(req) << R"({"schema_version": 1, "type": "bandpass", "f0": "10k", "bpb": 1000, "bsb": "3k",
                              "apb": 0.25, "approx": "chebyshev", "json": true})";
    Result r = Velmora({"design", req.string(), "--apb", "0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["specification"]["FilterType"], 2);
    EXPECT_NEAR(j["specification"]["Bsb"].get<double>(), 3000 * 2 * std::numbers::pi, 1e-6);
    EXPECT_NEAR(j["specification"]["Apb"].get<double>(), 0.5, 1e-12);
    EXPECT_EQ(j["chosen_approximation"], 1);
    std::ofstream(user) << R"({"sections": ["lp2:q=0.707,fp=1k", "lp1:p=2k"], "json": true})";
    r = Velmora({"user", user.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["stages"].size(), 2u);

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
        {{"design", "--compensate", "2"}, 1},
        {{"design", "--spice-monte-carlo", "5,3%,1%"}, 2},
        {{"design", "--standard-r", "1", "--inventory", (dir / "missing.dat").string()}, 1},
        // Found once the design's own range is known, still before anything is written.
        {{"design", "--fmin", "1M"}, 2},
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
        EXPECT_FALSE(fs::exists(dat) || fs::exists(cir) || fs::exists(plots));
    }
    std::vector<std::string> args = {"design", "--approx", "butterworth"};
    args.insert(args.end(), outputs.begin(), outputs.end());
    ASSERT_EQ(Velmora(args).status, 0);
    EXPECT_FALSE(ReadText(fl3) == before);
    EXPECT_TRUE(fs::exists(dat) && fs::exists(cir) && fs::exists(plots / "gain.svg"));
    fs::remove_all(dir);
}

// Responses evaluated point by point agree with the column's samples at the same
// frequencies (the column's values are rounded to the 6-byte real, about 1e-12 relative).
TEST(Cli, PointsEvaluatedOneByOneAgreeWithTheColumn) {
    const auto a = test::VelmoraJson({"design", "--approx", "elliptic"}),
               b = test::VelmoraJson({"design", "--approx", "elliptic", "--points", "351"});
    for (const auto* key : {"final_response", "final_response_gbw"}) {
        const auto &sa = a[key]["samples"], &sb = b[key]["samples"];
        ASSERT_EQ(sa.size(), sb.size());
        for (size_t i = 0; i < sa.size(); ++i)
            EXPECT_NEAR(sa[i]["gain_db"].get<double>(), sb[i]["gain_db"].get<double>(), 1e-6)
                << key << " " << i;
    }
}

// The gain-constant text of a design file holds bytes that are not UTF-8 when the file
// was written on a Latin-1 system; the JSON document must still come out, and say the
// same text in UTF-8. Each case replaces the text of the first approximation, in a file
// the program wrote, by the stored bytes (same length, so the layout stays as it was).
TEST(CliInputs, JsonTakesEveryByteOfAStoredText) {
    const fs::path dir = test::MakeTempDir("velmora_cli_texts_"), file = dir / "d.fl3";
    Result r = Velmora({"design", "--save", file.string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string original = nlohmann::json::parse(r.out)["approximations"][0]["gain_constant_text"];
    const std::string bytes = test::ReadText(file);
    const std::string stored = std::string(1, static_cast<char>(original.size())) + original;
    const std::size_t at = bytes.find(stored);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(original.size(), 4u);

    struct Case {
        std::string storedTail; // replaces the last characters of the text
        std::string jsonTail;   // what the document must show for them, as UTF-8
    } cases[] = {
        {"\xB1", "\xC2\xB1"},                                     // Latin-1 plus-minus sign
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},             // an encoded surrogate is no UTF-8
        {std::string("\x01\x00", 2), std::string("\x01\x00", 2)}, // control bytes, escaped by JSON
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.jsonTail);
        std::string text = original;
        text.replace(text.size() - c.storedTail.size(), c.storedTail.size(), c.storedTail);
        std::string changed = bytes;
        changed.replace(at + 1, text.size(), text);
        test::WriteBytes(file, {changed.begin(), changed.end()});
        Result open = Velmora({"open", file.string(), "--json"});
        ASSERT_EQ(open.status, 0) << open.err;
        const auto j = nlohmann::json::parse(open.out);
        std::string expected = original.substr(0, original.size() - c.storedTail.size()) + c.jsonTail;
        EXPECT_EQ(j["approximations"][0]["gain_constant_text"].get<std::string>(), expected);
    }
    fs::remove_all(dir);
}

// A design file whose fields contradict one another is refused with the reason, and
// nothing is reported; each case is one change to a file the program wrote (a bandstop
// design at the final level: stages SN09, SHPN01, SLPN10), at the offsets of the layout:
// header reals from byte 54 (6 bytes each: Asb, Apb, wsb, wpb, w0, Bpb, Bsb, ...,
// OverallGain 15th), stage groups of 548 bytes from byte 7719 (circuit number at +1,
// stage type at +129).
TEST(CliInputs, ContradictoryDesignFilesAreRefused) {
    const fs::path dir = test::MakeTempDir("velmora_cli_contradictions_");
    const fs::path file = dir / "bs.fl3", changed = dir / "changed.fl3", again = dir / "again.fl3";
    ASSERT_EQ(Velmora({"design", "--type", "bandstop", "--save", file.string()}).status, 0);
    const std::string good = test::ReadText(file);
    auto real = [](std::size_t index, long double v) {
        return [=](std::string& b) {
            const Real48::Bytes x = encodeReal48(v);
            std::copy(x.begin(), x.end(), b.begin() + static_cast<std::ptrdiff_t>(54 + 6 * index));
        };
    };
    auto stageByte = [](int stage, std::size_t in, uint8_t v) {
        return [=](std::string& b) { b[7719 + (stage - 1) * 548 + in] = static_cast<char>(v); };
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> change;
        std::string message; // after "velmora: The design file "
    } cases[] = {
        {"stage type FLP built as SLPN10", stageByte(3, 129, 0),
         "has in stage 3 a stage of type FLP built as SLPN10, a circuit for SLPN stages."},
        {"circuit number 99", stageByte(1, 1, 99),
         "has in stage 1 circuit number 99, which names no circuit."},
        {"no circuit chosen at the final level", stageByte(2, 3, 0),
         "has no circuit for stage 2, though its circuits were selected."},
        {"centre frequency 0", real(4, 0), "has a computed specification without its centre frequency."},
        {"all-zero body", [](std::string& b) { std::fill(b.begin() + 54, b.end(), '\0'); },
         "has an overall gain of 0 V/V; it must be positive."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.change(bytes);
        ASSERT_NE(bytes, good);
        test::WriteBytes(changed, {bytes.begin(), bytes.end()});
        Result r = Velmora({"open", changed.string(), "--save", again.string()});
        EXPECT_EQ(std::tuple(r.status, r.err), std::tuple(1, "velmora: The design file " + c.message + "\n"));
        EXPECT_EQ(std::tuple(r.out.empty(), fs::exists(again)), std::tuple(true, false));
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora::cli
