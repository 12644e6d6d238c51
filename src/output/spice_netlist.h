// The SPICE netlist of the final circuit: one subcircuit per stage, driven by an AC
// source, with either an ideal op amp (a voltage-controlled voltage source of gain 1e5)
// or a single-pole model per distinct op amp (unity-gain frequency OpAmpGBW, DC gain
// 1e5, input noise set by a resistor).
//
// Two dialects write the same circuit:
//  - Default: the statements of the classic commercial simulators (.PROBE, .MC, models
//    of types RES and CAP with a DEV tolerance).
//  - Ngspice: ngspice runs it unchanged in batch mode ("ngspice -b file.cir"). Capacitor
//    models are of type C, models carry no DEV (ngspice ignores it), there are no .PROBE
//    and .MC lines, and a .control block runs the AC analysis, writes the output node
//    V(N+1) to a data file (frequency, real part, imaginary part per line), prints or
//    plots the stage outputs when asked, and runs the Monte Carlo analysis as a loop
//    that alters every stage component by a uniform deviation within its tolerance.
// docs/spice.md lists the lines in which the two dialects differ.
#pragma once

#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "model/design.h"
#include "model/file_io.h"

namespace velmora {

enum class SpiceDialect { Default, Ngspice };
enum class SpiceOpAmpModel { Vcvs, SinglePole };

struct SpiceOptions {
    SpiceDialect dialect = SpiceDialect::Default;
    SpiceOpAmpModel opamp = SpiceOpAmpModel::Vcvs;
    long double startHz = 0, endHz = 0;  // the AC sweep
    std::string pointsPerDecade = "200"; // written as typed (a whole number above 0)
    bool probe = true, print = false, plot = false;
    bool monteCarlo = false;
    std::string runs = "2";               // Monte Carlo runs (a whole number above 0)
    std::string resistorTolerance = "1%"; // "1%", "2%", "5%" or "10%"
    std::string capacitorTolerance = "1%";
    // Ngspice: the file the .control block writes the output node to, relative to the
    // folder ngspice runs in; written as NgspiceDataFileName gives it.
    std::string dataFile = "velmora-ac.txt";
    // The single-pole model's input noise density in nV/sqrt(Hz) for every stage;
    // negative: each stage's own (the design's op-amp noise).
    long double opAmpNoise = -1.0L;
};

// The data file's name as the ngspice control block writes it: ngspice splits a command
// at blanks and keeps quotes in a file name, so every character other than a letter, a
// digit, '.', '_', '+' or '-' becomes '_' ("my filter.ac.txt" gives "my_filter.ac.txt").
std::string NgspiceDataFileName(const std::string& name);

enum class SpiceStatus {
    Ok,
    NoStages,        // the design has no stages
    MissingCircuit,  // a stage has no calculated, realisable circuit (stage in `stage`)
    MissingTemplate, // the template set has no section or line for a stage's circuit
    BadStart,        // start frequency not above 0
    BadEnd,          // end frequency not above the start
    BadPoints,       // points per decade not a whole number above 0
    BadRuns,         // Monte Carlo runs not a whole number above 0
    BadTolerance,    // a tolerance that is not one of the offered ones
};

struct SpiceNetlist {
    SpiceStatus status = SpiceStatus::Ok;
    int stage = 0;                  // the stage a status refers to
    std::vector<std::string> lines; // the file, one line each (empty unless Ok)
};

// The default options with the sweep over a response graph's frequency axis (its limits
// in Hz; an axis in rad/s is divided by 2 pi), as the form starts.
SpiceOptions SpiceOptionsForGraph(const FrequencyAxis& graph);

// The stage that keeps a netlist from being written (no calculated, realisable circuit),
// or 0 when every stage has one.
int StageWithoutCircuit(const TDesign& d);

// Checks the sweep and Monte Carlo entries, then builds the netlist line by line.
SpiceNetlist BuildSpiceNetlist(const TDesign& d, const SpiceOptions& options);

// A sweep frequency as the .AC line writes it: a sign character ("-" or a blank) and the
// value with a five-decimal mantissa: 100 gives " 1.00000E+2".
std::string SweepFrequencyText(long double hz);

// The capacitance text of a netlist, n significant characters. Values from 1 mF to below
// 1 F are written in millifarads ("159m"): in farads a single-pole model's capacitor of
// a low-GBW op amp would read "0.00", a model without a pole.
std::string SpiceCapacitanceText(long double farads, int n);

// The lines joined with line feeds, with a final line feed.
std::string SpiceText(const std::vector<std::string>& lines);

// Writes the lines as a text file, replacing an existing one safely.
FileIoResult WriteSpiceNetlist(const std::string& path, const std::vector<std::string>& lines);

} // namespace velmora
