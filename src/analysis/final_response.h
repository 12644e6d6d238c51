// The final response: the cascade of the stages as their components realise them.
//
// Every stage's transfer function comes from its circuit's realised-coefficient routine
// evaluated on the component values of the chosen variant; the cascade's gain, phase lag
// and group delay are the products and sums over the stages in the chosen range. The
// phase and delay are summed over the poles and zeros of every stage (the roots of its
// realised polynomials), so the phase is continuous without unwrapping and the delay is
// the exact derivative, as for the ideal response. An inverting stage's sign is not in
// the phase; the view says so in a note instead.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "circuits/circuit_design.h"
#include "model/design.h"

namespace velmora {

// The component sets a final response can be drawn for:
//  - " Standard C, exact R": the reference (starting) capacitors with the exact resistors
//    calculated for them;
//  - " Exact C substitution": the capacitors as entered by the user with the exact
//    resistors recalculated for them (available once a stage's capacitors were entered);
//  - " Standard R substitution": the standard resistors in effect while standard values
//    are on (available only then);
//  - " User-assigned R values": the user's resistor values where assigned, the values in
//    effect elsewhere (available once a resistor was assigned);
//  - " Op amp GBW": the components in effect (those the netlist writes: the standard
//    resistors while standard values are on) with real op amps: every stage solved by
//    its node equations with single-pole amplifiers at its OpAmpGBW (analysis/
//    final_response_gbw.h), the filter as it will be built.
enum FinalVariant : int {
    StandardCExactR = 0,
    ExactCSubstitution = 1,
    StandardRSubstitution = 2,
    UserAssignedR = 3,
    OpAmpGbw = 4,
};
inline constexpr int kFinalVariantCount = 5;
// " Standard C, exact R", " Exact C substitution", " Standard R substitution", " User-assigned R values",
// " Op amp GBW".
std::string FinalVariantName(int variant);
bool FinalVariantAvailable(const TDesign& d, int variant);

// The component values of a stage for a variant (not " Op amp GBW").
ComponentValues<long double> VariantComponentValues(const TDesign& d, int stage, int variant);

// The realised transfer function of a stage for a variant, or nothing when the stage has
// no calculated, realisable circuit (and for " Op amp GBW", which has none).
std::optional<RealisedStage<long double>> StageRealisedFunction(const TDesign& d, int stage, int variant);

// The cascade at one angular frequency w (rad/s).
struct FinalPoint {
    long double GainVV = 0;   // product of the stage magnitudes
    long double PhaseLag = 0; // Phi, degrees, continuous; the phase angle shown is -Phi
    long double Delay = 0;    // seconds
};
std::optional<FinalPoint> FinalResponseAt(const TDesign& d, int variant, int first, int last, long double w);

// A sample of the final response. Its gain, phase and delay are kept at the precision
// of the 6-byte real, like the ideal response's samples: each is the extended-precision
// value rounded to Real48, which a double holds exactly (40 significant bits, exponents
// within +-128), as it does the -400 dB floor and the column's frequencies; the fields
// are doubles, half the size of extended reals, for a column that is written and read
// whole. The column is evaluated in double precision with a bound on the error of every
// value; a value the bound leaves in doubt is evaluated again in compensated
// (double-double) arithmetic and, where that does not settle it either, the point in
// extended precision, so the stored values are those of the extended evaluation. The one
// exception is a gain in dB settled by the compensated evaluation, which is the exact
// value rounded: where the extended evaluation's own error reaches a rounding boundary
// (gains within some 1e-17 dB of one) the two may differ by a unit of the last place,
// and this one is the right one. FHz and W are the column's frequencies as given.
struct FinalFrequencySample {
    double FHz = 0, W = 0;
    double GainDb = 0, GainVV = 0; // dB (-400 at the floor), V/V
    double PhaseLag = 0;           // Phi, degrees
    double PhaseDeg = 0;           // the phase angle as the graph shows it: -Phi
    double DelayS = 0;
};

// A point of the final response in extended precision, not rounded (the reference the
// rounded samples are checked against).
struct FinalReferenceSample {
    long double FHz = 0, W = 0;
    long double GainDb = 0, GainVV = 0;
    long double PhaseLag = 0, PhaseDeg = 0;
    long double DelayS = 0;
};

// How many of a column's points took the extended evaluation.
struct FinalColumnStatistics {
    int points = 0;
    int extended = 0;
};

// The final samples over the design's frequency column (points 0..350) for stages
// first..last. Empty when a stage of the range has no realisable circuit or the variant
// is not available. `stats`, when given, receives the share of points evaluated again
// in extended precision (not filled for " Op amp GBW").
std::vector<FinalFrequencySample> FinalResponse(const TDesign& d, int variant, int first, int last,
                                                FinalColumnStatistics* stats = nullptr);

// The same column evaluated point by point in extended precision and not rounded: the
// reference the double-precision evaluation reproduces after rounding (not for
// " Op amp GBW").
std::vector<FinalReferenceSample> FinalResponseExtended(const TDesign& d, int variant, int first, int last);

// The samples the command line reports: the " Standard C, exact R" variant of all
// stages over the ideal response's default frequency column (351 points).
std::vector<FinalFrequencySample> FinalResponseSamples(const TDesign& d);
std::vector<FinalFrequencySample> FinalResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                       int variant);
// Stages first..last of a variant over an axis, as the final-response window shows them
// (its own axis, independent of the design's column).
std::vector<FinalFrequencySample> FinalResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                       int variant, int first, int last);

// The stages of the range whose outputs are inverted: the phase view notes the 180
// degrees they add (or, for an even number, that they cancel).
std::vector<int> InvertingStages(const TDesign& d, int first, int last);

} // namespace velmora
