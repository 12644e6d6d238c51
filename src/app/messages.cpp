#include "app/messages.h"

#include "app/parameters.h"

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

} // namespace velmora::app
