// Golden-output tests of the command line: the text report, the JSON document and the
// ASCII data file of a few designs, compared byte for byte with committed files that a
// reviewer has read.
// A deliberate change of the output is recorded by running the test program with
// VELMORA_UPDATE_GOLDEN=1 and reviewing the difference of the files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "support/cli_run.h"
#include "support/temp_files.h"

namespace velmora::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(VELMORA_SOURCE_DIR) / "tests" / "cli" / "golden";

// JSON documents compare by structure and value: keys, texts and integers exactly,
// reals within 1e-9 relative, since the last digit of a double printed at full
// precision follows the exact order of the floating-point operations.
void CompareJson(const nlohmann::json& expected, const nlohmann::json& actual, const std::string& path) {
    if (expected.is_number_float() || actual.is_number_float()) {
        ASSERT_TRUE(expected.is_number() && actual.is_number()) << path;
        const double e = expected.get<double>(), a = actual.get<double>();
        EXPECT_LE(std::fabs(e - a), 1e-9 * std::max(1.0, std::fabs(e))) << path << ": " << e << " vs " << a;
        return;
    }
    ASSERT_EQ(expected.type(), actual.type()) << path;
    if (expected.is_object()) {
        ASSERT_EQ(expected.size(), actual.size()) << path;
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            ASSERT_TRUE(actual.contains(it.key())) << path << "/" << it.key();
            CompareJson(it.value(), actual[it.key()], path + "/" + it.key());
        }
    } else if (expected.is_array()) {
        ASSERT_EQ(expected.size(), actual.size()) << path;
        for (size_t i = 0; i < expected.size(); ++i)
            CompareJson(expected[i], actual[i], path + "[" + std::to_string(i) + "]");
    } else {
        EXPECT_EQ(expected, actual) << path;
    }
}

// The output on stdout, or with `written` the file the run wrote there without its first
// line (the date and time of an ASCII file, the title of a netlist).
void CheckGolden(const std::string& name, std::vector<std::string> args, const fs::path& written = {}) {
    const test::Result run = test::Velmora(args);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string actual = run.out;
    if (!written.empty()) {
        actual = test::ReadText(written);
        actual.erase(0, actual.find('\n') + 1);
        fs::remove(written);
    }
    const fs::path file = kGoldenDir / name;
    if (const char* update = std::getenv("VELMORA_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::ofstream(file, std::ios::binary) << actual;
        return;
    }
    ASSERT_TRUE(fs::exists(file)) << file << " is missing; run with VELMORA_UPDATE_GOLDEN=1";
    const std::string expected = test::ReadText(file);
    if (file.extension() == ".json")
        CompareJson(nlohmann::json::parse(expected), nlohmann::json::parse(actual), name);
    else // texts exactly; a failure shows the differing lines
        EXPECT_EQ(actual, expected) << name;
}

TEST(Golden, TextReports) {
    CheckGolden("default_lowpass.txt", {"design"});
    CheckGolden("bandpass_chebyshev.txt", {"design", "--type", "bandpass", "--f0", "10k", "--bpb", "1k",
                                           "--bsb", "3k", "--approx", "chebyshev"});
    CheckGolden("highpass_forced.txt", {"design", "--type", "highpass", "--fpb", "300", "--order", "5",
                                        "--approx", "butterworth", "--gain-db", "6"});
    CheckGolden("user_sections.txt", {"user", "--section", "lp2:q=0.707,fp=1k,to=2", "--section",
                                      "bs2:q=5,fp=1k,fz=1.2k", "--section", "lp1:p=1k"});
    // Starting capacitors that make megohm resistors: the warnings name them.
    CheckGolden("notch_capacitor.txt", {"design", "--type", "bandstop", "--f0", "50", "--bpb", "40", "--bsb",
                                        "6", "--asb", "30", "--capacitor", "10n"});
}

TEST(Golden, JsonDocuments) {
    CheckGolden("default_lowpass_elliptic.json", {"design", "--approx", "elliptic", "--json"});
    CheckGolden("bandstop_butterworth.json",
                {"design", "--type", "bandstop", "--order", "4", "--approx", "butterworth", "--json"});
    // The data axis holds every specified edge with a fifth of room on each side where the
    // graph window's default axis cuts an edge or puts it on its frame: a highpass whose
    // stopband edge is a tenth of its passband edge, a telephone bandpass.
    CheckGolden("highpass_far_stopband.json",
                {"design", "--type", "highpass", "--fpb", "1k", "--fsb", "100", "--asb", "40", "--json"});
    CheckGolden("telephone_bandpass.json",
                {"design", "--type", "bandpass", "--f0", "1010", "--bpb", "3100", "--bsb", "6000", "--json"});
    // rad/s entries, a frequency longer than the entry field, the gain in dB.
    CheckGolden("rad_per_second.json",
                {"design", "--rad", "--fpb", "1234.5678", "--fsb", "5000", "--gain-db", "20", "--json"});
    // Standard values, the tolerance spread and a Monte Carlo analysis of a fixed seed.
    CheckGolden("standard_values.json",
                {"design", "--standard-r", "5", "--tolerance", "1,1", "--monte-carlo", "50", "--json"});
    // Inventories: 1 % resistors stocked in one decade (1 kOhm to 9.76 kOhm), so that the
    // values far beyond it keep their exact values with a note; no capacitor in stock.
    CheckGolden("narrow_inventory.json", {"design", "--standard-r", "1", "--inventory",
                                          (kGoldenDir / "narrow.dat").string(), "--json"});
    CheckGolden("no_capacitors.json", {"design", "--all-caps-standard", "--inventory",
                                       (kGoldenDir / "nocaps.dat").string(), "--json"});
    // "all" compensates every stage whose circuit offers it (this notch's highpass-notch
    // circuit) and predistorts the others (its lowpass-notch circuit), for 10 MHz op amps.
    CheckGolden("compensate_predistort.json",
                {"design", "--type", "bandstop", "--f0", "50", "--bpb", "20", "--bsb", "2", "--asb", "40",
                 "--compensate", "all", "--predistort", "all", "--gbw", "10M", "--json"});
    // The frequency range and number of points of every response.
    CheckGolden("range_options.json",
                {"design", "--apb", "0.5", "--asb", "60", "--fpb", "20k", "--fsb", "40k", "--standard-r", "1",
                 "--fmin", "1k", "--fmax", "100k", "--points", "101", "--json"});
}

TEST(Golden, DataFiles) {
    const fs::path file = fs::temp_directory_path() / ("velmora_golden_" + std::to_string(::getpid()));
    CheckGolden("bandpass_elliptic.dat",
                {"design", "--type", "bandpass", "--f0", "10k", "--bpb", "1k", "--bsb", "3k", "--approx",
                 "elliptic", "--ascii", file.string()},
                file);
    // The netlist's own settings: the single-pole model's noise resistor of 1000 (40 / 4)^2
    // = 100 kOhm for 40 nV/sqrt(Hz), no .PROBE lines; the sweep over --fmin to --fmax.
    CheckGolden("single_pole.cir",
                {"design", "--spice", file.string(), "--spice-opamp", "single-pole", "--opamp-noise", "40",
                 "--no-spice-probe", "--fmin", "1k", "--fmax", "100k", "--points", "101"},
                file);
}

} // namespace
} // namespace velmora::cli
