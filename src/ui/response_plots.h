// Pictures of the ideal responses as SVG documents: one per tab, for the command
// line's plots and for reports.
#pragma once

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
};

// Axes for pictures of the design's ideal responses: the default frequency and time
// axes, every value axis ranged over the curves shown.
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

// Computes the ideal responses over the default axes and renders one picture per tab,
// in tab order, without writing anything: a caller that writes several files can make
// every one of them before the first write.
std::vector<PlotPicture> RenderIdealResponsePlots(TDesign& d, const PlotOptions& options = {});

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
