// The command line's requests as typed, and their reading: every option is checked
// before anything is computed, and turned into what the application layer's use-cases take.
#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/design_session.h"
#include "app/entry_form.h"
#include "app/parameters.h"
#include "model/ascii_export.h"
#include "output/spice_netlist.h"

namespace velmora::cli {

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

// What `velmora user` was asked for.
struct UserRequest {
    std::vector<std::string> sections;
    bool rad = false;
    std::string circuit, gbw, predistort, compensate;
    std::string capacitor; // --capacitor
};

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

// An input shown in a message: control characters escaped, long texts cut.
std::string Shown(const std::string& text);
std::vector<std::string> SplitList(const std::string& list);
// The position of a value among its parameter's choices, in the order the table lists them.
int ChoiceIndex(std::string_view name, const std::string& value);
// The system's reason for an error number, as the file readers and writers give it.
std::string Reason(int error);

// The specification entries of `velmora design`, over the defaults of its filter type.
// Returns the design margin in dB (0: none): the entries then ask for the tighter
// attenuations, and the realised filter is judged against those specified.
uint8_t FilterType(const DesignRequest& r);
long double SpecificationEntries(const DesignRequest& r, app::SpecificationEntry& e);
// The option a refused entry came from ("--apb"), or empty when the message names none.
std::string EntryOption(const DesignRequest& r, const app::EntryIssue& issue);
// --first-stage, --last-stage and --order-by into the session.
void ApplyCascadeOptions(const DesignRequest& r, app::DesignSession& session);

// The circuit options read without a design: known circuit keys, stage numbers in
// digits, gain-bandwidths and capacitors in range.
void CheckCircuitOptions(const DesignRequest& r);
// The circuit request of every stage of the design.
std::vector<StageCircuitRequest> CircuitRequests(const DesignRequest& r, const TDesign& d);
// "lp2:q=0.707,fp=1k,to=1": a section in rad/s and the texts its entry form would show.
app::UserSectionEntry ParseSection(const std::string& spec, bool rad);

CheckedOutputs CheckOutputs(const OutputRequest& o);
// The axis of the plots, response data and SPICE sweep within --fmin and --fmax; a single
// limit that crosses the design's other limit is a usage error.
FrequencyAxis CheckResponseAxis(const app::DesignSession& session, const OutputRequest& o,
                                const CheckedOutputs& c);

// The JSON request file's keys as options of the command; the command line wins.
void ApplyRequestFile(CLI::App* cmd, const std::string& path);
// An option given with an empty value ("--apb ''") would read as not given: refuse it.
void RefuseEmptyValues(const CLI::App* cmd);

// The commands, once their options are read.
int RunDesign(const DesignRequest& r, const OutputRequest& o, std::ostream& out, std::ostream& err);
int RunUser(const UserRequest& r, const OutputRequest& o, std::ostream& out, std::ostream& err);
int RunOpen(const std::string& path, const OutputRequest& o, std::ostream& out, std::ostream& err);

} // namespace velmora::cli
