#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <numbers>
#include <ostream>
#include <sstream>

#include "analysis/graph_axes.h"
#include "app/design_session.h"
#include "app/parameters.h"
#include "app/value_text.h"
#include "approx/approximation.h"
#include "circuits/catalogue.h"
#include "cli_dialogs.h"
#include "model/ascii_export.h"
#include "model/file_io.h"
#include "model/inventory_file.h"
#include "model/number_text.h"
#include "report.h"
#include "stages/gains.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "stages/user_sections.h"
#include "ui/report_painter.h"
#include "ui/response_plots.h"
#include "ui/schematic_painter.h"
#include "ui/tfm_ascii.h"
#include "ui/tfm_main.h"
#include "ui/tfm_user.h"
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace velmora::cli {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// What `velmora design` was asked for, as typed.
struct DesignRequest {
    std::string type; // empty: the table's default
    std::string apb, asb, fpb, fsb, f0, bpb, bsb, order, gain, gainDb;
    std::string approx, orderBy, firstStage, lastStage;
    std::string circuit, gbw, predistort, compensate;
    std::string designMargin; // dB
    std::string capacitor;    // --capacitor
    bool rad = false;
};

struct UsageError {
    std::string message;
};

// A file named by an option that cannot be read or written, found before anything is
// computed (exit 1).
struct FileError {
    std::string message;
};

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

// A value read and checked against its parameter, or the usage error that says why not.
long double Checked(const app::NumberRead& read) {
    if (!read.value) throw UsageError{read.message};
    return *read.value;
}

// What to write once a design is computed or opened; the same for every command.
struct OutputRequest {
    bool json = false;
    std::string plots;               // folder for the SVG response plots
    std::string schematics;          // folder for the SVG schematics of the stages
    std::string report;              // the PDF report
    std::string save;                // design file
    std::string ascii, asciiInclude; // ASCII data file and its parts
    std::string spice, spiceDialect = "pspice", spiceOpamp = "vcvs", spicePoints; // points: 200 unless given
    bool spicePrint = false, spicePlot = false, noSpiceProbe = false;
    std::string spiceMonteCarlo;    // RUNS,R%,C%
    std::string opampNoise;         // nV/sqrt(Hz) of the netlist's single-pole op amps
    std::string fmin, fmax, points; // frequency range of the plots, response data and SPICE sweep
    // Component values and tolerance analysis of the realised filter.
    std::string standardR, strategy, tolerance, opampTolerance, tempco, tempRise, monteCarlo, inventory;
    bool allCapsStandard = false, useInventory = false;
};

// Sets a frequency field from a value in Hz (or rad/s with --rad). The field shows a
// text that fits it and keeps the exact value, as when the unit is switched in the form.
void SetFrequency(TEditControl& edit, TComboControl& unit, const std::string& option, const std::string& text,
                  bool rad) {
    if (ParseScaled(text) == 0.0L) { // the form itself refuses a zero with its own message
        edit.Text = "0";
        edit.ExactRad.reset();
        return;
    }
    const app::NumberRead read = app::ReadFrequency(ParameterNamed(option.substr(2)), text, option);
    if (!read.value)
        throw UsageError{read.message + (read.message.find("out of range") != std::string::npos
                                             ? (rad ? " rad/s" : " Hz")
                                             : "")};
    const std::optional<long double> v = read.value;
    const long double radValue = rad ? *v : *v * kTwoPi;
    long double shown = *v;
    unit.ItemIndex = 0;
    std::string t = TrimmedText(shown, 6);
    if (t.size() > 6) {
        unit.ItemIndex = 1;
        t = TrimmedText(shown / 1000.0L, 6);
        if (t.size() > 6) t = TrimmedText(shown / 1000.0L, std::max(0, 5 - (int)t.find('.')));
    }
    edit.Text = t;
    edit.ExactRad = radValue;
    edit.ExactText = t;
}

void SetNumber(TEditControl& edit, const std::string& option, const std::string& text) {
    auto v = ParseNonNegative(text);
    if (!v)
        throw UsageError{"invalid number for " + option + ": '" + Shown(text) + "' (a non-negative number)"};
    edit.Text = TrimmedText(*v, 9);
}

// A preference list of stage types for the first or the last stage of the cascade,
// highest priority first ("slp,flp"): the criteria the cascade ordering honours.
void SetCriteria(TCascadeCriteria& c, const std::string& option, const std::string& list) {
    const std::vector<std::string> names = app::Choices(ParameterNamed(option.substr(2)));
    c = TCascadeCriteria{};
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
}

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

// The output and analysis options, read and checked before anything is computed, so a
// mistake in any of them costs no computation and leaves every file as it was.
struct CheckedOutputs {
    AsciiOptions asciiParts;
    SpiceDialect spiceDialect = SpiceDialect::Default;
    SpiceOpAmpModel spiceOpamp = SpiceOpAmpModel::Vcvs;
    long double opampNoise = -1.0L;                            // negative: each stage's own
    std::optional<std::array<std::string, 3>> spiceMonteCarlo; // runs, R%, C%
    ToleranceRequest tolerance;
    int strategy = 1, series = 0, monteCarloRuns = 0;
    bool wantInventory = false;
    Inventory inventory = FullInventory();
    FrequencyLimits limits; // --fmin, --fmax (Hz)
    int points = 0;         // --points, 0 when not given
};

// The system's reason for an error number, as the file readers and writers give it.
std::string Reason(int error) {
    return FileIoResult::failure("", error).message.substr(2);
}

// An output file's path: no NUL (a path from a request file could hold one, and the
// system would silently write the part before it), not a folder, and in a folder that
// exists and can be written (a device such as /dev/null is written in place).
void CheckFileTarget(const std::string& option, const std::string& path) {
    namespace fs = std::filesystem;
    if (path.find('\0') != std::string::npos)
        throw UsageError{"the path for " + option + " holds a NUL character"};
    std::error_code ec;
    const fs::path target(path);
    const fs::file_status st = fs::status(target, ec);
    if (fs::is_directory(st)) throw FileError{path + ": " + Reason(EISDIR)};
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        if (::access(path.c_str(), W_OK) != 0) throw FileError{path + ": " + Reason(errno)};
        return;
    }
    fs::path real =
        fs::is_symlink(fs::symlink_status(target, ec)) ? fs::weakly_canonical(target, ec) : target;
    fs::path folder = real.parent_path();
    if (folder.empty()) folder = ".";
    const fs::file_status fst = fs::status(folder, ec);
    if (!fs::exists(fst)) throw FileError{folder.string() + ": " + Reason(ENOENT)};
    if (!fs::is_directory(fst)) throw FileError{folder.string() + ": " + Reason(ENOTDIR)};
    if (::access(folder.c_str(), W_OK | X_OK) != 0) throw FileError{folder.string() + ": " + Reason(errno)};
}

// The plots' folder: a folder that can be written, or one that can be created in the
// nearest folder that exists.
void CheckFolderTarget(const std::string& option, const std::string& dir) {
    namespace fs = std::filesystem;
    if (dir.find('\0') != std::string::npos)
        throw UsageError{"the path for " + option + " holds a NUL character"};
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(dir), ec);
    if (ec) throw FileError{dir + ": " + ec.message()};
    while (true) {
        const fs::file_status st = fs::status(p, ec);
        if (fs::exists(st)) {
            if (!fs::is_directory(st)) throw FileError{p.string() + ": " + Reason(ENOTDIR)};
            if (::access(p.c_str(), W_OK | X_OK) != 0) throw FileError{p.string() + ": " + Reason(errno)};
            return;
        }
        if (p == p.root_path() || p.parent_path() == p) throw FileError{dir + ": " + Reason(ENOENT)};
        p = p.parent_path();
    }
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
FrequencyAxis CheckResponseAxis(const TDesign& d, const OutputRequest& o, const CheckedOutputs& c) {
    const FrequencyAxis axis = DataFrequencyAxis(d, c.limits);
    if (!(axis.Max > axis.Min)) {
        const FrequencyAxis own = DataFrequencyAxis(d);
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
        CheckFileTarget("--save", o.save);
        if (o.save.size() > 255) throw FileError{"The file name is longer than 255 characters."};
    }
    if (!o.ascii.empty()) CheckFileTarget("--ascii", o.ascii);
    if (!o.spice.empty()) CheckFileTarget("--spice", o.spice);
    if (!o.plots.empty()) CheckFolderTarget("--plots", o.plots);
    if (!o.schematics.empty()) CheckFolderTarget("--schematics", o.schematics);
    if (!o.report.empty()) CheckFileTarget("--report", o.report);

    // The inventory: the file given, or the user's; a missing file of the user's means
    // everything is in stock, a damaged one is an error (the command line never rewrites it).
    c.wantInventory = o.useInventory || !o.inventory.empty();
    if (c.wantInventory) {
        if (o.inventory.find('\0') != std::string::npos)
            throw UsageError{"the path for --inventory holds a NUL character"};
        std::optional<std::string> path =
            o.inventory.empty() ? InventoryFilePath() : std::optional(o.inventory);
        if (path) {
            InventoryReadResult r = ReadInventoryFile(*path, c.inventory);
            if (r.status == InventoryReadStatus::Unreadable || r.status == InventoryReadStatus::Damaged ||
                (r.status == InventoryReadStatus::Missing && !o.inventory.empty()))
                throw FileError{r.message.rfind(*path + ": ", 0) == 0
                                    ? r.message // the system's message names the file already
                                    : *path + ": " + (r.message.empty() ? Reason(ENOENT) : r.message)};
        }
    }
    return c;
}

// The sweep's points per decade: --spice-points, else as many as give --points over the
// axis's decades, else 200.
std::string SweepPointsPerDecade(const FrequencyAxis& axis, const OutputRequest& o, const CheckedOutputs& c) {
    if (!o.spicePoints.empty()) return o.spicePoints;
    if (c.points <= 0) return std::string(ParameterNamed("spice-points").defaultValue);
    const long double decades = std::log10(axis.Max / axis.Min);
    const long double perDecade = std::ceil((c.points - 1) / std::max(decades, 1e-3L) - 1e-9L);
    return std::to_string(
        static_cast<long>(std::clamp<long double>(perDecade, 1, ParameterNamed("spice-points").high)));
}

// The SPICE options asked for, over the axis of the plots and response data.
SpiceOptions SpiceRequest(const TDesign& d, const OutputRequest& o, const CheckedOutputs& c) {
    const FrequencyAxis axis = UsableFrequencyAxis(DataFrequencyAxis(d, c.limits));
    SpiceOptions s = SpiceOptionsForGraph(axis);
    s.dialect = c.spiceDialect;
    s.opamp = c.spiceOpamp;
    s.pointsPerDecade = SweepPointsPerDecade(axis, o, c);
    s.print = o.spicePrint;
    s.plot = o.spicePlot;
    s.probe = !o.noSpiceProbe;
    s.opAmpNoise = c.opampNoise;
    if (c.spiceMonteCarlo) {
        s.monteCarlo = true;
        s.runs = (*c.spiceMonteCarlo)[0];
        s.resistorTolerance = (*c.spiceMonteCarlo)[1];
        s.capacitorTolerance = (*c.spiceMonteCarlo)[2];
    }
    if (s.dialect == SpiceDialect::Ngspice)
        s.dataFile = std::filesystem::path(o.spice).stem().string() + ".ac.txt";
    return s;
}

// Ctrl-C during a Monte Carlo analysis: the handler only raises the flag, the analysis
// sees it before its next run and ends, and the command then stops without writing.
volatile std::sig_atomic_t interrupted = 0;
extern "C" void OnInterrupt(int) {
    interrupted = 1;
}

// The progress of a Monte Carlo analysis on a terminal, and Ctrl-C to end it: the
// callback the analysis calls before every run.
std::function<bool(int, int)> MonteCarloProgress(std::ostream& err, int& shownPercent) {
    // Progress only for a person watching: stderr on a terminal, and not when the
    // command line runs inside another program with its own streams.
    const bool show = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
    return [&err, &shownPercent, show](int done, int total) {
        if (interrupted) return false;
        if (show) {
            const int percent = static_cast<int>(100.0 * done / total);
            if (percent != shownPercent) {
                shownPercent = percent;
                err << "\rvelmora: Monte Carlo run " << done << " of " << total << " (" << percent << " %)"
                    << std::flush;
            }
        }
        return true;
    };
}

// Component characteristics, standard values and inventories, applied to a design whose
// components are calculated, then the Monte Carlo analysis asked for, which Ctrl-C ends.
app::ComponentOutcome ApplyComponentRequests(app::DesignSession& session, const OutputRequest& o,
                                             const CheckedOutputs& c, const Specification* mask,
                                             std::ostream& err) {
    app::ComponentRequest q;
    q.tolerance = c.tolerance;
    q.allCapsStandard = o.allCapsStandard;
    q.series = c.series;
    q.strategy = c.strategy;
    q.inventory = c.wantInventory ? &c.inventory : nullptr;
    q.monteCarloRuns = c.monteCarloRuns;
    q.mask = mask;
    int shownPercent = -1;
    q.monteCarloProgress = MonteCarloProgress(err, shownPercent);
    interrupted = 0;
    using Handler = void (*)(int);
    const Handler previous = q.monteCarloRuns > 0 ? std::signal(SIGINT, OnInterrupt) : SIG_ERR;
    app::ComponentOutcome outcome = session.ApplyComponents(q);
    if (q.monteCarloRuns > 0) {
        std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
        if (shownPercent >= 0) err << "\r\033[K" << std::flush;
    }
    interrupted = 0;
    return outcome;
}

// A file the command is to write, made in full before the first one is written.
struct PendingFile {
    std::string what, path, bytes;
};

// Writes every file or, when one cannot be written, none: the files written before it
// get their previous contents back (or are removed when they are new), and a folder
// made for the pictures is removed again. Each file is replaced safely on its own (a
// temporary file renamed over it), so a failure never leaves a half-written file.
bool WriteAll(const std::vector<PendingFile>& files, const std::vector<std::string>& folders,
              std::string& message) {
    namespace fs = std::filesystem;
    std::vector<fs::path> madeFolders;
    for (const std::string& dir : folders) {
        if (dir.empty()) continue;
        std::error_code ec;
        for (fs::path p = fs::absolute(dir, ec); !ec && !fs::exists(p, ec) && p != p.parent_path();
             p = p.parent_path())
            madeFolders.push_back(p);
        fs::create_directories(dir, ec);
        if (ec) {
            message = dir + ": " + ec.message();
            for (const fs::path& p : madeFolders)
                fs::remove(p, ec); // only those now empty go
            return false;
        }
    }
    struct Previous {
        std::string path;
        std::optional<std::vector<uint8_t>> bytes; // nothing: the file is new
    };
    std::vector<Previous> written;
    for (const PendingFile& f : files) {
        Previous before{f.path, std::nullopt};
        std::error_code ec;
        if (fs::is_regular_file(f.path, ec)) {
            std::vector<uint8_t> old;
            if (ReadWholeFile(f.path, std::size_t{1} << 30, old).ok) before.bytes = std::move(old);
        } else if (fs::exists(f.path, ec)) {
            before.bytes = std::vector<uint8_t>{}; // a device: nothing to restore, never removed
        }
        const auto* data = reinterpret_cast<const uint8_t*>(f.bytes.data());
        const FileIoResult w = WriteFileReplacing(f.path, std::span<const uint8_t>(data, f.bytes.size()));
        if (!w.ok) {
            message = w.message;
            for (auto it = written.rbegin(); it != written.rend(); ++it) {
                if (it->bytes) {
                    if (fs::is_regular_file(it->path, ec)) WriteFileReplacing(it->path, *it->bytes);
                } else {
                    fs::remove(it->path, ec);
                }
            }
            for (const fs::path& p : madeFolders)
                fs::remove(p, ec);
            return false;
        }
        written.push_back(std::move(before));
    }
    return true;
}

// The report (text or JSON) and the files asked for. A run that fails, whether in the
// design, in a component request or in writing a file, writes none of the files.
int Finish(TfmMain& main, app::DesignSession& session, const OutputRequest& o, const CheckedOutputs& checked,
           int onlyApprox, const std::string& failure, std::ostream& out, std::ostream& err,
           long double designMarginDb = 0) {
    TDesign& design = session.Design();
    const FrequencyAxis responseAxis = CheckResponseAxis(design, o, checked);
    // A design made with a margin (to tighter attenuations than specified) is checked,
    // and its yield judged, against the attenuations specified.
    Specification mask = design.Spec;
    mask.Apb = design.Spec.Apb + designMarginDb;
    mask.Asb = design.Spec.Asb - designMarginDb;
    const app::ComponentOutcome components =
        ApplyComponentRequests(session, o, checked, designMarginDb > 0 ? &mask : nullptr, err);
    if (components.interrupted) {
        err << "velmora: the Monte Carlo analysis was interrupted; no file was written\n";
        return 130;
    }
    const bool requestFailed = !components.ok;
    const std::vector<std::string>& notes = components.notes;
    const std::optional<MonteCarloResult>& monteCarlo = components.monteCarlo;
    // A request that failed says why on stderr; otherwise the notes belong to the report.
    if (requestFailed)
        for (const std::string& n : notes)
            err << "velmora: " << n << "\n";
    ReportOptions ro;
    ro.onlyApprox = onlyApprox;
    ro.monteCarlo = monteCarlo ? &*monteCarlo : nullptr;
    if (!requestFailed) ro.notes = notes;
    if (designMarginDb > 0) {
        ro.mask = &mask;
        ro.designMarginDb = designMarginDb;
    }
    ro.responseAxis = responseAxis;
    ro.responsePoints = checked.points;
    if (o.json) {
        out << DesignJson(design, ro).dump(2) << "\n";
    } else {
        out << "Velmora " << VELMORA_VERSION << "\n\n";
        if (design.Spec.FilterType != UserDefined) {
            PrintSpecification(out, design);
            PrintComparisonTable(out, main.ParEnt.Table);
        }
        PrintStages(out, design);
        PrintCircuits(out, design);
        PrintAnalyses(out, design, ro);
    }
    if (!failure.empty()) err << "velmora: " << failure << "\n";
    if (!failure.empty() || requestFailed) return 1;

    // Every file is made before the first is written.
    std::vector<PendingFile> files;
    const bool plots = !o.plots.empty() && design.ResultsReady;
    if (plots) {
        PlotOptions po;
        po.Only = onlyApprox;
        po.Freq = responseAxis;
        if (checked.points > 0) po.Points = checked.points;
        // The ideal pictures rebuild the frequency column over their axis: in a copy, so
        // that the design and ASCII files keep the default column.
        auto copy = std::make_unique<TDesign>(design);
        std::vector<PlotPicture> pictures = RenderIdealResponsePlots(*copy, po);
        for (PlotPicture& p : RenderFinalResponsePlots(design, po))
            pictures.push_back(std::move(p));
        for (const PlotPicture& p : pictures)
            files.push_back({"Plot", (std::filesystem::path(o.plots) / p.file).string(), p.svg});
    }
    const bool schematics = !o.schematics.empty() && design.DesignLevel >= LevelComponents;
    if (schematics) {
        std::vector<std::string> missing;
        for (SchematicPicture& p : RenderStageSchematics(design, &missing))
            files.push_back(
                {"Schematic", (std::filesystem::path(o.schematics) / p.file).string(), std::move(p.svg)});
        for (const std::string& m : missing)
            err << "velmora: no schematic is drawn yet for the circuit of " << m << "\n";
    }
    // A design saved in the same run is named in the report by the file it is saved as.
    if (!o.report.empty())
        files.push_back({"Report", o.report,
                         ReportPdf(design, design.FileName.empty() && !o.save.empty()
                                               ? std::filesystem::path(o.save).filename().string()
                                               : std::string())});
    if (!o.save.empty()) {
        std::vector<uint8_t> image;
        const DesignFileResult encoded = session.Encode(image);
        if (!encoded.ok()) {
            err << "velmora: " << encoded.message << "\n";
            return 1;
        }
        files.push_back({"Design file", o.save, std::string(image.begin(), image.end())});
    }
    if (!o.ascii.empty())
        files.push_back({"ASCII data file", o.ascii,
                         AsciiText(design, checked.asciiParts, false, CurrentDateTimeText())});
    if (!o.spice.empty()) {
        SpiceNetlist n = session.ExportSpice(SpiceRequest(design, o, checked));
        if (n.status != SpiceStatus::Ok) {
            err << "velmora: " << SpiceStatusMessage(n.status, n.stage) << "\n";
            return 1;
        }
        files.push_back({"SPICE netlist", o.spice, SpiceText(n.lines)});
    }
    std::string message;
    if (!WriteAll(files, {plots ? o.plots : std::string(), schematics ? o.schematics : std::string()},
                  message)) {
        err << "velmora: " << message << "\n";
        return 1;
    }
    if (!o.json)
        for (const PendingFile& f : files)
            out << f.what << " written: " << f.path << "\n";
    return 0;
}

// A design margin m (dB): the approximations are designed for Apb - m and Asb + m, so
// that the filter built keeps m dB in hand at both edges; the realised filter is checked
// against the attenuations specified. The margin must leave a passband attenuation.
long double ApplyDesignMargin(TfmParEnt& form, const std::string& text) {
    const auto m = Checked(app::ReadNumber(ParameterNamed("design-margin"), text, "--design-margin"));
    const auto apb = ParseNonNegative(form.NumEdit1.Text), asb = ParseNonNegative(form.NumEdit2.Text);
    if (!apb || !asb) return 0; // the form reports its own entries
    if (!(m < *apb))
        throw UsageError{"--design-margin " + Shown(text) + " leaves no passband attenuation of the " +
                         form.NumEdit1.Text + " dB specified (the margin must be below it)"};
    form.NumEdit1.Text = TrimmedText(*apb - m, 6);
    form.NumEdit2.Text = TrimmedText(*asb + m, 6);
    return m;
}

int RunDesign(const DesignRequest& r, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    const CheckedOutputs checked = CheckOutputs(o);
    CheckCircuitOptions(r);
    CapacitorOption(r.capacitor);
    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (r.rad) main.rads1Click();

    const std::string typeName = r.type.empty() ? std::string(ParameterNamed("type").defaultValue) : r.type;
    const auto type = static_cast<uint8_t>(ChoiceIndex("type", typeName));
    const bool band = type == Bandpass || type == Bandstop;
    main.StartDesign(type);
    TfmParEnt& form = main.ParEnt;
    // The form's messages on a field it cannot read name no field (the form puts the
    // focus on it): name the option the field came from.
    dialogs.context = [&](const std::string& text) -> std::string {
        if (text != "Invalid Number." && text != "An integer number must be entered.") return {};
        const std::map<std::string, std::string> options = {
            {form.NumEdit1.Name, "--apb"},
            {form.NumEdit2.Name, "--asb"},
            {form.NumEdit3.Name, band ? "--bpb" : "--fpb"},
            {form.NumEdit4.Name, band ? "--bsb" : "--fsb"},
            {form.NumEdit5.Name, "--f0"},
            {form.NumEdit6.Name, r.gainDb.empty() ? "--gain" : "--gain-db"},
            {form.IntEdit1.Name, "--order"}};
        auto it = options.find(form.Focus);
        return it == options.end() ? std::string() : it->second;
    };

    if (band && (!r.fpb.empty() || !r.fsb.empty()))
        throw UsageError{"--fpb and --fsb are the edges of a lowpass or highpass; a " + typeName +
                         " takes --f0, --bpb and --bsb"};
    if (!band && (!r.f0.empty() || !r.bpb.empty() || !r.bsb.empty()))
        throw UsageError{"--f0, --bpb and --bsb belong to a bandpass or bandstop; a " + typeName +
                         " takes --fpb and --fsb"};
    if (!r.gain.empty() && !r.gainDb.empty())
        throw UsageError{"give the gain either in V/V (--gain) or in dB (--gain-db)"};

    if (!r.apb.empty()) SetNumber(form.NumEdit1, "--apb", r.apb);
    if (!r.asb.empty()) SetNumber(form.NumEdit2, "--asb", r.asb);
    if (!r.fpb.empty()) SetFrequency(form.NumEdit3, form.CB1, "--fpb", r.fpb, r.rad);
    if (!r.fsb.empty()) SetFrequency(form.NumEdit4, form.CB2, "--fsb", r.fsb, r.rad);
    if (!r.bpb.empty()) SetFrequency(form.NumEdit3, form.CB1, "--bpb", r.bpb, r.rad);
    if (!r.bsb.empty()) SetFrequency(form.NumEdit4, form.CB2, "--bsb", r.bsb, r.rad);
    if (!r.f0.empty()) SetFrequency(form.NumEdit5, form.CB3, "--f0", r.f0, r.rad);
    if (!r.order.empty()) {
        if (r.order.find_first_not_of("0123456789") != std::string::npos)
            throw UsageError{"invalid order for --order: '" + Shown(r.order) + "' (a whole number from " +
                             std::string(ParameterNamed("order").range) + ")"};
        form.CheckBox1Click();
        form.IntEdit1.Text = r.order;
    }
    if (!r.gain.empty()) {
        form.CB4.ItemIndex = 0;
        form.CB4Change();
        SetNumber(form.NumEdit6, "--gain", r.gain);
    }
    if (!r.gainDb.empty()) {
        form.CB4.ItemIndex = 1;
        form.CB4Change();
        SetNumber(form.NumEdit6, "--gain-db", r.gainDb);
    }

    long double designMarginDb = 0;
    if (!r.designMargin.empty()) designMarginDb = ApplyDesignMargin(form, r.designMargin);

    if (!r.firstStage.empty()) SetCriteria(design.Criteria[0], "--first-stage", r.firstStage);
    if (!r.lastStage.empty()) SetCriteria(design.Criteria[1], "--last-stage", r.lastStage);
    if (!r.orderBy.empty()) design.Opt.OrderByQp = r.orderBy == "qp" ? 1 : 0;

    form.CalcBtnClick();
    // The form refuses entries it cannot accept (a usage error); the one failure that is
    // not about the entries is the program's own data file of Bessel roots.
    if (dialogs.failures > 0) return dialogs.lastText == kBesselFileError ? 1 : 2;
    const bool usable = form.BitBtn1Enabled;
    if (usable) form.BitBtn1Click();
    app::DesignSession session(design);

    // The approximation: the one asked for, or the usable one of lowest order.
    std::string failure;
    int chosen = -1;
    if (usable) {
        chosen = r.approx.empty() ? session.DefaultApproximation() : ChoiceIndex("approx", r.approx);
        if (!session.Usable(chosen)) {
            failure =
                std::string("the ") + kApproxNames[chosen] +
                " approximation cannot be used for this specification (its order would exceed 20 or its "
                "largest pole Q 300)";
            chosen = -1;
        }
    } else {
        failure = "no approximation meets the specification with an order of 20 or less and a pole Q of 300 "
                  "or less";
    }
    if (chosen >= 0) failure = session.RealiseApproximation(chosen).message;
    // Circuits for every stage and their components.
    if (failure.empty() && chosen >= 0) failure = session.DesignCircuits(CircuitRequests(r, design)).message;

    return Finish(main, session, o, checked, r.approx.empty() ? -1 : chosen, failure, out, err,
                  designMarginDb);
}

// `velmora open`: a design file, continued from its stored level.
int RunOpen(const std::string& path, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    const CheckedOutputs checked = CheckOutputs(o);
    if (path.find('\0') != std::string::npos)
        throw UsageError{"the design file's path holds a NUL character"};
    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (!main.OpenDesign(path)) return 1;
    app::DesignSession session(design);
    return Finish(main, session, o, checked, -1, "", out, err);
}

// What `velmora user` was asked for.
struct UserRequest {
    std::vector<std::string> sections;
    bool rad = false;
    std::string circuit, gbw, predistort, compensate;
    std::string capacitor; // --capacitor
};

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

// `velmora user`: a filter built from first- and second-order sections.
int RunUser(const UserRequest& r, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    if (r.sections.empty()) throw UsageError{"give at least one --section"};
    std::vector<app::UserSectionEntry> sections;
    for (const std::string& spec : r.sections)
        sections.push_back(ParseSection(spec, r.rad));
    const CheckedOutputs checked = CheckOutputs(o);
    DesignRequest circuits;
    circuits.circuit = r.circuit;
    circuits.gbw = r.gbw;
    circuits.predistort = r.predistort;
    circuits.compensate = r.compensate;
    circuits.capacitor = r.capacitor;
    CheckCircuitOptions(circuits);
    CapacitorOption(circuits.capacitor);

    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (r.rad) main.rads1Click();
    main.userdefined1Click();
    app::DesignSession session(design);
    if (const app::StepResult entered = session.EnterUserSections(sections); !entered.ok) {
        err << "velmora: " << entered.message << "\n";
        return 1;
    }
    std::string failure = session.RealiseApproximation(0).message;
    if (failure.empty()) failure = session.DesignCircuits(CircuitRequests(circuits, design)).message;
    return Finish(main, session, o, checked, -1, failure, out, err);
}

// A JSON request: an object whose keys are the command's option names without the
// leading dashes ("apb", "gain_db" or "gain-db", "sections" for the repeated --section),
// with numbers or texts as the values of options, true or false for flags, an array of
// texts for the sections, and an optional "schema_version" (1). Options given on the
// command line win. A value of another kind is a usage error naming its key.
void ApplyRequestFile(CLI::App* cmd, const std::string& path) {
    const std::string file = "the request file '" + Shown(path) + "'";
    if (path.find('\0') != std::string::npos)
        throw UsageError{"the request file's path holds a NUL character"};
    if (std::filesystem::is_directory(path)) throw UsageError{"cannot read " + file + ": " + Reason(EISDIR)};
    std::vector<uint8_t> bytes;
    const FileIoResult read = ReadWholeFile(path, std::size_t{64} << 20, bytes);
    if (!read.ok) throw UsageError{"cannot read " + file + ": " + read.message.substr(path.size() + 2)};
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(bytes.begin(), bytes.end());
    } catch (const nlohmann::json::exception& e) {
        throw UsageError{file + " is not valid JSON: " + Shown(e.what())};
    }
    if (!j.is_object()) throw UsageError{file + " must hold one JSON object"};
    for (auto& [key, value] : j.items()) {
        const std::string where = "'" + Shown(key) + "' in " + file;
        if (key == "schema_version") {
            if (value != 1) throw UsageError{file + " has an unknown schema_version"};
            continue;
        }
        std::string name = key == "sections" ? "section" : key;
        std::replace(name.begin(), name.end(), '_', '-');
        CLI::Option* opt = nullptr;
        if (name != "help" && !name.empty() && name[0] != '-' && name.find('\0') == std::string::npos) {
            try {
                opt = cmd->get_option("--" + name);
            } catch (const CLI::OptionNotFound&) {
            }
        }
        if (!opt || !opt->nonpositional()) throw UsageError{"unknown key " + where};
        if (opt->count() > 0) continue; // the command line wins
        // The option's texts, as they would be typed.
        auto text = [&](const nlohmann::json& v) {
            std::string t;
            if (v.is_string())
                t = v.get<std::string>();
            else if (v.is_number())
                t = v.dump(); // the number as written: integers of any size, doubles round-trip
            else
                throw UsageError{"the value of " + where + " must be a number or a text"};
            if (t.empty()) throw UsageError{"the value of " + where + " is empty"};
            if (t.find('\0') != std::string::npos)
                throw UsageError{"the value of " + where + " holds a NUL character"};
            return t;
        };
        std::vector<std::string> texts;
        if (opt->get_expected_min() == 0) { // a flag
            if (!value.is_boolean()) throw UsageError{"the value of " + where + " must be true or false"};
            if (!value.get<bool>()) continue;
            texts.push_back("true");
        } else if (name == "section") {
            if (value.is_array()) {
                if (value.empty()) throw UsageError{"the value of " + where + " holds no section"};
                for (const auto& item : value) {
                    if (!item.is_string()) throw UsageError{"every section of " + where + " must be a text"};
                    texts.push_back(text(item));
                }
            } else if (value.is_string()) {
                texts.push_back(text(value));
            } else {
                throw UsageError{"the value of " + where + " must be an array of texts"};
            }
        } else {
            texts.push_back(text(value));
        }
        try {
            for (const std::string& t : texts)
                opt->add_result(t);
            opt->run_callback();
        } catch (const CLI::Error& e) {
            throw UsageError{"the value of " + where + " is refused: " + Shown(e.what())};
        }
    }
}

// An option given with an empty value ("--apb ''") would read as not given: refuse it.
void RefuseEmptyValues(const CLI::App* cmd) {
    for (const CLI::Option* opt : cmd->get_options()) {
        if (opt->get_expected_min() == 0) continue; // a flag
        for (const std::string& v : opt->results())
            if (v.empty())
                throw UsageError{(opt->nonpositional() ? "--" + opt->get_lnames().front() : opt->get_name()) +
                                 " is given an empty value"};
    }
}

// An option of the parameter table, with its help; a choice is checked as it is read,
// so that a request file's value is refused naming its key.
CLI::Option* AddOption(CLI::App* cmd, std::string_view name, std::string& target) {
    const app::Parameter& p = ParameterNamed(name);
    const std::string option = "--" + std::string(name);
    CLI::Option* opt = cmd->add_option(option, target, app::HelpText(p))->type_name(std::string(p.valueName));
    if (p.kind == app::ParameterKind::Choice) {
        std::string shown(p.choices);
        std::replace(shown.begin(), shown.end(), ',', '|');
        opt->check(CLI::Validator([&p](std::string& v) { return app::CheckChoice(p, v, ""); }, shown));
    }
    return opt;
}

CLI::Option* AddFlag(CLI::App* cmd, std::string_view name, bool& target) {
    return cmd->add_flag("--" + std::string(name), target, app::HelpText(ParameterNamed(name)));
}

// The output options every command that ends in a design takes.
void AddOutputOptions(CLI::App* cmd, OutputRequest& o) {
    for (auto [name, target] :
         std::initializer_list<std::pair<const char*, std::string*>>{{"save", &o.save},
                                                                     {"ascii", &o.ascii},
                                                                     {"ascii-include", &o.asciiInclude},
                                                                     {"spice", &o.spice},
                                                                     {"spice-dialect", &o.spiceDialect},
                                                                     {"spice-opamp", &o.spiceOpamp},
                                                                     {"spice-points", &o.spicePoints}})
        AddOption(cmd, name, *target);
    AddFlag(cmd, "spice-print", o.spicePrint);
    AddFlag(cmd, "spice-plot", o.spicePlot);
    AddFlag(cmd, "no-spice-probe", o.noSpiceProbe);
    AddOption(cmd, "opamp-noise", o.opampNoise);
    for (auto [name, target] : std::initializer_list<std::pair<const char*, std::string*>>{
             {"spice-monte-carlo", &o.spiceMonteCarlo},
             {"plots", &o.plots},
             {"schematics", &o.schematics},
             {"report", &o.report},
             {"fmin", &o.fmin},
             {"fmax", &o.fmax},
             {"points", &o.points}})
        AddOption(cmd, name, *target);
    AddFlag(cmd, "json", o.json);
    AddOption(cmd, "standard-r", o.standardR);
    AddOption(cmd, "strategy", o.strategy);
    AddFlag(cmd, "all-caps-standard", o.allCapsStandard);
    AddFlag(cmd, "use-inventory", o.useInventory);
    for (auto [name, target] :
         std::initializer_list<std::pair<const char*, std::string*>>{{"inventory", &o.inventory},
                                                                     {"tolerance", &o.tolerance},
                                                                     {"opamp-tolerance", &o.opampTolerance},
                                                                     {"tempco", &o.tempco},
                                                                     {"temp-rise", &o.tempRise},
                                                                     {"monte-carlo", &o.monteCarlo}})
        AddOption(cmd, name, *target);
}

void AddCircuitOptions(CLI::App* cmd, std::string& circuit, std::string& gbw, std::string& predistort,
                       std::string& compensate, std::string& capacitor) {
    AddOption(cmd, "circuit", circuit);
    AddOption(cmd, "gbw", gbw);
    AddOption(cmd, "predistort", predistort);
    AddOption(cmd, "compensate", compensate);
    AddOption(cmd, "capacitor", capacitor);
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app{"Velmora: design of active analog filters built from op-amp stages", "velmora"};
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "Print the version and exit");
    app.footer("Commands: design (from a specification), user (from sections), open (a design file).\n"
               "Run 'velmora <command> --help' for the options of a command.");

    OutputRequest o;
    DesignRequest r;
    CLI::App* design = app.add_subcommand("design", "Design a filter from its specification");
    for (auto [name, target] : std::initializer_list<std::pair<const char*, std::string*>>{{"type", &r.type},
                                                                                           {"apb", &r.apb},
                                                                                           {"asb", &r.asb},
                                                                                           {"fpb", &r.fpb},
                                                                                           {"fsb", &r.fsb},
                                                                                           {"f0", &r.f0},
                                                                                           {"bpb", &r.bpb},
                                                                                           {"bsb", &r.bsb}})
        AddOption(design, name, *target);
    AddFlag(design, "rad", r.rad);
    for (auto [name, target] :
         std::initializer_list<std::pair<const char*, std::string*>>{{"order", &r.order},
                                                                     {"gain", &r.gain},
                                                                     {"gain-db", &r.gainDb},
                                                                     {"design-margin", &r.designMargin},
                                                                     {"approx", &r.approx},
                                                                     {"order-by", &r.orderBy},
                                                                     {"first-stage", &r.firstStage},
                                                                     {"last-stage", &r.lastStage}})
        AddOption(design, name, *target);
    AddCircuitOptions(design, r.circuit, r.gbw, r.predistort, r.compensate, r.capacitor);
    AddOutputOptions(design, o);
    std::string designRequest, userRequest;
    design->add_option("request", designRequest, "A JSON design request (keys as the options; docs/cli.md)");
    design->footer(
        "Frequencies are in Hz with an optional k or M suffix (1k = 1000 Hz), or in rad/s with --rad,\n"
        "from " +
        std::string(ParameterNamed("fpb").range) +
        ".\n"
        "Examples:\n"
        "  velmora design --type lowpass --apb 0.5 --asb 30 --fpb 1k --fsb 2k\n"
        "  velmora design --type bandpass --f0 10k --bpb 1k --bsb 3k --order 6 --json\n"
        "  velmora design --approx butterworth --circuit SLP03 --save lp.fl3 --spice lp.cir\n"
        "  velmora design request.json --json      (options in a JSON file; the command line wins)");

    UserRequest u;
    CLI::App* user = app.add_subcommand("user", "Design a filter from first- and second-order sections");
    user->add_option("--section", u.sections, app::HelpText(ParameterNamed("section")));
    AddFlag(user, "rad", u.rad);
    AddCircuitOptions(user, u.circuit, u.gbw, u.predistort, u.compensate, u.capacitor);
    AddOutputOptions(user, o);
    user->add_option("request", userRequest, "A JSON request with a \"sections\" array (docs/cli.md)");
    user->footer("Examples:\n"
                 "  velmora user --section lp2:q=0.707,fp=1k,to=1 --section bs2:q=5,fp=1k,fz=1.2k "
                 "--section lp1:p=1k");

    std::string openPath;
    CLI::App* open = app.add_subcommand("open", "Open a design file and continue from its stored level");
    open->add_option("file", openPath, "Design file (.fl3, or .fl2 of earlier versions)")->required();
    AddOutputOptions(open, o);
    open->footer(
        "Examples:\n  velmora open lp.fl3 --json\n  velmora open lp.fl3 --spice lp.cir --plots plots");

    std::vector<std::string> rest(args.rbegin(), args.rend() - 1); // CLI11 takes them reversed
    try {
        app.parse(rest);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) { // --help: the help of the command it was given to
            out << app.help();
            return 0;
        }
        err << "velmora: " << e.what() << "\n";
        return 2;
    }
    if (version) {
        out << "velmora " << VELMORA_VERSION << "\n";
        return 0;
    }
    // A message is one line of reasonable length, however long the input it quotes.
    auto report = [&](const std::string& message, int status) {
        constexpr std::size_t kLongest = 400;
        err << "velmora: " << (message.size() > kLongest ? message.substr(0, kLongest) + "..." : message)
            << "\n";
        return status;
    };
    try {
        for (const CLI::App* cmd : {design, user, open})
            if (cmd->parsed()) RefuseEmptyValues(cmd);
        if (design->parsed() && !designRequest.empty()) ApplyRequestFile(design, designRequest);
        if (user->parsed() && !userRequest.empty()) ApplyRequestFile(user, userRequest);
        if (design->parsed()) return RunDesign(r, o, out, err);
        if (user->parsed()) return RunUser(u, o, out, err);
        if (open->parsed()) return RunOpen(openPath, o, out, err);
    } catch (const UsageError& e) {
        return report(e.message, 2);
    } catch (const FileError& e) {
        return report(e.message, 1);
    } catch (const std::exception& e) {
        // The last resort: every cause known is handled above, but no input may abort.
        return report(std::string("unexpected failure: ") + e.what(), 1);
    }
    out << app.help();
    return 0;
}

} // namespace velmora::cli
