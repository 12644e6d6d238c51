// Golden-output tests of the command line: the text report and the JSON document of a
// few designs, compared byte for byte with committed files that a reviewer has read.
// A deliberate change of the output is recorded by running the test program with
// VELMORA_UPDATE_GOLDEN=1 and reviewing the difference of the files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli.h"

namespace velmora::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(VELMORA_SOURCE_DIR) / "tests" / "cli" / "golden";

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void CheckGolden(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), "velmora");
    std::ostringstream out, err;
    ASSERT_EQ(Run(args, out, err), 0) << err.str();
    const fs::path file = kGoldenDir / name;
    if (const char* update = std::getenv("VELMORA_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::ofstream(file, std::ios::binary) << out.str();
        return;
    }
    ASSERT_TRUE(fs::exists(file)) << file << " is missing; run with VELMORA_UPDATE_GOLDEN=1";
    const std::string expected = Slurp(file);
    if (expected == out.str()) return;
    // Name the first differing line so the failure is readable.
    std::istringstream a(expected), b(out.str());
    std::string la, lb;
    for (int line = 1;; ++line) {
        const bool ea = !std::getline(a, la), eb = !std::getline(b, lb);
        if (ea && eb) break;
        if (ea || eb || la != lb) {
            ADD_FAILURE() << name << " differs at line " << line << "\n  expected: " << la
                          << "\n  actual:   " << lb;
            return;
        }
    }
}

TEST(Golden, TextReports) {
    CheckGolden("default_lowpass.txt", {"design"});
    CheckGolden("bandpass_chebyshev.txt", {"design", "--type", "bandpass", "--f0", "10k", "--bpb", "1k",
                                           "--bsb", "3k", "--approx", "chebyshev"});
    CheckGolden("highpass_forced.txt", {"design", "--type", "highpass", "--fpb", "300", "--order", "5",
                                        "--approx", "butterworth", "--gain-db", "6"});
    CheckGolden("user_sections.txt", {"user", "--section", "lp2:q=0.707,fp=1k,to=2", "--section",
                                      "bs2:q=5,fp=1k,fz=1.2k", "--section", "lp1:p=1k"});
}

TEST(Golden, JsonDocuments) {
    CheckGolden("default_lowpass_elliptic.json", {"design", "--approx", "elliptic", "--json"});
    CheckGolden("bandstop_butterworth.json",
                {"design", "--type", "bandstop", "--order", "4", "--approx", "butterworth", "--json"});
}

} // namespace
} // namespace velmora::cli
