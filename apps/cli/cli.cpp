#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <numbers>
#include <ostream>
#include <sstream>

#include "analysis/monte_carlo.h"
#include "analysis/tolerance.h"
#include "arguments.h"
#include "circuits/catalogue.h"
#include "circuits/component_adjustment.h"
#include "circuits/selection.h"
#include "circuits/standard_substitution.h"
#include "cli_dialogs.h"
#include "model/inventory_file.h"
#include "model/number_text.h"
#include "output/spice_netlist.h"
#include "report.h"
#include "stages/gains.h"
#include "stages/synthesis.h"
#include "stages/user_sections.h"
#include "ui/response_plots.h"
#include "ui/tfm_ascii.h"
#include "ui/tfm_main.h"
#include "ui/tfm_user.h"
#include <nlohmann/json.hpp>

namespace velmora::cli {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// What `velmora design` was asked for, as typed.
struct DesignRequest {
    std::string type = "lowpass";
    std::string apb, asb, fpb, fsb, f0, bpb, bsb, order, gain, gainDb;
    std::string approx, orderBy, firstStage, lastStage;
    std::string circuit, gbw, predistort, compensate;
    bool rad = false;
};

struct UsageError {
    std::string message;
};

// What to write once a design is computed or opened; the same for every command.
struct OutputRequest {
    bool json = false;
    std::string plots;               // folder for the SVG response plots
    std::string save;                // design file
    std::string ascii, asciiInclude; // ASCII data file and its parts
    std::string spice, spiceDialect = "pspice", spiceOpamp = "vcvs", spicePoints = "200";
    bool spicePrint = false, spicePlot = false;
    std::string spiceMonteCarlo; // RUNS,R%,C%
    // Component values and tolerance analysis of the realised filter.
    std::string standardR, strategy, tolerance, opampTolerance, tempco, tempRise, monteCarlo, inventory;
    bool allCapsStandard = false, useInventory = false;
};

// Sets a frequency field from a value in Hz (or rad/s with --rad). The field shows a
// text that fits it and keeps the exact value, as when the unit is switched in the form.
void SetFrequency(TEditControl& edit, TComboControl& unit, const std::string& option, const std::string& text,
                  bool rad) {
    auto v = ParseScaled(text);
    if (!v)
        throw UsageError{"invalid frequency for " + option + ": '" + text +
                         "' (a non-negative number, optionally with k or M)"};
    if (*v == 0) { // the form itself refuses a zero with its own message
        edit.Text = "0";
        edit.ExactRad.reset();
        return;
    }
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
    if (!v) throw UsageError{"invalid number for " + option + ": '" + text + "' (a non-negative number)"};
    edit.Text = TrimmedText(*v, 9);
}

// A preference list of stage types for the first or the last stage of the cascade,
// highest priority first ("slp,flp"): the criteria the cascade ordering honours.
void SetCriteria(TCascadeCriteria& c, const std::string& option, const std::string& list,
                 const std::array<const char*, 4>& names) {
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
            throw UsageError{"unknown stage type '" + name + "' for " + option + " (one of " + names[0] +
                             ", " + names[1] + ", " + names[2] + ", " + names[3] + ")"};
        if (c.Options[found].Enabled) throw UsageError{"stage type '" + name + "' given twice for " + option};
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
        throw UsageError{"invalid stage number '" + text + "' in " + option};
    const int n = std::stoi(text);
    if (n < 1 || n > stageCount)
        throw UsageError{option + " names stage " + text + ", but the design has " +
                         std::to_string(stageCount) + " stage" + (stageCount == 1 ? "" : "s")};
    return n;
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
                throw UsageError{"unknown circuit '" + key +
                                 "' for --circuit (keys such as SLP01, SBP04, SN09)"};
            if (colon != std::string::npos) {
                const int s = StageNumber(item.substr(0, colon), "--circuit", n);
                if (d.Stages[s].StageType != e->type)
                    throw UsageError{"circuit " + key + " cannot realise stage " + std::to_string(s) +
                                     ", a " + d.Stages[s].Name + "stage"};
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
        if (!hz || *hz <= 0)
            throw UsageError{"invalid gain-bandwidth for --gbw: '" + value + "' (Hz, e.g. 10M)"};
        if (colon == std::string::npos)
            for (auto& q : req)
                q.gbwHz = *hz;
        else
            req[StageNumber(item.substr(0, colon), "--gbw", n) - 1].gbwHz = *hz;
    }
    auto stages = [&](const std::string& list, const std::string& option, bool StageCircuitRequest::*flag) {
        for (const std::string& item : SplitList(list)) {
            if (item == "all") { // every second-order stage: first-order ones have nothing to correct
                for (int s = 1; s <= n; ++s)
                    if (d.Stages[s].StageType >= 2) req[s - 1].*flag = true;
            } else
                req[StageNumber(item, option, n) - 1].*flag = true;
        }
    };
    stages(r.predistort, "--predistort", &StageCircuitRequest::predistort);
    stages(r.compensate, "--compensate", &StageCircuitRequest::compensate);
    for (int s = 1; s <= n; ++s)
        if (req[s - 1].predistort && req[s - 1].compensate)
            throw UsageError{"stage " + std::to_string(s) + " can be predistorted or compensated, not both"};
    return req;
}

// The ASCII data file's parts: "spec,coefficients,poles,frequency" (default: all).
AsciiOptions AsciiParts(const std::string& list) {
    AsciiOptions a;
    if (list.empty()) {
        a.Specification = a.Coefficients = a.PolesZeros = a.FrequencyData = true;
        return a;
    }
    for (const std::string& item : SplitList(list)) {
        if (item == "spec")
            a.Specification = true;
        else if (item == "coefficients")
            a.Coefficients = true;
        else if (item == "poles")
            a.PolesZeros = true;
        else if (item == "frequency")
            a.FrequencyData = true;
        else
            throw UsageError{"unknown part '" + item +
                             "' for --ascii-include (spec, coefficients, poles, frequency)"};
    }
    return a;
}

// The SPICE options asked for, over the default axis of the response graphs.
SpiceOptions SpiceRequest(const TDesign& d, const OutputRequest& o) {
    SpiceOptions s = SpiceOptionsForGraph(DefaultFrequencyAxis(d));
    s.dialect = o.spiceDialect == "ngspice" ? SpiceDialect::Ngspice : SpiceDialect::Default;
    s.opamp = o.spiceOpamp == "single-pole" ? SpiceOpAmpModel::SinglePole : SpiceOpAmpModel::Vcvs;
    s.pointsPerDecade = o.spicePoints;
    s.print = o.spicePrint;
    s.plot = o.spicePlot;
    if (!o.spiceMonteCarlo.empty()) {
        const std::vector<std::string> mc = SplitList(o.spiceMonteCarlo);
        if (mc.size() != 3) throw UsageError{"--spice-monte-carlo takes RUNS,R%,C% (for example 20,1%,5%)"};
        s.monteCarlo = true;
        s.runs = mc[0];
        s.resistorTolerance = mc[1];
        s.capacitorTolerance = mc[2];
    }
    if (s.dialect == SpiceDialect::Ngspice)
        s.dataFile = std::filesystem::path(o.spice).stem().string() + ".ac.txt";
    return s;
}

// "R,C" -> two non-negative numbers.
std::pair<long double, long double> NumberPair(const std::string& text, const std::string& option) {
    const std::vector<std::string> parts = SplitList(text);
    std::optional<long double> a, b;
    if (parts.size() == 2) a = ParseNonNegative(parts[0]), b = ParseNonNegative(parts[1]);
    if (!a || !b) throw UsageError{"invalid value for " + option + ": '" + text + "' (two numbers, R,C)"};
    return {*a, *b};
}

long double Number(const std::string& text, const std::string& option) {
    auto v = ParseNonNegative(text);
    if (!v) throw UsageError{"invalid number for " + option + ": '" + text + "' (a non-negative number)"};
    return *v;
}

// Component characteristics, standard values and inventories, applied to a design whose
// components are calculated. Returns the messages for the person (notes and failures);
// `failed` is set when a request could not be carried out.
std::vector<std::string> ApplyComponentRequests(TDesign& d, const OutputRequest& o, bool& failed,
                                                std::optional<MonteCarloResult>& monteCarlo) {
    std::vector<std::string> notes;
    ToleranceRequest t;
    if (!o.tolerance.empty())
        std::tie(t.ResistorPct, t.CapacitorPct) = NumberPair(o.tolerance, "--tolerance");
    if (!o.tempco.empty()) std::tie(t.ResistorPpm, t.CapacitorPpm) = NumberPair(o.tempco, "--tempco");
    if (!o.opampTolerance.empty()) t.OpAmpPct = Number(o.opampTolerance, "--opamp-tolerance");
    if (!o.tempRise.empty()) t.TempRise = Number(o.tempRise, "--temp-rise");
    int strategy = 1;
    if (!o.strategy.empty()) {
        if (o.strategy != "1" && o.strategy != "2") throw UsageError{"--strategy takes 1 or 2"};
        strategy = o.strategy == "2" ? 2 : 1;
    }
    int series = 0;
    if (!o.standardR.empty()) {
        if (o.standardR != "1" && o.standardR != "5" && o.standardR != "10")
            throw UsageError{"--standard-r takes 1, 5 or 10 (the resistor series in percent)"};
        series = std::stoi(o.standardR);
    }
    int runs = 0;
    if (!o.monteCarlo.empty()) {
        if (o.monteCarlo.find_first_not_of("0123456789") != std::string::npos || o.monteCarlo.size() > 7 ||
            std::stoi(o.monteCarlo) < 1)
            throw UsageError{"--monte-carlo takes a number of runs from 1 to 9999999"};
        runs = std::stoi(o.monteCarlo);
    }
    if (d.DesignLevel < LevelComponents) return notes;
    if (!ApplyToleranceRequest(d, t)) {
        notes.push_back("the tolerance settings were refused");
        failed = true;
        return notes;
    }
    // The inventory: the file given, or the user's; a missing file of the user's means
    // everything is in stock, a damaged one is an error (the command line never rewrites it).
    Inventory inventory = FullInventory();
    const bool wantInventory = o.useInventory || !o.inventory.empty();
    if (wantInventory) {
        std::optional<std::string> path =
            o.inventory.empty() ? InventoryFilePath() : std::optional(o.inventory);
        if (path) {
            InventoryReadResult r = ReadInventoryFile(*path, inventory);
            if (r.status == InventoryReadStatus::Unreadable || r.status == InventoryReadStatus::Damaged ||
                (r.status == InventoryReadStatus::Missing && !o.inventory.empty())) {
                notes.push_back(*path + ": " + (r.message.empty() ? "cannot be read" : r.message));
                failed = true;
                return notes;
            }
        }
        d.Components.UseResInventory = 1;
        d.Components.UseCapInventory = 1;
    }
    if (o.allCapsStandard) {
        for (const std::string& n : MakeCapacitorsStandard(d, wantInventory ? &inventory : nullptr))
            notes.push_back(n);
        d.Components.AllCapsStandard = 1;
    }
    if (series > 0) {
        d.Components.ResistorTolerance = static_cast<long double>(series);
        d.Components.SubstitutionStrategy = static_cast<uint8_t>(strategy);
        StandardRResult r = SwitchStandardROn(d, wantInventory ? &inventory : nullptr);
        if (!r.ok) {
            notes.push_back(r.refusal);
            failed = true;
            return notes;
        }
        if (!r.capacitorsMessage.empty()) notes.push_back(r.capacitorsMessage);
        for (const std::string& n : r.notes)
            notes.push_back(n);
    }
    // Standard capacitors and resistors move the stage gains a little: the overall gain
    // reached is that of the values now in the circuits.
    if (o.allCapsStandard || series > 0) OverallActualGain(d);
    if (runs > 0) {
        MonteCarloOptions mc;
        mc.Runs = runs;
        monteCarlo = RunMonteCarlo(d, mc);
    }
    return notes;
}

// The report (text or JSON) and the files asked for. A file that cannot be written
// is a failure (exit 1) after the report.
int Finish(TfmMain& main, const OutputRequest& o, int onlyApprox, const std::string& failure,
           std::ostream& out, std::ostream& err) {
    TDesign& design = main.Design();
    bool requestFailed = false;
    std::optional<MonteCarloResult> monteCarlo;
    const std::vector<std::string> notes = ApplyComponentRequests(design, o, requestFailed, monteCarlo);
    for (const std::string& n : notes)
        err << "velmora: " << n << "\n";
    ReportOptions ro;
    ro.onlyApprox = onlyApprox;
    ro.monteCarlo = monteCarlo ? &*monteCarlo : nullptr;
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
    int status = failure.empty() && !requestFailed ? 0 : 1;
    if (!failure.empty()) err << "velmora: " << failure << "\n";
    auto written = [&](const std::string& what, const std::string& path) {
        if (!o.json) out << what << " written: " << path << "\n";
    };
    if (!o.plots.empty() && design.ResultsReady) {
        std::error_code ec;
        std::filesystem::create_directories(o.plots, ec);
        PlotOptions po;
        po.Only = onlyApprox;
        PlotWriteResult plots = WriteIdealResponsePlots(design, o.plots, po);
        if (!plots.ok) {
            err << "velmora: " << plots.message << "\n";
            status = 1;
        } else {
            for (const std::string& f : plots.files)
                written("Plot", f);
        }
    }
    if (!o.save.empty()) {
        if (main.SaveDesignAs(o.save))
            written("Design file", o.save);
        else
            status = 1;
    }
    if (!o.ascii.empty()) {
        FileIoResult a = ExportAscii(design, AsciiParts(o.asciiInclude), false, o.ascii);
        if (!a.ok) {
            err << "velmora: " << a.message << "\n";
            status = 1;
        } else {
            written("ASCII data file", o.ascii);
        }
    }
    if (!o.spice.empty()) {
        SpiceNetlist n = BuildSpiceNetlist(design, SpiceRequest(design, o));
        if (n.status != SpiceStatus::Ok) {
            err << "velmora: " << SpiceStatusMessage(n.status, n.stage) << "\n";
            status = 1;
        } else {
            FileIoResult w = WriteSpiceNetlist(o.spice, n.lines);
            if (!w.ok) {
                err << "velmora: " << w.message << "\n";
                status = 1;
            } else {
                written("SPICE netlist", o.spice);
            }
        }
    }
    return status;
}

int ApproxIndexOf(const std::string& name) {
    static const std::map<std::string, int> names = {{"butterworth", Butterworth},
                                                     {"chebyshev", Chebyshev},
                                                     {"inverse-chebyshev", InverseChebyshev},
                                                     {"elliptic", Elliptic},
                                                     {"bessel", Bessel}};
    return names.at(name);
}

int RunDesign(const DesignRequest& r, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (r.rad) main.rads1Click();

    static const std::map<std::string, uint8_t> types = {
        {"lowpass", Lowpass}, {"highpass", Highpass}, {"bandpass", Bandpass}, {"bandstop", Bandstop}};
    const uint8_t type = types.at(r.type);
    const bool band = type == Bandpass || type == Bandstop;
    main.StartDesign(type);
    TfmParEnt& form = main.ParEnt;

    if (band && (!r.fpb.empty() || !r.fsb.empty()))
        throw UsageError{"--fpb and --fsb are the edges of a lowpass or highpass; a " + r.type +
                         " takes --f0, --bpb and --bsb"};
    if (!band && (!r.f0.empty() || !r.bpb.empty() || !r.bsb.empty()))
        throw UsageError{"--f0, --bpb and --bsb belong to a bandpass or bandstop; a " + r.type +
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
            throw UsageError{"invalid order for --order: '" + r.order + "' (a whole number from 1 to 20)"};
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

    if (!r.firstStage.empty())
        SetCriteria(design.Criteria[0], "--first-stage", r.firstStage, {"flp", "slp", "slpn", "sbp"});
    if (!r.lastStage.empty())
        SetCriteria(design.Criteria[1], "--last-stage", r.lastStage, {"fhp", "shp", "shpn", "sbp"});
    if (!r.orderBy.empty()) design.Opt.OrderByQp = r.orderBy == "qp" ? 1 : 0;

    form.CalcBtnClick();
    if (dialogs.failures > 0) return 1;
    const bool usable = form.BitBtn1Enabled;
    if (usable) form.BitBtn1Click();

    // The approximation: the one asked for, or the usable one of lowest order.
    std::string failure;
    int chosen = -1;
    if (usable) {
        chosen = r.approx.empty() ? DefaultApproximation(design) : ApproxIndexOf(r.approx);
        if (!isUsable(design.Approx[chosen])) {
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
    if (chosen >= 0) {
        ChooseApproximation(design, chosen);
        SynthesisStatus st = SynthesiseStages(design);
        if (st != SynthesisStatus::Ok) failure = SynthesisMessage(st);
    }
    // Circuits for every stage and their components.
    if (failure.empty() && chosen >= 0) {
        CircuitsOutcome outcome = DesignStageCircuits(design, CircuitRequests(r, design));
        if (!outcome.ok) failure = outcome.message;
    }

    return Finish(main, o, r.approx.empty() ? -1 : chosen, failure, out, err);
}

// `velmora open`: a design file, continued from its stored level.
int RunOpen(const std::string& path, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (!main.OpenDesign(path)) return 1;
    return Finish(main, o, -1, "", out, err);
}

// What `velmora user` was asked for.
struct UserRequest {
    std::vector<std::string> sections;
    bool rad = false;
    std::string circuit, gbw, predistort, compensate;
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
std::pair<UserSection, TUserBlock> ParseSection(const std::string& spec, bool rad) {
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
    std::vector<std::pair<UserSection, TUserBlock>> sections;
    for (const std::string& spec : r.sections)
        sections.push_back(ParseSection(spec, r.rad));

    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (r.rad) main.rads1Click();
    main.userdefined1Click();
    for (size_t i = 0; i < sections.size(); ++i) {
        UserAddStatus st = AddUserSection(design, sections[i].first, sections[i].second);
        if (st != UserAddStatus::Ok) {
            err << "velmora: section " << i + 1 << ": " << UserAddMessage(st) << "\n";
            return 1;
        }
    }
    CompleteUserFilter(design);
    std::string failure;
    ChooseApproximation(design, 0);
    SynthesisStatus st = SynthesiseStages(design);
    if (st != SynthesisStatus::Ok) failure = SynthesisMessage(st);
    if (failure.empty()) {
        DesignRequest circuits;
        circuits.circuit = r.circuit;
        circuits.gbw = r.gbw;
        circuits.predistort = r.predistort;
        circuits.compensate = r.compensate;
        CircuitsOutcome outcome = DesignStageCircuits(design, CircuitRequests(circuits, design));
        if (!outcome.ok) failure = outcome.message;
    }
    return Finish(main, o, -1, failure, out, err);
}

// A JSON request: an object whose keys are the command's option names without the
// leading dashes ("apb", "gain_db" or "gain-db", "sections" for the repeated --section),
// with numbers, strings, booleans (flags) or arrays (repeated options) as values, and
// an optional "schema_version" (1). Options given on the command line win.
void ApplyRequestFile(CLI::App* cmd, const std::string& path) {
    std::ifstream in(path);
    if (!in) throw UsageError{"cannot read the request file '" + path + "'"};
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        throw UsageError{"the request file '" + path + "' is not valid JSON: " + e.what()};
    }
    if (!j.is_object()) throw UsageError{"the request file '" + path + "' must hold one JSON object"};
    auto text = [&](const nlohmann::json& v, const std::string& key) -> std::string {
        if (v.is_string()) return v.get<std::string>();
        if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
        if (v.is_number_integer()) return std::to_string(v.get<long long>());
        if (v.is_number()) {
            std::ostringstream os;
            os << std::setprecision(17) << v.get<double>();
            return os.str();
        }
        throw UsageError{"the value of '" + key + "' in '" + path +
                         "' must be a number, a text or true/false"};
    };
    for (auto& [key, value] : j.items()) {
        if (key == "schema_version") {
            if (value != 1) throw UsageError{"the request file '" + path + "' has an unknown schema_version"};
            continue;
        }
        std::string name = key == "sections" ? "section" : key;
        std::replace(name.begin(), name.end(), '_', '-');
        CLI::Option* opt = nullptr;
        try {
            opt = cmd->get_option("--" + name);
        } catch (const CLI::OptionNotFound&) {
            throw UsageError{"unknown key '" + key + "' in the request file '" + path + "'"};
        }
        if (opt->count() > 0) continue; // the command line wins
        if (value.is_array()) {
            for (const auto& item : value)
                opt->add_result(text(item, key));
        } else {
            if (value.is_boolean() && !value.get<bool>()) continue;
            opt->add_result(text(value, key));
        }
        opt->run_callback();
    }
}

// The output options every command that ends in a design takes.
void AddOutputOptions(CLI::App* cmd, OutputRequest& o) {
    cmd->add_option("--save", o.save, "Save the design file (.fl3)");
    cmd->add_option("--ascii", o.ascii, "Write the ASCII data file (.dat)");
    cmd->add_option("--ascii-include", o.asciiInclude,
                    "Parts of the ASCII data file: spec,coefficients,poles,frequency (default: all)");
    cmd->add_option("--spice", o.spice, "Write the SPICE netlist of the realised filter (.cir)");
    cmd->add_option("--spice-dialect", o.spiceDialect, "Netlist dialect (default pspice)")
        ->check(CLI::IsMember({"pspice", "ngspice"}));
    cmd->add_option("--spice-opamp", o.spiceOpamp,
                    "Op-amp model: ideal VCVS or single-pole GBW (default vcvs)")
        ->check(CLI::IsMember({"vcvs", "single-pole"}));
    cmd->add_option("--spice-points", o.spicePoints, "Sweep points per decade (default 200)");
    cmd->add_flag("--spice-print", o.spicePrint, "Add a .PRINT AC line");
    cmd->add_flag("--spice-plot", o.spicePlot, "Add a line-printer .PLOT AC line");
    cmd->add_option("--spice-monte-carlo", o.spiceMonteCarlo,
                    "Monte Carlo request: RUNS,R%,C% with tolerances 1%, 2%, 5% or 10% (e.g. 20,1%,5%)");
    cmd->add_option(
        "--plots", o.plots,
        "Write the ideal responses as SVG pictures (gain, phase, delay, step, impulse, pole-zero) "
        "into this folder; with --approx only that approximation");
    cmd->add_flag("--json", o.json, "Print one JSON document instead of the text report");
    cmd->add_option("--standard-r", o.standardR, "Substitute standard resistors of the 1, 5 or 10 % series");
    cmd->add_option(
        "--strategy", o.strategy,
        "Substitution strategy: 1 the combination that keeps each stage's response closest (default), "
        "2 the nearest standard value of each resistor");
    cmd->add_flag("--all-caps-standard", o.allCapsStandard,
                  "Give every capacitor a standard 12-value series value");
    cmd->add_flag(
        "--use-inventory", o.useInventory,
        "Draw standard values from the component inventory (the user's RCInvent.dat, or --inventory)");
    cmd->add_option("--inventory", o.inventory, "Component inventory file to use (implies --use-inventory)");
    cmd->add_option("--tolerance", o.tolerance,
                    "Resistor and capacitor tolerances in percent: R,C (default 1,1)");
    cmd->add_option("--opamp-tolerance", o.opampTolerance, "Op-amp gain-bandwidth tolerance in percent");
    cmd->add_option("--tempco", o.tempco, "Resistor and capacitor temperature coefficients in ppm/degC: R,C");
    cmd->add_option("--temp-rise", o.tempRise, "Temperature rise for the temperature analysis, degC");
    cmd->add_option(
        "--monte-carlo", o.monteCarlo,
        "Monte Carlo analysis of the realised filter with this many runs (Gaussian, 3 sigma at the "
        "tolerance, fixed seed)");
}

void AddCircuitOptions(CLI::App* cmd, std::string& circuit, std::string& gbw, std::string& predistort,
                       std::string& compensate) {
    cmd->add_option(
        "--circuit", circuit,
        "Circuits: keys for every stage of their type (SLP03,FLP02) or per stage (1:SLP03,2:FLP01); "
        "default: an automatic choice per stage");
    cmd->add_option("--gbw", gbw,
                    "Op-amp gain-bandwidth in Hz for every stage (10M) or per stage (1:10M,2:1M)");
    cmd->add_option("--predistort", predistort,
                    "Predistort these stages for the op-amp GBW (1,2 or all second-order stages)");
    cmd->add_option("--compensate", compensate,
                    "Use the actively compensated circuit for these stages (1,2 or all second-order stages)");
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
    design->add_option("--type", r.type, "Filter type")
        ->check(CLI::IsMember({"lowpass", "highpass", "bandpass", "bandstop"}))
        ->default_str("lowpass");
    design->add_option("--apb", r.apb, "Maximum passband attenuation, dB (default 0.5)");
    design->add_option("--asb", r.asb, "Minimum stopband attenuation, dB (default 30)");
    design->add_option("--fpb", r.fpb, "Passband edge of a lowpass or highpass (default 1k)");
    design->add_option("--fsb", r.fsb, "Stopband edge of a lowpass or highpass (default 2k)");
    design->add_option("--f0", r.f0, "Centre frequency of a bandpass or bandstop (default 2k)");
    design->add_option("--bpb", r.bpb, "Passband bandwidth of a bandpass or bandstop");
    design->add_option("--bsb", r.bsb, "Stopband bandwidth of a bandpass or bandstop");
    design->add_flag("--rad", r.rad, "Frequencies are in rad/s instead of Hz");
    design->add_option("--order", r.order, "Force the filter order (1..20; even for bandpass and bandstop)");
    design->add_option("--gain", r.gain, "Overall gain in V/V (0.1..1000, default 1)");
    design->add_option("--gain-db", r.gainDb, "Overall gain in dB (up to 60)");
    design
        ->add_option("--approx", r.approx,
                     "Approximation to realise (default: the usable one of lowest order)")
        ->check(CLI::IsMember({"butterworth", "chebyshev", "inverse-chebyshev", "elliptic", "bessel"}));
    design->add_option("--order-by", r.orderBy, "Cascade the stages for maximum flatness or by increasing Qp")
        ->check(CLI::IsMember({"flatness", "qp"}));
    design->add_option("--first-stage", r.firstStage,
                       "Preferred types of the first stage, highest priority first (flp,slp,slpn,sbp)");
    design->add_option("--last-stage", r.lastStage,
                       "Preferred types of the last stage, highest priority first (fhp,shp,shpn,sbp)");
    AddCircuitOptions(design, r.circuit, r.gbw, r.predistort, r.compensate);
    AddOutputOptions(design, o);
    std::string designRequest, userRequest;
    design->add_option("request", designRequest, "A JSON design request (keys as the options; docs/cli.md)");
    design->footer(
        "Frequencies are in Hz with an optional k or M suffix (1k = 1000 Hz), or in rad/s with --rad.\n"
        "Examples:\n"
        "  velmora design --type lowpass --apb 0.5 --asb 30 --fpb 1k --fsb 2k\n"
        "  velmora design --type bandpass --f0 10k --bpb 1k --bsb 3k --order 6 --json\n"
        "  velmora design --approx butterworth --circuit SLP03 --save lp.fl3 --spice lp.cir\n"
        "  velmora design request.json --json      (options in a JSON file; the command line wins)");

    UserRequest u;
    CLI::App* user = app.add_subcommand("user", "Design a filter from first- and second-order sections");
    user->add_option(
        "--section", u.sections,
        "A section, repeated in cascade order: lp1|hp1:p=F[,to=G]; lp2|hp2|bp2:q=Q,fp=F[,to=G] or "
        "re=R,im=I[,to=G]; bs2:q=Q,fp=F,fz=F[,to=G] or re=R,im=I,z=F[,to=G]");
    user->add_flag("--rad", u.rad, "Frequencies are in rad/s instead of Hz");
    AddCircuitOptions(user, u.circuit, u.gbw, u.predistort, u.compensate);
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
    try {
        if (design->parsed() && !designRequest.empty()) ApplyRequestFile(design, designRequest);
        if (user->parsed() && !userRequest.empty()) ApplyRequestFile(user, userRequest);
        if (design->parsed()) return RunDesign(r, o, out, err);
        if (user->parsed()) return RunUser(u, o, out, err);
        if (open->parsed()) return RunOpen(openPath, o, out, err);
    } catch (const UsageError& e) {
        err << "velmora: " << e.message << "\n";
        return 2;
    }
    out << app.help();
    return 0;
}

} // namespace velmora::cli
