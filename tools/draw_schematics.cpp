// Writes the schematic of every circuit of the catalogue, plain and compensated, as an
// SVG picture into a folder: <KEY>.svg and <KEY>_compensated.svg, with the component
// names and the circuit's name under the drawing. docs/circuits.md shows them (as PNG,
// converted by scripts/schematics.sh).
//
//   draw_schematics DIR            names only, as the catalogue shows them
//   draw_schematics DIR --values   with a value of the widest kind at every component
//                                  ("47.5K", "47.5nF"), to check that the values fit
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "circuits/catalogue.h"
#include "circuits/schematic_layouts.h"
#include "ui/schematic_painter.h"
#include "ui/svg_surface.h"

int main(int argc, char** argv) {
    using namespace velmora;
    const std::string usage = "usage: draw_schematics DIR [--values]\n";
    if (argc < 2 || argc > 3 || (argc == 3 && std::string(argv[2]) != "--values")) {
        std::fputs(usage.c_str(), stderr);
        return 2;
    }
    const bool withValues = argc == 3;
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    int missing = 0;
    for (const Topology& t : AllTopologies()) {
        const SchematicLayout* l = FindLayout(t.key, t.compensated);
        const CatalogueEntry* e = EntryByKey(t.key);
        if (!l || !e) {
            std::fprintf(stderr, "draw_schematics: no drawing of %s%s\n", t.key.c_str(),
                         t.compensated ? " (compensated)" : "");
            ++missing;
            continue;
        }
        std::map<std::string, std::string> values;
        if (withValues)
            for (const auto& c : l->parts)
                values[c.name()] = c.kind == 'R' ? "47.5K" : "47.5nF";
        const SchematicStyle st;
        const PointD size = SchematicSize(*l, st);
        SvgSurface svg(size.X, size.Y);
        svg.SetBrush(colors::White);
        svg.FillRect(0, 0, size.X, size.Y);
        PaintSchematic(svg, *l, values,
                       t.key + ": " + std::string(e->name) + (t.compensated ? " (compensated)" : ""), st);
        const std::filesystem::path file = dir / (t.key + (t.compensated ? "_compensated" : "") + ".svg");
        std::ofstream out(file, std::ios::binary);
        out << svg.Document();
        if (!out) {
            std::fprintf(stderr, "draw_schematics: cannot write %s\n", file.string().c_str());
            return 1;
        }
    }
    return missing == 0 ? 0 : 1;
}
