// The specification check in the text report and the JSON document.
#include <cmath>
#include <fmt/format.h>
#include <numbers>

#include "model/number_text.h"
#include "report.h"

namespace velmora::cli {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

nlohmann::ordered_json Number(long double v) {
    const double x = static_cast<double>(v);
    if (!std::isfinite(x)) return nullptr;
    return x;
}

std::string Margin(long double db) {
    return fmt::format("{:+.3f} dB", static_cast<double>(db));
}

std::string Gbw(const std::optional<long double>& hz) {
    return hz ? FrequencyWithUnit(*hz, true) : std::string("none up to 10 GHz");
}

} // namespace

nlohmann::ordered_json SpecificationCheckJson(const SpecificationCheck& c) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (const VariantCheck& v : c.Variants) {
        const MaskMargins& m = v.Margins;
        j[CheckedVariantKey(v.Variant)] = {{"meets", m.Meets()},
                                           {"passband_margin_db", Number(m.PassMarginDb)},
                                           {"passband_worst_hz", Number(m.PassWorstW / kTwoPi)},
                                           {"stopband_margin_db", Number(m.StopMarginDb)},
                                           {"stopband_worst_hz", Number(m.StopWorstW / kTwoPi)}};
    }
    if (c.Required) {
        auto stages = nlohmann::ordered_json::array();
        for (const auto& hz : c.Required->StageHz)
            stages.push_back(hz ? Number(*hz) : nullptr);
        j["required_gbw_hz"] = {{"common", c.Required->CommonHz ? Number(*c.Required->CommonHz) : nullptr},
                                {"stages", stages}};
    }
    return j;
}

void PrintSpecificationCheck(std::ostream& out, const TDesign& d, const SpecificationCheck& c) {
    if (c.Variants.empty()) return;
    out << "Specification check (attenuation below the specified gain of "
        << TrimmedText(d.Spec.OverallGain.value(), 6)
        << " V/V; a positive margin means the mask holds)\n";
    out << fmt::format("  {:<26}{:<8}{:>14}{:>16}{:>14}{:>16}\n", "Variant", "Result", "Passband",
                       "worst at", "Stopband", "worst at");
    for (const VariantCheck& v : c.Variants) {
        const MaskMargins& m = v.Margins;
        out << fmt::format("  {:<26}{:<8}{:>14}{:>16}{:>14}{:>16}\n", CheckedVariantTitle(v.Variant),
                           m.Meets() ? "meets" : "misses", Margin(m.PassMarginDb),
                           FrequencyWithUnit(m.PassWorstW / kTwoPi, true), Margin(m.StopMarginDb),
                           FrequencyWithUnit(m.StopWorstW / kTwoPi, true));
    }
    if (c.Required) {
        out << "  With these op amps the filter misses its specification. Op-amp GBW it needs:\n";
        out << "    the same op amp in every stage: " << Gbw(c.Required->CommonHz) << "\n";
        for (std::size_t k = 0; k < c.Required->StageHz.size(); ++k)
            out << "    stage " << k + 1 << " (now "
                << FrequencyWithUnit(d.Circuits[static_cast<int>(k) + 1].OpAmpGBW.value(), true)
                << "), the other stages as they are: " << Gbw(c.Required->StageHz[k]) << "\n";
    }
    out << "\n";
}

} // namespace velmora::cli
