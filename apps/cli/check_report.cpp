// The specification check in the text report and the JSON document.
#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <numbers>

#include "model/number_text.h"
#include "report.h"

namespace velmora::cli {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
// A margin thinner than this is within what component tolerances move either way.
constexpr long double kThinMarginDb = 0.05L;

nlohmann::ordered_json Number(long double v) {
    const double x = static_cast<double>(v);
    if (!std::isfinite(x)) return nullptr;
    return x;
}

// A stopband figure, null where the mask has no stopband (a filter of forced order).
nlohmann::ordered_json StopNumber(const MaskMargins& m, long double v) {
    return m.HasStop ? Number(v) : nullptr;
}

std::string Margin(long double db) {
    return fmt::format("{:+.3f} dB", static_cast<double>(db));
}

std::string Gbw(const std::optional<long double>& hz) {
    return hz ? FrequencyWithUnit(*hz, true) : std::string("none up to 10 GHz");
}

std::string StageList(const std::vector<int>& stages) {
    std::string t;
    for (int i : stages)
        t += (t.empty() ? "" : ",") + std::to_string(i);
    return t;
}

// What a remedy is, in words, with the options that make it.
std::string RemedyText(const Remedy& r) {
    const std::string list = StageList(r.stages);
    const bool one = r.stages.size() == 1;
    std::string what;
    switch (r.kind) {
    case Remedy::Kind::Predistort:
        what = "Predistorting stage" + std::string(one ? " " : "s ") + list + " for " +
               (one ? "its" : "their") + " op amp" + (one ? "" : "s") + " (--predistort " + list + ")";
        break;
    case Remedy::Kind::Compensate:
        what = "The actively compensated circuit in stage" + std::string(one ? " " : "s ") + list +
               " (--compensate " + list + ")";
        break;
    case Remedy::Kind::StandardValues:
        what = "Standard resistors of the " + std::to_string(r.seriesPct) + " % series with strategy " +
               std::to_string(r.strategy) + " (--standard-r " + std::to_string(r.seriesPct) + " --strategy " +
               std::to_string(r.strategy) + ")";
        break;
    }
    return what + " meets the specification: passband margin " + Margin(r.margins.PassMarginDb) +
           (r.margins.HasStop ? ", stopband margin " + Margin(r.margins.StopMarginDb) : std::string()) + ".";
}

} // namespace

std::vector<std::string> YieldContext(const std::optional<SpecificationCheck>& c) {
    std::vector<std::string> out;
    if (!c) return out;
    for (const VariantCheck& v : c->Variants) {
        if (v.Variant != CheckedVariant::Exact) continue;
        const MaskMargins& m = v.Margins;
        out.push_back("The built filter's nominal margins (exact values): passband " +
                      Margin(m.PassMarginDb) +
                      (m.HasStop ? ", stopband " + Margin(m.StopMarginDb) : std::string()) + ".");
        if (m.Meets() && m.WorstMarginDb() < kThinMarginDb)
            out.push_back(
                "With no margin at an edge, about half of the filters built miss it at any tolerance: "
                "the tolerances move the response either way. Designing with a margin "
                "(--design-margin DB) trades order for yield.");
    }
    return out;
}

std::vector<std::string> SpecificationSuggestions(const TDesign& d, const SpecificationCheck& c) {
    std::vector<std::string> out;
    for (const Remedy& r : c.Remedies)
        out.push_back(RemedyText(r));
    // Where a variant misses and nothing tried helps, say so: the engineer then knows
    // that the design itself needs room (a margin, or a higher order).
    const auto state = [&](CheckedVariant v) -> int { // -1 absent, 0 misses, 1 meets
        for (const VariantCheck& x : c.Variants)
            if (x.Variant == v) return x.Margins.Meets() ? 1 : 0;
        return -1;
    };
    const auto tried = [&](Remedy::Kind k) {
        return std::any_of(c.Remedies.begin(), c.Remedies.end(),
                           [&](const Remedy& r) { return r.kind == k; });
    };
    if (state(CheckedVariant::Exact) == 1) {
        if (state(CheckedVariant::Gbw) == 0 && !tried(Remedy::Kind::Predistort) &&
            !tried(Remedy::Kind::Compensate))
            out.push_back(
                "Neither predistortion nor active compensation of the stages meets the specification "
                "with these op amps.");
        if (state(CheckedVariant::Standard) == 0 && !tried(Remedy::Kind::StandardValues) &&
            !d.Components.UseResInventory)
            out.push_back("No standard series (1, 5, 10 %) with either strategy meets the specification.");
    }
    return out;
}

nlohmann::ordered_json SpecificationCheckJson(const TDesign& d, const SpecificationCheck& c) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (const VariantCheck& v : c.Variants) {
        const MaskMargins& m = v.Margins;
        j[CheckedVariantKey(v.Variant)] = {{"meets", m.Meets()},
                                           {"passband_margin_db", Number(m.PassMarginDb)},
                                           {"passband_worst_hz", Number(m.PassWorstW / kTwoPi)},
                                           {"stopband_margin_db", StopNumber(m, m.StopMarginDb)},
                                           {"stopband_worst_hz", StopNumber(m, m.StopWorstW / kTwoPi)}};
    }
    if (c.Required) {
        auto stages = nlohmann::ordered_json::array();
        for (const auto& hz : c.Required->StageHz)
            stages.push_back(hz ? Number(*hz) : nullptr);
        j["required_gbw_hz"] = {{"common", c.Required->CommonHz ? Number(*c.Required->CommonHz) : nullptr},
                                {"stages", stages}};
    }
    if (!c.Variants.empty()) j["suggestions"] = SpecificationSuggestions(d, c);
    return j;
}

void PrintSpecificationCheck(std::ostream& out, const TDesign& d, const SpecificationCheck& c) {
    if (c.Variants.empty()) return;
    out << "Specification check (attenuation below the specified gain of "
        << TrimmedText(d.Spec.OverallGain.value(), 6) << " V/V; a positive margin means the mask holds)\n";
    out << fmt::format("  {:<26}{:<8}{:>14}{:>16}{:>14}{:>16}\n", "Variant", "Result", "Passband", "worst at",
                       "Stopband", "worst at");
    for (const VariantCheck& v : c.Variants) {
        const MaskMargins& m = v.Margins;
        out << fmt::format("  {:<26}{:<8}{:>14}{:>16}{:>14}{:>16}\n", CheckedVariantTitle(v.Variant),
                           m.Meets() ? "meets" : "misses", Margin(m.PassMarginDb),
                           FrequencyWithUnit(m.PassWorstW / kTwoPi, true),
                           m.HasStop ? Margin(m.StopMarginDb) : std::string("none"),
                           m.HasStop ? FrequencyWithUnit(m.StopWorstW / kTwoPi, true) : std::string("-"));
    }
    if (c.Required) {
        out << "  With these op amps the filter misses its specification. Op-amp GBW it needs:\n";
        out << "    the same op amp in every stage: " << Gbw(c.Required->CommonHz) << "\n";
        for (std::size_t k = 0; k < c.Required->StageHz.size(); ++k)
            out << "    stage " << k + 1 << " (now "
                << FrequencyWithUnit(d.Circuits[static_cast<int>(k) + 1].OpAmpGBW.value(), true)
                << "), the other stages as they are: " << Gbw(c.Required->StageHz[k]) << "\n";
    }
    for (const std::string& t : SpecificationSuggestions(d, c))
        out << "  " << t << "\n";
    const bool missesBuilt = std::any_of(c.Variants.begin(), c.Variants.end(), [](const VariantCheck& v) {
        return v.Variant != CheckedVariant::Ideal && v.Variant != CheckedVariant::Exact && !v.Margins.Meets();
    });
    for (const VariantCheck& v : c.Variants)
        if (v.Variant == CheckedVariant::Exact && missesBuilt && v.Margins.Meets() &&
            v.Margins.WorstMarginDb() < kThinMarginDb)
            out << "  The design meets its specification with no margin to spare, so any departure of the "
                   "built "
                   "filter misses it:\n  a design margin (--design-margin DB) leaves room for op amps and "
                   "standard values.\n";
    out << "\n";
}

} // namespace velmora::cli
