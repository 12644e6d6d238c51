// The application layer on its own: a complete design, standard values and Monte Carlo
// included, made through the use-cases alone gives the command line's JSON document for
// the same request, value for value in the results use-case too; and each use-case
// announces exactly the parts it changed. The specification entries as the entry form
// reads them come last.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>

#include "analysis/graph_axes.h"
#include "app/design_results.h"
#include "app/design_session.h"
#include "app/messages.h"
#include "cli.h"
#include "report.h"
#include "support/cli_run.h"

namespace velmora::app {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// A 1 kHz / 2 kHz lowpass, 0.5 dB / 30 dB, through its circuits.
void DesignLowpass1k(DesignSession& session, const TDesign& d) {
    session.StartDesign(Lowpass);
    Specification s = d.Spec;
    s.ApbEntry = s.Apb = 0.5L;
    s.AsbEntry = s.Asb = 30.0L;
    s.wpb = kTwoPi * 1000.0L;
    s.wsb = kTwoPi * 2000.0L;
    s.Selectivity = s.wsb / s.wpb;
    s.NormPassEdge = 1.0L;
    ASSERT_EQ(session.EnterSpecification(s, 1.0L), SpecificationStatus::Ok);
    ASSERT_TRUE(session.RealiseApproximation(session.DefaultApproximation()).ok);
    ASSERT_TRUE(session.DesignCircuits({}).ok);
}

// A complete design made through the use-cases alone, standard values, capacitors and
// Monte Carlo included, is the one the command line makes for the same request: the
// specification given as working values (the lowpass above) or as the entry form's texts
// (a highpass with its gain in dB).
void DesignHighpassFromEntries(DesignSession& session, const TDesign&) {
    SpecificationEntry e = session.StartDesign(Highpass);
    e.pass = {"3000", 0, std::nullopt, ""};
    e.stop = {"1000", 0, std::nullopt, ""};
    e.gainDb = true;
    e.gain = "6";
    const SpecificationOutcome specified = session.EnterSpecification(e);
    ASSERT_TRUE(specified.ready && specified.issues.empty());
    ASSERT_TRUE(session.RealiseApproximation(session.DefaultApproximation()).ok);
    ASSERT_TRUE(session.DesignCircuits({}).ok);
}

TEST(DesignSession, CompleteDesignEqualsTheCommandLines) {
    const struct {
        void (*design)(DesignSession&, const TDesign&);
        int series, runs;
        bool allCaps;
        std::vector<std::string> args;
    } cases[] = {
        {DesignLowpass1k, 0, 0, false, {"--fpb", "1k", "--fsb", "2k"}},
        {DesignLowpass1k,
         5,
         60,
         false,
         {"--fpb", "1k", "--fsb", "2k", "--standard-r", "5", "--monte-carlo", "60"}},
        {DesignHighpassFromEntries,
         1,
         40,
         true,
         {"--type", "highpass", "--fpb", "3k", "--fsb", "1k", "--gain-db", "6", "--all-caps-standard",
          "--standard-r", "1", "--monte-carlo", "40"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        auto design = std::make_unique<TDesign>();
        DesignSession session(*design);
        c.design(session, *design);
        ComponentRequest q;
        q.series = c.series;
        q.monteCarloRuns = c.runs;
        q.allCapsStandard = c.allCaps;
        const ComponentOutcome outcome = session.ApplyComponents(q);
        ASSERT_TRUE(outcome.ok && !outcome.interrupted);
        EXPECT_EQ(outcome.monteCarlo.has_value(), c.runs > 0);

        cli::ReportOptions ro;
        ro.monteCarlo = outcome.monteCarlo ? &*outcome.monteCarlo : nullptr;
        ro.notes = outcome.notes;
        ro.responseAxis = session.ResponseAxis();
        std::vector<std::string> args = {"design"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(nlohmann::json::parse(cli::DesignJson(*design, ro).dump()), test::VelmoraJson(args));
    }
}

// Each use-case bumps the parts it changed and the parts computed from them, and no
// other; a refused request changes nothing.
TEST(DesignSession, ChangesNameWhatChanged) {
    auto design = std::make_unique<TDesign>();
    DesignSession session(*design);
    std::vector<DesignPart> told;
    const int id = session.Changes().Subscribe([&](DesignPart p) { told.push_back(p); });
    auto revisions = [&] {
        std::vector<std::uint64_t> r;
        for (int p = 0; p < kDesignPartCount; ++p)
            r.push_back(session.Changes().Revision(static_cast<DesignPart>(p)));
        return r;
    };
    using P = DesignPart;
    DesignLowpass1k(session, *design);
    EXPECT_EQ(revisions(), (std::vector<std::uint64_t>{2, 3, 3, 4, 4, 4}));

    const std::vector<std::uint64_t> before = revisions();
    ComponentRequest refused;
    refused.tolerance.ResistorPct = 51; // beyond the tolerances' range
    const auto saved = std::make_unique<TDesign>(*design);
    EXPECT_FALSE(session.ApplyComponents(refused).ok);
    EXPECT_EQ(revisions(), before);
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(EncodeDesign(*design, a).ok() && EncodeDesign(*saved, b).ok());
    EXPECT_EQ(a, b) << "a refused request leaves the design as it was";

    told.clear();
    ComponentRequest monteCarlo;
    monteCarlo.monteCarloRuns = 5;
    EXPECT_TRUE(session.ApplyComponents(monteCarlo).monteCarlo);
    EXPECT_EQ(told, (std::vector<P>{P::Components, P::Analyses, P::Analyses}));
    session.Changes().Unsubscribe(id);
    told.clear();
    session.DesignCircuits({});
    EXPECT_TRUE(told.empty());
}

// The Monte Carlo analysis ends when the front end says so, and then gives no result.
TEST(DesignSession, MonteCarloEndsWhenAsked) {
    auto design = std::make_unique<TDesign>();
    DesignSession session(*design);
    DesignLowpass1k(session, *design);
    ComponentRequest q;
    q.monteCarloRuns = 100;
    int calls = 0;
    q.monteCarloProgress = [&](int done, int) { return ++calls, done < 10; };
    const ComponentOutcome outcome = session.ApplyComponents(q);
    EXPECT_TRUE(outcome.interrupted);
    EXPECT_FALSE(outcome.monteCarlo);
    EXPECT_EQ(calls, 11);
}

// The results use-case against the command line's JSON document for the same design: what
// the person reads in --json is what app::Results computed, value for value.
TEST(DesignResults, EqualTheCommandLinesDocument) {
    auto d = std::make_unique<TDesign>();
    DesignSession session(*d);
    ASSERT_NO_FATAL_FAILURE(DesignLowpass1k(session, *d));
    ComponentRequest q;
    q.series = 5; // standard resistors: every final-response variant is present
    ASSERT_TRUE(session.ApplyComponents(q).ok);

    ResultOptions o;
    o.responseAxis = DataFrequencyAxis(*d);
    const DesignResults r = Results(*d, o);
    const nlohmann::json j = test::VelmoraJson({"design", "--fpb", "1k", "--fsb", "2k", "--standard-r", "5"});

    // The document holds doubles of the long double results: equal to double rounding.
    const auto same = [](const nlohmann::json& value, long double x) {
        return value.is_number() && value.get<double>() == static_cast<double>(x);
    };
    const struct {
        const char* key;
        const std::vector<FinalFrequencySample>& samples;
    } finals[] = {{"final_response", r.finalExact},
                  {"final_response_gbw", r.finalGbw},
                  {"final_response_standard", r.finalStandard}};
    for (const auto& f : finals) {
        SCOPED_TRACE(f.key);
        const nlohmann::json& list = j[f.key]["samples"];
        ASSERT_EQ(list.size(), f.samples.size());
        ASSERT_FALSE(f.samples.empty());
        for (std::size_t i = 0; i < list.size(); i += 50)
            EXPECT_TRUE(same(list[i]["f_hz"], f.samples[i].FHz) &&
                        same(list[i]["gain_db"], f.samples[i].GainDb) &&
                        same(list[i]["phase_deg"], f.samples[i].PhaseDeg))
                << i;
    }
    ASSERT_EQ(j["ideal_response"].size(), r.ideal.size());
    ASSERT_TRUE(r.tolerance && r.check);
    EXPECT_TRUE(same(j["tolerance"]["filter_spread_db"], r.tolerance->AtPassbandEdge.Spread));
    for (const VariantCheck& v : r.check->Variants) {
        const nlohmann::json& c = j["specification_check"][CheckedVariantKey(v.Variant)];
        EXPECT_EQ(c["meets"].get<bool>(), v.Margins.Meets()) << CheckedVariantKey(v.Variant);
        EXPECT_TRUE(same(c["passband_margin_db"], v.Margins.PassMarginDb)) << CheckedVariantKey(v.Variant);
    }
    EXPECT_EQ(j.contains("component_warnings"), !r.impractical.empty());
}

// The specification entries read by the application layer: refused entries name the
// problem and the field as the entry form does, accepted ones give the working values in
// rad/s (a design entered this way is compared with the command line's in the session's
// tests).
TEST(SpecificationEntry, RefusedEntriesNameTheProblemAndTheField) {
    using P = EntryProblem;
    using F = EntryField;
    const struct {
        const char* what;
        uint8_t type;
        std::function<void(SpecificationEntry&)> change;
        std::vector<EntryIssue> issues; // reading and checking
        std::optional<P> gain = {};     // the gain's own problem
    } cases[] = {
        {"zero Apb", Lowpass, [](auto& e) { e.apb = "0"; }, {{P::InvalidNumber, F::Apb}}},
        {"text for fsb", Lowpass, [](auto& e) { e.stop.text = "x"; }, {{P::InvalidNumber, F::Stop}}},
        {"order 21",
         Lowpass,
         [](auto& e) { e.forceOrder = true, e.order = "21"; },
         {{P::OrderTooHigh, F::Order}}},
        {"odd band order",
         Bandstop,
         [](auto& e) { e.forceOrder = true, e.order = "5"; },
         {{P::OrderOdd, F::Order}}},
        {"Asb below Apb", Lowpass, [](auto& e) { e.asb = "0.4"; }, {{P::AsbNotAboveApb, F::None}}},
        // Every check of the values read reports: the edges cross and lie above 100 MHz.
        {"edges",
         Lowpass,
         [](auto& e) { e.pass.text = "200000"; },
         {{P::StopNotAbovePass}, {P::FrequencyTooHigh}}},
        {"highpass edges", Highpass, [](auto& e) { e.pass.text = "0.5"; }, {{P::PassNotAboveStop, F::None}}},
        {"bandpass widths", Bandpass, [](auto& e) { e.stop.text = "0.5"; }, {{P::BsbNotAboveBpb, F::None}}},
        {"gain 2000 V/V", Lowpass, [](auto& e) { e.gain = "2000"; }, {}, P::GainTooHigh},
        {"gain 0.05 V/V", Lowpass, [](auto& e) { e.gain = "0.05"; }, {}, P::GainTooLow},
        {"gain 61 dB", Lowpass, [](auto& e) { e.gainDb = true, e.gain = "61"; }, {}, P::GainTooHigh},
        {"gain 60 dB", Lowpass, [](auto& e) { e.gainDb = true, e.gain = "60"; }, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = std::make_unique<TDesign>();
        DesignSession session(*d);
        SpecificationEntry e = session.StartDesign(c.type);
        c.change(e);
        const SpecificationRead read = ReadSpecification(*d, e);
        ASSERT_EQ(read.issues.size(), c.issues.size());
        for (std::size_t k = 0; k < c.issues.size(); ++k) {
            EXPECT_EQ(read.issues[k].problem, c.issues[k].problem) << k;
            EXPECT_EQ(read.issues[k].field, c.issues[k].field) << k;
        }
        const GainRead gain = ReadOverallGain(e);
        EXPECT_EQ(gain.issue.has_value(), c.gain.has_value());
        if (gain.issue) {
            EXPECT_EQ(gain.issue->problem, *c.gain);
            EXPECT_FALSE(EntryMessage(gain.issue->problem).empty());
        }
    }
}

// The working values are stored as Real48, about 1e-12 relative.
::testing::AssertionResult Near(long double got, long double want) {
    if (std::fabs(got - want) <= 1e-11L * want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << static_cast<double>(got) << " is not " << static_cast<double>(want);
}

TEST(SpecificationEntry, WorkingValuesInRadiansPerSecond) {
    auto d = std::make_unique<TDesign>();
    DesignSession session(*d);
    SpecificationEntry e = session.StartDesign(Lowpass); // 1 and 2 kHz
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wpb, kTwoPi * 1000.0L));
    // A text the program wrote reads back as the exact value behind it; a typed change wins.
    e.pass = {"1.1", 1, kTwoPi * 1099.999L, "1.1"};
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wpb, kTwoPi * 1099.999L));
    e.pass.text = "1.2";
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wpb, kTwoPi * 1200.0L));
    // In rad/s the units are rad/s and krad/s.
    session.SetFrequencyUnit(false);
    e = session.StartDesign(Lowpass);
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wsb, 2000.0L));
}

} // namespace
} // namespace velmora::app
