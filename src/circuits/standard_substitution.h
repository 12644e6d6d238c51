// Standard resistor values in place of the computed ones.
//
// A computed resistor lies between two values of the resistor series of the design's
// tolerance (E96 for 1 %, E24 for 5 %, E12 for 10 %), its lower neighbour L and upper
// neighbour U. Two strategies choose between them:
//  - strategy 2 takes for every resistor the nearer of L and U (absolute difference, L
//    on equal distance);
//  - strategy 1 decides the resistors that set the pole frequency together: every
//    combination of their neighbours is realised and the one whose stage response lies
//    closest to the exact stage response is kept (the others take the nearer neighbour).
//    Strategy 2's choice is one of the combinations tried, so strategy 1 never deviates
//    more than strategy 2.
// The resistors that set the pole frequency are those of the adjustable-resistor list of
// the circuit's pole-frequency coefficient: the s^2 coefficient of a denominator written
// with constant term one (1/wp^2), else the constant term of the monic one (wp^2).
//
// Deviation figure: with H the stage response the components realise and T the response
// of the exact values (which realise the stage's targets), the largest |H(jw) - T(jw)|
// over a logarithmic grid of 201 frequencies from a tenth of the stage's lowest
// characteristic frequency (wp, wc, or wz) to ten times its highest, divided by the
// largest |T(jw)| on the grid. It is a relative error of the complex response, so it
// counts gain, pole-frequency, Q and zero errors alike and stays finite at a notch,
// where a dB difference would not.
//
// With the resistor inventory enabled the candidates are the neighbours that are in
// stock; when neither is, the in-stock value nearest to the exact one in the inventory's
// range; when nothing of the range is in stock, the exact value is kept and the stage's
// notes say so.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "circuits/circuit_design.h"
#include "circuits/standard_values.h"
#include "model/design.h"
#include "model/inventory_file.h"

namespace velmora {

// The deviation figure above of a realised response from the exact one. `w0` and `w1`
// are the stage's lowest and highest characteristic frequencies (rad/s).
long double ResponseDeviation(const RealisedStage<long double>& realised,
                              const RealisedStage<long double>& exact, long double w0, long double w1);
// The two characteristic frequencies of a stage (wc twice for a first-order stage; wp and
// wz of a notch stage, in order).
std::pair<long double, long double> StageFrequencySpan(const TStageCoeffs& s);

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
};

// Substitutes the resistors of a stage whose exact components are `exact`. Nothing when
// the stage has no circuit.
std::optional<StageSubstitution> SubstituteStandardResistors(const TDesign& d, int stage,
                                                             const ComponentValues<long double>& exact,
                                                             const SubstitutionOptions& options);

// ---- The "Standard R Values" step over the whole design ------------------------------

// The stages whose capacitors were not entered as exact values, and the message telling
// so ("There are capacitor(s) in stages 1,3 not set to exact values."); empty when every
// stage's were.
std::vector<int> StagesWithoutExactCapacitors(const TDesign& d);
std::string CapacitorsNotExactMessage(const std::vector<int>& stages);

// Why standard values cannot be used with the design's resistor tolerance, or empty when
// they can (only the 1, 5 and 10 % tolerances have a series).
std::string StandardValuesUnavailableReason(const TDesign& d);

struct StandardRResult {
    bool ok = false;
    std::string refusal;            // why nothing was done (tolerance without a series)
    std::string capacitorsMessage;  // "There are capacitor(s) in stage ..." or empty
    std::vector<std::string> notes; // per stage: resistors kept at their exact values
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
// After a stage was recalculated while standard values are on: its new exact values are
// saved and substituted again.
std::vector<std::string> ResubstituteStage(TDesign& d, int stage, const Inventory* resistorInventory);

// The resistor values in effect: Value, the exact value (Exact when saved, else Value).
long double ExactResistor(const TStageCircuit& c, int n);

// The stage's actual gain from the gain constant its components realise (its magnitude).
void UpdateActualGain(TDesign& d, int stage);

} // namespace velmora
