#include "app/messages.h"

#include <numbers>

#include "app/parameters.h"
#include "circuits/standard_substitution.h"
#include "model/number_text.h"

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
        return stage + note.reason;
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

} // namespace velmora::app
