#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <numbers>
#include <unistd.h>

#include "app/output_files.h"
#include "app/value_text.h"
#include "circuits/catalogue.h"
#include "model/number_text.h"
#include "options.h"
#include "stages/stage_types.h"
#include "stages/user_sections.h"

namespace velmora::cli {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

using app::ParameterNamed;
using app::ParseCapacitance;
using app::ParseNonNegative;
using app::ParseScaled;

std::string Shown(const std::string& text) {
    return app::ShownInput(text);
}

// The position of a value among its parameter's choices: the filter type and the
// approximation are numbered in the order the table lists them.
int ChoiceIndex(std::string_view name, const std::string& value) {
    const std::vector<std::string> choices = app::Choices(ParameterNamed(name));
    return static_cast<int>(std::find(choices.begin(), choices.end(), value) - choices.begin());
}

namespace {

// A value read and checked against its parameter, or the usage error that says why not.
long double Checked(const app::NumberRead& read) {
    if (!read.value) throw UsageError{read.message};
    return *read.value;
}

// A frequency entry from a value in Hz (or rad/s with --rad): a text that fits the
// field, in the unit that fits it, with the exact value kept behind it.
app::FrequencyEntry FrequencyEntryOf(const std::string& option, const std::string& text, bool rad) {
    app::FrequencyEntry f;
    if (ParseScaled(text) == 0.0L) { // the entries refuse a zero with their own message
        f.text = "0";
        return f;
    }
    const app::NumberRead read = app::ReadFrequency(ParameterNamed(option.substr(2)), text, option);
    if (!read.value)
        throw UsageError{read.message + (read.message.find("out of range") != std::string::npos
                                             ? (rad ? " rad/s" : " Hz")
                                             : "")};
    const long double shown = *read.value;
    f.unit = 0;
    std::string t = TrimmedText(shown, 6);
    if (t.size() > 6) {
        f.unit = 1;
        t = TrimmedText(shown / 1000.0L, 6);
        if (t.size() > 6) t = TrimmedText(shown / 1000.0L, std::max(0, 5 - (int)t.find('.')));
    }
    f.text = f.exactText = t;
    f.exactRad = rad ? shown : shown * kTwoPi;
    return f;
}

std::string NumberEntry(const std::string& option, const std::string& text) {
    auto v = ParseNonNegative(text);
    if (!v)
        throw UsageError{"invalid number for " + option + ": '" + Shown(text) + "' (a non-negative number)"};
    return TrimmedText(*v, 9);
}

// A preference list of stage types for the first or the last stage of the cascade,
// highest priority first ("slp,flp"): the criteria the cascade ordering honours.
TCascadeCriteria Criteria(const std::string& option, const std::string& list) {
    const std::vector<std::string> names = app::Choices(ParameterNamed(option.substr(2)));
    TCascadeCriteria c;
    int16_t priority = 0;
    std::string rest = list;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string name = rest.substr(0, comma);
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        int found = 0;
        for (int i = 0; i < 4; ++i)
            if (name == names[i]) found = i + 1;
        if (!found)
            throw UsageError{"unknown stage type '" + Shown(name) + "' for " + option + " (one of " +
                             names[0] + ", " + names[1] + ", " + names[2] + ", " + names[3] + ")"};
        if (c.Options[found].Enabled)
            throw UsageError{"stage type '" + Shown(name) + "' given twice for " + option};
        c.Options[found].Enabled = 1;
        c.Options[found].Priority = ++priority;
    }
    return c;
}

} // namespace

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    std::string rest = list;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        items.push_back(rest.substr(0, comma));
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    }
    return items;
}

// "2" -> stage 2 (1-based), checked against the design's stage count.
int StageNumber(const std::string& text, const std::string& option, int stageCount) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 3)
        throw UsageError{"invalid stage number '" + Shown(text) + "' in " + option};
    const int n = std::stoi(text);
    if (n < 1 || n > stageCount)
        throw UsageError{option + " names stage " + text + ", but the design has " +
                         std::to_string(stageCount) + " stage" + (stageCount == 1 ? "" : "s")};
    return n;
}

// --capacitor: a starting capacitor for every stage ("10n") or per stage
// ("1:10n,2:4.7n"), each a capacitance with its unit prefix. Returns the pairs of stage
// text ("" for every stage) and farads, refusing values that are no capacitance or out
// of range; the stage numbers are checked once the stages exist.
std::vector<std::pair<std::string, long double>> CapacitorOption(const std::string& list) {
    std::vector<std::pair<std::string, long double>> out;
    for (const std::string& item : SplitList(list)) {
        const auto colon = item.find(':');
        const std::string stage = colon == std::string::npos ? std::string() : item.substr(0, colon);
        const std::string value = colon == std::string::npos ? item : item.substr(colon + 1);
        if (colon != std::string::npos &&
            (stage.empty() || stage.find_first_not_of("0123456789") != std::string::npos || stage.size() > 3))
            throw UsageError{"invalid stage number '" + Shown(stage) + "' in --capacitor"};
        const auto farads = ParseCapacitance(value);
        if (!farads || *farads <= 0)
            throw UsageError{"invalid capacitance for --capacitor: '" + Shown(value) +
                             "' (e.g. 10n, 4.7n, 1u)"};
        const app::Parameter& p = ParameterNamed("capacitor");
        if (!app::WithinRange(p, *farads))
            throw UsageError{app::OutOfRangeMessage(p, *farads < p.low, value, "--capacitor")};
        out.push_back({stage, *farads});
    }
    return out;
}

// The starting capacitors of --capacitor in the stages' requests; a value for every
// stage first, then the per-stage ones, which take precedence whatever their order.
void ApplyCapacitorOption(const std::string& list, std::vector<StageCircuitRequest>& req, int stageCount) {
    const auto items = CapacitorOption(list);
    for (const auto& [stage, farads] : items)
        if (stage.empty())
            for (auto& q : req)
                q.startC1 = farads;
    for (const auto& [stage, farads] : items)
        if (!stage.empty())
            req[static_cast<std::size_t>(StageNumber(stage, "--capacitor", stageCount) - 1)].startC1 = farads;
}

// The circuit options read without a design: known circuit keys, stage numbers in
// digits, gain-bandwidths in range. What depends on the stages (a stage's number, its
// type) is checked once they exist.
void CheckCircuitOptions(const DesignRequest& r) {
    auto stageText = [](const std::string& text, const std::string& option) {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 3)
            throw UsageError{"invalid stage number '" + Shown(text) + "' in " + option};
    };
    for (const std::string& item : SplitList(r.circuit)) {
        const auto colon = item.find(':');
        std::string key = colon == std::string::npos ? item : item.substr(colon + 1);
        for (char& ch : key)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (!EntryByKey(key))
            throw UsageError{"unknown circuit '" + Shown(key) +
                             "' for --circuit (keys such as SLP01, SBP04, SN09)"};
        if (colon != std::string::npos) stageText(item.substr(0, colon), "--circuit");
    }
    for (const std::string& item : SplitList(r.gbw)) {
        const auto colon = item.find(':');
        const std::string value = colon == std::string::npos ? item : item.substr(colon + 1);
        Checked(app::ReadFrequency(ParameterNamed("gbw"), value, "--gbw"));
        if (colon != std::string::npos) stageText(item.substr(0, colon), "--gbw");
    }
    for (const auto& [list, option] :
         {std::pair{r.predistort, "--predistort"}, {r.compensate, "--compensate"}})
        for (const std::string& item : SplitList(list))
            if (item != "all") stageText(item, option);
    CapacitorOption(r.capacitor);
}

// The circuit requests of every stage from --circuit, --gbw, --predistort, --compensate.
// --circuit takes keys that apply to every stage of their type ("SLP03,FLP02") or
// per-stage keys ("1:SLP03,2:SLP01"); --gbw a frequency for every stage or per stage
// ("2M" or "1:2M,2:10M"); --predistort and --compensate stage numbers or "all".
std::vector<StageCircuitRequest> CircuitRequests(const DesignRequest& r, const TDesign& d) {
    const int n = d.StageCount;
    std::vector<StageCircuitRequest> req(n);
    // Keys for a stage type first, then the per-stage keys, which take precedence
    // whatever their order in the list.
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::string& item : SplitList(r.circuit)) {
            const auto colon = item.find(':');
            if ((colon != std::string::npos) != (pass == 1)) continue;
            std::string key = colon == std::string::npos ? item : item.substr(colon + 1);
            for (char& ch : key)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            const CatalogueEntry* e = EntryByKey(key);
            if (!e)
                throw UsageError{"unknown circuit '" + Shown(key) +
                                 "' for --circuit (keys such as SLP01, SBP04, SN09)"};
            if (colon != std::string::npos) {
                const int s = StageNumber(item.substr(0, colon), "--circuit", n);
                if (d.Stages[s].StageType != e->type) {
                    std::string type = StageShortName(d.Stages[s].StageType); // "FLP ": padded to four
                    type.erase(type.find_last_not_of(' ') + 1);
                    throw UsageError{"circuit " + key + " cannot realise stage " + std::to_string(s) +
                                     ", a " + type + " stage"};
                }
                req[s - 1].key = key;
            } else {
                bool used = false;
                for (int s = 1; s <= n; ++s)
                    if (d.Stages[s].StageType == e->type) req[s - 1].key = key, used = true;
                if (!used) throw UsageError{"the design has no stage that circuit " + key + " can realise"};
            }
        }
    }
    for (const std::string& item : SplitList(r.gbw)) {
        const auto colon = item.find(':');
        const std::string value = colon == std::string::npos ? item : item.substr(colon + 1);
        auto hz = ParseScaled(value);
        if (!hz) throw UsageError{"invalid gain-bandwidth for --gbw: '" + Shown(value) + "' (Hz, e.g. 10M)"};
        if (colon == std::string::npos)
            for (auto& q : req)
                q.gbwHz = *hz;
        else
            req[StageNumber(item.substr(0, colon), "--gbw", n) - 1].gbwHz = *hz;
    }
    // "all": every second-order stage (first-order ones have nothing to correct); for
    // --compensate only those whose circuit offers a compensated variant.
    auto stages = [&](const std::string& list, const std::string& option, bool StageCircuitRequest::*flag,
                      bool StageCircuitRequest::*allFlag) {
        for (const std::string& item : SplitList(list)) {
            if (item == "all") {
                for (int s = 1; s <= n; ++s)
                    if (d.Stages[s].StageType >= 2) req[s - 1].*allFlag = true;
            } else
                req[StageNumber(item, option, n) - 1].*flag = true;
        }
    };
    stages(r.predistort, "--predistort", &StageCircuitRequest::predistort, &StageCircuitRequest::predistort);
    stages(r.compensate, "--compensate", &StageCircuitRequest::compensate,
           &StageCircuitRequest::compensateWhereOffered);
    ApplyCapacitorOption(r.capacitor, req, n);
    for (int s = 1; s <= n; ++s)
        if (req[s - 1].predistort && req[s - 1].compensate)
            throw UsageError{"stage " + std::to_string(s) + " can be predistorted or compensated, not both"};
    return req;
}

// The ASCII data file's parts: "spec,coefficients,poles,frequency" (default: all).
AsciiOptions AsciiParts(const std::string& list) {
    const app::Parameter& p = ParameterNamed("ascii-include");
    AsciiOptions a;
    std::array<bool*, 4> parts = {&a.Specification, &a.Coefficients, &a.PolesZeros, &a.FrequencyData};
    for (const std::string& item : SplitList(list.empty() ? std::string(p.choices) : list)) {
        const int i = ChoiceIndex("ascii-include", item);
        if (i >= static_cast<int>(parts.size()))
            throw UsageError{"unknown part '" + Shown(item) + "' for --ascii-include (" +
                             std::string(p.choices) + ")"};
        *parts[static_cast<std::size_t>(i)] = true;
    }
    return a;
}

// The system's reason for an error number, as the file readers and writers give it.
std::string Reason(int error) {
    return FileIoResult::failure("", error).message.substr(2);
}

// An output path the command can write, checked before anything is computed: a path with
// a NUL is a usage error, one that cannot be written a file error.
void CheckTarget(const std::optional<app::TargetProblem>& problem) {
    if (problem && problem->usage) throw UsageError{problem->message};
    if (problem) throw FileError{problem->message};
}

// --fmin, --fmax and --points, each on its own (the limits against the design's own
// range once the design is known: CheckResponseAxis).
void CheckRangeOptions(const OutputRequest& o, CheckedOutputs& c) {
    auto frequency = [](const char* name, const std::string& text) {
        return Checked(app::ReadFrequency(ParameterNamed(name), text, std::string("--") + name));
    };
    if (!o.fmin.empty()) c.limits.MinHz = frequency("fmin", o.fmin);
    if (!o.fmax.empty()) c.limits.MaxHz = frequency("fmax", o.fmax);
    if (c.limits.MinHz && c.limits.MaxHz && !(*c.limits.MaxHz > *c.limits.MinHz))
        throw UsageError{"--fmax " + Shown(o.fmax) + " must lie above --fmin " + Shown(o.fmin)};
    if (!o.points.empty())
        c.points =
            static_cast<int>(Checked(app::ReadWholeNumber(ParameterNamed("points"), o.points, "--points")));
}

// The axis of the plots, response data and SPICE sweep: the design's data axis with the
// limits asked for. A single limit that crosses the other limit of the design's range is
// a usage error found before anything is reported or written.
FrequencyAxis CheckResponseAxis(const app::DesignSession& session, const OutputRequest& o,
                                const CheckedOutputs& c) {
    const FrequencyAxis axis = session.ResponseAxis(c.limits);
    if (!(axis.Max > axis.Min)) {
        const FrequencyAxis own = session.ResponseAxis();
        const long double toHz = own.Hz ? 1.0L : 1.0L / kTwoPi;
        throw UsageError{c.limits.MinHz ? "--fmin " + Shown(o.fmin) + " lies above the range's upper limit " +
                                              TrimmedText(own.Max * toHz, 6) + " Hz; give --fmax too"
                                        : "--fmax " + Shown(o.fmax) + " lies below the range's lower limit " +
                                              TrimmedText(own.Min * toHz, 6) + " Hz; give --fmin too"};
    }
    return axis;
}

CheckedOutputs CheckOutputs(const OutputRequest& o) {
    CheckedOutputs c;
    CheckRangeOptions(o, c);
    c.asciiParts = AsciiParts(o.asciiInclude);
    c.spiceDialect = o.spiceDialect == "ngspice" ? SpiceDialect::Ngspice : SpiceDialect::Default;
    c.spiceOpamp = o.spiceOpamp == "single-pole" ? SpiceOpAmpModel::SinglePole : SpiceOpAmpModel::Vcvs;
    if (!o.spicePoints.empty())
        Checked(app::ReadWholeNumber(ParameterNamed("spice-points"), o.spicePoints, "--spice-points"));
    if (!o.opampNoise.empty())
        c.opampNoise = Checked(app::ReadNumber(ParameterNamed("opamp-noise"), o.opampNoise, "--opamp-noise"));
    if (!o.spiceMonteCarlo.empty()) {
        const std::vector<std::string> mc = SplitList(o.spiceMonteCarlo);
        if (mc.size() != 3 || o.spiceMonteCarlo.back() == ',')
            throw UsageError{"--spice-monte-carlo takes RUNS,R%,C% (for example 20,1%,5%)"};
        const app::Parameter& p = ParameterNamed("spice-monte-carlo");
        Checked(app::ReadWholeNumber(p, mc[0], "the runs of --spice-monte-carlo"));
        for (const std::string& t : {mc[1], mc[2]})
            if (const std::string refused = app::CheckChoice(p, t, "--spice-monte-carlo"); !refused.empty())
                throw UsageError{refused};
        c.spiceMonteCarlo = std::array<std::string, 3>{mc[0], mc[1], mc[2]};
    }

    ToleranceRequest& t = c.tolerance;
    auto pair = [](const char* name, const std::string& text) {
        const app::PairRead read = app::ReadPair(ParameterNamed(name), text, std::string("--") + name);
        if (!read.value) throw UsageError{read.message};
        return *read.value;
    };
    auto number = [](const char* name, const std::string& text) {
        return Checked(app::ReadNumber(ParameterNamed(name), text, std::string("--") + name));
    };
    if (!o.tolerance.empty()) std::tie(t.ResistorPct, t.CapacitorPct) = pair("tolerance", o.tolerance);
    if (!o.tempco.empty()) std::tie(t.ResistorPpm, t.CapacitorPpm) = pair("tempco", o.tempco);
    if (!o.opampTolerance.empty()) t.OpAmpPct = number("opamp-tolerance", o.opampTolerance);
    if (!o.tempRise.empty()) t.TempRise = number("temp-rise", o.tempRise);
    // The choices are checked as the options are read.
    if (!o.strategy.empty()) c.strategy = std::stoi(o.strategy);
    if (!o.standardR.empty()) c.series = std::stoi(o.standardR);
    if (!o.monteCarlo.empty())
        c.monteCarloRuns = static_cast<int>(
            Checked(app::ReadWholeNumber(ParameterNamed("monte-carlo"), o.monteCarlo, "--monte-carlo")));

    if (!o.save.empty()) {
        CheckTarget(app::FileTargetProblem("--save", o.save));
        if (o.save.size() > 255) throw FileError{"The file name is longer than 255 characters."};
    }
    if (!o.ascii.empty()) CheckTarget(app::FileTargetProblem("--ascii", o.ascii));
    if (!o.spice.empty()) CheckTarget(app::FileTargetProblem("--spice", o.spice));
    if (!o.plots.empty()) CheckTarget(app::FolderTargetProblem("--plots", o.plots));
    if (!o.schematics.empty()) CheckTarget(app::FolderTargetProblem("--schematics", o.schematics));
    if (!o.report.empty()) CheckTarget(app::FileTargetProblem("--report", o.report));

    // The inventory: the file given, or the user's; a missing file of the user's means
    // everything is in stock, a damaged one is an error (the command line never rewrites it).
    c.wantInventory = o.useInventory || !o.inventory.empty();
    if (c.wantInventory) {
        if (o.inventory.find('\0') != std::string::npos)
            throw UsageError{"the path for --inventory holds a NUL character"};
        app::InventoryLoad load =
            app::LoadInventory(o.inventory.empty() ? std::nullopt : std::optional(o.inventory));
        if (!load.ok) throw FileError{load.message};
        c.inventory = std::move(load.inventory);
    }
    return c;
}

// A number as the form's entry field would hold it: at most eight characters.
std::string FieldText(long double v) {
    for (int decimals = 6; decimals >= 0; --decimals) {
        std::string t = TrimmedText(v, decimals);
        if (t.size() <= kUserTextLength) return t;
    }
    return ScientificText(v, 2).substr(1);
}

// "lp2:q=0.707,fp=1k,to=1" -> a section in rad/s and the texts the form would show.
app::UserSectionEntry ParseSection(const std::string& spec, bool rad) {
    const auto colon = spec.find(':');
    const std::string kind = spec.substr(0, colon);
    static const std::map<std::string, std::pair<int, UserSectionKind>> kinds = {
        {"lp1", {1, UserSectionKind::Lowpass}},  {"hp1", {1, UserSectionKind::Highpass}},
        {"lp2", {2, UserSectionKind::Lowpass}},  {"hp2", {2, UserSectionKind::Highpass}},
        {"bp2", {2, UserSectionKind::Bandpass}}, {"bs2", {2, UserSectionKind::Bandstop}}};
    auto k = kinds.find(kind);
    if (k == kinds.end() || colon == std::string::npos)
        throw UsageError{"invalid --section '" + spec +
                         "': it starts with lp1, hp1, lp2, hp2, bp2 or bs2 and a colon"};
    std::map<std::string, long double> f;
    for (const std::string& item : SplitList(spec.substr(colon + 1))) {
        const auto eq = item.find('=');
        const std::string name = item.substr(0, eq);
        std::optional<long double> v =
            eq == std::string::npos ? std::nullopt : ParseScaled(item.substr(eq + 1));
        if (!v) throw UsageError{"invalid field '" + item + "' in --section '" + spec + "' (name=value)"};
        if (f.count(name)) throw UsageError{"field '" + name + "' given twice in --section '" + spec + "'"};
        f[name] = *v;
    }
    UserSection u;
    u.Order = k->second.first;
    u.Kind = k->second.second;
    const long double unit = rad ? 1.0L : 2.0L * std::numbers::pi_v<long double>;
    auto take = [&](const char* name, bool frequency) {
        auto it = f.find(name);
        if (it == f.end()) throw UsageError{"--section '" + spec + "' needs " + name + "="};
        const long double v = it->second;
        f.erase(it);
        return frequency ? v * unit : v;
    };
    auto text = [&](const char* name) {
        auto it = f.find(name);
        return it == f.end() ? std::string() : FieldText(it->second);
    };
    TUserBlock block;
    block.Texts[4] = f.count("to") ? text("to") : "1";
    if (f.count("to")) u.To = take("to", false);
    const bool bandstop = u.Kind == UserSectionKind::Bandstop;
    if (u.Order == 1) {
        u.Mode = UserEntryMode::Poles;
        block.EntryMode = 1;
        block.Texts[0] = text("p");
        u.P = take("p", true);
    } else if (f.count("re") || f.count("im")) {
        u.Mode = UserEntryMode::Poles;
        block.EntryMode = 1;
        block.Texts[0] = text("re");
        block.Texts[1] = text("im");
        if (bandstop) block.Texts[2] = text("z");
        u.Re = take("re", true);
        u.Im = take("im", true);
        if (bandstop) u.Wz = take("z", true);
    } else {
        u.Mode = UserEntryMode::QWpWz;
        block.Texts[0] = text("q");
        block.Texts[1] = text("fp");
        if (bandstop) block.Texts[2] = text("fz");
        u.Q = take("q", false);
        u.Wp = take("fp", true);
        if (bandstop) u.Wz = take("fz", true);
    }
    if (!f.empty())
        throw UsageError{"field '" + f.begin()->first + "' does not belong to --section '" + spec + "'"};
    return {u, block};
}

namespace {

// A design margin m (dB): the approximations are designed for Apb - m and Asb + m, so
// that the filter built keeps m dB in hand at both edges; the realised filter is checked
// against the attenuations specified. The margin must leave a passband attenuation.
long double ApplyDesignMargin(app::SpecificationEntry& e, const std::string& text) {
    const auto m = Checked(app::ReadNumber(ParameterNamed("design-margin"), text, "--design-margin"));
    const auto apb = ParseNonNegative(e.apb), asb = ParseNonNegative(e.asb);
    if (!apb || !asb) return 0; // the entries report their own problems
    if (!(m < *apb))
        throw UsageError{"--design-margin " + Shown(text) + " leaves no passband attenuation of the " +
                         e.apb + " dB specified (the margin must be below it)"};
    e.apb = TrimmedText(*apb - m, 6);
    e.asb = TrimmedText(*asb + m, 6);
    return m;
}

bool IsBand(const DesignRequest& r) {
    return r.type == "bandpass" || r.type == "bandstop";
}

} // namespace

uint8_t FilterType(const DesignRequest& r) {
    return static_cast<uint8_t>(
        ChoiceIndex("type", r.type.empty() ? std::string(ParameterNamed("type").defaultValue) : r.type));
}

long double SpecificationEntries(const DesignRequest& r, app::SpecificationEntry& e) {
    const std::string typeName = r.type.empty() ? std::string(ParameterNamed("type").defaultValue) : r.type;
    const bool band = IsBand(r);
    if (band && (!r.fpb.empty() || !r.fsb.empty()))
        throw UsageError{"--fpb and --fsb are the edges of a lowpass or highpass; a " + typeName +
                         " takes --f0, --bpb and --bsb"};
    if (!band && (!r.f0.empty() || !r.bpb.empty() || !r.bsb.empty()))
        throw UsageError{"--f0, --bpb and --bsb belong to a bandpass or bandstop; a " + typeName +
                         " takes --fpb and --fsb"};
    if (!r.gain.empty() && !r.gainDb.empty())
        throw UsageError{"give the gain either in V/V (--gain) or in dB (--gain-db)"};

    if (!r.apb.empty()) e.apb = NumberEntry("--apb", r.apb);
    if (!r.asb.empty()) e.asb = NumberEntry("--asb", r.asb);
    if (!r.fpb.empty()) e.pass = FrequencyEntryOf("--fpb", r.fpb, r.rad);
    if (!r.fsb.empty()) e.stop = FrequencyEntryOf("--fsb", r.fsb, r.rad);
    if (!r.bpb.empty()) e.pass = FrequencyEntryOf("--bpb", r.bpb, r.rad);
    if (!r.bsb.empty()) e.stop = FrequencyEntryOf("--bsb", r.bsb, r.rad);
    if (!r.f0.empty()) e.centre = FrequencyEntryOf("--f0", r.f0, r.rad);
    if (!r.order.empty()) {
        if (r.order.find_first_not_of("0123456789") != std::string::npos)
            throw UsageError{"invalid order for --order: '" + Shown(r.order) + "' (a whole number from " +
                             std::string(ParameterNamed("order").range) + ")"};
        e.forceOrder = true;
        e.order = r.order;
    }
    if (!r.gain.empty()) e.gain = NumberEntry("--gain", r.gain);
    if (!r.gainDb.empty()) {
        e.gainDb = true;
        e.gain = NumberEntry("--gain-db", r.gainDb);
    }
    return r.designMargin.empty() ? 0 : ApplyDesignMargin(e, r.designMargin);
}

std::string EntryOption(const DesignRequest& r, const app::EntryIssue& issue) {
    // Messages about an entry that cannot be read do not name it: the option does.
    if (issue.problem != app::EntryProblem::InvalidNumber &&
        issue.problem != app::EntryProblem::OrderNotWhole)
        return {};
    const bool band = IsBand(r);
    switch (issue.field) {
    case app::EntryField::Apb:
        return "--apb";
    case app::EntryField::Asb:
        return "--asb";
    case app::EntryField::Pass:
        return band ? "--bpb" : "--fpb";
    case app::EntryField::Stop:
        return band ? "--bsb" : "--fsb";
    case app::EntryField::Centre:
        return "--f0";
    case app::EntryField::Gain:
        return r.gainDb.empty() ? "--gain" : "--gain-db";
    case app::EntryField::Order:
        return "--order";
    case app::EntryField::None:
        break;
    }
    return {};
}

void ApplyCascadeOptions(const DesignRequest& r, app::DesignSession& session) {
    std::optional<TCascadeCriteria> first, last;
    if (!r.firstStage.empty()) first = Criteria("--first-stage", r.firstStage);
    if (!r.lastStage.empty()) last = Criteria("--last-stage", r.lastStage);
    session.SetCascadeOptions(first, last,
                              r.orderBy.empty() ? std::nullopt : std::optional(r.orderBy == "qp"));
}

} // namespace velmora::cli
