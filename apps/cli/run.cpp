#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <unistd.h>

#include "app/messages.h"
#include "app/output_files.h"
#include "model/file_io.h"
#include "model/number_text.h"
#include "options.h"
#include "report.h"
#include "ui/report_painter.h"
#include "ui/response_plots.h"
#include "ui/schematic_painter.h"
#include "ui/tfm_ascii.h"

namespace velmora::cli {
namespace {

using app::ParameterNamed;

// The sweep's points per decade: --spice-points, else as many as give --points over the
// axis's decades, else 200.
std::string SweepPointsPerDecade(const SpiceOptions& s, const OutputRequest& o, const CheckedOutputs& c) {
    if (!o.spicePoints.empty()) return o.spicePoints;
    if (c.points <= 0) return std::string(ParameterNamed("spice-points").defaultValue);
    const long double decades = std::log10(s.endHz / s.startHz);
    const long double perDecade = std::ceil((c.points - 1) / std::max(decades, 1e-3L) - 1e-9L);
    return std::to_string(
        static_cast<long>(std::clamp<long double>(perDecade, 1, ParameterNamed("spice-points").high)));
}

// The SPICE options asked for, over the axis of the plots and response data.
SpiceOptions SpiceRequest(const app::DesignSession& session, const OutputRequest& o,
                          const CheckedOutputs& c) {
    SpiceOptions s = session.SpiceOptionsFor(c.limits);
    s.dialect = c.spiceDialect;
    s.opamp = c.spiceOpamp;
    s.pointsPerDecade = SweepPointsPerDecade(s, o, c);
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

using app::PendingFile;

// The report (text or JSON) and the files asked for. A run that fails, whether in the
// design, in a component request or in writing a file, writes none of the files.
int Finish(app::DesignSession& session, const OutputRequest& o, const CheckedOutputs& checked, int onlyApprox,
           const std::string& failure, std::ostream& out, std::ostream& err, long double designMarginDb = 0) {
    TDesign& design = session.Design();
    const FrequencyAxis responseAxis = CheckResponseAxis(session, o, checked);
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
    const app::DesignResults results = app::Results(design, ResultOptionsOf(ro));
    if (o.json) {
        out << DesignJson(design, ro, results).dump(2) << "\n";
    } else {
        out << "Velmora " << VELMORA_VERSION << "\n\n";
        if (design.Spec.FilterType != UserDefined) {
            PrintSpecification(out, design);
            PrintComparisonTable(out, session.Comparison());
        }
        PrintStages(out, design, results);
        PrintCircuits(out, design, results);
        PrintAnalyses(out, design, ro, results);
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
            err << "velmora: " << app::DesignFileMessage(encoded) << "\n";
            return 1;
        }
        files.push_back({"Design file", o.save, std::string(image.begin(), image.end())});
    }
    if (!o.ascii.empty())
        files.push_back({"ASCII data file", o.ascii,
                         AsciiText(design, checked.asciiParts, false, CurrentDateTimeText())});
    if (!o.spice.empty()) {
        SpiceNetlist n = session.ExportSpice(SpiceRequest(session, o, checked));
        if (n.status != SpiceStatus::Ok) {
            err << "velmora: " << app::SpiceStatusMessage(n.status, n.stage) << "\n";
            return 1;
        }
        files.push_back({"SPICE netlist", o.spice, SpiceText(n.lines)});
    }
    std::string message;
    if (!app::WriteAll(files, {plots ? o.plots : std::string(), schematics ? o.schematics : std::string()},
                       message)) {
        err << "velmora: " << message << "\n";
        return 1;
    }
    if (!o.json)
        for (const PendingFile& f : files)
            out << f.what << " written: " << f.path << "\n";
    return 0;
}

} // namespace

int RunDesign(const DesignRequest& r, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    const CheckedOutputs checked = CheckOutputs(o);
    CheckCircuitOptions(r);
    TDesign design;
    app::DesignSession session(design);
    if (r.rad) session.SetFrequencyUnit(false);
    app::SpecificationEntry entry = session.StartDesign(FilterType(r));
    const long double designMarginDb = SpecificationEntries(r, entry);
    ApplyCascadeOptions(r, session);

    const app::SpecificationOutcome specified = session.EnterSpecification(entry);
    // Refused entries are a usage error; the one failure that is not about the entries is
    // the program's own data file of Bessel roots.
    for (const app::EntryIssue& issue : specified.issues) {
        const std::string option = EntryOption(r, issue);
        err << "velmora: " << (option.empty() ? "" : option + ": ") << app::EntryMessage(issue.problem)
            << "\n";
    }
    if (!specified.issues.empty()) return 2;
    if (specified.status == app::SpecificationStatus::BesselRootsUnavailable) {
        err << "velmora: " << app::kBesselFileError << "\n";
        return 1;
    }
    const bool usable = specified.ready;

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

    return Finish(session, o, checked, r.approx.empty() ? -1 : chosen, failure, out, err, designMarginDb);
}

// `velmora open`: a design file, continued from its stored level.
int RunOpen(const std::string& path, const OutputRequest& o, std::ostream& out, std::ostream& err) {
    const CheckedOutputs checked = CheckOutputs(o);
    if (path.find('\0') != std::string::npos)
        throw UsageError{"the design file's path holds a NUL character"};
    TDesign design;
    app::DesignSession session(design);
    const Inventory everything = FullInventory();
    const app::OpenOutcome opened = session.OpenDesign(path, &everything);
    if (!opened.ok) {
        err << "velmora: " << opened.message << "\n";
        return 1;
    }
    for (const std::string& note : opened.notes)
        err << "velmora: " << note << "\n";
    return Finish(session, o, checked, -1, "", out, err);
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

    TDesign design;
    app::DesignSession session(design);
    if (r.rad) session.SetFrequencyUnit(false);
    session.StartDesign(UserDefined);
    if (const app::StepResult entered = session.EnterUserSections(sections); !entered.ok) {
        err << "velmora: " << entered.message << "\n";
        return 1;
    }
    std::string failure = session.RealiseApproximation(0).message;
    if (failure.empty()) failure = session.DesignCircuits(CircuitRequests(circuits, design)).message;
    return Finish(session, o, checked, -1, failure, out, err);
}

} // namespace velmora::cli
