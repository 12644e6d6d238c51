#include "app/parameters.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <stdexcept>

#include "analysis/tolerance.h"
#include "app/messages.h"
#include "app/value_text.h"
#include "approx/approximation.h"
#include "model/design.h"
#include "stages/user_sections.h"

namespace velmora::app {
namespace {

using K = ParameterKind;

// A frequency below a millihertz is no filter this program can draw or build, and one
// beyond 1e12 would overflow the specification form's six-character field; the form
// itself refuses anything above 100 MHz with its own message.
constexpr long double kLowestFrequency = 1e-3L, kHighestFrequency = 1e12L;
// Op amps: from a micropower part's kilohertz to a 10 GHz current-feedback amplifier.
constexpr long double kLowestGbwHz = 1e3L, kHighestGbwHz = 1e10L;
// Starting capacitors, farads.
constexpr long double kLowestStartFarads = 1e-12L, kHighestStartFarads = 1e-2L;
// The margin of a design, dB: beyond 20 dB the approximations grow by orders for a
// margin no tolerance needs.
constexpr long double kMostDesignMarginDb = 20.0L;
// Response points: enough for a coarse curve, and few enough that a JSON document of
// every variant stays some megabytes. SPICE sweeps and Monte Carlo runs are bounded so
// that a simulator finishes in minutes.
constexpr int kFewestResponsePoints = 11, kMostResponsePoints = 2001;
constexpr int kMostSpicePoints = 10000, kMostSpiceRuns = 10000;
constexpr int kMostMonteCarloRuns = 9999999;
constexpr long double kMostOpAmpNoise = 1000.0L; // nV/sqrt(Hz)

Parameter Entry(std::string_view name, unsigned commands, ParameterKind kind, std::string_view valueName,
                std::string_view unit, std::string_view help) {
    Parameter p;
    p.name = name;
    p.commands = commands;
    p.kind = kind;
    p.valueName = valueName;
    p.unit = unit;
    p.help = help;
    return p;
}

Parameter Ranged(Parameter p, long double low, long double high, std::string_view range) {
    p.ranged = true;
    p.low = low;
    p.high = high;
    p.range = range;
    return p;
}

Parameter Default(Parameter p, std::string_view value) {
    p.defaultValue = value;
    return p;
}

Parameter Choosing(Parameter p, std::string_view choices) {
    p.choices = choices;
    return p;
}

Parameter Messages(Parameter p, std::string_view below, std::string_view above) {
    p.belowMessage = below;
    p.aboveMessage = above;
    return p;
}

Parameter Excluding(Parameter p) {
    p.lowExcluded = true;
    return p;
}

// The refusals of a user-defined section's values, in the words the section check's
// refusals are shown in everywhere (the command line's --section reaches them as well);
// kept here for the life of the table.
std::string_view SectionMessage(UserAddStatus status) {
    static const std::map<UserAddStatus, std::string> texts = [] {
        std::map<UserAddStatus, std::string> m;
        for (UserAddStatus s : {UserAddStatus::NotPositive, UserAddStatus::QTooLow, UserAddStatus::QTooHigh,
                                UserAddStatus::FrequencyTooHigh, UserAddStatus::SectionGainOutOfRange})
            m.emplace(s, UserAddMessage(s));
        return m;
    }();
    return texts.at(status);
}

// The fields of the user-defined filter window, one entry per value a section asks for.
// They are no options (no command bits): the command line reads the same values as the
// sub-keys of --section. Frequencies are stated in Hz; the window converts an entry
// made in rad/s. A pole or zero frequency stops where a specified design does, 100 MHz
// (the 6.284e8 rad/s of the approximations).
std::vector<Parameter> SectionFields() {
    using S = UserAddStatus;
    const long double highestHz = kMaxFrequencyRad / (2.0L * std::numbers::pi_v<long double>);
    const std::string_view frequencyRange = "above 0 to 100 MHz (628 Mrad/s)";
    auto frequency = [&](std::string_view name, std::string_view help) {
        return Messages(
            Ranged(Excluding(Entry(name, 0, K::Frequency, "F", "Hz", help)), 0, highestHz, frequencyRange),
            SectionMessage(S::NotPositive), SectionMessage(S::FrequencyTooHigh));
    };
    return {
        frequency("section-p",
                  "Pole of a first-order section, or the real part of a pole pair: the poles lie at -p"),
        frequency("section-im", "Imaginary part of a pole pair: the poles lie at -p +/- j im"),
        Messages(
            Ranged(Excluding(Entry("section-q", 0, K::Number, "Q", "", "Pole Q of a second-order section")),
                   0.5L, kMaxUsableQp, "above 0.5 to 300"),
            SectionMessage(S::QTooLow), SectionMessage(S::QTooHigh)),
        frequency("section-fp", "Pole frequency of a second-order section"),
        frequency("section-fz", "Zero frequency of a bandstop section: the zeros lie at +/- j fz"),
        Messages(Default(Ranged(Entry("section-to", 0, K::Number, "G", "V/V", "Gain To of the section"),
                                kMinOverallGain, kMaxOverallGain, "0.1 to 1000 V/V"),
                         "1.0"),
                 SectionMessage(S::SectionGainOutOfRange), SectionMessage(S::SectionGainOutOfRange)),
    };
}

// The options of the command line.
std::vector<Parameter> Options() {
    constexpr unsigned D = kDesignCommand, B = kBuildingCommands, E = kEveryCommand;
    const long double maxGainDb = 20.0L * std::log10(kMaxOverallGain);
    return {
        // The specification.
        Default(Choosing(Entry("type", D, K::Choice, "TYPE", "", "Filter type"),
                         "lowpass,highpass,bandpass,bandstop"),
                "lowpass"),
        Default(Entry("apb", D, K::Number, "DB", "dB", "Maximum passband attenuation, dB"), "0.5"),
        Default(Entry("asb", D, K::Number, "DB", "dB", "Minimum stopband attenuation, dB"), "30"),
        Default(Ranged(Entry("fpb", D, K::Frequency, "F", "Hz", "Passband edge of a lowpass or highpass"),
                       kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
                "1k"),
        Default(Ranged(Entry("fsb", D, K::Frequency, "F", "Hz", "Stopband edge of a lowpass or highpass"),
                       kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
                "2k"),
        Default(Ranged(Entry("f0", D, K::Frequency, "F", "Hz", "Centre frequency of a bandpass or bandstop"),
                       kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
                "2k"),
        Default(
            Ranged(Entry("bpb", D, K::Frequency, "F", "Hz", "Passband bandwidth of a bandpass or bandstop"),
                   kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
            "1k"),
        Default(
            Ranged(Entry("bsb", D, K::Frequency, "F", "Hz", "Stopband bandwidth of a bandpass or bandstop"),
                   kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
            "2k"),
        Entry("rad", B, K::Flag, "", "", "Frequencies are in rad/s instead of Hz"),
        Messages(Default(Ranged(Entry("order", D, K::WholeNumber, "N", "",
                                      "Force the filter order (even for bandpass and bandstop)"),
                                1, kMaxOrder, "1 to 20"),
                         "estimated"),
                 "An integer number must be entered.", "Maximum order is 20."),
        Messages(Default(Ranged(Entry("gain", D, K::Number, "V", "V/V", "Overall gain in V/V"),
                                kMinOverallGain, kMaxOverallGain, "0.1 to 1000 V/V"),
                         "1"),
                 "Minimum allowable overall gain is 0.1V/V.",
                 "Maximum allowable overall gain is 60dB (1000V/V)."),
        Messages(Ranged(Entry("gain-db", D, K::Number, "DB", "dB", "Overall gain in dB"), 0, maxGainDb,
                        "up to 60 dB"),
                 "", "Maximum allowable overall gain is 60dB (1000V/V)."),
        Default(
            Ranged(Entry("design-margin", D, K::Number, "DB", "dB",
                         "Design to attenuations this many dB tighter than specified and check the filter "
                         "against the specified ones: room for op amps, standard values and tolerances"),
                   0, kMostDesignMarginDb, "0 to 20 dB"),
            "0"),
        Default(Choosing(Entry("approx", D, K::Choice, "NAME", "", "Approximation to realise"),
                         "butterworth,chebyshev,inverse-chebyshev,elliptic,bessel"),
                "the usable one of lowest order"),
        Default(Choosing(Entry("order-by", D, K::Choice, "ORDER", "",
                               "Cascade the stages for maximum flatness or by increasing Qp"),
                         "flatness,qp"),
                "flatness"),
        Default(
            Choosing(Entry("first-stage", D, K::List, "LIST", "",
                           "Preferred types of the first stage, highest priority first (flp,slp,slpn,sbp)"),
                     "flp,slp,slpn,sbp"),
            "none"),
        Default(
            Choosing(Entry("last-stage", D, K::List, "LIST", "",
                           "Preferred types of the last stage, highest priority first (fhp,shp,shpn,sbp)"),
                     "fhp,shp,shpn,sbp"),
            "none"),
        // The sections of a user-defined filter.
        Entry("section", kUserCommand, K::List, "SECTION", "",
              "A section, repeated in cascade order: lp1|hp1:p=F[,to=G]; lp2|hp2|bp2:q=Q,fp=F[,to=G] or "
              "re=R,im=I[,to=G]; bs2:q=Q,fp=F,fz=F[,to=G] or re=R,im=I,z=F[,to=G]"),
        // The circuits.
        Default(
            Entry(
                "circuit", B, K::List, "LIST", "",
                "Circuits: keys for every stage of their type (SLP03,FLP02) or per stage (1:SLP03,2:FLP01)"),
            "automatic per stage"),
        Default(Ranged(Entry("gbw", B, K::List, "F", "Hz",
                             "Op-amp gain-bandwidth in Hz for every stage (10M) or per stage (1:10M,2:1M)"),
                       kLowestGbwHz, kHighestGbwHz, "1 kHz to 10 GHz"),
                "per stage, the recommended GBW of its circuit, at least 1 MHz"),
        Default(Entry("predistort", B, K::List, "LIST", "",
                      "Predistort these stages for the op-amp GBW (1,2 or all second-order stages)"),
                "none"),
        Default(Entry("compensate", B, K::List, "LIST", "",
                      "Use the actively compensated circuit for these stages (1,2, or all: every stage whose "
                      "circuit offers one)"),
                "none"),
        Default(Ranged(Entry("capacitor", B, K::List, "C", "F",
                             "Starting capacitor C1 for every stage (10n) or per stage (1:10n,2:4.7n), moved "
                             "along the 12-value series where the values would be impractical"),
                       kLowestStartFarads, kHighestStartFarads, "1 pF to 10 mF"),
                "10 nF for a stage frequency of at most 31 000 rad/s, else 1 nF"),
        // The outputs.
        Entry("save", E, K::Path, "FILE", "", "Save the design file (.fl3)"),
        Entry("ascii", E, K::Path, "FILE", "", "Write the ASCII data file (.dat)"),
        Default(Choosing(Entry("ascii-include", E, K::List, "LIST", "",
                               "Parts of the ASCII data file: spec,coefficients,poles,frequency"),
                         "spec,coefficients,poles,frequency"),
                "all"),
        Entry("spice", E, K::Path, "FILE", "", "Write the SPICE netlist of the realised filter (.cir)"),
        Default(Choosing(Entry("spice-dialect", E, K::Choice, "DIALECT", "", "Netlist dialect"),
                         "pspice,ngspice"),
                "pspice"),
        Default(Choosing(Entry("spice-opamp", E, K::Choice, "MODEL", "",
                               "Op-amp model: ideal VCVS or single-pole GBW"),
                         "vcvs,single-pole"),
                "vcvs"),
        Default(Ranged(Entry("spice-points", E, K::WholeNumber, "N", "",
                             "Sweep points per decade (with --points as many as give that number of points)"),
                       1, kMostSpicePoints, "1 to 10000"),
                "200"),
        Entry("spice-print", E, K::Flag, "", "", "Add a .PRINT AC line"),
        Entry("spice-plot", E, K::Flag, "", "", "Add a line-printer .PLOT AC line"),
        Entry("no-spice-probe", E, K::Flag, "", "", "Leave out the .PROBE lines of the default dialect"),
        Ranged(
            Entry(
                "opamp-noise", E, K::Number, "NV", "nV/sqrt(Hz)",
                "Input noise of the netlist's single-pole op amps, every stage (default: the design's, 12)"),
            0, kMostOpAmpNoise, "0 to 1000 nV/sqrt(Hz)"),
        Choosing(
            Ranged(Entry("spice-monte-carlo", E, K::List, "RUNS,R%,C%", "",
                         "Monte Carlo request: RUNS,R%,C% with tolerances 1%, 2%, 5% or 10% (e.g. 20,1%,5%)"),
                   1, kMostSpiceRuns, "1 to 10000"),
            kSpiceMonteCarloTolerances),
        Entry("plots", E, K::Path, "DIR", "",
              "Write the ideal responses as SVG pictures (gain with the specification's mask, phase, delay, "
              "step, impulse, pole-zero) and the realised filter's (final_gain, final_phase, final_delay) "
              "into this folder; with --approx only that approximation"),
        Entry("schematics", E, K::Path, "DIR", "",
              "Write the circuit of each calculated stage as an SVG schematic with its component values "
              "(stage1_SLP01.svg, ...) into this folder"),
        Entry("report", E, K::Path, "FILE", "",
              "Write the design report as a PDF document: specification, approximations, responses, stages, "
              "schematics with values, the check against the mask, tolerances and tuning, as far as the "
              "design reaches"),
        Default(
            Ranged(
                Entry("fmin", E, K::Frequency, "F", "Hz",
                      "Lowest frequency of the plots, response data and SPICE sweep, in Hz (k, M suffixes)"),
                kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
            "the data range"),
        Default(Ranged(Entry("fmax", E, K::Frequency, "F", "Hz",
                             "Highest frequency of the plots, response data and SPICE sweep, in Hz"),
                       kLowestFrequency, kHighestFrequency, "0.001 to 1e12"),
                "the data range"),
        Default(Ranged(Entry("points", E, K::WholeNumber, "N", "",
                             "Frequencies of the response data and the realised-response plots"),
                       kFewestResponsePoints, kMostResponsePoints, "11 to 2001"),
                "the 351 points of the design's frequency column"),
        Entry("json", E, K::Flag, "", "", "Print one JSON document instead of the text report"),
        // Component values and their tolerances.
        Choosing(Entry("standard-r", E, K::Choice, "SERIES", "%",
                       "Substitute standard resistors of the 1, 5 or 10 % series"),
                 "1,5,10"),
        Default(
            Choosing(Entry("strategy", E, K::Choice, "N", "",
                           "Substitution strategy: 1 the combination that keeps the filter closest to its "
                           "specification, 2 the nearest standard value of each resistor"),
                     "1,2"),
            "1"),
        Entry("all-caps-standard", E, K::Flag, "", "",
              "Give every capacitor a standard 12-value series value"),
        Entry("use-inventory", E, K::Flag, "", "",
              "Draw standard values from the component inventory (the user's RCInvent.dat, or --inventory)"),
        Entry("inventory", E, K::Path, "FILE", "",
              "Component inventory file to use (implies --use-inventory)"),
        Default(Ranged(Entry("tolerance", E, K::Pair, "R,C", "%",
                             "Resistor and capacitor tolerances in percent: R,C, each"),
                       0, kMaxTolerancePct, "0 to 50 %"),
                "1,1"),
        Ranged(Entry("opamp-tolerance", E, K::Number, "P", "%", "Op-amp gain-bandwidth tolerance in percent"),
               0, kMaxTolerancePct, "0 to 50 %"),
        Ranged(Entry("tempco", E, K::Pair, "R,C", "ppm/degC",
                     "Resistor and capacitor temperature coefficients in ppm/degC: R,C, each"),
               -kMaxTempCoPpm, kMaxTempCoPpm, "-10000 to 10000 ppm/degC"),
        Ranged(Entry("temp-rise", E, K::Number, "T", "degC", "Temperature rise for the temperature analysis"),
               0, kMaxTempRise, "0 to 200 degC"),
        Ranged(
            Entry("monte-carlo", E, K::WholeNumber, "N", "",
                  "Monte Carlo analysis of the realised filter with this many runs (Gaussian, 3 sigma at the "
                  "tolerance, fixed seed; progress on a terminal, Ctrl-C ends it)"),
            1, kMostMonteCarloRuns, "1 to 9999999"),
    };
}

std::vector<Parameter> Table() {
    std::vector<Parameter> table = Options();
    const std::vector<Parameter> fields = SectionFields();
    table.insert(table.end(), fields.begin(), fields.end());
    return table;
}

std::vector<std::string> Split(std::string_view list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        const std::size_t comma = list.find(',', start);
        items.emplace_back(
            list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

} // namespace

std::string ShownInput(const std::string& text) {
    constexpr std::size_t kLongest = 80;
    std::string shown = text.size() > kLongest ? text.substr(0, kLongest) + "..." : text;
    for (char& ch : shown)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
    return shown;
}

const std::vector<Parameter>& Parameters() {
    static const std::vector<Parameter> table = Table();
    return table;
}

const Parameter& ParameterNamed(std::string_view name) {
    for (const Parameter& p : Parameters())
        if (p.name == name) return p;
    throw std::out_of_range("no parameter " + std::string(name));
}

std::vector<std::string> Choices(const Parameter& p) {
    return Split(p.choices);
}

std::string HelpText(const Parameter& p) {
    std::string text(p.help);
    if (!p.range.empty()) text += ", " + std::string(p.range);
    if (!p.defaultValue.empty()) text += " (default: " + std::string(p.defaultValue) + ")";
    return text;
}

std::string RequestKey(const Parameter& p) {
    std::string key(p.name);
    std::replace(key.begin(), key.end(), '-', '_');
    return key;
}

bool WithinRange(const Parameter& p, long double v) {
    return !p.ranged || ((p.lowExcluded ? v > p.low : v >= p.low) && v <= p.high);
}

std::string OutOfRangeMessage(const Parameter& p, bool below, const std::string& text,
                              std::string_view label) {
    const std::string_view own = below ? p.belowMessage : p.aboveMessage;
    if (!own.empty()) return std::string(own);
    return std::string(label) + " " + ShownInput(text) +
           " is out of range: " + (p.kind == K::Pair ? "each from " : "from ") + std::string(p.range);
}

NumberRead ReadWholeNumber(const Parameter& p, const std::string& text, std::string_view label) {
    NumberRead r;
    const bool digits =
        !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
    const long double v = digits ? static_cast<long double>(std::stol(text)) : -1.0L;
    if (!digits || !WithinRange(p, v))
        r.message = std::string(label) + " must be a whole number from " + std::string(p.range) + ", not '" +
                    ShownInput(text) + "'";
    else
        r.value = v;
    return r;
}

NumberRead ReadFrequency(const Parameter& p, const std::string& text, std::string_view label) {
    NumberRead r;
    const std::optional<long double> v = ParseScaled(text);
    if (!v || *v <= 0)
        r.message = "invalid frequency for " + std::string(label) + ": '" + ShownInput(text) +
                    "' (a number above 0, optionally with k or M)";
    else if (!WithinRange(p, *v))
        r.message = OutOfRangeMessage(p, *v < p.low, text, label);
    else
        r.value = v;
    return r;
}

NumberRead ReadNumber(const Parameter& p, const std::string& text, std::string_view label) {
    NumberRead r;
    const std::optional<long double> v = ParseNonNegative(text);
    if (!v)
        r.message = "invalid number for " + std::string(label) + ": '" + ShownInput(text) +
                    "' (a non-negative number)";
    else if (!WithinRange(p, *v))
        r.message = OutOfRangeMessage(p, *v < p.low, text, label);
    else
        r.value = v;
    return r;
}

PairRead ReadPair(const Parameter& p, const std::string& text, std::string_view label) {
    PairRead r;
    const std::vector<std::string> parts = Split(text);
    std::optional<long double> a, b;
    if (parts.size() == 2 && text.back() != ',') {
        auto read = [&](const std::string& t) -> std::optional<long double> {
            if (p.low < 0 && !t.empty() && t[0] == '-') {
                auto v = ParseNonNegative(t.substr(1));
                return v ? std::optional(-*v) : std::nullopt;
            }
            return ParseNonNegative(t);
        };
        a = read(parts[0]), b = read(parts[1]);
    }
    if (!a || !b) {
        r.message =
            "invalid value for " + std::string(label) + ": '" + ShownInput(text) + "' (two numbers, R,C)";
        return r;
    }
    if (!WithinRange(p, *a) || !WithinRange(p, *b)) {
        r.message = OutOfRangeMessage(p, *a < p.low || *b < p.low, text, label);
        return r;
    }
    r.value = std::pair{*a, *b};
    return r;
}

std::string CheckChoice(const Parameter& p, const std::string& text, std::string_view label) {
    const std::vector<std::string> choices = Choices(p);
    if (std::find(choices.begin(), choices.end(), text) != choices.end()) return {};
    std::string list;
    for (std::size_t i = 0; i < choices.size(); ++i)
        list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
    return (label.empty() ? "" : std::string(label) + " ") + "takes " + list + ", not '" + ShownInput(text) +
           "'";
}

} // namespace velmora::app
