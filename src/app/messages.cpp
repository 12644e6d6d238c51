#include "app/messages.h"

#include "app/parameters.h"
#include "circuits/standard_substitution.h"
#include "model/number_text.h"

namespace velmora::app {

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

} // namespace velmora::app
