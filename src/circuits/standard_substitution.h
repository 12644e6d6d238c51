// Standard resistor values in place of the computed ones.
//
// A computed resistor lies between two values of the resistor series of the design's
// tolerance (E96 for 1 %, E24 for 5 %, E12 for 10 %), its lower neighbour L and upper
// neighbour U. Two strategies choose between them:
//  - strategy 2 takes for every resistor the nearer of L and U (absolute difference, L
//    on equal distance);
//  - strategy 1 decides the resistors that set the pole frequency together: every
//    combination of their neighbours is realised and ranked by how far the stage's
//    response moves from its target (the figure below); the others take the nearer
//    neighbour. Ranking stages one by one cannot promise a better filter, since the
//    errors of different stages add or cancel in the cascade. So when the design has a
//    specification mask, the stages' choices are then made together on the whole filter:
//    starting from the better of "every stage at its best-ranked combination" and
//    "every stage at strategy 2's choice", each stage in turn takes whichever of its
//    best-ranked combinations or strategy 2's choice gives the filter the larger worst
//    mask margin (the smaller of the passband and stopband margins), until no stage
//    changes. The whole filter with strategy 1 is therefore never further from its mask
//    than with strategy 2.
// The resistors that set the pole frequency are those of the adjustable-resistor list of
// the circuit's pole-frequency coefficient: the s^2 coefficient of a denominator written
// with constant term one (1/wp^2), else the constant term of the monic one (wp^2).
//
// Deviation figure of a stage: the largest difference in dB between the realised stage's
// gain and its target's at the frequencies that decide the filter's mask near the stage:
// the pole frequency, its half-power points and the Q peak (where a pole's frequency or Q
// error shows most), the shoulders of a notch (5 % either side of the zero, where a moved
// zero shows while the target is still finite), and the specification's band edges
// within a decade of the stage's frequencies (where the margins are decided). A dB
// figure is what the mask is written in: the same 0.1 dB matters as much in a stopband
// 60 dB down as in the passband, where a relative error of the complex response would
// weigh it a thousand times less.
//
// With the resistor inventory enabled the candidates are the neighbours that are in
// stock; when neither is, the in-stock value nearest to the exact one in the inventory's
// range; when nothing of the range is in stock, the exact value is kept and the stage's
// notes say so.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "circuits/circuit_design.h"
#include "circuits/inventory_lookup.h"
#include "circuits/standard_values.h"
#include "model/design.h"
#include "model/inventory_file.h"

namespace velmora {

// The frequencies (rad/s) at which the deviation figure of a stage is taken (above).
std::vector<long double> DecisiveFrequencies(const TDesign& d, int stage);
// The deviation figure: the largest |20 log10(|H(jw)| / |T(jw)|)| of the realised response
// H from the target T over the frequencies `w`; infinity where H vanishes or cannot be
// evaluated while T does not (frequencies where T vanishes are skipped).
long double DeviationDb(const RealisedStage<long double>& realised, const RealisedStage<long double>& target,
                        const std::vector<long double>& w);

// The frequencies (rad/s) where a cascade's narrow peaks and notches sit, which a search
// for the extremes of its response over the mask must not step over: every stage's pole
// and zero frequency and its pole's half-power points.
std::vector<long double> MaskFeatureFrequencies(const TDesign& d);
// The worst mask margin (dB, the smaller of the passband and stopband margins) of the
// cascade of the stages' realised responses with the given components (ideal op amps);
// nothing when the design has no mask or the cascade cannot be evaluated on it.
std::optional<long double> CascadeMaskFigure(const TDesign& d,
                                             const std::vector<ComponentValues<long double>>& stageValues);

// The resistor numbers of an adjustable-resistor list ("02,01,02" -> {1, 2}); empty for
// an empty or malformed list.
std::vector<int> ParseAdjustList(std::string_view list);
// The list of the pole-frequency coefficient of a circuit (see above).
std::vector<int> PoleFrequencyResistors(const CircuitRoutines& routines);

enum class SubstitutionStrategy { Optimised = 1, Nearest = 2 };

struct SubstitutionOptions {
    Series series = Series::E96;
    SubstitutionStrategy strategy = SubstitutionStrategy::Optimised;
    const Inventory* inventory = nullptr; // the resistor inventory when it is enabled
};

struct StageSubstitution {
    ComponentValues<long double> values; // the capacitors as given, the resistors substituted
    long double deviation = 0;           // of the substituted stage (figure above)
    std::vector<int> keptExact;          // resistors with nothing in stock to stand in
    // Strategy 1: the best-ranked combinations, best first (values first among them),
    // and strategy 2's choice, which the whole-filter choice may prefer.
    std::vector<ComponentValues<long double>> ranked;
    ComponentValues<long double> nearest;
};

// Substitutes the resistors of a stage whose exact components are `exact`, ranking the
// stage on its own (the whole-filter choice is the design-wide step's). Nothing when the
// stage has no circuit.
std::optional<StageSubstitution> SubstituteStandardResistors(const TDesign& d, int stage,
                                                             const ComponentValues<long double>& exact,
                                                             const SubstitutionOptions& options);

// ---- The "Standard R Values" step over the whole design ------------------------------

// The stages whose capacitors were not entered as exact values.
std::vector<int> StagesWithoutExactCapacitors(const TDesign& d);

// Whether standard values can be used with the design's resistor tolerance (only the 1,
// 5 and 10 % tolerances have a series).
bool StandardValuesAvailable(const TDesign& d);

struct StandardRResult {
    bool ok = false;
    bool noSeries = false; // refused: the tolerance has no series
    std::vector<int> stagesWithoutExactCapacitors;
    std::vector<ValueNote> notes; // per stage: resistors kept at their exact values
};

// Switching standard values on: each resistor's exact value is saved once (in its Exact
// field), the stage's resistors are substituted, its actual gain is the gain constant the
// substituted components realise, and the design's StandardROn flag is set (capacitors
// are locked while it is). `resistorInventory` is used when the design's resistor
// inventory flag is set.
StandardRResult SwitchStandardROn(TDesign& d, const Inventory* resistorInventory);
// Switching off: every resistor takes its saved exact value again, the saved values are
// cleared, the capacitors are those of the stage's capacitor set, and the flag is cleared.
void SwitchStandardROff(TDesign& d);
// A new strategy (1 or 2): while standard values are on, they are switched off and on
// again so the substitution is redone.
StandardRResult SetSubstitutionStrategy(TDesign& d, int strategy, const Inventory* resistorInventory);
// After every stage was recalculated while standard values are on: their new exact values
// are saved and substituted again, the stages chosen together as on switching on (so a
// design read back from its file gets the standard values it was saved with).
std::vector<ValueNote> ResubstituteAll(TDesign& d, const Inventory* resistorInventory);

// The resistor values in effect: Value, the exact value (Exact when saved, else Value).
long double ExactResistor(const TStageCircuit& c, int n);

// The stage's actual gain from the gain constant its components realise (its magnitude).
void UpdateActualGain(TDesign& d, int stage);

} // namespace velmora
