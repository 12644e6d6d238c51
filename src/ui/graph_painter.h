// The graph painter: draws one tab of the ideal responses (gain, phase, group delay,
// step, impulse, pole-zero) of a design into the plot area of a picture on any
// DrawingSurface, with axes, ticks, captions, optional grid and 3 dB marker, one
// colour per approximation and a legend.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/graph_axes.h"
#include "model/design.h"
#include "ui/drawing_surface.h"

namespace velmora {

enum class GraphTab : int { Gain = 0, Phase, Delay, Step, Impulse, PoleZero };
inline constexpr int kGraphTabCount = 6;

// Tab captions of the ideal response window, in tab order.
inline constexpr std::array<const char*, kGraphTabCount> kGraphTabCaptions = {
    "  Gain  ", "  Phase  ", "  Grp. Delay  ", "  Step  ", "  Impulse  ", "  Pole-zero"};
// Short names of the tabs, for file names.
inline constexpr std::array<const char*, kGraphTabCount> kGraphTabNames = {"gain", "phase",   "delay",
                                                                           "step", "impulse", "pole_zero"};

inline bool IsFrequencyTab(GraphTab t) {
    return t == GraphTab::Gain || t == GraphTab::Phase || t == GraphTab::Delay;
}
inline bool IsTimeTab(GraphTab t) {
    return t == GraphTab::Step || t == GraphTab::Impulse;
}

// The curve colour of approximation 0..4.
Color ApproximationColor(int index);

// Legend text of an approximation: its name and its order ("Elliptic  (Cauer)  N = 3").
std::string ApproximationLegend(const TDesign& d, int index);

// Axis captions of a tab for the given axes.
std::string XAxisCaption(GraphTab tab, const ResponseAxes& axes);
std::string YAxisCaption(GraphTab tab, const ResponseAxes& axes);

// A forbidden region of a gain mask: frequencies X1..X2 in the axis unit, gains Lo..Hi
// in the unit of the gain axis (dB or V/V); an infinite bound reaches the plot's edge.
struct MaskRegion {
    long double X1 = 0, X2 = 0, Lo = 0, Hi = 0;
};

// The shade of a forbidden region and the colour of its limit line.
inline constexpr Color kMaskShade{253, 236, 236};
inline constexpr Color kMaskLine{190, 40, 40};

struct GraphView {
    GraphTab Tab = GraphTab::Gain;
    ResponseAxes Axes;
    std::vector<int> Approximations; // the curves, in legend order
    std::vector<MaskRegion> Mask;    // drawn on the gain tab
};

// Paints the whole picture (Width() x Height() of the surface).
void PaintResponseGraph(DrawingSurface& surface, const TDesign& d, const GraphView& view);

// ---- Graphs of curves given as data ---------------------------------------------------
//
// The realised filter's responses are evaluated by the caller at frequencies of its
// choice; the picture is drawn the same way as the ideal responses' tabs.

struct CurvePoint {
    long double X = 0, Y = 0; // frequency in the axis unit, value in the value axis's unit
};

struct Curve {
    std::string Legend;
    Color Colour;
    PenStyle Style = PenStyle::Solid;
    std::vector<CurvePoint> Points;
};

// A shaded band between two curves (a spread of responses), under the curves and the
// grid, with its legend entry before the curves'.
struct CurveBand {
    struct Point {
        long double X = 0, Lo = 0, Hi = 0; // frequency in the axis unit; values as a Curve's
    };
    std::string Legend;
    Color Shade;
    std::vector<Point> Points; // ascending X
};

struct CurveGraph {
    std::string Title, XCaption, YCaption;
    FrequencyAxis Freq;
    AxisRange Value;
    std::vector<CurveBand> Bands;
    std::vector<Curve> Curves;    // in legend order
    std::vector<MaskRegion> Mask; // shaded under the grid, limit lines over it
    bool Grid = true;
};

void PaintCurveGraph(DrawingSurface& surface, const CurveGraph& graph);

} // namespace velmora
