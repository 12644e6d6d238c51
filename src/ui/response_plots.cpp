#include "ui/response_plots.h"

#include <filesystem>

#include "analysis/ideal_responses.h"
#include "model/file_io.h"
#include "ui/svg_surface.h"

namespace velmora {

std::vector<int> PlotApproximations(const TDesign& d, const PlotOptions& options) {
    std::vector<int> list;
    for (int a : ResponseApproximations(d))
        if (options.Only < 0 || options.Only == a) list.push_back(a);
    return list;
}

ResponseAxes PlotAxes(const TDesign& d, const std::vector<int>& approximations, const PlotOptions& options) {
    ResponseAxes axes = DefaultResponseAxes(d);
    axes.Grid = options.Grid;
    axes.Marker3dB = options.Marker3dB;
    RangeGainAxes(d, approximations, axes);
    RangeResponseAxes(d, approximations, axes);
    return axes;
}

std::string RenderResponseSvg(const TDesign& d, GraphTab tab, const ResponseAxes& axes,
                              const std::vector<int>& approximations, double width, double height) {
    SvgSurface svg(width, height);
    PaintResponseGraph(svg, d, GraphView{tab, axes, approximations});
    return svg.Document();
}

std::vector<PlotPicture> RenderIdealResponsePlots(TDesign& d, const PlotOptions& options) {
    const IdealAxes ideal = DefaultIdealAxes(d);
    ComputeIdealResponses(d, ideal);
    const std::vector<int> list = PlotApproximations(d, options);
    const ResponseAxes axes = PlotAxes(d, list, options);
    std::vector<PlotPicture> pictures;
    for (int t = 0; t < kGraphTabCount; ++t)
        pictures.push_back(
            {std::string(kGraphTabNames[t]) + ".svg",
             RenderResponseSvg(d, static_cast<GraphTab>(t), axes, list, options.Width, options.Height)});
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
