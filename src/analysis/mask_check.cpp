#include "analysis/mask_check.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/final_response.h"
#include "analysis/final_response_gbw.h"
#include "analysis/frequency_response.h"
#include "analysis/ideal_filter.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/selection.h"
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

// The gain (V/V) of a cascade of stages with op amps, each loaded by the next.
std::optional<long double> CascadeGain(const std::vector<GbwStage>& stages, long double w) {
    const auto h = LoadedResponses(stages, w);
    if (!h) return std::nullopt;
    long double g = 1.0L;
    for (const Complex& x : *h)
        g *= std::abs(x);
    return g;
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
        return GainFunction([stages = *stages](long double w) { return CascadeGain(stages, w); });
    }
    }
    return std::nullopt;
}

// Whether the exact-value circuits meet the mask with op amps of the given GBWs (Hz).
std::optional<bool> HoldsWith(const Specification& mask, const std::vector<GbwStage>& base,
                              const std::vector<long double>& gbwHz,
                              const std::vector<long double>& features) {
    std::vector<GbwStage> stages = base;
    for (std::size_t k = 0; k < stages.size(); ++k)
        stages[k].gbwHz = gbwHz[k];
    return MaskHolds(
        mask, mask.OverallGain.value(), [&](long double w) { return CascadeGain(stages, w); }, features);
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

// The stages' circuits as they are, with predistortion or compensation asked for the
// stages in `changed`; nothing when a stage has no circuit.
std::optional<std::vector<StageCircuitRequest>>
RequestsWith(const TDesign& d, const std::vector<int>& changed, Remedy::Kind kind) {
    std::vector<StageCircuitRequest> r;
    for (int i = 1; i <= d.StageCount; ++i) {
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        if (!e) return std::nullopt;
        StageCircuitRequest q;
        q.key = std::string(e->key);
        q.gbwHz = d.Circuits[i].OpAmpGBW;
        const bool asked = std::find(changed.begin(), changed.end(), i) != changed.end();
        q.predistort = kind == Remedy::Kind::Predistort ? asked : d.Circuits[i].Predistort != 0;
        q.compensate = kind == Remedy::Kind::Compensate ? asked : d.Circuits[i].CompensationInUse != 0;
        if (q.predistort && q.compensate) return std::nullopt;
        r.push_back(q);
    }
    return r;
}

// The op-amp variant's margins after the change, or nothing when it cannot be made.
std::optional<MaskMargins> GbwMarginsWith(const TDesign& d, const std::vector<int>& changed,
                                          Remedy::Kind kind, const Specification* mask) {
    const auto requests = RequestsWith(d, changed, kind);
    if (!requests) return std::nullopt;
    auto copy = std::make_unique<TDesign>(d);
    copy->DesignLevel = LevelCascaded;
    if (!DesignStageCircuits(*copy, *requests).ok) return std::nullopt;
    return CheckVariant(*copy, CheckedVariant::Gbw, mask);
}

// Predistortion or compensation of all the stages that allow it, and of each one alone.
void StageRemedies(const TDesign& d, Remedy::Kind kind, const Specification* mask, std::vector<Remedy>& out) {
    std::vector<int> eligible;
    for (int i = 1; i <= d.StageCount; ++i) {
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        if (!e) return;
        const bool can =
            kind == Remedy::Kind::Predistort ? d.Stages[i].StageType >= 2 : ActiveCompensationOffered(e->key);
        const bool already = kind == Remedy::Kind::Predistort ? d.Circuits[i].Predistort != 0
                                                              : d.Circuits[i].CompensationInUse != 0;
        if (can && !already) eligible.push_back(i);
    }
    if (eligible.empty()) return;
    const auto all = GbwMarginsWith(d, eligible, kind, mask);
    if (!all || !all->Meets()) return;
    std::size_t singles = 0;
    if (eligible.size() > 1)
        for (int i : eligible)
            if (const auto one = GbwMarginsWith(d, {i}, kind, mask); one && one->Meets()) {
                out.push_back({kind, {i}, 0, 0, *one});
                ++singles;
            }
    if (singles == 0) out.push_back({kind, eligible, 0, 0, *all});
}

} // namespace

std::vector<Remedy> FindRemedies(const TDesign& d, const SpecificationCheck& c, const Specification* mask) {
    std::vector<Remedy> out;
    const auto misses = [&](CheckedVariant v) {
        for (const VariantCheck& x : c.Variants)
            if (x.Variant == v) return !x.Margins.Meets();
        return false;
    };
    const auto meets = [&](CheckedVariant v) {
        for (const VariantCheck& x : c.Variants)
            if (x.Variant == v) return x.Margins.Meets();
        return false;
    };
    // Op amps can only be helped where the circuits themselves meet the mask.
    if (misses(CheckedVariant::Gbw) && meets(CheckedVariant::Exact)) {
        StageRemedies(d, Remedy::Kind::Predistort, mask, out);
        StageRemedies(d, Remedy::Kind::Compensate, mask, out);
    }
    if (misses(CheckedVariant::Standard) && meets(CheckedVariant::Exact) && !d.Components.UseResInventory) {
        for (const int series : {1, 5, 10})
            for (const int strategy : {1, 2}) {
                if (series == static_cast<int>(d.Components.ResistorTolerance.value()) &&
                    strategy == d.Components.SubstitutionStrategy)
                    continue;
                auto copy = std::make_unique<TDesign>(d);
                if (copy->Components.StandardROn) SwitchStandardROff(*copy);
                copy->Components.ResistorTolerance = static_cast<long double>(series);
                copy->Components.SubstitutionStrategy = static_cast<uint8_t>(strategy);
                if (!SwitchStandardROn(*copy, nullptr).ok) continue;
                const auto m = CheckVariant(*copy, CheckedVariant::Standard, mask);
                if (m && m->Meets()) out.push_back({Remedy::Kind::StandardValues, {}, series, strategy, *m});
            }
    }
    return out;
}

std::optional<long double> ReachedGain(const TDesign& d) {
    if (d.Spec.FilterType > Bandstop || d.StageCount < 1 || d.DesignLevel < LevelComponents)
        return std::nullopt;
    std::vector<RealisedStage<long double>> stages;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const CircuitRoutines* routines = StageCircuitRoutines(d, i);
        if (!routines || c.NotRealisable || !ComponentsValid(c, c.ResistorCount, c.CapacitorCount))
            return std::nullopt;
        stages.push_back(routines->realise(StageComponentValues(c)));
    }
    const auto at = [&](long double w) -> std::optional<long double> {
        long double g = 1.0L;
        for (const auto& h : stages) {
            const long double den = std::abs(Polynomial(h.den, Complex(0.0L, w)));
            if (!(den > 0.0L)) return std::nullopt;
            g *= std::abs(Polynomial(h.num, Complex(0.0L, w))) / den;
        }
        return g;
    };
    // Six decades from the edge, a second-order stage is within 1e-12 of its limit.
    constexpr long double kFar = 1.0e6L;
    const long double wpb = d.Spec.wpb, w0 = d.Spec.w0;
    const long double G = d.Spec.OverallGain;
    switch (d.Spec.FilterType) {
    case Lowpass:
        return at(wpb / kFar);
    case Highpass:
        return at(wpb * kFar);
    case Bandpass:
        return at(w0);
    default: {
        const auto lo = at(w0 / kFar), hi = at(w0 * kFar);
        if (!lo || !hi) return std::nullopt;
        return std::fabs(std::log(*lo / G)) >= std::fabs(std::log(*hi / G)) ? lo : hi;
    }
    }
}

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

std::optional<MaskMargins> CheckVariant(const TDesign& d, CheckedVariant v, const Specification* mask) {
    const auto g = GainOf(d, v);
    if (!g) return std::nullopt;
    const Specification& m = mask ? *mask : d.Spec;
    return CheckMask(m, m.OverallGain.value(), *g, FeatureFrequencies(d));
}

RequiredGbw FindRequiredGbw(const TDesign& d, const Specification* mask) {
    const Specification& m = mask ? *mask : d.Spec;
    RequiredGbw r;
    const auto base = GbwStagesOf(d, StandardCExactR);
    if (!base) return r;
    const std::vector<long double> features = FeatureFrequencies(d);
    const std::size_t n = base->size();
    std::vector<long double> own(n);
    for (std::size_t k = 0; k < n; ++k)
        own[k] = (*base)[k].gbwHz;
    r.CommonHz = SmallestHolding(
        [&](long double x) { return HoldsWith(m, *base, std::vector<long double>(n, x), features); });
    for (std::size_t k = 0; k < n; ++k)
        r.StageHz.push_back(SmallestHolding([&](long double x) {
            std::vector<long double> g = own;
            g[k] = x;
            return HoldsWith(m, *base, g, features);
        }));
    return r;
}

SpecificationCheck CheckSpecification(const TDesign& d, const Specification* mask) {
    SpecificationCheck c;
    if (!SpecificationCheckApplies(d)) return c;
    for (int k = 0; k < kCheckedVariantCount; ++k) {
        const auto v = static_cast<CheckedVariant>(k);
        if (const auto m = CheckVariant(d, v, mask)) c.Variants.push_back({v, *m});
    }
    for (const VariantCheck& v : c.Variants)
        if (v.Variant == CheckedVariant::Gbw && !v.Margins.Meets()) c.Required = FindRequiredGbw(d, mask);
    c.Remedies = FindRemedies(d, c, mask);
    return c;
}

} // namespace velmora
