// The command line, run in-process: exit statuses, messages on stderr, the report
// and the JSON document.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numbers>
#include <sstream>

#include "cli.h"

namespace velmora::cli {
namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Velmora(std::vector<std::string> args) {
    args.insert(args.begin(), "velmora");
    std::ostringstream out, err;
    int status = Run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(Cli, FrequencyLimitIsADesignFailure) {
    Result r = Velmora({"design", "--fpb", "101M", "--fsb", "200M"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "velmora: All edge and center frequencies are limited to a maximum of 100MHz (628Mrad/s).\n");
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(Velmora({"design", "--fpb", "50M", "--fsb", "100M"}).status, 0);
}

TEST(Cli, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"design", "--fpb", "-5"},       {"design", "--fpb", "abc"},
        {"design", "--fsb", "1kk"},      {"design", "--apb", "-0.5"},
        {"design", "--asb", "nan"},      {"design", "--gain", "-1"},
        {"design", "--order", "-3"},     {"design", "--order", "2.5"},
        {"design", "--type", "allpass"}, {"design", "--type", "bandpass", "--fpb", "1k"},
        {"design", "--f0", "1k"},        {"design", "--gain", "2", "--gain-db", "6"},
        {"design", "--no-such-option"},
    };
    for (const auto& c : cases) {
        Result r = Velmora(c);
        SCOPED_TRACE(c[1] + " " + (c.size() > 2 ? c[2] : ""));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("velmora: ", 0), 0u) << r.err;
    }
}

TEST(Cli, DesignFailuresUseTheFormsMessages) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"design", "--order", "0"}, "An integer number must be entered."},
        {{"design", "--order", "21"}, "Maximum order is 20."},
        {{"design", "--type", "bandstop", "--order", "5"}, "Order must be an even number."},
        {{"design", "--apb", "0"}, "Invalid Number."},
        {{"design", "--fpb", "0"}, "Invalid Number."},
        {{"design", "--apb", "40"}, "Stopband attenuation must exceed passband attenuation."},
        {{"design", "--gain-db", "60.1"}, "Maximum allowable overall gain is 60dB (1000V/V)."},
        {{"design", "--gain", "0.05"}, "Minimum allowable overall gain is 0.1V/V."},
    };
    for (const auto& c : cases) {
        Result r = Velmora(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.err, "velmora: " + c.message + "\n");
    }
}

TEST(Cli, JsonSpecificationInRadPerSecond) {
    Result r =
        Velmora({"design", "--type", "bandpass", "--f0", "10k", "--bpb", "1k", "--bsb", "3k", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["schema_version"], 1);
    const auto& s = j["specification"];
    const double twoPi = 2 * std::numbers::pi;
    EXPECT_EQ(s["FilterType"], 2);
    EXPECT_NEAR(s["w0"].get<double>(), 1e4 * twoPi, 1e-6);
    EXPECT_NEAR(s["Bpb"].get<double>(), 1e3 * twoPi, 1e-7);
    EXPECT_NEAR(s["Bsb"].get<double>(), 3e3 * twoPi, 1e-7);
    EXPECT_NEAR(s["Selectivity"].get<double>(), 3.0, 1e-11);
    EXPECT_NEAR(s["HalfPowerGain"].get<double>(), std::sqrt(0.5), 1e-11);
    EXPECT_EQ(s["ForceOrder"], false);

    // rad/s entries; gain in dB.
    r = Velmora({"design", "--rad", "--fpb", "1000", "--fsb", "3000", "--gain-db", "20", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    j = nlohmann::json::parse(r.out);
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

TEST(Cli, DefaultDesignReport) {
    Result r = Velmora({"design"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Filter type             lowpass"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Passband edge           1 KHz (6.283 Krad/s)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Stopband edge           2 KHz (12.566 Krad/s)"), std::string::npos);
    EXPECT_NE(r.out.find("Passband attenuation    0.5 dB"), std::string::npos);
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

TEST(Cli, ApproximationChoiceAndStages) {
    Result r = Velmora({"design", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    // The default lowpass: Elliptic of order 3 has the lowest order.
    EXPECT_EQ(j["chosen_approximation"], 3);
    EXPECT_EQ(j["approximations"][0]["order"], 7);
    EXPECT_EQ(j["approximations"][3]["order"], 3);
    EXPECT_EQ(j["approximations"][4]["order_too_high"], true);
    ASSERT_EQ(j["stages"].size(), 2u);
    ASSERT_EQ(j["coefficients"].size(), 2u);
    EXPECT_EQ(j["ideal_response"].size(), 4u); // every usable approximation
    EXPECT_EQ(j["ideal_response"][0]["samples"].size(), 351u);
    EXPECT_EQ(j["ideal_response"][0]["time"].size(), 351u);
    // An odd-order elliptic lowpass peaks at DC, so the stages' DC gains To C / F
    // multiply to the overall gain.
    double product = 1;
    for (const auto& c : j["coefficients"])
        product *= c["To"].get<double>() * c["C"].get<double>() / c["F"].get<double>();
    EXPECT_NEAR(product, 1.0, 1e-9);

    r = Velmora({"design", "--approx", "bessel"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Bessel (Thompson) approximation cannot be used"), std::string::npos);
    r = Velmora({"design", "--first-stage", "slp,xyz"});
    EXPECT_EQ(r.status, 2);
}

} // namespace
} // namespace velmora::cli
