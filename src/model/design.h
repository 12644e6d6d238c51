// TDesign: the one design document of a running program.
//
// A plain aggregate of the design's groups, in the order of the design steps. Arrays
// are 1-based with slot 0 unused, so code reads like the formulas; capacities are
// fixed. Counts and indices are int16_t, flags and small enumerations uint8_t, and
// every stored real is a Real48 (rounded on every store; compute in long double).
// Frequencies are rad/s throughout; Hz appears only in entry texts and displays.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/real48.h"

namespace velmora {

// ---- Capacities -------------------------------------------------------------------
inline constexpr int kApproxCount = 5;         // approximations, indices 0..4
inline constexpr int kMaxOrder = 20;           // largest filter order
inline constexpr int kTableEntries = 11;       // PoleTable / ZeroTable / ZeroList entries 1..11
inline constexpr int kPoleListEntries = 11;    // PoleList entries 1..11 (the file holds 12, slot 0 unused)
inline constexpr int kMaxStages = 11;          // stages 1..11
inline constexpr int kMaxCircuits = 13;        // circuit records 1..13
inline constexpr int kMaxPoleEntries = 11;     // pairing pole list
inline constexpr int kMaxZeroEntries = 11;     // pairing zero list
inline constexpr int kResistorSlots = 10;      // R1..R10
inline constexpr int kCapacitorSlots = 4;      // C1..C4
inline constexpr int kComponentSlots = 14;     // R1..R10 then C1..C4
inline constexpr int kResponseIntervals = 350; // n of the frequency column
inline constexpr int kResponsePoints = kResponseIntervals + 1; // points 0..350
inline constexpr int kResponseCapacity = 352;

template <typename T, int N> using OneBased = std::array<T, N + 1>; // slot 0 unused

// ---- Enumerations -----------------------------------------------------------------
enum FilterType : uint8_t { Lowpass = 0, Highpass = 1, Bandpass = 2, Bandstop = 3, UserDefined = 4 };

enum ApproxIndex : int16_t { Butterworth = 0, Chebyshev = 1, InverseChebyshev = 2, Elliptic = 3, Bessel = 4 };

inline bool isAllPole(int approx) {
    return approx == Butterworth || approx == Chebyshev || approx == Bessel;
}

// Design progress: how far the design has come.
enum DesignLevelValue : uint8_t {
    LevelEmpty = 0,
    LevelStarting = 1,
    LevelApproximations = 2,
    LevelApproxChosen = 3,
    LevelPaired = 4,
    LevelCascaded = 5,
    LevelCircuitsSelected = 6,
    LevelComponents = 7,
    LevelFinalResponse = 8,
};

// ---- Approximation results -------------------------------------------------------
// Stored as one 314-byte record per approximation in the design file, fields in order.
struct ApproxResult {
    int16_t Order = 0;       // prototype order; doubled after a bandpass/bandstop transform
    uint8_t Reserved20 = 20; // set to 20 whenever the record is cleared
    uint8_t Reserved0 = 0;
    uint8_t OrderTooHigh = 0;
    int16_t PolePairs = 0;      // second-order sections
    int16_t ProtoZeroPairs = 0; // zero entries to scan in ZeroList
    int16_t SingleZeros = 0;    // real zeros (all at the origin)
    int16_t ZeroPairs = 0;      // conjugate zero pairs on the jw axis (off the origin)
    uint8_t HasRealPole = 0;
    Real48 RealPoleNorm;      // normalised real pole magnitude
    Real48 RealPole;          // transformed real pole magnitude, rad/s
    uint8_t HasRealPole2 = 0; // user-defined filters only
    Real48 RealPole2;
    uint8_t HasSingleZero = 0;
    Real48 SingleZero;
    std::string GainConstantText; // at most 255 characters
    Real48 GainConstant;          // numerator constant after transformation
    Real48 GainConstantNorm;      // numerator constant of the normalised prototype
    Real48 MaxQp;
};

// Section s^2 + B s + C, normalised and transformed; wp = sqrt(C), Qp = wp / B.
struct PoleTableEntry {
    Real48 BNorm, CNorm, B, C, Wp, Qp;
};
// Zero pair s^2 + wz^2: wz^2 normalised and transformed (0 = double zero at the origin).
struct ZeroTableEntry {
    Real48 Wz2Norm, Wz2;
};
// Upper pole of a pair: real part as a positive magnitude and imaginary part.
struct PoleListEntry {
    Real48 ReNorm, ImNorm, Re, Im, Reserved1, Reserved2;
};
struct ZeroListEntry {
    Real48 WzNorm, Wz;
};

// One point of an ideal response: gain (dB and V/V), phase lag (degrees),
// group delay (s), step and impulse responses.
struct IdealSample {
    Real48 GainDb, GainVV, Phase, Delay, Step, Impulse;
};

struct FrequencyPoint {
    Real48 F; // Hz
    Real48 W; // rad/s
};

// Everything the program keeps about one approximation.
struct Approximation {
    ApproxResult Result;
    std::array<PoleListEntry, kPoleListEntries + 1> PoleList{};
    OneBased<ZeroListEntry, kTableEntries> ZeroList{};
    OneBased<PoleTableEntry, kTableEntries> PoleTable{};
    OneBased<ZeroTableEntry, kTableEntries> ZeroTable{};
    uint8_t QpTooHigh = 0;
    uint8_t AllPole = 0; // set while the approximation is computed
    Real48 RippleFactor; // working value of the prototype computation
    Real48 ProtoScale;   // working value of the bandpass/bandstop transformation
    std::array<IdealSample, kResponseCapacity> Ideal{}; // points 0..350, recomputed, never stored
    // The points of Ideal nearest to a notch, which the gain graph draws as a deep dip
    // (the samples themselves hold the true gain); recomputed with them, never stored.
    std::array<uint8_t, kResponseCapacity> NotchMark{};
};

inline bool isUsable(const Approximation& a) {
    return !a.Result.OrderTooHigh && !a.QpTooHigh;
}

// ---- Specification ----------------------------------------------------------------
struct Specification {
    uint8_t FilterType = Lowpass;
    Real48 Apb, Asb;                                                // dB
    Real48 wpb, wsb;                                                // rad/s (lowpass, highpass edges)
    Real48 w0, Bpb, Bsb;                                            // rad/s (bandpass, bandstop)
    Real48 Selectivity;                                             // transition ratio > 1
    Real48 NormPassEdge;                                            // always 1.0
    Real48 ApbEntry, AsbEntry;                                      // as typed, dB
    Real48 PassFreqEntry, StopFreqEntry, CenterFreqEntry;           // as typed, in their entry units
    int16_t PassFreqUnit = 0, StopFreqUnit = 0, CenterFreqUnit = 0; // 0 = Hz (rad/s), 1 = kHz (krad/s)
    Real48 OverallGain = 1.0L;                                      // V/V
    Real48 HalfPowerGain, HalfPowerGainDb;
    uint8_t ForceOrder = 0;
    int16_t ForcedOrder = 0;
    int16_t LastApproxIndex = 4; // 4 for specified filters, 0 for user-defined ones
    // User-defined filters: their gain constant and the pole and zero slot flags.
    Real48 UserGainConstant = 1.0L;
    OneBased<uint8_t, 11> UserPoleSlotFree{};
    OneBased<uint8_t, 11> UserZeroSlotFree{};
};

// Default axes of the ideal-response graphs and the time scale.
struct GraphRanges {
    Real48 GraphFreqMin, GraphFreqMax; // display unit
    int16_t GraphFreqDecade = 0;
    Real48 SweepFreqMin, SweepFreqMax;
    int16_t TimeScaleExp = 0;
    Real48 TimeFullScale, TimeTickStep, TimeAux;
};

// ---- Stages -------------------------------------------------------------------------
struct TPoleEntry {
    uint8_t Free = 0;
    uint8_t Kind = 0; // 1 = complex pair, otherwise a single real pole
    Real48 Q, Wp, Sigma, Imag;
    std::array<uint8_t, 2> Reserved{};
};

struct TZeroEntry {
    uint8_t Free = 0;
    uint8_t Kind = 0; // 1 = pair
    Real48 Re, Wz;
};

struct TStageCoeffs {
    uint8_t StageType = 0;
    std::string Name; // short name of the type, empty for an unused slot
    int16_t Pole1 = 0, Pole2 = 0, Zero1 = 0, Zero2 = 0;
    Real48 Wp, Qp, Wz, Sigma, Flatness, K, To;
};

// The typed entry texts of a user-defined section (46 bytes in the file).
struct TUserBlock {
    uint8_t EntryMode = 0;
    std::array<std::string, 5> Texts; // first..fourth field and "To =", at most 8 characters each
};

struct TCapacitorSet {
    std::array<uint8_t, 18> Selection{};       // selection data of the standard-value step
    OneBased<Real48, kCapacitorSlots> Value{}; // C1..C4
    OneBased<Real48, kCapacitorSlots> Alternative{};
};

struct TCascadeOption {
    uint8_t Enabled = 0;
    int16_t Priority = 0; // 1 = highest
};
struct TCascadeCriteria {
    OneBased<TCascadeOption, 4> Options{};
};

struct TComponentItem {
    Real48 Value;       // ohms or farads
    Real48 Alternative; // capacitors: the alternative (standard) value
    Real48 Adjusted;    // resistors: the user-assigned value (0 while none)
    uint8_t AdjustedMark = 0;
    // Resistors: the exact computed value, saved while standard values stand in for it
    // (0 while none is saved). Kept apart from the user-assigned value, so a saved exact
    // value never counts as assigned and an assignment never loses the exact value.
    Real48 Exact;
    // Capacitors: the offset of an entered value from the reference value (0 while the
    // capacitor is as calculated) and whether the value is a 12-value series value.
    Real48 Offset;
    uint8_t StandardMark = 0;
    uint8_t InUse = 0;
    // Relative sensitivities (dP/P)/(dx/x) of the stage's pole frequency (wc for
    // first-order stages), pole Q, gain constant and zero frequency to this component.
    Real48 SensWp, SensQp, SensGain, SensWz;
};

struct TStageCircuit {
    uint8_t Initialise = 0;
    int16_t CircuitNumber = 0, CircuitChoice = 0, PrevChoice = 0;
    int16_t ResistorCount = 0, CapacitorCount = 0, OpAmpCount = 0;
    uint8_t CompensationInUse = 0;
    std::array<uint8_t, 6> Options{};
    Real48 OpAmpGBW = 1.0e6L; // Hz
    Real48 GbwTolerance;      // %
    Real48 GbwTempCo;
    Real48 OpAmpNoise; // nV/sqrt(Hz)
    std::array<Real48, 7> Parameters{};
    OneBased<TComponentItem, kComponentSlots> Components{};
    // Gain of the stage (the gain step): the gain it should have for equal peak levels,
    // the gain its circuit is designed for, their ratio, whether the circuit cannot give
    // the gain asked of it, the user's override, the gain before the first override,
    // and the output level relative to the most heavily driven stage (%).
    Real48 OptimalGain, ActualGain, GainRatio;
    uint8_t GainConstrained = 0;
    Real48 UserGain, SavedGain;
    uint8_t GainAdjusted = 0;
    Real48 DynamicRange;

    // ---- Circuit of the stage (catalogue row, design state, finite-GBW figures) ----
    // Catalogue fields of the loaded row.
    uint8_t C2Alone = 0;       // C2 may be adjusted on its own
    Real48 CapRatio;           // C2/C1 of the starting values (after loading: the actual ratio)
    uint8_t GainPair = 0;      // R(n-1), R(n) set the amplifier gain
    uint8_t C2Variable = 0;    // the " C2 variable" design option is offered
    uint8_t GainFixed = 0;     // the topology fixes the gain (for the design at hand)
    uint8_t FullNumerator = 0; // numerator s^2 and s^1 terms from the circuit's own formula
    uint8_t Inverting = 0;     // inverts at DC
    uint8_t ActiveComp = 0;    // an actively compensated variant exists
    int16_t CompVariant = 0;   // its number
    // Starting-value bookkeeping: C1, C2 positions in the 12-value list and decade
    // exponents; the gain pair's position in the 24-value list and its exponent.
    int16_t C1Index = 0, C1Exponent = 0, C2Index = 0, C2Exponent = 0;
    int16_t GainPairIndex = 0, GainPairExponent = 0;
    // Design options: " C2 variable" chosen, " C1=C2 : R1=R2" chosen.
    uint8_t UseC2Variable = 0, UseC1EqC2 = 0;
    uint8_t Predistort = 0; // predistortion in use (CompensationInUse: active compensation)
    uint8_t NotRealisable = 0;
    Real48 DesiredGain; // the gain asked of the circuit, V/V (ActualGain: what it gives)
    // First-order finite-GBW coefficients of wp and Qp (and a second pair for circuits
    // with more op amps), the predistorted working targets wp', Qp', the GBW effect
    // figure and the minimum recommended unity GBW (Hz).
    Real48 GbwFactorWp, GbwFactorQp, GbwFactor3, GbwFactor4;
    Real48 WpPrime, QpPrime, GbwEffect, MinRecGBW;
    uint8_t GbwChangedByUser = 0; // the user set the GBW; selection keeps it
    uint8_t CapsExact = 0;        // the user entered a capacitor value for this stage
};

// ---- Component characteristics and options ------------------------------------------
struct ComponentCharacteristics {
    Real48 ResistorTolerance = 1.0L;  // %
    Real48 CapacitorTolerance = 1.0L; // %
    Real48 OpAmpTolerance = 30.0L;    // %
    Real48 OpAmpNoise = 12.0L;        // nV/sqrt(Hz)
    Real48 ResistorTempCo, CapacitorTempCo, TempRise;
    Real48 Reserved1, Reserved2;
    uint8_t UseCapInventory = 0, UseResInventory = 0, AllCapsStandard = 0;
    // Standard resistor values stand in for the exact ones in every stage, chosen by
    // strategy 1 (the pole-frequency resistors together, by the stage response) or 2
    // (each resistor's nearer neighbour).
    uint8_t StandardROn = 0;
    uint8_t SubstitutionStrategy = 1;
};

struct Options {
    uint8_t AutoPairing = 1;
    uint8_t AutoCascading = 1;
    uint8_t GainUnitsDb = 1;
    uint8_t LogFreqAxis = 1;
    uint8_t FreqUnitsHz = 1;
    uint8_t GridLines = 1;
    uint8_t ResistorAdjustmentDone = 0;
    uint8_t OrderByQp = 0; // cascade the remaining stages by increasing Qp, else for maximum flatness
};

// The frequencies over which the cascade is ordered and its stage gains are set,
// with the passband limits (a second interval for bandstop filters), rad/s.
struct AnalysisGrid {
    std::array<Real48, kResponsePoints> W{}; // points 0..350
    Real48 PassLow, PassHigh;
    Real48 PassLow2, PassHigh2; // bandstop: the upper passband
    uint8_t TwoBands = 0;
};

// ---- The design ---------------------------------------------------------------------
struct TDesign {
    // Document state
    std::string FileName; // empty for an unsaved design
    uint8_t DesignLevel = LevelEmpty;
    uint8_t Modified = 0;
    uint8_t StepChanged = 0;
    uint8_t Loading = 0;
    uint8_t ResultsReady = 0;   // the specification calculation finished
    uint8_t LoadedFromFile = 0; // the design came from a file (read by the circuit steps); cleared by New

    Specification Spec;
    GraphRanges Ranges;

    // Approximations: the one being computed or shown, the one the user selected,
    // and the saved copies the design was committed with.
    int16_t CurrentApprox = Butterworth;
    int16_t SavedApprox = Butterworth;
    uint8_t SelectedApprox = Butterworth;
    uint8_t SavedSelectedApprox = Butterworth;
    std::array<Approximation, kApproxCount> Approx{};
    std::array<FrequencyPoint, kResponseCapacity> FreqColumn{};

    // Stages
    int16_t StageCount = 0;
    int16_t PoleCount = 0, ZeroCount = 0;
    OneBased<TPoleEntry, kMaxPoleEntries> Poles{};
    OneBased<TZeroEntry, kMaxZeroEntries> Zeros{};
    OneBased<TStageCoeffs, kMaxStages> Stages{};
    OneBased<TUserBlock, kMaxStages> UserBlocks{};
    OneBased<TCapacitorSet, kMaxStages> CapSets{};
    OneBased<TCapacitorSet, kMaxStages> CapSetsWorking{};
    std::array<TCascadeCriteria, 2> Criteria{}; // first stage, last stage
    OneBased<TStageCircuit, kMaxCircuits> Circuits{};
    AnalysisGrid Grid;            // recomputed from the filter specification, never stored
    Real48 ActualOverallGain;     // V/V, product of the stage gains over the stage responses
    int16_t ConstrainedCount = 0; // gain-constrained stages
    uint8_t PairingChanged = 0;   // the stage set was rebuilt since the cascade was last ordered

    ComponentCharacteristics Components;
    Options Opt;

    Approximation& current() { return Approx[CurrentApprox]; }
    const Approximation& current() const { return Approx[CurrentApprox]; }
};

// The empty state of one approximation record and its tables.
void ClearApproxResult(Approximation& a);

// New design: clears the document state, every approximation, the stages and circuits;
// keeps the options and component characteristics (they come from the settings).
void NewDesign(TDesign& d, uint8_t filterType);

// Marks the design modified and its step inputs changed.
inline void MarkStepChanged(TDesign& d) {
    d.Modified = 1;
    d.StepChanged = 1;
}

} // namespace velmora
