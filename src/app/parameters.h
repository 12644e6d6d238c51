// The parameters a person sets, described once as data: name, unit, range, default,
// help and the message for a value that cannot be taken. The command line builds its
// options, their help and its request-file keys from this table, and the step models
// check the same values against it, so a limit is stated in one place only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::app {

// The commands of the command line that take a parameter (a bit set).
enum Command : unsigned { kDesignCommand = 1, kUserCommand = 2, kOpenCommand = 4 };
inline constexpr unsigned kEveryCommand = kDesignCommand | kUserCommand | kOpenCommand;
inline constexpr unsigned kBuildingCommands = kDesignCommand | kUserCommand;

// How a value is written and read.
enum class ParameterKind {
    Flag,        // on or off
    Choice,      // one of `choices`
    Number,      // a non-negative decimal number
    Frequency,   // a positive number with an optional k or M suffix, Hz (or rad/s where asked)
    WholeNumber, // digits only
    Pair,        // "R,C": two numbers, signed when the range starts below 0
    List,        // a comma-separated list read by the front end (keys, stage numbers, sections)
    Path,        // a file or folder
};

struct Parameter {
    std::string_view name; // the option without its dashes; the request key, '-' or '_'
    unsigned commands = 0; // Command bits
    ParameterKind kind = ParameterKind::Number;
    std::string_view valueName; // the placeholder in the help ("DB", "F", "R,C")
    std::string_view unit;      // "dB", "Hz", "%", "ppm/degC", "degC", "V/V", "F"; empty when none
    bool ranged = false;        // low and high apply
    long double low = 0, high = 0;
    bool lowExcluded = false;      // the range starts just above `low` (a Q above 0.5)
    std::string_view range;        // the range as a person reads it ("0 to 50 %"); empty: none
    std::string_view choices;      // a Choice's values, comma-separated
    std::string_view defaultValue; // as typed, or the phrase that says what happens
    std::string_view help;         // what the parameter means
    // A message of the step's own for a value below or above the range (the entry forms
    // speak in their own words); empty: the generic message.
    std::string_view belowMessage, aboveMessage;
};

// Every parameter, in the order the help lists them. An entry with no command bits is a
// field of a window only (the user-defined filter's section values, which the command
// line reads as the sub-keys of --section): no command lists it as an option.
const std::vector<Parameter>& Parameters();
// The parameter of that name; the name must be one of the table's (a programming error
// otherwise, so it throws std::out_of_range).
const Parameter& ParameterNamed(std::string_view name);
// The choices of a Choice parameter, in order.
std::vector<std::string> Choices(const Parameter& p);
// The help line: meaning, range and default.
std::string HelpText(const Parameter& p);
// The request-file key ("gain_db") of an option name, and the option of a key.
std::string RequestKey(const Parameter& p);

// The checks every front end makes. Each returns the value read, or the message that
// says why not (naming the option as `label`, "--tolerance" on the command line).
struct NumberRead {
    std::optional<long double> value;
    std::string message;
};
// A non-negative decimal number, a frequency (above 0, with an optional k or M) and a
// whole number in digits, each within the parameter's range when it has one.
NumberRead ReadNumber(const Parameter& p, const std::string& text, std::string_view label);
NumberRead ReadFrequency(const Parameter& p, const std::string& text, std::string_view label);
NumberRead ReadWholeNumber(const Parameter& p, const std::string& text, std::string_view label);
// "R,C" of a Pair parameter, each within its range.
struct PairRead {
    std::optional<std::pair<long double, long double>> value;
    std::string message;
};
PairRead ReadPair(const Parameter& p, const std::string& text, std::string_view label);
// A value of a Choice parameter: empty when it is one of the choices, else the message
// (after the label, when one is given).
std::string CheckChoice(const Parameter& p, const std::string& text, std::string_view label);
// The message for a value out of the parameter's range; the step's own where it has one.
std::string OutOfRangeMessage(const Parameter& p, bool below, const std::string& text,
                              std::string_view label);
// Whether a value lies within the parameter's range (a NaN does not).
bool WithinRange(const Parameter& p, long double v);

// A piece of the person's input quoted in a message: cut to a line's length, so a
// runaway value cannot make a message of megabytes, and with control characters shown
// as '?' so the message stays one line.
std::string ShownInput(const std::string& text);

// Inputs that are checked together with a parameter: the runs and tolerances of a
// SPICE Monte Carlo request, and the capacitances of the starting capacitor.
inline constexpr std::string_view kSpiceMonteCarloTolerances = "1%,2%,5%,10%";

} // namespace velmora::app
