#include "app/messages.h"

#include <cmath>
#include <numbers>

#include "app/parameters.h"
#include "approx/approximation.h"
#include "circuits/standard_substitution.h"
#include "model/number_text.h"
#include "stages/stage_types.h"

namespace velmora::app {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

std::string Fixed(long double x, int decimals) {
    return FixedText(x, decimals);
}

// A frequency as the report heads it, in Hz or rad/s.
std::string FrequencyText(const TDesign& d, long double w) {
    return d.Opt.FreqUnitsHz ? Fixed(w / kTwoPi, 2) + " Hz" : Fixed(w, 2) + " rad/s";
}

std::string Pad(std::string s, std::size_t width) {
    if (s.size() < width) s.insert(0, width - s.size(), ' ');
    return s;
}

void BoundsLines(std::vector<std::string>& out, const TDesign& d, const char* heading,
                 const AttenuationBounds& b) {
    out.push_back(std::string(heading) + "[" + FrequencyText(d, b.W) + "]:");
    out.push_back("  design curve  " + Fixed(b.Design, 3) + " dB");
    out.push_back("  Spread       ±" + Fixed(b.Spread, 3) + " dB");
    // Named by what they are: the design attenuation less and plus the spread, the least
    // and the most attenuation a built filter is expected to show there.
    out.push_back("  least attenuation   " + Fixed(b.Upper, 3) + " dB");
    out.push_back("  most attenuation    " + Fixed(b.Lower, 3) + " dB");
}

void TemperatureLines(std::vector<std::string>& out, const TDesign& d, const char* heading,
                      const AttenuationBounds& b) {
    out.push_back(std::string(heading) + "[" + FrequencyText(d, b.W) + "]:");
    out.push_back("  design                     " + Fixed(b.Design, 3) + " dB");
    const std::string warmer = "  design, " + Fixed(d.Components.TempRise, 0) + " deg C warmer";
    out.push_back(warmer + std::string(warmer.size() < 29 ? 29 - warmer.size() : 1, ' ') +
                  Fixed(b.AtTempRise, 3) + " dB");
    out.push_back("  Change                     " + Fixed(b.AtTempRise - b.Design, 3) + " dB");
}

} // namespace

std::string EntryMessage(EntryProblem problem) {
    switch (problem) {
    case EntryProblem::InvalidNumber:
        return "Invalid Number.";
    case EntryProblem::OrderNotWhole:
        return std::string(ParameterNamed("order").belowMessage);
    case EntryProblem::OrderTooHigh:
        return std::string(ParameterNamed("order").aboveMessage);
    case EntryProblem::OrderOdd:
        return "Order must be an even number.";
    case EntryProblem::AsbNotAboveApb:
        return "Stopband attenuation must exceed passband attenuation.";
    case EntryProblem::StopNotAbovePass:
        return "Stopband frequency must exceed passband frequency.";
    case EntryProblem::PassNotAboveStop:
        return "Passband frequency must exceed stopband frequency.";
    case EntryProblem::BsbNotAboveBpb:
        return "Stopband bandwidth must exceed passband bandwidth.";
    case EntryProblem::BpbNotAboveBsb:
        return "Passband bandwidth must exceed stopband bandwidth.";
    case EntryProblem::FrequencyTooHigh:
        return "All edge and center frequencies are limited to a maximum of 100MHz (628Mrad/s).";
    case EntryProblem::GainTooLow:
        return std::string(ParameterNamed("gain").belowMessage);
    case EntryProblem::GainTooHigh:
        return std::string(ParameterNamed("gain").aboveMessage);
    }
    return {};
}

bool IsEntryError(EntryProblem problem) {
    return problem == EntryProblem::GainTooLow || problem == EntryProblem::GainTooHigh;
}

std::string NoStandInReason(const std::optional<StockedSpan>& stocked, bool capacitors) {
    const std::string parts = capacitors ? "capacitor" : "resistor";
    if (!stocked) return "no " + parts + " of the inventory range is in stock";
    const auto text = [&](long double v) {
        return capacitors ? CapacitanceDisplayText(v) : ResistanceDisplayText(v);
    };
    return "outside the " + parts + "s in stock, " + text(stocked->lowest) + " to " + text(stocked->highest);
}

std::string ValueNoteText(const ValueNote& note) {
    const std::string stage = "Stage " + std::to_string(note.stage) + ": ";
    switch (note.kind) {
    case ValueNote::Kind::NoCapacitorInStock:
        return "No capacitor of the inventory range is in stock: the capacitors keep their values.";
    case ValueNote::Kind::StageRefused:
        return stage + RecalcMessage(note.refusal);
    case ValueNote::Kind::KeptValue:
        break;
    }
    const std::string reason = " (" + NoStandInReason(note.stocked, note.capacitor) + ").";
    if (note.capacitor)
        return stage + "C" + std::to_string(note.n) + " keeps its value " +
               CapacitanceDisplayText(note.value) + reason;
    return stage + "R" + std::to_string(note.n) + " keeps its exact value " +
           ResistanceDisplayText(note.value) + reason;
}

std::vector<std::string> ValueNoteTexts(const std::vector<ValueNote>& notes) {
    std::vector<std::string> out;
    for (const ValueNote& n : notes)
        out.push_back(ValueNoteText(n));
    return out;
}

std::string RecalcMessage(RecalcStatus status) {
    switch (status) {
    case RecalcStatus::Ok:
        return "";
    case RecalcStatus::NotAmenable:
        return kNotAmenableText;
    case RecalcStatus::Locked:
        return kCapacitorsLockedText;
    case RecalcStatus::Singular:
        return "Singular matrix";
    case RecalcStatus::Invalid:
        return "Invalid solution for these capacitor values";
    case RecalcStatus::Failed:
        break;
    }
    return "Component calculations fail for these capacitor values.";
}

std::string GainChangeReport(long double change) {
    if (change == 0.0L) return "";
    // The spelling of the report is the one the program has always shown.
    return std::string("Stage gain has ") + (change > 0 ? "increased by " : "decreased by ") +
           FixedText(std::fabs(change) * 100.0L, 2) + "% from its origional value.";
}

std::string ImpracticalValueText(const ImpracticalValue& v) {
    const auto text = [&](long double x) {
        return v.Resistor ? ResistanceDisplayText(x) : CapacitanceDisplayText(x);
    };
    return "Stage " + std::to_string(v.Stage) + ": " + (v.Resistor ? "R" : "C") + std::to_string(v.Number) +
           " = " + text(v.Value) + (v.Above ? " is above " : " is below ") + text(v.Limit);
}

std::string CapacitorsNotExactMessage(const std::vector<int>& stages) {
    if (stages.empty()) return "";
    std::string list;
    for (std::size_t k = 0; k < stages.size(); ++k)
        list += (k ? "," : "") + std::to_string(stages[k]);
    return std::string("There are capacitor(s) in stage") + (stages.size() > 1 ? "s" : "") + " " + list +
           " not set to exact values.";
}

std::string NoSeriesMessage() {
    return "Standard resistor values exist only for 1%, 5% and 10% resistors.";
}

std::string StandardValuesUnavailableReason(const TDesign& d) {
    return StandardValuesAvailable(d) ? std::string() : NoSeriesMessage();
}

std::vector<std::string> InvertingNote(const std::vector<int>& stages) {
    if (stages.empty()) return {};
    const bool several = stages.size() > 1;
    std::string list;
    for (std::size_t k = 0; k < stages.size(); ++k)
        list += (k ? ", " : "") + std::to_string(stages[k]);
    // Two inversions cancel: an even number of inverting stages leaves the output in
    // phase with the ideal response, and saying otherwise would send a user looking for
    // a 180 degree error that is not there.
    if (stages.size() % 2 == 0)
        return {"Note:  The inverting outputs of stages " + list,
                "cancel in pairs: there is no net additional phase shift."};
    return {"Note:  There is an additional 180 degrees phase shift",
            std::string("due to the inverting output") + (several ? "s" : "") + " of stage" +
                (several ? "s " : " ") + list + "."};
}

std::vector<std::string> ToleranceReportText(const TDesign& d, const ToleranceReport& r) {
    std::vector<std::string> out;
    const ComponentCharacteristics& k = d.Components;
    const bool anyExact = r.CapacitorsExact;
    // Gain spread table.
    std::string head = "Resistor tolerance = " + TrimmedText(k.ResistorTolerance, 2);
    head += anyExact ? "%    Capacitor values exact"
                     : "%    Capacitor tolerance = " + TrimmedText(k.CapacitorTolerance, 2) + "%";
    out.push_back(head);
    out.push_back("                          Gain Spread (±dB)");
    out.push_back("Stage   GBW     Tol(%)   Passive   Active    Total");
    out.push_back("        MHz");
    for (std::size_t i = 0; i < r.AtPassbandEdge.Stages.size(); ++i) {
        const TStageCircuit& c = d.Circuits[static_cast<int>(i) + 1];
        const StageTolerance& s = r.AtPassbandEdge.Stages[i];
        out.push_back(Pad(std::to_string(i + 1), 5) + Pad(Fixed(c.OpAmpGBW / 1.0e6L, 2), 8) +
                      Pad(Fixed(c.GbwTolerance, 0), 9) + Pad(Fixed(s.PassiveSpread, 4), 10) +
                      Pad(Fixed(s.ActiveSpread, 4), 9) + Pad(Fixed(s.Spread, 4), 9));
    }
    out.push_back("Tol(%) is the op amps' GBW tolerance; Passive: spread from the R and C tolerances,");
    out.push_back("Active: from the GBW tolerance.");
    out.push_back("Total gain spread  = ((Passive spread)²+(Active spread)²)½");
    out.push_back("Filter gain spread = (Σ(Stage gain spread)²)½");
    out.push_back("At " + FrequencyText(d, r.AtPassbandEdge.W) + ", gain spread = ±" +
                  Fixed(r.AtPassbandEdge.Spread, 4) + " dB:");
    out.push_back("");
    // Temperature table.
    out.push_back("Temperature coefficients (ppm/deg C):  R = " + TrimmedText(k.ResistorTempCo * 1.0e6L, 1) +
                  "   C = " + TrimmedText(k.CapacitorTempCo * 1.0e6L, 1));
    out.push_back("         OA Temp. Coeff.       Gain Change (dB)");
    out.push_back("Stage    (ppm/deg C)      Passive   Active    Total");
    for (std::size_t i = 0; i < r.AtPassbandEdge.Stages.size(); ++i) {
        const TStageCircuit& c = d.Circuits[static_cast<int>(i) + 1];
        const StageTolerance& s = r.AtPassbandEdge.Stages[i];
        out.push_back(Pad(std::to_string(i + 1), 5) + Pad(Fixed(c.GbwTempCo * 1.0e6L, 0), 14) +
                      Pad(Fixed(s.PassiveChange, 4), 13) + Pad(Fixed(s.ActiveChange, 4), 9) +
                      Pad(Fixed(s.TotalChange, 4), 9));
    }
    out.push_back("Total gain change  = Passive change + Active change");
    out.push_back("Filter gain change = Σ(Stage total gain change)");
    out.push_back("At " + FrequencyText(d, r.AtPassbandEdge.W) +
                  ", gain change = " + Fixed(r.AtPassbandEdge.TempChange, 4) + " dB");
    out.push_back("");
    // Attenuation bounds.
    out.push_back("Passband Maximum Attenuation " + Fixed(d.Spec.Apb, 3) + " dB");
    out.push_back("Passband Minimum Attenuation " + Fixed(0.0L, 3) + " dB");
    if (r.PassBounds) BoundsLines(out, d, "At the Passband Edge ", *r.PassBounds);
    if (r.StopBounds) BoundsLines(out, d, "At the Stopband Edge ", *r.StopBounds);
    out.push_back("");
    if (r.PassBounds) TemperatureLines(out, d, "At the Passband Edge ", *r.PassBounds);
    if (r.StopBounds) TemperatureLines(out, d, "At the Stopband Edge ", *r.StopBounds);
    return out;
}

std::string UserAddMessage(UserAddStatus status) {
    switch (status) {
    case UserAddStatus::Ok:
        return "";
    case UserAddStatus::OrderExceeded:
        return "Unable to add section as maximum filter order of " + std::to_string(kMaxOrder) +
               " will be exceeded.";
    case UserAddStatus::TooManyFirstOrder:
        return "Unable to add section as a filter can have at most " +
               std::to_string(kMaxUserFirstOrderSections) + " first order sections.";
    case UserAddStatus::TooManySections:
        return "Unable to add section as maximum number of sections of " + std::to_string(kMaxStages) +
               " will be exceeded.";
    case UserAddStatus::NotPositive:
        return "Value must be non-zero.";
    case UserAddStatus::QTooLow:
        return "Q must be >0.5.";
    case UserAddStatus::QTooHigh:
        return "Q must not exceed " + std::to_string(static_cast<int>(kMaxUsableQp)) + ".";
    case UserAddStatus::FrequencyTooHigh:
        return "All pole and zero frequencies are limited to a maximum of 100MHz (628Mrad/s).";
    case UserAddStatus::OutOfRange:
        return "Unable to add section as its values are too large or too small.";
    case UserAddStatus::SectionGainOutOfRange:
        return "Section gain must lie between 0.1V/V and 1000V/V (60dB).";
    case UserAddStatus::GainOutOfRange:
        return "Unable to add section as the overall filter gain would leave 0.1V/V to 1000V/V (60dB).";
    case UserAddStatus::TextTooLong:
        return "Unable to add section as an entry is longer than " + std::to_string(kUserTextLength) +
               " characters.";
    }
    return "";
}

std::string UserSectionKindName(UserSectionKind kind) {
    static constexpr const char* kNames[] = {"Lowpass", "Highpass", "Bandpass", "Bandstop"};
    return kNames[static_cast<int>(kind)];
}

std::string UserSectionListLine(const TDesign& d, int index) {
    constexpr const char* kOrdinalSign = "\xC2\xBA"; // º
    const TStageCoeffs& s = d.Stages[index];
    return std::to_string(index) + ".  \t" + UserSectionKindName(UserSectionKindOf(s)) + "\t" +
           std::to_string(UserSectionOrderOf(s)) + kOrdinalSign;
}

namespace {

std::string StageTypeName(long long type) {
    std::string n = StageShortName(static_cast<int>(type));
    n.erase(n.find_last_not_of(' ') + 1);
    return n;
}

// The field a range or length refusal names, with the stage or approximation it belongs to.
std::string OutOfRangeSubject(const DesignFileResult& r) {
    if (r.stage > 0) return "in stage " + std::to_string(r.stage) + " " + r.field;
    if (r.approximation >= 0) return "a " + r.field + " of approximation " + std::to_string(r.approximation);
    return r.field;
}

std::string OverlongSubject(const DesignFileResult& r) {
    if (r.stage > 0) return r.field + " of stage " + std::to_string(r.stage);
    if (r.approximation >= 0) return r.field + " of approximation " + std::to_string(r.approximation);
    return r.field;
}

} // namespace

std::string DesignFileMessage(const DesignFileResult& r) {
    const std::string file = "The design file ";
    const std::string stage = "stage " + std::to_string(r.stage);
    const std::string unsaved = "The design cannot be saved: ";
    switch (r.problem) {
    case DesignFileProblem::None:
        return "";
    case DesignFileProblem::NotADesignFile:
        return "Invalid Velmora design file";
    case DesignFileProblem::EndsEarly:
        return file + "is incomplete: it ends in " + (r.stage > 0 ? stage : r.field) + " (" +
               std::to_string(r.value) + " bytes of " + std::to_string(r.limit) + ").";
    case DesignFileProblem::TooMany:
        return file + "holds " + std::to_string(r.value) + " " + r.field + "; a design has room for " +
               std::to_string(r.limit) + ".";
    case DesignFileProblem::OutOfRange:
        return file + "has " + OutOfRangeSubject(r) + " " + std::to_string(r.value) +
               "; it must lie between " + std::to_string(r.low) + " and " + std::to_string(r.limit) + ".";
    case DesignFileProblem::GainNotPositive:
        return file + "has an overall gain of " + TrimmedText(r.number, 6) + " V/V; it must be positive.";
    case DesignFileProblem::NegativeFrequency:
        return file + "has a negative " + r.field + " (" + TrimmedText(r.number, 6) + " rad/s).";
    case DesignFileProblem::MissingFrequency:
        return file + "has a computed specification without its " + r.field + ".";
    case DesignFileProblem::DamagedTag:
        return file + "has a damaged tag.";
    case DesignFileProblem::DamagedFlags:
        return file + "has a damaged flag string.";
    case DesignFileProblem::LongApproximationText:
        return file + "has an approximation text longer than its field.";
    case DesignFileProblem::LongStageText:
        return file + "has a text in " + stage + " longer than its field.";
    case DesignFileProblem::NoCapacitorRecord:
        return file + "has in " + stage + " circuit number " + std::to_string(r.value) +
               ", which selects none of the stage's " + std::to_string(r.limit) + " capacitor records.";
    case DesignFileProblem::UserSectionsInvalid:
        return "The design file's user-defined sections do not form a valid filter.";
    case DesignFileProblem::NoCircuit:
        return file + "has no circuit for " + stage + ", though its circuits were selected.";
    case DesignFileProblem::UnknownCircuit:
        return file + "has in " + stage + " circuit number " + std::to_string(r.value) +
               ", which names no circuit.";
    case DesignFileProblem::CircuitOfOtherType:
        return file + "has in " + stage + " a stage of type " + StageTypeName(r.value) + " built as " +
               r.field + ", a circuit for " + StageTypeName(r.limit) + " stages.";
    case DesignFileProblem::SaveTooManyStages:
        return unsaved + "it has " + std::to_string(r.value) + " stages.";
    case DesignFileProblem::SaveTextTooLong:
        if (r.field.empty()) return unsaved + "a text is too long.";
        return unsaved + "the " + OverlongSubject(r) + " is longer than the file has room for.";
    case DesignFileProblem::SystemError:
        return r.systemMessage;
    }
    return "";
}

std::string CircuitsMessage(const CircuitsOutcome& o) {
    const std::string stage = std::to_string(o.stage);
    switch (o.status) {
    case CircuitsStatus::Ok:
        return "";
    case CircuitsStatus::NotCascaded:
        return "The design has no cascaded stages yet.";
    case CircuitsStatus::WrongType:
        return "Stage " + stage + " is of type " + StageShortName(o.stageType) + "; circuit " + o.key +
               " does not realise it.";
    case CircuitsStatus::NotRealisable:
        return "Circuit " + o.key + " cannot be realised for stage " + stage + ".";
    case CircuitsStatus::NoCircuit:
        return "No circuit of the catalogue can realise stage " + stage + ".";
    case CircuitsStatus::NoCompensation:
        return "Active compensation is not available for the circuit of stage " + stage + ".";
    case CircuitsStatus::NoPredistortion:
        return "Predistortion is not available for the first-order stage " + stage + ".";
    case CircuitsStatus::NotActualised:
        return "Velmora has been unable to actualize the circuit of stage " + o.failedStages + ".";
    case CircuitsStatus::BadStart:
        return "The circuit of stage " + stage + " cannot be built from a starting capacitor of " +
               CapacitanceDisplayText(o.startC1) + ".";
    }
    return "";
}

std::string SynthesisMessage(SynthesisStatus status) {
    switch (status) {
    case SynthesisStatus::Ok:
        return "";
    case SynthesisStatus::NotChosen:
        return "No approximation has been chosen.";
    case SynthesisStatus::ZeroLeftOver:
        return "Automatic pairing could not pair every zero with a pole. Pair the poles and zeros by hand.";
    case SynthesisStatus::TooManyStages:
        return "The approximation needs more stages than a design can hold.";
    case SynthesisStatus::CascadeFailed:
        return "The stages could not be ordered.";
    }
    return "";
}

std::string SpiceStatusMessage(SpiceStatus status, int stage) {
    switch (status) {
    case SpiceStatus::Ok:
        return "";
    case SpiceStatus::NoStages:
        return "The design has no stages to write a SPICE netlist for.";
    case SpiceStatus::MissingCircuit:
        return "A SPICE netlist needs the calculated components of every stage; stage " +
               std::to_string(stage) + " has none.";
    case SpiceStatus::MissingTemplate:
        return "The netlist of the circuit of stage " + std::to_string(stage) + " is incomplete.";
    case SpiceStatus::BadStart:
        return "The start frequency must be above 0.";
    case SpiceStatus::BadEnd:
        return "The end frequency must be above the start frequency.";
    case SpiceStatus::BadPoints:
        return "The number of points per decade must be a whole number above 0.";
    case SpiceStatus::BadRuns:
        return "The number of Monte Carlo runs must be a whole number above 0.";
    case SpiceStatus::BadTolerance:
        return "The tolerances must be 1%, 2%, 5% or 10%.";
    }
    return "";
}

std::string InventoryProblemText(const InventoryProblem& p) {
    using K = InventoryProblem::Kind;
    const std::string section = InventorySectionName(p.section);
    switch (p.kind) {
    case K::Size:
        return "the file has " + std::to_string(p.size) + " bytes instead of " + std::to_string(p.expected);
    case K::Mark:
        return "a " + section + " mark is " + std::to_string(p.mark) + " (byte " + std::to_string(p.byte) +
               ")";
    case K::Range:
        return "the " + section + " range (" + std::to_string(p.first) + ", " + std::to_string(p.end) +
               ") is outside 0 to " + std::to_string(p.decades);
    case K::Layout:
        return "the file layout is not that of an inventory";
    case K::TooLarge:
        return "the file is larger than " + std::to_string(p.expected) + " bytes";
    case K::None:
        break;
    }
    return {};
}

std::string InventoryReadText(const InventoryReadResult& read) {
    if (read.status == InventoryReadStatus::Unreadable) return read.message;
    if (read.status == InventoryReadStatus::Damaged) return InventoryProblemText(read.problem);
    return {};
}

} // namespace velmora::app
