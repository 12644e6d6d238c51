// The results use-case against the command line's JSON document for the same design: what
// the person reads in --json is what app::Results computed, value for value.
#include <gtest/gtest.h>

#include <memory>
#include <numbers>

#include "analysis/graph_axes.h"
#include "app/design_results.h"
#include "app/design_session.h"
#include "support/cli_run.h"

namespace velmora::app {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

TEST(DesignResults, EqualTheCommandLinesDocument) {
    auto d = std::make_unique<TDesign>();
    DesignSession session(*d);
    session.StartDesign(Lowpass);
    Specification s = d->Spec;
    s.ApbEntry = s.Apb = 0.5L;
    s.AsbEntry = s.Asb = 30.0L;
    s.wpb = kTwoPi * 1000.0L;
    s.wsb = kTwoPi * 2000.0L;
    s.Selectivity = s.wsb / s.wpb;
    s.NormPassEdge = 1.0L;
    ASSERT_EQ(session.EnterSpecification(s, 1.0L), SpecificationStatus::Ok);
    ASSERT_TRUE(session.RealiseApproximation(session.DefaultApproximation()).ok);
    ASSERT_TRUE(session.DesignCircuits({}).ok);
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

} // namespace
} // namespace velmora::app
