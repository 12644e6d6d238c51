// Pictures of the ideal and the realised responses as SVG documents, for the command
// line's plots and for reports.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/graph_axes.h"
#include "model/design.h"
#include "ui/graph_painter.h"

namespace velmora {

struct PlotOptions {
    double Width = 800, Height = 600; // pixels
    int Only = -1;                    // 0..4: only that approximation; else every one with a response
    bool Grid = true;
    bool Marker3dB = false;
    // The frequency axis; without one the command line's data axis (DataFrequencyAxis).
    std::optional<FrequencyAxis> Freq;
    // Frequencies at which the realised responses are evaluated (the ideal ones use the
    // design's column of kResponsePoints).
    int Points = kResponsePoints;
};

// The specification's mask as forbidden regions on a gain axis in dB (else V/V) over
// `axis`: above the specified gain and more than Apb below it over each passband, less
// than Asb below it over each stopband. A band open towards DC or high frequencies
// reaches the axis's limit. None for a user-defined filter.
std::vector<MaskRegion> GainMask(const TDesign& d, const FrequencyAxis& axis, bool dB);

// Extends a gain axis in dB down to at least Asb + 20 dB below the specified gain, so
// that the stopband's limit and the response beneath it show; a user-defined filter's
// axis is left as it is.
void ReachBelowStopband(const TDesign& d, AxisRange& gainDb);

// Axes for pictures of the design's ideal responses: the frequency axis of `options`
// and the default time axis, every value axis ranged over the curves shown and the gain
// axis reaching below the stopband's limit.
ResponseAxes PlotAxes(const TDesign& d, const std::vector<int>& approximations, const PlotOptions& options);

// The approximations a picture shows under `options`.
std::vector<int> PlotApproximations(const TDesign& d, const PlotOptions& options);

// One tab as an SVG document, from the samples already in the design (computed over
// `axes` by ComputeIdealResponses).
std::string RenderResponseSvg(const TDesign& d, GraphTab tab, const ResponseAxes& axes,
                              const std::vector<int>& approximations, double width = 800,
                              double height = 600);

// A picture ready to be written: its file name (gain.svg, ...) and its SVG document.
struct PlotPicture {
    std::string file, svg;
};

// Computes the ideal responses over the frequency axis of `options` and the default time
// axis and renders one picture per tab, in tab order, the gain with the specification's
// mask, without writing anything: a caller that writes several files can make every one
// of them before the first write. The design's frequency column is rebuilt over that axis.
std::vector<PlotPicture> RenderIdealResponsePlots(TDesign& d, const PlotOptions& options = {});

// The realised filter's pictures, for a design whose circuits are calculated (none
// otherwise): final_gain.svg with every variant present (exact values, with the op amps'
// GBW, and with standard values alone and with the op amps while they are on) over the
// specification's mask; final_phase.svg and final_delay.svg of the exact values. Each is
// evaluated at options.Points frequencies over the axis of `options`.
std::vector<PlotPicture> RenderFinalResponsePlots(const TDesign& d, const PlotOptions& options = {});
// The same three graphs as data, to be painted on any surface (none before the circuits).
std::vector<CurveGraph> FinalResponseGraphs(const TDesign& d, const PlotOptions& options = {});

struct PlotWriteResult {
    bool ok = true;
    std::string message;            // "<path>: <system message>" when a file could not be written
    std::vector<std::string> files; // the files written, in tab order
};

// Computes the ideal responses over the default axes and writes one SVG per tab into
// the folder `dir` (which must exist): gain.svg, phase.svg, delay.svg, step.svg,
// impulse.svg and pole_zero.svg. Each file is replaced only by a complete new one.
PlotWriteResult WriteIdealResponsePlots(TDesign& d, const std::string& dir, const PlotOptions& options = {});

} // namespace velmora
