// The schematic painter: draws a circuit's layout on any DrawingSurface (resistors as
// zigzags, capacitors as plates, op amps as triangles with their inputs marked, grounds,
// the input and output terminals, junction dots), with each component's name and,
// when given, its value; and finds the component under a point for the desktop
// program's clicks.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "circuits/schematic_layouts.h"
#include "ui/drawing_surface.h"

namespace velmora {

struct SchematicStyle {
    double Unit = 30;   // pixels per grid unit
    double Margin = 40; // free border around the drawing (room for labels and terminals)
    double FontSize = 12;
};

// The picture size that holds a layout.
PointD SchematicSize(const SchematicLayout& layout, const SchematicStyle& style = {});

// Draws the layout; values maps a component name ("R1") to its value text ("10k").
// A caption, when not empty, is written under the drawing, broken onto a second line
// when it is wider than the picture.
void PaintSchematic(DrawingSurface& s, const SchematicLayout& layout,
                    const std::map<std::string, std::string>& values = {}, const std::string& caption = {},
                    const SchematicStyle& style = {});

// The resistor or capacitor whose symbol (with a few pixels of slack) contains the
// point, in the coordinates PaintSchematic draws in; std::nullopt over anything else.
std::optional<std::string> ComponentAt(const SchematicLayout& layout, PointD point,
                                       const SchematicStyle& style = {});

struct TDesign;

// One SVG picture of each calculated stage's circuit with its component values (the
// values in effect: standard ones where they are switched on), named
// "stage<n>_<key>.svg". Stages whose circuit is not drawn yet are listed in `missing`
// ("stage 3: SLP08") instead.
struct SchematicPicture {
    std::string file, svg;
};
std::vector<SchematicPicture> RenderStageSchematics(const TDesign& d,
                                                    std::vector<std::string>* missing = nullptr);

} // namespace velmora
