// The final response with real op amps: the " Op amp GBW" variant.
//
// The other final-response variants evaluate the realised transfer functions, which
// assume ideal op amps. This one solves every stage's node equations with each op amp
// a single-pole amplifier: unity-gain frequency the stage's OpAmpGBW, DC gain 1e5 and an
// output resistance of 100 Ohm (the amplifier the SPICE netlist's single-pole model
// describes, and typical of real parts), in the compensated variant's netlist when the
// stage uses active compensation, and with every stage loaded by the input of the next,
// since that output resistance makes a stage's gain depend on its load. Comparing it with the
// ideal variant shows how much of the op amps' finite bandwidth predistortion and
// active compensation take back.
//
// Gain, phase lag and delay follow the final response's conventions: the sign of an
// inverting stage is not in the phase, and the phase is continuous. The phase of a
// stage is the ideal stage's continuous phase plus the (small) angle by which the op
// amps turn it, so no unwrapping along a sweep is needed and a single point can be
// evaluated on its own (the point calculator).
#pragma once

#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/final_response.h"
#include "analysis/frequency_response.h"
#include "analysis/nodal.h"
#include "model/design.h"

namespace velmora {

// " Op amp GBW"
std::string OpAmpGbwVariantName();

// The open-loop DC gain of the op amps the variant assumes (and the netlist models).
inline constexpr long double kOpAmpDcGain = 1.0e5L;
inline constexpr long double kOpAmpOutputResistance = 100.0L; // ohms

// Vout/Vin of one stage at s = j w (rad/s) with single-pole op amps at its OpAmpGBW,
// unloaded, or nothing when the stage has no calculated, realisable circuit with
// positive components.
std::optional<std::complex<long double>> StageGbwResponse(const TDesign& d, int stage, long double w);

// A stage as the op-amp evaluation sees it: its netlist, component values and GBW (Hz).
struct GbwStage {
    const Topology* topology = nullptr;
    ComponentValues<long double> values;
    long double gbwHz = 0;
};
// Stages 1..n with the component values in effect (those the netlist writes), or with
// those of a final-response variant; nothing when a stage cannot be evaluated.
std::optional<GbwStage> GbwStageOf(const TDesign& d, int stage, std::optional<int> componentVariant);
std::optional<std::vector<GbwStage>> GbwStagesOf(const TDesign& d,
                                                 std::optional<int> componentVariant = std::nullopt);
// Every stage's response at w (rad/s) in a cascade, each loaded by the input of the stage
// after it as the stages are wired (the output of one is the input of the next; the last
// drives nothing).
std::optional<std::vector<Complex>> LoadedResponses(const std::vector<GbwStage>& stages, long double w);

// The cascade of stages first..last at one angular frequency (rad/s), every stage loaded
// by the input of the stage after it, as the stages are wired and the netlist describes
// them (the last stage of the design drives nothing).
std::optional<FinalPoint> FinalGbwResponseAt(const TDesign& d, int first, int last, long double w);

// Over the design's frequency column (points 0..350); empty when a stage of the range
// cannot be evaluated. With `real48` every value is the extended one rounded to the
// 6-byte real, as every final sample is (FinalResponse); otherwise to the nearest double.
std::vector<FinalFrequencySample> FinalGbwResponse(const TDesign& d, int first, int last,
                                                   bool real48 = false);

// All stages over an axis (351 points); without an axis the ideal response's default
// axis, as the command line reports "final_response_gbw". `real48` as above.
std::vector<FinalFrequencySample> FinalGbwResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                          bool real48 = false);
// Stages first..last over an axis.
std::vector<FinalFrequencySample> FinalGbwResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                          int first, int last, bool real48);
std::vector<FinalFrequencySample> FinalGbwResponseSamples(const TDesign& d);

} // namespace velmora
