#include "cli.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <map>
#include <numbers>
#include <ostream>

#include "arguments.h"
#include "circuits/catalogue.h"
#include "circuits/selection.h"
#include "cli_dialogs.h"
#include "model/number_text.h"
#include "report.h"
#include "stages/synthesis.h"
#include "ui/response_plots.h"
#include "ui/tfm_main.h"

namespace velmora::cli {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// What `velmora design` was asked for, as typed.
struct DesignRequest {
    std::string type = "lowpass";
    std::string apb, asb, fpb, fsb, f0, bpb, bsb, order, gain, gainDb;
    std::string approx, orderBy, firstStage, lastStage;
    std::string plots; // folder for the SVG response plots
    std::string circuit, gbw, predistort, compensate;
    bool rad = false;
    bool json = false;
};

struct UsageError {
    std::string message;
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

int ApproxIndexOf(const std::string& name) {
    static const std::map<std::string, int> names = {{"butterworth", Butterworth},
                                                     {"chebyshev", Chebyshev},
                                                     {"inverse-chebyshev", InverseChebyshev},
                                                     {"elliptic", Elliptic},
                                                     {"bessel", Bessel}};
    return names.at(name);
}

int RunDesign(const DesignRequest& r, std::ostream& out, std::ostream& err) {
    TDesign design;
    CliDialogs dialogs(err);
    TfmMain main(design, dialogs);
    if (r.rad) main.rads1Click();

    static const std::map<std::string, uint8_t> types = {
        {"lowpass", Lowpass}, {"highpass", Highpass}, {"bandpass", Bandpass}, {"bandstop", Bandstop}};
    const uint8_t type = types.at(r.type);
    const bool band = type == Bandpass || type == Bandstop;
    switch (type) {
    case Lowpass:
        main.Lowpass1Click();
        break;
    case Highpass:
        main.Highpass1Click();
        break;
    case Bandpass:
        main.Bandpass1Click();
        break;
    default:
        main.Bandstop1Click();
        break;
    }
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

    ReportOptions ro;
    ro.onlyApprox = r.approx.empty() ? -1 : chosen;
    if (r.json) {
        out << DesignJson(design, ro).dump(2) << "\n";
    } else {
        out << "Velmora " << VELMORA_VERSION << "\n\n";
        PrintSpecification(out, design);
        PrintComparisonTable(out, form.Table);
        if (chosen >= 0) PrintStages(out, design);
        PrintCircuits(out, design);
    }
    if (!r.plots.empty() && design.ResultsReady) {
        std::error_code ec;
        std::filesystem::create_directories(r.plots, ec);
        PlotOptions po;
        po.Only = ro.onlyApprox;
        PlotWriteResult written = WriteIdealResponsePlots(design, r.plots, po);
        if (!written.ok) {
            err << "velmora: " << written.message << "\n";
            return 1;
        }
        if (!r.json)
            for (const std::string& f : written.files)
                out << "Plot written: " << f << "\n";
    }
    if (!failure.empty()) {
        err << "velmora: " << failure << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app{"Velmora: design of active analog filters built from op-amp stages", "velmora"};
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "Print the version and exit");

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
    design->add_option(
        "--circuit", r.circuit,
        "Circuits: keys for every stage of their type (SLP03,FLP02) or per stage (1:SLP03,2:FLP01); "
        "default: an automatic choice per stage");
    design->add_option("--gbw", r.gbw,
                       "Op-amp gain-bandwidth in Hz for every stage (10M) or per stage (1:10M,2:1M)");
    design->add_option("--predistort", r.predistort,
                       "Predistort these stages for the op-amp GBW (1,2 or all second-order stages)");
    design->add_option(
        "--compensate", r.compensate,
        "Use the actively compensated circuit for these stages (1,2 or all second-order stages)");
    design->add_option(
        "--plots", r.plots,
        "Write the ideal responses as SVG pictures (gain, phase, delay, step, impulse, pole-zero) "
        "into this folder; with --approx only that approximation");
    design->add_flag("--json", r.json, "Print one JSON document instead of the text report");
    design->footer(
        "Frequencies are in Hz with an optional k or M suffix (1k = 1000 Hz), or in rad/s with --rad.\n"
        "Examples:\n"
        "  velmora design --type lowpass --apb 0.5 --asb 30 --fpb 1k --fsb 2k\n"
        "  velmora design --type bandpass --f0 10k --bpb 1k --bsb 3k --order 6 --json");

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
    if (!design->parsed()) {
        out << app.help();
        return 0;
    }
    try {
        return RunDesign(r, out, err);
    } catch (const UsageError& e) {
        err << "velmora: " << e.message << "\n";
        return 2;
    }
}

} // namespace velmora::cli
