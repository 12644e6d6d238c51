// The tuning instructions of a stage as plain text for the command line.
#pragma once

#include <string>

#include "model/design.h"

namespace velmora {

// "Tuning sequence (GO): R3 -> fp, then R1 -> Qp", the stage parameters, then
// "Adjusting the stage parameters:", "By magnitude:" and "By phase (preferred method):"
// with their instructions; "Not recommended" for a circuit rated so. Empty when the
// stage has no circuit.
std::string TuningPlainText(const TDesign& d, int stage);

} // namespace velmora
