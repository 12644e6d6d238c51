// The texts a person reads about the design, composed from the codes and numbers the
// computation returns: one place for both front ends, so the desktop program and the
// command line say the same thing in the same words.
#pragma once

#include <string>

#include "app/specification_entry.h"

namespace velmora::app {

// The specification entries: what is wrong, as the entry form says it.
std::string EntryMessage(EntryProblem problem);
// Whether the message is an error (a limit of the program) rather than a warning about
// the entries the person can correct.
bool IsEntryError(EntryProblem problem);

} // namespace velmora::app
