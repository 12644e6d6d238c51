// Tolerance and temperature analysis of the whole filter: the gain spread and the gain
// change for a temperature rise at a frequency (root-sum-square of the stages' spreads,
// sum of their changes), the attenuation bounds at the passband and stopband edges, the
// temperature-effect curve and the printed report. The per-stage estimate and its
// derivation are in circuits/gain_spread.h.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "circuits/gain_spread.h"
#include "model/design.h"

namespace velmora {

// ---- The filter ----------------------------------------------------------------------------

// Stages whose capacitors count as exact besides those the person entered
// (TStageCircuit::CapsExact), index 1..StageCount.
using ExactCapacitors = std::array<bool, kMaxStages + 1>;

struct FilterTolerance {
    long double W = 0;                  // rad/s
    std::vector<StageTolerance> Stages; // stage 1 first
    long double Spread = 0;             // sqrt(sum of the stage spreads squared), +-dB
    long double TempChange = 0;         // sum of the stages' total changes, dB
};
// Nothing when a stage has no calculated circuit.
std::optional<FilterTolerance> AnalyseFilter(const TDesign& d, long double w,
                                             const ExactCapacitors& exact = {});

// The edges the bounds are reported at (rad/s): the passband and stopband edges of a
// lowpass or highpass; for bandpass and bandstop filters the upper edges,
// sqrt(w0^2 + (B/2)^2) + B/2 with the pass and stop bandwidths.
long double PassbandEdge(const Specification& s);
long double StopbandEdge(const Specification& s);

// The final filter's attenuation at w relative to its nominal gain (dB), from the
// circuits' realised transfer functions. Nothing when a stage cannot be evaluated.
std::optional<long double> DesignAttenuation(const TDesign& d, long double w);

struct AttenuationBounds {
    long double W = 0;          // rad/s
    long double Design = 0;     // design attenuation, dB
    long double Spread = 0;     // filter gain spread, +-dB
    long double Upper = 0;      // design - spread (the gain's upper bound)
    long double Lower = 0;      // design + spread
    long double TempChange = 0; // filter gain change for the temperature rise, dB
    long double AtTempRise = 0; // the attenuation at design + dT: design - change
};
std::optional<AttenuationBounds> BoundsAt(const TDesign& d, long double w, const ExactCapacitors& exact = {});

// The temperature-effect graph over the design's frequency column (points 0..350): the
// design attenuation and the attenuation after the temperature rise. Empty when a stage
// cannot be evaluated.
struct TemperatureEffectPoint {
    long double FHz = 0, W = 0;
    long double Design = 0, TempEffect = 0; // attenuation, dB
    bool AtNotch = false;
};
std::vector<TemperatureEffectPoint> TemperatureEffectCurve(const TDesign& d);

// ---- Settings from the command line ----------------------------------------------------------

// Component characteristics given as options; an absent value keeps the design's.
struct ToleranceRequest {
    std::optional<long double> ResistorPct, CapacitorPct; // --tolerance R,C
    std::optional<long double> OpAmpPct;                  // --opamp-tolerance: every stage's GBW tolerance
    std::optional<long double> ResistorPpm, CapacitorPpm; // --tempco R,C (ppm/deg C)
    std::optional<long double> TempRise;                  // --temp-rise (deg C)
};
// The ranges a request may ask for. Beyond them the first-order spread and the Monte Carlo
// draws lose their meaning (a 60 % tolerance draws negative components at 3 sigma is
// already close; a kiloppm-scale drift over hundreds of degrees is a different part):
// tolerances of components and op-amp GBW up to 50 %, temperature coefficients up to
// 10000 ppm/degC either way, temperature rises up to 200 degC.
constexpr long double kMaxTolerancePct = 50.0L;
constexpr long double kMaxTempCoPpm = 10000.0L;
constexpr long double kMaxTempRise = 200.0L;

// Stores the request into the design as the component characteristics form would: the
// temperature coefficients times 1e-6, and a resistor tolerance other than 1, 5 or 10 %
// switches the resistor inventory off (the components are then recalculated when the
// design has them). Returns false, leaving the design unchanged, for a value outside
// its range above.
bool ApplyToleranceRequest(TDesign& d, const ToleranceRequest& r);

// ---- Report ----------------------------------------------------------------------------------

struct ToleranceReport {
    FilterTolerance AtPassbandEdge;
    std::optional<AttenuationBounds> PassBounds, StopBounds;
    bool CapacitorsExact = false; // some stage's capacitors are taken as exact
};
std::optional<ToleranceReport> BuildToleranceReport(const TDesign& d, const ExactCapacitors& exact = {});

} // namespace velmora
