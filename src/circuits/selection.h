// Circuit selection: rating every circuit offered for a stage, the metrics shown for a
// candidate, choosing one, and the automatic choice of the command line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/design.h"
#include "model/design_file.h"

namespace velmora {

// What the evaluation found for one offered circuit of a stage.
struct TCircuitCandidate {
    int16_t ResistorCount = 0, CapacitorCount = 0, OpAmpCount = 0;
    int32_t ResistorSpread = 0, CapacitorSpread = 0; // largest / smallest, truncated
    uint8_t NotRealisable = 0;
    uint8_t Inverting = 0;
    uint8_t Excluded = 0; // set by the user
    uint8_t GainFixed = 0;
    Real48 DesiredGain, ActualGain; // V/V
    Real48 MinRecGBW;               // Hz; 0 for first-order circuits
    Real48 PassiveGainSpread, ActiveGainSpread;
};

// The candidates of one stage, by choice 1..offered.
struct TCandidateSet {
    uint8_t Valid = 0; // evaluated for the stage as it is
    OneBased<TCircuitCandidate, kMaxCircuits> Candidates{};
};

// Spreads saturate here (a zero or missing value, or a ratio beyond it).
inline constexpr int32_t kSpreadLimit = 2000000000;
// Spreads from here on are shown as ">5000:1"; above kSpreadWarning a legend warns.
inline constexpr int32_t kSpreadShownLimit = 5000;
inline constexpr int32_t kSpreadWarning = 1000;

// Largest over smallest resistor, over R1..R(n-2) for a circuit with a gain pair (the
// pair is a free ratio, not part of the spread) and over all n otherwise; capacitors
// over C1..C(count). Limited in floating point before truncation; a zero value gives the
// limit.
int32_t ResistorSpread(const TStageCircuit& c);
int32_t CapacitorSpread(const TStageCircuit& c);

// The gains the circuits are asked for: the gain distribution's actual gain of every
// stage becomes its desired circuit gain. Run when the selection step starts afresh.
void CaptureDesiredGains(TDesign& d);

// Starts the selection step afresh: every stage's initialise flag set, its choice 0 and
// previous choice 1, its circuit the first offered for its type (when the design has not
// reached the circuits level), the default op-amp GBW unless the user set one, and the
// desired gains captured; the candidate sets are invalidated.
void InitialiseCircuitStep(TDesign& d, std::array<TCandidateSet, kMaxStages + 1>& sets);

// Rates every offered circuit of a stage. Each candidate is loaded and calculated on its
// own scratch copy of the stage's circuit record and capacitor set, with its own
// starting values; the stage's record and set are restored afterwards. Then, when the
// stage has a choice, its own circuit is loaded and calculated again. The excluded marks
// the user set survive (cleared for a circuit that is not realisable).
void EvaluateCandidates(TDesign& d, int stage, TCandidateSet& set);

enum class SelectStatus { Selected, NotRealisable, NoSuchChoice };
// Selects choice k for the stage: choice, previous choice and circuit number set, the
// initialise flag set, compensation and predistortion cleared, the op-amp GBW set to the
// candidate's minimum recommended GBW (at least 1 MHz) unless the user set one; the
// design is marked modified and reaches the circuits level once every stage has a choice.
// Refused for a candidate that is not realisable.
SelectStatus SelectCircuit(TDesign& d, int stage, int choice, const TCandidateSet& set);

// True when every stage has a choice.
bool AllStagesSelected(const TDesign& d);

// Whether the circuits of a design read from a file agree with its stages (Ok), else the
// first contradiction as a refusal of the file: from the selection of the circuits on,
// every stage has a circuit (NoCircuit), its number names a circuit of the catalogue
// (UnknownCircuit), and that circuit realises the stage's type (CircuitOfOtherType).
DesignFileResult CheckStoredCircuits(const TDesign& d);

// ---- Metrics panel ------------------------------------------------------------------------
struct CandidateTexts {
    std::string SpreadR, SpreadC;        // "R= 12:1", "    C= >5000:1", "R= N/A "
    std::string Counts;                  // "R:4    C:2    OA:1"
    std::string DesiredGain, ActualGain; // "Desired gain: 1.0000"
    bool ActualGainRed = false;          // differs from the desired gain by more than 0.001
    bool FixedMark = false;              // a red "F": the topology fixes the gain
    std::string DcPhase;                 // "Inverting" / "Non-inverting"
    std::string GbwCaption = "Min. Recommended";
    std::string Gbw;                     // "Unity GBW: 1.0 MHz" or "Unity GBW: N/A"
    std::array<std::string, 3> Legend{}; // warning legend, three words, or empty
    bool SelectEnabled = false;
};
CandidateTexts MetricsTexts(const TDesign& d, int stage, const TCircuitCandidate& c);

// An op-amp GBW in Hz as the panels show it: above 1e9 Hz "x.x GHz", from 1e7 "xx MHz",
// from 1e5 "x.x MHz", below "x.xx MHz".
std::string GbwText(long double hz);

// ---- Automatic choice -------------------------------------------------------------------
// The circuit the command line takes for a stage when none is asked for: among the
// realisable candidates that are not excluded, the first by (no spread warning, actual
// gain equal to the desired gain, fewest op amps, smallest resistor spread, lowest
// choice). 0 when no candidate is realisable.
int AutomaticChoice(const TCandidateSet& set, int offered);

// What the command line asks of one stage (index 0 = stage 1); empty key: automatic.
struct StageCircuitRequest {
    std::string key;       // "SLP03"
    long double gbwHz = 0; // 0: keep the default / recommended GBW
    bool predistort = false;
    bool compensate = false; // active compensation
    // Active compensation if the stage's circuit offers it ("--compensate all"); it wins
    // over predistortion, which then applies to the stages left uncompensated.
    bool compensateWhereOffered = false;
    long double startC1 = 0; // the starting capacitor C1 (farads); 0: the automatic choice
};
// Why the circuits could not be designed, with the stage (and the circuit, the stages or
// the capacitor) concerned.
enum class CircuitsStatus : uint8_t {
    Ok,
    NotCascaded,     // the design has no cascaded stages yet
    WrongType,       // the circuit `key` asked for `stage` realises another stage type
    NotRealisable,   // the circuit `key` asked for `stage` cannot be realised for it
    NoCircuit,       // no circuit of the catalogue realises `stage`
    NoCompensation,  // active compensation asked for `stage`, whose circuit has none
    NoPredistortion, // predistortion asked for the first-order `stage`
    NotActualised,   // the stages `failedStages` ("2, 3") cannot be calculated
    BadStart,        // `stage` cannot be built from the starting capacitor `startC1`
};
struct CircuitsOutcome {
    bool ok = false;
    CircuitsStatus status = CircuitsStatus::NotCascaded;
    int stage = 0;
    int stageType = 0;        // WrongType: the stage's type
    std::string key;          // the circuit asked for ("SLP03")
    std::string failedStages; // NotActualised
    long double startC1 = 0;  // BadStart, farads
};
// The gains distributed over the selected circuits (each stage asked what its circuit
// can give), the overall actual gain, the desired gains captured and, with `calculate`,
// every stage's components calculated for its gain. Returns the stages that could not
// be calculated ("2, 3"), empty when all could. The selection step and the reopening of
// a saved design both run it, so a design read back equals the one saved.
std::string RealiseStageGains(TDesign& d, bool calculate);

// Takes a design at the stages level (5) to components calculated (7): selects a circuit
// for every stage (asked or automatic), applies the GBW and compensation requests,
// redistributes the gains with the real circuits, and calculates every stage. A stage
// starts from the capacitor asked for it; otherwise from the automatic start, moved
// where that gives impractical values (circuits/practical_values.h).
CircuitsOutcome DesignStageCircuits(TDesign& d, const std::vector<StageCircuitRequest>& requests = {});

} // namespace velmora
