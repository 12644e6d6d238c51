// The contract between the component calculation and the design routine of every
// catalogue circuit.
//
// A circuit is described once by three things:
//  - its design routine, which turns the stage's targets (wp, Qp, wz, wc, the desired
//    gain) and the starting capacitors into resistor values, following the design
//    equations of its topology;
//  - its realised transfer function, written directly in the component values
//    (templated on the scalar, so the same code gives values and, with Dual or
//    GradientDual numbers, exact sensitivities);
//  - the adjustable-resistor lists of its denominator coefficients.
// The component calculation, the final response, the sensitivities and the tolerance
// analysis use nothing else about a circuit.
//
// Units: ohms, farads, rad/s; component arrays are 1-based (R1..R10, C1..C4).
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "circuits/standard_values.h"
#include "model/design.h"
#include "numeric/dual.h"

namespace velmora {

// Working component values of a stage.
template <typename T> struct ComponentValues {
    std::array<T, kResistorSlots + 1> R{};  // R[1]..R[10]; 0 = absent
    std::array<T, kCapacitorSlots + 1> C{}; // C[1]..C[4]
};

// The realised stage transfer function with ideal op amps, as it is:
//   H(s) = (num[3] s^3 + num[2] s^2 + num[1] s + num[0]) / (den[3] s^3 + ... + den[0])
// including the gain and its sign (an inverting circuit has a negative H(0) or H(inf)).
// Second-order circuits leave num[3] = den[3] = 0; first-order ones also the s^2 terms.
// The twin-T notch is third order unless its balance condition holds.
template <typename T> struct RealisedStage {
    std::array<T, 4> num{};
    std::array<T, 4> den{};
};

// Adjustable-resistor lists of the denominator coefficients by power ("02,01,02": the
// count, then the resistor numbers through which that coefficient is adjusted; empty:
// not adjustable).
struct AdjustLists {
    std::array<std::string_view, 3> den{}; // s^0, s^1, s^2
};

template <int N>
using GradientRealise = RealisedStage<GradientDual<N>> (*)(const ComponentValues<GradientDual<N>>& v);

// The routines of one catalogue circuit.
struct CircuitRoutines {
    std::string_view key; // "SLP01"
    // Design: reads d.Stages[stage] (wp, Qp, wz, sigma) and d.Circuits[stage] (desired
    // gain, starting capacitors in Components[11..14], R(n) = 10 kOhm for a gain pair,
    // design options, OpAmpGBW, Predistort, CompensationInUse); sets every resistor, the
    // capacitors derived from C1, ActualGain, GainFixed, C2Alone, CapRatio, the GBW
    // coefficients (then calls GbwStep and uses WpPrime, QpPrime for every component
    // value), the component counts of a compensated variant, and NotRealisable. Returns
    // false (NotRealisable set, other fields as they were) when the circuit cannot be built:
    // a square root of a negative number, a division by zero, a ratio that cannot be
    // met, or any component that is not positive and finite.
    bool (*design)(TDesign& d, int stage);
    RealisedStage<long double> (*realise)(const ComponentValues<long double>& v);
    RealisedStage<Dual> (*realiseDual)(const ComponentValues<Dual>& v);
    AdjustLists lists;
    // The realised function with a derivative lane per component, one for each width of
    // kGradientWidths.
    GradientRealise<4> realise4;
    GradientRealise<6> realise6;
    GradientRealise<8> realise8;
    GradientRealise<10> realise10;
    GradientRealise<14> realise14;
};
static_assert(kWidestGradient == kComponentSlots, "the widest gradient holds every component slot");

// The realised function of a circuit evaluated with derivative lanes of width N (one of
// kGradientWidths).
template <int N>
RealisedStage<GradientDual<N>> RealiseGradient(const CircuitRoutines& r,
                                               const ComponentValues<GradientDual<N>>& v) {
    static_assert(N == 4 || N == 6 || N == 8 || N == 10 || N == 14, "a width of kGradientWidths");
    if constexpr (N == 4)
        return r.realise4(v);
    else if constexpr (N == 6)
        return r.realise6(v);
    else if constexpr (N == 8)
        return r.realise8(v);
    else if constexpr (N == 10)
        return r.realise10(v);
    else
        return r.realise14(v);
}

// Calls f.template operator()<N>() with the narrowest width of kGradientWidths that holds
// `lanes` lanes (at most kWidestGradient).
template <typename F> decltype(auto) WithGradientWidth(int lanes, F&& f) {
    if (lanes <= 4) return f.template operator()<4>();
    if (lanes <= 6) return f.template operator()<6>();
    if (lanes <= 8) return f.template operator()<8>();
    if (lanes <= 10) return f.template operator()<10>();
    return f.template operator()<14>();
}

// Builds the evaluations of a realised-coefficient template.
#define VELMORA_CIRCUIT(key, designFn, realiseTemplate, lists)                                               \
    CircuitRoutines {                                                                                        \
        key, designFn,                                                                                       \
            [](const ComponentValues<long double>& v) { return realiseTemplate<long double>(v); },           \
            [](const ComponentValues<Dual>& v) { return realiseTemplate<Dual>(v); }, lists,                  \
            VELMORA_GRADIENT_REALISE(realiseTemplate, 4), VELMORA_GRADIENT_REALISE(realiseTemplate, 6),      \
            VELMORA_GRADIENT_REALISE(realiseTemplate, 8), VELMORA_GRADIENT_REALISE(realiseTemplate, 10),     \
            VELMORA_GRADIENT_REALISE(realiseTemplate, 14)                                                    \
    }
#define VELMORA_GRADIENT_REALISE(realiseTemplate, N)                                                         \
    [](const ComponentValues<GradientDual<N>>& v) { return realiseTemplate<GradientDual<N>>(v); }

// ---- Family tables (one source file per stage-type family) ------------------------------
std::span<const CircuitRoutines> FirstOrderCircuits();       // FLP01..03, FHP01..04
std::span<const CircuitRoutines> LowpassCircuits();          // SLP01, 02, 03, 04, 08, 13
std::span<const CircuitRoutines> HighpassBandpassCircuits(); // SHP01, 02, 03, 06, 10; SBP03, 04, 05, 08, 13
std::span<const CircuitRoutines> NotchCircuits();            // SLPN01, 04, 10; SHPN01, 03, 09; SN01, 02, 09

// The routines of a catalogue key, or nullptr.
const CircuitRoutines* FindCircuit(std::string_view key);

// ---- Helpers the design routines share ---------------------------------------------------

// The finite-GBW step: with wt = 2 pi OpAmpGBW, kw = GbwFactorWp, kq = GbwFactorQp, sets
// WpPrime = wp + wp^2 kw / wt and QpPrime = Qp + Qp wp kq / wt when predistortion is on
// (else wp and Qp), GbwEffect = wp sqrt(kw^2 + (kq / (2 Qp))^2) / wt and
// MinRecGBW = RoundDownHalfDecade(20 wp max(|kw|, |kq|) / 2 pi) (kw on equal magnitudes).
void GbwStep(TDesign& d, int stage);

// The gain constant a predistorted notch stage has in operation, or nothing when the
// stage is not a predistorted notch stage (its ideal-op-amp gain constant is then the
// one it has). Single-pole op amps leave a stage's DC gain exactly as the ideal circuit
// has it (their error term carries a factor s), while they move the poles from wp' back
// to wp; the response in operation is then about G (s^2 + wz^2)/(s^2 + wp/Qp s + wp^2)
// with G wz^2/wp^2 equal to that DC gain. So G = H(0) wp^2/wz^2 from the realised
// function h and the stage targets, which is what the design asked for when it set the
// ideal gain constant to K (wp'/wp)^2.
std::optional<long double> PredistortedNotchGain(const TDesign& d, int stage,
                                                 const RealisedStage<long double>& h);

// x rounded down to a half step of its leading digit (1, 1.5, 2, 2.5, ... 9.5) times
// its decade: 3.4e6 gives 3.0e6, 1.41e5 gives 1.0e5.
long double RoundDownHalfDecade(long double x);

// The 12-value (10 %) and 24-value (5 %) series mantissas, 100..820 and 100..910.
std::span<const long double> E12Mantissas();
std::span<const long double> E24Mantissas();
// The 96-value (1 %) series mantissas, 100..976.
std::span<const long double> E96Mantissas();

// A gain pair R(n-1), R(n): while either exceeds 100 kOhm, R(n) steps down the 24-value
// series (position 0 wraps to 23 of the next lower decade) and R(n-1) follows so the
// ratio is kept. Updates the gain-pair index and exponent.
void ScaleGainPair(TStageCircuit& c, int n);

// The 12-value series position nearest to a value on a logarithmic scale (the lower one
// on a tie), the value's own for a series value; nothing for a value that is not
// positive and finite.
std::optional<SeriesPosition> LogNearestE12(long double value);

// Capacitor C2 one 12-value step up or down from its present value (crossing decades):
// `steps` places from LogNearestE12.
long double StepE12(long double value, int steps);

// True when every one of the first `count` resistors (and `capCount` capacitors) of the
// stage is positive and finite.
bool ComponentsValid(const TStageCircuit& c, int count, int capCount);

// Shorthands for the component slots.
inline Real48& R(TStageCircuit& c, int n) {
    return c.Components[n].Value;
}
inline Real48& C(TStageCircuit& c, int n) {
    return c.Components[kResistorSlots + n].Value;
}
inline long double R(const TStageCircuit& c, int n) {
    return c.Components[n].Value;
}
inline long double C(const TStageCircuit& c, int n) {
    return c.Components[kResistorSlots + n].Value;
}

} // namespace velmora
