// The texts a person reads about the design, composed from the codes and numbers the
// computation returns: one place for both front ends, so the desktop program and the
// command line say the same thing in the same words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/tolerance.h"
#include "app/entry_form.h"
#include "circuits/inventory_lookup.h"
#include "model/design.h"
#include "output/spice_netlist.h"
#include "stages/synthesis.h"

namespace velmora::app {

// The specification entries: what is wrong, as the entry form says it.
std::string EntryMessage(EntryProblem problem);
// Whether the message is an error (a limit of the program) rather than a warning about
// the entries the person can correct.
bool IsEntryError(EntryProblem problem);

// Why no stocked value stands in for a component, as a note's reason: "no resistor of the
// inventory range is in stock", "outside the resistors in stock, 1 kOhm to 9.76 kOhm".
std::string NoStandInReason(const std::optional<StockedSpan>& stocked, bool capacitors);
// A note on the component values: "Stage 2: R3 keeps its exact value 1.234 kOhm (...)."
std::string ValueNoteText(const ValueNote& note);
std::vector<std::string> ValueNoteTexts(const std::vector<ValueNote>& notes);
// "There are capacitor(s) in stages 1,3 not set to exact values."; empty for no stage.
std::string CapacitorsNotExactMessage(const std::vector<int>& stages);
// Standard values refused for a resistor tolerance that has no series.
std::string NoSeriesMessage();
// Empty when standard values can be used with the design's resistor tolerance, else why not.
std::string StandardValuesUnavailableReason(const TDesign& d);

// The note under a final response for the stages with an inverting output (empty when
// none): "Note:  There is an additional 180 degrees phase shift" and "due to the
// inverting output of stage 2." (plural forms for several stages). An even number of
// inverting stages has no net effect on the phase, and the note says so.
std::vector<std::string> InvertingNote(const std::vector<int>& stages);

// The tolerance report as lines of text: the gain spread table, the temperature table
// and the attenuation bounds at the passband and stopband edges.
std::vector<std::string> ToleranceReportText(const TDesign& d, const ToleranceReport& r);

// Why the stages could not be built from the chosen approximation; empty for Ok.
std::string SynthesisMessage(SynthesisStatus status);
// Why no SPICE netlist was written (a missing circuit names its stage); empty for Ok.
std::string SpiceStatusMessage(SpiceStatus status, int stage);
// The Bessel root file cannot be opened or read.
inline constexpr const char* kBesselFileError =
    "Unable to open file BessRoot.dat. This file should be in the application directory";

} // namespace velmora::app
