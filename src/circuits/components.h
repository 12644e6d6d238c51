// The component calculation of a stage: loading its catalogue row (starting values),
// the default op-amp bandwidth, running its circuit's design, the gain-pair scaling,
// the per-component sensitivities and the finishing mark of computed values.
//
// Sensitivities are relative, (dP/P)/(dx/x), of the stage's pole frequency (wc for a
// first-order stage), pole Q, gain constant and zero frequency to every component. They
// come from the circuit's realised transfer function evaluated with dual numbers, so
// they are exact derivatives of what the components realise.
#pragma once

#include <optional>

#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "model/design.h"
#include "stages/gains.h"

namespace velmora {

// The catalogue entry and the routines of the stage's CircuitNumber (nullptr when none).
const CatalogueEntry* StageCircuitEntry(const TDesign& d, int stage);
const CircuitRoutines* StageCircuitRoutines(const TDesign& d, int stage);

// The frequency a stage's starting values and default GBW are judged by: wc (sigma) for
// a first-order stage, wp for a second-order one, rad/s.
long double StageFrequency(const TStageCoeffs& s);

// Loads the catalogue row of the stage's CircuitNumber: the twelve fields, the
// " C1=C2 : R1=R2" option on the first load, the gain pair's R(n) = 10 kOhm (position 0
// of the 24-value series, decade exponent 2), the starting capacitors (C1 = 1 nF above
// 31 000 rad/s, else 10 nF; C2 by CapRatio; C3 = C1), and the capacitor-set bookkeeping:
// with the initialise flag set the starting values are stored into the stage's
// TCapacitorSet and its working copy and the flag is cleared; otherwise the capacitors
// are restored from the set. Resistor slots are cleared. False when the stage has no
// catalogue circuit.
bool LoadCatalogueRow(TDesign& d, int stage);

// Starts the stage afresh from the capacitor C1 = `c1` (farads) in place of the automatic
// 1 nF or 10 nF: the row is loaded as on a first load with the other capacitors derived
// from C1 by the row's ratio, stored as the stage's capacitor set, and the stage is
// calculated. Scaling every capacitor of a stage by k scales its resistors by 1/k (a gain
// pair's stay as they are) and leaves its response as it was. False (NotRealisable set)
// when the circuit cannot be built.
bool StartStageFrom(TDesign& d, int stage, long double c1);

// OpAmpGBW = 20 x the stage frequency in Hz rounded down to a half step of its leading
// digit, at least 1 MHz.
long double DefaultOpAmpGbw(const TStageCoeffs& s);

// The component slots as working values (R[1..10], C[1..4]).
ComponentValues<long double> StageComponentValues(const TStageCircuit& c);

// The stage parameters a realised transfer function gives: pole frequency (wc for a
// first-order function), pole Q (0 for first order), the gain constant as the stage
// type defines it (FLP, SLP: H(0); FHP, SHP and the notch types: H(inf); SBP: the
// s^1 coefficients' ratio, the gain at wp) and the zero frequency (notch types, else 0).
// A third-order function (an unbalanced twin-T) is reduced by the real pole nearest to
// a numerator root before the parameters are read. Nothing when the function has no
// valid pole (a denominator coefficient of 0 or of the wrong sign).
template <typename T> struct StageParameters { T wp{}, qp{}, gain{}, wz{}; };
std::optional<StageParameters<long double>> RealisedParameters(const RealisedStage<long double>& h,
                                                               int stageType);
std::optional<StageParameters<Dual>> RealisedParameters(const RealisedStage<Dual>& h, int stageType);
// With a derivative lane per component (the widths of kGradientWidths): every lane as the
// Dual evaluation seeded on that lane's component gives it.
template <int N>
std::optional<StageParameters<GradientDual<N>>> RealisedParameters(const RealisedStage<GradientDual<N>>& h,
                                                                   int stageType);

// Whether a resistance is a value of the resistor series of the given tolerance (1 %:
// 96 values, 5 %: 24, 10 %: 12 per decade) within a relative 1e-6. Other tolerances
// have no series, so no value is standard for them.
bool IsStandardResistor(long double ohms, long double tolerancePercent);
// Computed exact values are set this far off a standard value so they never show as one.
inline constexpr long double kExactValueMark = 1.0002L;

// Calculates the components of the stage's circuit: the actual gain starts at the
// desired gain, the design routine runs, the gain pair is scaled below 100 kOhm, the
// sensitivities are stored and every resistor that happens to be a standard value of
// the current series is marked by the factor 1.0002 (both resistors of a gain pair when
// either is standard, so that their ratio and the gain stay). Returns false (NotRealisable set,
// the record otherwise as it was) when the circuit cannot be built.
bool CalculateComponents(TDesign& d, int stage);

// CalculateComponents without the sensitivity pass, for a caller that only needs the
// component values and the gain reached and calculates the stage in full afterwards:
// every field but the sensitivities is set as CalculateComponents sets it, the
// sensitivities are left as they were (the gain sensitivities cleared).
bool CalculateComponentValues(TDesign& d, int stage);

// Stores the sensitivities of the stage's present component values (after the values
// were changed other than by CalculateComponents).
void UpdateSensitivities(TDesign& d, int stage);

// Loads the row and calculates (the usual pair of calls).
bool LoadAndCalculate(TDesign& d, int stage);

// The circuits' side of the gain distribution: designs the stage's selected circuit for
// the gain asked and returns the gain it reaches. A stage without a circuit, or whose
// circuit cannot be built, reaches what is asked (nothing constrains it yet).
class CircuitGainRealiser : public StageGainRealiser {
  public:
    long double Realise(TDesign& d, int stage, long double gain) const override;
};

} // namespace velmora
