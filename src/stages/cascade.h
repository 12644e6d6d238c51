// Stage cascading: the order of the stages from input to output and, for every stage
// in its place, the gain constant K that keeps the peak of the partial cascade at 1
// over the analysis grid.
//
// The flatness of a partial cascade is its peak over the grid divided by its smallest
// value inside the passband; an order whose intermediate outputs are flat keeps every
// op-amp away from clipping and noise alike.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>

#include "model/design.h"

namespace velmora {

// The grid (351 points, rad/s) and the passband limits, from the filter specification:
//   lowpass   0 .. wp,                 w_i = i (2 wp / 350)
//   highpass  wp .. 2 wp,              w_i = i (2 wp / 350)
//   bandpass  wL .. wH,                w_i = (wL - Bp/2) + i (2 Bp / 350)
//   bandstop  0 .. wL and wH .. 2 w0,  the bandpass grid, so that it spans both edges
// with wL, wH = sqrt(w0^2 + (Bp/2)^2) -+ Bp/2. User-defined filters get no grid.
void ComputeAnalysisGrid(TDesign& d);

// Responses of one stage over the grid: its own magnitude and the cumulative magnitude
// of the partial cascade ending with it, both scaled by its K, with their peaks and the
// passband minimum of the cumulative one. Kept per stage record, in long double.
struct StageResponse {
    std::array<long double, kResponsePoints> mag{}, cum{};
    long double magPeak = 0, cumPeak = 0, passMin = 0;
    long double flatness = 0; // cumPeak / passMin; 0 when the passband minimum is 0
    bool flatValid = false;
};
struct CascadeWork {
    OneBased<StageResponse, kMaxStages> stage{};

    // A stage's own magnitude over the grid, before its gain, depends only on its type,
    // sigma, wp, Qp and wz and on the grid; the ordering appends every stage many times
    // while those stay the same, so it is evaluated once and kept with what it was
    // evaluated for. A stage whose coefficients or grid differ is evaluated afresh.
    struct OwnMagnitude {
        bool known = false;
        uint8_t type = 0;
        long double sigma = 0, wp = 0, qp = 0, wz = 0;
        std::array<long double, kResponsePoints> grid{}, mag{};
    };
    OneBased<OwnMagnitude, kMaxStages> own{};
};
std::unique_ptr<CascadeWork> NewCascadeWork();

// Evaluates stage s behind stage p (p = s: alone), writes its Flatness, K and To and
// scales its arrays so that the cumulative peak is 1. To is derived from the unrounded
// K and the arrays are scaled by the stored To, so that the stored gains reproduce the
// unit peak.
void AppendStage(TDesign& d, CascadeWork& w, int s, int p);

// The gain of the last stage corrected so that the whole cascade has, at the filter's
// reference frequency (lowpass DC, highpass the high-frequency asymptote, bandpass the
// centre, bandstop both passbands), the level of the normalised approximation there.
// The grid's peak normalisation alone misses it where the reference lies off the grid
// (highpass, bandstop) or between its points; the partial cascades before the last stage
// keep their unit peaks. Returns the factor applied to the last stage (1: none).
long double SetReferenceGain(TDesign& d);

// AppendStage for stages 1..StageCount in order, then SetReferenceGain. User-defined filters keep the gains
// the user entered: only their flatness is computed.
void EvaluateCascade(TDesign& d, CascadeWork& w);
void EvaluateCascade(TDesign& d);

// The automatic ordering by the criteria (first-stage and last-stage preferences, then
// increasing Qp or maximum flatness with a one-position lookahead on near-ties),
// followed by EvaluateCascade (with SetReferenceGain). Sets the step-changed flag and clears PairingChanged.
// User-defined filters are not reordered. Returns false (leaving the order as it
// was) if the ordering did not produce a permutation of the stages.
bool AutoCascade(TDesign& d);

// Flatness values closer than this are a near-tie, decided by looking one position ahead.
inline constexpr long double kFlatnessTie = 0.001L;

// Screening of trial placements: the ordering forms the flatness of a trial in double
// precision, within kFlatnessScreenBound (relative) of the long double flatness, and
// takes a comparison from it only where the bounds of both operands make the outcome
// certain; otherwise it makes the trials involved in long double.
inline constexpr long double kFlatnessScreenBound = 0x1p-49L;
struct BoundedFlatness {
    long double value = std::numeric_limits<long double>::infinity();
    bool exact = true; // the long double flatness itself, else the screened one
    long double Low() const { return exact ? value : value - value * kFlatnessScreenBound; }
    long double High() const { return exact ? value : value + value * kFlatnessScreenBound; }
};
enum class ScreenOutcome { No, Yes, Unknown };
// a < b and |a - b| < kFlatnessTie for the long double values, where certain.
ScreenOutcome ScreenedBelow(const BoundedFlatness& a, const BoundedFlatness& b);
ScreenOutcome ScreenedNearTie(const BoundedFlatness& a, const BoundedFlatness& b);
// The flatness of the partial cascade prev * own over the grid (prev null: own alone) as
// a trial of the ordering gives it: exact when the inputs are outside the screened range.
struct ScreenedTrial {
    bool valid = false;
    BoundedFlatness flatness;
};
ScreenedTrial ScreenTrial(const AnalysisGrid& g, const std::array<long double, kResponsePoints>* prev,
                          const std::array<long double, kResponsePoints>& own);

// Moves stage record `from` to position `to` by exchanging the two records.
void SwapStages(TDesign& d, int a, int b);

} // namespace velmora
