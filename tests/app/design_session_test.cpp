// The application layer on its own: a complete design, standard values and Monte Carlo
// included, made through the use-cases alone gives the command line's JSON document for
// the same request; and each use-case announces exactly the parts it changed.
#include <gtest/gtest.h>

#include <numbers>

#include "app/design_session.h"
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

} // namespace
} // namespace velmora::app
