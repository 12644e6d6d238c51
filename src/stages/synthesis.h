// The stage-synthesis steps as one move: choosing the approximation, then pairing,
// cascading and gain distribution, as the automatic path of the design levels runs
// them (level 3 to level 5).
#pragma once

#include <string>

#include "model/design.h"
#include "stages/gains.h"

namespace velmora {

// Makes approximation `index` the selected and current one (and their saved copies)
// and sets the design level to 3. A change of the choice marks the later steps for
// rebuilding (modified and step-changed flags).
void ChooseApproximation(TDesign& d, int index);

// The approximation a design without a choice takes: the usable one of lowest order,
// ties to the lower largest Qp, then to the lower index; -1 when none is usable.
int DefaultApproximation(const TDesign& d);

enum class SynthesisStatus {
    Ok,
    NotChosen,     // the design has no usable chosen approximation (level below 3)
    ZeroLeftOver,  // the automatic pairing found a zero no pole could take
    TooManyStages, // more stages than the design holds
    CascadeFailed, // the ordering did not give a permutation of the stages
};

// Pairing (lists laid out afresh, automatic pairing), cascading (AutoCascade with the
// design's criteria and ordering option) and gain distribution (DistributeGains,
// OverallActualGain), ending at level 5. When the pairing is refused the level is 3 and
// no stage is left. A user-defined filter keeps the stages the user entered.
SynthesisStatus SynthesiseStages(TDesign& d, const StageGainRealiser& circuits = DefaultGainRealiser());

// The cascade step alone on a complete pairing: AutoCascade, gains, level 5.
SynthesisStatus CascadeAndDistribute(TDesign& d, const StageGainRealiser& circuits = DefaultGainRealiser());

} // namespace velmora
