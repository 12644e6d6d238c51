#include "analysis/specification_check.h"

#include <cmath>

#include "analysis/final_response.h"
#include "analysis/final_response_gbw.h"
#include "analysis/frequency_response.h"
#include "analysis/ideal_filter.h"
#include "circuits/standard_substitution.h"

namespace velmora {
namespace {

// The search range of a GBW requirement (Hz) and its resolution (ratio of the bracket).
constexpr long double kLowestGbwHz = 1.0e3L;
constexpr long double kHighestGbwHz = 1.0e10L;
constexpr long double kGbwResolution = 1.005L;

Complex Polynomial(const std::array<long double, 4>& a, Complex s) {
    return ((a[3] * s + a[2]) * s + a[1]) * s + a[0];
}

bool StandardValuesOn(const TDesign& d) {
    return FinalVariantAvailable(d, StandardRSubstitution);
}

// The stage frequencies, where a narrow peak or notch can sit between grid points.
std::vector<long double> FeatureFrequencies(const TDesign& d) {
    return MaskFeatureFrequencies(d);
}

// A variant's gain as a function of w, with everything that does not depend on w
// prepared once; nothing when the variant is not present.
std::optional<GainFunction> GainOf(const TDesign& d, CheckedVariant v) {
    switch (v) {
    case CheckedVariant::Ideal: {
        if (!HasIdealResponse(d, d.SelectedApprox)) return std::nullopt;
        const MagnitudeFactors m =
            MagnitudeFactorsOf(IdealFilterOf(d, d.SelectedApprox), d.Spec.OverallGain.value());
        return GainFunction([m](long double w) -> std::optional<long double> { return MagnitudeAt(m, w); });
    }
    case CheckedVariant::Exact:
    case CheckedVariant::Standard: {
        const int variant = v == CheckedVariant::Exact ? StandardCExactR : StandardRSubstitution;
        if (!FinalVariantAvailable(d, variant)) return std::nullopt;
        std::vector<RealisedStage<long double>> stages;
        for (int i = 1; i <= d.StageCount; ++i) {
            const auto h = StageRealisedFunction(d, i, variant);
            if (!h) return std::nullopt;
            stages.push_back(*h);
        }
        return GainFunction([stages](long double w) -> std::optional<long double> {
            const Complex s(0.0L, w);
            long double g = 1.0L;
            for (const auto& h : stages) {
                const long double den = std::abs(Polynomial(h.den, s));
                if (!(den > 0.0L)) return std::nullopt;
                g *= std::abs(Polynomial(h.num, s)) / den;
            }
            return g;
        });
    }
    case CheckedVariant::Gbw:
    case CheckedVariant::GbwStandard: {
        if (v == CheckedVariant::GbwStandard && !StandardValuesOn(d)) return std::nullopt;
        const auto stages =
            GbwStagesOf(d, v == CheckedVariant::Gbw ? StandardCExactR : StandardRSubstitution);
        if (!stages) return std::nullopt;
        return GainFunction([stages = *stages](long double w) -> std::optional<long double> {
            const auto h = LoadedResponses(stages, w);
            if (!h) return std::nullopt;
            long double g = 1.0L;
            for (const Complex& x : *h)
                g *= std::abs(x);
            return g;
        });
    }
    }
    return std::nullopt;
}

// Whether the exact-value circuits meet the mask with op amps of the given GBWs (Hz).
std::optional<bool> HoldsWith(const TDesign& d, const std::vector<GbwStage>& base,
                              const std::vector<long double>& gbwHz,
                              const std::vector<long double>& features) {
    std::vector<GbwStage> stages = base;
    for (std::size_t k = 0; k < stages.size(); ++k)
        stages[k].gbwHz = gbwHz[k];
    return MaskHolds(
        d.Spec, d.Spec.OverallGain.value(),
        [&](long double w) -> std::optional<long double> {
            const auto h = LoadedResponses(stages, w);
            if (!h) return std::nullopt;
            long double g = 1.0L;
            for (const Complex& x : *h)
                g *= std::abs(x);
            return g;
        },
        features);
}

// The smallest x in [kLowestGbwHz, kHighestGbwHz] with holds(x), by bisection in log x
// (the requirement is taken to be monotonic: faster op amps never make a filter worse
// by more than the mask's tolerance). Nothing when even the highest does not hold.
std::optional<long double> SmallestHolding(const std::function<std::optional<bool>(long double)>& holds) {
    const auto top = holds(kHighestGbwHz);
    if (!top || !*top) return std::nullopt;
    long double lo = kLowestGbwHz, hi = kHighestGbwHz;
    const auto bottom = holds(lo);
    if (bottom && *bottom) return lo;
    while (hi / lo > kGbwResolution) {
        const long double mid = std::sqrt(lo * hi);
        const auto h = holds(mid);
        if (h && *h)
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

} // namespace

const char* CheckedVariantKey(CheckedVariant v) {
    static const char* const keys[] = {"ideal", "exact", "gbw", "standard", "gbw_standard"};
    return keys[static_cast<int>(v)];
}

const char* CheckedVariantTitle(CheckedVariant v) {
    static const char* const titles[] = {"Ideal", "Exact values", "Exact values, op amps", "Standard values",
                                         "Standard values, op amps"};
    return titles[static_cast<int>(v)];
}

bool SpecificationCheckApplies(const TDesign& d) {
    if (d.Spec.FilterType > Bandstop || d.StageCount < 1 || d.DesignLevel < LevelComponents) return false;
    return GbwStagesOf(d).has_value();
}

std::optional<long double> VariantGain(const TDesign& d, CheckedVariant v, long double w) {
    const auto g = GainOf(d, v);
    if (!g) return std::nullopt;
    return (*g)(w);
}

std::optional<MaskMargins> CheckVariant(const TDesign& d, CheckedVariant v) {
    const auto g = GainOf(d, v);
    if (!g) return std::nullopt;
    return CheckMask(d.Spec, d.Spec.OverallGain.value(), *g, FeatureFrequencies(d));
}

RequiredGbw FindRequiredGbw(const TDesign& d) {
    RequiredGbw r;
    const auto base = GbwStagesOf(d, StandardCExactR);
    if (!base) return r;
    const std::vector<long double> features = FeatureFrequencies(d);
    const std::size_t n = base->size();
    std::vector<long double> own(n);
    for (std::size_t k = 0; k < n; ++k)
        own[k] = (*base)[k].gbwHz;
    r.CommonHz = SmallestHolding(
        [&](long double x) { return HoldsWith(d, *base, std::vector<long double>(n, x), features); });
    for (std::size_t k = 0; k < n; ++k)
        r.StageHz.push_back(SmallestHolding([&](long double x) {
            std::vector<long double> g = own;
            g[k] = x;
            return HoldsWith(d, *base, g, features);
        }));
    return r;
}

SpecificationCheck CheckSpecification(const TDesign& d) {
    SpecificationCheck c;
    if (!SpecificationCheckApplies(d)) return c;
    for (int k = 0; k < kCheckedVariantCount; ++k) {
        const auto v = static_cast<CheckedVariant>(k);
        if (const auto m = CheckVariant(d, v)) c.Variants.push_back({v, *m});
    }
    for (const VariantCheck& v : c.Variants)
        if (v.Variant == CheckedVariant::Gbw && !v.Margins.Meets()) c.Required = FindRequiredGbw(d);
    return c;
}

} // namespace velmora
