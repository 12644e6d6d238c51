#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "app/parameters.h"
#include "options.h"

namespace velmora::cli {
namespace {

using app::ParameterNamed;

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
