// The gain spread and temperature change of one stage: the first-order estimate of how
// far a stage's gain strays because its components are not exact and drift with
// temperature. The circuit selection rates every candidate with it; the filter-level
// analysis, its bounds and its report are in analysis/tolerance.h.
//
// The estimate is first order. A stage's gain in dB, G(w), depends on its parameters
// X (pole frequency wp, or sigma for a first-order stage; pole Q; zero frequency wz; the
// gain constant; for a third-order twin-T its real zero and pole) and each parameter on
// the components. With D_X = dG / (dX/X) in dB (the magnitude sensitivities) and
// S(X, x) = (dX/X)/(dx/x) (the component sensitivities stored with the circuit), a
// relative change e_x of every component x moves the gain by
//     dG = sum_x g_x e_x,    g_x = sum_X D_X S(X, x).
// Independent components, each with a standard deviation of a third of its tolerance,
// give a +-3-sigma gain spread of sqrt(sum_x g_x^2 t_x^2), t as a fraction; a common
// temperature rise dT moves every resistor by TC_R dT and every capacitor by TC_C dT, so
// the gain changes by dT (sum_R g_x TC_R + sum_C g_x TC_C).
//
// The op amps' finite gain-bandwidth (wt = 2 pi GBW) lowers a stage's pole frequency and
// shifts its Q to first order by k wp / wt (k = GbwFactorWp, GbwFactorQp of the circuit);
// a relative GBW change e_A therefore moves wp and Qp by k (wp / wt) e_A. The GBW tolerance
// t_A gives the active spread, its temperature coefficient TC_A (a positive value raises
// the GBW) the active temperature change with the same ratio wp / wt.
//
// Units: rad/s, tolerances in percent, temperature coefficients as fractions per deg C
// (the record holds ppm/deg C times 1e-6), temperature rise in deg C, gains in dB.
#pragma once

#include <array>
#include <optional>

#include "model/design.h"

namespace velmora {

// 20 / ln 10 = 8.6859 dB per neper, rounded to 8.68 (0.07 % low, far inside any tolerance
// figure), and twice that for the squared numerator factor of a notch.
inline constexpr long double kDbPerNeper = 8.68L;
inline constexpr long double kTwoDbPerNeper = 17.36L;

// ---- Magnitude sensitivities -----------------------------------------------------------

// dB change of a stage's gain per unit relative change of each parameter at w (rad/s).
// Dwp is D_sigma for first-order stages. The notch types carry their gain constant at
// DC, so wp and Qp act on them as on a second-order lowpass, and wz through the factor
// |1 - (w/wz)^2| of the numerator: Dwz = 17.36 / ((wz/w)^2 - 1), negative above the notch
// (a higher wz brings the notch closer and lowers the gain there) and positive below it.
struct MagnitudeSensitivities {
    long double Dwp = 0, Dqp = 0, Dwz = 0;
    long double Dgain = 0; // the gain constant: 8.68 at every frequency
    // Exactly at a notch (w = wz within a relative 1e-9) Dwz is unbounded; it is then
    // reported as 0 with this flag set, and the gain there is minus infinity dB anyway.
    bool AtNotch = false;
};
MagnitudeSensitivities StageMagnitudeSensitivities(const TStageCoeffs& s, long double w);

// dB change of the gain per unit relative change of the real root a of a factor (s + a),
// at w: 8.68 a^2 / (a^2 + w^2). A twin-T off balance carries a real zero over a real pole.
long double RealRootSensitivity(long double a, long double w);

// ---- Per-stage results ---------------------------------------------------------------------

// The parameters the spread and change terms are kept by.
enum ToleranceTerm : int { TermWp = 0, TermQp = 1, TermWz = 2, TermGain = 3, TermRealRoots = 4 };
inline constexpr int kPassiveTermCount = 5;
inline constexpr int kActiveTermCount = 2; // wp, Qp

struct ToleranceSettings {
    long double ResistorTolerance = 1;  // %
    long double CapacitorTolerance = 1; // %
    long double ResistorTempCo = 0;     // fraction per deg C
    long double CapacitorTempCo = 0;    // fraction per deg C
    long double TempRise = 0;           // deg C
};
// The op-amp GBW tolerance (%) and temperature coefficient (fraction per deg C) are the
// stage's own: TStageCircuit::GbwTolerance and GbwTempCo, with its OpAmpGBW (Hz).
// The design's component characteristics as the analysis reads them.
ToleranceSettings SettingsOf(const TDesign& d);

struct StageTolerance {
    long double W = 0; // rad/s, the frequency analysed
    MagnitudeSensitivities D;
    // Each parameter's share alone, D_X^2 x sum over the components of S(X,x)^2 t_x^2
    // (dB^2), and the same for the op amps. A component that moves two parameters at once
    // also gives cross terms, so the variances below are computed per component and the
    // shares add up to them only when no component moves two parameters.
    std::array<long double, kPassiveTermCount> PassiveTerms{};
    std::array<long double, kActiveTermCount> ActiveTerms{};
    long double PassiveVariance = 0, ActiveVariance = 0; // dB^2
    long double PassiveSpread = 0, ActiveSpread = 0;     // +-dB, square roots of the variances
    long double Spread = 0;                              // +-dB, sqrt of their sum
    // Temperature: each parameter's signed change per deg C (dB/deg C), and the changes
    // for the design's temperature rise (dB).
    std::array<long double, kPassiveTermCount> PassiveTempTerms{};
    std::array<long double, kActiveTermCount> ActiveTempTerms{};
    long double PassiveChange = 0, ActiveChange = 0, TotalChange = 0;
};

// The analysis of one stage with a given circuit record (the stage's own, or a
// candidate's scratch copy) at w (rad/s). Nothing when the circuit has not been
// calculated or cannot be built. With capacitorsExact (capacitor values entered from
// measurement) the capacitor tolerance counts as 0 for the stage.
std::optional<StageTolerance> AnalyseStage(const TDesign& d, int stage, const TStageCircuit& c, long double w,
                                           const ToleranceSettings& t, bool capacitorsExact = false);
// The stage's own circuit; its capacitors count as exact also when the person entered
// them (TStageCircuit::CapsExact).
std::optional<StageTolerance> AnalyseStage(const TDesign& d, int stage, long double w,
                                           bool capacitorsExact = false);

// The frequency a stage is rated at in the circuit selection: sigma for a first-order
// stage, wp for a second-order one (where its parameters act most strongly).
long double StageAnalysisFrequency(const TStageCoeffs& s);

} // namespace velmora
