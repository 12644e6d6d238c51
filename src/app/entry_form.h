// The specification as a person enters it: texts, unit choices and the forced order, read
// and checked into the working specification (rad/s). The problems found are codes and
// the field they concern; each front end turns them into its words (app/messages.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/design.h"

namespace velmora::app {

// A frequency field: the text and its unit (0: Hz or rad/s, 1: kHz or krad/s, in the
// design's frequency unit). A text the program wrote keeps the exact value behind it, so
// that rounding to fit the field does not change the design when it is read back.
struct FrequencyEntry {
    std::string text;
    int unit = 1;
    std::optional<long double> exactRad;
    std::string exactText; // the text written with exactRad
};

struct SpecificationEntry {
    std::string apb, asb;      // dB
    FrequencyEntry pass, stop; // passband and stopband edge (or bandwidth of a band filter)
    FrequencyEntry centre;     // centre frequency of a bandpass or bandstop
    bool forceOrder = false;   // the order is given; the stopband entries are not read
    std::string order;
    bool gainDb = false; // the gain text is in dB, else in V/V
    std::string gain = "1.0";
};

enum class EntryField { None, Order, Apb, Asb, Pass, Stop, Centre, Gain };

enum class EntryProblem {
    InvalidNumber,    // not a number, or zero where a value is needed
    OrderNotWhole,    // the forced order is no whole number of at least 1
    OrderTooHigh,     // above the highest order
    OrderOdd,         // a band filter's forced order must be even
    AsbNotAboveApb,   // the stopband attenuation must exceed the passband's
    StopNotAbovePass, // lowpass: stopband edge above the passband edge
    PassNotAboveStop, // highpass: passband edge above the stopband edge
    BsbNotAboveBpb,   // bandpass: stopband wider than the passband
    BpbNotAboveBsb,   // bandstop: passband wider than the stopband
    FrequencyTooHigh, // an edge or centre above the highest frequency
    GainTooLow,       // below the lowest overall gain (V/V)
    GainTooHigh,      // above the highest overall gain
};

struct EntryIssue {
    EntryProblem problem;
    EntryField field = EntryField::None; // the field to correct; None: the entries together
};

// rad/s per unit of a frequency field (unit 0 or 1) in the design's frequency unit.
long double FrequencyUnitFactor(bool hz, int unit);

// The defaults of a new specification of the design's filter type, stored in the
// specification (its entry fields) and returned as the entries that show them.
SpecificationEntry SetUpNewSpecification(TDesign& d);

// The entries read in the form's order (the first unreadable entry stops the reading),
// converted to working values and checked together (every check reports). `working` is
// the design's specification with the entries applied; valid only without issues.
struct SpecificationRead {
    std::vector<EntryIssue> issues;
    Specification working;
};
SpecificationRead ReadSpecification(const TDesign& d, const SpecificationEntry& e);

// The overall gain in V/V, or the issue with its entry.
struct GainRead {
    std::optional<long double> gain;
    std::optional<EntryIssue> issue;
};
GainRead ReadOverallGain(const SpecificationEntry& e);

} // namespace velmora::app
