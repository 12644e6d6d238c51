// Monte Carlo analysis of the built filter: many copies of the filter, each with every
// resistor, capacitor and op-amp GBW drawn at random within its tolerance, evaluated
// from the circuits' own transfer functions. It checks the first-order spread estimate
// (circuits/gain_spread.h) where that estimate is weakest (large tolerances, high Q,
// near a notch) and gives the yield against the filter specification's mask.
//
// Draws: every resistor of a stage within the resistor tolerance, every capacitor within
// the capacitor tolerance (0 for a stage whose capacitors are exact), and the
// stage's op-amp GBW within its GBW tolerance; each value is nominal x (1 + e), e either
// uniform on [-t, t] or Gaussian with standard deviation t/3 (the tolerance is the
// 3-sigma limit). The generator is std::mt19937_64, whose sequence the C++ standard fixes,
// with our own uniform and Box-Muller transforms (in double), so a seed gives the same runs
// with any standard library, to the last bit of its double logarithm and sines. The draws are taken in a
// fixed order: run by run, stage by stage, resistors R1.., capacitors C1.., then the GBW.
//
// Evaluation: with ideal op amps, each stage's realised transfer function of the drawn
// components; with modelOpAmps, each stage's node equations with single-pole op amps at
// the drawn GBW (one draw per stage, shared by the stage's amplifiers, as the node model
// has one amplifier model per stage). Gains in dB, frequencies in rad/s.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/tolerance.h"
#include "model/design.h"

namespace velmora {

enum class ToleranceDistribution { Gaussian, Uniform };

struct MonteCarloOptions {
    int Runs = 1000;
    std::uint64_t Seed = 5489; // the generator's customary default seed
    ToleranceDistribution Distribution = ToleranceDistribution::Gaussian;
    bool ModelOpAmps = false;   // single-pole op amps at the drawn GBW (slower)
    std::vector<long double> W; // rad/s; empty: the final response's frequency column
    ExactCapacitors Exact{};    // stages whose capacitors are exact (besides CapsExact)
    int First = 1, Last = 0;    // the stages cascaded; Last = 0: through the last stage
    // Called before every run with the runs done so far and the runs asked for; returning
    // false ends the analysis, which then gives no result. A long analysis shows its
    // progress and lets the person stop it through this.
    std::function<bool(int done, int runs)> Continue;
    // The attenuations the yield is judged against; nothing: the design's own. A design
    // made with a margin (tighter attenuations than specified) is judged against the
    // specified ones.
    const Specification* Mask = nullptr;
};

// The gain over the runs at one frequency.
struct MonteCarloPoint {
    long double FHz = 0, W = 0;
    long double Nominal = 0;         // the filter's own gain, dB
    long double Min = 0, Max = 0;    // dB
    long double Mean = 0, Sigma = 0; // dB; the band mean +- 3 Sigma
};

struct MonteCarloResult {
    int Runs = 0;
    std::uint64_t Seed = 0;
    std::vector<MonteCarloPoint> Band;
    // Fraction of runs that meet the mask: an attenuation (below the nominal gain) of at
    // most Apb over the passband and at least Asb over the stopband, checked at the band's
    // frequencies and at the edges. Nothing for a user-defined filter (it has no mask).
    std::optional<long double> Yield;
};

// Nothing when the design has no stages, a stage has no calculated circuit, Runs < 1,
// or Continue stopped the analysis.
std::optional<MonteCarloResult> RunMonteCarlo(const TDesign& d, const MonteCarloOptions& options = {});

// The frequencies (rad/s) where the mask decides a yield: the band edges, and the points
// of the final response's column where the nominal attenuation comes to a local maximum
// inside the passband or a local minimum inside the stopband (the ripple troughs and the
// stopband lobes, where a drawn copy leaves the mask first). Running the analysis over
// these alone (MonteCarloOptions::W) gives the yield and the band there at a few dozen
// frequencies instead of 351; the edges are checked as with any W. Empty for a
// user-defined filter or a design without a final response.
std::vector<long double> MaskFrequencies(const TDesign& d);

// The mask: whether an attenuation a (dB below the nominal gain) at w meets the filter
// specification. Frequencies outside both bands are free.
bool MeetsMask(const Specification& s, long double w, long double attenuationDb);

} // namespace velmora
