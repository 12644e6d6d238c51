// The texts a person reads about the design, composed from the codes and numbers the
// computation returns: one place for both front ends, so the desktop program and the
// command line say the same thing in the same words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/tolerance.h"
#include "app/entry_form.h"
#include "circuits/component_adjustment.h"
#include "circuits/inventory_lookup.h"
#include "circuits/practical_values.h"
#include "circuits/selection.h"
#include "model/design.h"
#include "model/design_file.h"
#include "model/inventory_file.h"
#include "output/spice_netlist.h"
#include "stages/synthesis.h"
#include "stages/user_sections.h"

namespace velmora::app {

// The specification entries: what is wrong, as the entry form says it.
std::string EntryMessage(EntryProblem problem);
// What is wrong with an inventory file: the system's message when it cannot be read, the
// fault of its contents when it is damaged ("the file has 8 bytes instead of 1012", ...);
// empty when it was read or is missing.
std::string InventoryProblemText(const InventoryProblem& problem);
std::string InventoryReadText(const InventoryReadResult& read);
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
// Why a stage's capacitors could not be set and its resistors recalculated; empty for Ok.
std::string RecalcMessage(RecalcStatus status);
inline constexpr const char* kCapacitorsLockedText =
    "Capacitor values are locked while standard resistor values are in use.";
inline constexpr const char* kNotAmenableText =
    "This circuit is not amenable to the independent adjustment of capacitor values.";
// A user-assigned resistance below the lowest the program accepts.
inline constexpr const char* kResistanceTooLowText = "Resistance value is unacceptably low";
// The report of a stage's gain change (relative, as RecalcResult gives it): "Stage gain
// has increased by 1.23% from its origional value."; empty when the gain did not move.
std::string GainChangeReport(long double change);
// A component value outside the practical range: "Stage 2: R3 = 1.97M is above 1M".
std::string ImpracticalValueText(const ImpracticalValue& v);
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

// Why a user-defined section was refused; empty for Ok. NotPositive is reported by the
// form field by field ("Value must be non-zero." or "Invalid Number.") and reads "Value
// must be non-zero." here.
std::string UserAddMessage(UserAddStatus status);
// "Lowpass", "Highpass", "Bandpass", "Bandstop".
std::string UserSectionKindName(UserSectionKind kind);
// "1.  \tLowpass\t2º": the section number, the kind and the order with the ordinal sign.
std::string UserSectionListLine(const TDesign& d, int index);

// Why a design file was refused or a design could not be saved; empty on success. The
// system's own reason is shown as the system gives it ("<path>: <reason>").
std::string DesignFileMessage(const DesignFileResult& r);

// Why the circuits of the stages could not be designed; empty on success.
std::string CircuitsMessage(const CircuitsOutcome& o);

// Why the stages could not be built from the chosen approximation; empty for Ok.
std::string SynthesisMessage(SynthesisStatus status);
// Why no SPICE netlist was written (a missing circuit names its stage); empty for Ok.
std::string SpiceStatusMessage(SpiceStatus status, int stage);
// The Bessel root file cannot be opened or read.
inline constexpr const char* kBesselFileError =
    "Unable to open file BessRoot.dat. This file should be in the application directory";

} // namespace velmora::app
