// The filter an engineer builds, checked against the specification it was designed for.
//
// A design can meet its mask as an ideal transfer function and miss it as a circuit: the
// op amps' finite gain-bandwidth moves high-Q poles, and standard resistors move every
// stage a little. The check evaluates each response variant present against the
// specification's mask (approx/attenuation_mask.h: true extremes, not display points):
//   ideal         the chosen approximation's transfer function;
//   exact         the circuits with their exact component values and ideal op amps;
//   gbw           the same circuits with single-pole op amps at each stage's GBW, every
//                 stage loaded by the next (as the exported netlist wires them);
//   standard      the standard (or inventory) values in effect, ideal op amps;
//   gbw_standard  the standard values with the op amps.
// The last two are present while standard values are on.
//
// When the op amps make the filter miss, the check also finds the op-amp gain-bandwidth
// it needs: the smallest GBW common to all stages with which it meets the mask, and for
// each stage the smallest GBW with the other stages at theirs (found by bisection in
// log GBW to 0.5 %; the answer is checked: the filter meets with it, and misses 10 %
// below it wherever the requirement is a sharp one).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "approx/attenuation_mask.h"
#include "model/design.h"

namespace velmora {

enum class CheckedVariant { Ideal, Exact, Gbw, Standard, GbwStandard };
inline constexpr int kCheckedVariantCount = 5;

// "ideal", "exact", "gbw", "standard", "gbw_standard": the keys of the JSON document.
const char* CheckedVariantKey(CheckedVariant v);
// "Ideal", "Exact values", "Exact values, op amps", "Standard values",
// "Standard values, op amps": the rows of the report.
const char* CheckedVariantTitle(CheckedVariant v);

struct VariantCheck {
    CheckedVariant Variant{};
    MaskMargins Margins;
};

// The GBW the specification needs (Hz); nothing where no GBW up to 10 GHz is enough.
struct RequiredGbw {
    std::optional<long double> CommonHz;
    std::vector<std::optional<long double>> StageHz; // stages 1..n at index 0..n-1
};

// A change that makes a missing filter meet its specification, found by making it on a
// copy of the design and checking the copy:
//  - with the op amps as they are, predistorting or actively compensating the stages
//    listed (all the stages that allow it, and each single one that is enough alone),
//    judged on the op-amp variant;
//  - another standard series (1, 5 or 10 %) or substitution strategy (1 or 2), judged on
//    the standard-value variant (not tried while values come from an inventory).
struct Remedy {
    enum class Kind { Predistort, Compensate, StandardValues } kind{};
    std::vector<int> stages;         // Predistort, Compensate
    int seriesPct = 0, strategy = 0; // StandardValues
    MaskMargins margins;             // of the variant the remedy is for, after it
};

struct SpecificationCheck {
    std::vector<VariantCheck> Variants;  // in the order above, those present
    std::optional<RequiredGbw> Required; // when the gbw variant misses
    std::vector<Remedy> Remedies;        // when the gbw or the standard variant misses
};

// Whether the design is one the check applies to: a specified (not user-defined) filter
// with calculated, realisable circuits in every stage.
bool SpecificationCheckApplies(const TDesign& d);

// The gain (V/V) of a variant at w (rad/s); nothing where it cannot be evaluated.
std::optional<long double> VariantGain(const TDesign& d, CheckedVariant v, long double w);

// Every function below checks against `mask` when one is given, else against the design's
// own specification: a design made with a margin (to tighter attenuations than
// specified) is checked against the attenuations specified.

// The margins of one variant.
std::optional<MaskMargins> CheckVariant(const TDesign& d, CheckedVariant v,
                                        const Specification* mask = nullptr);

// Every variant present, the GBW requirement when the op amps make it miss, and the
// remedies.
SpecificationCheck CheckSpecification(const TDesign& d, const Specification* mask = nullptr);

// The op-amp requirement alone (for the gbw variant's component values).
RequiredGbw FindRequiredGbw(const TDesign& d, const Specification* mask = nullptr);

// The gain (V/V) the built filter reaches at its reference frequency: DC for a lowpass,
// high frequencies for a highpass, the centre for a bandpass and, for a bandstop, the
// one of its two passbands further from the specified gain; with the component values
// in effect (those the netlist writes) and ideal op amps. Nothing before the components
// are calculated, for a user-defined filter, or where a stage cannot be evaluated.
std::optional<long double> ReachedGain(const TDesign& d);

// The remedies for the variants of a check that miss.
std::vector<Remedy> FindRemedies(const TDesign& d, const SpecificationCheck& c,
                                 const Specification* mask = nullptr);

} // namespace velmora
