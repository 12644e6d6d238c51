// The step after the ideal responses: "Next" of the ideal-response window once an
// approximation is chosen. With automatic pairing and cascading the stages are paired,
// cascaded and given their gains in one move (level 5); with automatic pairing only,
// the cascading window follows the pairing; otherwise the pairing window opens.
#pragma once

#include "model/design.h"
#include "stages/gains.h"
#include "ui/dialogs.h"
#include "ui/tfm_cascade.h"
#include "ui/tfm_pairs.h"

namespace velmora {

NextWindow LeaveIdealResponse(TDesign& d, Dialogs& dialogs, TfmPairs& pairs, TfmCascade& cascade,
                              const StageGainRealiser& circuits = DefaultGainRealiser());

} // namespace velmora
