// The ideal responses of a design: every approximation with a response evaluated over
// the shared frequency column and the time column, and the sample tables that reports
// (the command line's JSON) print.
#pragma once

#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "analysis/time_response.h"
#include "model/design.h"

namespace velmora {

struct IdealAxes {
    FrequencyAxis Freq;
    TimeAxis Time;
};

// The default frequency and time axes of the design.
IdealAxes DefaultIdealAxes(const TDesign& d);

// Rebuilds the frequency column over `axis` and, for every approximation with a
// response, its gain (with the notches marked), phase lag and group delay.
void ComputeIdealFrequencyResponses(TDesign& d, const FrequencyAxis& axis);

// Step and impulse responses of every approximation with a response over `axis`.
void ComputeIdealTimeResponses(TDesign& d, const TimeAxis& axis);

// Both of the above. The approximations are evaluated by index: the current and the
// selected approximation and their saved copies are left as they are.
void ComputeIdealResponses(TDesign& d, const IdealAxes& axes);

// The ideal responses over the default axes: what the specification step runs once
// the approximations and the overall gain are known.
void ComputeIdealResponses(TDesign& d);

// ---- Responses already computed --------------------------------------------------------
//
// The specification step computes the ideal responses over the default axes, and the
// graph window computes them again over its axes when it opens, which on the automatic
// path are the same default axes. The record lets the second pass be skipped safely: it
// holds the axes of the last computation and a byte copy of every part of the design the
// computation reads (the specification, the approximations with their tables, the stage
// records of a user-defined filter) or writes (the frequency column and every
// approximation's samples). The computation is a function of what it reads, so while the
// design holds exactly those bytes and the axes are the same, computing again would
// write what is already there. Any change in between (another specification or gain, a
// zoom that rebuilt the column, a reloaded or edited design) shows as a difference in
// the bytes, and the responses are computed.
class IdealResponseRecord {
  public:
    // Whether the design holds the responses over `axes` as this record last saw them.
    bool Current(const TDesign& d, const IdealAxes& axes) const;
    // Notes the design's responses as computed over `axes`.
    void Record(const TDesign& d, const IdealAxes& axes);
    void Clear() { valid_ = false; }

  private:
    bool valid_ = false;
    IdealAxes axes_;
    std::vector<unsigned char> bytes_; // the design's parts, in the order Record copies them
};

// ComputeIdealResponses over `axes`, unless `record` shows that the design already holds
// them; the record then describes the responses in the design.
void ComputeIdealResponses(TDesign& d, const IdealAxes& axes, IdealResponseRecord& record);

// ---- Sample tables --------------------------------------------------------------------

struct IdealFrequencySample {
    long double FHz = 0, W = 0;         // Hz, rad/s
    long double GainDb = 0, GainVV = 0; // dB (-200 at a notch, -400 at the floor), V/V
    long double PhaseDeg = 0;           // the phase angle as the graph shows it: -Phi
    long double DelayS = 0;             // s
};

struct IdealTimeSample {
    long double TS = 0;      // s
    long double Step = 0;    // V
    long double Impulse = 0; // V/s, not scaled
};

struct IdealResponseTable {
    int Index = 0;
    std::string Name;
    std::vector<IdealFrequencySample> Samples; // the 351 column points
    std::vector<IdealTimeSample> Time;         // the 351 time points
};

// The stored samples of every approximation with a response (or only `only` when it
// is 0..4), read from the design after ComputeIdealResponses over `axes`.
std::vector<IdealResponseTable> IdealResponseTables(const TDesign& d, const IdealAxes& axes, int only = -1);

// Computes the responses over the default axes and returns their tables.
std::vector<IdealResponseTable> ComputeIdealResponseTables(TDesign& d, int only = -1);

} // namespace velmora
