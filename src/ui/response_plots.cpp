#include "ui/response_plots.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "analysis/final_response.h"
#include "analysis/ideal_responses.h"
#include "analysis/mask_check.h"
#include "approx/attenuation_mask.h"
#include "model/file_io.h"
#include "ui/svg_surface.h"

namespace velmora {

std::vector<int> PlotApproximations(const TDesign& d, const PlotOptions& options) {
    std::vector<int> list;
    for (int a : ResponseApproximations(d))
        if (options.Only < 0 || options.Only == a) list.push_back(a);
    return list;
}

namespace {

constexpr long double kInfinity = std::numeric_limits<long double>::infinity();

FrequencyAxis FrequencyAxisOf(const TDesign& d, const PlotOptions& options) {
    return UsableFrequencyAxis(options.Freq ? *options.Freq : DataFrequencyAxis(d));
}

// Frequencies spread over an axis as its columns are: log or linear steps, ends included.
std::vector<long double> AxisPoints(const FrequencyAxis& axis, int points) {
    std::vector<long double> f;
    const int n = std::max(points, 2) - 1;
    for (int i = 0; i <= n; ++i)
        f.push_back(AxisFrequency(axis, i, n));
    return f;
}

} // namespace

std::vector<MaskRegion> GainMask(const TDesign& d, const FrequencyAxis& axis, bool dB) {
    std::vector<MaskRegion> mask;
    const SpecificationBands bands = BandsOf(d.Spec);
    const long double g = d.Spec.OverallGain.value();
    if (!(g > 0.0L)) return mask;
    const std::vector<long double> edges = SpecifiedEdges(d.Spec);
    const long double unit = axis.Hz ? 1.0L / (2.0L * 3.14159265358979323846264338327950288L) : 1.0L;
    auto isEdge = [&](long double w) {
        return std::any_of(edges.begin(), edges.end(),
                           [&](long double e) { return std::fabs(w - e) <= 1e-12L * e; });
    };
    // A band end that is no specified edge is the limit of the check's span towards DC or
    // high frequencies: in the picture the band runs on to the axis's end.
    auto span = [&](const FrequencyBand& b) {
        return std::pair{isEdge(b.Lo) ? b.Lo * unit : std::min(axis.Min, b.Lo * unit),
                         isEdge(b.Hi) ? b.Hi * unit : std::max(axis.Max, b.Hi * unit)};
    };
    // The allowed gain relative to the specified one: 0 dB, -Apb, -Asb.
    auto level = [&](long double attenuationDb) {
        return dB ? 20.0L * std::log10(g) - attenuationDb : g * std::pow(10.0L, -attenuationDb / 20.0L);
    };
    const long double apb = d.Spec.Apb.value(), asb = d.Spec.Asb.value();
    for (const FrequencyBand& b : bands.Pass) {
        const auto [x1, x2] = span(b);
        mask.push_back({x1, x2, level(0), kInfinity});
        mask.push_back({x1, x2, -kInfinity, level(apb)});
    }
    for (const FrequencyBand& b : bands.Stop) {
        const auto [x1, x2] = span(b);
        mask.push_back({x1, x2, level(asb), kInfinity});
    }
    return mask;
}

void ReachBelowStopband(const TDesign& d, AxisRange& gainDb) {
    if (BandsOf(d.Spec).Stop.empty() || !(d.Spec.OverallGain.value() > 0.0L)) return;
    const long double floorDb = 20.0L * std::log10(d.Spec.OverallGain.value()) - d.Spec.Asb.value() - 20.0L;
    if (gainDb.Min <= floorDb) return;
    const long double tick = std::max<long double>(gainDb.Tick, NiceTick(gainDb.Max - floorDb, 10));
    gainDb.Tick = tick;
    gainDb.Min = std::floor(floorDb / tick) * tick;
    gainDb.Max = std::ceil(gainDb.Max / tick - 1e-9L) * tick;
}

ResponseAxes PlotAxes(const TDesign& d, const std::vector<int>& approximations, const PlotOptions& options) {
    ResponseAxes axes = DefaultResponseAxes(d);
    axes.Freq = FrequencyAxisOf(d, options);
    axes.Grid = options.Grid;
    axes.Marker3dB = options.Marker3dB;
    RangeGainAxes(d, approximations, axes);
    ReachBelowStopband(d, axes.GainDb);
    RangeResponseAxes(d, approximations, axes);
    return axes;
}

std::string RenderResponseSvg(const TDesign& d, GraphTab tab, const ResponseAxes& axes,
                              const std::vector<int>& approximations, double width, double height) {
    SvgSurface svg(width, height);
    PaintResponseGraph(svg, d, GraphView{tab, axes, approximations, {}});
    return svg.Document();
}

std::vector<PlotPicture> RenderIdealResponsePlots(TDesign& d, const PlotOptions& options) {
    IdealAxes ideal = DefaultIdealAxes(d);
    ideal.Freq = FrequencyAxisOf(d, options);
    ComputeIdealResponses(d, ideal);
    const std::vector<int> list = PlotApproximations(d, options);
    const ResponseAxes axes = PlotAxes(d, list, options);
    const std::vector<MaskRegion> mask = GainMask(d, axes.Freq, axes.GainInDb);
    std::vector<PlotPicture> pictures;
    for (int t = 0; t < kGraphTabCount; ++t) {
        const GraphTab tab = static_cast<GraphTab>(t);
        SvgSurface svg(options.Width, options.Height);
        PaintResponseGraph(
            svg, d, GraphView{tab, axes, list, tab == GraphTab::Gain ? mask : std::vector<MaskRegion>{}});
        pictures.push_back({std::string(kGraphTabNames[t]) + ".svg", svg.Document()});
    }
    return pictures;
}

namespace {

struct VariantStyle {
    CheckedVariant Variant;
    Color Colour;
    PenStyle Style;
};

// The realised variants in the order of the specification check, each in its colour:
// the op amps' variants dashed beside the ideal op amps' ones.
constexpr VariantStyle kVariantStyles[] = {
    {CheckedVariant::Exact, Color{31, 119, 180}, PenStyle::Solid},
    {CheckedVariant::Gbw, Color{214, 39, 40}, PenStyle::Dash},
    {CheckedVariant::Standard, Color{44, 160, 44}, PenStyle::Solid},
    {CheckedVariant::GbwStandard, Color{230, 127, 14}, PenStyle::Dash},
};

std::string FrequencyCaption(const FrequencyAxis& axis) {
    return axis.Hz ? "Frequency  (Hz)" : "Frequency  (rad/s)";
}

std::string Svg(const CurveGraph& g, const PlotOptions& options) {
    SvgSurface svg(options.Width, options.Height);
    PaintCurveGraph(svg, g);
    return svg.Document();
}

} // namespace

std::vector<CurveGraph> FinalResponseGraphs(const TDesign& d, const PlotOptions& options) {
    std::vector<CurveGraph> pictures;
    if (d.DesignLevel < LevelComponents || d.StageCount < 1) return pictures;
    const FrequencyAxis axis = FrequencyAxisOf(d, options);
    const std::vector<long double> xs = AxisPoints(axis, options.Points);

    CurveGraph gain;
    gain.Title = "Realised magnitude response";
    gain.XCaption = FrequencyCaption(axis);
    gain.YCaption = "Gain  (dB)";
    gain.Freq = axis;
    gain.Grid = options.Grid;
    long double maxDb = -kInfinity;
    for (const VariantStyle& v : kVariantStyles) {
        Curve c{CheckedVariantTitle(v.Variant), v.Colour, v.Style, {}};
        for (long double x : xs) {
            const auto vv = VariantGain(d, v.Variant, ToRadPerSecond(axis, x));
            if (!vv) {
                c.Points.clear();
                break;
            }
            const long double db = GainToDb(*vv);
            maxDb = std::max(maxDb, db);
            c.Points.push_back({x, db});
        }
        if (!c.Points.empty()) gain.Curves.push_back(std::move(c));
    }
    if (gain.Curves.empty()) return pictures;
    gain.Value = GainDbAxisFor(maxDb);
    ReachBelowStopband(d, gain.Value);
    gain.Mask = GainMask(d, axis, true);
    pictures.push_back(gain);

    // Phase and delay of the exact values, from the same points.
    Curve phase{CheckedVariantTitle(CheckedVariant::Exact), kVariantStyles[0].Colour, PenStyle::Solid, {}};
    Curve delay = phase;
    long double minLag = kInfinity, maxLag = -kInfinity, largestDelay = 0;
    for (long double x : xs) {
        const auto p = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, ToRadPerSecond(axis, x));
        if (!p) return pictures;
        minLag = std::min(minLag, p->PhaseLag);
        maxLag = std::max(maxLag, p->PhaseLag);
        largestDelay = std::max(largestDelay, p->Delay);
        phase.Points.push_back({x, -p->PhaseLag});
        delay.Points.push_back({x, p->Delay});
    }
    CurveGraph ph = gain;
    ph.Title = "Realised phase response";
    ph.YCaption = "Phase (degrees)";
    ph.Value = PhaseAxisFor(minLag, maxLag);
    ph.Mask.clear();
    ph.Curves = {phase};
    pictures.push_back(ph);

    const ScaledRange scaled = DelayAxisFor(largestDelay);
    const long double scale = std::pow(10.0L, static_cast<long double>(scaled.Exp));
    for (CurvePoint& p : delay.Points)
        p.Y /= scale;
    CurveGraph dl = ph;
    dl.Title = "Realised group delay";
    dl.YCaption = "Delay (X1e" + std::to_string(scaled.Exp) + " s)";
    dl.Value = scaled.Range;
    dl.Curves = {delay};
    pictures.push_back(dl);
    return pictures;
}

std::vector<PlotPicture> RenderFinalResponsePlots(const TDesign& d, const PlotOptions& options) {
    constexpr const char* kFiles[] = {"final_gain.svg", "final_phase.svg", "final_delay.svg"};
    std::vector<PlotPicture> pictures;
    const std::vector<CurveGraph> graphs = FinalResponseGraphs(d, options);
    for (size_t i = 0; i < graphs.size() && i < std::size(kFiles); ++i)
        pictures.push_back({kFiles[i], Svg(graphs[i], options)});
    return pictures;
}

PlotWriteResult WriteIdealResponsePlots(TDesign& d, const std::string& dir, const PlotOptions& options) {
    PlotWriteResult result;
    for (const PlotPicture& p : RenderIdealResponsePlots(d, options)) {
        const std::string path = (std::filesystem::path(dir) / p.file).string();
        const auto* bytes = reinterpret_cast<const uint8_t*>(p.svg.data());
        const FileIoResult written = WriteFileReplacing(path, std::span<const uint8_t>(bytes, p.svg.size()));
        if (!written.ok) {
            result.ok = false;
            result.message = written.message;
            return result;
        }
        result.files.push_back(path);
    }
    return result;
}

} // namespace velmora
