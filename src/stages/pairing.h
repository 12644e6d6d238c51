// Pole-zero pairing: the poles and zeros of the chosen approximation laid out as
// pairing entries, and joined into stages automatically or entry by entry.
//
// Pole entries: the complex pairs in decreasing order of Q, then the real poles. A
// transformed section with Qp < 0.5 (C < (B/2)^2, the section a wide bandpass or
// bandstop makes from the prototype's real pole) has two real poles
// -B/2 -+ sqrt(B^2/4 - C); it is laid out as two single real poles, which the
// automatic pairing joins again into one second-order stage.
// Zero entries: the zero frequencies in decreasing order, as pairs when there are more
// than half as many as complex pole pairs, else as two single zeros each; then the
// single zero at the origin of the approximation.
#pragma once

#include "model/design.h"

namespace velmora {

// Lays out the pole and zero entries of the current approximation, all free, clears
// every stage record and sets StageCount to the number of stages the entries make
// (complex pairs + real poles, a split section counting once).
void InitPairingLists(TDesign& d);

enum class AutoPairStatus {
    Ok,
    ZeroLeftOver,  // a zero entry found no pole entry to take it
    TooManyStages, // more pole units than stage records
};

// Joins every pole entry with its nearest free zero entry (by |wp - wz|), in entry
// order, stage k from the k-th pole unit. A first-order pole never takes a zero pair;
// the two real poles of a split section form one stage. When there are more zero
// frequencies than complex pairs (an odd bandstop filter, whose split real-pole
// section takes the last notch zero), the two real poles and the last zero entry
// form the special notch stage first. Marks every joined entry used, sets StageCount
// and the modified flag. On a refusal the lists are laid out afresh and no stage
// is left.
AutoPairStatus AutoPair(TDesign& d);

// Joins the given entries into stage record `stage` (BuildStage) and marks them used.
void JoinStage(TDesign& d, int stage, int pole1, int pole2, int zero1, int zero2);

// Frees the entries of stage record `stage` and empties the record.
void SeparateStage(TDesign& d, int stage);

// True when every pole and zero entry is used.
bool PairingComplete(const TDesign& d);

} // namespace velmora
