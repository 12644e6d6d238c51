// The netlist against a real simulator: ngspice runs the ngspice-dialect netlist of
// designs that together use every circuit of the catalogue, plain and compensated, and
// its AC analysis must reproduce the final response (ideal op amps) and the " Op amp
// GBW" response (single-pole op amps). This checks the templates, the node numbering,
// the number texts and the op-amp models at once, and the nodal analysis behind the GBW
// response against an independent solver.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <set>
#include <sstream>

#include "analysis/final_response.h"
#include "analysis/final_response_gbw.h"
#include "analysis/nodal.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/standard_values.h"
#include "output/output_test_support.h"
#include "output/spice_netlist.h"
#include "support/temp_files.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

#define REQUIRE_NGSPICE()                                                                                    \
    if (!test::HaveProgram("ngspice"))                                                                       \
    GTEST_SKIP()                                                                                             \
        << "ngspice is not installed (scripts/install-deps.sh installs it); the netlists cannot be "         \
           "simulated"

// One AC sweep: frequency (Hz) and the complex output voltage.
struct AcPoint {
    long double fHz;
    std::complex<long double> v;
};
using AcRun = std::vector<AcPoint>;

// Runs ngspice in batch mode on the lines in a scratch folder and reads the data file the
// .control block writes: one run per block (a block ends where the frequency falls).
std::vector<AcRun> Simulate(const std::vector<std::string>& lines, std::string& log,
                            const std::string& dataFile = "velmora-ac.txt") {
    const std::filesystem::path dir = test::MakeTempDir("velmora-ngspice-");
    { std::ofstream(dir / "filter.cir") << SpiceText(lines); }
    const int rc =
        std::system(("cd '" + dir.string() + "' && ngspice -b filter.cir > ngspice.log 2>&1").c_str());
    log = test::ReadText(dir / "ngspice.log");
    EXPECT_EQ(log.find("arning"), std::string::npos) << log; // ngspice reads every line
    std::vector<AcRun> runs;
    std::ifstream data(dir / NgspiceDataFileName(dataFile));
    long double f, re, im, last = -1;
    while (rc == 0 && data >> f >> re >> im) {
        if (runs.empty() || f <= last) runs.emplace_back();
        runs.back().push_back({f, {re, im}});
        last = f;
    }
    std::filesystem::remove_all(dir);
    return runs;
}

// The frequency span of a check: a decade below the lowest stage frequency to a decade
// above the highest (Hz), and the notch frequencies of the design.
struct Span {
    long double loHz, hiHz;
    std::vector<long double> notchesHz;
};
Span StageSpan(const TDesign& d) {
    Span s{1e30L, 0, {}};
    for (int i = 1; i <= d.StageCount; ++i) {
        const long double f = StageFrequency(d.Stages[i]) / kTwoPi;
        s.loHz = std::min(s.loHz, f / 10);
        s.hiHz = std::max(s.hiHz, f * 10);
        if (d.Stages[i].StageType >= 5) s.notchesHz.push_back(d.Stages[i].Wz / kTwoPi);
    }
    return s;
}

// A notch bottom: within 3 % of a notch frequency, where the response falls towards
// zero and the last digit of a component value moves it by whole decibels.
bool NearNotch(const Span& s, long double fHz) {
    for (long double n : s.notchesHz)
        if (std::fabs(fHz / n - 1.0L) < 0.03L) return true;
    return false;
}

const auto Db = [](long double vv) -> long double { return 20.0L * std::log10(vv); };

// The designs that together use every circuit: a specification per stage type whose
// stages are of that type (a first-order stage comes with the odd orders).
struct Family {
    const char* name;
    stagetest::Spec spec;
    int approx;
    std::vector<std::string> keys;
};
std::vector<std::string> Keys(const std::string& list) {
    std::istringstream in(list);
    return {std::istream_iterator<std::string>(in), {}};
}
std::vector<Family> Families() {
    return {
        {"lowpass", {Lowpass, 0.5L, 40, 1000, 2000, 0, 5}, Butterworth, Keys("FLP01 FLP02 FLP03")},
        {"lowpass", {Lowpass, 0.5L, 40, 1000, 2000, 0, 5}, Butterworth, Keys("SLP01 SLP02 SLP03")},
        {"lowpass", {Lowpass, 0.5L, 40, 1000, 2000, 0, 5}, Butterworth, Keys("SLP04 SLP08 SLP13")},
        {"highpass", {Highpass, 0.5L, 40, 1000, 500, 0, 5}, Butterworth, Keys("FHP01 FHP02 FHP03 FHP04")},
        {"highpass", {Highpass, 0.5L, 40, 1000, 500, 0, 5}, Butterworth, Keys("SHP01 SHP02 SHP03")},
        {"highpass", {Highpass, 0.5L, 40, 1000, 500, 0, 5}, Butterworth, Keys("SHP06 SHP10")},
        {"bandpass", {Bandpass, 0.5L, 40, 600, 3000, 2000, 4}, Butterworth, Keys("SBP03 SBP04 SBP05")},
        {"bandpass", {Bandpass, 0.5L, 40, 600, 3000, 2000, 4}, Butterworth, Keys("SBP08 SBP13")},
        {"elliptic lowpass", {Lowpass, 0.5L, 30, 1000, 2000, 0, 4}, Elliptic, Keys("SLPN01 SLPN04 SLPN10")},
        {"elliptic highpass", {Highpass, 0.5L, 30, 1000, 500, 0, 4}, Elliptic, Keys("SHPN01 SHPN03 SHPN09")},
        {"bandstop", {Bandstop, 0.5L, 40, 1000, 200, 2000, 2}, Butterworth, Keys("SN01 SN02 SN09")},
    };
}

SpiceOptions SweepOver(const Span& s, SpiceOpAmpModel model) {
    return {.dialect = SpiceDialect::Ngspice,
            .opamp = model,
            .startHz = s.loHz,
            .endHz = s.hiHz,
            .pointsPerDecade = "40"};
}

// The netlist's ideal op amp: a voltage-controlled source of gain 1e5 (a single pole so
// far above every frequency here that the gain is flat).
const OpAmpModel kNetlistVcvs = OpAmpModel::SinglePole(1.0e20L, 1.0e5L);

// The value a netlist text stands for: "10.123K" is 10 123 Ohm, "2.2nF" 2.2e-9 F.
long double SpiceValue(const std::string& text) {
    static const std::pair<const char*, long double> suffixes[] = {
        {"MEG", 1e6L}, {"pF", 1e-12L}, {"nF", 1e-9L}, {"uF", 1e-6L}, {"K", 1e3L}, {"G", 1e9L}, {"m", 1e-3L}};
    for (const auto& [suffix, scale] : suffixes)
        if (text.ends_with(suffix))
            return std::stold(text.substr(0, text.size() - std::strlen(suffix))) * scale;
    return std::stold(text);
}

// The cascade's response from the nodal analysis of every stage's netlist, with the
// exact component values or with those the netlist writes (five digits).
std::optional<std::complex<long double>> CascadeNodal(const TDesign& d, long double w,
                                                      const OpAmpModel& model, bool asWritten = false) {
    std::complex<long double> h = 1.0L;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const Topology* t = FindTopology(StageCircuitEntry(d, i)->key, c.CompensationInUse != 0);
        if (!t) return std::nullopt;
        ComponentValues<long double> v = StageComponentValues(c);
        if (asWritten) {
            for (int k = 1; k <= c.ResistorCount; ++k)
                v.R[static_cast<std::size_t>(k)] = SpiceValue(NetlistResistanceText(R(c, k), 5));
            for (int k = 1; k <= c.CapacitorCount; ++k)
                v.C[static_cast<std::size_t>(k)] = SpiceValue(SpiceCapacitanceText(C(c, k), 5));
        }
        const auto g = NodalResponse(*t, v, {0.0L, w}, model);
        if (!g) return std::nullopt;
        h *= *g;
    }
    return h;
}

// a - b in degrees within (-180, 180], for angles in radians.
long double PhaseDifference(long double a, long double b) {
    return std::remainder((a - b) * 180.0L / std::numbers::pi_v<long double>, 360.0L);
}

int InvertingCount(const TDesign& d) {
    return static_cast<int>(InvertingStages(d, 1, d.StageCount).size());
}

TEST(NgspiceCrossCheck, EveryCircuitPlainAndCompensatedMatchesTheFinalResponses) {
    REQUIRE_NGSPICE();
    int checked = 0, compensated = 0;
    std::set<std::string> keysSeen;
    long double largestGbwEffectDb = 0, largestLoadingDb = 0;
    for (const Family& fam : Families()) {
        for (const std::string& key : fam.keys) {
            for (const bool comp : {false, true}) {
                if (comp && !ActiveCompensationOffered(key)) continue;
                SCOPED_TRACE(std::string(fam.name) + " " + key + (comp ? " compensated" : ""));
                TDesign d;
                const auto designed = outtest::DesignWith(d, fam.spec, fam.approx, key, comp);
                ASSERT_TRUE(designed.ok) << designed.message;
                bool uses = false;
                for (int i = 1; i <= d.StageCount; ++i)
                    uses = uses || StageCircuitEntry(d, i)->key == key;
                ASSERT_TRUE(uses);
                keysSeen.insert(key);
                const Span span = StageSpan(d);

                // "Ideal" op amps: the netlist's are amplifiers of gain 1e5, and its values
                // carry five digits. ngspice must match Velmora's nodal analysis of that
                // very netlist (gain 1e5, the values as written) everywhere but at the
                // notch bottoms, and the exact final response wherever those two
                // approximations do not matter (the nodal analysis tells within 0.002 dB
                // and 0.02 degree; they do matter where a response is the small
                // difference of large signal paths, as in the stopband of a single-
                // amplifier notch with its large noise gain).
                std::string log;
                const auto ideal =
                    Simulate(BuildSpiceNetlist(d, SweepOver(span, SpiceOpAmpModel::Vcvs)).lines, log);
                ASSERT_EQ(ideal.size(), 1u) << log;
                ASSERT_GT(ideal[0].size(), 70u);
                const long double flip = 180.0L * InvertingCount(d);
                int exactPoints = 0;
                for (const AcPoint& p : ideal[0]) {
                    if (NearNotch(span, p.fHz)) continue;
                    SCOPED_TRACE((double)p.fHz);
                    const long double w = kTwoPi * p.fHz;
                    const auto v = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w);
                    const auto netlist = CascadeNodal(d, w, kNetlistVcvs, true);
                    ASSERT_TRUE(v && netlist);
                    EXPECT_NEAR((double)Db(std::abs(p.v)), (double)Db(std::abs(*netlist)), 0.01);
                    EXPECT_NEAR((double)PhaseDifference(std::arg(p.v), std::arg(*netlist)), 0.0, 0.1);
                    const long double exactPhase =
                        (-v->PhaseLag + flip) * std::numbers::pi_v<long double> / 180.0L;
                    if (std::fabs(Db(std::abs(*netlist)) - Db(v->GainVV)) > 0.002L ||
                        std::fabs(PhaseDifference(std::arg(*netlist), exactPhase)) > 0.02L)
                        continue;
                    ++exactPoints;
                    EXPECT_NEAR((double)Db(std::abs(p.v)), (double)Db(v->GainVV), 0.01);
                    EXPECT_NEAR((double)PhaseDifference(std::arg(p.v), exactPhase), 0.0, 0.1);
                }
                EXPECT_GE(exactPoints, 10); // of some 70 (Friend's lowpass notch: a dozen)

                // Single-pole op amps at 200 times the highest stage frequency, where
                // their effect is visible: the " Op amp GBW" response, up to three times
                // the highest stage frequency, with every stage loaded by the next one's
                // input as in the netlist. Points where the five-digit values matter (as
                // above) are left out.
                for (int i = 1; i <= d.StageCount; ++i)
                    d.Circuits[i].OpAmpGBW = 20.0L * span.hiHz;
                const auto real =
                    Simulate(BuildSpiceNetlist(d, SweepOver(span, SpiceOpAmpModel::SinglePole)).lines, log);
                ASSERT_EQ(real.size(), 1u) << log;
                int gbwPoints = 0;
                for (const AcPoint& p : real[0]) {
                    if (NearNotch(span, p.fHz) || p.fHz > 0.3L * span.hiHz) continue;
                    SCOPED_TRACE((double)p.fHz);
                    const long double w = kTwoPi * p.fHz;
                    const auto g = FinalGbwResponseAt(d, 1, d.StageCount, w);
                    const auto v = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w);
                    const OpAmpModel model =
                        OpAmpModel::SinglePole(20.0L * span.hiHz, kOpAmpDcGain, kOpAmpOutputResistance);
                    const auto exact = CascadeNodal(d, w, model), written = CascadeNodal(d, w, model, true);
                    ASSERT_TRUE(g && v && exact && written);
                    if (std::fabs(Db(std::abs(*exact)) - Db(std::abs(*written))) > 0.005L) continue;
                    ++gbwPoints;
                    EXPECT_NEAR((double)Db(std::abs(p.v)), (double)Db(g->GainVV), 0.01);
                    largestGbwEffectDb =
                        std::max(largestGbwEffectDb, std::fabs(Db(g->GainVV) - Db(v->GainVV)));
                    largestLoadingDb =
                        std::max(largestLoadingDb, std::fabs(Db(g->GainVV) - Db(std::abs(*exact))));
                }
                EXPECT_GE(gbwPoints, 20);
                ++checked;
                compensated += comp;
            }
        }
    }
    EXPECT_EQ(keysSeen.size(), CatalogueEntries().size()); // every circuit of the catalogue
    EXPECT_GE(compensated, 8);
    // The single-pole comparison means something only where the op amps change the
    // response by more than its tolerance.
    EXPECT_GT(largestGbwEffectDb, 0.5L);
    // Nor does the loading of each stage by the next one's input (a capacitor input loads
    // the 100 Ohm op-amp output before it): evaluating the stages unloaded is off by up to
    // 0.04 dB here, four times the tolerance.
    EXPECT_GT(largestLoadingDb, 0.03L);
    EXPECT_GT(checked, 40);
}

// The documented differences between the dialects, and nothing else.
bool DefaultOnly(const std::string& l) {
    return l.starts_with(".MODEL RMODEL RES(R=1 DEV=") || l.starts_with(".MODEL CMODEL CAP(C=1 DEV=") ||
           l.starts_with(".PROBE ") || l.starts_with(".PRINT AC") || l.starts_with(".PLOT AC") ||
           l.starts_with(".MC ");
}
std::vector<std::string> WithoutDialectLines(const std::vector<std::string>& lines, bool ngspice) {
    std::vector<std::string> out;
    bool control = false;
    for (const std::string& l : lines) {
        if (ngspice) {
            if (l == ".control") control = true;
            const bool skip = control || l == ".MODEL RMODEL RES(R=1)" || l == ".MODEL CMODEL C(C=1)";
            if (l == ".endc") control = false;
            if (skip) continue;
        } else if (DefaultOnly(l)) {
            continue;
        }
        out.push_back(l);
    }
    return out;
}

TEST(NgspiceCrossCheck, DialectsDifferOnlyInTheDocumentedLines) {
    for (const Family& fam : Families()) {
        for (const bool comp : {false, true}) {
            std::string key = fam.keys.back();
            for (const std::string& k : fam.keys)
                if (!comp || ActiveCompensationOffered(k)) key = k;
            if (comp && !ActiveCompensationOffered(key)) continue;
            SCOPED_TRACE(std::string(fam.name) + " " + key);
            TDesign d;
            ASSERT_TRUE(outtest::DesignWith(d, fam.spec, fam.approx, key, comp).ok);
            for (const auto model : {SpiceOpAmpModel::Vcvs, SpiceOpAmpModel::SinglePole}) {
                SpiceOptions o = SweepOver(StageSpan(d), model);
                o.print = o.plot = o.monteCarlo = true;
                o.runs = "3";
                o.dialect = SpiceDialect::Default;
                const auto plain = BuildSpiceNetlist(d, o).lines;
                o.dialect = SpiceDialect::Ngspice;
                const auto ng = BuildSpiceNetlist(d, o).lines;
                ASSERT_FALSE(plain.empty());
                EXPECT_NE(plain, ng);
                EXPECT_EQ(WithoutDialectLines(plain, false), WithoutDialectLines(ng, true));
                EXPECT_EQ(plain.back(), ".END");
                EXPECT_EQ(ng.back(), ".END");
            }
        }
    }
}

TEST(NgspiceCrossCheck, MonteCarloLoopVariesTheComponentsWithinTheirTolerances) {
    REQUIRE_NGSPICE();
    TDesign d;
    ASSERT_TRUE(outtest::DesignWith(d, {Lowpass, 0.5L, 40, 1000, 2000, 0, 4}, Butterworth, "SLP02").ok);
    SpiceOptions o = SweepOver(StageSpan(d), SpiceOpAmpModel::Vcvs);
    o.monteCarlo = o.print = o.plot = true;
    o.runs = "4";
    o.resistorTolerance = "5%";
    o.capacitorTolerance = "5%";
    // A netlist named with blanks and brackets ("my filter (2).cir") still writes its data:
    // ngspice would split the name at the blank and write nothing.
    o.dataFile = "my filter (2).ac.txt";
    std::string log;
    const auto runs = Simulate(BuildSpiceNetlist(d, o).lines, log, o.dataFile);
    ASSERT_EQ(runs.size(), 5u) << log; // the nominal sweep and four runs
    EXPECT_NE(log.find("Index"), std::string::npos) << "the print table";
    EXPECT_NE(log.find("Legend"), std::string::npos) << "the line-printer plot";
    EXPECT_EQ(log.find("rror"), std::string::npos) << log;
    long double largest = 0;
    for (std::size_t r = 1; r < runs.size(); ++r) {
        ASSERT_EQ(runs[r].size(), runs[0].size());
        for (std::size_t k = 0; k < runs[0].size(); ++k)
            largest = std::max(largest, std::fabs(Db(std::abs(runs[r][k].v)) - Db(std::abs(runs[0][k].v))));
    }
    // Components within 5 % move a fourth-order Butterworth response by tenths of a
    // decibel near its edge, never by several decibels.
    EXPECT_GT(largest, 0.001L);
    EXPECT_LT(largest, 3.0L);
}

} // namespace
} // namespace velmora
